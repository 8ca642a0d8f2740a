#include "acquisition/CSoundIn.h"

#include "platform/UserPrompts.h"

namespace vocomet {

CSoundIn::CSoundIn() = default;
CSoundIn::~CSoundIn() { Stop(); }

int CSoundIn::BlockSizeForRate(int sampleRate) {
    if (sampleRate == 16000 || sampleRate == 22050)
        return 8192;
    if (sampleRate == 44100 || sampleRate == 48000)
        return 16384;
    return 4096;
}

void CSoundIn::SetupRecording(platform::UserPrompts& prompts, const std::string& recordingPath, int sampleRate,
                              int bitsPerSample, AcquisitionView* window) {
    m_rate = sampleRate;
    m_bits = bitsPerSample;
    m_window = window;
    m_blockSize = BlockSizeForRate(sampleRate);
    try {
        m_file.Close();
        m_file = platform::File(recordingPath, platform::File::Mode::Create);
    } catch (const platform::FileException&) {
        prompts.Message("Failure to create a temp file to record.", platform::Buttons::Ok, platform::Icon::Error);
        throw;
    }
}

int CSoundIn::Start(platform::UserPrompts& prompts) {
    // No input device yet.
    prompts.Message("No Sound Device", platform::Buttons::Ok, platform::Icon::Error);
    return 1;
}

int CSoundIn::StartInput() { return 1; }
void CSoundIn::StopInput() {}
void CSoundIn::Stop() {}

}  // namespace vocomet
