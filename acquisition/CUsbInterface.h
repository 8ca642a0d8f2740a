#pragma once
// One interface object of a configuration: one alternate setting of one
// interface, with its endpoint objects in slots 1 to 15. Slot 0 is the
// device's control endpoint, lent while the interface is current and never
// deleted through it.

#include <array>
#include <cstdint>
#include <memory>

#include "acquisition/CUsbEndpoint.h"
#include "platform/usb/UsbDescriptors.h"

namespace vocomet {

class CUsbInterface {
public:
    CUsbInterface(const std::shared_ptr<platform::usb::UsbDeviceHandle>& handle,
                  const platform::usb::InterfaceObject& parsed);
    CUsbInterface(const CUsbInterface&) = delete;
    CUsbInterface& operator=(const CUsbInterface&) = delete;

    // The endpoint table: slot 0 the lent control endpoint (null until the
    // interface becomes current), 1 to EndpointObjects() the interface's own.
    CUsbEndpoint* const* EndpointTable() const { return m_table.data(); }
    CUsbEndpoint* Endpoint(int slot) const { return slot >= 0 && slot < 16 ? m_table[static_cast<std::size_t>(slot)] : nullptr; }
    void LendControlEndpoint(CUsbEndpoint* control) { m_table[0] = control; }
    // Endpoint objects made (at most 15, at most bNumEndpoints).
    int EndpointObjects() const { return m_objects; }

    std::uint8_t bLength = 0;
    std::uint8_t bDescriptorType = 0;
    std::uint8_t bInterfaceNumber = 0;
    std::uint8_t bAlternateSetting = 0;
    std::uint8_t bNumEndpoints = 0;
    std::uint8_t bInterfaceClass = 0;
    std::uint8_t bInterfaceSubClass = 0;
    std::uint8_t bInterfaceProtocol = 0;
    std::uint8_t iInterface = 0;
    // Interface objects of the configuration with this bInterfaceNumber.
    std::uint8_t sameNumberCount = 1;
    std::uint16_t bytesWalked = 0;

private:
    std::array<CUsbEndpoint*, 16> m_table{};
    std::array<std::unique_ptr<CUsbEndpoint>, 16> m_owned;
    int m_objects = 0;
};

}  // namespace vocomet
