#pragma once
// The USB transport: what the device library needs of the system to reach
// a device. A bus lists the present devices of a kind and opens one; an open
// device handle carries synchronous requests on endpoint 0 and queued
// transfers on the other endpoints, and aborts and resets pipes. Two buses
// implement it: the system's devices through libusb, and simulated devices
// that speak the same requests and transfers.
//
// Threading: a handle may be used from several threads at once (one thread
// owning an endpoint's queued transfers, another sending requests on
// endpoint 0 or aborting the pipe). A queued transfer completes exactly once,
// on whatever thread the transport completes it (libusb's event thread, or
// the thread that pumps a simulated device); the waiter wakes on it.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/usb/UsbDescriptors.h"

namespace platform {
class ProfileStore;
}

namespace platform::usb {

enum class UsbStatus {
    Ok,
    Stall,       // the endpoint or the request was refused (halted)
    Cancelled,   // taken back by an abort or a cancel
    NoDevice,    // the device is gone
    Timeout,
    Overflow,    // the device sent more than asked
    Access,      // the system refused access (permissions)
    Busy,        // another program holds the device
    Invalid,     // a request the transport cannot carry
    Error,       // any other failure
};
const char* StatusText(UsbStatus status);

// The 8-byte setup packet of a request on endpoint 0.
struct SetupPacket {
    std::uint8_t bmRequestType = 0;
    std::uint8_t bRequest = 0;
    std::uint16_t wValue = 0;
    std::uint16_t wIndex = 0;
    std::uint16_t wLength = 0;

    bool IsIn() const { return (bmRequestType & 0x80) != 0; }
    bool operator==(const SetupPacket&) const = default;
};

// One queued transfer on a non-control endpoint, with its own completion
// state. The buffer belongs to the caller and must stay alive until the
// transfer is complete; the transport holds the transfer (shared) from
// Submit until it completes, which happens once: with data, with an error,
// after a cancel or abort, or when the device goes.
class UsbTransfer {
public:
    UsbTransfer(std::uint8_t endpoint, EndpointType type, std::uint8_t* buffer, std::size_t length,
                std::size_t isoPackets = 0);
    UsbTransfer(const UsbTransfer&) = delete;
    UsbTransfer& operator=(const UsbTransfer&) = delete;

    std::uint8_t Endpoint() const { return m_endpoint; }
    EndpointType Type() const { return m_type; }
    bool IsIn() const { return IsInEndpoint(m_endpoint); }
    std::uint8_t* Buffer() const { return m_buffer; }
    std::size_t Length() const { return m_length; }
    std::size_t IsoPackets() const { return m_isoPackets; }

    bool IsComplete() const;
    // True when complete within the time (0 only looks).
    bool WaitFor(std::chrono::milliseconds timeout) const;
    void Wait() const;
    UsbStatus Status() const;
    std::size_t Actual() const;

    // Transport side: the first call completes the transfer and wakes its
    // waiters; later calls are ignored (false).
    bool Complete(UsbStatus status, std::size_t actual);

private:
    const std::uint8_t m_endpoint;
    const EndpointType m_type;
    std::uint8_t* const m_buffer;
    const std::size_t m_length;
    const std::size_t m_isoPackets;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_done;
    bool m_complete = false;
    UsbStatus m_status = UsbStatus::Ok;
    std::size_t m_actual = 0;
};

// The version the transports report for themselves: direct transfers into
// the caller's buffer are supported.
inline constexpr std::uint32_t kTransportVersion = 0x01050500;

// One open device. Every device is opened once per process and the handle
// shared by reference (the system lets one handle claim an interface).
class UsbDeviceHandle {
public:
    virtual ~UsbDeviceHandle() = default;

    // A request on endpoint 0, waiting at most timeout (0: no limit). data holds
    // setup.wLength bytes: sent for a host-to-device request, filled for a
    // device-to-host one; transferred gets the count moved.
    virtual UsbStatus Control(const SetupPacket& setup, std::uint8_t* data, std::size_t& transferred,
                              std::chrono::milliseconds timeout) = 0;

    // Queues a transfer without a time-out. On a failure the transfer is
    // completed with that status before Submit returns.
    virtual UsbStatus Submit(const std::shared_ptr<UsbTransfer>& transfer) = 0;
    // Takes a queued transfer back (it completes Cancelled, possibly on
    // another thread shortly after); nothing when it has completed.
    virtual void Cancel(const UsbTransfer& transfer) = 0;
    // Takes back every queued transfer of the endpoint.
    virtual UsbStatus AbortPipe(std::uint8_t endpoint) = 0;
    // Clears a halted endpoint.
    virtual UsbStatus ResetPipe(std::uint8_t endpoint) = 0;

    virtual UsbStatus GetAlternateSetting(std::uint8_t interfaceNumber, std::uint8_t& alternate) = 0;
    virtual std::uint8_t Address() const = 0;
    virtual std::string Path() const = 0;
    virtual std::string Name() const = 0;
    virtual std::string FriendlyName() const = 0;
    virtual std::uint32_t DriverVersion() const { return kTransportVersion; }
    virtual std::uint32_t StackVersion() const { return kTransportVersion; }
    // Queued transfers not yet completed.
    virtual std::size_t Outstanding() const = 0;

    // The per-pipe transfer size a driver would split requests by. Kept for
    // the callers that set and read it; the transports need no splitting.
    std::uint32_t GetTransferSize(std::uint8_t endpoint) const;
    void SetTransferSize(std::uint8_t endpoint, std::uint32_t size);

private:
    mutable std::mutex m_sizeMutex;
    std::map<std::uint8_t, std::uint32_t> m_transferSizes;
};

// The device kinds the program looks for: the driver interface class of
// the USB 2 system and the device name of the first-generation box.
inline constexpr const char* kRendalDeviceKind = "{AE18AA60-7F6A-11D4-97DD-00010229B959}";
inline constexpr const char* kAudioBoxDeviceKind = "Kov-0";

// Where devices of a kind are found.
class UsbBus {
public:
    virtual ~UsbBus() = default;
    // Paths of the present devices of the kind, in a stable order; none when
    // the kind is not configured.
    virtual std::vector<std::string> Present(const std::string& kind) = 0;
    // Device index of the kind, opened (or the handle already open); null
    // when it is absent, cannot be opened or access is refused.
    virtual std::shared_ptr<UsbDeviceHandle> Open(const std::string& kind, std::size_t index) = 0;
};

// A vendor and product id, as the settings give it ("vvvv:pppp", hex).
struct UsbId {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    bool operator==(const UsbId&) const = default;
};
std::optional<UsbId> ParseUsbId(const std::string& text);

// Which device each kind is: a vendor and product id for the system's
// devices, or the simulator. Read from the profile (section "USB Devices":
// keys "Rendal", "Audio Box" with "vvvv:pppp", key "Simulate" with a list
// such as "rendal,audiobox"), then from the environment, which wins:
// VOCOMET_USB_RENDAL, VOCOMET_USB_AUDIOBOX, VOCOMET_USB_SIMULATE.
struct UsbSettings {
    std::map<std::string, UsbId> ids;  // by kind
    bool simulateRendal = false;
    bool simulateAudioBox = false;
    int rendalConfigurationByte = 0x09;  // what the simulated system reports

    static UsbSettings Read(ProfileStore* profile);
};

// The process-wide bus (the system's device namespace). Made on first use
// from the environment; InstallBus replaces it (start-up with the profile's
// settings, tests with their simulated devices).
std::shared_ptr<UsbBus> CurrentBus();
void InstallBus(std::shared_ptr<UsbBus> bus);
// Builds the bus the settings ask for: simulated kinds from the simulators
// (running on their own clocks), the others through libusb.
std::shared_ptr<UsbBus> MakeBus(const UsbSettings& settings);
// Start-up: reads the settings (profile, then environment) and installs
// their bus.
void ConfigureUsbDevices(ProfileStore* profile);

// Installs a bus for the life of a scope and restores the earlier one.
class ScopedUsbBus {
public:
    explicit ScopedUsbBus(std::shared_ptr<UsbBus> bus);
    ~ScopedUsbBus();
    ScopedUsbBus(const ScopedUsbBus&) = delete;
    ScopedUsbBus& operator=(const ScopedUsbBus&) = delete;

private:
    std::shared_ptr<UsbBus> m_previous;
};

}  // namespace platform::usb
