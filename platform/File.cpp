#include "platform/File.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include "platform/ScratchRun.h"

#if defined(__linux__)
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

namespace platform {

FileException::FileException(Cause cause, std::string path, const std::string& what, int systemError)
    : std::runtime_error(what), m_cause(cause), m_path(std::move(path)), m_systemError(systemError) {}

std::string FileException::GetReason() const { return m_systemError != 0 ? std::strerror(m_systemError) : ""; }

FileException FileException::FromErrno(int err, const std::string& path, const std::string& operation) {
    Cause cause = Cause::Generic;
    switch (err) {
    case ENOENT: cause = Cause::FileNotFound; break;
    case ENOTDIR:
    case ENAMETOOLONG:
    case EISDIR: cause = Cause::BadPath; break;
    case EACCES:
    case EPERM:
    case EROFS: cause = Cause::AccessDenied; break;
    case ENOSPC:
    case EDQUOT: cause = Cause::DiskFull; break;
    default: break;
    }
    return FileException(cause, path, operation + " \"" + path + "\": " + std::strerror(err), err);
}

// The state of a background fill, shared by the file and its thread.
struct File::BackgroundFill {
    File source;  // a duplicate of the caller's source
    std::shared_ptr<const FillSource> made;  // or what makes the bytes
    File target;  // a duplicate of this file, written by the thread only
    std::int64_t sourceOffset = 0;
    std::int64_t bytes = 0;
    // Bytes at the start of the file that are copied: what ReadAt may take
    // from the file itself.
    std::atomic<std::int64_t> copied{0};
    std::atomic<bool> stop{false};
    mutable std::mutex mutex;
    mutable std::condition_variable ended;
    bool done = false;      // guarded by mutex
    bool complete = false;  // guarded by mutex
    std::thread thread;

    void Run() noexcept {
        // Pieces small enough that a stop is felt at once, large enough for
        // the system's copy to run at the disk's speed.
        constexpr std::int64_t kPiece = std::int64_t{64} << 20;
        bool whole = false;
        try {
            std::int64_t at = 0;
            // Made bytes go through a buffer in smaller pieces: each is
            // made first, which takes a while.
            constexpr std::int64_t kMadePiece = std::int64_t{4} << 20;
            std::vector<std::uint8_t> buffer(made ? static_cast<std::size_t>(std::min(kMadePiece, bytes)) : 0);
            while (at < bytes && !stop.load(std::memory_order_relaxed)) {
                const std::int64_t n = std::min(made ? kMadePiece : kPiece, bytes - at);
                std::uint64_t got = 0;
                if (made) {
                    got = made->ReadAt(at, buffer.data(), static_cast<std::size_t>(n));
                    target.WriteAt(at, buffer.data(), static_cast<std::size_t>(got));
                } else {
                    got = CopyRange(source, sourceOffset + at, target, at, static_cast<std::uint64_t>(n));
                }
                at += static_cast<std::int64_t>(got);
                copied.store(at, std::memory_order_release);
                if (got < static_cast<std::uint64_t>(n))
                    break;  // the source ended early
            }
            whole = at == bytes;
        } catch (...) {
            // A failed copy leaves the reads going to the source.
        }
        std::lock_guard lock(mutex);
        done = true;
        complete = whole;
        ended.notify_all();
    }
};

File::File(const std::string& path, Mode mode) {
    FileException error(FileException::Cause::Generic, path, "");
    if (!Open(path, mode, &error))
        throw error;
}

File::File() = default;

File::~File() { Close(); }

// The fill's thread works on duplicates of the descriptors, so a move takes
// it along unharmed.
File::File(File&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)),
      m_path(std::move(other.m_path)),
      m_fill(std::move(other.m_fill)),
      m_sectionStart(std::exchange(other.m_sectionStart, 0)),
      m_sectionLength(std::exchange(other.m_sectionLength, -1)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
        m_fill = std::move(other.m_fill);
        m_sectionStart = std::exchange(other.m_sectionStart, 0);
        m_sectionLength = std::exchange(other.m_sectionLength, -1);
    }
    return *this;
}

bool File::Open(const std::string& path, Mode mode, FileException* error) {
    Close();
    int flags = O_CLOEXEC;
    switch (mode) {
    case Mode::Read: flags |= O_RDONLY; break;
    case Mode::Create: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case Mode::ReadWrite: flags |= O_RDWR; break;
    }
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) {
        if (error)
            *error = FileException::FromErrno(errno, path, "Cannot open");
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        if (error)
            *error = FileException::FromErrno(EISDIR, path, "Cannot open");
        return false;
    }
    m_fd = fd;
    m_path = path;
    return true;
}

void File::Close() {
    StopBackgroundFill();
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_sectionStart = 0;
    m_sectionLength = -1;
}

File File::Section(std::int64_t offset, std::int64_t length, std::string name) const {
    RequireOpen();
    if (offset < 0 || length < 0)
        throw FileException(FileException::Cause::BadPath, m_path, "Negative file offset");
    File section = Duplicate();
    section.m_path = std::move(name);
    // A section of a section lies inside it.
    section.m_sectionStart = m_sectionStart + offset;
    section.m_sectionLength = IsSection() ? std::min(length, std::max<std::int64_t>(0, m_sectionLength - offset)) : length;
    return section;
}

File File::Duplicate() const {
    File copy;
    copy.m_fd = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    if (copy.m_fd < 0)
        throw FileException::FromErrno(errno, m_path, "Cannot open");
    copy.m_path = m_path;
    copy.m_sectionStart = m_sectionStart;
    copy.m_sectionLength = m_sectionLength;
    return copy;
}

std::size_t File::SectionCount(std::int64_t offset, std::size_t count) const {
    if (!IsSection())
        return count;
    if (offset >= m_sectionLength)
        return 0;
    return static_cast<std::size_t>(std::min<std::uint64_t>(count, static_cast<std::uint64_t>(m_sectionLength - offset)));
}

void File::RequireWritable() const {
    RequireOpen();
    if (IsSection())
        throw FileException(FileException::Cause::AccessDenied, m_path, "Cannot write \"" + m_path + "\": it is read only");
}

void File::RequireOpen() const {
    if (m_fd < 0)
        throw FileException(FileException::Cause::Closed, m_path, "File is not open");
}

std::size_t File::Read(void* buffer, std::size_t count) {
    RequireOpen();
    RequireFilled();
    if (IsSection())
        count = SectionCount(GetPosition(), count);
    auto* p = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::read(m_fd, p + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw FileException::FromErrno(errno, m_path, "Cannot read");
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

void File::Write(const void* buffer, std::size_t count) {
    RequireWritable();
    RequireFilled();
    const auto* p = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::write(m_fd, p + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw FileException::FromErrno(errno, m_path, "Cannot write");
        }
        done += static_cast<std::size_t>(n);
    }
}

std::int64_t File::Seek(std::int64_t offset, From from) {
    RequireOpen();
    if (IsSection()) {
        // Positions count from the section's first byte, its end from its
        // length.
        const std::int64_t base = from == From::Begin ? 0 : from == From::Current ? GetPosition() : GetLength();
        if (base + offset < 0)
            throw FileException::FromErrno(EINVAL, m_path, "Cannot seek in");
        if (::lseek(m_fd, static_cast<off_t>(m_sectionStart + base + offset), SEEK_SET) < 0)
            throw FileException::FromErrno(errno, m_path, "Cannot seek in");
        return base + offset;
    }
    int whence = from == From::Begin ? SEEK_SET : from == From::Current ? SEEK_CUR : SEEK_END;
    off_t r = ::lseek(m_fd, static_cast<off_t>(offset), whence);
    if (r < 0)
        throw FileException::FromErrno(errno, m_path, "Cannot seek in");
    return r;
}

std::int64_t File::GetPosition() const {
    RequireOpen();
    off_t r = ::lseek(m_fd, 0, SEEK_CUR);
    if (r < 0)
        throw FileException::FromErrno(errno, m_path, "Cannot seek in");
    return r - m_sectionStart;
}

std::size_t File::ReadAt(std::int64_t offset, void* buffer, std::size_t count) const {
    RequireOpen();
    if (offset < 0)
        throw FileException(FileException::Cause::BadPath, m_path, "Negative file offset");
    auto* p = static_cast<char*>(buffer);
    std::size_t done = 0;
    if (m_fill && count > 0) {
        // What the fill has not copied yet comes from its source, which holds
        // the same bytes.
        const std::int64_t copied = m_fill->copied.load(std::memory_order_acquire);
        const std::int64_t end = offset + static_cast<std::int64_t>(std::min<std::size_t>(
                                              count, static_cast<std::size_t>(std::numeric_limits<std::int64_t>::max() - offset)));
        const std::int64_t from = std::max(offset, copied);
        const std::int64_t to = std::min(end, m_fill->bytes);
        if (from < to) {
            const std::size_t own = from > offset ? ReadAt(offset, p, static_cast<std::size_t>(from - offset)) : 0;
            if (own < static_cast<std::size_t>(from - offset))
                return own;
            const auto want = static_cast<std::size_t>(to - from);
            const std::size_t got = m_fill->made ? m_fill->made->ReadAt(from, p + own, want)
                                                 : m_fill->source.ReadAt(m_fill->sourceOffset + from, p + own, want);
            done = own + got;
            if (got < want || to == end)
                return done;
        }
    }
    count = SectionCount(offset, count);
    while (done < count) {
        ssize_t n = ::pread(m_fd, p + done, count - done, static_cast<off_t>(m_sectionStart + offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw FileException::FromErrno(errno, m_path, "Cannot read");
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

void File::WriteAt(std::int64_t offset, const void* buffer, std::size_t count) {
    RequireWritable();
    RequireFilled();
    if (offset < 0)
        throw FileException(FileException::Cause::BadPath, m_path, "Negative file offset");
    const auto* p = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::pwrite(m_fd, p + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw FileException::FromErrno(errno, m_path, "Cannot write");
        }
        done += static_cast<std::size_t>(n);
    }
}

std::int64_t File::GetLength() const {
    RequireOpen();
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        throw FileException::FromErrno(errno, m_path, "Cannot get the length of");
    if (IsSection())
        return std::clamp<std::int64_t>(st.st_size - m_sectionStart, 0, m_sectionLength);
    return st.st_size;
}

void File::SetLength(std::int64_t length) {
    RequireWritable();
    RequireFilled();
    if (::ftruncate(m_fd, static_cast<off_t>(length)) != 0)
        throw FileException::FromErrno(errno, m_path, "Cannot set the length of");
}

void File::Flush() {
    RequireOpen();
    if (::fsync(m_fd) != 0 && errno != EINVAL)
        throw FileException::FromErrno(errno, m_path, "Cannot flush");
}

void File::StartWriteBack(std::int64_t offset, std::int64_t bytes) {
    if (m_fd < 0 || offset < 0 || bytes <= 0)
        return;
#if defined(__linux__)
    // Starts the write-out of the range's dirty pages and returns at once.
    ::sync_file_range(m_fd, static_cast<off64_t>(offset), static_cast<off64_t>(bytes), SYNC_FILE_RANGE_WRITE);
#endif
}

void File::StartBackgroundFill(const File& source, std::int64_t sourceOffset, std::int64_t bytes) {
    RequireWritable();
    source.RequireOpen();
    StopBackgroundFill();
    if (sourceOffset < 0 || bytes < 0)
        throw FileException(FileException::Cause::BadPath, m_path, "Negative file offset");
    auto fill = std::make_unique<BackgroundFill>();
    fill->source = source.Duplicate();
    fill->sourceOffset = sourceOffset;
    StartFill(std::move(fill), bytes);
}

void File::StartBackgroundFill(std::shared_ptr<const FillSource> source, std::int64_t bytes) {
    RequireWritable();
    StopBackgroundFill();
    if (!source || bytes < 0)
        throw FileException(FileException::Cause::BadPath, m_path, "Negative file offset");
    auto fill = std::make_unique<BackgroundFill>();
    fill->made = std::move(source);
    StartFill(std::move(fill), bytes);
}

void File::StartFill(std::unique_ptr<BackgroundFill> fill, std::int64_t bytes) {
    fill->target = Duplicate();
    fill->bytes = bytes;
    // The file has its full length from the start, so that its length says
    // what it will hold to every reader.
    SetLength(bytes);
    BackgroundFill* state = fill.get();
    fill->thread = std::thread([state] { state->Run(); });
    m_fill = std::move(fill);
}

bool File::WaitForBackgroundFill() const {
    if (!m_fill)
        return true;
    std::unique_lock lock(m_fill->mutex);
    m_fill->ended.wait(lock, [this] { return m_fill->done; });
    return m_fill->complete;
}

bool File::IsFilling() const {
    if (!m_fill)
        return false;
    std::lock_guard lock(m_fill->mutex);
    return !m_fill->done;
}

void File::RequireFilled() const {
    if (!WaitForBackgroundFill())
        throw FileException(FileException::Cause::Generic, m_path,
                            "Cannot write \"" + m_path + "\": the copy of its recording did not complete");
}

void File::StopBackgroundFill() noexcept {
    if (!m_fill)
        return;
    m_fill->stop.store(true, std::memory_order_relaxed);
    if (m_fill->thread.joinable())
        m_fill->thread.join();
    m_fill.reset();
}

namespace {

constexpr std::size_t kCopyBufferBytes = std::size_t{1} << 20;

// The copy through this process: positional reads and writes.
std::uint64_t CopyByReading(const File& from, std::int64_t fromOffset, File& to, std::int64_t toOffset,
                            std::uint64_t bytes) {
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(bytes, kCopyBufferBytes)));
    std::uint64_t done = 0;
    while (done < bytes) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(bytes - done, buffer.size()));
        const std::size_t got = from.ReadAt(fromOffset + static_cast<std::int64_t>(done), buffer.data(), want);
        if (got > 0)
            to.WriteAt(toOffset + static_cast<std::int64_t>(done), buffer.data(), got);
        done += got;
        if (got < want)  // the end of from
            break;
    }
    return done;
}

}  // namespace

std::uint64_t CopyRange(const File& from, std::int64_t fromOffset, File& to, std::int64_t toOffset,
                        std::uint64_t bytes, CopyMethod method) {
    from.RequireOpen();
    to.RequireWritable();
    to.RequireFilled();
    // A file still being filled holds its own bytes only once the fill has
    // ended; one that failed is read through its source.
    if (!from.WaitForBackgroundFill())
        method = CopyMethod::ReadWrite;
    if (fromOffset < 0 || toOffset < 0)
        throw FileException(FileException::Cause::BadPath, to.m_path, "Negative file offset");
    const auto limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (bytes > limit - static_cast<std::uint64_t>(std::max(fromOffset, toOffset)))
        throw FileException(FileException::Cause::BadPath, to.m_path, "File offset out of range");
    // A section gives only its own bytes.
    if (from.IsSection())
        bytes = std::min<std::uint64_t>(bytes, static_cast<std::uint64_t>(std::max<std::int64_t>(0, from.GetLength() - fromOffset)));
    if (bytes == 0)
        return 0;
    std::uint64_t done = 0;
    // Where the bytes lie in the file itself.
    const std::int64_t fromAt = fromOffset + from.m_sectionStart;
#if defined(__linux__)
    if (method == CopyMethod::Fastest) {
#ifdef FICLONERANGE
        // A shared copy of whole blocks, where the file system makes them:
        // only ranges on block boundaries that the source holds whole.
        struct stat st {};
        if (::fstat(to.m_fd, &st) == 0 && st.st_blksize > 0) {
            const auto block = static_cast<std::uint64_t>(st.st_blksize);
            const bool aligned = static_cast<std::uint64_t>(fromAt) % block == 0 &&
                                 static_cast<std::uint64_t>(toOffset) % block == 0 && bytes % block == 0;
            if (aligned && static_cast<std::uint64_t>(fromOffset) + bytes <=
                               static_cast<std::uint64_t>(from.GetLength())) {
                file_clone_range range{};
                range.src_fd = from.m_fd;
                range.src_offset = static_cast<std::uint64_t>(fromAt);
                range.src_length = bytes;
                range.dest_offset = static_cast<std::uint64_t>(toOffset);
                if (::ioctl(to.m_fd, FICLONERANGE, &range) == 0)
                    return bytes;
            }
        }
#endif
        // The kernel's copy. Whatever it refuses (another file system, a
        // kind of file it does not copy, a disk error) goes on by reading
        // and writing, which copies what it can or reports why not.
        off64_t in = static_cast<off64_t>(fromAt);
        off64_t out = static_cast<off64_t>(toOffset);
        while (done < bytes) {
            const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(bytes - done, std::uint64_t{1} << 30));
            const ssize_t n = ::copy_file_range(from.m_fd, &in, to.m_fd, &out, chunk, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<std::uint64_t>(n);
        }
        // Nothing more to copy from a source that has ended.
        if (done < bytes && static_cast<std::uint64_t>(fromOffset) + done >= static_cast<std::uint64_t>(from.GetLength()))
            return done;
    }
#else
    (void)method;
    (void)fromAt;
#endif
    if (done < bytes)
        done += CopyByReading(from, fromOffset + static_cast<std::int64_t>(done), to,
                              toOffset + static_cast<std::int64_t>(done), bytes - done);
    return done;
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

namespace {

// The closes still running. Never destroyed: a close may still run while
// the program ends.
struct BackgroundCloses {
    std::mutex mutex;
    std::condition_variable idle;
    int running = 0;  // guarded by mutex
};

BackgroundCloses& Closes() {
    static BackgroundCloses* closes = new BackgroundCloses;
    return *closes;
}

}  // namespace

void CloseInBackground(std::unique_ptr<File> file) noexcept {
    if (!file || !file->IsOpen())
        return;
    // A small file gives back its few blocks at once: starting a thread
    // would cost more than the close.
    constexpr std::int64_t kCloseHereBelow = std::int64_t{1} << 20;
    try {
        if (file->GetLength() < kCloseHereBelow) {
            file.reset();
            return;
        }
    } catch (const std::exception&) {
        // Length unknown: the thread closes it, as any other.
    }
    BackgroundCloses& closes = Closes();
    {
        std::lock_guard lock(closes.mutex);
        ++closes.running;
    }
    struct Done {
        BackgroundCloses& closes;
        ~Done() {
            std::lock_guard lock(closes.mutex);
            if (--closes.running == 0)
                closes.idle.notify_all();
        }
    };
    try {
        // The thread owns the file; should the thread not start, the file
        // goes with the thread's state, here.
        std::thread([owned = std::move(file), &closes]() mutable {
            Done done{closes};
            owned.reset();
        }).detach();
    } catch (...) {
        Done done{closes};
    }
}

void WaitForBackgroundCloses() {
    BackgroundCloses& closes = Closes();
    std::unique_lock lock(closes.mutex);
    closes.idle.wait(lock, [&closes] { return closes.running == 0; });
}

bool RemoveFileInBackground(const std::string& path) {
    // While a descriptor stays open, removing the name only unlinks it; the
    // space goes when that descriptor closes.
    auto file = std::make_unique<File>();
    if (!file->Open(path, File::Mode::Read))
        return RemoveFile(path);
    const bool removed = RemoveFile(path);
    CloseInBackground(std::move(file));
    return removed;
}

bool ReserveScratchFile(const std::string& path) {
    NoteScratchFile(path);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

std::shared_ptr<File> ShareRemovedWhenReleased(std::string path) {
    struct RemoveWhenReleased {
        std::string path;
        void operator()(File* file) const noexcept {
            std::unique_ptr<File> owned(file);
            if (!path.empty())
                RemoveFile(path);
            CloseInBackground(std::move(owned));
        }
    };
    return std::shared_ptr<File>(new File(), RemoveWhenReleased{std::move(path)});
}

RemoveOnRelease::RemoveOnRelease(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return;
    m_path = path;
    m_device = static_cast<std::uint64_t>(st.st_dev);
    m_inode = static_cast<std::uint64_t>(st.st_ino);
}

RemoveOnRelease::RemoveOnRelease(RemoveOnRelease&& other) noexcept
    : m_path(std::exchange(other.m_path, {})), m_device(other.m_device), m_inode(other.m_inode) {}

RemoveOnRelease& RemoveOnRelease::operator=(RemoveOnRelease&& other) noexcept {
    if (this != &other) {
        Release();
        m_path = std::exchange(other.m_path, {});
        m_device = other.m_device;
        m_inode = other.m_inode;
    }
    return *this;
}

void RemoveOnRelease::Release() noexcept {
    if (m_path.empty())
        return;
    const std::string path = std::exchange(m_path, {});
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && static_cast<std::uint64_t>(st.st_dev) == m_device &&
        static_cast<std::uint64_t>(st.st_ino) == m_inode) {
        try {
            RemoveFileInBackground(path);
        } catch (...) {
            RemoveFile(path);
        }
    }
}

}  // namespace platform
