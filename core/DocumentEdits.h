#pragma once
// The data side of editing a document: the application's clipboard of
// twenty channel slots, Copy, Cut and Paste of the selected stretch of every
// channel at once, Select All / Select Window, and the undo copy.
//
// A document is "in memory" when every channel in use has a sample block;
// otherwise its samples are the interleaved float frames of its data file
// and every edit works on whole frames (channel 0's selection).
//
// No edit changes a data file in place: the result is built in a fresh
// scratch data file in one pass and the document then switches to it, so a
// failure at any point leaves the document (and every file it reads) as it
// was. In memory, every new block is made before any channel changes.
//
// The stretch of a channel is frames trunc(selection start sample) up to
// trunc(selection end sample), clamped to its samples.
//
// Threading: user-interface thread only, like the document.

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/CChannels.h"
#include "core/DocumentSettings.h"
#include "core/FileTypeCode.h"

namespace vocomet {

class COrielDoc;

// The clipboard file beside the data file of a file-backed copy.
inline constexpr const char* kClipboardFileSuffix = "__Edit";

// Raised when an edit cannot be made (no memory, a file that cannot be made
// or read in full). The document is as it was.
class EditError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The clipboard of Copy, Cut and Paste: the system's own, shared by every
// document of the application.
class EditClipboard {
public:
    EditClipboard() = default;
    // Removes the clipboard file.
    ~EditClipboard();
    EditClipboard(const EditClipboard&) = delete;
    EditClipboard& operator=(const EditClipboard&) = delete;

    // Empties every slot (blocks and labels), removes the clipboard file
    // and clears the full flag.
    void Clear();
    bool InFile() const { return !filePath.empty(); }

    // Slot i: channel i of the last copy, its settings, its labels (times
    // from the start of the copied stretch) and, from a document in memory,
    // its samples.
    std::array<CChannels, kDocumentSlots> channels;
    // The clipboard file (interleaved float frames, no header) of a
    // file-backed copy; empty when the samples are in the slots.
    std::string filePath;
    int full = 0;
    int channelCount = 0;
    int fileTypeCode = kFileTypeNone;
};

// The stretch of frames an edit takes from a channel.
struct FrameSpan {
    std::int64_t start = 0;
    std::int64_t end = 0;
    std::int64_t Length() const { return end - start; }
};
FrameSpan SelectedFrames(const CChannels& channel);

// True when every channel in use has its samples in memory.
bool IsDocumentInMemory(const COrielDoc& document);

// What Paste does with the labels of one channel. Labels from removeFrom to
// removeTo (ms, both included) go when removeRange is set; labels after
// insertAt are moved by shift; the clipboard's labels come in at their time
// plus insertAt.
void SpliceLabels(CChannels& channel, bool removeRange, double removeFrom, double removeTo, double insertAt,
                  double shift, const RecordList<LABEL>& inserted);

// Copy: fills the clipboard from the selection of every channel. Throws
// EditError, the clipboard then emptied, when the samples cannot be had
// (no memory; a file-backed document without a data file; the clipboard
// file cannot be written in full) or a channel's selection holds no frame.
void CopySelection(COrielDoc& document, EditClipboard& clipboard);

// Cut: removes the selected stretch and the labels in it from every channel.
// A document cut down to nothing keeps its channels and clears its
// data-loaded flag. Throws EditError, the document unchanged.
void CutSelectionData(COrielDoc& document);

enum class PasteRefusal { None, ChannelCount, SampleRate };
// Paste's refusals, decided before anything is written: a document with
// data must have the clipboard's channel count and each channel its slot's
// rate.
PasteRefusal CheckPaste(const COrielDoc& document, const EditClipboard& clipboard);
// A document without data (no channels, or cut down to nothing) takes the
// clipboard's channels whole.
bool PasteFillsEmptyDocument(const COrielDoc& document);
// Paste: replaces the selected stretch (replaceSelection) or inserts at the
// marker (the selection start, where the press put it), or fills an empty
// document. Call CheckPaste first. Throws EditError, the document unchanged.
void PasteClipboard(COrielDoc& document, const EditClipboard& clipboard, bool replaceSelection);

// Select All and Select Window: every channel's selection.
void SelectAllSamples(COrielDoc& document);
void SelectShownWindow(COrielDoc& document);

// What the undo copy needs besides the native file: what the file does not
// keep of the document and of its channels' display.
struct UndoState {
    int channelCount = 0;
    int fileTypeCode = kFileTypeNone;
    int saveAsRequired = 0;
    int dataLoaded = 0;
    int modified = 0;  // the document's modified flag when the copy was made
    struct Channel {
        std::int32_t show = 1;
        double shownStart = 0.0, shownEnd = 0.0;
        double prevWindowStart = 0.0, prevWindowEnd = 0.0;
        std::int32_t intensityValid = 0;
        // The min/max summary of the samples written, when the channel had
        // one: the copy reads back to the same samples, so it serves again.
        std::shared_ptr<const SampleSummary> summary;
    };
    std::vector<Channel> channels;
};

// Writes the whole document (every channel, shown or not) to path with the
// native float writer: interleaved frames when all channels have the same
// sample count, else channel by channel, beside path and renamed over it
// once complete. Returns what the file does not keep. Throws what the writer throws (platform::UserException after its
// own message, platform::FileException).
UndoState WriteUndoCopy(COrielDoc& document, const std::string& path);
// Reads the undo copy back into the document (staged: on failure the
// document is as it was) and restores the document's type, save-as flag and
// the channels' display; the summaries kept in state spare the reader a
// second pass over the frames. The document is modified afterwards (an
// undo back to an empty document keeps the flag it had when the copy was
// made). Velocity, acceleration and EGG results are
// invalid afterwards. The recording let go closes its data file; a scratch
// data file goes with it once nothing else reads it. Throws EditError or
// what the reader throws.
void ReadUndoCopy(COrielDoc& document, const std::string& path, const UndoState& state);

}  // namespace vocomet
