#include "analysis/ui/COptionFFTLPC.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "analysis/AnalysisLimits.h"
#include "platform/UserPrompts.h"

namespace vocomet {

namespace {

QRadioButton* Radio(const QString& text, QWidget* parent, QButtonGroup* group) {
    auto* r = new QRadioButton(text, parent);
    group->addButton(r);
    return r;
}

}  // namespace

COptionFFTLPC::COptionFFTLPC(platform::UserPrompts& prompts, QWidget* parent)
    : OptionDialogBase(QStringLiteral("FFT/LPC Option"), prompts, parent) {
    // Absolute, inches and colour 1, FFT index 0 with 256 points, the rest 0.
    values.values.fill(0);
    values.values[1] = 256;
    values.values[5] = 1;
    values.values[7] = 1;
    values.values[8] = 1;
    values.pictureWidth = 0.0;
    values.pictureHeight = 0.0;

    auto* top = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    top->addLayout(grid);
    grid->addWidget(new QLabel(QStringLiteral("Bandwidth (Window Length ) = "), this), 0, 0);
    m_size = new QComboBox(this);
    grid->addWidget(m_size, 0, 1, 1, 2);
    m_window = AddEdit(grid, 1, QStringLiteral("Applied window length (ms)  = "));
    m_step = AddEdit(grid, 2, QStringLiteral("Average step size (ms) = "));
    m_range = AddEdit(grid, 3, QStringLiteral("Frequency range (Hz) = "));

    auto* scale = new QButtonGroup(this);
    m_absolute = Radio(QStringLiteral("Absolute  (dB)  = "), this, scale);
    m_relative = Radio(QStringLiteral("Relative "), this, scale);
    m_db = new QLineEdit(this);
    m_db->setMaximumWidth(90);
    grid->addWidget(m_absolute, 4, 0);
    grid->addWidget(m_db, 4, 1);
    grid->addWidget(m_relative, 5, 0);

    m_freqGrid = new QCheckBox(QStringLiteral("Add Frequency grid with spacing (Hz) = "), this);
    m_freqSpacing = new QLineEdit(this);
    m_freqSpacing->setMaximumWidth(90);
    grid->addWidget(m_freqGrid, 6, 0);
    grid->addWidget(m_freqSpacing, 6, 1);
    m_powerGrid = new QCheckBox(QStringLiteral("Add Power grid with spacing (dB)       = "), this);
    m_powerSpacing = new QLineEdit(this);
    m_powerSpacing->setMaximumWidth(90);
    grid->addWidget(m_powerGrid, 7, 0);
    grid->addWidget(m_powerSpacing, 7, 1);

    auto* print = new QGroupBox(QStringLiteral("Print/BMP size"), this);
    auto* pg = new QGridLayout(print);
    auto* unit = new QButtonGroup(this);
    m_inches = Radio(QStringLiteral("inches"), print, unit);
    m_cm = Radio(QStringLiteral("cm"), print, unit);
    pg->addWidget(m_inches, 0, 0);
    pg->addWidget(m_cm, 0, 1);
    pg->addWidget(new QLabel(QStringLiteral("Width  = "), print), 1, 0);
    m_width = new QLineEdit(print);
    m_width->setMaximumWidth(90);
    pg->addWidget(m_width, 1, 1);
    pg->addWidget(new QLabel(QStringLiteral("Height ="), print), 2, 0);
    m_height = new QLineEdit(print);
    m_height->setMaximumWidth(90);
    pg->addWidget(m_height, 2, 1);
    auto* colour = new QButtonGroup(this);
    m_colour = Radio(QStringLiteral("Color"), print, colour);
    m_blackWhite = Radio(QStringLiteral("Black / White"), print, colour);
    pg->addWidget(m_colour, 3, 0);
    pg->addWidget(m_blackWhite, 3, 1);

    auto* lpc = new QGroupBox(QStringLiteral("LPC options"), this);
    auto* lg = new QGridLayout(lpc);
    lg->addWidget(new QLabel(QStringLiteral("LPC number of coefficients = "), lpc), 0, 0);
    m_lpc = new QLineEdit(lpc);
    m_lpc->setMaximumWidth(90);
    lg->addWidget(m_lpc, 0, 1);
    m_drawLpc = new QCheckBox(QStringLiteral("Draw LPC"), lpc);
    lg->addWidget(m_drawLpc, 1, 0);

    auto* groups = new QHBoxLayout;
    groups->addWidget(print);
    groups->addWidget(lpc);
    top->addLayout(groups);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* defaults = buttons->addButton(QStringLiteral("Default size"), QDialogButtonBox::ResetRole);
    top->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionFFTLPC::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionFFTLPC::reject);
    connect(defaults, &QPushButton::clicked, this, &COptionFFTLPC::OnDefaultSize);

    connect(m_size, &QComboBox::activated, this, &COptionFFTLPC::OnSizeChosen);
    connect(m_window, &QLineEdit::textEdited, this, &COptionFFTLPC::OnAppliedWindowChanged);
    connect(m_range, &QLineEdit::textEdited, this, &COptionFFTLPC::OnRangeChanged);
    connect(m_lpc, &QLineEdit::editingFinished, this, &COptionFFTLPC::OnLpcOrderDone);
    connect(m_absolute, &QRadioButton::toggled, this, [this] { EnableEdits(); });
    connect(m_freqGrid, &QCheckBox::toggled, this, [this] { EnableEdits(); });
    connect(m_powerGrid, &QCheckBox::toggled, this, [this] { EnableEdits(); });
}

void COptionFFTLPC::showEvent(QShowEvent* event) {
    if (!m_initialised)
        OnInitDialog();
    OptionDialogBase::showEvent(event);
}

void COptionFFTLPC::OnInitDialog() {
    m_initialised = true;
    m_size->clear();
    for (int i = 0; i < kFftSizeCount; ++i)
        m_size->addItem(QString::fromStdString(FftSizeLabel(i, sampleRate)));
    LoadControls();
}

void COptionFFTLPC::LoadControls() {
    const auto& v = values.values;
    m_size->setCurrentIndex(std::clamp(v[0], 0, kFftSizeCount - 1));
    SetInt(m_window, v[2]);
    SetInt(m_step, v[3]);
    SetInt(m_range, v[4]);
    SetPair(m_absolute, m_relative, v[5] != 0);
    SetInt(m_db, v[6]);
    SetPair(m_inches, m_cm, v[7] != 0);
    SetDouble(m_width, values.pictureWidth);
    SetDouble(m_height, values.pictureHeight);
    SetPair(m_colour, m_blackWhite, v[8] != 0);
    m_freqGrid->setChecked(v[9] != 0);
    SetInt(m_freqSpacing, v[10]);
    m_powerGrid->setChecked(v[11] != 0);
    SetInt(m_powerSpacing, v[12]);
    SetInt(m_lpc, v[13]);
    m_drawLpc->setChecked(v[14] != 0);
    EnableEdits();
}

bool COptionFFTLPC::ReadControls() {
    FftLpcSettings read = values;
    auto& r = read.values;
    r[0] = std::max(m_size->currentIndex(), 0);
    r[1] = FftPointsOfIndex(r[0]);
    if (!ReadInt(m_window, r[2]) || !ReadInt(m_step, r[3]) || !ReadInt(m_range, r[4]))
        return false;
    r[5] = m_absolute->isChecked() ? 1 : 0;
    if (!ReadInt(m_db, r[6]))
        return false;
    r[7] = m_inches->isChecked() ? 1 : 0;
    if (!ReadDouble(m_width, read.pictureWidth) || !ReadDouble(m_height, read.pictureHeight))
        return false;
    r[8] = m_colour->isChecked() ? 1 : 0;
    r[9] = m_freqGrid->isChecked() ? 1 : 0;
    if (!ReadInt(m_freqSpacing, r[10]))
        return false;
    r[11] = m_powerGrid->isChecked() ? 1 : 0;
    if (!ReadInt(m_powerSpacing, r[12]) || !ReadInt(m_lpc, r[13]))
        return false;
    r[14] = m_drawLpc->isChecked() ? 1 : 0;
    values = read;
    return true;
}

void COptionFFTLPC::EnableEdits() {
    m_db->setEnabled(m_absolute->isChecked());
    m_freqSpacing->setEnabled(m_freqGrid->isChecked());
    m_powerSpacing->setEnabled(m_powerGrid->isChecked());
}

void COptionFFTLPC::OnSizeChosen(int index) {
    if (!ReadControls())
        return;
    values.values[0] = std::clamp(index, 0, kFftSizeCount - 1);
    values.values[1] = FftPointsOfIndex(values.values[0]);
    values.values[2] = MaxAppliedWindowMs(values.values[1], sampleRate);
    LoadControls();
}

void COptionFFTLPC::OnAppliedWindowChanged() {
    bool ok = false;
    const int typed = m_window->text().trimmed().toInt(&ok);
    const int maxWindow = MaxAppliedWindowMs(FftPointsOfIndex(m_size->currentIndex()), sampleRate);
    if (!ok || typed <= maxWindow)
        return;
    m_prompts.Beep();
    m_prompts.Message(kAppliedWindowAdjusted, platform::Buttons::Ok, platform::Icon::Warning);
    SetInt(m_window, maxWindow);
}

void COptionFFTLPC::OnRangeChanged() {
    bool ok = false;
    const int typed = m_range->text().trimmed().toInt(&ok);
    // The window's own limit, so the adjusted range is one it accepts.
    const int maxRange = MaxAnalysisFrequency(sampleRate);
    if (!ok || typed <= maxRange)
        return;
    m_prompts.Beep();
    m_prompts.Message(kDisplayFrequencyAdjusted, platform::Buttons::Ok, platform::Icon::Warning);
    SetInt(m_range, maxRange);
}

void COptionFFTLPC::OnLpcOrderDone() {
    bool ok = false;
    const int typed = m_lpc->text().trimmed().toInt(&ok);
    if (ok)
        SetInt(m_lpc, EvenLpcOrder(typed));
}

void COptionFFTLPC::OnDefaultSize() {
    if (!ReadControls())
        return;
    values = FftLpcDefaults(values, sampleRate);
    LoadControls();
}

QWidget* COptionFFTLPC::FieldWidget(int field) const {
    switch (field) {
    case 0: return m_size;
    case 2: return m_window;
    case 3: return m_step;
    case 4: return m_range;
    case 6: return m_db;
    case 10: return m_freqSpacing;
    case 12: return m_powerSpacing;
    case 13: return m_lpc;
    case kFftLpcWidthField: return m_width;
    case kFftLpcHeightField: return m_height;
    default: return nullptr;
    }
}

void COptionFFTLPC::accept() {
    OnLpcOrderDone();
    if (!ReadControls())
        return;
    if (const auto refusal = ValidateFftLpcOptions(values, sampleRate)) {
        Refuse(FieldWidget(refusal->field), refusal->message);
        return;
    }
    OptionDialogBase::accept();
}

}  // namespace vocomet
