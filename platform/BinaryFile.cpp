#include "platform/BinaryFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

std::size_t ReadBinaryFile(const std::string& path, void* buffer, std::size_t count) {
    File file;
    if (!file.Open(path, File::Mode::Read))
        throw UserException();
    return file.Read(buffer, count);
}

void WriteBinaryFile(const std::string& path, const void* buffer, std::size_t count) {
    std::optional<ScratchReplacement> scratch;
    try {
        scratch.emplace(path);
    } catch (const FileException&) {
        throw UserException();
    }
    scratch->GetFile().Write(buffer, count);
    scratch->Commit();
}

namespace {
std::atomic<unsigned> g_scratchCounter{0};
}

ScratchReplacement::ScratchReplacement(std::string target) : m_target(std::move(target)) {
    // The scratch file lies beside the target so the rename stays on one file
    // system; O_EXCL keeps two writers from sharing a scratch name.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::string candidate = m_target + ".~" + std::to_string(::getpid()) + "-" +
                                std::to_string(g_scratchCounter.fetch_add(1)) + ".tmp";
        int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            m_scratchPath = candidate;
            m_file = File(candidate, File::Mode::ReadWrite);
            return;
        }
        if (errno != EEXIST)
            throw FileException::FromErrno(errno, m_target, "Cannot create a file beside");
    }
    throw FileException(FileException::Cause::Generic, m_target, "No free scratch name beside " + m_target);
}

ScratchReplacement::~ScratchReplacement() {
    if (!m_committed) {
        m_file.Close();
        if (!m_scratchPath.empty())
            ::unlink(m_scratchPath.c_str());
    }
}

void ScratchReplacement::Commit() {
    m_file.Flush();
    m_file.Close();
    if (::rename(m_scratchPath.c_str(), m_target.c_str()) != 0)
        throw FileException::FromErrno(errno, m_target, "Cannot replace");
    m_committed = true;
}

}  // namespace platform
