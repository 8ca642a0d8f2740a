// Feeds arbitrary bytes, as a file, to the ASCII reader: every input must end
// as a load or a failure with its message, never a crash, a hang or a huge
// allocation. The answers of the generic-file dialog (header size, 8 or 16
// bits) come from the input's first byte; a loaded recording is also written
// back as WAV.

#include "FuzzSupport.h"
#include "core/DocumentFormats.h"
#include "core/GenericFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::WithDocumentOnInput(
        data, size, "input.txt", [data, size](vocomet::COrielDoc& document, const std::filesystem::path& input) {
            vocomet::GenericFileAnswers& answers = document.settings.genericAnswers;
            answers.integerBinary = 0;
            if (size > 0) {
                answers.headerBytes = (data[0] & 0x0F) - 1;  // -1 to 14
                answers.sixteenBit = (data[0] >> 4) & 1;
                answers.sampleRate = (data[0] & 0x80) ? 11025 : 1;
            }
            platform::File file(input.string(), platform::File::Mode::Read);
            vocomet::LoadTarget target([&document] { return document.NewStagingRecording(); });
            if (vocomet::ReadAsciiFile(document, file, target) == vocomet::kReaderLoaded) {
                document.AdoptRecording(target.Take());
                document.SaveDocumentAs((input.parent_path() / "output.wav").string(), vocomet::kFileTypeWave,
                                        false);
            }
        });
    return 0;
}
