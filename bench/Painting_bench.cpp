// Rebuilding the main view's surfaces for a 16-channel file-backed
// recording at full width (1920 pixels): one hour against ten seconds, in
// the same run. With the channels' min/max summaries ready, a rebuild costs
// what the screen shows, so "ratio" (hour / ten seconds) stays near 1; the
// goal is below 2. "first_hour_ms" is the first rebuild of the hour, before
// its summaries exist (the window is then scanned in one pass for all
// channels while the summaries are built in the background), and
// "summary_build_s" how long that background build took.
//
// The recordings are raw frames of 16 floats at 22050 Hz (the hour is about
// 5 GB) written in the build folder and removed at the end.

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <QApplication>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/ui/COrielView.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/File.h"
#include "platform/UserPrompts.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kChannels = 16;
constexpr double kRate = 22050.0;

// Frames of a voice-like signal per channel (a tone under a slow swell with
// a little noise), written in large blocks.
void WriteFrames(const fs::path& path, double seconds) {
    const std::int64_t frames = static_cast<std::int64_t>(seconds * kRate);
    constexpr std::int64_t kBlockFrames = 65536;
    std::vector<float> block(static_cast<std::size_t>(kBlockFrames * kChannels));
    platform::File file(path.string(), platform::File::Mode::Create);
    std::uint32_t noise = 12345;
    for (std::int64_t f0 = 0; f0 < frames; f0 += kBlockFrames) {
        const std::int64_t n = std::min(kBlockFrames, frames - f0);
        for (std::int64_t f = 0; f < n; ++f) {
            const double t = static_cast<double>(f0 + f) / kRate;
            const double swell = 0.5 + 0.45 * std::sin(t * 0.7);
            for (int c = 0; c < kChannels; ++c) {
                noise = noise * 1664525u + 1013904223u;
                const double v = swell * std::sin(t * (120.0 + 10 * c) * 6.283) + (noise >> 8) * 1e-8 - 0.08;
                block[static_cast<std::size_t>(f * kChannels + c)] = static_cast<float>(v);
            }
        }
        file.Write(block.data(), static_cast<std::size_t>(n * kChannels) * sizeof(float));
    }
}

// A document whose 16 channels are read on demand from the frames file,
// as the readers leave a long recording, shown whole.
struct Recording {
    Recording(const fs::path& folder, const fs::path& frames, double seconds) {
        app.tempFolder = folder.string();
        doc = std::make_unique<vocomet::COrielDoc>(app, prompts);
        auto file = std::make_shared<platform::File>(frames.string(), platform::File::Mode::Read);
        doc->SetChannelCount(kChannels);
        for (int c = 0; c < kChannels; ++c) {
            vocomet::CChannels& ch = doc->Channel(c);
            ch.sourceFile = file;
            ch.stride = kChannels;
            ch.channelNumber = c + 1;
            ch.rate = kRate;
            ch.sampleCount = std::floor(seconds * kRate);
            ch.duration = seconds * 1000.0;
            ch.shownEnd = ch.shownLength = ch.prevWindowEnd = ch.sampleCount;
            ch.stripHeight = 60;
            ch.timeReference = c == 0 ? 1 : 0;
            ch.name = "Channel " + std::to_string(c + 1);
        }
        doc->dataLoaded = 1;
        view = std::make_unique<vocomet::COrielView>(*doc);
        view->resize(1920 + 55 + 20, 1100);
        view->show();
        QApplication::processEvents();
    }
    double RebuildMs() {
        view->SetRedraw();
        const auto t0 = Clock::now();
        view->RebuildSurfaces();
        return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    }

    vocomet::ApplicationState app;
    bench::QuietPrompts prompts;
    std::unique_ptr<vocomet::COrielDoc> doc;
    std::unique_ptr<vocomet::COrielView> view;
};

void BM_RebuildHourAgainstTenSeconds(benchmark::State& state) {
    const fs::path folder = bench::WorkFolder("painting-bench");
    const fs::path hourPath = folder / "hour.f32";
    const fs::path shortPath = folder / "ten-seconds.f32";
    WriteFrames(hourPath, 3600.0);
    WriteFrames(shortPath, 10.0);
    {
        Recording hour(folder, hourPath, 3600.0);
        Recording ten(folder, shortPath, 10.0);
        const double firstHour = hour.RebuildMs();
        const auto t0 = Clock::now();
        hour.view->SummaryCache().WaitForBuilds(std::chrono::minutes(10));
        ten.RebuildMs();
        ten.view->SummaryCache().WaitForBuilds(std::chrono::minutes(1));
        const double build = std::chrono::duration<double>(Clock::now() - t0).count();
        double hourMs = 0.0, tenMs = 0.0;
        for (auto _ : state) {
            hourMs += hour.RebuildMs();
            tenMs += ten.RebuildMs();
        }
        const double n = static_cast<double>(state.iterations());
        state.counters["hour_ms"] = hourMs / n;
        state.counters["ten_s_ms"] = tenMs / n;
        state.counters["ratio"] = tenMs > 0.0 ? hourMs / tenMs : 0.0;
        state.counters["first_hour_ms"] = firstHour;
        state.counters["summary_build_s"] = build;
        state.counters["width_px"] = hour.doc->Channel(0).strip.Width();
    }
    std::error_code ec;
    fs::remove(hourPath, ec);
    fs::remove(shortPath, ec);
}
BENCHMARK(BM_RebuildHourAgainstTenSeconds)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
