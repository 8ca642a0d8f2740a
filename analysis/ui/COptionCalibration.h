#pragma once
// "Calibration Option": one table row per channel of the document with its
// name, the coefficients of A (X**3) + B (X**2) + C X + D and its unit. On
// OK the channels take the table's values (unless a coefficient is refused:
// the dialog then stays open on it) and the settings file gets the
// calibration and units of the first sixteen channels.

#include <memory>

#include "analysis/ui/OptionDialogBase.h"
#include "app/GridModel.h"

namespace vocomet {

class COrielDoc;
class GridTableView;

class COptionCalibration : public OptionDialogBase {
    Q_OBJECT
public:
    COptionCalibration(platform::UserPrompts& prompts, QWidget* parent = nullptr);
    ~COptionCalibration() override;

    COrielDoc* document = nullptr;  // set by the caller
    int editing = 0;

    void OnInitDialog();
    void accept() override;
    void reject() override;
    // Patches the calibration and units of channels 0 to 15 into the
    // settings file of the document's temp folder. Silent; false when
    // nothing was written (missing, short or foreign file, write failure).
    bool SaveCalibrationToConfig();

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
