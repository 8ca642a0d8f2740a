#include "widgets/CButtonST.h"

#include <QDesktopServices>
#include <QEnterEvent>
#include <QEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QUrl>
#include <algorithm>

#include "widgets/QtText.h"
#include "widgets/PixelRects.h"

namespace vocomet {

namespace {

platform::Rect ToRect(const QRect& r) {
    return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
}

// A one-pixel 3D rectangle: topLeft colour on the top and left edges,
// bottomRight colour on the bottom and right ones.
void Draw3dRect(QPainter& dc, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    if (r.width() <= 0 || r.height() <= 0)
        return;
    const int l = r.x();
    const int t = r.y();
    const int rr = r.x() + r.width() - 1;
    const int b = r.y() + r.height() - 1;
    dc.setPen(topLeft);
    dc.drawLine(l, t, rr - 1, t);
    dc.drawLine(l, t, l, b - 1);
    dc.setPen(bottomRight);
    dc.drawLine(rr, t, rr, b);
    dc.drawLine(l, b, rr, b);
}

}  // namespace

CButtonST::CButtonST(QWidget* parent) : CButtonST(QString(), parent) {}

CButtonST::CButtonST(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    SetDefaultColors(false);
    setAttribute(Qt::WA_Hover, true);
    // First in line: a check box has toggled before the form hears the click.
    connect(this, &QAbstractButton::clicked, this, &CButtonST::OnClicked);
}

void CButtonST::PreSubclassWindow(bool defaultPushButton, bool checkBox) {
    m_defaultButton = defaultPushButton;
    m_checkBoxMode = checkBox;
    update();
}

void CButtonST::SetAlign(int alignment) {
    if (alignment >= kButtonImageLeft && alignment <= kButtonImageRight)
        m_align = alignment;
    update();
}

int CButtonST::SetColor(int slot, platform::ColorRef colour, bool repaint) {
    if (slot < 0 || slot > kButtonForegroundOut)
        return 3;
    m_colours[static_cast<std::size_t>(slot)] = colour;
    if (repaint)
        update();
    return 0;
}

int CButtonST::SetDefaultColors(bool repaint) {
    const platform::ColorRef face = ToColorRef(palette().color(QPalette::Button));
    const platform::ColorRef text = ToColorRef(palette().color(QPalette::ButtonText));
    m_colours = {face, text, face, text};
    if (repaint)
        update();
    return 0;
}

void CButtonST::SetFontHeight(int height) {
    QFont f = font();
    f.setPixelSize(std::max(1, height));
    setFont(f);
    updateGeometry();
    repaint();
}

int CButtonST::SetIconHandles(const QIcon& in, const QIcon& out) {
    m_inIcon = QIcon();
    m_outIcon = QIcon();
    m_iconSize = QSize();
    if (in.isNull() || in.availableSizes().isEmpty()) {
        update();
        return in.isNull() ? 1 : 0;
    }
    m_inIcon = in;
    m_outIcon = out;
    const QList<QSize> sizes = in.availableSizes();
    m_iconSize = *std::max_element(sizes.begin(), sizes.end(),
                                   [](const QSize& a, const QSize& b) { return a.width() < b.width(); });
    updateGeometry();
    update();
    return 0;
}

int CButtonST::SetIcon(const QString& inResource, const QString& outResource) {
    return SetIconHandles(QIcon(inResource), outResource.isEmpty() ? QIcon() : QIcon(outResource));
}

void CButtonST::SetStaticEdge(bool on) {
    m_staticEdge = on;
    updateGeometry();
    update();
}

void CButtonST::SetTooltipText(const QString& text, bool activate) {
    if (text.isEmpty())
        return;
    m_tooltip = text;
    setToolTip(activate ? text : QString());
}

void CButtonST::SetCheck(int state, bool repaint) {
    if (!m_checkBoxMode)
        return;
    m_checked = state != 0;
    if (repaint)
        update();
}

void CButtonST::SetFlat(bool flat) {
    m_flat = flat;
    update();
}

void CButtonST::SetDrawBorder(bool on) {
    m_drawBorder = on;
    update();
}

void CButtonST::SetFlatFocus(bool on) {
    m_flatFocus = on;
    update();
}

void CButtonST::SetNormalTextColor(platform::ColorRef colour) {
    m_normalText = colour;
    update();
}

void CButtonST::SetURL(const QString& url) {
    m_url = url;
}

void CButtonST::OnClicked() {
    if (m_checkBoxMode) {
        m_checked = !m_checked;
        update();
    } else if (!m_url.isEmpty()) {
        QDesktopServices::openUrl(QUrl(m_url));
    }
}

ButtonState CButtonST::State() const {
    ButtonState s;
    s.flat = m_flat;
    s.hover = m_hover;
    s.selected = isDown();
    s.focused = hasFocus();
    s.disabled = !isEnabled();
    s.defaultButton = m_defaultButton;
    s.checkBoxMode = m_checkBoxMode;
    s.checked = m_checked;
    s.drawBorder = m_drawBorder;
    s.flatFocus = m_flatFocus;
    s.hasOutIcon = !m_outIcon.isNull();
    return s;
}

QSize CButtonST::sizeHint() const {
    const QFontMetrics fm(font());
    const QSize textSize = text().isEmpty() ? QSize() : fm.size(0, text());
    int w = textSize.width() + 12;
    int h = textSize.height() + 10;
    if (!m_inIcon.isNull()) {
        if (m_align == kButtonImageTop) {
            w = std::max(w, m_iconSize.width() + 12);
            h += m_iconSize.height();
        } else {
            w += m_iconSize.width() + 6;
            h = std::max(h, m_iconSize.height() + 6);
        }
    }
    if (m_staticEdge) {
        w += 2;
        h += 2;
    }
    return {w, h};
}

void CButtonST::CancelHover() {
    if (m_flat && m_hover) {
        m_hover = false;
        update();
    }
}

void CButtonST::enterEvent(QEnterEvent* event) {
    QPushButton::enterEvent(event);
    if (!m_flat)
        return;
    // A press that started elsewhere and is dragged in does not raise it.
    if ((event->buttons() & Qt::LeftButton) && !m_hover)
        return;
    m_hover = true;
    update();
}

void CButtonST::leaveEvent(QEvent* event) {
    QPushButton::leaveEvent(event);
    CancelHover();
}

void CButtonST::focusOutEvent(QFocusEvent* event) {
    QPushButton::focusOutEvent(event);
    CancelHover();
}

void CButtonST::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    if ((event->type() == QEvent::ActivationChange && !isActiveWindow()) ||
        (event->type() == QEvent::EnabledChange && !isEnabled()))
        CancelHover();
    if (event->type() == QEvent::PaletteChange)
        update();
}

void CButtonST::paintEvent(QPaintEvent*) {
    QPainter dc(this);
    const QPalette& pal = palette();
    const ButtonState state = State();
    const ButtonLook look = ButtonLookOf(state);
    dc.setFont(font());

    QRect item = rect();
    if (m_staticEdge) {
        Draw3dRect(dc, item, pal.color(QPalette::Dark), pal.color(QPalette::Light));
        item.adjust(1, 1, -1, -1);
    }
    const QRect client = item;
    if (look.blackFrame) {
        dc.setPen(Qt::black);
        dc.setBrush(Qt::NoBrush);
        dc.drawRect(item.adjusted(0, 0, -1, -1));
        item.adjust(1, 1, -1, -1);
    }

    // Background and border.
    dc.fillRect(item, ToQColor(m_colours[static_cast<std::size_t>(look.backgroundSlot)]));
    const QColor highlight = pal.color(QPalette::Light);
    const QColor light = pal.color(QPalette::Midlight);
    const QColor shadow = pal.color(QPalette::Dark);
    const QColor darkShadow = pal.color(QPalette::Shadow);
    switch (look.border) {
    case ButtonBorder::Sunken:
        Draw3dRect(dc, item, shadow, highlight);
        break;
    case ButtonBorder::Raised:
        Draw3dRect(dc, item, highlight, shadow);
        break;
    case ButtonBorder::ShadowFrame:
        dc.setPen(shadow);
        dc.setBrush(Qt::NoBrush);
        dc.drawRect(item.adjusted(0, 0, -1, -1));
        break;
    case ButtonBorder::Classic3D:
        Draw3dRect(dc, item, highlight, darkShadow);
        Draw3dRect(dc, item.adjusted(1, 1, -1, -1), light, shadow);
        break;
    case ButtonBorder::None:
        break;
    }

    // Image and caption places.
    const bool hasCaption = !text().isEmpty();
    platform::Rect caption = ToRect(item);
    if (!m_inIcon.isNull()) {
        const ButtonPlacement place = PlaceButtonImage(ToRect(item), ToRect(client), m_iconSize.width(),
                                                       m_iconSize.height(), hasCaption, m_align, look.shifted);
        caption = place.caption;
        const QIcon& icon = look.outIcon ? m_outIcon : m_inIcon;
        icon.paint(&dc, ToQRect(place.image), Qt::AlignCenter, state.disabled ? QIcon::Disabled : QIcon::Normal);
    }
    if (hasCaption) {
        QRect captionRect = ToQRect(caption);
        if (look.shifted)
            captionRect.translate(1, 1);
        const int flags = Qt::TextWordWrap | Qt::AlignHCenter | Qt::AlignTop;
        const QRect measured = dc.fontMetrics().boundingRect(captionRect, flags, text());
        const QRect at =
            ToQRect(CentreButtonCaption(ToRect(captionRect), measured.width(), measured.height()));
        if (state.disabled) {
            // Engraved: highlight one pixel down and right, shadow above it.
            dc.setPen(highlight);
            dc.drawText(at.translated(1, 1), flags, text());
            dc.setPen(shadow);
            dc.drawText(at, flags, text());
        } else {
            dc.setPen(ToQColor(look.captionIn ? m_colours[kButtonForegroundIn] : m_normalText));
            dc.drawText(at, flags, text());
        }
    }

    if (look.focusRect) {
        QPen dotted(Qt::black, 1, Qt::DotLine);
        dc.setPen(dotted);
        dc.setBrush(Qt::NoBrush);
        dc.drawRect(item.adjusted(3, 3, -4, -4));
    }
}

}  // namespace vocomet
