#pragma once
// The host side of the sixteen-channel USB 2 system: finds and opens the
// device through the USB device library, picks its bulk IN and OUT
// endpoints, reads the configuration code that tells how many channels the
// system has, and sends the vendor requests that start sampling, start
// playing, stop, and write the analogue front-end controls.
//
// A failing request reports its text, then each public operation that it
// passes through adds its own, and a platform::UserException reaches the
// caller. The texts go to the message sink (none: not shown), which the
// owner sets; a worker's sink queues them to the user-interface thread.
//
// Threading: one object per thread. Several objects may hold the device
// open at once (the form sends control words while the worker streams).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vocomet {

class CUsbDevice;
class CUsbEndpoint;

// Vendor requests of the system.
inline constexpr std::uint8_t kVrReadConfig = 0xB7;
inline constexpr std::uint8_t kVrSample = 0xB2;
inline constexpr std::uint8_t kVrPlay = 0xB3;
inline constexpr std::uint8_t kVrStop = 0xB4;
inline constexpr std::uint8_t kVrControl = 0xB6;

// The channel code a configuration byte gives (its low four bits: 0, 5 and
// 11 give 5, 2 gives 2, 9 gives 9), or -1 when it is not recognised.
int ChannelCodeOfConfiguration(std::uint8_t byte0);

class CUSB2Hardware {
public:
    using MessageSink = std::function<void(const std::string&)>;

    // No device, no endpoints, channel code -1.
    CUSB2Hardware();
    // Closes and releases the device object.
    virtual ~CUSB2Hardware();
    CUSB2Hardware(const CUSB2Hardware&) = delete;
    CUSB2Hardware& operator=(const CUSB2Hardware&) = delete;

    // 1 when device 0 of the system's kind opened and its configuration
    // code was recognised (the channel code is then set), 0 otherwise (no
    // device, no interface, a failed read, an unknown code). Shows nothing.
    // Each call replaces the device object of an earlier one.
    int OpenDevice();

    // A host-to-device vendor request (index 0): data may be null with
    // length 0. A failure beeps and reports the request's text, then throws
    // platform::UserException.
    void SendRequest(std::uint8_t request, std::uint8_t* data, int length, std::uint16_t value);
    // Value 0, no data; they rely on an earlier OpenDevice that returned 1.
    void SendSample();
    void SendPlay();
    void SendStop();
    // OpenDevice, then SendStop when it opened.
    void ResetHardware();
    // OpenDevice, then the control word (two data bytes) when it opened.
    // Nothing is sent or shown without a device.
    void SetHardwareControls(std::uint16_t value, const std::uint8_t data[2]);

    // -1 until a configuration read was recognised; then 2, 5 or 9.
    int GetChannelCode() const { return m_channelCode; }
    CUsbDevice* Device() const { return m_device.get(); }
    CUsbEndpoint* BulkInEndpoint() const { return m_bulkIn; }
    CUsbEndpoint* BulkOutEndpoint() const { return m_bulkOut; }

    void SetMessageSink(MessageSink sink) { m_sink = std::move(sink); }

private:
    void Report(const std::string& text) const;
    // Runs work; on any exception reports text and rethrows it.
    template <typename Work>
    void Guarded(const char* text, Work&& work);

    std::unique_ptr<CUsbDevice> m_device;
    CUsbEndpoint* m_bulkOut = nullptr;
    CUsbEndpoint* m_bulkIn = nullptr;
    int m_channelCode = -1;
    MessageSink m_sink;
};

}  // namespace vocomet
