// Feeds arbitrary bytes, as a file, to the WAV reader: every input must end
// as a load or a refusal, never a crash, a hang or a huge allocation. A
// loaded recording is also written back as WAV (or refused cleanly).

#include "FuzzSupport.h"
#include "core/DocumentFormats.h"
#include "core/WaveFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::WithDocumentOnInput(
        data, size, "input.wav", [](vocomet::COrielDoc& document, const std::filesystem::path& input) {
            platform::File file(input.string(), platform::File::Mode::Read);
            // As the document's own open does: the recording is made only
            // once the reader has accepted the header.
            vocomet::LoadTarget target([&document] { return document.NewStagingRecording(); });
            if (vocomet::ReadWaveFile(document, file, target) == vocomet::kReaderLoaded) {
                document.AdoptRecording(target.Take());
                document.SaveDocumentAs((input.parent_path() / "output.wav").string(), vocomet::kFileTypeWave,
                                        false);
            }
        });
    return 0;
}
