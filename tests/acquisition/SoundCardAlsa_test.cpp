// The player through PortAudio into a real ALSA device: the `file`
// plug-in, which writes what it is given into a raw file. Each test writes
// its own ALSA configuration and points ALSA_CONFIG_PATH at it before
// PortAudio starts.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include "acquisition/CSoundOut.h"
#include "platform/Audio.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

using namespace std::chrono_literals;

class SoundCardAlsa : public ::testing::Test {
protected:
    // A playback device that writes 16-bit frames into rawPath.
    void UseFileDevice() {
        dir = test::FreshTempDir();
        rawPath = dir + "/played.raw";
        UseConfiguration("pcm.!default {\n  type plug\n  slave.pcm \"vocomet_file\"\n}\n"
                         "pcm.vocomet_file {\n  type file\n  slave.pcm { type null }\n  file \"" +
                         rawPath + "\"\n  format \"raw\"\n}\n");
    }
    // ALSA with no card behind its default device.
    void UseNoDevice() {
        dir = test::FreshTempDir();
        UseConfiguration("pcm.!default {\n  type hw\n  card 99\n}\n");
    }

    void UseConfiguration(const std::string& text) {
        const std::string path = dir + "/asound.conf";
        test::WriteAll(path, text);
        ::setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
        ::setenv("JACK_NO_START_SERVER", "1", 1);
        backend = platform::MakePortAudioBackend();
    }

    // Waits until the player has played its last frame.
    static bool WaitEnded(const CSoundOut& out) {
        for (int i = 0; i < 1000 && !out.HasEnded(); ++i)
            std::this_thread::sleep_for(10ms);
        return out.HasEnded();
    }

    // The raw file's samples: PortAudio starts the device on silence and
    // pads the last period with zeros; between them lie exactly the
    // expected samples (whose first is not zero).
    void ExpectPlayed(const std::vector<std::int16_t>& expected) {
        const std::string bytes = test::ReadAll(rawPath);
        ASSERT_EQ(0u, bytes.size() % 2);
        std::vector<std::int16_t> raw(bytes.size() / 2);
        for (std::size_t i = 0; i < raw.size(); ++i)
            raw[i] = platform::GetI16LE(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 2 * i);
        ASSERT_NE(0, expected.front());
        std::size_t lead = 0;
        while (lead < raw.size() && raw[lead] == 0)
            ++lead;
        ASSERT_LT(lead, 8192u) << "silence before the sound";
        ASSERT_GE(raw.size() - lead, expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_EQ(expected[i], raw[lead + i]) << "sample " << i;
        for (std::size_t i = lead + expected.size(); i < raw.size(); ++i)
            ASSERT_EQ(0, raw[i]) << "padding at " << i;
        EXPECT_LT(raw.size() - lead - expected.size(), 8192u) << "padding longer than a period";
    }

    std::string dir;
    std::string rawPath;
    std::shared_ptr<platform::AudioBackend> backend;
    test::ScriptedPrompts prompts;
};

#define SKIP_WITHOUT_PORTAUDIO()                                                          \
    if (!backend->InitError().empty())                                                    \
    GTEST_SKIP() << "PortAudio cannot be initialised: " << backend->InitError()

TEST_F(SoundCardAlsa, MemoryReachesTheDeviceAsClipped16BitSamples) {
    UseFileDevice();
    SKIP_WITHOUT_PORTAUDIO();
    ASSERT_TRUE(backend->HasDevice(platform::AudioDirection::Playback));
    // Half a second of a sine that overdrives full scale, so clipping shows.
    std::vector<float> samples(5513);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<float>(1.3 * std::sin(2.0 * 3.14159265358979 * 440.0 * (i + 1) / 11025.0));
    CSoundOut out(backend);
    ASSERT_TRUE(out.PrepareMemory(prompts, samples, {}, 0, static_cast<std::int64_t>(samples.size()), 11025, 1, 16,
                                  1, 0));
    ASSERT_EQ(0, out.Start(prompts)) << prompts.LastMessage();
    out.Restart();
    ASSERT_TRUE(WaitEnded(out));
    EXPECT_EQ(static_cast<std::int64_t>(samples.size()), out.PlayedFrames());
    EXPECT_FALSE(out.IsPlaying());
    out.Stop();
    std::vector<std::int16_t> expected;
    for (float x : samples)
        expected.push_back(CSoundOut::ToPcm16(x));
    ExpectPlayed(expected);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(SoundCardAlsa, FileRoadPlaysThePickedChannelOfAThreeChannelFile) {
    UseFileDevice();
    SKIP_WITHOUT_PORTAUDIO();
    // Two seconds at 22050 Hz: the feeding thread refills the ring many
    // times. Channel 2 carries a ramp, the others noise-like values.
    const int frames = 44100;
    std::string bytes(static_cast<std::size_t>(frames) * 12, '\0');
    auto* p = reinterpret_cast<std::uint8_t*>(bytes.data());
    for (int i = 0; i < frames; ++i) {
        platform::PutF32LE(p + 12 * i, 0.9f);
        platform::PutF32LE(p + 12 * i + 4, -0.7f);
        platform::PutF32LE(p + 12 * i + 8, static_cast<float>((i % 4000) + 1) / 4096.0f);
    }
    const std::string path = dir + "/three.f32";
    test::WriteAll(path, bytes);
    auto file = std::make_shared<platform::File>(path, platform::File::Mode::Read);

    CSoundOut out(backend);
    ASSERT_TRUE(out.PlayFile(prompts, file, 100, 40000, 22050, 1, 16, 3, 2)) << prompts.LastMessage();
    ASSERT_TRUE(WaitEnded(out));
    out.Stop();
    std::vector<std::int16_t> expected;
    for (int i = 100; i < 40100; ++i)
        expected.push_back(CSoundOut::ToPcm16(static_cast<float>((i % 4000) + 1) / 4096.0f));
    ExpectPlayed(expected);
}

TEST_F(SoundCardAlsa, WithoutADeviceNothingPlaysAndTheUserIsTold) {
    UseNoDevice();
    SKIP_WITHOUT_PORTAUDIO();
    EXPECT_FALSE(backend->HasDevice(platform::AudioDirection::Playback));
    const std::vector<float> samples(1000, 0.5f);
    CSoundOut out(backend);
    ASSERT_TRUE(out.PrepareMemory(prompts, samples, {}, 0, 1000, 11025, 1, 16, 1, 0));
    EXPECT_NE(0, out.Start(prompts));
    EXPECT_FALSE(out.IsPlaying());
    EXPECT_EQ(kNoSoundOutputDevice, prompts.LastMessage());

    auto file = std::make_shared<platform::File>();
    test::ScriptedPrompts filePrompts;
    CSoundOut fromFile(backend);
    EXPECT_FALSE(fromFile.PlayFile(filePrompts, file, 0, 10, 11025, 1, 16, 1, 0));
    EXPECT_EQ(kNoSoundOutputDevice, filePrompts.LastMessage());
}

}  // namespace
}  // namespace vocomet
