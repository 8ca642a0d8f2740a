#include "core/AiffFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "core/COrielDoc.h"
#include "core/NativeReaders.h"
#include "core/ScratchDataFile.h"
#include "platform/ByteCodec.h"
#include "platform/SampleBuffers.h"

namespace vocomet {

namespace {

// Files this short hold no AIFF worth reading.
constexpr std::int64_t kMinimumFileBytes = 101;
// The walk visits this many chunks at most, the form header included.
constexpr int kMaxChunkVisits = 20;
// Only the picked channel is loaded, so any channel count the COMM chunk
// can state (a positive 16-bit number) is read.
constexpr int kMaxFileChannels = 32767;
// Sample frames are read this many bytes at a time.
constexpr std::size_t kReadPieceBytes = std::size_t{1} << 20;

bool IdIs(const std::uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

// A chunk id or compression type for a message: printable characters as
// they are, anything else as '?'.
std::string Printable(const std::uint8_t* p, std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i)
        s += (p[i] >= 0x20 && p[i] < 0x7F) ? static_cast<char>(p[i]) : '?';
    return s;
}

// What the chunk walk found.
struct AiffLayout {
    bool aifc = false;
    bool commFound = false;
    bool ssndFound = false;
    int channels = 0;
    std::uint32_t frames = 0;
    int bits = 0;
    double rate = 0.0;
    std::uint8_t compression[4] = {'N', 'O', 'N', 'E'};
    std::int64_t dataStart = 0;  // first byte of the sample frames
    std::uint32_t framesHeld = 0;  // the whole frames the file holds, up to frames
};

// The COMM chunk's fields; false (with the reason) when the chunk is too
// short for them.
bool DecodeComm(const platform::File& file, std::int64_t body, std::uint32_t size, AiffLayout& a,
                std::string& refusal) {
    const std::size_t need = a.aifc ? 22 : 18;
    if (size < need) {
        refusal = std::string("This ") + (a.aifc ? "AIFC" : "AIFF") + " file's COMM chunk is too short (" +
                  std::to_string(size) + " bytes).";
        return false;
    }
    std::uint8_t b[22] = {};
    if (file.ReadAt(body, b, need) != need) {
        refusal = kIncorrectDataMessage;
        return false;
    }
    a.commFound = true;
    a.channels = platform::GetI16BE(b);
    a.frames = platform::GetU32BE(b + 2);
    a.bits = platform::GetI16BE(b + 6);
    a.rate = ExtendedToDouble(b + 8);
    if (a.aifc)
        std::memcpy(a.compression, b + 18, 4);
    return true;
}

// Walks the chunks after the form header. False when the file is no AIFF
// or AIFC form (refusal empty) or one the document cannot load (refusal
// says why).
bool DescribeAiff(const platform::File& file, AiffLayout& a, std::string& refusal) {
    const std::int64_t length = file.GetLength();
    std::uint8_t form[12];
    if (length < static_cast<std::int64_t>(sizeof form) || file.ReadAt(0, form, sizeof form) != sizeof form ||
        !IdIs(form, "FORM"))
        return false;
    if (IdIs(form + 8, "AIFC"))
        a.aifc = true;
    else if (!IdIs(form + 8, "AIFF"))
        return false;
    const char* kind = a.aifc ? "AIFC" : "AIFF";
    if (length < kMinimumFileBytes) {
        refusal = std::string("This ") + kind + " file is cut short: its " + std::to_string(length) +
                  " bytes cannot hold a recording.";
        return false;
    }

    // Every chunk is skipped by its size and pad byte, so each step moves on
    // by at least the chunk header and the walk ends whatever the sizes say.
    std::int64_t offset = 12;
    for (int visits = 1; visits < kMaxChunkVisits && offset + 8 <= length; ++visits) {
        std::uint8_t header[8];
        if (file.ReadAt(offset, header, sizeof header) != sizeof header)
            break;
        const std::uint32_t size = platform::GetU32BE(header + 4);
        const std::int64_t body = offset + 8;
        if (IdIs(header, "COMM")) {
            if (!DecodeComm(file, body, size, a, refusal))
                return false;
        } else if (IdIs(header, "SSND")) {
            std::uint8_t s[8];
            if (size < 8 || file.ReadAt(body, s, sizeof s) != sizeof s) {
                refusal = std::string("This ") + kind + " file's sound data chunk is damaged.";
                return false;
            }
            a.ssndFound = true;
            // Block-aligned files start their frames after offset bytes.
            a.dataStart = body + 8 + static_cast<std::int64_t>(platform::GetU32BE(s));
        }
        if (a.commFound && a.ssndFound)
            break;
        offset = body + static_cast<std::int64_t>(size) + (size & 1u);
    }

    if (!a.commFound) {
        refusal = std::string("This ") + kind + " file has no COMM chunk before its sound data.";
        return false;
    }
    if (a.aifc && !IdIs(a.compression, "NONE")) {
        refusal = "This AIFC file's compression is not supported: '" + Printable(a.compression, 4) +
                  "'.\nVocomet reads uncompressed AIFC files (compression type NONE).";
        return false;
    }
    if (a.channels < 1 || a.channels > kMaxFileChannels) {
        refusal = std::string("This ") + kind + " file declares " + std::to_string(a.channels) +
                  " channels; files of 1 to " + std::to_string(kMaxFileChannels) + " channels can be opened.";
        return false;
    }
    if (a.bits < 1 || a.bits > 32) {
        refusal = std::string("This ") + kind + " file's samples of " + std::to_string(a.bits) +
                  " bits are not supported; Vocomet reads samples of 1 to 32 bits.";
        return false;
    }
    if (!IsLoadableRate(a.rate)) {
        refusal = RateRefusal(std::string("This ") + kind + " file", a.rate);
        return false;
    }
    if (a.frames == 0) {
        refusal = std::string("This ") + kind + " file holds no sample frames.";
        return false;
    }
    if (!a.ssndFound) {
        refusal = std::string("This ") + kind + " file has no sound data chunk (SSND).";
        return false;
    }
    // A file cut short (a recording that was never finished) is read as
    // far as it goes: the frames it holds, never more than the header
    // announces, so nothing is allocated beyond what the file can fill.
    const std::uint64_t frameBytes = static_cast<std::uint64_t>(a.channels) * ((a.bits + 7) / 8);
    const std::uint64_t held = a.dataStart < length ? static_cast<std::uint64_t>(length - a.dataStart) / frameBytes : 0;
    a.framesHeld = static_cast<std::uint32_t>(std::min<std::uint64_t>(a.frames, held));
    if (a.framesHeld == 0) {
        refusal = std::string("This ") + kind + " file is cut short: its sound data ends before its first frame of " +
                  std::to_string(frameBytes) + " bytes.";
        return false;
    }
    return true;
}

// Sample k of the chosen channel: a big-endian integer of bytes bytes,
// scaled by the container's full scale.
void ConvertColumn(const std::uint8_t* raw, std::size_t frames, std::size_t frameBytes, std::size_t bytes,
                   float* out) {
    switch (bytes) {
    case 1:
        for (std::size_t k = 0; k < frames; ++k)
            out[k] = static_cast<float>(static_cast<std::int8_t>(raw[k * frameBytes])) * (1.0f / 128.0f);
        break;
    case 2:
        for (std::size_t k = 0; k < frames; ++k)
            out[k] = static_cast<float>(platform::GetI16BE(raw + k * frameBytes)) * (1.0f / 32768.0f);
        break;
    case 3:
        for (std::size_t k = 0; k < frames; ++k)
            out[k] = static_cast<float>(platform::GetI24BE(raw + k * frameBytes)) * (1.0f / 8388608.0f);
        break;
    default:
        for (std::size_t k = 0; k < frames; ++k)
            out[k] = static_cast<float>(platform::GetI32BE(raw + k * frameBytes)) * (1.0f / 2147483648.0f);
        break;
    }
}

void SetUpChannel(CChannels& ch, const AiffLayout& a) {
    const double count = static_cast<double>(a.framesHeld);
    ch.SetUpForeignChannel(0, count, a.rate, count * 1000.0 / a.rate, a.bits);
    ch.name.clear();
}

}  // namespace

double ExtendedToDouble(const std::uint8_t* p) {
    const bool negative = (p[0] & 0x80) != 0;
    const int exponent = ((p[0] & 0x7F) << 8) | p[1];
    const std::uint32_t high = platform::GetU32BE(p + 2);
    const std::uint32_t low = platform::GetU32BE(p + 6);
    double value;
    if (exponent == 0 && high == 0 && low == 0)
        value = 0.0;
    else if (exponent == 0x7FFF)
        value = std::numeric_limits<double>::infinity();
    else
        value = std::ldexp(static_cast<double>(high), exponent - 16383 - 31) +
                std::ldexp(static_cast<double>(low), exponent - 16383 - 63);
    return negative ? -value : value;
}

int ReadAiffFile(COrielDoc& document, platform::File& file, LoadTarget& target) {
    try {
        AiffLayout a;
        std::string refusal;
        if (!DescribeAiff(file, a, refusal)) {
            if (!refusal.empty())
                target.Refuse(refusal);
            return kReaderNotMine;
        }

        int chosen = 0;
        if (a.channels > 1 && document.Hooks().chooseFileChannel) {
            const std::optional<int> picked = document.Hooks().chooseFileChannel(a.channels);
            if (!picked || *picked < 0 || *picked >= a.channels)
                return kReaderEndOpen;
            chosen = *picked;
        }

        RecordingData& recording = target.Recording();
        recording.channelCount = 1;
        CChannels& ch = recording.channels[0];
        SetUpChannel(ch, a);

        const std::size_t frames = a.framesHeld;
        const std::size_t bytes = static_cast<std::size_t>((a.bits + 7) / 8);
        const std::size_t frameBytes = bytes * static_cast<std::size_t>(a.channels);
        ch.samples = platform::ReallocGlobalBuffer(ch.samples, frames * sizeof(float));
        if (ch.samples.IsNull()) {
            target.Refuse(kNoMemoryMessage);
            return kReaderNotMine;
        }
        const std::size_t piece = std::max<std::size_t>(1, kReadPieceBytes / frameBytes);
        std::vector<std::uint8_t> raw(std::min(frames, piece) * frameBytes);
        LoadSummaries summary(1, static_cast<std::int64_t>(frames));
        float* out = ch.samples.data();
        for (std::size_t done = 0; done < frames;) {
            const std::size_t n = std::min(frames - done, piece);
            const std::size_t want = n * frameBytes;
            if (file.ReadAt(a.dataStart + static_cast<std::int64_t>(done * frameBytes), raw.data(), want) != want) {
                target.Refuse(kIncorrectDataMessage);
                return kReaderNotMine;
            }
            ConvertColumn(raw.data() + static_cast<std::size_t>(chosen) * bytes, n, frameBytes, bytes, out + done);
            summary.Add(out + done, n);
            done += n;
        }
        summary.AttachTo(recording);

        recording.fileTypeCode = kFileTypeAiff;
        recording.saveAsRequired = 1;
        document.SetModifiedFlag(false);
        return kReaderLoaded;
    } catch (const platform::FileException& e) {
        target.Refuse(e.what());
    } catch (const std::bad_alloc&) {
        target.Refuse(kNoMemoryMessage);
    }
    return kReaderNotMine;
}

void RegisterAiffReader(DocumentFormats& formats) { formats.SetReader(ReaderSlot::ReadAiffFile, ReadAiffFile); }

}  // namespace vocomet
