#pragma once
// The oldest native layouts: a numeric header that holds its own size and a
// type number, then the channels' 16-bit samples one channel after another.
// Four layouts exist, all read only: a 6484-byte header (type 10 on the PC;
// type 20 on the Macintosh is recognised only to be refused) and a
// 1608-byte header with labels after it (type 100 on the PC, type 200 on the
// Macintosh). PC numbers are little-endian, Macintosh numbers big-endian.
//
// A header holds channel 0 (16-bit audio) and up to 15 further channels
// (12-bit), each switched on by its flag; the recording gets one channel per
// channel present. A header that fails its size or type test is simply not
// this layout; one that passes but is cut short, gives values no recording
// can have, or announces more than twice the samples the file holds, is
// refused with the reason. A file that holds at least half of its samples
// keeps the announced counts, zero where the file ends.

#include <cstdint>

#include "core/DocumentFormats.h"
#include "platform/File.h"

namespace vocomet {

class COrielDoc;

inline constexpr const char* kOldMacType20Message =
    "This is a very old Mac format. type = 20Please contact manufacturer to get a patch for this format.";

inline constexpr std::int32_t kOldLongHeaderSize = 6484;
inline constexpr std::int32_t kOldShortHeaderSize = 1608;
inline constexpr std::int32_t kOldLabelBlockHeaderSize = 180;
inline constexpr std::int32_t kOldLabelRecordSize = 200;

// Where a header reader left the samples: they start at sampleOffset, as
// big- or little-endian 16-bit values.
struct OldHeaderRead {
    std::int64_t sampleOffset = 0;
    bool bigEndian = false;
};

// The four header readers. Each returns 1 when it recognised its layout and
// set up the target's recording (channels and labels, no samples yet), else
// 0; a recognised header that cannot be loaded gives its reason to the
// target and 0.
int ReadOldPcLongHeaderFile(COrielDoc& document, const platform::File& file, LoadTarget& target, OldHeaderRead& read);
int ReadOldPcShortHeaderFile(COrielDoc& document, const platform::File& file, LoadTarget& target, OldHeaderRead& read);
int ReadOldMacLongHeaderFile(COrielDoc& document, const platform::File& file, LoadTarget& target, OldHeaderRead& read);
int ReadOldMacShortHeaderFile(COrielDoc& document, const platform::File& file, LoadTarget& target,
                              OldHeaderRead& read);

// Tries the 6484-byte reader, then the 1608-byte reader of the PC (pc 1) or
// the Macintosh (pc 0). 1 when one of them read the header, else 0.
int ReadOldHeader(COrielDoc& document, const platform::File& file, LoadTarget& target, int pc, OldHeaderRead& read);

// The document's readers of the oldest layouts (see DocumentFormats.h for
// the results): kReaderLoaded or kReaderNotMine.
int ReadOldPcFile(COrielDoc& document, platform::File& file, LoadTarget& target);
int ReadOldMacFile(COrielDoc& document, platform::File& file, LoadTarget& target);

// Puts both readers into their slots of the reader order.
void RegisterOldNativeReaders(DocumentFormats& formats);

}  // namespace vocomet
