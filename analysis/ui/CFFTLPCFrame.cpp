#include "analysis/ui/CFFTLPCFrame.h"

#include "analysis/ui/CFFTLPCView.h"
#include "core/COrielDoc.h"

namespace vocomet {

CFFTLPCFrame::CFFTLPCFrame(COrielDoc& doc, WindowPlacement& placement, QWidget* parent)
    : PlacedAnalysisFrame(doc, placement, false, parent) {
    m_view = new CFFTLPCView(doc, this);
    setWidget(m_view);
    ForwardCommandsTo(m_view);
}

CFFTLPCFrame::~CFFTLPCFrame() = default;

void CFFTLPCFrame::SetCaptionSuffix(const QString& suffix) {
    SetTitleSuffix(suffix);
    // From here on the window is placed by the user.
    StartStoringPlacement();
}


}  // namespace vocomet
