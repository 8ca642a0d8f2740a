#include "platform/BinaryFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

std::size_t ReadBinaryFile(const std::string& path, void* buffer, std::size_t count) {
    File file;
    if (!file.Open(path, File::Mode::Read))
        throw UserException();
    return file.Read(buffer, count);
}

void WriteBinaryFile(const std::string& path, const void* buffer, std::size_t count) {
    ScratchReplacement scratch(path);
    scratch.GetFile().Write(buffer, count);
    scratch.Commit();
}

namespace {

std::atomic<unsigned> g_scratchCounter{0};

// The system's limit on chained links in one path.
constexpr int kMaxLinkHops = 40;

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// Follows symbolic links until the path names something that is not a link
// (or nothing yet: a link to a missing file creates that file).
std::string FollowLinks(const std::string& target) {
    std::string current = target;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        std::vector<char> text(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
        const ssize_t n = ::readlink(current.c_str(), text.data(), text.size());
        if (n < 0)
            throw FileException::FromErrno(errno, target, "Cannot follow the link");
        if (static_cast<std::size_t>(n) >= text.size())  // the link changed under us
            throw FileException::FromErrno(ENAMETOOLONG, target, "Cannot follow the link");
        const std::string next(text.data(), static_cast<std::size_t>(n));
        current = !next.empty() && next[0] == '/' ? next : Join(FolderOf(current), next);
    }
    throw FileException::FromErrno(ELOOP, target, "Cannot follow the link");
}

// A mark of the target's whole name, so scratch names cut to fit the name
// limit still tell two long names with the same beginning apart.
std::string NameMark(const std::string& name) {
    std::uint64_t h = 14695981039346656037ull;  // FNV-1a
    for (unsigned char c : name) {
        h ^= c;
        h *= 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

bool AllDigits(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// Scratch names read "<name, perhaps cut>.~<mark>-<pid>-<n>.tmp"; marker is
// ".~<mark>-" for the name.
bool IsScratchNameFor(const std::string& candidate, const std::string& name, const std::string& marker) {
    static const std::string kEnd = ".tmp";
    const std::size_t at = candidate.rfind(marker);
    if (at == std::string::npos || at > name.size() || candidate.compare(0, at, name, 0, at) != 0)
        return false;
    const std::size_t from = at + marker.size();
    if (candidate.size() < from + kEnd.size() ||
        candidate.compare(candidate.size() - kEnd.size(), kEnd.size(), kEnd) != 0)
        return false;
    const std::string numbers = candidate.substr(from, candidate.size() - kEnd.size() - from);
    const std::size_t dash = numbers.find('-');
    return dash != std::string::npos && AllDigits(numbers.substr(0, dash)) && AllDigits(numbers.substr(dash + 1));
}

// Removes the scratch files of this target that nobody holds: those a
// crashed or killed save left behind. Anything else in the folder, and a
// scratch file another save is filling right now (it holds the lock), stays.
void RemoveLeftoverScratchFiles(const std::string& folder, const std::string& name, const std::string& marker) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    std::vector<std::string> leftovers;
    while (const dirent* entry = ::readdir(dir)) {
        if (IsScratchNameFor(entry->d_name, name, marker))
            leftovers.push_back(Join(folder, entry->d_name));
    }
    ::closedir(dir);
    for (const std::string& path : leftovers) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::lstat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino)
            ::unlink(path.c_str());
        ::close(fd);
    }
}

// Cuts a name to at most limit bytes without splitting a UTF-8 sequence.
std::string CutName(const std::string& name, std::size_t limit) {
    if (name.size() <= limit)
        return name;
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return name.substr(0, cut);
}

}  // namespace

ScratchReplacement::ScratchReplacement(std::string target) : m_target(std::move(target)) {
    m_replaced = FollowLinks(m_target);
    const std::string folder = FolderOf(m_replaced);
    const std::string name = NameOf(m_replaced);
    if (name.empty())
        throw FileException::FromErrno(EISDIR, m_target, "Cannot create");

    long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (limit <= 0)
        limit = NAME_MAX;
    const std::size_t nameMax = static_cast<std::size_t>(limit);
    if (name.size() > nameMax)
        throw FileException::FromErrno(ENAMETOOLONG, m_target, "Cannot create");

    // Replacing by rename would not ask whether the file may be written, so
    // ask first: a read-only file stays as it is.
    struct stat st {};
    if (::stat(m_replaced.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            throw FileException::FromErrno(EISDIR, m_target, "Cannot create");
        if (::faccessat(AT_FDCWD, m_replaced.c_str(), W_OK, AT_EACCESS) != 0)
            throw FileException::FromErrno(errno, m_target, "Cannot write");
    }

    const std::string marker = ".~" + NameMark(name) + "-";
    RemoveLeftoverScratchFiles(folder, name, marker);

    // The scratch file lies beside the file it replaces so the rename stays
    // on one file system; O_EXCL keeps two writers from sharing a name.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string tail = marker + std::to_string(::getpid()) + "-" +
                                 std::to_string(g_scratchCounter.fetch_add(1)) + ".tmp";
        const std::string candidate =
            Join(folder, CutName(name, nameMax > tail.size() ? nameMax - tail.size() : 0) + tail);
        const int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            throw FileException::FromErrno(errno, m_target, "Cannot create a file beside");
        }
        // Locked from now on, so no other save takes it for a leftover. One
        // that got in before the lock has removed it: take another name.
        const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        struct stat own {};
        if (locked && ::fstat(fd, &own) == 0 && own.st_nlink == 0) {
            ::close(fd);
            continue;
        }
        m_lockFd = fd;
        m_scratchPath = candidate;
        try {
            m_file = File(candidate, File::Mode::ReadWrite);
        } catch (...) {
            ::unlink(candidate.c_str());
            ::close(m_lockFd);
            m_lockFd = -1;
            throw;
        }
        return;
    }
    throw FileException(FileException::Cause::Generic, m_target, "No free scratch name beside " + m_target);
}

ScratchReplacement::~ScratchReplacement() {
    m_file.Close();
    if (!m_committed && !m_scratchPath.empty())
        ::unlink(m_scratchPath.c_str());
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

void ScratchReplacement::Commit(bool flushToDisk) {
    if (flushToDisk)
        m_file.Flush();
    m_file.Close();
    struct stat st {};
    if (::stat(m_replaced.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        // Owner and group first: changing them clears the set-id bits the
        // mode then puts back. Only a privileged save can give a file away,
        // so a refused owner is no failure; the mode bits must hold.
        if (::fchown(m_lockFd, st.st_uid, st.st_gid) != 0 &&
            ::fchown(m_lockFd, static_cast<uid_t>(-1), st.st_gid) != 0) {
            // The file keeps the saving user's owner and group.
        }
        if (::fchmod(m_lockFd, st.st_mode & 07777) != 0)
            throw FileException::FromErrno(errno, m_target, "Cannot keep the permissions of");
    }
    if (::rename(m_scratchPath.c_str(), m_replaced.c_str()) != 0)
        throw FileException::FromErrno(errno, m_target, "Cannot replace");
    m_committed = true;
}

}  // namespace platform
