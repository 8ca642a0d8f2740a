#pragma once
// The USB 2 device's worker: made by a main view at its first playback
// through the device (and by the sixteen-channel record form), kept by its
// maker. Fields are set before posting; stopFlag 1 asks a running loop to
// end. Without a device a play message ends at once and tells the view.

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

class CUSB2Thread {
public:
    static constexpr int kSample = kWorkerMessageBase + 2000;
    static constexpr int kPlay = kWorkerMessageBase + 2001;
    static constexpr int kStop = kWorkerMessageBase + 2003;
    static constexpr int kQuit = kWorkerMessageBase + 2010;

    CUSB2Thread();
    ~CUSB2Thread();
    CUSB2Thread(const CUSB2Thread&) = delete;
    CUSB2Thread& operator=(const CUSB2Thread&) = delete;

    void Start();
    bool IsRunning() const { return m_worker != nullptr; }

    // +2001 play (wParam 0, the view), +2003 stop, +2010 quit.
    bool PostThreadMessage(int message, std::int64_t wParam = 0, AcquisitionView* view = nullptr);

    // Sets the stop flag, ends the thread and waits at most timeout for it.
    bool Stop(std::chrono::milliseconds timeout);

    // Set by the callers before posting.
    platform::File* floatFile = nullptr;                 // the document's data file
    const platform::FloatBlock* memoryBlock = nullptr;   // channel 0's samples, or null
    std::int64_t firstSample = 0;
    std::int64_t endSample = 0;
    std::atomic<int> stopFlag{0};  // 0 to play, 1 to stop
    int recordingFlag = 0;         // 0 for playback
    int channelCount = 1;

private:
    void Handle(const platform::WorkerMessage& message);

    std::unique_ptr<platform::Worker> m_worker;
};

}  // namespace vocomet
