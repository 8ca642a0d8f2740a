#include "platform/usb/SimulatedUsbDevice.h"

#include <algorithm>
#include <cstring>

namespace platform::usb {

namespace {

constexpr std::uint8_t kGetStatus = 0;
constexpr std::uint8_t kGetDescriptor = 6;
constexpr std::uint8_t kGetConfiguration = 8;
constexpr std::uint8_t kGetInterface = 10;

UsbStatus CopyOut(const std::vector<std::uint8_t>& answer, const SetupPacket& setup, std::uint8_t* data,
                  std::size_t& transferred) {
    transferred = std::min<std::size_t>(answer.size(), setup.wLength);
    if (transferred > 0)
        std::memcpy(data, answer.data(), transferred);
    return UsbStatus::Ok;
}

}  // namespace

SimulatedUsbDevice::SimulatedUsbDevice(std::string path, DeviceDescriptor device,
                                       std::vector<ConfigurationDescriptor> configurations,
                                       std::map<std::uint8_t, std::u16string> strings,
                                       std::vector<std::uint16_t> languages)
    : m_path(std::move(path)),
      m_device(device),
      m_configurations(std::move(configurations)),
      m_strings(std::move(strings)),
      m_languages(std::move(languages)) {}

SimulatedUsbDevice::~SimulatedUsbDevice() {
    StopClock();
    // Nothing may stay waiting on a device that is gone.
    std::vector<Completion> done;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& [ep, queue] : m_queues)
            for (Queued& q : queue)
                done.push_back({q.transfer, UsbStatus::NoDevice, 0});
        m_queues.clear();
    }
    Finish(done);
}

std::string SimulatedUsbDevice::FriendlyName() const {
    const auto it = m_strings.find(m_device.iProduct);
    std::string name = "simulated ";
    if (it != m_strings.end())
        for (char16_t c : it->second)
            name.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return name;
}

UsbStatus SimulatedUsbDevice::StandardRequest(const SetupPacket& setup, std::uint8_t* data,
                                              std::size_t& transferred) {
    if (setup.bRequest == kGetDescriptor && setup.IsIn()) {
        const std::uint8_t type = static_cast<std::uint8_t>(setup.wValue >> 8);
        const std::uint8_t index = static_cast<std::uint8_t>(setup.wValue & 0xFF);
        switch (type) {
        case kDescriptorDevice: return CopyOut(EncodeDeviceDescriptor(m_device), setup, data, transferred);
        case kDescriptorConfiguration:
            if (index >= m_configurations.size())
                return UsbStatus::Stall;
            return CopyOut(EncodeConfigurationDescriptor(m_configurations[index]), setup, data, transferred);
        case kDescriptorString: {
            if (index == 0)
                return m_languages.empty() ? UsbStatus::Stall
                                           : CopyOut(EncodeLanguageTable(m_languages), setup, data, transferred);
            const auto it = m_strings.find(index);
            if (it == m_strings.end())
                return UsbStatus::Stall;
            return CopyOut(EncodeStringDescriptor(it->second), setup, data, transferred);
        }
        default: return UsbStatus::Stall;
        }
    }
    if (setup.bRequest == kGetInterface && setup.IsIn()) {
        if (!m_alternate)
            return UsbStatus::Stall;
        return CopyOut({*m_alternate}, setup, data, transferred);
    }
    if (setup.bRequest == kGetConfiguration && setup.IsIn())
        return CopyOut({m_configurations.empty() ? std::uint8_t{0} : m_configurations[0].bConfigurationValue}, setup,
                       data, transferred);
    if (setup.bRequest == kGetStatus && setup.IsIn())
        return CopyOut({0, 0}, setup, data, transferred);
    return UsbStatus::Stall;
}

UsbStatus SimulatedUsbDevice::Control(const SetupPacket& setup, std::uint8_t* data, std::size_t& transferred,
                                      std::chrono::milliseconds) {
    transferred = 0;
    if (setup.wLength > 0 && !data)
        return UsbStatus::Invalid;
    std::lock_guard<std::mutex> lock(m_mutex);
    LoggedRequest entry{setup, {}, UsbStatus::Ok};
    if (!setup.IsIn() && setup.wLength > 0)
        entry.data.assign(data, data + setup.wLength);
    UsbStatus status;
    if (!m_plugged) {
        status = UsbStatus::NoDevice;
    } else if (auto it = m_failRequests.find(setup.bRequest); it != m_failRequests.end() && it->second > 0) {
        --it->second;
        status = UsbStatus::Stall;
    } else if ((setup.bmRequestType & 0x60) == 0) {
        status = StandardRequest(setup, data, transferred);
    } else {
        status = HandleRequest(setup, data, transferred);
        if (status == UsbStatus::Ok && !setup.IsIn())
            transferred = setup.wLength;
    }
    if (status != UsbStatus::Ok)
        transferred = 0;
    if (setup.IsIn() && transferred > 0)
        entry.data.assign(data, data + transferred);
    entry.status = status;
    m_log.push_back(std::move(entry));
    return status;
}

UsbStatus SimulatedUsbDevice::Submit(const std::shared_ptr<UsbTransfer>& transfer) {
    if (!transfer)
        return UsbStatus::Invalid;
    UsbStatus status = UsbStatus::Ok;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_plugged)
            status = UsbStatus::NoDevice;
        else if (transfer->Length() > 0 && !transfer->Buffer())
            status = UsbStatus::Invalid;
        else {
            ++m_submitted;
            m_queues[transfer->Endpoint()].push_back({transfer});
        }
    }
    if (status != UsbStatus::Ok)
        transfer->Complete(status, 0);
    return status;
}

void SimulatedUsbDevice::Cancel(const UsbTransfer& transfer) {
    std::shared_ptr<UsbTransfer> taken;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto q = m_queues.find(transfer.Endpoint());
        if (q == m_queues.end())
            return;
        auto it = std::find_if(q->second.begin(), q->second.end(),
                               [&](const Queued& e) { return e.transfer.get() == &transfer; });
        if (it == q->second.end())
            return;
        taken = it->transfer;
        q->second.erase(it);
    }
    taken->Complete(UsbStatus::Cancelled, 0);
}

UsbStatus SimulatedUsbDevice::AbortPipe(std::uint8_t endpoint) {
    std::vector<Completion> done;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_plugged)
            return UsbStatus::NoDevice;
        auto q = m_queues.find(endpoint);
        if (q != m_queues.end()) {
            for (Queued& e : q->second)
                done.push_back({e.transfer, UsbStatus::Cancelled, 0});
            q->second.clear();
        }
    }
    Finish(done);
    return UsbStatus::Ok;
}

UsbStatus SimulatedUsbDevice::ResetPipe(std::uint8_t endpoint) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_plugged)
        return UsbStatus::NoDevice;
    m_stalled.erase(endpoint);
    return UsbStatus::Ok;
}

UsbStatus SimulatedUsbDevice::GetAlternateSetting(std::uint8_t interfaceNumber, std::uint8_t& alternate) {
    SetupPacket setup{0x81, kGetInterface, 0, interfaceNumber, 1};
    std::size_t n = 0;
    const UsbStatus status = Control(setup, &alternate, n, std::chrono::milliseconds(1000));
    return status == UsbStatus::Ok && n != 1 ? UsbStatus::Error : status;
}

std::size_t SimulatedUsbDevice::Outstanding() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::size_t n = 0;
    for (const auto& [ep, queue] : m_queues)
        n += queue.size();
    return n;
}

std::size_t SimulatedUsbDevice::QueuedOn(std::uint8_t endpoint) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto q = m_queues.find(endpoint);
    return q == m_queues.end() ? 0 : q->second.size();
}

std::size_t SimulatedUsbDevice::TotalSubmitted() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_submitted;
}

bool SimulatedUsbDevice::ServeAt(std::uint8_t endpoint, std::size_t index, std::vector<Completion>& done) {
    auto q = m_queues.find(endpoint);
    if (q == m_queues.end() || index >= q->second.size())
        return false;
    const std::shared_ptr<UsbTransfer> transfer = q->second[index].transfer;
    if (m_stalled.count(endpoint)) {
        q->second.erase(q->second.begin() + static_cast<std::ptrdiff_t>(index));
        done.push_back({transfer, UsbStatus::Stall, 0});
        return true;
    }
    if (m_silent)
        return false;
    std::size_t limit = transfer->Length();
    const auto shortIt = m_shortNext.find(endpoint);
    if (shortIt != m_shortNext.end())
        limit = std::min(limit, shortIt->second);
    const std::optional<std::size_t> moved = ServeTransfer(*transfer, limit);
    if (!moved)
        return false;
    if (shortIt != m_shortNext.end())
        m_shortNext.erase(shortIt);
    q->second.erase(q->second.begin() + static_cast<std::ptrdiff_t>(index));
    done.push_back({transfer, UsbStatus::Ok, std::min(*moved, limit)});
    return true;
}

void SimulatedUsbDevice::Finish(std::vector<Completion>& done) {
    for (Completion& c : done)
        c.transfer->Complete(c.status, c.actual);
    done.clear();
}

std::size_t SimulatedUsbDevice::Pump(std::size_t maxTransfers) {
    std::vector<Completion> done;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_plugged)
            return 0;
        // Round robin over the endpoints, each in its own queue order.
        bool progress = true;
        while (progress && done.size() < maxTransfers) {
            progress = false;
            for (auto& [ep, queue] : m_queues) {
                if (done.size() >= maxTransfers)
                    break;
                if (!queue.empty() && ServeAt(ep, 0, done))
                    progress = true;
            }
        }
    }
    const std::size_t n = done.size();
    Finish(done);
    return n;
}

bool SimulatedUsbDevice::CompleteQueued(std::uint8_t endpoint, std::size_t index) {
    std::vector<Completion> done;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_plugged || !ServeAt(endpoint, index, done))
            return false;
    }
    Finish(done);
    return true;
}

void SimulatedUsbDevice::StartClock(std::chrono::microseconds period, std::size_t perTick) {
    StopClock();
    {
        std::lock_guard<std::mutex> lock(m_clockMutex);
        m_clockStop = false;
    }
    m_clock = std::thread([this, period, perTick] {
        std::unique_lock<std::mutex> lock(m_clockMutex);
        while (!m_clockStop) {
            lock.unlock();
            Pump(perTick);
            lock.lock();
            m_clockWake.wait_for(lock, period, [this] { return m_clockStop; });
        }
    });
}

void SimulatedUsbDevice::StopClock() {
    {
        std::lock_guard<std::mutex> lock(m_clockMutex);
        m_clockStop = true;
    }
    m_clockWake.notify_all();
    if (m_clock.joinable())
        m_clock.join();
}

void SimulatedUsbDevice::FailRequest(std::uint8_t bRequest, int count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failRequests[bRequest] = count;
}

void SimulatedUsbDevice::ShortenNextTransfer(std::uint8_t endpoint, std::size_t bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_shortNext[endpoint] = bytes;
}

void SimulatedUsbDevice::StallEndpoint(std::uint8_t endpoint) {
    std::vector<Completion> done;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stalled.insert(endpoint);
        auto q = m_queues.find(endpoint);
        if (q != m_queues.end()) {
            for (Queued& e : q->second)
                done.push_back({e.transfer, UsbStatus::Stall, 0});
            q->second.clear();
        }
    }
    Finish(done);
}

void SimulatedUsbDevice::SetSilent(bool silent) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_silent = silent;
}

void SimulatedUsbDevice::SetAlternateSetting(std::optional<std::uint8_t> alternate) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_alternate = alternate;
}

void SimulatedUsbDevice::Unplug() {
    std::vector<Completion> done;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_plugged = false;
        for (auto& [ep, queue] : m_queues)
            for (Queued& e : queue)
                done.push_back({e.transfer, UsbStatus::NoDevice, 0});
        m_queues.clear();
    }
    Finish(done);
}

void SimulatedUsbDevice::Replug() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_plugged = true;
    m_stalled.clear();
}

std::vector<LoggedRequest> SimulatedUsbDevice::RequestLog() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
}

void SimulatedUsbDevice::ClearRequestLog() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.clear();
}

// --- bus ----------------------------------------------------------------------

void SimulatedUsbBus::Add(const std::string& kind, std::shared_ptr<SimulatedUsbDevice> device) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_devices.emplace(kind, std::move(device));
}

std::vector<std::shared_ptr<SimulatedUsbDevice>> SimulatedUsbBus::Plugged(const std::string& kind) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::shared_ptr<SimulatedUsbDevice>> found;
    const auto [first, last] = m_devices.equal_range(kind);
    for (auto it = first; it != last; ++it)
        if (it->second->IsPlugged())
            found.push_back(it->second);
    return found;
}

std::vector<std::string> SimulatedUsbBus::Present(const std::string& kind) {
    std::vector<std::string> paths;
    for (const auto& d : Plugged(kind))
        paths.push_back(d->Path());
    return paths;
}

std::shared_ptr<UsbDeviceHandle> SimulatedUsbBus::Open(const std::string& kind, std::size_t index) {
    const auto found = Plugged(kind);
    return index < found.size() ? found[index] : nullptr;
}

}  // namespace platform::usb
