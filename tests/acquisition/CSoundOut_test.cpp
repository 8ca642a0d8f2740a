// The sound-card player on the fake sound card: what reaches the device,
// when the sound ends, and where the clock says playback is.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <algorithm>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "acquisition/CSoundOut.h"
#include "platform/ByteCodec.h"
#include "platform/FakeAudio.h"
#include "platform/File.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

using namespace std::chrono_literals;
using platform::FakeAudioBackend;
using platform::FakeAudioStream;

// Records what the player tells its window, from the feeding thread.
struct RecordingClient : SoundOutClient {
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::int64_t> blocks;
    int ended = 0;

    void OnBlockPlayed(std::int64_t position) override {
        std::lock_guard<std::mutex> lock(m);
        blocks.push_back(position);
    }
    void OnPlayEnded() override {
        std::lock_guard<std::mutex> lock(m);
        ++ended;
        cv.notify_all();
    }
    bool WaitEnded() {
        std::unique_lock<std::mutex> lock(m);
        return cv.wait_for(lock, 5s, [this] { return ended > 0; });
    }
};

// Pumps buffers no faster than the feeding thread keeps the ring ahead.
void PumpPaced(FakeAudioStream& stream, std::size_t frames = 256) {
    // A buffer a millisecond: many times real time, yet the feeding thread
    // (which looks every 10 ms) keeps seconds in the ring ahead.
    while (stream.Pump(frames))
        std::this_thread::sleep_for(1ms);
}

class SoundOutTest : public ::testing::Test {
protected:
    std::shared_ptr<FakeAudioBackend> backend = std::make_shared<FakeAudioBackend>();
    test::ScriptedPrompts prompts;
};

TEST(SoundOutConversion, ClipsInsteadOfWrapping) {
    const struct {
        float x;
        std::int16_t expected;
    } cases[] = {
        {0.5f, 16384},         {-1.0f, -32768},          {1.0f, 32767},  // full scale is clipped, not wrapped
        {1.5f, 32767},         {-1.5f, -32768},          {-0.00002f, 0},  // truncation toward zero
        {0.99997f, 32767},     {1e30f, 32767},           {-1e30f, -32768},
        {std::numeric_limits<float>::infinity(), 32767}, {std::numeric_limits<float>::quiet_NaN(), 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, CSoundOut::ToPcm16(c.x)) << c.x;
}

TEST(SoundOutConversion, RefillBaseFollowsTheRate) {
    EXPECT_EQ(8192, CSoundOut::BlockBase(22050, false));
    EXPECT_EQ(4096, CSoundOut::BlockBase(22050, true));
    EXPECT_EQ(8192, CSoundOut::BlockBase(48000, true));
    EXPECT_EQ(2048, CSoundOut::BlockBase(11025, true));
    EXPECT_EQ(4096, CSoundOut::BlockBase(8000, false));
}

TEST_F(SoundOutTest, MemoryPlaysClippedSamplesThenSilencePastTheChannelAndEnds) {
    const std::vector<float> samples = {0.0f, 0.5f, -1.0f, 1.0f, 1.5f, -1.5f, 0.25f};
    RecordingClient client;
    CSoundOut out(backend);
    out.SetClient(&client);
    // From sample 2, five samples: the last two lie past the channel's end.
    ASSERT_TRUE(out.PrepareMemory(prompts, samples, {}, 2, 7, 11025, 1, 16, 1, 0));
    ASSERT_EQ(0, out.Start(prompts));
    out.Restart();
    EXPECT_TRUE(out.IsPlaying());
    FakeAudioStream* stream = backend->LastStream();
    ASSERT_NE(nullptr, stream);
    EXPECT_EQ(1, stream->Format().channels);
    EXPECT_EQ(11025, stream->Format().rate);

    ASSERT_TRUE(stream->RunToEnd(4));
    const std::vector<std::int16_t> rendered = stream->Rendered();
    ASSERT_EQ(8u, rendered.size());  // two buffers of four; the sound ended in the second
    EXPECT_EQ((std::vector<std::int16_t>{-32768, 32767, 32767, -32768, 8192, 0, 0, 0}), rendered);
    EXPECT_TRUE(out.HasEnded());
    EXPECT_FALSE(out.IsPlaying());
    EXPECT_EQ(7, out.PlayedFrames());
    ASSERT_TRUE(client.WaitEnded());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(SoundOutTest, TwoSourceChannelsPlayAsStereoAndOneIsSpreadOverBoth) {
    const std::vector<float> left = {0.5f, 0.25f};
    const std::vector<float> right = {-0.5f, -0.25f};
    {
        CSoundOut out(backend);
        ASSERT_TRUE(out.PrepareMemory(prompts, left, right, 0, 2, 22050, 2, 16, 2, 0));
        ASSERT_EQ(0, out.Start(prompts));
        ASSERT_TRUE(backend->LastStream()->RunToEnd(2));
        EXPECT_EQ((std::vector<std::int16_t>{16384, -16384, 8192, -8192}), backend->LastStream()->Rendered());
    }
    CSoundOut out(backend);
    ASSERT_TRUE(out.PrepareMemory(prompts, left, {}, 0, 2, 22050, 2, 16, 1, 0));
    ASSERT_EQ(0, out.Start(prompts));
    ASSERT_TRUE(backend->LastStream()->RunToEnd(2));
    EXPECT_EQ((std::vector<std::int16_t>{16384, 16384, 8192, 8192}), backend->LastStream()->Rendered());
}

TEST_F(SoundOutTest, LongMemorySoundStreamsThroughTheRingAndReportsBlocks) {
    // Several seconds: far more than the ring holds, so the feeding thread
    // refills it while the device plays.
    std::vector<float> samples(60000);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<float>(std::sin(0.01 * static_cast<double>(i)) * 0.9);
    RecordingClient client;
    CSoundOut out(backend);
    out.SetClient(&client);
    ASSERT_TRUE(out.PrepareMemory(prompts, samples, {}, 1000, 50000, 11025, 1, 16, 1, 0));
    ASSERT_EQ(0, out.Start(prompts));
    PumpPaced(*backend->LastStream());
    const std::vector<std::int16_t> rendered = backend->LastStream()->Rendered();
    ASSERT_GE(rendered.size(), 50000u);
    for (std::size_t i = 0; i < 50000; ++i)
        ASSERT_EQ(CSoundOut::ToPcm16(samples[1000 + i]), rendered[i]) << i;
    for (std::size_t i = 50000; i < rendered.size(); ++i)
        ASSERT_EQ(0, rendered[i]);
    ASSERT_TRUE(client.WaitEnded());
    std::lock_guard<std::mutex> lock(client.m);
    EXPECT_FALSE(client.blocks.empty());
    EXPECT_TRUE(std::is_sorted(client.blocks.begin(), client.blocks.end()));
    EXPECT_EQ(1, client.ended);
}

// A data file of three interleaved channels: frame i holds i/65536,
// -i/65536 and (i mod 7)/8.
std::string WriteThreeChannelFile(const std::string& dir, int frames) {
    const std::string path = dir + "/three.f32";
    std::string bytes(static_cast<std::size_t>(frames) * 12, '\0');
    auto* p = reinterpret_cast<std::uint8_t*>(bytes.data());
    for (int i = 0; i < frames; ++i) {
        platform::PutF32LE(p + i * 12, static_cast<float>(i) / 65536.0f);
        platform::PutF32LE(p + i * 12 + 4, -static_cast<float>(i) / 65536.0f);
        platform::PutF32LE(p + i * 12 + 8, static_cast<float>(i % 7) / 8.0f);
    }
    test::WriteAll(path, bytes);
    return path;
}

TEST_F(SoundOutTest, FilePlaysThePickedChannelAndSilencePastTheEndOfTheFile) {
    const int frames = 80000;
    auto file = std::make_shared<platform::File>(WriteThreeChannelFile(test::FreshTempDir(), frames),
                                                 platform::File::Mode::Read);
    RecordingClient client;
    CSoundOut out(backend);
    out.SetClient(&client);
    // 70000 frames from frame 20000: more than the ring holds ahead, so the
    // feeding thread reads while the device plays; the last 10000 lie past
    // the file's end.
    ASSERT_TRUE(out.PlayFile(prompts, file, 20000, 70000, 11025, 1, 16, 3, 1));
    EXPECT_EQ(3 * 2048, out.GetBlockSize());
    EXPECT_TRUE(out.IsPlaying());
    PumpPaced(*backend->LastStream());
    const std::vector<std::int16_t> rendered = backend->LastStream()->Rendered();
    ASSERT_GE(rendered.size(), 70000u);
    for (int i = 0; i < 60000; ++i)
        ASSERT_EQ(CSoundOut::ToPcm16(-static_cast<float>(20000 + i) / 65536.0f), rendered[i]) << i;
    for (std::size_t i = 60000; i < rendered.size(); ++i)
        ASSERT_EQ(0, rendered[i]) << i;
    ASSERT_TRUE(client.WaitEnded());
    EXPECT_EQ(70000, out.PlayedFrames());
    EXPECT_FALSE(out.IsPlaying());
}

TEST_F(SoundOutTest, FileWithoutPickedChannelMapsFrameValuesToOutputChannels) {
    auto file = std::make_shared<platform::File>(WriteThreeChannelFile(test::FreshTempDir(), 10),
                                                 platform::File::Mode::Read);
    CSoundOut out(backend);
    ASSERT_TRUE(out.PlayFile(prompts, file, 3, 2, 11025, 2, 16, 3, -1));
    ASSERT_TRUE(backend->LastStream()->RunToEnd(2));
    const auto v = [](float x) { return CSoundOut::ToPcm16(x); };
    EXPECT_EQ((std::vector<std::int16_t>{v(3 / 65536.0f), v(-3 / 65536.0f), v(4 / 65536.0f), v(-4 / 65536.0f)}),
              backend->LastStream()->Rendered());
}

TEST_F(SoundOutTest, PositionFollowsTheStreamClockNotTheBuffersHandedOver) {
    std::vector<float> samples(11025, 0.1f);
    CSoundOut out(backend);
    ASSERT_TRUE(out.PrepareMemory(prompts, samples, {}, 0, 11025, 11025, 1, 16, 1, 0));
    ASSERT_EQ(0, out.Start(prompts));
    FakeAudioStream& stream = *backend->LastStream();
    stream.latency = 0.1;  // a buffer is heard 100 ms after it was rendered
    EXPECT_EQ(0, out.PlayedFrames());
    ASSERT_TRUE(stream.Pump(2205));  // frames 0..2205 leave at 0.1 s; the clock is now 0.2 s
    EXPECT_EQ(1102, out.PlayedFrames());  // 0.1 s heard, within a frame
    stream.AdvanceClock(0.05);
    EXPECT_EQ(1653, out.PlayedFrames());
    stream.AdvanceClock(1.0);
    EXPECT_EQ(2205, out.PlayedFrames());  // never past what the device was given

    // Paused: the device plays silence and the position holds.
    out.Pause();
    const std::size_t before = stream.Rendered().size();
    ASSERT_TRUE(stream.Pump(100));
    const std::vector<std::int16_t> paused = stream.Rendered();
    EXPECT_EQ(std::vector<std::int16_t>(100, 0), std::vector<std::int16_t>(paused.begin() + before, paused.end()));
    stream.AdvanceClock(1.0);
    EXPECT_EQ(2205, out.PlayedFrames());
    out.Restart();
    ASSERT_TRUE(stream.Pump(100));
    EXPECT_EQ(CSoundOut::ToPcm16(0.1f), stream.Rendered().back());
}

TEST_F(SoundOutTest, StopEndsPlaybackWithoutSayingItEnded) {
    std::vector<float> samples(50000, 0.25f);
    RecordingClient client;
    auto out = std::make_unique<CSoundOut>(backend);
    out->SetClient(&client);
    ASSERT_TRUE(out->PrepareMemory(prompts, samples, {}, 0, 50000, 11025, 1, 16, 1, 0));
    ASSERT_EQ(0, out->Start(prompts));
    FakeAudioStream* stream = backend->LastStream();
    ASSERT_TRUE(stream->Pump(512));
    out->Pause();
    out->Stop();
    EXPECT_FALSE(out->IsPlaying());
    EXPECT_FALSE(out->HasEnded());
    EXPECT_EQ(nullptr, backend->LastStream());  // the device is closed
    EXPECT_EQ(nullptr, out->GetClient());
    out->Stop();  // again: nothing happens
    out.reset();
    std::lock_guard<std::mutex> lock(client.m);
    EXPECT_EQ(0, client.ended);
}

TEST_F(SoundOutTest, DeviceTroubleIsSaidAndNothingPlays) {
    const std::vector<float> samples(100, 0.1f);
    struct Case {
        const char* name;
        std::function<void(FakeAudioBackend&)> setup;
        std::string message;
        int beeps;
    };
    const Case cases[] = {
        {"no device", [](FakeAudioBackend& b) { b.outputPresent = false; }, kNoSoundOutputDevice, 0},
        {"no device, library failed",
         [](FakeAudioBackend& b) {
             b.outputPresent = false;
             b.initError = "Host error";
         },
         std::string(kNoSoundOutputDevice) + "\nHost error", 0},
        {"format", [](FakeAudioBackend& b) { b.refusedRates = {11025}; }, kSoundFormatRefused, 1},
        {"open", [](FakeAudioBackend& b) { b.openError = "Device unavailable"; },
         std::string(kSoundOutputCannotOpen) + "\nDevice unavailable", 0},
        {"start", [](FakeAudioBackend& b) { b.startError = "Device busy"; },
         std::string(kSoundOutputCannotOpen) + "\nDevice busy", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto b = std::make_shared<FakeAudioBackend>();
        c.setup(*b);
        test::ScriptedPrompts p;
        CSoundOut out(b);
        ASSERT_TRUE(out.PrepareMemory(p, samples, {}, 0, 100, 11025, 1, 16, 1, 0));
        EXPECT_NE(0, out.Start(p));
        EXPECT_FALSE(out.IsPlaying());
        EXPECT_EQ(0, out.PlayedFrames());
        ASSERT_EQ(1u, p.messages.size());
        EXPECT_EQ(c.message, p.messages[0].text);
        EXPECT_EQ(c.beeps, p.beeps);
    }
    // Without any backend there is no sound device either.
    CSoundOut none(nullptr);
    test::ScriptedPrompts p;
    ASSERT_TRUE(none.PrepareMemory(p, samples, {}, 0, 100, 11025, 1, 16, 1, 0));
    EXPECT_NE(0, none.Start(p));
    EXPECT_EQ(kNoSoundOutputDevice, p.LastMessage());
}

TEST_F(SoundOutTest, RefusedPreparationsPlayNothing) {
    const std::vector<float> samples(10, 0.1f);
    CSoundOut out(backend);
    EXPECT_FALSE(out.PrepareMemory(prompts, samples, {}, 0, 10, 11025, 1, 16, 3, 0));  // three source channels
    EXPECT_FALSE(out.PrepareMemory(prompts, samples, {}, 0, 10, 11025, 1, 8, 1, 0));   // 8 bits
    EXPECT_FALSE(out.PrepareMemory(prompts, samples, {}, -1, 10, 11025, 1, 16, 1, 0));
    EXPECT_NE(0, out.Start(prompts));  // nothing prepared
    EXPECT_EQ(0, backend->OpenCount());
    auto file = std::make_shared<platform::File>(WriteThreeChannelFile(test::FreshTempDir(), 10),
                                                 platform::File::Mode::Read);
    EXPECT_FALSE(out.PlayFile(prompts, file, 0, 10, 11025, 1, 16, 3, 3));  // no channel 3 in a frame of 3
    EXPECT_FALSE(out.PlayFile(prompts, nullptr, 0, 10, 11025, 1, 16, 3, 0));
    EXPECT_EQ(0, backend->OpenCount());
}

}  // namespace
}  // namespace vocomet
