#include "app/ui/CFormControl.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <exception>

#include "app/StatusTable.h"
#include "widgets/GridTableView.h"

namespace vocomet {

CFormControl::CFormControl(QWidget* parent) : QWidget(parent) {
    SetUpStatusColumns(m_grid);
    m_cursorCaption = new QLabel(QStringLiteral("Cursor(ms): "), this);
    m_durationCaption = new QLabel(QStringLiteral("Duration (ms): "), this);
    m_cursorText = new QLabel(this);
    m_durationText = new QLabel(this);
    for (QLabel* l : {m_cursorText, m_durationText}) {
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    m_table = new GridTableView(m_grid, this);
    m_table->setObjectName(QStringLiteral("valueTable"));
}

// The table listens to the grid: it goes before the grid member does.
CFormControl::~CFormControl() { delete m_table; }

QRect CFormControl::DialogRect(int x, int y, int w, int h) const {
    // Dialog units: a quarter of the average character width, an eighth of the line height.
    const QFontMetrics fm(font());
    const int bx = std::max(fm.averageCharWidth(), 1);
    const int by = std::max(fm.height(), 1);
    return QRect(x * bx / 4, y * by / 8, w * bx / 4, h * by / 8);
}

void CFormControl::OnInitialUpdate() { ArrangeControls(); }

void CFormControl::ArrangeControls() {
    // Captions get at least their text's width, and each read-out starts after its caption.
    auto place = [this](QLabel* caption, QLabel* text, QRect captionRect, QRect textRect) {
        captionRect.setWidth(std::max(captionRect.width(), caption->sizeHint().width()));
        caption->setGeometry(captionRect);
        textRect.moveLeft(std::max(textRect.left(), captionRect.right() + 3));
        text->setGeometry(textRect);
    };
    place(m_cursorCaption, m_cursorText, DialogRect(4, 5, 46, 10), DialogRect(51, 4, 69, 11));
    place(m_durationCaption, m_durationText,
          DialogRect(131, 5, 47, 10).translated(std::max(m_cursorText->geometry().right() + 10 -
                                                              DialogRect(131, 5, 47, 10).left(), 0), 0),
          DialogRect(179, 4, 69, 11));
    // The table fills the client area below the read-outs, all of it visible.
    const QRect client = rect();
    m_table->setGeometry(client.left(), client.top() + 50, std::max(client.width() - 2, 0),
                         std::max(client.height() - 50, 0));
}

void CFormControl::FillTable(const COrielDoc* document) {
    m_document = document;
    try {
        FillStatusTable(m_grid, document);
    } catch (const std::exception&) {
        QMessageBox::warning(this, QApplication::applicationDisplayName(),
                             QStringLiteral("Error in setting up the data table-- Form Control--"));
    }
}

void CFormControl::SetCellDouble(int row, int column, double value) { m_grid.SetCellDouble(row, column, value); }

void CFormControl::SetCursorText(const QString& text) {
    if (m_cursorText->text() != text)
        m_cursorText->setText(text);
}

void CFormControl::SetDurationText(const QString& text) {
    if (m_durationText->text() != text)
        m_durationText->setText(text);
}

void CFormControl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ArrangeControls();
}

}  // namespace vocomet
