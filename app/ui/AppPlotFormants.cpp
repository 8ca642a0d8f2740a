// The application's PlotFormants menu: Open... makes a new document for
// each opened table, with the application's hooks, in a formant plot
// window; the other commands act on the active plot window.

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>

#include "analysis/ui/CFormPlotFormantFrame.h"
#include "analysis/ui/CFormPlotFormantView.h"
#include "app/ui/AnalysisWindowLinks.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielApp.h"
#include "app/ui/CommandRouting.h"
#include "core/COrielDoc.h"

namespace vocomet {

void COrielApp::OnPlotFormantsOpen() {
    if (!m_mainFrame)
        return;
    OpenPlotFormantWindow(*m_mainFrame->MdiArea(), *m_prompts, m_state.settings.placements[kPlacementFormantPlot],
                          [this] { return MakeDocument(); });
}

void AddPlotFormantCommands(CMainFrame& frame, std::function<void()> onOpen) {
    auto* menu = new QMenu(QStringLiteral("&PlotFormants"), &frame);
    frame.menuBar()->insertMenu(frame.WindowMenu()->menuAction(), menu);
    menu->addAction(QStringLiteral("&Open..."), &frame, std::move(onOpen));
    menu->addSeparator();
    QMdiArea* area = frame.MdiArea();
    const auto active = [area]() -> CFormPlotFormantView* {
        auto* f = qobject_cast<CFormPlotFormantFrame*>(area->activeSubWindow());
        return f ? f->GetView() : nullptr;
    };
    struct Command {
        const char* text;
        void (*run)(CFormPlotFormantView&);
        bool (*enabled)(const CFormPlotFormantView&);
    };
    static const Command commands[] = {
        {"&Save", [](CFormPlotFormantView& v) { v.SavePlotFormantFile(); },
         [](const CFormPlotFormantView& v) { return v.IsModified(); }},
        {"Save &As...", [](CFormPlotFormantView& v) { v.OnSaveAs(); },
         [](const CFormPlotFormantView&) { return true; }},
        {"&Delete Row", [](CFormPlotFormantView& v) { v.OnDeleteRow(); },
         [](const CFormPlotFormantView& v) { return v.CanDeleteRow(); }},
        {"&Insert Row", [](CFormPlotFormantView& v) { v.OnInsertRow(); },
         [](const CFormPlotFormantView&) { return true; }},
        {"Save As &bmp...", [](CFormPlotFormantView& v) { v.OnSaveAsBmp(); },
         [](const CFormPlotFormantView& v) { return v.IsLoaded(); }},
        {"&Print...", [](CFormPlotFormantView& v) { v.OnPrint(); },
         [](const CFormPlotFormantView& v) { return v.IsLoaded(); }},
    };
    for (const Command& c : commands) {
        QAction* action = menu->addAction(QString::fromLatin1(c.text), &frame, [active, run = c.run] {
            if (CFormPlotFormantView* v = active())
                run(*v);
        });
        // The formant plot's own commands: only its window handles them.
        CommandHandler handler;
        handler.handles = [](QMdiSubWindow* w) { return qobject_cast<CFormPlotFormantFrame*>(w) != nullptr; };
        handler.enabled = [enabled = c.enabled](QMdiSubWindow* w, QAction&) {
            const auto* f = qobject_cast<CFormPlotFormantFrame*>(w);
            return f && f->GetView() && enabled(*f->GetView());
        };
        DeclareCommand(action, std::move(handler));
    }
}

}  // namespace vocomet
