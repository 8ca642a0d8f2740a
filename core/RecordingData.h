#pragma once
// One recording as the document holds it: the twenty channel slots, the
// channel count, the file-type code, the save-as-required flag and the open
// data file of file-backed channels.
//
// Loading is staged: a reader fills a fresh RecordingData, made only once
// the reader has accepted the file's header, and the document takes it only
// when the reader reports success, so a failed or cancelled load leaves the
// document as it was.

#include <array>
#include <memory>
#include <string>

#include "core/CChannels.h"
#include "core/DocumentSettings.h"
#include "core/FileTypeCode.h"
#include "platform/File.h"

namespace vocomet {

struct RecordingData {
    std::array<CChannels, kDocumentSlots> channels;
    int channelCount = 0;  // channels in use, at most kDocumentSlots
    int fileTypeCode = kFileTypeNone;
    // 1 when the file's format is written only through Save As (set by the
    // readers of the foreign formats and of the Macintosh native layout).
    int saveAsRequired = 0;
    // The open file of file-backed channels and of the interleaved formats
    // (32-bit float frames); channels share it through their sourceFile.
    // Closed until a reader opens one.
    std::shared_ptr<platform::File> dataFile = std::make_shared<platform::File>();
    // The data file's name in the temp folder, kept after it is closed: a
    // scratch file's path, or for frames read where they lie in the
    // recording's own file an empty file that reserves the name. What is
    // made from the data (intensity curves, the clipboard's copy) goes
    // beside it.
    std::string dataFilePath;
};

// Copies what a channel slot keeps of the settings (intensity window and
// step, absolute/relative flag, smoothing switch and points, calibration
// polynomial, unit, velocity and acceleration smoothing and the EGG show
// flags) from one slot to another, leaving samples, labels and curves alone.
void CopyChannelSettings(const CChannels& from, CChannels& to);

}  // namespace vocomet
