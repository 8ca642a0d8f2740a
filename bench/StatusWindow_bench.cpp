// Mouse tracking into the status window: a 16-channel document with the
// window shown, the cursor moved 10,000 times; per move the cursor time and,
// for every shown channel, the value and intensity at the cursor go to the
// window, and the event loop runs once, painting whatever repaints are due
// (Qt coalesces them through its update timer, as it does for real mouse
// moves). "us_per_move" is the time per move (goal: well under a millisecond).

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <QApplication>
#include <chrono>
#include <cmath>
#include <string>

#include "app/StatusTable.h"
#include "app/ui/CStatusWindow.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"

namespace {

constexpr int kChannels = 16;
constexpr int kMoves = 10000;

void BM_StatusWindowCursorMoves(benchmark::State& state) {
    vocomet::ApplicationState app;
    app.tempFolder = bench::WorkFolder("status-bench").string();
    bench::QuietPrompts prompts;
    vocomet::COrielDoc doc(app, prompts);
    doc.SetChannelCount(kChannels);
    for (int i = 0; i < kChannels; ++i) {
        vocomet::CChannels& ch = doc.Channel(i);
        ch.name = "Channel " + std::to_string(i + 1);
        ch.unit = "V";
        ch.rate = 22050.0;
        ch.show = 1;
        ch.intensityValid = 1;
        ch.drawIntensity = 1;
    }

    vocomet::CStatusWindow window;
    if (!window.CreateFormControl()) {
        state.SkipWithError("no form");
        return;
    }
    window.resize(900, 520);
    window.show();
    QApplication::processEvents();
    const int view = 0;
    window.ShowDocument(&view, &doc);
    QApplication::processEvents();

    double t = 0.0;
    double totalUs = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int m = 0; m < kMoves; ++m) {
            t += 0.37;
            window.ShowCursorTime(&view, t);
            for (int row = 0; row < kChannels; ++row) {
                window.ShowCursorValue(&view, row, vocomet::kStatusValue, std::sin(t * 0.01 + row));
                window.ShowCursorValue(&view, row, vocomet::kStatusIntensity, 60.0 + std::cos(t * 0.01 + row));
            }
            QApplication::processEvents();
        }
        totalUs += std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["us_per_move"] = totalUs / (static_cast<double>(state.iterations()) * kMoves);
}

BENCHMARK(BM_StatusWindowCursorMoves)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
