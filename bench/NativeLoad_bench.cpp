// Loading interleaved "KOV_PC_FLOAT_24" recordings, against the yardstick of
// a plain sequential read of the same bytes in the same run:
//  - one hour of 16 channels at 22050 Hz (about 5 GB): copied into a scratch
//    file and read on demand;
//  - 200 seconds of the same: loaded into memory.
// The counter "ratio" is load time / plain read time. For context, the
// one-hour case also times a plain block copy of the file ("copy_ratio":
// load / copy), and the 200-second case the first touch of as much fresh
// memory ("fresh_memory_s"). The files are made in the build folder and
// removed at the end.

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
constexpr double kRate = 22050.0;
using bench::kBlockBytes;

// The yardstick: every byte of the file, read in large sequential blocks.
double PlainReadSeconds(const fs::path& path) {
    const auto start = Clock::now();
    platform::File file(path.string(), platform::File::Mode::Read);
    std::vector<std::uint8_t> buffer(kBlockBytes);
    std::uint64_t sum = 0;
    while (std::size_t n = file.Read(buffer.data(), buffer.size()))
        sum += buffer[n - 1];
    benchmark::DoNotOptimize(sum);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Context for the scratch-file load: a plain block copy of the whole file
// into a new file beside it (what any copy to disk costs here).
double PlainCopySeconds(const fs::path& path) {
    const fs::path copy = path.string() + ".copy";
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

// Context for the in-memory load: the cost of the first touch of fresh
// memory of the same size (page faults), which no load into memory avoids.
double FreshMemorySeconds(std::uint64_t bytes) {
    const auto start = Clock::now();
    std::vector<float> block(static_cast<std::size_t>(bytes / sizeof(float)));
    benchmark::DoNotOptimize(block.data());
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void LoadBeside(benchmark::State& state, double seconds) {
    const fs::path folder = bench::WorkFolder("native-load-bench");
    const fs::path path = folder / ("bench_" + std::to_string(static_cast<int>(seconds)) + "s.vcm");
    bench::WriteNativeRecording(path, seconds, kChannels, kRate);

    vocomet::ApplicationState app;
    app.tempFolder = folder.string();
    app.startFolder = folder.string();
    bench::QuietPrompts prompts;
    double loadTotal = 0.0, readTotal = 0.0;
    bool ok = true;
    double copyTotal = 0.0;
    // Every step starts with no dirty pages waiting to be written back, so
    // no step pays for the writes of the one before.
    for (auto _ : state) {
        ::sync();
        readTotal += PlainReadSeconds(path);
        if (seconds >= 300.0) {
            ::sync();
            copyTotal += PlainCopySeconds(path);
        }
        ::sync();
        std::string scratch;
        {
            vocomet::COrielDoc doc(app, prompts);
            const auto start = Clock::now();
            ok = doc.OnOpenDocument(path.string()) && ok;
            const double took = std::chrono::duration<double>(Clock::now() - start).count();
            loadTotal += took;
            state.SetIterationTime(took);
            scratch = doc.GetDataFilePath();
        }
        if (!scratch.empty())
            fs::remove(scratch);
    }
    if (!ok)
        state.SkipWithError("the recording did not load");
    const double iterations = static_cast<double>(state.iterations());
    state.counters["load_s"] = loadTotal / iterations;
    state.counters["plain_read_s"] = readTotal / iterations;
    state.counters["ratio"] = readTotal > 0.0 ? loadTotal / readTotal : 0.0;
    const std::uint64_t bytes = fs::file_size(path);
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
    if (seconds < 300.0) {
        state.counters["fresh_memory_s"] = FreshMemorySeconds(bytes);
    } else {
        const double copy = copyTotal / iterations;
        state.counters["plain_copy_s"] = copy;
        state.counters["copy_ratio"] = copy > 0.0 ? loadTotal / iterations / copy : 0.0;
    }
    fs::remove(path);
    std::error_code ec;
    fs::remove(folder / "VocometConf.cfg", ec);
    fs::remove(folder, ec);  // only when empty
}

void BM_LoadOneHour16Channels(benchmark::State& state) { LoadBeside(state, 3600.0); }
void BM_Load200Seconds16Channels(benchmark::State& state) { LoadBeside(state, 200.0); }

BENCHMARK(BM_LoadOneHour16Channels)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Load200Seconds16Channels)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
