#include "app/OptionTables.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <variant>

#include "analysis/AnalysisLimits.h"
#include "core/COrielDoc.h"
#include "platform/TextEncoding.h"

namespace vocomet {

namespace {

constexpr const char* kFlagChoices = "0\t1";

GridColumn TextColumn(const char* caption, double width) {
    GridColumn c;
    c.kind = GridColumnKind::Text;
    c.caption = caption;
    c.width = width;
    return c;
}

GridColumn NumberColumn(const char* caption, double width, const std::string& mask = {}) {
    GridColumn c;
    c.kind = GridColumnKind::Number;
    c.caption = caption;
    c.width = width;
    c.mask = mask;
    c.decimals = DecimalsOfMask(mask);
    return c;
}

int ChannelsInTable(const COrielDoc& doc) { return std::clamp(doc.GetChannelCount(), 0, kDocumentSlots); }

// A cell as a whole number: an int as it is, a double only when whole, a
// text only when it reads wholly as a whole number. Anything else is none.
std::optional<long long> WholeNumberOf(const GridCell& c) {
    if (const auto* i = std::get_if<std::int32_t>(&c))
        return *i;
    if (const auto* d = std::get_if<double>(&c)) {
        if (!std::isfinite(*d) || *d != std::trunc(*d) || std::fabs(*d) > 1e15)
            return std::nullopt;
        return static_cast<long long>(*d);
    }
    if (const auto* s = std::get_if<std::string>(&c)) {
        errno = 0;
        char* end = nullptr;
        const long long v = std::strtoll(s->c_str(), &end, 10);
        if (end == s->c_str() || errno != 0)
            return std::nullopt;
        while (*end == ' ')
            ++end;
        if (*end != '\0')
            return std::nullopt;
        return v;
    }
    return std::nullopt;
}

// A check cell: 0 or 1 (any non-zero whole number counts as checked).
std::optional<int> FlagOf(const GridCell& c) {
    const std::optional<long long> v = WholeNumberOf(c);
    if (!v)
        return std::nullopt;
    return *v != 0 ? 1 : 0;
}

// A number cell read like atof: a number as it is, a text by its leading
// number, 0.0 for anything else.
double NumberOf(const GridCell& c) {
    if (const auto* i = std::get_if<std::int32_t>(&c))
        return *i;
    if (const auto* d = std::get_if<double>(&c))
        return *d;
    if (const auto* s = std::get_if<std::string>(&c))
        return std::strtod(s->c_str(), nullptr);
    return 0.0;
}

std::string TextOf(const GridModel& grid, int row, int column) {
    return platform::Utf8ToCp1252(grid.GetCellText(row, column));
}

TableRefusal Refusal(int row, int column, std::string message) { return TableRefusal{row, column, std::move(message)}; }

std::optional<TableRefusal> CheckRowCount(const GridModel& grid, const COrielDoc& doc) {
    if (grid.GetRowCount() > kDocumentSlots || grid.GetRowCount() > std::max(ChannelsInTable(doc), 0))
        return Refusal(-1, -1, kDisplayTableReadError);
    return std::nullopt;
}

// The first sixteen channels' settings copies follow the channels, so a
// recording loaded into the document later takes the new values.
void CollectIntoSettings(COrielDoc& doc) {
    for (int i = 0; i < kPersistedChannels; ++i) {
        const CChannels& c = doc.Channel(i);
        ChannelSettings& s = doc.settings.channels[static_cast<std::size_t>(i)];
        s.intensityWindow = c.intensityWindow;
        s.intensityStep = c.intensityStep;
        s.intensityMode = c.relativeIntensity;
        s.smoothingSwitch = c.smoothingOn;
        s.smoothingPoints = c.smoothingPoints;
        s.calibration = {c.calA, c.calB, c.calC, c.calD};
        s.unit = c.unit;
    }
}

}  // namespace

std::string OptionRowCaption(int channel) { return channel == 0 ? "Audio" : std::to_string(channel); }

// ---- display ------------------------------------------------------------------

DisplayOptionValues DisplayValuesOf(const COrielDoc& doc) {
    const DisplaySettings& d = doc.settings.display;
    DisplayOptionValues v;
    v.trackMouse = d.mouseReadout;
    v.timeGrid = d.fourth;
    v.gridSpacingMs = d.fifth;
    v.colour = d.sixth;
    v.inches = d.first;
    v.width = d.pictureWidth;
    v.height = d.pictureHeight;
    return v;
}

void FillDisplayTable(GridModel& grid, const COrielDoc& doc) {
    grid.SetRedraw(false);
    grid.Clear();
    grid.AppendColumn(TextColumn("Signal Name", 90));
    grid.AppendColumn(NumberColumn("Show", 40));
    grid.AppendColumn(NumberColumn("Heigth", 50));
    grid.AppendColumn(NumberColumn("Draw Ref.", 60));
    grid.AppendColumn(NumberColumn("Draw Int.", 60));
    for (int i = 0; i < ChannelsInTable(doc); ++i) {
        const CChannels& c = doc.Channel(i);
        const int row = grid.AppendRow({platform::Cp1252ToUtf8(c.name), std::int32_t(c.show != 0 ? 1 : 0),
                                        std::int32_t(c.stripHeight), std::int32_t(c.drawReference != 0 ? 1 : 0),
                                        std::int32_t(c.drawIntensity != 0 ? 1 : 0)});
        grid.SetRowHeaderText(row, OptionRowCaption(i));
        for (int col : {1, 3, 4})
            grid.SetCellChoiceList(row, col, kFlagChoices);
    }
    grid.SetRedraw(true);
}

std::optional<TableRefusal> ValidateDisplayOptions(const GridModel& grid, const DisplayOptionValues& v) {
    if (grid.GetColumnCount() < 5)
        return Refusal(-1, -1, kDisplayTableReadError);
    for (int r = 0; r < grid.GetRowCount(); ++r) {
        for (int col : {1, 3, 4})
            if (!FlagOf(grid.GetCell(r, col)))
                return Refusal(r, col, IntegerRangePrompt(0, 1));
        const std::optional<long long> h = WholeNumberOf(grid.GetCell(r, 2));
        if (!h || *h < 1 || *h > kMaxStripHeight)
            return Refusal(r, 2, IntegerRangePrompt(1, kMaxStripHeight));
    }
    if (v.timeGrid != 0 && (v.gridSpacingMs < 0 || v.gridSpacingMs > kMaxGridSpacingMs))
        return Refusal(-1, 0, IntegerRangePrompt(0, kMaxGridSpacingMs));
    if (!(v.width > 0.0 && v.width <= kMaxPrintSize))
        return Refusal(-1, 1, "Please enter a width above 0 and not above 100.");
    if (!(v.height > 0.0 && v.height <= kMaxPrintSize))
        return Refusal(-1, 2, "Please enter a height above 0 and not above 100.");
    return std::nullopt;
}

std::optional<TableRefusal> StoreDisplayOptions(const GridModel& grid, const DisplayOptionValues& v,
                                                COrielDoc& doc) {
    if (auto r = CheckRowCount(grid, doc))
        return r;
    if (auto r = ValidateDisplayOptions(grid, v))
        return r;
    for (int r = 0; r < grid.GetRowCount(); ++r) {
        CChannels& c = doc.Channel(r);
        c.name = TextOf(grid, r, 0);
        c.show = *FlagOf(grid.GetCell(r, 1));
        c.stripHeight = static_cast<std::int32_t>(*WholeNumberOf(grid.GetCell(r, 2)));
        c.drawReference = *FlagOf(grid.GetCell(r, 3));
        c.drawIntensity = *FlagOf(grid.GetCell(r, 4));
    }
    DisplaySettings& d = doc.settings.display;
    d.mouseReadout = v.trackMouse != 0 ? 1 : 0;
    d.fourth = v.timeGrid != 0 ? 1 : 0;
    // A spacing the disabled edit still holds is kept only when usable.
    if (v.gridSpacingMs >= 0 && v.gridSpacingMs <= kMaxGridSpacingMs)
        d.fifth = v.gridSpacingMs;
    d.first = v.inches != 0 ? 1 : 0;
    d.sixth = v.colour != 0 ? 1 : 0;
    d.pictureHeight = v.height;
    d.pictureWidth = v.width;
    return std::nullopt;
}

// ---- intensity / smooth --------------------------------------------------------

void FillIntensityTable(GridModel& grid, const COrielDoc& doc) {
    grid.SetRedraw(false);
    grid.Clear();
    grid.AppendColumn(TextColumn("Name", 90));
    grid.AppendColumn(NumberColumn("Window Length(ms)", 125));
    grid.AppendColumn(NumberColumn("Step Size(ms)", 90));
    grid.AppendColumn(NumberColumn("Abs/Rel", 55));
    grid.AppendColumn(NumberColumn("Do", 40));
    grid.AppendColumn(NumberColumn("# of points", 75));
    const auto whole = [](double v) {
        return std::int32_t(std::isfinite(v) ? std::clamp(v, -2147483648.0, 2147483647.0) : 0.0);
    };
    for (int i = 0; i < ChannelsInTable(doc); ++i) {
        const CChannels& c = doc.Channel(i);
        const int row = grid.AppendRow({platform::Cp1252ToUtf8(c.name), whole(c.intensityWindow),
                                        whole(c.intensityStep), std::int32_t(c.relativeIntensity != 0 ? 1 : 0),
                                        std::int32_t(c.smoothingOn != 0 ? 1 : 0), whole(c.smoothingPoints)});
        grid.SetRowHeaderText(row, OptionRowCaption(i));
        for (int col : {3, 4})
            grid.SetCellChoiceList(row, col, kFlagChoices);
    }
    grid.SetRedraw(true);
}

std::optional<TableRefusal> StoreIntensityTable(const GridModel& grid, COrielDoc& doc) {
    if (grid.GetColumnCount() < 6)
        return Refusal(-1, -1, kDisplayTableReadError);
    if (auto r = CheckRowCount(grid, doc))
        return r;
    for (int r = 0; r < grid.GetRowCount(); ++r) {
        for (int col : {1, 2, 5}) {
            const std::optional<long long> v = WholeNumberOf(grid.GetCell(r, col));
            const std::string problem = CheckIntensityWholeNumber(v ? *v : 0);
            if (!problem.empty())
                return Refusal(r, col, problem);
        }
        for (int col : {3, 4})
            if (!FlagOf(grid.GetCell(r, col)))
                return Refusal(r, col, IntegerRangePrompt(0, 1));
    }
    for (int r = 0; r < grid.GetRowCount(); ++r) {
        CChannels& c = doc.Channel(r);
        c.intensityWindow = static_cast<double>(*WholeNumberOf(grid.GetCell(r, 1)));
        c.intensityStep = static_cast<double>(*WholeNumberOf(grid.GetCell(r, 2)));
        c.relativeIntensity = *FlagOf(grid.GetCell(r, 3));
        c.smoothingOn = *FlagOf(grid.GetCell(r, 4));
        c.smoothingPoints = static_cast<double>(*WholeNumberOf(grid.GetCell(r, 5)));
    }
    CollectIntoSettings(doc);
    return std::nullopt;
}

// ---- calibration ------------------------------------------------------------------

void FillCalibrationTable(GridModel& grid, const COrielDoc& doc) {
    grid.SetRedraw(false);
    grid.Clear();
    grid.AppendColumn(TextColumn("Signal Name", 90));
    for (const char* caption : {"A (X**3)", "B (X**2)", "C X", "D"})
        grid.AppendColumn(NumberColumn(caption, 95, kCalibrationMask));
    grid.AppendColumn(TextColumn("Unit", 80));
    grid.SetColumnTextLimit(5, static_cast<int>(kMaxUnitBytes));
    for (int i = 0; i < ChannelsInTable(doc); ++i) {
        const CChannels& c = doc.Channel(i);
        const int row = grid.AppendRow({platform::Cp1252ToUtf8(c.name), c.calA, c.calB, c.calC, c.calD,
                                        platform::Cp1252ToUtf8(c.unit)});
        grid.SetRowHeaderText(row, OptionRowCaption(i));
    }
    grid.SetRedraw(true);
}

std::optional<TableRefusal> StoreCalibrationTable(const GridModel& grid, COrielDoc& doc) {
    if (grid.GetColumnCount() < 6)
        return Refusal(-1, -1, kDisplayTableReadError);
    if (auto r = CheckRowCount(grid, doc))
        return r;
    for (int r = 0; r < grid.GetRowCount(); ++r)
        for (int col = 1; col <= 4; ++col) {
            const std::string problem = CheckCalibrationCoefficient(NumberOf(grid.GetCell(r, col)));
            if (!problem.empty())
                return Refusal(r, col, problem);
        }
    for (int r = 0; r < grid.GetRowCount(); ++r) {
        CChannels& c = doc.Channel(r);
        c.name = TextOf(grid, r, 0);
        c.calA = NumberOf(grid.GetCell(r, 1));
        c.calB = NumberOf(grid.GetCell(r, 2));
        c.calC = NumberOf(grid.GetCell(r, 3));
        c.calD = NumberOf(grid.GetCell(r, 4));
        std::string unit = TextOf(grid, r, 5);
        if (unit.size() > kMaxUnitBytes)
            unit.resize(kMaxUnitBytes);
        c.unit = unit;
    }
    CollectIntoSettings(doc);
    return std::nullopt;
}

}  // namespace vocomet
