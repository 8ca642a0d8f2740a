// Cutting 10 s from the middle of a file-backed 16-channel recording and
// undoing it, each against a plain /bin/cp of the document's data file
// (no fsync: neither the edit nor the undo flushes its files). Every
// repetition is a pair for each: cp, then the cut as Edit > Cut makes it
// (the copy to the clipboard, the undo copy, the cut); cp, then the undo,
// timed until the restored recording's data file is whole (it is filled
// in the background). Files let go are removed in the background, as the
// program removes them; each step waits for that, out of its time, so that
// it burdens no other step. Counters are the medians of the per-pair ratios:
//
//  ratio_cut, ratio_undo: 320 s of 16 channels at 22050 Hz (452 MB), long
//    enough to stay on disk.
//  ratio_cut_hour, ratio_undo_hour (only with VOCOMET_BENCH_HOUR=1): one
//    hour of 16 channels at 22050 Hz (5.1 GB). Goal: each at most 3.
//
// Page cache: warm; sync runs before every timed step.

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <filesystem>
#include <string>

#include <unistd.h>

#include "app/EditSession.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"

namespace {

namespace fs = std::filesystem;

constexpr int kChannels = 16;
constexpr double kRate = 22050.0;

void CutAndUndo(benchmark::State& state, double seconds, const char* cutName, const char* undoName) {
    const fs::path folder = bench::WorkFolder("edit-bench");
    const fs::path source = folder / "source.vcm";
    const fs::path copy = folder / "copy.raw";
    bench::WriteNativeRecording(source, seconds, kChannels, kRate);

    vocomet::ApplicationState app;
    app.tempFolder = folder.string();
    app.startFolder = folder.string();
    bench::QuietPrompts prompts;
    bench::Pairs cut, undo;
    bool ok = true;
    {
        vocomet::COrielDoc doc(app, prompts);
        vocomet::EditSession session;
        vocomet::EditClipboard clipboard;
        ok = doc.OnOpenDocument(source.string()) && doc.Channel(kChannels - 1).IsFileBacked();
        const double middle = seconds / 2 * kRate;
        for (auto _ : state) {
            if (!ok)
                break;
            for (int c = 0; c < kChannels; ++c) {
                vocomet::CChannels& ch = doc.Channel(c);
                ch.selStartSample = middle;
                ch.selEndSample = middle + 10 * kRate;
                ch.selStartTime = middle * 1000 / kRate;
                ch.selEndTime = ch.selStartTime + 10000;
            }
            const std::string data = doc.GetDataFilePath();
            platform::WaitForBackgroundCloses();
            ::sync();
            double yard = bench::CpSeconds(data, copy, false);
            bench::Drop(copy);
            ::sync();
            const double cutSeconds = bench::Seconds([&] { ok = session.Cut(doc, clipboard, prompts) && ok; });
            cut.Add(yard, cutSeconds);
            platform::WaitForBackgroundCloses();
            ::sync();
            yard = bench::CpSeconds(doc.GetDataFilePath(), copy, false);
            bench::Drop(copy);
            ::sync();
            const double undoSeconds = bench::Seconds([&] {
                ok = session.RestoreUndoFile(doc, prompts) && ok;
                ok = doc.GetDataFile() && doc.GetDataFile()->WaitForBackgroundFill() && ok;
            });
            undo.Add(yard, undoSeconds);
            ok = ok && doc.Channel(0).sampleCount == seconds * kRate;
            state.SetIterationTime(cutSeconds + undoSeconds);
        }
    }
    if (!ok)
        state.SkipWithError("the recording did not load, or a cut or undo failed");
    state.counters[cutName] = cut.MedianRatio();
    state.counters[undoName] = undo.MedianRatio();
    state.counters["cp_s"] = bench::Median(cut.yardstick);
    for (const fs::path& p : {source, copy, folder / "VocometConf.cfg"})
        bench::Drop(p);
    std::error_code ec;
    fs::remove_all(folder, ec);
}

void BM_CutUndo320s16ChannelsFileBacked(benchmark::State& state) {
    CutAndUndo(state, 320.0, "ratio_cut", "ratio_undo");
}
void BM_CutUndoHour16ChannelsFileBacked(benchmark::State& state) {
    CutAndUndo(state, 3600.0, "ratio_cut_hour", "ratio_undo_hour");
}

BENCHMARK(BM_CutUndo320s16ChannelsFileBacked)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

[[maybe_unused]] const bool kHourRegistered =
    bench::HourLongRuns() &&
    benchmark::RegisterBenchmark("BM_CutUndoHour16ChannelsFileBacked", BM_CutUndoHour16ChannelsFileBacked)
        ->Iterations(3)
        ->UseManualTime()
        ->Unit(benchmark::kSecond);

}  // namespace
