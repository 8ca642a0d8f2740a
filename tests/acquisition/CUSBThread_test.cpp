#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "acquisition/CUSBHardware.h"
#include "acquisition/CUSBThread.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"
#include "platform/usb/SimulatedAudioBox.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

using namespace platform::usb;
using namespace vocomet;
using namespace std::chrono_literals;

namespace {

struct BoxOnBus {
    std::shared_ptr<SimulatedAudioBox> box = std::make_shared<SimulatedAudioBox>();
    std::shared_ptr<SimulatedUsbBus> bus = std::make_shared<SimulatedUsbBus>();
    ScopedUsbBus scope{bus};
    BoxOnBus() {
        bus->Add(kAudioBoxDeviceKind, box);
        box->StartClock(1ms);
    }
    ~BoxOnBus() { box->StopClock(); }
};

// What a window would hear, kept for the test; on hook runs on the worker.
class Probe : public UsbThreadClient {
public:
    void OnSampleBlock(const std::uint8_t* block, std::size_t bytes, std::int64_t recorded) override {
        std::lock_guard<std::mutex> lock(m);
        ++blocks;
        lastRecorded = recorded;
        lastBlock.assign(block, block + bytes);
        if (onBlock)
            onBlock(recorded);
        cv.notify_all();
    }
    void OnBlockPlayed(std::int64_t frames) override {
        std::lock_guard<std::mutex> lock(m);
        ++played;
        playedFrames = frames;
        cv.notify_all();
    }
    void OnRunEnded() override {
        std::lock_guard<std::mutex> lock(m);
        ++ended;
        cv.notify_all();
    }
    void OnDeviceMessage(const std::string& text, bool) override {
        std::lock_guard<std::mutex> lock(m);
        texts.push_back(text);
    }
    bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s) {
        std::unique_lock<std::mutex> lock(m);
        return cv.wait_for(lock, timeout, done);
    }

    std::mutex m;
    std::condition_variable cv;
    int blocks = 0;
    std::int64_t lastRecorded = 0;
    std::vector<std::uint8_t> lastBlock;
    int played = 0;
    std::int64_t playedFrames = 0;
    int ended = 0;
    std::vector<std::string> texts;
    std::function<void(std::int64_t)> onBlock;
};

std::vector<float> ReadFloats(const std::string& path) {
    platform::File f(path, platform::File::Mode::Read);
    std::vector<float> v(static_cast<std::size_t>(f.GetLength() / 4));
    f.Read(v.data(), v.size() * 4);
    return v;
}

float Decoded(float x) { return static_cast<float>(std::trunc(static_cast<double>(x) * 8388608.0) / 8388608.0); }

class CUSBThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        worker.Start();
        cookie = worker.RegisterClient(&probe);
    }
    void TearDown() override {
        worker.StopRun();
        worker.UnregisterClient(cookie);
    }

    // Samples with recording on until n blocks are in the file.
    std::string Record(int channels, int n) {
        const std::string path = vocomet::test::FreshTempDir() + "/rec.raw";
        auto file = std::make_shared<platform::File>(path, platform::File::Mode::Create);
        probe.onBlock = [this, n](std::int64_t recorded) {
            if (recorded >= n)
                worker.recordingFlag.store(0);
        };
        worker.recordingFlag.store(1);
        EXPECT_TRUE(worker.RequestSample({file, channels, cookie}));
        EXPECT_TRUE(probe.WaitFor([&] { return probe.lastRecorded >= n && probe.blocks > n + 2; }));
        EXPECT_TRUE(worker.StopRun());
        return path;
    }

    BoxOnBus sim;
    CUSBThread worker;
    Probe probe;
    int cookie = 0;
};

TEST_F(CUSBThreadTest, MonoRecordingHoldsExactlyTheSampledValues) {
    const int n = 5;
    const std::vector<float> got = ReadFloats(Record(1, n));
    ASSERT_EQ(got.size(), n * kAudioBoxFrames);
    for (std::size_t k = 0; k < got.size(); ++k)
        ASSERT_EQ(got[k], static_cast<float>(SimulatedAudioBox::SampleWord(k, 1) / 8388608.0)) << k;
    EXPECT_EQ(probe.lastRecorded, n);
    EXPECT_EQ(probe.ended, 1);
    EXPECT_FALSE(sim.box->IsSampling());
    EXPECT_EQ(sim.box->Outstanding(), 0u);
    EXPECT_TRUE(probe.texts.empty());
    // Every block reached the window whole, spectra included.
    ASSERT_EQ(probe.lastBlock.size(), kSampleBlockBytes);
}

TEST_F(CUSBThreadTest, StereoRecordingInterleavesWordOneThenWordZero) {
    const std::vector<float> got = ReadFloats(Record(2, 3));
    ASSERT_EQ(got.size(), 3 * kAudioBoxFrames * 2);
    for (std::size_t k = 0; k < got.size() / 2; ++k) {
        ASSERT_EQ(got[2 * k], static_cast<float>(SimulatedAudioBox::SampleWord(k, 1) / 8388608.0)) << k;
        ASSERT_EQ(got[2 * k + 1], static_cast<float>(SimulatedAudioBox::SampleWord(k, 0) / 8388608.0)) << k;
    }
}

TEST_F(CUSBThreadTest, RecordingBecomesTheDocumentsChannels) {
    const int n = 4;
    const std::string path = Record(2, n);
    ApplicationState app;
    app.tempFolder = std::filesystem::path(path).parent_path().string();
    app.acquisition.audioBoxPresent = 1;
    vocomet::test::ScriptedPrompts prompts;
    COrielDoc doc(app, prompts);
    doc.Channel(0).rate = 44100.0;
    platform::File file(path, platform::File::Mode::ReadWrite);
    ASSERT_EQ(1, doc.LoadInterleavedRecording(file, 2));
    ASSERT_EQ(doc.GetChannelCount(), 2);
    EXPECT_EQ(doc.Channel(0).name, "Left");
    EXPECT_EQ(doc.Channel(1).name, "Right");
    EXPECT_EQ(doc.Channel(1).rate, 44100.0);
    EXPECT_EQ(doc.Channel(0).filterRate, 20000.0);
    EXPECT_EQ(doc.GetFileTypeCode(), 1);
    EXPECT_TRUE(doc.IsDataLoaded());
    EXPECT_TRUE(doc.IsModified());
    ASSERT_EQ(doc.Channel(0).sampleCount, static_cast<double>(n * kAudioBoxFrames));
    ASSERT_EQ(doc.Channel(1).samples.size(), n * kAudioBoxFrames);
    for (std::size_t k = 0; k < n * kAudioBoxFrames; ++k) {
        ASSERT_EQ(doc.Channel(0).samples.data()[k], static_cast<float>(SimulatedAudioBox::SampleWord(k, 1) / 8388608.0));
        ASSERT_EQ(doc.Channel(1).samples.data()[k], static_cast<float>(SimulatedAudioBox::SampleWord(k, 0) / 8388608.0));
    }
    // Taken into memory: the recording file is gone.
    EXPECT_FALSE(std::filesystem::exists(path));

    // No rate: refused, the document as it was.
    doc.Channel(0).rate = 0.0;
    platform::File other(Record(1, 1), platform::File::Mode::ReadWrite);
    EXPECT_EQ(0, doc.LoadInterleavedRecording(other, 1));
    EXPECT_EQ(doc.GetChannelCount(), 2);
}

TEST_F(CUSBThreadTest, WithoutTheRecordingFlagBlocksAreShownAndNothingIsWritten) {
    const std::string path = vocomet::test::FreshTempDir() + "/rec.raw";
    auto file = std::make_shared<platform::File>(path, platform::File::Mode::Create);
    ASSERT_TRUE(worker.RequestSample({file, 1, cookie}));
    ASSERT_TRUE(probe.WaitFor([&] { return probe.blocks >= 4; }));
    EXPECT_TRUE(worker.StopRun());
    EXPECT_EQ(file->GetLength(), 0);
    EXPECT_EQ(probe.lastRecorded, 0);
}

TEST_F(CUSBThreadTest, PlayMemorySendsWholeBlocksThenSilence) {
    std::vector<float> left(5000), right(5000);
    for (std::size_t i = 0; i < left.size(); ++i) {
        left[i] = static_cast<float>(std::sin(0.01 * static_cast<double>(i)) * 0.9);
        right[i] = -0.5f + static_cast<float>(i) / 10000.0f;
    }
    CUSBThread::PlayRequest r;
    r.channelCount = 2;
    r.first = 100;
    r.end = 3100;  // 3000 frames: three blocks, the last filled up with silence
    r.channel0 = left.data(), r.count0 = left.size();
    r.channel1 = right.data(), r.count1 = right.size();
    r.client = cookie;
    ASSERT_TRUE(worker.RequestPlayMemory(r));
    ASSERT_TRUE(probe.WaitFor([&] { return probe.ended == 1; }));
    ASSERT_TRUE(worker.StopRun());
    const auto c0 = sim.box->PlayedChannel(0);
    const auto c1 = sim.box->PlayedChannel(1);
    ASSERT_EQ(c0.size(), 4 * kAudioBoxFrames);
    for (std::size_t k = 0; k < 3000; ++k) {
        ASSERT_EQ(c0[k], Decoded(left[100 + k])) << k;
        ASSERT_EQ(c1[k], Decoded(right[100 + k])) << k;
    }
    for (std::size_t k = 3000; k < c0.size(); ++k)
        ASSERT_EQ(c0[k], 0.0f);
    EXPECT_EQ(probe.played, 3);
    EXPECT_EQ(probe.playedFrames, 3072);
    EXPECT_FALSE(sim.box->IsPlaying());
    EXPECT_EQ(worker.stopFlag.load(), 1);

    // A range shorter than a block still sends one block: zeros past its end.
    sim.box->ClearRequestLog();
    CUSBThread::PlayRequest s = r;
    s.channelCount = 3;  // more channels than the box plays: channel 0 alone
    s.first = 0;
    s.end = 10;
    ASSERT_TRUE(worker.RequestPlayMemory(s));
    ASSERT_TRUE(probe.WaitFor([&] { return probe.ended == 2; }));
    ASSERT_TRUE(worker.StopRun());
    const auto m0 = sim.box->PlayedChannel(0);
    const auto m1 = sim.box->PlayedChannel(1);
    ASSERT_EQ(m0.size(), 6 * kAudioBoxFrames);
    const std::size_t at = 4 * kAudioBoxFrames;
    EXPECT_EQ(m0[at + 9], Decoded(left[9]));
    EXPECT_EQ(m1[at + 9], Decoded(left[9]));  // mono: both words
    EXPECT_EQ(m0[at + 10], 0.0f);

    // A stereo request without channel 1 plays nothing.
    CUSBThread::PlayRequest t = r;
    t.channel1 = nullptr;
    ASSERT_TRUE(worker.RequestPlayMemory(t));
    ASSERT_TRUE(probe.WaitFor([&] { return probe.ended == 3; }));
    EXPECT_EQ(sim.box->PlayedChannel(0).size(), 6 * kAudioBoxFrames);
}

TEST_F(CUSBThreadTest, PlayFileTakesItsChannelsFromEachFrame) {
    // Three channels interleaved; mono plays channel 0, stereo 0 and 1.
    const std::string path = vocomet::test::FreshTempDir() + "/data.f32";
    auto file = std::make_shared<platform::File>(path, platform::File::Mode::Create);
    const std::size_t frames = 4096 + 100;
    std::vector<std::uint8_t> bytes(frames * 3 * 4);
    for (std::size_t k = 0; k < frames; ++k)
        for (int c = 0; c < 3; ++c)
            platform::PutF32LE(&bytes[(k * 3 + static_cast<std::size_t>(c)) * 4],
                               static_cast<float>(c + 1) * 0.1f + static_cast<float>(k) * 1e-5f);
    file->Write(bytes.data(), bytes.size());

    CUSBThread::PlayRequest r;
    r.channelCount = 2;
    r.file = file;
    r.fileStride = 3;
    r.first = 1024;
    r.end = static_cast<std::int64_t>(frames);  // 3 blocks and 100 frames: 4 blocks
    r.client = cookie;
    ASSERT_TRUE(worker.RequestPlayFile(r));
    ASSERT_TRUE(probe.WaitFor([&] { return probe.ended == 1; }));
    ASSERT_TRUE(worker.StopRun());
    const auto c0 = sim.box->PlayedChannel(0);
    const auto c1 = sim.box->PlayedChannel(1);
    ASSERT_EQ(c0.size(), 5 * kAudioBoxFrames);
    for (std::size_t k = 0; k < frames - 1024; ++k) {
        ASSERT_EQ(c0[k], Decoded(platform::GetF32LE(&bytes[((1024 + k) * 3) * 4]))) << k;
        ASSERT_EQ(c1[k], Decoded(platform::GetF32LE(&bytes[((1024 + k) * 3 + 1) * 4]))) << k;
    }
    EXPECT_EQ(c0[frames - 1024], 0.0f) << "silence after the range";

    // A file shorter than the range ends the run at the block it cannot fill.
    r.first = 3 * 1024 + 500;
    r.end = r.first + 3000;
    ASSERT_TRUE(worker.RequestPlayFile(r));
    ASSERT_TRUE(probe.WaitFor([&] { return probe.ended == 2; }));
    ASSERT_TRUE(worker.StopRun());
    EXPECT_EQ(sim.box->PlayedChannel(0).size(), 6 * kAudioBoxFrames);  // only the silence block
}

TEST_F(CUSBThreadTest, StopInTheMiddleEndsWithSilenceAndTheStopRequest) {
    std::vector<float> samples(200 * kAudioBoxFrames, 0.25f);
    CUSBThread::PlayRequest r;
    r.first = 0;
    r.end = static_cast<std::int64_t>(samples.size());
    r.channel0 = samples.data(), r.count0 = samples.size();
    r.client = cookie;
    ASSERT_TRUE(worker.RequestPlayMemory(r));
    ASSERT_TRUE(probe.WaitFor([&] { return probe.played >= 3; }));
    EXPECT_TRUE(worker.IsBusy());
    ASSERT_TRUE(worker.StopRun());
    EXPECT_FALSE(worker.IsBusy());
    EXPECT_EQ(probe.ended, 1);
    const auto c0 = sim.box->PlayedChannel(0);
    ASSERT_GE(c0.size(), 4 * kAudioBoxFrames);
    EXPECT_LT(c0.size(), samples.size());
    EXPECT_EQ(c0.back(), 0.0f);
    EXPECT_EQ(c0[c0.size() - kAudioBoxFrames - 1], 0.25f);
    EXPECT_FALSE(sim.box->IsPlaying());
    EXPECT_EQ(sim.box->Outstanding(), 0u);
    const auto log = sim.box->RequestLog();
    EXPECT_EQ(log.back().setup.bRequest, VR_STOP);

    // A run stopped right after it is posted ends as well.
    sim.box->ClearRequestLog();
    ASSERT_TRUE(worker.RequestPlayMemory(r));
    ASSERT_TRUE(worker.StopRun());
    EXPECT_EQ(probe.ended, 2);
}

TEST_F(CUSBThreadTest, FaultsEndTheRunWithTheProtocolsTextAndNoHang) {
    struct Case {
        const char* what;
        std::function<void()> inject;  // before the run, or after its first block
        bool afterFirstBlock;
        std::vector<std::string> texts;
    };
    const std::uint8_t ep = SimulatedAudioBox::PipeEndpoint(SimulatedAudioBox::kSamplePipe);
    const std::vector<Case> cases = {
        {"failing request", [&] { sim.box->FailRequest(VR_SAMPLE); }, false,
         {"send requesd for -SAMPLE- failed", kErrorSendingSample}},
        {"short read", [&] { sim.box->ShortenNextTransfer(ep, 1000); }, true,
         {kSampleProblem, kErrorReadingIncomingData, kErrorSendingSample}},
        {"unplug", [&] { sim.box->Unplug(); }, true,
         {kSampleProblem, kErrorReadingIncomingData, kErrorSendingSample}},
    };
    int runs = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        {
            std::lock_guard<std::mutex> lock(probe.m);
            probe.texts.clear();
            probe.blocks = 0;
        }
        if (!c.afterFirstBlock)
            c.inject();
        const std::string path = vocomet::test::FreshTempDir() + "/rec.raw";
        auto file = std::make_shared<platform::File>(path, platform::File::Mode::Create);
        worker.recordingFlag.store(1);
        ASSERT_TRUE(worker.RequestSample({file, 1, cookie}));
        if (c.afterFirstBlock) {
            ASSERT_TRUE(probe.WaitFor([&] { return probe.blocks >= 1; }));
            c.inject();
        }
        ++runs;
        ASSERT_TRUE(probe.WaitFor([&] { return probe.ended == runs; }));
        EXPECT_TRUE(worker.StopRun(1s));
        std::lock_guard<std::mutex> lock(probe.m);
        EXPECT_EQ(probe.texts, c.texts);
        // Whole blocks only reach the file.
        EXPECT_EQ(file->GetLength() % static_cast<std::int64_t>(kAudioBoxFrames * 4), 0);
    }
}

TEST_F(CUSBThreadTest, NoCallReachesAClientAfterItUnregisters) {
    Probe other;
    const int otherCookie = worker.RegisterClient(&other);
    ASSERT_TRUE(worker.RequestSample({nullptr, 1, otherCookie}));
    ASSERT_TRUE(other.WaitFor([&] { return other.blocks >= 2; }));
    worker.UnregisterClient(otherCookie);
    int seen;
    {
        std::lock_guard<std::mutex> lock(other.m);
        seen = other.blocks;
    }
    std::this_thread::sleep_for(30ms);  // blocks keep coming, to nobody
    EXPECT_TRUE(worker.StopRun());
    std::lock_guard<std::mutex> lock(other.m);
    EXPECT_EQ(other.blocks, seen);
    EXPECT_EQ(other.ended, 0);
}

TEST(CUSBThread, BootMessageKeepsItsResult) {
    BoxOnBus sim;
    CUSBThread worker;
    worker.firmwarePath = vocomet::test::FreshTempDir() + "/ada.ldr";
    {
        platform::File f(worker.firmwarePath, platform::File::Mode::Create);
        const std::uint8_t bytes[16] = {1, 2, 3};
        f.Write(bytes, sizeof bytes);
    }
    worker.Start();
    ASSERT_TRUE(worker.PostThreadMessage(CUSBThread::kBootDsp));
    ASSERT_TRUE(worker.PostThreadMessage(CUSBThread::kReserved));
    EXPECT_TRUE(worker.Stop(5s));
    EXPECT_EQ(worker.bootResult.load(), 1);
    EXPECT_TRUE(sim.box->IsDspRunning());
}

}  // namespace
