#include "acquisition/ui/CFormRecordScopeFrame.h"

#include <QCloseEvent>
#include <QTimer>

#include "acquisition/ui/CFormRecordScope.h"

namespace vocomet {

CFormRecordScopeFrame::CFormRecordScopeFrame(COrielDoc& doc, std::shared_ptr<platform::File> recordingFile,
                                             CUSBThread* worker, WindowPlacement& placement, QWidget* parent)
    : QMdiSubWindow(parent), m_placement(placement) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("recordScopeFrame"));
    m_form = new CFormRecordScope(doc, std::move(recordingFile), worker, this);
    setWidget(m_form);
    setWindowTitle(QString::fromLatin1(kRecordScopeTitle));
    // Save and Cancel close the frame once their question is answered.
    m_form->closeFrame = [this] {
        m_closing = true;
        QTimer::singleShot(0, this, [this] { close(); });
    };
}

CFormRecordScopeFrame::~CFormRecordScopeFrame() = default;

void CFormRecordScopeFrame::closeEvent(QCloseEvent* event) {
    if (!m_closing && m_form && !m_form->QuerySaveAndClose()) {
        event->ignore();
        return;
    }
    m_closing = true;
    QMdiSubWindow::closeEvent(event);
}

void CFormRecordScopeFrame::StorePlacement() {
    if (isMinimized() || isMaximized())
        return;
    const QRect g = geometry();
    m_placement = {g.left(), g.top(), g.width(), g.height()};
}

void CFormRecordScopeFrame::moveEvent(QMoveEvent* event) {
    QMdiSubWindow::moveEvent(event);
    StorePlacement();
}

void CFormRecordScopeFrame::resizeEvent(QResizeEvent* event) {
    QMdiSubWindow::resizeEvent(event);
    StorePlacement();
}

}  // namespace vocomet
