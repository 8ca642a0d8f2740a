#include "app/ui/CChildFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>

#include "app/ui/COrielView.h"
#include "core/COrielDoc.h"

namespace vocomet {

CChildFrame::CChildFrame(std::unique_ptr<COrielDoc> document, QWidget* parent)
    : QMdiSubWindow(parent), m_document(std::move(document)) {
    setAttribute(Qt::WA_DeleteOnClose);
    m_view = new COrielView(*m_document, this);
    setWidget(m_view);
    // Ctrl+W is Zoom > From Cursor for Duration; the frame still closes with
    // Ctrl+F4 and its window menu.
    if (QMenu* menu = systemMenu()) {
        for (QAction* action : menu->actions()) {
            QList<QKeySequence> keys = action->shortcuts();
            if (keys.removeAll(QKeySequence(Qt::CTRL | Qt::Key_W)) > 0)
                action->setShortcuts(keys);
        }
    }
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
