#include "app/ChannelCommands.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
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

// The progress of a run over several channels, for one channel at a time:
// channel k's fraction f is (k + f) / count of the whole. Changes too small
// to see on the bar are not passed on, so a window is not repainted for
// nothing.
class RunProgress final : public platform::Progress {
public:
    RunProgress(platform::Progress& whole, std::size_t count)
        : m_whole(whole), m_count(std::max<std::size_t>(count, 1)) {
        m_whole.SetFraction(0.0);
    }
    void StartChannel(std::size_t k) { m_channel = k; }
    void Finish() { m_whole.SetFraction(1.0); }

    void SetText(const std::string& text) override { m_whole.SetText(text); }
    void SetFraction(double fraction) override {
        const double part = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
        const double whole = (static_cast<double>(m_channel) + part) / static_cast<double>(m_count);
        if (whole >= m_shown + 1e-3) {
            m_whole.SetFraction(whole);
            m_shown = whole;
        }
    }
    bool AbortRequested() override { return m_whole.AbortRequested(); }

private:
    platform::Progress& m_whole;
    std::size_t m_count;
    std::size_t m_channel = 0;
    double m_shown = 0.0;
};

// Makes each channel's result in turn under one progress window showing
// text; nothing when the user cancelled.
template <typename Make>
auto MakeForEachChannel(COrielDoc& doc, const std::vector<int>& channels, const char* text, Make make)
    -> std::optional<std::vector<typename std::invoke_result_t<Make, const CChannels&, platform::Progress&>::value_type>> {
    using Result = typename std::invoke_result_t<Make, const CChannels&, platform::Progress&>::value_type;
    std::vector<Result> results;
    results.reserve(channels.size());
    const std::unique_ptr<platform::Progress> shown = doc.MakeProgress();
    shown->SetText(text);
    RunProgress run(*shown, channels.size());
    for (std::size_t k = 0; k < channels.size(); ++k) {
        run.StartChannel(k);
        std::optional<Result> r = make(doc.Channel(channels[k]), run);
        if (!r)
            return std::nullopt;
        results.push_back(std::move(*r));
    }
    run.Finish();
    return results;
}

// Runs a data-replacing operation over channels after the question and the
// undo copy, in two steps so that a cancel changes nothing: make computes
// each channel's result (nothing on an abort) while the progress window
// shows, apply then gives every channel its result. A failure shows message
// and changes nothing either.
template <typename Make, typename Apply>
bool ReplaceData(COrielDoc& doc, EditSession& edits, const std::vector<int>& channels, const SaveAsFunction& saveAs,
                 const char* failure, const char* text, Make make, Apply apply) {
    if (channels.empty() || RefuseFileBacked(doc, channels))
        return false;
    platform::UserPrompts& prompts = doc.Prompts();
    if (!AskSaveBeforeReplacing(prompts, saveAs))
        return false;
    try {
        if (!edits.SaveUndoFile(doc, prompts))
            throw platform::UserException();
        auto results = MakeForEachChannel(doc, channels, text, make);
        if (!results) {
            // Cancelled: the copy holds what the document still holds.
            edits.ForgetUndo();
            return false;
        }
        for (std::size_t k = 0; k < channels.size(); ++k)
            apply(doc.Channel(channels[k]), (*results)[k]);
    } catch (const std::exception&) {
        prompts.Message(failure, platform::Buttons::Ok, platform::Icon::Warning);
        return false;
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
    // The means are taken first and written only when every one is known:
    // a cancel costs no copy of the samples.
    return ReplaceData(
        doc, edits, ChannelsOf(doc, channel), saveAs, kAveragingFailed, kAveragingProgressText,
        [](const CChannels& ch, platform::Progress& p) { return ch.MeanOfSamples(ch.selStartTime, ch.selEndTime, p); },
        [](CChannels& ch, const SampleMean& mean) {
            if (mean.first >= mean.end)
                return;
            ch.FillSamples(mean);
            ch.samplesSummary = nullptr;  // the samples are not what it describes
        });
}

bool SmoothChannels(COrielDoc& doc, EditSession& edits, const SaveAsFunction& saveAs) {
    // Each channel is smoothed into a block of its own, and the blocks take
    // the samples' place when all are done: a cancel leaves the samples
    // untouched, at the cost of holding the new blocks until then.
    return ReplaceData(
        doc, edits, ChannelsOf(doc, -1), saveAs, kSmoothFailed, kSmoothProgressText,
        [](const CChannels& ch, platform::Progress& p) { return ch.SmoothedSamples(p); },
        [](CChannels& ch, platform::FloatBlock& smoothed) {
            if (smoothed.IsNull())
                return;  // smoothing off, or too short to smooth
            std::swap(ch.samples, smoothed);
            smoothed.Free();
            ch.samplesSummary = nullptr;
        });
}

bool ComputeIntensities(COrielDoc& doc) {
    // Every curve is made before any is taken, so a cancel leaves every
    // channel with the curve it had; the old curves stay in memory until
    // then.
    try {
        auto curves = MakeForEachChannel(doc, ChannelsOf(doc, -1), kIntensityProgressText,
                                         [](const CChannels& ch, platform::Progress& p) { return ch.MakeIntensity(p); });
        if (!curves)
            return false;
        for (int i = 0; i < doc.GetChannelCount(); ++i) {
            CChannels& ch = doc.Channel(i);
            ch.TakeIntensity(std::move((*curves)[static_cast<std::size_t>(i)]));
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
