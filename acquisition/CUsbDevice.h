#pragma once
// The USB device library's device object: finds the n-th present device of
// a kind on the USB bus (platform::usb::CurrentBus), opens it, reads its
// descriptors, builds one object per configuration, interface object and
// endpoint, and makes configuration 0 current with the interface whose
// alternate setting the device reports. Control requests go through the
// control endpoint, queued transfers through the endpoint objects.
//
// Every endpoint pointer taken from the device stays valid until Close or
// the next Open. The open device is shared with every other device object
// of the process that opens it (one handle per device), so a form can send
// requests while a worker streams through its own device object.
//
// Threading: one device object per thread; see CUsbEndpoint for how its
// endpoints may be shared.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/CUsbConfiguration.h"
#include "acquisition/CUsbEndpoint.h"
#include "platform/usb/UsbTransport.h"

namespace vocomet {

class CUsbDevice {
public:
    // kind: the device kind looked for (platform::usb::kRendalDeviceKind,
    // the driver class of the USB 2 system). With open set, opens device 0
    // at once.
    CUsbDevice(std::string kind, bool open);
    // Closes; never throws.
    ~CUsbDevice();
    CUsbDevice(const CUsbDevice&) = delete;
    CUsbDevice& operator=(const CUsbDevice&) = delete;

    // Present devices of the kind, kept as the device count.
    std::uint8_t GetDeviceCount();
    // Opens device n (closing what was open). True when it opened and its
    // configuration 0 has an interface; a failed open leaves the object
    // closed, with nothing of the device kept.
    bool Open(std::uint8_t n);
    void Close() noexcept;
    bool IsOpen() const { return m_handle != nullptr; }

    // bNumEndpoints of the current interface plus 1 (endpoint 0), counting
    // only endpoint objects that exist; 0 when closed or without a
    // configuration.
    std::uint8_t GetEndpointCount() const;
    // The current interface's endpoint table (slot 0 the control endpoint);
    // null until an interface is current.
    CUsbEndpoint* const* EndpointTable() const { return m_endpointTable; }
    CUsbEndpoint* Endpoint(int slot) const;
    CUsbControlEndpoint* ControlEndpoint() const { return m_control.get(); }
    CUsbConfiguration* Configuration(int i) const {
        return i >= 0 && i < 2 ? m_configurations[static_cast<std::size_t>(i)].get() : nullptr;
    }
    // The open device itself, shared (null when closed).
    const std::shared_ptr<platform::usb::UsbDeviceHandle>& Handle() const { return m_handle; }

    // The first endpoint of each kind and direction on the current interface.
    CUsbEndpoint* isocInEndpoint = nullptr;
    CUsbEndpoint* isocOutEndpoint = nullptr;
    CUsbEndpoint* bulkInEndpoint = nullptr;
    CUsbEndpoint* bulkOutEndpoint = nullptr;
    CUsbEndpoint* interruptInEndpoint = nullptr;
    CUsbEndpoint* interruptOutEndpoint = nullptr;

    std::uint16_t languageId = 0;
    std::uint32_t usbStatus = 0;
    std::uint32_t systemStatus = 0;
    std::uint32_t driverVersion = 0;
    std::uint32_t usbdiVersion = 0;
    std::string deviceName;      // at most 255 characters
    std::string friendlyName;    // at most 255 characters
    std::u16string manufacturer;
    std::u16string product;
    std::u16string serialNumber;
    std::string devicePath;      // at most 255 characters
    std::uint16_t bcdUSB = 0;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint8_t usbAddress = 0;
    std::uint8_t deviceClass = 0;
    std::uint8_t deviceSubClass = 0;
    std::uint8_t deviceProtocol = 0;
    std::uint8_t maxPacketSize0 = 0;
    std::uint16_t bcdDevice = 0;
    std::uint8_t configValue = 0;
    std::uint8_t configAttributes = 0;
    std::uint8_t maxPower = 0;
    std::uint8_t interfaceClass = 0;
    std::uint8_t interfaceSubClass = 0;
    std::uint8_t interfaceProtocol = 0;
    std::array<std::uint8_t, 18> deviceDescriptor{};
    std::array<std::vector<std::uint8_t>, 2> configDescriptors;  // raw, as read
    std::uint8_t deviceCount = 0;
    std::uint8_t interfaceCount = 0;
    std::uint8_t interfaceObjectCount = 0;
    std::uint8_t configCount = 0;
    std::uint8_t deviceNumber = 0;
    std::uint8_t currentConfigIndex = 0;
    std::uint8_t interfaceNumber = 0;
    std::uint8_t currentInterfaceIndex = 0;

    // The steps of Open, each a request to the device; a failed one leaves
    // its fields as they were.
    bool ReadDeviceDescriptor();
    bool ReadLanguageId();
    bool ReadStringDescriptor(std::u16string& target, std::uint8_t index);
    bool ReadConfigDescriptor(std::uint8_t i);
    void ReadDeviceAddress();
    void ReadDriverVersion();
    void ReadUsbdiVersion();
    void ReadDeviceName();
    void ReadFriendlyName();
    // Makes configuration 0 current with the interface of the device's
    // alternate setting (or, when that cannot be read or matches none, its
    // first interface object).
    void SetConfiguration(std::uint8_t index);
    bool SelectAltInterface(std::uint8_t alternate);
    void MapEndpoints();

private:
    bool CreateDeviceHandle(std::uint8_t n);
    // A standard GET_DESCRIPTOR request into data; the count moved, or -1.
    int GetDescriptor(std::uint16_t wValue, std::uint16_t wIndex, std::uint8_t* data, std::uint16_t length,
                      bool keepStatuses);

    const std::string m_kind;
    std::shared_ptr<platform::usb::UsbDeviceHandle> m_handle;
    std::unique_ptr<CUsbControlEndpoint> m_control;
    std::array<std::unique_ptr<CUsbConfiguration>, 2> m_configurations;
    CUsbEndpoint* const* m_endpointTable = nullptr;
};

}  // namespace vocomet
