// Feeds arbitrary bytes, as a file, to the AIFF reader: every input must end
// as a load or a refusal, never a crash, a hang or a huge allocation. The
// channel asked for depends on the input, so every channel gets read; a
// loaded recording is also written back as WAV.

#include "FuzzSupport.h"
#include "core/AiffFile.h"
#include "core/DocumentFormats.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::WithDocumentOnInput(
        data, size, "input.aiff", [size](vocomet::COrielDoc& document, const std::filesystem::path& input) {
            document.Hooks().chooseFileChannel = [size](int count) -> std::optional<int> {
                return static_cast<int>(size % static_cast<std::size_t>(count + 1)) - 1;  // -1: Cancel
            };
            platform::File file(input.string(), platform::File::Mode::Read);
            vocomet::LoadTarget target([&document] { return document.NewStagingRecording(); });
            if (vocomet::ReadAiffFile(document, file, target) == vocomet::kReaderLoaded) {
                document.AdoptRecording(target.Take());
                document.SaveDocumentAs((input.parent_path() / "output.wav").string(), vocomet::kFileTypeWave,
                                        false);
            }
        });
    return 0;
}
