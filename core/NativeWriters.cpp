#include "core/NativeWriters.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/COrielDoc.h"
#include "core/InterleavedFrames.h"
#include "core/NativeFormat.h"
#include "core/WaveFile.h"
#include "platform/Progress.h"
#include "platform/UserPrompts.h"

namespace vocomet {

namespace {

[[noreturn]] void Abandon(COrielDoc& document, const char* message) {
    if (message)
        document.Prompts().Message(message, platform::Buttons::Ok, platform::Icon::Warning);
    throw platform::UserException();
}

// The channels a native file holds: the shown ones, in channel order.
std::vector<const CChannels*> ShownChannels(COrielDoc& document) {
    std::vector<const CChannels*> shown;
    const int count = std::clamp(document.GetChannelCount(), 0, kDocumentSlots);
    for (int i = 0; i < count; ++i)
        if (document.Channel(i).show != 0)
            shown.push_back(&document.Channel(i));
    if (shown.empty())
        Abandon(document, kNothingShownMessage);
    if (static_cast<int>(shown.size()) > kNativeMaxChannels)
        Abandon(document, kTooManyShownMessage);
    return shown;
}

void WriteFileHeader(platform::File& file, const char* typeString, std::size_t channelCount) {
    std::vector<std::uint8_t> head(kNativeFileHeaderSize, 0);
    platform::ByteSpan b(head.data(), head.size());
    b.Text(0, kNativeTypeFieldSize, typeString);
    b.I32LE(kNativeChannelCountOffset, static_cast<std::int32_t>(channelCount));
    file.Write(head.data(), head.size());
}

// The labels a save writes, with the times they are written at.
struct WrittenLabel {
    const LABEL* label;
    double time;
};

std::vector<WrittenLabel> LabelsToWrite(const CChannels& ch, bool selectionOnly) {
    std::vector<WrittenLabel> out;
    for (const LABEL& l : ch.labels) {
        if (!selectionOnly)
            out.push_back({&l, l.time});
        else if (l.time >= ch.selStartTime && l.time <= ch.selEndTime)
            out.push_back({&l, l.time - ch.selStartTime});
    }
    return out;
}

// Writes one channel's header and its labels.
void WriteChannelHead(platform::File& file, const CChannels& ch, bool selectionOnly, double duration,
                      std::int64_t sampleCount) {
    const std::vector<WrittenLabel> labels = LabelsToWrite(ch, selectionOnly);
    std::vector<std::uint8_t> bytes(kNativeChannelHeaderSize + labels.size() * kNativeLabelRecordSize, 0);
    EncodeNativeChannelHeader(ch, duration, static_cast<double>(sampleCount),
                              static_cast<std::int32_t>(labels.size()),
                              platform::ByteSpan(bytes.data(), kNativeChannelHeaderSize));
    for (std::size_t i = 0; i < labels.size(); ++i)
        EncodeNativeLabelRecord(
            *labels[i].label, labels[i].time,
            platform::ByteSpan(bytes.data() + kNativeChannelHeaderSize + i * kNativeLabelRecordSize,
                               kNativeLabelRecordSize));
    file.Write(bytes.data(), bytes.size());
}

double WrittenDuration(const CChannels& ch, bool selectionOnly) {
    return selectionOnly ? ch.selEndTime - ch.selStartTime : ch.duration;
}

// The copy of file-backed channels shows its progress; channels in memory
// are written without.
std::unique_ptr<platform::Progress> ProgressFor(COrielDoc& document, const std::vector<const CChannels*>& channels,
                                                const platform::File& file, const WriteRequest& request) {
    bool fileBacked = false;
    for (const CChannels* ch : channels) {
        if (ch->IsFileBacked()) {
            // The data file of a file-backed recording is gone: nothing to
            // copy the samples from.
            if (!ch->sourceFile->IsOpen())
                Abandon(document, nullptr);
            fileBacked = true;
        }
    }
    if (!fileBacked)
        return nullptr;
    auto progress = document.MakeProgress();
    const std::string& target = request.targetPath.empty() ? file.GetFilePath() : request.targetPath;
    progress->SetText(kSavingProgressText + std::filesystem::path(target).filename().string());
    progress->SetFraction(0.0);
    return progress;
}

void WriteSamples(COrielDoc& document, platform::File& file, const std::vector<const CChannels*>& channels,
                  std::int64_t first, std::int64_t count, platform::Progress* progress, bool willFlush) {
    FrameWriteResult result = FrameWriteResult::NoMemory;
    try {
        result = WriteInterleavedFrames(file, channels, first, count, progress, willFlush);
    } catch (const std::bad_alloc&) {
    }
    switch (result) {
    case FrameWriteResult::Written: return;
    case FrameWriteResult::Aborted: Abandon(document, nullptr);
    case FrameWriteResult::NoMemory: Abandon(document, kSaveNoMemoryMessage);
    }
}

void WriteFrameFile(COrielDoc& document, platform::File& file, const WriteRequest& request, const char* typeString) {
    const std::vector<const CChannels*> shown = ShownChannels(document);
    const bool sel = request.selectionOnly;
    // One start and one count serve every channel of a frame file: the
    // first written channel's. Every header gives that count, so the file
    // reads back even when a channel had fewer samples (it is padded with
    // 0) or more (they are left out).
    const SampleRange range = ChannelRange(*shown.front(), sel);
    auto progress = ProgressFor(document, shown, file, request);

    WriteFileHeader(file, typeString, shown.size());
    for (const CChannels* ch : shown) {
        double duration = WrittenDuration(*ch, sel);
        if (ChannelRange(*ch, sel).count != range.count && ch->rate > 0.0)
            duration = static_cast<double>(range.count) * 1000.0 / ch->rate;
        WriteChannelHead(file, *ch, sel, duration, range.count);
    }
    WriteSamples(document, file, shown, range.first, range.count, progress.get(), request.willFlush);
}

}  // namespace

void EncodeNativeChannelHeader(const CChannels& ch, double duration, double sampleCount, std::int32_t labelCount,
                               platform::ByteSpan b) {
    b.F64LE(0, duration);
    b.F64LE(8, ch.rate);
    b.F64LE(16, sampleCount);
    b.F64LE(24, ch.reference);
    b.F64LE(32, ch.calA);
    b.F64LE(40, ch.calB);
    b.F64LE(48, ch.calC);
    b.F64LE(56, ch.calD);
    b.I32LE(64, ch.audioFlag);
    b.I32LE(68, ch.bits);
    b.I32LE(72, ch.scaleMode);
    b.I32LE(76, ch.stripHeight);
    b.I32LE(80, ch.channelNumber);
    b.I32LE(84, TruncateToInt32(ch.gain));
    b.I32LE(88, TruncateToInt32(ch.filterRate));
    b.I32LE(92, labelCount);
    b.I32LE(96, ch.drawReference);
    b.I32LE(100, ch.timeReference);
    for (std::size_t i = 0; i < 3; ++i)
        b.I32LE(104 + 4 * i, ch.reserved1[i]);
    b.Text(116, 64, ch.name);
    b.Text(180, 68, ch.unit);
}

void EncodeNativeLabelRecord(const LABEL& l, double time, platform::ByteSpan b) {
    b.F64LE(0, time);
    b.F64LE(8, l.relativeHeight);
    b.I32LE(16, l.anchoring);
    b.I32LE(20, l.markerLine);
    b.I32LE(24, l.rect.left);
    b.I32LE(28, l.rect.top);
    b.I32LE(32, l.rect.right);
    b.I32LE(36, l.rect.bottom);
    b.I32LE(40, platform::RedOf(l.colour));
    b.I32LE(44, platform::GreenOf(l.colour));
    b.I32LE(48, platform::BlueOf(l.colour));
    l.font.Encode(b.data() + 52);
    b.Text(112, LABEL::kTextSize, l.Text());
}

void WriteKovPcFloat24File(COrielDoc& document, platform::File& file, const WriteRequest& request) {
    WriteFrameFile(document, file, request, GetNativeLayoutInfo(NativeLayout::KovPcFloat24).typeString);
}

void WriteUsb2FloatFile(COrielDoc& document, platform::File& file, const WriteRequest& request) {
    WriteFrameFile(document, file, request, GetNativeLayoutInfo(NativeLayout::Usb2Float).typeString);
}

void WriteKovPcFloatFile(COrielDoc& document, platform::File& file, const WriteRequest& request) {
    const std::vector<const CChannels*> shown = ShownChannels(document);
    const bool sel = request.selectionOnly;
    auto progress = ProgressFor(document, shown, file, request);

    WriteFileHeader(file, GetNativeLayoutInfo(NativeLayout::KovPcFloat).typeString, shown.size());
    for (const CChannels* ch : shown) {
        // Each channel its own span, as many samples as its header says.
        const SampleRange range = ChannelRange(*ch, sel);
        WriteChannelHead(file, *ch, sel, WrittenDuration(*ch, sel), range.count);
        WriteSamples(document, file, {ch}, range.first, range.count, progress.get(), request.willFlush);
    }
}

void RegisterNativeWriters(DocumentFormats& formats) {
    formats.SetWriter(kFileTypeNativeFloat24, WriteKovPcFloat24File);
    formats.SetWriter(kFileTypeNativeByChannel, WriteKovPcFloatFile);
    formats.SetWriter(kFileTypeUsb2Float, WriteUsb2FloatFile);
}

}  // namespace vocomet
