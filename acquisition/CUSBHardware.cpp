#include "acquisition/CUSBHardware.h"

#include <cstring>
#include <new>
#include <vector>

#include "platform/ByteCodec.h"
#include "platform/File.h"
#include "platform/UserPrompts.h"
#include "platform/usb/UsbDescriptors.h"
#include "platform/usb/UsbTransport.h"

namespace vocomet {

namespace usb = platform::usb;

std::string VendorRequestFailureText(std::uint8_t request) {
    const char* name = "UNKNOWN";
    switch (request) {
    case VR_SETUP: name = "SETUP"; break;
    case VR_SAMPLE: name = "SAMPLE"; break;
    case VR_PLAY: name = "PLAY"; break;
    case VR_STOP: name = "STOP_SAMPLE_PLAY"; break;
    case VR_FILTER: name = "SET_FILTER"; break;
    case VR_READ_CONFIG: name = "READ_CONFIGURATION"; break;
    case VR_DSP_BOOT_START: name = "COMMAND_BOOT_DSP"; break;
    case VR_DSP_BOOT_STOP: name = "COMMAND_STOP_BOOT_DSP"; break;
    case VR_LOCAL_SETUP: name = "COMMAND_SETUP_LOCAL"; break;
    case VR_DSP_SETUP: name = "COMMAND_SETUP_DSP"; break;
    default: break;
    }
    return std::string("send requesd for -") + name + "- failed";
}

void PromptsDeviceReport::DeviceMessage(const std::string& text, bool beep) {
    if (beep)
        m_prompts.Beep();
    m_prompts.Message(text, platform::Buttons::Ok, platform::Icon::None);
}

std::array<std::uint8_t, kSetupBlockBytes> EncodeLocalSetup(int constant, int gainCode, int source, int phantom,
                                                            int balance) {
    // Each field is the low byte of the caller's value; the rest stays 0.
    std::array<std::uint8_t, kSetupBlockBytes> b{};
    b[0] = static_cast<std::uint8_t>(constant & 0xFF);
    b[1] = static_cast<std::uint8_t>(gainCode & 0xFF);
    b[2] = static_cast<std::uint8_t>(source & 0xFF);
    b[3] = static_cast<std::uint8_t>(phantom & 0xFF);
    b[4] = static_cast<std::uint8_t>(balance & 0xFF);
    return b;
}

std::array<std::uint8_t, kSetupBlockBytes> EncodeDspSetup(int channels, int blockWordA, int blockWordB, int fftSize,
                                                          int outputLevel, int sampleRate, int reserved,
                                                          int talkThrough) {
    std::array<std::uint8_t, kSetupBlockBytes> b{};
    const std::uint32_t words[7] = {VR_DSP_SETUP,
                                    static_cast<std::uint32_t>(channels),
                                    static_cast<std::uint32_t>(blockWordA | blockWordB | fftSize),
                                    static_cast<std::uint32_t>(outputLevel),
                                    static_cast<std::uint32_t>(sampleRate),
                                    static_cast<std::uint32_t>(reserved),
                                    static_cast<std::uint32_t>(talkThrough)};
    for (int i = 0; i < 7; ++i)
        platform::PutU32LE(b.data() + 4 * i, words[i]);
    return b;
}

namespace {

// A queued transfer with a buffer of its own: should the transport keep it
// past our wait, the buffer stays alive with it.
struct OwnedTransfer {
    std::vector<std::uint8_t> bytes;
    std::shared_ptr<usb::UsbTransfer> transfer;
};

// Endpoint addresses of pipes 0..8 from the box's configuration descriptor;
// false when it cannot be read.
bool ReadPipes(usb::UsbDeviceHandle& device, std::array<std::uint8_t, 9>& pipes) {
    std::array<std::uint8_t, usb::kConfigurationHeaderLength> header{};
    std::size_t moved = 0;
    const usb::SetupPacket head{0x80, 6, static_cast<std::uint16_t>(usb::kDescriptorConfiguration << 8), 0,
                                static_cast<std::uint16_t>(header.size())};
    if (device.Control(head, header.data(), moved, CUSBHardware::kControlTimeout) != usb::UsbStatus::Ok)
        return false;
    const std::optional<std::uint16_t> total = usb::ConfigurationTotalLength({header.data(), moved});
    if (!total)
        return false;
    std::vector<std::uint8_t> all(*total);
    const usb::SetupPacket full{0x80, 6, static_cast<std::uint16_t>(usb::kDescriptorConfiguration << 8), 0, *total};
    if (device.Control(full, all.data(), moved, CUSBHardware::kControlTimeout) != usb::UsbStatus::Ok)
        return false;
    const auto parsed = usb::ParseConfigurationDescriptor({all.data(), moved});
    if (!parsed || parsed.value->interfaces.empty())
        return false;
    const auto& endpoints = parsed.value->interfaces.front().endpoints;
    pipes.fill(0);
    for (std::size_t i = 0; i < endpoints.size() && i < pipes.size(); ++i)
        pipes[i] = endpoints[i].bEndpointAddress;
    return true;
}

}  // namespace

CUSBHardware::CUSBHardware(DeviceReport* report) : m_report(report) {}
CUSBHardware::~CUSBHardware() = default;

void CUSBHardware::Fail(const std::string& text, bool beep) const {
    if (m_report)
        m_report->DeviceMessage(text, beep);
}

void CUSBHardware::RequireOpen(const char* failureText) const {
    if (m_handle)
        return;
    Fail(kDeviceNotOpen, false);
    Fail(failureText);
    throw platform::UserException();
}

void CUSBHardware::OpenDeviceHandle(AudioBoxHandle& handle, const std::string& deviceName) {
    std::shared_ptr<usb::UsbDeviceHandle> device = usb::CurrentBus()->Open(deviceName, 0);
    AudioBoxHandle opened;
    if (!device || !ReadPipes(*device, opened.pipes))
        throw platform::UserException();
    opened.device = std::move(device);
    handle = std::move(opened);
}

int CUSBHardware::OpenDevice() {
    OpenDeviceHandle(m_handle, usb::kAudioBoxDeviceKind);
    return 1;
}

int CUSBHardware::CloseDevice() {
    RequireOpen(kErrorCloseDevice);
    m_handle = AudioBoxHandle{};
    return 1;
}

void CUSBHardware::SendVendorRequest(AudioBoxHandle& handle, std::uint8_t* data, std::uint8_t request,
                                     std::uint16_t length, int direction, std::uint16_t value) {
    bool ok = false;
    if (handle) {
        // Vendor request to the device; the box's driver carries the length
        // of the data stage in wIndex as well.
        const usb::SetupPacket setup{static_cast<std::uint8_t>(direction ? 0xC0 : 0x40), request, value, length,
                                     length};
        std::size_t moved = 0;
        std::vector<std::uint8_t> none;
        std::uint8_t* stage = data;
        if (!stage && length > 0) {
            none.assign(length, 0);
            stage = none.data();
        }
        ok = handle.device->Control(setup, stage, moved, kControlTimeout) == usb::UsbStatus::Ok && moved == length;
    }
    if (!ok) {
        Fail(VendorRequestFailureText(request));
        throw platform::UserException();
    }
}

CUSBHardware::Wait CUSBHardware::WaitTransfer(AudioBoxHandle& handle, const std::shared_ptr<void>& keep,
                                              bool useStop) {
    auto* owned = static_cast<OwnedTransfer*>(keep.get());
    const usb::UsbTransfer& t = *owned->transfer;
    std::chrono::milliseconds waited{0};
    while (!t.WaitFor(kWaitSlice)) {
        waited += kWaitSlice;
        const bool stop = useStop && m_stopSource && m_stopSource->load() != 0;
        if (!stop && waited < kBulkTimeout)
            continue;
        handle.device->Cancel(t);
        if (!t.WaitFor(kControlTimeout)) {
            // The transport still holds the buffer: it must outlive it.
            new std::shared_ptr<void>(keep);  // NOLINT: deliberately kept
        }
        return stop ? Wait::Stopped : Wait::TimedOut;
    }
    return Wait::Done;
}

bool CUSBHardware::BulkWrite(AudioBoxHandle& handle, const std::uint8_t* data, std::size_t length, int pipe) {
    bool ok = false;
    if (handle && pipe > 0 && pipe < static_cast<int>(handle.pipes.size()) && handle.pipes[pipe] != 0) {
        auto owned = std::make_shared<OwnedTransfer>();
        owned->bytes.assign(data, data + length);
        owned->transfer = std::make_shared<usb::UsbTransfer>(handle.pipes[static_cast<std::size_t>(pipe)],
                                                             usb::EndpointType::Bulk, owned->bytes.data(), length);
        handle.device->Submit(owned->transfer);
        // The firmware load is never taken back half way.
        const Wait w = WaitTransfer(handle, owned, pipe == kAudioBoxPlayPipe);
        if (w == Wait::Stopped)
            return false;
        ok = w == Wait::Done && owned->transfer->Status() == usb::UsbStatus::Ok &&
             owned->transfer->Actual() == length;
    }
    if (!ok) {
        // The box's own text for a failed write is that of a failed read.
        Fail(kErrorReadingIncomingData);
        throw platform::UserException();
    }
    return true;
}

bool CUSBHardware::BulkRead(AudioBoxHandle& handle, std::uint8_t* buffer, std::size_t length) {
    bool ok = false;
    const std::uint8_t endpoint = handle ? handle.pipes[kAudioBoxSamplePipe] : 0;
    if (handle && endpoint != 0) {
        auto owned = std::make_shared<OwnedTransfer>();
        owned->bytes.assign(length, 0);
        owned->transfer =
            std::make_shared<usb::UsbTransfer>(endpoint, usb::EndpointType::Bulk, owned->bytes.data(), length);
        handle.device->Submit(owned->transfer);
        const Wait w = WaitTransfer(handle, owned, true);
        if (w == Wait::Stopped)
            return false;
        ok = w == Wait::Done && owned->transfer->Status() == usb::UsbStatus::Ok &&
             owned->transfer->Actual() == length;
        if (ok)
            std::memcpy(buffer, owned->bytes.data(), length);
    }
    if (!ok) {
        Fail(kSampleProblem);
        Fail(kErrorReadingIncomingData);
        throw platform::UserException();
    }
    return true;
}

void CUSBHardware::SendSample() {
    RequireOpen(kErrorSendingSample);
    try {
        SendVendorRequest(m_handle, nullptr, VR_SAMPLE, 0, 0, 0);
    } catch (const platform::UserException&) {
        Fail(kErrorSendingSample);
        throw;
    }
}

void CUSBHardware::SendPlay() {
    RequireOpen(kErrorSendingPlay);
    try {
        SendVendorRequest(m_handle, nullptr, VR_PLAY, 0, 0, 0);
    } catch (const platform::UserException&) {
        Fail(kErrorSendingPlay);
        throw;
    }
}

void CUSBHardware::SendStop() {
    RequireOpen(kErrorSendingStop);
    try {
        SendVendorRequest(m_handle, nullptr, VR_STOP, 0, 0, 0);
    } catch (const platform::UserException&) {
        Fail(kErrorSendingStop);
        throw;
    }
}

std::uint8_t* CUSBHardware::ReadBlock(std::uint8_t* buffer, std::size_t length, int stopFlag) {
    RequireOpen(kErrorSendingSample);
    bool received = false;
    try {
        received = BulkRead(m_handle, buffer, length);
    } catch (const platform::UserException&) {
        Fail(kErrorSendingSample);
        throw;
    }
    if (stopFlag || !received) {
        SendStop();
        return nullptr;
    }
    return buffer;
}

int CUSBHardware::WriteBlock(const std::uint8_t* buffer, std::size_t length, int stopFlag) {
    RequireOpen(kErrorSendingSample);
    bool written = false;
    try {
        written = BulkWrite(m_handle, buffer, length, kAudioBoxPlayPipe);
    } catch (const platform::UserException&) {
        Fail(kErrorSendingSample);
        throw;
    }
    return written ? stopFlag : 1;
}

void CUSBHardware::SetupDsp(int channels, int blockWordA, int blockWordB, int fftSize, int outputLevel,
                            int sampleRate, int reserved, int talkThrough) {
    try {
        if (!m_handle)
            OpenDevice();
        auto block = EncodeDspSetup(channels, blockWordA, blockWordB, fftSize, outputLevel, sampleRate, reserved,
                                    talkThrough);
        SendVendorRequest(m_handle, block.data(), VR_DSP_SETUP, static_cast<std::uint16_t>(block.size()), 0, 0);
    } catch (const platform::UserException&) {
        m_handle = AudioBoxHandle{};
        Fail(kErrorDspSetup);
        throw;
    }
    m_handle = AudioBoxHandle{};
}

int CUSBHardware::SetupDsp(platform::UserPrompts& prompts, int channels, int blockWordA, int blockWordB, int fftSize,
                           int outputLevel, int sampleRate, int reserved, int talkThrough) {
    PromptsDeviceReport report(prompts);
    DeviceReport* const previous = m_report;
    m_report = &report;
    int result = 1;
    try {
        SetupDsp(channels, blockWordA, blockWordB, fftSize, outputLevel, sampleRate, reserved, talkThrough);
    } catch (const platform::UserException&) {
        result = 0;
    }
    m_report = previous;
    return result;
}

void CUSBHardware::SetupLocal(int constant, int gainCode, int source, int phantom, int balance) {
    AudioBoxHandle own;
    try {
        OpenDeviceHandle(own, usb::kAudioBoxDeviceKind);
        auto block = EncodeLocalSetup(constant, gainCode, source, phantom, balance);
        SendVendorRequest(own, block.data(), VR_LOCAL_SETUP, static_cast<std::uint16_t>(block.size()), 0, 0);
    } catch (const platform::UserException&) {
        Fail(kErrorLocalSetup);
        throw;
    }
}

int CUSBHardware::BootDsp(const std::string& firmwarePath) {
    std::vector<std::uint8_t> firmware;
    try {
        platform::File file;
        if (!file.Open(firmwarePath, platform::File::Mode::Read))
            return 0;
        const std::int64_t length = file.GetLength();
        if (length <= 0 || length > (std::int64_t{1} << 30))
            return 0;
        firmware.resize(static_cast<std::size_t>(length));
        file.Seek(0);
        if (file.Read(firmware.data(), firmware.size()) != firmware.size())
            return 0;
    } catch (const std::exception&) {
        return 0;
    }

    AudioBoxHandle own;
    try {
        OpenDeviceHandle(own, usb::kAudioBoxDeviceKind);
        SendVendorRequest(own, nullptr, VR_DSP_BOOT_START, 0, 0, 0);
        bool written = false;
        try {
            written = BulkWrite(own, firmware.data(), firmware.size(), kAudioBoxFirmwarePipe);
        } catch (const platform::UserException&) {
            written = false;
        }
        if (!written) {
            SendVendorRequest(own, nullptr, VR_DSP_BOOT_STOP, 0, 0, 0);
            return 0;
        }
        SendVendorRequest(own, nullptr, VR_DSP_BOOT_STOP, 0, 0, 0);
        std::array<std::uint8_t, kSetupBlockBytes> reply{};
        SendVendorRequest(own, reply.data(), VR_READ_CONFIG, static_cast<std::uint16_t>(reply.size()), 1, 0);
        return platform::GetU32LE(reply.data()) == kAudioBoxBootedCode ? 1 : 0;
    } catch (const std::exception&) {
        return 0;
    }
}

}  // namespace vocomet
