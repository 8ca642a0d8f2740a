// Intensity, smoothing and averaging of one channel of one hour at 22050 Hz
// in memory (79.4 million float samples, 318 MB), each against a plain pass
// over the same samples: their sum in double, front to back. Every
// repetition is a pair, the plain pass and then the operation as the
// commands run it (the progress asked about aborting every 65536 samples),
// and the counters are the medians of the per-pair ratios:
//
//  ratio_intensity: the intensity curve (30 ms frames every 10 ms) into a
//    new block of one value per sample.
//  ratio_smoothing: the 5-point centred moving mean into a new block.
//  ratio_averaging: the mean of the whole channel, then the fill.
//
// The new blocks are fresh memory each time, as they are for the commands.

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string>

#include "core/CChannels.h"
#include "platform/Progress.h"

namespace {

constexpr double kRate = 22050.0;
constexpr double kSeconds = 3600.0;

// What the commands' progress costs, without a window: the calls are made,
// nothing is drawn and nobody aborts.
class CountingProgress final : public platform::Progress {
public:
    void SetText(const std::string&) override {}
    void SetFraction(double) override { ++fractions; }
    bool AbortRequested() override {
        ++polls;
        return false;
    }
    long fractions = 0;
    long polls = 0;
};

// An hour of a 150 Hz tone with a slow swell, so that the levels vary.
vocomet::CChannels HourChannel() {
    vocomet::CChannels ch;
    const auto n = static_cast<std::size_t>(kSeconds * kRate);
    ch.rate = kRate;
    ch.sampleCount = static_cast<double>(n);
    ch.duration = kSeconds * 1000.0;
    ch.channelNumber = 1;
    ch.samples = platform::FloatBlock::Allocate(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / kRate;
        ch.samples[i] = static_cast<float>((0.6 + 0.4 * std::sin(0.5 * t)) * std::sin(2.0 * M_PI * 150.0 * t));
    }
    ch.selStartTime = 0.0;
    ch.selEndTime = ch.duration;
    ch.smoothingOn = 1;
    ch.smoothingPoints = 5.0;
    return ch;
}

double PlainPassSeconds(const vocomet::CChannels& ch) {
    double sum = 0.0;
    const double took = bench::Seconds([&] {
        const float* x = ch.samples.data();
        const std::size_t n = ch.samples.size();
        for (std::size_t i = 0; i < n; ++i)
            sum += x[i];
    });
    benchmark::DoNotOptimize(sum);
    return took;
}

template <typename Operation>
void AgainstPlainPass(benchmark::State& state, const char* counter, Operation operation) {
    vocomet::CChannels ch = HourChannel();
    CountingProgress progress;
    bench::Pairs pairs;
    bool ok = true;
    for (auto _ : state) {
        const double yard = PlainPassSeconds(ch);
        const double subject = bench::Seconds([&] { ok = operation(ch, progress) && ok; });
        pairs.Add(yard, subject);
        state.SetIterationTime(subject);
    }
    if (!ok)
        state.SkipWithError("the operation gave no result");
    state.counters[counter] = pairs.MedianRatio();
    state.counters["plain_pass_s"] = bench::Median(pairs.yardstick);
    state.counters["polls"] = static_cast<double>(progress.polls) / static_cast<double>(state.iterations());
}

void BM_IntensityHourChannel(benchmark::State& state) {
    AgainstPlainPass(state, "ratio_intensity", [](vocomet::CChannels& ch, platform::Progress& p) {
        std::optional<vocomet::IntensityCurve> curve = ch.MakeIntensity(p);
        if (!curve)
            return false;
        ch.TakeIntensity(std::move(*curve));
        return ch.intensityValid == 1;
    });
}

void BM_SmoothingHourChannel(benchmark::State& state) {
    AgainstPlainPass(state, "ratio_smoothing", [](vocomet::CChannels& ch, platform::Progress& p) {
        std::optional<platform::FloatBlock> smoothed = ch.SmoothedSamples(p);
        if (!smoothed || smoothed->IsNull())
            return false;
        // Taken as the command takes it; the block smoothed again next time
        // is the smoothed one, which costs the same.
        std::swap(ch.samples, *smoothed);
        return true;
    });
}

void BM_AveragingHourChannel(benchmark::State& state) {
    AgainstPlainPass(state, "ratio_averaging", [](vocomet::CChannels& ch, platform::Progress& p) {
        std::optional<vocomet::SampleMean> mean = ch.MeanOfSamples(ch.selStartTime, ch.selEndTime, p);
        if (!mean || mean->first >= mean->end)
            return false;
        ch.FillSamples(*mean);
        return true;
    });
}

BENCHMARK(BM_IntensityHourChannel)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmoothingHourChannel)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AveragingHourChannel)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
