#include "app/LogEntry.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "platform/TextEncoding.h"

namespace vocomet {

std::string CutLogText(std::string_view text) {
    return std::string(text.substr(0, std::min(text.size(), kLogTextBytes)));
}

void LogEntry::SetSource(std::string_view text) { source = CutLogText(text); }

void LogEntry::SetDescription(std::string_view text) { description = CutLogText(text); }

void LogEntry::AddValue(double value) {
    if (static_cast<int>(values.size()) >= kLogMaxValues)
        return;
    values.push_back(value);
    count = static_cast<int>(values.size());
}

int LogEntry::UsedCount() const {
    return std::clamp(count, 0, std::min(kLogMaxValues, static_cast<int>(values.size())));
}

void SetUpNewLogTable(GridModel& grid) {
    const bool redraw = grid.GetRedraw();
    grid.SetRedraw(false);
    grid.Clear();
    for (const char* caption : {kLogSourceCaption, kLogDescriptionCaption, kLogCommentCaption}) {
        GridColumn c;
        c.kind = GridColumnKind::Text;
        c.caption = caption;
        c.width = 80.0;
        c.textLimit = 255;
        grid.AppendColumn(c);
    }
    grid.SetRedraw(redraw);
}

namespace {

// Inserts number columns before the comment column until there are count.
void GrowNumberColumns(GridModel& grid, int count) {
    const int m = grid.GetColumnCount();
    if (m < 3)
        throw std::logic_error("log table without its text columns");
    const int add = count - m + 3;
    for (int i = 0; i < add; ++i) {
        GridColumn c;
        c.kind = GridColumnKind::Number;
        c.width = 60.0;
        c.mask = kLogEntryNumberMask;
        char caption[32];
        std::snprintf(caption, sizeof caption, "Entry %d", m - 2 + i);
        c.caption = caption;
        grid.InsertColumn(m - 1 + i, c);
    }
}

// Converts the entry's texts for the grid, remembering the last ones: a run
// of entries shares its source and description.
class TextCache {
public:
    const std::string& Convert(const std::string& cp1252, int slot) {
        Slot& s = m_slots[slot];
        if (!s.valid || s.in != cp1252) {
            s.in = cp1252;
            s.out = platform::Cp1252ToUtf8(cp1252);
            s.valid = true;
        }
        return s.out;
    }

private:
    struct Slot {
        bool valid = false;
        std::string in, out;
    };
    Slot m_slots[2];
};

void AppendEntryRow(GridModel& grid, const LogEntry& entry, TextCache& texts, std::vector<GridCell>& row) {
    const int used = entry.UsedCount();
    row.assign(static_cast<std::size_t>(2 + used), GridCell{});
    row[0] = texts.Convert(CutLogText(entry.source), 0);
    row[1] = texts.Convert(CutLogText(entry.description), 1);
    for (int i = 0; i < used; ++i)
        row[static_cast<std::size_t>(2 + i)] = entry.values[static_cast<std::size_t>(i)];
    grid.AppendRow(row);
}

}  // namespace

void AddLogEntry(GridModel& grid, const LogEntry& entry) { AddLogEntries(grid, std::span<const LogEntry>(&entry, 1)); }

void AddLogEntries(GridModel& grid, std::span<const LogEntry> entries) {
    if (grid.GetColumnCount() < 3)
        throw std::logic_error("log table without its text columns");
    if (entries.empty())
        return;
    int widest = 0;
    for (const LogEntry& e : entries)
        widest = std::max(widest, e.UsedCount());
    const bool redraw = grid.GetRedraw();
    grid.SetRedraw(false);
    try {
        GrowNumberColumns(grid, widest);
        TextCache texts;
        std::vector<GridCell> row;
        for (const LogEntry& e : entries)
            AppendEntryRow(grid, e, texts, row);
    } catch (...) {
        grid.SetRedraw(redraw);
        throw;
    }
    grid.SetRedraw(redraw);
}

}  // namespace vocomet
