#pragma once
// The PlotFormant text file: the formant plot window's table of vowel
// tokens, one row per line, three formant frequencies in Hz and a label.
//
// Written line by line as
//     F1 TAB F2 TAB F3 TAB "label" TAB CR LF
// with the frequencies as decimal integers of at least three characters
// (0 is "000", 50 is "050"), so the reader, which takes only number runs
// of three or more characters, never drops a small frequency. Labels are
// 8-bit Windows-1252 bytes, kept as they are; a label cannot hold a double
// quote, a TAB, a CR or an LF (the format has no way to quote them).
//
// Reading: lines end at every CR and every LF; a last line without its end
// is read too. Lines of 10 bytes or fewer are skipped (a hand-made table of
// zeros); NUL bytes are dropped from a line's text. A number is a run of
// digits and full stops of at least three characters, taken as the integer
// before its first full stop; numbers fill F1, F2, F3 and then the label (a
// fourth number becomes the label's text). A shorter run, or any separator
// that follows another, ends the numbers once two were stored: the label is
// then the text between the next two double quotes, or, with no quote
// left, the first character that is neither a blank nor a TAB. Only lines
// that stored at least two numbers make rows. At most kPlotFormantMaxRows
// rows are read.
//
// No widget here; the window moves rows between this table and its grid.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class UserPrompts;
}

namespace vocomet {

inline constexpr int kPlotFormantMaxRows = 9999;
// Largest frequency a cell holds; larger or negative values are stored as 0.
inline constexpr int kPlotFormantMaxHz = 10000;

inline constexpr const char* kPlotFormantZeroLength = "The file has zero length.";
inline constexpr const char* kPlotFormantOpenFailure = "Failure in opening the file.";
inline constexpr const char* kPlotFormantCreateFailure = "Failure in creating the file.";
inline constexpr const char* kPlotFormantSaveFailure = "Failure in saving the file.";
inline constexpr const char* kPlotFormantTooManyRows =
    "The file holds more than 9999 rows; only the first 9999 rows were read.";

// One token: three frequencies (empty when the line did not give one) and
// the label (Windows-1252 bytes).
struct PlotFormantRow {
    std::optional<std::int32_t> f1;
    std::optional<std::int32_t> f2;
    std::optional<std::int32_t> f3;
    std::string label;

    bool operator==(const PlotFormantRow&) const = default;
};

// The cell rule of the frequency columns: above 10000 or negative gives 0.
std::int32_t PlotFormantCellValue(std::int64_t value);
// Whether a label can be stored in the file: no '"', TAB, CR or LF.
bool IsPlotFormantLabelAllowed(std::string_view label);

enum class PlotFormantParse {
    Ok,
    TooManyRows,  // the first kPlotFormantMaxRows rows were taken
};

// The rows of a PlotFormant file's bytes (see above).
PlotFormantParse ParsePlotFormantText(std::string_view bytes, std::vector<PlotFormantRow>& rows);
// The rows of the numbers-only table the spectrogram writes for a plot:
// every non-empty line is scanned, only numbers count, no labels.
PlotFormantParse ParseFormantNumbersText(std::string_view bytes, std::vector<PlotFormantRow>& rows);

// The file's bytes for the rows: an empty frequency is written as 0, and
// characters a label cannot hold as blanks.
std::string BuildPlotFormantText(const std::vector<PlotFormantRow>& rows);
// One line of the numbers-only table: F1 TAB F2 TAB F3 TAB TAB CR LF, each
// frequency with at least three characters.
void AppendFormantNumbersLine(std::string& text, int f1, int f2, int f3);

enum class PlotFormantReadStatus { Ok, CannotOpen, ZeroLength, ReadError, TooManyRows };

// Reads the file's bytes; a file that cannot be opened or read gives
// CannotOpen or ReadError, an empty one ZeroLength (bytes left empty).
PlotFormantReadStatus ReadPlotFormantBytes(const std::string& path, std::string& bytes);

// Reads and parses a PlotFormant file (numbersOnly: the spectrogram's
// table), telling the user of every failure ("Failure in opening the
// file.", a beep and "The file has zero length.", a beep and the too-many-
// rows text). With TooManyRows the rows read so far are in rows.
PlotFormantReadStatus ReadPlotFormantFile(const std::string& path, bool numbersOnly,
                                          std::vector<PlotFormantRow>& rows, platform::UserPrompts& prompts);

// Writes the rows to path beside the target and renames it over the target
// when complete, so a failed write leaves the old file whole. A failure is
// reported with the system's reason ("Failure in opening the file." when the
// file cannot be made there, else "Failure in saving the file."); returns
// whether it was written.
bool WritePlotFormantFile(const std::string& path, const std::vector<PlotFormantRow>& rows,
                          platform::UserPrompts& prompts);

}  // namespace vocomet
