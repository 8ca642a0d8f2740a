// The main view's play commands and its play cursor. The sound card plays
// on its own threads; it tells the view about played blocks and the end
// through a client that queues the news to this thread, and the cursor is
// placed from the stream's clock, never by counting timer ticks. A device
// that says nothing of its progress (the sixteen-channel system) moves the
// cursor by the time since its playback began.

#include "app/ui/ViewPlay.h"

#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTimer>

#include "acquisition/CSoundOut.h"
#include "acquisition/ui/CFormRecordPlay.h"
#include "acquisition/ui/CFrameRecordPlay.h"
#include "app/PlayRoute.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CommandRouting.h"
#include "app/ui/COrielView.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"

namespace vocomet {

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
    const bool device = StopRendalPlayback();
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
    if (p.m_clockDriven) {
        t += static_cast<double>(p.m_clock.elapsed());
        ended = t >= p.m_endMs;
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
    if (road == PlayRoad::AudioBox)
        return;  // the audio box plays through its own worker, not built here
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
    QAction* all = menu->addAction(QStringLiteral("Play All"), &mainFrame, onView(&COrielView::OnRecordPlayPlayAll));
    QAction* selection =
        menu->addAction(QStringLiteral("Play Selection"), &mainFrame, onView(&COrielView::OnRecordPlayPlaySelection));
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
