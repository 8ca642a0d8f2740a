#pragma once
// The application's process-wide values, owned by the application object and
// passed to whatever needs them: the temp and start folders, the persisted
// application settings and the acquisition state.
//
// The acquisition state is held here, below the acquisition code, so that
// the documents can read which device is present without including it; the
// device objects are only named here and are made, driven and destroyed by
// acquisition/ (acquisition/AcquisitionState.h brings their definitions).

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "core/ApplicationSettings.h"
#include "core/DocumentEdits.h"

namespace platform {
class AudioBackend;
}

namespace vocomet {

class CSoundIn;
class CSoundOut;
class CUSBThread;
// The record/play options window; made hidden by the main frame, which owns
// it. Only its pointer lives here.
class CFrameRecordPlay;

// The process-wide acquisition values the shell and the documents read and
// set: which device is present, its channel count, the play route and output
// gain, the recording flag, and the sound-card and worker objects. One
// instance lives in the application state.
struct AcquisitionState {
    // Defined beside the device classes, which must be complete to destroy
    // the objects held here.
    AcquisitionState();
    ~AcquisitionState();

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
    // Set with recordPlayFrame: reads the sound-card rate the window shows
    // into its play settings, which every playback does first.
    std::function<void()> readRecordPlayRate;
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

struct ApplicationState {
    std::string tempFolder;   // settled at start-up
    std::string startFolder;  // the current directory at start-up
    ApplicationSettings settings;
    AcquisitionState acquisition;
    int openFilterIndex = 1;  // the filter last chosen in File > Open
    // The clipboard of Copy, Cut and Paste, shared by every document.
    EditClipboard clipboard;

    // The settings file in the temp folder.
    std::string ConfigurationFilePath() const;
};

}  // namespace vocomet
