#include "core/GenericFiles.h"

#include <algorithm>
#include <limits>
#include <new>
#include <vector>

#include "core/COrielDoc.h"
#include "core/NativeReaders.h"
#include "core/ScratchDataFile.h"
#include "platform/ByteCodec.h"
#include "platform/SampleBuffers.h"

namespace vocomet {

namespace {

// Files are read this many bytes at a time.
constexpr std::size_t kReadPieceBytes = std::size_t{1} << 20;

// Reads bytes [from, to) of the file in pieces, handing each to use(const
// std::uint8_t*, std::size_t). Stops when use returns false (then false).
// Throws FileException when the file gives fewer bytes than it is long.
template <typename Use>
bool ReadPieces(const platform::File& file, std::int64_t from, std::int64_t to, Use&& use) {
    std::vector<std::uint8_t> piece(static_cast<std::size_t>(std::min<std::int64_t>(to - from, kReadPieceBytes)));
    for (std::int64_t at = from; at < to;) {
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(to - at, kReadPieceBytes));
        if (file.ReadAt(at, piece.data(), want) != want)
            throw platform::FileException(platform::FileException::Cause::EndOfFile, {}, kIncorrectDataMessage);
        if (!use(piece.data(), want))
            return false;
        at += static_cast<std::int64_t>(want);
    }
    return true;
}

// The one channel of a generic file: count samples at the answers' rate,
// whole channel shown, no calibration.
void SetUpChannel(CChannels& ch, const char* name, int rate, std::int64_t count) {
    const double samples = static_cast<double>(count);
    ch.SetUpForeignChannel(0, samples, rate, samples * 1000.0 / rate, 16);
    ch.name = name;
    ch.reserved1 = {0, 0, 0};
    ch.stripHeight = 100;
    ch.RemoveAllLabels();
    ch.filterRate = static_cast<double>(rate / 2);  // whole hertz
}

// The channel's sample block for count samples; null when there is no
// memory for it.
float* AllocateSamples(CChannels& ch, std::int64_t count) {
    const auto n = static_cast<std::size_t>(count);
    if (n > std::numeric_limits<std::size_t>::max() / sizeof(float))
        return nullptr;
    ch.samples = platform::ReallocGlobalBuffer(ch.samples, n * sizeof(float));
    return ch.samples.IsNull() ? nullptr : ch.samples.data();
}

void FinishRecording(COrielDoc& document, RecordingData& recording, int code) {
    recording.channelCount = 1;
    recording.fileTypeCode = code;
    recording.saveAsRequired = 1;
    document.SetModifiedFlag(false);
}

}  // namespace

std::string CheckGenericAnswers(const GenericFileAnswers& answers) {
    if (answers.headerBytes < 0)
        return "The header size must be 0 bytes or more.";
    if (answers.sampleRate <= 0)
        return "The sample rate must be more than 0 Hz.";
    if (!IsLoadableRate(answers.sampleRate))
        return "The sample rate must be at most 50 MHz (50000000 Hz).";
    return {};
}

std::string CheckGenericLayout(const GenericFileAnswers& answers, std::int64_t fileLength) {
    std::string why = CheckGenericAnswers(answers);
    if (why.empty() && answers.headerBytes >= fileLength)
        why = "The header size (" + std::to_string(answers.headerBytes) +
              " bytes) must be smaller than the file (" + std::to_string(fileLength) + " bytes).";
    return why;
}

std::int32_t AsciiLineValue(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\v' || line[i] == '\f'))
        ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == '+' || line[i] == '-')) {
        negative = line[i] == '-';
        ++i;
    }
    // Accumulated as a magnitude up to just past the 32-bit range.
    constexpr std::int64_t kLimit = std::int64_t{1} << 31;
    std::int64_t magnitude = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i)
        magnitude = std::min(kLimit, magnitude * 10 + (line[i] - '0'));
    const std::int64_t value = negative ? -magnitude : magnitude;
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max()));
}

int ReadAsciiFile(COrielDoc& document, platform::File& file, LoadTarget& target) {
    const auto fail = [&document](const std::string& why) {
        document.Prompts().Beep();
        document.Prompts().Message(why);
        return kReaderEndOpen;
    };
    try {
        const GenericFileAnswers& a = document.settings.genericAnswers;
        const std::int64_t length = file.GetLength();
        if (length <= 0)
            return fail(kZeroLengthMessage);
        if (const std::string why = CheckGenericLayout(a, length); !why.empty())
            return fail(why);
        const std::int64_t start = a.headerBytes;

        // First pass: count the lines, and make sure they are lines of numbers.
        std::int64_t count = 0;
        {
            AsciiLineScanner scanner;
            const auto counter = [&count](std::string_view) { ++count; };
            const bool pure = ReadPieces(file, start, length, [&](const std::uint8_t* p, std::size_t n) {
                return scanner.Feed(reinterpret_cast<const char*>(p), n, counter);
            });
            if (!pure)
                return fail(kNotPureAsciiMessage);
            scanner.Finish(counter);
        }
        if (count == 0)
            return fail(kZeroLengthMessage);

        RecordingData& recording = target.Recording();
        CChannels& ch = recording.channels[0];
        SetUpChannel(ch, kAsciiChannelName, a.sampleRate, count);
        float* out = AllocateSamples(ch, count);
        if (!out)
            return fail(kNoMemoryMessage);

        // Second pass: the values.
        const double scale = a.sixteenBit != 0 ? 1.0 / 32768.0 : 1.0 / 128.0;
        std::int64_t filled = 0;
        const auto store = [&](std::string_view line) {
            if (filled < count)
                out[filled] = static_cast<float>(AsciiLineValue(line) * scale);
            ++filled;
        };
        AsciiLineScanner scanner;
        const bool pure = ReadPieces(file, start, length, [&](const std::uint8_t* p, std::size_t n) {
            return scanner.Feed(reinterpret_cast<const char*>(p), n, store);
        });
        scanner.Finish(store);
        if (!pure || filled != count)  // the file changed between the passes
            return fail(kIncorrectDataMessage);

        LoadSummaries summary(1, count);
        summary.Add(out, static_cast<std::size_t>(count));
        summary.AttachTo(recording);
        FinishRecording(document, recording, kFileTypeAscii);
        return kReaderLoaded;
    } catch (const platform::FileException& e) {
        return fail(e.what());
    } catch (const std::bad_alloc&) {
        return fail(kNoMemoryMessage);
    }
}

int ReadIntegerBinaryFile(COrielDoc& document, platform::File& file, LoadTarget& target) {
    try {
        const GenericFileAnswers& a = document.settings.genericAnswers;
        const std::int64_t length = file.GetLength();
        if (length <= 0 || !CheckGenericLayout(a, length).empty())
            return kReaderEndOpen;
        const std::int64_t start = a.headerBytes;
        const bool sixteen = a.sixteenBit != 0;
        const bool bigEndian = a.highByteFirst != 0;
        const std::int64_t bytes = length - start;
        const std::int64_t count = sixteen ? bytes / 2 : bytes;  // a trailing odd byte is no sample
        if (count == 0)
            return kReaderEndOpen;

        RecordingData& recording = target.Recording();
        CChannels& ch = recording.channels[0];
        SetUpChannel(ch, kIntegerBinaryChannelName, a.sampleRate, count);
        float* out = AllocateSamples(ch, count);
        if (!out)
            return kReaderEndOpen;

        const std::int64_t used = sixteen ? count * 2 : count;
        std::int64_t k = 0;
        ReadPieces(file, start, start + used, [&](const std::uint8_t* p, std::size_t n) {
            if (!sixteen) {
                for (std::size_t i = 0; i < n; ++i)
                    out[k++] = static_cast<float>(static_cast<int>(p[i]) - 128) * (1.0f / 128.0f);
            } else if (bigEndian) {
                for (std::size_t i = 0; i + 1 < n; i += 2)
                    out[k++] = static_cast<float>(platform::GetI16BE(p + i)) * (1.0f / 32768.0f);
            } else {
                for (std::size_t i = 0; i + 1 < n; i += 2)
                    out[k++] = static_cast<float>(platform::GetI16LE(p + i)) * (1.0f / 32768.0f);
            }
            return true;
        });

        LoadSummaries summary(1, count);
        summary.Add(out, static_cast<std::size_t>(count));
        summary.AttachTo(recording);
        FinishRecording(document, recording, kFileTypeIntegerBinary);
        return kReaderLoaded;
    } catch (const platform::FileException&) {
    } catch (const std::bad_alloc&) {
    }
    return kReaderEndOpen;
}

void RegisterGenericReaders(DocumentFormats& formats) {
    formats.SetReader(ReaderSlot::ReadIntegerBinaryFile, ReadIntegerBinaryFile);
    formats.SetReader(ReaderSlot::ReadAsciiFile, ReadAsciiFile);
}

}  // namespace vocomet
