// The USB 2 system's protocol, worker and recording loader against the
// simulated sixteen-channel system.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <thread>

#include "acquisition/CUSB2Hardware.h"
#include "acquisition/CUSB2Thread.h"
#include "acquisition/RendalControls.h"
#include "core/RendalRecording.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"
#include "platform/usb/SimulatedRendal.h"
#include "support/DocumentFixture.h"

using namespace platform::usb;
using namespace vocomet;
using namespace std::chrono_literals;

namespace {

struct RendalOnBus {
    std::shared_ptr<SimulatedRendal> device;
    std::shared_ptr<SimulatedUsbBus> bus = std::make_shared<SimulatedUsbBus>();
    ScopedUsbBus scope{bus};
    explicit RendalOnBus(std::uint8_t config = 0x09) : device(std::make_shared<SimulatedRendal>(config)) {
        bus->Add(kRendalDeviceKind, device);
    }
};

// Collects what the worker reports and displays, thread-safely.
struct Collector : Usb2SampleClient {
    std::mutex mutex;
    std::vector<std::string> messages;
    std::vector<std::uint8_t> shown;
    std::atomic<int> blocks{0};
    void DisplayBlock(const std::uint8_t* data, std::size_t bytes) override {
        std::lock_guard lock(mutex);
        EXPECT_EQ(bytes % 32, 0u);
        shown.insert(shown.end(), data, data + bytes);
        ++blocks;
    }
    CUSB2Thread::MessageSink Sink() {
        return [this](const std::string& t) {
            std::lock_guard lock(mutex);
            messages.push_back(t);
        };
    }
    std::vector<std::string> Messages() {
        std::lock_guard lock(mutex);
        return messages;
    }
};

struct PlayView : AcquisitionView {
    std::atomic<int> ended{0};
    void SetViewTimer(int, int) override {}
    void StoreLatestBlock(const std::int32_t*, std::size_t) override {}
    void ClearPlayCursorRunning() override { ++ended; }
    int GetPlayBlockSize() const override { return 8192; }
};

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// The bytes of the simulated stream from frame 0.
void ExpectStream(const std::vector<std::uint8_t>& bytes) {
    for (std::size_t at = 0; at + 1 < bytes.size(); at += 2)
        ASSERT_EQ(platform::GetI16LE(&bytes[at]), SimulatedRendal::SampleWord(at / 32, static_cast<int>(at % 32 / 2)))
            << "byte " << at;
}

}  // namespace

TEST(CUSB2Hardware, ChannelCodeFromTheConfigurationByte) {
    for (auto [byte, code] : std::vector<std::pair<int, int>>{{0x15, 5}, {0x25, 5}, {0xF5, 5}, {0x00, 5}, {0x0B, 5},
                                                              {0x02, 2}, {0x09, 9}, {0x03, -1}, {0x0C, -1}}) {
        RendalOnBus sim(static_cast<std::uint8_t>(byte));
        CUSB2Hardware hw;
        EXPECT_EQ(hw.OpenDevice(), code > 0 ? 1 : 0) << byte;
        EXPECT_EQ(hw.GetChannelCode(), code) << byte;
        EXPECT_NE(hw.BulkInEndpoint(), nullptr);
        EXPECT_NE(hw.BulkOutEndpoint(), nullptr);
        const auto log = sim.device->RequestLog();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back().setup, (SetupPacket{0xC0, 0xB7, 7, 0, 64}));
    }
    // No device: 0, code -1, and the requests that open send nothing.
    ScopedUsbBus none(std::make_shared<SimulatedUsbBus>());
    CUSB2Hardware hw;
    std::vector<std::string> shown;
    hw.SetMessageSink([&](const std::string& t) { shown.push_back(t); });
    EXPECT_EQ(hw.OpenDevice(), 0);
    EXPECT_EQ(hw.GetChannelCode(), -1);
    const std::uint8_t bytes[2] = {1, 2};
    EXPECT_NO_THROW(hw.ResetHardware());
    EXPECT_NO_THROW(hw.SetHardwareControls(1, bytes));
    EXPECT_TRUE(shown.empty());
}

TEST(CUSB2Hardware, RequestsAndTheirFailureTexts) {
    RendalOnBus sim(0x05);
    CUSB2Hardware hw;
    std::vector<std::string> shown;
    hw.SetMessageSink([&](const std::string& t) { shown.push_back(t); });
    ASSERT_EQ(hw.OpenDevice(), 1);
    const std::uint8_t bytes[2] = {0x5C, 0x3A};
    hw.SetHardwareControls(2, bytes);
    ASSERT_EQ(sim.device->ControlWords().size(), 1u);
    EXPECT_EQ(sim.device->ControlWords()[0].value, 2);
    EXPECT_EQ(sim.device->ControlWords()[0].data0, 0x5C);
    EXPECT_EQ(sim.device->ControlWords()[0].data1, 0x3A);
    hw.ResetHardware();
    EXPECT_EQ(sim.device->RequestLog().back().setup, (SetupPacket{0x40, 0xB4, 0, 0, 0}));

    sim.device->FailRequest(kVrStop);
    EXPECT_THROW(hw.SendStop(), platform::UserException);
    EXPECT_EQ(shown, (std::vector<std::string>{"send requesd for -STOP_SAMPLE_PLAY- failed", "Error in sending Stop request"}));
    shown.clear();
    sim.device->FailRequest(kVrPlay);
    EXPECT_THROW(hw.SendPlay(), platform::UserException);
    EXPECT_EQ(shown, (std::vector<std::string>{"send requesd for -PLAY- failed", "Error in sending Play request"}));
}

TEST(Usb2PlayWord, EncodesAsTheDeviceExpects) {
    EXPECT_EQ(EncodeUsb2PlaySample(-1.0f), 0x0000);
    EXPECT_EQ(EncodeUsb2PlaySample(0.0f), 0xFFFE);
    EXPECT_EQ(EncodeUsb2PlaySample(0.5f), 0x7FFD);
    EXPECT_EQ(EncodeUsb2PlaySample(1.0f), 0x7FFF);
    // 1.5 wraps: 81917 & 0xFFFF = 16381, bit-reversed.
    EXPECT_EQ(SimulatedRendal::UnreverseWord(EncodeUsb2PlaySample(1.5f)), 16381);
}

TEST(RendalControls, ControlWordsAndTimeText) {
    // Filter 300, "Mask", gain 6 -> 4 | 3 << 3 | 64.
    const std::vector<RendalChannelRow> four(4, RendalChannelRow{1, "DC", 300, "Mask", 6});
    auto words = RendalChannelPairWords(four, false);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0].value, 1);
    EXPECT_EQ(words[1].value, 2);
    EXPECT_EQ(words[0].data[0], 0x5C);
    EXPECT_EQ(RendalChannelPairWords(std::vector<RendalChannelRow>(8), false).size(), 4u);
    // Two channels: one row, byte 1 repeats it; the source bit is "BNC".
    words = RendalChannelPairWords({RendalChannelRow{1, "AC", 8000, "BNC", 20}}, true);
    ASSERT_EQ(words.size(), 1u);
    EXPECT_EQ(words[0].data[0], 7 << 3 | 7 | 64);
    EXPECT_EQ(words[0].data[1], words[0].data[0]);
    // A value outside the lists keeps the previous row's code.
    words = RendalChannelPairWords({RendalChannelRow{1, "", 1000, "BNC", 10}, RendalChannelRow{1, "", 123, "Mask", 7}},
                                   false);
    EXPECT_EQ(words[0].data[0], 5 << 3 | 5);
    EXPECT_EQ(words[0].data[1], 5 << 3 | 5 | 64);
    // Gain item "300", microphone, front panel and DC.
    EXPECT_EQ(RendalAudioByte(32, 16, 8, 2), 0x3A);
    EXPECT_EQ(RendalRecordTime(86, 22050), "0:3");
    EXPECT_EQ(RendalRecordTime(22050.0 * 3725 / 1024 + 1, 22050), "1:2:5");
}

// ---- the worker ----------------------------------------------------------------

TEST(CUSB2Thread, RecordsKnownFramesThroughShortAndZeroLengthPackets) {
    RendalOnBus sim;
    const std::string dir = test::FreshTempDir();
    auto file = std::make_shared<platform::File>(dir + "/rec.raw", platform::File::Mode::Create);
    Collector client;
    CUSB2Thread worker;
    worker.SetMessageSink(client.Sink());
    worker.Start();
    worker.AttachFile(file);
    worker.SetSampleClient(&client);
    worker.recordingFlag = 1;
    worker.stopFlag = 0;
    ASSERT_TRUE(worker.PostThreadMessage(CUSB2Thread::kSample));
    ASSERT_TRUE(WaitFor([&] { return sim.device->Outstanding() == 32u; }));
    // A short packet ending mid-frame, then a zero-length one.
    sim.device->ShortenNextTransfer(SimulatedRendal::kBulkIn, 1000 - 17);
    sim.device->Pump(1);
    sim.device->ShortenNextTransfer(SimulatedRendal::kBulkIn, 0);
    sim.device->Pump(1);
    // Forty more: the slots of the short and the zero-length packet come
    // round again among them, queued for the full size.
    int pumped = 0;
    ASSERT_TRUE(WaitFor([&] {
        if (pumped < 40 && sim.device->Pump(1) == 1)
            ++pumped;
        return worker.BlocksWritten() >= 41;
    }));
    EXPECT_EQ(file->GetLength(), 983 + 40 * 0x8000);
    sim.device->StartClock(200us, 2);
    ASSERT_TRUE(WaitFor([&] { return worker.BlocksWritten() >= 60; }));
    worker.stopFlag = 1;
    ASSERT_TRUE(worker.WaitRunEnded(3s));
    sim.device->StopClock();
    worker.ClearSampleClient();
    EXPECT_EQ(sim.device->Outstanding(), 0u);
    EXPECT_FALSE(sim.device->IsSampling());
    EXPECT_TRUE(worker.Stop(3s));
    EXPECT_TRUE(client.Messages().empty());

    // The file is the stream, frame 0 on, with nothing lost or repeated at
    // the short packet; the display got whole frames of the same stream.
    std::vector<std::uint8_t> written(static_cast<std::size_t>(file->GetLength()));
    ASSERT_EQ(file->ReadAt(0, written.data(), written.size()), written.size());
    EXPECT_GE(written.size(), 59u * 0x8000);
    ExpectStream(written);
    ExpectStream(client.shown);
    EXPECT_EQ(client.shown.size() % 32, 0u);
}

TEST(CUSB2Thread, RecordingFlagWritesFromTheNextBlockOnly) {
    RendalOnBus sim;
    auto file = std::make_shared<platform::File>(test::FreshTempDir() + "/r.raw", platform::File::Mode::Create);
    Collector client;
    CUSB2Thread worker;
    worker.Start();
    worker.AttachFile(file);
    worker.SetSampleClient(&client);
    worker.stopFlag = 0;
    worker.PostThreadMessage(CUSB2Thread::kSample);
    ASSERT_TRUE(WaitFor([&] { return sim.device->Outstanding() == 32u; }));
    sim.device->Pump(3);
    ASSERT_TRUE(WaitFor([&] { return client.blocks.load() == 3; }));
    EXPECT_EQ(file->GetLength(), 0);
    worker.recordingFlag = 1;
    sim.device->Pump(2);
    ASSERT_TRUE(WaitFor([&] { return worker.BlocksWritten() == 2; }));
    worker.stopFlag = 1;
    ASSERT_TRUE(worker.WaitRunEnded(3s));
    EXPECT_EQ(file->GetLength(), 2 * 0x8000);
    std::vector<std::uint8_t> head(32);
    file->ReadAt(0, head.data(), 32);
    EXPECT_EQ(platform::GetI16LE(&head[30]), SimulatedRendal::SampleWord(3 * 1024, 15));
    EXPECT_EQ(sim.device->Outstanding(), 0u);
}

TEST(CUSB2Thread, FaultsEndTheSamplingRunCleanly) {
    for (int fault = 0; fault < 2; ++fault) {
        RendalOnBus sim;
        Collector client;
        CUSB2Thread worker;
        worker.SetMessageSink(client.Sink());
        worker.Start();
        worker.SetSampleClient(&client);
        worker.stopFlag = 0;
        worker.PostThreadMessage(CUSB2Thread::kSample);
        ASSERT_TRUE(WaitFor([&] { return sim.device->Outstanding() == 32u; }));
        sim.device->Pump(2);
        if (fault == 0)
            sim.device->StallEndpoint(SimulatedRendal::kBulkIn);
        else
            sim.device->Unplug();
        // The run ends by itself: nothing queued, nothing spinning.
        ASSERT_TRUE(WaitFor([&] { return !worker.IsRunActive(); }, 5s)) << fault;
        EXPECT_EQ(sim.device->Outstanding(), 0u);
        EXPECT_EQ(client.Messages(), std::vector<std::string>{"Error in sampling"});
        EXPECT_TRUE(worker.Stop(3s));
    }
    // A failing sample request: the device's texts, then the worker's; the
    // run ends without queuing anything.
    RendalOnBus sim;
    Collector client;
    CUSB2Thread worker;
    worker.SetMessageSink(client.Sink());
    worker.Start();
    sim.device->FailRequest(kVrSample);
    worker.stopFlag = 0;
    worker.PostThreadMessage(CUSB2Thread::kSample);
    EXPECT_TRUE(worker.Stop(3s));
    EXPECT_EQ(client.Messages(), (std::vector<std::string>{"send requesd for -SAMPLE- failed",
                                                           "Error in sending Sample request", "Error in sampling"}));
    EXPECT_EQ(sim.device->Outstanding(), 0u);
}

TEST(CUSB2Thread, PlaysMemoryAndFileSpansAndStopTakesEverythingBack) {
    RendalOnBus sim;
    sim.device->StartClock(200us, 8);
    std::vector<float> channel(12000);
    for (std::size_t i = 0; i < channel.size(); ++i)
        channel[i] = static_cast<float>(std::sin(0.01 * static_cast<double>(i)) * 0.8);
    const std::int64_t first = 5000, end = 5000 + 2 * 2048;  // exactly two blocks: three are queued
    PlayView view;
    CUSB2Thread worker;
    worker.Start();
    Usb2PlayRequest r;
    r.memory = std::make_shared<std::vector<float>>(channel.begin() + first, channel.begin() + end);
    r.firstSample = first;
    r.endSample = end;
    worker.SetPlayRequest(r);
    worker.stopFlag = 0;
    worker.PostThreadMessage(CUSB2Thread::kPlay, 0, &view);
    ASSERT_TRUE(WaitFor([&] { return view.ended.load() == 1; }));
    EXPECT_EQ(worker.HeldPlayTransfers(), 3);
    worker.PostThreadMessage(CUSB2Thread::kStop);
    ASSERT_TRUE(WaitFor([&] { return worker.HeldPlayTransfers() == 0; }));
    sim.device->StopClock();
    EXPECT_EQ(sim.device->Outstanding(), 0u);
    std::vector<float> played = sim.device->PlayedSamples();
    ASSERT_GE(played.size(), static_cast<std::size_t>(3 * 2048));
    for (std::int64_t k = 0; k < end - first; ++k)
        ASSERT_NEAR(played[static_cast<std::size_t>(k)], channel[static_cast<std::size_t>(first + k)], 1.5 / 32767) << k;
    for (std::size_t k = static_cast<std::size_t>(end - first); k < played.size(); ++k)
        ASSERT_EQ(sim.device->PlayedWords()[k], 0xFFFE) << k;

    // From a file of three channels, channel 0.
    RendalOnBus sim2;
    sim2.device->StartClock(200us, 8);
    const std::string path = test::FreshTempDir() + "/three.f32";
    {
        platform::File f(path, platform::File::Mode::Create);
        std::vector<std::uint8_t> bytes(channel.size() * 12);
        for (std::size_t i = 0; i < channel.size(); ++i) {
            platform::PutF32LE(&bytes[12 * i], channel[i]);
            platform::PutF32LE(&bytes[12 * i + 4], 0.9f);
            platform::PutF32LE(&bytes[12 * i + 8], -0.9f);
        }
        f.Write(bytes.data(), bytes.size());
    }
    r = {};
    r.file = std::make_shared<platform::File>(path, platform::File::Mode::Read);
    r.channelCount = 3;
    r.firstSample = 100;
    r.endSample = 100 + 5000;
    worker.SetPlayRequest(r);
    worker.stopFlag = 0;
    worker.PostThreadMessage(CUSB2Thread::kPlay, 0, &view);
    ASSERT_TRUE(WaitFor([&] { return view.ended.load() == 2; }));
    // A second play before any stop: the first one's transfers go first.
    worker.stopFlag = 0;
    worker.PostThreadMessage(CUSB2Thread::kPlay, 0, &view);
    ASSERT_TRUE(WaitFor([&] { return view.ended.load() == 3; }));
    EXPECT_EQ(worker.HeldPlayTransfers(), CUSB2Thread::kFilePlaySlots);
    EXPECT_LE(sim2.device->Outstanding(), static_cast<std::size_t>(CUSB2Thread::kFilePlaySlots));
    played = sim2.device->PlayedSamples();
    for (std::size_t k = 0; k < 5000; ++k)
        ASSERT_NEAR(played[k], channel[100 + k], 1.5 / 32767) << k;
    sim2.device->StopClock();
    sim2.device->SetSilent(true);
    EXPECT_TRUE(worker.Stop(3s));  // quit without a stop message
}

TEST(CUSB2Thread, QuitTakesBackWhatAPlaybackLeftAndUnplugEndsPlayback) {
    RendalOnBus sim;
    std::vector<float> span(3000, 0.25f);
    PlayView view;
    {
        CUSB2Thread worker;
        worker.Start();
        Usb2PlayRequest r;
        r.memory = std::make_shared<std::vector<float>>(span);
        r.endSample = static_cast<std::int64_t>(span.size());
        worker.SetPlayRequest(r);
        worker.stopFlag = 0;
        worker.PostThreadMessage(CUSB2Thread::kPlay, 0, &view);
        ASSERT_TRUE(WaitFor([&] { return sim.device->Outstanding() == 2u; }));
        sim.device->Unplug();
        ASSERT_TRUE(WaitFor([&] { return view.ended.load() == 1; }));
        worker.PostThreadMessage(CUSB2Thread::kQuit);
    }
    EXPECT_EQ(sim.device->Outstanding(), 0u);

    // Quit while transfers are held by a silent device.
    RendalOnBus sim2;
    sim2.device->SetSilent(true);
    {
        CUSB2Thread worker;
        worker.Start();
        Usb2PlayRequest r;
        r.memory = std::make_shared<std::vector<float>>(span);
        r.endSample = static_cast<std::int64_t>(span.size());
        worker.SetPlayRequest(r);
        worker.stopFlag = 0;
        worker.PostThreadMessage(CUSB2Thread::kPlay, 0, &view);
        ASSERT_TRUE(WaitFor([&] { return sim2.device->Outstanding() == 2u; }));
        worker.stopFlag = 1;
        worker.PostThreadMessage(CUSB2Thread::kQuit);
    }
    EXPECT_EQ(sim2.device->Outstanding(), 0u);
}

// ---- the loader ----------------------------------------------------------------

class RendalLoad : public test::DocumentTest {
protected:
    // frames of the simulated stream into a recording file.
    std::shared_ptr<platform::File> MakeRecording(std::size_t frames) {
        auto f = std::make_shared<platform::File>(PathIn("rendal.raw"), platform::File::Mode::Create);
        std::vector<std::uint8_t> bytes(frames * 32);
        for (std::size_t k = 0; k < frames; ++k)
            for (int w = 0; w < 16; ++w)
                platform::PutU16LE(&bytes[32 * k + 2 * static_cast<std::size_t>(w)],
                                   static_cast<std::uint16_t>(SimulatedRendal::SampleWord(k, w)));
        f->Write(bytes.data(), bytes.size());
        return f;
    }
    void Enable(std::initializer_list<int> records, int count = 9) {
        app.acquisition.hardwareChannelCount = count;
        for (auto& r : app.settings.channelSetup)
            r.enabled = 0;
        for (int r : records)
            app.settings.channelSetup[static_cast<std::size_t>(r)].enabled = 1;
    }
    static float Word(std::size_t k, int w) { return static_cast<float>(SimulatedRendal::SampleWord(k, w)) / 32768.0f; }
};

TEST_F(RendalLoad, MeanOfTheAudioWordsAndTheRecordsWords) {
    Enable({0, 2, 5});
    auto file = MakeRecording(5000);
    doc->Channel(0).rate = 22050;
    ASSERT_EQ(doc->LoadRendalRecording(*file, 5), 1);
    ASSERT_EQ(doc->GetChannelCount(), 3);
    EXPECT_EQ(doc->Channel(0).name, "Audio");
    EXPECT_EQ(doc->Channel(1).name, "ch2");
    EXPECT_EQ(doc->Channel(2).name, "ch5");
    EXPECT_EQ(doc->Channel(0).audioFlag, 1);
    EXPECT_EQ(doc->GetFileTypeCode(), 11);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->neverSaved, 1);
    for (int m = 0; m < 3; ++m) {
        EXPECT_EQ(doc->Channel(m).sampleCount, 5000);
        EXPECT_EQ(doc->Channel(m).rate, 22050);
        EXPECT_NEAR(doc->Channel(m).duration, 5000 * 1000.0 / 22050, 1e-9);
    }
    for (std::size_t k : {0u, 1u, 1023u, 4999u}) {
        const float mean = (((Word(k, 1) + Word(k, 0)) + Word(k, 2)) + Word(k, 3)) * 0.25f;
        EXPECT_EQ(doc->Channel(0).samples.data()[k], mean);
        EXPECT_EQ(doc->Channel(1).samples.data()[k], Word(k, 5));
        EXPECT_EQ(doc->Channel(2).samples.data()[k], Word(k, 8));
    }
    EXPECT_TRUE(std::filesystem::exists(PathIn("rendal.raw")));  // never deleted here
}

TEST_F(RendalLoad, RecordZeroDisabledTakesItsOwnWordOnBothRoads) {
    Enable({3, 4});
    auto file = MakeRecording(300);
    doc->Channel(0).rate = 22050;
    ASSERT_EQ(doc->LoadRendalRecording(*file, 5), 1);
    EXPECT_EQ(doc->Channel(0).name, "Audio");
    EXPECT_EQ(doc->Channel(1).name, "ch4");
    EXPECT_EQ(doc->Channel(0).samples.data()[7], Word(7, 6));
    // The scratch road (300 s or more: here at a rate of 1 Hz) gives the same.
    doc->Channel(0).rate = 1;
    std::vector<std::string> texts;
    doc->SetProgressFactory([&] { return std::make_unique<test::RecordingProgress>(texts, false); });
    ASSERT_EQ(doc->LoadRendalRecording(*file, 5), 1);
    EXPECT_EQ(texts, std::vector<std::string>{"Saving:... "});
    EXPECT_TRUE(doc->Channel(0).samples.IsNull());
    float v = 0;
    ASSERT_TRUE(doc->Channel(0).ReadSample(7, v));
    EXPECT_EQ(v, Word(7, 6));
    ASSERT_TRUE(doc->Channel(1).ReadSample(299, v));
    EXPECT_EQ(v, Word(299, 7));
}

TEST_F(RendalLoad, RefusesWhatCannotBeLoadedAndKeepsTheDocument) {
    auto file = MakeRecording(100);
    doc->Channel(0).rate = 22050;
    Enable({0, 13}, 16);
    EXPECT_EQ(doc->LoadRendalRecording(*file, 5), 0);
    EXPECT_NE(prompts.LastMessage().find("Channel 13"), std::string::npos);
    Enable({}, 9);
    EXPECT_EQ(doc->LoadRendalRecording(*file, 5), 0);
    EXPECT_EQ(prompts.LastMessage(), kRendalNoChannelMessage);
    Enable({0}, 9);
    doc->Channel(0).rate = 0;
    EXPECT_EQ(doc->LoadRendalRecording(*file, 5), 0);
    EXPECT_EQ(prompts.LastMessage(), kRendalNoRateMessage);
    EXPECT_EQ(doc->GetChannelCount(), 0);
    EXPECT_FALSE(doc->IsDataLoaded());
}
