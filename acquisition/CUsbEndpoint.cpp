#include "acquisition/CUsbEndpoint.h"

#include <algorithm>
#include <cstring>

namespace vocomet {

using platform::usb::EndpointType;
using platform::usb::UsbStatus;
using platform::usb::UsbTransfer;

CUsbRequest::~CUsbRequest() {
    // Dropped while the transport still holds it: take it back and wait
    // until the transport has let go of the buffer.
    if (m_handle && m_transfer && !m_transfer->IsComplete()) {
        m_handle->Cancel(*m_transfer);
        m_transfer->Wait();
    }
}

CUsbEndpoint::CUsbEndpoint(std::shared_ptr<platform::usb::UsbDeviceHandle> handle,
                           const platform::usb::EndpointDescriptor* descriptor)
    : m_handle(std::move(handle)) {
    if (descriptor) {
        bLength = descriptor->bLength;
        bDescriptorType = descriptor->bDescriptorType;
        bEndpointAddress = descriptor->bEndpointAddress;
        bmAttributes = descriptor->bmAttributes;
        maxPacketSize = descriptor->MaxPacketBytes();
        multiplier = descriptor->Multiplier();
        bInterval = descriptor->bInterval;
        isIn = descriptor->IsIn();
    }
}

CUsbEndpoint::~CUsbEndpoint() = default;

CUsbRequestPtr CUsbEndpoint::Queue(std::uint8_t* buffer, int length, bool buffered, std::size_t isoPackets) {
    if (!m_handle || length < 0 || (length > 0 && !buffer))
        return nullptr;
    CUsbRequestPtr request(new CUsbRequest());
    request->m_handle = m_handle;
    request->m_buffered = buffered;
    std::uint8_t* data = buffer;
    if (buffered) {
        // The data travels in the request's own copy (OUT: sent from it; IN:
        // copied to the caller's buffer when the transfer is finished).
        request->m_copy.assign(buffer, buffer + length);
        data = request->m_copy.data();
    }
    request->m_transfer = std::make_shared<UsbTransfer>(bEndpointAddress, TransferType(), data,
                                                        static_cast<std::size_t>(length), isoPackets);
    request->m_beginStatus = m_handle->Submit(request->m_transfer);
    lastError = static_cast<std::uint32_t>(request->m_beginStatus);
    return request;
}

namespace {
// Packets of an isochronous transfer; 1 for the other kinds.
std::size_t PacketCount(EndpointType type, int length, std::uint16_t maxPacket) {
    if (type != EndpointType::Isochronous)
        return 0;
    if (maxPacket == 0 || length <= 0)
        return 0;
    return static_cast<std::size_t>((length + maxPacket - 1) / maxPacket);
}
}  // namespace

CUsbRequestPtr CUsbEndpoint::BeginDirectTransfer(std::uint8_t* buffer, int length) {
    const std::size_t packets = PacketCount(TransferType(), length, maxPacketSize);
    if (TransferType() == EndpointType::Isochronous && packets == 0)
        return nullptr;
    return Queue(buffer, length, false, packets);
}

CUsbRequestPtr CUsbEndpoint::BeginBufferedTransfer(std::uint8_t* buffer, int length) {
    const std::size_t packets = PacketCount(TransferType(), length, maxPacketSize);
    if (TransferType() == EndpointType::Isochronous && packets == 0)
        return nullptr;
    return Queue(buffer, length, true, packets);
}

bool CUsbEndpoint::WaitForTransfer(const CUsbRequest* request, unsigned ms) {
    if (!request || request->m_beginStatus != UsbStatus::Ok)
        return false;
    return request->m_transfer->WaitFor(std::chrono::milliseconds(ms));
}

bool CUsbEndpoint::FinishTransfer(std::uint8_t* buffer, int& length, CUsbRequestPtr& request) {
    if (!request)
        return false;
    UsbTransfer& transfer = *request->m_transfer;
    if (!transfer.IsComplete()) {
        // Never collected while the transport still holds the buffer.
        request->m_handle->Cancel(transfer);
        transfer.Wait();
    }
    const UsbStatus status = transfer.Status();
    const std::size_t bytes = transfer.Actual();
    length = static_cast<int>(bytes);
    bytesTransferred = static_cast<std::int32_t>(bytes);
    usbStatus = static_cast<std::uint32_t>(status);
    systemStatus = status == UsbStatus::Ok ? 0u : 1u;
    if (request->m_buffered && transfer.IsIn() && bytes > 0 && buffer)
        std::memcpy(buffer, request->m_copy.data(), bytes);
    request.reset();
    return status == UsbStatus::Ok;
}

bool CUsbEndpoint::Transfer(std::uint8_t* buffer, int& length) {
    CUsbRequestPtr request = BeginTransfer(buffer, length);
    if (!request)
        return false;
    bool waited = request->m_beginStatus == UsbStatus::Ok;
    if (waited && !request->m_transfer->WaitFor(std::chrono::milliseconds(timeOut))) {
        // Out of time: take the pipe's transfers back; the finish waits for
        // the transport to return this one.
        AbortPipe();
        waited = false;
    }
    const bool finished = FinishTransfer(buffer, length, request);
    return waited && finished;
}

bool CUsbEndpoint::ResetPipe() { return m_handle && m_handle->ResetPipe(bEndpointAddress) == UsbStatus::Ok; }

bool CUsbEndpoint::AbortPipe() { return m_handle && m_handle->AbortPipe(bEndpointAddress) == UsbStatus::Ok; }

std::uint32_t CUsbEndpoint::GetTransferSize() { return m_handle ? m_handle->GetTransferSize(bEndpointAddress) : 0; }

void CUsbEndpoint::SetTransferSize(std::uint32_t n) {
    if (!m_handle)
        return;
    if (maxPacketSize > 0)
        n = (n / maxPacketSize + (n % maxPacketSize ? 1 : 0)) * maxPacketSize;
    m_handle->SetTransferSize(bEndpointAddress, n);
}

// --- endpoint 0 ----------------------------------------------------------------

CUsbControlEndpoint::CUsbControlEndpoint(std::shared_ptr<platform::usb::UsbDeviceHandle> handle,
                                         const platform::usb::EndpointDescriptor* descriptor)
    : CUsbEndpoint(std::move(handle), descriptor) {
    direct = false;
}

platform::usb::SetupPacket CUsbControlEndpoint::MakeSetup(int length) const {
    platform::usb::SetupPacket s;
    s.bmRequestType = static_cast<std::uint8_t>(((direction & 1) << 7) | ((requestType & 3) << 5) | (recipient & 0x1F));
    s.bRequest = request;
    s.wValue = value;
    s.wIndex = index;
    s.wLength = static_cast<std::uint16_t>(length);
    return s;
}

std::uint32_t CUsbControlEndpoint::TimeOutSeconds() const {
    if (timeOut == 0)
        return 0;
    return timeOut < 1000 ? 1 : timeOut / 1000;
}

CUsbRequestPtr CUsbControlEndpoint::BeginTransfer(std::uint8_t* buffer, int length) {
    if (!m_handle || length < 0 || length > 0xFFFF || (length > 0 && !buffer))
        return nullptr;
    isIn = direction == 1;
    CUsbRequestPtr request(new CUsbRequest());
    request->m_handle = m_handle;
    request->m_transfer = std::make_shared<UsbTransfer>(static_cast<std::uint8_t>(isIn ? 0x80 : 0x00),
                                                        EndpointType::Control, buffer, static_cast<std::size_t>(length));
    std::size_t moved = 0;
    const UsbStatus status = m_handle->Control(MakeSetup(length), buffer, moved,
                                               std::chrono::milliseconds(TimeOutSeconds() * 1000));
    request->m_transfer->Complete(status, moved);
    lastError = static_cast<std::uint32_t>(status);
    return request;
}

// --- the queued kinds ------------------------------------------------------------

CUsbRequestPtr CUsbIsocEndpoint::BeginTransfer(std::uint8_t* buffer, int length) {
    return direct ? BeginDirectTransfer(buffer, length) : BeginBufferedTransfer(buffer, length);
}

CUsbRequestPtr CUsbBulkEndpoint::BeginTransfer(std::uint8_t* buffer, int length) {
    return direct ? BeginDirectTransfer(buffer, length) : BeginBufferedTransfer(buffer, length);
}

CUsbRequestPtr CUsbInterruptEndpoint::BeginTransfer(std::uint8_t* buffer, int length) {
    return direct ? BeginDirectTransfer(buffer, length) : BeginBufferedTransfer(buffer, length);
}

std::unique_ptr<CUsbEndpoint> MakeEndpoint(std::shared_ptr<platform::usb::UsbDeviceHandle> handle,
                                           const platform::usb::EndpointDescriptor& descriptor) {
    switch (descriptor.Type()) {
    case EndpointType::Control: return std::make_unique<CUsbControlEndpoint>(std::move(handle), &descriptor);
    case EndpointType::Isochronous: return std::make_unique<CUsbIsocEndpoint>(std::move(handle), &descriptor);
    case EndpointType::Bulk: return std::make_unique<CUsbBulkEndpoint>(std::move(handle), &descriptor);
    case EndpointType::Interrupt: return std::make_unique<CUsbInterruptEndpoint>(std::move(handle), &descriptor);
    }
    return nullptr;
}

}  // namespace vocomet
