// Enter Data Selection over a 60-second selection at a 1 ms step: 60,000
// entries built from a two-channel recording and added to the shown log
// window as one batch, with the event loop run once afterwards.
//
// "entry_s" is the time of the command and the event loop (goal: under a
// second). The yardstick is the same entries built and added to a table
// with no window ("ratio_vs_bare_grid": what the window adds).
// "repaint_ms" is one repaint of the log window holding the 60,000 rows:
// the window stays responsive. Medians of paired runs.

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <QApplication>
#include <QMdiArea>

#include "app/LogEntryBuilders.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CFormLog.h"
#include "app/ui/CFrameLog.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielView.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"

namespace {

constexpr double kSeconds = 60.0;
constexpr double kRate = 22050.0;

void BM_LogEnterSixtySecondsAtOneMs(benchmark::State& state) {
    vocomet::ApplicationState app;
    app.tempFolder = bench::WorkFolder("log-window-bench").string();
    bench::QuietPrompts prompts;
    auto document = std::make_unique<vocomet::COrielDoc>(app, prompts);
    vocomet::COrielDoc& doc = *document;
    doc.SetTitle("take1.vcm");
    doc.SetChannelCount(2);
    doc.dataLoaded = 1;
    doc.settings.logSelectionStep = 1.0;
    const auto count = static_cast<std::size_t>(kSeconds * kRate);
    for (int i = 0; i < 2; ++i) {
        vocomet::CChannels& ch = doc.Channel(i);
        ch.name = i ? "EGG" : "Audio";
        ch.rate = kRate;
        ch.sampleCount = static_cast<double>(count);
        ch.duration = kSeconds * 1000.0;
        ch.show = 1;
        ch.samples = platform::FloatBlock::Allocate(count);
        for (std::size_t k = 0; k < count; ++k)
            ch.samples[k] = static_cast<float>(k % 1000) * 0.001f;
        ch.selStartTime = 0.0;
        ch.selEndTime = kSeconds * 1000.0;
    }
    vocomet::CMainFrame frame;
    auto* child = new vocomet::CChildFrame(std::move(document));
    frame.MdiArea()->addSubWindow(child);
    frame.show();
    QApplication::processEvents();
    vocomet::COrielView* view = child->GetView();
    vocomet::WindowPlacement placement{};

    bench::Pairs pairs;
    std::vector<double> repaints;
    for (auto _ : state) {
        const double yard = bench::Seconds([&] {
            vocomet::GridModel bare;
            vocomet::SetUpNewLogTable(bare);
            vocomet::AddLogEntries(bare, vocomet::DataSelectionEntries(doc, 1.0));
        });
        vocomet::CFrameLog* log = vocomet::OnLogNew(frame, prompts, placement);
        if (!log) {
            state.SkipWithError("no log window");
            return;
        }
        QApplication::processEvents();
        const double took = bench::Seconds([&] {
            view->OnLogEnterDataSelection();
            QApplication::processEvents();
        });
        if (log->Form()->Grid().GetRowCount() != 60000) {
            state.SkipWithError("the rows did not arrive");
            return;
        }
        pairs.Add(yard, took);
        repaints.push_back(bench::Seconds([&] { log->repaint(); }) * 1000.0);
        log->PromptSaveAndClose();  // the quiet prompts answer No
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    state.counters["entry_s"] = bench::Median(pairs.subject);
    state.counters["ratio_vs_bare_grid"] = pairs.MedianRatio();
    state.counters["repaint_ms"] = bench::Median(repaints);
}

BENCHMARK(BM_LogEnterSixtySecondsAtOneMs)->Unit(benchmark::kMillisecond)->Iterations(7);

}  // namespace
