#include "analysis/ui/COptionLog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "analysis/AnalysisLimits.h"

namespace vocomet {

COptionLog::COptionLog(platform::UserPrompts& prompts, QWidget* parent)
    : OptionDialogBase(QStringLiteral("Log Option"), prompts, parent) {
    auto* top = new QVBoxLayout(this);
    auto* frame = new QGroupBox(QStringLiteral("FFT/LPC Entire Frame "), this);
    auto* fg = new QGridLayout(frame);
    m_frameStep = AddEdit(fg, 0, QStringLiteral("Step size for entire frame entry (Hz) = "));
    top->addWidget(frame);
    auto* grid = new QGridLayout;
    auto* caption = new QLabel(QStringLiteral("Step size for selection data entry       (ms) = (Applies to all time "
                                              "base data entries. 0.0 - 100.0)"),
                               this);
    caption->setWordWrap(true);
    grid->addWidget(caption, 0, 0);
    m_selectionStep = new QLineEdit(this);
    m_selectionStep->setMaximumWidth(90);
    grid->addWidget(m_selectionStep, 0, 1);
    top->addLayout(grid);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    top->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionLog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionLog::reject);
}

void COptionLog::showEvent(QShowEvent* event) {
    if (!m_initialised)
        OnInitDialog();
    OptionDialogBase::showEvent(event);
}

void COptionLog::OnInitDialog() {
    m_initialised = true;
    SetInt(m_frameStep, values.frameStepHz);
    SetDouble(m_selectionStep, values.selectionStepMs);
}

void COptionLog::accept() {
    LogOptions read;
    if (!ReadInt(m_frameStep, read.frameStepHz) || !ReadDouble(m_selectionStep, read.selectionStepMs))
        return;
    if (const auto refusal = ValidateLogOptions(read)) {
        Refuse(refusal->field == 0 ? m_frameStep : m_selectionStep, refusal->message);
        return;
    }
    values = read;
    OptionDialogBase::accept();
}

}  // namespace vocomet
