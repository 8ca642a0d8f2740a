#pragma once
// The first-generation device's worker: made once at start-up, kept by the
// application, it takes posted messages to sample, to play the attached file
// or the memory buffers, and to boot the DSP. The callers set the public
// fields before posting; a running play or recording loop polls stopFlag.
// Without a device the sample and play messages end at once (a play message
// still tells the view that playback has ended).

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

#include "acquisition/AcquisitionView.h"
#include "acquisition/PostedThread.h"
#include "platform/SampleBlock.h"

namespace platform {
class File;
}  // namespace platform

namespace vocomet {

class CUSBThread : public PostedThread {
public:
    static constexpr int kSample = kWorkerMessageBase + 1000;
    static constexpr int kPlayFile = kWorkerMessageBase + 1001;
    static constexpr int kPlayMemory = kWorkerMessageBase + 1002;
    static constexpr int kBootDsp = kWorkerMessageBase + 1004;
    static constexpr int kQuit = kWorkerMessageBase + 1010;

    // Stop flag set, mono mode. The thread starts with Start.
    CUSBThread();
    // Stops the thread if it still runs.
    ~CUSBThread() override;
    CUSBThread(const CUSBThread&) = delete;
    CUSBThread& operator=(const CUSBThread&) = delete;

    // Keeps the file to play (+1001) and seeks it to the start.
    void AttachFile(platform::File* file);
    platform::File* GetAttachedFile() const { return m_file; }

    bool IsMono() const { return channelCount <= 1; }

    // Set by the callers before posting.
    platform::FloatBlock* sampleBuffer0 = nullptr;  // channel 0 (not used for file play)
    platform::FloatBlock* sampleBuffer1 = nullptr;  // channel 1
    int channelCount = 1;
    std::int64_t firstSample = 0;
    std::int64_t endSample = 0;

private:
    void Handle(int message, std::int64_t wParam, AcquisitionView* view) override;

    platform::File* m_file = nullptr;
};

}  // namespace vocomet
