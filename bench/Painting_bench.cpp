// Rebuilding the main view's surfaces for a 16-channel file-backed
// recording at full width (1920 pixels), against yardsticks in the same run.
//
// BM_RebuildHourAgainstTenSeconds: one hour against ten seconds, both with
// their summaries ready, in alternating pairs; "ratio_rebuild" is the median
// of the per-pair ratios (goal: at most 2). "ratio_rebuild_handed" is the
// same for an hour whose summaries came with it (as the loaders hand them
// over) instead of being built by the view. "first_hour_ms" is the first
// picture of the hour (the show with its rebuild), before any summary
// exists: it must not scan the hour but draw what is summarised
// ("first_hour_frames" read); "summary_build_s" is the time from the show
// until the view's background build of the hour's summaries ended.
//
// BM_RebuildSpansOfTheHour: the hour shown as windows of 1 s, 10 s, 30 s,
// 5 min and the whole hour, each rebuild paired with one of the whole view;
// "max_span_ratio" is the largest over the spans of the median per-pair
// ratio span / whole (goal: at most 2), "span_*_ms" the median rebuilds.
//
// All medians are over the benchmark's iterations. The recordings are raw
// frames of 16 floats at 22050 Hz (the hour is about 5 GB) written in the
// build folder once and removed at the end; so these run only with
// VOCOMET_BENCH_HOUR=1.

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/ui/COrielView.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/SampleSummary.h"
#include "platform/File.h"
#include "platform/UserPrompts.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Summaries = std::vector<std::shared_ptr<const vocomet::SampleSummary>>;

constexpr int kChannels = 16;
constexpr double kRate = 22050.0;
constexpr double kHourSeconds = 3600.0;

// Frames of a voice-like signal per channel (a tone under a slow swell with
// a little noise), written in large blocks; their summaries are made on the
// way, as a loader makes them.
Summaries WriteFrames(const fs::path& path, double seconds) {
    const std::int64_t frames = static_cast<std::int64_t>(seconds * kRate);
    constexpr std::int64_t kBlockFrames = 65536;
    std::vector<float> block(static_cast<std::size_t>(kBlockFrames * kChannels));
    platform::File file(path.string(), platform::File::Mode::Create);
    vocomet::FrameSummaryBuilder builder(kChannels);
    builder.Reserve(frames);
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
        builder.AddFrames(block.data(), static_cast<std::size_t>(n));
    }
    Summaries out;
    for (vocomet::SampleSummary& s : builder.Finish())
        out.push_back(std::make_shared<const vocomet::SampleSummary>(std::move(s)));
    return out;
}

// The two recordings, written once for every benchmark of the run.
struct Files {
    fs::path folder = bench::WorkFolder("painting-bench");
    fs::path hour = folder / "hour.f32";
    fs::path ten = folder / "ten-seconds.f32";
    Summaries hourSummaries = WriteFrames(hour, kHourSeconds);
    Summaries tenSummaries = WriteFrames(ten, 10.0);

    ~Files() {
        for (const fs::path& p : {hour, ten, folder / "VocometConf.cfg"})
            bench::Drop(p);
        std::error_code ec;
        fs::remove(folder, ec);  // only when empty
    }
};

Files& SharedFiles() {
    static Files files;
    return files;
}

// A document whose 16 channels are read on demand from the frames file,
// as the readers leave a long recording, shown whole; with `summaries` the
// channels carry the summaries made while the file was written.
struct Recording {
    Recording(const fs::path& folder, const fs::path& frames, double seconds, const Summaries* summaries) {
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
            if (summaries)
                ch.samplesSummary = (*summaries)[static_cast<std::size_t>(c)];
        }
        doc->dataLoaded = 1;
        view = std::make_unique<vocomet::COrielView>(*doc);
        view->resize(1920 + 55 + 20, 1100);
        view->show();
        // The first picture: the events of the show, with its rebuild.
        const auto t0 = Clock::now();
        QApplication::processEvents();
        if (view->RebuildCount() == 0)
            view->RedrawBuffers();
        firstMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        firstFrames = view->Painter().FramesRead();
    }
    double RebuildMs() {
        view->SetRedraw();
        const auto t0 = Clock::now();
        view->RedrawBuffers();
        return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    }
    // Every channel shows spanMs around the middle of the recording (0:
    // the whole recording).
    void Show(double spanMs) {
        if (spanMs <= 0.0) {
            view->OnZoomHome();
        } else {
            doc->settings.zoomDuration = spanMs;
            view->ScrollToTime(1234567.8);
        }
    }

    vocomet::ApplicationState app;
    bench::QuietPrompts prompts;
    std::unique_ptr<vocomet::COrielDoc> doc;
    std::unique_ptr<vocomet::COrielView> view;
    double firstMs = 0.0;
    std::int64_t firstFrames = 0;
};

void BM_RebuildHourAgainstTenSeconds(benchmark::State& state) {
    Files& files = SharedFiles();
    // The ten seconds first, so that what the first picture of a process
    // sets up (fonts) is not counted against the hour.
    Recording ten(files.folder, files.ten, 10.0, nullptr);
    ten.view->SummaryCache().WaitForBuilds(std::chrono::minutes(1));
    const auto t0 = Clock::now();
    Recording hour(files.folder, files.hour, kHourSeconds, nullptr);
    hour.view->SummaryCache().WaitForBuilds(std::chrono::minutes(10));
    const double build = std::chrono::duration<double>(Clock::now() - t0).count();
    Recording handed(files.folder, files.hour, kHourSeconds, &files.hourSummaries);
    ten.RebuildMs();
    hour.RebuildMs();
    handed.RebuildMs();

    bench::Pairs built, given;  // the ten seconds, then the hour
    for (auto _ : state) {
        const double t = ten.RebuildMs();
        built.Add(t, hour.RebuildMs());
        const double t2 = ten.RebuildMs();
        given.Add(t2, handed.RebuildMs());
    }
    state.counters["hour_ms"] = bench::Median(built.subject);
    state.counters["hour_handed_ms"] = bench::Median(given.subject);
    state.counters["ten_s_ms"] = bench::Median(built.yardstick);
    state.counters["ratio_rebuild"] = built.MedianRatio();
    state.counters["ratio_rebuild_handed"] = given.MedianRatio();
    state.counters["first_hour_ms"] = hour.firstMs;
    state.counters["first_hour_frames"] = static_cast<double>(hour.firstFrames);
    state.counters["hour_frames"] = static_cast<double>(hour.view->Painter().FramesRead());
    state.counters["ten_s_frames"] = static_cast<double>(ten.view->Painter().FramesRead());
    state.counters["summary_build_s"] = build;
    state.counters["width_px"] = hour.doc->Channel(0).strip.Width();
}

void BM_RebuildSpansOfTheHour(benchmark::State& state) {
    Files& files = SharedFiles();
    Recording hour(files.folder, files.hour, kHourSeconds, &files.hourSummaries);
    struct Span {
        const char* name;
        double ms;
        bench::Pairs rebuilds;  // the whole hour, then the span
    };
    std::vector<Span> spans{{"1s", 1000.0, {}},
                            {"10s", 10000.0, {}},
                            {"30s", 30000.0, {}},
                            {"5min", 300000.0, {}},
                            {"hour", 0.0, {}}};
    for (Span& s : spans) {  // once over, so that every first touch is behind us
        hour.Show(s.ms);
        hour.RebuildMs();
    }
    for (auto _ : state) {
        for (Span& s : spans) {
            hour.Show(0.0);
            const double whole = hour.RebuildMs();
            hour.Show(s.ms);
            s.rebuilds.Add(whole, hour.RebuildMs());
        }
    }
    double worst = 0.0;
    for (const Span& s : spans) {
        const double ratio = s.rebuilds.MedianRatio();
        worst = std::max(worst, ratio);
        state.counters[std::string("span_") + s.name + "_ms"] = bench::Median(s.rebuilds.subject);
        state.counters[std::string("span_") + s.name + "_ratio"] = ratio;
    }
    state.counters["max_span_ratio"] = worst;
}
[[maybe_unused]] const bool kRegistered =
    bench::HourLongRuns() &&
    benchmark::RegisterBenchmark("BM_RebuildHourAgainstTenSeconds", BM_RebuildHourAgainstTenSeconds)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(21) &&
    benchmark::RegisterBenchmark("BM_RebuildSpansOfTheHour", BM_RebuildSpansOfTheHour)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(15);

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
