#include "app/ui/LogCommands.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <string>
#include <utility>

#include "windows/AnalysisWindowCommands.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CFrameLog.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CommandRouting.h"
#include "app/ui/COrielView.h"

namespace vocomet {

void AddLogCommands(CMainFrame& frame, platform::UserPrompts& prompts, WindowPlacement& placement,
                    std::function<CChildFrame*()> activeFrame) {
    QMenu* menu = frame.LogMenu();
    CMainFrame* f = &frame;
    platform::UserPrompts* p = &prompts;
    WindowPlacement* at = &placement;

    // The log window's commands belong to the main frame, whatever window
    // is active.
    const auto add = [&](const char* text, QKeySequence keys, std::function<void()> command,
                         std::function<bool()> enabled) {
        QAction* action = menu->addAction(QString::fromLatin1(text), keys, f, std::move(command));
        DeclareMainFrameCommand(action, std::move(enabled));
    };

    add("New", {}, [f, p, at] { OnLogNew(*f, *p, *at); }, [] { return true; });
    add("Open...", {}, [f, p, at] { OnLogOpen(*f, *p, *at); }, [f] { return f->LogFrame() == nullptr; });
    add("Save", {}, [f] {
            if (CFrameLog* log = f->LogFrame())
                log->SaveLog();
        },
        [f] { return f->LogFrame() && f->LogFrame()->IsLogModified(); });
    add("Save As...", {}, [f] {
            if (CFrameLog* log = f->LogFrame())
                log->SaveLogAs();
        },
        [f] { return f->LogFrame() != nullptr; });
    menu->addSeparator();

    const auto viewOf = [activeFrame]() -> COrielView* {
        CChildFrame* child = activeFrame ? activeFrame() : nullptr;
        return child ? child->GetView() : nullptr;
    };
    // The entries are the main view's; an analysis window that has an
    // entry of the same name takes it while it is the active window.
    const struct {
        const char* text;
        QKeySequence keys;
        void (COrielView::*command)();
        ViewCommand rule;
    } entries[] = {
        {"Enter at Marker", QKeySequence(Qt::CTRL | Qt::Key_T), &COrielView::OnLogEnterAtMarker,
         ViewCommand::LogEnterAtMarker},
        {"Enter Data Selection", {}, &COrielView::OnLogEnterDataSelection, ViewCommand::LogEnterDataSelection},
        {"Enter Duration", QKeySequence(Qt::CTRL | Qt::Key_D), &COrielView::OnLogEnterDuration,
         ViewCommand::LogEnterDuration},
        {"Enter EGG at Marker", {}, &COrielView::OnLogEnterEGGAtMarker, ViewCommand::LogEnterEggAtMarker},
        {"Enter EGG All", {}, &COrielView::OnLogEnterEGGAll, ViewCommand::LogEnterEggAll},
        {"Enter EGG Selection", {}, &COrielView::OnLogEnterEGGSelection, ViewCommand::LogEnterEggSelection},
    };
    for (const auto& e : entries) {
        QAction* action = menu->addAction(QString::fromLatin1(e.text), e.keys, f,
                                          [viewOf, command = e.command, area = f->MdiArea(), text = e.text] {
                                              if (COrielView* view = viewOf())
                                                  (view->*command)();
                                              else if (AnalysisWindowCommands* window = ActiveAnalysisWindow(area))
                                                  window->OnLogCommand(text);
                                          });
        DeclareViewCommand(action, e.rule);
        const std::string text = e.text;
        DeclareAnalysisCommand(
            action, [text](const AnalysisWindowCommands& w) { return w.HasLogCommand(text); },
            [text](const AnalysisWindowCommands& w) { return w.CanLogCommand(text); });
    }
}

}  // namespace vocomet
