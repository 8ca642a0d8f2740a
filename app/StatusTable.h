#pragma once
// The decisions of the status window that need no widget: the value table
// filled from a document, and which caller may change the read-outs.

#include <string>

#include "app/GridModel.h"

namespace vocomet {

class COrielDoc;

// Columns of the value table.
enum StatusColumn {
    kStatusName = 0,
    kStatusRate,
    kStatusFilterRate,
    kStatusGain,
    kStatusReference,
    kStatusValue,
    kStatusUnit,
    kStatusIntensity,
    kStatusVelocity,
    kStatusAcceleration,
    kStatusColumnCount
};

// Makes the ten columns with their template captions and widths.
void SetUpStatusColumns(GridModel& grid);

// Removes all rows; with a document, sets masks, captions and widths and
// appends one row per shown channel in slot order. Columns 7 to 9 are shown
// only when some shown channel has that curve valid and drawn.
void FillStatusTable(GridModel& grid, const COrielDoc* document);

// The read-out rule of the cursor and duration texts. Owners are compared by
// identity. Returns false when nothing changes (both owners exist and
// differ); otherwise sets text to the value as "%20.1f", or to "" when either
// owner is missing.
bool StatusReadoutText(const void* owner, const void* currentOwner, double ms, std::string& text);

}  // namespace vocomet
