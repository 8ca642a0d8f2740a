// The main view's analysis window openers and the Analysis menu items.

#include "app/ui/ViewAnalysisOpeners.h"

#include <QAction>
#include <QKeySequence>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <exception>
#include <memory>
#include <utility>
#include <vector>

#include "analysis/AnalysisServices.h"
#include "analysis/ChannelSampleSource.h"
#include "analysis/ui/CFFTLPCFrame.h"
#include "analysis/ui/CFFTLPCView.h"
#include "analysis/ui/CPitchFrame.h"
#include "analysis/ui/CSpectrogramFrame.h"
#include "windows/AnalysisWindowCommands.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CFrameLog.h"
#include "app/ui/CommandRouting.h"
#include "app/ui/COrielView.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/File.h"

namespace vocomet {

AnalysisWindowTemplates& AnalysisTemplates() {
    static AnalysisWindowTemplates templates;
    return templates;
}

WindowPlacement TakePlacement(WindowPlacement& stored, const WindowPlacement& fallback, bool storeDefault) {
    if (!IsUnplaced(stored))
        return stored;
    if (storeDefault)
        stored = fallback;
    return fallback;
}

namespace {

QMdiArea* AreaOf(QWidget* w) {
    for (QWidget* p = w; p; p = p->parentWidget())
        if (auto* sub = qobject_cast<QMdiSubWindow*>(p))
            return sub->mdiArea();
    return nullptr;
}

void CannotCreate(COrielDoc& doc) {
    doc.Prompts().Beep();
    doc.Prompts().Message(kCannotCreateView, platform::Buttons::Ok, platform::Icon::Warning);
}

// The analysis windows of a document go with its main frame.
void CloseWithDocumentFrame(QWidget* view, QMdiSubWindow* analysis) {
    for (QWidget* p = view; p; p = p->parentWidget()) {
        if (qobject_cast<QMdiSubWindow*>(p)) {
            QObject::connect(p, &QObject::destroyed, analysis, [analysis] { analysis->close(); });
            return;
        }
    }
}

void Place(QMdiSubWindow* frame, const WindowPlacement& p) {
    frame->setGeometry(p[0], p[1], std::max(p[2], 1), std::max(p[3], 1));
}

// A pitch or spectrogram window made from its template and placed in the
// MDI area at its slot; an empty result (after the message) when there is
// no template or making it failed.
template <typename Service, typename Make>
AnalysisFrame<Service> MakePlacedFrame(COrielDoc& doc, QMdiArea* area, Make& make, WindowPlacement& slot,
                                       const WindowPlacement& fallback) {
    if (!make || !area) {
        CannotCreate(doc);
        return {};
    }
    const WindowPlacement at = TakePlacement(slot, fallback, true);
    AnalysisFrame<Service> made;
    try {
        made = make(doc);
    } catch (const std::exception&) {
        made = {};
    }
    if (!made.frame || !made.view) {
        delete made.frame;
        CannotCreate(doc);
        return {};
    }
    area->addSubWindow(made.frame);
    Place(made.frame, at);
    return made;
}

}  // namespace

CFFTLPCFrame* COrielView::OpenFftLpcFrame(bool average) {
    QMdiArea* area = AreaOf(this);
    WindowPlacement& stored = m_doc.App().settings.placements[kPlacementFftLpc];
    // The marker command keeps the default it used; the average does not.
    const WindowPlacement at = TakePlacement(stored, kFftLpcDefaultPlacement, !average);
    CFFTLPCFrame* frame = nullptr;
    try {
        frame = new CFFTLPCFrame(m_doc, stored);
    } catch (const std::exception&) {
        CannotCreate(m_doc);
        return nullptr;
    }
    if (!area) {
        delete frame;
        CannotCreate(m_doc);
        return nullptr;
    }
    area->addSubWindow(frame);
    Place(frame, at);
    frame->hide();
    frame->SetCaptionSuffix(QString::fromLatin1(average ? kFftLpcAverageSuffix : kFftLpcMarkerSuffix));
    CFFTLPCView* view = frame->GetView();
    view->logFrame = [v = QPointer<COrielView>(this)]() -> CFrameLog* { return v ? v->LogFrame() : nullptr; };

    const int index = AnalysedChannel(m_doc);
    if (index >= 0) {
        const CChannels& ch = m_doc.Channel(index);
        const double first = average ? ch.selStartSample : ch.markerSample;
        const double last = average ? ch.selEndSample : ch.markerSample;
        try {
            view->SetData(ChannelSampleSource::FromChannel(ch), first, last, ch.sampleCount, ch.rate,
                          m_doc.settings.fftLpc);
        } catch (const std::exception&) {
            // Refused or failed: the window goes, leaving the placement as
            // it was before it came.
            frame->StopStoringPlacement();
            area->removeSubWindow(frame);
            delete frame;
            return nullptr;
        }
    }
    CloseWithDocumentFrame(this, frame);
    frame->show();
    area->setActiveSubWindow(frame);
    return frame;
}

CFFTLPCFrame* COrielView::OpenFFTLPCWindow() { return OpenFftLpcFrame(false); }

CFFTLPCFrame* COrielView::OpenAverageFFTLPCWindow() { return OpenFftLpcFrame(true); }

void COrielView::OpenPitchWindow() {
    QMdiArea* area = AreaOf(this);
    const AnalysisFrame<PitchViewService> made = MakePlacedFrame<PitchViewService>(
        m_doc, area, AnalysisTemplates().pitch, m_doc.App().settings.placements[kPlacementPitch],
        kPitchDefaultPlacement);
    if (!made.frame)
        return;
    const int index = AnalysedChannel(m_doc);
    try {
        if (index >= 0)
            made.view->SetChannel(index);
    } catch (const std::exception&) {
        area->removeSubWindow(made.frame);
        delete made.frame;
        return;
    }
    CloseWithDocumentFrame(this, made.frame);
    made.frame->show();
    area->setActiveSubWindow(made.frame);
}

void COrielView::OpenSpectrogramWindow(int range) {
    QMdiArea* area = AreaOf(this);
    const AnalysisFrame<SpectrogramViewService> made = MakePlacedFrame<SpectrogramViewService>(
        m_doc, area, AnalysisTemplates().spectrogram, m_doc.App().settings.placements[kPlacementSpectrogram],
        kSpectrogramDefaultPlacement);
    if (!made.frame)
        return;
    made.frame->hide();
    const int index = AnalysedChannel(m_doc);
    if (index >= 0) {
        CChannels& ch = m_doc.Channel(index);
        double s0 = 0.0, s1 = ch.sampleCount, t0 = 0.0, t1 = ch.duration;
        if (range == 1) {
            s0 = ch.selStartSample;
            s1 = ch.selEndSample;
            t0 = ch.selStartTime;
            t1 = ch.selEndTime;
        } else if (range == 2) {
            s0 = ch.shownStart;
            s1 = ch.shownEnd;
            t0 = ch.shownStartTime;
            t1 = ch.shownEndTime;
        }
        try {
            made.view->SetAnalysisSettings(m_doc.GetDataFile(), ch.sampleCount, ch.rate, s0, s1, t0, t1,
                                           m_doc.settings.spectrogram);
        } catch (const std::exception&) {
            area->removeSubWindow(made.frame);
            delete made.frame;
            return;
        }
    }
    CloseWithDocumentFrame(this, made.frame);
    made.frame->show();
    area->setActiveSubWindow(made.frame);
}

void COrielView::OnAnalysisSpectrogramAll() { OpenSpectrogramWindow(0); }
void COrielView::OnAnalysisSpectrogramSelection() { OpenSpectrogramWindow(1); }
void COrielView::OnAnalysisSpectrogramWindow() { OpenSpectrogramWindow(2); }

void COrielView::PlaceAnalysisWindows() {
    QMdiArea* area = AreaOf(this);
    if (!area)
        return;
    const auto& placements = m_doc.App().settings.placements;
    for (QMdiSubWindow* w : area->subWindowList()) {
        auto* f = qobject_cast<PlacedAnalysisFrame*>(w);
        if (!f || &f->GetDocument() != &m_doc)
            continue;
        int slot = -1;
        if (qobject_cast<CFFTLPCFrame*>(f))
            slot = kPlacementFftLpc;
        else if (qobject_cast<CSpectrogramFrame*>(f))
            slot = kPlacementSpectrogram;
        else if (qobject_cast<CPitchFrame*>(f))
            slot = kPlacementPitch;
        if (slot < 0)
            continue;
        const WindowPlacement& p = placements[slot];
        if (!IsUnplaced(p) && p[2] > 0 && p[3] > 0)
            f->setGeometry(p[0], p[1], p[2], p[3]);
    }
}

void AddAnalysisWindowCommands(CMainFrame& frame, std::function<CChildFrame*()> activeFrame) {
    QMenu* menu = frame.AnalysisMenu();
    const auto viewOf = [activeFrame]() -> COrielView* {
        CChildFrame* f = activeFrame ? activeFrame() : nullptr;
        return f ? f->GetView() : nullptr;
    };
    const auto add = [&](QMenu* to, const char* text, QKeySequence keys, std::function<void()> command) {
        return to->addAction(QString::fromLatin1(text), keys, &frame, std::move(command));
    };
    const auto onView = [viewOf](void (COrielView::*command)()) {
        return [viewOf, command] {
            if (COrielView* v = viewOf())
                (v->*command)();
        };
    };
    if (!menu->isEmpty())
        menu->addSeparator();
    DeclareViewCommand(add(menu, "FFT/LPC", QKeySequence(Qt::CTRL | Qt::Key_F),
                           [viewOf] {
                               if (COrielView* v = viewOf())
                                   v->OpenFFTLPCWindow();
                           }),
                       ViewCommand::AnalysisFftLpc);
    DeclareViewCommand(add(menu, "FFT/LPC Selection", {},
                           [viewOf] {
                               if (COrielView* v = viewOf())
                                   v->OpenAverageFFTLPCWindow();
                           }),
                       ViewCommand::AnalysisFftLpcSelection);
    // The pitch and spectrogram commands light up once their windows have
    // registered.
    const auto spectrogram = [] { return static_cast<bool>(AnalysisTemplates().spectrogram); };
    DeclareViewCommand(add(menu, "Spectrogram All", QKeySequence(Qt::CTRL | Qt::Key_G),
                           onView(&COrielView::OnAnalysisSpectrogramAll)),
                       ViewCommand::AnalysisSpectrogramAll, spectrogram);
    DeclareViewCommand(add(menu, "Spectrogram Selection", QKeySequence(Qt::CTRL | Qt::Key_H),
                           onView(&COrielView::OnAnalysisSpectrogramSelection)),
                       ViewCommand::AnalysisSpectrogramSelection, spectrogram);
    DeclareViewCommand(add(menu, "Spectrogram Window", {}, onView(&COrielView::OnAnalysisSpectrogramWindow)),
                       ViewCommand::AnalysisSpectrogramWindow, spectrogram);
    DeclareViewCommand(add(menu, "Pitch", QKeySequence(Qt::CTRL | Qt::Key_L), onView(&COrielView::OpenPitchWindow)), ViewCommand::AnalysisPitch,
                       [] { return static_cast<bool>(AnalysisTemplates().pitch); });

    // The FFT/LPC window's own entries of the Log menu.
    QMenu* log = frame.LogMenu();
    QMdiArea* area = frame.MdiArea();
    for (const char* text : {kLogEnterFormants, kLogEnterAllFrame}) {
        QAction* action = add(log, text, {}, [area, text] {
            if (AnalysisWindowCommands* w = ActiveAnalysisWindow(area))
                w->OnLogCommand(text);
        });
        DeclareAnalysisCommand(
            action, [text](const AnalysisWindowCommands& w) { return w.HasLogCommand(text); },
            [text](const AnalysisWindowCommands& w) { return w.CanLogCommand(text); });
    }
}

}  // namespace vocomet
