#include "core/DocumentEdits.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "core/COrielDoc.h"
#include "core/NativeReaders.h"
#include "core/NativeWriters.h"
#include "core/RecordingData.h"
#include "core/ScratchDataFile.h"
#include "platform/BinaryFile.h"
#include "platform/File.h"
#include "platform/ScratchRun.h"

namespace vocomet {

namespace {

constexpr std::int64_t kFrameChunk = 65536;  // frames moved per step through memory

std::int64_t Whole(double v) {
    if (!(v > 0.0))
        return 0;
    if (v >= 9.0e15)
        return static_cast<std::int64_t>(9.0e15);
    return static_cast<std::int64_t>(v);
}

double MsOf(const CChannels& ch, std::int64_t frames) {
    return ch.rate > 0.0 && std::isfinite(ch.rate) ? static_cast<double>(frames) * 1000.0 / ch.rate : 0.0;
}

// The samples of a channel changed: new count and duration; what was worked
// out from the old samples no longer holds.
void InvalidateDerived(CChannels& ch) {
    ch.velocityValid = 0;
    ch.accelerationValid = 0;
    ch.peaksValid = 0;
    ch.valleysValid = 0;
    ch.cyclesValid = 0;
    ch.eggPoints2Valid = 0;
}

void SamplesReplaced(CChannels& ch, std::int64_t count) {
    ch.sampleCount = static_cast<double>(count);
    ch.duration = MsOf(ch, count);
    ch.samplesSummary = nullptr;
    InvalidateDerived(ch);
}

// Copies a channel's settings and labels into a slot without its sample
// and curve blocks, which a clipboard slot never needs.
void CopyWithoutBlocks(CChannels& from, CChannels& to) {
    platform::FloatBlock samples = std::move(from.samples);
    platform::FloatBlock intensity = std::move(from.intensity);
    platform::FloatBlock spare = std::move(from.spare);
    platform::FloatBlock eggWork = std::move(from.eggWork);
    platform::FloatBlock movingMean = std::move(from.movingMean);
    DoubleBlock velocity = std::move(from.velocity);
    DoubleBlock acceleration = std::move(from.acceleration);
    struct PutBack {
        CChannels& ch;
        platform::FloatBlock& s;
        platform::FloatBlock& i;
        platform::FloatBlock& sp;
        platform::FloatBlock& e;
        platform::FloatBlock& m;
        DoubleBlock& v;
        DoubleBlock& a;
        ~PutBack() {
            ch.samples = std::move(s);
            ch.intensity = std::move(i);
            ch.spare = std::move(sp);
            ch.eggWork = std::move(e);
            ch.movingMean = std::move(m);
            ch.velocity = std::move(v);
            ch.acceleration = std::move(a);
        }
    } putBack{from, samples, intensity, spare, eggWork, movingMean, velocity, acceleration};
    try {
        to = from;
    } catch (const ChannelCopyError&) {
        throw EditError(kNoMemoryMessage);
    }
    to.sourceFile = nullptr;
    to.stride = 0;
    to.samplesSummary = nullptr;
    to.intensityValid = 0;
    to.intensityCount = 0.0;
    SamplesReplaced(to, Whole(to.sampleCount));
}

platform::FloatBlock NewBlock(std::int64_t count) {
    if (count <= 0)
        return {};
    platform::FloatBlock b = platform::FloatBlock::TryAllocate(static_cast<std::size_t>(count));
    if (b.IsNull())
        throw EditError(kNoMemoryMessage);
    return b;
}

// The channels of a file-backed document share one data file of frames of
// channelCount values.
struct FrameFile {
    const platform::File* file = nullptr;
    std::int64_t frames = 0;
    std::int64_t frameBytes = 0;
};

FrameFile DataFrames(COrielDoc& document) {
    const auto& data = document.GetDataFile();
    const int n = document.GetChannelCount();
    if (!data || !data->IsOpen() || document.GetDataFilePath().empty() || n <= 0)
        throw EditError("The recording's data file is not open.");
    FrameFile f;
    f.file = data.get();
    f.frameBytes = static_cast<std::int64_t>(n) * 4;
    f.frames = std::min(Whole(document.Channel(0).sampleCount), data->GetLength() / f.frameBytes);
    return f;
}

void CopyExactly(const platform::File& from, std::int64_t fromOffset, platform::File& to, std::int64_t toOffset,
                 std::int64_t bytes) {
    if (bytes <= 0)
        return;
    if (platform::CopyRange(from, fromOffset, to, toOffset, static_cast<std::uint64_t>(bytes)) !=
        static_cast<std::uint64_t>(bytes))
        throw EditError(kIncorrectDataMessage);
}

// The frames of a file-backed document with frames [span) replaced by what
// insert writes (insertedFrames frames), in a fresh scratch data file that
// the document then reads from. The old data file is left as it was.
template <typename Insert>
void RebuildDataFile(COrielDoc& document, FrameSpan span, std::int64_t insertedFrames, Insert&& insert) {
    const FrameFile data = DataFrames(document);
    span.start = std::clamp<std::int64_t>(span.start, 0, data.frames);
    span.end = std::clamp<std::int64_t>(span.end, span.start, data.frames);
    ScratchDataFile scratch(document);
    try {
        CopyExactly(*data.file, 0, scratch.File(), 0, span.start * data.frameBytes);
        insert(scratch.File(), span.start * data.frameBytes);
        CopyExactly(*data.file, span.end * data.frameBytes, scratch.File(),
                    (span.start + insertedFrames) * data.frameBytes, (data.frames - span.end) * data.frameBytes);
    } catch (const platform::FileException& e) {
        throw EditError(e.what());
    }
    const int n = document.GetChannelCount();
    RecordingData& recording = document.GetRecording();
    scratch.AdoptInto(recording, static_cast<std::size_t>(n));
    const std::int64_t frames = data.frames - span.Length() + insertedFrames;
    for (int c = 0; c < n; ++c) {
        CChannels& ch = recording.channels[static_cast<std::size_t>(c)];
        ch.CloseIntensityFile();
        SamplesReplaced(ch, frames);
    }
}

}  // namespace

// ---- clipboard ----

EditClipboard::~EditClipboard() {
    if (!filePath.empty())
        platform::RemoveFileInBackground(filePath);
}

void EditClipboard::Clear() {
    for (CChannels& slot : channels) {
        slot.samples.Free();
        slot.sourceFile = nullptr;
        slot.RemoveAllLabels();
        slot.sampleCount = 0.0;
        slot.duration = 0.0;
    }
    if (!filePath.empty())
        platform::RemoveFileInBackground(filePath);
    filePath.clear();
    full = 0;
    channelCount = 0;
    fileTypeCode = kFileTypeNone;
}

FrameSpan SelectedFrames(const CChannels& channel) {
    const std::int64_t count = channel.ReadableCount();
    FrameSpan s;
    s.start = std::min(Whole(channel.selStartSample), count);
    s.end = std::clamp(Whole(channel.selEndSample), s.start, count);
    return s;
}

bool IsDocumentInMemory(const COrielDoc& document) {
    const int n = document.GetChannelCount();
    for (int c = 0; c < n; ++c)
        if (!document.Channel(c).HasSamples())
            return false;
    return n > 0;
}

void SpliceLabels(CChannels& channel, bool removeRange, double removeFrom, double removeTo, double insertAt,
                  double shift, const RecordList<LABEL>& inserted) {
    RecordList<LABEL> kept;
    for (const LABEL& label : channel.labels) {
        if (removeRange && label.time >= removeFrom && label.time <= removeTo)
            continue;
        LABEL moved = label;
        if (moved.time > insertAt)
            moved.time += shift;
        kept.Add(moved);
    }
    for (const LABEL& label : inserted) {
        LABEL added = label;
        added.time += insertAt;
        kept.Add(added);
    }
    channel.labels = std::move(kept);
    channel.labelCount = channel.labels.GetSize();
}

// ---- copy and cut ----

void CopySelection(COrielDoc& document, EditClipboard& clipboard) {
    clipboard.Clear();
    try {
        const int n = document.GetChannelCount();
        if (n <= 0 || n > kDocumentSlots)
            throw EditError("Nothing to copy.");
        const bool inMemory = IsDocumentInMemory(document);
        const FrameSpan first = SelectedFrames(document.Channel(0));
        for (int c = 0; c < n; ++c) {
            CChannels& ch = document.Channel(c);
            CChannels& slot = clipboard.channels[static_cast<std::size_t>(c)];
            const FrameSpan span = inMemory ? SelectedFrames(ch) : first;
            if (span.Length() <= 0)
                throw EditError("Nothing is selected.");
            CopyWithoutBlocks(ch, slot);
            slot.RemoveAllLabels();
            for (const LABEL& label : ch.labels) {
                if (label.time >= ch.selStartTime && label.time <= ch.selEndTime) {
                    LABEL copied = label;
                    copied.time -= ch.selStartTime;
                    slot.AppendLabel(copied);
                }
            }
            const std::int64_t length = span.Length();
            SamplesReplaced(slot, length);
            slot.selLengthSamples = static_cast<double>(length);
            slot.selLengthTime = slot.duration;
            slot.shownStart = 0.0;
            slot.shownEnd = static_cast<double>(length);
            slot.shownLength = static_cast<double>(length);
            if (inMemory) {
                slot.samples = NewBlock(length);
                std::memcpy(slot.samples.data(), ch.samples.data() + span.start,
                            static_cast<std::size_t>(length) * sizeof(float));
            }
        }
        if (!inMemory) {
            const FrameFile data = DataFrames(document);
            const std::string path = document.GetDataFilePath() + kClipboardFileSuffix;
            clipboard.filePath = path;  // from here on it is ours to remove
            platform::NoteScratchFile(path);  // a crashed run's copy goes at the next start
            try {
                platform::File file(path, platform::File::Mode::Create);
                CopyExactly(*data.file, first.start * data.frameBytes, file, 0, first.Length() * data.frameBytes);
            } catch (const platform::FileException& e) {
                throw EditError(e.what());
            }
        }
        clipboard.full = 1;
        clipboard.channelCount = n;
        clipboard.fileTypeCode = document.GetFileTypeCode();
    } catch (...) {
        clipboard.Clear();
        throw;
    }
}

void CutSelectionData(COrielDoc& document) {
    const int n = document.GetChannelCount();
    if (n <= 0)
        return;
    if (IsDocumentInMemory(document)) {
        std::vector<platform::FloatBlock> fresh(static_cast<std::size_t>(n));
        for (int c = 0; c < n; ++c) {
            const CChannels& ch = document.Channel(c);
            const FrameSpan span = SelectedFrames(ch);
            const std::int64_t count = ch.ReadableCount();
            platform::FloatBlock& b = fresh[static_cast<std::size_t>(c)];
            b = NewBlock(count - span.Length());
            if (!b.IsNull()) {
                std::memcpy(b.data(), ch.samples.data(), static_cast<std::size_t>(span.start) * sizeof(float));
                std::memcpy(b.data() + span.start, ch.samples.data() + span.end,
                            static_cast<std::size_t>(count - span.end) * sizeof(float));
            }
        }
        for (int c = 0; c < n; ++c) {
            CChannels& ch = document.Channel(c);
            const FrameSpan span = SelectedFrames(ch);
            const std::int64_t count = ch.ReadableCount() - span.Length();
            const double removed = MsOf(ch, span.Length());
            ch.samples = std::move(fresh[static_cast<std::size_t>(c)]);
            SpliceLabels(ch, true, ch.selStartTime, ch.selEndTime, ch.selStartTime, -removed, {});
            SamplesReplaced(ch, count);
        }
    } else {
        const FrameSpan span = SelectedFrames(document.Channel(0));
        RebuildDataFile(document, span, 0, [](platform::File&, std::int64_t) {});
        for (int c = 0; c < n; ++c) {
            CChannels& ch = document.Channel(c);
            SpliceLabels(ch, true, ch.selStartTime, ch.selEndTime, ch.selStartTime, -MsOf(ch, span.Length()), {});
        }
    }
    // Only once every channel is cut: a recording cut down to nothing holds
    // no data.
    bool anyLeft = false;
    for (int c = 0; c < n; ++c)
        anyLeft = anyLeft || document.Channel(c).sampleCount > 0.0;
    if (!anyLeft)
        document.dataLoaded = 0;
}

// ---- paste ----

bool PasteFillsEmptyDocument(const COrielDoc& document) {
    return document.GetChannelCount() == 0 || !document.IsDataLoaded();
}

PasteRefusal CheckPaste(const COrielDoc& document, const EditClipboard& clipboard) {
    if (PasteFillsEmptyDocument(document))
        return PasteRefusal::None;
    if (document.GetChannelCount() != clipboard.channelCount)
        return PasteRefusal::ChannelCount;
    for (int c = 0; c < clipboard.channelCount; ++c)
        if (document.Channel(c).rate != clipboard.channels[static_cast<std::size_t>(c)].rate)
            return PasteRefusal::SampleRate;
    return PasteRefusal::None;
}

namespace {

void FillEmptyDocument(COrielDoc& document, const EditClipboard& clipboard) {
    const int n = clipboard.channelCount;
    auto recording = document.NewStagingRecording();
    recording->channelCount = n;
    recording->fileTypeCode = clipboard.fileTypeCode;
    try {
        for (int c = 0; c < n; ++c) {
            CChannels& ch = recording->channels[static_cast<std::size_t>(c)];
            ch = clipboard.channels[static_cast<std::size_t>(c)];
            const double count = ch.sampleCount;
            ch.shownStart = 0.0;
            ch.shownEnd = count;
            ch.shownLength = count;
            ch.shownStartTime = 0.0;
            ch.shownEndTime = ch.duration;
            ch.shownSpan = ch.duration;
        }
    } catch (const ChannelCopyError&) {
        throw EditError(kNoMemoryMessage);
    }
    if (clipboard.InFile()) {
        const std::int64_t bytes = static_cast<std::int64_t>(clipboard.channels[0].sampleCount) * n * 4;
        ScratchDataFile scratch(document);
        try {
            platform::File source(clipboard.filePath, platform::File::Mode::Read);
            CopyExactly(source, 0, scratch.File(), 0, bytes);
        } catch (const platform::FileException& e) {
            throw EditError(e.what());
        }
        scratch.AdoptInto(*recording, static_cast<std::size_t>(n));
    }
    document.AdoptRecording(std::move(recording));
    document.dataLoaded = 1;
}

// The clipboard file's frames [first, first + count) of n values.
void ReadClipboardFrames(const platform::File& file, std::int64_t first, std::int64_t count, int n,
                         std::vector<float>& out) {
    out.resize(static_cast<std::size_t>(count * n));
    const std::size_t bytes = out.size() * sizeof(float);
    if (file.ReadAt(first * n * 4, out.data(), bytes) != bytes)
        throw EditError(kIncorrectDataMessage);
}

void PasteInMemory(COrielDoc& document, const EditClipboard& clipboard, bool replaceSelection) {
    const int n = document.GetChannelCount();
    std::vector<FrameSpan> spans(static_cast<std::size_t>(n));
    std::vector<std::int64_t> inserted(static_cast<std::size_t>(n));
    std::vector<platform::FloatBlock> fresh(static_cast<std::size_t>(n));
    for (int c = 0; c < n; ++c) {
        const CChannels& ch = document.Channel(c);
        const CChannels& slot = clipboard.channels[static_cast<std::size_t>(c)];
        FrameSpan span = SelectedFrames(ch);
        if (!replaceSelection)
            span.end = span.start;
        spans[static_cast<std::size_t>(c)] = span;
        const std::int64_t add = clipboard.InFile() ? Whole(slot.sampleCount) : slot.ReadableCount();
        inserted[static_cast<std::size_t>(c)] = add;
        const std::int64_t count = ch.ReadableCount();
        platform::FloatBlock& b = fresh[static_cast<std::size_t>(c)];
        b = NewBlock(count - span.Length() + add);
        if (b.IsNull())
            continue;
        std::memcpy(b.data(), ch.samples.data(), static_cast<std::size_t>(span.start) * sizeof(float));
        if (!clipboard.InFile() && add > 0)
            std::memcpy(b.data() + span.start, slot.samples.data(), static_cast<std::size_t>(add) * sizeof(float));
        std::memcpy(b.data() + span.start + add, ch.samples.data() + span.end,
                    static_cast<std::size_t>(count - span.end) * sizeof(float));
    }
    if (clipboard.InFile()) {
        // One pass over the clipboard file, each frame's values spread to
        // their channels.
        const std::int64_t frames = Whole(clipboard.channels[0].sampleCount);
        try {
            platform::File file(clipboard.filePath, platform::File::Mode::Read);
            std::vector<float> chunk;
            for (std::int64_t k = 0; k < frames; k += kFrameChunk) {
                const std::int64_t m = std::min(kFrameChunk, frames - k);
                ReadClipboardFrames(file, k, m, n, chunk);
                for (int c = 0; c < n; ++c) {
                    float* to = fresh[static_cast<std::size_t>(c)].data() + spans[static_cast<std::size_t>(c)].start + k;
                    for (std::int64_t j = 0; j < m; ++j)
                        to[j] = chunk[static_cast<std::size_t>(j * n + c)];
                }
            }
        } catch (const platform::FileException& e) {
            throw EditError(e.what());
        }
    }
    for (int c = 0; c < n; ++c) {
        CChannels& ch = document.Channel(c);
        const CChannels& slot = clipboard.channels[static_cast<std::size_t>(c)];
        const FrameSpan span = spans[static_cast<std::size_t>(c)];
        const std::int64_t add = inserted[static_cast<std::size_t>(c)];
        const std::int64_t count = ch.ReadableCount() - span.Length() + add;
        const double shift = MsOf(ch, add) - MsOf(ch, span.Length());
        ch.samples = std::move(fresh[static_cast<std::size_t>(c)]);
        SpliceLabels(ch, replaceSelection, ch.selStartTime, ch.selEndTime, ch.selStartTime, shift, slot.labels);
        SamplesReplaced(ch, count);
    }
}

void PasteIntoDataFile(COrielDoc& document, const EditClipboard& clipboard, bool replaceSelection) {
    const int n = document.GetChannelCount();
    FrameSpan span = SelectedFrames(document.Channel(0));
    if (!replaceSelection)
        span.end = span.start;
    std::int64_t add = 0;
    if (clipboard.InFile()) {
        add = Whole(clipboard.channels[0].sampleCount);
        RebuildDataFile(document, span, add, [&](platform::File& to, std::int64_t at) {
            platform::File source(clipboard.filePath, platform::File::Mode::Read);
            CopyExactly(source, 0, to, at, add * n * 4);
        });
    } else {
        add = clipboard.channels[0].ReadableCount();
        RebuildDataFile(document, span, add, [&](platform::File& to, std::int64_t at) {
            // The slots' samples interleaved into frames; a slot shorter
            // than the first gives zeros.
            std::vector<float> chunk;
            for (std::int64_t k = 0; k < add; k += kFrameChunk) {
                const std::int64_t m = std::min(kFrameChunk, add - k);
                chunk.assign(static_cast<std::size_t>(m * n), 0.0f);
                for (int c = 0; c < n; ++c) {
                    const CChannels& slot = clipboard.channels[static_cast<std::size_t>(c)];
                    const std::int64_t have = std::min(m, slot.ReadableCount() - k);
                    for (std::int64_t j = 0; j < have; ++j)
                        chunk[static_cast<std::size_t>(j * n + c)] = slot.samples[static_cast<std::size_t>(k + j)];
                }
                to.WriteAt(at + k * n * 4, chunk.data(), chunk.size() * sizeof(float));
            }
        });
    }
    for (int c = 0; c < n; ++c) {
        CChannels& ch = document.Channel(c);
        const double shift = MsOf(ch, add) - MsOf(ch, span.Length());
        SpliceLabels(ch, replaceSelection, ch.selStartTime, ch.selEndTime, ch.selStartTime, shift,
                     clipboard.channels[static_cast<std::size_t>(c)].labels);
    }
}

}  // namespace

void PasteClipboard(COrielDoc& document, const EditClipboard& clipboard, bool replaceSelection) {
    if (!clipboard.full || clipboard.channelCount <= 0 || clipboard.channelCount > kDocumentSlots)
        throw EditError("The clipboard is empty.");
    if (PasteFillsEmptyDocument(document)) {
        FillEmptyDocument(document, clipboard);
        return;
    }
    if (CheckPaste(document, clipboard) != PasteRefusal::None)
        throw EditError("The clipboard does not fit this recording.");
    if (IsDocumentInMemory(document))
        PasteInMemory(document, clipboard, replaceSelection);
    else
        PasteIntoDataFile(document, clipboard, replaceSelection);
    document.dataLoaded = 1;
}

// ---- selection commands ----

void SelectAllSamples(COrielDoc& document) {
    for (int c = 0; c < document.GetChannelCount(); ++c) {
        CChannels& ch = document.Channel(c);
        ch.selStartSample = 0.0;
        ch.selEndSample = ch.sampleCount;
        ch.selStartTime = 0.0;
        ch.selEndTime = ch.duration;
        ch.selLengthSamples = ch.sampleCount;
        ch.selLengthTime = ch.duration;
    }
    document.selectionPresent = 1;
}

void SelectShownWindow(COrielDoc& document) {
    for (int c = 0; c < document.GetChannelCount(); ++c) {
        CChannels& ch = document.Channel(c);
        ch.selStartSample = ch.shownStart;
        ch.selEndSample = ch.shownEnd;
        ch.selStartTime = ch.shownStartTime;
        ch.selEndTime = ch.shownEndTime;
        ch.selLengthSamples = ch.shownLength;
        ch.selLengthTime = ch.shownSpan;
    }
    document.selectionPresent = 1;
}

// ---- the undo copy ----

namespace {

bool SameSampleCounts(const COrielDoc& document) {
    for (int c = 1; c < document.GetChannelCount(); ++c)
        if (document.Channel(c).ReadableCount() != document.Channel(0).ReadableCount())
            return false;
    return true;
}

}  // namespace

UndoState WriteUndoCopy(COrielDoc& document, const std::string& path) {
    UndoState state;
    state.channelCount = document.GetChannelCount();
    state.fileTypeCode = document.GetFileTypeCode();
    state.saveAsRequired = document.GetSaveAsRequired();
    state.dataLoaded = document.dataLoaded;
    state.modified = document.IsModified();
    for (int c = 0; c < state.channelCount; ++c) {
        const CChannels& ch = document.Channel(c);
        state.channels.push_back({ch.show, ch.shownStart, ch.shownEnd, ch.prevWindowStart, ch.prevWindowEnd,
                                  ch.intensityValid, nullptr});
        // Only a summary of exactly the samples written.
        if (ch.samplesSummary && ch.samplesSummary->SampleCount() == ch.ReadableCount())
            state.channels.back().summary = ch.samplesSummary;
    }
    // The last copy goes by name, not by cutting it to nothing: its space is
    // given back in the background (room for the new copy on a full disk),
    // and a recording still being filled from it (the one an undo just read)
    // keeps reading it whole.
    if (platform::PathExists(path))
        platform::RemoveFileInBackground(path);
    // Written beside and renamed: a failed write never leaves a partial copy
    // under the undo name. No flush to disk: the copy serves this session only.
    platform::ScratchReplacement scratch(path);
    if (!state.dataLoaded || state.channelCount <= 0) {
        scratch.Commit(false);
        return state;  // an empty copy: undo gives back an empty document
    }
    platform::File& file = scratch.GetFile();
    // The native writers keep only shown channels; the copy keeps them all.
    struct ShowAll {
        COrielDoc& doc;
        const UndoState& state;
        ShowAll(COrielDoc& d, const UndoState& s) : doc(d), state(s) {
            for (int c = 0; c < state.channelCount; ++c)
                doc.Channel(c).show = 1;
        }
        ~ShowAll() {
            for (int c = 0; c < state.channelCount; ++c)
                doc.Channel(c).show = state.channels[static_cast<std::size_t>(c)].show;
        }
    } showAll(document, state);
    WriteRequest request;
    request.channelCount = state.channelCount;
    request.targetPath = path;
    request.willFlush = false;
    if (SameSampleCounts(document))
        WriteKovPcFloat24File(document, file, request);
    else
        WriteKovPcFloatFile(document, file, request);
    scratch.Commit(false);
    return state;
}

void ReadUndoCopy(COrielDoc& document, const std::string& path, const UndoState& state) {
    if (!state.dataLoaded || state.channelCount <= 0) {
        auto empty = document.NewStagingRecording();
        empty->channelCount = state.channelCount;
        empty->fileTypeCode = state.fileTypeCode;
        empty->saveAsRequired = state.saveAsRequired;
        document.AdoptRecording(std::move(empty));
        document.dataLoaded = 0;
        // Back to nothing: as modified as the document was then.
        document.SetModifiedFlag(state.modified != 0);
        return;
    }
    platform::File file(path, platform::File::Mode::Read);
    LoadTarget target([&document] { return document.NewStagingRecording(); });
    const bool summariesKept = std::all_of(state.channels.begin(), state.channels.end(),
                                           [](const UndoState::Channel& c) { return c.summary != nullptr; });
    if (summariesKept)
        target.LeaveOutSummaries();
    // Whichever native float layout the copy was written in.
    int result = ReadKovPcFloat24File(document, file, target);
    if (result != kReaderLoaded && !target.HasRecording()) {
        file.Seek(0);
        result = ReadKovPcFloatFile(document, file, target);
    }
    auto recording = target.Take();
    if (result != kReaderLoaded || !recording || recording->channelCount != state.channelCount)
        throw EditError("The undo copy does not read back.");
    recording->fileTypeCode = state.fileTypeCode;
    recording->saveAsRequired = state.saveAsRequired;
    for (int c = 0; c < state.channelCount; ++c) {
        CChannels& ch = recording->channels[static_cast<std::size_t>(c)];
        const UndoState::Channel& was = state.channels[static_cast<std::size_t>(c)];
        ch.show = was.show;
        const double count = ch.sampleCount;
        ch.shownStart = std::clamp(was.shownStart, 0.0, count);
        ch.shownEnd = std::clamp(was.shownEnd, ch.shownStart, count);
        ch.shownLength = ch.shownEnd - ch.shownStart;
        ch.prevWindowStart = std::clamp(was.prevWindowStart, 0.0, count);
        ch.prevWindowEnd = std::clamp(was.prevWindowEnd, ch.prevWindowStart, count);
        double start = 0.0, end = 0.0;
        ch.GetVisibleTimeRange(start, end);
        // The view computes the intensity curves again (UndoState keeps
        // which were there); the rest is worked out anew on request.
        ch.intensityValid = 0;
        InvalidateDerived(ch);
        if (!ch.samplesSummary && was.summary && was.summary->SampleCount() == ch.ReadableCount())
            ch.samplesSummary = was.summary;
    }
    document.AdoptRecording(std::move(recording));
    document.dataLoaded = 1;
    // The reader marks what it read as the document's file; it is not. The
    // restored samples match that file only by chance (a cut undone after a
    // second cut leaves the first), so closing must ask.
    document.SetModifiedFlag(true);
}

}  // namespace vocomet
