#include "analysis/ui/COptionEGG.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "analysis/AnalysisLimits.h"

namespace vocomet {

COptionEGG::COptionEGG(platform::UserPrompts& prompts, QWidget* parent)
    : OptionDialogBase(QStringLiteral("EGG Option"), prompts, parent) {
    // Every value starts at 0; the caller fills them.
    values = EggOptions{0, 0, 0, 0, 0, 0, 0.0, 0.0};
    auto* top = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    top->addLayout(grid);
    m_threshold = AddEdit(grid, 0, QStringLiteral("Threshold(%) = "));
    m_velocityWindow = AddEdit(grid, 1, QStringLiteral("Velocity Smoothing Window (ms) =  "));
    m_accelerationWindow = AddEdit(grid, 2, QStringLiteral("Acceleration Smoothing Window (ms) =  "));
    m_drawVelocity = new QCheckBox(QStringLiteral("Draw Velocity"), this);
    m_drawAcceleration = new QCheckBox(QStringLiteral("Draw Acceleration"), this);
    m_drawPeaks = new QCheckBox(QStringLiteral("Draw Peaks"), this);
    m_drawValleys = new QCheckBox(QStringLiteral("Draw Valleys"), this);
    m_drawThreshold = new QCheckBox(QStringLiteral("Draw Threshold Marks"), this);
    grid->addWidget(m_drawVelocity, 3, 0);
    grid->addWidget(m_drawAcceleration, 4, 0);
    grid->addWidget(m_drawPeaks, 5, 0);
    grid->addWidget(m_drawValleys, 6, 0);
    grid->addWidget(m_drawThreshold, 7, 0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    top->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionEGG::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionEGG::reject);
}

void COptionEGG::showEvent(QShowEvent* event) {
    if (!m_initialised)
        OnInitDialog();
    OptionDialogBase::showEvent(event);
}

void COptionEGG::OnInitDialog() {
    m_initialised = true;
    SetInt(m_threshold, values.thresholdPercent);
    SetDouble(m_velocityWindow, values.velocityWindowMs);
    SetDouble(m_accelerationWindow, values.accelerationWindowMs);
    m_drawVelocity->setChecked(values.drawVelocity != 0);
    m_drawAcceleration->setChecked(values.drawAcceleration != 0);
    m_drawPeaks->setChecked(values.drawPeaks != 0);
    m_drawValleys->setChecked(values.drawValleys != 0);
    m_drawThreshold->setChecked(values.drawThresholdMarks != 0);
}

void COptionEGG::accept() {
    EggOptions read;
    if (!ReadInt(m_threshold, read.thresholdPercent) || !ReadDouble(m_velocityWindow, read.velocityWindowMs) ||
        !ReadDouble(m_accelerationWindow, read.accelerationWindowMs))
        return;
    read.drawVelocity = m_drawVelocity->isChecked() ? 1 : 0;
    read.drawAcceleration = m_drawAcceleration->isChecked() ? 1 : 0;
    read.drawPeaks = m_drawPeaks->isChecked() ? 1 : 0;
    read.drawValleys = m_drawValleys->isChecked() ? 1 : 0;
    read.drawThresholdMarks = m_drawThreshold->isChecked() ? 1 : 0;
    if (const auto refusal = ValidateEggOptions(read)) {
        QLineEdit* edits[] = {m_threshold, m_velocityWindow, m_accelerationWindow};
        Refuse(edits[refusal->field], refusal->message);
        return;
    }
    values = read;
    OptionDialogBase::accept();
}

}  // namespace vocomet
