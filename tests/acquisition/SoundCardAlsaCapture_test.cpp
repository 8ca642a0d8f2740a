// The recorder through PortAudio from a real ALSA device: the `file`
// plug-in, whose capture side reads its samples from a raw file. Each test
// writes its own ALSA configuration and points ALSA_CONFIG_PATH at it
// before PortAudio starts.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "acquisition/CSoundIn.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/Audio.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

using namespace std::chrono_literals;

// The device runs as fast as it can be read (its slave has no clock), so
// the capture is cut off after a fixed number of frames on its way from
// the real stream to the recorder: the callback stops the stream there.
class CappedCapture final : public platform::AudioStreamCallback {
public:
    CappedCapture(platform::AudioStreamCallback& inner, std::size_t frames) : m_inner(inner), m_left(frames) {}
    bool CaptureInput(const std::int16_t* in, std::size_t frames, double time) noexcept override {
        const std::size_t n = std::min(frames, m_left);
        if (n > 0)
            m_inner.CaptureInput(in, n, time);
        m_left -= n;
        if (m_left == 0)
            done.store(true);
        return m_left > 0;
    }
    void StreamFinished() noexcept override { m_inner.StreamFinished(); }
    std::atomic<bool> done{false};

private:
    platform::AudioStreamCallback& m_inner;
    std::size_t m_left;
};

class CappedBackend final : public platform::AudioBackend {
public:
    CappedBackend(std::shared_ptr<platform::AudioBackend> real, std::size_t frames)
        : m_real(std::move(real)), m_frames(frames) {}
    bool HasDevice(platform::AudioDirection d) override { return m_real->HasDevice(d); }
    bool IsFormatSupported(platform::AudioDirection d, const platform::AudioFormat& f) override {
        return m_real->IsFormatSupported(d, f);
    }
    std::unique_ptr<platform::AudioStream> Open(platform::AudioDirection d, const platform::AudioFormat& f,
                                                platform::AudioStreamCallback& callback, std::string& error) override {
        m_callbacks.push_back(std::make_unique<CappedCapture>(callback, m_frames));
        return m_real->Open(d, f, *m_callbacks.back(), error);
    }
    std::string InitError() const override { return m_real->InitError(); }
    // Every frame of the capture has been handed on.
    bool Done() const { return !m_callbacks.empty() && m_callbacks.back()->done.load(); }

private:
    std::shared_ptr<platform::AudioBackend> m_real;
    std::size_t m_frames;
    std::vector<std::unique_ptr<CappedCapture>> m_callbacks;
};

class SoundCardAlsaCapture : public ::testing::Test {
protected:
    void UseConfiguration(const std::string& text) {
        dir = dir.empty() ? test::FreshTempDir() : dir;
        const std::string path = dir + "/asound.conf";
        test::WriteAll(path, text);
        ::setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
        ::setenv("JACK_NO_START_SERVER", "1", 1);
        backend = platform::MakePortAudioBackend();
    }

    std::string dir;
    std::shared_ptr<platform::AudioBackend> backend;
    test::ScriptedPrompts prompts;
};

#define SKIP_WITHOUT_PORTAUDIO()                                                          \
    if (!backend->InitError().empty())                                                    \
    GTEST_SKIP() << "PortAudio cannot be initialised: " << backend->InitError()

TEST_F(SoundCardAlsaCapture, TheDocumentHoldsWhatTheDeviceDelivered) {
    dir = test::FreshTempDir();
    // Twenty seconds of a pattern that never repeats within the file, far
    // longer than the capture: past its end the plug-in would hand out
    // stale data.
    const int rate = 22050;
    std::vector<std::int16_t> source(static_cast<std::size_t>(rate) * 20);
    std::string raw(source.size() * 2, '\0');
    for (std::size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<std::int16_t>((i * 40503u) % 65535u - 32767);
        platform::PutI16LE(reinterpret_cast<std::uint8_t*>(raw.data()) + 2 * i, source[i]);
    }
    const std::string inPath = dir + "/in.raw";
    test::WriteAll(inPath, raw);
    UseConfiguration("pcm.!default {\n  type plug\n  slave.pcm \"vocomet_file\"\n}\n"
                     "pcm.vocomet_file {\n  type file\n  slave.pcm { type null }\n  file \"/dev/null\"\n"
                     "  infile \"" + inPath + "\"\n  format \"raw\"\n}\n");
    SKIP_WITHOUT_PORTAUDIO();
    ASSERT_TRUE(backend->HasDevice(platform::AudioDirection::Capture));

    const std::string recPath = dir + "/rec.raw";
    // A second and a half, well inside the file.
    const std::int64_t n = rate * 3 / 2;
    auto capped = std::make_shared<CappedBackend>(backend, static_cast<std::size_t>(n));
    CSoundIn in(capped);
    in.SetupRecording(prompts, recPath, rate, 16, nullptr);
    ASSERT_EQ(0, in.Start(prompts)) << prompts.LastMessage();
    for (int i = 0; i < 500 && !capped->Done(); ++i)
        std::this_thread::sleep_for(10ms);
    in.StopInput();
    ASSERT_TRUE(in.Stop());
    ASSERT_EQ(n, in.SamplesWritten());
    EXPECT_EQ(0, in.SamplesLost());

    ApplicationState app;
    app.tempFolder = dir;
    COrielDoc doc(app, prompts);
    doc.Channel(0).rate = rate;
    platform::File file = in.TakeRecordFile();
    ASSERT_EQ(1, doc.LoadInterleavedRecording(file, 1));
    ASSERT_EQ(doc.Channel(0).sampleCount, static_cast<double>(n));
    const float* got = doc.Channel(0).samples.data();
    for (std::int64_t i = 0; i < n; ++i)
        ASSERT_EQ(got[i], source[static_cast<std::size_t>(i)] / 32768.0f) << i;
    EXPECT_FALSE(std::filesystem::exists(recPath));
}

TEST_F(SoundCardAlsaCapture, WithoutADeviceTheUserIsToldAndNothingStarts) {
    UseConfiguration("pcm.!default {\n  type hw\n  card 99\n}\n");
    SKIP_WITHOUT_PORTAUDIO();
    EXPECT_FALSE(backend->HasDevice(platform::AudioDirection::Capture));
    const std::string recPath = dir + "/rec.raw";
    auto in = std::make_unique<CSoundIn>(backend);
    in->SetupRecording(prompts, recPath, 11025, 16, nullptr);
    EXPECT_NE(0, in->Start(prompts));
    EXPECT_EQ(kNoSoundDevice, prompts.LastMessage());
    EXPECT_FALSE(in->IsCapturing());
    in.reset();
    EXPECT_FALSE(std::filesystem::exists(recPath));
}

}  // namespace
}  // namespace vocomet
