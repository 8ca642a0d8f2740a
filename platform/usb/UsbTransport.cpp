#include "platform/usb/UsbTransport.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>
#include <sstream>

#include "platform/ProfileStore.h"
#include "platform/usb/LibusbBus.h"
#include "platform/usb/SimulatedAudioBox.h"
#include "platform/usb/SimulatedRendal.h"

namespace platform::usb {

const char* StatusText(UsbStatus status) {
    switch (status) {
    case UsbStatus::Ok: return "ok";
    case UsbStatus::Stall: return "stalled";
    case UsbStatus::Cancelled: return "cancelled";
    case UsbStatus::NoDevice: return "no device";
    case UsbStatus::Timeout: return "timed out";
    case UsbStatus::Overflow: return "overflow";
    case UsbStatus::Access: return "access refused";
    case UsbStatus::Busy: return "busy";
    case UsbStatus::Invalid: return "invalid request";
    case UsbStatus::Error: return "error";
    }
    return "error";
}

// --- transfer ----------------------------------------------------------------

UsbTransfer::UsbTransfer(std::uint8_t endpoint, EndpointType type, std::uint8_t* buffer, std::size_t length,
                         std::size_t isoPackets)
    : m_endpoint(endpoint), m_type(type), m_buffer(buffer), m_length(length), m_isoPackets(isoPackets) {}

bool UsbTransfer::IsComplete() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_complete;
}

bool UsbTransfer::WaitFor(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_done.wait_for(lock, timeout, [this] { return m_complete; });
}

void UsbTransfer::Wait() const {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait(lock, [this] { return m_complete; });
}

UsbStatus UsbTransfer::Status() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_status;
}

std::size_t UsbTransfer::Actual() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_actual;
}

bool UsbTransfer::Complete(UsbStatus status, std::size_t actual) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_complete)
            return false;
        m_complete = true;
        m_status = status;
        m_actual = std::min(actual, m_length);
        m_done.notify_all();
    }
    return true;
}

// --- handle ------------------------------------------------------------------

std::uint32_t UsbDeviceHandle::GetTransferSize(std::uint8_t endpoint) const {
    std::lock_guard<std::mutex> lock(m_sizeMutex);
    const auto it = m_transferSizes.find(endpoint);
    return it == m_transferSizes.end() ? 4096 : it->second;
}

void UsbDeviceHandle::SetTransferSize(std::uint8_t endpoint, std::uint32_t size) {
    std::lock_guard<std::mutex> lock(m_sizeMutex);
    m_transferSizes[endpoint] = size;
}

// --- settings ----------------------------------------------------------------

std::optional<UsbId> ParseUsbId(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    const auto hex = [](const std::string& s) -> std::optional<std::uint16_t> {
        if (s.empty() || s.size() > 4)
            return std::nullopt;
        unsigned v = 0;
        for (char c : s) {
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return std::nullopt;
            v = v * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                                   ? c - '0'
                                                   : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
        }
        return static_cast<std::uint16_t>(v);
    };
    const auto vendor = hex(text.substr(0, colon));
    const auto product = hex(text.substr(colon + 1));
    if (!vendor || !product)
        return std::nullopt;
    return UsbId{*vendor, *product};
}

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

void ApplySimulate(UsbSettings& settings, const std::string& list) {
    settings.simulateRendal = settings.simulateAudioBox = false;
    std::stringstream in(Lower(list));
    std::string item;
    while (std::getline(in, item, ',')) {
        item.erase(std::remove_if(item.begin(), item.end(), [](unsigned char c) { return std::isspace(c); }),
                   item.end());
        // "rendal" or "rendal=0x05": the configuration byte it reports.
        const auto eq = item.find('=');
        const std::string name = item.substr(0, eq);
        if (name == "rendal") {
            settings.simulateRendal = true;
            if (eq != std::string::npos) {
                char* end = nullptr;
                const long v = std::strtol(item.c_str() + eq + 1, &end, 0);
                if (end && *end == '\0' && v >= 0 && v <= 255)
                    settings.rendalConfigurationByte = static_cast<int>(v);
            }
        } else if (name == "audiobox" || name == "box") {
            settings.simulateAudioBox = true;
        } else if (name == "all" || name == "1" || name == "yes") {
            settings.simulateRendal = settings.simulateAudioBox = true;
        }
    }
}

}  // namespace

UsbSettings UsbSettings::Read(ProfileStore* profile) {
    UsbSettings settings;
    const struct {
        const char* kind;
        const char* key;
        const char* env;
    } ids[] = {{kRendalDeviceKind, "Rendal", "VOCOMET_USB_RENDAL"},
               {kAudioBoxDeviceKind, "Audio Box", "VOCOMET_USB_AUDIOBOX"}};
    for (const auto& entry : ids) {
        std::string text = profile ? profile->ReadString("USB Devices", entry.key) : std::string();
        if (const char* env = std::getenv(entry.env))
            text = env;
        if (const auto id = ParseUsbId(text))
            settings.ids[entry.kind] = *id;
    }
    std::string simulate = profile ? profile->ReadString("USB Devices", "Simulate") : std::string();
    if (const char* env = std::getenv("VOCOMET_USB_SIMULATE"))
        simulate = env;
    ApplySimulate(settings, simulate);
    return settings;
}

// --- buses -------------------------------------------------------------------

namespace {

// Kinds the settings simulate go to the simulated bus, the others to libusb.
class SettingsBus final : public UsbBus {
public:
    SettingsBus(std::shared_ptr<SimulatedUsbBus> simulated, std::set<std::string> simulatedKinds,
                std::shared_ptr<LibusbBus> system)
        : m_simulated(std::move(simulated)), m_kinds(std::move(simulatedKinds)), m_system(std::move(system)) {}

    std::vector<std::string> Present(const std::string& kind) override {
        if (m_kinds.count(kind))
            return m_simulated->Present(kind);
        return m_system ? m_system->Present(kind) : std::vector<std::string>();
    }
    std::shared_ptr<UsbDeviceHandle> Open(const std::string& kind, std::size_t index) override {
        if (m_kinds.count(kind))
            return m_simulated->Open(kind, index);
        return m_system ? m_system->Open(kind, index) : nullptr;
    }

private:
    std::shared_ptr<SimulatedUsbBus> m_simulated;
    std::set<std::string> m_kinds;
    std::shared_ptr<LibusbBus> m_system;
};

std::mutex g_busMutex;
std::shared_ptr<UsbBus> g_bus;

}  // namespace

std::shared_ptr<UsbBus> MakeBus(const UsbSettings& settings) {
    auto simulated = std::make_shared<SimulatedUsbBus>();
    std::set<std::string> kinds;
    std::map<std::string, UsbId> ids = settings.ids;
    if (settings.simulateRendal) {
        auto device = std::make_shared<SimulatedRendal>(static_cast<std::uint8_t>(settings.rendalConfigurationByte));
        // About the system's own pace: a 32 KB sample block and a 4 KB play
        // block every 20 ms.
        device->StartClock(std::chrono::milliseconds(20), 2);
        simulated->Add(kRendalDeviceKind, device);
        kinds.insert(kRendalDeviceKind);
        ids.erase(kRendalDeviceKind);
    }
    if (settings.simulateAudioBox) {
        auto device = std::make_shared<SimulatedAudioBox>();
        // A 16 KB sample block holds 1024 frames: about 23 ms at 44.1 kHz.
        device->StartClock(std::chrono::milliseconds(23), 2);
        simulated->Add(kAudioBoxDeviceKind, device);
        kinds.insert(kAudioBoxDeviceKind);
        ids.erase(kAudioBoxDeviceKind);
    }
    std::shared_ptr<LibusbBus> system;
    if (!ids.empty())
        system = std::make_shared<LibusbBus>(std::move(ids));
    return std::make_shared<SettingsBus>(std::move(simulated), std::move(kinds), std::move(system));
}

std::shared_ptr<UsbBus> CurrentBus() {
    std::lock_guard<std::mutex> lock(g_busMutex);
    if (!g_bus)
        g_bus = MakeBus(UsbSettings::Read(nullptr));
    return g_bus;
}

void InstallBus(std::shared_ptr<UsbBus> bus) {
    std::shared_ptr<UsbBus> old;
    {
        std::lock_guard<std::mutex> lock(g_busMutex);
        old = std::move(g_bus);
        g_bus = std::move(bus);
    }
    // The old bus goes outside the lock (it may join threads).
}

void ConfigureUsbDevices(ProfileStore* profile) { InstallBus(MakeBus(UsbSettings::Read(profile))); }

ScopedUsbBus::ScopedUsbBus(std::shared_ptr<UsbBus> bus) {
    std::lock_guard<std::mutex> lock(g_busMutex);
    m_previous = std::move(g_bus);
    g_bus = std::move(bus);
}

ScopedUsbBus::~ScopedUsbBus() { InstallBus(std::move(m_previous)); }

}  // namespace platform::usb
