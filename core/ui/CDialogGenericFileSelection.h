#pragma once
// The generic-file dialog: offered when no reader recognises a file. It asks
// for the header size, the sample rate, ASCII or integer binary and, for
// binary data, the sample width and byte order. The byte-order buttons are
// enabled only for 16-bit samples. OK ("Yes") takes the answers only when
// both edits hold whole numbers, the header size is 0 or more and the rate
// above 0; otherwise it says why and the dialog stays open.

#include <QDialog>
#include <string>

#include "core/DocumentSettings.h"

class QLineEdit;
class QRadioButton;
class QPushButton;

namespace platform {
class UserPrompts;
}

namespace vocomet {

inline constexpr const char* kGenericFileCaption = "Generic File Selection";
inline constexpr const char* kGenericFileText =
    "The requested file was not of any proper types recognized by the application.Would you like to read it as a "
    "generic type ?";
inline constexpr const char* kEnterAnInteger = "Please enter an integer.";

class CDialogGenericFileSelection : public QDialog {
    Q_OBJECT
public:
    // Refusals of OK are told through prompts.
    CDialogGenericFileSelection(platform::UserPrompts& prompts, QWidget* parent = nullptr);

    // Puts the answers into the edits and buttons.
    void SetAnswers(const GenericFileAnswers& answers);
    // The answers as the dialog holds them; valid after OK.
    const GenericFileAnswers& Answers() const { return m_answers; }
    // Reads the edits and buttons into answers; the reason they cannot be
    // taken, empty when they can.
    std::string ReadAnswers(GenericFileAnswers& answers) const;

    QLineEdit* HeaderEdit() const { return m_header; }
    QLineEdit* RateEdit() const { return m_rate; }
    QRadioButton* AsciiButton() const { return m_ascii; }
    QRadioButton* BinaryButton() const { return m_binary; }
    QRadioButton* EightBitButton() const { return m_bits8; }
    QRadioButton* SixteenBitButton() const { return m_bits16; }
    QRadioButton* LowByteFirstButton() const { return m_lowFirst; }
    QRadioButton* HighByteFirstButton() const { return m_highFirst; }
    QPushButton* YesButton() const { return m_yes; }

public slots:
    void accept() override;

private:
    void UpdateByteOrderEnabled();

    platform::UserPrompts& m_prompts;
    GenericFileAnswers m_answers;
    QLineEdit* m_header;
    QLineEdit* m_rate;
    QRadioButton* m_ascii;
    QRadioButton* m_binary;
    QRadioButton* m_bits8;
    QRadioButton* m_bits16;
    QRadioButton* m_lowFirst;
    QRadioButton* m_highFirst;
    QPushButton* m_yes;
};

}  // namespace vocomet
