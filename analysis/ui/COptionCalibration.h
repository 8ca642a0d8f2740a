#pragma once
// "Calibration Option": one table row per channel of the document with its
// name, the coefficients of A (X**3) + B (X**2) + C X + D and its unit. On
// OK the channels take the table's values (unless a coefficient is refused:
// the dialog then stays open on it) and the settings file gets the
// calibration and units of the first sixteen channels.

#include "analysis/ui/TableOptionDialog.h"

namespace vocomet {

class COptionCalibration : public TableOptionDialog {
    Q_OBJECT
public:
    COptionCalibration(platform::UserPrompts& prompts, QWidget* parent = nullptr);

    // Patches the calibration and units of channels 0 to 15 into the
    // settings file of the document's temp folder. Silent; false when
    // nothing was written (missing, short or foreign file, write failure).
    bool SaveCalibrationToConfig();

protected:
    void FillTable(GridModel& grid, const COrielDoc& doc) override;
    std::optional<TableRefusal> StoreTable(const GridModel& grid, COrielDoc& doc) override;
    void Accepted() override { SaveCalibrationToConfig(); }
};

}  // namespace vocomet
