// Feeds arbitrary bytes, as a file, to the integer binary reader: every
// input must end as a load or a failure, never a crash, a hang or a huge
// allocation. The answers of the generic-file dialog (header size, 8 or 16
// bits, byte order, rate) come from the input's first byte; a loaded
// recording is also written back as WAV.

#include "FuzzSupport.h"
#include "core/DocumentFormats.h"
#include "core/GenericFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::WithDocumentOnInput(
        data, size, "input.raw", [data, size](vocomet::COrielDoc& document, const std::filesystem::path& input) {
            vocomet::GenericFileAnswers& answers = document.settings.genericAnswers;
            answers.integerBinary = 1;
            if (size > 0) {
                answers.headerBytes = (data[0] & 0x0F) - 1;  // -1 to 14
                answers.sixteenBit = (data[0] >> 4) & 1;
                answers.highByteFirst = (data[0] >> 5) & 1;
                answers.sampleRate = (data[0] & 0x80) ? 16000 : ((data[0] & 0x40) ? 0 : 3);
            }
            platform::File file(input.string(), platform::File::Mode::Read);
            vocomet::LoadTarget target([&document] { return document.NewStagingRecording(); });
            if (vocomet::ReadIntegerBinaryFile(document, file, target) == vocomet::kReaderLoaded) {
                document.AdoptRecording(target.Take());
                document.SaveDocumentAs((input.parent_path() / "output.wav").string(), vocomet::kFileTypeWave,
                                        false);
            }
        });
    return 0;
}
