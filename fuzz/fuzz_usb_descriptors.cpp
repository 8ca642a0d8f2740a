// Feeds arbitrary bytes to the USB descriptor parser as each kind of
// descriptor a device may send: every input must end as a parse or a
// refusal, never a read past the bytes, a crash or a hang. A configuration
// that parses must keep the limits of the tables and encode back into one
// that parses the same way.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/usb/UsbDescriptors.h"

using namespace platform::usb;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    (void)ParseDeviceDescriptor(bytes);
    (void)ParseStringDescriptor(bytes);
    if (const auto languages = ParseLanguageTable(bytes))
        (void)ChooseLanguage(*languages.value);
    (void)ConfigurationTotalLength(bytes);

    const auto config = ParseConfigurationDescriptor(bytes);
    if (!config)
        return 0;
    const ConfigurationDescriptor& c = *config.value;
    if (c.wTotalLength > size || c.interfaces.size() > kMaxInterfaceObjects)
        std::abort();
    for (const InterfaceObject& i : c.interfaces) {
        if (i.endpoints.size() > kMaxEndpointsPerInterface || i.endpoints.size() > i.descriptor.bNumEndpoints)
            std::abort();
        if (i.bytesWalked > c.wTotalLength)
            std::abort();
    }
    const auto again = ParseConfigurationDescriptor(EncodeConfigurationDescriptor(c));
    if (!again || again.value->interfaces.size() != c.interfaces.size())
        std::abort();
    for (std::size_t k = 0; k < c.interfaces.size(); ++k)
        if (again.value->interfaces[k].endpoints.size() != c.interfaces[k].endpoints.size())
            std::abort();
    return 0;
}
