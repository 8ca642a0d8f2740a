// Feeds arbitrary bytes, as a file, through a document's reader order: every
// input must end as a load or a refusal, never a crash, a hang or a huge
// allocation.

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::WithDocumentOnInput(data, size, "input.vcm",
                                 [](vocomet::COrielDoc& document, const std::filesystem::path& input) {
                                     document.OnOpenDocument(input.string());
                                 });
    return 0;
}
