#include "app/ui/CLabelEntry.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/LabelEntryText.h"
#include "app/ui/LabelFont.h"
#include "widgets/QtText.h"
#include "app/ui/QtUserPrompts.h"

namespace vocomet {

namespace {

std::optional<CLabelEntry::FontChoice> ChooseWithDialogs(QWidget* parent, const QFont& font, const QColor& colour) {
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, parent, QStringLiteral("Font"));
    if (!ok)
        return std::nullopt;
    // The text colour belongs to the font's effects; cancelling the colour
    // keeps the one the label had.
    const QColor c = QColorDialog::getColor(colour, parent, QStringLiteral("Color"));
    return CLabelEntry::FontChoice{chosen, c.isValid() ? c : colour};
}

}  // namespace

CLabelEntry::CLabelEntry(QWidget* parent) : QDialog(parent) { Build(); }

CLabelEntry::CLabelEntry(const std::string& text, const platform::LogFontA& font, int justification, QWidget* parent)
    : QDialog(parent), m_text(text), m_font(font), m_justification(justification) {
    Build();
}

CLabelEntry::CLabelEntry(const LABEL& label, QWidget* parent)
    : QDialog(parent),
      m_text(label.Text()),
      m_addLine(label.markerLine != 0 ? 1 : 0),
      m_font(label.font),
      m_colour(label.colour),
      m_justification(label.anchoring) {
    Build();
}

void CLabelEntry::Build() {
    setWindowTitle(QStringLiteral("Label entry"));
    setModal(true);

    m_prompt = new QLabel(QString::fromLatin1(kLabelEntryPrompt), this);
    m_edit = new QPlainTextEdit(this);
    m_edit->setTabChangesFocus(true);
    m_edit->setMinimumSize(280, 90);
    m_edit->installEventFilter(this);
    m_prompt->setBuddy(m_edit);

    m_fontButton = new QPushButton(QStringLiteral("Font"), this);
    m_fontButton->setAutoDefault(false);
    connect(m_fontButton, &QPushButton::clicked, this, &CLabelEntry::OnFont);

    auto* group = new QGroupBox(QStringLiteral("Justification"), this);
    m_addLineBox = new QCheckBox(QStringLiteral("Add line"), group);
    m_leftRadio = new QRadioButton(QStringLiteral("Left"), group);
    m_centerRadio = new QRadioButton(QStringLiteral("Center"), group);
    m_rightRadio = new QRadioButton(QStringLiteral("Right"), group);
    connect(m_leftRadio, &QRadioButton::clicked, this, &CLabelEntry::OnLeft);
    connect(m_centerRadio, &QRadioButton::clicked, this, &CLabelEntry::OnCenter);
    connect(m_rightRadio, &QRadioButton::clicked, this, &CLabelEntry::OnRight);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_addLineBox);
    groupLayout->addWidget(m_leftRadio);
    groupLayout->addWidget(m_centerRadio);
    groupLayout->addWidget(m_rightRadio);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CLabelEntry::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CLabelEntry::reject);

    auto* left = new QVBoxLayout;
    left->addWidget(m_prompt);
    left->addWidget(m_edit, 1);
    auto* fontRow = new QHBoxLayout;
    fontRow->addWidget(m_fontButton);
    fontRow->addStretch(1);
    left->addLayout(fontRow);

    auto* right = new QVBoxLayout;
    right->addWidget(buttons);
    right->addWidget(group);
    right->addStretch(1);

    auto* top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addLayout(right);
}

void CLabelEntry::showEvent(QShowEvent* event) {
    if (!m_initDone)
        OnInitDialog();
    QDialog::showEvent(event);
}

void CLabelEntry::OnInitDialog() {
    m_initDone = true;
    DoDataExchange(false);
    SetRadios(m_justification);
    m_edit->setFocus();
}

void CLabelEntry::SetRadios(int justification) {
    // Any value but center or right counts as left.
    m_leftState = justification != kCenter && justification != kRight ? 1 : 0;
    m_centerState = justification == kCenter ? 1 : 0;
    m_rightState = justification == kRight ? 1 : 0;
    m_leftRadio->setChecked(m_leftState != 0);
    m_centerRadio->setChecked(m_centerState != 0);
    m_rightRadio->setChecked(m_rightState != 0);
}

void CLabelEntry::OnLeft() {
    SetRadios(kLeft);
    m_justification = kLeft;
}

void CLabelEntry::OnCenter() {
    SetRadios(kCenter);
    m_justification = kCenter;
}

void CLabelEntry::OnRight() {
    SetRadios(kRight);
    m_justification = kRight;
}

void CLabelEntry::OnFont() {
    const QFont shown = ToQFont(m_font);
    const FontChooser choose = m_fontChooser ? m_fontChooser : FontChooser(ChooseWithDialogs);
    const std::optional<FontChoice> choice = choose(this, shown, ToQColor(m_colour));
    if (!choice)
        return;
    m_font = MergeChosenFont(m_font, shown, choice->font);
    if (choice->colour.isValid())
        m_colour = ToColorRef(choice->colour);
}

bool CLabelEntry::DoDataExchange(bool save) {
    if (!save) {
        m_edit->setPlainText(QString::fromStdString(LabelTextToEdit(m_text)));
        m_addLineBox->setChecked(m_addLine != 0);
        return true;
    }
    const LabelEntryCheck check = CheckLabelEntryText(m_edit->toPlainText().toStdString());
    if (check.status != LabelEntryCheck::Ok) {
        Say(check.message);
        m_edit->setFocus();
        m_edit->selectAll();
        return false;
    }
    m_text = check.bytes;
    m_addLine = m_addLineBox->isChecked() ? 1 : 0;
    return true;
}

void CLabelEntry::accept() {
    if (DoDataExchange(true))
        QDialog::accept();
}

void CLabelEntry::ApplyTo(LABEL& label) const {
    label.SetText(m_text);
    label.font = m_font;
    label.colour = m_colour;
    label.anchoring = m_justification;
    label.markerLine = static_cast<std::int8_t>(m_addLine);
}

void CLabelEntry::Say(const std::string& text) {
    if (m_prompts) {
        m_prompts->Message(text, platform::Buttons::Ok, platform::Icon::Warning, "");
        return;
    }
    QtUserPrompts prompts;
    prompts.SetParent(this);
    prompts.Message(text, platform::Buttons::Ok, platform::Icon::Warning, "");
}

bool CLabelEntry::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (key->modifiers() & Qt::ControlModifier) {
                m_edit->insertPlainText(QStringLiteral("\n"));
            } else {
                accept();
            }
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace vocomet
