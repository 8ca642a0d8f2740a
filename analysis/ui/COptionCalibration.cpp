#include "analysis/ui/COptionCalibration.h"

#include <QLabel>
#include <QVBoxLayout>

#include "app/OptionCommands.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"

namespace vocomet {

COptionCalibration::COptionCalibration(platform::UserPrompts& prompts, QWidget* parent)
    : TableOptionDialog(QStringLiteral("Calibration Option"), prompts, parent) {
    auto* group = new QLabel(QStringLiteral("A (X**3) + B (X**2) + C X + D"), this);
    group->setAlignment(Qt::AlignCenter);
    Layout()->addWidget(group);
    AddTableAndButtons(600);
}

void COptionCalibration::FillTable(GridModel& grid, const COrielDoc& doc) { FillCalibrationTable(grid, doc); }

std::optional<TableRefusal> COptionCalibration::StoreTable(const GridModel& grid, COrielDoc& doc) {
    return StoreCalibrationTable(grid, doc);
}

bool COptionCalibration::SaveCalibrationToConfig() {
    if (!document)
        return false;
    return vocomet::SaveCalibrationToConfig(document->App().ConfigurationFilePath(), *document);
}

}  // namespace vocomet
