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

bool Have(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[256];
        while (fgets(buf, sizeof buf, p))
            out += buf;
        pclose(p);
    }
    return out;
}

// 460 s of espeak-ng speech at 22050 Hz as a WAV file for Praat and as
// floats for us (sox pads or cuts to the length).
std::vector<float> Speech(const fs::path& folder) {
    const fs::path wav = folder / "speech460.wav", raw = folder / "speech460.f32";
    if (!fs::exists(raw)) {
        std::string text;
        for (int i = 0; i < 110; ++i)
            text += "The quick brown fox jumps over the lazy dog while the rain falls softly on the hills. ";
        std::ofstream(folder / "speech.txt") << text;
        const std::string seconds = std::to_string(static_cast<int>(kSeconds));
        std::system(("espeak-ng -f '" + (folder / "speech.txt").string() + "' -w '" + (folder / "raw.wav").string() +
                     "' >/dev/null 2>&1 && sox '" + (folder / "raw.wav").string() + "' -r 22050 '" + wav.string() +
                     "' trim 0 " + seconds + " pad 0 " + seconds + " trim 0 " + seconds + " 2>/dev/null && sox '" +
                     wav.string() + "' -t f32 '" + raw.string() + "'")
                        .c_str());
    }
    std::ifstream in(raw, std::ios::binary);
    std::vector<float> x(static_cast<std::size_t>(kRate * kSeconds));
    in.read(reinterpret_cast<char*>(x.data()), static_cast<std::streamsize>(x.size() * sizeof(float)));
    if (in.gcount() != static_cast<std::streamsize>(x.size() * sizeof(float)))
        x.clear();
    return x;
}

// Praat's time for one command on the speech, measured by its stopwatch.
double PraatSeconds(const fs::path& folder, const std::string& command) {
    const fs::path script = folder / "analysis.praat";
    std::ofstream(script) << "Read from file: \"" << (folder / "speech460.wav").string() << "\"\n"
                          << "stopwatch\n"
                          << command << "\nt = stopwatch\nwriteInfoLine: t\n";
    return std::atof(Output("praat --run '" + script.string() + "' 2>/dev/null").c_str());
}

void RunAgainstPraat(benchmark::State& state, bool formants, const std::string& praatCommand, const char* counter) {
    const fs::path folder = bench::WorkFolder("spectrogram_bench");
    if (!Have("espeak-ng") || !Have("sox")) {
        state.SkipWithError("espeak-ng or sox missing");
        return;
    }
    const std::vector<float> x = Speech(folder);
    if (x.empty()) {
        state.SkipWithError("no speech made");
        return;
    }
    const bool praat = Have("praat");
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
