#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/usb/UsbDescriptors.h"

using namespace platform::usb;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Header(std::uint16_t total, std::uint8_t numInterfaces = 1) {
    return {9, 2, static_cast<std::uint8_t>(total & 0xFF), static_cast<std::uint8_t>(total >> 8), numInterfaces, 1, 0,
            0x80, 50};
}
Bytes Iface(std::uint8_t number, std::uint8_t alt, std::uint8_t endpoints) {
    return {9, 4, number, alt, endpoints, 0xFF, 0, 0, 0};
}
Bytes Ep(std::uint8_t address, std::uint8_t attributes, std::uint16_t maxPacket = 512) {
    return {7, 5, address, attributes, static_cast<std::uint8_t>(maxPacket & 0xFF),
            static_cast<std::uint8_t>(maxPacket >> 8), 0};
}
// Concatenates the parts behind a header whose wTotalLength is their sum.
Bytes Config(std::vector<Bytes> parts, int totalAdjust = 0) {
    std::size_t n = 9;
    for (const Bytes& p : parts)
        n += p.size();
    Bytes out = Header(static_cast<std::uint16_t>(static_cast<int>(n) + totalAdjust));
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(UsbDescriptors, ConfigurationWalkBuildsInterfaceObjectsAndEndpoints) {
    // Two alternate settings of interface 0, a class-specific descriptor
    // between the endpoints of the second, and an isochronous endpoint whose
    // bmAttributes carry synchronisation bits.
    const Bytes blob = Config({Iface(0, 0, 0), Iface(0, 1, 3), Ep(0x02, 2), Bytes{5, 0x24, 1, 2, 3}, Ep(0x86, 2),
                               Ep(0x83, 0x0D, 0x1000 | 192)});
    const auto parsed = ParseConfigurationDescriptor(blob);
    ASSERT_TRUE(parsed) << parsed.error;
    const ConfigurationDescriptor& c = *parsed.value;
    EXPECT_EQ(c.wTotalLength, blob.size());
    ASSERT_EQ(c.interfaces.size(), 2u);
    EXPECT_EQ(c.interfaces[0].sameNumberCount, 2);
    EXPECT_EQ(c.interfaces[1].sameNumberCount, 2);
    EXPECT_EQ(c.interfaces[0].bytesWalked, 9);
    EXPECT_EQ(c.interfaces[1].bytesWalked, 9 + 7 + 5 + 7 + 7);
    const auto& eps = c.interfaces[1].endpoints;
    ASSERT_EQ(eps.size(), 3u);
    EXPECT_EQ(eps[0].bEndpointAddress, 0x02);
    EXPECT_EQ(eps[1].bEndpointAddress, 0x86);
    EXPECT_TRUE(eps[1].IsIn());
    EXPECT_EQ(eps[1].Type(), EndpointType::Bulk);
    // The type is bmAttributes & 3, whatever the upper bits say.
    EXPECT_EQ(eps[2].Type(), EndpointType::Isochronous);
    EXPECT_EQ(eps[2].Multiplier(), 3);
    EXPECT_EQ(eps[2].MaxPacketBytes(), 576);
}

TEST(UsbDescriptors, TablesKeepAtMostEightInterfacesAndFifteenEndpoints) {
    std::vector<Bytes> parts;
    for (std::uint8_t i = 0; i < 10; ++i)
        parts.push_back(Iface(i, 0, 0));
    auto parsed = ParseConfigurationDescriptor(Config(parts));
    ASSERT_TRUE(parsed) << parsed.error;
    EXPECT_EQ(parsed.value->interfaces.size(), kMaxInterfaceObjects);

    parts = {Iface(0, 0, 20)};
    for (std::uint8_t i = 1; i <= 20; ++i)
        parts.push_back(Ep(i, 2));
    parsed = ParseConfigurationDescriptor(Config(parts));
    ASSERT_TRUE(parsed) << parsed.error;
    EXPECT_EQ(parsed.value->interfaces[0].endpoints.size(), kMaxEndpointsPerInterface);

    // Endpoints past bNumEndpoints belong to nobody.
    parsed = ParseConfigurationDescriptor(Config({Iface(0, 0, 1), Ep(0x81, 2), Ep(0x02, 2)}));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed.value->interfaces[0].endpoints.size(), 1u);
}

TEST(UsbDescriptors, MalformedConfigurationsAreRefused) {
    struct Case {
        const char* what;
        Bytes blob;
    };
    const Bytes good = Config({Iface(0, 0, 1), Ep(0x81, 2)});
    Bytes truncated = good;
    truncated.pop_back();  // wTotalLength says one byte more than there is
    Bytes zeroLength = Config({Iface(0, 0, 1), Bytes{0, 5, 0, 0, 0, 0, 0}});
    Bytes longEndpoint = Config({Iface(0, 0, 1), Ep(0x81, 2)});
    longEndpoint[9 + 9] = 40;  // the endpoint claims 40 bytes
    const std::vector<Case> cases = {
        {"empty", {}},
        {"short header", Bytes{9, 2, 9, 0}},
        {"wrong type", Bytes{9, 1, 9, 0, 0, 0, 0, 0, 0}},
        {"header length below 9", Bytes{8, 2, 9, 0, 0, 0, 0, 0, 0}},
        {"wTotalLength below header", Bytes{9, 2, 5, 0, 0, 0, 0, 0, 0}},
        {"wTotalLength past the bytes", truncated},
        {"descriptor of length 0", zeroLength},
        {"descriptor of length 1", Config({Bytes{1, 4}})},
        {"descriptor past wTotalLength", longEndpoint},
        {"interface shorter than 9", Config({Bytes{5, 4, 0, 0, 1}})},
        {"endpoint shorter than 7", Config({Iface(0, 0, 1), Bytes{4, 5, 0x81, 2}})},
        {"lone byte at the end", Config({Iface(0, 0, 0), Bytes{7}})},
        {"nested configuration", Config({Header(9)})},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseConfigurationDescriptor(c.blob);
        EXPECT_FALSE(parsed) << c.what;
        EXPECT_FALSE(parsed.error.empty()) << c.what;
    }
    EXPECT_TRUE(ParseConfigurationDescriptor(good));
    // Bytes past wTotalLength are not looked at.
    Bytes trailing = good;
    trailing.insert(trailing.end(), {0, 0, 0});
    EXPECT_TRUE(ParseConfigurationDescriptor(trailing));
}

TEST(UsbDescriptors, DeviceStringAndLanguageDescriptors) {
    DeviceDescriptor d;
    d.bcdUSB = 0x0200;
    d.bMaxPacketSize0 = 64;
    d.idVendor = 0x1234;
    d.idProduct = 0xABCD;
    d.bNumConfigurations = 2;
    const Bytes blob = EncodeDeviceDescriptor(d);
    ASSERT_EQ(blob.size(), 18u);
    EXPECT_EQ(blob[8], 0x34);  // idVendor little-endian at offset 8
    EXPECT_EQ(blob[9], 0x12);
    const auto parsed = ParseDeviceDescriptor(blob);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed.value->idProduct, 0xABCD);
    EXPECT_EQ(parsed.value->bNumConfigurations, 2);
    EXPECT_FALSE(ParseDeviceDescriptor(Bytes(blob.begin(), blob.begin() + 17)));
    Bytes wrongLength = blob;
    wrongLength[0] = 12;
    EXPECT_FALSE(ParseDeviceDescriptor(wrongLength));

    EXPECT_EQ(*ParseStringDescriptor(EncodeStringDescriptor(u"Halvern")).value, u"Halvern");
    EXPECT_EQ(*ParseStringDescriptor(Bytes{0, 3}).value, u"");     // reported length below 2
    EXPECT_EQ(*ParseStringDescriptor(Bytes{5, 3, 'A', 0, 'B'}).value, u"A");  // odd length: whole units
    EXPECT_FALSE(ParseStringDescriptor(Bytes{10, 3, 'A', 0}));    // runs past what arrived
    EXPECT_FALSE(ParseStringDescriptor(Bytes{4, 2, 'A', 0}));

    const struct {
        std::vector<std::uint16_t> offered;
        std::uint16_t chosen;
    } languages[] = {{{0x0407, 0x0409, 0x040C}, 1033}, {{0x0407}, 0x0407}, {{}, 0}};
    for (const auto& l : languages) {
        const auto table = ParseLanguageTable(EncodeLanguageTable(l.offered));
        ASSERT_TRUE(table);
        EXPECT_EQ(*table.value, l.offered);
        EXPECT_EQ(ChooseLanguage(*table.value), l.chosen);
    }
}

TEST(UsbDescriptors, EncodedConfigurationParsesBack) {
    ConfigurationDescriptor c;
    c.bConfigurationValue = 1;
    InterfaceObject a;
    a.descriptor.bInterfaceNumber = 0;
    a.endpoints = {{7, 5, 0x02, 2, 512, 0}, {7, 5, 0x86, 2, 512, 0}};
    InterfaceObject b;
    b.descriptor.bInterfaceNumber = 1;
    c.interfaces = {a, b};
    const auto parsed = ParseConfigurationDescriptor(EncodeConfigurationDescriptor(c));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed.value->bNumInterfaces, 2);
    ASSERT_EQ(parsed.value->interfaces.size(), 2u);
    EXPECT_EQ(parsed.value->interfaces[0].endpoints.size(), 2u);
    EXPECT_EQ(parsed.value->interfaces[0].endpoints[1].bEndpointAddress, 0x86);
    EXPECT_EQ(*ConfigurationTotalLength(EncodeConfigurationDescriptor(c)), 9 + 9 + 14 + 9);
}

}  // namespace
