#include "app/LogFile.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <new>
#include <vector>

#include "platform/BinaryFile.h"
#include "platform/FailureText.h"
#include "platform/File.h"
#include "platform/Numbers.h"
#include "platform/TextEncoding.h"
#include "platform/UserPrompts.h"

namespace vocomet {

namespace {

constexpr char kTab = '\t';

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// A cell's text for the file: Windows-1252, numbers as the log writes them.
std::string CellText(const GridCell& cell) {
    if (const auto* s = std::get_if<std::string>(&cell))
        return platform::Utf8ToCp1252(*s);
    if (const auto* d = std::get_if<double>(&cell))
        return FormatLogNumber(*d);
    if (const auto* i = std::get_if<std::int32_t>(&cell))
        return std::to_string(*i);
    return {};
}

// Calls f(line) for every ended, non-empty line of text.
template <typename F>
void ForEachLine(std::string_view text, F&& f) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!IsLineEnd(text[i]))
            continue;
        if (i > start)
            f(text.substr(start, i - start));
        start = i + 1;
    }
    // A last line without its end is not taken.
}

int FieldCount(std::string_view line) { return static_cast<int>(std::count(line.begin(), line.end(), kTab)); }

// Calls f(index, field) for every TAB-ended field of the line.
template <typename F>
void ForEachField(std::string_view line, F&& f) {
    int index = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != kTab)
            continue;
        f(index++, line.substr(start, i - start));
        start = i + 1;
    }
}

void Report(platform::UserPrompts& prompts, const std::string& text, bool beep) {
    if (beep)
        prompts.Beep();
    prompts.Message(text, platform::Buttons::Ok, platform::Icon::Warning);
}

}  // namespace

namespace {
void FillLogTable(std::string_view text, int n, GridModel& grid);
}  // namespace

std::string FormatLogNumber(double value) {
    // "%15.3f" pads on the left only; without the blanks it is "%.3f".
    return platform::FormatFixed(value, 3);
}

void AppendTextField(std::string& buffer, std::string_view text, bool endOfLine) {
    if (endOfLine) {
        buffer += "\r\n";
        return;
    }
    const std::size_t at = buffer.size();
    buffer.append(text);
    for (std::size_t i = at; i < buffer.size(); ++i)
        if (buffer[i] == kTab || IsLineEnd(buffer[i]))
            buffer[i] = ' ';
    buffer += kTab;
}

void AppendNumberField(std::string& buffer, double value, bool endOfLine) {
    if (endOfLine) {
        buffer += "\r\n";
        return;
    }
    buffer += FormatLogNumber(value);
    buffer += kTab;
}

std::string BuildLogText(const GridModel& grid) {
    const int n = grid.GetColumnCount();
    std::string text;
    text.reserve(static_cast<std::size_t>(grid.GetRowCount() + 1) * static_cast<std::size_t>(n) * 12);
    for (int c = 0; c < n; ++c)
        AppendTextField(text, platform::Utf8ToCp1252(grid.GetColumnCaption(c)), false);
    AppendTextField(text, {}, true);
    for (int r = 0; r < grid.GetRowCount(); ++r) {
        for (int c = 0; c < n; ++c) {
            const GridCell& cell = grid.GetCell(r, c);
            if (const auto* d = std::get_if<double>(&cell))
                AppendNumberField(text, *d, false);
            else
                AppendTextField(text, CellText(cell), false);
        }
        AppendTextField(text, {}, true);
    }
    return text;
}

LogReadStatus ParseLogText(std::string_view text, GridModel& grid) {
    if (text.empty())
        return LogReadStatus::ZeroLength;
    int n = 0;
    ForEachLine(text, [&](std::string_view line) { n = std::max(n, FieldCount(line)); });
    if (n < 3)
        return LogReadStatus::NotValid;

    const bool redraw = grid.GetRedraw();
    grid.SetRedraw(false);
    try {
        FillLogTable(text, n, grid);
    } catch (...) {
        grid.SetRedraw(redraw);
        throw;
    }
    grid.SetRedraw(redraw);
    return LogReadStatus::Ok;
}

namespace {

// Digits after the decimal point of a number as written ("0.018": 3),
// at most 15.
int WrittenDecimals(std::string_view field) {
    const std::size_t point = field.find('.');
    if (point == std::string_view::npos)
        return 0;
    int digits = 0;
    for (std::size_t i = point + 1; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i)
        ++digits;
    return std::min(digits, 15);
}

void FillLogTable(std::string_view text, int n, GridModel& grid) {
    grid.Clear();
    for (int c = 0; c < n; ++c) {
        GridColumn col;
        if (c <= 1) {
            col.kind = GridColumnKind::Text;
            col.width = 80.0;
            col.textLimit = 100;
        } else if (c < n - 1) {
            col.kind = GridColumnKind::Number;
            col.width = 60.0;
            col.mask = kLogReadNumberMask;
        } else {
            col.kind = GridColumnKind::Text;
            col.width = 60.0;
            col.textLimit = 255;
        }
        grid.AppendColumn(col);
    }
    bool first = true;
    std::vector<GridCell> row;
    // Numbers are shown with as many decimals as the file wrote in their
    // column: a log written with "%.3f" reads back as it was written.
    std::vector<int> decimals(static_cast<std::size_t>(n), 0);
    ForEachLine(text, [&](std::string_view line) {
        if (first) {
            first = false;
            ForEachField(line, [&](int i, std::string_view field) {
                grid.SetColumnCaption(i, platform::Cp1252ToUtf8(field));
            });
            return;
        }
        row.assign(static_cast<std::size_t>(n), GridCell{});
        ForEachField(line, [&](int i, std::string_view field) {
            GridCell& cell = row[static_cast<std::size_t>(i)];
            if (field.empty())
                return;  // an empty cell, as written
            if (i <= 1 || i == n - 1)
                cell = platform::Cp1252ToUtf8(field);
            else {
                cell = platform::LeadingDouble(field);
                int& d = decimals[static_cast<std::size_t>(i)];
                d = std::max(d, WrittenDecimals(field));
            }
        });
        grid.AppendRow(row);
    });
    for (int c = 2; c < n - 1; ++c) {
        const int d = decimals[static_cast<std::size_t>(c)];
        std::string mask(kLogReadNumberMask, std::string_view(kLogReadNumberMask).find('.'));
        if (d > 0)
            mask += "." + std::string(static_cast<std::size_t>(d), '#');
        grid.SetColumnMask(c, mask);
    }
}

}  // namespace

bool WriteLogFile(const std::string& path, const GridModel& grid, platform::UserPrompts& prompts) {
    std::string text;
    try {
        text = BuildLogText(grid);
    } catch (const std::exception& e) {
        Report(prompts, platform::WithReason(kLogErrorSaving, platform::FailureReason(e)), true);
        return false;
    }
    std::unique_ptr<platform::ScratchReplacement> scratch;
    try {
        scratch = std::make_unique<platform::ScratchReplacement>(path);
    } catch (const std::exception& e) {
        Report(prompts, platform::WithReason(kLogErrorOpening, platform::FailureReason(e)), true);
        Report(prompts, kLogErrorSaving, true);
        return false;
    }
    try {
        scratch->GetFile().Write(text.data(), text.size());
        scratch->Commit();
    } catch (const std::exception& e) {
        // The scratch file goes with its object; the old log stays whole.
        Report(prompts, platform::WithReason(kLogErrorSaving, platform::FailureReason(e)), true);
        return false;
    }
    return true;
}

LogReadStatus ReadLogFile(const std::string& path, GridModel& grid, platform::UserPrompts& prompts) {
    std::string text;
    try {
        platform::File file(path, platform::File::Mode::Read);
        const std::int64_t length = file.GetLength();
        if (length == 0) {
            Report(prompts, kLogErrorZeroLength, true);
            return LogReadStatus::ZeroLength;
        }
        text.resize(static_cast<std::size_t>(length));
        text.resize(file.ReadAt(0, text.data(), text.size()));
    } catch (const std::exception&) {
        Report(prompts, kLogErrorOpening, true);
        return LogReadStatus::CannotOpen;
    }
    const LogReadStatus status = ParseLogText(text, grid);
    if (status == LogReadStatus::ZeroLength)
        Report(prompts, kLogErrorZeroLength, true);
    else if (status == LogReadStatus::NotValid)
        Report(prompts, kLogErrorNotValid, false);
    return status;
}

}  // namespace vocomet
