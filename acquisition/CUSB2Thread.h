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
#include "acquisition/PostedThread.h"
#include "platform/SampleBlock.h"

namespace platform {
class File;
}  // namespace platform

namespace vocomet {

class CUSB2Thread : public PostedThread {
public:
    static constexpr int kSample = kWorkerMessageBase + 2000;
    static constexpr int kPlay = kWorkerMessageBase + 2001;
    static constexpr int kStop = kWorkerMessageBase + 2003;
    static constexpr int kQuit = kWorkerMessageBase + 2010;

    CUSB2Thread();
    ~CUSB2Thread() override;
    CUSB2Thread(const CUSB2Thread&) = delete;
    CUSB2Thread& operator=(const CUSB2Thread&) = delete;

    // Messages: +2001 play (wParam 0, the view), +2003 stop, +2010 quit.

    // Set by the callers before posting.
    platform::File* floatFile = nullptr;                 // the document's data file
    const platform::FloatBlock* memoryBlock = nullptr;   // channel 0's samples, or null
    std::int64_t firstSample = 0;
    std::int64_t endSample = 0;
    int recordingFlag = 0;         // 0 for playback
    int channelCount = 1;

private:
    void Handle(int message, std::int64_t wParam, AcquisitionView* view) override;
};

}  // namespace vocomet
