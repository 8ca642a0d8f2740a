#include "analysis/PlotFormantFile.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>

#include "platform/BinaryFile.h"
#include "platform/FailureText.h"
#include "platform/File.h"
#include "platform/UserPrompts.h"

namespace vocomet {

namespace {

// Shorter lines hold no row (a row of one-digit zeros is 9 bytes).
constexpr std::size_t kShortestRowLine = 11;

bool IsNumberChar(char c) { return (c >= '0' && c <= '9') || c == '.'; }

// The integer before the first full stop of a number run; saturates far
// beyond what a cell keeps, so the cell rule turns it into 0.
std::int64_t IntegerPrefix(std::string_view token) {
    std::int64_t value = 0;
    for (char c : token) {
        if (c == '.')
            break;
        value = std::min<std::int64_t>(value * 10 + (c - '0'), std::int64_t{1} << 40);
    }
    return value;
}

std::string LabelAt(std::string_view line, std::size_t position) {
    const std::size_t open = line.find('"', position);
    if (open != std::string_view::npos) {
        const std::size_t close = line.find('"', open + 1);
        if (close == std::string_view::npos)
            return {};
        return std::string(line.substr(open + 1, close - open - 1));
    }
    for (std::size_t i = position; i < line.size(); ++i)
        if (line[i] != ' ' && line[i] != '\t')
            return std::string(1, line[i]);
    return {};
}

void StoreNumber(PlotFormantRow& row, int column, std::int64_t value) {
    const std::int32_t cell = PlotFormantCellValue(value);
    switch (column) {
    case 0: row.f1 = cell; break;
    case 1: row.f2 = cell; break;
    case 2: row.f3 = cell; break;
    case 3: row.label = std::to_string(cell); break;
    default: break;  // the table has no fifth column
    }
}

// Scans one line (without its end) into row; returns the numbers stored.
int ScanLine(std::string_view line, bool numbersOnly, PlotFormantRow& row) {
    int stored = 0;
    std::size_t i = 0;
    while (i <= line.size()) {
        const std::size_t start = i;
        while (i < line.size() && IsNumberChar(line[i]))
            ++i;
        const std::string_view token = line.substr(start, i - start);
        if (token.size() >= 3) {
            StoreNumber(row, stored, IntegerPrefix(token));
            ++stored;
        } else if (!numbersOnly && stored >= 2 && i < line.size()) {
            row.label = LabelAt(line, start);
            break;
        }
        ++i;  // past the character that ended the run
    }
    return stored;
}

PlotFormantParse Parse(std::string_view bytes, bool numbersOnly, std::vector<PlotFormantRow>& rows) {
    rows.clear();
    std::string line;
    std::size_t begin = 0;
    while (begin < bytes.size()) {
        std::size_t end = begin;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        const std::string_view raw = bytes.substr(begin, end - begin);
        begin = end + 1;
        if (raw.empty() || (!numbersOnly && raw.size() < kShortestRowLine))
            continue;
        line.assign(raw);
        if (!numbersOnly)
            line.erase(std::remove(line.begin(), line.end(), '\0'), line.end());
        PlotFormantRow row;
        if (ScanLine(line, numbersOnly, row) < 2)
            continue;
        if (static_cast<int>(rows.size()) >= kPlotFormantMaxRows)
            return PlotFormantParse::TooManyRows;
        rows.push_back(std::move(row));
    }
    return PlotFormantParse::Ok;
}

void AppendFrequency(std::string& text, std::int32_t value) {
    char field[16];
    const int n = std::snprintf(field, sizeof field, "%03d\t", static_cast<int>(value));
    text.append(field, static_cast<std::size_t>(std::max(n, 0)));
}

}  // namespace

std::int32_t PlotFormantCellValue(std::int64_t value) {
    return value > kPlotFormantMaxHz || value < 0 ? 0 : static_cast<std::int32_t>(value);
}

bool IsPlotFormantLabelAllowed(std::string_view label) {
    return label.find_first_of("\"\t\r\n") == std::string_view::npos;
}

PlotFormantParse ParsePlotFormantText(std::string_view bytes, std::vector<PlotFormantRow>& rows) {
    return Parse(bytes, false, rows);
}

PlotFormantParse ParseFormantNumbersText(std::string_view bytes, std::vector<PlotFormantRow>& rows) {
    return Parse(bytes, true, rows);
}

std::string BuildPlotFormantText(const std::vector<PlotFormantRow>& rows) {
    std::string text;
    text.reserve(rows.size() * 24);
    for (const PlotFormantRow& row : rows) {
        AppendFrequency(text, row.f1.value_or(0));
        AppendFrequency(text, row.f2.value_or(0));
        AppendFrequency(text, row.f3.value_or(0));
        text += '"';
        for (char c : row.label)
            text += IsPlotFormantLabelAllowed(std::string_view(&c, 1)) ? c : ' ';
        text += "\"\t\r\n";
    }
    return text;
}

void AppendFormantNumbersLine(std::string& text, int f1, int f2, int f3) {
    AppendFrequency(text, f1);
    AppendFrequency(text, f2);
    AppendFrequency(text, f3);
    text += "\t\r\n";
}

PlotFormantReadStatus ReadPlotFormantBytes(const std::string& path, std::string& bytes) {
    bytes.clear();
    platform::File file;
    if (!file.Open(path, platform::File::Mode::Read))
        return PlotFormantReadStatus::CannotOpen;
    try {
        const std::int64_t length = file.GetLength();
        if (length <= 0)
            return PlotFormantReadStatus::ZeroLength;
        bytes.resize(static_cast<std::size_t>(length));
        const std::size_t got = file.ReadAt(0, bytes.data(), bytes.size());
        bytes.resize(got);
    } catch (const std::exception&) {
        bytes.clear();
        return PlotFormantReadStatus::ReadError;
    }
    return bytes.empty() ? PlotFormantReadStatus::ZeroLength : PlotFormantReadStatus::Ok;
}

PlotFormantReadStatus ReadPlotFormantFile(const std::string& path, bool numbersOnly,
                                          std::vector<PlotFormantRow>& rows, platform::UserPrompts& prompts) {
    rows.clear();
    std::string bytes;
    PlotFormantReadStatus status;
    {
        const platform::BusyGuard busy(prompts);
        status = ReadPlotFormantBytes(path, bytes);
        if (status == PlotFormantReadStatus::Ok &&
            (numbersOnly ? ParseFormantNumbersText(bytes, rows) : ParsePlotFormantText(bytes, rows)) ==
                PlotFormantParse::TooManyRows)
            status = PlotFormantReadStatus::TooManyRows;
    }
    switch (status) {
    case PlotFormantReadStatus::Ok: break;
    case PlotFormantReadStatus::CannotOpen:
    case PlotFormantReadStatus::ReadError:
        prompts.Message(kPlotFormantOpenFailure, platform::Buttons::Ok, platform::Icon::Warning);
        break;
    case PlotFormantReadStatus::ZeroLength:
        prompts.Beep();
        prompts.Message(kPlotFormantZeroLength, platform::Buttons::Ok, platform::Icon::Warning);
        break;
    case PlotFormantReadStatus::TooManyRows:
        prompts.Beep();
        prompts.Message(kPlotFormantTooManyRows, platform::Buttons::Ok, platform::Icon::Warning);
        break;
    }
    return status;
}

bool WritePlotFormantFile(const std::string& path, const std::vector<PlotFormantRow>& rows,
                          platform::UserPrompts& prompts) {
    const std::string text = BuildPlotFormantText(rows);
    std::string failure;
    {
        const platform::BusyGuard busy(prompts);
        std::unique_ptr<platform::ScratchReplacement> scratch;
        try {
            scratch = std::make_unique<platform::ScratchReplacement>(path);
        } catch (const std::exception& e) {
            failure = platform::WithReason(kPlotFormantOpenFailure, platform::FailureReason(e));
        }
        if (scratch) {
            try {
                scratch->GetFile().Write(text.data(), text.size());
                scratch->Commit();
            } catch (const std::exception& e) {
                failure = platform::WithReason(kPlotFormantSaveFailure, platform::FailureReason(e));
            }
        }
    }
    if (!failure.empty()) {
        prompts.Beep();
        prompts.Message(failure, platform::Buttons::Ok, platform::Icon::Error);
        return false;
    }
    return true;
}

}  // namespace vocomet
