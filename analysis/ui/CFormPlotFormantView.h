#pragma once
// The formant plot window's form: a table of vowel tokens (F1, F2, F3 in Hz
// and a symbol) in a grid, and the Bark-scale chart of F1 against F2, F2' or
// F3 with per-label means and ellipses, painted over the client area. The
// table is read from and written to PlotFormant files (analysis/
// PlotFormantFile); the plot settings are the document's and travel with
// the settings file. Labels are Windows-1252 bytes in files and UTF-8 in
// the grid. UI thread only.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/AnalysisServices.h"
#include "analysis/PlotFormantFile.h"
#include "app/GridModel.h"
#include "platform/WinTypes.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPainter;
class QPrinter;
class QRadioButton;

namespace platform {
class UserPrompts;
}

namespace vocomet {

class COrielDoc;
class CButtonST;
class GridTableView;

inline constexpr const char* kPlotFormantSaveTitle = "Save PlotFormant file";
inline constexpr const char* kPlotFormantOpenTitle = "Open PlotFormant file";
inline constexpr const char* kPlotFormantFilter = "PlotFormant files (*.txt)|*.txt|";
inline constexpr const char* kPlotFormantBadLabel = "A symbol cannot hold a double quote, a TAB or a line end.";

// Columns of the table.
enum PlotFormantColumn : int { kColF1 = 0, kColF2 = 1, kColF3 = 2, kColSymbol = 3 };

class CFormPlotFormantView : public QWidget, public FormPlotFormantViewService {
    Q_OBJECT
public:
    // Draw flags, in the document's order.
    enum DrawFlag : int { kDrawData = 0, kDrawEllipse, kDrawMean, kDrawMeanLabel, kDrawIndividualLabels };

    CFormPlotFormantView(COrielDoc& doc, platform::UserPrompts& prompts, QWidget* parent = nullptr);
    ~CFormPlotFormantView() override;

    // Takes the document's plot settings, fills the range lists and lays
    // out the controls.
    void OnInitialUpdate();

    // ---- the file ----
    // Reads the file into the table (failures are reported); on success the
    // title becomes the file's name, the path the file's, loaded and not
    // modified. On failure the table is left empty and nothing is loaded.
    bool ReadPlotFormantFile(const std::string& path) override;
    // The spectrogram's numbers-only table: loaded and modified, no path,
    // so the first Save asks for a file.
    bool LoadFormantTable(const std::string& path);
    // Writes the table to path (failures reported); clears modified on success.
    bool WritePlotFormantFile(const std::string& path);
    // Save: to the path, or Save As without one. True when the table is in
    // its file afterwards.
    bool SavePlotFormantFile();
    // Save As...: a chooser for a new or existing file; true when written.
    bool OnSaveAs();

    // ---- the table ----
    void OnDeleteRow();
    void OnInsertRow();
    bool CanDeleteRow() const;
    // Cell access with the table's rules: frequencies above 10000 or below 0
    // are stored as 0; a negative row or column reads as 0 or "".
    void SetCellInt(int row, int column, std::int32_t value);
    void SetCellText(int row, int column, const std::string& text, int length);
    std::int32_t GetCellInt(int row, int column) const;
    std::string GetCellText(int row, int column) const;
    // The table as file rows (labels in Windows-1252) and back.
    std::vector<PlotFormantRow> TableRows() const;
    void SetTableRows(const std::vector<PlotFormantRow>& rows);

    // ---- the chart ----
    // Draws the chart into rect: scale d (1 on the screen and in bitmaps,
    // the print unit on paper), plot type, mode e (1 screen or bitmap,
    // 2 printer, which doubles both Bark scales).
    void DrawPlot(QPainter& dc, const QRect& rect, int d, int plotType, int e) const;
    // The Save As bmp picture: white, the chart from x = 20 to the width.
    QImage RenderBitmap(int width, int height) const;
    void OnSaveAsBmp();
    void OnPrint();
    // Lays out and draws one page (a 7 x 9 inch plot one inch in).
    void PrintTo(QPrinter& printer) const;
    // Font...: the plot font and its text colour, then the chart again.
    void OnFont();
    struct FontChoice {
        QFont font;
        QColor colour;
    };
    // What Font... asks with (the font dialog, then the colour dialog) when
    // set; nothing: cancelled.
    std::function<std::optional<FontChoice>(const QFont&, const QColor&)> chooseFont;
    // The family of the font the chart draws its texts with, as the font
    // box shows it.
    QString FontInUse() const;
    // Where the screen chart is drawn and clipped: right of the controls.
    QRect ChartArea() const;

    // ---- settings (the controls and the document follow) ----
    void SetPlotType(int type);
    void SetDrawFlag(int flag, int value);
    // which: 0 F1, 1 F2, 2 F3.
    void SetRange(int which, int hz);
    int GetPlotType() const { return m_plotType; }
    int GetDrawFlag(int flag) const { return m_draw[static_cast<std::size_t>(flag)]; }
    int GetRange(int which) const { return m_range[static_cast<std::size_t>(which)]; }

    bool IsModified() const { return m_modified; }
    bool IsLoaded() const { return m_loaded; }
    const std::string& GetPath() const { return m_path; }
    const std::string& GetTitle() const { return m_title; }
    GridModel& Grid() { return m_grid; }
    GridTableView* Table() const { return m_table; }
    QComboBox* RangeCombo(int which) const { return m_rangeCombo[static_cast<std::size_t>(which)]; }

signals:
    // The window's title changed (the file's name).
    void titleChanged(const QString& title);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::optional<FontChoice> AskFontAndColour(const QFont& font, const QColor& colour);
    void BuildControls();
    void ArrangeControls();
    void OnCellChanged(int row, int column);
    void StoreSettings();
    void SetTitle(const std::string& title);
    void SelectRangeEntry(int which);

    COrielDoc& m_doc;
    platform::UserPrompts& m_prompts;
    GridModel m_grid;

    CButtonST* m_fontButton = nullptr;
    QLabel* m_fontName = nullptr;
    QLabel* m_fontNote = nullptr;
    std::array<QComboBox*, 3> m_rangeCombo{};
    std::array<QLabel*, 3> m_rangeLabel{};
    QButtonGroup* m_typeGroup = nullptr;
    std::array<QRadioButton*, 3> m_typeButton{};
    std::array<QCheckBox*, 5> m_drawCheck{};
    GridTableView* m_table = nullptr;

    int m_plotType = -1;
    std::array<int, 5> m_draw{1, 1, 0, 0, 0};
    std::array<int, 3> m_range{2000, 3000, 3000};
    std::string m_path;
    std::string m_title;
    bool m_modified = false;
    bool m_loaded = false;
    bool m_updating = false;
    platform::LogFontA m_plotFont;
    platform::ColorRef m_fontColour = 0;
};

}  // namespace vocomet
