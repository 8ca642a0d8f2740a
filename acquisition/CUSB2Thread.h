#pragma once
// The USB 2 system's worker: streams the device's sixteen-channel sample
// frames into the recording file and to the record form's display while a
// record form runs (sample), and streams one channel of a recording to the
// device's output (play, stop). Made by its owner (the sixteen-channel
// record form, a main view at its first playback through the device), which
// quits it when it goes.
//
// Hand-over: what a run needs travels with its message (the play request,
// the attached record file) or in atomics (stop and recording flags). A stop
// sets stopFlag and then waits for the run to say it has ended
// (WaitRunEnded, bounded). Sampled blocks reach the display through a
// client the form registers and unregisters; the worker calls it on its own
// thread and the client only queues the block for its window.
//
// Every queued transfer is taken back before its buffer is freed: by the
// end of a sampling run, by the stop message, by a new play message (a
// previous playback's transfers go first) and by the destructor.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "acquisition/AcquisitionView.h"
#include "acquisition/CUsbEndpoint.h"
#include "acquisition/PostedThread.h"

namespace platform {
class File;
}  // namespace platform

namespace vocomet {

class CUSB2Hardware;

// What receives the sampled blocks: frames of sixteen signed 16-bit
// little-endian words, whole frames only.
class Usb2SampleClient {
public:
    virtual ~Usb2SampleClient() = default;
    // Worker thread; data is valid for the call only.
    virtual void DisplayBlock(const std::uint8_t* data, std::size_t bytes) = 0;
};

// One playback: channel 0 of the span [firstSample, endSample), from memory
// (memory holds exactly that span) or from an interleaved float file of
// channelCount values a frame.
struct Usb2PlayRequest {
    std::shared_ptr<const std::vector<float>> memory;
    std::shared_ptr<platform::File> file;
    int channelCount = 1;
    std::int64_t firstSample = 0;
    std::int64_t endSample = 0;
};

// A float sample as the device's play word: (x + 1) x 32767 truncated, its
// low 16 bits sent in reverse bit order (no clipping: values outside -1..1
// wrap).
std::uint16_t EncodeUsb2PlaySample(float x);

class CUSB2Thread : public PostedThread {
public:
    static constexpr int kSample = kWorkerMessageBase + 2000;
    static constexpr int kPlay = kWorkerMessageBase + 2001;
    static constexpr int kStop = kWorkerMessageBase + 2003;
    static constexpr int kQuit = kWorkerMessageBase + 2010;

    // Transfer sizes and counts of the two roads.
    static constexpr int kSampleSlots = 32;
    static constexpr int kSampleBytes = 0x8000;
    static constexpr int kPlayWords = 2048;
    static constexpr int kPlayBytes = 2 * kPlayWords;
    static constexpr int kMaxPlaySlots = 1000;
    static constexpr int kFilePlaySlots = 10;

    using MessageSink = std::function<void(const std::string&)>;

    // Stop flag 1; the thread starts with Start.
    CUSB2Thread();
    // Ends the thread, then takes back what a playback left queued.
    ~CUSB2Thread() override;
    CUSB2Thread(const CUSB2Thread&) = delete;
    CUSB2Thread& operator=(const CUSB2Thread&) = delete;

    // Messages: kSample (before it: AttachFile, the client, flags 0),
    // kPlay (before it: SetPlayRequest, stop flag 0; the view is told when
    // its playback ends), kStop (takes a playback's transfers back), kQuit.

    // The recording file sampled blocks are written to while the recording
    // flag is 1; it is written from its start. Null: nothing is written.
    void AttachFile(std::shared_ptr<platform::File> file);
    // 1: append each received block to the attached file.
    std::atomic<int> recordingFlag{0};

    // The display of sampled blocks; unregistering waits for a call in
    // progress, so after it no call reaches the client.
    void SetSampleClient(Usb2SampleClient* client);
    void ClearSampleClient() { SetSampleClient(nullptr); }

    // The next kPlay plays this.
    void SetPlayRequest(Usb2PlayRequest request);

    // Where failure texts go ("Error in sampling", "Error in playing" and
    // the device's own); called on the worker thread. Set before Start.
    void SetMessageSink(MessageSink sink) { m_sink = std::move(sink); }

    // True when no sampling or playing loop runs (it ended within timeout).
    bool WaitRunEnded(std::chrono::milliseconds timeout);
    bool IsRunActive() const { return m_runActive.load(); }
    // Playback transfers held (queued or completed, not yet taken back).
    int HeldPlayTransfers() const { return m_heldPlay.load(); }
    // Blocks received in sampling runs, and blocks written to the file.
    std::int64_t BlocksReceived() const { return m_blocksReceived.load(); }
    std::int64_t BlocksWritten() const { return m_blocksWritten.load(); }

private:
    void Handle(int message, std::int64_t wParam, AcquisitionView* view) override;
    void OnSample();
    void OnPlay(AcquisitionView* view);
    void OnStop();
    void Report(const std::string& text) const;
    void SetRunActive(bool active);
    // Aborts the OUT pipe and takes back every playback transfer.
    void ReclaimPlayTransfers();

    struct PlaySlot {
        std::vector<std::uint8_t> buffer;
        CUsbRequestPtr request;
    };

    MessageSink m_sink;
    std::unique_ptr<CUSB2Hardware> m_hardware;  // playback and its stop
    CUsbEndpoint* m_out = nullptr;
    std::vector<PlaySlot> m_playSlots;
    std::atomic<int> m_heldPlay{0};

    std::mutex m_mutex;  // the record file and the play request
    std::shared_ptr<platform::File> m_recordFile;
    Usb2PlayRequest m_playRequest;

    std::mutex m_clientMutex;
    Usb2SampleClient* m_client = nullptr;

    std::mutex m_runMutex;
    std::condition_variable m_runEnded;
    std::atomic<bool> m_runActive{false};
    std::atomic<std::int64_t> m_blocksReceived{0};
    std::atomic<std::int64_t> m_blocksWritten{0};
};

}  // namespace vocomet
