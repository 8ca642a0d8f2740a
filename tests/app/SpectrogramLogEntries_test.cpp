#include "app/SpectrogramLogEntries.h"

#include <gtest/gtest.h>

#include <limits>

namespace vocomet {
namespace {

// Ten formant columns over 0 .. 100 ms, column c centred at 5 + 10 c ms;
// column c holds F1 = 100 (c + 1) and F2 = 1000 + c, the odd ones no F3,
// column 3 no formants at all.
SpectrogramImage TenColumns() {
    SpectrogramImage im;
    im.columns = 10;
    im.rows = 4;
    im.levels.assign(40, 0.0f);
    im.tracksFormants = true;
    im.formantsFound = true;
    for (int c = 0; c < 10; ++c) {
        im.columnTimesMs.push_back(5.0 + 10.0 * c);
        SpectrogramFormants f{100 * (c + 1), 1000 + c, c % 2 ? kNoFormant : 2500, kNoFormant, kNoFormant};
        if (c == 3)
            f = {kNoFormant, kNoFormant, kNoFormant, kNoFormant, kNoFormant};
        im.formants.push_back(f);
    }
    return im;
}

std::vector<double> Values(const LogEntry& e) { return {e.values.begin(), e.values.begin() + e.UsedCount()}; }

TEST(SpectrogramLogEntries, MarkerAndDuration) {
    const LogEntry m = SpectrogramMarkerEntry("take1.vcm", 123.5, 1500.0);
    EXPECT_EQ(m.source, "take1.vcm");
    // The log's own wording, "Spec." for spectrogram.
    EXPECT_EQ(m.description, "Spec. Marker Entry: time, frequency ");
    EXPECT_EQ(Values(m), (std::vector<double>{123.5, 1500.0}));
    // Selection times count from the range start.
    const LogEntry d = SpectrogramDurationEntry("take1.vcm", 1000.0, 20.0, 55.0);
    EXPECT_EQ(d.description, "Spec. Duration Entry: start, end, duration ");
    EXPECT_EQ(Values(d), (std::vector<double>{1020.0, 1055.0, 35.0}));
}

TEST(SpectrogramLogEntries, FormantsAtTheMarkerTakeTheNearestColumnClamped) {
    const SpectrogramImage im = TenColumns();
    struct Case {
        double time;
        double f1;
    } cases[] = {{19.0, 200}, {21.0, 300}, {-50.0, 100}, {5000.0, 1000},
                 {std::numeric_limits<double>::quiet_NaN(), 100}};
    for (const Case& c : cases) {
        const std::vector<LogEntry> e = SpectrogramFormantMarkerEntry("t", im, c.time);
        ASSERT_EQ(e.size(), 1u) << c.time;
        EXPECT_EQ(e[0].description, "Spec. Formants Marker Entry: time, F1, F2, F3, F4, F5 ");
        ASSERT_EQ(e[0].UsedCount(), 6);
        EXPECT_EQ(e[0].values[1], c.f1) << c.time;
        EXPECT_EQ(e[0].values[5], -1.0);
    }
    // No formant columns (tracking off): no entry.
    SpectrogramImage none = im;
    none.formants.clear();
    EXPECT_TRUE(SpectrogramFormantMarkerEntry("t", none, 20.0).empty());
}

TEST(SpectrogramLogEntries, FormantsOverTheSelectionOneEntryPerStep) {
    const SpectrogramImage im = TenColumns();
    // 35 ms at 10 ms: t = 0, 10, 20, 30 from the selection start.
    std::vector<LogEntry> e = SpectrogramFormantSelectionEntries("t", im, 1000.0, 40.0, 75.0, 10.0);
    ASSERT_EQ(e.size(), 4u);
    for (std::size_t i = 0; i < e.size(); ++i) {
        EXPECT_EQ(e[i].description, "Spec. Formants Duration Entry: time, F1, F2, F3, F4, F5 ");
        EXPECT_DOUBLE_EQ(e[i].values[0], 1040.0 + 10.0 * i);
    }
    // The picture's columns stand for absolute times: range start 0 here.
    e = SpectrogramFormantSelectionEntries("t", im, 0.0, 40.0, 75.0, 10.0);
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[0].values[1], -1.0);  // 40 ms: column 3 (centre 35), which has none
    EXPECT_EQ(e[1].values[1], 500.0);
    EXPECT_EQ(e[3].values[1], 700.0);
    // A step of 0 or less (or not a number) and an empty selection: none.
    for (double step : {0.0, -10.0, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_TRUE(SpectrogramFormantSelectionEntries("t", im, 0.0, 40.0, 75.0, step).empty()) << step;
    EXPECT_TRUE(SpectrogramFormantSelectionEntries("t", im, 0.0, 40.0, 40.0, 10.0).empty());
}

TEST(SpectrogramLogEntries, FormantTableWritesColumnsWithF1Only) {
    const SpectrogramImage im = TenColumns();
    EXPECT_EQ(SpectrogramFormantTable(im, 2, 4), "300\t1002\t2500\t\t\r\n500\t1004\t2500\t\t\r\n");
    EXPECT_EQ(SpectrogramFormantTable(im, 1, 1), "200\t1001\t-01\t\t\r\n");
    // Clamped to the columns; an empty or reversed range writes nothing.
    EXPECT_EQ(SpectrogramFormantTable(im, 9, 50), "1000\t1009\t-01\t\t\r\n");
    EXPECT_EQ(SpectrogramFormantTable(im, -5, 0), "100\t1000\t2500\t\t\r\n");
    EXPECT_EQ(SpectrogramFormantTable(im, 3, 3), "");
    EXPECT_EQ(SpectrogramFormantTable(im, 5, 4), "");
    SpectrogramImage none = im;
    none.formants.clear();
    EXPECT_EQ(SpectrogramFormantTable(none, 0, 9), "");
}

}  // namespace
}  // namespace vocomet
