#include "core/NativeReaders.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/SampleBuffers.h"
#include "core/COrielDoc.h"
#include "core/ScratchDataFile.h"
#include "platform/ByteCodec.h"
#include "platform/Progress.h"

namespace vocomet {

namespace {

// Channel blocks are filled and summarised in pieces of this size, each
// summarised while it is still in the cache.
constexpr std::size_t kChannelPieceBytes = std::size_t{1} << 20;

// Extra samples after each block, as every channel block carries.
constexpr std::size_t kBlockSlackBytes = 40;
constexpr std::size_t kUsb2BlockSlackBytes = 400;


// A file of this layout that cannot be loaded, with the reason. The open
// then fails with it: the file is recognised, so reading it as a generic
// file would only turn its headers into samples.
class LoadFailed {
public:
    explicit LoadFailed(std::string reason) : reason(std::move(reason)) {}
    std::string reason;
};

[[noreturn]] void Fail(const std::string& reason) { throw LoadFailed(reason); }

// A block for count samples and the slack bytes after them; null when the
// memory cannot be had.
platform::FloatBlock SampleBlockFor(CChannels& channel, std::int64_t count, std::size_t slackBytes) {
    const auto samples = static_cast<std::uint64_t>(count);
    if (samples > (SIZE_MAX - slackBytes) / sizeof(float))
        return {};
    return platform::ReallocGlobalBuffer(channel.samples, static_cast<std::size_t>(samples) * sizeof(float) + slackBytes);
}

// The bits a 16-bit sample is scaled by: 2^(bits-1) is full scale. A value
// no file can mean falls back to 16.
std::int32_t SampleBits(std::int32_t bits) { return bits >= 1 && bits <= 32 ? bits : 16; }

void SetChannelFromHeader(CChannels& ch, const NativeChannelDescription& desc, NativeLayout layout) {
    const NativeChannelHeader& h = desc.header;
    const NativeLayoutInfo& info = GetNativeLayoutInfo(layout);
    ch.duration = h.duration;
    ch.rate = h.rate;
    ch.sampleCount = static_cast<double>(desc.sampleCount);
    ch.reference = h.reference;
    if (layout == NativeLayout::KovePc) {
        ch.auxFactors[0] = h.auxFactor1;
        ch.auxFactors[1] = 1.0;
    }
    ch.calA = h.calA;
    ch.calB = h.calB;
    ch.calC = h.calC;
    ch.calD = h.calD;
    ch.audioFlag = h.audioFlag;
    ch.bits = info.int16Samples ? SampleBits(h.bits) : h.bits;
    ch.scaleMode = info.int16Samples ? 3 : h.scaleMode;
    ch.stripHeight = h.stripHeight;
    ch.channelNumber = h.channelNumber;
    ch.gain = h.gain > 0.0 ? h.gain : 1.0;
    ch.filterRate = h.filterRate;
    ch.drawReference = h.drawReference;
    ch.timeReference = h.timeReference;
    ch.reserved1 = h.reserved;
    ch.name = h.name;
    switch (layout) {
    case NativeLayout::KovPc: ch.unit.clear(); break;
    case NativeLayout::KovePc: ch.unit = "none"; break;
    default: ch.unit = h.unit; break;
    }

    // Shown whole.
    const double count = ch.sampleCount;
    ch.show = 1;
    ch.shownStart = 0.0;
    ch.shownEnd = count;
    ch.shownLength = count;
    ch.shownStartTime = 0.0;
    ch.shownEndTime = ch.duration;
    ch.shownSpan = ch.duration;
    ch.prevWindowStart = 0.0;
    ch.prevWindowEnd = count;

    ch.RemoveAllLabels();
    for (const NativeLabelRecord& record : desc.labels)
        ch.AppendLabel(record.ToLabel());
}

// Converts count big- or little-endian 16-bit samples to floats scaled by
// scale (a power of two, so every value is exact). Whole groups of lanes
// first, in a loop of fixed length the compiler vectorises.
template <bool BigEndian>
void ConvertInt16(const std::uint8_t* __restrict in, float* __restrict out, std::size_t count, float scale) {
    constexpr std::size_t kLanes = 16;
    auto one = [scale](const std::uint8_t* p) {
        return static_cast<float>(BigEndian ? platform::GetI16BE(p) : platform::GetI16LE(p)) * scale;
    };
    std::size_t i = 0;
    for (; i + kLanes <= count; i += kLanes)
        for (std::size_t k = 0; k < kLanes; ++k)
            out[i + k] = one(in + 2 * (i + k));
    for (; i < count; ++i)
        out[i] = one(in + 2 * i);
}

// The summary of a one-column load, or none.
std::shared_ptr<const SampleSummary> OnlySummary(LoadSummaries& summary) {
    const std::vector<std::shared_ptr<const SampleSummary>> made = summary.Finish();
    return made.empty() ? nullptr : made.front();
}

// Both per-channel readers fill a block piece by piece and summarise each
// piece while it is in the cache.
void ReadFloatChannel(const platform::File& file, CChannels& ch, const NativeChannelDescription& desc) {
    ch.samples = SampleBlockFor(ch, desc.sampleCount, kBlockSlackBytes);
    if (ch.samples.IsNull())
        Fail(kNoMemoryMessage);
    const auto count = static_cast<std::size_t>(desc.sampleCount);
    LoadSummaries summary(1, desc.sampleCount);
    float* out = ch.samples.data();
    const std::size_t piece = kChannelPieceBytes / sizeof(float);
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = std::min(count - done, piece);
        if (!ReadFloatsLE(file, desc.sampleOffset + static_cast<std::int64_t>(done * sizeof(float)), out + done, n))
            Fail(kIncorrectDataMessage);
        summary.Add(out + done, n);
        done += n;
    }
    ch.samplesSummary = OnlySummary(summary);
}

void ReadInt16Channel(const platform::File& file, CChannels& ch, const NativeChannelDescription& desc,
                      bool bigEndian) {
    ch.samples = SampleBlockFor(ch, desc.sampleCount, kBlockSlackBytes);
    if (ch.samples.IsNull())
        Fail(kNoMemoryMessage);
    // s / (2^bits * 0.5), exact in float as in double.
    const auto scale = static_cast<float>(1.0 / (std::ldexp(1.0, ch.bits) * 0.5));
    const std::size_t count = static_cast<std::size_t>(desc.sampleCount);
    LoadSummaries summary(1, desc.sampleCount);
    std::vector<std::uint8_t> buffer(std::min(count, kChannelPieceBytes / sizeof(float)) * 2);
    float* out = ch.samples.data();
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = std::min(count - done, buffer.size() / 2);
        if (file.ReadAt(desc.sampleOffset + static_cast<std::int64_t>(done * 2), buffer.data(), n * 2) != n * 2)
            Fail(kIncorrectDataMessage);
        if (bigEndian)
            ConvertInt16<true>(buffer.data(), out + done, n, scale);
        else
            ConvertInt16<false>(buffer.data(), out + done, n, scale);
        summary.Add(out + done, n);
        done += n;
    }
    ch.samplesSummary = OnlySummary(summary);
}

// Frames into one block per channel. Frame k holds sample k of channel 0,
// 1, ..., n-1. The blocks' pages are made present on every core first;
// then every core reads pieces of the frames of its own, spreads each into
// the blocks tile by tile and folds it into the summaries. False when a
// block cannot be had (the blocks got so far are freed again).
bool TryLoadFramesIntoMemory(const platform::File& file, const NativeFileDescription& d,
                             RecordingData& recording, std::size_t slackBytes) {
    const std::size_t n = d.channels.size();
    auto freeBlocks = [&recording, n] {
        for (std::size_t l = 0; l < n; ++l)
            recording.channels[l].samples.Free();
    };
    std::vector<platform::BlockBytes> blocks(n);
    std::vector<float*> out(n);
    for (std::size_t l = 0; l < n; ++l) {
        CChannels& ch = recording.channels[l];
        ch.samples = SampleBlockFor(ch, d.frameCount, slackBytes);
        if (ch.samples.IsNull()) {
            freeBlocks();
            return false;
        }
        out[l] = ch.samples.data();
        blocks[l] = {ch.samples.data(), ch.samples.SizeBytes()};
    }
    LoadSummaries summaries(n, d.frameCount);
    const std::size_t frameBytes = n * sizeof(float);
    const std::size_t framesPerPiece = FramesPerSummaryPiece(frameBytes, d.frameCount);
    PiecesResult result = PiecesResult::Done;
    try {
        result = FillBlocksInPieces(d.frameCount, blocks, framesPerPiece, framesPerPiece * frameBytes, summaries,
                                    [&](std::int64_t first, std::size_t count, std::byte* buffer) -> const float* {
                                        auto* frames = reinterpret_cast<float*>(buffer);
                                        const std::int64_t offset =
                                            d.frameOffset + first * static_cast<std::int64_t>(frameBytes);
                                        if (!ReadFloatsLE(file, offset, frames, count * n))
                                            return nullptr;
                                        const auto at = static_cast<std::size_t>(first);
                                        for (std::size_t t = 0; t < count; t += kSpreadTileFrames)
                                            SpreadFrameTile(frames + t * n, std::min(kSpreadTileFrames, count - t), n,
                                                            out, at + t);
                                        return frames;
                                    });
    } catch (const std::bad_alloc&) {
        freeBlocks();
        return false;
    }
    if (result != PiecesResult::Done)
        Fail(kIncorrectDataMessage);
    summaries.AttachTo(recording);
    return true;
}

// Copies the frames into a new scratch file, which becomes the recording's
// data file, and makes every channel read from it; the summaries, when
// wanted, are made from a read of the frames beside the copy.
// kReaderEndOpen when the user cancels.
int LoadFramesFromScratchFile(COrielDoc& document, const platform::File& file, const NativeFileDescription& d,
                              RecordingData& recording, bool summariesWanted) {
    const std::size_t n = d.channels.size();
    std::optional<ScratchDataFile> scratch;
    try {
        scratch.emplace(document);
    } catch (const platform::FileException& e) {
        Fail(e.what());
    }

    auto progress = document.MakeProgress();
    progress->SetText(kReadingProgressText + std::filesystem::path(file.GetFilePath()).filename().string());
    progress->SetFraction(0.0);

    ThrottledProgress shown(progress.get());
    LoadSummaries summaries(summariesWanted ? n : 0, d.frameCount);
    try {
        switch (scratch->CopyFrames(file, d.frameOffset, d.frameCount, n, shown, summaries)) {
        case ScratchDataFile::CopyResult::Copied: break;
        case ScratchDataFile::CopyResult::Aborted: return kReaderEndOpen;
        case ScratchDataFile::CopyResult::SourceShort: Fail(kIncorrectDataMessage);
        }
    } catch (const platform::FileException& e) {
        Fail(e.what());
    }

    scratch->AdoptInto(recording, n);
    summaries.AttachTo(recording);
    return kReaderLoaded;
}

// If no channel is marked as the audio channel, the first faster than
// 8000 Hz is.
void ApplyAudioChannelRule(RecordingData& recording) {
    for (int i = 0; i < recording.channelCount; ++i)
        if (recording.channels[static_cast<std::size_t>(i)].audioFlag == 1)
            return;
    for (int i = 0; i < recording.channelCount; ++i) {
        CChannels& ch = recording.channels[static_cast<std::size_t>(i)];
        if (ch.rate > 8000.0) {
            ch.audioFlag = 1;
            return;
        }
    }
}

int LoadSamples(COrielDoc& document, const platform::File& file, const NativeFileDescription& d,
                RecordingData& recording, bool summariesWanted) {
    const NativeLayoutInfo& info = GetNativeLayoutInfo(d.layout);
    if (!info.interleaved) {
        for (std::size_t i = 0; i < d.channels.size(); ++i) {
            if (info.int16Samples)
                ReadInt16Channel(file, recording.channels[i], d.channels[i], info.bigEndian);
            else
                ReadFloatChannel(file, recording.channels[i], d.channels[i]);
        }
        return kReaderLoaded;
    }
    if (d.layout == NativeLayout::Usb2Float) {
        if (TryLoadFramesIntoMemory(file, d, recording, kUsb2BlockSlackBytes))
            return kReaderLoaded;
        return LoadFramesFromScratchFile(document, file, d, recording, summariesWanted);
    }
    // Whole seconds of channel 0's whole milliseconds; a duration that is
    // no number counts as 0.
    const double wholeMs = std::trunc(d.channels[0].header.duration);
    if (wholeMs >= kScratchFileSeconds * 1000.0)
        return LoadFramesFromScratchFile(document, file, d, recording, summariesWanted);
    if (!TryLoadFramesIntoMemory(file, d, recording, kBlockSlackBytes))
        Fail(kNoMemoryMessage);
    return kReaderLoaded;
}

int FileTypeCodeFor(NativeLayout layout, int channelCount) {
    switch (layout) {
    case NativeLayout::Usb2Float: return kFileTypeUsb2Float;
    case NativeLayout::KovPcFloat24: return kFileTypeNativeFloat24;
    case NativeLayout::KovPcFloat: return channelCount == 1 ? kFileTypeNativeFloat24 : kFileTypeNativeByChannel;
    case NativeLayout::KovPc:
    case NativeLayout::KovePc: return kFileTypeNativeByChannel;
    case NativeLayout::KovMac: return kFileTypeNativeMac;
    }
    return kFileTypeNone;
}

// Why a channel's header value cannot be loaded, for the refusal.
std::string TimingRefusal(const NativeParseResult& parsed) {
    const bool rate = parsed.status == NativeParseStatus::BadRate;
    const NativeChannelHeader& h = parsed.file.channels.size() > static_cast<std::size_t>(parsed.badChannel)
                                       ? parsed.file.channels[static_cast<std::size_t>(parsed.badChannel)].header
                                       : NativeChannelHeader{};
    char value[64];
    std::snprintf(value, sizeof value, "%g", rate ? h.rate : h.duration);
    return "Channel " + std::to_string(parsed.badChannel + 1) + " of this file gives " +
           (rate ? std::string("a sample rate of ") + value + " Hz; a recording needs a positive rate."
                 : std::string("a duration of ") + value + " ms; a recording with samples needs a positive duration.");
}

int ReadNative(COrielDoc& document, platform::File& file, LoadTarget& target, NativeLayout layout) {
    try {
        const NativeParseResult parsed = ParseNativeFile(file, layout);
        switch (parsed.status) {
        case NativeParseStatus::NotThisLayout: return kReaderNotMine;
        case NativeParseStatus::WrongChannelCount: Fail(kWrongChannelNumberMessage);
        case NativeParseStatus::ShortFile: Fail(kIncorrectDataMessage);
        case NativeParseStatus::BadRate:
        case NativeParseStatus::BadDuration: Fail(TimingRefusal(parsed));
        case NativeParseStatus::Ok: break;
        }
        for (std::size_t i = 0; i < parsed.file.channels.size(); ++i) {
            const double rate = parsed.file.channels[i].header.rate;
            if (!IsLoadableRate(rate))
                Fail(RateRefusal("Channel " + std::to_string(i + 1) + " of this file", rate));
        }
        // The header is accepted: only now is there a recording to fill.
        const NativeFileDescription& d = parsed.file;
        RecordingData& recording = target.Recording();
        recording.channelCount = static_cast<int>(d.channels.size());
        for (std::size_t i = 0; i < d.channels.size(); ++i)
            SetChannelFromHeader(recording.channels[i], d.channels[i], layout);

        const int loaded = LoadSamples(document, file, d, recording, target.SummariesWanted());
        if (loaded != kReaderLoaded)
            return loaded;

        recording.fileTypeCode = FileTypeCodeFor(layout, recording.channelCount);
        recording.saveAsRequired = layout == NativeLayout::KovMac ? 1 : 0;
        if (layout != NativeLayout::KovePc)
            ApplyAudioChannelRule(recording);
        document.SetModifiedFlag(false);
        return kReaderLoaded;
    } catch (const LoadFailed& failed) {
        target.Refuse(failed.reason);
    } catch (const platform::FileException& e) {
        target.Refuse(e.what());
    }
    return kReaderNotMine;
}

}  // namespace

bool IsLoadableRate(double rate) { return std::isfinite(rate) && rate >= kMinLoadableRate && rate <= kMaxLoadableRate; }

std::string RateRefusal(const std::string& subject, double rate) {
    char value[64];
    std::snprintf(value, sizeof value, "%.10g", rate);
    return subject + " gives a sample rate of " + value + " Hz; Vocomet works with rates from 1 Hz to 50 MHz.";
}

int ReadUsb2FloatFile(COrielDoc& document, platform::File& file, LoadTarget& target) {
    return ReadNative(document, file, target, NativeLayout::Usb2Float);
}

int ReadKovPcFloat24File(COrielDoc& document, platform::File& file, LoadTarget& target) {
    return ReadNative(document, file, target, NativeLayout::KovPcFloat24);
}

int ReadKovPcFloatFile(COrielDoc& document, platform::File& file, LoadTarget& target) {
    return ReadNative(document, file, target, NativeLayout::KovPcFloat);
}

int ReadKovPcFile(COrielDoc& document, platform::File& file, LoadTarget& target) {
    return ReadNative(document, file, target, NativeLayout::KovPc);
}

int ReadKovePcFile(COrielDoc& document, platform::File& file, LoadTarget& target) {
    return ReadNative(document, file, target, NativeLayout::KovePc);
}

int ReadKovMacFile(COrielDoc& document, platform::File& file, LoadTarget& target) {
    return ReadNative(document, file, target, NativeLayout::KovMac);
}

void RegisterNativeReaders(DocumentFormats& formats) {
    formats.SetReader(ReaderSlot::ReadUsb2FloatFile, ReadUsb2FloatFile);
    formats.SetReader(ReaderSlot::ReadKovPcFloat24File, ReadKovPcFloat24File);
    formats.SetReader(ReaderSlot::ReadKovPcFloatFile, ReadKovPcFloatFile);
    formats.SetReader(ReaderSlot::ReadKovPcFile, ReadKovPcFile);
    formats.SetReader(ReaderSlot::ReadKovePcFile, ReadKovePcFile);
    formats.SetReader(ReaderSlot::ReadKovMacFile, ReadKovMacFile);
}

}  // namespace vocomet
