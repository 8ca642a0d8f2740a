// The pitch track of a whole channel: 460 s of speech at 22050 Hz, the
// document's default settings (35 ms window, 10 ms step, 50 .. 500 Hz),
// against Praat's To Pitch (10 ms step, 50 .. 500 Hz) on the same file in
// the same run, timed inside Praat (its start-up and file reading
// excluded). Counter: ratio_pitch_vs_praat (median of paired repetitions;
// goal at most 0.5). Also reported, not judged: how far the two tracks
// agree on the frames both call voiced (median relative difference, share
// of octave errors, share of gross errors beyond 20 %) and the time of the
// file road. Without espeak-ng, sox or praat the benchmark reports only
// what it can.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "analysis/ChannelSampleSource.h"
#include "analysis/PitchTrack.h"
#include "platform/File.h"
#include "platform/Progress.h"

namespace {

using namespace vocomet;
namespace fs = std::filesystem;

constexpr double kRate = 22050;
constexpr int kSeconds = 460;

// 460 s of espeak-ng speech at 22050 Hz.
std::vector<float> Speech(benchmark::State& state, const fs::path& folder) {
    return bench::SpeechAt22050(
        state, folder,
        {"The quick brown fox jumps over the lazy dog while the rain falls softly on the hills.",
         "She sells sea shells by the sea shore, and the shells she sells are surely sea shells.",
         "How much wood would a woodchuck chuck if a woodchuck could chuck wood?",
         "Peter Piper picked a peck of pickled peppers from the garden near the old mill."},
        130, kSeconds);
}

double PraatSeconds(const fs::path& folder) {
    return bench::PraatStopwatchSeconds(folder / "pitch.praat", bench::SpeechWav(folder, kSeconds),
                                        "To Pitch: 0.01, 50, 500");
}

// Praat's track: the first frame's time, the step and F0 per frame (0 for
// unvoiced).
struct PraatTrack {
    double t1 = 0, dt = 0;
    std::vector<double> f0;
};

PraatTrack PraatPitch(const fs::path& folder) {
    const fs::path script = folder / "pitchvalues.praat", values = folder / "pitch.txt";
    std::ofstream(script) << "Read from file: \"" << bench::SpeechWav(folder, kSeconds).string() << "\"\n"
                          << "To Pitch: 0.01, 50, 500\nn = Get number of frames\n"
                          << "t1 = Get time from frame number: 1\ndt = Get time step\n"
                          << "writeFileLine: \"" << values.string() << "\", t1, \" \", dt, \" \", n\n"
                          << "for i to n\n  f = Get value in frame: i, \"Hertz\"\n"
                          << "  if f = undefined\n    f = 0\n  endif\n"
                          << "  appendFile: \"" << values.string() << "\", fixed$ (f, 3), newline$\nendfor\n";
    PraatTrack t;
    if (std::system(("praat --run '" + script.string() + "' >/dev/null 2>&1").c_str()) != 0)
        return t;
    std::ifstream in(values);
    int n = 0;
    in >> t.t1 >> t.dt >> n;
    double f = 0;
    while (in >> f)
        t.f0.push_back(f);
    return t;
}

// Agreement on the frames both call voiced, each of ours against Praat's
// frame nearest its time.
void ReportAgreement(const PitchTrack& ours, const PraatTrack& praat, benchmark::State& state) {
    std::vector<double> differences;
    int octave = 0, gross = 0, oursVoiced = 0, praatVoiced = 0;
    for (double f : praat.f0)
        praatVoiced += f > 0;
    for (int k = 0; k < ours.Count(); ++k) {
        const double f = ours.f0[static_cast<std::size_t>(k)];
        if (f <= 0)
            continue;
        ++oursVoiced;
        const long j = std::lround((ours.FrameTimeMs(k) / 1000.0 - praat.t1) / praat.dt);
        if (j < 0 || j >= static_cast<long>(praat.f0.size()) || praat.f0[static_cast<std::size_t>(j)] <= 0)
            continue;
        const double p = praat.f0[static_cast<std::size_t>(j)];
        const double r = f / p;
        differences.push_back(std::fabs(r - 1.0));
        octave += std::fabs(r - 2.0) < 0.2 || std::fabs(r - 0.5) < 0.05;
        gross += std::fabs(r - 1.0) > 0.2;
    }
    const double both = static_cast<double>(differences.size());
    const double median = bench::Median(differences);
    std::fprintf(stderr,
                 "pitch agreement with Praat's To Pitch: %d frames voiced here, %d there, %.0f both; median "
                 "relative difference %.4f; octave errors %.2f %%; beyond 20 %%: %.2f %%\n",
                 oursVoiced, praatVoiced, both, median, both > 0 ? 100.0 * octave / both : 0.0,
                 both > 0 ? 100.0 * gross / both : 0.0);
    state.counters["agree_median_rel_diff"] = median;
    state.counters["agree_octave_error_share"] = both > 0 ? octave / both : 0.0;
    state.counters["agree_gross_error_share"] = both > 0 ? gross / both : 0.0;
    state.counters["agree_frames_both_voiced"] = both;
}

void BM_PitchTrack460s(benchmark::State& state) {
    const fs::path folder = bench::WorkFolder("pitch_bench");
    const std::vector<float> x = Speech(state, folder);
    if (x.empty())
        return;
    const bool praat = bench::HaveTool("praat");
    PitchTrackSettings settings;  // the document's defaults
    const auto count = static_cast<std::int64_t>(x.size());
    const ChannelSampleSource source = ChannelSampleSource::FromMemory(x.data(), count);
    platform::NullProgress progress;
    bench::Pairs pairs;
    std::vector<double> oursTimes;
    PitchTrackOutcome last;
    for (auto _ : state) {
        double theirs = 0.0;
        if (praat) {
            state.PauseTiming();
            theirs = PraatSeconds(folder);
            state.ResumeTiming();
        }
        const double ours = bench::Seconds([&] { last = ComputePitchTrack(source, kRate, settings, progress); });
        oursTimes.push_back(ours);
        if (theirs > 0)
            pairs.Add(theirs, ours);
    }
    if (!last.track.computed) {
        state.SkipWithError(("no track: " + last.error).c_str());
        return;
    }
    if (!pairs.subject.empty()) {
        state.counters["ratio_pitch_vs_praat"] = pairs.MedianRatio();
        state.counters["praat_s"] = bench::Median(pairs.yardstick);
    }
    state.counters["ours_s"] = bench::Median(oursTimes);

    // The file road: the channel as column 1 of a two-channel float file.
    {
        const fs::path path = folder / "speech460x2.f32";
        {
            std::vector<float> frames(x.size() * 2);
            for (std::size_t i = 0; i < x.size(); ++i) {
                frames[2 * i] = 0.1f;
                frames[2 * i + 1] = x[i];
            }
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(frames.data()),
                       static_cast<std::streamsize>(frames.size() * sizeof(float)));
        }
        auto file = std::make_shared<platform::File>();
        if (file->Open(path.string(), platform::File::Mode::Read)) {
            const ChannelSampleSource fromFile = ChannelSampleSource::FromFile(file, 2, 1, count);
            PitchTrackOutcome f;
            state.counters["file_road_s"] =
                bench::Seconds([&] { f = ComputePitchTrack(fromFile, kRate, settings, progress); });
            state.counters["file_road_same"] = f.track.f0 == last.track.f0 ? 1 : 0;
        }
        bench::Drop(path);
    }
    if (praat) {
        const PraatTrack p = PraatPitch(folder);
        if (!p.f0.empty() && p.dt > 0)
            ReportAgreement(last.track, p, state);
    }
}
BENCHMARK(BM_PitchTrack460s)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
