#include "support/SpeechFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "support/TestPaths.h"

namespace vocomet::test {

std::vector<float> ReadPcm16(const std::string& path) {
    const std::string bytes = ReadAll(path);
    auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16 |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
    };
    std::vector<float> out;
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
        return out;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::uint32_t size = u32(at + 4);
        if (bytes.compare(at, 4, "data") == 0) {
            const std::size_t end = std::min(bytes.size(), at + 8 + size);
            for (std::size_t i = at + 8; i + 1 < end; i += 2) {
                const auto v = static_cast<std::int16_t>(static_cast<std::uint16_t>(
                    static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8));
                out.push_back(static_cast<float>(v) / 32768.0f);
            }
            break;
        }
        at += 8 + size + (size & 1);
    }
    return out;
}

std::vector<float> PraatVowel(const std::string& folder, double rate, double f0, double f1, double f2, double f3,
                              double seconds) {
    const std::string script = folder + "/vowel.praat", wav = folder + "/vowel.wav";
    // One pitch point: the F0 is the same all through.
    WriteAll(script,
             "form vowel\n real rate 22050\n real f0 120\n real f1 700\n real f2 1220\n real f3 2600\n"
             " real dur 0.5\n sentence out vowel.wav\nendform\n"
             "Create PitchTier: \"f0\", 0, dur\nAdd point: dur / 2, f0\nTo PointProcess\n"
             "To Sound (phonation): rate, 1, 0.05, 0.7, 0.03, 3, 4\n"
             "Filter with one formant (in-place): f1, 60\n"
             "Filter with one formant (in-place): f2, 90\n"
             "Filter with one formant (in-place): f3, 120\n"
             "Scale peak: 0.9\nSave as WAV file: out$\n");
    char args[512];
    std::snprintf(args, sizeof args, " %g %g %g %g %g %g '%s'", rate, f0, f1, f2, f3, seconds, wav.c_str());
    if (RunCommand("praat --run '" + script + "'" + args + " >/dev/null 2>&1") != 0)
        return {};
    return ReadPcm16(wav);
}

std::shared_ptr<platform::File> InterleavedFile(const std::string& path, const std::vector<float>& x, int stride,
                                                int column, float filler) {
    std::string bytes(x.size() * static_cast<std::size_t>(stride) * 4, '\0');
    for (std::size_t k = 0; k < x.size(); ++k) {
        for (int c = 0; c < stride; ++c) {
            const float v = c == column ? x[k] : filler * static_cast<float>(c + 1);
            std::memcpy(&bytes[(k * static_cast<std::size_t>(stride) + static_cast<std::size_t>(c)) * 4], &v, 4);
        }
    }
    WriteAll(path, bytes);
    auto f = std::make_shared<platform::File>();
    EXPECT_TRUE(f->Open(path, platform::File::Mode::Read));
    return f;
}

}  // namespace vocomet::test
