#include "app/ui/CMainFrame.h"

#include "app/ui/CFrameLog.h"
#include "app/ui/CStatusWindow.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QUrl>

namespace vocomet {

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent), m_mdiArea(new QMdiArea(this)) {
    setWindowTitle(QStringLiteral("Vocomet"));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdiArea);
    m_fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    m_editMenu = menuBar()->addMenu(QStringLiteral("&Edit"));
    m_zoomMenu = menuBar()->addMenu(QStringLiteral("&Zoom"));
    m_labelsMenu = menuBar()->addMenu(QStringLiteral("&Labels"));
    m_analysisMenu = menuBar()->addMenu(QStringLiteral("&Analysis"));
    m_channelsMenu = menuBar()->addMenu(QStringLiteral("&Channels"));
    m_eggMenu = menuBar()->addMenu(QStringLiteral("E&GG"));
    m_optionsMenu = menuBar()->addMenu(QStringLiteral("&Options"));
    m_logMenu = menuBar()->addMenu(QStringLiteral("L&og"));
    m_windowMenu = menuBar()->addMenu(QStringLiteral("&Window"));
    m_helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    // A menu shows in the bar once it has a command.
    for (QMenu* menu : {m_editMenu, m_labelsMenu, m_analysisMenu, m_channelsMenu, m_eggMenu, m_optionsMenu, m_logMenu}) {
        menu->menuAction()->setVisible(false);
        menu->installEventFilter(this);
    }
    setAcceptDrops(true);
    resize(1024, 720);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ActionAdded)
        if (auto* menu = qobject_cast<QMenu*>(watched))
            menu->menuAction()->setVisible(true);
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    if (!paths.isEmpty()) {
        event->acceptProposedAction();
        emit filesDropped(paths);
    }
}

CFrameLog* CMainFrame::LogFrame() const { return m_logFrame.data(); }

void CMainFrame::SetLogFrame(CFrameLog* log) { m_logFrame = log; }

CStatusWindow* CMainFrame::StatusWindow() const { return m_statusWindow.data(); }

void CMainFrame::SetStatusWindow(CStatusWindow* window) { m_statusWindow = window; }

void CMainFrame::closeEvent(QCloseEvent* event) {
    // The documents go first, each may refuse; then the log, which stays,
    // and keeps the application, when the user wanted it saved but it was
    // not; only then is anything torn down.
    bool ok = true;
    emit closeRequested(&ok);
    if (!ok || (m_logFrame && !m_logFrame->PromptSaveAndClose())) {
        event->ignore();
        return;
    }
    emit closing();
    event->accept();
}

}  // namespace vocomet
