#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "acquisition/CUSBHardware.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"
#include "platform/usb/SimulatedAudioBox.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

using namespace platform::usb;
using namespace vocomet;
using namespace std::chrono_literals;

namespace {

// A simulated audio box on the process bus for the test, pumped by its own
// clock so transfers complete as a real box would complete them.
struct BoxOnBus {
    std::shared_ptr<SimulatedAudioBox> box = std::make_shared<SimulatedAudioBox>();
    std::shared_ptr<SimulatedUsbBus> bus = std::make_shared<SimulatedUsbBus>();
    ScopedUsbBus scope{bus};

    explicit BoxOnBus(bool clock = true) {
        bus->Add(kAudioBoxDeviceKind, box);
        if (clock)
            box->StartClock(1ms);
    }
    ~BoxOnBus() { box->StopClock(); }

    // The vendor requests the box saw (not the descriptor reads), in order.
    std::vector<std::uint8_t> Requests() const {
        std::vector<std::uint8_t> r;
        for (const LoggedRequest& l : box->RequestLog())
            if ((l.setup.bmRequestType & 0x60) == 0x40)
                r.push_back(l.setup.bRequest);
        return r;
    }
};

class TextReport : public DeviceReport {
public:
    void DeviceMessage(const std::string& text, bool beep) override {
        std::lock_guard<std::mutex> lock(m);
        texts.push_back(text);
        beeps += beep ? 1 : 0;
    }
    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> lock(m);
        return texts;
    }
    std::mutex m;
    std::vector<std::string> texts;
    int beeps = 0;
};

std::string WriteFirmware(std::size_t bytes) {
    const std::string path = vocomet::test::FreshTempDir() + "/ada.ldr";
    std::ofstream out(path, std::ios::binary);
    for (std::size_t i = 0; i < bytes; ++i)
        out.put(static_cast<char>((i * 31 + 7) & 0xFF));
    return path;
}

std::vector<std::uint8_t> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(CUSBHardware, BootStreamsTheFirmwareWholeAndReadsTheBootedCodeBack) {
    BoxOnBus sim;
    const std::string firmware = WriteFirmware(70000);
    CUSBHardware hw;
    EXPECT_EQ(1, hw.BootDsp(firmware));
    EXPECT_TRUE(sim.box->IsDspRunning());
    EXPECT_EQ(sim.box->Firmware(), FileBytes(firmware));
    EXPECT_EQ(sim.Requests(), (std::vector<std::uint8_t>{VR_DSP_BOOT_START, VR_DSP_BOOT_STOP, VR_READ_CONFIG}));
    // The configuration read is device-to-host with its length in wIndex too.
    const auto log = sim.box->RequestLog();
    EXPECT_EQ(log.back().setup, (SetupPacket{0xC0, VR_READ_CONFIG, 0, 64, 64}));
    EXPECT_EQ(platform::GetU32LE(log.back().data.data()), kAudioBoxBootedCode);
}

TEST(CUSBHardware, BootFailures) {
    {
        // No firmware file: 0, nothing sent, nothing said.
        BoxOnBus sim;
        TextReport report;
        CUSBHardware hw(&report);
        EXPECT_EQ(0, hw.BootDsp(vocomet::test::FreshTempDir() + "/ada.ldr"));
        EXPECT_TRUE(sim.Requests().empty());
        EXPECT_TRUE(report.Texts().empty());
    }
    {
        // The DSP does not start: every request succeeded, the code is wrong.
        BoxOnBus sim;
        sim.box->SetBootFails(true);
        CUSBHardware hw;
        EXPECT_EQ(0, hw.BootDsp(WriteFirmware(300)));
        EXPECT_EQ(sim.Requests().back(), VR_READ_CONFIG);
    }
    {
        // A short firmware write still ends the boot with its stop request.
        BoxOnBus sim(false);
        sim.box->ShortenNextTransfer(SimulatedAudioBox::PipeEndpoint(SimulatedAudioBox::kFirmwarePipe), 100);
        sim.box->StartClock(1ms);
        TextReport report;
        CUSBHardware hw(&report);
        EXPECT_EQ(0, hw.BootDsp(WriteFirmware(300)));
        EXPECT_EQ(sim.Requests(), (std::vector<std::uint8_t>{VR_DSP_BOOT_START, VR_DSP_BOOT_STOP}));
        EXPECT_EQ(report.Texts(), std::vector<std::string>{kErrorReadingIncomingData});
    }
    {
        // No box at all.
        ScopedUsbBus none(std::make_shared<SimulatedUsbBus>());
        CUSBHardware hw;
        EXPECT_EQ(0, hw.BootDsp(WriteFirmware(300)));
    }
}

TEST(CUSBHardware, SetupBlocksCarryTheirFieldsAtTheirOffsets) {
    BoxOnBus sim;
    TextReport report;
    CUSBHardware hw(&report);
    hw.SetupLocal(22, 90, 1, 1, 0x100);  // only the low byte of each value
    const auto local = sim.box->LastLocalSetup();
    EXPECT_EQ((std::vector<std::uint8_t>(local.begin(), local.begin() + 6)),
              (std::vector<std::uint8_t>{22, 90, 1, 1, 0, 0}));

    hw.SetupDsp(2, 0x1000, 0x2000, 512, 1023, 44100, 7, 1);
    EXPECT_FALSE(hw.IsOpen());  // opened for the request, closed after it
    const auto dsp = sim.box->LastDspSetup();
    const std::uint32_t expected[8] = {0xBB, 2, 0x3200, 1023, 44100, 7, 1, 0};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(platform::GetU32LE(dsp.data() + 4 * i), expected[i]) << "word " << i;
    EXPECT_TRUE(report.Texts().empty());

    // An object that has its handle open uses it and closes it at the end.
    hw.OpenDevice();
    hw.SetupDsp(1, 0, 0, 0, 512, 22050, 0, 0);
    EXPECT_FALSE(hw.IsOpen());
}

TEST(CUSBHardware, FailuresShowTheInnerTextFirst) {
    struct Case {
        const char* what;
        std::function<void(BoxOnBus&, CUSBHardware&)> run;
        std::vector<std::string> texts;
    };
    const std::uint8_t sampleEp = SimulatedAudioBox::PipeEndpoint(SimulatedAudioBox::kSamplePipe);
    const std::vector<Case> cases = {
        {"failing sample request",
         [](BoxOnBus& s, CUSBHardware& hw) {
             s.box->FailRequest(VR_SAMPLE);
             hw.OpenDevice();
             hw.SendSample();
         },
         {"send requesd for -SAMPLE- failed", kErrorSendingSample}},
        {"short read",
         [sampleEp](BoxOnBus& s, CUSBHardware& hw) {
             hw.OpenDevice();
             hw.SendSample();
             s.box->ShortenNextTransfer(sampleEp, 100);
             std::vector<std::uint8_t> b(kSampleBlockBytes);
             hw.ReadBlock(b.data(), b.size(), 0);
         },
         {kSampleProblem, kErrorReadingIncomingData, kErrorSendingSample}},
        {"unplugged during a read",
         [](BoxOnBus& s, CUSBHardware& hw) {
             hw.OpenDevice();
             hw.SendSample();
             s.box->Unplug();
             std::vector<std::uint8_t> b(kSampleBlockBytes);
             hw.ReadBlock(b.data(), b.size(), 0);
         },
         {kSampleProblem, kErrorReadingIncomingData, kErrorSendingSample}},
        {"failing write",
         [](BoxOnBus& s, CUSBHardware& hw) {
             hw.OpenDevice();
             hw.SendPlay();
             s.box->StallEndpoint(SimulatedAudioBox::PipeEndpoint(SimulatedAudioBox::kPlayPipe));
             std::vector<std::uint8_t> b(kPlayBlockBytes);
             hw.WriteBlock(b.data(), b.size(), 0);
         },
         {kErrorReadingIncomingData, kErrorSendingSample}},
        {"stop without a handle", [](BoxOnBus&, CUSBHardware& hw) { hw.SendStop(); },
         {kDeviceNotOpen, kErrorSendingStop}},
        {"close without a handle", [](BoxOnBus&, CUSBHardware& hw) { hw.CloseDevice(); },
         {kDeviceNotOpen, kErrorCloseDevice}},
        {"failing DSP setup",
         [](BoxOnBus& s, CUSBHardware& hw) {
             s.box->FailRequest(VR_DSP_SETUP);
             hw.SetupDsp(1, 0x1000, 0x2000, 128, 1023, 22050, 0, 0);
         },
         {"send requesd for -COMMAND_SETUP_DSP- failed", kErrorDspSetup}},
        {"local setup with no box",
         [](BoxOnBus& s, CUSBHardware& hw) {
             s.box->Unplug();
             hw.SetupLocal(22, 9, 0, 0, 1);
         },
         {kErrorLocalSetup}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BoxOnBus sim;
        TextReport report;
        CUSBHardware hw(&report);
        EXPECT_THROW(c.run(sim, hw), platform::UserException);
        EXPECT_EQ(report.Texts(), c.texts);
    }

    // The form's and the views' road: the failure is shown and gives 0.
    BoxOnBus sim;
    sim.box->Unplug();
    vocomet::test::ScriptedPrompts prompts;
    CUSBHardware hw;
    EXPECT_EQ(0, hw.SetupDsp(prompts, 0, 0, 0, 0, 1023, 22050, 0, 0));
    EXPECT_EQ(prompts.LastMessage(), kErrorDspSetup);
    EXPECT_EQ(prompts.beeps, 1);
}

TEST(CUSBHardware, StopFlagEndsTheStreamsAfterTheirBlock) {
    BoxOnBus sim;
    TextReport report;
    CUSBHardware hw(&report);
    hw.OpenDevice();
    hw.SendSample();
    std::vector<std::uint8_t> b(kSampleBlockBytes);
    ASSERT_EQ(hw.ReadBlock(b.data(), b.size(), 0), b.data());
    EXPECT_EQ(static_cast<std::int32_t>(platform::GetU32LE(&b[8 * 5 + 4])), SimulatedAudioBox::SampleWord(5, 1));
    // With the flag set one more block is read, then the box is stopped.
    EXPECT_EQ(hw.ReadBlock(b.data(), b.size(), 1), nullptr);
    EXPECT_EQ(static_cast<std::int32_t>(platform::GetU32LE(&b[4])), SimulatedAudioBox::SampleWord(1024, 1));
    EXPECT_FALSE(sim.box->IsSampling());

    hw.SendPlay();
    std::vector<std::uint8_t> p(kPlayBlockBytes);
    EXPECT_EQ(1, hw.WriteBlock(p.data(), p.size(), 1));  // written, and the flag returned
    EXPECT_EQ(sim.box->PlayedChannel(0).size(), kAudioBoxFrames);
    EXPECT_EQ(1, hw.CloseDevice());
    EXPECT_TRUE(report.Texts().empty());
}

TEST(CUSBHardware, SilentBoxFailsTheReadWithinItsTimeoutOrAtTheStopFlag) {
    BoxOnBus sim;
    TextReport report;
    CUSBHardware hw(&report);
    hw.OpenDevice();
    hw.SendSample();
    sim.box->SetSilent(true);
    std::vector<std::uint8_t> b(kSampleBlockBytes);
    EXPECT_THROW(hw.ReadBlock(b.data(), b.size(), 0), platform::UserException);
    EXPECT_EQ(report.Texts(),
              (std::vector<std::string>{kSampleProblem, kErrorReadingIncomingData, kErrorSendingSample}));
    EXPECT_EQ(sim.box->Outstanding(), 0u);

    // A stop source set while it waits takes the read back: the stream ends
    // as if the flag had been seen after the block.
    std::atomic<int> stop{1};
    hw.SetStopSource(&stop);
    EXPECT_EQ(hw.ReadBlock(b.data(), b.size(), 0), nullptr);
    EXPECT_FALSE(sim.box->IsSampling());
    EXPECT_EQ(sim.box->Outstanding(), 0u);
}

}  // namespace
