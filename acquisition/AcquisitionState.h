#pragma once
// The process-wide acquisition values the shell and the documents read and
// set: which device is present, its channel count, the play route and output
// gain, the recording flag, and the sound-card and worker objects. One
// instance lives in the application state.

#include <atomic>
#include <memory>
#include <string>

#include "acquisition/CSoundIn.h"
#include "acquisition/CSoundOut.h"
#include "acquisition/CUSBThread.h"

namespace platform {
class AudioBackend;
}

namespace vocomet {

class CUSBHardware;
class CUSB2Hardware;
// The record/play options window; made hidden by the main frame, which owns
// it. Only its pointer lives here.
class CFrameRecordPlay;

struct AcquisitionState {
    int audioBoxPresent = 0;       // the first-generation audio box answered or was booted
    int rendalPresent = 0;         // the sixteen-channel USB 2 system answered
    int hardwareChannelCount = 0;  // 2 to 17 for the USB 2 system, 2 for the audio box, 0 none
    int playRoute = 1;             // non-zero: play through the hardware
    int outputGain = 1023;
    // Set while a sound-card or device recording runs; workers may read it.
    std::atomic<int> recording{0};

    std::unique_ptr<CSoundOut> soundOut;  // null when none
    // The sound card; made on first use (SoundCard), set by tests.
    std::shared_ptr<platform::AudioBackend> audioBackend;
    std::unique_ptr<CSoundIn> soundIn;    // null when none
    CFrameRecordPlay* recordPlayFrame = nullptr;
    std::unique_ptr<CUSBThread> usbThread;  // made at start-up

    // The record and play commands use the audio box when it is present,
    // else the USB 2 system when it is, else the sound card.
    enum class Device { SoundCard, AudioBox, Rendal };
    Device ChooseDevice() const;

    // The sound-card backend, made (PortAudio) on first use.
    std::shared_ptr<platform::AudioBackend> SoundCard();
    // Ends the current sound-card output, if any: pause, stop, destroy,
    // clear.
    void StopSoundOutput();
};

// Start-up probe: a USB 2 channel code of 2 to 17 marks the sixteen-channel
// system with that many channels; the booted audio box's code marks the
// audio box (two channels) without a boot; anything else boots the
// first-generation device from the firmware file and marks the audio box
// present (two channels) when that succeeds.
void DetectHardware(AcquisitionState& state, CUSB2Hardware& usb2, CUSBHardware& usb,
                    const std::string& firmwarePath = "ada.ldr");

}  // namespace vocomet
