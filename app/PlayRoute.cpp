#include "app/PlayRoute.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <span>

#include "acquisition/AcquisitionState.h"
#include "acquisition/CSoundOut.h"
#include "core/ApplicationState.h"
#include "core/CChannels.h"
#include "core/COrielDoc.h"
#include "platform/File.h"

namespace vocomet {

namespace {

std::int64_t Truncated(double v) {
    if (!std::isfinite(v) || v <= 0.0)
        return 0;
    if (v >= 9.0e18)
        return static_cast<std::int64_t>(9.0e18);
    return static_cast<std::int64_t>(v);
}

}  // namespace

PlayRange PlayRangeOf(const CChannels& channel0, PlayMode mode, bool lowerToFour) {
    PlayRange r;
    switch (mode) {
    case PlayMode::All:
        r = {0, Truncated(channel0.sampleCount)};
        break;
    case PlayMode::Selection:
        r = {Truncated(channel0.selStartSample), Truncated(channel0.selEndSample)};
        break;
    case PlayMode::Window:
        r = {Truncated(channel0.shownStart), Truncated(channel0.shownEnd)};
        break;
    }
    if (lowerToFour) {
        r.first &= ~std::int64_t{3};
        r.end &= ~std::int64_t{3};
    }
    return r;
}

PlayRoad ChoosePlayRoad(const AcquisitionState& acquisition) {
    if (acquisition.audioBoxPresent && acquisition.playRoute)
        return PlayRoad::AudioBox;
    if (!acquisition.audioBoxPresent && acquisition.rendalPresent && acquisition.playRoute)
        return PlayRoad::Rendal;
    return PlayRoad::SoundCard;
}

bool PlayOnSoundCard(COrielDoc& doc, const PlayRange& range, SoundOutClient* client) {
    if (doc.GetChannelCount() < 1 || range.Count() <= 0)
        return false;
    CChannels& channel = doc.Channel(0);
    AcquisitionState& acquisition = doc.App().acquisition;
    const int rate = static_cast<int>(std::clamp(channel.rate, 0.0, 1.0e6));
    const bool inMemory = channel.HasSamples();
    // A file-backed channel plays its own column of the data file.
    const bool fromFile = !inMemory && channel.IsFileBacked() && channel.sourceFile->IsOpen() &&
                          !channel.sourceFile->GetFilePath().empty() && channel.stride >= 1 &&
                          channel.channelNumber >= 1 && channel.channelNumber <= channel.stride;
    if (!inMemory && !fromFile)
        return false;

    acquisition.StopSoundOutput();
    acquisition.soundOut = std::make_unique<CSoundOut>(acquisition.SoundCard());
    CSoundOut& out = *acquisition.soundOut;
    out.SetClient(client);
    if (inMemory) {
        const std::span<const float> samples(
            channel.samples.data(), std::min<std::size_t>(channel.samples.size(), static_cast<std::size_t>(std::max<std::int64_t>(channel.ReadableCount(), 0))));
        if (!out.PrepareMemory(doc.Prompts(), samples, {}, range.first, range.Count(), rate, 1, 16, 1, 0))
            return false;
        if (out.Start(doc.Prompts()) != 0)
            return false;
        out.Restart();
        return true;
    }
    return out.PlayFile(doc.Prompts(), channel.sourceFile, range.first, range.Count(), rate, 1, 16, channel.stride,
                        channel.channelNumber - 1);
}

int PlayCursorX(const CChannels& channel0, double timeMs) {
    const double width = static_cast<double>(channel0.strip.right) - static_cast<double>(channel0.strip.left);
    if (!(channel0.shownSpan > 0.0) || width <= 0.0 || !std::isfinite(timeMs))
        return -1;
    const double offset = (timeMs - channel0.shownStartTime) * (width / channel0.shownSpan);
    if (offset < 0.0 || offset > width)
        return -1;
    return channel0.strip.left + static_cast<int>(offset);
}

}  // namespace vocomet
