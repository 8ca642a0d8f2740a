#include "acquisition/CUsbDevice.h"

#include <algorithm>

#include "platform/ByteCodec.h"
#include "platform/usb/UsbDescriptors.h"

namespace vocomet {

using namespace platform::usb;

namespace {
constexpr std::chrono::milliseconds kDescriptorTimeout{5000};
constexpr std::size_t kTextLimit = 255;

std::string Clip(std::string s) {
    if (s.size() > kTextLimit)
        s.resize(kTextLimit);
    return s;
}
}  // namespace

CUsbDevice::CUsbDevice(std::string kind, bool open) : m_kind(std::move(kind)) {
    if (open)
        Open(0);
}

CUsbDevice::~CUsbDevice() { Close(); }

std::uint8_t CUsbDevice::GetDeviceCount() {
    const std::shared_ptr<UsbBus> bus = CurrentBus();
    const std::size_t n = bus ? bus->Present(m_kind).size() : 0;
    deviceCount = static_cast<std::uint8_t>(std::min<std::size_t>(n, 255));
    return deviceCount;
}

bool CUsbDevice::CreateDeviceHandle(std::uint8_t n) {
    const std::shared_ptr<UsbBus> bus = CurrentBus();
    if (!bus)
        return false;
    const std::vector<std::string> paths = bus->Present(m_kind);
    deviceCount = static_cast<std::uint8_t>(std::min<std::size_t>(paths.size(), 255));
    if (deviceCount == 0 || n >= deviceCount)
        return false;
    std::shared_ptr<UsbDeviceHandle> handle = bus->Open(m_kind, n);
    if (!handle) {
        deviceNumber = 0;
        return false;
    }
    devicePath = Clip(paths[n]);
    m_handle = std::move(handle);
    return true;
}

bool CUsbDevice::Open(std::uint8_t n) {
    if (IsOpen())
        Close();
    if (!CreateDeviceHandle(n)) {
        deviceNumber = 0;
        return false;
    }
    deviceNumber = n;
    ReadDeviceDescriptor();
    ReadLanguageId();
    const DeviceDescriptor d = [&] {
        const auto parsed = ParseDeviceDescriptor(deviceDescriptor);
        return parsed ? *parsed.value : DeviceDescriptor{};
    }();
    if (d.iManufacturer)
        ReadStringDescriptor(manufacturer, d.iManufacturer);
    if (d.iProduct)
        ReadStringDescriptor(product, d.iProduct);
    if (d.iSerialNumber)
        ReadStringDescriptor(serialNumber, d.iSerialNumber);
    ReadDeviceAddress();
    ReadDeviceName();
    ReadFriendlyName();
    ReadDriverVersion();
    ReadUsbdiVersion();

    for (std::uint8_t i = 0; i < std::min<std::uint8_t>(configCount, 2); ++i)
        if (ReadConfigDescriptor(i)) {
            // The raw bytes were checked when read: the parse cannot fail.
            const auto parsed = ParseConfigurationDescriptor(configDescriptors[i]);
            if (parsed)
                m_configurations[i] = std::make_unique<CUsbConfiguration>(m_handle, *parsed.value);
        }

    m_control = std::make_unique<CUsbControlEndpoint>(m_handle);
    m_control->bLength = 7;
    m_control->bDescriptorType = kDescriptorEndpoint;
    m_control->bEndpointAddress = 0;
    m_control->bmAttributes = 0;
    m_control->maxPacketSize = maxPacketSize0;
    m_control->bInterval = 0;

    if (m_configurations[0] && m_configurations[0]->interfaceObjectCount > 0) {
        SetConfiguration(0);
        return true;
    }
    // Nothing usable: what was opened and read goes again.
    Close();
    return false;
}

void CUsbDevice::Close() noexcept {
    m_endpointTable = nullptr;
    isocInEndpoint = isocOutEndpoint = bulkInEndpoint = bulkOutEndpoint = nullptr;
    interruptInEndpoint = interruptOutEndpoint = nullptr;
    // Interfaces (and their endpoints) before the control endpoint they
    // borrow, then the device.
    for (auto& c : m_configurations)
        c.reset();
    for (auto& raw : configDescriptors)
        raw.clear();
    m_control.reset();
    m_handle.reset();
    deviceDescriptor.fill(0);
    deviceCount = configCount = interfaceCount = interfaceObjectCount = 0;
}

std::uint8_t CUsbDevice::GetEndpointCount() const {
    if (!IsOpen() || !m_configurations[currentConfigIndex])
        return 0;
    const CUsbInterface* i = m_configurations[currentConfigIndex]->Interface(currentInterfaceIndex);
    if (!i)
        return 0;
    // Only endpoints that exist: a descriptor announcing more endpoints than
    // it carries must not send callers to empty slots.
    return static_cast<std::uint8_t>(std::min<int>(i->bNumEndpoints, i->EndpointObjects()) + 1);
}

CUsbEndpoint* CUsbDevice::Endpoint(int slot) const {
    if (!m_endpointTable || slot < 0 || slot >= GetEndpointCount())
        return nullptr;
    return m_endpointTable[slot];
}

int CUsbDevice::GetDescriptor(std::uint16_t wValue, std::uint16_t wIndex, std::uint8_t* data, std::uint16_t length,
                              bool keepStatuses) {
    if (!m_handle)
        return -1;
    const SetupPacket setup{0x80, 6, wValue, wIndex, length};
    std::size_t moved = 0;
    const UsbStatus status = m_handle->Control(setup, data, moved, kDescriptorTimeout);
    usbStatus = static_cast<std::uint32_t>(status);
    if (keepStatuses)
        systemStatus = status == UsbStatus::Ok ? 0u : 1u;
    return status == UsbStatus::Ok ? static_cast<int>(moved) : -1;
}

bool CUsbDevice::ReadDeviceDescriptor() {
    std::array<std::uint8_t, 18> bytes{};
    if (GetDescriptor(0x0100, 0, bytes.data(), 18, true) != 18)
        return false;
    const auto parsed = ParseDeviceDescriptor(bytes);
    if (!parsed)
        return false;
    deviceDescriptor = bytes;
    const DeviceDescriptor& d = *parsed.value;
    bcdUSB = d.bcdUSB;
    vendorId = d.idVendor;
    productId = d.idProduct;
    deviceClass = d.bDeviceClass;
    deviceSubClass = d.bDeviceSubClass;
    deviceProtocol = d.bDeviceProtocol;
    maxPacketSize0 = d.bMaxPacketSize0;
    bcdDevice = d.bcdDevice;
    configCount = d.bNumConfigurations;
    return true;
}

bool CUsbDevice::ReadLanguageId() {
    std::uint8_t head[2] = {};
    if (GetDescriptor(0x0300, 0, head, 2, false) != 2)
        return false;
    std::vector<std::uint8_t> table(std::max<std::size_t>(head[0], 2));
    const int n = GetDescriptor(0x0300, 0, table.data(), static_cast<std::uint16_t>(table.size()), false);
    if (n < 0)
        return false;
    const auto languages = ParseLanguageTable(std::span<const std::uint8_t>(table.data(), static_cast<std::size_t>(n)));
    if (!languages)
        return false;
    languageId = ChooseLanguage(*languages.value);
    return true;
}

bool CUsbDevice::ReadStringDescriptor(std::u16string& target, std::uint8_t index) {
    const auto wValue = static_cast<std::uint16_t>(0x0300 | index);
    std::uint8_t head[2] = {};
    const int got = GetDescriptor(wValue, languageId, head, 2, true);
    if (got < 2)
        return false;
    if (head[0] < 2) {
        // A length below 2: an empty text.
        target.clear();
        return true;
    }
    std::vector<std::uint8_t> bytes(head[0]);
    const int n = GetDescriptor(wValue, languageId, bytes.data(), head[0], true);
    if (n < 0)
        return false;
    const auto text = ParseStringDescriptor(std::span<const std::uint8_t>(bytes.data(), static_cast<std::size_t>(n)));
    if (!text)
        return false;
    target = *text.value;
    return true;
}

bool CUsbDevice::ReadConfigDescriptor(std::uint8_t i) {
    std::array<std::uint8_t, kConfigurationHeaderLength> header{};
    const auto wValue = static_cast<std::uint16_t>(0x0200 | i);
    if (GetDescriptor(wValue, 0, header.data(), static_cast<std::uint16_t>(header.size()), true) !=
        static_cast<int>(header.size()))
        return false;
    const auto total = ConfigurationTotalLength(header);
    if (!total)
        return false;
    std::vector<std::uint8_t> raw(*total);
    const int n = GetDescriptor(wValue, 0, raw.data(), *total, true);
    if (n != static_cast<int>(*total))
        return false;
    // A malformed descriptor is refused here, so the raw copy kept is one
    // whose walk stays inside it.
    if (!ParseConfigurationDescriptor(raw))
        return false;
    configDescriptors[i] = std::move(raw);
    return true;
}

void CUsbDevice::ReadDeviceAddress() { usbAddress = m_handle ? m_handle->Address() : 0; }

void CUsbDevice::ReadDriverVersion() { driverVersion = m_handle ? m_handle->DriverVersion() : 0; }

void CUsbDevice::ReadUsbdiVersion() { usbdiVersion = m_handle ? m_handle->StackVersion() : 0; }

void CUsbDevice::ReadDeviceName() {
    if (m_handle)
        deviceName = Clip(m_handle->Name());
}

void CUsbDevice::ReadFriendlyName() {
    if (m_handle)
        friendlyName = Clip(m_handle->FriendlyName());
}

void CUsbDevice::SetConfiguration(std::uint8_t index) {
    CUsbConfiguration* c = Configuration(index);
    if (!c)
        return;
    currentConfigIndex = index;
    configValue = c->bConfigurationValue;
    configAttributes = c->bmAttributes;
    maxPower = c->MaxPower;
    interfaceCount = c->bNumInterfaces;
    interfaceObjectCount = c->interfaceObjectCount;
    interfaceNumber = c->Interface(0) ? c->Interface(0)->bInterfaceNumber : 0;

    std::uint8_t alternate = 0xFF;
    if (!m_handle || m_handle->GetAlternateSetting(interfaceNumber, alternate) != UsbStatus::Ok)
        alternate = 0xFF;
    if (!SelectAltInterface(alternate)) {
        // The device's setting is unknown or matches no interface object:
        // the first one becomes current, so the endpoint table and the
        // endpoint count agree.
        currentInterfaceIndex = 0;
        MapEndpoints();
    }
    if (const CUsbInterface* i = c->Interface(currentInterfaceIndex)) {
        interfaceClass = i->bInterfaceClass;
        interfaceSubClass = i->bInterfaceSubClass;
        interfaceProtocol = i->bInterfaceProtocol;
    }
}

bool CUsbDevice::SelectAltInterface(std::uint8_t alternate) {
    CUsbConfiguration* c = Configuration(currentConfigIndex);
    if (!c)
        return false;
    for (int k = 0; k < c->interfaceObjectCount; ++k) {
        const CUsbInterface* i = c->Interface(k);
        if (i && i->bAlternateSetting == alternate) {
            currentInterfaceIndex = static_cast<std::uint8_t>(k);
            interfaceClass = i->bInterfaceClass;
            interfaceSubClass = i->bInterfaceSubClass;
            interfaceProtocol = i->bInterfaceProtocol;
            MapEndpoints();
            return true;
        }
    }
    return false;
}

void CUsbDevice::MapEndpoints() {
    if (configCount == 0 || interfaceCount == 0)
        return;
    CUsbConfiguration* c = Configuration(currentConfigIndex);
    CUsbInterface* i = c ? c->Interface(currentInterfaceIndex) : nullptr;
    if (!i)
        return;
    i->LendControlEndpoint(m_control.get());
    m_endpointTable = i->EndpointTable();
    isocInEndpoint = isocOutEndpoint = bulkInEndpoint = bulkOutEndpoint = nullptr;
    interruptInEndpoint = interruptOutEndpoint = nullptr;
    const int count = GetEndpointCount();
    for (int slot = 1; slot < count; ++slot) {
        CUsbEndpoint* e = m_endpointTable[slot];
        if (!e)
            continue;
        // An older transport cannot transfer into the caller's buffer.
        if (driverVersion < kTransportVersion)
            e->direct = false;
        CUsbEndpoint** kind = nullptr;
        switch (e->TransferType()) {
        case EndpointType::Isochronous: kind = e->isIn ? &isocInEndpoint : &isocOutEndpoint; break;
        case EndpointType::Bulk: kind = e->isIn ? &bulkInEndpoint : &bulkOutEndpoint; break;
        case EndpointType::Interrupt: kind = e->isIn ? &interruptInEndpoint : &interruptOutEndpoint; break;
        case EndpointType::Control: break;
        }
        if (kind && !*kind)
            *kind = e;
    }
}

}  // namespace vocomet
