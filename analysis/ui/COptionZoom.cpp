#include "analysis/ui/COptionZoom.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "analysis/AnalysisLimits.h"

namespace vocomet {

COptionZoom::COptionZoom(platform::UserPrompts& prompts, QWidget* parent)
    : OptionDialogBase(QStringLiteral("Zoom Option"), prompts, parent) {
    auto* top = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    m_span = AddEdit(grid, 0, QStringLiteral("Range to zoom from cursor ( ms ) = "));
    top->addLayout(grid);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    top->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionZoom::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionZoom::reject);
}

void COptionZoom::showEvent(QShowEvent* event) {
    if (!m_initialised)
        OnInitDialog();
    OptionDialogBase::showEvent(event);
}

void COptionZoom::OnInitDialog() {
    m_initialised = true;
    SetInt(m_span, zoomMs);
}

void COptionZoom::accept() {
    int read = 0;
    if (!ReadInt(m_span, read))
        return;
    if (const auto refusal = ValidateZoomOptions(read)) {
        Refuse(m_span, refusal->message);
        return;
    }
    zoomMs = read;
    OptionDialogBase::accept();
}

}  // namespace vocomet
