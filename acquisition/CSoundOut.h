#pragma once
// Sound-card output: plays one or two float channels from memory, or an
// interleaved float file, through the default output device in 16-bit
// blocks. At most one exists at a time (held by the application state).
// Without an output device Start fails and the object stays idle.

#include <atomic>
#include <cstdint>

namespace platform {
class File;
class UserPrompts;
}  // namespace platform

namespace vocomet {

class CSoundOut {
public:
    // 2048 samples a block, 11025 Hz, 1 channel, 16 bits.
    CSoundOut();
    ~CSoundOut();
    CSoundOut(const CSoundOut&) = delete;
    CSoundOut& operator=(const CSoundOut&) = delete;

    // Idle while nothing plays; the main view ignores mouse moves while an
    // output exists that is not idle.
    bool IsIdle() const { return m_idle.load(); }

    // Prepares playback of sampleCount samples from firstSample of one or
    // two float channels (scaled by 32768 into 16-bit). Shows "error in
    // memory" and returns false when the play block cannot be made.
    bool PrepareMemory(platform::UserPrompts& prompts, const float* channel0, const float* channel1,
                       std::int64_t firstSample, std::int64_t sampleCount, int rate, int channels, int bits);
    // Prepares playback from a file of interleaved float frames of
    // interleave values each.
    bool PlayFile(platform::UserPrompts& prompts, platform::File* file, std::int64_t firstSample,
                  std::int64_t sampleCount, int rate, int channels, int bits, int interleave);

    // Opens output device 0 and starts playing. 0 on success, non-zero when
    // no output device could be opened.
    int Start();
    void Restart();
    void Pause();
    // Pauses, ends the playing thread and closes the device.
    void Stop();

    int GetBlockSize() const { return m_blockSize; }
    int GetRate() const { return m_rate; }
    int GetChannels() const { return m_channels; }
    int GetBits() const { return m_bits; }

private:
    std::atomic<bool> m_idle{true};
    int m_blockSize = 2048;
    int m_rate = 11025;
    int m_channels = 1;
    int m_bits = 16;
    std::int64_t m_firstSample = 0;
    std::int64_t m_sampleCount = 0;
};

}  // namespace vocomet
