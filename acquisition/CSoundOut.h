#pragma once
// Sound-card output: plays one or two float channels from memory, or
// frames of an interleaved float file, through the default output device
// as 16-bit PCM. At most one exists at a time (held by the application
// state); every play makes a new one, and one is never restarted after
// Stop.
//
// Threads: the UI thread prepares, starts, pauses, restarts and stops. A
// feeding thread fills a ring of 16-bit samples ahead of the device, from
// the prepared memory block or with positional reads of the file, and
// tells the registered client about played blocks and the end; the audio
// callback only copies from the ring. The position follows the stream's
// clock, so a cursor drawn from it shows what is heard.
//
// Samples beyond full scale are clipped, never wrapped; past the end of the
// source (the channel's block or the file) the player plays silence; the
// player counts as playing from a successful Start until the last frame has
// been heard or Stop, and no longer.

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/WinTypes.h"

namespace platform {
class AudioBackend;
class File;
class UserPrompts;
}  // namespace platform

namespace vocomet {

inline constexpr const char* kNoSoundOutputDevice = "No Sound Output Device";
inline constexpr const char* kSoundFormatRefused = "Sound card does not support the requested sound format.";
inline constexpr const char* kSoundOutputCannotOpen = "Sound output Cannot Open Device!";
inline constexpr const char* kSoundOutputMemoryError = "error in memory";

// The window that plays, as the player sees it. The player calls it from
// its feeding thread; an implementation only queues the news to the UI
// thread. Once SetClient(nullptr) (or another client) has returned, no call
// is in progress and none follows.
class SoundOutClient {
public:
    virtual ~SoundOutClient() = default;
    // Another block has been heard; position is the frames heard so far.
    virtual void OnBlockPlayed(std::int64_t position) = 0;
    // The last frame has been heard (not said after Stop).
    virtual void OnPlayEnded() = 0;
};

class CSoundOut {
public:
    // Plays through backend; without one there is no sound device.
    explicit CSoundOut(std::shared_ptr<platform::AudioBackend> backend);
    // Stops.
    ~CSoundOut();
    CSoundOut(const CSoundOut&) = delete;
    CSoundOut& operator=(const CSoundOut&) = delete;

    // Prepares count frames from start of one or two float channels
    // (sourceChannels; second is read only for two), converted into a
    // 16-bit block of outputChannels values a frame: output channel c
    // takes source channel c, or the last source channel where there are
    // fewer. Values past the end of a channel play as silence. Shows "error
    // in memory" and returns false when the block cannot be made; refuses
    // other source counts and bits other than 16. Does not open the device.
    bool PrepareMemory(platform::UserPrompts& prompts, std::span<const float> first, std::span<const float> second,
                       std::int64_t start, std::int64_t count, int rate, int outputChannels, int bits,
                       int sourceChannels, int pickedChannel);
    // Plays count frames from frame start of a file of interleaved float
    // frames, frameWidth values each: channel pickedChannel of each frame,
    // or with -1 the frame's values as source channels (mapped to the
    // output channels as above). Frames past the end of the file play as
    // silence; a read error ends the sound there. Checks the device and
    // the format (with their messages), then starts; true when playing.
    bool PlayFile(platform::UserPrompts& prompts, std::shared_ptr<const platform::File> file, std::int64_t start,
                  std::int64_t count, int rate, int outputChannels, int bits, int frameWidth, int pickedChannel);

    // Opens the default output device and starts what was prepared. 0 when
    // it plays; otherwise non-zero after its message: "No Sound Output
    // Device", the format refusal, or "Sound output Cannot Open Device!"
    // with the device's reason.
    int Start(platform::UserPrompts& prompts);
    // Pause holds the sound where it is (the device plays silence);
    // Restart goes on from there.
    void Restart();
    void Pause();
    // Ends playback now: the feeding thread is told to end and waited for
    // (bounded), the device is closed. Safe to call again.
    void Stop();

    // A pane's owner, kind (3 pitch pane, 2 spectrogram pane) and drawing
    // rectangle; kept for the caller, not used by playback.
    void SetPlayContext(const void* owner, int kind, const platform::Rect& rect);
    const void* GetPlayOwner() const { return m_owner; }
    int GetPlayKind() const { return m_kind; }
    const platform::Rect& GetPlayRect() const { return m_rect; }

    // True when the device takes 16-bit PCM of channels at rate; otherwise
    // beeps, says "Sound card does not support the requested sound
    // format." and returns false.
    bool QueryFormat(platform::UserPrompts& prompts, int channels, int rate, int bits);

    // The client told about played blocks and the end; null for none.
    void SetClient(SoundOutClient* client);
    SoundOutClient* GetClient() const;

    // From a successful Start until the last frame was heard or Stop.
    bool IsPlaying() const;
    bool IsIdle() const { return !IsPlaying(); }
    // The last frame has been heard.
    bool HasEnded() const;
    // Frames heard so far, on the stream's clock: 0 to TotalFrames().
    std::int64_t PlayedFrames() const;
    // Frames of the sound (shorter when a read error ended it early).
    std::int64_t TotalFrames() const;

    // Values per refill: the source's values a frame times the base of the
    // rate; the played-block notifications come every base frames.
    int GetBlockSize() const { return m_blockSize; }
    int GetBlockFrames() const { return m_blockFrames; }
    int GetRate() const { return m_rate; }
    int GetChannels() const { return m_channels; }
    int GetBits() const { return m_bits; }

    // A float sample as a 16-bit value: x 32768, truncated toward zero,
    // clipped to -32768..32767 (NaN is 0).
    static std::int16_t ToPcm16(float x);
    // The base of the refill size for a rate: from a file 4096 at 16000 and
    // 22050 Hz, 8192 at 44100 and 48000 Hz, else 2048; from memory 8192 at
    // those four rates, else 4096.
    static int BlockBase(int rate, bool fromFile);

private:
    struct Shared;
    bool Prepare(int rate, int outputChannels, int bits, int sourceValues, bool fromFile);

    std::shared_ptr<platform::AudioBackend> m_backend;
    std::shared_ptr<Shared> m_shared;
    SoundOutClient* m_client = nullptr;
    bool m_prepared = false;
    bool m_started = false;
    bool m_stopped = false;
    int m_blockSize = 2048;
    int m_blockFrames = 2048;
    int m_rate = 11025;
    int m_channels = 1;
    int m_bits = 16;
    const void* m_owner = nullptr;
    int m_kind = 0;
    platform::Rect m_rect{};
};

}  // namespace vocomet
