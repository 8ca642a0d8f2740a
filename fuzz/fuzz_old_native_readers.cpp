// Feeds arbitrary bytes, as a file, to the readers of the oldest native
// layouts (PC, then Macintosh, as the document tries them): every input must
// end as a load or a refusal, never a crash, a hang or a huge allocation. A
// loaded recording is also written back in the native layout it is saved as.

#include "FuzzSupport.h"
#include "core/DocumentFormats.h"
#include "core/OldNativeReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::WithDocumentOnInput(
        data, size, "input.vcm", [](vocomet::COrielDoc& document, const std::filesystem::path& input) {
            platform::File file(input.string(), platform::File::Mode::Read);
            for (auto reader : {vocomet::ReadOldPcFile, vocomet::ReadOldMacFile}) {
                vocomet::LoadTarget target([&document] { return document.NewStagingRecording(); });
                if (reader(document, file, target) == vocomet::kReaderLoaded) {
                    document.AdoptRecording(target.Take());
                    document.SaveDocumentAs((input.parent_path() / "output.vcm").string(),
                                            document.GetFileTypeCode(), false);
                    break;
                }
            }
        });
    return 0;
}
