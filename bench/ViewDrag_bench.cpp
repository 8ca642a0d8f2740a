// Dragging a selection over a long file-backed recording: 1,000 drag steps
// (mouse moves with the left button held, one column each) across a
// 16-channel recording at 22050 Hz read from its data file, with the
// status window showing every channel's values. Each step runs the view's
// mouse tracking, the status window's read-outs and the event loop (which
// paints the columns the band changed), as a real mouse move would.
//
//  ms_per_step: time per drag step (goal: a few milliseconds).
//  ratio_step_to_rebuild: a step against one full rebuild of the view's
//    surfaces (all traces drawn again), timed in the same run: the band
//    moves by repainting columns, never by rebuilding, so this stays far
//    below 1. Every repetition is a pair, the rebuild first and then the
//    1,000 steps; the counter is the median of the per-pair ratios.
//
// The recording is 300 s long (the shortest a native float file is kept
// on disk); with VOCOMET_BENCH_HOUR=1 also one hour (5.1 GB). The file is
// made in the build folder and removed at the end.

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <QApplication>
#include <QMouseEvent>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "app/ui/COrielView.h"
#include "app/ui/CStatusWindow.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"

namespace {

namespace fs = std::filesystem;

constexpr int kChannels = 16;
constexpr double kRate = 22050.0;
constexpr int kSteps = 1000;

void Send(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

bool SummariesReady(vocomet::COrielDoc& doc, vocomet::COrielView& view) {
    for (int c = 0; c < doc.GetChannelCount(); ++c) {
        const vocomet::CChannels& ch = doc.Channel(c);
        if (ch.samplesSummary && ch.samplesSummary->SampleCount() == static_cast<std::int64_t>(ch.sampleCount))
            continue;
        if (!ch.IsFileBacked())
            continue;
        const auto cached = view.SummaryCache().ForFile(*ch.sourceFile, std::max(ch.stride, 1),
                                                        std::max(ch.channelNumber - 1, 0), ch.samplesSummary);
        if (cached.building || !cached.summary ||
            cached.summary->SampleCount() < static_cast<std::int64_t>(ch.sampleCount))
            return false;
    }
    return true;
}

void BM_DragSteps16Channels(benchmark::State& state) {
    const double seconds = static_cast<double>(state.range(0));
    const fs::path folder = bench::WorkFolder("view-drag-bench");
    const fs::path path = folder / "drag.vcm";
    bench::WriteNativeRecording(path, seconds, kChannels, kRate);

    vocomet::ApplicationState app;
    app.tempFolder = folder.string();
    app.startFolder = folder.string();
    bench::QuietPrompts prompts;
    std::string scratch;
    {
        vocomet::COrielDoc doc(app, prompts);
        if (!doc.OnOpenDocument(path.string())) {
            state.SkipWithError("the recording did not load");
            return;
        }
        vocomet::CStatusWindow status;
        status.CreateFormControl();
        status.resize(900, 520);
        status.show();
        vocomet::COrielView view(doc);
        // Strips of 40 pixels keep all 16 on the screen.
        for (int c = 0; c < kChannels; ++c)
            doc.Channel(c).stripHeight = 40;
        view.resize(1920 + 55 + 20, 1000);
        view.show();
        QApplication::processEvents();
        status.ShowDocument(&view, &doc);
        view.statusWindow = &status;
        const auto wait = bench::Clock::now();
        while (!SummariesReady(doc, view) && bench::Clock::now() - wait < std::chrono::minutes(10)) {
            QApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        view.viewport()->grab();
        bool fileBacked = doc.Channel(0).IsFileBacked();

        QWidget* vp = view.viewport();
        const int y = doc.Channel(3).strip.top + 10;
        bench::Pairs pairs;
        int rebuildsDuringSteps = 0;
        for (auto _ : state) {
            auto start = bench::Clock::now();
            view.SetRedraw();
            view.RedrawBuffers();
            const double rebuild = std::chrono::duration<double>(bench::Clock::now() - start).count();

            const int before = view.RebuildCount();
            start = bench::Clock::now();
            Send(vp, QEvent::MouseButtonPress, {100, y}, Qt::LeftButton, Qt::LeftButton);
            for (int i = 1; i <= kSteps; ++i) {
                // Out and back, so the band both grows and shrinks.
                const int x = 100 + (i <= kSteps / 2 ? i : kSteps - i) * 3;
                Send(vp, QEvent::MouseMove, {x, y}, Qt::NoButton, Qt::LeftButton);
                QApplication::processEvents();
            }
            const double steps = std::chrono::duration<double>(bench::Clock::now() - start).count();
            Send(vp, QEvent::MouseButtonRelease, {100, y}, Qt::LeftButton, Qt::NoButton);
            QApplication::processEvents();
            rebuildsDuringSteps += view.RebuildCount() - before;
            pairs.Add(rebuild, steps / kSteps);
            state.SetIterationTime(steps);
        }
        if (!fileBacked)
            state.SkipWithError("the recording was not kept on disk");
        state.counters["ms_per_step"] = bench::Median(pairs.subject) * 1000.0;
        state.counters["ratio_step_to_rebuild"] = pairs.MedianRatio();
        state.counters["rebuild_ms"] = bench::Median(pairs.yardstick) * 1000.0;
        state.counters["rebuilds_during_steps"] = rebuildsDuringSteps;
        scratch = doc.GetDataFilePath();
    }
    if (!scratch.empty() && scratch != path.string())
        bench::Drop(scratch);
    std::error_code ec;
    for (const fs::path& p : {path, folder / "VocometConf.cfg"})
        bench::Drop(p);
    fs::remove(folder, ec);
}

[[maybe_unused]] const bool kRegistered = [] {
    benchmark::RegisterBenchmark("BM_DragSteps16Channels", BM_DragSteps16Channels)
        ->Arg(300)
        ->Iterations(5)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    if (bench::HourLongRuns())
        benchmark::RegisterBenchmark("BM_DragSteps16Channels", BM_DragSteps16Channels)
            ->Arg(3600)
            ->Iterations(5)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    return true;
}();

}  // namespace
