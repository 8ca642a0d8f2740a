#pragma once
// What the table option dialogs share: a grid of one row per channel of the
// document, filled when the dialog first shows and stored into the channels
// on OK. A refused cell keeps the dialog open on that cell.

#include <QDialog>
#include <memory>
#include <optional>

#include "analysis/ui/OptionDialogBase.h"
#include "app/GridModel.h"
#include "app/OptionTables.h"

class QDialogButtonBox;
class QVBoxLayout;

namespace vocomet {

class COrielDoc;
class GridTableView;

class TableOptionDialog : public OptionDialogBase {
    Q_OBJECT
public:
    ~TableOptionDialog() override;

    COrielDoc* document = nullptr;  // set by the caller
    int editing = 0;                // set while a cell is being edited

    void OnInitDialog();
    void accept() override;
    void reject() override;

    GridModel& Grid() { return *m_grid; }
    GridTableView* Table() const { return m_table; }

protected:
    // Lays out: what the derived dialog put into Layout() first, then the
    // table of the given minimum width, then OK and Cancel.
    TableOptionDialog(const QString& title, platform::UserPrompts& prompts, QWidget* parent);
    QVBoxLayout* Layout() const { return m_top; }
    void AddTableAndButtons(int minimumWidth);

    virtual void FillTable(GridModel& grid, const COrielDoc& doc) = 0;
    virtual std::optional<TableRefusal> StoreTable(const GridModel& grid, COrielDoc& doc) = 0;
    // After the channels took the table's values and the dialog closed.
    virtual void Accepted() {}

    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<GridModel> m_grid;
    QVBoxLayout* m_top;
    GridTableView* m_table = nullptr;
    bool m_initialised = false;
};

}  // namespace vocomet
