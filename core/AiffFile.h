#pragma once
// AIFF and AIFC files (big-endian, uncompressed): the document loads one
// channel of them. With several channels in the file the user picks the one
// to read (DocumentHooks::chooseFileChannel); the document then holds that
// channel alone.
//
// Integer samples of 1 to 32 bits are read from their whole-byte containers
// (left-justified, as the format stores them) and scaled by the container's
// full scale. AIFC files are read only when their compression type is
// "NONE".

#include <cstdint>

#include "core/DocumentFormats.h"
#include "platform/File.h"

namespace vocomet {

class COrielDoc;

// The 80-bit IEEE 754 extended value at p (10 bytes, big-endian), as the
// COMM chunk stores the sample rate. Exponent 0x7FFF gives infinity (with
// the sign); zero exponent and mantissa give 0.
double ExtendedToDouble(const std::uint8_t* p);

// The document's AIFF reader (see DocumentFormats.h for the results).
// kReaderNotMine for a file that is no AIFF or AIFC form; a form the
// document cannot load (a compression other than "NONE", a COMM chunk of
// impossible values or a rate outside the loadable rates, no sound data, a
// file too short to hold a frame) is refused with its reason. A file whose
// sound data end before the COMM chunk's frame count gives the whole frames
// it holds. kReaderEndOpen when the user cancels the choice of channel.
int ReadAiffFile(COrielDoc& document, platform::File& file, LoadTarget& target);

// Puts the reader into its slot of the reader order.
void RegisterAiffReader(DocumentFormats& formats);

}  // namespace vocomet
