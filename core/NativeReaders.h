#pragma once
// The document's readers of the native multichannel file, one per layout.
//
// Each takes the source file and the load target that the document gives
// it, and fills only the target's recording: the document takes it when the
// reader returns kReaderLoaded. Results:
//   kReaderLoaded   the file was of this layout and is loaded;
//   kReaderEndOpen  the user cancelled the copy into a scratch file
//                   (interleaved layouts only); no scratch file is left;
//   kReaderNotMine  not this layout, or a file of this layout that cannot
//                   be loaded (wrong channel count, a file cut short or
//                   inconsistent, no memory, the scratch file cannot be
//                   made, a channel's rate outside the loadable rates or a
//                   duration that is no finite positive number): the reason
//                   goes to the target, which fails the open with it, and
//                   no message of the reader's own is shown.
// The recording is asked of the target only once the headers are accepted.
//
// Interleaved recordings of 300 s and more ("KOV_PC_FLOAT_24"), and
// "USB2_FLOAT" recordings whose memory cannot be had, are copied into a
// scratch file in the temp folder and read from there on demand: the
// recording's data file holds the frames, and every channel reads its own
// value of each frame.

#include <string>

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

// The sample rates a loaded recording may have, in Hz. Within them every
// rate-derived analysis setting is a whole number well inside an int, and a
// WAV file of all 20 channel slots at the highest rate still states its byte
// rate in its 32-bit field (20 x 4 bytes x 50 MHz < 2^32): whatever opens
// can be analysed and saved as WAV.
inline constexpr double kMinLoadableRate = 1.0;
inline constexpr double kMaxLoadableRate = 50.0e6;
// A finite rate within the bounds above.
bool IsLoadableRate(double rate);
// Why a file cannot be loaded at rate; subject names it ("This AIFF file").
std::string RateRefusal(const std::string& subject, double rate);

int ReadUsb2FloatFile(COrielDoc& document, platform::File& file, LoadTarget& target);
int ReadKovPcFloat24File(COrielDoc& document, platform::File& file, LoadTarget& target);
int ReadKovPcFloatFile(COrielDoc& document, platform::File& file, LoadTarget& target);
int ReadKovPcFile(COrielDoc& document, platform::File& file, LoadTarget& target);
int ReadKovePcFile(COrielDoc& document, platform::File& file, LoadTarget& target);
int ReadKovMacFile(COrielDoc& document, platform::File& file, LoadTarget& target);

// Puts the six readers into their slots of the reader order.
void RegisterNativeReaders(DocumentFormats& formats);

}  // namespace vocomet
