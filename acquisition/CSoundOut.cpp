#include "acquisition/CSoundOut.h"

#include "platform/File.h"
#include "platform/UserPrompts.h"

namespace vocomet {

CSoundOut::CSoundOut() = default;
CSoundOut::~CSoundOut() { Stop(); }

bool CSoundOut::PrepareMemory(platform::UserPrompts&, const float*, const float*, std::int64_t firstSample,
                              std::int64_t sampleCount, int rate, int channels, int bits) {
    m_firstSample = firstSample;
    m_sampleCount = sampleCount;
    m_rate = rate;
    m_channels = channels;
    m_bits = bits;
    return true;
}

bool CSoundOut::PlayFile(platform::UserPrompts&, platform::File*, std::int64_t firstSample,
                         std::int64_t sampleCount, int rate, int channels, int bits, int) {
    m_firstSample = firstSample;
    m_sampleCount = sampleCount;
    m_rate = rate;
    m_channels = channels;
    m_bits = bits;
    return true;
}

int CSoundOut::Start() {
    // No output device yet: nothing plays.
    m_idle.store(true);
    return 1;
}

void CSoundOut::Restart() {}
void CSoundOut::Pause() {}
void CSoundOut::Stop() { m_idle.store(true); }

}  // namespace vocomet
