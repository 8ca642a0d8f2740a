#include "acquisition/CUSB2Hardware.h"

#include <array>

#include "acquisition/CUsbDevice.h"
#include "platform/File.h"
#include "platform/usb/UsbTransport.h"

namespace vocomet {

namespace {

constexpr std::uint16_t kReadConfigValue = 7;
constexpr int kConfigBytes = 64;

const char* RequestFailureText(std::uint8_t request) {
    switch (request) {
    case kVrSample: return "send requesd for -SAMPLE- failed";
    case kVrPlay: return "send requesd for -PLAY- failed";
    case kVrStop: return "send requesd for -STOP_SAMPLE_PLAY- failed";
    default: return "send requesd failed";
    }
}

}  // namespace

int ChannelCodeOfConfiguration(std::uint8_t byte0) {
    switch (byte0 & 0x0F) {
    case 0:
    case 5:
    case 11: return 5;
    case 2: return 2;
    case 9: return 9;
    default: return -1;
    }
}

CUSB2Hardware::CUSB2Hardware() = default;
CUSB2Hardware::~CUSB2Hardware() = default;

void CUSB2Hardware::Report(const std::string& text) const {
    if (m_sink)
        m_sink(text);
}

template <typename Work>
void CUSB2Hardware::Guarded(const char* text, Work&& work) {
    try {
        work();
    } catch (...) {
        Report(text);
        throw;
    }
}

int CUSB2Hardware::OpenDevice() {
    m_bulkIn = nullptr;
    m_bulkOut = nullptr;
    m_device.reset();
    m_device = std::make_unique<CUsbDevice>(platform::usb::kRendalDeviceKind, true);
    if (m_device->GetDeviceCount() == 0)
        return 0;
    if (!m_device->Open(0))
        return 0;
    // Endpoint 0 is the control endpoint; a later bulk endpoint of the same
    // direction replaces an earlier one.
    const int count = m_device->GetEndpointCount();
    for (int i = 1; i < count; ++i) {
        CUsbEndpoint* e = m_device->Endpoint(i);
        if (!e || e->TransferType() != platform::usb::EndpointType::Bulk)
            continue;
        if (e->bEndpointAddress & 0x80)
            m_bulkIn = e;
        else
            m_bulkOut = e;
    }
    CUsbControlEndpoint* control = m_device->ControlEndpoint();
    if (!control)
        return 0;
    std::array<std::uint8_t, kConfigBytes> reply{};
    control->recipient = 0;
    control->requestType = 2;
    control->direction = 1;
    control->request = kVrReadConfig;
    control->value = kReadConfigValue;
    control->index = 0;
    int length = kConfigBytes;
    if (!control->Transfer(reply.data(), length))
        return 0;
    const int code = ChannelCodeOfConfiguration(reply[0]);
    if (code < 0)
        return 0;
    m_channelCode = code;
    return 1;
}

void CUSB2Hardware::SendRequest(std::uint8_t request, std::uint8_t* data, int length, std::uint16_t value) {
    CUsbControlEndpoint* control = m_device ? m_device->ControlEndpoint() : nullptr;
    bool sent = false;
    if (control && m_device->IsOpen()) {
        control->recipient = 0;
        control->requestType = 2;
        control->direction = 0;
        control->request = request;
        control->value = value;
        control->index = 0;
        int n = length;
        sent = control->Transfer(data, n);
    }
    if (!sent) {
        Report(RequestFailureText(request));
        throw platform::UserException();
    }
}

void CUSB2Hardware::SendSample() {
    Guarded("Error in sending Sample request", [&] { SendRequest(kVrSample, nullptr, 0, 0); });
}

void CUSB2Hardware::SendPlay() {
    Guarded("Error in sending Play request", [&] { SendRequest(kVrPlay, nullptr, 0, 0); });
}

void CUSB2Hardware::SendStop() {
    Guarded("Error in sending Stop request", [&] { SendRequest(kVrStop, nullptr, 0, 0); });
}

void CUSB2Hardware::ResetHardware() {
    Guarded("Error in sending resetHrdware request", [&] {
        if (OpenDevice() == 1)
            SendStop();
    });
}

void CUSB2Hardware::SetHardwareControls(std::uint16_t value, const std::uint8_t data[2]) {
    Guarded("Error in setting hardware controls", [&] {
        if (OpenDevice() != 1)
            return;
        std::uint8_t bytes[2] = {data[0], data[1]};
        SendRequest(kVrControl, bytes, 2, value);
    });
}

}  // namespace vocomet
