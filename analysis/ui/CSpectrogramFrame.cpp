#include "analysis/ui/CSpectrogramFrame.h"

#include "analysis/ui/CSpectrogramView.h"
#include "core/COrielDoc.h"

namespace vocomet {

CSpectrogramFrame::CSpectrogramFrame(COrielDoc& doc, WindowPlacement& placement, QWidget* parent)
    : PlacedAnalysisFrame(doc, placement, true, parent) {
    setObjectName(QStringLiteral("spectrogramFrame"));
    m_view = new CSpectrogramView(doc, this);
    setWidget(m_view);
    ForwardCommandsTo(m_view);
    SetTitleSuffix(QString::fromLatin1(kSpectrogramTitleSuffix));
}

CSpectrogramFrame::~CSpectrogramFrame() = default;


}  // namespace vocomet
