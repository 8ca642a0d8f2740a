#pragma once
// The min/max summaries of what a view draws, kept between repaints.
//
// Series in memory (a channel's samples, an intensity curve) are keyed by
// channel slot and kind and summarised on the spot when first asked for, or
// again when the block moved or changed size. Data files of interleaved
// floats are summarised in the background, every column of a file in one
// pass over it: until that pass is done ForFile answers nothing and the
// caller scans the samples itself. The build thread opens its own handle on
// the file's path, so closing the document's file object never disturbs it;
// it only produces summaries and never touches a widget. Finished summaries
// are handed over under a mutex and shared read-only.
//
// Whoever changes samples in place (edits, smoothing, averaging, a rewritten
// data or intensity file) must call Invalidate or InvalidateAll: the cache
// cannot see a block change under the same address and size.
//
// Threading: every member is called from one thread (the view's); the build
// threads only fill the entries they were started for.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
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

    MinMaxSummaryCache() = default;
    // Cancels the builds that run and waits for them.
    ~MinMaxSummaryCache();
    MinMaxSummaryCache(const MinMaxSummaryCache&) = delete;
    MinMaxSummaryCache& operator=(const MinMaxSummaryCache&) = delete;

    // The summary of a series in memory, built now when missing or stale.
    std::shared_ptr<const MinMaxSummary> ForMemory(int slot, Kind kind, std::span<const float> samples);

    // The summary of column `channel` of a data file with channelsPerFrame
    // values per frame, once its background build has finished; null before
    // that (the first call starts the build), after a failed build and for a
    // closed file or a bad column. A file whose length changed is
    // summarised again.
    std::shared_ptr<const MinMaxSummary> ForFile(const platform::File& file, int channelsPerFrame, int channel);

    // Forgets the memory summaries of a slot and every file summary.
    void Invalidate(int slot);
    // Forgets everything; running builds are cancelled.
    void InvalidateAll();

    // Waits until no build runs; false on timeout.
    bool WaitForBuilds(std::chrono::milliseconds timeout);
    // Number of file builds started so far (for tests).
    int FileBuildsStarted() const { return m_fileBuildsStarted; }

private:
    struct MemoryEntry {
        const float* data = nullptr;
        std::size_t size = 0;
        std::shared_ptr<const MinMaxSummary> summary;
    };
    // One background pass over a file; filled by its thread under m_mutex.
    struct FileJob {
        std::atomic<bool> cancel{false};
        bool done = false;
        bool failed = false;
        std::vector<std::shared_ptr<const MinMaxSummary>> columns;
    };
    using FileKey = std::tuple<std::string, std::int64_t, int>;  // path, length, values per frame

    static void RunFileJob(std::shared_ptr<FileJob> job, std::string path, std::int64_t length,
                           int channelsPerFrame, std::mutex* mutex, std::condition_variable* changed,
                           std::atomic<int>* running);
    void DropFileJobs();
    void JoinFinishedThreads();

    std::map<std::pair<int, Kind>, MemoryEntry> m_memory;
    std::map<FileKey, std::shared_ptr<FileJob>> m_files;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::atomic<int> m_running{0};
    int m_fileBuildsStarted = 0;
};

}  // namespace vocomet
