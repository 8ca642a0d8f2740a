#include "analysis/ui/CPitchFrame.h"

#include "analysis/ui/CPitchPane.h"
#include "analysis/ui/CPitchView.h"
#include "widgets/PrintRoutines.h"
#include "core/COrielDoc.h"

namespace vocomet {

CPitchFrame::CPitchFrame(COrielDoc& doc, WindowPlacement& placement, QWidget* parent)
    : PlacedAnalysisFrame(doc, placement, true, parent) {
    setObjectName(QStringLiteral("pitchFrame"));
    m_view = new CPitchView(doc, this);
    setWidget(m_view);
    SetTitleSuffix(QString::fromLatin1(kPitchTitleSuffix));
}

CPitchFrame::~CPitchFrame() = default;

CPitchPane* CPitchFrame::Pane() const { return m_view ? m_view->Pane() : nullptr; }

// Printing and the export need the track; the commands of a window without
// one do nothing.
void CPitchFrame::OnFilePrint() {
    CPitchPane* pane = Pane();
    if (!pane || !pane->IsTrackValid())
        return;
    try {
        PrintWithDialog(this, [pane](QPainter& dc) { pane->PrintTrack(dc); });
    } catch (const std::exception&) {
    }
}

void CPitchFrame::OnFilePrintPreview() {
    CPitchPane* pane = Pane();
    if (!pane || !pane->IsTrackValid())
        return;
    try {
        PrintPreview(this, [pane](QPainter& dc) { pane->PrintTrack(dc); });
    } catch (const std::exception&) {
    }
}

void CPitchFrame::OnFileSaveAsBmp() {
    if (CPitchPane* pane = Pane())
        pane->SaveAsBmp();
}

bool CPitchFrame::HasLogCommand(std::string_view text) const {
    return text == kLogEnterPitchAtMarker || text == kLogEnterPitchSelection || text == kLogEnterPitchAll;
}

bool CPitchFrame::CanLogCommand(std::string_view text) const {
    const CPitchPane* pane = Pane();
    if (!pane)
        return false;
    if (text == kLogEnterPitchAtMarker)
        return pane->CanLogPitchAtMarker();
    if (text == kLogEnterPitchSelection)
        return pane->CanLogPitchSelection();
    if (text == kLogEnterPitchAll)
        return pane->CanLogPitchAll();
    return false;
}

void CPitchFrame::OnLogCommand(std::string_view text) {
    CPitchPane* pane = Pane();
    if (!pane)
        return;
    if (text == kLogEnterPitchAtMarker)
        pane->LogPitchAtMarker();
    else if (text == kLogEnterPitchSelection)
        pane->LogPitchSelection();
    else if (text == kLogEnterPitchAll)
        pane->LogPitchAll();
}

}  // namespace vocomet
