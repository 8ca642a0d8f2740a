#pragma once
// The sound card: 16-bit PCM streams on the default output and input
// devices. A backend opens streams; a stream calls its callback on the
// audio thread with each buffer of frames. The PortAudio backend drives the
// real devices; FakeAudioBackend (FakeAudio.h) lets tests drive the
// callback by hand.
//
// Having no sound device is a normal state: HasDevice says so, and Open
// then fails with a text saying so, never a crash.
//
// Threads: a backend and its streams are used from one thread (the UI
// thread). The callback runs on the audio thread: it must not lock,
// allocate, wait or touch a file; it only moves samples between the buffer
// it is given and memory prepared before the stream started.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

enum class AudioDirection { Playback, Capture };

// Interleaved signed 16-bit samples, channels values a frame.
struct AudioFormat {
    int channels = 1;
    int rate = 11025;  // frames per second
};

class AudioStreamCallback {
public:
    virtual ~AudioStreamCallback() = default;

    // Playback, audio thread: fill frames frames (frames x channels values)
    // of out. time is the stream clock (seconds, as StreamTime) at which
    // the first of them reaches the output. Return false once the last
    // frame of the sound is in out (the rest of out zero): the stream then
    // plays what it holds and finishes.
    virtual bool RenderOutput(std::int16_t* out, std::size_t frames, double time) noexcept {
        (void)time;
        for (std::size_t i = 0; i < frames; ++i)
            out[i] = 0;
        return false;
    }
    // Capture, audio thread: frames frames captured, the first at stream
    // time time. Return false to finish the stream.
    virtual bool CaptureInput(const std::int16_t* in, std::size_t frames, double time) noexcept {
        (void)in;
        (void)frames;
        (void)time;
        return true;
    }
    // The stream has finished: after the last buffer was played (or the
    // last capture taken), or after Abort. Called once, on any thread.
    virtual void StreamFinished() noexcept {}
};

class AudioStream {
public:
    virtual ~AudioStream() = default;  // aborts a running stream and closes it

    // Starts calling the callback. False with a reason when the device
    // refuses.
    virtual bool Start(std::string& error) = 0;
    // Ends the stream now: what the device still holds is dropped. The
    // callback is not called again once Abort returns (StreamFinished may be
    // called from within).
    virtual void Abort() = 0;
    // True from Start until the stream has finished or was aborted.
    virtual bool IsActive() const = 0;
    // The stream's clock in seconds (same base as the callback's time).
    virtual double StreamTime() const = 0;
};

class AudioBackend {
public:
    virtual ~AudioBackend() = default;

    // Whether a default device of that direction exists.
    virtual bool HasDevice(AudioDirection direction) = 0;
    // Whether the default device takes the format (nothing is opened).
    virtual bool IsFormatSupported(AudioDirection direction, const AudioFormat& format) = 0;
    // Opens the default device of that direction, stopped. The callback
    // must outlive the stream. Null with a reason when it cannot be opened
    // (no device, a refused format, a device error).
    virtual std::unique_ptr<AudioStream> Open(AudioDirection direction, const AudioFormat& format,
                                              AudioStreamCallback& callback, std::string& error) = 0;
    // Why the backend has no sound at all (the library could not start);
    // empty when it works.
    virtual std::string InitError() const { return {}; }
};

// The PortAudio backend. PortAudio starts when the first one is made and
// ends when the last one goes; it sees the devices present at that moment.
// Never null: when PortAudio cannot start, the backend has no device and
// InitError says why.
std::shared_ptr<AudioBackend> MakePortAudioBackend();

}  // namespace platform
