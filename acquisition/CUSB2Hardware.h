#pragma once
// The second-generation (USB 2) multichannel device. OpenDevice finds the
// device, takes its bulk endpoints and reads its configuration; the channel
// code then tells how many channels it has. Without a device OpenDevice
// returns 0 and the code stays -1.

namespace vocomet {

class CUSB2Hardware {
public:
    // No device, no endpoints, channel code -1.
    CUSB2Hardware();
    // Closes the device when one is open.
    ~CUSB2Hardware();
    CUSB2Hardware(const CUSB2Hardware&) = delete;
    CUSB2Hardware& operator=(const CUSB2Hardware&) = delete;

    // Nonzero when a device answered; 0 (code left at -1) when none did.
    int OpenDevice();

    // -1 before a device answered; else the code the device reported
    // (start-up takes 2 to 17 as the channel count).
    int GetChannelCode() const { return m_channelCode; }

private:
    int m_channelCode = -1;
};

}  // namespace vocomet
