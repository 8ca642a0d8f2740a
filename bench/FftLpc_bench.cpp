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

bool Have(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0; }

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

// 60 s of espeak-ng speech at 22050 Hz as floats (sox pads or cuts).
std::vector<float> Speech(const fs::path& folder) {
    const fs::path wav = folder / "speech60.wav", raw = folder / "speech60.f32";
    if (!fs::exists(raw)) {
        std::string text;
        for (int i = 0; i < 40; ++i)
            text += "The quick brown fox jumps over the lazy dog while the rain falls softly on the hills. ";
        std::ofstream(folder / "speech.txt") << text;
        std::system(("espeak-ng -f '" + (folder / "speech.txt").string() + "' -w '" + (folder / "raw.wav").string() +
                     "' >/dev/null 2>&1 && sox '" + (folder / "raw.wav").string() + "' -r 22050 '" + wav.string() +
                     "' trim 0 60 pad 0 60 trim 0 60 && sox '" + wav.string() + "' -t f32 '" + raw.string() + "'")
                        .c_str());
    }
    std::ifstream in(raw, std::ios::binary);
    std::vector<float> x(22050 * 60);
    in.read(reinterpret_cast<char*>(x.data()), static_cast<std::streamsize>(x.size() * sizeof(float)));
    if (in.gcount() != static_cast<std::streamsize>(x.size() * sizeof(float)))
        x.clear();
    return x;
}

double PraatSeconds(const fs::path& folder) {
    const fs::path script = folder / "formant.praat";
    std::ofstream(script) << "Read from file: \"" << (folder / "speech60.wav").string() << "\"\n"
                          << "stopwatch\nTo Formant (burg): 0, 5, 5500, 0.025, 50\nt = stopwatch\nwriteInfoLine: t\n";
    return std::atof(Output("praat --run '" + script.string() + "' 2>/dev/null").c_str());
}

void BM_FftLpcAverage60s(benchmark::State& state) {
    const fs::path folder = bench::WorkFolder("fftlpc_bench");
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
