#include "platform/usb/SimulatedRendal.h"

#include <cstring>

#include "platform/ByteCodec.h"

namespace platform::usb {

namespace {

ConfigurationDescriptor RendalConfiguration() {
    ConfigurationDescriptor c;
    c.bConfigurationValue = 1;
    c.bmAttributes = 0x80;
    c.bMaxPower = 250;
    InterfaceObject i;
    i.descriptor.bInterfaceNumber = 0;
    i.descriptor.bAlternateSetting = 0;
    i.descriptor.bInterfaceClass = 0xFF;
    i.endpoints.push_back({7, kDescriptorEndpoint, SimulatedRendal::kBulkOut, 2, 512, 0});
    i.endpoints.push_back({7, kDescriptorEndpoint, SimulatedRendal::kBulkIn, 2, 512, 0});
    c.interfaces.push_back(i);
    return c;
}

DeviceDescriptor RendalDevice() {
    DeviceDescriptor d;
    d.bcdUSB = 0x0200;
    d.bDeviceClass = 0xFF;
    d.bMaxPacketSize0 = 64;
    d.idVendor = SimulatedRendal::kVendorId;
    d.idProduct = SimulatedRendal::kProductId;
    d.bcdDevice = 0x0100;
    d.iManufacturer = 1;
    d.iProduct = 2;
    d.iSerialNumber = 3;
    d.bNumConfigurations = 1;
    return d;
}

}  // namespace

SimulatedRendal::SimulatedRendal(std::uint8_t configurationByte, std::string path)
    : SimulatedUsbDevice(std::move(path), RendalDevice(), {RendalConfiguration()},
                         {{1, u"Halvern"}, {2, u"Rendal USB 2"}, {3, u"SIM0001"}}, {0x0409}),
      m_configurationByte(configurationByte) {}

SimulatedRendal::~SimulatedRendal() { StopClock(); }

std::int16_t SimulatedRendal::SampleWord(std::uint64_t frame, int word) {
    if (word == kWords - 1)
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(frame & 0xFFFF));
    // A ramp of its own slope and offset per channel, wrapping in 16 bits.
    const std::uint64_t v = frame * static_cast<std::uint64_t>(word + 1) + static_cast<std::uint64_t>(word) * 0x1111;
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(v & 0xFFFF));
}

std::uint16_t SimulatedRendal::UnreverseWord(std::uint16_t sent) {
    std::uint16_t w = 0;
    for (int b = 0; b < 16; ++b)
        if (sent & (1u << b))
            w = static_cast<std::uint16_t>(w | (1u << (15 - b)));
    return w;
}

float SimulatedRendal::DecodePlayWord(std::uint16_t sent) {
    return static_cast<float>(static_cast<double>(UnreverseWord(sent)) / 32767.0 - 1.0);
}

UsbStatus SimulatedRendal::HandleRequest(const SetupPacket& setup, std::uint8_t* data, std::size_t& transferred) {
    // Vendor requests to the device only.
    if ((setup.bmRequestType & 0x7F) != 0x40)
        return UsbStatus::Stall;
    switch (setup.bRequest) {
    case kReadConfig:
        if (!setup.IsIn() || setup.wValue != 7)
            return UsbStatus::Stall;
        if (setup.wLength > 0) {
            std::memset(data, 0, setup.wLength);
            data[0] = m_configurationByte;
        }
        transferred = setup.wLength;
        return UsbStatus::Ok;
    case kSample:
        if (setup.IsIn())
            return UsbStatus::Stall;
        m_sampling = true;
        m_playing = false;
        return UsbStatus::Ok;
    case kPlay:
        if (setup.IsIn())
            return UsbStatus::Stall;
        m_playing = true;
        m_sampling = false;
        return UsbStatus::Ok;
    case kStop:
        if (setup.IsIn())
            return UsbStatus::Stall;
        m_sampling = false;
        m_playing = false;
        return UsbStatus::Ok;
    case kControl:
        if (setup.IsIn() || setup.wLength != 2)
            return UsbStatus::Stall;
        m_controls.push_back({setup.wValue, data[0], data[1]});
        return UsbStatus::Ok;
    default: return UsbStatus::Stall;
    }
}

std::optional<std::size_t> SimulatedRendal::ServeTransfer(const UsbTransfer& transfer, std::size_t limit) {
    if (transfer.Endpoint() == kBulkIn) {
        if (!m_sampling)
            return std::nullopt;
        std::uint8_t* out = transfer.Buffer();
        for (std::size_t i = 0; i < limit; ++i, ++m_streamByte) {
            const std::uint64_t frame = m_streamByte / kFrameBytes;
            const int word = static_cast<int>((m_streamByte % kFrameBytes) / 2);
            const auto w = static_cast<std::uint16_t>(SampleWord(frame, word));
            out[i] = (m_streamByte & 1) ? static_cast<std::uint8_t>(w >> 8) : static_cast<std::uint8_t>(w & 0xFF);
        }
        return limit;
    }
    if (transfer.Endpoint() == kBulkOut) {
        if (!m_playing)
            return std::nullopt;
        const std::uint8_t* in = transfer.Buffer();
        for (std::size_t i = 0; i + 2 <= limit; i += 2)
            m_played.push_back(GetU16LE(in + i));
        return limit;
    }
    return std::nullopt;
}

std::vector<float> SimulatedRendal::PlayedSamples() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<float> out;
    out.reserve(m_played.size());
    for (std::uint16_t w : m_played)
        out.push_back(DecodePlayWord(w));
    return out;
}

std::vector<std::uint16_t> SimulatedRendal::PlayedWords() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_played;
}

std::vector<SimulatedRendal::ControlWord> SimulatedRendal::ControlWords() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_controls;
}

bool SimulatedRendal::IsSampling() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sampling;
}

bool SimulatedRendal::IsPlaying() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_playing;
}

std::uint64_t SimulatedRendal::StreamBytesSent() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_streamByte;
}

}  // namespace platform::usb
