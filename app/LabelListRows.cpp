#include "app/LabelListRows.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "core/COrielDoc.h"
#include "platform/TextEncoding.h"

namespace vocomet {

namespace {

const std::string* TextOf(const GridCell& cell) { return std::get_if<std::string>(&cell); }

bool RowMatches(const GridModel& grid, int row, const std::string& nameUtf8, const std::string& textUtf8,
                double time) {
    const GridCell& name = grid.GetCell(row, kLabelListChannelColumn);
    const GridCell& text = grid.GetCell(row, kLabelListTextColumn);
    const double* t = std::get_if<double>(&grid.GetCell(row, kLabelListTimeColumn));
    return TextOf(name) && *TextOf(name) == nameUtf8 && TextOf(text) && *TextOf(text) == textUtf8 && t &&
           *t == time;
}

int CompareNoCase(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Empty cells first, then numbers by value, then texts.
int CompareCells(const GridCell& a, const GridCell& b) {
    if (a.index() != b.index())
        return a.index() < b.index() ? -1 : 1;
    if (const auto* s = std::get_if<std::string>(&a))
        return CompareNoCase(*s, std::get<std::string>(b));
    if (const auto* d = std::get_if<double>(&a)) {
        const double e = std::get<double>(b);
        return *d < e ? -1 : (e < *d ? 1 : 0);
    }
    if (const auto* i = std::get_if<std::int32_t>(&a)) {
        const std::int32_t j = std::get<std::int32_t>(b);
        return *i < j ? -1 : (j < *i ? 1 : 0);
    }
    return 0;
}

}  // namespace

void SetUpLabelListColumns(GridModel& grid) {
    grid.Clear();
    GridColumn name;
    name.kind = GridColumnKind::Text;
    name.caption = "Signal Name";
    name.width = 110;
    GridColumn text = name;
    text.caption = "Label";
    text.width = 180;
    GridColumn time;
    time.kind = GridColumnKind::Number;
    time.caption = "Time(ms)";
    time.mask = "##########.###";
    time.decimals = DecimalsOfMask(time.mask);
    time.width = 100;
    grid.AppendColumn(name);
    grid.AppendColumn(text);
    grid.AppendColumn(time);
}

std::vector<GridCell> LabelListRow(const std::string& channelName, const LABEL& label) {
    return {GridCell{platform::Cp1252ToUtf8(channelName)}, GridCell{platform::Cp1252ToUtf8(label.Text())},
            GridCell{label.time}};
}

void FillLabelRows(GridModel& grid, const COrielDoc& doc) {
    // One layout change for the whole fill, not one per row; also when a
    // row fails.
    struct RedrawOnLeave {
        GridModel& grid;
        bool was;
        ~RedrawOnLeave() { grid.SetRedraw(was); }
    } restore{grid, grid.GetRedraw()};
    grid.SetRedraw(false);
    grid.RemoveAllRows();
    const int count = std::clamp(doc.GetChannelCount(), 0, kDocumentSlots);
    for (int i = 0; i < count; ++i) {
        const CChannels& ch = doc.Channel(i);
        if (!ch.show)
            continue;
        for (int k = 0; k < ch.labels.GetSize(); ++k)
            grid.AppendRow(LabelListRow(ch.name, ch.labels.GetAt(k)));
    }
}

int AddLabelRow(GridModel& grid, const std::string& channelName, const LABEL& label) {
    return grid.AppendRow(LabelListRow(channelName, label));
}

int FindLabelRow(const GridModel& grid, const std::string& channelName, const LABEL& label) {
    if (grid.GetColumnCount() <= kLabelListTimeColumn)
        return -1;
    const std::string name = platform::Cp1252ToUtf8(channelName);
    const std::string text = platform::Cp1252ToUtf8(label.Text());
    // The grid's column search on the text, then the rest of the row.
    for (int row = grid.Search(kLabelListTextColumn, GridCell{text}, -1); row >= 0;
         row = grid.Search(kLabelListTextColumn, GridCell{text}, row))
        if (RowMatches(grid, row, name, text, label.time))
            return row;
    return -1;
}

bool ModifyLabelRow(GridModel& grid, const LABEL& oldLabel, const LABEL& newLabel, const std::string& channelName) {
    const int row = FindLabelRow(grid, channelName, oldLabel);
    if (row < 0)
        return false;
    const std::vector<GridCell> cells = LabelListRow(channelName, newLabel);
    for (int c = 0; c < static_cast<int>(cells.size()); ++c)
        grid.SetCell(row, c, cells[static_cast<std::size_t>(c)]);
    return true;
}

bool DeleteLabelRow(GridModel& grid, const LABEL& label, const std::string& channelName) {
    const int row = FindLabelRow(grid, channelName, label);
    if (row < 0)
        return false;
    grid.RemoveRow(row);
    return true;
}

std::optional<double> SelectedLabelTime(const GridModel& grid) {
    const int row = grid.NextSelected(-1);
    if (row < 0 || grid.GetColumnCount() <= kLabelListTimeColumn)
        return std::nullopt;
    if (const double* t = std::get_if<double>(&grid.GetCell(row, kLabelListTimeColumn)))
        return *t;
    return std::nullopt;
}

void SortLabelRows(GridModel& grid, int column, bool ascending) {
    if (column < 0 || column >= grid.GetColumnCount())
        return;
    struct Row {
        std::vector<GridCell> cells;
        bool selected = false;
    };
    std::vector<Row> rows(static_cast<std::size_t>(grid.GetRowCount()));
    for (int r = 0; r < grid.GetRowCount(); ++r) {
        Row& row = rows[static_cast<std::size_t>(r)];
        for (int c = 0; c < grid.GetColumnCount(); ++c)
            row.cells.push_back(grid.GetCell(r, c));
        row.selected = grid.IsRowSelected(r);
    }
    const auto col = static_cast<std::size_t>(column);
    std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
        const int order = CompareCells(a.cells[col], b.cells[col]);
        return ascending ? order < 0 : order > 0;
    });
    const bool redraw = grid.GetRedraw();
    grid.SetRedraw(false);
    grid.RemoveAllRows();
    for (const Row& row : rows) {
        const int r = grid.AppendRow(row.cells);
        if (row.selected)
            grid.SetRowSelected(r, true);
    }
    grid.SetRedraw(redraw);
}

}  // namespace vocomet
