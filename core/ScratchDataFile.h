#pragma once
// What the readers of long recordings share: a scratch data file in the temp
// folder that becomes the recording's data file, and progress shown a few
// times a second rather than for every block.
//
// A scratch data file is the system's own copy of a recording, often
// gigabytes: it is removed from disk as soon as nothing reads it any more,
// that is when the last channel, recording or reader holding it lets go (the
// document closes, loads another recording, or the load does not complete).
// Only files made here are removed this way; a data file opened on any other
// file is merely closed.

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "platform/File.h"
#include "platform/Progress.h"

namespace vocomet {

class COrielDoc;
struct RecordingData;

class ScratchDataFile {
public:
    // Creates a new scratch file under a name the document hands out.
    // Throws platform::FileException (leaving no file) when it cannot.
    explicit ScratchDataFile(COrielDoc& document);
    // Lets go of the file: removed unless a recording adopted it.
    ~ScratchDataFile() = default;
    ScratchDataFile(const ScratchDataFile&) = delete;
    ScratchDataFile& operator=(const ScratchDataFile&) = delete;

    platform::File& File() { return *m_file; }
    const std::string& Path() const { return m_path; }

    // Makes the file the recording's data file: its first channelCount
    // channels drop their sample blocks and read frame by frame from it, each
    // at its place in the frame.
    void AdoptInto(RecordingData& recording, std::size_t channelCount);

private:
    std::shared_ptr<platform::File> m_file;
    std::string m_path;
};

// Shows a loop's progress at most every 200 ms, and always at the end.
// A null progress shows nothing and never aborts.
class ThrottledProgress {
public:
    explicit ThrottledProgress(platform::Progress* progress) : m_progress(progress) {}

    void Update(double done, double total);
    bool AbortRequested() { return m_progress && m_progress->AbortRequested(); }

private:
    platform::Progress* m_progress;
    std::chrono::steady_clock::time_point m_lastShown = std::chrono::steady_clock::now();
};

}  // namespace vocomet
