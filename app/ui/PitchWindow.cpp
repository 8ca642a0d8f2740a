#include "app/ui/PitchWindow.h"

#include <QAction>
#include <QKeySequence>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QVariant>

#include "analysis/ui/AnalysisWindowSupport.h"
#include "app/ui/AnalysisWindowLinks.h"
#include "analysis/ui/CPitchFrame.h"
#include "analysis/ui/CPitchPane.h"
#include "analysis/ui/CPitchView.h"
#include "windows/AnalysisWindowCommands.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CFrameLog.h"
#include "app/ui/COrielView.h"
#include "app/ui/CommandRouting.h"
#include "app/ui/MainFrameCommands.h"
#include "app/ui/ViewAnalysisOpeners.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"

namespace vocomet {

namespace {

CPitchPane* ActivePitchPane(QMdiArea* area) {
    auto* f = area ? qobject_cast<CPitchFrame*>(area->activeSubWindow()) : nullptr;
    return f ? f->Pane() : nullptr;
}

const CPitchPane* PaneOfCommands(const AnalysisWindowCommands& w) {
    const auto* f = dynamic_cast<const CPitchFrame*>(&w);
    return f ? f->Pane() : nullptr;
}

// An existing item of a shared menu acts for the pitch window while it is
// the active window, by the pane's rule.
void SharePitchAction(QAction* action, QObject* owner, QMdiArea* area, std::function<void(CPitchPane&)> run,
                      std::function<bool(const CPitchPane&)> enabled) {
    if (!action)
        return;
    QObject::connect(action, &QAction::triggered, owner, [area, run] {
        if (CPitchPane* pane = ActivePitchPane(area))
            run(*pane);
    });
    DeclareAnalysisCommand(
        action, [](const AnalysisWindowCommands& w) { return PaneOfCommands(w) != nullptr; },
        [enabled](const AnalysisWindowCommands& w) {
            const CPitchPane* pane = PaneOfCommands(w);
            return pane && enabled(*pane);
        });
}

}  // namespace

CPitchFrame* MakePitchFrame(CMainFrame& frame, COrielDoc& doc) {
    QMdiArea* area = frame.MdiArea();
    auto* made = new CPitchFrame(doc, doc.App().settings.placements[kPlacementPitch]);
    made->setProperty(kDocumentProperty, QVariant::fromValue(reinterpret_cast<quintptr>(&doc)));
    CPitchView* view = made->GetView();
    view->OnInitialUpdate();
    CPitchPane* pane = view->Pane();
    COrielDoc* d = &doc;
    pane->hooks.mainView = [area, d] { return MainViewOf(area, *d); };
    pane->hooks.spectrogramPane = [area, d]() -> AnalysisPane* {
        COrielView* v = MainViewOf(area, *d);
        return v && v->hooks.spectrogramPane ? v->hooks.spectrogramPane() : nullptr;
    };
    pane->hooks.logFrame = [area, d]() -> CFrameLog* {
        COrielView* v = MainViewOf(area, *d);
        return v ? v->LogFrame() : nullptr;
    };
    pane->hooks.closeWindow = [w = QPointer<CPitchFrame>(made)] {
        if (w)
            w->close();
    };
    // The main view passes its presses, moves and releases to the
    // document's pitch pane.
    if (COrielView* v = MainViewOf(area, doc); v && !v->hooks.pitchPane)
        v->hooks.pitchPane = [d]() -> AnalysisPane* { return d->pitchView ? d->pitchView->Pane() : nullptr; };
    OnDocumentFrameDestroyed(area, doc, view, [view] { view->DetachDocument(); });
    doc.pitchView = view;
    return made;
}

void RegisterPitchWindow(CMainFrame& frame) {
    CMainFrame* f = &frame;
    AnalysisTemplates().pitch = [f](COrielDoc& doc) -> AnalysisFrame<PitchViewService> {
        CPitchFrame* made = MakePitchFrame(*f, doc);
        return {made, made ? made->GetView() : nullptr};
    };
    QMdiArea* area = frame.MdiArea();
    QObject::connect(area, &QMdiArea::subWindowActivated, &frame, [](QMdiSubWindow* w) {
        if (auto* p = qobject_cast<CPitchFrame*>(w); p && p->GetView())
            p->GetView()->OnActivateView();
    });

    // Log: the window's three entries.
    AddAnalysisLogEntry(frame, kLogEnterPitchAtMarker, QKeySequence(Qt::CTRL | Qt::Key_M));
    AddAnalysisLogEntry(frame, kLogEnterPitchSelection, {});
    AddAnalysisLogEntry(frame, kLogEnterPitchAll, {});

    // Zoom: the pane's shown range.
    const struct {
        const char* text;
        PaneZoomMode mode;
    } zooms[] = {{"UnZoom", PaneZoomMode::UnZoom},    {"In", PaneZoomMode::In},
                 {"Out", PaneZoomMode::Out},          {"Selection", PaneZoomMode::Selection},
                 {"From Cursor for Duration", PaneZoomMode::FromCursor}, {"Home", PaneZoomMode::Home}};
    for (const auto& z : zooms) {
        const int mode = static_cast<int>(z.mode);
        SharePitchAction(
            ActionTexted(frame.ZoomMenu(), z.text), &frame, area, [mode](CPitchPane& p) {
                if (p.CanZoom(mode))
                    p.Zoom(mode);
            },
            [mode](const CPitchPane& p) { return p.CanZoom(mode); });
    }

    // Record/Play: the pane's play requests.
    QMenu* play = MenuNamed(frame, "recordPlayMenu");
    SharePitchAction(
        ActionTexted(play, "Play All"), &frame, area, [](CPitchPane& p) { p.PlayAll(); },
        [](const CPitchPane& p) { return p.CanPlay(1); });
    SharePitchAction(
        ActionTexted(play, "Play Selection"), &frame, area, [](CPitchPane& p) { p.PlaySelection(); },
        [](const CPitchPane& p) { return p.CanPlay(2); });
    SharePitchAction(
        ActionTexted(play, "Play Window"), &frame, area, [](CPitchPane& p) { p.PlayWindow(); },
        [](const CPitchPane& p) { return p.CanPlay(3); });
}

}  // namespace vocomet
