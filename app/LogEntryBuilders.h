#pragma once
// The measurement entries of the main view's Log menu, built from what the
// user marked in a document's channels. Each builder only reads the
// document (a value read at a time leaves the channel's value at the cursor
// as it was) and returns the entries; the view's commands add them to the
// log window.
//
// Every entry: source = the document's title, description = the kind of
// entry and the names of its values, values in that order. Times are in ms;
// sample values calibrated. The shown channels are the channels in use
// whose show flag is set, in channel order.

#include <cstdint>
#include <optional>
#include <vector>

#include "app/LogEntry.h"

namespace vocomet {

class COrielDoc;

// Most entries Enter Data Selection makes in one go.
inline constexpr std::int64_t kMaxDataSelectionEntries = 1000000;
inline constexpr const char* kLogStepNotPositive = "The log selection step must be greater than 0 ms.";
inline constexpr const char* kLogTooManyEntries =
    "The selection gives too many log entries at this step. Please select less or choose a larger step.";

// "Marker Entry: time ,<name> ,<name>...": channel 0's marker time, then
// each shown channel's calibrated value at its marker.
LogEntry MarkerEntry(COrielDoc& doc);

// "Duration Entry: start, end, duration ": channel 0's selection start,
// end and end - start.
LogEntry DurationEntry(const COrielDoc& doc);

// Rows of a selection from start to end (ms) at step ms: row i is at
// start + i x step, while that is before end (times within a billionth of a
// step of the end count as the end). 0 for a step that is not positive or
// not finite, or an empty selection.
std::int64_t DataSelectionRowCount(double start, double end, double step);

// "Data Selection Entry: time ,<name>...": one entry per row of channel 0's
// selection at step ms; values the row's time and each shown channel's
// calibrated sample at that time. None for a step of 0 or less.
std::vector<LogEntry> DataSelectionEntries(COrielDoc& doc, double step);

// The document's EGG channel, when it names a channel in use.
std::optional<int> EggChannelOf(const COrielDoc& doc);

// "EGG Entries: time, value, peak Velocity" on the EGG channel: its marker
// time, the calibrated value at its marker and the (raw) velocity there.
// None without an EGG channel.
std::optional<LogEntry> EggMarkerEntry(COrielDoc& doc);

// One entry per glottal cycle of the EGG channel except the last (the next
// cycle closes its open phase): "EGG Entries:TCstart, TCend, TOend, CQ,
// CQ_H, CQ_PM, CQ_HT, peak_Vel, peak_Vel_Time ". None without an EGG
// channel with valid cycles, or with fewer than 2 cycles.
std::vector<LogEntry> EggAllEntries(const COrielDoc& doc);

// As EggAllEntries, only the cycles whose rising criterion crossing is after
// the EGG channel's selection start and whose falling crossing is before
// its selection end.
std::vector<LogEntry> EggSelectionEntries(const COrielDoc& doc);

}  // namespace vocomet
