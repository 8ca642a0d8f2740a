#include "app/ui/ViewRendal.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

#include "acquisition/CUSB2Thread.h"
#include "acquisition/ui/CFormRecordRendal.h"
#include "acquisition/ui/CScopeView.h"
#include "app/PlayRoute.h"
#include "app/ui/COrielView.h"
#include "app/ui/ViewPlay.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/RendalRecording.h"
#include "platform/File.h"

#include <atomic>
#include <cstdio>

namespace vocomet {

namespace {

constexpr WindowPlacement kDefaultRecordFormPlacement{50, 50, 700, 400};
constexpr auto kStopWait = std::chrono::milliseconds(2000);

}  // namespace

// The view's USB 2 worker. A child of the view: the worker goes with it
// (it quits and its transfers are taken back first). A playback that ran
// to its end is stopped at once (the device told, its transfers taken
// back), unless a newer one was posted meanwhile.
class RendalViewPlayback final : public QObject, public AcquisitionView {
public:
    explicit RendalViewPlayback(COrielView& view) : QObject(&view) {
        setObjectName(QStringLiteral("rendalPlayback"));
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

void InstallRendalRecordRoad(COrielView& view) {
    QPointer<COrielView> v(&view);
    view.hooks.startRecording = [v] {
        if (!v)
            return;
        const AcquisitionState& a = v->GetDocument().App().acquisition;
        if (!a.audioBoxPresent && a.rendalPresent)
            v->StartRendalRecording();
        else
            v->StartRecording();
    };
}

void COrielView::StartRendalRecording() {
    QMdiSubWindow* frame = nullptr;
    for (QWidget* w = parentWidget(); w && !frame; w = w->parentWidget())
        frame = qobject_cast<QMdiSubWindow*>(w);
    QMdiArea* area = frame ? frame->mdiArea() : nullptr;
    // The scope streams from the same device: it goes before the recording.
    if (auto* mainFrame = qobject_cast<QMainWindow*>(window()))
        if (CScopeChildFrame* scope = OpenScopeFrame(*mainFrame))
            scope->CloseScopeWindow();
    WindowPlacement& placement = m_doc.App().settings.placements[kPlacementRecordForms];
    if (IsUnplaced(placement))
        placement = kDefaultRecordFormPlacement;
    const WindowPlacement at = placement;

    // A fresh recording file; one left from an earlier recording goes.
    try {
        if (!NewRendalRecordingFile(m_doc)) {
            m_doc.Prompts().Beep();
            return;
        }
    } catch (const std::exception&) {
        m_doc.Prompts().Beep();
        return;
    }
    if (!area) {
        m_doc.Prompts().Beep();
        m_doc.Prompts().Message("Error in creating the requested view.", platform::Buttons::Ok, platform::Icon::Error);
        return;
    }
    auto* recordFrame = new CFormRecordRendalFrame(m_doc, m_doc.Prompts(), frame);
    area->addSubWindow(recordFrame);
    recordFrame->setGeometry(at[0], at[1], at[2], at[3]);
    QPointer<COrielView> view(this);
    recordFrame->Form()->onRecordingLoaded = [view] {
        if (view)
            view->OnRecordingLoaded();
    };
    recordFrame->show();
    recordFrame->Form()->OnInitialUpdate();

    selectionShown = false;
    markerShown = false;
    labelMode = false;
    ApplyZoom(5);
}

void COrielView::PlayThroughRendal(int mode) {
    if (!m_doc.IsDataLoaded() || m_doc.GetChannelCount() < 1)
        return;
    auto* playback = findChild<RendalViewPlayback*>(QStringLiteral("rendalPlayback"), Qt::FindDirectChildrenOnly);
    if (!playback)
        playback = new RendalViewPlayback(*this);
    // A playback still running stops first, its transfers taken back.
    playback->Stop();
    const CChannels& channel0 = m_doc.Channel(0);
    // Only a selection starts and ends on whole groups of four samples.
    const PlayRange range = PlayRangeOf(channel0, static_cast<PlayMode>(mode), mode == static_cast<int>(PlayMode::Selection));
    if (channel0.rate <= 0.0 || range.end < range.first)
        return;
    Usb2PlayRequest request;
    request.firstSample = range.first;
    request.endSample = range.end;
    request.channelCount = m_doc.GetChannelCount();
    if (channel0.HasSamples()) {
        // The span travels with the request, so later edits cannot reach it.
        const float* s = channel0.samples.data();
        const std::int64_t end = std::min<std::int64_t>(range.end, channel0.ReadableCount());
        auto span = std::make_shared<std::vector<float>>(static_cast<std::size_t>(range.end - range.first), 0.0f);
        for (std::int64_t k = range.first; k < end; ++k)
            (*span)[static_cast<std::size_t>(k - range.first)] = s[k];
        request.memory = std::move(span);
    } else if (m_doc.GetDataFile() && m_doc.GetDataFile()->IsOpen()) {
        request.file = m_doc.GetDataFile();
    } else {
        return;
    }
    playback->worker.SetPlayRequest(std::move(request));
    playback->Post();
    // The device says nothing of its progress: the cursor follows the clock.
    Playback().Begin(range, channel0.rate, ViewPlayback::Source::Clock);
    AdvancePlayCursor();
}

bool COrielView::StopRendalPlayback() {
    auto* playback = findChild<RendalViewPlayback*>(QStringLiteral("rendalPlayback"), Qt::FindDirectChildrenOnly);
    return playback && playback->Stop();
}

}  // namespace vocomet
