#include "acquisition/CUSBHardware.h"

#include "platform/UserPrompts.h"

namespace vocomet {

CUSBHardware::CUSBHardware() = default;
CUSBHardware::~CUSBHardware() = default;

int CUSBHardware::BootDsp(const std::string&) {
    // No device transport yet: the device is absent.
    return 0;
}

int CUSBHardware::SetupDsp(platform::UserPrompts& prompts, int, int, int, int, int, int, int, int) {
    prompts.Message("Error in setting the DSP setup", platform::Buttons::Ok, platform::Icon::Error);
    return 0;
}

}  // namespace vocomet
