#include "acquisition/CUsbInterface.h"

namespace vocomet {

CUsbInterface::CUsbInterface(const std::shared_ptr<platform::usb::UsbDeviceHandle>& handle,
                             const platform::usb::InterfaceObject& parsed) {
    const platform::usb::InterfaceDescriptor& d = parsed.descriptor;
    bLength = d.bLength;
    bDescriptorType = d.bDescriptorType;
    bInterfaceNumber = d.bInterfaceNumber;
    bAlternateSetting = d.bAlternateSetting;
    bNumEndpoints = d.bNumEndpoints;
    bInterfaceClass = d.bInterfaceClass;
    bInterfaceSubClass = d.bInterfaceSubClass;
    bInterfaceProtocol = d.bInterfaceProtocol;
    iInterface = d.iInterface;
    sameNumberCount = parsed.sameNumberCount;
    bytesWalked = parsed.bytesWalked;
    // The parser keeps at most 15 endpoints and never more than announced.
    for (const platform::usb::EndpointDescriptor& e : parsed.endpoints) {
        if (m_objects >= 15)
            break;
        const auto slot = static_cast<std::size_t>(++m_objects);
        m_owned[slot] = MakeEndpoint(handle, e);
        m_table[slot] = m_owned[slot].get();
    }
}

}  // namespace vocomet
