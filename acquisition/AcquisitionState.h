#pragma once
// The acquisition state (declared with the application state, core/
// ApplicationState.h) with the definitions of the device objects it holds,
// and the start-up probe that fills its presence flags.

#include <string>

#include "acquisition/CSoundIn.h"
#include "acquisition/CSoundOut.h"
#include "acquisition/CUSBThread.h"
#include "core/ApplicationState.h"

namespace vocomet {

class CUSBHardware;
class CUSB2Hardware;

// Start-up probe: a USB 2 channel code of 2 to 17 marks the sixteen-channel
// system with that many channels; the booted audio box's code marks the
// audio box (two channels) without a boot; anything else boots the
// first-generation device from the firmware file and marks the audio box
// present (two channels) when that succeeds.
void DetectHardware(AcquisitionState& state, CUSB2Hardware& usb2, CUSBHardware& usb,
                    const std::string& firmwarePath = "ada.ldr");

}  // namespace vocomet
