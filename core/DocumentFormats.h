#pragma once
// The readers and writers a document opens and saves files with.
//
// A reader gets the document (for its settings, prompts, progress and
// scratch-file names), the file open for reading at its start, and a
// LoadTarget. Only once it has accepted the file's header does it ask the
// target for the recording to fill, so every reader that turns a file away
// costs nothing. It must put everything it loads into that recording, never
// into the document: the document takes the recording only when the reader
// returns kReaderLoaded. Results:
//   kReaderLoaded (1)     the file is loaded;
//   kReaderEndOpen (0)    the open ends: the user cancelled, or the reader
//                         failed and has told the user why;
//   kReaderNotMine (-1)   not this reader's format, or a failure after the
//                         reader's own message: the next reader is tried.
// A reader that recognises the file but cannot load what it holds (an
// encoding it does not read, a header value no recording can have) says why
// through LoadTarget::Refuse and returns kReaderNotMine: when no later reader
// loads the file, the open fails with that reason.
// A reader may also throw: platform::UserException ends the open silently,
// any other exception ends it with the load-failure report.
//
// A writer gets the document, an empty file open for writing (a scratch
// file beside the target, which replaces the target only when the writer
// returns normally) and what to write. It ends a failed save by throwing
// (platform::UserException after its own message, if any; FileException for
// write errors). Writers leave the document's modified flag and path alone:
// the command that saved decides what the save means for the document.
//
// Each reader and writer is registered in StandardDocumentFormats() when it
// is built; documents copy that table when they are made, and tests may
// replace entries of a document's own copy.

#include <array>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "core/RecordingData.h"
#include "platform/File.h"

namespace vocomet {

class COrielDoc;

inline constexpr int kReaderLoaded = 1;
inline constexpr int kReaderEndOpen = 0;
inline constexpr int kReaderNotMine = -1;

// The readers, by name. The first twelve are tried in this order on every
// open; the last two serve the generic-file fallback.
enum class ReaderSlot : int {
    ReadUsb2FloatFile,
    ReadKovPcFloat24File,
    ReadKovPcFloatFile,
    ReadKovPcFile,
    ReadKovePcFile,
    ReadOldPcFile,
    ReadOldMacFile,
    ReadKovMacFile,
    ReadWaveFile,
    ReadNspFile,
    ReadAiffFile,
    ReadNistSphereFile,
    ReadIntegerBinaryFile,
    ReadAsciiFile,
};
inline constexpr int kReaderSlotCount = 14;
inline constexpr int kChainedReaderCount = 12;  // the slots tried in order on every open

// The reader's name ("ReadWaveFile"), for logs and tests.
const char* ReaderName(ReaderSlot slot);

// Where a reader loads to: a recording made on the reader's first request.
class LoadTarget {
public:
    using Factory = std::function<std::unique_ptr<RecordingData>()>;

    // Makes the recording with make (a plain RecordingData without one)
    // when the reader first asks for it.
    explicit LoadTarget(Factory make) : m_make(std::move(make)) {}
    LoadTarget(const LoadTarget&) = delete;
    LoadTarget& operator=(const LoadTarget&) = delete;

    // The recording to fill, made on the first call.
    RecordingData& Recording();
    bool HasRecording() const { return m_recording != nullptr; }
    // The recording made here, for the document to take; null when none was
    // made.
    std::unique_ptr<RecordingData> Take() { return std::move(m_recording); }

    // Why the file, recognised, cannot be loaded: one or two sentences for
    // the user. The first reason given is kept.
    void Refuse(std::string reason);
    const std::string& Refusal() const { return m_refusal; }

    // Set by a caller that already holds the min/max summaries of the
    // samples to be read (an undo reading back its own copy): a reader that
    // would pass over the frames once more only to make them leaves them
    // out, and the channels come without.
    void LeaveOutSummaries() { m_summaries = false; }
    bool SummariesWanted() const { return m_summaries; }

private:
    Factory m_make;
    std::unique_ptr<RecordingData> m_recording;
    std::string m_refusal;
    bool m_summaries = true;
};

using DocumentReader = std::function<int(COrielDoc& document, platform::File& file, LoadTarget& target)>;

// What a writer is asked to write.
struct WriteRequest {
    bool selectionOnly = false;  // only each channel's selected span
    int channelIndex = 0;        // first channel (WAV)
    int channelCount = 0;        // the document's channel count (WAV)
    bool oneChannel = false;     // only channelIndex (WAV export)
    // The file the written file will replace (for progress texts); the
    // writer's own file is a scratch file beside it.
    std::string targetPath;
    // False for a file that is never flushed to disk (a copy for this
    // session only): the native writers then leave its pages to the cache.
    bool willFlush = true;
};

using DocumentWriter = std::function<void(COrielDoc& document, platform::File& file, const WriteRequest& request)>;

class DocumentFormats {
public:
    void SetReader(ReaderSlot slot, DocumentReader reader) { m_readers[Index(slot)] = std::move(reader); }
    // Empty when the reader has not been registered.
    const DocumentReader& GetReader(ReaderSlot slot) const { return m_readers[Index(slot)]; }

    // Writers by file-type code.
    void SetWriter(int fileTypeCode, DocumentWriter writer);
    // Null when no writer is registered for the code.
    const DocumentWriter* FindWriter(int fileTypeCode) const;

private:
    static std::size_t Index(ReaderSlot slot) { return static_cast<std::size_t>(slot); }

    std::array<DocumentReader, kReaderSlotCount> m_readers{};
    std::map<int, DocumentWriter> m_writers;
};

// The readers and writers of this build.
const DocumentFormats& StandardDocumentFormats();

}  // namespace vocomet
