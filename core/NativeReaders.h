#pragma once
// The document's readers of the native multichannel file, one per layout.
//
// Each takes the source file and the load target that the document gives
// it, and fills only the target's recording: the document takes it when the
// reader returns kReaderLoaded. Results:
//   kReaderLoaded   the file was of this layout and is loaded;
//   kReaderEndOpen  the user cancelled the copy into a scratch file
//                   (interleaved layouts only); no scratch file is left;
//   kReaderNotMine  not this layout, or loading failed after a message
//                   (wrong channel count, short or inconsistent file, no
//                   memory, the scratch file cannot be made), or a channel's
//                   rate or duration is no finite positive number (the
//                   reason goes to the target, no message is shown).
// The recording is asked of the target only once the headers are accepted.
//
// Interleaved recordings of 300 s and more ("KOV_PC_FLOAT_24"), and
// "USB2_FLOAT" recordings whose memory cannot be had, are copied into a
// scratch file in the temp folder and read from there on demand: the
// recording's data file holds the frames, and every channel reads its own
// value of each frame.

#include "core/DocumentFormats.h"
#include "core/NativeFormat.h"
#include "core/RecordingData.h"
#include "platform/File.h"

namespace vocomet {

class COrielDoc;

inline constexpr const char* kWrongChannelNumberMessage = "Wrong channel number.\nEither is zero or is more than 20.";
inline constexpr const char* kIncorrectDataMessage = "Incorrect number of data was read";
inline constexpr const char* kNoMemoryMessage = "Could not allocate enough memory for this operation.";
inline constexpr const char* kReadingProgressText = "Reading: ";

// Interleaved "KOV_PC_FLOAT_24" recordings this long (whole seconds of
// channel 0's duration) and longer stay on disk.
inline constexpr double kScratchFileSeconds = 300.0;

int ReadUsb2FloatFile(COrielDoc& document, platform::File& file, LoadTarget& target);
int ReadKovPcFloat24File(COrielDoc& document, platform::File& file, LoadTarget& target);
int ReadKovPcFloatFile(COrielDoc& document, platform::File& file, LoadTarget& target);
int ReadKovPcFile(COrielDoc& document, platform::File& file, LoadTarget& target);
int ReadKovePcFile(COrielDoc& document, platform::File& file, LoadTarget& target);
int ReadKovMacFile(COrielDoc& document, platform::File& file, LoadTarget& target);

// Puts the six readers into their slots of the reader order.
void RegisterNativeReaders(DocumentFormats& formats);

}  // namespace vocomet
