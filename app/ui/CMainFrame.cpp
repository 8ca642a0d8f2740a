#include "app/ui/CMainFrame.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMdiArea>
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
    m_zoomMenu = menuBar()->addMenu(QStringLiteral("&Zoom"));
    m_windowMenu = menuBar()->addMenu(QStringLiteral("&Window"));
    m_helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    setAcceptDrops(true);
    resize(1024, 720);
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

void CMainFrame::closeEvent(QCloseEvent* event) {
    bool ok = true;
    emit closeRequested(&ok);
    if (ok)
        event->accept();
    else
        event->ignore();
}

}  // namespace vocomet
