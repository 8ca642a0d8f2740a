#pragma once
// The first-generation device's worker: made once at start-up, kept by the
// application. It samples the audio box (every block to the window that
// asked, and, while the recording flag is set, its audio frames appended as
// 32-bit floats to the recording file) and plays two channels from memory
// or from an interleaved float file.
//
// Threads: a window reaches the worker through typed requests whose values
// travel with the posted message, and the worker reaches the window only
// through a client the window registers and unregisters before it goes; the
// client's calls run on the worker's thread and only hand the news over
// (queue it) to the window's thread. Unregistering waits for a call in
// progress, so after it no call reaches the client. A stop is the atomic
// stop flag followed by StopRun, which waits (bounded) until every run
// posted before it has ended.
//
// The older form of the interface (fields set before PostThreadMessage with
// an AcquisitionView) still works: the message then takes the fields as
// they are when it is handled.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "acquisition/AcquisitionView.h"
#include "acquisition/PostedThread.h"
#include "platform/SampleBlock.h"

namespace platform {
class File;
}  // namespace platform

namespace vocomet {

// What a window offers the worker. Every call comes on the worker's thread
// and must only queue its news to the window's thread; it must not call
// back into the worker's registration.
class UsbThreadClient {
public:
    virtual ~UsbThreadClient() = default;
    // One sampled block (kSampleBlockBytes: 1024 frames of two 32-bit
    // words, then the DSP's spectra), valid during the call only.
    // recordedBlocks: blocks written to the recording file so far in this
    // run (the record time follows it, not the blocks drawn).
    virtual void OnSampleBlock(const std::uint8_t* /*block*/, std::size_t /*bytes*/,
                               std::int64_t /*recordedBlocks*/) {}
    // A play block went out; frames: frames played in this run so far.
    virtual void OnBlockPlayed(std::int64_t /*frames*/) {}
    // The run (sampling or playing) has ended; for playing, the window's
    // playing flag is cleared now.
    virtual void OnRunEnded() {}
    // A failure text of the device (the protocol's messages), in order.
    virtual void OnDeviceMessage(const std::string& /*text*/, bool /*beep*/) {}
};

class CUSBThread : public PostedThread {
public:
    static constexpr int kSample = kWorkerMessageBase + 1000;
    static constexpr int kPlayFile = kWorkerMessageBase + 1001;
    static constexpr int kPlayMemory = kWorkerMessageBase + 1002;
    static constexpr int kReserved = kWorkerMessageBase + 1003;
    static constexpr int kBootDsp = kWorkerMessageBase + 1004;
    static constexpr int kQuit = kWorkerMessageBase + 1010;

    // How long the UI waits for a run to end after setting the stop flag.
    static constexpr std::chrono::milliseconds kRunEndTimeout{3000};

    // Sampling: the recording file (null or closed: nothing is written),
    // the channel count to start with (1 mono, 2 stereo; changeable during
    // the run through channelCount) and the client told of every block.
    struct SampleRequest {
        std::shared_ptr<platform::File> file;
        int channelCount = 1;
        int client = 0;
    };
    // Playing [first, end) (frames): from memory (channel0, and channel1
    // for stereo; samples past a channel's count or past end play as 0), or
    // from the file of interleaved float frames of fileStride values
    // (channel 0 of each frame, and channel 1 for stereo). Every frame of
    // the range goes out, the last block filled up with silence; at least
    // one block goes out. A file shorter than the range ends the run at the
    // block it cannot fill.
    struct PlayRequest {
        int channelCount = 1;
        std::int64_t first = 0;
        std::int64_t end = 0;
        const float* channel0 = nullptr;
        std::size_t count0 = 0;
        const float* channel1 = nullptr;
        std::size_t count1 = 0;
        std::shared_ptr<platform::File> file;
        int fileStride = 1;
        int windowKind = 0;  // 0 main view, 2 pitch pane, 3 spectrogram pane
        int client = 0;
    };

    // Stop flag set, mono mode. The thread starts with Start.
    CUSBThread();
    // Stops the thread if it still runs.
    ~CUSBThread() override;
    CUSBThread(const CUSBThread&) = delete;
    CUSBThread& operator=(const CUSBThread&) = delete;

    // --- clients -----------------------------------------------------------
    // A cookie (> 0) for the requests; the client must stay alive until
    // UnregisterClient returns.
    int RegisterClient(UsbThreadClient* client);
    // After this no call reaches the client (a call in progress is waited
    // for).
    void UnregisterClient(int cookie);

    // --- requests ------------------------------------------------------------
    // False when the thread does not run.
    bool RequestSample(SampleRequest request);
    bool RequestPlayMemory(PlayRequest request);
    bool RequestPlayFile(PlayRequest request);
    // Sets the stop flag and waits at most timeout until every run posted
    // so far has ended (a run not yet begun is dropped). True when they
    // have.
    bool StopRun(std::chrono::milliseconds timeout = kRunEndTimeout);
    // True while a run is going or posted and not yet ended.
    bool IsBusy() const;

    // 1 while sampled blocks are written to the recording file.
    std::atomic<int> recordingFlag{0};
    // 1 mono, 2 stereo; a sampling run reads it once per block.
    std::atomic<int> channelCount{1};
    // Result of the last boot message (1 booted, 0 not).
    std::atomic<int> bootResult{0};

    // --- the older interface -------------------------------------------------
    // Keeps the transfer file (not owned) and seeks it to the start.
    void AttachFile(platform::File* file);
    platform::File* GetAttachedFile() const { return m_file; }
    bool IsMono() const { return channelCount.load() <= 1; }
    platform::FloatBlock* sampleBuffer0 = nullptr;  // channel 0 (not used for file play)
    platform::FloatBlock* sampleBuffer1 = nullptr;  // channel 1
    std::int64_t firstSample = 0;
    std::int64_t endSample = 0;

    // The firmware the boot message loads.
    std::string firmwarePath = "ada.ldr";

private:
    static constexpr int kRun = kWorkerMessageBase + 1020;
    enum class RunKind { Sample, PlayMemory, PlayFile };
    struct Run {
        RunKind kind = RunKind::Sample;
        std::int64_t seq = 0;
        SampleRequest sample;
        PlayRequest play;
        AcquisitionView* legacyView = nullptr;
    };

    void Handle(int message, std::int64_t wParam, AcquisitionView* view) override;
    bool Post(Run run);
    // True when the run may start (not dropped by a stop); clears the stop
    // flag then.
    bool BeginRun(std::int64_t seq);
    void EndRun(std::int64_t seq);
    void DoSample(const Run& run);
    void DoPlay(const Run& run);
    // Calls f(client) under the registry lock when the cookie is registered.
    template <typename F>
    void WithClient(int cookie, F&& f);

    class ClientReport;

    platform::File* m_file = nullptr;

    mutable std::mutex m_runMutex;
    std::condition_variable m_runEnded;
    std::deque<Run> m_runs;          // posted, in order
    std::int64_t m_postedSeq = 0;    // last run posted
    std::int64_t m_stopBefore = 0;   // runs up to this one are stopped
    std::int64_t m_finishedSeq = 0;  // last run ended (or dropped)

    std::mutex m_clientMutex;
    std::map<int, UsbThreadClient*> m_clients;
    int m_nextCookie = 0;
};

}  // namespace vocomet
