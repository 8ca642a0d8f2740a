#pragma once
// NSP files: the 16-bit chunked sound files of a speech workstation
// ("FORM", "DS16", then little-endian chunks). The document loads the first
// sound-data chunk ("SDA_" or "SD_B") as one channel, at the rate of the
// header chunk ("HEDR" or "HDR8") before it.

#include "core/DocumentFormats.h"
#include "platform/File.h"

namespace vocomet {

class COrielDoc;

// The channel's name.
inline constexpr const char* kNspChannelName = "NSP file";

// The document's NSP reader (see DocumentFormats.h for the results).
// kReaderNotMine for a file without the "FORM" "DS16" signature; a signed
// file the document cannot load (no header or no sound data, sound data
// before the header, a rate that is not positive, sound data the file does
// not hold, no memory) is refused with its reason.
int ReadNspFile(COrielDoc& document, platform::File& file, LoadTarget& target);

// Puts the reader into its slot of the reader order.
void RegisterNspReader(DocumentFormats& formats);

}  // namespace vocomet
