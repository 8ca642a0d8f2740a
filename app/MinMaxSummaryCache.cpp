#include "app/MinMaxSummaryCache.h"

#include <algorithm>

#include "platform/File.h"

namespace vocomet {

MinMaxSummaryCache::~MinMaxSummaryCache() {
    DropFileJobs();
    for (std::thread& t : m_threads)
        if (t.joinable())
            t.join();
}

std::shared_ptr<const MinMaxSummary> MinMaxSummaryCache::ForMemory(int slot, Kind kind,
                                                                   std::span<const float> samples,
                                                                   const std::shared_ptr<const SampleSummary>& handed) {
    if (handed && handed->SampleCount() == static_cast<std::int64_t>(samples.size()))
        return std::make_shared<const MinMaxSummary>(handed);
    MemoryEntry& e = m_memory[{slot, kind}];
    if (!e.summary || e.data != samples.data() || e.size != samples.size()) {
        e.data = samples.data();
        e.size = samples.size();
        e.summary = std::make_shared<const MinMaxSummary>(MinMaxSummary::FromSamples(samples));
        ++m_memoryBuildsMade;
    }
    return e.summary;
}

MinMaxSummaryCache::FileSummary MinMaxSummaryCache::ForFile(const platform::File& file, int channelsPerFrame,
                                                            int channel,
                                                            const std::shared_ptr<const SampleSummary>& handed) {
    if (!file.IsOpen() || channelsPerFrame <= 0 || channel < 0 || channel >= channelsPerFrame)
        return {};
    std::int64_t length = 0;
    try {
        length = file.GetLength();
    } catch (const platform::FileException&) {
        return {};
    }
    const std::int64_t frames = length / (static_cast<std::int64_t>(channelsPerFrame) * 4);
    if (handed && handed->SampleCount() == frames)
        return {std::make_shared<const MinMaxSummary>(handed), false};

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
        job->pieces.resize(static_cast<std::size_t>(channelsPerFrame));
        job->published.resize(static_cast<std::size_t>(channelsPerFrame));
        it = m_files.emplace(key, job).first;
        ++m_fileBuildsStarted;
        m_running.fetch_add(1);
        m_threads.emplace_back(&MinMaxSummaryCache::RunFileJob, this, job, file.GetFilePath(), length,
                               channelsPerFrame, m_pieceBytes);
        return {nullptr, true};
    }
    FileJob& job = *it->second;
    const auto c = static_cast<std::size_t>(channel);
    std::shared_ptr<const MinMaxSummary>& published = job.published[c];
    std::lock_guard<std::mutex> lock(m_mutex);
    if (job.failed)
        return {};
    const std::vector<std::shared_ptr<const SampleSummary>>& pieces = job.pieces[c];
    std::int64_t summarised = 0;
    for (const auto& piece : pieces)
        summarised += piece->SampleCount();
    if (!published || published->PieceCount() != pieces.size() || published->SampleCount() != summarised) {
        // A new piece came, or the pieces were joined into one: a summary
        // of everything so far. The pieces are shared, so this copies only
        // their pointers.
        auto s = std::make_shared<MinMaxSummary>();
        for (const auto& piece : pieces)
            s->Append(piece);
        published = std::move(s);
    }
    return {published->PieceCount() > 0 ? published : nullptr, !job.done};
}

void MinMaxSummaryCache::RunFileJob(std::shared_ptr<FileJob> job, std::string path, std::int64_t length,
                                    int channelsPerFrame, std::int64_t pieceBytes) {
    bool failed = false;
    try {
        const platform::File file(path, platform::File::Mode::Read);
        if (file.GetLength() != length) {
            failed = true;
        } else {
            const std::int64_t frameBytes = static_cast<std::int64_t>(channelsPerFrame) * 4;
            const std::int64_t pieceFrames = std::max<std::int64_t>(1, pieceBytes / frameBytes);
            const bool finished = BuildFileSummaries(
                file, channelsPerFrame, length / frameBytes, pieceFrames, &job->cancel,
                [&](std::vector<SampleSummary>&& columns) {
                    // Made shareable outside the lock; only the hand-over is under it.
                    std::vector<std::shared_ptr<const SampleSummary>> shared;
                    shared.reserve(columns.size());
                    for (SampleSummary& s : columns)
                        shared.push_back(std::make_shared<const SampleSummary>(std::move(s)));
                    {
                        std::lock_guard<std::mutex> lock(m_mutex);
                        for (std::size_t c = 0; c < shared.size() && c < job->pieces.size(); ++c)
                            job->pieces[c].push_back(std::move(shared[c]));
                    }
                    NotifyListeners();
                });
            failed = !finished;  // cancelled
            if (finished)
                JoinPieces(*job);
        }
    } catch (const std::exception&) {
        // An unreadable file gets no summary; the painter scans it instead
        // and meets the error there.
        failed = true;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        job->failed = failed;
        job->done = true;
    }
    // Told before the build counts as ended, so that whoever waited for
    // the builds finds every listener call made.
    NotifyListeners();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_running.fetch_sub(1);
    }
    m_changed.notify_all();
}

void MinMaxSummaryCache::JoinPieces(FileJob& job) {
    // Only this thread adds pieces, so it reads them without the lock.
    for (std::size_t c = 0; c < job.pieces.size(); ++c) {
        if (job.pieces[c].size() < 2 || job.cancel.load())
            continue;
        std::vector<std::shared_ptr<const SampleSummary>> joined;
        try {
            joined.push_back(std::make_shared<const SampleSummary>(SampleSummary::Join(job.pieces[c])));
        } catch (const std::exception&) {
            continue;  // no memory for it: the pieces serve as they are
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        std::swap(job.pieces[c], joined);
    }
}

int MinMaxSummaryCache::AddProgressListener(std::function<void()> listener) {
    std::lock_guard<std::mutex> lock(m_listenersMutex);
    const int id = m_nextListener++;
    m_listeners.emplace_back(id, std::move(listener));
    return id;
}

void MinMaxSummaryCache::RemoveProgressListener(int id) {
    std::lock_guard<std::mutex> lock(m_listenersMutex);
    std::erase_if(m_listeners, [id](const auto& l) { return l.first == id; });
}

void MinMaxSummaryCache::NotifyListeners() {
    std::lock_guard<std::mutex> lock(m_listenersMutex);
    for (const auto& [id, listener] : m_listeners)
        listener();
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
