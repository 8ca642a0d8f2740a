#include "app/ui/SpectrogramWindow.h"

#include <QAction>
#include <QKeySequence>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <exception>
#include <utility>
#include <vector>

#include "acquisition/ui/CFrameRecordPlay.h"
#include "analysis/ui/AnalysisWindowSupport.h"
#include "app/ui/AnalysisWindowLinks.h"
#include "analysis/ui/CFormPlotFormantFrame.h"
#include "analysis/ui/CSpectrogramFrame.h"
#include "analysis/ui/CSpectrogramPane.h"
#include "analysis/ui/CSpectrogramView.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CFrameLog.h"
#include "app/ui/CommandRouting.h"
#include "app/ui/COrielView.h"
#include "windows/AnalysisWindowCommands.h"
#include "app/ui/MainFrameCommands.h"
#include "app/ui/ViewAnalysisOpeners.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"

namespace vocomet {

namespace {

CSpectrogramPane* ActivePane(QMdiArea* area) {
    auto* f = qobject_cast<CSpectrogramFrame*>(area->activeSubWindow());
    return f && f->GetView() ? f->GetView()->Pane() : nullptr;
}

bool IsSpectrogram(QMdiSubWindow* active) { return qobject_cast<CSpectrogramFrame*>(active) != nullptr; }

CSpectrogramPane* PaneOf(QMdiSubWindow* active) {
    auto* f = qobject_cast<CSpectrogramFrame*>(active);
    return f && f->GetView() ? f->GetView()->Pane() : nullptr;
}

// A command of the spectrogram window: handled while it is the active
// window, enabled by its rule, run on its pane. An item that other windows
// handle too keeps their handlers; its own handler does nothing while the
// spectrogram is active.
void DeclareSpectrogramCommand(QAction* action, QObject* owner, QMdiArea* area,
                               std::function<void(CSpectrogramPane&)> run,
                               std::function<bool(CSpectrogramPane&)> enabled) {
    if (!action)
        return;
    CommandHandler handler;
    handler.level = CommandLevel::View;
    handler.handles = IsSpectrogram;
    handler.enabled = [enabled](QMdiSubWindow* active, QAction&) {
        CSpectrogramPane* pane = PaneOf(active);
        return pane && enabled && enabled(*pane);
    };
    DeclareCommand(action, std::move(handler));
    if (run)
        QObject::connect(action, &QAction::triggered, owner, [area, run, enabled] {
            if (CSpectrogramPane* pane = ActivePane(area); pane && enabled && enabled(*pane))
                run(*pane);
        });
}

}  // namespace

CSpectrogramFrame* MakeSpectrogramFrame(CMainFrame& frame, COrielDoc& doc) {
    QMdiArea* area = frame.MdiArea();
    auto* made = new CSpectrogramFrame(doc, doc.App().settings.placements[kPlacementSpectrogram]);
    made->setProperty(kDocumentProperty, QVariant::fromValue(reinterpret_cast<quintptr>(&doc)));
    CSpectrogramView* view = made->GetView();
    view->OnInitialUpdate();
    CSpectrogramPane* pane = view->Pane();
    if (!pane) {
        delete made;
        return nullptr;
    }
    COrielDoc* d = &doc;
    pane->hooks.mainView = [area, d] { return MainViewOf(area, *d); };
    pane->hooks.pitchPane = [area, d]() -> AnalysisPane* {
        COrielView* v = MainViewOf(area, *d);
        return v && v->hooks.pitchPane ? v->hooks.pitchPane() : nullptr;
    };
    pane->hooks.logFrame = [area, d]() -> CFrameLog* {
        COrielView* v = MainViewOf(area, *d);
        return v ? v->LogFrame() : nullptr;
    };
    pane->hooks.addPlotWindow = [area](CFormPlotFormantFrame* plot) {
        area->addSubWindow(plot);
    };
    // The main view passes its presses, moves and releases to the
    // document's spectrogram view's pane.
    if (COrielView* v = MainViewOf(area, doc); v && !v->hooks.spectrogramPane)
        v->hooks.spectrogramPane = [d]() -> AnalysisPane* {
            return d->spectrogramView ? d->spectrogramView->Pane() : nullptr;
        };
    // A document frame destroyed outright (not closed) takes its document
    // with it before this window goes: hidden, the window neither paints nor
    // computes, and it lets go of the document before it is deleted.
    OnDocumentFrameDestroyed(area, doc, made, [made, view] {
        view->DetachDocument();
        made->hide();
        made->deleteLater();
    });
    return made;
}

void RegisterSpectrogramWindow(CMainFrame& frame) {
    CMainFrame* f = &frame;
    AnalysisTemplates().spectrogram = [f](COrielDoc& doc) -> AnalysisFrame<SpectrogramViewService> {
        CSpectrogramFrame* made = MakeSpectrogramFrame(*f, doc);
        if (!made)
            return {};
        return {made, made->GetView()};
    };
    // The template makes windows in this frame only while it lives.
    QObject::connect(&frame, &QObject::destroyed, [] { AnalysisTemplates().spectrogram = {}; });
    QMdiArea* area = frame.MdiArea();
    QObject::connect(area, &QMdiArea::subWindowActivated, &frame, [](QMdiSubWindow* w) {
        if (auto* s = qobject_cast<CSpectrogramFrame*>(w); s && s->GetView())
            s->GetView()->OnActivateView();
    });

    // Log: the two formant entries of the window.
    AddAnalysisLogEntry(frame, kSpectrogramLogEnterFormantsAtMarker, QKeySequence(Qt::CTRL | Qt::Key_J));
    AddAnalysisLogEntry(frame, kSpectrogramLogEnterFormantsSelection, {});

    // PlotFormants: the tracked formants into a new plot.
    if (QMenu* plot = MenuNamed(frame, "plotFormantsMenu", QStringLiteral("&PlotFormants"))) {
        plot->addSeparator();
        for (int selection : {0, 1}) {
            QAction* a = plot->addAction(selection ? QStringLiteral("Plot Selection") : QStringLiteral("Plot All"));
            DeclareSpectrogramCommand(
                a, &frame, area, [selection](CSpectrogramPane& p) { p.PlotFormants(selection); },
                [selection](CSpectrogramPane& p) { return p.CanPlotFormants(selection); });
        }
    }

    // Record/Play: the window plays its selection or its range; no Play All.
    if (QMenu* play = MenuNamed(frame, "recordPlayMenu", QStringLiteral("&Record/Play"))) {
        DeclareSpectrogramCommand(ActionTexted(play, "Play All"), &frame, area, nullptr,
                                  [](CSpectrogramPane&) { return false; });
        DeclareSpectrogramCommand(
            ActionTexted(play, "Play Selection"), &frame, area, [](CSpectrogramPane& p) { p.PlaySelection(); },
            [](CSpectrogramPane& p) { return p.CanPlaySelection(); });
        DeclareSpectrogramCommand(
            ActionTexted(play, "Play Window"), &frame, area, [](CSpectrogramPane& p) { p.PlayWindow(); },
            [](CSpectrogramPane& p) { return p.CanPlayWindow(); });
    }

    // Options > Record/Play: brings the record/play options window up as it is.
    QMenu* options = frame.OptionsMenu();
    QAction* recordPlay = ActionTexted(options, "Record/Play...");
    if (!recordPlay)
        recordPlay = ActionTexted(options, "Sonetta Play...");
    DeclareSpectrogramCommand(
        recordPlay, &frame, area,
        [](CSpectrogramPane& p) {
            if (CFrameRecordPlay* w = p.GetDocument().App().acquisition.recordPlayFrame) {
                w->show();
                w->raise();
            }
        },
        [](CSpectrogramPane&) { return true; });

    // Analysis: the document's main view opens its FFT/LPC and pitch windows.
    QMenu* analysis = frame.AnalysisMenu();
    const auto ready = [area](CSpectrogramPane& p) -> COrielView* {
        COrielView* v = MainViewOf(area, p.GetDocument());
        return v && p.GetDocument().IsDataLoaded() && p.IsSpectrogramValid() ? v : nullptr;
    };
    DeclareSpectrogramCommand(
        ActionTexted(analysis, "FFT/LPC"), &frame, area, [ready](CSpectrogramPane& p) { ready(p)->OpenFFTLPCWindow(); },
        [ready](CSpectrogramPane& p) {
            COrielView* v = ready(p);
            return v && v->markerShown;
        });
    DeclareSpectrogramCommand(
        ActionTexted(analysis, "FFT/LPC Selection"), &frame, area,
        [ready](CSpectrogramPane& p) { ready(p)->OpenAverageFFTLPCWindow(); },
        [ready](CSpectrogramPane& p) {
            COrielView* v = ready(p);
            return v && v->selectionShown;
        });
    DeclareSpectrogramCommand(
        ActionTexted(analysis, "Pitch"), &frame, area, [ready](CSpectrogramPane& p) { ready(p)->OpenPitchWindow(); },
        [ready](CSpectrogramPane& p) { return ready(p) != nullptr && static_cast<bool>(AnalysisTemplates().pitch); });
}

}  // namespace vocomet
