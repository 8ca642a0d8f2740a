#include "app/ui/LogCommands.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <utility>
#include <vector>

#include "app/ui/AnalysisWindowCommands.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CFrameLog.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielView.h"

namespace vocomet {

void AddLogCommands(CMainFrame& frame, platform::UserPrompts& prompts, WindowPlacement& placement,
                    std::function<CChildFrame*()> activeFrame) {
    QMenu* menu = frame.LogMenu();
    CMainFrame* f = &frame;
    platform::UserPrompts* p = &prompts;
    WindowPlacement* at = &placement;

    // Each item with its rule.
    std::vector<std::pair<QAction*, std::function<bool()>>> items;
    const auto add = [&](const char* text, QKeySequence keys, std::function<void()> command,
                         std::function<bool()> enabled) {
        QAction* action = menu->addAction(QString::fromLatin1(text), keys, f, std::move(command));
        items.emplace_back(action, std::move(enabled));
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
    const struct {
        const char* text;
        QKeySequence keys;
        void (COrielView::*command)();
        bool (COrielView::*enabled)() const;
    } entries[] = {
        {"Enter at Marker", QKeySequence(Qt::CTRL | Qt::Key_T), &COrielView::OnLogEnterAtMarker,
         &COrielView::CanLogEnterAtMarker},
        {"Enter Data Selection", {}, &COrielView::OnLogEnterDataSelection, &COrielView::CanLogEnterDataSelection},
        {"Enter Duration", QKeySequence(Qt::CTRL | Qt::Key_D), &COrielView::OnLogEnterDuration,
         &COrielView::CanLogEnterDuration},
        {"Enter EGG at Marker", {}, &COrielView::OnLogEnterEGGAtMarker, &COrielView::CanLogEnterEGGAtMarker},
        {"Enter EGG All", {}, &COrielView::OnLogEnterEGGAll, &COrielView::CanLogEnterEGGAll},
        {"Enter EGG Selection", {}, &COrielView::OnLogEnterEGGSelection, &COrielView::CanLogEnterEGGSelection},
    };
    for (const auto& e : entries) {
        add(e.text, e.keys,
            [viewOf, command = e.command, area = f->MdiArea(), text = e.text] {
                if (COrielView* view = viewOf())
                    (view->*command)();
                else if (AnalysisWindowCommands* window = ActiveAnalysisWindow(area))
                    window->OnLogCommand(text);
            },
            [viewOf, enabled = e.enabled, area = f->MdiArea(), text = e.text] {
                const COrielView* view = viewOf();
                if (view)
                    return (view->*enabled)();
                // An analysis window active: its own command of that name.
                const AnalysisWindowCommands* window = ActiveAnalysisWindow(area);
                return window && window->CanLogCommand(text);
            });
    }

    QObject::connect(menu, &QMenu::aboutToShow, f, [items] {
        for (const auto& [action, enabled] : items)
            action->setEnabled(enabled());
    });
    QObject::connect(menu, &QMenu::aboutToHide, f, [items] {
        for (const auto& item : items)
            item.first->setEnabled(true);
    });
}

}  // namespace vocomet
