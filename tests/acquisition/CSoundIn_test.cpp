// The sound-card recorder on the fake sound card: what reaches the
// recording file and the document, the level trace, and the stop.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "acquisition/CSoundIn.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/ByteCodec.h"
#include "platform/FakeAudio.h"
#include "platform/File.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

using platform::FakeAudioBackend;
using platform::FakeAudioStream;

// Keeps the columns the writer hands over.
struct ColumnProbe : SoundInMonitor {
    platform::Rect rect{0, 0, 3, 100};
    mutable std::mutex m;
    std::vector<SoundLevelColumn> columns;
    platform::Rect MonitorRect() const override { return rect; }
    void OnLevelColumn(const SoundLevelColumn& c) override {
        std::lock_guard<std::mutex> lock(m);
        columns.push_back(c);
    }
};

class SoundInTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = test::FreshTempDir();
        path = dir + "/rec.raw";
        backend = std::make_shared<FakeAudioBackend>();
    }

    // A recorder set up at rate and started on the fake device.
    std::unique_ptr<CSoundIn> Started(int rate, SoundInMonitor* monitor = nullptr) {
        auto in = std::make_unique<CSoundIn>(backend);
        in->SetupRecording(prompts, path, rate, 16, monitor);
        EXPECT_EQ(0, in->Start(prompts)) << prompts.LastMessage();
        EXPECT_EQ(0, in->StartInput());
        return in;
    }

    FakeAudioStream& Stream() { return *backend->LastStream(); }

    std::vector<float> FileFloats() const {
        const std::string bytes = test::ReadAll(path);
        std::vector<float> out(bytes.size() / 4);
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] = platform::GetF32LE(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 4 * i);
        return out;
    }

    std::string dir, path;
    std::shared_ptr<FakeAudioBackend> backend;
    test::ScriptedPrompts prompts;
};

std::vector<std::int16_t> KnownSamples(std::size_t n) {
    std::vector<std::int16_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::int16_t>((static_cast<int>(i) * 7919) % 65536 - 32768);
    v[0] = -32768;
    v[1] = 16384;
    v[2] = 32767;
    v[3] = 0;
    return v;
}

TEST_F(SoundInTest, KnownBlocksBecomeTheDocumentsSamples) {
    auto in = Started(11025);
    EXPECT_EQ(4096, in->GetBlockSize());
    EXPECT_EQ(platform::AudioDirection::Capture, Stream().Direction());
    EXPECT_EQ(1, Stream().Format().channels);
    EXPECT_EQ(11025, Stream().Format().rate);
    // Two whole blocks and a part of a third.
    const std::vector<std::int16_t> samples = KnownSamples(10000);
    Stream().SetCaptureSource(samples);
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(Stream().Pump(1000));
    in->StopInput();
    // After the stop nothing reaches the recording.
    EXPECT_FALSE(Stream().Pump(1000));
    ASSERT_TRUE(in->Stop());
    EXPECT_EQ(10000, in->SamplesWritten());
    EXPECT_EQ(0, in->SamplesLost());

    const std::vector<float> written = FileFloats();
    ASSERT_EQ(written.size(), samples.size());
    EXPECT_EQ(written[0], -1.0f);
    EXPECT_EQ(written[1], 0.5f);
    for (std::size_t i = 0; i < samples.size(); ++i)
        ASSERT_EQ(written[i], static_cast<float>(samples[i]) / 32768.0f) << i;

    ApplicationState app;
    app.tempFolder = dir;
    COrielDoc doc(app, prompts);
    doc.Channel(0).rate = 11025.0;
    platform::File file = in->TakeRecordFile();
    ASSERT_TRUE(file.IsOpen());
    EXPECT_FALSE(in->TakeRecordFile().IsOpen());
    in.reset();
    ASSERT_TRUE(std::filesystem::exists(path)) << "a taken recording stays with its new owner";
    ASSERT_EQ(1, doc.LoadInterleavedRecording(file, 1));
    ASSERT_EQ(doc.GetChannelCount(), 1);
    EXPECT_EQ(doc.Channel(0).name, "Audio");
    EXPECT_EQ(doc.Channel(0).filterRate, 5000.0);
    ASSERT_EQ(doc.Channel(0).sampleCount, 10000.0);
    for (std::size_t i = 0; i < samples.size(); ++i)
        ASSERT_EQ(doc.Channel(0).samples.data()[i], static_cast<float>(samples[i]) / 32768.0f) << i;
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(SoundInTest, StopWhileBlocksAreQueuedLosesNone) {
    auto in = Started(44100);
    // Five seconds in one burst, far faster than the writer looks; then the
    // stop at once.
    const std::vector<std::int16_t> samples = KnownSamples(44100 * 5);
    Stream().SetCaptureSource(samples);
    for (std::size_t done = 0; done < samples.size(); done += 441)
        ASSERT_TRUE(Stream().Pump(441));
    in->StopInput();
    ASSERT_TRUE(in->Stop());
    EXPECT_EQ(static_cast<std::int64_t>(samples.size()), in->SamplesWritten());
    EXPECT_EQ(0, in->SamplesLost());
    const std::vector<float> written = FileFloats();
    ASSERT_EQ(written.size(), samples.size());
    for (std::size_t i = 0; i < samples.size(); i += 997)
        ASSERT_EQ(written[i], static_cast<float>(samples[i]) / 32768.0f) << i;
    // Stop again, and the destructor, change nothing.
    EXPECT_TRUE(in->Stop());
}

TEST(SoundInLevel, ColumnOfABlock) {
    struct Case {
        std::vector<std::int16_t> samples;
        int height, max, min;
    };
    const Case cases[] = {
        {{0, 0, 0, 0}, 100, 1, -1},                // silence: one pixel either side of the midline
        {{16384, 16384}, 100, 26, 24},             // one level: pushed apart around it
        {{32767}, 100, 50, 48},                    // 32767 x 100 / 65536 = 49
        {{-32768, 32767, 0}, 100, 49, -51},        // full swing: the first sample's push stays
        {{-300, 300}, 100, 1, -1},                 // both within a pixel of 0
        {{1000, -1000, 20000}, 400, 122, -6},      // toward zero, not floor
    };
    for (const Case& c : cases) {
        int max = 0, min = 0;
        CSoundIn::LevelOfBlock(c.samples, c.height, max, min);
        EXPECT_EQ(c.max, max) << c.samples.front() << " h " << c.height;
        EXPECT_EQ(c.min, min) << c.samples.front() << " h " << c.height;
    }
}

TEST_F(SoundInTest, EveryBlockWrittenDrawsTheNextColumn) {
    ColumnProbe probe;
    auto in = Started(8000, &probe);
    // Block k holds the constant 4096 x k: y = 4096k x 100 / 65536.
    std::vector<std::int16_t> samples;
    for (int k = 0; k < 6; ++k)
        samples.insert(samples.end(), 4096, static_cast<std::int16_t>(4096 * k));
    Stream().SetCaptureSource(samples);
    ASSERT_TRUE(Stream().Pump(samples.size()));
    in->StopInput();
    ASSERT_TRUE(in->Stop());
    std::lock_guard<std::mutex> lock(probe.m);
    ASSERT_EQ(probe.columns.size(), 6u);
    // The rectangle's right edge is 3: after it the trace starts again at 1.
    const int xs[] = {0, 1, 2, 3, 1, 2};
    for (int k = 0; k < 6; ++k) {
        const int y = 4096 * k * 100 / 65536;
        EXPECT_EQ(probe.columns[k].x, xs[k]) << k;
        EXPECT_EQ(probe.columns[k].mid, 50) << k;
        EXPECT_EQ(probe.columns[k].max, y + 1) << k;
        EXPECT_EQ(probe.columns[k].min, y - 1) << k;
    }
}

TEST_F(SoundInTest, AMonitorThatLeftIsToldNothing) {
    ColumnProbe probe;
    auto in = Started(8000, &probe);
    in->SetMonitor(nullptr);
    Stream().SetCaptureSource(std::vector<std::int16_t>(8192, 100));
    ASSERT_TRUE(Stream().Pump(8192));
    in->StopInput();
    ASSERT_TRUE(in->Stop());
    EXPECT_EQ(8192, in->SamplesWritten());
    std::lock_guard<std::mutex> lock(probe.m);
    EXPECT_TRUE(probe.columns.empty());
}

TEST_F(SoundInTest, AFailedStartSaysWhyAndTheObjectTakesItsFileWithIt) {
    struct Case {
        const char* what;
        std::function<void(FakeAudioBackend&)> arrange;
        std::string message;
    };
    const Case cases[] = {
        {"no device", [](FakeAudioBackend& b) { b.inputPresent = false; }, kNoSoundDevice},
        {"open error", [](FakeAudioBackend& b) { b.openError = "busy"; }, std::string(kCannotOpenSoundInput) + "\nbusy"},
        {"start error", [](FakeAudioBackend& b) { b.startError = "xrun"; }, std::string(kCannotStartWaveIn) + "\nxrun"},
        {"refused rate", [](FakeAudioBackend& b) { b.refusedRates = {22050}; }, ""},
    };
    for (const Case& c : cases) {
        backend = std::make_shared<FakeAudioBackend>();
        c.arrange(*backend);
        test::ScriptedPrompts p;
        auto in = std::make_unique<CSoundIn>(backend);
        in->SetupRecording(p, path, 22050, 16, nullptr);
        ASSERT_TRUE(std::filesystem::exists(path)) << c.what;
        EXPECT_NE(0, in->Start(p)) << c.what;
        EXPECT_FALSE(in->IsCapturing()) << c.what;
        ASSERT_FALSE(p.messages.empty()) << c.what;
        if (!c.message.empty())
            EXPECT_EQ(c.message, p.LastMessage()) << c.what;
        else
            EXPECT_EQ(0u, p.LastMessage().rfind(kCannotOpenSoundInput, 0)) << c.what;
        EXPECT_EQ(nullptr, backend->LastStream()) << c.what;
        in.reset();
        EXPECT_FALSE(std::filesystem::exists(path)) << c.what;
    }
    // No backend at all is no sound device either; a rate of 0 is refused.
    test::ScriptedPrompts p;
    CSoundIn none;
    none.SetupRecording(p, path, 11025, 16, nullptr);
    EXPECT_NE(0, none.Start(p));
    EXPECT_EQ(kNoSoundDevice, p.LastMessage());
    CSoundIn zero(std::make_shared<FakeAudioBackend>());
    zero.SetupRecording(p, dir + "/zero.raw", 0, 16, nullptr);
    EXPECT_NE(0, zero.Start(p));
    EXPECT_EQ(kCannotOpenSoundInput, p.LastMessage());
}

}  // namespace
}  // namespace vocomet
