#include "app/ui/CChildFrame.h"

#include <QCloseEvent>

#include "app/ui/COrielView.h"
#include "core/COrielDoc.h"

namespace vocomet {

CChildFrame::CChildFrame(std::unique_ptr<COrielDoc> document, QWidget* parent)
    : QMdiSubWindow(parent), m_document(std::move(document)) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_view = new COrielView(*m_document, this);
    setWidget(m_view);
    resize(900, 500);
    UpdateTitle();
}

CChildFrame::~CChildFrame() = default;

void CChildFrame::UpdateTitle() {
    const QString title = QString::fromStdString(m_document->GetTitle());
    setWindowTitle(title);
}

void CChildFrame::closeEvent(QCloseEvent* event) {
    if (!m_document->SaveModified()) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
}

}  // namespace vocomet
