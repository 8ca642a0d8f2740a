#include "analysis/ui/COptionSpectrogram.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "analysis/AnalysisLimits.h"

namespace vocomet {

COptionSpectrogram::COptionSpectrogram(platform::UserPrompts& prompts, QWidget* parent)
    : OptionDialogBase(QStringLiteral("Spectrogram Option"), prompts, parent) {
    auto* top = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    top->addLayout(grid);
    grid->addWidget(new QLabel(QStringLiteral("Bandwidth (Window Length)  = "), this), 0, 0);
    m_size = new QComboBox(this);
    grid->addWidget(m_size, 0, 1, 1, 2);
    m_range = AddEdit(grid, 1, QStringLiteral("Frequency range (Hz) = "));
    m_dynamic = AddEdit(grid, 2, QStringLiteral("Dynamic range (dB) = "));
    m_preEmphasis = AddEdit(grid, 3, QStringLiteral("Pre-Emphasis (0-1)(0 adds nothing)"));

    auto* tracking = new QGroupBox(QStringLiteral("Formant Tracking"), this);
    auto* tg = new QGridLayout(tracking);
    m_formants = new QCheckBox(QStringLiteral("Display formants"), tracking);
    tg->addWidget(m_formants, 0, 0);
    tg->addWidget(new QLabel(QStringLiteral("Formant tracking LPC coefficients        = "), tracking), 1, 0);
    m_lpc = new QLineEdit(tracking);
    m_lpc->setMaximumWidth(90);
    tg->addWidget(m_lpc, 1, 1);
    top->addWidget(tracking);

    auto* draw = new QGridLayout;
    top->addLayout(draw);
    auto* unit = new QButtonGroup(this);
    m_inches = new QRadioButton(QStringLiteral("inches"), this);
    m_cm = new QRadioButton(QStringLiteral("cm"), this);
    unit->addButton(m_inches);
    unit->addButton(m_cm);
    draw->addWidget(m_inches, 0, 0);
    draw->addWidget(m_cm, 0, 1);
    m_height = AddEdit(draw, 1, QStringLiteral("Height  ="));
    m_width = AddEdit(draw, 2, QStringLiteral("Width   = "));
    m_drawAudio = new QCheckBox(QStringLiteral("Draw Audio "), this);
    m_drawLabels = new QCheckBox(QStringLiteral("Draw Labels"), this);
    draw->addWidget(m_drawAudio, 3, 0);
    draw->addWidget(m_drawLabels, 3, 1);
    m_freqGrid = new QCheckBox(QStringLiteral("Add frequency grid with spacing (Hz)   = "), this);
    m_freqSpacing = new QLineEdit(this);
    m_freqSpacing->setMaximumWidth(90);
    draw->addWidget(m_freqGrid, 4, 0);
    draw->addWidget(m_freqSpacing, 4, 1);
    m_timeGrid = new QCheckBox(QStringLiteral("Add time grid with spacing (ms)            ="), this);
    m_timeSpacing = new QLineEdit(this);
    m_timeSpacing->setMaximumWidth(90);
    draw->addWidget(m_timeGrid, 5, 0);
    draw->addWidget(m_timeSpacing, 5, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* defaults = buttons->addButton(QStringLiteral("Defaults"), QDialogButtonBox::ResetRole);
    top->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionSpectrogram::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionSpectrogram::reject);
    connect(defaults, &QPushButton::clicked, this, &COptionSpectrogram::OnDefaults);
    connect(m_size, &QComboBox::activated, this, [this](int index) {
        values.values[1] = std::clamp(index, 0, kFftSizeCount - 1);
        values.values[0] = FftPointsOfIndex(values.values[1]);
    });
    connect(m_lpc, &QLineEdit::editingFinished, this, [this] {
        bool ok = false;
        const int typed = m_lpc->text().trimmed().toInt(&ok);
        if (ok)
            SetInt(m_lpc, EvenLpcOrder(typed));
    });
    connect(m_freqGrid, &QCheckBox::toggled, this, [this] { EnableEdits(); });
    connect(m_timeGrid, &QCheckBox::toggled, this, [this] { EnableEdits(); });
}

void COptionSpectrogram::showEvent(QShowEvent* event) {
    if (!m_initialised)
        OnInitDialog();
    OptionDialogBase::showEvent(event);
}

void COptionSpectrogram::OnInitDialog() {
    m_initialised = true;
    m_size->clear();
    for (int i = 0; i < kFftSizeCount; ++i)
        m_size->addItem(QString::fromStdString(FftSizeLabel(i, sampleRate)));
    LoadControls();
}

void COptionSpectrogram::LoadControls() {
    const auto& v = values.values;
    m_size->setCurrentIndex(std::clamp(v[1], 0, kFftSizeCount - 1));
    SetInt(m_range, v[2]);
    SetInt(m_dynamic, v[3]);
    SetDouble(m_preEmphasis, values.preEmphasis);
    m_formants->setChecked(v[4] != 0);
    SetInt(m_lpc, v[5]);
    SetPair(m_inches, m_cm, v[6] != 0);
    SetDouble(m_height, values.pictureWidth);
    SetDouble(m_width, values.pictureHeight);
    m_drawAudio->setChecked(v[7] != 0);
    m_drawLabels->setChecked(v[9] != 0);
    m_freqGrid->setChecked(v[10] != 0);
    SetInt(m_freqSpacing, v[11]);
    m_timeGrid->setChecked(v[12] != 0);
    SetInt(m_timeSpacing, v[13]);
    EnableEdits();
}

bool COptionSpectrogram::ReadControls() {
    SpectrogramSettings read = values;
    auto& r = read.values;
    r[1] = std::max(m_size->currentIndex(), 0);
    r[0] = FftPointsOfIndex(r[1]);
    if (!ReadInt(m_range, r[2]) || !ReadInt(m_dynamic, r[3]) || !ReadDouble(m_preEmphasis, read.preEmphasis))
        return false;
    r[4] = m_formants->isChecked() ? 1 : 0;
    if (!ReadInt(m_lpc, r[5]))
        return false;
    r[6] = m_inches->isChecked() ? 1 : 0;
    if (!ReadDouble(m_height, read.pictureWidth) || !ReadDouble(m_width, read.pictureHeight))
        return false;
    r[7] = m_drawAudio->isChecked() ? 1 : 0;
    r[9] = m_drawLabels->isChecked() ? 1 : 0;
    r[10] = m_freqGrid->isChecked() ? 1 : 0;
    if (!ReadInt(m_freqSpacing, r[11]))
        return false;
    r[12] = m_timeGrid->isChecked() ? 1 : 0;
    if (!ReadInt(m_timeSpacing, r[13]))
        return false;
    values = read;
    return true;
}

void COptionSpectrogram::EnableEdits() {
    m_freqSpacing->setEnabled(m_freqGrid->isChecked());
    m_timeSpacing->setEnabled(m_timeGrid->isChecked());
}

void COptionSpectrogram::OnDefaults() {
    if (!ReadControls())
        return;
    values = SpectrogramDefaults(values, sampleRate);
    LoadControls();
}

QWidget* COptionSpectrogram::FieldWidget(int field) const {
    switch (field) {
    case 1: return m_size;
    case 2: return m_range;
    case 3: return m_dynamic;
    case 5: return m_lpc;
    case 11: return m_freqSpacing;
    case 13: return m_timeSpacing;
    case kSpectrogramPreEmphasisField: return m_preEmphasis;
    case kSpectrogramFirstSizeField: return m_height;
    case kSpectrogramSecondSizeField: return m_width;
    default: return nullptr;
    }
}

void COptionSpectrogram::accept() {
    bool ok = false;
    const int typed = m_lpc->text().trimmed().toInt(&ok);
    if (ok)
        SetInt(m_lpc, EvenLpcOrder(typed));
    if (!ReadControls())
        return;
    if (const auto refusal = ValidateSpectrogramOptions(values, sampleRate)) {
        Refuse(FieldWidget(refusal->field), refusal->message);
        return;
    }
    OptionDialogBase::accept();
}

}  // namespace vocomet
