// Writing and reading a 60,000-row measurement log (a minute of entries at
// a 1 ms step: source, description, three values, an empty comment).
//
// Write: "write_s" is the time of WriteLogFile (text built, written beside
// the target, renamed over it); the yardstick is writing the same bytes
// through the same write-beside-and-rename step (WriteBinaryFile), so
// "ratio_vs_raw_write" is what building the text adds to the file work.
// Read: "read_s" is the time of ReadLogFile into a fresh table; the
// yardstick is cat of the same file ("ratio_vs_cat").
// Both are medians of paired runs. Goal: under a second each.

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include "app/LogEntry.h"
#include "app/LogFile.h"
#include "platform/BinaryFile.h"

namespace {

constexpr int kRows = 60000;

vocomet::GridModel MakeLog() {
    vocomet::GridModel grid;
    vocomet::SetUpNewLogTable(grid);
    std::vector<vocomet::LogEntry> entries(kRows);
    for (int i = 0; i < kRows; ++i) {
        vocomet::LogEntry& e = entries[static_cast<std::size_t>(i)];
        e.SetSource("take1.vcm");
        e.SetDescription("Data Selection Entry: time ,Audio ,EGG");
        e.AddValue(i * 1.0);
        e.AddValue(0.001 * (i % 1000) - 0.5);
        e.AddValue(-12.345 + i * 0.0001);
    }
    vocomet::AddLogEntries(grid, entries);
    return grid;
}

void BM_LogWrite60000Rows(benchmark::State& state) {
    const vocomet::GridModel grid = MakeLog();
    const bench::fs::path folder = bench::WorkFolder("log-bench");
    const std::string path = (folder / "log.txt").string();
    const std::string raw = (folder / "raw.txt").string();
    const std::string bytes = vocomet::BuildLogText(grid);
    bench::QuietPrompts prompts;
    bench::Pairs pairs;
    for (auto _ : state) {
        const double yard = bench::Seconds([&] { platform::WriteBinaryFile(raw, bytes.data(), bytes.size()); });
        bool ok = false;
        const double took = bench::Seconds([&] { ok = vocomet::WriteLogFile(path, grid, prompts); });
        if (!ok) {
            state.SkipWithError("the log was not written");
            return;
        }
        pairs.Add(yard, took);
    }
    state.counters["write_s"] = bench::Median(pairs.subject);
    state.counters["ratio_vs_raw_write"] = pairs.MedianRatio();
    state.counters["bytes"] = static_cast<double>(bytes.size());
    bench::Drop(path);
    bench::Drop(raw);
}

void BM_LogRead60000Rows(benchmark::State& state) {
    const bench::fs::path folder = bench::WorkFolder("log-bench");
    const std::string path = (folder / "read.txt").string();
    bench::QuietPrompts prompts;
    if (!vocomet::WriteLogFile(path, MakeLog(), prompts)) {
        state.SkipWithError("the log was not written");
        return;
    }
    bench::Pairs pairs;
    for (auto _ : state) {
        const double yard = bench::CatSeconds(path);
        vocomet::GridModel grid;
        vocomet::LogReadStatus status{};
        const double took = bench::Seconds([&] { status = vocomet::ReadLogFile(path, grid, prompts); });
        if (status != vocomet::LogReadStatus::Ok || grid.GetRowCount() != kRows) {
            state.SkipWithError("the log was not read back");
            return;
        }
        pairs.Add(yard, took);
    }
    state.counters["read_s"] = bench::Median(pairs.subject);
    state.counters["ratio_vs_cat"] = pairs.MedianRatio();
    bench::Drop(path);
}

BENCHMARK(BM_LogWrite60000Rows)->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_LogRead60000Rows)->Unit(benchmark::kMillisecond)->Iterations(9);

}  // namespace
