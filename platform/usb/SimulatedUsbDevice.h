#pragma once
// A simulated USB device: it answers the standard descriptor requests from
// its own descriptors, hands vendor requests to the device it models, and
// keeps the queued transfers of each endpoint until it is pumped. Nothing
// happens on its own: a test pumps it (Pump, CompleteQueued), or StartClock
// pumps it on a thread of its own at a fixed period, so the program can run
// with a device present.
//
// It logs every setup packet, counts the transfers still queued, and
// injects faults on demand: a failing request, a short or zero-length
// transfer, a stalled endpoint, a silent device and an unplug (every call
// fails and every queued transfer completes with NoDevice).
//
// Threading: every member may be called from any thread; the device's state
// is guarded by one mutex, and transfers are completed outside it.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/usb/UsbDescriptors.h"
#include "platform/usb/UsbTransport.h"

namespace platform::usb {

// One request as the device saw it: the setup packet and the data stage
// (what the host sent, or what the device answered).
struct LoggedRequest {
    SetupPacket setup;
    std::vector<std::uint8_t> data;
    UsbStatus status = UsbStatus::Ok;
};

class SimulatedUsbDevice : public UsbDeviceHandle {
public:
    SimulatedUsbDevice(std::string path, DeviceDescriptor device, std::vector<ConfigurationDescriptor> configurations,
                       std::map<std::uint8_t, std::u16string> strings, std::vector<std::uint16_t> languages);
    ~SimulatedUsbDevice() override;

    // --- UsbDeviceHandle -----------------------------------------------
    UsbStatus Control(const SetupPacket& setup, std::uint8_t* data, std::size_t& transferred,
                      std::chrono::milliseconds timeout) override;
    UsbStatus Submit(const std::shared_ptr<UsbTransfer>& transfer) override;
    void Cancel(const UsbTransfer& transfer) override;
    UsbStatus AbortPipe(std::uint8_t endpoint) override;
    UsbStatus ResetPipe(std::uint8_t endpoint) override;
    UsbStatus GetAlternateSetting(std::uint8_t interfaceNumber, std::uint8_t& alternate) override;
    std::uint8_t Address() const override { return 3; }
    std::string Path() const override { return m_path; }
    std::string Name() const override { return m_path; }
    std::string FriendlyName() const override;
    std::uint32_t DriverVersion() const override { return m_driverVersion.load(); }
    std::size_t Outstanding() const override;

    // --- driving it -------------------------------------------------------
    // Services the queued transfers in the order they were queued on each
    // endpoint, at most maxTransfers of them; those the device cannot serve
    // yet (an IN endpoint with nothing to send, an OUT endpoint not taking
    // data) stay queued. Returns how many completed.
    std::size_t Pump(std::size_t maxTransfers = SIZE_MAX);
    // Services the transfer at position index of the endpoint's queue ahead
    // of those before it (completion out of order). False when there is no
    // such transfer or the device cannot serve it.
    bool CompleteQueued(std::uint8_t endpoint, std::size_t index);
    // Pumps on a thread of its own every period, at most perTick transfers
    // a tick (a stand-in for the device's own rate), until StopClock.
    void StartClock(std::chrono::microseconds period, std::size_t perTick = SIZE_MAX);
    void StopClock();

    // --- faults -------------------------------------------------------------
    // The next count requests with this bRequest fail (stall).
    void FailRequest(std::uint8_t bRequest, int count = 1);
    // The next transfer served on the endpoint moves only bytes (0: a
    // zero-length transfer).
    void ShortenNextTransfer(std::uint8_t endpoint, std::size_t bytes);
    // The endpoint halts: its queued and later transfers complete with
    // Stall until ResetPipe clears it.
    void StallEndpoint(std::uint8_t endpoint);
    // A silent device answers requests but never completes a transfer.
    void SetSilent(bool silent);
    // Every call fails with NoDevice and every queued transfer completes
    // with it; the bus no longer lists the device. Replug brings it back.
    void Unplug();
    void Replug();
    bool IsPlugged() const { return m_plugged.load(); }
    // A transport of an older version (transfers then go buffered).
    void SetDriverVersion(std::uint32_t version) { m_driverVersion = version; }
    // What GET_INTERFACE answers (nullopt: the request fails).
    void SetAlternateSetting(std::optional<std::uint8_t> alternate);

    // --- what happened ------------------------------------------------------
    std::vector<LoggedRequest> RequestLog() const;
    void ClearRequestLog();
    std::size_t QueuedOn(std::uint8_t endpoint) const;
    std::size_t TotalSubmitted() const;

protected:
    // The modelled device's answer to a request other than the standard
    // descriptor requests; called with the mutex held. For a device-to-host
    // request fill data (setup.wLength bytes) and set transferred.
    virtual UsbStatus HandleRequest(const SetupPacket& setup, std::uint8_t* data, std::size_t& transferred) = 0;
    // Serves one transfer: fills an IN buffer (up to limit bytes) or takes
    // an OUT buffer's limit bytes; returns the byte count, or nullopt when
    // the endpoint cannot serve it now. Called with the mutex held.
    virtual std::optional<std::size_t> ServeTransfer(const UsbTransfer& transfer, std::size_t limit) = 0;

    mutable std::mutex m_mutex;

private:
    struct Queued {
        std::shared_ptr<UsbTransfer> transfer;
    };
    struct Completion {
        std::shared_ptr<UsbTransfer> transfer;
        UsbStatus status;
        std::size_t actual;
    };
    UsbStatus StandardRequest(const SetupPacket& setup, std::uint8_t* data, std::size_t& transferred);
    // Serves the front-most (or given) transfer of a queue; with the mutex.
    bool ServeAt(std::uint8_t endpoint, std::size_t index, std::vector<Completion>& done);
    static void Finish(std::vector<Completion>& done);

    const std::string m_path;
    const DeviceDescriptor m_device;
    const std::vector<ConfigurationDescriptor> m_configurations;
    const std::map<std::uint8_t, std::u16string> m_strings;
    const std::vector<std::uint16_t> m_languages;

    std::atomic<bool> m_plugged{true};
    std::atomic<std::uint32_t> m_driverVersion{kTransportVersion};
    bool m_silent = false;
    std::optional<std::uint8_t> m_alternate{0};
    std::map<std::uint8_t, std::deque<Queued>> m_queues;
    std::map<std::uint8_t, int> m_failRequests;
    std::map<std::uint8_t, std::size_t> m_shortNext;
    std::set<std::uint8_t> m_stalled;
    std::vector<LoggedRequest> m_log;
    std::size_t m_submitted = 0;

    std::mutex m_clockMutex;
    std::condition_variable m_clockWake;
    bool m_clockStop = false;
    std::thread m_clock;
};

// A bus of simulated devices by kind; unplugged devices are not present.
class SimulatedUsbBus : public UsbBus {
public:
    void Add(const std::string& kind, std::shared_ptr<SimulatedUsbDevice> device);
    std::vector<std::string> Present(const std::string& kind) override;
    std::shared_ptr<UsbDeviceHandle> Open(const std::string& kind, std::size_t index) override;

private:
    std::vector<std::shared_ptr<SimulatedUsbDevice>> Plugged(const std::string& kind);

    std::mutex m_mutex;
    std::multimap<std::string, std::shared_ptr<SimulatedUsbDevice>> m_devices;
};

}  // namespace platform::usb
