#include "app/ui/MainFrameCommands.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QUrl>
#include <exception>
#include <vector>

#include "acquisition/CUSBThread.h"
#include "acquisition/ui/CFormRecordRendal.h"
#include "acquisition/ui/CFormRecordScopeFrame.h"
#include "analysis/ui/CFFTLPCFrame.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CFrameLog.h"
#include "app/ui/CFrameLabelView.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielApp.h"
#include "app/ui/COrielView.h"
#include "app/ui/CStatusWindow.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/UserPrompts.h"

namespace vocomet {

namespace {

// Keeps the status window's normal position (left, top, right, bottom) in
// its placement as it moves and sizes, so that a document closing writes
// where it really is.
class StatusPlacementKeeper : public QObject {
public:
    StatusPlacementKeeper(CStatusWindow& window, WindowPlacement& placement)
        : QObject(&window), m_window(window), m_placement(placement) {}

    void Store() {
        if (m_window.isMaximized() || m_window.isMinimized())
            return;
        // The filter runs before the window's own handler: read the window.
        const QRect r(m_window.pos(), m_window.size());
        if (r.isValid())
            m_placement = {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_window && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
            Store();
        return QObject::eventFilter(watched, event);
    }

private:
    CStatusWindow& m_window;
    WindowPlacement& m_placement;
};

bool IsRecordForm(const QMdiSubWindow* w) {
    return qobject_cast<const CFormRecordRendalFrame*>(w) || qobject_cast<const CFormRecordScopeFrame*>(w);
}

// Closes the windows in order, skipping those an earlier close already took
// away. False at the first refusal.
bool CloseEach(const std::vector<QPointer<QMdiSubWindow>>& windows) {
    for (const QPointer<QMdiSubWindow>& w : windows) {
        if (!w || w->isHidden())
            continue;
        if (!w->close())
            return false;
    }
    return true;
}

}  // namespace

QRect DesktopRect() {
    if (QScreen* screen = QGuiApplication::primaryScreen())
        return screen->geometry();
    return QRect(0, 0, 1024, 768);
}

platform::Rect AvailableDesktop() {
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect r = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

WindowPlacement DefaultChildFramePlacement(const QRect& desktop) {
    const int right = desktop.left() + desktop.width();
    return {0, 0, right - 5, desktop.height() / 3};
}

WindowPlacement DefaultStatusWindowPlacement(const QRect& desktop) {
    const int bottom = desktop.top() + desktop.height();
    return {5, bottom - 200, desktop.width() * 6 / 10, bottom - 40};
}

CStatusWindow* CreateStatusWindow(CMainFrame& frame, WindowPlacement& placement, platform::UserPrompts& prompts) {
    if (IsUnplaced(placement))
        placement = DefaultStatusWindowPlacement(DesktopRect());
    CStatusWindow* window = nullptr;
    try {
        window = new CStatusWindow(&frame);
    } catch (const std::exception&) {
        window = nullptr;
    }
    if (!window) {
        prompts.Beep();
        prompts.Message(kStatusWindowError, platform::Buttons::Ok, platform::Icon::Warning);
        return nullptr;
    }
    const WindowPlacement at = placement;
    // A stored rectangle turned inside out keeps its corner and gets the
    // default size.
    const WindowPlacement fallback = DefaultStatusWindowPlacement(DesktopRect());
    const int w = at[2] > at[0] ? at[2] - at[0] : fallback[2] - fallback[0];
    const int h = at[3] > at[1] ? at[3] - at[1] : fallback[3] - fallback[1];
    window->move(at[0], at[1]);
    window->resize(w, h);
    window->installEventFilter(new StatusPlacementKeeper(*window, placement));
    if (!window->CreateFormControl()) {
        // The window stays, without its table, as when the form fails in
        // any other window.
    }
    frame.SetStatusWindow(window);
    // A tool window of the main frame: a window manager keeps it above the
    // frame only when the frame is on the screen before it; shown earlier,
    // it is taken for a window of its own and the frame covers it.
    if (frame.isVisible()) {
        window->show();
        window->update();
    } else {
        frame.ShowStatusWindowWithFrame();
    }
    return window;
}

QAction* InstallMainFrameCommands(CMainFrame& frame, ApplicationState& app, platform::UserPrompts& prompts) {
    WindowPlacement& statusPlacement = app.settings.placements[kPlacementStatus];
    CreateStatusWindow(frame, statusPlacement, prompts);

    QMenu* window = frame.WindowMenu();
    QAction* toggle = window->addAction(QStringLiteral("Close Status Window"), &frame, [&frame] {
        CStatusWindow* status = frame.StatusWindow();
        if (!status)
            return;
        if (status->isVisible()) {
            status->close();  // it only hides, where it is
        } else {
            status->show();
            status->raise();
        }
    });
    QObject::connect(window, &QMenu::aboutToShow, toggle, [&frame, toggle] {
        const CStatusWindow* status = frame.StatusWindow();
        toggle->setText(QString::fromLatin1(status && status->isVisible() ? kHideStatusWindow : kShowStatusWindow));
        toggle->setEnabled(status != nullptr);
    });

    // The active document's view feeds the status window and shows its
    // document there.
    QObject::connect(frame.MdiArea(), &QMdiArea::subWindowActivated, &frame, [&frame](QMdiSubWindow* w) {
        auto* child = qobject_cast<CChildFrame*>(w);
        if (!child || !child->GetView())
            return;
        child->GetView()->statusWindow = frame.StatusWindow();
        child->GetView()->OnSetFocus();
    });

    QObject::connect(&frame, &CMainFrame::closing, &frame, [&frame, &app, &statusPlacement] {
        if (CStatusWindow* status = frame.StatusWindow()) {
            const QRect r = status->Placement();
            if (r.isValid())
                statusPlacement = {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
        }
        // The record/play window keeps its own placement as it moves.
        if (app.acquisition.usbThread)
            app.acquisition.usbThread->StopRun();
    });
    InstallWindowList(frame);
    return toggle;
}

namespace {
constexpr const char* kListedWindow = "vocometListedWindow";
}

QWidget* WindowOfListItem(const QAction& item) {
    return qobject_cast<QWidget*>(item.property(kListedWindow).value<QObject*>());
}

void InstallWindowList(CMainFrame& frame) {
    QMenu* menu = frame.WindowMenu();
    QMdiArea* area = frame.MdiArea();
    CMainFrame* f = &frame;
    // The list is rebuilt at the end of the menu whenever it opens: the
    // windows of the MDI area in the order they were opened, then the
    // measurement log, which floats beside the frame.
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu, area, f] {
        for (QAction* a : menu->actions())
            if (a->property(kListedWindow).isValid())
                delete a;
        std::vector<QWidget*> windows;
        for (QMdiSubWindow* w : area->subWindowList(QMdiArea::CreationOrder))
            if (!w->isHidden())
                windows.push_back(w);
        QWidget* log = f->LogFrame();
        if (log && !log->isHidden())
            windows.push_back(log);
        const bool logActive = log && QApplication::activeWindow() == log;
        int number = 0;
        for (QWidget* w : windows) {
            ++number;
            QString title = w->windowTitle();
            title.remove(QStringLiteral("[*]"));
            title.replace(QLatin1Char('&'), QStringLiteral("&&"));
            const QString text = number < 10 ? QStringLiteral("&%1 %2").arg(number).arg(title)
                                             : QStringLiteral("%1 %2").arg(number).arg(title);
            auto* item = new QAction(text, menu);
            item->setProperty(kListedWindow, QVariant::fromValue<QObject*>(w));
            item->setCheckable(true);
            item->setChecked(w == log ? logActive : !logActive && w == area->currentSubWindow());
            QPointer<QWidget> target(w);
            QObject::connect(item, &QAction::triggered, area, [area, target] {
                if (!target)
                    return;
                if (auto* sub = qobject_cast<QMdiSubWindow*>(target.data())) {
                    area->setActiveSubWindow(sub);
                } else {
                    target->show();
                    target->raise();
                    target->activateWindow();
                }
            });
            if (number == 1)
                menu->addSeparator()->setProperty(kListedWindow, true);
            menu->addAction(item);
        }
    });
    // The next window, whichever window has the keyboard; a shortcut comes
    // before the key reaches the window, so no window can keep it.
    auto* next = new QAction(QStringLiteral("Next Window"), &frame);
    next->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_F6), QKeySequence(Qt::CTRL | Qt::Key_Tab)});
    next->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(next, &QAction::triggered, area, &QMdiArea::activateNextSubWindow);
    frame.addAction(next);
}

const COrielDoc* DocumentOfWindow(const QMdiSubWindow* window) {
    if (!window)
        return nullptr;
    if (auto* f = qobject_cast<const CChildFrame*>(window))
        return &f->GetDocument();
    if (auto* f = qobject_cast<const CFFTLPCFrame*>(window))
        return &f->GetDocument();
    if (auto* f = qobject_cast<const CFrameLabelView*>(window))
        return f->MainView() ? &f->MainView()->GetDocument() : nullptr;
    const QVariant named = window->property(kDocumentProperty);
    if (named.isValid())
        return reinterpret_cast<const COrielDoc*>(named.value<quintptr>());
    return nullptr;
}

CChildFrame* DocumentFrameOfWindow(QMdiArea& area, const QMdiSubWindow* window) {
    const COrielDoc* doc = DocumentOfWindow(window);
    if (!doc)
        return nullptr;
    for (QMdiSubWindow* w : area.subWindowList())
        if (auto* f = qobject_cast<CChildFrame*>(w); f && &f->GetDocument() == doc)
            return f;
    return nullptr;
}

void CloseDocumentWindows(QMdiArea& area, const COrielDoc& doc, const QMdiSubWindow* keep) {
    std::vector<QPointer<QMdiSubWindow>> windows;
    for (QMdiSubWindow* w : area.subWindowList())
        if (w != keep && !qobject_cast<CChildFrame*>(w) && DocumentOfWindow(w) == &doc)
            windows.emplace_back(w);
    for (const QPointer<QMdiSubWindow>& w : windows)
        if (w && !w->isHidden())
            w->close();
}

bool CloseAllMdiWindows(QMdiArea& area) {
    std::vector<QPointer<QMdiSubWindow>> forms, documents, rest;
    for (QMdiSubWindow* w : area.subWindowList()) {
        if (IsRecordForm(w))
            forms.emplace_back(w);
        else if (qobject_cast<CChildFrame*>(w))
            documents.emplace_back(w);
        else
            rest.emplace_back(w);
    }
    return CloseEach(forms) && CloseEach(documents) && CloseEach(rest);
}

void OnMainFrameHelpTopics(const std::string& startFolder, platform::UserPrompts& prompts,
                           const std::function<bool(const QString&)>& open) {
    const auto openPage = [&open](const QString& page) {
        if (!QFileInfo::exists(page))
            return false;
        return open ? open(page) : QDesktopServices::openUrl(QUrl::fromLocalFile(page));
    };
    const QString folder = QString::fromStdString(startFolder);
    if (openPage(folder + QStringLiteral("/Manual/HelpIndex.htm")))
        return;
    if (openPage(folder + QStringLiteral("/Manual/HelpIndex.html")))
        return;
    prompts.Message(kNoHelpFile);
}

}  // namespace vocomet
