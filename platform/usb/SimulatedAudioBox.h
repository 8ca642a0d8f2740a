#pragma once
// The simulated first-generation audio box. Its requests are vendor
// requests to the device whose wIndex and wLength both carry the length of
// the data stage: setup 0xB1, sample 0xB2, play 0xB3, stop 0xB4, filter
// 0xB5, read configuration 0xB7 (64 bytes; first 32-bit word 0xAD32 once the
// DSP runs), DSP boot start 0xB8 and stop 0xB9, local setup 0xBA and DSP
// setup 0xBB (64-byte blocks, kept as sent).
//
// Its pipes are the endpoints of its interface in descriptor order, pipe n
// being endpoint descriptor n (PipeEndpoint): pipe 1 takes play blocks,
// pipe 2 the DSP firmware (between boot start and boot stop), pipe 8 gives
// sample blocks after a sample request.
//
// Sample blocks are 16384 bytes: 1024 frames of two 32-bit little-endian
// words holding 24-bit values (word 0 a ramp, word 1 the frame counter; see
// SampleWord), then spectra as 32-bit floats: for the FFT size N of the last
// DSP setup (256 before one), spectrum k bin m holds -(m + k). The stream
// is byte-exact across transfers, so a short read ends mid-block and the
// next one goes on from there. Play blocks are frames of two 32-bit words,
// channel 0 in word 1 and channel 1 in word 0, decoded by /2^23.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/usb/SimulatedUsbDevice.h"

namespace platform::usb {

class SimulatedAudioBox : public SimulatedUsbDevice {
public:
    static constexpr std::uint16_t kVendorId = 0xFFF0;
    static constexpr std::uint16_t kProductId = 0x0001;
    static constexpr std::size_t kSampleBlockBytes = 16384;
    static constexpr std::size_t kFramesPerBlock = 1024;
    static constexpr std::uint32_t kBootedCode = 0xAD32;

    static constexpr std::uint8_t kSetup = 0xB1;
    static constexpr std::uint8_t kSample = 0xB2;
    static constexpr std::uint8_t kPlay = 0xB3;
    static constexpr std::uint8_t kStop = 0xB4;
    static constexpr std::uint8_t kFilter = 0xB5;
    static constexpr std::uint8_t kReadConfig = 0xB7;
    static constexpr std::uint8_t kBootStart = 0xB8;
    static constexpr std::uint8_t kBootStop = 0xB9;
    static constexpr std::uint8_t kLocalSetup = 0xBA;
    static constexpr std::uint8_t kDspSetup = 0xBB;

    static constexpr int kPlayPipe = 1;
    static constexpr int kFirmwarePipe = 2;
    static constexpr int kSamplePipe = 8;
    static constexpr int kPipeCount = 9;
    // The endpoint address of a pipe (0 for a pipe the box does not have).
    static std::uint8_t PipeEndpoint(int pipe);

    explicit SimulatedAudioBox(std::string path = "sim:audiobox-0");
    ~SimulatedAudioBox() override;

    // The 24-bit value of word w (0 or 1) of frame n of the sample stream.
    static std::int32_t SampleWord(std::uint64_t frame, int word);
    // Bin m of spectrum k in a block.
    static float SpectrumValue(int spectrum, int bin) { return -static_cast<float>(bin + spectrum); }

    // The boot takes the firmware but the DSP does not start (the
    // configuration reply then lacks the booted code).
    void SetBootFails(bool fails);
    bool IsDspRunning() const;
    std::vector<std::uint8_t> Firmware() const;
    std::array<std::uint8_t, 64> LastLocalSetup() const;
    std::array<std::uint8_t, 64> LastDspSetup() const;
    bool IsSampling() const;
    bool IsPlaying() const;
    // What was played, decoded per channel.
    std::vector<float> PlayedChannel(int channel) const;

protected:
    UsbStatus HandleRequest(const SetupPacket& setup, std::uint8_t* data, std::size_t& transferred) override;
    std::optional<std::size_t> ServeTransfer(const UsbTransfer& transfer, std::size_t limit) override;

private:
    std::uint8_t SampleStreamByte(std::uint64_t at) const;

    bool m_bootFails = false;
    bool m_booting = false;
    bool m_dspRunning = false;
    bool m_sampling = false;
    bool m_playing = false;
    std::uint32_t m_fftSize = 256;
    std::uint64_t m_streamByte = 0;
    std::vector<std::uint8_t> m_firmware;
    std::array<std::uint8_t, 64> m_localSetup{};
    std::array<std::uint8_t, 64> m_dspSetup{};
    std::vector<float> m_played[2];
};

}  // namespace platform::usb
