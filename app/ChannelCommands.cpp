#include "app/ChannelCommands.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <vector>

#include "app/EditSession.h"
#include "core/COrielDoc.h"
#include "core/ConfigurationFile.h"

namespace vocomet {

namespace {

// A double kept in an int field: truncated toward zero, within the int range.
std::int32_t WholeInt(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return 2147483647;
    if (v <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<std::int32_t>(v);
}

// A sample position as an index within [0, count].
std::int64_t ClampIndex(double position, std::int64_t count) {
    if (!(position > 0.0))
        return 0;
    if (position >= static_cast<double>(count))
        return count;
    return static_cast<std::int64_t>(position);
}

std::vector<int> ChannelsOf(const COrielDoc& doc, int channel) {
    std::vector<int> list;
    if (channel >= 0) {
        if (channel < doc.GetChannelCount())
            list.push_back(channel);
        return list;
    }
    for (int i = 0; i < doc.GetChannelCount(); ++i)
        list.push_back(i);
    return list;
}

// Samples read from the data file cannot be replaced in memory: refuse
// before anything is asked or written rather than report a change that did
// not happen.
bool RefuseFileBacked(COrielDoc& doc, const std::vector<int>& channels) {
    for (int i : channels)
        if (doc.Channel(i).IsFileBacked()) {
            doc.Prompts().Beep();
            doc.Prompts().Message(kFileBackedRefused, platform::Buttons::Ok, platform::Icon::Warning);
            return true;
        }
    return false;
}

void RecomputeValidIntensities(COrielDoc& doc) {
    for (int i = 0; i < doc.GetChannelCount(); ++i) {
        CChannels& ch = doc.Channel(i);
        if (ch.intensityValid)
            ch.ComputeIntensity();
    }
}

// Runs a data-replacing operation over channels after the question and the
// undo copy; failure shows message.
template <typename Operation>
bool ReplaceData(COrielDoc& doc, EditSession& edits, const std::vector<int>& channels, const SaveAsFunction& saveAs,
                 const char* failure, Operation operation) {
    if (channels.empty() || RefuseFileBacked(doc, channels))
        return false;
    platform::UserPrompts& prompts = doc.Prompts();
    if (!AskSaveBeforeReplacing(prompts, saveAs))
        return false;
    bool changed = false;
    try {
        if (!edits.SaveUndoFile(doc, prompts))
            throw platform::UserException();
        for (int i : channels) {
            CChannels& ch = doc.Channel(i);
            changed = true;
            operation(ch);
            ch.samplesSummary = nullptr;  // the samples are not what it describes
        }
    } catch (const std::exception&) {
        prompts.Message(failure, platform::Buttons::Ok, platform::Icon::Warning);
        if (changed)
            doc.SetModifiedFlag(true);
        return changed;
    }
    doc.SetModifiedFlag(true);
    return true;
}

}  // namespace

bool AskSaveBeforeReplacing(platform::UserPrompts& prompts, const SaveAsFunction& saveAs) {
    switch (prompts.Message(kReplaceDataQuestion, platform::Buttons::YesNoCancel, platform::Icon::Question)) {
        case platform::Answer::No:
            return true;
        case platform::Answer::Yes:
            return saveAs && saveAs();
        default:
            return false;
    }
}

bool AverageChannels(COrielDoc& doc, EditSession& edits, int channel, const SaveAsFunction& saveAs) {
    return ReplaceData(doc, edits, ChannelsOf(doc, channel), saveAs, kAveragingFailed,
                       [](CChannels& ch) { ch.AverageSamples(ch.selStartTime, ch.selEndTime); });
}

bool SmoothChannels(COrielDoc& doc, EditSession& edits, const SaveAsFunction& saveAs) {
    return ReplaceData(doc, edits, ChannelsOf(doc, -1), saveAs, kSmoothFailed,
                       [](CChannels& ch) { ch.SmoothSamples(); });
}

bool ComputeIntensities(COrielDoc& doc) {
    try {
        for (int i = 0; i < doc.GetChannelCount(); ++i) {
            CChannels& ch = doc.Channel(i);
            ch.ComputeIntensity();
            ch.drawIntensity = 1;
        }
    } catch (const std::exception&) {
        doc.Prompts().Message(kIntensityFailed, platform::Buttons::Ok, platform::Icon::Warning);
        return false;
    }
    return true;
}

void SetReferenceAll(COrielDoc& doc) {
    try {
        for (int i = 0; i < doc.GetChannelCount(); ++i) {
            CChannels& ch = doc.Channel(i);
            if (ch.audioFlag != 1)
                ch.SetReferenceAtTime(ch.markerTime);
        }
        RecomputeValidIntensities(doc);
    } catch (const std::exception&) {
    }
    doc.SetModifiedFlag(true);
}

void SetReferenceAllToZero(COrielDoc& doc) {
    for (int i = 0; i < doc.GetChannelCount(); ++i)
        doc.Channel(i).reference = 0.0;
    try {
        RecomputeValidIntensities(doc);
    } catch (const std::exception&) {
    }
    doc.SetModifiedFlag(true);
}

bool SetReferenceForChannel(COrielDoc& doc, int channel) {
    if (channel < 0 || channel >= doc.GetChannelCount())
        return false;
    CChannels& ch = doc.Channel(channel);
    try {
        ch.SetReferenceAtTime(ch.markerTime);
        if (ch.intensityValid)
            ch.ComputeIntensity();
    } catch (const std::exception&) {
    }
    doc.SetModifiedFlag(true);
    return true;
}

bool ClearToReference(COrielDoc& doc, EditSession& edits) {
    const std::vector<int> channels = ChannelsOf(doc, -1);
    if (channels.empty() || RefuseFileBacked(doc, channels))
        return false;
    if (!edits.SaveUndoOrAsk(doc, doc.Prompts()))
        return false;
    for (int i : channels) {
        CChannels& ch = doc.Channel(i);
        if (!ch.HasSamples())
            continue;
        // Each channel has its own rate and length: its own bounds.
        const std::int64_t count = ch.ReadableCount();
        const std::int64_t start = ClampIndex(ch.selStartSample, count);
        const std::int64_t end = ClampIndex(ch.selEndSample, count);
        if (start >= end)
            continue;
        std::fill(ch.samples.data() + start, ch.samples.data() + end, static_cast<float>(ch.reference));
        ch.samplesSummary = nullptr;
    }
    doc.SetModifiedFlag(true);
    return true;
}

int ValidEggChannel(const COrielDoc& doc) {
    const int egg = doc.settings.egg.channel;
    return egg >= 0 && egg < doc.GetChannelCount() ? egg : -1;
}

bool EggAnalysis(COrielDoc& doc, bool selectionOnly) {
    const int egg = ValidEggChannel(doc);
    if (egg < 0)
        return false;
    CChannels& ch = doc.Channel(egg);
    try {
        ch.ComputeAcceleration(ch.velocitySmoothing, ch.accelerationSmoothing);
        if (selectionOnly)
            ch.AnalyzeEGG(ch.selStartSample, ch.selEndSample);
        else
            ch.AnalyzeEGG(0.0, ch.sampleCount);
        ch.drawPeaks = 1;
        ch.drawValleys = 1;
        ch.drawThresholdMarks = 1;
    } catch (const VelocityMissingError& e) {
        doc.Prompts().Message(e.what(), platform::Buttons::Ok, platform::Icon::Warning);
        return false;
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

void PutEggOptions(ConfigurationBlock& block, const CChannels& egg) {
    const platform::ByteSpan b = block.Span();
    b.I32LE(cfg::kEggSettingAt, WholeInt(egg.criterionPercent));
    b.I32LE(cfg::kEggVelocitySmoothingAt, WholeInt(egg.velocitySmoothing));
    b.I32LE(cfg::kEggAccelerationSmoothingAt, WholeInt(egg.accelerationSmoothing));
    b.I32LE(cfg::kEggShowVelocityAt, egg.drawVelocity);
    b.I32LE(cfg::kEggShowAccelerationAt, egg.drawAcceleration);
    b.I32LE(cfg::kEggShowPeaksAt, egg.drawPeaks);
    b.I32LE(cfg::kEggShowValleysAt, egg.drawValleys);
    b.I32LE(cfg::kEggShowThresholdAt, egg.drawThresholdMarks);
}

bool EggOptionsCommand(COrielDoc& doc, AnalysisOptionDialogs& dialogs, const std::string& path) {
    const int egg = ValidEggChannel(doc);
    if (egg < 0)
        return false;
    CChannels& ch = doc.Channel(egg);
    EggOptions values;
    values.thresholdPercent = WholeInt(ch.criterionPercent);
    values.velocityWindowMs = ch.velocitySmoothing;
    values.accelerationWindowMs = ch.accelerationSmoothing;
    values.drawVelocity = ch.drawVelocity;
    values.drawAcceleration = ch.drawAcceleration;
    values.drawPeaks = ch.drawPeaks;
    values.drawValleys = ch.drawValleys;
    values.drawThresholdMarks = ch.drawThresholdMarks;
    const std::optional<EggOptions> chosen = dialogs.RunEggOptions(values);
    if (!chosen)
        return false;
    ch.criterionPercent = chosen->thresholdPercent;
    ch.velocitySmoothing = chosen->velocityWindowMs;
    ch.accelerationSmoothing = chosen->accelerationWindowMs;
    ch.drawVelocity = chosen->drawVelocity;
    ch.drawAcceleration = chosen->drawAcceleration;
    ch.drawPeaks = chosen->drawPeaks;
    ch.drawValleys = chosen->drawValleys;
    ch.drawThresholdMarks = chosen->drawThresholdMarks;
    PatchConfigurationFile(path, [&](ConfigurationBlock& b) { PutEggOptions(b, ch); });
    return true;
}

bool EggSetChannelCommand(COrielDoc& doc, AnalysisOptionDialogs& dialogs, const std::string& path) {
    std::vector<std::string> names;
    for (int i = 0; i < doc.GetChannelCount(); ++i)
        names.push_back(doc.Channel(i).name);
    const std::optional<int> chosen = dialogs.RunEggChannelAssign(names, ValidEggChannel(doc));
    if (!chosen)
        return false;
    doc.settings.egg.channel = *chosen >= 0 && *chosen < doc.GetChannelCount() ? *chosen : -1;
    const std::int32_t index = doc.settings.egg.channel;
    PatchConfigurationFile(path, [&](ConfigurationBlock& b) { b.Span().I32LE(cfg::kEggChannelAt, index); });
    return true;
}

}  // namespace vocomet
