#include "analysis/ui/COptionIntensitySmooth.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace vocomet {

COptionIntensitySmooth::COptionIntensitySmooth(platform::UserPrompts& prompts, QWidget* parent)
    : TableOptionDialog(QStringLiteral("Intensity/Smooth Options"), prompts, parent) {
    auto* groups = new QHBoxLayout;
    groups->addWidget(new QLabel(QStringLiteral("Signal"), this), 1);
    groups->addWidget(new QLabel(QStringLiteral("Intensity(check Abs/Rel for relative)"), this), 3);
    groups->addWidget(new QLabel(QStringLiteral("Smooth"), this), 2);
    Layout()->addLayout(groups);
    AddTableAndButtons(520);
}

void COptionIntensitySmooth::FillTable(GridModel& grid, const COrielDoc& doc) { FillIntensityTable(grid, doc); }

std::optional<TableRefusal> COptionIntensitySmooth::StoreTable(const GridModel& grid, COrielDoc& doc) {
    return StoreIntensityTable(grid, doc);
}

}  // namespace vocomet
