#pragma once
// The play commands of the main view without their widget: which range of
// channel 0 they play, which output plays it, how the sound card is started
// on the document's samples, and where the play cursor stands.

#include <cstdint>

namespace vocomet {

struct AcquisitionState;
class CChannels;
class COrielDoc;
class SoundOutClient;

enum class PlayMode : int { All = 1, Selection = 2, Window = 3 };

struct PlayRange {
    std::int64_t first = 0;  // sample of channel 0
    std::int64_t end = 0;    // one past the last
    std::int64_t Count() const { return end > first ? end - first : 0; }
};

// Channel 0's range for the mode, truncated: the whole recording, the
// selection, or the shown window. lowerToFour lowers both ends to
// multiples of 4 (the hardware roads).
PlayRange PlayRangeOf(const CChannels& channel0, PlayMode mode, bool lowerToFour = false);

enum class PlayRoad { AudioBox, Rendal, SoundCard };
// The audio box when it is present and the route is the hardware, else the
// sixteen-channel system on the same terms, else the sound card.
PlayRoad ChoosePlayRoad(const AcquisitionState& acquisition);

// The sound-card road: plays range of channel 0 at its rate (truncated),
// mono, from its samples in memory or from its own column of the data file.
// The output object is replaced only when there is something to play;
// client hears of played blocks and the end. True when sound plays; false
// when nothing could be played (no samples and no data file, an empty
// range, or the device said no, which the user has been told).
bool PlayOnSoundCard(COrielDoc& doc, const PlayRange& range, SoundOutClient* client);

// The play cursor's x for a time (ms) in channel 0's strip as shown; -1
// when that time is not shown.
int PlayCursorX(const CChannels& channel0, double timeMs);

}  // namespace vocomet
