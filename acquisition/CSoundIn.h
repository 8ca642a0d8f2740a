#pragma once
// Sound-card input: records mono 16-bit PCM from the default input device
// into a headerless file of 32-bit floats (a sample s stored as s / 32768),
// and hands the window that watches a column of a level trace for every
// block written. At most one exists at a time (held by the application
// state).
//
// Threads: the UI thread sets up, starts, stops and takes the file. The
// audio callback only copies the captured samples into a ring; a writer
// thread takes them from the ring in blocks, converts and writes them and
// tells the monitor. StopInput ends the capture (nothing captured after it
// is kept); Stop then tells the writer to write what the ring still holds
// and waits (bounded) for it to say it has ended. The recording file is
// handed out only after its writer has ended.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/File.h"
#include "platform/WinTypes.h"

namespace platform {
class AudioBackend;
class UserPrompts;
}  // namespace platform

namespace vocomet {

inline constexpr const char* kNoSoundDevice = "No Sound Device";
inline constexpr const char* kRecordTempFileFailure = "Failure to create a temp file to record.";
inline constexpr const char* kCannotOpenSoundInput = "Cannot Open Sound Input Device!";
inline constexpr const char* kCannotStartWaveIn = "Cannot Start Wave In !";

// One column of the level trace: lines from (x, mid) to (x, mid - max) and
// on to (x, mid - min), in the monitor rectangle's coordinates.
struct SoundLevelColumn {
    int x = 0;
    int mid = 0;
    int max = 0;
    int min = 0;
};

// The window that shows the level trace. MonitorRect is asked once, on the
// UI thread, when the recording is set up; OnLevelColumn comes from the
// writer thread and must only queue the column to the UI thread. Once
// CSoundIn::SetMonitor(nullptr) has returned no call is in progress and
// none follows.
class SoundInMonitor {
public:
    virtual ~SoundInMonitor() = default;
    virtual platform::Rect MonitorRect() const = 0;
    virtual void OnLevelColumn(const SoundLevelColumn& column) = 0;
};

class CSoundIn {
public:
    // Idle: 11025 Hz, 4096 samples a block, no monitor, no file. Records
    // through backend; without one there is no sound device.
    explicit CSoundIn(std::shared_ptr<platform::AudioBackend> backend = nullptr);
    // Stops; a recording file nobody took is closed and removed.
    ~CSoundIn();
    CSoundIn(const CSoundIn&) = delete;
    CSoundIn& operator=(const CSoundIn&) = delete;

    // Keeps the rate and the monitor (and its rectangle), picks the block
    // size from the rate (8192 samples at 16000 and 22050 Hz, 16384 at
    // 44100 and 48000 Hz, 4096 otherwise) and creates the recording file
    // at path. When the file cannot be created shows "Failure to create a
    // temp file to record." and rethrows the platform::FileException.
    void SetupRecording(platform::UserPrompts& prompts, const std::string& recordingPath, int sampleRate,
                        int bitsPerSample, SoundInMonitor* monitor);

    // Opens the default input device (mono, 16 bits, the rate) and starts
    // capturing into the file: 0 when recording runs. Otherwise non-zero
    // after its message: "No Sound Device" (also when there is no backend),
    // "Cannot Open Sound Input Device!" with the device's reason (a refused
    // rate included), or "Cannot Start Wave In !". Nothing is open then.
    int Start(platform::UserPrompts& prompts);
    // Starts capture again on an open device that was stopped; 0 when it
    // runs.
    int StartInput();
    // Ends the capture: the device is stopped and whatever it delivers from
    // now on is dropped. Safe to call again.
    void StopInput();
    // StopInput, then the writer writes what the ring holds (a last block
    // shorter than the block size included) and ends; waits for that,
    // bounded. True when the writer has ended (or never ran). Safe to call
    // again.
    bool Stop();

    // The recording file, owned by this object (open once set up).
    platform::File& GetRecordFile();
    // Hands the recording file to the caller, who owns it from then on.
    // Only after Stop has seen the writer end; otherwise (and a second
    // time) a closed file.
    platform::File TakeRecordFile();
    // The path the recording file was created at (also once taken).
    const std::string& GetRecordPath() const { return m_path; }

    // Replaces the monitor (null: none) without touching its rectangle.
    void SetMonitor(SoundInMonitor* monitor);
    SoundInMonitor* GetMonitor() const;

    int GetSampleRate() const { return m_rate; }
    int GetBitsPerSample() const { return m_bits; }
    int GetBlockSize() const { return m_blockSize; }
    // True from a successful Start until StopInput.
    bool IsCapturing() const;
    // Samples written to the file so far.
    std::int64_t SamplesWritten() const;
    // Samples lost because the ring was full or a write failed.
    std::int64_t SamplesLost() const;

    static int BlockSizeForRate(int sampleRate);
    // The level column of one block for a monitor of the given height:
    // each sample s maps to y = s x height / 65536 (toward zero); max and
    // min start at -1000000 and 1000000, and whenever after a sample they
    // are equal they are pushed apart by one.
    static void LevelOfBlock(std::span<const std::int16_t> samples, int height, int& max, int& min);

private:
    struct Shared;
    std::shared_ptr<platform::AudioBackend> m_backend;
    std::shared_ptr<Shared> m_shared;
    int m_rate = 11025;
    int m_bits = 16;
    int m_blockSize = 4096;
    std::string m_path;
    bool m_started = false;
    bool m_stopped = false;
};

}  // namespace vocomet
