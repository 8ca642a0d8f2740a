#pragma once
// The host side of the first-generation audio box: a two-channel 24-bit
// device with a DSP that is loaded with firmware from the host. All traffic
// is vendor requests on the control pipe and bulk transfers on numbered
// pipes (1 play data out, 2 firmware out, 8 sample data in), pipe n being
// endpoint descriptor n of the box's interface.
//
// Every user makes a short-lived object for one operation. The device
// handle is shared by every object of the process that has it open, so the
// record form can send setup requests while the worker streams.
//
// Failures: a beep (except for "Device not open") and a message through the
// object's report, then platform::UserException; nested failures show the
// inner text first. Without a report the failures are silent.
//
// Bulk transfers wait in short slices: a box that stops sending fails the
// transfer after kBulkTimeout, and a stop source that becomes set during the
// wait takes the transfer back at once (the block counts as not received).

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class UserPrompts;
}
namespace platform::usb {
class UsbDeviceHandle;
}

namespace vocomet {

// First word of the configuration reply of a booted audio box.
inline constexpr unsigned kAudioBoxBootedCode = 0xAD32;

// Vendor requests of the box.
enum AudioBoxRequest : std::uint8_t {
    VR_SETUP = 0xB1,
    VR_SAMPLE = 0xB2,
    VR_PLAY = 0xB3,
    VR_STOP = 0xB4,
    VR_FILTER = 0xB5,
    VR_READ_CONFIG = 0xB7,
    VR_DSP_BOOT_START = 0xB8,
    VR_DSP_BOOT_STOP = 0xB9,
    VR_LOCAL_SETUP = 0xBA,
    VR_DSP_SETUP = 0xBB,
};

inline constexpr int kAudioBoxPlayPipe = 1;
inline constexpr int kAudioBoxFirmwarePipe = 2;
inline constexpr int kAudioBoxSamplePipe = 8;

// Block sizes of the streams: a sample block is 1024 frames of two 32-bit
// words followed by the DSP's spectra; a play block is 1024 frames.
inline constexpr std::size_t kAudioBoxFrames = 1024;
inline constexpr std::size_t kSampleBlockBytes = 16384;
inline constexpr std::size_t kPlayBlockBytes = 8192;
inline constexpr std::size_t kSetupBlockBytes = 64;
inline constexpr double kAudioBoxFullScale = 8388608.0;  // 2^23

// Fixed texts of the protocol's failures.
inline constexpr const char* kDeviceNotOpen = "Device not open";
inline constexpr const char* kErrorReadingIncomingData = "Error in reading the incoming data.";
inline constexpr const char* kSampleProblem = "sample problem";
inline constexpr const char* kErrorSendingSample = "Error in sending Sample request";
inline constexpr const char* kErrorSendingPlay = "Error in sending Play request";
inline constexpr const char* kErrorSendingStop = "Error in sending Stop request";
inline constexpr const char* kErrorCloseDevice = "Error in  Close device ";
inline constexpr const char* kErrorDspSetup = "Error in setting the DSP setup";
inline constexpr const char* kErrorLocalSetup = "Error in setting the local setup";

// The failure text of a vendor request ("send requesd for -SAMPLE- failed").
std::string VendorRequestFailureText(std::uint8_t request);

// Where the protocol's failure texts go. Called on the thread that runs the
// operation; an implementation on a worker thread queues the text to the
// user-interface thread.
class DeviceReport {
public:
    virtual ~DeviceReport() = default;
    virtual void DeviceMessage(const std::string& text, bool beep) = 0;
};

// A report that shows each text at once in a message box (user-interface
// thread only).
class PromptsDeviceReport final : public DeviceReport {
public:
    explicit PromptsDeviceReport(platform::UserPrompts& prompts) : m_prompts(prompts) {}
    void DeviceMessage(const std::string& text, bool beep) override;

private:
    platform::UserPrompts& m_prompts;
};

// An open device: the shared handle and the endpoint address of each pipe.
struct AudioBoxHandle {
    std::shared_ptr<platform::usb::UsbDeviceHandle> device;
    std::array<std::uint8_t, 9> pipes{};
    explicit operator bool() const { return device != nullptr; }
};

// The 64-byte blocks of the setup requests, field by field.
std::array<std::uint8_t, kSetupBlockBytes> EncodeLocalSetup(int constant, int gainCode, int source, int phantom,
                                                            int balance);
std::array<std::uint8_t, kSetupBlockBytes> EncodeDspSetup(int channels, int blockWordA, int blockWordB, int fftSize,
                                                          int outputLevel, int sampleRate, int reserved,
                                                          int talkThrough);

class CUSBHardware {
public:
    // How long a bulk transfer may take before it counts as failed, and the
    // slices it is waited for in.
    static constexpr std::chrono::milliseconds kBulkTimeout{2000};
    static constexpr std::chrono::milliseconds kWaitSlice{20};
    static constexpr std::chrono::milliseconds kControlTimeout{1000};

    // No device handle is open until a request needs one. Failures are
    // shown through report (none: silent).
    explicit CUSBHardware(DeviceReport* report = nullptr);
    // Does not close: the handle is dropped with the object.
    virtual ~CUSBHardware();
    CUSBHardware(const CUSBHardware&) = delete;
    CUSBHardware& operator=(const CUSBHardware&) = delete;

    void SetReport(DeviceReport* report) { m_report = report; }
    // A flag that, once set, takes back a bulk transfer being waited for.
    void SetStopSource(const std::atomic<int>* stop) { m_stopSource = stop; }

    // Opens the box into the object's handle; returns 1. Throws (no
    // message) when no box can be opened.
    int OpenDevice();
    // The same into a caller's handle (the device name of the box kind).
    void OpenDeviceHandle(AudioBoxHandle& handle, const std::string& deviceName);
    // Drops the handle; "Device not open", "Error in  Close device " and a
    // throw when none was open.
    int CloseDevice();
    bool IsOpen() const { return static_cast<bool>(m_handle); }

    // One vendor request: data and length form the data stage (direction 0
    // host-to-device, 1 device-to-host); the length also goes in wIndex.
    void SendVendorRequest(AudioBoxHandle& handle, std::uint8_t* data, std::uint8_t request, std::uint16_t length,
                           int direction, std::uint16_t value);
    // Bulk write of length bytes on a pipe (1 play data, 2 firmware); bulk
    // read on pipe 8. False when the stop source took the transfer back;
    // throws on a failed or short transfer.
    bool BulkWrite(AudioBoxHandle& handle, const std::uint8_t* data, std::size_t length,
                   int pipe = kAudioBoxPlayPipe);
    bool BulkRead(AudioBoxHandle& handle, std::uint8_t* buffer, std::size_t length);

    void SendSample();
    void SendPlay();
    void SendStop();
    // Reads one block; with stopFlag set (or set while it waits), sends
    // VR_STOP and returns null, else returns buffer.
    std::uint8_t* ReadBlock(std::uint8_t* buffer, std::size_t length, int stopFlag);
    // Writes one block and returns stopFlag (1 as well when the stop source
    // took the write back).
    int WriteBlock(const std::uint8_t* buffer, std::size_t length, int stopFlag);

    // VR_DSP_SETUP (word 2 = a | b | FFT size): opens the object's handle
    // when it is not open, and closes it at the end. Throws after
    // "Error in setting the DSP setup".
    void SetupDsp(int channels, int blockWordA, int blockWordB, int fftSize, int outputLevel, int sampleRate,
                  int reserved, int talkThrough);
    // The same for a caller on the user-interface thread: failures are shown
    // with prompts and give 0; 1 when sent.
    int SetupDsp(platform::UserPrompts& prompts, int channels, int blockWordA, int blockWordB, int fftSize,
                 int outputLevel, int sampleRate, int reserved, int talkThrough);
    // VR_LOCAL_SETUP on a handle of its own. Throws after
    // "Error in setting the local setup".
    void SetupLocal(int constant, int gainCode, int source, int phantom, int balance);

    // Loads the DSP from the firmware file and reads the configuration
    // back: 1 when the box answers 0xAD32, 0 for a missing file, no box or
    // any failure.
    int BootDsp(const std::string& firmwarePath);

private:
    void Fail(const std::string& text, bool beep = true) const;
    void RequireOpen(const char* failureText) const;
    // Waits for a queued transfer in slices; false when the stop source took
    // it back, throws Timeout-like failures as a failed transfer.
    enum class Wait { Done, Stopped, TimedOut };
    Wait WaitTransfer(AudioBoxHandle& handle, const std::shared_ptr<void>& keep, bool useStop);

    DeviceReport* m_report = nullptr;
    const std::atomic<int>* m_stopSource = nullptr;
    AudioBoxHandle m_handle;
};

}  // namespace vocomet
