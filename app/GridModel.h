#pragma once
// The one table of the tool windows (log, label list, value table, display
// options, formant table, device forms): typed cells in rows and columns,
// column settings, search, row selection and change events. No widget here;
// a QTableView adapter shows it.
//
// Numbers are kept as numbers: a double set into a cell comes back bit for
// bit, so a time read from a cell matches the label it came from exactly.
// Formatting to text happens only for display (FormatCell).
//
// Single-threaded: the model and its listeners live on the UI thread.

#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace vocomet {

// Empty, text, 32-bit integer or double.
using GridCell = std::variant<std::monostate, std::string, std::int32_t, double>;

enum class GridColumnKind { Number = 133, Text = 135 };

struct GridColumn {
    GridColumnKind kind = GridColumnKind::Text;
    std::string caption;
    std::string mask;     // number mask such as "#####.###"
    int decimals = 0;     // digits after the point, taken from the mask
    double width = 60.0;  // pixels
    bool hidden = false;
    int textLimit = 255;  // characters a user may type into a text cell
};

// What changed; row or column is -1 where it does not apply.
struct GridChange {
    enum Kind {
        Cell,       // one cell's value (row, column)
        Layout,     // rows or columns added, removed, or column settings changed
        Refresh,    // repaint everything
        UserEdit,   // a user changed a cell (row, column): the host's "cell changed"
        Selection,  // the selected rows
    };
    Kind kind = Layout;
    int row = -1;
    int column = -1;
};

class GridModel {
public:
    using Listener = std::function<void(const GridChange&)>;

    // ---- whole table ----
    void Clear();  // removes all rows and columns
    void Refresh();
    // While off, changes raise no events; turning it on raises one Layout.
    void SetRedraw(bool on);
    bool GetRedraw() const { return m_redraw; }

    // ---- columns ----
    int GetColumnCount() const { return static_cast<int>(m_columns.size()); }
    // New column at index (0..count); later columns and their cells move right.
    void InsertColumn(int index, const GridColumn& column = {});
    int AppendColumn(const GridColumn& column = {});
    const GridColumn& Column(int index) const;
    void SetColumnKind(int index, GridColumnKind kind);
    void SetColumnCaption(int index, const std::string& caption);
    const std::string& GetColumnCaption(int index) const { return Column(index).caption; }
    void SetColumnMask(int index, const std::string& mask);
    void SetColumnWidth(int index, double width);
    void SetColumnHidden(int index, bool hidden);
    void SetColumnTextLimit(int index, int limit);
    // Index of the first row after start whose cell in this column equals
    // value (same type and value); -1 when none. Start -1 searches from row 0.
    int Search(int column, const GridCell& value, int start) const;

    // ---- rows ----
    int GetRowCount() const { return static_cast<int>(m_rows.size()); }
    void RemoveAllRows();
    // One row from values, one per column; missing values leave empty cells,
    // extra values are dropped. Returns the new row's index.
    int AppendRow(const std::vector<GridCell>& values = {});
    void RemoveRow(int index);  // later rows move up
    void SetRowHeight(double height);
    double GetRowHeight() const { return m_rowHeight; }
    void SetRowHeaderText(int row, const std::string& text);
    std::string GetRowHeaderText(int row) const;

    // ---- selection ----
    void SetRowSelected(int row, bool selected);
    bool IsRowSelected(int row) const;
    // Selects rows first..last (inclusive; clamped), clearing all others first.
    void SelectRowRange(int first, int last);
    void ClearSelection();
    // Index of the first selected row after start (-1 searches from 0); -1 when none.
    int NextSelected(int start) const;
    int GetSelectedCount() const;

    // ---- cells (out of range: std::out_of_range) ----
    const GridCell& GetCell(int row, int column) const;
    void SetCell(int row, int column, const GridCell& value);
    void SetCellText(int row, int column, const std::string& text) { SetCell(row, column, GridCell{text}); }
    void SetCellInt(int row, int column, std::int32_t value) { SetCell(row, column, GridCell{value}); }
    void SetCellDouble(int row, int column, double value) { SetCell(row, column, GridCell{value}); }
    void ClearCell(int row, int column) { SetCell(row, column, GridCell{}); }
    // Integer value of a cell: an int as is, a double truncated, a text
    // parsed; 0 for an empty cell or a text that is no number.
    std::int32_t GetCellInt(int row, int column) const;
    // The cell as shown (FormatCell).
    std::string GetCellText(int row, int column) const { return FormatCell(row, column); }
    // A user's edit: text limited to the column's text limit, converted to a
    // number in a number column when it reads as one; raises UserEdit.
    void SetCellByUser(int row, int column, const std::string& text);
    // Choice list of a cell, items joined by TAB; empty removes it.
    void SetCellChoiceList(int row, int column, const std::string& tabJoined);
    std::vector<std::string> GetCellChoiceList(int row, int column) const;

    // Display text: doubles with the column's decimals, ints in decimal,
    // texts as they are, empty cells as "".
    std::string FormatCell(int row, int column) const;

    // ---- listeners ----
    int AddListener(Listener listener);
    void RemoveListener(int id);

private:
    struct Row {
        std::vector<GridCell> cells;
        std::vector<std::string> choices;  // per column; empty when none
        std::string header;
        bool selected = false;
    };

    void CheckColumn(int index) const;
    void CheckCell(int row, int column) const;
    GridColumn& MutableColumn(int index);
    void Notify(GridChange::Kind kind, int row = -1, int column = -1);

    std::vector<GridColumn> m_columns;
    std::vector<Row> m_rows;
    double m_rowHeight = 20.0;
    bool m_redraw = true;
    std::vector<std::pair<int, Listener>> m_listeners;
    int m_nextListenerId = 1;
};

// Digits after the point of a number mask ("##.###" gives 3; none gives 0).
int DecimalsOfMask(const std::string& mask);

}  // namespace vocomet
