#pragma once
// RIFF WAVE files: the chunk walk, the document's reader (any channel
// count; 8-, 16-, 24- and 32-bit integer PCM, 32-bit IEEE float and mu-law,
// under their own format tag or the extensible header that names them in
// its subformat) and its writer (always 32-bit IEEE float with only "fmt "
// and "data").
//
// Recordings shorter than 300 s are read into memory; longer ones stay on
// disk, their channels read from a data file of interleaved 32-bit float
// frames on demand, shown once one pass over the samples has made their
// summaries. Frames of float samples only are that already: the file itself
// is the data file, read (never written) at its data chunk. Other samples
// are converted into a scratch file in the temp folder in the background;
// reads of what the conversion has not reached convert it from the file.
//
// The RIFF chunk writing is our own: the 12-byte RIFF header, a 16-byte
// "fmt " chunk and the "data" chunk header are written field by field, then
// the frames.

#include <array>
#include <cstdint>
#include <string>

#include "core/DocumentFormats.h"
#include "core/RecordingData.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"

namespace vocomet {

class COrielDoc;

inline constexpr const char* kWaveSaveErrorMessage = "Error in saving as WAV format.";
inline constexpr const char* kWaveMemoryErrorMessage = "Error allocating memory to save the file.";
inline constexpr const char* kWaveTooLargeMessage =
    "This recording is too large for a WAV file: its samples would take more than 4 GB, the most a WAV file "
    "can hold.\nSave it as a Vocomet file, or save a selection or a single channel as WAV.";
inline constexpr const char* kSavingProgressText = "Saving: ";

inline constexpr std::uint16_t kWaveFormatPcm = 1;
inline constexpr std::uint16_t kWaveFormatIeeeFloat = 3;
inline constexpr std::uint16_t kWaveFormatALaw = 6;
inline constexpr std::uint16_t kWaveFormatMuLaw = 7;
inline constexpr std::uint16_t kWaveFormatExtensible = 0xFFFE;

// The "fmt " chunk body as the system reads it (its first 40 bytes: the
// 18-byte record and the extensible header's fields) and writes it (the
// first 16).
struct WaveFormat {
    static constexpr std::size_t kReadSize = 40;
    static constexpr std::size_t kWrittenSize = 16;

    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t bytesPerSecond = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;
    // The extensible header (zero unless the chunk holds it).
    std::uint16_t validBitsPerSample = 0;
    std::uint32_t channelMask = 0;
    std::array<std::uint8_t, 16> subFormat{};  // a GUID, as stored

    // bytes holds kReadSize bytes (zero where the chunk was shorter).
    static WaveFormat Decode(platform::ByteView bytes);
    // Writes the first kWrittenSize bytes.
    void Encode(platform::ByteSpan bytes) const;

    // The format tag the samples are stored under: the tag itself, or for
    // the extensible tag the tag its subformat GUID carries (0 when the
    // subformat is no tagged format or the header is missing).
    std::uint16_t EffectiveTag() const;
    // The encoding in words, for messages: "A-law", "64-bit IEEE float",
    // "extensible format, subformat {...}".
    std::string EncodingName() const;
};

// Where a file's samples are, found by walking its chunks.
struct WaveChunks {
    WaveFormat format;            // zero when no "fmt " chunk came before "data"
    bool formatFound = false;     // a "fmt " chunk came before "data"
    std::int64_t dataOffset = 0;  // the first byte of the "data" chunk's body
    std::int64_t dataLength = 0;  // its size, cut to the bytes the file holds
    // For a file that starts "RIFF" with form type "WAVE" but whose walk
    // found no "data" chunk: what is damaged, in words for the user.
    std::string damage;
};

class CWave {
public:
    // Walks the chunks from offset 12 up to the "data" chunk. The file is
    // taken for a WAV when it starts with "RIFF" or its form type is "WAVE"
    // (either suffices). Returns 0 when a "data" chunk was found, -1 when the
    // file is no WAV, has no "data" chunk, or cannot be read; for a file
    // with both ids, chunks.damage then says why.
    static int FindWaveChunks(const platform::File& file, WaveChunks& chunks);

    // Writes the RIFF header (size dataBytes + 36), the 16-byte "fmt " chunk
    // and the "data" chunk header at the file's position; the dataBytes of
    // frames are to follow. dataBytes + 36 must fit the 32-bit size field.
    static void WriteWaveHeader(platform::File& file, const WaveFormat& format, std::uint32_t dataBytes);

    // The largest "data" size a WAV file can describe.
    static constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;
};

// The ITU-T G.711 mu-law expansion of one byte: -32124 to 32124.
int MuLawToLinear(std::uint8_t byte);

// The document's WAV reader (see DocumentFormats.h for the results). A file
// of another format gives kReaderNotMine. So does a WAV file the document
// cannot load, with the reason given to the target: an encoding it does not
// read (tags other than PCM, IEEE float and mu-law, and an extensible header
// whose subformat is none of them; float of other than 32 bits; PCM of more
// than 32 bits), no format chunk before the data, no channels or more than
// the document's 20, a rate outside the loadable rates, frames that do not
// hold their channels. So is a file with both the "RIFF" and "WAVE" ids
// whose chunks are damaged before its data (a chunk that runs past the end
// of the file, a file cut short inside its chunk headers, no data chunk).
// The user aborting a long load gives kReaderEndOpen.
int ReadWaveFile(COrielDoc& document, platform::File& file, LoadTarget& target);

// The document's WAV writer: every channel of the request's channel count
// (or only the request's channel), over the first (or the picked) channel's
// whole range or selection, as 32-bit float frames. Failures show "Error in
// saving as WAV format." (a recording too large for a WAV file its own
// message, before anything is written) and throw platform::UserException.
void WriteWaveFile(COrielDoc& document, platform::File& file, const WriteRequest& request);

// Registers the reader and the writer of code 2.
void RegisterWaveFormats(DocumentFormats& formats);

}  // namespace vocomet
