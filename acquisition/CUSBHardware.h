#pragma once
// The first-generation USB device (the audio box): DSP boot from a firmware
// file and the DSP setup request. Without a device attached every request
// fails: BootDsp returns 0 and SetupDsp reports its error.

#include <string>

namespace platform {
class UserPrompts;
}

namespace vocomet {

// First word of the configuration reply of a booted audio box.
inline constexpr unsigned kAudioBoxBootedCode = 0xAD32;

class CUSBHardware {
public:
    // No device handle is open until a request needs one.
    CUSBHardware();
    ~CUSBHardware();
    CUSBHardware(const CUSBHardware&) = delete;
    CUSBHardware& operator=(const CUSBHardware&) = delete;

    // Boots the DSP from the firmware file (start-up passes "ada.ldr").
    // Nonzero when the device answers with a booted configuration, 0 when no
    // device is attached or any step fails.
    int BootDsp(const std::string& firmwarePath);

    // Sends the DSP setup request with its eight values (the play commands
    // pass 0, 0, 0, 0, the output gain, the sample rate, 0, 0). On failure
    // shows "Error in setting the DSP setup" and returns 0.
    int SetupDsp(platform::UserPrompts& prompts, int v1, int v2, int v3, int v4, int v5, int v6, int v7, int v8);

    bool IsOpen() const { return m_open; }

private:
    bool m_open = false;
};

}  // namespace vocomet
