#pragma once
// One row of the measurement log, handed by value to the log window, and the
// log's table rules: the columns a fresh log starts with, and how an entry
// with more values than the table has number columns widens it.
//
// Table layout (N columns): 0 the source (text), 1 the entry's description
// (text), 2..N-2 the values (numbers, captions "Entry 1", "Entry 2", ...),
// N-1 the user's comment (text).
//
// Texts: a LogEntry carries 8-bit Windows-1252 texts, like every text of a
// recording (channel names, labels); the grid holds UTF-8 for display, so
// the adders convert.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/GridModel.h"

namespace vocomet {

inline constexpr int kLogMaxValues = 100;
// Longest source or description text, in bytes.
inline constexpr std::size_t kLogTextBytes = 255;

inline constexpr const char* kLogSourceCaption = "File Name";
inline constexpr const char* kLogDescriptionCaption = "Entry definition and order";
inline constexpr const char* kLogCommentCaption = "Comments";
// Mask of the number columns an entry adds (three decimals shown).
inline constexpr const char* kLogEntryNumberMask = "#####################.###";

struct LogEntry {
    std::string source;       // title of the document that made the entry
    std::string description;  // names the values in order
    int count = 0;            // values used, 0..kLogMaxValues
    std::vector<double> values;

    // Texts longer than kLogTextBytes are cut.
    void SetSource(std::string_view text);
    void SetDescription(std::string_view text);
    // Appends a value and counts it; values past kLogMaxValues are dropped.
    void AddValue(double value);
    // The values the log takes: count clamped to 0..kLogMaxValues and to the
    // values present.
    int UsedCount() const;
};

// Where the measurement commands of every window put their entries: the
// open log window. UI thread only.
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void AddEntry(const LogEntry& entry) = 0;
    // A run of entries (a selection's rows, a cycle list) as one batch.
    virtual void AddEntries(std::span<const LogEntry> entries) = 0;
};

// text cut to at most kLogTextBytes bytes.
std::string CutLogText(std::string_view text);

// The three columns a new log starts with: "File Name", "Entry definition
// and order", "Comments". Removes whatever the grid held.
void SetUpNewLogTable(GridModel& grid);

// Appends one row for the entry, first inserting number columns before the
// comment column until the table has count of them. Cells past the entry's
// values stay empty. The grid must have at least its three text columns
// (std::logic_error otherwise).
void AddLogEntry(GridModel& grid, const LogEntry& entry);

// All entries at once: the columns grow once for the widest entry and the
// grid's redraw is off while the rows go in, so its view follows once.
void AddLogEntries(GridModel& grid, std::span<const LogEntry> entries);

}  // namespace vocomet
