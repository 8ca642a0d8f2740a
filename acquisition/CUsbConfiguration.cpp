#include "acquisition/CUsbConfiguration.h"

namespace vocomet {

CUsbConfiguration::CUsbConfiguration(const std::shared_ptr<platform::usb::UsbDeviceHandle>& handle,
                                     const platform::usb::ConfigurationDescriptor& parsed) {
    bLength = parsed.bLength;
    bDescriptorType = parsed.bDescriptorType;
    wTotalLength = parsed.wTotalLength;
    bNumInterfaces = parsed.bNumInterfaces;
    bConfigurationValue = parsed.bConfigurationValue;
    iConfiguration = parsed.iConfiguration;
    bmAttributes = parsed.bmAttributes;
    MaxPower = parsed.bMaxPower;
    for (const platform::usb::InterfaceObject& i : parsed.interfaces) {
        if (interfaceObjectCount >= m_interfaces.size())
            break;
        m_interfaces[interfaceObjectCount++] = std::make_unique<CUsbInterface>(handle, i);
    }
}

}  // namespace vocomet
