#include "platform/usb/UsbDescriptors.h"

#include <algorithm>
#include <set>

#include "platform/ByteCodec.h"

namespace platform::usb {

namespace {

template <typename T>
Parsed<T> Refuse(std::string why) {
    Parsed<T> p;
    p.error = std::move(why);
    return p;
}

template <typename T>
Parsed<T> Accept(T value) {
    Parsed<T> p;
    p.value = std::move(value);
    return p;
}

InterfaceDescriptor ReadInterface(const std::uint8_t* p) {
    InterfaceDescriptor d;
    d.bLength = p[0];
    d.bDescriptorType = p[1];
    d.bInterfaceNumber = p[2];
    d.bAlternateSetting = p[3];
    d.bNumEndpoints = p[4];
    d.bInterfaceClass = p[5];
    d.bInterfaceSubClass = p[6];
    d.bInterfaceProtocol = p[7];
    d.iInterface = p[8];
    return d;
}

EndpointDescriptor ReadEndpoint(const std::uint8_t* p) {
    EndpointDescriptor d;
    d.bLength = p[0];
    d.bDescriptorType = p[1];
    d.bEndpointAddress = p[2];
    d.bmAttributes = p[3];
    d.wMaxPacketSize = GetU16LE(p + 4);
    d.bInterval = p[6];
    return d;
}

void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

}  // namespace

Parsed<DeviceDescriptor> ParseDeviceDescriptor(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kDeviceDescriptorLength)
        return Refuse<DeviceDescriptor>("device descriptor shorter than 18 bytes");
    const std::uint8_t* p = bytes.data();
    if (p[0] != kDeviceDescriptorLength)
        return Refuse<DeviceDescriptor>("device descriptor length is not 18");
    if (p[1] != kDescriptorDevice)
        return Refuse<DeviceDescriptor>("not a device descriptor");
    DeviceDescriptor d;
    d.bLength = p[0];
    d.bDescriptorType = p[1];
    d.bcdUSB = GetU16LE(p + 2);
    d.bDeviceClass = p[4];
    d.bDeviceSubClass = p[5];
    d.bDeviceProtocol = p[6];
    d.bMaxPacketSize0 = p[7];
    d.idVendor = GetU16LE(p + 8);
    d.idProduct = GetU16LE(p + 10);
    d.bcdDevice = GetU16LE(p + 12);
    d.iManufacturer = p[14];
    d.iProduct = p[15];
    d.iSerialNumber = p[16];
    d.bNumConfigurations = p[17];
    return Accept(d);
}

std::optional<std::uint16_t> ConfigurationTotalLength(std::span<const std::uint8_t> header) {
    if (header.size() < kConfigurationHeaderLength)
        return std::nullopt;
    if (header[0] < kConfigurationHeaderLength || header[1] != kDescriptorConfiguration)
        return std::nullopt;
    const std::uint16_t total = GetU16LE(header.data() + 2);
    if (total < header[0])
        return std::nullopt;
    return total;
}

Parsed<ConfigurationDescriptor> ParseConfigurationDescriptor(std::span<const std::uint8_t> bytes) {
    using R = ConfigurationDescriptor;
    if (bytes.size() < kConfigurationHeaderLength)
        return Refuse<R>("configuration descriptor shorter than 9 bytes");
    const std::uint8_t* p = bytes.data();
    if (p[1] != kDescriptorConfiguration)
        return Refuse<R>("not a configuration descriptor");
    if (p[0] < kConfigurationHeaderLength)
        return Refuse<R>("configuration descriptor length below 9");
    ConfigurationDescriptor c;
    c.bLength = p[0];
    c.bDescriptorType = p[1];
    c.wTotalLength = GetU16LE(p + 2);
    c.bNumInterfaces = p[4];
    c.bConfigurationValue = p[5];
    c.iConfiguration = p[6];
    c.bmAttributes = p[7];
    c.bMaxPower = p[8];
    if (c.wTotalLength < c.bLength)
        return Refuse<R>("wTotalLength shorter than the configuration header");
    if (c.wTotalLength > bytes.size())
        return Refuse<R>("wTotalLength runs past the bytes received");

    const std::size_t total = c.wTotalLength;
    // First pass: every descriptor must have a length of at least 2 and end
    // within wTotalLength; interface and endpoint descriptors must be long
    // enough for their fields.
    for (std::size_t pos = c.bLength; pos < total;) {
        if (total - pos < 2)
            return Refuse<R>("truncated descriptor at the end of the configuration");
        const std::uint8_t len = p[pos];
        const std::uint8_t type = p[pos + 1];
        if (len < 2)
            return Refuse<R>("descriptor length below 2");
        if (len > total - pos)
            return Refuse<R>("descriptor runs past wTotalLength");
        if (type == kDescriptorInterface && len < kInterfaceDescriptorLength)
            return Refuse<R>("interface descriptor shorter than 9 bytes");
        if (type == kDescriptorEndpoint && len < kEndpointDescriptorLength)
            return Refuse<R>("endpoint descriptor shorter than 7 bytes");
        if (type == kDescriptorConfiguration || type == kDescriptorDevice)
            return Refuse<R>("device or configuration descriptor inside a configuration");
        pos += len;
    }

    // Second pass: one interface object per interface descriptor (at most 8),
    // each with the endpoint descriptors that follow it, up to bNumEndpoints
    // and 15; anything else in between is stepped over.
    InterfaceObject* current = nullptr;
    std::size_t currentStart = 0;
    for (std::size_t pos = c.bLength; pos < total; pos += p[pos]) {
        const std::uint8_t type = p[pos + 1];
        if (type == kDescriptorInterface) {
            if (current)
                current->bytesWalked = static_cast<std::uint16_t>(pos - currentStart);
            current = nullptr;
            if (c.interfaces.size() >= kMaxInterfaceObjects)
                continue;
            c.interfaces.push_back(InterfaceObject{ReadInterface(p + pos), {}, 1, 0});
            current = &c.interfaces.back();
            currentStart = pos;
        } else if (type == kDescriptorEndpoint && current) {
            if (current->endpoints.size() < std::min<std::size_t>(current->descriptor.bNumEndpoints,
                                                                   kMaxEndpointsPerInterface))
                current->endpoints.push_back(ReadEndpoint(p + pos));
        }
    }
    if (current)
        current->bytesWalked = static_cast<std::uint16_t>(total - currentStart);

    for (InterfaceObject& a : c.interfaces)
        a.sameNumberCount = static_cast<std::uint8_t>(
            std::count_if(c.interfaces.begin(), c.interfaces.end(), [&](const InterfaceObject& b) {
                return b.descriptor.bInterfaceNumber == a.descriptor.bInterfaceNumber;
            }));
    return Accept(std::move(c));
}

Parsed<std::u16string> ParseStringDescriptor(std::span<const std::uint8_t> bytes) {
    using R = std::u16string;
    if (bytes.size() < 2)
        return Refuse<R>("string descriptor shorter than 2 bytes");
    const std::uint8_t len = bytes[0];
    if (bytes[1] != kDescriptorString)
        return Refuse<R>("not a string descriptor");
    if (len < 2)
        return Accept(R());
    if (len > bytes.size())
        return Refuse<R>("string descriptor runs past the bytes received");
    const std::size_t units = std::min<std::size_t>((len - 2) / 2, kMaxStringUnits);
    R text;
    text.reserve(units);
    for (std::size_t i = 0; i < units; ++i)
        text.push_back(static_cast<char16_t>(GetU16LE(bytes.data() + 2 + 2 * i)));
    return Accept(std::move(text));
}

Parsed<std::vector<std::uint16_t>> ParseLanguageTable(std::span<const std::uint8_t> bytes) {
    using R = std::vector<std::uint16_t>;
    if (bytes.size() < 2)
        return Refuse<R>("language table shorter than 2 bytes");
    const std::uint8_t len = bytes[0];
    if (bytes[1] != kDescriptorString)
        return Refuse<R>("not a string descriptor");
    if (len < 2)
        return Accept(R());
    if (len > bytes.size())
        return Refuse<R>("language table runs past the bytes received");
    R codes;
    for (std::size_t off = 2; off + 2 <= len; off += 2)
        codes.push_back(GetU16LE(bytes.data() + off));
    return Accept(std::move(codes));
}

std::uint16_t ChooseLanguage(const std::vector<std::uint16_t>& languages) {
    if (languages.empty())
        return 0;
    if (std::find(languages.begin(), languages.end(), 0x0409) != languages.end())
        return 0x0409;
    return languages.front();
}

std::vector<std::uint8_t> EncodeDeviceDescriptor(const DeviceDescriptor& d) {
    std::vector<std::uint8_t> out{static_cast<std::uint8_t>(kDeviceDescriptorLength), kDescriptorDevice};
    PutU16(out, d.bcdUSB);
    out.insert(out.end(), {d.bDeviceClass, d.bDeviceSubClass, d.bDeviceProtocol, d.bMaxPacketSize0});
    PutU16(out, d.idVendor);
    PutU16(out, d.idProduct);
    PutU16(out, d.bcdDevice);
    out.insert(out.end(), {d.iManufacturer, d.iProduct, d.iSerialNumber, d.bNumConfigurations});
    return out;
}

std::vector<std::uint8_t> EncodeConfigurationDescriptor(const ConfigurationDescriptor& c) {
    std::set<std::uint8_t> numbers;
    for (const InterfaceObject& i : c.interfaces)
        numbers.insert(i.descriptor.bInterfaceNumber);
    std::vector<std::uint8_t> out{static_cast<std::uint8_t>(kConfigurationHeaderLength), kDescriptorConfiguration,
                                  0, 0};
    out.insert(out.end(), {static_cast<std::uint8_t>(numbers.size()), c.bConfigurationValue, c.iConfiguration,
                           c.bmAttributes, c.bMaxPower});
    for (const InterfaceObject& i : c.interfaces) {
        const InterfaceDescriptor& d = i.descriptor;
        out.insert(out.end(), {static_cast<std::uint8_t>(kInterfaceDescriptorLength), kDescriptorInterface,
                               d.bInterfaceNumber, d.bAlternateSetting, static_cast<std::uint8_t>(i.endpoints.size()),
                               d.bInterfaceClass, d.bInterfaceSubClass, d.bInterfaceProtocol, d.iInterface});
        for (const EndpointDescriptor& e : i.endpoints) {
            out.insert(out.end(), {static_cast<std::uint8_t>(kEndpointDescriptorLength), kDescriptorEndpoint,
                                   e.bEndpointAddress, e.bmAttributes});
            PutU16(out, e.wMaxPacketSize);
            out.push_back(e.bInterval);
        }
    }
    const auto total = static_cast<std::uint16_t>(out.size());
    out[2] = static_cast<std::uint8_t>(total & 0xFF);
    out[3] = static_cast<std::uint8_t>(total >> 8);
    return out;
}

std::vector<std::uint8_t> EncodeStringDescriptor(const std::u16string& text) {
    const std::size_t units = std::min<std::size_t>(text.size(), 126);
    std::vector<std::uint8_t> out{static_cast<std::uint8_t>(2 + 2 * units), kDescriptorString};
    for (std::size_t i = 0; i < units; ++i)
        PutU16(out, static_cast<std::uint16_t>(text[i]));
    return out;
}

std::vector<std::uint8_t> EncodeLanguageTable(const std::vector<std::uint16_t>& languages) {
    const std::size_t n = std::min<std::size_t>(languages.size(), 126);
    std::vector<std::uint8_t> out{static_cast<std::uint8_t>(2 + 2 * n), kDescriptorString};
    for (std::size_t i = 0; i < n; ++i)
        PutU16(out, languages[i]);
    return out;
}

}  // namespace platform::usb
