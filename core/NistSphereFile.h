#pragma once
// NIST SPHERE files: "NIST_1A", the header length, a text header of
// "key -type value" lines up to "end_head", then frames of one sample per
// channel. The document loads every channel of uncompressed files: 16-bit
// pcm in either byte order, 8-bit pcm (signed bytes) and 8-bit mu-law.
//
// Recordings of up to 300 s are read into memory; longer ones are converted
// into a scratch file of interleaved 32-bit float frames in the temp folder,
// which becomes the recording's data file.

#include "core/DocumentFormats.h"
#include "platform/File.h"

namespace vocomet {

class COrielDoc;

// The document's NIST SPHERE reader (see DocumentFormats.h for the
// results). kReaderNotMine for a file without the "NIST_1A" magic and a
// header length of 1 to 5120; a SPHERE file the document cannot load (no
// or too many channels, a rate outside the loadable rates, another coding
// or sample size, 16-bit samples without their byte order, not one whole
// frame after the header) is refused with its reason. A file whose samples
// end before the header's sample count gives the whole frames it holds.
// kReaderEndOpen when the user aborts a long load.
int ReadNistSphereFile(COrielDoc& document, platform::File& file, LoadTarget& target);

// Puts the reader into its slot of the reader order.
void RegisterNistSphereReader(DocumentFormats& formats);

}  // namespace vocomet
