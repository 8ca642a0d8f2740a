// Saving file-backed recordings through the document's Save As, each against
// the system's /bin/cp of the file it was opened from, followed by an fsync
// of the copy (a save flushes its file to disk before it replaces the
// target). Every repetition is a pair, cp first and then the save; a
// counter is the median of the per-pair ratios save / cp.
//
//  ratio_save_wav: 320 s of 16 channels at 22050 Hz (452 MB), long enough
//    to be read from a scratch data file, saved as WAV. The hour cannot be
//    a WAV file: its 5.1 GB of float frames exceed the 4 GB a WAV file can
//    describe.
//  ratio_save (only with VOCOMET_BENCH_HOUR=1): one hour of 16 channels at
//    22050 Hz (5.1 GB), saved as an interleaved "KOV_PC_FLOAT_24" file.
//    Goal: at most 1.2.
//
// Page cache: warm. The recording is opened once, so its source file and
// scratch data file are in the page cache, and sync runs before every timed
// step, cp and save alike, so that neither pays for the dirty pages of the
// one before. Copies and saved files are removed after each step; the files
// are made in the build folder and removed at the end.

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <cstdint>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/FileTypeCode.h"

namespace {

namespace fs = std::filesystem;

constexpr int kChannels = 16;
constexpr double kRate = 22050.0;

void SaveFileBacked(benchmark::State& state, double seconds, int fileTypeCode, const char* ratioName) {
    const fs::path folder = bench::WorkFolder("save-bench");
    const fs::path source = folder / "source.vcm";
    const fs::path copy = folder / "copy.vcm";
    const fs::path saved = folder / (fileTypeCode == vocomet::kFileTypeWave ? "saved.wav" : "saved.vcm");
    bench::WriteNativeRecording(source, seconds, kChannels, kRate);

    vocomet::ApplicationState app;
    app.tempFolder = folder.string();
    app.startFolder = folder.string();
    bench::QuietPrompts prompts;
    bench::Pairs cp;
    bool ok = true;
    std::string scratch;
    {
        vocomet::COrielDoc doc(app, prompts);
        ok = doc.OnOpenDocument(source.string()) && doc.Channel(kChannels - 1).IsFileBacked();
        scratch = doc.GetDataFilePath();
        for (auto _ : state) {
            ::sync();
            const double cpSeconds = bench::CpSeconds(source, copy, true);
            bench::Drop(copy);
            ::sync();
            const double save =
                bench::Seconds([&] { ok = doc.SaveDocumentAs(saved.string(), fileTypeCode, false) == 1 && ok; });
            // Headers apart, the saved file holds every frame of the source.
            std::error_code ec;
            const std::uintmax_t savedBytes = fs::file_size(saved, ec);
            ok = ok && !ec && savedBytes + 8192 > fs::file_size(source);
            bench::Drop(saved);
            cp.Add(cpSeconds, save);
            state.SetIterationTime(save);
        }
    }
    if (!ok)
        state.SkipWithError("the recording did not load or a save failed");
    state.counters[ratioName] = cp.MedianRatio();
    state.counters["save_s"] = bench::Median(cp.subject);
    state.counters["cp_fsync_s"] = bench::Median(cp.yardstick);
    state.SetBytesProcessed(static_cast<std::int64_t>(fs::file_size(source)) * state.iterations());

    if (!scratch.empty())
        bench::Drop(scratch);
    for (const fs::path& p : {source, copy, saved, folder / "VocometConf.cfg"})
        bench::Drop(p);
    std::error_code ec;
    fs::remove(folder, ec);  // only when empty
}

void BM_SaveWav320s16ChannelsFileBacked(benchmark::State& state) {
    SaveFileBacked(state, 320.0, vocomet::kFileTypeWave, "ratio_save_wav");
}
void BM_SaveNativeHour16Channels(benchmark::State& state) {
    SaveFileBacked(state, 3600.0, vocomet::kFileTypeNativeFloat24, "ratio_save");
}

BENCHMARK(BM_SaveWav320s16ChannelsFileBacked)->Iterations(7)->UseManualTime()->Unit(benchmark::kMillisecond);

[[maybe_unused]] const bool kHourRegistered =
    bench::HourLongRuns() && benchmark::RegisterBenchmark("BM_SaveNativeHour16Channels", BM_SaveNativeHour16Channels)
                                 ->Iterations(5)
                                 ->UseManualTime()
                                 ->Unit(benchmark::kSecond);

}  // namespace
