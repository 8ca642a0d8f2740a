#pragma once
// The standard USB descriptors as the device sends them: the device
// descriptor, a configuration descriptor with its interfaces (one object per
// alternate setting) and their endpoints, the string descriptors and the
// language table. Every field is read at its offset, little-endian; every
// walk is bounded by the bytes received, by wTotalLength and by the sizes of
// the tables that keep the result. A malformed descriptor (a length that is
// too short, runs past its container or past wTotalLength, a wrong type) is
// refused with a reason; nothing is ever read past the bytes given.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform::usb {

inline constexpr std::uint8_t kDescriptorDevice = 1;
inline constexpr std::uint8_t kDescriptorConfiguration = 2;
inline constexpr std::uint8_t kDescriptorString = 3;
inline constexpr std::uint8_t kDescriptorInterface = 4;
inline constexpr std::uint8_t kDescriptorEndpoint = 5;

inline constexpr std::size_t kDeviceDescriptorLength = 18;
inline constexpr std::size_t kConfigurationHeaderLength = 9;
inline constexpr std::size_t kInterfaceDescriptorLength = 9;
inline constexpr std::size_t kEndpointDescriptorLength = 7;

// What the tables of the device library hold at most; more are ignored.
inline constexpr std::size_t kMaxInterfaceObjects = 8;
inline constexpr std::size_t kMaxEndpointsPerInterface = 15;
// String descriptor texts are kept to 255 UTF-16 units (a 256-unit field
// with its terminator).
inline constexpr std::size_t kMaxStringUnits = 255;

enum class EndpointType : std::uint8_t { Control = 0, Isochronous = 1, Bulk = 2, Interrupt = 3 };

// The transfer type of an endpoint is the low two bits of bmAttributes; the
// other bits carry the isochronous synchronisation and usage types.
inline EndpointType EndpointTypeOf(std::uint8_t bmAttributes) {
    return static_cast<EndpointType>(bmAttributes & 3);
}
inline bool IsInEndpoint(std::uint8_t address) { return (address & 0x80) != 0; }

struct DeviceDescriptor {
    std::uint8_t bLength = 0;
    std::uint8_t bDescriptorType = 0;
    std::uint16_t bcdUSB = 0;
    std::uint8_t bDeviceClass = 0;
    std::uint8_t bDeviceSubClass = 0;
    std::uint8_t bDeviceProtocol = 0;
    std::uint8_t bMaxPacketSize0 = 0;
    std::uint16_t idVendor = 0;
    std::uint16_t idProduct = 0;
    std::uint16_t bcdDevice = 0;
    std::uint8_t iManufacturer = 0;
    std::uint8_t iProduct = 0;
    std::uint8_t iSerialNumber = 0;
    std::uint8_t bNumConfigurations = 0;
};

struct EndpointDescriptor {
    std::uint8_t bLength = 0;
    std::uint8_t bDescriptorType = 0;
    std::uint8_t bEndpointAddress = 0;
    std::uint8_t bmAttributes = 0;
    std::uint16_t wMaxPacketSize = 0;
    std::uint8_t bInterval = 0;

    EndpointType Type() const { return EndpointTypeOf(bmAttributes); }
    bool IsIn() const { return IsInEndpoint(bEndpointAddress); }
    // Transactions per microframe: bits 11-12 of wMaxPacketSize, plus 1.
    std::uint16_t Multiplier() const { return static_cast<std::uint16_t>(((wMaxPacketSize >> 11) & 3) + 1); }
    // Bytes per service interval: the 11-bit packet size times the multiplier.
    std::uint16_t MaxPacketBytes() const { return static_cast<std::uint16_t>((wMaxPacketSize & 0x7FF) * Multiplier()); }
};

struct InterfaceDescriptor {
    std::uint8_t bLength = 0;
    std::uint8_t bDescriptorType = 0;
    std::uint8_t bInterfaceNumber = 0;
    std::uint8_t bAlternateSetting = 0;
    std::uint8_t bNumEndpoints = 0;
    std::uint8_t bInterfaceClass = 0;
    std::uint8_t bInterfaceSubClass = 0;
    std::uint8_t bInterfaceProtocol = 0;
    std::uint8_t iInterface = 0;
};

// One alternate setting of one interface with the endpoints that follow it
// (at most bNumEndpoints and at most 15; class-specific descriptors between
// them are stepped over).
struct InterfaceObject {
    InterfaceDescriptor descriptor;
    std::vector<EndpointDescriptor> endpoints;
    // Interface objects of the configuration with the same bInterfaceNumber,
    // this one included.
    std::uint8_t sameNumberCount = 1;
    // Bytes of the configuration descriptor from this interface descriptor
    // to the next interface descriptor (or the end).
    std::uint16_t bytesWalked = 0;
};

struct ConfigurationDescriptor {
    std::uint8_t bLength = 0;
    std::uint8_t bDescriptorType = 0;
    std::uint16_t wTotalLength = 0;
    std::uint8_t bNumInterfaces = 0;
    std::uint8_t bConfigurationValue = 0;
    std::uint8_t iConfiguration = 0;
    std::uint8_t bmAttributes = 0;
    std::uint8_t bMaxPower = 0;
    std::vector<InterfaceObject> interfaces;  // at most kMaxInterfaceObjects
};

// A parse result: the value, or the reason the bytes were refused.
template <typename T>
struct Parsed {
    std::optional<T> value;
    std::string error;
    explicit operator bool() const { return value.has_value(); }
};

// The 18-byte device descriptor (bLength 18, type 1).
Parsed<DeviceDescriptor> ParseDeviceDescriptor(std::span<const std::uint8_t> bytes);

// wTotalLength from the first 9 bytes of a configuration descriptor (the
// first read of a two-step fetch); empty when the header is malformed.
std::optional<std::uint16_t> ConfigurationTotalLength(std::span<const std::uint8_t> header);

// A whole configuration descriptor: its 9-byte header and every descriptor
// up to wTotalLength, which must fit in bytes. Bytes past wTotalLength are
// not looked at.
Parsed<ConfigurationDescriptor> ParseConfigurationDescriptor(std::span<const std::uint8_t> bytes);

// A string descriptor's text (bLength - 2 bytes of UTF-16LE, at most 255
// units). A descriptor that reports a length below 2 gives an empty text; one
// whose length runs past the bytes received, or of another type, is refused.
Parsed<std::u16string> ParseStringDescriptor(std::span<const std::uint8_t> bytes);

// The language codes of string descriptor 0.
Parsed<std::vector<std::uint16_t>> ParseLanguageTable(std::span<const std::uint8_t> bytes);

// The language to ask strings in: 0x0409 when offered, else the first one
// offered, else 0.
std::uint16_t ChooseLanguage(const std::vector<std::uint16_t>& languages);

// --- building descriptors (the simulated devices and the tests) -----------

std::vector<std::uint8_t> EncodeDeviceDescriptor(const DeviceDescriptor& d);
// The configuration header, each interface descriptor followed by its
// endpoint descriptors, with wTotalLength and bNumInterfaces (the count of
// distinct interface numbers) filled in.
std::vector<std::uint8_t> EncodeConfigurationDescriptor(const ConfigurationDescriptor& c);
std::vector<std::uint8_t> EncodeStringDescriptor(const std::u16string& text);
std::vector<std::uint8_t> EncodeLanguageTable(const std::vector<std::uint16_t>& languages);

}  // namespace platform::usb
