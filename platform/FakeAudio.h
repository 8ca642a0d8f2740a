#pragma once
// A sound card for tests: streams open like real ones, but their callback
// runs only when the test pumps a buffer, on the test's thread, with a
// clock the test moves. What playback renders is kept; capture takes its
// frames from a list the test fills. Devices, refused formats and device
// errors are set by the test.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Audio.h"

namespace platform {

class FakeAudioStream;

class FakeAudioBackend final : public AudioBackend {
public:
    FakeAudioBackend();
    ~FakeAudioBackend() override;

    bool outputPresent = true;
    bool inputPresent = true;
    std::vector<int> refusedRates;  // formats at these rates are refused
    int maxChannels = 2;            // more channels are refused
    std::string openError;          // when set, Open fails with it
    std::string startError;         // when set, Start fails with it
    std::string initError;          // what InitError says

    bool HasDevice(AudioDirection direction) override;
    bool IsFormatSupported(AudioDirection direction, const AudioFormat& format) override;
    std::unique_ptr<AudioStream> Open(AudioDirection direction, const AudioFormat& format,
                                      AudioStreamCallback& callback, std::string& error) override;
    std::string InitError() const override { return initError; }

    // The stream opened last while it exists, else null.
    FakeAudioStream* LastStream() const;
    int OpenCount() const;

private:
    friend class FakeAudioStream;
    struct Registry;
    std::shared_ptr<Registry> m_registry;
};

class FakeAudioStream final : public AudioStream {
public:
    FakeAudioStream(std::shared_ptr<FakeAudioBackend::Registry> registry, AudioDirection direction,
                    const AudioFormat& format, AudioStreamCallback& callback, std::string startError);
    ~FakeAudioStream() override;

    bool Start(std::string& error) override;
    void Abort() override;
    bool IsActive() const override;
    double StreamTime() const override;

    // Runs the callback once with a buffer of frames stamped with the
    // clock plus latency, then moves the clock on by the buffer's length.
    // A callback that says it is done finishes the stream (StreamFinished).
    // False when the stream was not running.
    bool Pump(std::size_t frames);
    // Pumps buffers until the stream finishes; false when it has not after
    // maxBuffers.
    bool RunToEnd(std::size_t framesPerBuffer, int maxBuffers = 1000000);
    // Moves the clock without running the callback.
    void AdvanceClock(double seconds);

    const AudioFormat& Format() const { return m_format; }
    AudioDirection Direction() const { return m_direction; }
    // Every value playback rendered, padding included.
    std::vector<std::int16_t> Rendered() const;
    // Capture: the values handed to the callback, in order; zeros after
    // they run out.
    void SetCaptureSource(std::vector<std::int16_t> values);
    double latency = 0.0;  // seconds between a buffer's rendering and its output

private:
    void Finish();

    std::shared_ptr<FakeAudioBackend::Registry> m_registry;
    AudioDirection m_direction;
    AudioFormat m_format;
    AudioStreamCallback& m_callback;
    std::string m_startError;
    mutable std::mutex m_mutex;  // the test's thread against a reader of the clock
    bool m_active = false;
    bool m_finished = false;
    double m_clock = 0.0;
    std::vector<std::int16_t> m_rendered;
    std::vector<std::int16_t> m_captureSource;
    std::size_t m_capturePosition = 0;
    std::vector<std::int16_t> m_buffer;
};

}  // namespace platform
