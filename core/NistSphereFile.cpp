#include "core/NistSphereFile.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/COrielDoc.h"
#include "core/NativeReaders.h"
#include "core/ScratchDataFile.h"
#include "core/WaveFile.h"
#include "platform/ByteCodec.h"
#include "platform/Numbers.h"
#include "platform/SampleBuffers.h"

namespace vocomet {

namespace {

constexpr std::int64_t kMinimumFileBytes = 101;
constexpr char kMagic[] = "NIST_1A";
constexpr long long kMaxHeaderBytes = 5120;
// Recordings longer than this (seconds) stay on disk.
constexpr double kLongFileSeconds = kScratchFileSeconds;
// Frames are read and converted this many bytes at a time.
constexpr std::size_t kReadPieceBytes = std::size_t{2} << 20;

enum class SampleKind { Int8, Int16BE, Int16LE, MuLaw };

struct SphereLayout {
    std::int64_t headerBytes = 0;  // the samples start here
    long long rate = 0;
    long long channels = 0;
    long long sampleCount = 0;  // per channel
    long long bytesPerSample = 0;
    SampleKind kind = SampleKind::Int16LE;
    double durationMs = 0.0;
};

// The integer value of a line for key: its text from the key's length and
// the blank, type field and blank after it, leading blanks skipped.
long long IntegerValue(std::string_view line, std::string_view key) {
    const std::size_t at = key.size() + 4;
    return at < line.size() ? platform::LeadingInt(line.substr(at)) : 0;
}

std::string_view Trim(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    return s;
}

// The header's lines from byte 16 up to the "end_head" line (not kept) or
// the end of the header; a last line without its line feed counts too.
std::vector<std::string_view> HeaderLines(std::string_view header) {
    std::vector<std::string_view> lines;
    std::size_t at = 16;
    while (at < header.size()) {
        std::size_t end = header.find('\n', at);
        if (end == std::string_view::npos)
            end = header.size();
        const std::string_view line = header.substr(at, end - at);
        if (line.substr(0, 8) == "end_head")
            break;
        lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

// The file's layout. False when it is no SPHERE file (refusal empty) or one
// the document cannot load (refusal says why).
bool DescribeSphere(const platform::File& file, SphereLayout& s, std::string& refusal) {
    const std::int64_t length = file.GetLength();
    if (length < kMinimumFileBytes)
        return false;
    char head[16];
    if (file.ReadAt(0, head, sizeof head) != sizeof head || std::memcmp(head, kMagic, 7) != 0)
        return false;
    const long long headerBytes = platform::LeadingInt(std::string_view(head + 8, 7));
    if (headerBytes < 1 || headerBytes > kMaxHeaderBytes)
        return false;
    if (headerBytes > length) {
        refusal = "This NIST SPHERE file is shorter than its header.";
        return false;
    }
    s.headerBytes = headerBytes;
    std::string header(static_cast<std::size_t>(headerBytes), '\0');
    if (file.ReadAt(0, header.data(), header.size()) != header.size()) {
        refusal = kIncorrectDataMessage;
        return false;
    }

    // A later line of a key overrides an earlier one.
    std::string coding = "pcm";
    bool bigEndian = false;
    bool littleEndian = false;
    for (std::string_view line : HeaderLines(header)) {
        if (line.starts_with("sample_rate"))
            s.rate = IntegerValue(line, "sample_rate");
        else if (line.starts_with("channel_count"))
            s.channels = IntegerValue(line, "channel_count");
        else if (line.starts_with("sample_count"))
            s.sampleCount = IntegerValue(line, "sample_count");
        else if (line.starts_with("sample_n_byte"))
            s.bytesPerSample = IntegerValue(line, "sample_n_byte");
        else if (line.starts_with("sample_byte_format")) {
            bigEndian = line.find("10") != std::string_view::npos;
            littleEndian = !bigEndian && line.find("01") != std::string_view::npos;
        } else if (line.starts_with("sample_coding")) {
            const std::size_t at = std::string_view("sample_coding").size() + 5;
            coding = at < line.size() ? std::string(Trim(line.substr(at))) : std::string();
        }
    }

    if (s.channels < 1 || s.channels > kDocumentSlots) {
        refusal = "This NIST SPHERE file declares " + std::to_string(s.channels) + " channels; files of 1 to " +
                  std::to_string(kDocumentSlots) + " channels can be opened.";
        return false;
    }
    if (coding != "pcm" && coding != "ulaw") {
        refusal = "This NIST SPHERE file's sample coding is not supported: '" + coding +
                  "'.\nVocomet reads SPHERE files of 8- and 16-bit pcm and of 8-bit ulaw samples.";
        return false;
    }
    if (coding == "ulaw" ? s.bytesPerSample != 1 : (s.bytesPerSample != 1 && s.bytesPerSample != 2)) {
        refusal = "This NIST SPHERE file's " + coding + " samples of " + std::to_string(s.bytesPerSample) +
                  " bytes are not supported.";
        return false;
    }
    if (s.rate <= 0) {
        refusal = "This NIST SPHERE file's sample rate is " + std::to_string(s.rate) +
                  " Hz; a recording needs a positive rate.";
        return false;
    }
    if (!IsLoadableRate(static_cast<double>(s.rate))) {
        refusal = RateRefusal("This NIST SPHERE file", static_cast<double>(s.rate));
        return false;
    }
    if (coding == "ulaw")
        s.kind = SampleKind::MuLaw;
    else if (s.bytesPerSample == 1)
        s.kind = SampleKind::Int8;
    else if (bigEndian)
        s.kind = SampleKind::Int16BE;
    else if (littleEndian)
        s.kind = SampleKind::Int16LE;
    else {
        refusal = "This NIST SPHERE file does not say in which byte order its 16-bit samples are stored.";
        return false;
    }
    if (s.sampleCount < 1) {
        refusal = "This NIST SPHERE file holds no samples.";
        return false;
    }
    // A file cut short (a recording that was never finished) is read as
    // far as it goes: the frames it holds, never more than the header
    // announces, so nothing is allocated beyond what the file can fill.
    const auto frameBytes = static_cast<std::uint64_t>(s.bytesPerSample * s.channels);
    const std::uint64_t held = static_cast<std::uint64_t>(length - s.headerBytes) / frameBytes;
    if (held == 0) {
        refusal = "This NIST SPHERE file is cut short: its samples end before the first frame of " +
                  std::to_string(frameBytes) + " bytes.";
        return false;
    }
    s.sampleCount = static_cast<long long>(std::min(static_cast<std::uint64_t>(s.sampleCount), held));
    s.durationMs = static_cast<double>(s.sampleCount) * 1000.0 / static_cast<double>(s.rate);
    return true;
}

// count frames of n samples from raw into count x n floats.
void DecodeFrames(SampleKind kind, const std::uint8_t* raw, std::size_t values, float* out) {
    switch (kind) {
    case SampleKind::Int8:
        for (std::size_t i = 0; i < values; ++i)
            out[i] = static_cast<float>(static_cast<std::int8_t>(raw[i])) * (1.0f / 128.0f);
        break;
    case SampleKind::Int16BE:
        for (std::size_t i = 0; i < values; ++i)
            out[i] = static_cast<float>(platform::GetI16BE(raw + 2 * i)) * (1.0f / 32768.0f);
        break;
    case SampleKind::Int16LE:
        for (std::size_t i = 0; i < values; ++i)
            out[i] = static_cast<float>(platform::GetI16LE(raw + 2 * i)) * (1.0f / 32768.0f);
        break;
    case SampleKind::MuLaw: {
        static const auto table = [] {
            std::vector<float> t(256);
            for (int b = 0; b < 256; ++b)
                t[static_cast<std::size_t>(b)] =
                    static_cast<float>(MuLawToLinear(static_cast<std::uint8_t>(b)) / 32768.0);
            return t;
        }();
        for (std::size_t i = 0; i < values; ++i)
            out[i] = table[raw[i]];
        break;
    }
    }
}

void SetUpChannel(CChannels& ch, int index, const SphereLayout& s) {
    ch.SetUpForeignChannel(index, static_cast<double>(s.sampleCount), static_cast<double>(s.rate), s.durationMs, 16);
    ch.name.clear();
}

// Frames in pieces: each read is decoded into float frames, which go on
// with a worker summarising them while the next read is decoded (decoded
// frames alternate between two buffers); use takes each piece's frames.
// False when the file gives fewer bytes than it did; aborted is set when
// use asks to stop.
template <typename Use>
bool ForEachPiece(const platform::File& file, const SphereLayout& s, LoadSummaries& summaries, Use&& use) {
    const auto n = static_cast<std::size_t>(s.channels);
    const auto frames = static_cast<std::size_t>(s.sampleCount);
    const std::size_t frameBytes = n * static_cast<std::size_t>(s.bytesPerSample);
    const std::size_t perPiece = std::max<std::size_t>(1, kReadPieceBytes / frameBytes);
    const std::size_t pieceFrames = std::min(frames, perPiece);
    std::vector<std::uint8_t> raw(pieceFrames * frameBytes);
    std::vector<float> decoded[2] = {std::vector<float>(pieceFrames * n), std::vector<float>(pieceFrames * n)};
    SummaryPipeline pipeline(summaries);
    for (std::size_t k0 = 0, i = 0; k0 < frames; ++i) {
        const std::size_t count = std::min(frames - k0, perPiece);
        const std::size_t bytes = count * frameBytes;
        if (file.ReadAt(s.headerBytes + static_cast<std::int64_t>(k0 * frameBytes), raw.data(), bytes) != bytes)
            return false;
        float* out = decoded[i % 2].data();
        DecodeFrames(s.kind, raw.data(), count * n, out);
        pipeline.Hand(out, count);
        if (!use(out, count, k0, pipeline))
            return true;
        k0 += count;
    }
    return true;
}

// Null when loaded, else why not.
const char* LoadIntoMemory(const platform::File& file, const SphereLayout& s, RecordingData& recording) {
    const auto n = static_cast<std::size_t>(s.channels);
    const auto frames = static_cast<std::size_t>(s.sampleCount);
    std::vector<float*> out(n);
    for (std::size_t c = 0; c < n; ++c) {
        CChannels& ch = recording.channels[c];
        ch.samples = platform::ReallocGlobalBuffer(ch.samples, frames * sizeof(float));
        if (ch.samples.IsNull())
            return kNoMemoryMessage;
        out[c] = ch.samples.data();
    }
    LoadSummaries summaries(n, s.sampleCount);
    const bool whole = ForEachPiece(file, s, summaries,
                                    [&](const float* piece, std::size_t count, std::size_t k0, SummaryPipeline&) {
                                        for (std::size_t t = 0; t < count; t += kSpreadTileFrames)
                                            SpreadFrameTile(piece + t * n, std::min(kSpreadTileFrames, count - t),
                                                            n, out, k0 + t);
                                        return true;
                                    });
    if (!whole)
        return kIncorrectDataMessage;
    summaries.AttachTo(recording);
    return nullptr;
}

// Converts the frames into a scratch file that becomes the recording's
// data file. kReaderEndOpen when the user aborts.
int LoadIntoScratchFile(COrielDoc& document, const platform::File& file, const SphereLayout& s,
                        RecordingData& recording, LoadTarget& target) {
    std::optional<ScratchDataFile> scratch;
    try {
        scratch.emplace(document);
    } catch (const platform::FileException& e) {
        target.Refuse(e.what());
        return kReaderNotMine;
    }
    platform::File& data = scratch->File();
    const auto n = static_cast<std::size_t>(s.channels);

    auto progress = document.MakeProgress();
    progress->SetText(kReadingProgressText + std::filesystem::path(file.GetFilePath()).filename().string());
    progress->SetFraction(0.0);
    ThrottledProgress shown(progress.get());
    LoadSummaries summaries(n, s.sampleCount);
    bool aborted = false;
    const bool whole = ForEachPiece(
        file, s, summaries, [&](float* piece, std::size_t count, std::size_t k0, SummaryPipeline& pipeline) {
            if constexpr (std::endian::native != std::endian::little) {
                // The file holds little-endian floats, the summaries read
                // host floats: they are done before the bytes turn round.
                pipeline.Wait();
                for (std::size_t j = 0; j < count * n; ++j) {
                    std::uint8_t b[4];
                    platform::PutF32LE(b, piece[j]);
                    std::memcpy(&piece[j], b, 4);
                }
            }
            (void)pipeline;
            data.Write(piece, count * n * sizeof(float));
            shown.Update(static_cast<double>(k0 + count), static_cast<double>(s.sampleCount));
            if (shown.AbortRequested()) {
                aborted = true;
                return false;
            }
            return true;
        });
    if (aborted)
        return kReaderEndOpen;
    if (!whole) {
        target.Refuse(kIncorrectDataMessage);
        return kReaderNotMine;
    }
    scratch->AdoptInto(recording, n);
    summaries.AttachTo(recording);
    return kReaderLoaded;
}

}  // namespace

int ReadNistSphereFile(COrielDoc& document, platform::File& file, LoadTarget& target) {
    try {
        SphereLayout s;
        std::string refusal;
        if (!DescribeSphere(file, s, refusal)) {
            if (!refusal.empty())
                target.Refuse(refusal);
            return kReaderNotMine;
        }
        RecordingData& recording = target.Recording();
        recording.channelCount = static_cast<int>(s.channels);
        for (int c = 0; c < recording.channelCount; ++c)
            SetUpChannel(recording.channels[static_cast<std::size_t>(c)], c, s);

        if (s.durationMs <= kLongFileSeconds * 1000.0) {
            if (const char* failed = LoadIntoMemory(file, s, recording)) {
                target.Refuse(failed);
                return kReaderNotMine;
            }
        } else {
            const int loaded = LoadIntoScratchFile(document, file, s, recording, target);
            if (loaded != kReaderLoaded)
                return loaded;
        }
        recording.fileTypeCode = kFileTypeNistSphere;
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

void RegisterNistSphereReader(DocumentFormats& formats) {
    formats.SetReader(ReaderSlot::ReadNistSphereFile, ReadNistSphereFile);
}

}  // namespace vocomet
