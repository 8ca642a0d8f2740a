#include "platform/usb/SimulatedAudioBox.h"

#include <algorithm>
#include <cstring>

#include "platform/ByteCodec.h"

namespace platform::usb {

namespace {

// Pipe n is endpoint descriptor n of the interface.
constexpr std::array<std::uint8_t, SimulatedAudioBox::kPipeCount> kPipes = {0x81, 0x01, 0x02, 0x82, 0x03,
                                                                           0x83, 0x04, 0x84, 0x88};

ConfigurationDescriptor BoxConfiguration() {
    ConfigurationDescriptor c;
    c.bConfigurationValue = 1;
    c.bmAttributes = 0x80;
    c.bMaxPower = 200;
    InterfaceObject i;
    i.descriptor.bInterfaceClass = 0xFF;
    for (std::uint8_t address : kPipes)
        i.endpoints.push_back({7, kDescriptorEndpoint, address, 2, 64, 0});
    c.interfaces.push_back(i);
    return c;
}

DeviceDescriptor BoxDevice() {
    DeviceDescriptor d;
    d.bcdUSB = 0x0110;
    d.bDeviceClass = 0xFF;
    d.bMaxPacketSize0 = 64;
    d.idVendor = SimulatedAudioBox::kVendorId;
    d.idProduct = SimulatedAudioBox::kProductId;
    d.bcdDevice = 0x0100;
    d.iProduct = 1;
    d.bNumConfigurations = 1;
    return d;
}

}  // namespace

std::uint8_t SimulatedAudioBox::PipeEndpoint(int pipe) {
    return pipe >= 0 && pipe < kPipeCount ? kPipes[static_cast<std::size_t>(pipe)] : 0;
}

SimulatedAudioBox::SimulatedAudioBox(std::string path)
    : SimulatedUsbDevice(std::move(path), BoxDevice(), {BoxConfiguration()}, {{1, u"Sonetta audio box"}},
                         {0x0409}) {}

SimulatedAudioBox::~SimulatedAudioBox() { StopClock(); }

std::int32_t SimulatedAudioBox::SampleWord(std::uint64_t frame, int word) {
    if (word == 1)
        return static_cast<std::int32_t>(frame % (1u << 23));
    // A ramp over the whole 24-bit range, wrapping.
    return static_cast<std::int32_t>((frame * 4099) % (1u << 24)) - (1 << 23);
}

std::uint8_t SimulatedAudioBox::SampleStreamByte(std::uint64_t at) const {
    const std::uint64_t block = at / kSampleBlockBytes;
    const std::size_t offset = static_cast<std::size_t>(at % kSampleBlockBytes);
    std::uint32_t value;
    if (offset < kFramesPerBlock * 8) {
        const std::uint64_t frame = block * kFramesPerBlock + offset / 8;
        value = static_cast<std::uint32_t>(SampleWord(frame, static_cast<int>((offset % 8) / 4)));
    } else {
        const std::size_t index = (offset - kFramesPerBlock * 8) / 4;
        const std::size_t half = std::max<std::uint32_t>(m_fftSize / 2, 1);
        const std::size_t spectra = kFramesPerBlock / std::max<std::uint32_t>(m_fftSize, 1);
        float f = 0.0f;
        if (index / half < spectra)
            f = SpectrumValue(static_cast<int>(index / half), static_cast<int>(index % half));
        std::memcpy(&value, &f, 4);
    }
    return static_cast<std::uint8_t>(value >> (8 * (offset % 4)));
}

UsbStatus SimulatedAudioBox::HandleRequest(const SetupPacket& setup, std::uint8_t* data, std::size_t& transferred) {
    if ((setup.bmRequestType & 0x7F) != 0x40)
        return UsbStatus::Stall;
    // The box's driver passes the length of the data stage in wIndex too.
    if (setup.wIndex != setup.wLength)
        return UsbStatus::Stall;
    const bool out = !setup.IsIn();
    switch (setup.bRequest) {
    case kSetup:
    case kFilter: return UsbStatus::Ok;
    case kSample:
        if (!out)
            return UsbStatus::Stall;
        m_sampling = true;
        m_playing = false;
        return UsbStatus::Ok;
    case kPlay:
        if (!out)
            return UsbStatus::Stall;
        m_playing = true;
        m_sampling = false;
        return UsbStatus::Ok;
    case kStop:
        if (!out)
            return UsbStatus::Stall;
        m_sampling = false;
        m_playing = false;
        return UsbStatus::Ok;
    case kReadConfig:
        if (out)
            return UsbStatus::Stall;
        if (setup.wLength > 0)
            std::memset(data, 0, setup.wLength);
        if (setup.wLength >= 4)
            PutU32LE(data, m_dspRunning ? kBootedCode : 0u);
        transferred = setup.wLength;
        return UsbStatus::Ok;
    case kBootStart:
        if (!out)
            return UsbStatus::Stall;
        m_booting = true;
        m_dspRunning = false;
        m_firmware.clear();
        return UsbStatus::Ok;
    case kBootStop:
        if (!out)
            return UsbStatus::Stall;
        m_dspRunning = m_booting && !m_firmware.empty() && !m_bootFails;
        m_booting = false;
        return UsbStatus::Ok;
    case kLocalSetup:
    case kDspSetup: {
        if (!out || setup.wLength != 64)
            return UsbStatus::Stall;
        auto& block = setup.bRequest == kLocalSetup ? m_localSetup : m_dspSetup;
        std::memcpy(block.data(), data, 64);
        if (setup.bRequest == kDspSetup) {
            const std::uint32_t fft = GetU32LE(data + 8) & 0x7FF;
            if (fft >= 64 && fft <= 1024)
                m_fftSize = fft;
        }
        return UsbStatus::Ok;
    }
    default: return UsbStatus::Stall;
    }
}

std::optional<std::size_t> SimulatedAudioBox::ServeTransfer(const UsbTransfer& transfer, std::size_t limit) {
    const std::uint8_t ep = transfer.Endpoint();
    if (ep == PipeEndpoint(kSamplePipe)) {
        if (!m_sampling)
            return std::nullopt;
        for (std::size_t i = 0; i < limit; ++i)
            transfer.Buffer()[i] = SampleStreamByte(m_streamByte++);
        return limit;
    }
    if (ep == PipeEndpoint(kPlayPipe)) {
        if (!m_playing)
            return std::nullopt;
        const std::uint8_t* in = transfer.Buffer();
        for (std::size_t i = 0; i + 8 <= limit; i += 8) {
            const auto w0 = static_cast<std::int32_t>(GetU32LE(in + i));
            const auto w1 = static_cast<std::int32_t>(GetU32LE(in + i + 4));
            m_played[0].push_back(static_cast<float>(w1) / 8388608.0f);
            m_played[1].push_back(static_cast<float>(w0) / 8388608.0f);
        }
        return limit;
    }
    if (ep == PipeEndpoint(kFirmwarePipe)) {
        if (!m_booting)
            return std::nullopt;
        m_firmware.insert(m_firmware.end(), transfer.Buffer(), transfer.Buffer() + limit);
        return limit;
    }
    return std::nullopt;
}

void SimulatedAudioBox::SetBootFails(bool fails) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bootFails = fails;
}
bool SimulatedAudioBox::IsDspRunning() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dspRunning;
}
std::vector<std::uint8_t> SimulatedAudioBox::Firmware() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_firmware;
}
std::array<std::uint8_t, 64> SimulatedAudioBox::LastLocalSetup() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_localSetup;
}
std::array<std::uint8_t, 64> SimulatedAudioBox::LastDspSetup() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dspSetup;
}
bool SimulatedAudioBox::IsSampling() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sampling;
}
bool SimulatedAudioBox::IsPlaying() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_playing;
}
std::vector<float> SimulatedAudioBox::PlayedChannel(int channel) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return channel == 0 || channel == 1 ? m_played[channel] : std::vector<float>();
}

}  // namespace platform::usb
