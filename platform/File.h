#pragma once
// A file object with the three opening modes the system uses, 64-bit offsets
// and positional reads and writes that several threads may issue at once
// (painting, analysis and playback all read the document's data file).

#include <cstddef>
#include <cstdint>
#include <memory>
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

class FillSource;

class File {
public:
    enum class Mode {
        Read,       // existing file, read only
        Create,     // create or truncate, read and write
        ReadWrite,  // existing file, read and write
    };
    enum class From { Begin, Current, End };

    File();
    // Opens or throws FileException.
    File(const std::string& path, Mode mode);
    ~File();

    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;

    // Opens; on failure returns false and fills *error when given.
    bool Open(const std::string& path, Mode mode, FileException* error = nullptr);
    // A read-only file on the same open file as this one that reads as only
    // its bytes from offset on, length of them at most: a recording whose
    // frames sit inside a file of another layout is read where it lies.
    // Offsets and the length of the section count from its first byte; it
    // ends early where the file does. It holds a descriptor of its own (this
    // file may be closed at once) and reads the same file even when its name
    // is given to another; name is what GetFilePath gives (and what messages
    // name). It reads the file's own bytes: not through a background fill
    // of this file. Throws FileException when the descriptor cannot be had.
    File Section(std::int64_t offset, std::int64_t length, std::string name) const;
    bool IsSection() const { return m_sectionLength >= 0; }
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

    // ---- filling the file in the background ----
    //
    // A scratch copy of a long recording can be shown before the copy has
    // finished: the file is set to bytes bytes and filled from source (its
    // bytes from sourceOffset on) by a thread of its own, piece by piece.
    // Until the copy ends, ReadAt of what it has not reached yet reads the
    // source instead, so every reader sees the finished file at once.
    // Writes (Write, WriteAt), length changes and copies out of this file
    // (CopyRange, Read) first wait for the copy; should it have failed, a
    // write throws and a copy out reads through ReadAt. Close and the
    // destructor stop the copy and wait for its thread.
    // The file must be open for writing; source is duplicated, so the
    // caller's file may be closed at once. Throws FileException when the
    // length cannot be set or the source cannot be duplicated.
    void StartBackgroundFill(const File& source, std::int64_t sourceOffset, std::int64_t bytes);
    // The same, with the bytes made by source (the file's bytes as they are
    // to be, converted from something else): the thread writes what it
    // makes, and reads of what it has not reached are made by it too.
    void StartBackgroundFill(std::shared_ptr<const FillSource> source, std::int64_t bytes);
    // Waits for a background fill to end. True when there is none or it
    // copied everything; false when it failed or was stopped.
    bool WaitForBackgroundFill() const;
    // True while a background fill is still copying.
    bool IsFilling() const;

private:
    struct BackgroundFill;
    void RequireOpen() const;
    // Waits for a background fill and throws when it did not complete: the
    // file's own bytes are not whole.
    void RequireFilled() const;
    void StopBackgroundFill() noexcept;
    friend std::uint64_t CopyRange(const File& from, std::int64_t fromOffset, File& to, std::int64_t toOffset,
                                   std::uint64_t bytes, CopyMethod method);

    void RequireWritable() const;
    // The same open file (and section) on a descriptor of its own, with no
    // background fill. Throws FileException when none can be had.
    File Duplicate() const;
    void StartFill(std::unique_ptr<BackgroundFill> fill, std::int64_t bytes);
    // The bytes [offset, offset + count) of a section as they lie in the
    // file: count cut at the section's end.
    std::size_t SectionCount(std::int64_t offset, std::size_t count) const;

    int m_fd = -1;
    std::string m_path;
    std::unique_ptr<BackgroundFill> m_fill;
    // A section's first byte in the file and its length; -1: no section.
    std::int64_t m_sectionStart = 0;
    std::int64_t m_sectionLength = -1;
};

// What a background fill of made bytes takes them from (see
// File::StartBackgroundFill). ReadAt is called by the fill's thread and by
// readers of the file at once.
class FillSource {
public:
    virtual ~FillSource() = default;
    // Puts the count bytes of the file from offset on into buffer; returns
    // the bytes put, fewer only when what they are made from ends early.
    // Read errors throw FileException.
    virtual std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t count) const = 0;
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

// Giving back the blocks and cached pages of a file of gigabytes takes as
// long as copying much of it, and happens when the last descriptor of a
// removed file closes (or when a file is cut to nothing). These hand that
// work to a thread of its own, so the caller goes on at once.
//
// Closes file on a thread of its own (here: under a megabyte, or no thread).
void CloseInBackground(std::unique_ptr<File> file) noexcept;
// Waits until every file handed to CloseInBackground so far is closed.
void WaitForBackgroundCloses();
// Removes a file: its name is gone when this returns, its space is given
// back in the background. False when it could not be removed (missing
// included).
bool RemoveFileInBackground(const std::string& path);

// ---- scratch files that go when nothing needs them ----

// Makes an empty file at path for a scratch file of this program, unless
// something is there already (an exclusive create), having noted it first as
// this run's (see ScratchRun.h), so that a crash at any moment leaves no file
// of this run that the next start cannot tell for a leftover. True when made.
bool ReserveScratchFile(const std::string& path);

// A new, closed file object to be opened on path, shared by whoever reads
// it: when the last holder lets go, the file at path is removed (its name at
// once, its space in the background). For files the program made for
// itself under a name it reserved.
std::shared_ptr<File> ShareRemovedWhenReleased(std::string path);

// Removes a file the program made when the owner lets go of it, unless the
// name then belongs to another file (one put in its place by a rename, say).
// Move-only; an empty one removes nothing.
class RemoveOnRelease {
public:
    RemoveOnRelease() = default;
    // Takes charge of the file now at path (nothing when there is none).
    explicit RemoveOnRelease(const std::string& path);
    ~RemoveOnRelease() { Release(); }
    RemoveOnRelease(RemoveOnRelease&& other) noexcept;
    RemoveOnRelease& operator=(RemoveOnRelease&& other) noexcept;
    RemoveOnRelease(const RemoveOnRelease&) = delete;
    RemoveOnRelease& operator=(const RemoveOnRelease&) = delete;

    // Removes the file now, if it is still the one taken in charge.
    void Release() noexcept;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::uint64_t m_device = 0;
    std::uint64_t m_inode = 0;
};

}  // namespace platform
