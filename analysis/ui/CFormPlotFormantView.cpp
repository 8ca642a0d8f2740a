#include "analysis/ui/CFormPlotFormantView.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QColorDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPolygon>
#include <QPrintDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "analysis/FormantChart.h"
#include "app/BitmapFile.h"
#include "app/PictureExport.h"
#include "widgets/CButtonST.h"
#include "widgets/GridTableView.h"
#include "widgets/PrintRoutines.h"
#include "widgets/QtText.h"
#include "core/COrielDoc.h"
#include "platform/TextEncoding.h"
#include "platform/UserPrompts.h"

namespace vocomet {

namespace {

constexpr int kRangeFirst = 1000;
constexpr int kRangeStep = 200;
constexpr int kRangeEntries = 20;
constexpr int kControlWidth = 250;
constexpr double kPrintWidthInches = 7.0;
constexpr double kPrintHeightInches = 9.0;
constexpr int kBitmapWidthMm = 175;
constexpr int kBitmapHeightMm = 225;

const char* const kDrawTexts[5] = {"Draw Data", "Draw Ellipse", "Draw Mean ", "Draw Mean Label",
                                   "Draw Individual Labels"};
const char* const kTypeTexts[3] = {"F1 vs F2", "F1 vs F2'", "F1 vs F3"};
const char* const kRangeTexts[3] = {"F1 range", "F2 range", "F3 range"};
const char* const kAxisTitles[3] = {"F2  ", "F2' ", "F3  "};

// The symbol column's editor refuses what the file cannot hold.
class SymbolDelegate : public QStyledItemDelegate {
public:
    SymbolDelegate(platform::UserPrompts& prompts, int textLimit, QObject* parent)
        : QStyledItemDelegate(parent), m_prompts(prompts), m_textLimit(textLimit) {}

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
        auto* edit = new QLineEdit(parent);
        edit->setFrame(false);
        edit->setMaxLength(m_textLimit);
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[^\"\\t\\r\\n]*")), edit));
        return edit;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        static_cast<QLineEdit*>(editor)->setText(index.data(Qt::EditRole).toString());
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        const QString text = static_cast<QLineEdit*>(editor)->text();
        if (!IsPlotFormantLabelAllowed(text.toStdString())) {
            m_prompts.Beep();
            m_prompts.Message(kPlotFormantBadLabel, platform::Buttons::Ok, platform::Icon::Warning);
            return;
        }
        model->setData(index, text, Qt::EditRole);
    }

private:
    platform::UserPrompts& m_prompts;
    int m_textLimit;
};

QFont ScaledFont(const platform::LogFontA& lf, int factor) {
    QFont font = ToQFont(lf);
    const int height = lf.height != 0 ? std::abs(lf.height) : 13;
    font.setPixelSize(std::max(1, height * std::max(1, factor)));
    return font;
}

// Text with its top-left corner at (x, y).
void DrawTextAt(QPainter& dc, int x, int y, const QString& text) {
    dc.drawText(x, y + dc.fontMetrics().ascent(), text);
}

// Text with its left edge at x, vertically centred on y.
void DrawTextLeftCentred(QPainter& dc, int x, int y, const QString& text) {
    const QFontMetrics m = dc.fontMetrics();
    dc.drawText(x, y - m.height() / 2 + m.ascent(), text);
}

struct ChartRow {
    int f1 = 0;
    std::optional<int> x;
    QString label;
};

}  // namespace

CFormPlotFormantView::CFormPlotFormantView(COrielDoc& doc, platform::UserPrompts& prompts, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_prompts(prompts) {
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
    m_plotFont = platform::DefaultGuiFont();
    for (const char* caption : {"F1", "F2", "F3"}) {
        GridColumn column;
        column.kind = GridColumnKind::Number;
        column.caption = caption;
        column.mask = "#####";
        column.width = 50;
        m_grid.AppendColumn(column);
    }
    GridColumn symbol;
    symbol.kind = GridColumnKind::Text;
    symbol.caption = "Symbol";
    symbol.width = 60;
    m_grid.AppendColumn(symbol);
    BuildControls();
}

CFormPlotFormantView::~CFormPlotFormantView() = default;

void CFormPlotFormantView::BuildControls() {
    m_fontButton = new CButtonST(QStringLiteral("Font..."), this);
    m_fontButton->SetTooltipText(QStringLiteral("Select the plot font"));
    connect(m_fontButton, &QPushButton::clicked, this, [this] { OnFont(); });
    m_fontName = new QLabel(this);
    m_fontNote = new QLabel(QStringLiteral("Font only applies to graph display."), this);

    m_typeGroup = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        m_typeButton[i] = new QRadioButton(QString::fromLatin1(kTypeTexts[i]), this);
        m_typeGroup->addButton(m_typeButton[i], i);
    }
    connect(m_typeGroup, &QButtonGroup::idClicked, this, [this](int id) { SetPlotType(id); });
    for (int i = 0; i < 5; ++i) {
        m_drawCheck[i] = new QCheckBox(QString::fromLatin1(kDrawTexts[i]), this);
        connect(m_drawCheck[i], &QCheckBox::toggled, this, [this, i](bool on) {
            if (!m_updating)
                SetDrawFlag(i, on ? 1 : 0);
        });
    }
    for (int i = 0; i < 3; ++i) {
        m_rangeLabel[i] = new QLabel(QString::fromLatin1(kRangeTexts[i]), this);
        m_rangeCombo[i] = new QComboBox(this);
        connect(m_rangeCombo[i], &QComboBox::activated, this, [this, i](int index) {
            bool ok = false;
            const int hz = m_rangeCombo[i]->itemText(index).toInt(&ok);
            if (ok)
                SetRange(i, hz);
        });
    }
    for (QWidget* w : std::initializer_list<QWidget*>{m_fontName, m_fontNote})
        w->setAutoFillBackground(false);

    m_table = new GridTableView(m_grid, this);
    m_table->setItemDelegateForColumn(kColSymbol,
                                      new SymbolDelegate(m_prompts, m_grid.Column(kColSymbol).textLimit, m_table));
    connect(m_table, &GridTableView::cellChangedByUser, this,
            [this](int row, int column) { OnCellChanged(row, column); });
    ArrangeControls();
}

void CFormPlotFormantView::ArrangeControls() {
    const int x = 10;
    int y = 10;
    m_fontButton->setGeometry(x, y, 70, 24);
    m_fontName->setGeometry(x + 78, y, kControlWidth - 78, 24);
    y += 28;
    m_fontNote->setGeometry(x, y, kControlWidth, 18);
    y += 24;
    for (int i = 0; i < 3; ++i)
        m_typeButton[i]->setGeometry(x, y + 22 * i, 120, 20);
    for (int i = 0; i < 3; ++i) {
        m_rangeLabel[i]->setGeometry(x + 125, y + 24 * i, 60, 22);
        m_rangeCombo[i]->setGeometry(x + 185, y + 24 * i, 65, 22);
    }
    y += 76;
    for (int i = 0; i < 5; ++i)
        m_drawCheck[i]->setGeometry(x + (i % 2) * 125, y + 22 * (i / 2), i == 4 ? kControlWidth : 125, 20);
    y += 70;
    // The table keeps its left, top and width and ends 10 pixels above the
    // bottom of the client area.
    m_table->setGeometry(x, y, kControlWidth, std::max(40, height() - 10 - y));
}

void CFormPlotFormantView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ArrangeControls();
}

void CFormPlotFormantView::OnInitialUpdate() {
    const FormantPlotSettings& s = m_doc.settings.formantPlot;
    m_plotType = s.values[0] >= 0 && s.values[0] <= 2 ? s.values[0] : 0;
    for (int i = 0; i < 5; ++i)
        m_draw[i] = s.values[1 + i] != 0 ? 1 : 0;
    const std::array<int, 3> defaults{1600, 3000, 3000};
    for (int i = 0; i < 3; ++i) {
        const int v = s.values[6 + i];
        m_range[i] = v >= 200 && v <= 10000 ? v : defaults[i];
    }
    m_plotFont = s.font;
    m_fontColour = s.fontColour;
    m_fontName->setText(FontInUse());

    m_updating = true;
    m_typeButton[m_plotType]->setChecked(true);
    for (int i = 0; i < 5; ++i)
        m_drawCheck[i]->setChecked(m_draw[i] != 0);
    for (int i = 0; i < 3; ++i) {
        m_rangeCombo[i]->clear();
        for (int k = 0; k < kRangeEntries; ++k)
            m_rangeCombo[i]->addItem(QString::number(kRangeFirst + k * kRangeStep));
        SelectRangeEntry(i);
    }
    m_updating = false;
    ArrangeControls();
    update();
}

void CFormPlotFormantView::SelectRangeEntry(int which) {
    // A stored range between the entries shows the nearest one; the range
    // itself stays until the user picks another.
    const int index = std::clamp((m_range[which] - kRangeFirst + kRangeStep / 2) / kRangeStep, 0, kRangeEntries - 1);
    m_rangeCombo[which]->setCurrentIndex(index);
}

// ---- settings ----------------------------------------------------------------

void CFormPlotFormantView::StoreSettings() {
    FormantPlotSettings& s = m_doc.settings.formantPlot;
    s.values[0] = m_plotType;
    for (int i = 0; i < 5; ++i)
        s.values[1 + i] = m_draw[i];
    for (int i = 0; i < 3; ++i)
        s.values[6 + i] = m_range[i];
    s.font = m_plotFont;
    s.fontColour = m_fontColour;
}

void CFormPlotFormantView::SetPlotType(int type) {
    if (type < 0 || type > 2)
        return;
    m_plotType = type;
    if (!m_typeButton[type]->isChecked())
        m_typeButton[type]->setChecked(true);
    StoreSettings();
    update();
    m_grid.Refresh();
}

void CFormPlotFormantView::SetDrawFlag(int flag, int value) {
    if (flag < 0 || flag >= 5)
        return;
    m_draw[flag] = value != 0 ? 1 : 0;
    m_updating = true;
    m_drawCheck[flag]->setChecked(m_draw[flag] != 0);
    m_updating = false;
    StoreSettings();
    update();
    m_grid.Refresh();
}

void CFormPlotFormantView::SetRange(int which, int hz) {
    if (which < 0 || which >= 3 || hz <= 0)
        return;
    m_range[which] = hz;
    SelectRangeEntry(which);
    StoreSettings();
    update();
    m_grid.Refresh();
}

std::optional<CFormPlotFormantView::FontChoice> CFormPlotFormantView::AskFontAndColour(const QFont& font,
                                                                                      const QColor& colour) {
    // The font dialog has no colour of its own: the colour is asked next,
    // and a cancelled colour keeps the one in use.
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, font, this, QStringLiteral("Font"));
    if (!ok)
        return std::nullopt;
    const QColor picked = QColorDialog::getColor(colour, this, QStringLiteral("Text Colour"));
    return FontChoice{chosen, picked.isValid() ? picked : colour};
}

QString CFormPlotFormantView::FontInUse() const {
    // The family the chart really draws with: a stored face the system
    // does not have is replaced.
    return QFontInfo(ToQFont(m_plotFont)).family();
}

void CFormPlotFormantView::OnFont() {
    const QColor colour = ToQColor(m_fontColour);
    const std::optional<FontChoice> choice =
        chooseFont ? chooseFont(ToQFont(m_plotFont), colour) : AskFontAndColour(ToQFont(m_plotFont), colour);
    if (choice) {
        const std::int32_t height = m_plotFont.height;
        m_plotFont = ToLogFont(choice->font);
        if (m_plotFont.height == 0)
            m_plotFont.height = height;
        m_fontColour = platform::Rgb(static_cast<std::uint8_t>(choice->colour.red()),
                                     static_cast<std::uint8_t>(choice->colour.green()),
                                     static_cast<std::uint8_t>(choice->colour.blue()));
    }
    m_fontName->setText(FontInUse());
    StoreSettings();
    update();
}

// ---- the table ---------------------------------------------------------------

void CFormPlotFormantView::SetCellInt(int row, int column, std::int32_t value) {
    if (row < 0 || column < 0 || row >= m_grid.GetRowCount() || column >= m_grid.GetColumnCount())
        return;
    m_grid.SetCellInt(row, column, PlotFormantCellValue(value));
}

void CFormPlotFormantView::SetCellText(int row, int column, const std::string& text, int length) {
    if (length < 0 || row < 0 || column < 0 || row >= m_grid.GetRowCount() || column >= m_grid.GetColumnCount())
        return;
    m_grid.SetCellText(row, column, text.substr(0, static_cast<std::size_t>(length)));
}

std::int32_t CFormPlotFormantView::GetCellInt(int row, int column) const {
    if (row < 0 || column < 0 || row >= m_grid.GetRowCount() || column >= m_grid.GetColumnCount())
        return 0;
    return m_grid.GetCellInt(row, column);
}

std::string CFormPlotFormantView::GetCellText(int row, int column) const {
    if (row < 0 || column < 0 || row >= m_grid.GetRowCount() || column >= m_grid.GetColumnCount())
        return {};
    return m_grid.GetCellText(row, column);
}

std::vector<PlotFormantRow> CFormPlotFormantView::TableRows() const {
    std::vector<PlotFormantRow> rows;
    rows.reserve(static_cast<std::size_t>(m_grid.GetRowCount()));
    for (int r = 0; r < m_grid.GetRowCount(); ++r) {
        PlotFormantRow row;
        row.f1 = GetCellInt(r, kColF1);
        row.f2 = GetCellInt(r, kColF2);
        row.f3 = GetCellInt(r, kColF3);
        row.label = platform::Utf8ToCp1252(GetCellText(r, kColSymbol));
        rows.push_back(std::move(row));
    }
    return rows;
}

void CFormPlotFormantView::SetTableRows(const std::vector<PlotFormantRow>& rows) {
    m_grid.SetRedraw(false);
    m_grid.RemoveAllRows();
    for (const PlotFormantRow& row : rows) {
        std::vector<GridCell> cells(4);
        if (row.f1)
            cells[kColF1] = PlotFormantCellValue(*row.f1);
        if (row.f2)
            cells[kColF2] = PlotFormantCellValue(*row.f2);
        if (row.f3)
            cells[kColF3] = PlotFormantCellValue(*row.f3);
        cells[kColSymbol] = platform::Cp1252ToUtf8(row.label);
        m_grid.AppendRow(cells);
    }
    m_grid.SetRedraw(true);
}

void CFormPlotFormantView::OnCellChanged(int row, int column) {
    if (row < 0 || row >= m_grid.GetRowCount())
        return;
    if (column >= kColF1 && column <= kColF3) {
        // What the user typed, as a whole frequency under the cell rule.
        const GridCell& cell = m_grid.GetCell(row, column);
        if (!std::holds_alternative<std::monostate>(cell))
            m_grid.SetCellInt(row, column, PlotFormantCellValue(m_grid.GetCellInt(row, column)));
    } else if (column == kColSymbol) {
        const std::string text = m_grid.GetCellText(row, column);
        if (!IsPlotFormantLabelAllowed(text)) {
            std::string clean = text;
            std::replace_if(clean.begin(), clean.end(), [](char c) { return !IsPlotFormantLabelAllowed({&c, 1}); },
                            ' ');
            m_grid.SetCellText(row, column, clean);
        }
    }
    m_modified = true;
    update();
}

bool CFormPlotFormantView::CanDeleteRow() const { return m_grid.GetSelectedCount() > 0; }

void CFormPlotFormantView::OnDeleteRow() {
    if (m_grid.GetSelectedCount() == 0)
        return;
    m_grid.SetRedraw(false);
    for (int r = m_grid.GetRowCount() - 1; r >= 0; --r)
        if (m_grid.IsRowSelected(r))
            m_grid.RemoveRow(r);
    m_grid.SetRedraw(true);
    m_modified = true;
    update();
}

void CFormPlotFormantView::OnInsertRow() {
    m_grid.AppendRow({std::int32_t{0}, std::int32_t{0}, std::int32_t{0}, std::string()});
    m_modified = true;
    // The chart is not repainted: the new row shows in the grid only.
}

// ---- the file ----------------------------------------------------------------

void CFormPlotFormantView::SetTitle(const std::string& title) {
    m_title = title;
    emit titleChanged(QString::fromStdString(title));
}

bool CFormPlotFormantView::ReadPlotFormantFile(const std::string& path) {
    std::vector<PlotFormantRow> rows;
    m_grid.RemoveAllRows();
    if (vocomet::ReadPlotFormantFile(path, false, rows, m_prompts) != PlotFormantReadStatus::Ok) {
        update();
        return false;
    }
    SetTableRows(rows);
    SetTitle(std::filesystem::path(path).filename().string());
    m_path = path;
    m_loaded = true;
    m_modified = false;
    update();
    return true;
}

bool CFormPlotFormantView::LoadFormantTable(const std::string& path) {
    m_path.clear();
    std::vector<PlotFormantRow> rows;
    m_grid.RemoveAllRows();
    if (vocomet::ReadPlotFormantFile(path, true, rows, m_prompts) != PlotFormantReadStatus::Ok) {
        update();
        return false;
    }
    SetTableRows(rows);
    m_loaded = true;
    m_modified = true;
    update();
    return true;
}

bool CFormPlotFormantView::WritePlotFormantFile(const std::string& path) {
    if (!vocomet::WritePlotFormantFile(path, TableRows(), m_prompts))
        return false;
    m_modified = false;
    return true;
}

bool CFormPlotFormantView::SavePlotFormantFile() {
    if (m_path.empty())
        return OnSaveAs();
    return WritePlotFormantFile(m_path);
}

bool CFormPlotFormantView::OnSaveAs() {
    platform::FileDialogRequest request;
    request.title = kPlotFormantSaveTitle;
    request.filter = kPlotFormantFilter;
    request.defaultSuffix = "txt";
    request.initialPath = m_path;
    const std::optional<std::string> chosen = m_prompts.AskSavePath(request);
    if (!chosen || chosen->empty())
        return false;
    const std::string path = std::filesystem::absolute(*chosen).string();
    if (!WritePlotFormantFile(path))
        return false;
    m_path = path;
    SetTitle(std::filesystem::path(path).filename().string());
    return true;
}

// ---- the chart ---------------------------------------------------------------

QRect CFormPlotFormantView::ChartArea() const {
    // Right of the controls and the table; the chart keeps its right and top
    // edges, so it stands where it would over the whole client area.
    const int left = 10 + kControlWidth + 10;
    return QRect(left, 0, std::max(0, width() - left), height());
}

void CFormPlotFormantView::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    QPainter dc(this);
    const QRect area = ChartArea();
    if (area.isEmpty())
        return;
    dc.setClipRect(area);
    DrawPlot(dc, area, 1, m_plotType < 0 ? 0 : m_plotType, 1);
}

void CFormPlotFormantView::DrawPlot(QPainter& dc, const QRect& rect, int d, int plotType, int e) const {
    d = std::max(1, d);
    e = std::clamp(e, 1, 2);
    plotType = std::clamp(plotType, 0, 2);
    dc.save();
    const FormantChartGeometry g =
        MakeFormantChartGeometry(rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height(), d, e);
    const platform::LogFontA gui = platform::DefaultGuiFont();
    const QFont small = ScaledFont(gui, d);
    const QFont large = ScaledFont(gui, 2 * d);
    dc.setPen(Qt::black);
    dc.setBrush(Qt::NoBrush);

    // F1 axis, at the right.
    dc.setFont(large);
    DrawTextLeftCentred(dc, g.xR + (e == 2 ? 150 : 50), g.YOfHz(500) + g.ky / 2, QStringLiteral("F1"));
    dc.setFont(small);
    for (int f : F1Ticks(m_range[0])) {
        const int y = g.YOfHz(f);
        dc.drawLine(g.xR, y, g.xR + 5 * d + 10, y);
        DrawTextLeftCentred(dc, g.xR + 5 * d + 5, y, QString::number(f));
    }
    // Horizontal axis, at the top.
    dc.setFont(large);
    const QString title = QString::fromLatin1(kAxisTitles[plotType], 3);
    DrawTextLeftCentred(dc, g.XOfHz(1000), rect.top() + 10 * d, title);
    dc.setFont(small);
    const int horizontalRange = plotType == kPlotF3 ? m_range[2] : m_range[1];
    for (int f : HorizontalTicks(horizontalRange)) {
        const int x = g.XOfHz(f);
        if (f % 500 == 0) {
            dc.drawLine(x, g.yT, x, g.yT - 20 * d - 5);
            const QString label = QString::number(f);
            DrawTextAt(dc, x - dc.fontMetrics().horizontalAdvance(label) / 2, g.yT - 20 * d, label);
        } else {
            dc.drawLine(x, g.yT, x, g.yT - 5 * d);
        }
    }

    if (m_loaded) {
        std::vector<ChartRow> rows(static_cast<std::size_t>(m_grid.GetRowCount()));
        std::vector<std::string> labels(rows.size());
        for (int r = 0; r < m_grid.GetRowCount(); ++r) {
            ChartRow& row = rows[static_cast<std::size_t>(r)];
            row.f1 = m_grid.GetCellInt(r, kColF1);
            row.x = HorizontalHz(row.f1, m_grid.GetCellInt(r, kColF2), m_grid.GetCellInt(r, kColF3), plotType);
            labels[static_cast<std::size_t>(r)] = m_grid.GetCellText(r, kColSymbol);
            row.label = QString::fromStdString(labels[static_cast<std::size_t>(r)]);
        }
        const QColor colour = ToQColor(m_fontColour);
        if (m_draw[kDrawData]) {
            dc.setFont(ScaledFont(m_plotFont, d));
            for (const ChartRow& row : rows) {
                if (!row.x)
                    continue;
                const int x = g.XOfHz(*row.x);
                const int y = g.YOfHz(row.f1);
                dc.setPen(Qt::black);
                dc.drawEllipse(QRect(x, y, 5 * d, 5 * d));
                if (m_draw[kDrawIndividualLabels]) {
                    dc.setPen(colour);
                    DrawTextAt(dc, x, y, row.label);
                }
            }
        }
        if (m_draw[kDrawEllipse]) {
            dc.setBrush(Qt::black);
            std::vector<double> f1Bark;
            std::vector<double> xBark;
            for (const FormantGroup& group : GroupRowsByLabel(labels)) {
                if (group.count < 3)
                    continue;
                f1Bark.clear();
                xBark.clear();
                for (int r = group.first; r < group.first + group.count; ++r) {
                    const ChartRow& row = rows[static_cast<std::size_t>(r)];
                    if (!row.x)
                        continue;  // no F2' for this row
                    f1Bark.push_back(BarkOfHz(row.f1));
                    xBark.push_back(BarkOfHz(*row.x));
                }
                if (f1Bark.empty())
                    continue;
                const GroupStatistics stats = ComputeGroupStatistics(f1Bark, xBark);
                const int mx = g.XOfBark(stats.meanX);
                const int my = g.YOfBark(stats.meanF1);
                dc.setPen(Qt::black);
                if (m_draw[kDrawMean])
                    dc.drawEllipse(QRect(QPoint(mx - 5 * d, my - 5 * d), QPoint(mx + 5 * d, my + 5 * d)));
                if (m_draw[kDrawMeanLabel]) {
                    dc.setFont(ScaledFont(m_plotFont, 2 * d));
                    dc.setPen(colour);
                    DrawTextAt(dc, mx, my, rows[static_cast<std::size_t>(group.first)].label);
                    dc.setPen(Qt::black);
                }
                const std::optional<GroupEllipse> ellipse = EllipseOf(stats);
                if (!ellipse)
                    continue;
                const auto outline = EllipseOutline(stats, *ellipse);
                QPolygon polyline;
                polyline.reserve(kEllipsePoints);
                for (int k = 1; k < kEllipsePoints; ++k)
                    polyline << QPoint(g.XOfBark(outline[k].x), g.YOfBark(outline[k].f1));
                polyline << polyline.front();
                dc.drawPolyline(polyline);
            }
            dc.setBrush(Qt::NoBrush);
        }
    }
    dc.restore();
}

QImage CFormPlotFormantView::RenderBitmap(int width, int height) const {
    QImage picture(width, height, QImage::Format_RGB32);
    if (picture.isNull())
        return picture;
    picture.fill(Qt::white);
    QPainter dc(&picture);
    DrawPlot(dc, QRect(20, 0, std::max(0, width - 20), height), 1, m_plotType < 0 ? 0 : m_plotType, 1);
    return picture;
}

void CFormPlotFormantView::OnSaveAsBmp() {
    if (!m_loaded)
        return;
    const std::string path = AskBitmapSavePath(m_prompts, "bmp_");
    if (path.empty())
        return;
    int result = 1;
    std::string reason;
    {
        const platform::BusyGuard busy(m_prompts);
        const std::int64_t width = static_cast<std::int64_t>(physicalDpiX() / 25.4 * kBitmapWidthMm);
        const std::int64_t height = static_cast<std::int64_t>(physicalDpiY() / 25.4 * kBitmapHeightMm);
        if (BitmapSizeAllowed(width, height)) {
            try {
                result = WriteBitmapFile(RenderBitmap(static_cast<int>(width), static_cast<int>(height)), path,
                                         &reason);
            } catch (...) {
                result = 1;
            }
        }
    }
    if (result != 0)
        ReportBitmapSaveFailure(m_prompts, reason);
}

void CFormPlotFormantView::PrintTo(QPrinter& printer) const {
    QPainter dc;
    if (!dc.begin(&printer))
        return;
    QRect plot;
    int unit = 3;
    DrawPrintFrame(dc, kPrintWidthInches, kPrintHeightInches, true, QString(), plot, unit, false);
    DrawPlot(dc, plot, unit, m_plotType < 0 ? 0 : m_plotType, 2);
    dc.end();
}

void CFormPlotFormantView::OnPrint() {
    if (!m_loaded)
        return;
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    PrintTo(printer);
}

}  // namespace vocomet
