#pragma once
// The owner-drawn push button of the forms: an icon beside, above or right
// of its caption, four colours, a flat look that rises while the mouse is
// over it, an optional check-box behaviour and a tooltip. Forms configure it
// once after creating it and read or set its check state in their command
// handlers. What it looks like in each state is decided by ButtonLookOf and
// PlaceButtonImage (app/ButtonLayout.h); this widget paints it.
//
// Clicks still reach the form: the clicked() signal is emitted as for any
// button, after a check box has toggled its state.

#include <QIcon>
#include <QPushButton>
#include <QString>
#include <array>

#include "app/ButtonLayout.h"
#include "platform/WinTypes.h"

namespace vocomet {

class CButtonST : public QPushButton {
    Q_OBJECT
public:
    explicit CButtonST(QWidget* parent = nullptr);
    CButtonST(const QString& text, QWidget* parent = nullptr);

    // Binding to a form's control: a default push button gets the default
    // role (a black frame on a raised button), a check-box control the
    // check-box behaviour (clicks toggle the check, drawn pressed while
    // checked).
    void PreSubclassWindow(bool defaultPushButton, bool checkBox);

    // Stores an alignment of 0 (image left), 1 (above) or 2 (right); other
    // values are ignored. Repaints in every case.
    void SetAlign(int alignment);
    // Colour slot 0..3 (ButtonLayout.h); 0, or 3 for a slot above 3, which
    // changes nothing.
    int SetColor(int slot, platform::ColorRef colour, bool repaint = true);
    // Slots 0 and 2 the system's button face colour, 1 and 3 its button
    // text colour. Returns 0.
    int SetDefaultColors(bool repaint = true);
    // The caption font's character height in pixels; redraws at once.
    void SetFontHeight(int height);
    // The in icon and the out icon (shown at rest; null for none), each at
    // its own largest size. 0, or 1 when the in icon is null (both are then
    // dropped).
    int SetIconHandles(const QIcon& in, const QIcon& out = QIcon());
    // The icons from resource paths; an empty out path for none.
    int SetIcon(const QString& inResource, const QString& outResource = QString());
    // A sunken one-pixel edge around the button.
    void SetStaticEdge(bool on);
    // The tooltip text (an empty text changes nothing), shown when active.
    void SetTooltipText(const QString& text, bool activate = true);
    // Check-box mode only: checked = (state != 0); repaints when asked.
    void SetCheck(int state, bool repaint = true);
    int GetCheck() const { return m_checked ? 1 : 0; }

    // Flat look (default) or a raised 3D button.
    void SetFlat(bool flat);
    void SetDrawBorder(bool on);
    void SetFlatFocus(bool on);
    // Caption colour at rest.
    void SetNormalTextColor(platform::ColorRef colour);
    // A location opened when the button is clicked (not in check-box mode).
    void SetURL(const QString& url);

    int Align() const { return m_align; }
    platform::ColorRef Color(int slot) const { return m_colours[static_cast<std::size_t>(slot & 3)]; }
    bool IsHover() const { return m_hover; }
    bool IsCheckBoxMode() const { return m_checkBoxMode; }
    bool IsDefaultButton() const { return m_defaultButton; }
    QString TooltipText() const { return m_tooltip; }
    // The state the next paint draws from.
    ButtonState State() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void OnClicked();
    // Drops the hover look of a flat, hovered button.
    void CancelHover();

    bool m_hover = false;
    std::array<platform::ColorRef, 4> m_colours{};
    int m_align = kButtonImageLeft;
    platform::ColorRef m_normalText = 0;
    bool m_drawBorder = true;
    bool m_flat = true;
    bool m_flatFocus = false;
    bool m_staticEdge = false;
    bool m_defaultButton = false;
    bool m_checkBoxMode = false;
    bool m_checked = false;
    QIcon m_inIcon;
    QIcon m_outIcon;
    QSize m_iconSize;
    QString m_tooltip;
    QString m_url;
};

}  // namespace vocomet
