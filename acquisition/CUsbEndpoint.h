#pragma once
// The endpoints of an open USB device: the control endpoint (requests on
// endpoint 0, built from its request fields) and the isochronous, bulk and
// interrupt endpoints with their queued transfers.
//
// A queued transfer runs Begin -> Wait -> Finish, once per begun transfer.
// BeginTransfer returns the transfer's request (its own completion state);
// the caller keeps the buffer and the request until FinishTransfer, which
// takes the request back. WaitForTransfer looks only at the request it is
// given, so a later transfer on the same endpoint finishing never makes an
// earlier one look done. A request finished or dropped while the transport
// still holds it is first taken back and waited for, so no buffer is freed
// under the transport.
//
// Threading: one thread owns an endpoint's queued transfers (begin, wait,
// finish); requests on endpoint 0 and pipe aborts and resets may come from
// another. The per-endpoint results (statuses, byte count, last error) are
// those of the last finish or begin on that endpoint and belong to the
// owning thread.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/usb/UsbTransport.h"

namespace vocomet {

// One begun transfer, owned by the caller between begin and finish.
class CUsbRequest {
public:
    ~CUsbRequest();
    CUsbRequest(const CUsbRequest&) = delete;
    CUsbRequest& operator=(const CUsbRequest&) = delete;

    bool IsComplete() const { return m_transfer->IsComplete(); }

private:
    friend class CUsbEndpoint;
    friend class CUsbControlEndpoint;
    CUsbRequest() = default;

    std::shared_ptr<platform::usb::UsbDeviceHandle> m_handle;
    std::shared_ptr<platform::usb::UsbTransfer> m_transfer;
    platform::usb::UsbStatus m_beginStatus = platform::usb::UsbStatus::Ok;
    // A buffered transfer moves its data through this copy.
    std::vector<std::uint8_t> m_copy;
    bool m_buffered = false;
};
using CUsbRequestPtr = std::unique_ptr<CUsbRequest>;

class CUsbEndpoint {
public:
    // With no descriptor the fields stay 0 (the control endpoint sets its own).
    CUsbEndpoint(std::shared_ptr<platform::usb::UsbDeviceHandle> handle,
                 const platform::usb::EndpointDescriptor* descriptor);
    virtual ~CUsbEndpoint();
    CUsbEndpoint(const CUsbEndpoint&) = delete;
    CUsbEndpoint& operator=(const CUsbEndpoint&) = delete;

    // Queues one transfer of length bytes from or into buffer; null when the
    // device is closed or the transfer cannot be made (a zero packet count
    // on an isochronous endpoint, a negative length).
    virtual CUsbRequestPtr BeginTransfer(std::uint8_t* buffer, int length) = 0;
    // Into the caller's buffer / through a copy of its own.
    CUsbRequestPtr BeginDirectTransfer(std::uint8_t* buffer, int length);
    CUsbRequestPtr BeginBufferedTransfer(std::uint8_t* buffer, int length);

    // True when this request has completed within ms; false when it is still
    // pending (it stays queued) or its begin failed. Never aborts.
    bool WaitForTransfer(const CUsbRequest* request, unsigned ms);
    // Takes the request back (taking it from the transport first when still
    // pending), stores its statuses and byte count, copies a buffered IN
    // transfer's data into buffer and sets length to the bytes moved. True
    // when the transfer completed without error. The request is freed and
    // the pointer cleared; with no request it returns false.
    bool FinishTransfer(std::uint8_t* buffer, int& length, CUsbRequestPtr& request);

    // A blocking transfer: begin, wait up to the time-out (then abort the
    // pipe and wait for the transport to give the request back), finish.
    bool Transfer(std::uint8_t* buffer, int& length);

    bool ResetPipe();
    bool AbortPipe();
    // The pipe's transfer size, 0 when the device is closed.
    std::uint32_t GetTransferSize();
    // Rounds n up to a multiple of the maximum packet size.
    void SetTransferSize(std::uint32_t n);

    platform::usb::EndpointType TransferType() const { return platform::usb::EndpointTypeOf(bmAttributes); }
    bool IsOpen() const { return m_handle != nullptr; }

    std::uint8_t bLength = 0;
    std::uint8_t bDescriptorType = 0;
    std::uint8_t bEndpointAddress = 0;
    std::uint8_t bmAttributes = 0;
    std::uint16_t maxPacketSize = 0;
    std::uint16_t multiplier = 0;
    std::uint8_t bInterval = 0;
    std::uint32_t timeOut = 10000;  // ms
    // Of the last finished transfer: 0 for success.
    std::uint32_t usbStatus = 0;
    std::uint32_t systemStatus = 0;
    std::int32_t bytesTransferred = 0;
    // Of the last begin step: 0 when it was queued.
    std::uint32_t lastError = 0;
    bool isIn = false;
    bool direct = true;

protected:
    CUsbRequestPtr Queue(std::uint8_t* buffer, int length, bool buffered, std::size_t isoPackets);

    std::shared_ptr<platform::usb::UsbDeviceHandle> m_handle;
};

// Endpoint 0. Set the request fields, then Transfer with the data (or none).
class CUsbControlEndpoint : public CUsbEndpoint {
public:
    explicit CUsbControlEndpoint(std::shared_ptr<platform::usb::UsbDeviceHandle> handle,
                                 const platform::usb::EndpointDescriptor* descriptor = nullptr);

    // Runs the request at once (waiting at most the time-out) and returns
    // it complete.
    CUsbRequestPtr BeginTransfer(std::uint8_t* buffer, int length) override;

    // The setup packet the fields make for a data stage of length bytes.
    platform::usb::SetupPacket MakeSetup(int length) const;
    // The time-out a request is sent with: whole seconds, 1 to 999 ms
    // giving 1 s, 0 staying 0 (no limit).
    std::uint32_t TimeOutSeconds() const;

    int recipient = 0;    // 0 device, 1 interface, 2 endpoint, 3 other
    int requestType = 2;  // 0 standard, 1 class, 2 vendor
    int direction = 0;    // 0 host-to-device, 1 device-to-host
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
};

class CUsbIsocEndpoint : public CUsbEndpoint {
public:
    using CUsbEndpoint::CUsbEndpoint;
    CUsbRequestPtr BeginTransfer(std::uint8_t* buffer, int length) override;
};

class CUsbBulkEndpoint : public CUsbEndpoint {
public:
    using CUsbEndpoint::CUsbEndpoint;
    CUsbRequestPtr BeginTransfer(std::uint8_t* buffer, int length) override;
};

class CUsbInterruptEndpoint : public CUsbEndpoint {
public:
    using CUsbEndpoint::CUsbEndpoint;
    CUsbRequestPtr BeginTransfer(std::uint8_t* buffer, int length) override;
};

// The endpoint object for a descriptor, by its transfer type.
std::unique_ptr<CUsbEndpoint> MakeEndpoint(std::shared_ptr<platform::usb::UsbDeviceHandle> handle,
                                           const platform::usb::EndpointDescriptor& descriptor);

}  // namespace vocomet
