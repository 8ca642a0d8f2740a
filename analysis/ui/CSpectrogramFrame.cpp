#include "analysis/ui/CSpectrogramFrame.h"

#include <QMoveEvent>
#include <QResizeEvent>

#include "analysis/ui/CSpectrogramView.h"
#include "core/COrielDoc.h"

namespace vocomet {

CSpectrogramFrame::CSpectrogramFrame(COrielDoc& doc, WindowPlacement& placement, QWidget* parent)
    : QMdiSubWindow(parent), m_doc(doc), m_placement(placement) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("spectrogramFrame"));
    m_view = new CSpectrogramView(doc, this);
    setWidget(m_view);
    OnUpdateFrameTitle();
}

CSpectrogramFrame::~CSpectrogramFrame() = default;

void CSpectrogramFrame::OnUpdateFrameTitle() {
    setWindowTitle(QString::fromStdString(m_doc.GetTitle()) + QString::fromLatin1(kSpectrogramTitleSuffix));
}

void CSpectrogramFrame::StorePlacement() {
    if (!m_storePlacement || isMaximized() || isMinimized())
        return;
    const QRect g = geometry();
    m_placement = {g.x(), g.y(), g.width(), g.height()};
}

void CSpectrogramFrame::showEvent(QShowEvent* event) {
    QMdiSubWindow::showEvent(event);
    // Placed by its opener: from here on the window is placed by the user.
    m_storePlacement = true;
}

void CSpectrogramFrame::moveEvent(QMoveEvent* event) {
    QMdiSubWindow::moveEvent(event);
    StorePlacement();
}

void CSpectrogramFrame::resizeEvent(QResizeEvent* event) {
    QMdiSubWindow::resizeEvent(event);
    StorePlacement();
}

void CSpectrogramFrame::OnFilePrint() { m_view->OnFilePrint(); }
void CSpectrogramFrame::OnFilePrintPreview() { m_view->OnFilePrintPreview(); }
void CSpectrogramFrame::OnFileSaveAsBmp() { m_view->OnFileSaveAsBmp(); }
bool CSpectrogramFrame::HasLogCommand(std::string_view text) const { return m_view->HasLogCommand(text); }
bool CSpectrogramFrame::CanLogCommand(std::string_view text) const { return m_view->CanLogCommand(text); }
void CSpectrogramFrame::OnLogCommand(std::string_view text) { m_view->OnLogCommand(text); }

}  // namespace vocomet
