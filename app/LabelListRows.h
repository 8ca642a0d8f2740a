#pragma once
// The rows of the label list window, kept in a GridModel without a widget:
// one row per label of the shown channels, holding the channel's name, the
// label's text (both as UTF-8, turned from their Windows-1252 bytes) and
// the label's time in ms as a double, so a row matches its label exactly.
//
// The list mirrors the channels: the main view reports every label it
// adds, changes or deletes, and asks for a refill after edits that move
// many labels at once.
//
// Threading: user-interface thread only, like the grid.

#include <optional>
#include <string>
#include <vector>

#include "app/GridModel.h"
#include "core/ChannelRecords.h"

namespace vocomet {

class COrielDoc;

enum LabelListColumn { kLabelListChannelColumn = 0, kLabelListTextColumn = 1, kLabelListTimeColumn = 2 };

inline constexpr const char* kLabelListTableError = "Error in setting up the data table";
inline constexpr const char* kLabelListNoSelection = "Select a row the label view and then zoom to the label.";

// Clears the grid and makes the three columns "Signal Name", "Label", "Time(ms)".
void SetUpLabelListColumns(GridModel& grid);

// The cells of the row for a label of the named channel (name in Windows-1252).
std::vector<GridCell> LabelListRow(const std::string& channelName, const LABEL& label);

// Removes every row, then appends a row for each label, in order, of each
// channel slot 0 .. channel count - 1 whose show flag is set. Failures
// (no memory) pass on and leave the rows appended so far.
void FillLabelRows(GridModel& grid, const COrielDoc& doc);

// Appends the label's row at the end, whatever its channel and time.
int AddLabelRow(GridModel& grid, const std::string& channelName, const LABEL& label);

// The first row, from the top, of this channel with the label's text and
// exactly its time; -1 when none.
int FindLabelRow(const GridModel& grid, const std::string& channelName, const LABEL& label);

// The first row of the old label takes the new label's channel name, text
// and time; false (nothing changed) when there is no such row.
bool ModifyLabelRow(GridModel& grid, const LABEL& oldLabel, const LABEL& newLabel, const std::string& channelName);

// Removes the first row of the label, as the channel removes only the first
// matching label; false when there is none.
bool DeleteLabelRow(GridModel& grid, const LABEL& label, const std::string& channelName);

// The time (ms) of the first selected row; nothing when no row is selected.
std::optional<double> SelectedLabelTime(const GridModel& grid);

// Orders the rows by a column (texts without regard to case, times by
// value; equal rows keep their order); selected rows stay selected.
void SortLabelRows(GridModel& grid, int column, bool ascending);

}  // namespace vocomet
