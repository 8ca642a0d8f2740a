#include "app/ui/CChildFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QEvent>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>

#include "acquisition/CUSBThread.h"
#include "acquisition/ui/CScopeView.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielView.h"
#include "app/ui/CStatusWindow.h"
#include "app/ui/MainFrameCommands.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"

namespace vocomet {

CChildFrame::CChildFrame(std::unique_ptr<COrielDoc> document, QWidget* parent)
    : QMdiSubWindow(parent), m_document(std::move(document)) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_view = new COrielView(*m_document, this);
    setWidget(m_view);
    // Ctrl+W is Zoom > From Cursor for Duration; the frame still closes with
    // Ctrl+F4 and its window menu.
    if (QMenu* menu = systemMenu()) {
        for (QAction* action : menu->actions()) {
            QList<QKeySequence> keys = action->shortcuts();
            if (keys.removeAll(QKeySequence(Qt::CTRL | Qt::Key_W)) > 0)
                action->setShortcuts(keys);
        }
    }
    ApplyPlacement();
    UpdateTitle();
}

CChildFrame::~CChildFrame() = default;

void CChildFrame::UpdateTitle() {
    const QString title = QString::fromStdString(m_document->GetTitle());
    setWindowTitle(title);
}

void CChildFrame::changeEvent(QEvent* event) {
    QMdiSubWindow::changeEvent(event);
    // A minimised document window drops its selection, its marker and label
    // mode (its view keeps its size while the frame is an icon).
    if (event->type() == QEvent::WindowStateChange && isMinimized() && m_view) {
        m_view->selectionShown = false;
        m_view->markerShown = false;
        m_view->labelMode = false;
        m_view->SetRedraw();
        m_view->viewport()->update();
    }
}

void CChildFrame::closeEvent(QCloseEvent* event) {
    // The save question comes first: a Cancel leaves the frame, its
    // analysis windows and the status window as they were.
    if (!m_document->SaveModified()) {
        event->ignore();
        return;
    }
    // The document goes: a play or recording of the worker ends first
    // (waiting until it says so), then the windows that show the document.
    if (const auto& worker = m_document->App().acquisition.usbThread)
        worker->StopRun();
    if (QMdiArea* area = mdiArea())
        CloseDocumentWindows(*area, *m_document, this);
    CStatusWindow* status = nullptr;
    if (auto* mainFrame = qobject_cast<CMainFrame*>(window()))
        status = mainFrame->StatusWindow();
    if (!status && m_view)
        status = m_view->statusWindow;
    if (status) {
        status->SetTitle(QString());
        status->ShowDocument(nullptr, nullptr);
    }
    QMdiSubWindow::closeEvent(event);
}

void CChildFrame::CloseAnalysisWindows() {
    if (auto* mainFrame = qobject_cast<QMainWindow*>(window()))
        if (CScopeChildFrame* scope = OpenScopeFrame(*mainFrame))
            scope->CloseScopeWindow();
    if (QMdiArea* area = mdiArea())
        CloseDocumentWindows(*area, *m_document, this);
}

void CChildFrame::ApplyPlacement() {
    // Every main-view frame opens where the last one was left; the first
    // of all takes the top third of the desktop.
    WindowPlacement& p = m_document->App().settings.placements[kPlacementMainChild];
    if (IsUnplaced(p) || p[2] <= 0 || p[3] <= 0)
        p = DefaultChildFramePlacement(DesktopRect());
    setGeometry(p[0], p[1], p[2], p[3]);
}

void CChildFrame::showEvent(QShowEvent* event) {
    // The MDI area moves a new window by its own rule when it is first
    // shown (it never sizes it); the shared placement wins, unless whoever
    // made the frame gave it a size of its own.
    if (!m_placed) {
        m_placed = true;
        const WindowPlacement& p = m_document->App().settings.placements[kPlacementMainChild];
        if (size() == QSize(p[2], p[3]))
            move(p[0], p[1]);
    }
    QMdiSubWindow::showEvent(event);
}

void CChildFrame::StorePlacement() {
    // Only the normal position counts; a maximised or minimised frame keeps
    // the one it had.
    if (!isVisible() || (windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)))
        return;
    WindowPlacement& p = m_document->App().settings.placements[kPlacementMainChild];
    const QRect g = geometry();
    p = {g.x(), g.y(), g.width(), g.height()};
}

void CChildFrame::moveEvent(QMoveEvent* event) {
    QMdiSubWindow::moveEvent(event);
    StorePlacement();
}

void CChildFrame::resizeEvent(QResizeEvent* event) {
    QMdiSubWindow::resizeEvent(event);
    StorePlacement();
}

}  // namespace vocomet
