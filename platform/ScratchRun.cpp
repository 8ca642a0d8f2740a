#include "platform/ScratchRun.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>
#include <vector>

#include "platform/File.h"

namespace fs = std::filesystem;

namespace platform {
namespace {

struct Run {
    std::mutex mutex;
    std::string folder;
    std::string recordName;  // the record's file name in folder
    int folderFd = -1;       // the folder itself, for its lock
    int recordFd = -1;       // this run's record, locked while the run lasts
};

Run& TheRun() {
    // Never destroyed: a late scratch file may be noted while the program ends.
    static Run* run = new Run;
    return *run;
}

bool Lock(int fd, int operation) {
    while (::flock(fd, operation) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

class FolderLock {
public:
    FolderLock(int fd, int operation) : m_fd(fd), m_locked(fd >= 0 && Lock(fd, operation)) {}
    ~FolderLock() {
        if (m_locked)
            ::flock(m_fd, LOCK_UN);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool Locked() const { return m_locked; }

private:
    int m_fd;
    bool m_locked;
};

// The names in a record. Only whole lines count: a run that died while
// writing a line may have left part of a path, which could name another file.
std::vector<std::string> ReadNames(int fd) {
    std::string text;
    char buffer[8192];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
        at += n;
    }
    std::vector<std::string> names;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        if (end > start)
            names.push_back(text.substr(start, end - start));
    return names;
}

struct Record {
    std::string path;
    int fd = -1;
    bool ended = false;  // its run no longer holds the lock
    std::vector<std::string> names;
};

// The records in folder other than ownName. To be called under the folder's
// exclusive lock; the records of ended runs come back locked.
std::vector<Record> ReadRecords(const std::string& folder, const std::string& ownName) {
    std::vector<Record> records;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(kScratchRunPrefix, 0) != 0 || name == ownName)
            continue;
        Record r;
        r.path = it->path().string();
        r.fd = ::open(r.path.c_str(), O_RDONLY | O_CLOEXEC);
        if (r.fd < 0)
            continue;
        r.ended = ::flock(r.fd, LOCK_EX | LOCK_NB) == 0;
        r.names = ReadNames(r.fd);
        records.push_back(std::move(r));
    }
    return records;
}

// Removes the files of the ended runs' records (and ownNames, when given)
// that no running instance names, then the ended records; closes them all.
void RemoveLeftovers(std::vector<Record>& records, const std::vector<std::string>* ownNames) {
    std::set<std::string> inUse;
    for (const Record& r : records)
        if (!r.ended)
            inUse.insert(r.names.begin(), r.names.end());
    const auto removeUnused = [&inUse](const std::vector<std::string>& names) {
        for (const std::string& name : names)
            if (!inUse.count(name))
                RemoveFileInBackground(name);
    };
    for (Record& r : records) {
        if (r.ended) {
            removeUnused(r.names);
            ::unlink(r.path.c_str());
        }
        ::close(r.fd);
    }
    if (ownNames)
        removeUnused(*ownNames);
}

void EndLocked(Run& run) {
    if (run.recordFd < 0)
        return;
    {
        FolderLock lock(run.folderFd, LOCK_EX);
        const std::vector<std::string> own = ReadNames(run.recordFd);
        std::vector<Record> records = ReadRecords(run.folder, run.recordName);
        RemoveLeftovers(records, &own);
        ::unlink((fs::path(run.folder) / run.recordName).c_str());
    }
    ::close(run.recordFd);
    ::close(run.folderFd);
    run.recordFd = run.folderFd = -1;
    run.folder.clear();
    run.recordName.clear();
    WaitForBackgroundCloses();
}

std::string FullPath(const std::string& path) {
    std::error_code ec;
    const fs::path full = fs::absolute(path, ec);
    return ec ? std::string() : full.lexically_normal().string();
}

bool WriteAll(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool BeginScratchRun(const std::string& folder) {
    Run& run = TheRun();
    std::lock_guard guard(run.mutex);
    const std::string full = FullPath(folder);
    if (full.empty())
        return false;
    if (run.recordFd >= 0) {
        if (run.folder == full)
            return true;
        EndLocked(run);
    }
    const int folderFd = ::open(full.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return false;
    int recordFd = -1;
    std::string recordName;
    {
        FolderLock lock(folderFd, LOCK_EX);
        if (lock.Locked()) {
            std::vector<Record> records = ReadRecords(full, std::string());
            RemoveLeftovers(records, nullptr);
            // A live run of another process with the same id (another process
            // namespace sharing the folder) keeps its record: take another name.
            const std::string base = kScratchRunPrefix + std::to_string(::getpid());
            for (int k = 1; k <= 100 && recordFd < 0; ++k) {
                recordName = k == 1 ? base : base + "-" + std::to_string(k);
                const std::string path = (fs::path(full) / recordName).string();
                const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
                if (fd < 0)
                    break;
                if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::ftruncate(fd, 0) == 0)
                    recordFd = fd;
                else
                    ::close(fd);
            }
        }
    }
    if (recordFd < 0) {
        ::close(folderFd);
        return false;
    }
    run.folder = full;
    run.recordName = recordName;
    run.folderFd = folderFd;
    run.recordFd = recordFd;
    return true;
}

void NoteScratchFile(const std::string& path) {
    Run& run = TheRun();
    std::lock_guard guard(run.mutex);
    if (run.recordFd < 0)
        return;
    const std::string full = FullPath(path);
    if (full.empty() || full.find('\n') != std::string::npos)
        return;
    FolderLock lock(run.folderFd, LOCK_SH);
    WriteAll(run.recordFd, full + '\n');
}

void EndScratchRun() {
    Run& run = TheRun();
    std::lock_guard guard(run.mutex);
    EndLocked(run);
}

}  // namespace platform
