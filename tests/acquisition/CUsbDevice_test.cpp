#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "acquisition/CUsbDevice.h"
#include "platform/ByteCodec.h"
#include "platform/usb/SimulatedAudioBox.h"
#include "platform/usb/SimulatedRendal.h"

using namespace platform::usb;
using namespace vocomet;
using namespace std::chrono_literals;

namespace {

// A bus with one simulated USB 2 system, installed for the test.
struct RendalOnBus {
    std::shared_ptr<SimulatedRendal> device;
    std::shared_ptr<SimulatedUsbBus> bus = std::make_shared<SimulatedUsbBus>();
    ScopedUsbBus scope{bus};

    explicit RendalOnBus(std::shared_ptr<SimulatedRendal> d = std::make_shared<SimulatedRendal>())
        : device(std::move(d)) {
        bus->Add(kRendalDeviceKind, device);
    }
};

bool SendVendor(CUsbDevice& dev, std::uint8_t request, std::uint8_t* data = nullptr, int length = 0, int direction = 0,
                std::uint16_t value = 0) {
    CUsbControlEndpoint* c = dev.ControlEndpoint();
    c->recipient = 0;
    c->requestType = 2;
    c->direction = direction;
    c->request = request;
    c->value = value;
    c->index = 0;
    return c->Transfer(data, length);
}

TEST(CUsbDevice, OpensAndDescribesTheSimulatedSystem) {
    RendalOnBus sim;
    CUsbDevice dev(kRendalDeviceKind, false);
    EXPECT_EQ(dev.GetEndpointCount(), 0);
    EXPECT_EQ(dev.GetDeviceCount(), 1);
    ASSERT_TRUE(dev.Open(0));
    EXPECT_EQ(dev.vendorId, SimulatedRendal::kVendorId);
    EXPECT_EQ(dev.productId, SimulatedRendal::kProductId);
    EXPECT_EQ(dev.bcdUSB, 0x0200);
    EXPECT_EQ(dev.product, u"Rendal USB 2");
    EXPECT_EQ(dev.languageId, 0x0409);
    EXPECT_EQ(dev.configCount, 1);
    EXPECT_EQ(dev.devicePath, "sim:rendal-0");
    EXPECT_EQ(dev.GetEndpointCount(), 3);
    ASSERT_NE(dev.EndpointTable(), nullptr);
    EXPECT_EQ(dev.EndpointTable()[0], dev.ControlEndpoint());
    ASSERT_NE(dev.bulkInEndpoint, nullptr);
    ASSERT_NE(dev.bulkOutEndpoint, nullptr);
    EXPECT_EQ(dev.bulkInEndpoint->bEndpointAddress, SimulatedRendal::kBulkIn);
    EXPECT_EQ(dev.bulkOutEndpoint->bEndpointAddress, SimulatedRendal::kBulkOut);
    EXPECT_TRUE(dev.bulkInEndpoint->direct);
    EXPECT_EQ(dev.ControlEndpoint()->maxPacketSize, 64);

    // The configuration request of the system, through the control endpoint.
    std::vector<std::uint8_t> reply(64);
    ASSERT_TRUE(SendVendor(dev, SimulatedRendal::kReadConfig, reply.data(), 64, 1, 7));
    EXPECT_EQ(reply[0], 0x09);
    const auto log = sim.device->RequestLog();
    EXPECT_EQ(log.back().setup, (SetupPacket{0xC0, 0xB7, 7, 0, 64}));

    // Device 1 does not exist: the object ends closed.
    EXPECT_FALSE(dev.Open(1));
    EXPECT_FALSE(dev.IsOpen());
    EXPECT_EQ(dev.GetEndpointCount(), 0);
}

TEST(CUsbDevice, AbsentWhenNoDeviceOfTheKindIsPresent) {
    auto bus = std::make_shared<SimulatedUsbBus>();
    ScopedUsbBus scope(bus);
    CUsbDevice dev(kRendalDeviceKind, true);
    EXPECT_FALSE(dev.IsOpen());
    EXPECT_EQ(dev.GetDeviceCount(), 0);
    EXPECT_EQ(dev.ControlEndpoint(), nullptr);
}

TEST(CUsbDevice, FailedOpenClosesWhatItOpened) {
    RendalOnBus sim;
    // Descriptor requests refused: no configuration, so no interface.
    sim.device->FailRequest(6, 1000);
    {
        CUsbDevice dev(kRendalDeviceKind, true);
        EXPECT_FALSE(dev.IsOpen());
        EXPECT_EQ(dev.Handle(), nullptr);
        EXPECT_EQ(dev.Configuration(0), nullptr);
    }
    // Nothing of the device is held: the simulator is its bus's only owner
    // besides the test.
    EXPECT_EQ(sim.device.use_count(), 2);
}

TEST(CUsbDevice, OlderTransportTransfersBufferedAndSameResult) {
    RendalOnBus sim;
    sim.device->SetDriverVersion(0x01050400);
    CUsbDevice dev(kRendalDeviceKind, true);
    ASSERT_TRUE(dev.IsOpen());
    ASSERT_FALSE(dev.bulkInEndpoint->direct);
    ASSERT_TRUE(SendVendor(dev, SimulatedRendal::kSample));
    std::vector<std::uint8_t> buffer(256, 0xAA);
    auto request = dev.bulkInEndpoint->BeginTransfer(buffer.data(), 256);
    ASSERT_NE(request, nullptr);
    sim.device->Pump();
    int n = 0;
    ASSERT_TRUE(dev.bulkInEndpoint->FinishTransfer(buffer.data(), n, request));
    EXPECT_EQ(n, 256);
    EXPECT_EQ(request, nullptr);
    EXPECT_EQ(static_cast<std::int16_t>(platform::GetU16LE(&buffer[32 + 2 * 3])), SimulatedRendal::SampleWord(1, 3));
}

TEST(CUsbDevice, TransferSizeIsAMultipleOfThePacketSize) {
    RendalOnBus sim;
    CUsbDevice dev(kRendalDeviceKind, true);
    ASSERT_TRUE(dev.IsOpen());
    CUsbEndpoint* in = dev.bulkInEndpoint;
    ASSERT_EQ(in->maxPacketSize, 512);
    in->SetTransferSize(4000);
    EXPECT_EQ(in->GetTransferSize(), 4096u);
    in->SetTransferSize(4096);
    EXPECT_EQ(in->GetTransferSize(), 4096u);
    dev.ControlEndpoint()->timeOut = 500;
    EXPECT_EQ(dev.ControlEndpoint()->TimeOutSeconds(), 1u);
    dev.ControlEndpoint()->timeOut = 10000;
    EXPECT_EQ(dev.ControlEndpoint()->TimeOutSeconds(), 10u);
}

// --- the lifecycle of queued transfers ------------------------------------------

struct Streaming : ::testing::Test {
    RendalOnBus sim;
    CUsbDevice dev{kRendalDeviceKind, true};
    static constexpr int kSlots = 32;
    static constexpr int kBytes = 0x8000;
    std::vector<std::vector<std::uint8_t>> buffers = std::vector<std::vector<std::uint8_t>>(kSlots, std::vector<std::uint8_t>(kBytes));
    std::vector<CUsbRequestPtr> requests = std::vector<CUsbRequestPtr>(kSlots);

    void SetUp() override {
        ASSERT_TRUE(dev.IsOpen());
        ASSERT_TRUE(SendVendor(dev, SimulatedRendal::kSample));
        for (int i = 0; i < kSlots; ++i) {
            requests[i] = dev.bulkInEndpoint->BeginTransfer(buffers[i].data(), kBytes);
            ASSERT_NE(requests[i], nullptr);
        }
        ASSERT_EQ(sim.device->Outstanding(), static_cast<std::size_t>(kSlots));
    }
};

TEST_F(Streaming, ThirtyTwoQueuedCompleteInOrderWithTheStream) {
    CUsbEndpoint* in = dev.bulkInEndpoint;
    // The ring of the sampling worker: wait, finish, queue again.
    for (int round = 0; round < 3; ++round) {
        sim.device->Pump();
        for (int i = 0; i < kSlots; ++i) {
            ASSERT_TRUE(in->WaitForTransfer(requests[i].get(), 0));
            int n = 0;
            ASSERT_TRUE(in->FinishTransfer(buffers[i].data(), n, requests[i]));
            ASSERT_EQ(n, kBytes);
            const std::uint64_t frame = (static_cast<std::uint64_t>(round) * kSlots + i) * (kBytes / 32);
            ASSERT_EQ(static_cast<std::uint16_t>(platform::GetU16LE(&buffers[i][30])), frame & 0xFFFF);
            requests[i] = in->BeginTransfer(buffers[i].data(), kBytes);
        }
    }
    ASSERT_TRUE(SendVendor(dev, SimulatedRendal::kStop));
    in->AbortPipe();
    for (auto& r : requests) {
        int n = -1;
        EXPECT_FALSE(in->FinishTransfer(nullptr, n, r));  // cancelled
        EXPECT_EQ(n, 0);
    }
    EXPECT_EQ(sim.device->Outstanding(), 0u);
}

TEST_F(Streaming, WaitLooksOnlyAtItsOwnTransfer) {
    CUsbEndpoint* in = dev.bulkInEndpoint;
    // The last transfer completes first; the first ones stay pending and
    // must not look done because a later one on the endpoint finished.
    ASSERT_TRUE(sim.device->CompleteQueued(dev.bulkInEndpoint->bEndpointAddress, kSlots - 1));
    EXPECT_TRUE(in->WaitForTransfer(requests[kSlots - 1].get(), 0));
    EXPECT_FALSE(in->WaitForTransfer(requests[0].get(), 0));
    EXPECT_FALSE(in->WaitForTransfer(requests[0].get(), 20));
    // Position 5 of the endpoint's queue is the sixth transfer begun.
    ASSERT_TRUE(sim.device->CompleteQueued(dev.bulkInEndpoint->bEndpointAddress, 5));
    EXPECT_TRUE(in->WaitForTransfer(requests[5].get(), 0));
    EXPECT_FALSE(in->WaitForTransfer(requests[4].get(), 0));
    // The out-of-order ones took the stream's first bytes.
    EXPECT_EQ(platform::GetU16LE(&buffers[kSlots - 1][30]), 0);
    EXPECT_EQ(platform::GetU16LE(&buffers[5][30]), kBytes / 32);
    EXPECT_EQ(sim.device->Outstanding(), static_cast<std::size_t>(kSlots - 2));
}

TEST_F(Streaming, FinishingAPendingTransferTakesItBackFirst) {
    CUsbEndpoint* in = dev.bulkInEndpoint;
    int n = -1;
    // Still queued: it is taken back, its buffer no longer held, and it
    // reports failure.
    EXPECT_FALSE(in->FinishTransfer(buffers[3].data(), n, requests[3]));
    EXPECT_EQ(n, 0);
    EXPECT_EQ(requests[3], nullptr);
    EXPECT_EQ(sim.device->Outstanding(), static_cast<std::size_t>(kSlots - 1));
    // Dropping requests takes the rest back as well.
    requests.clear();
    EXPECT_EQ(sim.device->Outstanding(), 0u);
    EXPECT_FALSE(in->FinishTransfer(nullptr, n, requests.emplace_back()));
}

TEST_F(Streaming, UnplugWithTransfersInFlightFailsThemAll) {
    CUsbEndpoint* in = dev.bulkInEndpoint;
    std::atomic<int> finished{0};
    // The worker side waits on its ring while the device goes away.
    std::thread worker([&] {
        for (int i = 0; i < kSlots; ++i) {
            while (!in->WaitForTransfer(requests[i].get(), 100)) {
            }
            int n = -1;
            if (!in->FinishTransfer(buffers[i].data(), n, requests[i]) && n == 0)
                ++finished;
        }
    });
    sim.device->Unplug();
    worker.join();
    EXPECT_EQ(finished.load(), kSlots);
    EXPECT_EQ(in->usbStatus, static_cast<std::uint32_t>(UsbStatus::NoDevice));
    EXPECT_EQ(sim.device->Outstanding(), 0u);
    // Every call fails now, and a new begin completes at once as failed.
    EXPECT_FALSE(SendVendor(dev, SimulatedRendal::kStop));
    auto r = in->BeginTransfer(buffers[0].data(), kBytes);
    ASSERT_NE(r, nullptr);
    EXPECT_FALSE(in->WaitForTransfer(r.get(), 0));
    int n = 0;
    EXPECT_FALSE(in->FinishTransfer(buffers[0].data(), n, r));
    dev.Close();
    EXPECT_FALSE(dev.Open(0));  // no longer present
}

TEST_F(Streaming, PumpedFromAnotherThreadWhileControlRequestsRun) {
    CUsbEndpoint* in = dev.bulkInEndpoint;
    std::atomic<bool> done{false};
    std::thread device([&] {
        while (!done.load()) {
            sim.device->Pump(4);
            std::this_thread::sleep_for(200us);
        }
    });
    // A second device object (a form) sends control words meanwhile.
    std::thread form([&] {
        CUsbDevice other(kRendalDeviceKind, true);
        std::uint8_t word[2] = {1, 2};
        for (int k = 0; k < 50; ++k)
            SendVendor(other, SimulatedRendal::kControl, word, 2, 0, static_cast<std::uint16_t>(k));
    });
    std::uint64_t expectFrame = 0;
    for (int pass = 0; pass < 4 * kSlots; ++pass) {
        const int i = pass % kSlots;
        while (!in->WaitForTransfer(requests[i].get(), 100)) {
        }
        int n = 0;
        ASSERT_TRUE(in->FinishTransfer(buffers[i].data(), n, requests[i]));
        ASSERT_EQ(platform::GetU16LE(&buffers[i][30]), expectFrame & 0xFFFF);
        expectFrame += kBytes / 32;
        requests[i] = in->BeginTransfer(buffers[i].data(), n);
    }
    form.join();
    EXPECT_EQ(sim.device->ControlWords().size(), 50u);
    ASSERT_TRUE(SendVendor(dev, SimulatedRendal::kStop));
    in->AbortPipe();
    for (auto& r : requests) {
        int n = 0;
        in->FinishTransfer(nullptr, n, r);
    }
    done = true;
    device.join();
    EXPECT_EQ(sim.device->Outstanding(), 0u);
}

TEST(CUsbDevice, TransferTimesOutAbortsAndReportsFailure) {
    RendalOnBus sim;
    CUsbDevice dev(kRendalDeviceKind, true);
    ASSERT_TRUE(dev.IsOpen());
    // Not sampling: the device sends nothing, so the blocking read runs out.
    std::vector<std::uint8_t> b(512);
    dev.bulkInEndpoint->timeOut = 30;
    int n = 512;
    EXPECT_FALSE(dev.bulkInEndpoint->Transfer(b.data(), n));
    EXPECT_EQ(n, 0);
    EXPECT_EQ(sim.device->Outstanding(), 0u);
}

TEST(CUsbDevice, AudioBoxPipesAreItsEndpointsInOrder) {
    auto bus = std::make_shared<SimulatedUsbBus>();
    auto box = std::make_shared<SimulatedAudioBox>();
    bus->Add(kAudioBoxDeviceKind, box);
    ScopedUsbBus scope(bus);
    CUsbDevice dev(kAudioBoxDeviceKind, true);
    ASSERT_TRUE(dev.IsOpen());
    ASSERT_EQ(dev.GetEndpointCount(), SimulatedAudioBox::kPipeCount + 1);
    for (int pipe = 0; pipe < SimulatedAudioBox::kPipeCount; ++pipe)
        EXPECT_EQ(dev.Endpoint(pipe + 1)->bEndpointAddress, SimulatedAudioBox::PipeEndpoint(pipe));
}

}  // namespace
