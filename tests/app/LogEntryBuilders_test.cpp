#include "app/LogEntryBuilders.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/DocumentFixture.h"

namespace vocomet {
namespace {

// A document of two channels in memory: "Audio" at 10 kHz (sample k = k),
// "EGG" at 5 kHz (sample k = -k), both 100 ms, the EGG channel calibrated
// as 2x + 1.
class LogEntryBuildersTest : public test::DocumentTest {
protected:
    void SetUp() override {
        test::DocumentTest::SetUp();
        doc->SetTitle("take1.vcm");
        doc->SetChannelCount(2);
        doc->dataLoaded = 1;
        Fill(doc->Channel(0), "Audio", 10000.0, 1.0f);
        Fill(doc->Channel(1), "EGG", 5000.0, -1.0f);
        doc->Channel(1).calC = 2.0;
        doc->Channel(1).calD = 1.0;
    }

    static void Fill(CChannels& ch, const char* name, double rate, float sign) {
        ch.name = name;
        ch.rate = rate;
        ch.duration = 100.0;
        ch.sampleCount = rate / 10.0;
        ch.show = 1;
        ch.samples = platform::FloatBlock::Allocate(static_cast<std::size_t>(ch.sampleCount));
        for (std::size_t k = 0; k < ch.samples.size(); ++k)
            ch.samples[k] = sign * static_cast<float>(k);
    }

    void Select(double start, double end) {
        for (int i = 0; i < 2; ++i) {
            doc->Channel(i).selStartTime = start;
            doc->Channel(i).selEndTime = end;
        }
    }

    // Cycles whose rising crossings are at the given times, each closing 3 ms later.
    void SetCycles(std::initializer_list<double> rises) {
        CChannels& egg = doc->Channel(1);
        egg.cycles = {};
        int i = 0;
        for (double t : rises) {
            ArrayCycle c;
            c.criterionRise.time = t;
            c.criterionFall.time = t + 3.0;
            c.cq = 0.1 * ++i;
            c.cqH = c.cq + 1;
            c.cqPM = c.cq + 2;
            c.cqHT = c.cq + 3;
            c.velocityMax.value = 100.0 * i;
            c.velocityMax.time = t + 1.0;
            egg.cycles.Add(c);
        }
        egg.cyclesValid = 1;
        doc->settings.egg.channel = 1;
    }
};

TEST_F(LogEntryBuildersTest, MarkerEntryNamesTheShownChannelsAndCalibratesTheirValues) {
    doc->Channel(0).markerTime = 4.0;
    doc->Channel(0).valueAtMarker = 40.0;
    doc->Channel(1).markerTime = 4.0;
    doc->Channel(1).valueAtMarker = -20.0;
    const LogEntry e = MarkerEntry(*doc);
    EXPECT_EQ(e.source, "take1.vcm");
    EXPECT_EQ(e.description, "Marker Entry: time ,Audio ,EGG");
    ASSERT_EQ(e.count, 3);
    EXPECT_EQ(e.values, (std::vector<double>{4.0, 40.0, -39.0}));

    // Channel 0 hidden: its marker time still comes first.
    doc->Channel(0).show = 0;
    const LogEntry hidden = MarkerEntry(*doc);
    EXPECT_EQ(hidden.description, "Marker Entry: time ,EGG");
    EXPECT_EQ(hidden.values, (std::vector<double>{4.0, -39.0}));
}

TEST_F(LogEntryBuildersTest, DurationEntry) {
    Select(12.5, 20.0);
    const LogEntry e = DurationEntry(*doc);
    EXPECT_EQ(e.description, "Duration Entry: start, end, duration ");
    EXPECT_EQ(e.values, (std::vector<double>{12.5, 20.0, 7.5}));
}

TEST_F(LogEntryBuildersTest, RowCountTable) {
    const struct {
        double start, end, step;
        std::int64_t rows;
    } cases[] = {
        {0.0, 10.0, 2.0, 5},   {30.0, 40.0, 2.0, 5},   {0.0, 1.0, 0.1, 10}, {5.3, 6.3, 0.1, 10},
        {0.7, 1.7, 0.1, 10},   {0.0, 60000.0, 1.0, 60000}, {0.0, 9.0, 2.0, 5}, {0.0, 10.0, 0.0, 0},
        {0.0, 10.0, -1.0, 0},  {5.0, 5.0, 1.0, 0},     {0.0, 10.0, std::nan(""), 0},
        {0.0, 10.0, std::numeric_limits<double>::infinity(), 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DataSelectionRowCount(c.start, c.end, c.step), c.rows) << c.start << ".." << c.end << " / " << c.step;
}

TEST_F(LogEntryBuildersTest, DataSelectionRowsSitAtStartPlusIStep) {
    Select(30.0, 40.0);
    doc->Channel(0).valueAtCursor = 123.0;
    const std::vector<LogEntry> entries = DataSelectionEntries(*doc, 2.0);
    ASSERT_EQ(entries.size(), 5u);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const double t = 30.0 + 2.0 * static_cast<double>(i);
        EXPECT_EQ(entries[i].description, "Data Selection Entry: time ,Audio ,EGG");
        ASSERT_EQ(entries[i].count, 3);
        EXPECT_EQ(entries[i].values[0], t);
        EXPECT_EQ(entries[i].values[1], t * 10.0);             // sample t x 10 kHz
        EXPECT_EQ(entries[i].values[2], 2.0 * -(t * 5.0) + 1);  // calibrated
    }
    // The value shown at the cursor is not disturbed.
    EXPECT_EQ(doc->Channel(0).valueAtCursor, 123.0);
    EXPECT_TRUE(DataSelectionEntries(*doc, 0.0).empty());
    EXPECT_TRUE(DataSelectionEntries(*doc, -2.0).empty());
}

TEST_F(LogEntryBuildersTest, EggAllGivesOneEntryPerCycleButTheLast) {
    SetCycles({10.0, 20.0, 30.0});
    const std::vector<LogEntry> entries = EggAllEntries(*doc);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].description,
              "EGG Entries:TCstart, TCend, TOend, CQ, CQ_H, CQ_PM, CQ_HT, peak_Vel, peak_Vel_Time ");
    EXPECT_EQ(entries[0].values, (std::vector<double>{10.0, 13.0, 20.0, 0.1, 1.1, 2.1, 3.1, 100.0, 11.0}));
    EXPECT_EQ(entries[1].values[0], 20.0);
    EXPECT_EQ(entries[1].values[2], 30.0);

    SetCycles({10.0});
    EXPECT_TRUE(EggAllEntries(*doc).empty());
    SetCycles({});
    EXPECT_TRUE(EggAllEntries(*doc).empty());
    SetCycles({10.0, 20.0, 30.0});
    doc->Channel(1).cyclesValid = 0;
    EXPECT_TRUE(EggAllEntries(*doc).empty());
    doc->Channel(1).cyclesValid = 1;
    doc->settings.egg.channel = 5;  // not a channel in use
    EXPECT_TRUE(EggAllEntries(*doc).empty());
    EXPECT_FALSE(EggMarkerEntry(*doc).has_value());
}

TEST_F(LogEntryBuildersTest, EggSelectionTakesCyclesStrictlyInside) {
    SetCycles({10.0, 20.0, 30.0, 40.0, 50.0});
    // 10 starts exactly at the selection start: out; 40 ends at 43, after the end.
    Select(10.0, 42.0);
    std::vector<LogEntry> entries = EggSelectionEntries(*doc);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].values[0], 20.0);
    EXPECT_EQ(entries[1].values[0], 30.0);
    // The last cycle never makes an entry, inside the selection or not.
    Select(0.0, 100.0);
    entries = EggSelectionEntries(*doc);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries.back().values[0], 40.0);
}

TEST_F(LogEntryBuildersTest, EggMarkerEntryTakesTheVelocityAtTheMarker) {
    SetCycles({10.0, 20.0});
    CChannels& egg = doc->Channel(1);
    egg.markerTime = 10.0;
    egg.valueAtMarker = -50.0;
    egg.velocity = DoubleBlock::Allocate(500);
    egg.velocityCount = 500;
    for (std::size_t k = 0; k < 500; ++k)
        egg.velocity[k] = 0.5 * static_cast<double>(k);
    egg.velocityAtCursor = 7.0;
    const std::optional<LogEntry> e = EggMarkerEntry(*doc);
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->description, "EGG Entries: time, value, peak Velocity");
    EXPECT_EQ(e->values, (std::vector<double>{10.0, -99.0, 25.0}));  // velocity sample 50, not calibrated
    EXPECT_EQ(egg.velocityAtCursor, 7.0);
}

TEST_F(LogEntryBuildersTest, LongTitlesAndNamesAreCut) {
    doc->SetTitle(std::string(400, 't'));
    doc->Channel(0).name = std::string(200, 'a');
    doc->Channel(1).name = std::string(200, 'b');
    const LogEntry e = MarkerEntry(*doc);
    EXPECT_EQ(e.source.size(), kLogTextBytes);
    EXPECT_EQ(e.description.size(), kLogTextBytes);
    EXPECT_EQ(e.description.rfind("Marker Entry: time ,aaa", 0), 0u);
}

}  // namespace
}  // namespace vocomet
