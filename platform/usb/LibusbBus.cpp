#include "platform/usb/LibusbBus.h"

#include <libusb.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

namespace platform::usb {

namespace {

UsbStatus FromLibusbError(int code) {
    switch (code) {
    case LIBUSB_SUCCESS: return UsbStatus::Ok;
    case LIBUSB_ERROR_TIMEOUT: return UsbStatus::Timeout;
    case LIBUSB_ERROR_PIPE: return UsbStatus::Stall;
    case LIBUSB_ERROR_NO_DEVICE: return UsbStatus::NoDevice;
    case LIBUSB_ERROR_OVERFLOW: return UsbStatus::Overflow;
    case LIBUSB_ERROR_ACCESS: return UsbStatus::Access;
    case LIBUSB_ERROR_BUSY: return UsbStatus::Busy;
    case LIBUSB_ERROR_INVALID_PARAM: return UsbStatus::Invalid;
    default: return UsbStatus::Error;
    }
}

UsbStatus FromTransferStatus(libusb_transfer_status status) {
    switch (status) {
    case LIBUSB_TRANSFER_COMPLETED: return UsbStatus::Ok;
    case LIBUSB_TRANSFER_TIMED_OUT: return UsbStatus::Timeout;
    case LIBUSB_TRANSFER_CANCELLED: return UsbStatus::Cancelled;
    case LIBUSB_TRANSFER_STALL: return UsbStatus::Stall;
    case LIBUSB_TRANSFER_NO_DEVICE: return UsbStatus::NoDevice;
    case LIBUSB_TRANSFER_OVERFLOW: return UsbStatus::Overflow;
    default: return UsbStatus::Error;
    }
}

std::string DevicePath(libusb_device* device) {
    std::uint8_t ports[8];
    const int n = libusb_get_port_numbers(device, ports, 8);
    std::string path = "usb:" + std::to_string(libusb_get_bus_number(device));
    for (int i = 0; i < n; ++i)
        path += (i == 0 ? "-" : ".") + std::to_string(ports[i]);
    if (n <= 0)
        path += "/" + std::to_string(libusb_get_device_address(device));
    return path;
}

}  // namespace

// The libusb context and its one event thread; shared by the bus and every
// open handle, so it outlives them all.
struct LibusbBus::Context {
    libusb_context* context = nullptr;
    std::atomic<bool> stop{false};
    std::thread events;

    Context() {
        if (libusb_init(&context) != LIBUSB_SUCCESS) {
            context = nullptr;
            return;
        }
        events = std::thread([this] {
            while (!stop.load()) {
                timeval tv{0, 100000};
                libusb_handle_events_timeout_completed(context, &tv, nullptr);
            }
        });
    }
    ~Context() {
        stop = true;
        if (events.joinable())
            events.join();
        if (context)
            libusb_exit(context);
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
};

namespace {

class LibusbHandle final : public UsbDeviceHandle {
public:
    LibusbHandle(std::shared_ptr<LibusbBus::Context> context, libusb_device_handle* handle,
                 std::vector<int> interfaces, std::string path, std::string friendly)
        : m_context(std::move(context)),
          m_handle(handle),
          m_interfaces(std::move(interfaces)),
          m_path(std::move(path)),
          m_friendly(std::move(friendly)),
          m_address(libusb_get_device_address(libusb_get_device(handle))) {}

    ~LibusbHandle() override {
        // Every queued transfer is taken back and waited for before the
        // handle goes: libusb completes a cancelled transfer on the event
        // thread, and the buffers it fills belong to callers.
        std::unique_lock<std::mutex> lock(m_mutex);
        for (auto& [key, entry] : m_inFlight)
            libusb_cancel_transfer(entry.second);
        m_idle.wait(lock, [this] { return m_inFlight.empty(); });
        lock.unlock();
        for (int i : m_interfaces)
            libusb_release_interface(m_handle, i);
        libusb_close(m_handle);
    }

    UsbStatus Control(const SetupPacket& setup, std::uint8_t* data, std::size_t& transferred,
                      std::chrono::milliseconds timeout) override {
        transferred = 0;
        if (setup.wLength > 0 && !data)
            return UsbStatus::Invalid;
        const int r = libusb_control_transfer(m_handle, setup.bmRequestType, setup.bRequest, setup.wValue,
                                              setup.wIndex, data, setup.wLength,
                                              static_cast<unsigned>(std::clamp<std::int64_t>(timeout.count(), 0, 0x7FFFFFFF)));
        if (r < 0)
            return FromLibusbError(r);
        transferred = static_cast<std::size_t>(r);
        return UsbStatus::Ok;
    }

    UsbStatus Submit(const std::shared_ptr<UsbTransfer>& transfer) override {
        if (!transfer)
            return UsbStatus::Invalid;
        const int packets = transfer->Type() == EndpointType::Isochronous ? static_cast<int>(transfer->IsoPackets()) : 0;
        libusb_transfer* t = libusb_alloc_transfer(packets);
        if (!t) {
            transfer->Complete(UsbStatus::Error, 0);
            return UsbStatus::Error;
        }
        const int length = static_cast<int>(transfer->Length());
        switch (transfer->Type()) {
        case EndpointType::Interrupt:
            libusb_fill_interrupt_transfer(t, m_handle, transfer->Endpoint(), transfer->Buffer(), length, &Done, this, 0);
            break;
        case EndpointType::Isochronous:
            libusb_fill_iso_transfer(t, m_handle, transfer->Endpoint(), transfer->Buffer(), length, packets, &Done,
                                     this, 0);
            if (packets > 0)
                libusb_set_iso_packet_lengths(t, static_cast<unsigned>(length / packets));
            break;
        default:
            libusb_fill_bulk_transfer(t, m_handle, transfer->Endpoint(), transfer->Buffer(), length, &Done, this, 0);
            break;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_inFlight[transfer.get()] = {transfer, t};
            t->user_data = this;
            const int r = libusb_submit_transfer(t);
            if (r != LIBUSB_SUCCESS) {
                m_inFlight.erase(transfer.get());
                libusb_free_transfer(t);
                const UsbStatus status = FromLibusbError(r);
                transfer->Complete(status, 0);
                return status;
            }
        }
        return UsbStatus::Ok;
    }

    void Cancel(const UsbTransfer& transfer) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_inFlight.find(&transfer);
        if (it != m_inFlight.end())
            libusb_cancel_transfer(it->second.second);
    }

    UsbStatus AbortPipe(std::uint8_t endpoint) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& [key, entry] : m_inFlight)
            if (key->Endpoint() == endpoint)
                libusb_cancel_transfer(entry.second);
        return UsbStatus::Ok;
    }

    UsbStatus ResetPipe(std::uint8_t endpoint) override { return FromLibusbError(libusb_clear_halt(m_handle, endpoint)); }

    UsbStatus GetAlternateSetting(std::uint8_t interfaceNumber, std::uint8_t& alternate) override {
        std::size_t n = 0;
        const UsbStatus s = Control({0x81, 10, 0, interfaceNumber, 1}, &alternate, n, std::chrono::milliseconds(1000));
        return s == UsbStatus::Ok && n != 1 ? UsbStatus::Error : s;
    }

    std::uint8_t Address() const override { return m_address; }
    std::string Path() const override { return m_path; }
    std::string Name() const override { return m_path; }
    std::string FriendlyName() const override { return m_friendly; }
    std::size_t Outstanding() const override {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_inFlight.size();
    }

private:
    static void LIBUSB_CALL Done(libusb_transfer* t) {
        auto* self = static_cast<LibusbHandle*>(t->user_data);
        std::size_t actual = t->actual_length > 0 ? static_cast<std::size_t>(t->actual_length) : 0;
        if (t->type == LIBUSB_TRANSFER_TYPE_ISOCHRONOUS) {
            actual = 0;
            for (int i = 0; i < t->num_iso_packets; ++i)
                actual += t->iso_packet_desc[i].actual_length;
        }
        const UsbStatus status = FromTransferStatus(t->status);
        std::shared_ptr<UsbTransfer> transfer;
        {
            std::lock_guard<std::mutex> lock(self->m_mutex);
            for (auto it = self->m_inFlight.begin(); it != self->m_inFlight.end(); ++it)
                if (it->second.second == t) {
                    transfer = std::move(it->second.first);
                    self->m_inFlight.erase(it);
                    break;
                }
            libusb_free_transfer(t);
            // Wakes a destructor waiting for the last transfer. The handle
            // may be gone once the lock is released: nothing below uses it.
            self->m_idle.notify_all();
        }
        if (transfer)
            transfer->Complete(status, actual);
    }

    std::shared_ptr<LibusbBus::Context> m_context;
    libusb_device_handle* m_handle;
    std::vector<int> m_interfaces;
    std::string m_path;
    std::string m_friendly;
    std::uint8_t m_address;
    mutable std::mutex m_mutex;
    std::condition_variable m_idle;
    std::map<const UsbTransfer*, std::pair<std::shared_ptr<UsbTransfer>, libusb_transfer*>> m_inFlight;
};

// The devices of the list that match the id, in path order.
std::vector<std::pair<std::string, libusb_device*>> Matching(libusb_device** list, ssize_t count, UsbId id) {
    std::vector<std::pair<std::string, libusb_device*>> found;
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor d{};
        if (libusb_get_device_descriptor(list[i], &d) != LIBUSB_SUCCESS)
            continue;
        if (d.idVendor == id.vendor && d.idProduct == id.product)
            found.emplace_back(DevicePath(list[i]), list[i]);
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return found;
}

}  // namespace

LibusbBus::LibusbBus(std::map<std::string, UsbId> ids)
    : m_context(std::make_shared<Context>()), m_ids(std::move(ids)) {}

LibusbBus::~LibusbBus() = default;

bool LibusbBus::IsAvailable() const { return m_context->context != nullptr; }

UsbStatus LibusbBus::LastOpenStatus() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lastOpenStatus;
}

std::vector<std::string> LibusbBus::Present(const std::string& kind) {
    std::vector<std::string> paths;
    const auto id = m_ids.find(kind);
    if (id == m_ids.end() || !IsAvailable())
        return paths;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(m_context->context, &list);
    if (count < 0)
        return paths;
    for (const auto& [path, device] : Matching(list, count, id->second))
        paths.push_back(path);
    libusb_free_device_list(list, 1);
    return paths;
}

std::shared_ptr<UsbDeviceHandle> LibusbBus::Open(const std::string& kind, std::size_t index) {
    const auto id = m_ids.find(kind);
    if (id == m_ids.end() || !IsAvailable())
        return nullptr;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(m_context->context, &list);
    if (count < 0)
        return nullptr;
    std::shared_ptr<UsbDeviceHandle> result;
    const auto found = Matching(list, count, id->second);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (index < found.size()) {
        const auto& [path, device] = found[index];
        if (auto open = m_open[path].lock()) {
            result = open;
        } else {
            libusb_device_handle* h = nullptr;
            int r = libusb_open(device, &h);
            if (r == LIBUSB_SUCCESS) {
                libusb_set_auto_detach_kernel_driver(h, 1);
                std::vector<int> claimed;
                libusb_config_descriptor* config = nullptr;
                if (libusb_get_active_config_descriptor(device, &config) == LIBUSB_SUCCESS) {
                    for (int i = 0; i < config->bNumInterfaces && r == LIBUSB_SUCCESS; ++i) {
                        r = libusb_claim_interface(h, i);
                        if (r == LIBUSB_SUCCESS)
                            claimed.push_back(i);
                    }
                    libusb_free_config_descriptor(config);
                }
                if (r != LIBUSB_SUCCESS) {
                    for (int i : claimed)
                        libusb_release_interface(h, i);
                    libusb_close(h);
                } else {
                    char text[128] = {};
                    std::string friendly;
                    libusb_device_descriptor d{};
                    if (libusb_get_device_descriptor(device, &d) == LIBUSB_SUCCESS && d.iProduct != 0 &&
                        libusb_get_string_descriptor_ascii(h, d.iProduct, reinterpret_cast<unsigned char*>(text),
                                                           sizeof text - 1) > 0)
                        friendly = text;
                    result = std::make_shared<LibusbHandle>(m_context, h, std::move(claimed), path, friendly);
                    m_open[path] = result;
                }
            }
            if (r != LIBUSB_SUCCESS) {
                m_lastOpenStatus = FromLibusbError(r);
                if (r == LIBUSB_ERROR_ACCESS)
                    std::fprintf(stderr,
                                 "USB device %04x:%04x at %s: access refused; the README tells how to allow it "
                                 "(udev rule)\n",
                                 id->second.vendor, id->second.product, path.c_str());
            }
        }
    }
    libusb_free_device_list(list, 1);
    return result;
}

}  // namespace platform::usb
