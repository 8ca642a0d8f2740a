#pragma once
// The sixteen-channel system's recording file: headerless frames of sixteen
// signed 16-bit little-endian words. Words 0 to 3 are the four inputs of the
// audio channel (their mean is the audio signal); word v + 3 carries
// acquisition record v (1 to 12). COrielDoc::LoadRendalRecording turns such
// a file into the document's channels.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/ChannelSetup.h"

namespace vocomet {

class COrielDoc;

inline constexpr std::size_t kRendalFrameBytes = 32;
inline constexpr int kRendalFrameWords = 16;
// The highest acquisition record a frame has a word for.
inline constexpr int kRendalHighestRecord = 12;
// From this many whole seconds on, a recording is read from a scratch file.
inline constexpr std::int64_t kRendalScratchSeconds = 300;

// The texts of a refused recording.
inline constexpr const char* kRendalNoRateMessage = "The recording has no sample rate; it cannot be loaded.";
inline constexpr const char* kRendalNoChannelMessage = "No channel is enabled for this recording.";
inline constexpr const char* kRendalRecordTooHighMessage =
    "Channel %d is enabled, but the recording holds data for channels 0 to 12 only.";

// The word a document channel made from record v takes: the mean of words 0
// to 3 (returned as -1) for record 0, word v + 3 for the others.
inline int RendalWordOfRecord(int record) { return record == 0 ? -1 : record + 3; }

// The records that become document channels, in order: the enabled ones
// among the first count.
std::vector<int> EnabledRendalRecords(const ChannelSetupArray& records, int count);

// The value of one document channel in a frame, scaled by 1/32768. The
// first channel made (document channel 0) takes the mean of words 0 to 3
// in single precision, ((a1 + a0) + a2) + a3 times 0.25, when it is made
// from record 0; every other channel, and the first one when record 0 is
// disabled, its own record's word.
float RendalChannelValue(const std::uint8_t* frame, int record);

// Gives the document a fresh recording file under a scratch name, open for
// writing, in place of the one before (which goes as DiscardRendalRecording
// says). The file is removed from disk when the last holder lets go. False
// when it cannot be made; the document then has no recording file.
bool NewRendalRecordingFile(COrielDoc& document);

// The document no longer needs its recording file (loaded into the
// document, or discarded by the user): it goes from disk as soon as nothing
// holds it (the worker that wrote it may still). The document is left with
// no recording file.
void DiscardRendalRecording(COrielDoc& document);

}  // namespace vocomet
