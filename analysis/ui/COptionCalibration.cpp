#include "analysis/ui/COptionCalibration.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "app/OptionCommands.h"
#include "app/OptionTables.h"
#include "app/ui/GridTableView.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/UserPrompts.h"

namespace vocomet {

COptionCalibration::COptionCalibration(platform::UserPrompts& prompts, QWidget* parent)
    : OptionDialogBase(QStringLiteral("Calibration Option"), prompts, parent), m_grid(std::make_unique<GridModel>()) {
    auto* top = new QVBoxLayout(this);
    auto* group = new QLabel(QStringLiteral("A (X**3) + B (X**2) + C X + D"), this);
    group->setAlignment(Qt::AlignCenter);
    top->addWidget(group);
    m_table = new GridTableView(*m_grid, this);
    m_table->setMinimumSize(600, 220);
    top->addWidget(m_table);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    top->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionCalibration::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionCalibration::reject);
}

// The table's model listens to the grid: the table goes first, before the
// grid it watches.
COptionCalibration::~COptionCalibration() {
    delete m_table;
    m_table = nullptr;
}

void COptionCalibration::showEvent(QShowEvent* event) {
    if (!m_initialised)
        OnInitDialog();
    OptionDialogBase::showEvent(event);
}

void COptionCalibration::OnInitDialog() {
    m_initialised = true;
    if (!document)
        return;
    try {
        FillCalibrationTable(*m_grid, *document);
    } catch (const std::exception&) {
        m_prompts.Message(kDisplayTableSetupError, platform::Buttons::Ok, platform::Icon::Warning);
    }
}

void COptionCalibration::accept() {
    EndCellEditing(m_table);
    if (!document) {
        OptionDialogBase::accept();
        return;
    }
    std::optional<TableRefusal> refusal;
    try {
        refusal = StoreCalibrationTable(*m_grid, *document);
    } catch (const std::exception&) {
        refusal = TableRefusal{-1, -1, kDisplayTableReadError};
    }
    if (refusal) {
        Refuse(m_table, refusal->message);
        if (refusal->row >= 0)
            m_table->setCurrentIndex(m_table->model()->index(refusal->row, refusal->column));
        return;
    }
    OptionDialogBase::accept();
    SaveCalibrationToConfig();
}

void COptionCalibration::reject() {
    EndCellEditing(m_table);
    OptionDialogBase::reject();
}

bool COptionCalibration::SaveCalibrationToConfig() {
    if (!document)
        return false;
    return vocomet::SaveCalibrationToConfig(document->App().ConfigurationFilePath(), *document);
}

}  // namespace vocomet
