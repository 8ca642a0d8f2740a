#include "app/ui/CStatusWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>
#include <QPainter>
#include <exception>
#include <string>

#include "app/StatusTable.h"
#include "app/ui/CFormControl.h"

namespace vocomet {

CStatusWindow::CStatusWindow(QWidget* parent) : QWidget(parent, Qt::Tool) {}

bool CStatusWindow::CreateFormControl() {
    try {
        m_form = new CFormControl(this);
    } catch (const std::exception&) {
        m_form = nullptr;
    }
    if (!m_form) {
        QApplication::beep();
        QMessageBox::warning(this, QApplication::applicationDisplayName(),
                             QStringLiteral("Error in creating the form control."));
        return false;
    }
    m_form->setGeometry(rect());
    m_form->show();
    m_form->OnInitialUpdate();
    SetTitle(QString());
    return true;
}

void CStatusWindow::SetTitle(const QString& text) { setWindowTitle(QStringLiteral("StatusWindow::") + text); }

void CStatusWindow::ShowDocument(const void* owner, const COrielDoc* document) {
    m_owner = owner;
    if (m_form)
        m_form->FillTable(document);
    ShowCursorTime(nullptr, 0.0);
    ShowDuration(nullptr, 0.0);
}

namespace {

void UpdateReadout(const void* owner, const void* current, double ms, QString& kept) {
    std::string text = kept.toStdString();
    if (StatusReadoutText(owner, current, ms, text))
        kept = QString::fromStdString(text);
}

}  // namespace

void CStatusWindow::ShowCursorTime(const void* owner, double ms) {
    UpdateReadout(owner, m_owner, ms, m_cursorText);
    if (m_form)
        m_form->SetCursorText(m_cursorText);
}

void CStatusWindow::ShowDuration(const void* owner, double ms) {
    UpdateReadout(owner, m_owner, ms, m_durationText);
    if (m_form)
        m_form->SetDurationText(m_durationText);
}

void CStatusWindow::ShowCursorValue(const void* owner, int row, int column, double value) {
    if (!owner || owner != m_owner || !m_form)
        return;
    try {
        m_form->SetCellDouble(row, column, value);
    } catch (const std::exception&) {
        // Mouse tracking never reports a failure.
    }
}

void CStatusWindow::closeEvent(QCloseEvent* event) {
    // The window lives as long as the process: closing only hides it, where it is.
    event->ignore();
    hide();
}

void CStatusWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
}

void CStatusWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (!isMaximized() && !isMinimized())
        m_placement = QRect(pos(), size());
}

void CStatusWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_form) {
        m_form->setGeometry(rect());
        m_form->ArrangeControls();
    }
    if (!isMaximized() && !isMinimized())
        m_placement = QRect(pos(), size());
}

}  // namespace vocomet
