// Opening a recording the way the user does, until its window shows it,
// against cat of the same file timed in the same run.
//
// The application object is made as main() makes it (offscreen) and started
// once, outside the time; then every open is File > Open: the command's
// handler asks for the file (the prompts answer with the recording) and
// opens it into a new child window of the main window, as a file named on
// the command line is. The clock stops when the viewport of that child
// window's view has finished its first paint that drew the recording's
// traces: the real paint of the real widget, caught by an event filter of
// the application that lets the paint run and then reads the clock.
//
//  ratio_first_picture: File > Open to that first paint, against the wall
//    time of /bin/cat FILE >/dev/null, both with the file in the page cache.
//  ratio_first_picture_cold: the same with the file's pages dropped
//    (sync, then posix_fadvise DONTNEED) before cat and before the open.
//  ratio_summaries_ready: File > Open until every channel's min/max summary
//    is at hand (made by the load, or by the view's cache over the data
//    file), the application handling its events meanwhile; warm, and
//    ratio_summaries_ready_cold with the pages dropped as above.
//  cpu_ratio_first_picture: the CPU seconds (user + system) of the whole
//    process, every thread, from File > Open to the first paint, against
//    cat's (its own rusage): threads cannot hide work. A background copy
//    still running at the first paint is counted up to that paint only.
//  load_average_1m: the 1-minute load average at the end of the run, so
//    that a figure can be read against how busy the machine was.
//
// Recordings: 16 channels at 22050 Hz, an hour (native float, 5.1 GB:
// ratio_first_picture and friends; 16-bit WAV, 2.5 GB: the same counters
// ending in _wav) only with VOCOMET_BENCH_HOUR=1, and 200 s (native and
// WAV: the counters end in _short and _short_wav), which always run.
// Every repetition is a warm pair (cat, then the open) and a cold pair; a
// counter is the median of the per-pair ratios. Goals: ratio_first_picture
// at most 1.5 (warm), cpu_ratio_first_picture at most 4 (native hour),
// ratio_first_picture_wav at most 3.
//
// The files are made in a folder beside the benchmark program and removed
// at the end; so are the application's temp folder and settings in it.

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QSettings>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "app/ui/CChildFrame.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielApp.h"
#include "app/ui/COrielView.h"
#include "core/COrielDoc.h"
#include "platform/ProfileStore.h"

namespace {

namespace fs = std::filesystem;

constexpr int kChannels = 16;
constexpr double kRate = 22050.0;

// CPU seconds (user + system) of every thread of this process so far.
double ProcessCpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return bench::SecondsOf(u.ru_utime) + bench::SecondsOf(u.ru_stime);
}

// Writes the file's dirty pages and then drops its pages from the page
// cache, so that the next reader reads it from the disk.
void DropFromPageCache(const fs::path& path) {
    ::sync();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

// Answers File > Open with the file set in `next`; says nothing else.
class OpeningPrompts : public bench::QuietPrompts {
public:
    std::string next;
    std::optional<std::string> AskOpenPath(const platform::FileDialogRequest&) override { return next; }
};

// Catches the first paint of a view's viewport that drew traces: the paint
// runs inside the filter, and the clock is read when it has ended.
class FirstPaintWatch : public QObject {
public:
    bool painted = false;
    bench::Clock::time_point at;
    double cpu = 0.0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (painted || event->type() != QEvent::Paint || m_inside)
            return false;
        auto* view = qobject_cast<vocomet::COrielView*>(watched->parent());
        if (!view || view->viewport() != watched)
            return false;
        m_inside = true;
        // The paint goes its own way (through the view, which draws its
        // viewport) inside this call, in the paint context Qt set up.
        QCoreApplication::sendEvent(watched, event);
        m_inside = false;
        // Traces were drawn when the paint showed rebuilt surfaces of a
        // recording that holds samples.
        const vocomet::COrielDoc& doc = view->GetDocument();
        if (view->RebuildCount() > 0 && !view->NeedsRedraw() && doc.GetChannelCount() > 0 &&
            doc.Channel(0).sampleCount > 0) {
            painted = true;
            at = bench::Clock::now();
            cpu = ProcessCpuSeconds();
        }
        return true;
    }

private:
    bool m_inside = false;
};

// True when every channel's summary is at hand: made by its load, or (for a
// channel read from a data file) built by the view's cache. A channel in
// memory without one is summarised on the spot while it is drawn.
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

struct OpenTimes {
    bool ok = false;
    double firstPicture = 0.0;
    double summariesReady = 0.0;
    double cpu = 0.0;
};

// The application as main() makes it, started in folder (its temp folder is
// folder/tmp), its main window shown at a desktop's size.
struct RunningApp {
    OpeningPrompts prompts;
    platform::MemoryProfileStore profile;
    std::unique_ptr<vocomet::COrielApp> app;

    explicit RunningApp(const fs::path& folder) {
        // The recent-file list goes into the work folder, not the user's
        // settings.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromStdString((folder / "settings").string()));
        vocomet::COrielApp::Options o;
        o.prompts = &prompts;
        o.profile = &profile;
        o.startFolder = folder.string();
        o.firmwarePath = (folder / "ada.ldr").string();
        o.registerFileTypes = false;
        o.showMaximized = false;
        app = std::make_unique<vocomet::COrielApp>(o);
        if (!app->InitInstance({}))
            app.reset();
        else {
            app->MainFrame()->resize(1920, 1080);
            QApplication::processEvents();
        }
    }
    ~RunningApp() {
        if (app) {
            app->ExitInstance();
            app.reset();
        }
        QApplication::processEvents();
    }

    // File > Open of path, until the first picture and then the summaries.
    OpenTimes Open(const fs::path& path) {
        OpenTimes t;
        FirstPaintWatch watch;
        qApp->installEventFilter(&watch);
        prompts.next = path.string();
        const double cpu0 = ProcessCpuSeconds();
        const auto start = bench::Clock::now();
        app->OnFileOpen();
        QPointer<vocomet::CChildFrame> frame = app->ActiveChildFrame();
        while (frame && !watch.painted && bench::Clock::now() - start < std::chrono::minutes(10)) {
            QApplication::processEvents();
            if (!watch.painted)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        qApp->removeEventFilter(&watch);
        if (!frame || !watch.painted || !frame->GetView())
            return t;
        t.firstPicture = std::chrono::duration<double>(watch.at - start).count();
        t.cpu = watch.cpu - cpu0;
        bool ready = SummariesReady(frame->GetDocument(), *frame->GetView());
        while (!ready && bench::Clock::now() - start < std::chrono::minutes(10)) {
            QApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            ready = SummariesReady(frame->GetDocument(), *frame->GetView());
        }
        t.summariesReady = std::chrono::duration<double>(bench::Clock::now() - start).count();
        t.ok = ready && frame->GetDocument().GetChannelCount() == kChannels;
        // The window closes (its scratch file goes with it) before the next.
        frame->close();
        QApplication::processEvents();
        delete frame.data();
        QApplication::processEvents();
        return t;
    }
};

enum class Kind { Native, Wave };

void OpenToFirstPicture(benchmark::State& state, Kind kind, double seconds, const std::string& suffix) {
    const fs::path folder = bench::WorkFolder("load-picture-bench");
    const fs::path path = folder / (kind == Kind::Native ? "take.vcm" : "take.wav");
    if (kind == Kind::Native)
        bench::WriteNativeRecording(path, seconds, kChannels, kRate);
    else
        bench::WriteWave16Recording(path, seconds, kChannels, static_cast<std::uint32_t>(kRate));
    ::sync();
    bench::CatProcess(path);

    bench::Pairs warm, cold, ready, readyCold, cpu;
    bool ok = true;
    {
        RunningApp running(folder);
        if (!running.app) {
            state.SkipWithError("the application did not start");
            ok = false;
        }
        for (auto _ : state) {
            if (!running.app)
                break;
            ::sync();
            const bench::CatRun cat = bench::CatProcess(path);
            ::sync();
            const OpenTimes open = running.Open(path);
            ok = ok && open.ok;
            warm.Add(cat.seconds, open.firstPicture);
            ready.Add(cat.seconds, open.summariesReady);
            cpu.Add(cat.cpuSeconds, open.cpu);
            state.SetIterationTime(std::max(open.firstPicture, 1e-9));

            DropFromPageCache(path);
            const bench::CatRun coldCat = bench::CatProcess(path);
            DropFromPageCache(path);
            const OpenTimes coldOpen = running.Open(path);
            ok = ok && coldOpen.ok;
            cold.Add(coldCat.seconds, coldOpen.firstPicture);
            readyCold.Add(coldCat.seconds, coldOpen.summariesReady);
            // Warm again for the next pair.
            bench::CatProcess(path);
        }
    }
    if (!ok)
        state.SkipWithError("the recording did not open, show or get its summaries");
    state.counters["ratio_first_picture" + suffix] = warm.MedianRatio();
    state.counters["ratio_first_picture" + suffix + "_cold"] = cold.MedianRatio();
    state.counters["ratio_summaries_ready" + suffix] = ready.MedianRatio();
    state.counters["ratio_summaries_ready" + suffix + "_cold"] = readyCold.MedianRatio();
    state.counters["cpu_ratio_first_picture" + suffix] = cpu.MedianRatio();
    state.counters["first_picture_s"] = bench::Median(warm.subject);
    state.counters["first_picture_cold_s"] = bench::Median(cold.subject);
    state.counters["summaries_ready_s"] = bench::Median(ready.subject);
    state.counters["first_picture_cpu_s"] = bench::Median(cpu.subject);
    state.counters["cat_s"] = bench::Median(warm.yardstick);
    state.counters["cat_cold_s"] = bench::Median(cold.yardstick);
    state.counters["cat_cpu_s"] = bench::Median(cpu.yardstick);
    double load[1] = {0.0};
    if (::getloadavg(load, 1) == 1)
        state.counters["load_average_1m"] = load[0];
    state.SetBytesProcessed(static_cast<std::int64_t>(fs::file_size(path)) * state.iterations());

    std::error_code ec;
    bench::Drop(path);
    fs::remove_all(folder / "tmp", ec);
    fs::remove_all(folder / "settings", ec);
    bench::Drop(folder / "VocometConf.cfg");
    fs::remove(folder, ec);  // only when empty
}

bool RegisterOpen(const char* name, Kind kind, double seconds, const char* suffix, benchmark::TimeUnit unit) {
    benchmark::RegisterBenchmark(name, [=](benchmark::State& s) { OpenToFirstPicture(s, kind, seconds, suffix); })
        ->Iterations(5)
        ->UseManualTime()
        ->Unit(unit);
    return true;
}

[[maybe_unused]] const bool kShortRegistered =
    RegisterOpen("BM_Open200s16ChannelsToFirstPicture", Kind::Native, 200.0, "_short", benchmark::kMillisecond) &&
    RegisterOpen("BM_Open200s16ChannelsWavToFirstPicture", Kind::Wave, 200.0, "_short_wav", benchmark::kMillisecond);

[[maybe_unused]] const bool kHourRegistered =
    bench::HourLongRuns() &&
    RegisterOpen("BM_OpenHour16ChannelsToFirstPicture", Kind::Native, 3600.0, "", benchmark::kSecond) &&
    RegisterOpen("BM_OpenHour16ChannelsWavToFirstPicture", Kind::Wave, 3600.0, "_wav", benchmark::kSecond);

}  // namespace
