#include "app/ui/ViewRendal.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

#include "acquisition/CUSB2Thread.h"
#include "acquisition/ui/CFormRecordRendal.h"
#include "acquisition/ui/CScopeView.h"
#include "app/PlayRoute.h"
#include "app/ui/COrielView.h"
#include "app/ui/ViewPlay.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/RendalRecording.h"
#include "platform/File.h"

#include <atomic>
#include <cstdio>

namespace vocomet {

namespace {

constexpr WindowPlacement kDefaultRecordFormPlacement{50, 50, 700, 400};

}  // namespace

void InstallRendalRecordRoad(COrielView& view) {
    QPointer<COrielView> v(&view);
    view.hooks.startRecording = [v] {
        if (!v)
            return;
        const AcquisitionState& a = v->GetDocument().App().acquisition;
        if (!a.audioBoxPresent && a.rendalPresent)
            v->StartRendalRecording();
        else
            v->StartRecording();
    };
}

void COrielView::StartRendalRecording() {
    QMdiSubWindow* frame = nullptr;
    for (QWidget* w = parentWidget(); w && !frame; w = w->parentWidget())
        frame = qobject_cast<QMdiSubWindow*>(w);
    QMdiArea* area = frame ? frame->mdiArea() : nullptr;
    // The scope streams from the same device: it goes before the recording.
    if (auto* mainFrame = qobject_cast<QMainWindow*>(window()))
        if (CScopeChildFrame* scope = OpenScopeFrame(*mainFrame))
            scope->CloseScopeWindow();
    WindowPlacement& placement = m_doc.App().settings.placements[kPlacementRecordForms];
    if (IsUnplaced(placement))
        placement = kDefaultRecordFormPlacement;
    const WindowPlacement at = placement;

    // A fresh recording file; one left from an earlier recording goes.
    try {
        if (!NewRendalRecordingFile(m_doc)) {
            m_doc.Prompts().Beep();
            return;
        }
    } catch (const std::exception&) {
        m_doc.Prompts().Beep();
        return;
    }
    if (!area) {
        m_doc.Prompts().Beep();
        m_doc.Prompts().Message("Error in creating the requested view.", platform::Buttons::Ok, platform::Icon::Error);
        return;
    }
    auto* recordFrame = new CFormRecordRendalFrame(m_doc, m_doc.Prompts(), frame);
    area->addSubWindow(recordFrame);
    recordFrame->setGeometry(at[0], at[1], at[2], at[3]);
    QPointer<COrielView> view(this);
    recordFrame->Form()->onRecordingLoaded = [view] {
        if (view)
            view->OnRecordingLoaded();
    };
    recordFrame->show();
    recordFrame->Form()->OnInitialUpdate();

    selectionShown = false;
    markerShown = false;
    labelMode = false;
    ApplyZoom(5);
}

bool COrielView::StopRendalPlayback() { return m_playback && m_playback->StopRendal(); }

}  // namespace vocomet
