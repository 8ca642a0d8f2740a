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
#include "platform/SampleBlock.h"

namespace platform {
class File;
class Worker;
struct WorkerMessage;
}  // namespace platform

namespace vocomet {

class CUSBThread {
public:
    static constexpr int kSample = kWorkerMessageBase + 1000;
    static constexpr int kPlayFile = kWorkerMessageBase + 1001;
    static constexpr int kPlayMemory = kWorkerMessageBase + 1002;
    static constexpr int kBootDsp = kWorkerMessageBase + 1004;
    static constexpr int kQuit = kWorkerMessageBase + 1010;

    // Stop flag set, mono mode. The thread starts with Start.
    CUSBThread();
    // Stops the thread if it still runs.
    ~CUSBThread();
    CUSBThread(const CUSBThread&) = delete;
    CUSBThread& operator=(const CUSBThread&) = delete;

    // Starts the worker thread; it then takes posted messages in order.
    void Start();
    bool IsRunning() const { return m_worker != nullptr; }

    // Posts a message. The play messages carry wParam 0 and the view that
    // plays; kQuit ends the thread after the messages before it. False when
    // the thread is not running.
    bool PostThreadMessage(int message, std::int64_t wParam = 0, AcquisitionView* view = nullptr);

    // Sets the stop flag, ends the thread and waits at most timeout for it.
    // True when it has ended.
    bool Stop(std::chrono::milliseconds timeout);

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
    // 1 asks a running play or recording loop to end; the worker polls it.
    std::atomic<int> stopFlag{1};

private:
    void Handle(const platform::WorkerMessage& message);

    std::unique_ptr<platform::Worker> m_worker;
    platform::File* m_file = nullptr;
};

}  // namespace vocomet
