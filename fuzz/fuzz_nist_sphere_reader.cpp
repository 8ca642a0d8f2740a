// Feeds arbitrary bytes, as a file, to the NIST SPHERE reader, in memory and
// (for inputs of more than 300 s) through a scratch file: every input must
// end as a load or a refusal, never a crash, a hang or a huge allocation. A
// loaded recording is also written back as WAV.

#include "FuzzSupport.h"
#include "core/DocumentFormats.h"
#include "core/NistSphereFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::WithDocumentOnInput(
        data, size, "input.sph", [](vocomet::COrielDoc& document, const std::filesystem::path& input) {
            platform::File file(input.string(), platform::File::Mode::Read);
            vocomet::LoadTarget target([&document] { return document.NewStagingRecording(); });
            if (vocomet::ReadNistSphereFile(document, file, target) == vocomet::kReaderLoaded) {
                document.AdoptRecording(target.Take());
                document.SaveDocumentAs((input.parent_path() / "output.wav").string(), vocomet::kFileTypeWave,
                                        false);
            }
        });
    return 0;
}
