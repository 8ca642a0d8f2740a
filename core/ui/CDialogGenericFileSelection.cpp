#include "core/ui/CDialogGenericFileSelection.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/GenericFiles.h"
#include "platform/UserPrompts.h"

namespace vocomet {

namespace {

// A whole number in an edit, as the user typed it (blanks around it allowed).
bool EditInteger(const QLineEdit* edit, int& value) {
    bool ok = false;
    const int v = edit->text().trimmed().toInt(&ok);
    if (ok)
        value = v;
    return ok;
}

}  // namespace

CDialogGenericFileSelection::CDialogGenericFileSelection(platform::UserPrompts& prompts, QWidget* parent)
    : QDialog(parent),
      m_prompts(prompts),
      m_header(new QLineEdit(this)),
      m_rate(new QLineEdit(this)),
      m_ascii(new QRadioButton(QStringLiteral("ASCII"), this)),
      m_binary(new QRadioButton(QStringLiteral("Interger binary"), this)),
      m_bits8(new QRadioButton(QStringLiteral("8 bit"), this)),
      m_bits16(new QRadioButton(QStringLiteral("16 bit"), this)),
      m_lowFirst(new QRadioButton(QStringLiteral("Low byte first"), this)),
      m_highFirst(new QRadioButton(QStringLiteral("High byte first"), this)) {
    setWindowTitle(QString::fromLatin1(kGenericFileCaption));
    m_header->setObjectName(QStringLiteral("headerSize"));
    m_rate->setObjectName(QStringLiteral("sampleRate"));

    auto* text = new QLabel(QString::fromLatin1(kGenericFileText), this);
    text->setWordWrap(true);

    auto* edits = new QFormLayout;
    edits->addRow(QStringLiteral("Header size (byte) = "), m_header);
    edits->addRow(QStringLiteral("Sample rate (hz)    = "), m_rate);

    // Each pair is exclusive within itself only.
    for (auto [a, b] :
         {std::pair{m_ascii, m_binary}, std::pair{m_bits8, m_bits16}, std::pair{m_lowFirst, m_highFirst}}) {
        auto* group = new QButtonGroup(this);
        group->addButton(a);
        group->addButton(b);
    }
    auto* fileType = new QGroupBox(QStringLiteral("File type"), this);
    auto* fileTypeLayout = new QVBoxLayout(fileType);
    fileTypeLayout->addWidget(m_ascii);
    fileTypeLayout->addWidget(m_binary);

    auto* data = new QGroupBox(QStringLiteral("Data size and alignment"), this);
    auto* dataLayout = new QGridLayout(data);
    dataLayout->addWidget(m_bits8, 0, 0);
    dataLayout->addWidget(m_bits16, 1, 0);
    dataLayout->addWidget(m_lowFirst, 0, 1);
    dataLayout->addWidget(m_highFirst, 1, 1);

    auto* groups = new QHBoxLayout;
    groups->addWidget(fileType);
    groups->addWidget(data);

    auto* buttons = new QDialogButtonBox(this);
    m_yes = buttons->addButton(QStringLiteral("Yes"), QDialogButtonBox::AcceptRole);
    m_yes->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(edits);
    layout->addLayout(groups);
    layout->addWidget(buttons);

    connect(m_bits8, &QRadioButton::toggled, this, [this] { UpdateByteOrderEnabled(); });
    connect(m_bits16, &QRadioButton::toggled, this, [this] { UpdateByteOrderEnabled(); });
    SetAnswers(m_answers);
}

void CDialogGenericFileSelection::SetAnswers(const GenericFileAnswers& answers) {
    m_answers = answers;
    m_header->setText(QString::number(answers.headerBytes));
    m_rate->setText(QString::number(answers.sampleRate));
    (answers.integerBinary != 0 ? m_binary : m_ascii)->setChecked(true);
    (answers.sixteenBit != 0 ? m_bits16 : m_bits8)->setChecked(true);
    (answers.highByteFirst != 0 ? m_highFirst : m_lowFirst)->setChecked(true);
    UpdateByteOrderEnabled();
}

void CDialogGenericFileSelection::UpdateByteOrderEnabled() {
    const bool sixteen = m_bits16->isChecked();
    m_lowFirst->setEnabled(sixteen);
    m_highFirst->setEnabled(sixteen);
}

std::string CDialogGenericFileSelection::ReadAnswers(GenericFileAnswers& answers) const {
    if (!EditInteger(m_header, answers.headerBytes) || !EditInteger(m_rate, answers.sampleRate))
        return kEnterAnInteger;
    answers.integerBinary = m_binary->isChecked() ? 1 : 0;
    answers.sixteenBit = m_bits16->isChecked() ? 1 : 0;
    answers.highByteFirst = m_highFirst->isChecked() ? 1 : 0;
    return CheckGenericAnswers(answers);
}

void CDialogGenericFileSelection::accept() {
    GenericFileAnswers answers = m_answers;
    const std::string why = ReadAnswers(answers);
    if (!why.empty()) {
        m_prompts.Beep();
        m_prompts.Message(why, platform::Buttons::Ok, platform::Icon::Warning);
        // Back to the edit that holds the refused value.
        int header = 0;
        QLineEdit* bad = !EditInteger(m_header, header) || header < 0 ? m_header : m_rate;
        bad->setFocus();
        bad->selectAll();
        return;
    }
    m_answers = answers;
    QDialog::accept();
}

}  // namespace vocomet
