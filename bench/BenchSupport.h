#pragma once
// What the benchmarks share: prompts that say nothing, a work folder beside
// the benchmark program, and a native recording of any length written in
// large blocks.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

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

}  // namespace bench
