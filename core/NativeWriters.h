#pragma once
// The document's writers of the native multichannel file:
//   "KOV_PC_FLOAT_24" (code 1) and "USB2_FLOAT" (code 11): the headers and
//   labels of every channel, then interleaved float32 frames;
//   "KOV_PC_FLOAT" (code 4): each channel's header, labels and float32
//   samples in turn.
//
// Only the channels whose show flag is set are written, in channel order:
// the file header counts them, and in the frame layouts every frame holds
// exactly their values, so the file reads back whatever is hidden. With
// selectionOnly each channel's header, labels and samples cover its
// selected span: labels from its start time to its end time (both
// included), their times counted from the start.
//
// Samples come from memory or, for file-backed channels, from the
// document's data file; the copy of a file-backed recording shows progress
// ("Saving: " and the target's name) and can be cancelled.
//
// A writer ends a failed save by throwing platform::UserException (after its
// own message, where there is one) or platform::FileException. Writers leave
// the document's modified flag alone: the saving command decides.

#include <cstdint>
#include <vector>

#include "core/CChannels.h"
#include "core/DocumentFormats.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"

namespace vocomet {

class COrielDoc;

inline constexpr const char* kSaveNoMemoryMessage = "Not enough memory to allocate for saving the file.";
inline constexpr const char* kNothingShownMessage = "No channel is shown: there is nothing to save.";
inline constexpr const char* kTooManyShownMessage =
    "A Vocomet file holds at most 19 channels.\nHide the channels you do not need, or save as WAV.";

void WriteKovPcFloat24File(COrielDoc& document, platform::File& file, const WriteRequest& request);
void WriteUsb2FloatFile(COrielDoc& document, platform::File& file, const WriteRequest& request);
void WriteKovPcFloatFile(COrielDoc& document, platform::File& file, const WriteRequest& request);

// One channel's 248-byte header as written: the channel's fields, with the
// given duration, sample count and label count. Name and unit are cut to
// their fields (63 and 67 bytes).
void EncodeNativeChannelHeader(const CChannels& channel, double duration, double sampleCount,
                               std::int32_t labelCount, platform::ByteSpan out);
// One 368-byte label record, its time given.
void EncodeNativeLabelRecord(const LABEL& label, double time, platform::ByteSpan out);

// Registers the three writers for codes 1, 4 and 11.
void RegisterNativeWriters(DocumentFormats& formats);

}  // namespace vocomet
