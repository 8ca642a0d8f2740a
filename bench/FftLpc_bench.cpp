// FFT/LPC averaged over a 60-second selection of speech at 22050 Hz,
// against Praat's To Formant (burg) over the same span, timed inside Praat
// (its start-up and file reading excluded). Counter: ratio_fftlpc_vs_praat
// (median of paired repetitions; goal at most 0.3). Without espeak-ng or
// praat the benchmark reports only its own time.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "analysis/ChannelSampleSource.h"
#include "analysis/FftLpcAnalysis.h"
#include "dsp/CMathFunc.h"

namespace {

using namespace vocomet;
namespace fs = std::filesystem;

// 60 s of espeak-ng speech at 22050 Hz.
std::vector<float> Speech(benchmark::State& state, const fs::path& folder) {
    return bench::SpeechAt22050(state, folder,
                                {"The quick brown fox jumps over the lazy dog while the rain falls softly on the hills."},
                                40, 60);
}

double PraatSeconds(const fs::path& folder) {
    return bench::PraatStopwatchSeconds(folder / "formant.praat", bench::SpeechWav(folder, 60),
                                        "To Formant (burg): 0, 5, 5500, 0.025, 50");
}

void BM_FftLpcAverage60s(benchmark::State& state) {
    const fs::path folder = bench::WorkFolder("fftlpc_bench");
    const std::vector<float> x = Speech(state, folder);
    if (x.empty())
        return;
    const bool praat = bench::HaveTool("praat");
    FftLpcInputs in;
    in.rate = 22050;
    in.fftSize = 512;
    in.appliedWindowMs = 23;
    in.lpcOrder = 26;
    in.averageStepMs = 10;
    in.maxFrequency = 11000;
    in.firstSample = 0;
    in.lastSample = static_cast<double>(x.size());
    const ChannelSampleSource source = ChannelSampleSource::FromMemory(x.data(), static_cast<std::int64_t>(x.size()));
    std::vector<double> ratios;
    for (auto _ : state) {
        CMathFunc math;
        const double ours = bench::Seconds([&] { benchmark::DoNotOptimize(ComputeFftLpc(source, in, math)); });
        if (praat) {
            state.PauseTiming();
            const double theirs = PraatSeconds(folder);
            if (theirs > 0)
                ratios.push_back(ours / theirs);
            state.ResumeTiming();
        }
    }
    if (!ratios.empty())
        state.counters["ratio_fftlpc_vs_praat"] = bench::Median(ratios);
}
BENCHMARK(BM_FftLpcAverage60s)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
