#pragma once
// Whole-file reads and writes of a byte block (settings files and the like),
// and the write-beside-then-rename step every saved file goes through.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/File.h"

namespace platform {

// Reads up to count bytes from the start of the file into buffer and returns
// the number read. A short file leaves the rest of the buffer as it was
// (callers zero it first). Throws UserException when the file cannot be
// opened and FileException on a read error.
std::size_t ReadBinaryFile(const std::string& path, void* buffer, std::size_t count);

// Writes count bytes as the whole content of the file through a
// ScratchReplacement, so a failed or interrupted write leaves the old file as
// it was. Throws FileException, carrying the system's reason, when the file
// cannot be created, written or put in place.
void WriteBinaryFile(const std::string& path, const void* buffer, std::size_t count);

// A scratch file beside a target that replaces the target only on Commit.
// Destroying it without a successful Commit removes the scratch file and
// leaves the target untouched.
//
// The replaced file is the one the target names after following symbolic
// links, so a link stays a link and its file gets the new content. An
// existing file keeps its permission bits (and, where the system allows, its
// owner and group). Scratch names are built from the target's name, cut to
// fit the folder's file-name limit, plus a mark of the full name; scratch
// files of the same target that an earlier run left behind (a crash) are
// removed when the target is next saved. A scratch file in use is locked, so
// a save running at the same time never loses its own.
class ScratchReplacement {
public:
    // Creates an exclusive scratch file beside the file target names.
    // Throws FileException (with the system's reason) when the target is
    // not writable, its name is too long or the scratch file cannot be made.
    explicit ScratchReplacement(std::string target);
    ~ScratchReplacement();
    ScratchReplacement(const ScratchReplacement&) = delete;
    ScratchReplacement& operator=(const ScratchReplacement&) = delete;

    File& GetFile() { return m_file; }
    const std::string& GetScratchPath() const { return m_scratchPath; }
    const std::string& GetTargetPath() const { return m_target; }
    // Flushes (unless told not to: a copy that serves only this session
    // need not wait for the disk), closes and renames the scratch file over
    // the target. Throws FileException when that fails (the target is then
    // untouched).
    void Commit(bool flushToDisk = true);

private:
    std::string m_target;
    std::string m_replaced;  // m_target with its symbolic links followed
    std::string m_scratchPath;
    File m_file;
    int m_lockFd = -1;  // holds the scratch file's lock until it is gone
    bool m_committed = false;
};

// Replaces target with what writer puts into an empty scratch file beside it.
// The target is replaced only when writer returns true; exceptions propagate
// and leave the target as it was.
template <typename Writer>
bool ReplaceFileAtomically(const std::string& target, Writer&& writer) {
    ScratchReplacement scratch(target);
    if (!writer(scratch.GetFile()))
        return false;
    scratch.Commit();
    return true;
}

}  // namespace platform
