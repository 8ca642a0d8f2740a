// The play cursor of a window and the roads its sound takes. The sound
// card plays on its own threads; it tells the window about played blocks
// and the end through a client that queues the news to this thread, and the
// cursor is placed from the stream's clock, never by counting timer ticks. A
// device that says nothing of its progress (the sixteen-channel system)
// moves the cursor by the time since its playback began.

#include "windows/ViewPlayback.h"

#include <QWidget>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>

#include "acquisition/AcquisitionView.h"
#include "acquisition/CSoundOut.h"
#include "acquisition/CUSB2Thread.h"
#include "acquisition/CUSBHardware.h"
#include "acquisition/CUSBThread.h"
#include "app/PlayRoute.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"

namespace vocomet {

namespace {

constexpr auto kStopWait = std::chrono::milliseconds(2000);

}  // namespace

// A window's USB 2 worker. A child of its playback: the worker goes with it
// (it quits and its transfers are taken back first). A playback that ran
// to its end is stopped at once (the device told, its transfers taken
// back), unless a newer one was posted meanwhile.
class RendalViewPlayback final : public QObject, public AcquisitionView {
public:
    explicit RendalViewPlayback(QObject& owner) : QObject(&owner) {
        worker.Start();
    }
    ~RendalViewPlayback() override {
        worker.stopFlag = 1;
        worker.WaitRunEnded(kStopWait);
    }

    // Worker thread: only queued here. Runs end in the order they were
    // posted, so the count tells which one this was.
    void SetViewTimer(int, int) override {}
    void StoreLatestBlock(const std::int32_t*, std::size_t) override {}
    void ClearPlayCursorRunning() override {
        const int ended = ++m_runsEnded;
        QMetaObject::invokeMethod(this, [this, ended] { RunEnded(ended); }, Qt::QueuedConnection);
    }
    int GetPlayBlockSize() const override { return 8192; }

    void Post() {
        worker.stopFlag = 0;
        worker.recordingFlag = 0;
        worker.PostThreadMessage(CUSB2Thread::kPlay, 0, this);
        ++m_posted;
        running = true;
    }

    // The stop routine: stop flag, the run's end waited for, then the stop
    // message. True when a playback was running.
    bool Stop() {
        const bool was = running;
        running = false;
        worker.stopFlag = 1;
        worker.WaitRunEnded(kStopWait);
        if (was)
            worker.PostThreadMessage(CUSB2Thread::kStop);
        return was;
    }

    CUSB2Thread worker;
    bool running = false;

private:
    void RunEnded(int ended) {
        if (ended == m_posted && running)
            Stop();
    }

    std::atomic<int> m_runsEnded{0};
    int m_posted = 0;
};

namespace {

// The range of a channel as samples of their own, zeros where it has none.
std::vector<float> SpanOf(const CChannels& channel, const PlayRange& range) {
    std::vector<float> span(static_cast<std::size_t>(range.Count()), 0.0f);
    if (!channel.HasSamples())
        return span;
    const float* s = channel.samples.data();
    const std::int64_t end = std::min<std::int64_t>(range.end, channel.ReadableCount());
    for (std::int64_t k = range.first; k < end; ++k)
        span[static_cast<std::size_t>(k - range.first)] = s[k];
    return span;
}

// The audio box's road: a playback still going ends first, the box is set
// to the output gain and channel 0's rate, and the worker plays channels 0
// and 1 of the range (the box plays two channels; more play channel 0
// alone) from memory or from the document's data file. False when nothing
// was handed to the worker.
bool PlayThroughAudioBox(COrielDoc& doc, CUSBThread& worker, ViewPlayback& playback, const PlayRange& range) {
    if (playback.m_running)
        playback.End();
    playback.StopBox();
    worker.StopRun();
    const CChannels& channel0 = doc.Channel(0);
    const int rate = static_cast<int>(std::clamp(channel0.rate, 0.0, 1.0e6));
    if (rate <= 0)
        return false;
    CUSBHardware box;
    if (box.SetupDsp(doc.Prompts(), 0, 0, 0, 0, doc.App().acquisition.outputGain, rate, 0, 0) == 0)
        return false;
    const int channels = doc.GetChannelCount();
    const CChannels* channel1 = channels > 1 ? &doc.Channel(1) : nullptr;
    CUSBThread::PlayRequest request;
    request.channelCount = channels;
    request.client = playback.Cookie(worker);
    bool posted = false;
    if (channel0.HasSamples() || (channel1 && channel1->HasSamples())) {
        playback.m_box0 = SpanOf(channel0, range);
        playback.m_box1 = channel1 ? SpanOf(*channel1, range) : std::vector<float>();
        request.first = 0;
        request.end = range.Count();
        request.channel0 = playback.m_box0.data();
        request.count0 = playback.m_box0.size();
        request.channel1 = channel1 ? playback.m_box1.data() : nullptr;
        request.count1 = playback.m_box1.size();
        posted = worker.RequestPlayMemory(std::move(request));
    } else if (const auto& file = doc.GetDataFile(); file && file->IsOpen() && !file->GetFilePath().empty()) {
        request.file = file;
        request.fileStride = channels;
        request.first = range.first;
        request.end = range.end;
        posted = worker.RequestPlayFile(std::move(request));
    }
    playback.m_boxPlaying = posted;
    return posted;
}

}  // namespace

bool ViewPlayback::StopRendal() { return m_rendal && m_rendal->Stop(); }

bool ViewPlayback::StopAll() {
    const bool running = m_running;
    if (Ours())
        m_acquisition.StopSoundOutput();
    const bool device = StopRendal() | StopBox();
    End();
    return running || device;
}

ViewPlayback::Position ViewPlayback::Now() {
    Position p;
    p.timeMs = m_startMs;
    if (m_source == Source::Clock) {
        p.timeMs += static_cast<double>(m_clock.elapsed());
        p.ended = p.timeMs >= m_endMs;
    } else if (m_source == Source::AudioBox) {
        p.timeMs = std::min(m_endMs, p.timeMs + static_cast<double>(m_deviceFrames.load()) * 1000.0 / m_rate);
        if (m_deviceEnded.load()) {
            // The run is over: the cursor stops where the sound did.
            m_boxPlaying = false;
            p.ended = true;
            return p;
        }
    } else {
        const CSoundOut* out = m_acquisition.soundOut.get();
        // Stopped or replaced by someone else: the cursor goes.
        if (!Ours() || (!out->IsPlaying() && !out->HasEnded())) {
            p.gone = true;
            return p;
        }
        p.ended = out->HasEnded();
        p.timeMs += static_cast<double>(out->PlayedFrames()) * 1000.0 / m_rate;
    }
    if (p.ended)
        p.timeMs = m_endMs;
    return p;
}

bool ViewPlayback::Advance(const std::function<int(double)>& timeToX) {
    if (!m_running)
        return false;
    const Position now = Now();
    if (now.gone) {
        End();
        return false;
    }
    m_lastX = timeToX(now.timeMs);
    if (now.ended) {
        End();
        return false;
    }
    MoveDrawn(m_lastX);
    return true;
}

bool PlayThroughRendal(const COrielDoc& doc, ViewPlayback& playback, const PlayRange& range) {
    if (!playback.m_rendal)
        playback.m_rendal = new RendalViewPlayback(playback);
    RendalViewPlayback& rendal = *playback.m_rendal;
    // A playback still running stops first, its transfers taken back.
    rendal.Stop();
    if (doc.GetChannelCount() < 1)
        return false;
    const CChannels& channel0 = doc.Channel(0);
    if (channel0.rate <= 0.0 || range.end < range.first)
        return false;
    Usb2PlayRequest request;
    request.firstSample = range.first;
    request.endSample = range.end;
    request.channelCount = doc.GetChannelCount();
    if (channel0.HasSamples()) {
        // The span travels with the request, so later edits cannot reach it.
        request.memory = std::make_shared<std::vector<float>>(SpanOf(channel0, range));
    } else if (doc.GetDataFile() && doc.GetDataFile()->IsOpen()) {
        request.file = doc.GetDataFile();
    } else {
        return false;
    }
    rendal.worker.SetPlayRequest(std::move(request));
    rendal.Post();
    // The device says nothing of its progress: the cursor follows the clock.
    playback.Begin(range, channel0.rate, ViewPlayback::Source::Clock);
    return true;
}

ViewPlayback* MakePanePlayback(QWidget& pane, AcquisitionState& acquisition, std::function<void()> advance) {
    QWidget* w = &pane;
    return new ViewPlayback(pane, acquisition, std::move(advance),
                            [w](int x) { w->update(QRect(x, 0, 1, w->height())); });
}

bool PlayFromPane(COrielDoc& doc, ViewPlayback& playback, PlayRange range, PlayMode mode) {
    if (ChoosePlayRoad(doc.App().acquisition) == PlayRoad::AudioBox && mode != PlayMode::All) {
        range.first &= ~std::int64_t{3};
        range.end &= ~std::int64_t{3};
    }
    try {
        return PlayOnRoad(doc, playback, range);
    } catch (const std::exception&) {
        return false;
    }
}

bool PlayOnRoad(COrielDoc& doc, ViewPlayback& playback, const PlayRange& range) {
    if (!doc.IsDataLoaded() || doc.GetChannelCount() < 1)
        return false;
    AcquisitionState& acquisition = doc.App().acquisition;
    const PlayRoad road = ChoosePlayRoad(acquisition);
    const CChannels& channel0 = doc.Channel(0);
    if (road == PlayRoad::AudioBox) {
        // The application's worker plays; without it nothing does.
        if (!acquisition.usbThread || !PlayThroughAudioBox(doc, *acquisition.usbThread, playback, range))
            return false;
        playback.Begin(range, static_cast<double>(static_cast<int>(channel0.rate)), ViewPlayback::Source::AudioBox);
        return true;
    }
    if (acquisition.readRecordPlayRate)
        acquisition.readRecordPlayRate();
    if (road == PlayRoad::Rendal)
        return PlayThroughRendal(doc, playback, range);
    const double rate = static_cast<double>(static_cast<int>(channel0.rate));
    if (rate <= 0.0 || !PlayOnSoundCard(doc, range, &playback))
        return false;
    playback.Begin(range, rate);
    return true;
}

}  // namespace vocomet
