#pragma once
// A file object with the three opening modes the system uses, 64-bit offsets
// and positional reads and writes that several threads may issue at once
// (painting, analysis and playback all read the document's data file).

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace platform {

// Why a file operation failed. Callers show their own message; the cause
// and path are for that message and for logs. When the system refused the
// operation, what() ends with the system's own words for why (as strerror
// gives them) and GetSystemError/GetReason hold that errno value and text.
class FileException : public std::runtime_error {
public:
    enum class Cause { Generic, FileNotFound, BadPath, AccessDenied, EndOfFile, DiskFull, Closed };

    FileException(Cause cause, std::string path, const std::string& what, int systemError = 0);

    Cause GetCause() const { return m_cause; }
    const std::string& GetPath() const { return m_path; }
    // The errno value behind the failure; 0 when the system was not asked.
    int GetSystemError() const { return m_systemError; }
    // The system's text for GetSystemError ("Permission denied", ...);
    // empty when the system was not asked.
    std::string GetReason() const;

    // Builds the exception from an errno value: what() reads
    // `<operation> "<path>": <system's reason>`.
    static FileException FromErrno(int err, const std::string& path, const std::string& operation);

private:
    Cause m_cause;
    std::string m_path;
    int m_systemError = 0;
};

// A silent abort: the command that catches it ends without a message of its
// own (whoever threw it has already told the user, or there is nothing to say).
class UserException : public std::exception {
public:
    const char* what() const noexcept override { return "operation abandoned"; }
};

// How CopyRange moves the bytes.
enum class CopyMethod {
    // The system's own copy: a shared copy of the blocks where the file
    // system can make one (the ranges then on block boundaries), else a copy
    // inside the kernel; where neither is to be had, as ReadWrite.
    Fastest,
    // Positional reads and writes through a buffer of this process.
    ReadWrite,
};

class File {
public:
    enum class Mode {
        Read,       // existing file, read only
        Create,     // create or truncate, read and write
        ReadWrite,  // existing file, read and write
    };
    enum class From { Begin, Current, End };

    File() = default;
    // Opens or throws FileException.
    File(const std::string& path, Mode mode);
    ~File();

    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;

    // Opens; on failure returns false and fills *error when given.
    bool Open(const std::string& path, Mode mode, FileException* error = nullptr);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    const std::string& GetFilePath() const { return m_path; }

    // Sequential access at the file position. Read returns the bytes read
    // (fewer at the end of the file); Write writes all or throws.
    std::size_t Read(void* buffer, std::size_t count);
    void Write(const void* buffer, std::size_t count);
    std::int64_t Seek(std::int64_t offset, From from = From::Begin);
    std::int64_t GetPosition() const;

    // Positional access: does not move or use the file position, safe from
    // several threads at once. ReadAt returns the bytes read (fewer only at
    // the end of the file).
    std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t count) const;
    void WriteAt(std::int64_t offset, const void* buffer, std::size_t count);

    std::int64_t GetLength() const;
    void SetLength(std::int64_t length);
    void Flush();
    // Asks the system to start writing the given range to disk without
    // waiting for it, so that a long write's final Flush has little left to
    // do. Only a hint: where the system has no such request, or refuses it,
    // nothing happens.
    void StartWriteBack(std::int64_t offset, std::int64_t bytes);

private:
    void RequireOpen() const;
    friend std::uint64_t CopyRange(const File& from, std::int64_t fromOffset, File& to, std::int64_t toOffset,
                                   std::uint64_t bytes, CopyMethod method);

    int m_fd = -1;
    std::string m_path;
};

// Copies bytes bytes of from, starting at fromOffset, into to at toOffset
// (overwriting or extending it). Neither file's position moves. Returns the
// bytes copied: fewer only when from ends first. Throws FileException when a
// read or write fails (a full disk included); what was copied by then stays.
std::uint64_t CopyRange(const File& from, std::int64_t fromOffset, File& to, std::int64_t toOffset,
                        std::uint64_t bytes, CopyMethod method = CopyMethod::Fastest);

// True when a file or folder exists at the path.
bool PathExists(const std::string& path);
// Removes a file; false when it could not be removed (missing included).
bool RemoveFile(const std::string& path);

}  // namespace platform
