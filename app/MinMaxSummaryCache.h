#pragma once
// The min/max summaries of what a view draws, kept between repaints.
//
// A summary handed over with the samples (the one the loader made while it
// read them) is used whenever it describes as many samples as the series
// drawn; otherwise the cache makes its own. Series in memory (a channel's
// samples, an intensity curve) are keyed by channel slot and kind and
// summarised on the spot when first asked for, or again when the block
// moved or changed size. Data files of interleaved floats are summarised in
// the background, every column of a file in one pass over it, published
// piece by piece: ForFile answers what is summarised so far (a prefix of
// the file) and whether more is coming, and the progress listeners hear of
// every new piece and of the end of the build. The build thread opens its
// own handle on the file's path, so closing the document's file object never
// disturbs it; it only produces summaries and never touches a widget.
// Finished pieces are handed over under a mutex and shared read-only.
//
// Whoever changes samples in place (edits, smoothing, averaging, a rewritten
// data or intensity file) must call Invalidate or InvalidateAll: the cache
// cannot see a block change under the same address and size.
//
// Threading: every member but the listener registration is called from one
// thread (the view's); the build threads only fill the entries they were
// started for and call the listeners.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/MinMaxSummary.h"

namespace platform {
class File;
}

namespace vocomet {

class MinMaxSummaryCache {
public:
    enum class Kind { Samples, Intensity };

    // Bytes of the file read for each published piece of a background build.
    static constexpr std::int64_t kDefaultPieceBytes = std::int64_t{64} << 20;

    explicit MinMaxSummaryCache(std::int64_t pieceBytes = kDefaultPieceBytes) : m_pieceBytes(pieceBytes) {}
    // Cancels the builds that run and waits for them.
    ~MinMaxSummaryCache();
    MinMaxSummaryCache(const MinMaxSummaryCache&) = delete;
    MinMaxSummaryCache& operator=(const MinMaxSummaryCache&) = delete;

    // The summary of a series in memory: `handed` when it describes
    // samples.size() samples, else one built now when missing or stale.
    std::shared_ptr<const MinMaxSummary> ForMemory(int slot, Kind kind, std::span<const float> samples,
                                                   const std::shared_ptr<const SampleSummary>& handed = nullptr);

    struct FileSummary {
        // What is summarised so far, from the first frame; null when nothing
        // is yet or nothing will be.
        std::shared_ptr<const MinMaxSummary> summary;
        // More is coming: listeners will hear when.
        bool building = false;
    };
    // The summary of column `channel` of a data file with channelsPerFrame
    // values per frame: `handed` when it describes as many samples as the
    // file has frames (no build is started then), else the background
    // build's (the first call starts it). Nothing after a failed build and
    // for a closed file or a bad column. A file whose length changed is
    // summarised again.
    FileSummary ForFile(const platform::File& file, int channelsPerFrame, int channel,
                        const std::shared_ptr<const SampleSummary>& handed = nullptr);

    // A listener is called on a build thread after every piece a build
    // publishes and when a build ends; it must be quick and must not call
    // back into the cache. Safe from any thread; removing a listener waits
    // for a call of it that is under way.
    int AddProgressListener(std::function<void()> listener);
    void RemoveProgressListener(int id);

    // Forgets the memory summaries of a slot and every file summary.
    void Invalidate(int slot);
    // Forgets everything; running builds are cancelled.
    void InvalidateAll();

    // Bytes per published piece of the builds started from now on.
    void SetPieceBytes(std::int64_t bytes) { m_pieceBytes = bytes; }

    // Waits until no build runs (their listener calls made); false on
    // timeout.
    bool WaitForBuilds(std::chrono::milliseconds timeout);
    // Number of file builds started so far (for tests).
    int FileBuildsStarted() const { return m_fileBuildsStarted; }
    // Number of summaries of samples in memory built so far (for tests).
    int MemoryBuildsMade() const { return m_memoryBuildsMade; }

private:
    struct MemoryEntry {
        const float* data = nullptr;
        std::size_t size = 0;
        std::shared_ptr<const MinMaxSummary> summary;
    };
    // One background pass over a file.
    struct FileJob {
        std::atomic<bool> cancel{false};
        // Filled by the build thread under m_mutex.
        bool done = false;
        bool failed = false;
        std::vector<std::vector<std::shared_ptr<const SampleSummary>>> pieces;  // per column
        // The view's thread only: the summaries last handed out, per column.
        std::vector<std::shared_ptr<const MinMaxSummary>> published;
    };
    using FileKey = std::tuple<std::string, std::int64_t, int>;  // path, length, values per frame

    // On the build thread; touches only the job and, under m_mutex, its pieces.
    void RunFileJob(std::shared_ptr<FileJob> job, std::string path, std::int64_t length, int channelsPerFrame,
                    std::int64_t pieceBytes);
    // On the build thread, once every piece came: each column's pieces
    // become one summary (the same values in one run of memory, which a
    // view of the whole recording reads faster). The view picks it up on
    // its next call.
    void JoinPieces(FileJob& job);
    void NotifyListeners();
    void DropFileJobs();
    void JoinFinishedThreads();

    std::int64_t m_pieceBytes;
    std::map<std::pair<int, Kind>, MemoryEntry> m_memory;
    std::map<FileKey, std::shared_ptr<FileJob>> m_files;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::atomic<int> m_running{0};
    int m_fileBuildsStarted = 0;
    int m_memoryBuildsMade = 0;
    std::mutex m_listenersMutex;
    std::vector<std::pair<int, std::function<void()>>> m_listeners;
    int m_nextListener = 1;
};

}  // namespace vocomet
