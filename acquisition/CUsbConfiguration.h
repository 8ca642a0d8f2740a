#pragma once
// One configuration of a USB device: its descriptor fields and its
// interface objects (each alternate setting of each interface is one; at
// most 8).

#include <array>
#include <cstdint>
#include <memory>

#include "acquisition/CUsbInterface.h"
#include "platform/usb/UsbDescriptors.h"

namespace vocomet {

class CUsbConfiguration {
public:
    CUsbConfiguration(const std::shared_ptr<platform::usb::UsbDeviceHandle>& handle,
                      const platform::usb::ConfigurationDescriptor& parsed);
    CUsbConfiguration(const CUsbConfiguration&) = delete;
    CUsbConfiguration& operator=(const CUsbConfiguration&) = delete;

    // Interface object i (0 to interfaceObjectCount - 1), else null.
    CUsbInterface* Interface(int i) const {
        return i >= 0 && i < interfaceObjectCount ? m_interfaces[static_cast<std::size_t>(i)].get() : nullptr;
    }

    std::uint8_t bLength = 0;
    std::uint8_t bDescriptorType = 0;
    std::uint16_t wTotalLength = 0;
    std::uint8_t bNumInterfaces = 0;
    std::uint8_t bConfigurationValue = 0;
    std::uint8_t iConfiguration = 0;
    std::uint8_t bmAttributes = 0;
    std::uint8_t MaxPower = 0;
    std::uint8_t interfaceObjectCount = 0;

private:
    std::array<std::unique_ptr<CUsbInterface>, 8> m_interfaces;
};

}  // namespace vocomet
