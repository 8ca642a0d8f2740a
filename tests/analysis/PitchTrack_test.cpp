// The pitch track: its sizes and refusals, the cleaning passes, known F0s
// (pulse trains, synthesised vowels), the two sample roads, the time stamps
// and cancelling.

#include "analysis/PitchTrack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "analysis/ChannelSampleSource.h"
#include "platform/File.h"
#include "platform/Progress.h"
#include "support/SpeechFixtures.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

PitchTrackSettings Settings(double windowMs = 35, double stepMs = 10, double lower = 50, double upper = 500) {
    PitchTrackSettings s;
    s.windowMs = windowMs;
    s.stepMs = stepMs;
    s.lowerLimitHz = lower;
    s.upperLimitHz = upper;
    return s;
}

// Remembers what the computation showed, and aborts at the given poll.
class WatchedProgress : public platform::Progress {
public:
    explicit WatchedProgress(int abortAtPoll = -1) : abortAt_(abortAtPoll) {}
    void SetText(const std::string& text) override { texts.push_back(text); }
    void SetFraction(double f) override { fractions.push_back(f); }
    bool AbortRequested() override { return polls++ == abortAt_; }

    std::vector<std::string> texts;
    std::vector<double> fractions;
    int polls = 0;

private:
    int abortAt_;
};

PitchTrackOutcome Compute(const std::vector<float>& x, double rate, const PitchTrackSettings& s) {
    platform::NullProgress progress;
    return ComputePitchTrack(ChannelSampleSource::FromMemory(x.data(), static_cast<std::int64_t>(x.size())), rate,
                             s, progress);
}

// A pulse train of the given period (samples) from sample `from` to `to`,
// silence elsewhere.
std::vector<float> PulseTrain(std::size_t count, int period, std::size_t from = 0, std::size_t to = SIZE_MAX) {
    std::vector<float> x(count, 0.0f);
    for (std::size_t i = from; i < std::min(count, to); i += static_cast<std::size_t>(period))
        x[i] = 0.8f;
    return x;
}

// ---- sizes and refusals ----------------------------------------------------

TEST(PitchTrackSizes, WindowFftStepAndBuffer) {
    struct Case {
        double rate, windowMs, stepMs, lower;
        int w, fft;
        double windowUsed;
        int buffer;
    };
    const Case cases[] = {
        // Where the band and the window's own cepstral peak (at F - w) both
        // fit, the FFT follows the window alone.
        {22050, 35, 10, 100, 771, 1024, 35, 1024},
        {1000, 1000, 10, 100, 1000, 1024, 1000, 1024},
        {1000, 1024, 10, 50, 1024, 2048, 1024, 2048},
        // A longest period of rate / lower limit = 441 samples: 771 + 441
        // does not fit in 1024.
        {22050, 35, 10, 50, 771, 2048, 35, 2048},
        {1000, 1023, 10, 50, 1023, 2048, 1023, 2048},
        {44100, 10, 10, 50, 441, 2048, 10, 2048},
        {96000, 10, 10, 50, 960, 4096, 10, 4096},
        {192000, 10, 10, 94, 1920, 4096, 10, 4096},
        // Windows too long for 4096 points with that margin are shortened
        // to whole ms.
        {1000, 4095, 10, 50, 4076, 4096, 4076, 4096},
        {44100, 100, 10, 50, 3175, 4096, 72, 4096},
        {1000, 4000, 10, 50, 4000, 4096, 4000, 4096},
        // A step longer than F: the energy reads int(s) + 1 samples.
        {22050, 35, 100, 50, 771, 2048, 35, 2206},
        {1000, 1000, 1500, 100, 1000, 1024, 1000, 1501},
        // w + 5 beyond F.
        {1000, 1020, 10, 250, 1020, 1024, 1020, 1025},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.windowMs << " ms");
        const PitchTrackSizes z = PitchTrackSizesFor(c.rate, Settings(c.windowMs, c.stepMs, c.lower), 100000);
        ASSERT_EQ(z.error, "");
        EXPECT_EQ(z.windowSamples, c.w);
        EXPECT_EQ(z.fftSize, c.fft);
        EXPECT_EQ(z.windowMs, c.windowUsed);
        EXPECT_EQ(z.bufferSamples, c.buffer);
        EXPECT_EQ(z.frames, static_cast<int>(100000 / (c.stepMs * c.rate / 1000)));
    }
}

TEST(PitchTrackSizes, RefusesBeforeComputing) {
    struct Case {
        double rate, windowMs, stepMs, lower, upper;
        const char* message;
    };
    const double nan = std::nan("");
    const Case cases[] = {
        {0, 35, 10, 50, 500, "The sample rate of the channel must be above 0 Hz."},
        {-22050, 35, 10, 50, 500, "The sample rate of the channel must be above 0 Hz."},
        {nan, 35, 10, 50, 500, "The sample rate of the channel must be above 0 Hz."},
        {22050, 0, 10, 50, 500, "The window length must be above 0 ms."},
        {22050, -35, 10, 50, 500, "The window length must be above 0 ms."},
        {22050, 35, 0, 50, 500, "The step size must be above 0 ms."},
        {22050, 35, -1, 50, 500, "The step size must be above 0 ms."},
        {22050, 35, 10, 0, 500, "The calculation range must lie above 0 Hz."},
        {22050, 35, 10, 50, 0, "The calculation range must lie above 0 Hz."},
        {22050, 35, 10, -50, 500, "The calculation range must lie above 0 Hz."},
        {22050, 35, 10, 500, 500, "The lower calculation limit must be below the upper one."},
        {8000, 0.1, 10, 50, 500, "The window length is shorter than one sample at this sample rate."},
        {192000, 10, 10, 93, 500,
         "The lower calculation limit is too low for this sample rate: it must be at least 94 Hz."},
    };
    const std::vector<float> x = PulseTrain(30000, 100);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        PitchTrackSettings s = Settings(c.windowMs, c.stepMs, c.lower, c.upper);
        WatchedProgress progress;
        const PitchTrackOutcome r =
            ComputePitchTrack(ChannelSampleSource::FromMemory(x.data(), 30000), c.rate, s, progress);
        EXPECT_EQ(r.error, c.message);
        EXPECT_FALSE(r.track.computed);
        EXPECT_EQ(r.track.Count(), 0);
        EXPECT_TRUE(progress.texts.empty()) << "refused only after starting";
    }
}

TEST(PitchTrackCompute, AutocorrelationMethodComputesNothing) {
    PitchTrackSettings s = Settings();
    s.method = 0.0;
    const PitchTrackOutcome r = Compute(PulseTrain(30000, 100), 10000, s);
    EXPECT_FALSE(r.track.computed);
    EXPECT_EQ(r.track.Count(), 0);
    EXPECT_EQ(r.error, "");
    EXPECT_FALSE(r.cancelled);
}

TEST(PitchTrackCompute, SettingsFromTheDocument) {
    PitchSettings p;
    p.doubles = {40, 5, 400, 60, 2, 80, 0, 0};
    p.ints[6] = 0;
    const PitchTrackSettings s = PitchTrackSettings::FromDocument(p);
    EXPECT_EQ(s.windowMs, 40);
    EXPECT_EQ(s.stepMs, 5);
    EXPECT_EQ(s.upperLimitHz, 400);
    EXPECT_EQ(s.lowerLimitHz, 60);
    EXPECT_EQ(s.thresholdPercent, 2);
    EXPECT_EQ(s.deviationHz, 80);
    EXPECT_EQ(s.method, 0.0);
}

// ---- cleaning --------------------------------------------------------------

TEST(PitchTrackCleaning, PassesOnMadeUpTracks) {
    struct Case {
        const char* name;
        std::vector<double> raw, energy;
        double deviation, threshold;
        std::vector<double> expected;
    };
    const std::vector<double> ones(7, 1.0);
    const Case cases[] = {
        {"no frames", {}, {}, 100, 1, {}},
        {"one frame", {200}, {1}, 100, 1, {0}},
        {"two frames", {200, 210}, {1, 1}, 100, 1, {0, 0}},
        {"three frames: ends stay 0, too short to average", {200, 210, 220}, {1, 1, 1}, 100, 1, {0, 210, 0}},
        {"isolated frame at the deviation is dropped", {0, 100, 0, 0, 0}, {1, 1, 1, 1, 1}, 100, 1, {0, 0, 0, 0, 0}},
        {"deviation compared in whole Hz", {0, 100.9, 0, 0, 0}, {1, 1, 1, 1, 1}, 101, 1, {0, 100.9, 0, 0, 0}},
        {"jump beyond the deviation", {150, 150, 260, 150, 150}, {1, 1, 1, 1, 1}, 100, 1, {0, 0, 0, 0, 0}},
        // Pass 1 keeps 90 93 96 99; the forward mean takes the later values
        // from pass 1, not from its own results.
        {"three-point mean", {0, 90, 93, 96, 99, 0, 0}, ones, 100, 1, {0, 93, 96, 96, 99, 0, 0}},
        {"mean needs three voiced frames", {0, 90, 93, 0, 93, 96, 0}, ones, 100, 1, {0, 90, 93, 0, 93, 96, 0}},
        // Strongest 100, threshold 1 %: the level is 1; a frame at exactly
        // the level is silenced.
        {"energy gate", {200, 200, 200, 200, 200}, {100, 1, 1.0000001, 100, 100}, 100, 1, {0, 0, 200, 200, 0}},
        {"silence gates everything", {200, 200, 200, 200, 200}, {0, 0, 0, 0, 0}, 100, 0, {0, 0, 0, 0, 0}},
        {"threshold 0 keeps any energy", {200, 200, 200, 200, 200}, {5, 0, 1e-12, 5, 5}, 100, 0, {0, 0, 200, 200, 0}},
        {"energy that is not a number", {200, 200, 200, 200, 200}, {1, 1, std::nan(""), 1, 1}, 100, 1, {0, 200, 0, 200, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CleanPitchTrack(c.raw, c.energy, c.deviation, c.threshold), c.expected);
    }
}

// ---- known answers ---------------------------------------------------------

TEST(PitchTrackCompute, IntegerPeriodPulseTrainsGiveExactF0) {
    struct Case {
        double rate;
        int period;
        double windowMs = 35;
    };
    // 70 Hz at 44100 Hz with a 23 ms window: a period of 630 samples, which
    // a cepstrum of 1024 points (the window alone would ask for no more)
    // cannot hold. Its windows hold one pulse or two; those with one have
    // no pitch.
    for (const Case& c : {Case{10000, 100}, Case{10000, 80}, Case{22050, 147}, Case{22050, 105}, Case{44100, 441},
                          Case{44100, 180}, Case{8000, 40}, Case{44100, 630, 23}}) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, period " << c.period);
        const PitchTrackOutcome r =
            Compute(PulseTrain(static_cast<std::size_t>(c.rate), c.period), c.rate, Settings(c.windowMs));
        ASSERT_TRUE(r.track.computed);
        const double f0 = c.rate / c.period;
        int voiced = 0;
        // The first and last frames are always 0; the last window runs into
        // the end of the channel.
        const bool everyFrame = c.windowMs * c.rate / 1000 > 2 * c.period;
        for (int k = 1; k < r.track.Count() - 5; ++k) {
            const double got = r.track.f0[static_cast<std::size_t>(k)];
            if (everyFrame || got != 0.0) {
                EXPECT_EQ(got, f0) << "frame " << k;
            }
            voiced += got > 0;
        }
        EXPECT_GT(voiced, everyFrame ? 80 : 20);
        EXPECT_EQ(r.track.f0.front(), 0.0);
        EXPECT_EQ(r.track.f0.back(), 0.0);
    }
}

TEST(PitchTrackCompute, ShortChannelGivesAnEmptyComputedTrack) {
    const PitchTrackOutcome r = Compute(PulseTrain(200, 100), 22050, Settings());  // one step is 220.5 samples
    EXPECT_TRUE(r.track.computed);
    EXPECT_EQ(r.track.Count(), 0);
    EXPECT_EQ(r.error, "");
}

TEST(PitchTrackCompute, SynthesisedVowelsWithinOnePercent) {
    if (!test::HaveTool("praat"))
        GTEST_SKIP() << "praat is not installed";
    const std::string folder = test::FreshTempDir();
    struct Case {
        double rate, f0, f1, f2, f3;
    };
    for (const Case& c : {Case{22050, 100, 700, 1220, 2600}, Case{22050, 125, 280, 2250, 2900},
                          Case{22050, 220, 850, 1600, 2900}, Case{22050, 240, 310, 870, 2250},
                          Case{44100, 240, 700, 1220, 2600}}) {
        SCOPED_TRACE(testing::Message() << c.f0 << " Hz at " << c.rate << " Hz");
        const std::vector<float> x = test::PraatVowel(folder, c.rate, c.f0, c.f1, c.f2, c.f3, 1.0);
        ASSERT_GT(x.size(), static_cast<std::size_t>(c.rate * 0.9));
        const PitchTrackOutcome r = Compute(x, c.rate, Settings());
        ASSERT_TRUE(r.track.computed);
        int voiced = 0;
        for (double f : r.track.f0) {
            if (f > 0) {
                ++voiced;
                EXPECT_NEAR(f, c.f0, c.f0 * 0.01);
            }
        }
        EXPECT_GT(voiced, r.track.Count() * 8 / 10);
    }
}

// ---- the two roads ---------------------------------------------------------

TEST(PitchTrackCompute, MemoryAndFileRoadsGiveTheSameTrack) {
    // Voiced stretches with a gliding period, noise between them; the
    // channel does not end on a frame boundary, so the last windows run
    // past its end.
    std::vector<float> x(22050 * 2 + 137);
    double phase = 0.0;
    unsigned noise = 12345;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double f0 = 110.0 + 40.0 * std::sin(static_cast<double>(i) / 9000.0);
        phase += f0 / 22050.0;
        noise = noise * 1103515245u + 12345u;
        const bool voiced = (i / 8000) % 2 == 0;
        x[i] = static_cast<float>(voiced ? std::pow(0.5 + 0.5 * std::cos(2 * M_PI * phase), 8.0)
                                         : 0.05 * (static_cast<double>(noise >> 16) / 32768.0 - 1.0));
    }
    const std::string folder = test::FreshTempDir();
    const auto file = test::InterleavedFile(folder + "/d.raw", x, 3, 1, 0.5f);
    const auto count = static_cast<std::int64_t>(x.size());
    // A fractional step; a step longer than the FFT (the energy reads more
    // than the frame buffer the cepstrum needs).
    for (const PitchTrackSettings& s : {Settings(35, 10), Settings(30, 100), Settings(100, 7)}) {
        SCOPED_TRACE(testing::Message() << s.windowMs << " ms window, " << s.stepMs << " ms step");
        platform::NullProgress p1, p2;
        const PitchTrackOutcome m = ComputePitchTrack(ChannelSampleSource::FromMemory(x.data(), count), 22050, s, p1);
        const PitchTrackOutcome f = ComputePitchTrack(ChannelSampleSource::FromFile(file, 3, 1, count), 22050, s, p2);
        ASSERT_TRUE(m.track.computed);
        ASSERT_TRUE(f.track.computed);
        EXPECT_GT(std::count_if(m.track.f0.begin(), m.track.f0.end(), [](double v) { return v > 0; }), 3);
        EXPECT_EQ(m.track.f0, f.track.f0);
        EXPECT_EQ(m.track.energy, f.track.energy);
    }
}

// ---- time stamps -----------------------------------------------------------

TEST(PitchTrackTimes, FramesStandForTheirCentres) {
    PitchTrack t;
    t.rate = 10000;
    t.stepSamples = 100;   // 10 ms
    t.windowSamples = 350;  // 35 ms
    t.f0.assign(50, 0.0);
    EXPECT_DOUBLE_EQ(t.FrameTimeMs(0), 17.5);
    EXPECT_DOUBLE_EQ(t.FrameTimeMs(3), 47.5);
    EXPECT_EQ(t.FrameAt(47.5), 3);
    EXPECT_EQ(t.FrameAt(51), 3);
    EXPECT_EQ(t.FrameAt(53), 4);
    EXPECT_EQ(t.FrameAt(-100), 0);
    EXPECT_EQ(t.FrameAt(1e12), 49);
    t.f0.clear();
    EXPECT_EQ(t.FrameAt(10), -1);
}

TEST(PitchTrackTimes, TrackLiesOverTheAudioItWasMeasuredOn) {
    // 150 Hz up to 1.5 s, 210 Hz after it: the change must show at 1.5 s,
    // not half a window (25 ms) early.
    const double rate = 22050;
    std::vector<float> x(static_cast<std::size_t>(3 * rate), 0.0f);
    for (std::size_t i = 0; i < x.size(); i += i < static_cast<std::size_t>(1.5 * rate) ? 147 : 105)
        x[i] = 0.8f;
    const PitchTrackOutcome r = Compute(x, rate, Settings(50, 5));
    ASSERT_TRUE(r.track.computed);
    int lastLow = -1, firstHigh = -1;
    for (int k = 0; k < r.track.Count(); ++k) {
        const double f = r.track.f0[static_cast<std::size_t>(k)];
        if (f == 150.0)
            lastLow = k;
        if (f == 210.0 && firstHigh < 0)
            firstHigh = k;
    }
    ASSERT_GT(lastLow, 0);
    ASSERT_GT(firstHigh, lastLow);
    // Frames in between carry means across the change.
    EXPECT_LE(firstHigh - lastLow, 4);
    EXPECT_NEAR((r.track.FrameTimeMs(lastLow) + r.track.FrameTimeMs(firstHigh)) / 2.0, 1500.0, 10.0);
}

// ---- progress and cancel ---------------------------------------------------

TEST(PitchTrackCompute, ShowsProgressAndCancels) {
    const std::vector<float> x = PulseTrain(22050 * 5, 147);
    WatchedProgress done;
    const PitchTrackOutcome r =
        ComputePitchTrack(ChannelSampleSource::FromMemory(x.data(), 22050 * 5), 22050, Settings(), done);
    ASSERT_TRUE(r.track.computed);
    EXPECT_EQ(done.texts, std::vector<std::string>{"Performing Pitch..."});
    ASSERT_FALSE(done.fractions.empty());
    EXPECT_TRUE(std::is_sorted(done.fractions.begin(), done.fractions.end()));
    EXPECT_EQ(done.fractions.back(), 1.0);

    WatchedProgress abort(3);
    const PitchTrackOutcome c =
        ComputePitchTrack(ChannelSampleSource::FromMemory(x.data(), 22050 * 5), 22050, Settings(), abort);
    EXPECT_TRUE(c.cancelled);
    EXPECT_FALSE(c.track.computed);
    EXPECT_EQ(c.track.Count(), 0);
    EXPECT_EQ(c.error, "");
    EXPECT_EQ(abort.polls, 4);
}

}  // namespace
}  // namespace vocomet
