// The main view's play commands and its play cursor. The sound card plays
// on its own threads; it tells the view about played blocks and the end
// through a client that queues the news to this thread, and the cursor is
// placed from the stream's clock, never by counting timer ticks. A device
// that says nothing of its progress (the sixteen-channel system) moves the
// cursor by the time since its playback began.

#include "app/ui/ViewPlay.h"

#include <algorithm>

#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTimer>

#include "acquisition/CSoundOut.h"
#include "acquisition/CUSBHardware.h"
#include "acquisition/CUSBThread.h"
#include "acquisition/ui/CFormRecordPlay.h"
#include "acquisition/ui/CFrameRecordPlay.h"
#include "app/PlayRoute.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CommandRouting.h"
#include "app/ui/COrielView.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"

namespace vocomet {

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

ViewPlayback& COrielView::Playback() {
    if (!m_playback) {
        m_playback = new ViewPlayback(*this, m_doc.App().acquisition);
        if (!hooks.advancePlayCursor)
            hooks.advancePlayCursor = [this] { AdvancePlayCursor(); };
        if (!hooks.stopPlayCursor)
            hooks.stopPlayCursor = [this] { return StopPlayCursor(); };
    }
    return *m_playback;
}

void COrielView::OnRecordPlayPlayAll() { Play(static_cast<int>(PlayMode::All)); }
void COrielView::OnRecordPlayPlaySelection() { Play(static_cast<int>(PlayMode::Selection)); }
void COrielView::OnRecordPlayPlayWindow() { Play(static_cast<int>(PlayMode::Window)); }

bool COrielView::IsPlayCursorRunning() const { return m_playback && m_playback->m_running; }

int COrielView::LastPlayCursorX() const { return m_playback ? m_playback->m_lastX : -1; }

bool COrielView::StopPlayCursor() {
    if (!m_playback)
        return false;
    const bool running = m_playback->m_running;
    if (m_playback->Ours())
        m_doc.App().acquisition.StopSoundOutput();
    const bool device = StopRendalPlayback() | m_playback->StopBox();
    m_playback->End();
    return running || device;
}

void COrielView::AdvancePlayCursor() {
    if (!m_playback || !m_playback->m_running)
        return;
    ViewPlayback& p = *m_playback;
    if (m_doc.GetChannelCount() < 1) {
        p.End();
        return;
    }
    bool ended = false;
    double t = p.m_startMs;
    if (p.m_source == ViewPlayback::Source::Clock) {
        t += static_cast<double>(p.m_clock.elapsed());
        ended = t >= p.m_endMs;
    } else if (p.m_source == ViewPlayback::Source::AudioBox) {
        t = std::min(p.m_endMs, t + static_cast<double>(p.m_deviceFrames.load()) * 1000.0 / p.m_rate);
        ended = p.m_deviceEnded.load();
        if (ended) {
            // The run is over: the cursor stops where the sound did.
            p.m_boxPlaying = false;
            p.m_lastX = PlayCursorX(m_doc.Channel(0), t);
            p.End();
            return;
        }
    } else {
        const CSoundOut* out = m_doc.App().acquisition.soundOut.get();
        // Stopped or replaced by someone else: the cursor goes.
        if (!p.Ours() || (!out->IsPlaying() && !out->HasEnded())) {
            p.End();
            return;
        }
        ended = out->HasEnded();
        t += static_cast<double>(out->PlayedFrames()) * 1000.0 / p.m_rate;
    }
    if (ended)
        t = p.m_endMs;
    const int x = PlayCursorX(m_doc.Channel(0), t);
    p.m_lastX = x;
    if (ended) {
        // The sound is over: the cursor stops at its end and leaves the
        // picture.
        p.End();
        return;
    }
    p.MoveDrawn(x);
}

void COrielView::PaintPlayCursor(QPainter& window, const QRect& area) {
    if (!m_playback || m_playback->m_drawnX < 0 || m_surfaces[kPlayCursor].isNull())
        return;
    const int x = m_playback->m_drawnX;
    if (x < area.left() || x > area.right())
        return;
    window.drawImage(QPoint(x, 0), m_surfaces[kPlayCursor]);
}

void COrielView::OnOptionsRecordPlay() { ToggleRecordPlayOptions(m_doc.App(), &m_doc); }

void COrielView::Play(int mode) {
    COrielDoc& doc = m_doc;
    if (!doc.IsDataLoaded() || doc.GetChannelCount() < 1)
        return;
    AcquisitionState& acquisition = doc.App().acquisition;
    const PlayRoad road = ChoosePlayRoad(acquisition);
    if (road == PlayRoad::AudioBox) {
        // The application's worker plays; without it nothing does.
        if (!acquisition.usbThread)
            return;
        const CChannels& channel0 = doc.Channel(0);
        const PlayRange range =
            PlayRangeOf(channel0, static_cast<PlayMode>(mode), mode != static_cast<int>(PlayMode::All));
        ViewPlayback& playback = Playback();
        if (!PlayThroughAudioBox(doc, *acquisition.usbThread, playback, range))
            return;
        playback.Begin(range, static_cast<double>(static_cast<int>(channel0.rate)), ViewPlayback::Source::AudioBox);
        AdvancePlayCursor();
        return;
    }
    if (CFrameRecordPlay* frame = acquisition.recordPlayFrame; frame && frame->Form())
        frame->Form()->ReadSoundCardRate();
    if (road == PlayRoad::Rendal) {
        // The sixteen-channel system plays through its own worker.
        PlayThroughRendal(mode);
        return;
    }

    const CChannels& channel0 = doc.Channel(0);
    const PlayRange range = PlayRangeOf(channel0, static_cast<PlayMode>(mode));
    const double rate = static_cast<double>(static_cast<int>(channel0.rate));
    if (rate <= 0.0)
        return;
    ViewPlayback& playback = Playback();
    if (!PlayOnSoundCard(doc, range, &playback)) {
        // Nothing plays: a cursor of an output that is gone goes too.
        AdvancePlayCursor();
        return;
    }
    playback.Begin(range, rate);
    AdvancePlayCursor();
}

void AddPlayCommands(QMainWindow& mainFrame, QMenu& optionsMenu, const std::function<CChildFrame*()>& activeFrame) {
    auto* menu = new QMenu(QStringLiteral("&Record/Play"), &mainFrame);
    menu->setObjectName(QStringLiteral("recordPlayMenu"));
    mainFrame.menuBar()->insertMenu(optionsMenu.menuAction(), menu);
    const auto onView = [activeFrame](void (COrielView::*command)()) {
        return [activeFrame, command] {
            if (CChildFrame* f = activeFrame(); f && f->GetView())
                (f->GetView()->*command)();
        };
    };
    QAction* all = menu->addAction(QStringLiteral("Play All"), QKeySequence(Qt::CTRL | Qt::Key_Y), &mainFrame,
                                   onView(&COrielView::OnRecordPlayPlayAll));
    QAction* selection = menu->addAction(QStringLiteral("Play Selection"), QKeySequence(Qt::CTRL | Qt::Key_U),
                                         &mainFrame, onView(&COrielView::OnRecordPlayPlaySelection));
    QAction* window =
        menu->addAction(QStringLiteral("Play Window"), &mainFrame, onView(&COrielView::OnRecordPlayPlayWindow));
    DeclareViewCommand(all, ViewCommand::RecordPlayPlayAll);
    DeclareViewCommand(selection, ViewCommand::RecordPlayPlaySelection);
    DeclareViewCommand(window, ViewCommand::RecordPlayPlayWindow);

    QAction* options =
        optionsMenu.addAction(QStringLiteral("Record/Play..."), &mainFrame, onView(&COrielView::OnOptionsRecordPlay));
    DeclareViewCommand(options, ViewCommand::OptionsRecordPlay);
}

}  // namespace vocomet
