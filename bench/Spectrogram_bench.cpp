// The spectrogram of 460 s of speech at 22050 Hz with a 5 ms window
// (128 points) and a 2 ms step (230000 columns of 250 rows up to 5000 Hz),
// against Praat on the same file in the same run, timed inside Praat (its
// start-up and file reading excluded):
// - without formant tracks, against To Spectrogram (5 ms window, 2 ms step,
//   5000 Hz, 20 Hz steps): counter ratio_spectrogram_vs_praat (goal <= 0.5);
// - with formant tracks (the document's order 26 for the rate), against
//   To Formant (burg) (2 ms step, 5 formants up to 5500 Hz, 25 ms window):
//   counter ratio_formants_vs_praat (goal <= 0.3).
// Each repetition times Praat and then ours; the counters are the medians of
// the per-pair ratios. Without espeak-ng or sox the benchmark is skipped;
// without praat it reports only its own time.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "analysis/ChannelSampleSource.h"
#include "analysis/SpectrogramAnalysis.h"
#include "platform/Progress.h"

namespace {

using namespace vocomet;
namespace fs = std::filesystem;

constexpr double kSeconds = 460.0;
constexpr double kRate = 22050.0;
constexpr int kColumns = 230000;  // one per 2 ms
constexpr int kRows = 250;        // 20 Hz each up to 5000 Hz

// 460 s of espeak-ng speech at 22050 Hz.
std::vector<float> Speech(benchmark::State& state, const fs::path& folder) {
    return bench::SpeechAt22050(state, folder,
                                {"The quick brown fox jumps over the lazy dog while the rain falls softly on the hills."},
                                110, static_cast<int>(kSeconds));
}

// Praat's time for one command on the speech, measured by its stopwatch.
double PraatSeconds(const fs::path& folder, const std::string& command) {
    return bench::PraatStopwatchSeconds(folder / "analysis.praat", bench::SpeechWav(folder, static_cast<int>(kSeconds)),
                                        command);
}

void RunAgainstPraat(benchmark::State& state, bool formants, const std::string& praatCommand, const char* counter) {
    const fs::path folder = bench::WorkFolder("spectrogram_bench");
    const std::vector<float> x = Speech(state, folder);
    if (x.empty())
        return;
    const bool praat = bench::HaveTool("praat");
    SpectrogramInputs in;
    in.rate = kRate;
    in.rangeStart = 0.0;
    in.rangeEnd = static_cast<double>(x.size());
    in.columns = kColumns;
    in.rows = kRows;
    in.settings.values[SpectrogramSettings::kPoints] = 128;  // 5.8 ms: the size nearest 5 ms
    in.settings.values[1] = 2;
    in.settings.values[SpectrogramSettings::kTopFrequency] = 5000;
    in.settings.values[3] = 55;
    in.settings.values[4] = formants ? 1 : 0;
    in.settings.values[SpectrogramSettings::kLpcOrder] = 26;
    in.settings.preEmphasis = 0.98;
    const ChannelSampleSource source = ChannelSampleSource::FromMemory(x.data(), static_cast<std::int64_t>(x.size()));
    bench::Pairs pairs;
    for (auto _ : state) {
        double theirs = 0.0;
        if (praat) {
            state.PauseTiming();
            theirs = PraatSeconds(folder, praatCommand);
            state.ResumeTiming();
        }
        platform::NullProgress progress;
        // Timed as Praat's stopwatch is: making the picture, not freeing it.
        SpectrogramOutcome o;
        const double ours = bench::Seconds([&] {
            o = ComputeSpectrogram(source, in, progress);
            benchmark::DoNotOptimize(o.image.levels.data());
        });
        if (!o.computed)
            state.SkipWithError(o.error.c_str());
        o = SpectrogramOutcome();
        if (theirs > 0.0)
            pairs.Add(theirs, ours);
    }
    if (!pairs.subject.empty())
        state.counters[counter] = pairs.MedianRatio();
}

void BM_Spectrogram460s(benchmark::State& state) {
    RunAgainstPraat(state, false, "To Spectrogram: 0.005, 5000, 0.002, 20, \"Gaussian\"", "ratio_spectrogram_vs_praat");
}
BENCHMARK(BM_Spectrogram460s)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SpectrogramFormants460s(benchmark::State& state) {
    RunAgainstPraat(state, true, "To Formant (burg): 0.002, 5, 5500, 0.025, 50", "ratio_formants_vs_praat");
}
BENCHMARK(BM_SpectrogramFormants460s)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
