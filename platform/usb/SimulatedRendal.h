#pragma once
// The simulated sixteen-channel USB 2 acquisition system. It speaks the
// system's vendor requests on endpoint 0 (read configuration 0xB7 with value
// 7, sample 0xB2, play 0xB3, stop 0xB4, control word 0xB6 with two data
// bytes) and streams on its bulk endpoints:
// - bulk IN 0x86: after a sample request, an endless stream of frames of
//   sixteen signed 16-bit little-endian words (32 bytes a frame). Words 0 to
//   14 carry a ramp per channel (SampleWord) and word 15 the frame counter,
//   so byte order, interleave and block edges can be checked. A transfer
//   takes the next bytes of the stream, so a short transfer ends mid-frame
//   and the next one goes on from there.
// - bulk OUT 0x02: after a play request, it takes play words (one 16-bit
//   little-endian word a sample, its bits in reverse order) and decodes them.
// Before a sample or play request, and after a stop, its bulk transfers stay
// queued (the system sends and takes nothing).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/usb/SimulatedUsbDevice.h"

namespace platform::usb {

class SimulatedRendal : public SimulatedUsbDevice {
public:
    static constexpr std::uint16_t kVendorId = 0xFFF0;
    static constexpr std::uint16_t kProductId = 0x0002;
    static constexpr std::uint8_t kBulkIn = 0x86;
    static constexpr std::uint8_t kBulkOut = 0x02;
    static constexpr std::size_t kFrameBytes = 32;
    static constexpr int kWords = 16;

    static constexpr std::uint8_t kReadConfig = 0xB7;
    static constexpr std::uint8_t kSample = 0xB2;
    static constexpr std::uint8_t kPlay = 0xB3;
    static constexpr std::uint8_t kStop = 0xB4;
    static constexpr std::uint8_t kControl = 0xB6;

    // configurationByte: byte 0 of the configuration reply (its low four
    // bits tell the channel count).
    explicit SimulatedRendal(std::uint8_t configurationByte = 0x09, std::string path = "sim:rendal-0");
    ~SimulatedRendal() override;

    // Word w of frame n of the sample stream.
    static std::int16_t SampleWord(std::uint64_t frame, int word);
    // A play word as the host sends it, back to the word before its bits
    // were reversed, and to the sample it stands for ((w / 32767) - 1).
    static std::uint16_t UnreverseWord(std::uint16_t sent);
    static float DecodePlayWord(std::uint16_t sent);

    // What the host played, decoded, and the raw words it sent.
    std::vector<float> PlayedSamples() const;
    std::vector<std::uint16_t> PlayedWords() const;
    // Control words sent with 0xB6: the value and the two data bytes.
    struct ControlWord {
        std::uint16_t value;
        std::uint8_t data0;
        std::uint8_t data1;
    };
    std::vector<ControlWord> ControlWords() const;
    bool IsSampling() const;
    bool IsPlaying() const;
    // Bytes of the sample stream sent so far.
    std::uint64_t StreamBytesSent() const;

protected:
    UsbStatus HandleRequest(const SetupPacket& setup, std::uint8_t* data, std::size_t& transferred) override;
    std::optional<std::size_t> ServeTransfer(const UsbTransfer& transfer, std::size_t limit) override;

private:
    const std::uint8_t m_configurationByte;
    bool m_sampling = false;
    bool m_playing = false;
    std::uint64_t m_streamByte = 0;
    std::vector<std::uint16_t> m_played;
    std::vector<ControlWord> m_controls;
};

}  // namespace platform::usb
