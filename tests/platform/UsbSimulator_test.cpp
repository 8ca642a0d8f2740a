#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "platform/ByteCodec.h"
#include "platform/ProfileStore.h"
#include "platform/usb/LibusbBus.h"
#include "platform/usb/SimulatedAudioBox.h"
#include "platform/usb/SimulatedRendal.h"

using namespace platform::usb;
using namespace std::chrono_literals;

namespace {

UsbStatus Vendor(UsbDeviceHandle& h, std::uint8_t request, std::uint16_t value = 0, std::uint8_t* data = nullptr,
                 std::uint16_t length = 0, bool in = false, bool lengthInIndex = false) {
    std::size_t moved = 0;
    const SetupPacket s{static_cast<std::uint8_t>(in ? 0xC0 : 0x40), request, value,
                        static_cast<std::uint16_t>(lengthInIndex ? length : 0), length};
    return h.Control(s, data, moved, 1000ms);
}

std::shared_ptr<UsbTransfer> Queue(UsbDeviceHandle& h, std::uint8_t ep, std::vector<std::uint8_t>& buffer) {
    auto t = std::make_shared<UsbTransfer>(ep, EndpointType::Bulk, buffer.data(), buffer.size());
    h.Submit(t);
    return t;
}

TEST(UsbSimulator, RendalStreamsFramesAcrossShortAndZeroLengthTransfers) {
    SimulatedRendal dev(0x15);
    std::vector<std::uint8_t> a(1000), b(0x8000), c(0x8000), z(64);
    // Nothing comes before the sample request.
    auto ta = Queue(dev, SimulatedRendal::kBulkIn, a);
    EXPECT_EQ(dev.Pump(), 0u);
    EXPECT_EQ(dev.Outstanding(), 1u);

    std::vector<std::uint8_t> reply(64, 0xEE);
    ASSERT_EQ(Vendor(dev, SimulatedRendal::kReadConfig, 7, reply.data(), 64, true), UsbStatus::Ok);
    EXPECT_EQ(reply[0], 0x15);
    EXPECT_EQ(reply[63], 0);
    ASSERT_EQ(Vendor(dev, SimulatedRendal::kSample), UsbStatus::Ok);

    dev.ShortenNextTransfer(SimulatedRendal::kBulkIn, 1000 - 17);  // ends mid-frame, on an odd byte
    auto tb = Queue(dev, SimulatedRendal::kBulkIn, b);
    EXPECT_EQ(dev.Pump(1), 1u);
    EXPECT_EQ(ta->Actual(), 983u);
    dev.ShortenNextTransfer(SimulatedRendal::kBulkIn, 0);
    auto tz = Queue(dev, SimulatedRendal::kBulkIn, z);
    auto tc = Queue(dev, SimulatedRendal::kBulkIn, c);
    EXPECT_EQ(dev.Pump(), 3u);
    EXPECT_EQ(tb->Actual(), 0u);  // the zero-length one came next in the queue
    EXPECT_EQ(tz->Actual(), 64u);
    EXPECT_EQ(tc->Actual(), 0x8000u);
    EXPECT_EQ(dev.Outstanding(), 0u);

    // The bytes of the four transfers, joined, are the frame stream.
    std::vector<std::uint8_t> stream(a.begin(), a.begin() + 983);
    stream.insert(stream.end(), z.begin(), z.end());
    stream.insert(stream.end(), c.begin(), c.end());
    for (std::size_t at = 0; at + 1 < stream.size(); at += 2) {
        const std::uint64_t frame = at / 32;
        const int word = static_cast<int>((at % 32) / 2);
        // Words straddling the odd edge of the short transfer are checked too.
        ASSERT_EQ(static_cast<std::int16_t>(platform::GetU16LE(&stream[at])), SimulatedRendal::SampleWord(frame, word))
            << "byte " << at;
    }
    EXPECT_EQ(SimulatedRendal::SampleWord(70000, 15), static_cast<std::int16_t>(70000 & 0xFFFF));
}

TEST(UsbSimulator, RendalDecodesPlayWordsAndLogsRequests) {
    SimulatedRendal dev;
    // -1.0 -> 0x0000, 0.0 -> 0xFFFE, 0.5 -> 0x7FFD, 1.0 -> 0x7FFF as sent.
    std::vector<std::uint8_t> block = {0x00, 0x00, 0xFE, 0xFF, 0xFD, 0x7F, 0xFF, 0x7F};
    auto t = Queue(dev, SimulatedRendal::kBulkOut, block);
    EXPECT_EQ(dev.Pump(), 0u);  // not taken before the play request
    ASSERT_EQ(Vendor(dev, SimulatedRendal::kPlay), UsbStatus::Ok);
    EXPECT_EQ(dev.Pump(), 1u);
    EXPECT_EQ(t->Actual(), 8u);
    const std::vector<float> played = dev.PlayedSamples();
    ASSERT_EQ(played.size(), 4u);
    EXPECT_NEAR(played[0], -1.0f, 1e-6);
    EXPECT_NEAR(played[1], 0.0f, 1e-4);
    EXPECT_NEAR(played[2], 0.5f, 1e-4);
    EXPECT_NEAR(played[3], 1.0f, 1e-4);

    std::uint8_t control[2] = {0x12, 0x34};
    ASSERT_EQ(Vendor(dev, SimulatedRendal::kControl, 0x0456, control, 2), UsbStatus::Ok);
    ASSERT_EQ(dev.ControlWords().size(), 1u);
    EXPECT_EQ(dev.ControlWords()[0].value, 0x0456);
    EXPECT_EQ(dev.ControlWords()[0].data1, 0x34);
    EXPECT_EQ(Vendor(dev, 0xA0), UsbStatus::Stall);  // a request it does not know

    const auto log = dev.RequestLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].setup, (SetupPacket{0x40, 0xB3, 0, 0, 0}));
    EXPECT_EQ(log[1].data, (std::vector<std::uint8_t>{0x12, 0x34}));
    EXPECT_EQ(log[2].status, UsbStatus::Stall);
}

TEST(UsbSimulator, FaultsOnDemand) {
    SimulatedRendal dev;
    // A failing request fails once.
    dev.FailRequest(SimulatedRendal::kSample);
    EXPECT_EQ(Vendor(dev, SimulatedRendal::kSample), UsbStatus::Stall);
    EXPECT_EQ(Vendor(dev, SimulatedRendal::kSample), UsbStatus::Ok);

    // A stalled endpoint fails its transfers until the pipe is reset.
    std::vector<std::uint8_t> b1(64), b2(64), b3(64);
    auto t1 = Queue(dev, SimulatedRendal::kBulkIn, b1);
    dev.StallEndpoint(SimulatedRendal::kBulkIn);
    EXPECT_EQ(t1->Status(), UsbStatus::Stall);
    auto t2 = Queue(dev, SimulatedRendal::kBulkIn, b2);
    dev.Pump();
    EXPECT_EQ(t2->Status(), UsbStatus::Stall);
    EXPECT_EQ(dev.ResetPipe(SimulatedRendal::kBulkIn), UsbStatus::Ok);

    // A silent device keeps its transfers.
    dev.SetSilent(true);
    auto t3 = Queue(dev, SimulatedRendal::kBulkIn, b3);
    EXPECT_EQ(dev.Pump(), 0u);
    EXPECT_FALSE(t3->WaitFor(10ms));
    dev.SetSilent(false);
    EXPECT_EQ(dev.Pump(), 1u);
    EXPECT_EQ(t3->Status(), UsbStatus::Ok);

    // Unplugged: what is queued completes with NoDevice and every call fails.
    auto t4 = Queue(dev, SimulatedRendal::kBulkIn, b1);
    dev.Unplug();
    EXPECT_EQ(t4->Status(), UsbStatus::NoDevice);
    EXPECT_EQ(Vendor(dev, SimulatedRendal::kStop), UsbStatus::NoDevice);
    auto t5 = Queue(dev, SimulatedRendal::kBulkIn, b2);
    EXPECT_TRUE(t5->IsComplete());
    EXPECT_EQ(t5->Status(), UsbStatus::NoDevice);
    EXPECT_EQ(dev.Outstanding(), 0u);
}

TEST(UsbSimulator, AudioBoxBootsSamplesAndPlays) {
    SimulatedAudioBox box;
    std::vector<std::uint8_t> config(64);
    ASSERT_EQ(Vendor(box, SimulatedAudioBox::kReadConfig, 0, config.data(), 64, true, true), UsbStatus::Ok);
    EXPECT_NE(platform::GetU32LE(config.data()), SimulatedAudioBox::kBootedCode);

    // Boot: start, firmware on pipe 2, stop, then the configuration says it runs.
    ASSERT_EQ(Vendor(box, SimulatedAudioBox::kBootStart, 0, nullptr, 0, false, true), UsbStatus::Ok);
    std::vector<std::uint8_t> firmware(300);
    for (std::size_t i = 0; i < firmware.size(); ++i)
        firmware[i] = static_cast<std::uint8_t>(i * 7);
    auto tf = Queue(box, SimulatedAudioBox::PipeEndpoint(SimulatedAudioBox::kFirmwarePipe), firmware);
    EXPECT_EQ(box.Pump(), 1u);
    ASSERT_EQ(Vendor(box, SimulatedAudioBox::kBootStop, 0, nullptr, 0, false, true), UsbStatus::Ok);
    ASSERT_EQ(Vendor(box, SimulatedAudioBox::kReadConfig, 0, config.data(), 64, true, true), UsbStatus::Ok);
    EXPECT_EQ(platform::GetU32LE(config.data()), SimulatedAudioBox::kBootedCode);
    EXPECT_EQ(box.Firmware(), firmware);
    // The box's driver carries the length in wIndex too; without it: refused.
    EXPECT_EQ(Vendor(box, SimulatedAudioBox::kReadConfig, 0, config.data(), 64, true, false), UsbStatus::Stall);

    // A DSP setup with FFT size 128 shapes the spectra of the sample blocks.
    std::vector<std::uint8_t> setup(64);
    platform::PutU32LE(setup.data(), 0xBB);
    platform::PutU32LE(setup.data() + 8, 0x1000 | 0x2000 | 128);
    ASSERT_EQ(Vendor(box, SimulatedAudioBox::kDspSetup, 0, setup.data(), 64, false, true), UsbStatus::Ok);
    EXPECT_EQ(box.LastDspSetup()[8], 128);

    ASSERT_EQ(Vendor(box, SimulatedAudioBox::kSample, 0, nullptr, 0, false, true), UsbStatus::Ok);
    std::vector<std::uint8_t> block(SimulatedAudioBox::kSampleBlockBytes);
    auto ts = Queue(box, SimulatedAudioBox::PipeEndpoint(SimulatedAudioBox::kSamplePipe), block);
    EXPECT_EQ(box.Pump(), 1u);
    EXPECT_EQ(ts->Actual(), block.size());
    for (int frame : {0, 1, 1023}) {
        EXPECT_EQ(static_cast<std::int32_t>(platform::GetU32LE(&block[8 * frame])), SimulatedAudioBox::SampleWord(frame, 0));
        EXPECT_EQ(static_cast<std::int32_t>(platform::GetU32LE(&block[8 * frame + 4])), frame);
    }
    float bin;
    std::memcpy(&bin, &block[8192 + 4 * (64 + 5)], 4);  // spectrum 1, bin 5
    EXPECT_EQ(bin, SimulatedAudioBox::SpectrumValue(1, 5));

    // Playing: channel 0 in word 1, channel 1 in word 0.
    ASSERT_EQ(Vendor(box, SimulatedAudioBox::kPlay, 0, nullptr, 0, false, true), UsbStatus::Ok);
    std::vector<std::uint8_t> play(16);
    platform::PutU32LE(play.data() + 0, static_cast<std::uint32_t>(-(1 << 22)));
    platform::PutU32LE(play.data() + 4, 1 << 21);
    auto tp = Queue(box, SimulatedAudioBox::PipeEndpoint(SimulatedAudioBox::kPlayPipe), play);
    EXPECT_EQ(box.Pump(), 1u);
    ASSERT_EQ(box.PlayedChannel(0).size(), 2u);
    EXPECT_EQ(box.PlayedChannel(0)[0], 0.25f);
    EXPECT_EQ(box.PlayedChannel(1)[0], -0.5f);
}

TEST(UsbSimulator, ClockPumpsFromItsOwnThread) {
    auto dev = std::make_shared<SimulatedRendal>();
    ASSERT_EQ(Vendor(*dev, SimulatedRendal::kSample), UsbStatus::Ok);
    std::vector<std::vector<std::uint8_t>> buffers(8, std::vector<std::uint8_t>(4096));
    std::vector<std::shared_ptr<UsbTransfer>> transfers;
    dev->StartClock(1ms, 1);
    for (auto& b : buffers)
        transfers.push_back(Queue(*dev, SimulatedRendal::kBulkIn, b));
    for (auto& t : transfers)
        ASSERT_TRUE(t->WaitFor(5s));
    dev->StopClock();
    EXPECT_EQ(dev->StreamBytesSent(), 8u * 4096u);
}

TEST(UsbSimulator, SettingsSelectTheSimulatorOrTheSystemDevice) {
    platform::MemoryProfileStore profile;
    profile.values[{"USB Devices", "Rendal"}] = "fff0:0002";
    profile.values[{"USB Devices", "Simulate"}] = "Rendal=0x02";
    ::unsetenv("VOCOMET_USB_RENDAL");
    ::unsetenv("VOCOMET_USB_AUDIOBOX");
    ::unsetenv("VOCOMET_USB_SIMULATE");
    UsbSettings s = UsbSettings::Read(&profile);
    EXPECT_TRUE(s.simulateRendal);
    EXPECT_FALSE(s.simulateAudioBox);
    EXPECT_EQ(s.rendalConfigurationByte, 2);
    EXPECT_EQ(s.ids[kRendalDeviceKind], (UsbId{0xFFF0, 0x0002}));

    // The environment wins over the profile.
    ::setenv("VOCOMET_USB_SIMULATE", "audiobox", 1);
    s = UsbSettings::Read(&profile);
    ::unsetenv("VOCOMET_USB_SIMULATE");
    EXPECT_FALSE(s.simulateRendal);
    EXPECT_TRUE(s.simulateAudioBox);

    ScopedUsbBus scope(MakeBus(s));
    const auto bus = CurrentBus();
    ASSERT_EQ(bus->Present(kAudioBoxDeviceKind).size(), 1u);
    const auto a = bus->Open(kAudioBoxDeviceKind, 0);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(bus->Open(kAudioBoxDeviceKind, 0), a);  // one handle per device, shared
    EXPECT_EQ(bus->Open(kAudioBoxDeviceKind, 1), nullptr);

    EXPECT_FALSE(ParseUsbId("12345:1"));
    EXPECT_FALSE(ParseUsbId("zz:01"));
    EXPECT_EQ(*ParseUsbId("04B4:8613"), (UsbId{0x04B4, 0x8613}));
}

TEST(LibusbBus, FindsNoDeviceHereAndReportsAbsent) {
    // No device with these ids is attached to a build machine; with no USB
    // at all libusb does not start, which is absent too.
    LibusbBus bus({{kRendalDeviceKind, UsbId{0xFFF0, 0x0002}}});
    EXPECT_TRUE(bus.Present(kRendalDeviceKind).empty());
    EXPECT_EQ(bus.Open(kRendalDeviceKind, 0), nullptr);
    // A kind the settings give no id for has no device.
    EXPECT_TRUE(bus.Present(kAudioBoxDeviceKind).empty());
    EXPECT_EQ(bus.Open(kAudioBoxDeviceKind, 0), nullptr);
}

}  // namespace
