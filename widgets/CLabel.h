#pragma once
// A static text with its own font, text colour and transparent background.
// As a link it opens its own text (a web address or a file) when clicked;
// otherwise clicks fall through to the parent window.

#include <QCursor>
#include <QLabel>
#include <optional>

#include "platform/WinTypes.h"

namespace vocomet {

class CLabel : public QLabel {
    Q_OBJECT
public:
    explicit CLabel(QWidget* parent = nullptr);

    CLabel& SetText(const QString& text);
    CLabel& SetTextColor(platform::ColorRef colour);
    // Character height of size pixels, whatever the font's height was.
    CLabel& SetFontSize(int size);
    CLabel& SetFontItalic(bool italic);
    CLabel& SetFontUnderline(bool underline);
    CLabel& SetLink(bool link);
    CLabel& SetLinkCursor(const QCursor& cursor);
    void ReconstructFont();

    const platform::LogFontA& GetLogFont() const { return m_logFont; }
    platform::ColorRef GetTextColor() const { return m_textColour; }
    bool IsLink() const { return m_notify; }

signals:
    // Emitted with the text a link click opens (tests watch this).
    void linkOpened(const QString& target);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void Redraw();

    platform::ColorRef m_textColour;
    platform::LogFontA m_logFont;
    bool m_notify = false;
    std::optional<QCursor> m_linkCursor;
};

}  // namespace vocomet
