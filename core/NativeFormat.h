#pragma once
// The native multichannel file: a 512-byte file header (type string and
// channel count), then for each channel its header and its label records,
// then the samples (after each channel's labels in the per-channel layouts,
// as frames after the last channel in the interleaved ones).
//
// This file only decodes. ParseNativeFile turns a file into a plain
// description (headers, labels, where the samples lie), having checked
// every count and size against the file's length; the readers of the
// document then fetch the samples. Nothing here allocates more than the file
// can hold, whatever the header fields say.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/ChannelRecords.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"
#include "platform/WinTypes.h"

namespace vocomet {

// The six layouts, in the order the document tries their readers.
enum class NativeLayout {
    Usb2Float,     // "USB2_FLOAT": interleaved float32
    KovPcFloat24,  // "KOV_PC_FLOAT_24": interleaved float32
    KovPcFloat,    // "KOV_PC_FLOAT": float32 channel by channel
    KovPc,         // "KOV_PC": int16 channel by channel
    KovePc,        // "KOVE_PC": int16 channel by channel, 264-byte channel headers
    KovMac,        // "KOV_Mac": big-endian, int16 channel by channel
};

struct NativeLayoutInfo {
    const char* typeString;
    std::size_t channelHeaderSize;
    bool bigEndian;
    bool interleaved;    // frames of float32 after the last channel's labels
    bool int16Samples;   // per-channel int16, scaled by 2^(bits-1)
};

const NativeLayoutInfo& GetNativeLayoutInfo(NativeLayout layout);

constexpr std::size_t kNativeFileHeaderSize = 512;
constexpr std::size_t kNativeTypeFieldSize = 32;  // the type string and its NUL fit here
constexpr std::size_t kNativeChannelCountOffset = 32;
constexpr std::size_t kNativeChannelHeaderSize = 248;
constexpr std::size_t kNativeKoveChannelHeaderSize = 264;
constexpr std::size_t kNativeLabelRecordSize = 368;
constexpr int kNativeMaxChannels = 19;

// The fixed file header. Only the type string and the channel count mean
// anything; the other bytes are zero when written and ignored when read.
struct NativeFileHeader {
    // The type string up to its NUL; empty with terminated false when the
    // first 32 bytes (or the bytes present) hold no NUL.
    std::string typeString;
    bool terminated = false;
    std::int32_t channelCount = 0;

    // Decodes from the start of the file (the bytes present, up to 512).
    // The channel count is 0 when its bytes are missing.
    static NativeFileHeader Decode(platform::ByteView bytes, bool bigEndian);
};

// One channel's header, in the 248-byte form or the 264-byte "KOVE_PC" form.
struct NativeChannelHeader {
    double duration = 0.0;  // ms
    double rate = 0.0;      // Hz
    double sampleCount = 0.0;
    double reference = 0.0;
    double auxFactor1 = 1.0;  // only in the 264-byte form
    double calA = 0.0;
    double calB = 0.0;
    double calC = 0.0;
    double calD = 0.0;
    std::int32_t audioFlag = 0;
    std::int32_t bits = 0;
    std::int32_t scaleMode = 0;
    std::int32_t stripHeight = 0;
    std::int32_t channelNumber = 0;
    double gain = 0.0;        // stored as int32 (uint32 big-endian in "KOV_Mac")
    double filterRate = 0.0;  // likewise
    std::int32_t labelCount = 0;
    std::int32_t drawReference = 0;
    std::int32_t timeReference = 0;
    std::array<std::int32_t, 3> reserved{};
    std::string name;  // Windows-1252 bytes
    std::string unit;  // empty in the 264-byte form (its place is not read)

    // bytes must hold the layout's channel header size.
    static NativeChannelHeader Decode(platform::ByteView bytes, NativeLayout layout);
};

// One stored label.
struct NativeLabelRecord {
    double time = 0.0;
    double relativeHeight = 0.0;
    std::int32_t anchoring = 0;
    std::int32_t markerLine = 0;
    platform::Rect rect;
    std::int32_t red = 0;
    std::int32_t green = 0;
    std::int32_t blue = 0;
    platform::LogFontA font;  // "KOV_Mac": the default GUI font with the stored height
    std::string text;         // Windows-1252 bytes, up to its NUL

    // bytes must hold 368 bytes.
    static NativeLabelRecord Decode(platform::ByteView bytes, bool bigEndian);

    // The label as a channel keeps it: the colour from the low byte of each
    // part, the marker-line flag's low byte, the text cut to 255 bytes.
    LABEL ToLabel() const;
};

// One channel of a parsed file.
struct NativeChannelDescription {
    NativeChannelHeader header;
    std::vector<NativeLabelRecord> labels;
    std::int64_t sampleCount = 0;   // the header's count as a whole number
    std::int64_t sampleOffset = 0;  // per-channel layouts: file offset of its samples
};

struct NativeFileDescription {
    NativeLayout layout = NativeLayout::KovPcFloat24;
    NativeFileHeader header;
    std::vector<NativeChannelDescription> channels;
    std::int64_t frameOffset = 0;  // interleaved layouts: the first frame
    std::int64_t frameCount = 0;   // interleaved layouts: channel 0's sample count
    std::int64_t fileLength = 0;
};

enum class NativeParseStatus {
    Ok,
    NotThisLayout,      // the type string differs: nothing more was read
    WrongChannelCount,  // the count is outside 1..19
    ShortFile,          // headers, labels or samples run past the end, or a count is not a count
    BadRate,            // a channel's rate is not a finite positive number
    BadDuration,        // a channel with samples has a duration that is not a finite positive number
};

struct NativeParseResult {
    NativeParseStatus status = NativeParseStatus::NotThisLayout;
    NativeFileDescription file;  // filled as far as the parse got
    int badChannel = 0;          // BadRate, BadDuration: the channel's index
};

// Reads the headers and labels of a file of the given layout and places its
// samples. Every size is checked against the file's length before it is
// read. Sample counts must be finite, non-negative whole numbers (a
// fraction is dropped); in the interleaved layouts every channel must have
// channel 0's count. Rates must be finite and positive, and so must the
// duration of a channel with samples (an empty one may last 0 ms), since
// every time and position of a channel is worked out from them. Throws
// platform::FileException on a read error.
NativeParseResult ParseNativeFile(const platform::File& file, NativeLayout layout);

// The type string at the start of a file, or empty (see NativeFileHeader).
std::string ReadNativeTypeString(const platform::File& file);

}  // namespace vocomet
