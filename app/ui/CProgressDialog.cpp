#include "app/ui/CProgressDialog.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "app/ui/CLabel.h"
#include "app/ui/QtText.h"

namespace vocomet {

namespace {
// Dialog units of the layout converted at 2 pixels a unit across, and about
// 2 a unit down, which is what the classic dialog font gives.
QRect Du(int x, int y, int w, int h) { return QRect(x * 2, y * 2, w * 2, h * 2); }
}  // namespace

CProgressDialog::CProgressDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_prompt(new CLabel(this)),
      m_text(new CLabel(this)),
      m_bar(new CLabel(this)) {
    setWindowTitle(QString());
    setFixedSize(Du(0, 0, 141, 54).size());
    setWindowModality(Qt::ApplicationModal);
    m_prompt->setGeometry(Du(29, 4, 83, 8));
    m_text->setGeometry(Du(3, 17, 134, 12));
    m_bar->setGeometry(Du(19, 39, 104, 9));
    m_bar->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_bar->hide();  // painted by the dialog itself, inside the bar's rectangle
    m_prompt->SetFontSize(16).SetTextColor(platform::Rgb(255, 0, 0)).SetText(QStringLiteral("Press mouse to Cancel"));
    m_prompt->setAlignment(Qt::AlignCenter);
}

QRect CProgressDialog::BarRect() const { return m_bar->geometry(); }

void CProgressDialog::SetProgressText(const QString& text) {
    m_text->SetFontSize(18).SetFontItalic(true).SetText(text);
}

void CProgressDialog::ShowProgress(double total, double done) {
    if (done <= 0 || !(total > 0)) {
        m_grey = true;
        m_filled = 0.0;
    } else {
        m_grey = false;
        m_filled = std::max(m_filled, std::clamp(done / total, 0.0, 1.0));
    }
    repaint(BarRect());
}

void CProgressDialog::SetText(const std::string& text) { SetProgressText(FromCp1252(text)); }

void CProgressDialog::SetFraction(double fraction) {
    if (!std::isfinite(fraction))
        fraction = 0.0;
    ShowProgress(1.0, std::clamp(fraction, 0.0, 1.0));
}

bool CProgressDialog::AbortRequested() {
    // Deliver waiting input: the modal window keeps it from the others.
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    return m_abort;
}

void CProgressDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_abort = true;
    QDialog::mousePressEvent(event);
}

void CProgressDialog::reject() { m_abort = true; }

void CProgressDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter p(this);
    const QRect bar = BarRect();
    p.fillRect(bar, QColor(200, 200, 200));
    if (!m_grey) {
        const int right = static_cast<int>(bar.width() * m_filled);
        p.fillRect(QRect(bar.left(), bar.top(), right, bar.height()), QColor(255, 0, 0));
    }
    p.setPen(palette().color(QPalette::Dark));
    p.drawRect(bar.adjusted(0, 0, -1, -1));
}

}  // namespace vocomet
