// Feeds arbitrary bytes, as a file, to the NSP reader: every input must end
// as a load or a refusal, never a crash, a hang or a huge allocation. A
// loaded recording is also written back as WAV.

#include "FuzzSupport.h"
#include "core/DocumentFormats.h"
#include "core/NspFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::WithDocumentOnInput(
        data, size, "input.nsp", [](vocomet::COrielDoc& document, const std::filesystem::path& input) {
            platform::File file(input.string(), platform::File::Mode::Read);
            vocomet::LoadTarget target([&document] { return document.NewStagingRecording(); });
            if (vocomet::ReadNspFile(document, file, target) == vocomet::kReaderLoaded) {
                document.AdoptRecording(target.Take());
                document.SaveDocumentAs((input.parent_path() / "output.wav").string(), vocomet::kFileTypeWave,
                                        false);
            }
        });
    return 0;
}
