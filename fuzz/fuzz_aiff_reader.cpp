// Opens arbitrary bytes, seeded with an AIFF or AIFC file, as File > Open does: through
// the document's reader order, its refusals and the generic-file dialog
// (see fuzzing::OpenInput).

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::OpenInput(data, size, "input.aiff");
    return 0;
}
