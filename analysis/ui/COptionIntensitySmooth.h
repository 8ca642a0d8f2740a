#pragma once
// "Intensity/Smooth Options": one table row per channel of the document
// with its intensity window and step, absolute/relative flag, smoothing
// switch and points. On OK the channels take the table's values, unless a
// cell is refused (the dialog then stays open on it); the caller stores
// them in the settings file.

#include <memory>

#include "analysis/ui/OptionDialogBase.h"
#include "app/GridModel.h"

namespace vocomet {

class COrielDoc;
class GridTableView;

class COptionIntensitySmooth : public OptionDialogBase {
    Q_OBJECT
public:
    COptionIntensitySmooth(platform::UserPrompts& prompts, QWidget* parent = nullptr);
    ~COptionIntensitySmooth() override;

    COrielDoc* document = nullptr;  // set by the caller
    int editing = 0;                // set while a cell is being edited

    void OnInitDialog();
    void accept() override;
    void reject() override;

    GridModel& Grid() { return *m_grid; }
    GridTableView* Table() const { return m_table; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<GridModel> m_grid;
    GridTableView* m_table;
    bool m_initialised = false;
};

}  // namespace vocomet
