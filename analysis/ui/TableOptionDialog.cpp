#include "analysis/ui/TableOptionDialog.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>
#include <exception>

#include "widgets/GridTableView.h"
#include "platform/UserPrompts.h"

namespace vocomet {

TableOptionDialog::TableOptionDialog(const QString& title, platform::UserPrompts& prompts, QWidget* parent)
    : OptionDialogBase(title, prompts, parent), m_grid(std::make_unique<GridModel>()), m_top(new QVBoxLayout(this)) {}

void TableOptionDialog::AddTableAndButtons(int minimumWidth) {
    m_table = new GridTableView(*m_grid, this);
    m_table->setMinimumSize(minimumWidth, 220);
    m_top->addWidget(m_table);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_top->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &TableOptionDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TableOptionDialog::reject);
}

// The table's model listens to the grid: the table goes first, before the
// grid it watches.
TableOptionDialog::~TableOptionDialog() {
    delete m_table;
    m_table = nullptr;
}

void TableOptionDialog::showEvent(QShowEvent* event) {
    if (!m_initialised)
        OnInitDialog();
    OptionDialogBase::showEvent(event);
}

void TableOptionDialog::OnInitDialog() {
    m_initialised = true;
    if (!document)
        return;
    try {
        FillTable(*m_grid, *document);
    } catch (const std::exception&) {
        m_prompts.Message(kDisplayTableSetupError, platform::Buttons::Ok, platform::Icon::Warning);
    }
}

void TableOptionDialog::accept() {
    EndCellEditing(m_table);
    if (!document) {
        OptionDialogBase::accept();
        return;
    }
    std::optional<TableRefusal> refusal;
    try {
        refusal = StoreTable(*m_grid, *document);
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
    Accepted();
}

void TableOptionDialog::reject() {
    EndCellEditing(m_table);
    OptionDialogBase::reject();
}

}  // namespace vocomet
