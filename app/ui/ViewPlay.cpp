// The main view's play commands and its play cursor (the playback itself,
// on every road, is ViewPlayback's).

#include "app/ui/ViewPlay.h"

#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QWidget>

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
        m_playback = new ViewPlayback(*this, m_doc.App().acquisition, [this] { AdvancePlayCursor(); },
                                      [this](int x) { viewport()->update(QRect(x, 0, 1, viewport()->height())); });
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
    return m_playback->StopAll();
}

void COrielView::AdvancePlayCursor() {
    if (!m_playback || !m_playback->m_running)
        return;
    if (m_doc.GetChannelCount() < 1) {
        m_playback->End();
        return;
    }
    m_playback->Advance([this](double t) { return PlayCursorX(m_doc.Channel(0), t); });
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
    // The device roads play whole groups of four: the audio box for a
    // selection or the window, the sixteen-channel system for a selection.
    const PlayRoad road = ChoosePlayRoad(doc.App().acquisition);
    const bool aligned = road == PlayRoad::AudioBox   ? mode != static_cast<int>(PlayMode::All)
                         : road == PlayRoad::Rendal ? mode == static_cast<int>(PlayMode::Selection)
                                                    : false;
    const PlayRange range = PlayRangeOf(doc.Channel(0), static_cast<PlayMode>(mode), aligned);
    PlayOnRoad(doc, Playback(), range);
    // Nothing plays: a cursor of an output that is gone goes too.
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
