#pragma once
// The modal "Label entry" dialog: a label's text, its font and colour, its
// justification and whether a line is drawn through the strip at it.
//
// Use: construct it filled from a label (or set the fields one by one),
// exec(), and on QDialog::Accepted read the fields back (or ApplyTo the
// label). The text is kept as the label stores it: Windows-1252 bytes with
// CR LF between lines. OK refuses a text that takes more than 254 bytes in
// that form, or holds a character the code page has no byte for, with a
// message; the dialog then stays open with the focus on the text.
//
// In the edit box Enter is OK, as in a one-line box; Ctrl+Enter starts a
// new line.

#include <QDialog>
#include <QFont>
#include <QColor>
#include <functional>
#include <optional>
#include <string>

#include "core/ChannelRecords.h"
#include "platform/UserPrompts.h"
#include "platform/WinTypes.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace vocomet {

class CLabelEntry : public QDialog {
    Q_OBJECT
public:
    // Justification, the coding of LABEL::anchoring.
    enum Justification { kLeft = 0, kCenter = 1, kRight = 2 };

    // What the font button's choosers return; nullopt when cancelled.
    struct FontChoice {
        QFont font;
        QColor colour;
    };
    using FontChooser = std::function<std::optional<FontChoice>(QWidget* parent, const QFont& font, const QColor& colour)>;

    // Empty text, no line, left justification, the font record's defaults, black.
    explicit CLabelEntry(QWidget* parent = nullptr);
    CLabelEntry(const std::string& text, const platform::LogFontA& font, int justification,
                QWidget* parent = nullptr);
    // From a label: text, font, colour, anchoring and marker-line flag.
    explicit CLabelEntry(const LABEL& label, QWidget* parent = nullptr);

    // ---- the fields: set before exec(), read after OK ----
    const std::string& Text() const { return m_text; }  // Windows-1252, CR LF line breaks
    void SetText(const std::string& text) { m_text = text; }
    const platform::LogFontA& FontRecord() const { return m_font; }
    void SetFontRecord(const platform::LogFontA& font) { m_font = font; }
    platform::ColorRef Colour() const { return m_colour; }
    void SetColour(platform::ColorRef colour) { m_colour = colour; }
    int Justification() const { return m_justification; }  // 0 left, 1 center, 2 right
    void SetJustification(int justification) { m_justification = justification; }
    int AddLine() const { return m_addLine; }  // 0 or 1
    void SetAddLine(int addLine) { m_addLine = addLine ? 1 : 0; }
    // Radio states (0/1), as the dialog last set them.
    int LeftState() const { return m_leftState; }
    int CenterState() const { return m_centerState; }
    int RightState() const { return m_rightState; }

    // Text, font, colour, anchoring and marker-line flag into label; its
    // time, height and rectangle stay.
    void ApplyTo(LABEL& label) const;

    // Messages go here (default: message boxes over the dialog).
    void SetPrompts(platform::UserPrompts* prompts) { m_prompts = prompts; }
    // The font button's chooser (default: QFontDialog, then QColorDialog).
    void SetFontChooser(FontChooser chooser) { m_fontChooser = std::move(chooser); }

    // ---- handlers ----
    // Fills the controls from the fields; runs once, on the first show.
    void OnInitDialog();
    void OnLeft();
    void OnCenter();
    void OnRight();
    void OnFont();
    // save false: fields to controls. save true: controls to fields, false
    // (fields unchanged, message shown, focus on the text) when the text is refused.
    bool DoDataExchange(bool save);

    // OK: the data exchange, closing only when it succeeds.
    void accept() override;

    // Controls, for tests.
    QPlainTextEdit* TextEdit() const { return m_edit; }
    QRadioButton* LeftRadio() const { return m_leftRadio; }
    QRadioButton* CenterRadio() const { return m_centerRadio; }
    QRadioButton* RightRadio() const { return m_rightRadio; }
    QCheckBox* AddLineBox() const { return m_addLineBox; }
    QPushButton* FontButton() const { return m_fontButton; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build();
    void SetRadios(int justification);
    void Say(const std::string& text);

    std::string m_text;
    int m_addLine = 0;
    platform::LogFontA m_font;
    platform::ColorRef m_colour = 0;
    int m_leftState = 1;
    int m_centerState = 0;
    int m_rightState = 0;
    int m_justification = kLeft;

    bool m_initDone = false;
    platform::UserPrompts* m_prompts = nullptr;
    FontChooser m_fontChooser;

    QLabel* m_prompt = nullptr;
    QPlainTextEdit* m_edit = nullptr;
    QPushButton* m_fontButton = nullptr;
    QCheckBox* m_addLineBox = nullptr;
    QRadioButton* m_leftRadio = nullptr;
    QRadioButton* m_centerRadio = nullptr;
    QRadioButton* m_rightRadio = nullptr;
};

}  // namespace vocomet
