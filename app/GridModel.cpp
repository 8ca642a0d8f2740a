#include "app/GridModel.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <climits>
#include <stdexcept>

namespace vocomet {

int DecimalsOfMask(const std::string& mask) {
    const auto point = mask.find('.');
    if (point == std::string::npos)
        return 0;
    int n = 0;
    for (std::size_t i = point + 1; i < mask.size() && mask[i] == '#'; ++i)
        ++n;
    return n;
}

void GridModel::Clear() {
    m_columns.clear();
    m_rows.clear();
    Notify(GridChange::Layout);
}

void GridModel::Refresh() { Notify(GridChange::Refresh); }

void GridModel::SetRedraw(bool on) {
    if (m_redraw == on)
        return;
    m_redraw = on;
    if (on)
        Notify(GridChange::Layout);
}

void GridModel::CheckColumn(int index) const {
    if (index < 0 || index >= GetColumnCount())
        throw std::out_of_range("grid column out of range");
}

void GridModel::CheckCell(int row, int column) const {
    if (row < 0 || row >= GetRowCount())
        throw std::out_of_range("grid row out of range");
    CheckColumn(column);
}

void GridModel::InsertColumn(int index, const GridColumn& column) {
    if (index < 0 || index > GetColumnCount())
        throw std::out_of_range("grid column out of range");
    GridColumn c = column;
    c.decimals = DecimalsOfMask(c.mask);
    m_columns.insert(m_columns.begin() + index, c);
    for (Row& r : m_rows) {
        r.cells.emplace(r.cells.begin() + index);
        r.choices.insert(r.choices.begin() + index, std::string{});
    }
    Notify(GridChange::Layout);
}

int GridModel::AppendColumn(const GridColumn& column) {
    InsertColumn(GetColumnCount(), column);
    return GetColumnCount() - 1;
}

const GridColumn& GridModel::Column(int index) const {
    CheckColumn(index);
    return m_columns[static_cast<std::size_t>(index)];
}

GridColumn& GridModel::MutableColumn(int index) {
    CheckColumn(index);
    return m_columns[static_cast<std::size_t>(index)];
}

void GridModel::SetColumnKind(int index, GridColumnKind kind) {
    MutableColumn(index).kind = kind;
    Notify(GridChange::Layout);
}

void GridModel::SetColumnCaption(int index, const std::string& caption) {
    MutableColumn(index).caption = caption;
    Notify(GridChange::Layout);
}

void GridModel::SetColumnMask(int index, const std::string& mask) {
    GridColumn& c = MutableColumn(index);
    c.mask = mask;
    c.decimals = DecimalsOfMask(mask);
    Notify(GridChange::Layout);
}

void GridModel::SetColumnWidth(int index, double width) {
    MutableColumn(index).width = width;
    Notify(GridChange::Layout);
}

void GridModel::SetColumnHidden(int index, bool hidden) {
    MutableColumn(index).hidden = hidden;
    Notify(GridChange::Layout);
}

void GridModel::SetColumnTextLimit(int index, int limit) {
    MutableColumn(index).textLimit = limit;
    Notify(GridChange::Layout);
}

int GridModel::Search(int column, const GridCell& value, int start) const {
    CheckColumn(column);
    for (int r = std::max(start + 1, 0); r < GetRowCount(); ++r)
        if (m_rows[static_cast<std::size_t>(r)].cells[static_cast<std::size_t>(column)] == value)
            return r;
    return -1;
}

void GridModel::RemoveAllRows() {
    m_rows.clear();
    Notify(GridChange::Layout);
}

int GridModel::AppendRow(const std::vector<GridCell>& values) {
    Row r;
    r.cells.assign(m_columns.size(), GridCell{});
    r.choices.assign(m_columns.size(), std::string{});
    for (std::size_t i = 0; i < values.size() && i < r.cells.size(); ++i)
        r.cells[i] = values[i];
    m_rows.push_back(std::move(r));
    Notify(GridChange::Layout);
    return GetRowCount() - 1;
}

void GridModel::RemoveRow(int index) {
    if (index < 0 || index >= GetRowCount())
        throw std::out_of_range("grid row out of range");
    m_rows.erase(m_rows.begin() + index);
    Notify(GridChange::Layout);
}

void GridModel::SetRowHeight(double height) {
    m_rowHeight = height;
    Notify(GridChange::Layout);
}

void GridModel::SetRowHeaderText(int row, const std::string& text) {
    if (row < 0 || row >= GetRowCount())
        throw std::out_of_range("grid row out of range");
    m_rows[static_cast<std::size_t>(row)].header = text;
    Notify(GridChange::Layout);
}

std::string GridModel::GetRowHeaderText(int row) const {
    if (row < 0 || row >= GetRowCount())
        throw std::out_of_range("grid row out of range");
    return m_rows[static_cast<std::size_t>(row)].header;
}

void GridModel::SetRowSelected(int row, bool selected) {
    if (row < 0 || row >= GetRowCount())
        throw std::out_of_range("grid row out of range");
    m_rows[static_cast<std::size_t>(row)].selected = selected;
    Notify(GridChange::Selection);
}

bool GridModel::IsRowSelected(int row) const {
    if (row < 0 || row >= GetRowCount())
        return false;
    return m_rows[static_cast<std::size_t>(row)].selected;
}

void GridModel::SelectRowRange(int first, int last) {
    ClearSelection();
    first = std::max(first, 0);
    last = std::min(last, GetRowCount() - 1);
    for (int r = first; r <= last; ++r)
        m_rows[static_cast<std::size_t>(r)].selected = true;
    Notify(GridChange::Selection);
}

void GridModel::ClearSelection() {
    for (Row& r : m_rows)
        r.selected = false;
    Notify(GridChange::Selection);
}

int GridModel::NextSelected(int start) const {
    for (int r = std::max(start + 1, 0); r < GetRowCount(); ++r)
        if (m_rows[static_cast<std::size_t>(r)].selected)
            return r;
    return -1;
}

int GridModel::GetSelectedCount() const {
    return static_cast<int>(std::count_if(m_rows.begin(), m_rows.end(), [](const Row& r) { return r.selected; }));
}

const GridCell& GridModel::GetCell(int row, int column) const {
    CheckCell(row, column);
    return m_rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
}

void GridModel::SetCell(int row, int column, const GridCell& value) {
    CheckCell(row, column);
    GridCell& cell = m_rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
    // Unchanged values (same type, same bits) cost no repaint: the value
    // table is fed on every mouse move.
    if (const double* d = std::get_if<double>(&value)) {
        const double* old = std::get_if<double>(&cell);
        if (old && std::memcmp(old, d, sizeof(double)) == 0)
            return;
    } else if (cell == value) {
        return;
    }
    cell = value;
    Notify(GridChange::Cell, row, column);
}

std::int32_t GridModel::GetCellInt(int row, int column) const {
    const GridCell& c = GetCell(row, column);
    if (const auto* i = std::get_if<std::int32_t>(&c))
        return *i;
    if (const auto* d = std::get_if<double>(&c)) {
        if (!std::isfinite(*d) || *d >= 2147483648.0 || *d <= -2147483649.0)
            return 0;
        return static_cast<std::int32_t>(*d);
    }
    if (const auto* s = std::get_if<std::string>(&c)) {
        errno = 0;
        char* end = nullptr;
        const long v = std::strtol(s->c_str(), &end, 10);
        if (end == s->c_str() || errno != 0 || v > INT32_MAX || v < INT32_MIN)
            return 0;
        return static_cast<std::int32_t>(v);
    }
    return 0;
}

void GridModel::SetCellByUser(int row, int column, const std::string& text) {
    CheckCell(row, column);
    const GridColumn& col = Column(column);
    std::string t = text;
    if (col.textLimit > 0 && static_cast<int>(t.size()) > col.textLimit)
        t.resize(static_cast<std::size_t>(col.textLimit));
    GridCell value{t};
    if (t.empty()) {
        value = GridCell{};
    } else if (col.kind == GridColumnKind::Number) {
        char* end = nullptr;
        const double d = std::strtod(t.c_str(), &end);
        if (end != t.c_str() && *end == '\0')
            value = GridCell{d};
    }
    SetCell(row, column, value);
    Notify(GridChange::UserEdit, row, column);
}

void GridModel::SetCellChoiceList(int row, int column, const std::string& tabJoined) {
    CheckCell(row, column);
    m_rows[static_cast<std::size_t>(row)].choices[static_cast<std::size_t>(column)] = tabJoined;
}

std::vector<std::string> GridModel::GetCellChoiceList(int row, int column) const {
    CheckCell(row, column);
    const std::string& s = m_rows[static_cast<std::size_t>(row)].choices[static_cast<std::size_t>(column)];
    std::vector<std::string> items;
    if (s.empty())
        return items;
    std::size_t from = 0;
    for (;;) {
        const auto tab = s.find('\t', from);
        items.push_back(s.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
        if (tab == std::string::npos)
            break;
        from = tab + 1;
    }
    return items;
}

std::string GridModel::FormatCell(int row, int column) const {
    const GridCell& c = GetCell(row, column);
    if (const auto* s = std::get_if<std::string>(&c))
        return *s;
    if (const auto* i = std::get_if<std::int32_t>(&c))
        return std::to_string(*i);
    if (const auto* d = std::get_if<double>(&c)) {
        char buf[352];
        std::snprintf(buf, sizeof buf, "%.*f", std::clamp(Column(column).decimals, 0, 20), *d);
        return buf;
    }
    return {};
}

int GridModel::AddListener(Listener listener) {
    const int id = m_nextListenerId++;
    m_listeners.emplace_back(id, std::move(listener));
    return id;
}

void GridModel::RemoveListener(int id) {
    std::erase_if(m_listeners, [id](const auto& p) { return p.first == id; });
}

void GridModel::Notify(GridChange::Kind kind, int row, int column) {
    if (!m_redraw && kind != GridChange::UserEdit)
        return;
    const GridChange change{kind, row, column};
    // A listener may add or remove listeners: walk a copy.
    const auto listeners = m_listeners;
    for (const auto& p : listeners)
        p.second(change);
}

}  // namespace vocomet
