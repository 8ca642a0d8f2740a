#include "analysis/ui/COptionIntensitySmooth.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

#include "app/OptionTables.h"
#include "app/ui/GridTableView.h"
#include "platform/UserPrompts.h"

namespace vocomet {

COptionIntensitySmooth::COptionIntensitySmooth(platform::UserPrompts& prompts, QWidget* parent)
    : OptionDialogBase(QStringLiteral("Intensity/Smooth Options"), prompts, parent),
      m_grid(std::make_unique<GridModel>()) {
    auto* top = new QVBoxLayout(this);
    auto* groups = new QHBoxLayout;
    groups->addWidget(new QLabel(QStringLiteral("Signal"), this), 1);
    groups->addWidget(new QLabel(QStringLiteral("Intensity(check Abs/Rel for relative)"), this), 3);
    groups->addWidget(new QLabel(QStringLiteral("Smooth"), this), 2);
    top->addLayout(groups);
    m_table = new GridTableView(*m_grid, this);
    m_table->setMinimumSize(520, 220);
    top->addWidget(m_table);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    top->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionIntensitySmooth::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionIntensitySmooth::reject);
}

// The table's model listens to the grid: the table goes first, before the
// grid it watches.
COptionIntensitySmooth::~COptionIntensitySmooth() {
    delete m_table;
    m_table = nullptr;
}

void COptionIntensitySmooth::showEvent(QShowEvent* event) {
    if (!m_initialised)
        OnInitDialog();
    OptionDialogBase::showEvent(event);
}

void COptionIntensitySmooth::OnInitDialog() {
    m_initialised = true;
    if (!document)
        return;
    try {
        FillIntensityTable(*m_grid, *document);
    } catch (const std::exception&) {
        m_prompts.Message(kDisplayTableSetupError, platform::Buttons::Ok, platform::Icon::Warning);
    }
}

void COptionIntensitySmooth::accept() {
    EndCellEditing(m_table);
    if (!document) {
        OptionDialogBase::accept();
        return;
    }
    std::optional<TableRefusal> refusal;
    try {
        refusal = StoreIntensityTable(*m_grid, *document);
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
}

void COptionIntensitySmooth::reject() {
    EndCellEditing(m_table);
    OptionDialogBase::reject();
}

}  // namespace vocomet
