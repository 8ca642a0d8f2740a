#include "acquisition/AcquisitionState.h"

#include "acquisition/CUSB2Hardware.h"
#include "acquisition/CUSBHardware.h"
#include "platform/Audio.h"

namespace vocomet {

AcquisitionState::AcquisitionState() = default;
AcquisitionState::~AcquisitionState() = default;

std::shared_ptr<platform::AudioBackend> AcquisitionState::SoundCard() {
    if (!audioBackend)
        audioBackend = platform::MakePortAudioBackend();
    return audioBackend;
}

void AcquisitionState::StopSoundOutput() {
    if (!soundOut)
        return;
    soundOut->Pause();
    soundOut->Stop();
    soundOut.reset();
}

AcquisitionState::Device AcquisitionState::ChooseDevice() const {
    if (audioBoxPresent)
        return Device::AudioBox;
    if (rendalPresent)
        return Device::Rendal;
    return Device::SoundCard;
}

void DetectHardware(AcquisitionState& state, CUSB2Hardware& usb2, CUSBHardware& usb,
                    const std::string& firmwarePath) {
    usb2.OpenDevice();
    const int code = usb2.GetChannelCode();
    if (code >= 2 && code <= 17) {
        state.rendalPresent = 1;
        state.hardwareChannelCount = code;
    } else if (code == static_cast<int>(kAudioBoxBootedCode)) {
        state.audioBoxPresent = 1;
        state.hardwareChannelCount = 2;
    } else {
        state.audioBoxPresent = usb.BootDsp(firmwarePath) != 0 ? 1 : 0;
        if (state.audioBoxPresent)
            state.hardwareChannelCount = 2;
    }
}

}  // namespace vocomet
