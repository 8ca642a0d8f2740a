#include "analysis/ui/COptionPitch.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

#include "analysis/AnalysisLimits.h"

namespace vocomet {

namespace {

QLineEdit* SmallEdit(QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setMaximumWidth(70);
    return e;
}

}  // namespace

COptionPitch::COptionPitch(platform::UserPrompts& prompts, QWidget* parent)
    : OptionDialogBase(QStringLiteral("Pitch option"), prompts, parent) {
    auto* top = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    top->addLayout(grid);
    m_window = AddEdit(grid, 0, QStringLiteral("Window length (ms)  = "));
    m_step = AddEdit(grid, 1, QStringLiteral("Step size (ms)           = "));
    grid->addWidget(new QLabel(QStringLiteral("Calculation range (Hz)  = "), this), 2, 0);
    m_calcLow = SmallEdit(this);
    m_calcHigh = SmallEdit(this);
    grid->addWidget(m_calcLow, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("to"), this), 2, 2);
    grid->addWidget(m_calcHigh, 2, 3);
    grid->addWidget(new QLabel(QStringLiteral("Display range (Hz)        = "), this), 3, 0);
    m_displayLow = SmallEdit(this);
    m_displayHigh = SmallEdit(this);
    grid->addWidget(m_displayLow, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("to"), this), 3, 2);
    grid->addWidget(m_displayHigh, 3, 3);
    m_deviation = AddEdit(grid, 4, QStringLiteral("Frequency deviation (Hz) = "));
    m_threshold = AddEdit(grid, 5, QStringLiteral("Tracking threshold (%)     = "));
    m_freqGrid = new QCheckBox(QStringLiteral("Add Frequency grid with spacing (Hz) = "), this);
    m_freqSpacing = SmallEdit(this);
    grid->addWidget(m_freqGrid, 6, 0);
    grid->addWidget(m_freqSpacing, 6, 1);
    m_timeGrid = new QCheckBox(QStringLiteral("Add Time grid with spacing (ms)          = "), this);
    m_timeSpacing = SmallEdit(this);
    grid->addWidget(m_timeGrid, 7, 0);
    grid->addWidget(m_timeSpacing, 7, 1);
    auto* note = new QLabel(QStringLiteral("Note: A value of 0 will make the time grids adjust automatically to the zoomed window."), this);
    note->setWordWrap(true);
    grid->addWidget(note, 8, 0, 1, 4);

    auto* adds = new QHBoxLayout;
    m_addAudio = new QCheckBox(QStringLiteral("Add audio"), this);
    m_addIntensity = new QCheckBox(QStringLiteral("Add Intensity"), this);
    m_addLabels = new QCheckBox(QStringLiteral("Add Labels"), this);
    adds->addWidget(m_addAudio);
    adds->addWidget(m_addIntensity);
    adds->addWidget(m_addLabels);
    top->addLayout(adds);

    auto* print = new QGridLayout;
    top->addLayout(print);
    auto* colour = new QButtonGroup(this);
    m_colour = new QRadioButton(QStringLiteral("Color"), this);
    m_blackWhite = new QRadioButton(QStringLiteral("Black White"), this);
    colour->addButton(m_colour);
    colour->addButton(m_blackWhite);
    auto* unit = new QButtonGroup(this);
    m_inches = new QRadioButton(QStringLiteral("Inches"), this);
    m_cm = new QRadioButton(QStringLiteral("cm"), this);
    unit->addButton(m_inches);
    unit->addButton(m_cm);
    print->addWidget(m_colour, 0, 0);
    print->addWidget(m_blackWhite, 0, 1);
    print->addWidget(m_inches, 1, 0);
    print->addWidget(m_cm, 1, 1);
    m_width = AddEdit(print, 2, QStringLiteral("width  = "));
    m_height = AddEdit(print, 3, QStringLiteral("heigth = "));
    print->setColumnStretch(2, 1);

    auto* method = new QGroupBox(QStringLiteral("Calculation Method"), this);
    auto* mg = new QHBoxLayout(method);
    auto* methods = new QButtonGroup(this);
    m_cepstral = new QRadioButton(QStringLiteral("Cepstral"), method);
    m_otherMethod = new QRadioButton(method);
    m_otherMethod->hide();
    methods->addButton(m_cepstral);
    methods->addButton(m_otherMethod);
    mg->addWidget(m_cepstral);
    top->addWidget(method);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* defaults = buttons->addButton(QStringLiteral("Defaults "), QDialogButtonBox::ResetRole);
    top->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionPitch::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionPitch::reject);
    connect(defaults, &QPushButton::clicked, this, &COptionPitch::OnDefaults);
    connect(m_freqGrid, &QCheckBox::toggled, this, [this] { EnableEdits(); });
    connect(m_timeGrid, &QCheckBox::toggled, this, [this] { EnableEdits(); });
}

void COptionPitch::showEvent(QShowEvent* event) {
    if (!m_initialised)
        OnInitDialog();
    OptionDialogBase::showEvent(event);
}

void COptionPitch::OnInitDialog() {
    m_initialised = true;
    LoadControls();
}

void COptionPitch::LoadControls() {
    const auto whole = [](double v) -> long long { return std::isfinite(v) ? static_cast<long long>(v) : 0; };
    const auto& d = values.doubles;
    const auto& n = values.ints;
    SetInt(m_window, whole(d[0]));
    SetInt(m_step, whole(d[1]));
    SetInt(m_calcHigh, whole(d[2]));
    SetInt(m_calcLow, whole(d[3]));
    SetInt(m_threshold, whole(d[4]));
    SetInt(m_deviation, whole(d[5]));
    SetInt(m_displayHigh, n[0]);
    SetInt(m_displayLow, n[1]);
    m_freqGrid->setChecked(n[2] != 0);
    SetInt(m_freqSpacing, n[3]);
    m_timeGrid->setChecked(n[4] != 0);
    SetInt(m_timeSpacing, n[5]);
    SetPair(m_cepstral, m_otherMethod, n[6] == 1);
    m_addAudio->setChecked(n[7] != 0);
    m_addIntensity->setChecked(n[8] != 0);
    m_addLabels->setChecked(n[9] != 0);
    SetPair(m_colour, m_blackWhite, n[10] != 0);
    SetPair(m_inches, m_cm, n[11] != 0);
    SetDouble(m_width, values.pictureWidth);
    SetDouble(m_height, values.pictureHeight);
    EnableEdits();
}

bool COptionPitch::ReadControls() {
    PitchSettings read = values;
    int i[12] = {};
    if (!ReadInt(m_window, i[0]) || !ReadInt(m_step, i[1]) || !ReadInt(m_calcLow, i[3]) ||
        !ReadInt(m_calcHigh, i[2]) || !ReadInt(m_displayLow, i[5]) || !ReadInt(m_displayHigh, i[4]) ||
        !ReadInt(m_deviation, i[7]) || !ReadInt(m_threshold, i[6]) || !ReadInt(m_freqSpacing, i[8]) ||
        !ReadInt(m_timeSpacing, i[9]) || !ReadDouble(m_width, read.pictureWidth) ||
        !ReadDouble(m_height, read.pictureHeight))
        return false;
    read.doubles[0] = i[0];
    read.doubles[1] = i[1];
    read.doubles[2] = i[2];
    read.doubles[3] = i[3];
    read.doubles[4] = i[6];
    read.doubles[5] = i[7];
    read.ints[0] = i[4];
    read.ints[1] = i[5];
    read.ints[2] = m_freqGrid->isChecked() ? 1 : 0;
    read.ints[3] = i[8];
    read.ints[4] = m_timeGrid->isChecked() ? 1 : 0;
    read.ints[5] = i[9];
    read.ints[6] = m_cepstral->isChecked() ? 1 : 0;
    read.ints[7] = m_addAudio->isChecked() ? 1 : 0;
    read.ints[8] = m_addIntensity->isChecked() ? 1 : 0;
    read.ints[9] = m_addLabels->isChecked() ? 1 : 0;
    read.ints[10] = m_colour->isChecked() ? 1 : 0;
    read.ints[11] = m_inches->isChecked() ? 1 : 0;
    values = read;
    return true;
}

void COptionPitch::EnableEdits() {
    m_freqSpacing->setEnabled(m_freqGrid->isChecked());
    m_timeSpacing->setEnabled(m_timeGrid->isChecked());
}

void COptionPitch::OnDefaults() {
    if (!ReadControls())
        return;
    values = PitchDefaults(values);
    LoadControls();
}

QWidget* COptionPitch::FieldWidget(int field) const {
    switch (field) {
    case 0: return m_window;
    case 1: return m_step;
    case 2: return m_calcHigh;
    case 3: return m_calcLow;
    case 4: return m_threshold;
    case 5: return m_deviation;
    case kPitchIntsField + 0: return m_displayHigh;
    case kPitchIntsField + 1: return m_displayLow;
    case kPitchIntsField + 3: return m_freqSpacing;
    case kPitchIntsField + 5: return m_timeSpacing;
    case kPitchWidthField: return m_width;
    case kPitchHeightField: return m_height;
    default: return nullptr;
    }
}

void COptionPitch::accept() {
    if (!ReadControls())
        return;
    if (const auto refusal = ValidatePitchOptions(values)) {
        Refuse(FieldWidget(refusal->field), refusal->message);
        return;
    }
    OptionDialogBase::accept();
}

}  // namespace vocomet
