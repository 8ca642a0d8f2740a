#pragma once
// The measurement log's text file: tab-separated 8-bit (Windows-1252) text,
// written and read independently of the locale.
//
// The first line holds the column captions, then one line per row. Every
// field, the last of a line included, is followed by exactly one TAB, and
// every line ends in CR LF, so a log of N columns has N TABs on each line.
// Numbers are "%15.3f" without the leading blanks (-0.5 gives -0.500); an
// empty cell gives an empty field. Fields are not quoted: TAB, CR and LF
// inside a text are written as a blank, so a comment never shifts the
// columns of the line it is on.
//
// Reading: a line ends at a CR or an LF; empty lines are skipped; a last
// line without its end is ignored. A line has as many fields as TABs; what
// follows the last TAB is ignored. N = the most fields of any line, at
// least 3. Fields 0, 1 and N-1 are texts, the others numbers: an empty
// field gives an empty cell, anything else the number at its start (0 when
// there is none). A line with fewer fields leaves its further cells empty.

#include <string>
#include <string_view>

#include "app/GridModel.h"

namespace platform {
class UserPrompts;
}

namespace vocomet {

inline constexpr const char* kLogErrorOpening = "Error in opening the file.";
inline constexpr const char* kLogErrorSaving = "Failure in saving the file.";
inline constexpr const char* kLogErrorZeroLength = "The file has zero length.";
inline constexpr const char* kLogErrorNotValid = "This is not a valid log file.";
// Mask of the number columns a read makes (one decimal shown).
inline constexpr const char* kLogReadNumberMask = "#####################.#";

// Field builders: with endOfLine false they append the field and one TAB,
// with true only CR LF. The text is Windows-1252 bytes.
void AppendTextField(std::string& buffer, std::string_view text, bool endOfLine);
void AppendNumberField(std::string& buffer, double value, bool endOfLine);
// A number as the log writes it: "%15.3f" without leading blanks, '.' always.
std::string FormatLogNumber(double value);

// The whole file text of the table (its texts are UTF-8, as the grid holds them).
std::string BuildLogText(const GridModel& grid);

enum class LogReadStatus { Ok, CannotOpen, ZeroLength, NotValid };

// Fills the grid from a file's text: columns, captions and rows. NotValid
// (fewer than 3 fields on the widest line) leaves the grid untouched; so
// does an empty text (ZeroLength).
LogReadStatus ParseLogText(std::string_view text, GridModel& grid);

// Writes the table to path through a scratch file beside it that replaces
// the target only when complete, so a failed write leaves an existing log
// whole. Failures are reported with the system's reason ("Error in opening
// the file." when the file cannot be made, then "Failure in saving the
// file."); returns whether the file was written.
bool WriteLogFile(const std::string& path, const GridModel& grid, platform::UserPrompts& prompts);

// Reads path into the grid and reports failures with their messages.
LogReadStatus ReadLogFile(const std::string& path, GridModel& grid, platform::UserPrompts& prompts);

}  // namespace vocomet
