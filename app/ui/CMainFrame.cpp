#include "app/ui/CMainFrame.h"

#include "app/ui/CFrameLog.h"
#include "app/ui/CStatusWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <string>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QUrl>

namespace vocomet {

namespace {

inline constexpr const char* kReady = "Ready";

// Whether the keyboard light named by suffix ("::capslock") is on, as the
// kernel shows it; false where no keyboard says.
bool LockLightOn(const std::string& suffix) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/leds", error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() < suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        std::ifstream in(entry.path() / "brightness");
        int brightness = 0;
        if (in >> brightness && brightness > 0)
            return true;
    }
    return false;
}

}  // namespace

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
    // The message pane shows a command's prompt while the pointer is on
    // it (menus and toolbar send it here), "Ready" otherwise; the lock
    // indicators show their text while the lock is on.
    m_ready = new QLabel(QString::fromLatin1(kReady), this);
    statusBar()->addWidget(m_ready, 1);
    const char* const locks[] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        m_locks[i] = new QLabel(this);
        m_locks[i]->setObjectName(QString::fromLatin1(locks[i]));
        m_locks[i]->setAlignment(Qt::AlignCenter);
        m_locks[i]->setFrameShape(QFrame::Panel);
        m_locks[i]->setFrameShadow(QFrame::Sunken);
        m_locks[i]->setMinimumWidth(m_locks[i]->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 12);
        statusBar()->addPermanentWidget(m_locks[i]);
    }
    UpdateLockIndicators();
    auto* lockTimer = new QTimer(this);
    connect(lockTimer, &QTimer::timeout, this, [this] {
        if (isVisible())
            UpdateLockIndicators();
    });
    lockTimer->start(500);
    // The title follows the current window and its state, whatever changes them.
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) {
        WatchSubWindow(w);
        OnUpdateFrameTitle();
    });
    setAcceptDrops(true);
    resize(1024, 720);
}

QString CMainFrame::FrameTitle() const {
    const QString product = QStringLiteral("Vocomet");
    const QMdiSubWindow* w = m_mdiArea->currentSubWindow();
    if (!w || !w->isVisible() || !w->isMaximized())
        return product;
    QString name = w->windowTitle();
    name.remove(QStringLiteral("[*]"));
    return name.isEmpty() ? product : product + QStringLiteral(" - [") + name + QLatin1Char(']');
}

void CMainFrame::OnUpdateFrameTitle() {
    const QString title = FrameTitle();
    if (windowTitle() == title || m_settingTitle)
        return;
    m_settingTitle = true;
    setWindowTitle(title);
    m_settingTitle = false;
}

void CMainFrame::WatchSubWindow(QMdiSubWindow* window) {
    if (!window || window->property("vocometTitleWatched").toBool())
        return;
    window->setProperty("vocometTitleWatched", true);
    connect(window, &QMdiSubWindow::windowStateChanged, this, [this] { OnUpdateFrameTitle(); });
    connect(window, &QWidget::windowTitleChanged, this, [this] { OnUpdateFrameTitle(); });
    connect(window, &QObject::destroyed, this, [this] {
        QMetaObject::invokeMethod(this, [this] { OnUpdateFrameTitle(); }, Qt::QueuedConnection);
    });
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    // The MDI area writes its own title when a window is maximised or
    // restored; ours is put back once it is done.
    if (event->type() == QEvent::WindowTitleChange && !m_settingTitle && windowTitle() != FrameTitle())
        QMetaObject::invokeMethod(this, [this] { OnUpdateFrameTitle(); }, Qt::QueuedConnection);
}

QString CMainFrame::StatusMessage() const {
    const QString message = statusBar()->currentMessage();
    return message.isEmpty() ? m_ready->text() : message;
}

void CMainFrame::UpdateLockIndicators() {
    const char* const lights[] = {"::capslock", "::numlock", "::scrolllock"};
    for (int i = 0; i < 3; ++i)
        m_locks[i]->setText(LockLightOn(lights[i]) ? m_locks[i]->objectName() : QString());
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

void CMainFrame::setVisible(bool visible) {
    QMainWindow::setVisible(visible);
    if (visible && m_showStatusWithFrame && m_statusWindow) {
        m_showStatusWithFrame = false;
        m_statusWindow->show();
        m_statusWindow->update();
    }
}

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
