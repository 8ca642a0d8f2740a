#pragma once
// The tables of the display, intensity/smooth and calibration option
// dialogs: filling a grid from the document's channels, checking what the
// user typed, and storing it back. A store checks every row first and
// changes nothing when one cell is refused, so the dialog can stay open
// with the document as it was.
//
// UI thread only (the document and the grid belong to it).

#include <optional>
#include <string>

#include "app/GridModel.h"

namespace vocomet {

class COrielDoc;

// A refused cell: where it is and the message to show. Row -1 stands for a
// value outside the table (see the store routine).
struct TableRefusal {
    int row = -1;
    int column = -1;
    std::string message;
};

// The row captions of every option table: "Audio" for channel 0, the
// channel index for the others.
std::string OptionRowCaption(int channel);

// ---- display options -------------------------------------------------------

inline constexpr int kMaxStripHeight = 5000;  // pixels
inline constexpr int kMaxGridSpacingMs = 100000000;
inline constexpr const char* kDisplayTableSetupError = "Error in setting up the data table";
inline constexpr const char* kDisplayTableReadError = "Error in getting data from table";

// The document-wide values of the display dialog.
struct DisplayOptionValues {
    int trackMouse = 0;
    int timeGrid = 0;
    int gridSpacingMs = 0;  // 0: automatic
    int inches = 1;
    int colour = 1;
    double width = 0.0;
    double height = 0.0;
};

DisplayOptionValues DisplayValuesOf(const COrielDoc& doc);
// Columns "Signal Name", "Show", "Heigth", "Draw Ref.", "Draw Int.", one row
// per channel in use; the flags are 0/1 choice cells.
void FillDisplayTable(GridModel& grid, const COrielDoc& doc);
// Strip heights 1..kMaxStripHeight; spacing 0..kMaxGridSpacingMs (0
// automatic, checked while the time grid is on); print width and height
// above 0 and at most 100. Row -1 with column 0 is the spacing, 1 the
// width, 2 the height.
std::optional<TableRefusal> ValidateDisplayOptions(const GridModel& grid, const DisplayOptionValues& values);
// Validates, then stores the rows into the channels and the values into the
// document's display settings. Flags read back as 0 or 1.
std::optional<TableRefusal> StoreDisplayOptions(const GridModel& grid, const DisplayOptionValues& values,
                                                COrielDoc& doc);

// ---- intensity / smooth ------------------------------------------------------

// Columns "Name", "Window Length(ms)", "Step Size(ms)", "Abs/Rel", "Do",
// "# of points"; one row per channel in use.
void FillIntensityTable(GridModel& grid, const COrielDoc& doc);
// Window, step and points are read as 32-bit whole numbers of 1..32767; the
// two check columns as 0 or 1. The name column is not read back. The first
// sixteen channels' copies in the document's settings follow.
std::optional<TableRefusal> StoreIntensityTable(const GridModel& grid, COrielDoc& doc);

// ---- calibration ---------------------------------------------------------------

inline constexpr const char* kCalibrationMask = "####.########";
inline constexpr std::size_t kMaxUnitBytes = 31;  // the unit's 32-byte field keeps a NUL

// Columns "Signal Name", "A (X**3)", "B (X**2)", "C X", "D", "Unit".
void FillCalibrationTable(GridModel& grid, const COrielDoc& doc);
// Coefficients: a cell that is no number counts as 0.0; a number beyond the
// mask's "####.########" is refused. Names and units are taken as typed,
// units cut to 31 bytes. The first sixteen channels' copies in the
// document's settings follow.
std::optional<TableRefusal> StoreCalibrationTable(const GridModel& grid, COrielDoc& doc);

}  // namespace vocomet
