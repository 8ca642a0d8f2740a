#include "app/PitchLogEntries.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vocomet {
namespace {

// 10 ms steps and a 35 ms window at 10 kHz: frame k stands for
// k x 10 + 17.5 ms, the centre of its window.
PitchTrack MakeTrack(std::vector<double> f0) {
    PitchTrack t;
    t.computed = true;
    t.rate = 10000.0;
    t.stepSamples = 100.0;
    t.windowSamples = 350;
    t.windowMs = 35.0;
    t.fftSize = 1024;
    t.energy.assign(f0.size(), 1.0);
    t.f0 = std::move(f0);
    return t;
}

struct Row {
    double time, pitch, intensity;
};

void ExpectEntries(const std::vector<LogEntry>& entries, const std::vector<Row>& rows) {
    ASSERT_EQ(entries.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        const LogEntry& e = entries[i];
        EXPECT_EQ(e.source, "take1.wav");
        EXPECT_EQ(e.description, "Pitch Selection Entry: time, pitch, intensity ");
        ASSERT_EQ(e.UsedCount(), 3);
        EXPECT_DOUBLE_EQ(e.values[0], rows[i].time);
        EXPECT_DOUBLE_EQ(e.values[1], rows[i].pitch);
        EXPECT_DOUBLE_EQ(e.values[2], rows[i].intensity);
    }
}

TEST(PitchLogEntries, MarkerEntryCarriesTheStoredValues) {
    const LogEntry e = PitchMarkerEntry("take1.wav", 123.5, 118.25, 61.0);
    EXPECT_EQ(e.source, "take1.wav");
    EXPECT_EQ(e.description, "Pitch Marker Entry: time, pitch, intensity ");
    ASSERT_EQ(e.UsedCount(), 3);
    EXPECT_DOUBLE_EQ(e.values[0], 123.5);
    EXPECT_DOUBLE_EQ(e.values[1], 118.25);
    EXPECT_DOUBLE_EQ(e.values[2], 61.0);
}

TEST(PitchLogEntries, SelectionTakesEveryFrameInsideBothEndsAtItsCentre) {
    const PitchTrack track = MakeTrack({0.0, 120.0, 0.0, 130.0, 140.0});
    const IntensityAt level = [](double t) { return t / 10.0; };
    ExpectEntries(PitchSelectionEntries("take1.wav", track, 27.5, 47.5, level),
                  {{27.5, 120.0, 2.75}, {37.5, 0.0, 3.75}, {47.5, 130.0, 4.75}});
    // Without intensity the third value is 0.
    ExpectEntries(PitchSelectionEntries("take1.wav", track, 50.0, 1000.0, nullptr), {{57.5, 140.0, 0.0}});
    // A selection between two frames, before the first or reversed: nothing.
    EXPECT_TRUE(PitchSelectionEntries("take1.wav", track, 28.0, 37.0, level).empty());
    EXPECT_TRUE(PitchSelectionEntries("take1.wav", track, 0.0, 17.0, level).empty());
    EXPECT_TRUE(PitchSelectionEntries("take1.wav", track, 47.5, 27.5, level).empty());
}

TEST(PitchLogEntries, AllTakesVoicedFramesOnly) {
    const PitchTrack track = MakeTrack({0.0, 120.0, 0.0, 130.0, 140.0});
    ExpectEntries(PitchAllEntries("take1.wav", track, [](double) { return 55.0; }),
                  {{27.5, 120.0, 55.0}, {47.5, 130.0, 55.0}, {57.5, 140.0, 55.0}});
    EXPECT_TRUE(PitchAllEntries("take1.wav", MakeTrack({0.0, 0.0, 0.0}), nullptr).empty());
    EXPECT_TRUE(PitchAllEntries("take1.wav", MakeTrack({}), nullptr).empty());
}

}  // namespace
}  // namespace vocomet
