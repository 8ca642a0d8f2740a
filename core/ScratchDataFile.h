#pragma once
// What the readers share: a scratch data file in the temp folder that
// becomes the recording's data file (filled by the system's copy where the
// frames are already what it holds), the min/max summaries made while the
// samples pass by, and progress shown a few times a second rather than for
// every block.
//
// A scratch data file is the system's own copy of a recording, often
// gigabytes: it is removed from disk as soon as nothing reads it any more,
// that is when the last channel, recording or reader holding it lets go (the
// document closes, loads another recording, or the load does not complete).
// Only files made here are removed this way; a data file opened on any other
// file is merely closed.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/SampleSummary.h"
#include "platform/File.h"
#include "platform/Progress.h"
#include "platform/SampleBlock.h"

namespace vocomet {

class COrielDoc;
struct RecordingData;
class ThrottledProgress;

// The min/max summaries of the columns of frames a load passes by, one per
// channel it fills, so that the recording can be drawn as soon as the load
// ends. Made only when their memory can be had; without it the load goes on
// and its channels simply carry no summary.
//
// The columns fall into groups of at most kGroupColumns, each with a
// builder of its own, so that several threads can each summarise a group of
// the same frames (every column still takes its values in frame order, so
// the summaries are those of one pass). A group is as wide as one sweep of
// the builder's fold: up to 16 channels, every frame is read once.
class LoadSummaries {
public:
    static constexpr std::size_t kGroupColumns = 16;

    // For frames of columns values each, frames of them in all.
    LoadSummaries(std::size_t columns, std::int64_t frames);

    // False when nothing is made (no memory).
    bool Active() const { return m_active; }
    std::size_t Columns() const { return m_columns; }
    std::size_t Groups() const { return m_groups.size(); }
    // count frames of Columns() host floats each, the next in order.
    void Add(const float* frames, std::size_t count);
    // The same for one group's columns only. Different groups may be given
    // their frames from different threads at once.
    void AddGroup(std::size_t group, const float* frames, std::size_t count);
    // Frames handed over in pieces out of order, from several threads at
    // once (see FrameSummaryBuilder::StartPieces): StartPieces first (false,
    // and no summaries, when their room cannot be had), then AddPiece for
    // pieces of whole fine blocks (the last may end at the last frame) that
    // do not overlap, then EndPieces once every frame came.
    bool StartPieces();
    void AddPiece(std::int64_t first, const float* frames, std::size_t count);
    void EndPieces();
    // The summary of every column when exactly the announced frames came,
    // else none. Nothing can be added afterwards.
    std::vector<std::shared_ptr<const SampleSummary>> Finish();
    // Gives channels first, first + 1, ... of the recording the summaries of
    // columns 0, 1, ... (none when none were made).
    void AttachTo(RecordingData& recording, std::size_t first = 0);

private:
    struct Group {
        std::size_t first = 0;  // its first column
        std::size_t columns = 0;
        std::optional<FrameSummaryBuilder> builder;
    };
    std::size_t m_columns;
    std::int64_t m_frames;
    bool m_active = false;
    std::vector<Group> m_groups;
};

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

    enum class CopyResult { Copied, Aborted, SourceShort };
    // Fills the file with frameCount frames of columns little-endian
    // float32 values from source at offset, by the system's copy on a
    // thread of the file's own (see platform::File::StartBackgroundFill:
    // until it ends, reads of what it has not reached go to the source).
    // The summaries are made first, every core reading the frames once,
    // with the progress shown and the user able to abort; only then does
    // the copy start, so that it does not compete with them for the memory
    // bandwidth. Returns when the summaries are made and the copy has
    // started; it may still be going on. SourceShort when the source
    // holds fewer frames (nothing is copied then). Read errors and a file
    // that cannot be set up throw platform::FileException.
    CopyResult CopyFrames(const platform::File& source, std::int64_t offset, std::int64_t frameCount,
                          std::size_t columns, ThrottledProgress& shown, LoadSummaries& summaries);

    // Makes the file the recording's data file: its first channelCount
    // channels drop their sample blocks and read frame by frame from it, each
    // at its place in the frame.
    void AdoptInto(RecordingData& recording, std::size_t channelCount);

private:
    std::shared_ptr<platform::File> m_file;
    std::string m_path;
};

// Makes data the recording's data file of float frames of channelCount
// columns: its first channelCount channels drop their sample blocks and read
// frame by frame from it, each at its place in the frame; path is the name
// it is known by.
void AdoptDataFile(RecordingData& recording, const std::shared_ptr<platform::File>& data, const std::string& path,
                   std::size_t channelCount);

// Feeds chunks of frames to a load's summaries on worker threads (one per
// group of columns), so that the summaries are made while the caller reads
// and converts the next chunk.
// A chunk handed over must stay as it is until the next Hand or Wait
// returns: callers alternate between two buffers. Without a thread to be had
// the summaries are made at once.
class SummaryPipeline {
public:
    explicit SummaryPipeline(LoadSummaries& summaries);
    ~SummaryPipeline();
    SummaryPipeline(const SummaryPipeline&) = delete;
    SummaryPipeline& operator=(const SummaryPipeline&) = delete;

    // Waits for the chunk handed over last, then starts on count frames at
    // frames.
    void Hand(const float* frames, std::size_t count);
    // Waits for the chunk handed over last.
    void Wait();

private:
    LoadSummaries& m_summaries;
    std::vector<std::future<void>> m_pending;  // one per group of columns
    bool m_inline = false;                     // no room to keep track of workers
};

// How a run over the pieces of some frames ended.
enum class PiecesResult { Done, Aborted, SourceShort };

// Works through frameCount frames in pieces of framesPerPiece frames (the
// last may be shorter), one worker per core taking the next piece as it
// comes free, each with a buffer of bufferBytes of its own: reads from the
// page cache are copies that scale with the cores, and a piece stays in its
// core's cache while it is converted, spread and summarised. work(first,
// count, buffer) does frames first .. first + count - 1 and returns false
// when the source gave fewer bytes than asked; pieces come out of order and
// on several threads at once. This thread shows the progress and passes on
// an abort (one asked for while the last pieces were worked on too). A
// worker's exception (std::bad_alloc when a buffer cannot be had) ends the
// run and is thrown here once every worker has stopped.
PiecesResult RunFramePieces(std::int64_t frameCount, std::size_t framesPerPiece, std::size_t bufferBytes,
                            ThrottledProgress& shown,
                            const std::function<bool(std::int64_t first, std::size_t count, std::byte* buffer)>& work);

// A load of frames into one block per column. The blocks' pages are made
// present on every core (clearing fresh memory is most of such a load)
// while RunFramePieces runs, with no progress shown: work(first, count,
// buffer) reads the piece, spreads it into the blocks and returns its
// frames as host floats (null when the source gave fewer bytes), which are
// folded into the summaries of frameCount frames when their room can be
// had. The caller attaches the summaries. std::bad_alloc when a work
// buffer cannot be had.
PiecesResult FillBlocksInPieces(std::int64_t frameCount, const std::vector<platform::BlockBytes>& blocks,
                                std::size_t framesPerPiece, std::size_t bufferBytes, LoadSummaries& summaries,
                                const std::function<const float*(std::int64_t first, std::size_t count,
                                                                 std::byte* buffer)>& work);

// Reads count little-endian float32 values at offset into out, as host
// floats. False when fewer arrive; read errors throw platform::FileException.
bool ReadFloatsLE(const platform::File& file, std::int64_t offset, float* out, std::size_t count);

// Frames per piece for frames of frameBytes bytes: whole coarse summary
// blocks (see FrameSummaryBuilder::StartPieces), about half a megabyte (one
// coarse block for frames wider than that allows), and no more than the
// frameCount frames of the recording need (a short file's work buffers are
// as small as it is).
std::size_t FramesPerSummaryPiece(std::size_t frameBytes, std::int64_t frameCount);

// Frames are spread into channel blocks in tiles of this many frames, which
// stay in the first-level cache while every channel takes its values.
inline constexpr std::size_t kSpreadTileFrames = 256;

// Spreads count frames of n floats into one block per channel: value l of
// frame k goes to out[l][at + k]. Meant for a tile of kSpreadTileFrames
// frames or fewer.
void SpreadFrameTile(const float* frames, std::size_t count, std::size_t n, const std::vector<float*>& out,
                     std::size_t at);

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
