#include "app/StatusTable.h"

#include <cstdio>

#include "core/COrielDoc.h"
#include "platform/TextEncoding.h"

namespace vocomet {

void SetUpStatusColumns(GridModel& grid) {
    grid.Clear();
    static const char* const kCaptions[] = {"Signal Name", "Sample Rate", "Filter Rate", "Gain", "Reference"};
    for (int c = 0; c < kStatusColumnCount; ++c) {
        GridColumn col;
        col.kind = c == kStatusName || c == kStatusUnit ? GridColumnKind::Text : GridColumnKind::Number;
        col.width = c == kStatusName ? 100.0 : 80.0;
        if (c < 5)
            col.caption = kCaptions[c];
        grid.AppendColumn(col);
    }
}

void FillStatusTable(GridModel& grid, const COrielDoc* document) {
    grid.RemoveAllRows();
    grid.SetRowHeight(25.0);
    if (!document)
        return;
    if (grid.GetColumnCount() < kStatusColumnCount)
        SetUpStatusColumns(grid);

    grid.SetColumnMask(kStatusRate, "##########.#");
    grid.SetColumnMask(kStatusFilterRate, "##########.#");
    grid.SetColumnMask(kStatusGain, "##########.#");
    grid.SetColumnMask(kStatusReference, "##########.##");
    grid.SetColumnMask(kStatusValue, "##########.###");
    grid.SetColumnMask(kStatusUnit, "##########");
    grid.SetColumnMask(kStatusIntensity, "##########.##");
    grid.SetColumnMask(kStatusVelocity, "##########.##");
    grid.SetColumnMask(kStatusAcceleration, "##########.##");
    grid.SetColumnCaption(kStatusValue, "Value");
    grid.SetColumnCaption(kStatusUnit, "Unit");
    grid.SetColumnCaption(kStatusIntensity, "Int. (dB)");
    grid.SetColumnCaption(kStatusVelocity, "Vel. (unti/s)");
    grid.SetColumnCaption(kStatusAcceleration, "Acc. (unti/s2)");
    grid.SetColumnWidth(kStatusUnit, 50.0);
    grid.SetColumnWidth(kStatusIntensity, 70.0);
    grid.SetColumnHidden(kStatusIntensity, true);
    grid.SetColumnHidden(kStatusVelocity, true);
    grid.SetColumnHidden(kStatusAcceleration, true);

    for (int i = 0; i < document->GetChannelCount(); ++i) {
        const CChannels& ch = document->Channel(i);
        if (!ch.show)
            continue;
        std::vector<GridCell> cells(kStatusColumnCount);
        // Names and units are stored as Windows-1252 bytes; the grid holds UTF-8.
        cells[kStatusName] = platform::Cp1252ToUtf8(ch.name);
        cells[kStatusRate] = ch.rate;
        cells[kStatusFilterRate] = ch.filterRate;
        cells[kStatusGain] = ch.gain;
        cells[kStatusReference] = ch.ConvertReference(ch.reference);
        cells[kStatusUnit] = platform::Cp1252ToUtf8(ch.unit);
        grid.AppendRow(cells);
        if (ch.intensityValid && ch.drawIntensity)
            grid.SetColumnHidden(kStatusIntensity, false);
        if (ch.velocityValid && ch.drawVelocity)
            grid.SetColumnHidden(kStatusVelocity, false);
        if (ch.accelerationValid && ch.drawAcceleration)
            grid.SetColumnHidden(kStatusAcceleration, false);
    }
}

bool StatusReadoutText(const void* owner, const void* currentOwner, double ms, std::string& text) {
    if (!owner || !currentOwner) {
        text.clear();
        return true;
    }
    if (owner != currentOwner)
        return false;
    char buf[400];
    std::snprintf(buf, sizeof buf, "%20.1f", ms);
    text = buf;
    return true;
}

}  // namespace vocomet
