#include "analysis/ui/CFFTLPCFrame.h"

#include <QMoveEvent>
#include <QResizeEvent>

#include "analysis/ui/CFFTLPCView.h"
#include "core/COrielDoc.h"

namespace vocomet {

CFFTLPCFrame::CFFTLPCFrame(COrielDoc& doc, WindowPlacement& placement, QWidget* parent)
    : QMdiSubWindow(parent), m_doc(doc), m_placement(placement) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_view = new CFFTLPCView(doc, this);
    setWidget(m_view);
}

CFFTLPCFrame::~CFFTLPCFrame() = default;

void CFFTLPCFrame::SetCaptionSuffix(const QString& suffix) {
    m_suffix = suffix;
    OnUpdateFrameTitle();
    // From here on the window is placed by the user.
    m_storePlacement = true;
}

void CFFTLPCFrame::OnUpdateFrameTitle() {
    setWindowTitle(QString::fromStdString(m_doc.GetTitle()) + m_suffix);
}

void CFFTLPCFrame::StorePlacement() {
    if (!m_storePlacement || isMaximized() || isMinimized())
        return;
    const QRect g = geometry();
    m_placement = {g.x(), g.y(), g.width(), g.height()};
}

void CFFTLPCFrame::moveEvent(QMoveEvent* event) {
    QMdiSubWindow::moveEvent(event);
    StorePlacement();
}

void CFFTLPCFrame::resizeEvent(QResizeEvent* event) {
    QMdiSubWindow::resizeEvent(event);
    StorePlacement();
}

void CFFTLPCFrame::OnFilePrint() { m_view->OnFilePrint(); }
void CFFTLPCFrame::OnFilePrintPreview() { m_view->OnFilePrintPreview(); }
void CFFTLPCFrame::OnFileSaveAsBmp() { m_view->OnFileSaveAsBmp(); }
bool CFFTLPCFrame::HasLogCommand(std::string_view text) const { return m_view->HasLogCommand(text); }
bool CFFTLPCFrame::CanLogCommand(std::string_view text) const { return m_view->CanLogCommand(text); }
void CFFTLPCFrame::OnLogCommand(std::string_view text) { m_view->OnLogCommand(text); }

}  // namespace vocomet
