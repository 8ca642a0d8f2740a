// Saving and reading back a one-hour recording of 16 channels at 16000 Hz
// (3.7 GB of float frames, just inside what a WAV file can describe), as a
// native "KOV_PC_FLOAT_24" file and as WAV. The recording is file-backed,
// as every recording of this length is, so each save copies from the
// document's data file and each read back converts into a scratch file.
//
// The yardstick is a plain block copy of a file of the same number of bytes
// in the same run: each step's counter "<step>_ratio" is its time divided
// by the plain copy's. The files are made in the build folder and removed at
// the end.

#include <benchmark/benchmark.h>

#include "BenchSupport.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/NativeFormat.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"
#include "platform/UserPrompts.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kChannels = 16;
constexpr double kRate = 16000.0;
constexpr double kSeconds = 3600.0;
using bench::kBlockBytes;

// The yardstick: a plain block copy of the file into a new file beside it.
double PlainCopySeconds(const fs::path& path) {
    const fs::path copy = path.string() + ".copy";
    ::sync();
    const auto start = Clock::now();
    {
        platform::File in(path.string(), platform::File::Mode::Read);
        platform::File out(copy.string(), platform::File::Mode::Create);
        std::vector<std::uint8_t> buffer(kBlockBytes);
        while (std::size_t n = in.Read(buffer.data(), buffer.size()))
            out.Write(buffer.data(), n);
    }
    const double took = std::chrono::duration<double>(Clock::now() - start).count();
    fs::remove(copy);
    return took;
}

template <typename Step>
double Timed(Step&& step) {
    ::sync();  // no step pays for the writes of the one before
    const auto start = Clock::now();
    step();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_SaveAndReadBackOneHour16Channels(benchmark::State& state) {
    const fs::path folder = bench::WorkFolder("save-load-bench");
    const fs::path source = folder / "source.vcm";
    const fs::path native = folder / "saved.vcm";
    const fs::path wave = folder / "saved.wav";
    bench::WriteNativeRecording(source, kSeconds, kChannels, kRate);

    vocomet::ApplicationState app;
    app.tempFolder = folder.string();
    app.startFolder = folder.string();
    bench::QuietPrompts prompts;
    bool ok = true;
    // Each step is timed right after its own yardstick, a plain copy of the
    // file it reads, so both meet the same state of the page cache.
    double save[2] = {}, load[2] = {}, copySave[2] = {}, copyLoad[2] = {};
    const fs::path saved[2] = {native, wave};
    const int codes[2] = {1, 2};
    for (auto _ : state) {
        for (int f = 0; f < 2; ++f) {
            std::vector<std::string> scratch;
            {
                vocomet::COrielDoc doc(app, prompts);
                ok = doc.OnOpenDocument(source.string()) && doc.Channel(0).IsFileBacked() && ok;
                scratch.push_back(doc.GetDataFilePath());
                copySave[f] += PlainCopySeconds(doc.GetDataFilePath());
                save[f] += Timed([&] { ok = doc.SaveDocumentAs(saved[f].string(), codes[f], false) == 1 && ok; });
            }
            {
                copyLoad[f] += PlainCopySeconds(saved[f]);
                vocomet::COrielDoc back(app, prompts);
                load[f] += Timed([&] { ok = back.OnOpenDocument(saved[f].string()) && ok; });
                ok = back.GetChannelCount() == kChannels && back.Channel(15).IsFileBacked() && ok;
                scratch.push_back(back.GetDataFilePath());
            }
            for (const std::string& path : scratch)
                if (!path.empty())
                    fs::remove(path);
        }
        state.SetIterationTime(save[0] + save[1] + load[0] + load[1]);
    }
    if (!ok)
        state.SkipWithError("a save or a read back failed");
    const double n = static_cast<double>(state.iterations());
    auto put = [&](const char* name, double seconds, double yardstick) {
        state.counters[std::string(name) + "_s"] = seconds / n;
        state.counters[std::string(name) + "_copy_s"] = yardstick / n;
        state.counters[std::string(name) + "_ratio"] = yardstick > 0 ? seconds / yardstick : 0.0;
    };
    put("save_native", save[0], copySave[0]);
    put("load_native", load[0], copyLoad[0]);
    put("save_wav", save[1], copySave[1]);
    put("load_wav", load[1], copyLoad[1]);
    state.SetBytesProcessed(static_cast<std::int64_t>(fs::file_size(wave)) * 4 * state.iterations());

    std::error_code ec;
    for (const fs::path& p : {source, native, wave, folder / "VocometConf.cfg"})
        fs::remove(p, ec);
    fs::remove(folder, ec);  // only when empty
}

BENCHMARK(BM_SaveAndReadBackOneHour16Channels)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
