#include "widgets/CLabel.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPalette>
#include <QUrl>

#include "widgets/QtText.h"

namespace vocomet {

CLabel::CLabel(QWidget* parent) : QLabel(parent) {
    m_textColour = ToColorRef(palette().color(QPalette::WindowText));
    // The desktop's default font at a cell height of 12 pixels.
    m_logFont = ToLogFont(QApplication::font());
    m_logFont.height = 12;
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    // Until it becomes a link, clicks belong to the parent window.
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
    ReconstructFont();
    Redraw();
}

CLabel& CLabel::SetText(const QString& text) {
    setText(text);
    return *this;
}

CLabel& CLabel::SetTextColor(platform::ColorRef colour) {
    m_textColour = colour;
    Redraw();
    return *this;
}

CLabel& CLabel::SetFontSize(int size) {
    m_logFont.height = -size;
    ReconstructFont();
    Redraw();
    return *this;
}

CLabel& CLabel::SetFontItalic(bool italic) {
    m_logFont.italic = italic ? 1 : 0;
    ReconstructFont();
    Redraw();
    return *this;
}

CLabel& CLabel::SetFontUnderline(bool underline) {
    m_logFont.underline = underline ? 1 : 0;
    ReconstructFont();
    Redraw();
    return *this;
}

CLabel& CLabel::SetLink(bool link) {
    m_notify = link;
    setAttribute(Qt::WA_TransparentForMouseEvents, !link);
    return *this;
}

CLabel& CLabel::SetLinkCursor(const QCursor& cursor) {
    m_linkCursor = cursor;
    setCursor(cursor);
    return *this;
}

void CLabel::ReconstructFont() { setFont(ToQFont(m_logFont)); }

void CLabel::Redraw() {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, ToQColor(m_textColour));
    setPalette(p);
    repaint();
}

void CLabel::mousePressEvent(QMouseEvent* event) {
    if (m_notify && event->button() == Qt::LeftButton) {
        const QString target = text();
        emit linkOpened(target);
        const QUrl url = QFileInfo::exists(target) ? QUrl::fromLocalFile(target) : QUrl::fromUserInput(target);
        QDesktopServices::openUrl(url);
    }
    QLabel::mousePressEvent(event);
}

}  // namespace vocomet
