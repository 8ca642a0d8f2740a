#include "platform/File.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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

File::File(const std::string& path, Mode mode) {
    FileException error(FileException::Cause::Generic, path, "");
    if (!Open(path, mode, &error))
        throw error;
}

File::~File() { Close(); }

File::File(File&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)), m_path(std::move(other.m_path)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
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
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void File::RequireOpen() const {
    if (m_fd < 0)
        throw FileException(FileException::Cause::Closed, m_path, "File is not open");
}

std::size_t File::Read(void* buffer, std::size_t count) {
    RequireOpen();
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
    RequireOpen();
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
    return r;
}

std::size_t File::ReadAt(std::int64_t offset, void* buffer, std::size_t count) const {
    RequireOpen();
    if (offset < 0)
        throw FileException(FileException::Cause::BadPath, m_path, "Negative file offset");
    auto* p = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        ssize_t n = ::pread(m_fd, p + done, count - done, static_cast<off_t>(offset + done));
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
    RequireOpen();
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
    return st.st_size;
}

void File::SetLength(std::int64_t length) {
    RequireOpen();
    if (::ftruncate(m_fd, static_cast<off_t>(length)) != 0)
        throw FileException::FromErrno(errno, m_path, "Cannot set the length of");
}

void File::Flush() {
    RequireOpen();
    if (::fsync(m_fd) != 0 && errno != EINVAL)
        throw FileException::FromErrno(errno, m_path, "Cannot flush");
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

}  // namespace platform
