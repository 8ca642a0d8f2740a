#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/CChannels.h"
#include "platform/File.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

constexpr double kRate = 10000.0;  // 0.1 ms per sample

// A glottal pulse train: each period of T samples closes at phase 0 and
// opens C samples later. Raw values run from -1 (the last open sample,
// 4 samples before the closing) to 1 (the top of a domed contact phase); the
// S-shaped ramps, steepest in their middle, pass exactly through the 25 %
// level (-0.5) at the closing and at the opening instant, and the open phase
// sinks slowly from -0.92 to -0.99.
std::vector<float> PulseTrain(int period, int contact, int periods, int lead) {
    static const double kRise[] = {-0.98, -0.9, -0.7, -0.5, 0.0, 0.5, 0.8};  // phases -3 .. 3
    std::vector<float> x(static_cast<std::size_t>(lead + period * periods));
    const int mid = contact / 2;
    const int openFrom = contact + 3, openTo = period - 5;  // the sinking open phase
    for (std::size_t j = 0; j < x.size(); ++j) {
        const int p = ((static_cast<int>(j) - lead) % period + period) % period;
        double v;
        if (p <= 3)
            v = kRise[p + 3];
        else if (p >= period - 3)
            v = kRise[p - period + 3];
        else if (p == period - 4)
            v = -1.0;
        else if (p >= contact - 3 && p <= contact + 2)
            v = kRise[contact - p + 3];
        else if (p < contact)
            v = 1.0 - 0.15 * std::abs(p - mid) / (mid - 3);
        else
            v = -0.92 - 0.07 * (p - openFrom) / std::max(1, openTo - openFrom);
        x[j] = static_cast<float>(v);
    }
    return x;
}

CChannels EggChannel(const std::vector<float>& values) {
    CChannels ch;
    ch.rate = kRate;
    ch.sampleCount = static_cast<double>(values.size());
    ch.duration = ch.sampleCount * 1000.0 / kRate;
    ch.samples = platform::FloatBlock::Allocate(values.size());
    std::memcpy(ch.samples.data(), values.data(), values.size() * sizeof(float));
    return ch;
}

// As the EGG command runs it: velocity and acceleration, then the cycles.
void Analyse(CChannels& ch, double s0, double s1) {
    ch.ComputeAcceleration(ch.velocitySmoothing, ch.accelerationSmoothing);
    ch.AnalyzeEGG(s0, s1);
}

struct PulseCase {
    double f0;
    double cq;
};

void PrintTo(const PulseCase& c, std::ostream* os) { *os << c.f0 << " Hz, CQ " << c.cq; }

class EggPulseTrainTest : public ::testing::TestWithParam<PulseCase> {};

TEST_P(EggPulseTrainTest, GivesTheSetContactQuotients) {
    const PulseCase c = GetParam();
    const int period = static_cast<int>(std::lround(kRate / c.f0));
    const int contact = static_cast<int>(std::lround(c.cq * period));
    const int periods = 40, lead = 17;
    CChannels ch = EggChannel(PulseTrain(period, contact, periods, lead));
    // A moving mean over an even number of whole periods is flat, so the
    // work signal is the pulse train itself less a constant.
    ch.eggWindow = 2 * period * std::ceil(40.0 / period) / 10.0;
    Analyse(ch, 0.0, ch.sampleCount);

    ASSERT_EQ(ch.cyclesValid, 1);
    ASSERT_EQ(ch.peaksValid, 1);
    ASSERT_EQ(ch.valleysValid, 1);
    ASSERT_GE(ch.cycles.GetSize(), periods - 6);
    const double expected = static_cast<double>(contact) / period;
    // The velocity, averaged forward over 5 samples (0.5 ms), peaks 2
    // samples before the closing and bottoms 3 before the opening; the work
    // signal first drops below its value at the velocity peak 3 samples
    // after the opening.
    const double expectedH = (contact + 2.0) / period;
    const double expectedPM = (contact - 1.0) / period;
    const double expectedHT = (contact + 5.0) / period;
    for (int k = 0; k + 1 < ch.cycles.GetSize(); ++k) {
        const ArrayCycle& cyc = ch.cycles.GetAt(k);
        SCOPED_TRACE(::testing::Message() << "cycle " << k);
        // The closing instant is on the pulse grid, the opening C samples on.
        const double rise = cyc.criterionRise.sampleIndex;
        EXPECT_EQ((static_cast<int>(rise) - lead) % period, 0);
        EXPECT_EQ(cyc.criterionFall.sampleIndex - rise, contact);
        EXPECT_NEAR(cyc.end.time - cyc.start.time, period / 10.0, 1e-9);
        EXPECT_NEAR(cyc.cq, expected, 1e-9);
        EXPECT_NEAR(cyc.cqH, expectedH, 1e-9);
        EXPECT_NEAR(cyc.cqPM, expectedPM, 1e-9);
        EXPECT_NEAR(cyc.cqHT, expectedHT, 1e-9);
        // The 10 % and 90 % crossings bracket the criterion crossings.
        EXPECT_LE(cyc.rise10.sampleIndex, rise);
        EXPECT_GE(cyc.rise90.sampleIndex, rise);
        EXPECT_LE(cyc.fall90.sampleIndex, cyc.criterionFall.sampleIndex);
        EXPECT_GE(cyc.fall10.sampleIndex, cyc.criterionFall.sampleIndex);
        EXPECT_EQ(cyc.peak.amplitude, 1.0);
        EXPECT_EQ(cyc.start.amplitude, -1.0);
        EXPECT_EQ(cyc.end.amplitude, -1.0);
        EXPECT_GT(cyc.velocityMax.value, 0.0);
        EXPECT_LT(cyc.velocityMin.value, 0.0);
    }
    const ArrayCycle& lastCycle = ch.cycles.GetAt(ch.cycles.GetSize() - 1);
    EXPECT_EQ(lastCycle.cq, 0.0);
    EXPECT_EQ(lastCycle.cqH, 0.0);
    EXPECT_EQ(lastCycle.cqPM, 0.0);
    EXPECT_EQ(lastCycle.cqHT, 0.0);
}

INSTANTIATE_TEST_SUITE_P(SeveralF0AndQuotients, EggPulseTrainTest,
                         ::testing::Values(PulseCase{100.0, 0.4}, PulseCase{125.0, 0.5}, PulseCase{200.0, 0.6},
                                           PulseCase{250.0, 0.45}, PulseCase{80.0, 0.36}, PulseCase{400.0, 0.52}));

// A criterion above the whole contact is never crossed on the rise: that
// point is 0 in every cycle and CQ fails (0), while the quotients from the
// velocity alone (CQ_PM) is still measured.
TEST(EggAnalysisTest, PointsNotFoundAndFailedQuotientsAreZero) {
    CChannels ch = EggChannel(PulseTrain(100, 40, 30, 5));
    ch.eggWindow = 10.0;
    ch.criterionPercent = 150.0;
    Analyse(ch, 0.0, ch.sampleCount);
    ASSERT_GE(ch.cycles.GetSize(), 20);
    for (int k = 0; k + 1 < ch.cycles.GetSize(); ++k) {
        const ArrayCycle& cyc = ch.cycles.GetAt(k);
        EXPECT_EQ(cyc.criterionRise, ArrayCycle::Point{}) << k;
        EXPECT_EQ(cyc.cq, 0.0) << k;
        EXPECT_NEAR(cyc.cqPM, 0.4, 0.05) << k;
    }
}

TEST(EggAnalysisTest, CyclesOutsideThePlausibleF0AreRejected) {
    // 19.9 ms periods pass, 20.1 ms ones do not.
    CChannels ok = EggChannel(PulseTrain(199, 80, 12, 3));
    ok.eggWindow = 30.0;
    Analyse(ok, 0.0, ok.sampleCount);
    EXPECT_EQ(ok.peaksValid, 1);
    EXPECT_GE(ok.cycles.GetSize(), 6);

    // A long open phase at the end keeps the partial cycle before the end
    // of the range out too.
    std::vector<float> slowTrain = PulseTrain(201, 80, 12, 3);
    slowTrain.insert(slowTrain.end(), 600, -1.0f);
    CChannels slow = EggChannel(slowTrain);
    slow.eggWindow = 30.0;
    slow.peaks.Add(ArrayData{1, 2, 3});
    Analyse(slow, 0.0, slow.sampleCount);
    EXPECT_EQ(slow.peaksValid, 0);
    EXPECT_EQ(slow.valleysValid, 0);
    EXPECT_TRUE(slow.peaks.IsEmpty());
    EXPECT_TRUE(slow.cycles.IsEmpty());
    EXPECT_EQ(slow.cyclesValid, 1);
}

TEST(EggAnalysisTest, SelectionUsesOnlyItsOwnCycles) {
    CChannels ch = EggChannel(PulseTrain(100, 50, 40, 0));
    const double s0 = 1030.0, s1 = 2570.0;
    Analyse(ch, s0, s1);
    const double half = 40.0;  // half of the 8 ms EGG window
    ASSERT_FALSE(ch.peaks.IsEmpty());
    for (const ArrayData& p : ch.peaks) {
        EXPECT_GE(p.sampleIndex, s0 + half);
        EXPECT_LT(p.sampleIndex, s1 - half);
    }
    for (const ArrayCycle& c : ch.cycles) {
        EXPECT_GE(c.start.sampleIndex, s0 + half);
        EXPECT_LT(c.end.sampleIndex, s1 - half);
    }
    EXPECT_GE(ch.cycles.GetSize(), 10);
}

TEST(EggAnalysisTest, MissingVelocityLeavesTheListsAndSaysSo) {
    CChannels ch = EggChannel(PulseTrain(100, 40, 10, 0));
    ch.peaks.Add(ArrayData{1, 2, 3});
    ch.peaksValid = 1;
    try {
        ch.AnalyzeEGG(0.0, ch.sampleCount);
        FAIL() << "no exception";
    } catch (const VelocityMissingError& e) {
        EXPECT_STREQ(e.what(), "Velocity file does not exist.");
    }
    EXPECT_EQ(ch.peaks.GetSize(), 1);
    EXPECT_EQ(ch.peaksValid, 1);
    // It is a user exception like the other channel failures.
    EXPECT_THROW(ch.AnalyzeEGG(0.0, ch.sampleCount), platform::UserException);

    const std::string dir = test::FreshTempDir();
    test::WriteAll(dir + "/egg.f32", std::string(400, '\0'));
    CChannels file;
    file.sampleCount = 100;
    file.duration = 10.0;
    file.sourceFile = std::make_shared<platform::File>(dir + "/egg.f32", platform::File::Mode::Read);
    file.stride = 1;
    file.channelNumber = 1;
    EXPECT_THROW(file.AnalyzeEGG(0.0, 100.0), platform::UserException);
    EXPECT_NO_THROW(file.PrepareEGGSignal());
    EXPECT_TRUE(file.eggWork.IsNull());
}

// ---------------------------------------------------------------------------
// Work signal

TEST(EggWorkSignalTest, ConstantSignalLeavesNothing) {
    // An odd window (8.1 ms: 81 samples) averages 80 values; a constant
    // signal must leave no offset.
    CChannels ch = EggChannel(std::vector<float>(2000, 0.75f));
    ch.eggWindow = 8.1;
    ch.PrepareEGGSignal();
    ASSERT_EQ(ch.eggWork.size(), 2000u);
    for (std::size_t i = 0; i < 2000; ++i) {
        ASSERT_EQ(ch.movingMean[i], 0.75f) << i;
        ASSERT_EQ(ch.eggWork[i], 0.0f) << i;
    }
}

TEST(EggWorkSignalTest, MovingMeanEqualsDirectMean) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<float> x(20000);
    for (float& v : x)
        v = static_cast<float>(u(rng));
    CChannels ch = EggChannel(x);
    ch.PrepareEGGSignal();  // 8 ms: 80 samples, half 40
    const std::size_t n = x.size(), half = 40, f = 80;
    auto direct = [&](std::size_t i) {
        double s = 0.0;
        for (std::size_t j = i - half; j < i + half; ++j)
            s += x[j];
        return s / 80.0;
    };
    for (std::size_t i = half + 1; i < n - f - 2; ++i) {
        ASSERT_NEAR(ch.movingMean[i], direct(i), 1e-6) << i;
        ASSERT_FLOAT_EQ(ch.eggWork[i], x[i] - ch.movingMean[i]);
    }
    for (std::size_t i = 0; i <= half; ++i)
        ASSERT_EQ(ch.movingMean[i], ch.movingMean[half + 1]);
    for (std::size_t i = n - f - 2; i < n; ++i)
        ASSERT_EQ(ch.movingMean[i], ch.movingMean[n - f - 5]);

    // Shorter than the window and its ends: the mean of all samples.
    CChannels shortCh = EggChannel({1, 2, 3, 4, 5, 6});
    shortCh.PrepareEGGSignal();
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_FLOAT_EQ(shortCh.eggWork[i], static_cast<float>(i + 1) - 3.5f);
    shortCh.ComputeVelocity(0.5);
    EXPECT_NO_THROW(shortCh.AnalyzeEGG(0.0, 6.0));
    EXPECT_TRUE(shortCh.cycles.IsEmpty());
}

}  // namespace
}  // namespace vocomet
