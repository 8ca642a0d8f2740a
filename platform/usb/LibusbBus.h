#pragma once
// The system's USB devices through libusb-1.0. A device kind is the device
// whose vendor and product id the settings give; a kind without an id has no
// device. One handle per device per process, shared by reference (a device's
// interfaces can be claimed through one handle only); its interfaces are
// claimed when it opens and released when the last user lets it go. One
// event thread completes every queued transfer. A device the system does
// not let us open (permissions: see the udev rule in the README) counts as
// absent.

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/usb/UsbTransport.h"

namespace platform::usb {

class LibusbBus : public UsbBus {
public:
    explicit LibusbBus(std::map<std::string, UsbId> ids);
    ~LibusbBus() override;
    LibusbBus(const LibusbBus&) = delete;
    LibusbBus& operator=(const LibusbBus&) = delete;

    // False when libusb could not start (no USB on this system): every kind
    // is then absent.
    bool IsAvailable() const;

    std::vector<std::string> Present(const std::string& kind) override;
    std::shared_ptr<UsbDeviceHandle> Open(const std::string& kind, std::size_t index) override;

    // The status of the last failed open (Access after a permission refusal).
    UsbStatus LastOpenStatus() const;

    struct Context;

private:
    std::shared_ptr<Context> m_context;
    const std::map<std::string, UsbId> m_ids;
    mutable std::mutex m_mutex;
    std::map<std::string, std::weak_ptr<UsbDeviceHandle>> m_open;  // by path
    UsbStatus m_lastOpenStatus = UsbStatus::Ok;
};

}  // namespace platform::usb
