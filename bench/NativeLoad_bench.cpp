// Loading recordings through the document's Open, each against yardsticks
// timed in the same run. Every repetition is a pair, yardsticks first and
// then the load; a counter is the median of the per-pair ratios load /
// yardstick (a noisy moment spoils one pair, not the figure).
//
//  ratio_load_native_memory: 200 s of 16 channels at 22050 Hz, an
//    interleaved "KOV_PC_FLOAT_24" file of 282 MB, loaded into memory,
//    against cat of the file (read(2) of 128 KiB blocks into one reused
//    buffer). Goal: at most 3.
//  ratio_load_native_vs_fresh_memory: the median load against the median
//    first touch of as much fresh memory as the samples take (282 MB). That
//    yardstick runs after the pairs, as many times: hundreds of megabytes of
//    small pages touched and given back just before a load leave the
//    kernel's free memory in pieces that the load's huge pages must first be
//    compacted from, which made the load 1.5-6 times slower than it is
//    otherwise.
//  ratio_load_wav_memory, ratio_load_wav_vs_fresh_memory: the same for a
//    16-bit PCM WAV file of 200 s and 16 channels (141 MB on disk, 282 MB of
//    float samples in memory, which is the fresh memory touched).
//  ratio_scratch_load (only with VOCOMET_BENCH_HOUR=1): one hour of the
//    native file (5.1 GB), which the reader copies into a scratch data file
//    because it is longer than 300 s, against the system's /bin/cp of the
//    file into the same folder (run with posix_spawn; neither fsyncs).
//    Goal: at most 1.2. The load ends when the summaries are made; the
//    system's copy into the scratch file may still be running then (reads
//    of what it has not reached go to the source), so
//  ratio_scratch_copied: the same open until that copy has ended too.
//
// Page cache: warm. The file read is in the page cache (written just
// before, then read once), and sync runs before every timed step, yardstick
// and load alike, so that no step pays for the dirty pages of the one
// before. The files are made in the build folder and removed at the end.

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "core/ApplicationState.h"
#include "core/COrielDoc.h"

namespace {

namespace fs = std::filesystem;

constexpr int kChannels = 16;
constexpr double kRate = 22050.0;

// A document's surroundings: the temp folder (where scratch data files go)
// is the work folder.
struct Setting {
    explicit Setting(const fs::path& folder) : folder(folder) {
        app.tempFolder = folder.string();
        app.startFolder = folder.string();
    }
    ~Setting() {
        bench::Drop(folder / "VocometConf.cfg");
        std::error_code ec;
        fs::remove(folder, ec);  // only when empty
    }
    fs::path folder;
    vocomet::ApplicationState app;
    bench::QuietPrompts prompts;
};

// Opens path in a new document; fileBacked says how its channels must come
// out. The document (and its scratch data file) is gone afterwards.
// With copied, the time until the scratch file's copy has ended too.
double OpenSeconds(Setting& s, const fs::path& path, bool fileBacked, bool& ok, double* copied = nullptr) {
    std::string scratch;
    double took = 0.0;
    {
        vocomet::COrielDoc doc(s.app, s.prompts);
        const auto start = std::chrono::steady_clock::now();
        took = bench::Seconds([&] { ok = doc.OnOpenDocument(path.string()) && ok; });
        ok = ok && doc.GetChannelCount() == kChannels && doc.Channel(kChannels - 1).IsFileBacked() == fileBacked;
        if (copied) {
            ok = ok && doc.GetDataFile()->WaitForBackgroundFill();
            *copied = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        scratch = doc.GetDataFilePath();
    }
    if (!scratch.empty())
        bench::Drop(scratch);
    return took;
}

void LoadIntoMemory(benchmark::State& state, bool wave) {
    Setting s(bench::WorkFolder("native-load-bench"));
    const fs::path path = s.folder / (wave ? "load-200s.wav" : "load-200s.vcm");
    constexpr double kSeconds = 200.0;
    if (wave)
        bench::WriteWave16Recording(path, kSeconds, kChannels, static_cast<std::uint32_t>(kRate));
    else
        bench::WriteNativeRecording(path, kSeconds, kChannels, kRate);
    const std::uint64_t memoryBytes = static_cast<std::uint64_t>(kSeconds * kRate) * kChannels * sizeof(float);
    ::sync();
    bench::CatSeconds(path);

    bench::Pairs cat;
    bool ok = true;
    for (auto _ : state) {
        ::sync();
        const double catSeconds = bench::CatSeconds(path);
        ::sync();
        const double load = OpenSeconds(s, path, false, ok);
        cat.Add(catSeconds, load);
        state.SetIterationTime(load);
    }
    if (!ok)
        state.SkipWithError("the recording did not load into memory");
    std::vector<double> fresh;
    for (std::size_t i = 0; i < cat.subject.size(); ++i)
        fresh.push_back(bench::FreshMemorySeconds(memoryBytes));
    const std::string name = wave ? "wav" : "native";
    const double loadSeconds = bench::Median(cat.subject);
    state.counters["ratio_load_" + name + "_memory"] = cat.MedianRatio();
    state.counters["ratio_load_" + name + "_vs_fresh_memory"] = loadSeconds / bench::Median(fresh);
    state.counters["load_s"] = loadSeconds;
    state.counters["cat_s"] = bench::Median(cat.yardstick);
    state.counters["fresh_memory_s"] = bench::Median(fresh);
    state.SetBytesProcessed(static_cast<std::int64_t>(fs::file_size(path)) * state.iterations());
    bench::Drop(path);
}

void BM_LoadNative200s16ChannelsIntoMemory(benchmark::State& state) { LoadIntoMemory(state, false); }
void BM_LoadWav200s16Channels16BitIntoMemory(benchmark::State& state) { LoadIntoMemory(state, true); }

void BM_ScratchLoadNativeHour16Channels(benchmark::State& state) {
    Setting s(bench::WorkFolder("native-load-bench"));
    const fs::path path = s.folder / "hour.vcm";
    const fs::path copy = s.folder / "hour-copy.vcm";
    bench::WriteNativeRecording(path, 3600.0, kChannels, kRate);
    ::sync();
    bench::CatSeconds(path);

    bench::Pairs cp, copiedPairs;
    bool ok = true;
    for (auto _ : state) {
        ::sync();
        const double cpSeconds = bench::CpSeconds(path, copy, false);
        bench::Drop(copy);
        ::sync();
        double copied = 0.0;
        const double load = OpenSeconds(s, path, true, ok, &copied);
        cp.Add(cpSeconds, load);
        copiedPairs.Add(cpSeconds, copied);
        state.SetIterationTime(load);
    }
    if (!ok)
        state.SkipWithError("the recording did not load into a scratch data file");
    state.counters["ratio_scratch_load"] = cp.MedianRatio();
    state.counters["ratio_scratch_copied"] = copiedPairs.MedianRatio();
    state.counters["load_s"] = bench::Median(cp.subject);
    state.counters["cp_s"] = bench::Median(cp.yardstick);
    state.SetBytesProcessed(static_cast<std::int64_t>(fs::file_size(path)) * state.iterations());
    bench::Drop(path);
}

BENCHMARK(BM_LoadNative200s16ChannelsIntoMemory)->Iterations(9)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadWav200s16Channels16BitIntoMemory)->Iterations(9)->UseManualTime()->Unit(benchmark::kMillisecond);

[[maybe_unused]] const bool kHourRegistered =
    bench::HourLongRuns() &&
    benchmark::RegisterBenchmark("BM_ScratchLoadNativeHour16Channels", BM_ScratchLoadNativeHour16Channels)
        ->Iterations(5)
        ->UseManualTime()
        ->Unit(benchmark::kSecond);

}  // namespace
