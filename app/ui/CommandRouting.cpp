#include "app/ui/CommandRouting.h"

#include <QAction>
#include <QActionEvent>
#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QVariant>
#include <algorithm>
#include <filesystem>
#include <unordered_map>
#include <vector>

#include "windows/AnalysisWindowCommands.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielView.h"
#include "widgets/QtText.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"

namespace vocomet {

namespace {

// Lets a shortcut through only when its command is enabled at that moment.
class ShortcutGate : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

struct Registry {
    std::unordered_map<const QAction*, std::vector<CommandHandler>> handlers;
    ShortcutGate gate;
};

Registry& Commands() {
    static Registry* registry = new Registry;  // outlives every action
    return *registry;
}

// The main frame an action's menu lives in.
CMainFrame* FrameOf(const QAction& action) {
    const auto climb = [](QObject* o) -> CMainFrame* {
        for (; o; o = o->parent())
            if (auto* f = qobject_cast<CMainFrame*>(o))
                return f;
        return nullptr;
    };
    for (QObject* o : action.associatedObjects())
        if (CMainFrame* f = climb(o))
            return f;
    return climb(action.parent());
}

QMdiSubWindow* ActiveWindowOf(const CMainFrame* frame) {
    return frame && frame->MdiArea() ? frame->MdiArea()->activeSubWindow() : nullptr;
}

const CommandHandler* HandlerOnRoad(const QAction& action, QMdiSubWindow* active) {
    const auto it = Commands().handlers.find(&action);
    if (it == Commands().handlers.end())
        return nullptr;
    const CommandHandler* first = nullptr;
    for (const CommandHandler& h : it->second)
        if ((!h.handles || h.handles(active)) && (!first || h.level < first->level))
            first = &h;
    return first;
}

bool ShortcutGate::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Shortcut) {
        if (auto* action = qobject_cast<QAction*>(watched))
            if (!RouteCommand(*action, ActiveWindowOf(FrameOf(*action))))
                return true;
    }
    return QObject::eventFilter(watched, event);
}

// Enabled while a window on the road handles it, so its shortcut arrives.
void Release(QAction& action, QMdiSubWindow* active) { action.setEnabled(HandlerOnRoad(action, active) != nullptr); }

template <typename Each>
void ForEachDeclared(const CMainFrame& frame, Each&& each) {
    std::vector<QAction*> actions;
    for (const auto& [action, handlers] : Commands().handlers)
        if (FrameOf(*action) == &frame)
            actions.push_back(const_cast<QAction*>(action));
    for (QAction* a : actions)
        each(*a);
}

AnalysisWindowCommands* AnalysisCommandsOf(QMdiSubWindow* w) {
    if (!w)
        return nullptr;
    if (auto* c = dynamic_cast<AnalysisWindowCommands*>(w))
        return c;
    return dynamic_cast<AnalysisWindowCommands*>(w->widget());
}

// Watches menus the frame's menu bar gains after the routing was installed.
class MenuBarWatcher : public QObject {
public:
    explicit MenuBarWatcher(CMainFrame& frame) : QObject(&frame), m_frame(frame) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ActionAdded)
            if (QMenu* menu = static_cast<QActionEvent*>(event)->action()->menu())
                WatchMenu(m_frame, *menu);
        return QObject::eventFilter(watched, event);
    }

private:
    CMainFrame& m_frame;
};

// Once per frame: menus it gains are watched, and a change of the active
// window lets go of the commands of the new road.
void InstallFrameHooks(CMainFrame& frame) {
    if (frame.property("vocometRouting").toBool())
        return;
    frame.setProperty("vocometRouting", true);
    frame.menuBar()->installEventFilter(new MenuBarWatcher(frame));
    CMainFrame* f = &frame;
    QObject::connect(frame.MdiArea(), &QMdiArea::subWindowActivated, f, [f] {
        QMdiSubWindow* active = ActiveWindowOf(f);
        ForEachDeclared(*f, [active](QAction& a) { Release(a, active); });
    });
}

}  // namespace

void DeclareCommand(QAction* action, CommandHandler handler) {
    if (!action)
        return;
    Registry& r = Commands();
    auto [it, fresh] = r.handlers.try_emplace(action);
    it->second.push_back(std::move(handler));
    if (!fresh)
        return;
    action->installEventFilter(&r.gate);
    QObject::connect(action, &QObject::destroyed, [action] { Commands().handlers.erase(action); });
    // The menu the command sits in asks when it shows.
    if (CMainFrame* frame = FrameOf(*action)) {
        InstallFrameHooks(*frame);
        QMenu* menu = qobject_cast<QMenu*>(action->parent());
        for (QObject* o : action->associatedObjects())
            if (!menu)
                menu = qobject_cast<QMenu*>(o);
        if (menu)
            WatchMenu(*frame, *menu);
        Release(*action, ActiveWindowOf(frame));
    }
}

COrielView* ActiveMainView(QMdiSubWindow* active) {
    auto* frame = qobject_cast<CChildFrame*>(active);
    return frame ? frame->GetView() : nullptr;
}

ViewCommandState CommandStateOf(const COrielView& view) {
    COrielDoc& doc = view.GetDocument();
    ViewCommandState s;
    s.dataLoaded = doc.IsDataLoaded();
    s.neverSaved = doc.neverSaved != 0;
    s.documentSelection = doc.selectionPresent != 0;
    s.channelCount = std::clamp(doc.GetChannelCount(), 0, kDocumentSlots);
    s.eggChannel = doc.settings.egg.channel;
    if (s.eggChannel >= 0 && s.eggChannel < s.channelCount) {
        const CChannels& egg = doc.Channel(s.eggChannel);
        s.eggChannelName = egg.name;
        s.eggCyclesValid = egg.cyclesValid != 0;
    }
    s.selectionShown = view.selectionShown;
    s.markerShown = view.markerShown;
    s.canScroll = view.Scroll().canScroll;
    // Only a copy that was written and is still there can be read back.
    std::error_code error;
    const std::string& undoPath = view.Edits().UndoPath();
    s.undoAvailable = view.Edits().UndoAvailable() && !undoPath.empty() &&
                      std::filesystem::is_regular_file(std::filesystem::u8path(undoPath), error);
    s.labelMode = view.labelMode;
    s.clickedChannel = view.clickedChannel;
    if (s.clickedChannel >= 0 && s.clickedChannel < s.channelCount)
        s.clickedChannelName = doc.Channel(s.clickedChannel).name;
    s.clipboardFull = doc.App().clipboard.full != 0;
    s.logOpen = view.LogFrame() != nullptr;
    s.audioBoxPresent = doc.App().acquisition.audioBoxPresent != 0;
    return s;
}

void DeclareViewCommand(QAction* action, ViewCommand command) { DeclareViewCommand(action, command, {}); }

void DeclareViewCommand(QAction* action, ViewCommand command, std::function<bool()> available) {
    CommandHandler h;
    h.level = CommandLevel::View;
    h.handles = [](QMdiSubWindow* active) { return ActiveMainView(active) != nullptr; };
    h.enabled = [command, available = std::move(available)](QMdiSubWindow* active, QAction& a) {
        COrielView* view = ActiveMainView(active);
        if (!view)
            return false;
        const CommandUpdate u = UpdateViewCommand(command, CommandStateOf(*view));
        if (u.text)
            a.setText(FromCp1252(*u.text));  // built from channel names
        return u.enabled && (!available || available());
    };
    DeclareCommand(action, std::move(h));
}

void DeclareAnalysisCommand(QAction* action, std::function<bool(const AnalysisWindowCommands&)> handles,
                            std::function<bool(const AnalysisWindowCommands&)> enabled) {
    CommandHandler h;
    h.level = CommandLevel::View;
    h.handles = [handles = std::move(handles)](QMdiSubWindow* active) {
        const AnalysisWindowCommands* w = AnalysisCommandsOf(active);
        return w && (!handles || handles(*w));
    };
    if (enabled) {
        h.enabled = [enabled = std::move(enabled)](QMdiSubWindow* active, QAction&) {
            const AnalysisWindowCommands* w = AnalysisCommandsOf(active);
            return w && enabled(*w);
        };
    }
    DeclareCommand(action, std::move(h));
}

void DeclareMainFrameCommand(QAction* action, std::function<bool()> enabled) {
    CommandHandler h;
    h.level = CommandLevel::MainFrame;
    if (enabled)
        h.enabled = [enabled = std::move(enabled)](QMdiSubWindow*, QAction&) { return enabled(); };
    DeclareCommand(action, std::move(h));
}

bool RouteCommand(QAction& action, QMdiSubWindow* active) {
    const CommandHandler* h = HandlerOnRoad(action, active);
    if (!h)
        return false;
    return !h->enabled || h->enabled(active, action);
}

bool IsHandled(const QAction& action, QMdiSubWindow* active) { return HandlerOnRoad(action, active) != nullptr; }

bool IsDeclared(const QAction& action) { return Commands().handlers.count(&action) != 0; }

void WatchMenu(CMainFrame& frame, QMenu& menu) {
    if (menu.property("vocometRouted").toBool())
        return;
    menu.setProperty("vocometRouted", true);
    QMenu* m = &menu;
    CMainFrame* f = &frame;
    QObject::connect(m, &QMenu::aboutToShow, f, [f, m] {
        QMdiSubWindow* active = ActiveWindowOf(f);
        for (QAction* a : m->actions())
            if (IsDeclared(*a))
                a->setEnabled(RouteCommand(*a, active));
    });
    QObject::connect(m, &QMenu::aboutToHide, f, [f, m] {
        QMdiSubWindow* active = ActiveWindowOf(f);
        for (QAction* a : m->actions())
            if (IsDeclared(*a))
                Release(*a, active);
    });
    for (QAction* a : menu.actions())
        if (a->menu())
            WatchMenu(frame, *a->menu());
}

void UpdateCommands(CMainFrame& frame) {
    QMdiSubWindow* active = ActiveWindowOf(&frame);
    ForEachDeclared(frame, [active](QAction& a) { a.setEnabled(RouteCommand(a, active)); });
}

void InstallCommandRouting(CMainFrame& frame) {
    InstallFrameHooks(frame);
    for (QAction* a : frame.menuBar()->actions())
        if (a->menu())
            WatchMenu(frame, *a->menu());
    QMdiSubWindow* active = ActiveWindowOf(&frame);
    ForEachDeclared(frame, [active](QAction& a) { Release(a, active); });
}

}  // namespace vocomet
