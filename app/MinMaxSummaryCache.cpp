#include "app/MinMaxSummaryCache.h"

#include <numeric>

#include "platform/File.h"

namespace vocomet {

MinMaxSummaryCache::~MinMaxSummaryCache() {
    DropFileJobs();
    for (std::thread& t : m_threads)
        if (t.joinable())
            t.join();
}

std::shared_ptr<const MinMaxSummary> MinMaxSummaryCache::ForMemory(int slot, Kind kind,
                                                                   std::span<const float> samples) {
    MemoryEntry& e = m_memory[{slot, kind}];
    if (!e.summary || e.data != samples.data() || e.size != samples.size()) {
        e.data = samples.data();
        e.size = samples.size();
        e.summary = std::make_shared<const MinMaxSummary>(MinMaxSummary::FromSamples(samples));
    }
    return e.summary;
}

std::shared_ptr<const MinMaxSummary> MinMaxSummaryCache::ForFile(const platform::File& file, int channelsPerFrame,
                                                                 int channel) {
    if (!file.IsOpen() || channelsPerFrame <= 0 || channel < 0 || channel >= channelsPerFrame)
        return nullptr;
    std::int64_t length = 0;
    try {
        length = file.GetLength();
    } catch (const platform::FileException&) {
        return nullptr;
    }
    const FileKey key{file.GetFilePath(), length, channelsPerFrame};
    auto it = m_files.find(key);
    if (it == m_files.end()) {
        // A file of another length under the same path has changed: its
        // summaries are of no use any more.
        for (auto old = m_files.begin(); old != m_files.end();) {
            if (std::get<0>(old->first) == file.GetFilePath() && std::get<2>(old->first) == channelsPerFrame) {
                old->second->cancel.store(true);
                old = m_files.erase(old);
            } else {
                ++old;
            }
        }
        JoinFinishedThreads();
        auto job = std::make_shared<FileJob>();
        it = m_files.emplace(key, job).first;
        ++m_fileBuildsStarted;
        m_running.fetch_add(1);
        m_threads.emplace_back(&MinMaxSummaryCache::RunFileJob, job, file.GetFilePath(), length, channelsPerFrame,
                               &m_mutex, &m_changed, &m_running);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    const FileJob& job = *it->second;
    if (!job.done || job.failed || static_cast<std::size_t>(channel) >= job.columns.size())
        return nullptr;
    return job.columns[static_cast<std::size_t>(channel)];
}

void MinMaxSummaryCache::RunFileJob(std::shared_ptr<FileJob> job, std::string path, std::int64_t length,
                                    int channelsPerFrame, std::mutex* mutex, std::condition_variable* changed,
                                    std::atomic<int>* running) {
    std::vector<std::shared_ptr<const MinMaxSummary>> columns;
    bool failed = false;
    try {
        const platform::File file(path, platform::File::Mode::Read);
        if (file.GetLength() != length) {
            failed = true;
        } else {
            std::vector<int> all(static_cast<std::size_t>(channelsPerFrame));
            std::iota(all.begin(), all.end(), 0);
            std::vector<MinMaxSummary> built = BuildFileSummaries(file, channelsPerFrame, all, &job->cancel);
            if (built.size() != all.size())
                failed = true;  // cancelled
            for (MinMaxSummary& s : built)
                columns.push_back(std::make_shared<const MinMaxSummary>(std::move(s)));
        }
    } catch (const std::exception&) {
        // An unreadable file gets no summary; the painter scans it instead
        // and meets the error there.
        failed = true;
    }
    {
        std::lock_guard<std::mutex> lock(*mutex);
        job->columns = std::move(columns);
        job->failed = failed;
        job->done = true;
        running->fetch_sub(1);
    }
    changed->notify_all();
}

void MinMaxSummaryCache::Invalidate(int slot) {
    m_memory.erase({slot, Kind::Samples});
    m_memory.erase({slot, Kind::Intensity});
    DropFileJobs();
}

void MinMaxSummaryCache::InvalidateAll() {
    m_memory.clear();
    DropFileJobs();
}

void MinMaxSummaryCache::DropFileJobs() {
    for (auto& [key, job] : m_files)
        job->cancel.store(true);
    m_files.clear();
    JoinFinishedThreads();
}

void MinMaxSummaryCache::JoinFinishedThreads() {
    // Threads of finished jobs end right after they report; joining them
    // here keeps the list short. Running ones are left to the destructor.
    if (m_running.load() == 0) {
        for (std::thread& t : m_threads)
            if (t.joinable())
                t.join();
        m_threads.clear();
    }
}

bool MinMaxSummaryCache::WaitForBuilds(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_running.load() == 0; });
}

}  // namespace vocomet
