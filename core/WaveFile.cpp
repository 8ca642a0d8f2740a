#include "core/WaveFile.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <new>
#include <string>
#include <vector>

#include "platform/SampleBuffers.h"
#include "core/COrielDoc.h"
#include "core/InterleavedFrames.h"
#include "core/NativeReaders.h"
#include "core/ScratchDataFile.h"
#include "platform/Progress.h"
#include "platform/UserPrompts.h"

namespace vocomet {

namespace {

// Recordings this long (ms) and longer stay on disk.
constexpr double kLongFileMs = kScratchFileSeconds * 1000.0;
constexpr const char* kNotEnoughMemoryToLoad = "There is not enough memory to load this recording.";
constexpr const char* kFileShrankWhileRead = "The file became shorter while it was read.";

bool IdIs(const std::uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

void PutId(std::uint8_t* p, const char* id) { std::memcpy(p, id, 4); }

void Tell(COrielDoc& document, const std::string& text) {
    document.Prompts().Message(text, platform::Buttons::Ok, platform::Icon::Warning);
}

// How the samples of a file are stored.
enum class SampleKind { UnsignedByte, Int16, Int24, Int32, Float32, MuLaw };

struct SampleFormat {
    SampleKind kind = SampleKind::Int16;
    std::size_t bytes = 2;  // per sample
};

// The stored form of the file's samples; false for a format the document
// does not read.
bool SampleFormatOf(const WaveFormat& f, SampleFormat& out) {
    switch (f.EffectiveTag()) {
    case kWaveFormatPcm:
        // Integer samples sit in whole bytes, left-justified, so a width
        // that is no multiple of 8 reads as its container.
        if (f.bitsPerSample >= 1 && f.bitsPerSample <= 8)
            out = {SampleKind::UnsignedByte, 1};
        else if (f.bitsPerSample <= 16)
            out = {SampleKind::Int16, 2};
        else if (f.bitsPerSample <= 24)
            out = {SampleKind::Int24, 3};
        else if (f.bitsPerSample <= 32)
            out = {SampleKind::Int32, 4};
        else
            return false;
        return f.bitsPerSample != 0;
    case kWaveFormatIeeeFloat:
        // Only single precision: a 64-bit float file would read as noise.
        if (f.bitsPerSample != 32)
            return false;
        out = {SampleKind::Float32, 4};
        return true;
    case kWaveFormatMuLaw: out = {SampleKind::MuLaw, 1}; return true;
    default: return false;  // A-law, ADPCM, compressed formats...
    }
}

// Mu-law bytes as the floats they load as.
const std::array<float, 256>& MuLawTable() {
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        for (int b = 0; b < 256; ++b)
            t[static_cast<std::size_t>(b)] = static_cast<float>(MuLawToLinear(static_cast<std::uint8_t>(b)) / 32768.0);
        return t;
    }();
    return table;
}

// One stored sample as a float in -1..1. Integers are scaled by a power of
// two in float, which gives exactly the float of the quotient in double.
template <SampleKind K>
inline float Decode(const std::uint8_t* p, const float* muLaw) {
    if constexpr (K == SampleKind::UnsignedByte)
        return static_cast<float>(static_cast<int>(p[0]) - 128) * (1.0f / 128.0f);
    else if constexpr (K == SampleKind::Int16)
        return static_cast<float>(platform::GetI16LE(p)) * (1.0f / 32768.0f);
    else if constexpr (K == SampleKind::Int24)
        return static_cast<float>(platform::GetI24LE(p)) * (1.0f / 8388608.0f);
    else if constexpr (K == SampleKind::Int32)
        return static_cast<float>(platform::GetI32LE(p)) * (1.0f / 2147483648.0f);
    else if constexpr (K == SampleKind::Float32)
        return platform::GetF32LE(p);
    else
        return muLaw[p[0]];
}

template <SampleKind K>
constexpr std::size_t kStoredBytes = K == SampleKind::UnsignedByte || K == SampleKind::MuLaw ? 1
                                     : K == SampleKind::Int16                                  ? 2
                                     : K == SampleKind::Int24                                  ? 3
                                                                                               : 4;

// count samples stored one after the other into count floats: groups of
// lanes in a loop of fixed length, which the compiler vectorises, then the
// rest.
template <SampleKind K>
void DecodeRun(const std::uint8_t* __restrict in, float* __restrict out, std::size_t count, const float* muLaw) {
    constexpr std::size_t kLanes = 16;
    constexpr std::size_t B = kStoredBytes<K>;
    std::size_t i = 0;
    for (; i + kLanes <= count; i += kLanes)
        for (std::size_t k = 0; k < kLanes; ++k)
            out[i + k] = Decode<K>(in + (i + k) * B, muLaw);
    for (; i < count; ++i)
        out[i] = Decode<K>(in + i * B, muLaw);
}

// frames frames of the file (blockAlign bytes each) into frames of
// channels floats at out. Frames holding nothing but their samples are one
// run; others (padded frames) a run each.
template <SampleKind K>
void DecodeFramesAs(const std::uint8_t* raw, std::size_t frames, std::size_t blockAlign, std::size_t channels,
                    float* out) {
    const float* muLaw = K == SampleKind::MuLaw ? MuLawTable().data() : nullptr;
    if (blockAlign == channels * kStoredBytes<K>) {
        DecodeRun<K>(raw, out, frames * channels, muLaw);
        return;
    }
    for (std::size_t k = 0; k < frames; ++k)
        DecodeRun<K>(raw + k * blockAlign, out + k * channels, channels, muLaw);
}

void DecodeFrames(SampleKind kind, const std::uint8_t* raw, std::size_t frames, std::size_t blockAlign,
                  std::size_t channels, float* out) {
    switch (kind) {
    case SampleKind::UnsignedByte:
        DecodeFramesAs<SampleKind::UnsignedByte>(raw, frames, blockAlign, channels, out);
        break;
    case SampleKind::Int16: DecodeFramesAs<SampleKind::Int16>(raw, frames, blockAlign, channels, out); break;
    case SampleKind::Int24: DecodeFramesAs<SampleKind::Int24>(raw, frames, blockAlign, channels, out); break;
    case SampleKind::Int32: DecodeFramesAs<SampleKind::Int32>(raw, frames, blockAlign, channels, out); break;
    case SampleKind::Float32: DecodeFramesAs<SampleKind::Float32>(raw, frames, blockAlign, channels, out); break;
    case SampleKind::MuLaw: DecodeFramesAs<SampleKind::MuLaw>(raw, frames, blockAlign, channels, out); break;
    }
}

// What a load needs to know about the file.
struct WaveLayout {
    WaveChunks chunks;
    SampleFormat sample;
    std::size_t channels = 0;
    std::size_t blockAlign = 0;
    std::int64_t frames = 0;
    double rate = 0.0;
    double durationMs = 0.0;
};

void SetUpChannel(CChannels& ch, int index, const WaveLayout& w) {
    ch.SetUpForeignChannel(index, static_cast<double>(w.frames), w.rate, w.durationMs, w.chunks.format.bitsPerSample);
    char name[32];
    std::snprintf(name, sizeof name, "Chan  %d", index + 1);
    ch.name = name;
}

// Reads the data chunk into one block per channel. The blocks' pages are
// made present on every core first; then every core reads pieces of the
// chunk of its own, decodes each into float frames, spreads them into the
// blocks tile by tile and folds them into the summaries. Null when it did,
// else why not: a block or a work buffer cannot be had, or the file gives
// fewer bytes than it did.
const char* LoadIntoMemory(const platform::File& file, const WaveLayout& w, RecordingData& recording) {
    const auto frames = static_cast<std::size_t>(w.frames);
    std::vector<platform::BlockBytes> blocks(w.channels);
    std::vector<float*> out(w.channels);
    for (std::size_t c = 0; c < w.channels; ++c) {
        CChannels& ch = recording.channels[c];
        ch.samples = platform::ReallocGlobalBuffer(ch.samples, frames * sizeof(float));
        if (frames > 0 && ch.samples.IsNull())
            return kNotEnoughMemoryToLoad;
        out[c] = ch.samples.data();
        blocks[c] = {ch.samples.data(), ch.samples.SizeBytes()};
    }
    LoadSummaries summaries(w.channels, w.frames);
    const std::size_t frameBytes = w.channels * sizeof(float);
    const std::size_t framesPerPiece = FramesPerSummaryPiece(frameBytes, w.frames);
    // A worker's buffer: the piece's bytes as read, then its float frames
    // (at a multiple of 64 bytes).
    const std::size_t rawBytes = (framesPerPiece * w.blockAlign + 63) / 64 * 64;
    PiecesResult result = PiecesResult::Done;
    try {
        result = FillBlocksInPieces(w.frames, blocks, framesPerPiece, rawBytes + framesPerPiece * frameBytes,
                                    summaries,
                                    [&](std::int64_t first, std::size_t n, std::byte* buffer) -> const float* {
                                        auto* raw = reinterpret_cast<std::uint8_t*>(buffer);
                                        auto* decoded = reinterpret_cast<float*>(buffer + rawBytes);
                                        const std::size_t bytes = n * w.blockAlign;
                                        const std::int64_t offset =
                                            w.chunks.dataOffset + first * static_cast<std::int64_t>(w.blockAlign);
                                        if (file.ReadAt(offset, raw, bytes) != bytes)
                                            return nullptr;
                                        const auto at = static_cast<std::size_t>(first);
                                        for (std::size_t t = 0; t < n; t += kSpreadTileFrames) {
                                            const std::size_t tile = std::min(kSpreadTileFrames, n - t);
                                            float* tileFrames = decoded + t * w.channels;
                                            DecodeFrames(w.sample.kind, raw + t * w.blockAlign, tile, w.blockAlign,
                                                         w.channels, tileFrames);
                                            SpreadFrameTile(tileFrames, tile, w.channels, out, at + t);
                                        }
                                        return decoded;
                                    });
    } catch (const std::bad_alloc&) {
        return kNotEnoughMemoryToLoad;
    }
    if (result != PiecesResult::Done)
        return kFileShrankWhileRead;
    summaries.AttachTo(recording);
    return nullptr;
}

// True when the file's frames are already what a data file holds: float
// samples and nothing else.
bool FramesAreFloat(const WaveLayout& w) {
    return w.sample.kind == SampleKind::Float32 && w.blockAlign == w.channels * sizeof(float);
}

// The float frames of a file's data chunk, made on demand from its stored
// samples: the bytes of the scratch file its recording converts into, for
// the background conversion and for reads of what it has not reached yet.
class WaveFrameMaker final : public platform::FillSource {
public:
    // data: a section holding the data chunk's frames.
    WaveFrameMaker(platform::File data, const WaveLayout& w)
        : m_data(std::move(data)), m_kind(w.sample.kind), m_blockAlign(w.blockAlign), m_channels(w.channels),
          m_frames(w.frames) {}

    std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t count) const override {
        const auto frameBytes = static_cast<std::int64_t>(m_channels * sizeof(float));
        if (offset < 0 || offset >= m_frames * frameBytes)
            return 0;
        count = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(count),
                                                                m_frames * frameBytes - offset));
        // Whole frames are made, a few at a time, and the bytes asked for
        // are taken out of them.
        constexpr std::size_t kMostFrames = 16384;
        auto* out = static_cast<std::uint8_t*>(buffer);
        std::vector<std::uint8_t> raw;
        std::vector<float> frames;
        std::size_t done = 0;
        while (done < count) {
            const std::int64_t at = offset + static_cast<std::int64_t>(done);
            const std::int64_t first = at / frameBytes;
            const auto skip = static_cast<std::size_t>(at - first * frameBytes);
            const auto n = std::min<std::size_t>(
                kMostFrames, (skip + (count - done) + static_cast<std::size_t>(frameBytes) - 1) /
                                 static_cast<std::size_t>(frameBytes));
            raw.resize(n * m_blockAlign);
            frames.resize(n * m_channels);
            const std::size_t got =
                m_data.ReadAt(first * static_cast<std::int64_t>(m_blockAlign), raw.data(), raw.size()) / m_blockAlign;
            DecodeFrames(m_kind, raw.data(), got, m_blockAlign, m_channels, frames.data());
            if constexpr (std::endian::native != std::endian::little) {
                // The file holds little-endian floats.
                for (float& v : frames) {
                    std::uint8_t b[4];
                    platform::PutF32LE(b, v);
                    std::memcpy(&v, b, 4);
                }
            }
            const std::size_t made = got * static_cast<std::size_t>(frameBytes);
            if (made <= skip)
                break;
            const std::size_t take = std::min(count - done, made - skip);
            std::memcpy(out + done, reinterpret_cast<const std::uint8_t*>(frames.data()) + skip, take);
            done += take;
            if (got < n)
                break;  // the file ended early
        }
        return done;
    }

private:
    platform::File m_data;
    SampleKind m_kind;
    std::size_t m_blockAlign;
    std::size_t m_channels;
    std::int64_t m_frames;
};

// Reads the data chunk's frames once for the summaries, every core pieces
// of its own, with the progress shown and the user able to abort. Without
// the memory for them there are no summaries and nothing is read.
PiecesResult SummariseFrames(const platform::File& file, const WaveLayout& w, ThrottledProgress& shown,
                             LoadSummaries& summaries) {
    if (!summaries.Active() || !summaries.StartPieces()) {
        shown.Update(1.0, 1.0);
        return PiecesResult::Done;
    }
    const std::size_t frameBytes = w.channels * sizeof(float);
    const std::size_t framesPerPiece = FramesPerSummaryPiece(frameBytes, w.frames);
    const bool floats = FramesAreFloat(w);
    // A worker's buffer: the piece's bytes as read, then its float frames
    // (at a multiple of 64 bytes); float frames are read where they go.
    const std::size_t rawBytes = floats ? 0 : (framesPerPiece * w.blockAlign + 63) / 64 * 64;
    PiecesResult result = PiecesResult::Done;
    try {
        result = RunFramePieces(
            w.frames, framesPerPiece, rawBytes + framesPerPiece * frameBytes, shown,
            [&](std::int64_t first, std::size_t n, std::byte* buffer) {
                auto* frames = reinterpret_cast<float*>(buffer + rawBytes);
                const std::int64_t offset = w.chunks.dataOffset + first * static_cast<std::int64_t>(w.blockAlign);
                if (floats) {
                    if (!ReadFloatsLE(file, offset, frames, n * w.channels))
                        return false;
                } else {
                    auto* raw = reinterpret_cast<std::uint8_t*>(buffer);
                    if (file.ReadAt(offset, raw, n * w.blockAlign) != n * w.blockAlign)
                        return false;
                    DecodeFrames(w.sample.kind, raw, n, w.blockAlign, w.channels, frames);
                }
                summaries.AddPiece(first, frames, n);
                return true;
            });
    } catch (const std::bad_alloc&) {
        // Out of memory costs only the summaries; a read error ends the load.
        summaries.Finish();
        shown.Update(1.0, 1.0);
        return PiecesResult::Done;
    }
    if (result == PiecesResult::Done) {
        summaries.EndPieces();
        shown.Update(1.0, 1.0);
    }
    return result;
}

// A long recording stays on disk, shown as soon as one pass over its frames
// has made the summaries. Float frames are read where they lie: the file's
// data chunk itself is the data file. Other samples are converted into a
// scratch file of float frames in the background; until the conversion
// reaches a frame, reads of it convert it from the file. kReaderEndOpen
// when the user aborts.
int LoadOnDisk(COrielDoc& document, const platform::File& file, const WaveLayout& w, RecordingData& recording,
               LoadTarget& target) {
    const std::int64_t floatBytes = w.frames * static_cast<std::int64_t>(w.channels * sizeof(float));
    std::shared_ptr<platform::File> data;
    std::optional<ScratchDataFile> scratch;
    std::string dataPath;
    try {
        if (FramesAreFloat(w)) {
            // The user's file is only read. The section goes under a name of
            // the temp folder, reserved for the document, where what is made
            // from the data (intensity curves, the clipboard's copy) goes
            // beside it; that empty file goes when the data file does.
            dataPath = document.MakeTempFileName();
            data = platform::ShareRemovedWhenReleased(dataPath);
            *data = file.Section(w.chunks.dataOffset, floatBytes, dataPath);
        } else {
            scratch.emplace(document);
            dataPath = scratch->Path();
        }
    } catch (const platform::FileException& e) {
        target.Refuse(e.what());
        return kReaderNotMine;
    }

    auto progress = document.MakeProgress();
    progress->SetText(kReadingProgressText + std::filesystem::path(file.GetFilePath()).filename().string());
    progress->SetFraction(0.0);
    ThrottledProgress shown(progress.get());
    LoadSummaries summaries(w.channels, w.frames);
    switch (SummariseFrames(file, w, shown, summaries)) {
    case PiecesResult::Done: break;
    case PiecesResult::Aborted: return kReaderEndOpen;
    case PiecesResult::SourceShort: target.Refuse(kFileShrankWhileRead); return kReaderNotMine;
    }
    if (scratch) {
        const std::int64_t storedBytes = w.frames * static_cast<std::int64_t>(w.blockAlign);
        if (file.GetLength() - w.chunks.dataOffset < storedBytes) {
            target.Refuse(kFileShrankWhileRead);
            return kReaderNotMine;
        }
        scratch->File().StartBackgroundFill(
            std::make_shared<WaveFrameMaker>(file.Section(w.chunks.dataOffset, storedBytes, file.GetFilePath()), w),
            floatBytes);
        scratch->AdoptInto(recording, w.channels);
    } else {
        if (data->GetLength() < floatBytes) {
            target.Refuse(kFileShrankWhileRead);
            return kReaderNotMine;
        }
        AdoptDataFile(recording, data, dataPath, w.channels);
    }
    summaries.AttachTo(recording);
    return kReaderLoaded;
}

// What the document reads, for refusals.
constexpr const char* kReadableEncodings =
    "Vocomet reads WAV files of 8- to 32-bit PCM, 32-bit IEEE float and mu-law samples.";

// The file's layout; false when the document does not read it. A file that
// is a WAV but cannot be loaded gets the reason in refusal.
bool DescribeWave(const platform::File& file, WaveLayout& w, std::string& refusal) {
    if (CWave::FindWaveChunks(file, w.chunks) != 0) {
        refusal = w.chunks.damage;
        return false;
    }
    const WaveFormat& f = w.chunks.format;
    if (!w.chunks.formatFound) {
        refusal = "This WAV file has no format chunk before its data.";
        return false;
    }
    if (f.channels == 0) {
        refusal = "This WAV file declares no channels.";
        return false;
    }
    if (f.channels > kDocumentSlots) {
        refusal = "This WAV file has " + std::to_string(f.channels) + " channels; at most " +
                  std::to_string(kDocumentSlots) + " can be opened.";
        return false;
    }
    if (!SampleFormatOf(f, w.sample)) {
        refusal = "This WAV file's encoding is not supported: " + f.EncodingName() + ".\n" + kReadableEncodings;
        return false;
    }
    w.channels = f.channels;
    w.blockAlign = f.blockAlign;
    // A frame must hold one sample of every channel.
    if (w.blockAlign < w.channels * w.sample.bytes) {
        refusal = "This WAV file's header is inconsistent: frames of " + std::to_string(w.blockAlign) +
                  " bytes cannot hold " + std::to_string(w.channels) + (w.channels == 1 ? " channel" : " channels") +
                  " of " + std::to_string(f.bitsPerSample) + "-bit samples.";
        return false;
    }
    if (f.sampleRate == 0) {
        refusal = "This WAV file's sample rate is 0.";
        return false;
    }
    if (!IsLoadableRate(static_cast<double>(f.sampleRate))) {
        refusal = RateRefusal("This WAV file", static_cast<double>(f.sampleRate));
        return false;
    }
    w.rate = static_cast<double>(f.sampleRate);
    w.frames = w.chunks.dataLength / static_cast<std::int64_t>(w.blockAlign);
    w.durationMs = static_cast<double>(w.frames) * 1000.0 / w.rate;
    return true;
}

// The name of a format tag, for messages.
std::string TagName(std::uint16_t tag) {
    switch (tag) {
    case kWaveFormatPcm: return "PCM";
    case 0x0002: return "Microsoft ADPCM";
    case kWaveFormatIeeeFloat: return "IEEE float";
    case kWaveFormatALaw: return "A-law";
    case kWaveFormatMuLaw: return "mu-law";
    case 0x0011: return "IMA ADPCM";
    case 0x0031: return "GSM 6.10";
    case 0x0050: return "MPEG";
    case 0x0055: return "MPEG layer 3";
    default: break;
    }
    char text[32];
    std::snprintf(text, sizeof text, "format tag 0x%04X", static_cast<unsigned>(tag));
    return text;
}

}  // namespace

// ---- format record and chunks ------------------------------------------------------

WaveFormat WaveFormat::Decode(platform::ByteView b) {
    WaveFormat f;
    f.formatTag = b.U16LE(0);
    f.channels = b.U16LE(2);
    f.sampleRate = b.U32LE(4);
    f.bytesPerSecond = b.U32LE(8);
    f.blockAlign = b.U16LE(12);
    f.bitsPerSample = b.U16LE(14);
    f.extraSize = b.U16LE(16);
    f.validBitsPerSample = b.U16LE(18);
    f.channelMask = b.U32LE(20);
    std::memcpy(f.subFormat.data(), b.data() + 24, f.subFormat.size());
    return f;
}

std::uint16_t WaveFormat::EffectiveTag() const {
    if (formatTag != kWaveFormatExtensible)
        return formatTag;
    // The subformats of the tagged formats are {tag-0000-0010-8000-00AA00389B71}.
    static constexpr std::uint8_t kTaggedGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                         0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (extraSize < 22 || std::memcmp(subFormat.data() + 2, kTaggedGuidTail, sizeof kTaggedGuidTail) != 0)
        return 0;
    return platform::GetU16LE(subFormat.data());
}

std::string WaveFormat::EncodingName() const {
    const std::uint16_t tag = EffectiveTag();
    std::string name;
    if (tag == kWaveFormatPcm || tag == kWaveFormatIeeeFloat)
        name = std::to_string(bitsPerSample) + "-bit " + TagName(tag);
    else if (tag != 0)
        name = TagName(tag);
    if (formatTag != kWaveFormatExtensible)
        return name;
    if (tag != 0)
        return name + " (extensible format)";
    if (extraSize < 22)
        return "extensible format without its subformat";
    // Data1-Data2-Data3-Data4, the first three stored little-endian.
    const std::uint8_t* g = subFormat.data();
    char text[64];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(platform::GetU32LE(g)), static_cast<unsigned>(platform::GetU16LE(g + 4)),
                  static_cast<unsigned>(platform::GetU16LE(g + 6)), g[8], g[9], g[10], g[11], g[12], g[13], g[14],
                  g[15]);
    return std::string("extensible format, subformat ") + text;
}

void WaveFormat::Encode(platform::ByteSpan b) const {
    b.U16LE(0, formatTag);
    b.U16LE(2, channels);
    b.U32LE(4, sampleRate);
    b.U32LE(8, bytesPerSecond);
    b.U16LE(12, blockAlign);
    b.U16LE(14, bitsPerSample);
}

int CWave::FindWaveChunks(const platform::File& file, WaveChunks& chunks) {
    chunks = WaveChunks{};
    try {
        const std::int64_t length = file.GetLength();
        std::uint8_t head[12];
        if (file.ReadAt(0, head, sizeof head) != sizeof head)
            return -1;
        if (!IdIs(head, "RIFF") && !IdIs(head + 8, "WAVE"))
            return -1;
        // Only a file with both ids is surely a WAV: its damage is worth
        // naming. Of the damage, the format chunk's counts most.
        const bool riffWave = IdIs(head, "RIFF") && IdIs(head + 8, "WAVE");
        std::string formatDamage;
        auto damaged = [&](const std::string& why) {
            if (riffWave)
                chunks.damage = !formatDamage.empty() ? formatDamage : why;
            return -1;
        };
        // Each step moves on by at least the 8-byte chunk header, so the
        // walk ends however the sizes are made up.
        for (std::int64_t offset = 12; offset < length;) {
            std::uint8_t header[8];
            if (file.ReadAt(offset, header, sizeof header) != sizeof header)
                return damaged("This WAV file is cut short: it ends inside a chunk header, before its data chunk.");
            const std::uint32_t size = platform::GetU32LE(header + 4);
            const std::int64_t body = offset + 8;
            const bool pastTheEnd = size > length - body;
            if (IdIs(header, "fmt ")) {
                std::array<std::uint8_t, WaveFormat::kReadSize> bytes{};
                file.ReadAt(body, bytes.data(), std::min<std::size_t>(size, bytes.size()));
                chunks.format = WaveFormat::Decode(platform::ByteView(bytes.data(), bytes.size()));
                chunks.formatFound = true;
                if (pastTheEnd)
                    formatDamage = "This WAV file is damaged: its format chunk of " + std::to_string(size) +
                                   " bytes runs past the end of the file.";
                else if (size < WaveFormat::kWrittenSize)
                    formatDamage = "This WAV file is damaged: its format chunk of " + std::to_string(size) +
                                   " bytes is too short for a format.";
            } else if (IdIs(header, "data")) {
                // Streams written before their length was known carry a
                // placeholder size: the data ends with the file.
                chunks.dataOffset = body;
                chunks.dataLength = std::min<std::int64_t>(size, length - body);
                return 0;
            } else if (pastTheEnd) {
                return damaged("This WAV file is damaged: a chunk of " + std::to_string(size) +
                               " bytes before its data runs past the end of the file.");
            }
            offset = body + size + (size & 1u);
        }
        return damaged("This WAV file has no data chunk: the file ends before it.");
    } catch (const platform::FileException&) {
    }
    return -1;
}

void CWave::WriteWaveHeader(platform::File& file, const WaveFormat& format, std::uint32_t dataBytes) {
    std::array<std::uint8_t, 44> h{};
    platform::ByteSpan b(h.data(), h.size());
    PutId(h.data(), "RIFF");
    b.U32LE(4, dataBytes + 36);
    PutId(h.data() + 8, "WAVE");
    PutId(h.data() + 12, "fmt ");
    b.U32LE(16, static_cast<std::uint32_t>(WaveFormat::kWrittenSize));
    format.Encode(platform::ByteSpan(h.data() + 20, WaveFormat::kWrittenSize));
    PutId(h.data() + 36, "data");
    b.U32LE(40, dataBytes);
    file.Write(h.data(), h.size());
}

int MuLawToLinear(std::uint8_t byte) {
    const int b = static_cast<std::uint8_t>(~byte);
    const int exponent = (b >> 4) & 0x07;
    const int mantissa = b & 0x0F;
    const int magnitude = (((mantissa << 3) + 132) << exponent) - 132;
    return (byte & 0x80) ? magnitude : -magnitude;
}

// ---- reading ----------------------------------------------------------------------

int ReadWaveFile(COrielDoc& document, platform::File& file, LoadTarget& target) {
    try {
        WaveLayout w;
        std::string refusal;
        if (!DescribeWave(file, w, refusal)) {
            if (!refusal.empty())
                target.Refuse(refusal);
            return kReaderNotMine;
        }
        RecordingData& recording = target.Recording();
        recording.channelCount = static_cast<int>(w.channels);
        for (std::size_t c = 0; c < w.channels; ++c)
            SetUpChannel(recording.channels[c], static_cast<int>(c), w);

        if (w.durationMs < kLongFileMs) {
            if (const char* failed = LoadIntoMemory(file, w, recording)) {
                target.Refuse(failed);
                return kReaderNotMine;
            }
        } else {
            const int loaded = LoadOnDisk(document, file, w, recording, target);
            if (loaded != kReaderLoaded)
                return loaded;
        }
        recording.fileTypeCode = kFileTypeWave;
        recording.saveAsRequired = 0;
        document.SetModifiedFlag(false);
        return kReaderLoaded;
    } catch (const platform::FileException& e) {
        target.Refuse(e.what());
    } catch (const std::bad_alloc&) {
        target.Refuse(kNotEnoughMemoryToLoad);
    }
    return kReaderNotMine;
}

// ---- writing ----------------------------------------------------------------------

namespace {

[[noreturn]] void FailSave(COrielDoc& document, const char* first = nullptr) {
    if (first)
        Tell(document, first);
    Tell(document, kWaveSaveErrorMessage);
    throw platform::UserException();
}

// A write the file system refused: the message carries its reason.
[[noreturn]] void FailWrite(COrielDoc& document, const platform::FileException& e) {
    Tell(document, std::string(kWaveSaveErrorMessage) + "\n\n" + e.what());
    throw platform::UserException();
}

std::string TargetName(const platform::File& file, const WriteRequest& request) {
    const std::string& path = request.targetPath.empty() ? file.GetFilePath() : request.targetPath;
    return std::filesystem::path(path).filename().string();
}

}  // namespace

void WriteWaveFile(COrielDoc& document, platform::File& file, const WriteRequest& request) {
    const int documentChannels = request.channelCount;
    if (documentChannels < 1 || documentChannels > kDocumentSlots)
        FailSave(document);
    const int picked = request.oneChannel ? request.channelIndex : 0;
    if (picked < 0 || picked >= documentChannels)
        FailSave(document);

    std::vector<const CChannels*> channels;
    if (request.oneChannel)
        channels.push_back(&document.Channel(picked));
    else
        for (int c = 0; c < documentChannels; ++c)
            channels.push_back(&document.Channel(c));
    const CChannels& first = document.Channel(picked);

    const double rate = std::trunc(first.rate);
    if (!(rate >= 1.0) || rate > 4294967295.0)
        FailSave(document);
    const std::uint64_t channelCount = channels.size();
    const std::uint64_t byteRate = static_cast<std::uint64_t>(rate) * channelCount * 4;
    if (byteRate > 0xFFFFFFFFull)
        FailSave(document);

    // Every channel is written over the first (or picked) channel's range.
    const SampleRange range = ChannelRange(first, request.selectionOnly);
    const std::uint64_t dataBytes = static_cast<std::uint64_t>(range.count) * channelCount * 4;
    if (dataBytes > CWave::kMaxDataBytes) {
        Tell(document, kWaveTooLargeMessage);
        throw platform::UserException();
    }

    // File-backed channels need their data file.
    bool fileBacked = false;
    for (const CChannels* ch : channels) {
        if (ch->IsFileBacked()) {
            if (!ch->sourceFile->IsOpen())
                FailSave(document);
            fileBacked = true;
        }
    }

    WaveFormat format;
    format.formatTag = kWaveFormatIeeeFloat;
    format.channels = static_cast<std::uint16_t>(channelCount);
    format.sampleRate = static_cast<std::uint32_t>(rate);
    format.bytesPerSecond = static_cast<std::uint32_t>(byteRate);
    format.blockAlign = static_cast<std::uint16_t>(channelCount * 4);
    format.bitsPerSample = 32;

    try {
        CWave::WriteWaveHeader(file, format, static_cast<std::uint32_t>(dataBytes));
        std::unique_ptr<platform::Progress> progress;
        if (fileBacked) {
            progress = document.MakeProgress();
            progress->SetText(kSavingProgressText + TargetName(file, request));
            progress->SetFraction(0.0);
        }
        switch (WriteInterleavedFrames(file, channels, range.first, range.count, progress.get())) {
        case FrameWriteResult::Written: break;
        case FrameWriteResult::Aborted: FailSave(document);
        case FrameWriteResult::NoMemory: FailSave(document, kWaveMemoryErrorMessage);
        }
    } catch (const platform::FileException& e) {
        FailWrite(document, e);
    } catch (const std::bad_alloc&) {
        FailSave(document, kWaveMemoryErrorMessage);
    }
}

void RegisterWaveFormats(DocumentFormats& formats) {
    formats.SetReader(ReaderSlot::ReadWaveFile, ReadWaveFile);
    formats.SetWriter(kFileTypeWave, WriteWaveFile);
}

}  // namespace vocomet
