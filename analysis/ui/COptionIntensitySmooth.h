#pragma once
// "Intensity/Smooth Options": one table row per channel of the document
// with its intensity window and step, absolute/relative flag, smoothing
// switch and points. On OK the channels take the table's values, unless a
// cell is refused (the dialog then stays open on it); the caller stores
// them in the settings file.

#include "analysis/ui/TableOptionDialog.h"

namespace vocomet {

class COptionIntensitySmooth : public TableOptionDialog {
    Q_OBJECT
public:
    COptionIntensitySmooth(platform::UserPrompts& prompts, QWidget* parent = nullptr);

protected:
    void FillTable(GridModel& grid, const COrielDoc& doc) override;
    std::optional<TableRefusal> StoreTable(const GridModel& grid, COrielDoc& doc) override;
};

}  // namespace vocomet
