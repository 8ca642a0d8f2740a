#include "widgets/CProgressDialog.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <climits>
#include <cmath>

#include "widgets/CLabel.h"
#include "widgets/QtText.h"

namespace vocomet {

namespace {

// Dialog units as a dialog manager derives them from the dialog's font: a
// quarter of the average width of the letters across, an eighth of the line
// height down.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font) {
        const QFontMetrics fm(font);
        const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        m_baseX = std::max(1, (fm.horizontalAdvance(letters) + 26) / 52);
        m_baseY = std::max(1, fm.height());
    }
    int X(int units) const { return (units * m_baseX + 2) / 4; }
    int Y(int units) const { return (units * m_baseY + 4) / 8; }
    QRect Rect(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }

private:
    int m_baseX;
    int m_baseY;
};

// The room a line of text takes in font; italic glyphs may reach past
// their advance.
QSize TextExtent(const QFont& font, const QString& text) {
    const QFontMetrics fm(font);
    return {std::max(fm.horizontalAdvance(text), fm.boundingRect(text).width()) + 2, fm.height()};
}

bool IsLeftPress(const QEvent* event) {
    return static_cast<const QMouseEvent*>(event)->button() == Qt::LeftButton;
}

}  // namespace

CProgressDialog::CProgressDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_prompt(new CLabel(this)),
      m_text(new CLabel(this)),
      m_bar(new CLabel(this)) {
    // The caption has no text. An empty title would make the window system
    // show the application's name instead, so the title is a blank.
    setWindowTitle(QStringLiteral(" "));
    m_bar->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_bar->hide();  // painted by the dialog itself, inside the bar's rectangle
    m_prompt->SetFontSize(16).SetTextColor(platform::Rgb(255, 0, 0)).SetText(QStringLiteral("Press mouse to Cancel"));
    m_prompt->setAlignment(Qt::AlignCenter);
    Relayout();
}

CProgressDialog::~CProgressDialog() { qApp->removeEventFilter(this); }

QRect CProgressDialog::BarRect() const { return m_bar->geometry(); }

void CProgressDialog::SetProgressText(const QString& text) {
    m_fullText = text;
    m_text->SetFontSize(18).SetFontItalic(true);
    Relayout();
}

void CProgressDialog::Relayout() {
    const DialogUnits du(font());
    const QRect promptAt = du.Rect(29, 4, 83, 8);
    const QRect textAt = du.Rect(3, 17, 134, 12);
    const QRect barAt = du.Rect(19, 39, 104, 9);
    const QSize dialogSize(du.X(141), du.Y(54));
    const int margin = textAt.left();

    // A text wider than the screen allows is shortened in its middle; the
    // whole of it stays in the tool tip.
    int maxWidth = INT_MAX / 2;
    if (const QScreen* s = screen())
        maxWidth = std::max(dialogSize.width(), s->availableGeometry().width() * 9 / 10);
    const int maxTextWidth = maxWidth - 2 * margin;
    QString shown = m_fullText;
    QSize textSize = TextExtent(m_text->font(), shown);
    if (textSize.width() > maxTextWidth) {
        shown = QFontMetrics(m_text->font()).elidedText(m_fullText, Qt::ElideMiddle, maxTextWidth - 4);
        textSize = TextExtent(m_text->font(), shown);
    }
    m_text->SetText(shown);
    m_text->setToolTip(shown == m_fullText ? QString() : m_fullText);
    const QSize promptSize = TextExtent(m_prompt->font(), m_prompt->text());

    // Rows grow to their text and push the rows below them down; the window
    // grows to the widest row. The prompt and the bar stay centred.
    const int promptWidth = std::max(promptAt.width(), promptSize.width());
    const int promptGrowth = std::max(0, promptSize.height() - promptAt.height());
    const int textGrowth = std::max(0, textSize.height() - textAt.height());
    const int width = std::max({dialogSize.width(), promptWidth + 2 * margin, textSize.width() + 2 * margin,
                                barAt.width() + 2 * margin});
    const int height = dialogSize.height() + promptGrowth + textGrowth;

    m_prompt->setGeometry((width - promptWidth) / 2, promptAt.top(), promptWidth,
                          promptAt.height() + promptGrowth);
    m_text->setGeometry(margin, textAt.top() + promptGrowth, width - 2 * margin, textAt.height() + textGrowth);
    m_bar->setGeometry((width - barAt.width()) / 2, barAt.top() + promptGrowth + textGrowth, barAt.width(),
                       barAt.height());
    // A window already shown grows about its centre.
    const QSize before = size();
    setFixedSize(width, height);
    if (isVisible() && before != size())
        move(pos() - QPoint((width - before.width()) / 2, (height - before.height()) / 2));
    update();
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
    // Deliver waiting events: paints, and the input the filter holds back.
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    return m_abort;
}

bool CProgressDialog::eventFilter(QObject* watched, QEvent* event) {
    // A message box opened meanwhile (a modal window of its own) gets its
    // input as usual.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this)
        return false;
    // Shortcuts come from key presses but reach their targets as events
    // that are not marked as the user's own; they are held back all the
    // same.
    if (event->type() == QEvent::ShortcutOverride) {
        // Claimed here, so no window's shortcut fires; the key then comes
        // as a key press, which is held back too.
        event->accept();
        return true;
    }
    if (event->type() == QEvent::Shortcut)
        return true;
    if (!event->spontaneous())
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonDblClick:
        if (IsLeftPress(event))
            m_abort = true;
        return true;
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            m_abort = true;
        return true;
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseMove:
    case QEvent::Wheel:
    case QEvent::KeyRelease:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
        return true;
    case QEvent::Close:
        // The windows stay open while the loop runs on them (a close event
        // left accepted would close its window all the same); closing this
        // one asks to cancel, and the caller closes it.
        if (!watched->isWidgetType() || !static_cast<QWidget*>(watched)->isWindow())
            return false;
        if (watched == this)
            m_abort = true;
        event->ignore();
        return true;
    default:
        return false;
    }
}

void CProgressDialog::showEvent(QShowEvent* event) {
    qApp->installEventFilter(this);
    QDialog::showEvent(event);
}

void CProgressDialog::hideEvent(QHideEvent* event) {
    qApp->removeEventFilter(this);
    QDialog::hideEvent(event);
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
