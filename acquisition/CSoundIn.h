#pragma once
// Sound-card input: records the default input device into a file of
// interleaved float32 frames (no header), notifying the view after each
// block. At most one exists at a time (held by the application state).
// Without an input device Start shows "No Sound Device" and fails.

#include <cstdint>
#include <string>

#include "platform/File.h"

namespace platform {
class UserPrompts;
}

namespace vocomet {

class AcquisitionView;

class CSoundIn {
public:
    // Idle: 11025 Hz, 4096 samples a block, no window, no file.
    CSoundIn();
    // Releases the buffers, the capture thread and the recording file.
    ~CSoundIn();
    CSoundIn(const CSoundIn&) = delete;
    CSoundIn& operator=(const CSoundIn&) = delete;

    // Keeps the rate and the window, picks the block size from the rate
    // (8192 samples at 16000 and 22050 Hz, 16384 at 44100 and 48000 Hz,
    // 4096 otherwise) and creates the recording file. When the file cannot
    // be created shows "Failure to create a temp file to record." and
    // rethrows the platform::FileException.
    void SetupRecording(platform::UserPrompts& prompts, const std::string& recordingPath, int sampleRate,
                        int bitsPerSample, AcquisitionView* window);

    // Opens the default input device and starts input: 0 on success,
    // non-zero after its own message on failure.
    int Start(platform::UserPrompts& prompts);
    // Starts or restarts input on the open device; callers ignore the result.
    int StartInput();
    void StopInput();
    void Stop();

    platform::File& GetRecordFile() { return m_file; }
    int GetSampleRate() const { return m_rate; }
    int GetBitsPerSample() const { return m_bits; }
    int GetBlockSize() const { return m_blockSize; }
    AcquisitionView* GetWindow() const { return m_window; }

    static int BlockSizeForRate(int sampleRate);

private:
    int m_rate = 11025;
    int m_bits = 16;
    int m_blockSize = 4096;
    AcquisitionView* m_window = nullptr;
    platform::File m_file;
};

}  // namespace vocomet
