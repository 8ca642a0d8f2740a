#pragma once
// What the benchmarks share: prompts that say nothing, a work folder beside
// the benchmark program, native and WAV recordings of any length written in
// large blocks, the yardsticks the file benchmarks are measured against
// (cat in this process, the system's cat with its CPU time, cp, cp with
// fsync, fresh memory), the median of paired ratios, and long speech made
// by espeak-ng with Praat's stopwatch as an analysis yardstick.
//
// Paired ratios: these machines are noisy, so a benchmark times its
// yardstick and then its subject, again and again, and reports the median
// of the per-pair ratios; a slow moment spoils one pair, not the figure.
//
// The benchmarks of hour-long recordings (gigabytes on disk, minutes of
// run time) only run when VOCOMET_BENCH_HOUR=1 is set.

#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/NativeFormat.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"
#include "platform/UserPrompts.h"

namespace bench {

namespace fs = std::filesystem;

inline constexpr std::size_t kBlockBytes = std::size_t{8} << 20;

class QuietPrompts : public platform::UserPrompts {
public:
    platform::Answer Message(const std::string&, platform::Buttons, platform::Icon, const std::string&) override {
        return platform::Answer::Ok;
    }
    void Beep() override {}
    std::optional<std::string> AskOpenPath(const platform::FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::string> AskSavePath(const platform::FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::string> AskFolder(const std::string&, const std::string&) override { return std::nullopt; }
    void SetBusy(bool) override {}
};

// A folder named name beside the benchmark program (in the build folder).
inline fs::path WorkFolder(const std::string& name) {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    const fs::path folder = (ec ? fs::current_path() : exe.parent_path()) / name;
    fs::create_directories(folder);
    return folder;
}

// Writes an interleaved "KOV_PC_FLOAT_24" recording of the given length.
inline void WriteNativeRecording(const fs::path& path, double seconds, int channels, double rate) {
    const std::int64_t frames = static_cast<std::int64_t>(seconds * rate);
    platform::File file(path.string(), platform::File::Mode::Create);
    std::vector<std::uint8_t> head(vocomet::kNativeFileHeaderSize + channels * vocomet::kNativeChannelHeaderSize);
    platform::ByteSpan out(head.data(), head.size());
    out.Text(0, 32, "KOV_PC_FLOAT_24");
    out.I32LE(32, channels);
    for (int c = 0; c < channels; ++c) {
        const std::size_t at = vocomet::kNativeFileHeaderSize + c * vocomet::kNativeChannelHeaderSize;
        out.F64LE(at + 0, static_cast<double>(frames) / rate * 1000.0);
        out.F64LE(at + 8, rate);
        out.F64LE(at + 16, static_cast<double>(frames));
        out.F64LE(at + 48, 1.0);  // C
        out.I32LE(at + 68, 24);
        out.I32LE(at + 80, c + 1);
        out.I32LE(at + 84, 1);
        out.Text(at + 116, 64, "ch" + std::to_string(c + 1));
        out.Text(at + 180, 68, "normalized");
    }
    file.Write(head.data(), head.size());
    std::vector<float> block(kBlockBytes / sizeof(float));
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<float>(i % 1000) * 0.001f;
    std::uint64_t left = static_cast<std::uint64_t>(frames) * channels * sizeof(float);
    while (left > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, kBlockBytes));
        file.Write(block.data(), n);
        left -= n;
    }
}

// Frames of a 16-bit PCM WAV file of the given length: a RIFF header, a
// 16-byte "fmt " chunk (tag 1) and the "data" chunk.
inline void WriteWave16Recording(const fs::path& path, double seconds, int channels, std::uint32_t rate) {
    const std::uint64_t frames = static_cast<std::uint64_t>(seconds * rate);
    const std::uint64_t dataBytes = frames * static_cast<std::uint64_t>(channels) * 2;
    if (dataBytes + 36 > 0xFFFFFFFFull)
        throw std::length_error("too long for a WAV file");
    std::uint8_t head[44] = {};
    platform::ByteSpan out(head, sizeof head);
    std::memcpy(head + 0, "RIFF", 4);
    out.U32LE(4, static_cast<std::uint32_t>(dataBytes + 36));
    std::memcpy(head + 8, "WAVE", 4);
    std::memcpy(head + 12, "fmt ", 4);
    out.U32LE(16, 16);
    out.U16LE(20, 1);  // PCM
    out.U16LE(22, static_cast<std::uint16_t>(channels));
    out.U32LE(24, rate);
    out.U32LE(28, rate * static_cast<std::uint32_t>(channels) * 2);
    out.U16LE(32, static_cast<std::uint16_t>(channels * 2));
    out.U16LE(34, 16);
    std::memcpy(head + 36, "data", 4);
    out.U32LE(40, static_cast<std::uint32_t>(dataBytes));
    platform::File file(path.string(), platform::File::Mode::Create);
    file.Write(head, sizeof head);
    std::vector<std::uint8_t> block(kBlockBytes);
    for (std::size_t i = 0; i + 1 < block.size(); i += 2)
        platform::PutI16LE(block.data() + i, static_cast<std::int16_t>(static_cast<int>(i / 2 % 1000) * 30 - 15000));
    for (std::uint64_t left = dataBytes; left > 0;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
        file.Write(block.data(), n);
        left -= n;
    }
}

// ---- timing and yardsticks ----

using Clock = std::chrono::steady_clock;

template <typename Step>
double Seconds(Step&& step) {
    const auto start = Clock::now();
    step();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// True when the benchmarks of hour-long recordings are to run.
inline bool HourLongRuns() {
    const char* v = std::getenv("VOCOMET_BENCH_HOUR");
    return v && *v && std::strcmp(v, "0") != 0;
}

// What cat does: read(2) of the whole file in 128 KiB blocks into one
// reused buffer (cat's own block size; writing to /dev/null costs nothing).
inline double CatSeconds(const fs::path& path) {
    static std::vector<std::uint8_t> buffer(std::size_t{128} << 10);
    std::uint64_t sum = 0;
    const double took = Seconds([&] {
        platform::File file(path.string(), platform::File::Mode::Read);
        while (std::size_t n = file.Read(buffer.data(), buffer.size()))
            sum += buffer[n - 1];
    });
    volatile std::uint64_t keep = sum;
    (void)keep;
    return took;
}

// Seconds of a rusage time.
inline double SecondsOf(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

// Runs the system's own program (posix_spawn, then wait4) with args, its
// output to /dev/null when quiet, and fills usage with what it used. Throws
// when it cannot be run or fails.
inline void RunSystemTool(const char* program, std::vector<std::string> args, bool quiet, rusage* usage) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    if (quiet)
        ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int err = ::posix_spawn(&pid, program, &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (err)
        throw std::system_error(err, std::generic_category(), std::string("cannot run ") + program);
    int status = 0;
    while (::wait4(pid, &status, 0, usage) < 0)
        if (errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "wait4");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(std::string(program) + " failed");
}

// The system's own cat of a file: its wall time (spawn to exit) and its
// CPU seconds, user and system, from its own rusage.
struct CatRun {
    double seconds = 0.0;
    double cpuSeconds = 0.0;
};

// Runs /bin/cat path >/dev/null.
inline CatRun CatProcess(const fs::path& path) {
    CatRun run;
    rusage usage{};
    run.seconds = Seconds([&] { RunSystemTool("/bin/cat", {"cat", path.string()}, true, &usage); });
    run.cpuSeconds = SecondsOf(usage.ru_utime) + SecondsOf(usage.ru_stime);
    return run;
}

// Runs the system's own /bin/cp from to to; with fsync, then opens the copy
// and flushes it to disk, as a save must.
inline double CpSeconds(const fs::path& from, const fs::path& to, bool fsync) {
    return Seconds([&] {
        RunSystemTool("/bin/cp", {"cp", from.string(), to.string()}, false, nullptr);
        if (fsync)
            platform::File(to.string(), platform::File::Mode::Read).Flush();
    });
}

// The first touch of as many bytes of fresh memory (new pages, every byte
// written), which no load into memory avoids. The pages are returned
// afterwards, outside the time.
inline double FreshMemorySeconds(std::uint64_t bytes) {
    void* p = nullptr;
    const double took = Seconds([&] {
        p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            throw std::bad_alloc();
        std::memset(p, 1, bytes);
    });
    ::munmap(p, bytes);
    return took;
}

// Removes a file, quietly; for the big files at the end of a benchmark.
inline void Drop(const fs::path& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

inline double Median(std::vector<double> values) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t m = values.size() / 2;
    return values.size() % 2 ? values[m] : (values[m - 1] + values[m]) / 2.0;
}

// Times of paired runs: each pair is a yardstick and then the subject,
// measured one right after the other.
struct Pairs {
    std::vector<double> yardstick, subject;

    void Add(double yardstickSeconds, double subjectSeconds) {
        yardstick.push_back(yardstickSeconds);
        subject.push_back(subjectSeconds);
    }
    // The median of the per-pair ratios subject / yardstick.
    double MedianRatio() const {
        std::vector<double> ratios;
        for (std::size_t i = 0; i < subject.size(); ++i)
            if (yardstick[i] > 0.0)
                ratios.push_back(subject[i] / yardstick[i]);
        return Median(ratios);
    }
};

// True when the program is on PATH (espeak-ng, sox, praat).
inline bool HaveTool(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// What a shell command writes to its standard output.
inline std::string CommandOutput(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[256];
        while (fgets(buf, sizeof buf, p))
            out += buf;
        pclose(p);
    }
    return out;
}

// The WAV file of SpeechAt22050's speech, for the yardstick to read.
inline fs::path SpeechWav(const fs::path& folder, int seconds) {
    return folder / ("speech" + std::to_string(seconds) + ".wav");
}

// Seconds of espeak-ng speech at 22050 Hz, the sentences spoken in turn
// `sentenceCount` times, as a WAV file (SpeechWav) and as floats (sox pads
// or cuts to the length). Made once per folder; without espeak-ng or sox,
// or when it could not be made, the benchmark is skipped and this is empty.
inline std::vector<float> SpeechAt22050(benchmark::State& state, const fs::path& folder,
                                        const std::vector<std::string>& sentences, int sentenceCount, int seconds) {
    if (!HaveTool("espeak-ng") || !HaveTool("sox")) {
        state.SkipWithError("espeak-ng or sox missing");
        return {};
    }
    const fs::path wav = SpeechWav(folder, seconds), raw = folder / ("speech" + std::to_string(seconds) + ".f32");
    if (!fs::exists(raw)) {
        std::string text;
        for (int i = 0; i < sentenceCount; ++i)
            text += sentences[static_cast<std::size_t>(i) % sentences.size()] + " ";
        std::ofstream(folder / "speech.txt") << text;
        const std::string s = std::to_string(seconds);
        [[maybe_unused]] const int status =
            std::system(("espeak-ng -f '" + (folder / "speech.txt").string() + "' -w '" +
                         (folder / "raw.wav").string() + "' >/dev/null 2>&1 && sox '" + (folder / "raw.wav").string() +
                         "' -r 22050 '" + wav.string() + "' trim 0 " + s + " pad 0 " + s + " trim 0 " + s +
                         " 2>/dev/null && sox '" + wav.string() + "' -t f32 '" + raw.string() + "'")
                            .c_str());
    }
    std::ifstream in(raw, std::ios::binary);
    std::vector<float> x(static_cast<std::size_t>(22050) * static_cast<std::size_t>(seconds));
    in.read(reinterpret_cast<char*>(x.data()), static_cast<std::streamsize>(x.size() * sizeof(float)));
    if (in.gcount() != static_cast<std::streamsize>(x.size() * sizeof(float))) {
        state.SkipWithError("no speech made");
        x.clear();
    }
    return x;
}

// Praat's time for `command` on the WAV file, measured by its own stopwatch
// (its start-up and the file's reading left out); 0 when praat fails.
inline double PraatStopwatchSeconds(const fs::path& script, const fs::path& wav, const std::string& command) {
    std::ofstream(script) << "Read from file: \"" << wav.string() << "\"\n"
                          << "stopwatch\n"
                          << command << "\nt = stopwatch\nwriteInfoLine: t\n";
    return std::atof(CommandOutput("praat --run '" + script.string() + "' 2>/dev/null").c_str());
}

}  // namespace bench
