// The PortAudio backend of the sound card (Audio.h).

#include <portaudio.h>

#include <cstdlib>
#include <mutex>
#include <utility>

#include "platform/Audio.h"

namespace platform {

namespace {

std::string ErrorText(PaError err) {
    std::string text = Pa_GetErrorText(err);
    if (err == paUnanticipatedHostError) {
        const PaHostErrorInfo* host = Pa_GetLastHostErrorInfo();
        if (host && host->errorText && *host->errorText)
            text += std::string(": ") + host->errorText;
    }
    return text;
}

// PortAudio itself: started by the first backend, ended with the last.
class PortAudioLibrary {
public:
    PortAudioLibrary() {
        // Opening a stream must never start a sound server behind the
        // user's back; a running one is still used.
        ::setenv("JACK_NO_START_SERVER", "1", 0);
        m_error = Pa_Initialize();
    }
    ~PortAudioLibrary() {
        if (m_error == paNoError)
            Pa_Terminate();
    }
    PortAudioLibrary(const PortAudioLibrary&) = delete;
    PortAudioLibrary& operator=(const PortAudioLibrary&) = delete;

    bool Ok() const { return m_error == paNoError; }
    std::string Error() const { return Ok() ? std::string() : ErrorText(m_error); }

private:
    PaError m_error;
};

std::shared_ptr<PortAudioLibrary> TheLibrary() {
    static std::mutex mutex;
    static std::weak_ptr<PortAudioLibrary> current;
    std::lock_guard<std::mutex> lock(mutex);
    std::shared_ptr<PortAudioLibrary> library = current.lock();
    if (!library) {
        library = std::make_shared<PortAudioLibrary>();
        current = library;
    }
    return library;
}

class PortAudioStream final : public AudioStream {
public:
    PortAudioStream(std::shared_ptr<PortAudioLibrary> library, AudioDirection direction,
                    AudioStreamCallback& callback)
        : m_library(std::move(library)), m_direction(direction), m_callback(callback) {}

    ~PortAudioStream() override {
        if (m_stream) {
            Abort();
            Pa_CloseStream(m_stream);
        }
    }

    bool Open(const PaStreamParameters& parameters, double rate, std::string& error) {
        const bool playback = m_direction == AudioDirection::Playback;
        PaError err = Pa_OpenStream(&m_stream, playback ? nullptr : &parameters, playback ? &parameters : nullptr,
                                    rate, paFramesPerBufferUnspecified, paClipOff | paDitherOff, &Trampoline, this);
        if (err != paNoError) {
            m_stream = nullptr;
            error = ErrorText(err);
            return false;
        }
        Pa_SetStreamFinishedCallback(m_stream, &Finished);
        return true;
    }

    bool Start(std::string& error) override {
        const PaError err = Pa_StartStream(m_stream);
        if (err != paNoError) {
            error = ErrorText(err);
            return false;
        }
        return true;
    }

    void Abort() override {
        if (Pa_IsStreamStopped(m_stream) == 0)
            Pa_AbortStream(m_stream);
    }

    bool IsActive() const override { return Pa_IsStreamActive(m_stream) == 1; }
    double StreamTime() const override { return Pa_GetStreamTime(m_stream); }

private:
    static int Trampoline(const void* input, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* time,
                          PaStreamCallbackFlags, void* user) {
        auto* self = static_cast<PortAudioStream*>(user);
        if (self->m_direction == AudioDirection::Playback) {
            // Some hosts leave the output time 0: the buffer then counts as
            // leaving now.
            const double t = time && time->outputBufferDacTime > 0 ? time->outputBufferDacTime
                                                                   : (time ? time->currentTime : 0.0);
            return self->m_callback.RenderOutput(static_cast<std::int16_t*>(output), frames, t) ? paContinue
                                                                                                : paComplete;
        }
        const double t = time && time->inputBufferAdcTime > 0 ? time->inputBufferAdcTime
                                                              : (time ? time->currentTime : 0.0);
        if (!input)
            return paContinue;
        return self->m_callback.CaptureInput(static_cast<const std::int16_t*>(input), frames, t) ? paContinue
                                                                                                 : paComplete;
    }

    static void Finished(void* user) { static_cast<PortAudioStream*>(user)->m_callback.StreamFinished(); }

    std::shared_ptr<PortAudioLibrary> m_library;
    AudioDirection m_direction;
    AudioStreamCallback& m_callback;
    PaStream* m_stream = nullptr;
};

class PortAudioBackend final : public AudioBackend {
public:
    PortAudioBackend() : m_library(TheLibrary()) {}

    bool HasDevice(AudioDirection direction) override { return DefaultDevice(direction) != paNoDevice; }

    bool IsFormatSupported(AudioDirection direction, const AudioFormat& format) override {
        PaStreamParameters parameters;
        if (!Parameters(direction, format, parameters))
            return false;
        const bool playback = direction == AudioDirection::Playback;
        return Pa_IsFormatSupported(playback ? nullptr : &parameters, playback ? &parameters : nullptr,
                                    format.rate) == paFormatIsSupported;
    }

    std::unique_ptr<AudioStream> Open(AudioDirection direction, const AudioFormat& format,
                                      AudioStreamCallback& callback, std::string& error) override {
        if (!m_library->Ok()) {
            error = m_library->Error();
            return nullptr;
        }
        PaStreamParameters parameters;
        if (!Parameters(direction, format, parameters)) {
            error = direction == AudioDirection::Playback ? "There is no sound output device."
                                                          : "There is no sound input device.";
            return nullptr;
        }
        auto stream = std::make_unique<PortAudioStream>(m_library, direction, callback);
        if (!stream->Open(parameters, format.rate, error))
            return nullptr;
        return stream;
    }

    std::string InitError() const override { return m_library->Error(); }

private:
    PaDeviceIndex DefaultDevice(AudioDirection direction) const {
        if (!m_library->Ok())
            return paNoDevice;
        return direction == AudioDirection::Playback ? Pa_GetDefaultOutputDevice() : Pa_GetDefaultInputDevice();
    }

    bool Parameters(AudioDirection direction, const AudioFormat& format, PaStreamParameters& parameters) const {
        const PaDeviceIndex device = DefaultDevice(direction);
        if (device == paNoDevice || format.channels < 1 || format.rate < 1)
            return false;
        const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
        if (!info)
            return false;
        parameters.device = device;
        parameters.channelCount = format.channels;
        parameters.sampleFormat = paInt16;
        // The high latency: playback and recording want no gaps, not speed.
        parameters.suggestedLatency = direction == AudioDirection::Playback ? info->defaultHighOutputLatency
                                                                            : info->defaultHighInputLatency;
        parameters.hostApiSpecificStreamInfo = nullptr;
        return true;
    }

    std::shared_ptr<PortAudioLibrary> m_library;
};

}  // namespace

std::shared_ptr<AudioBackend> MakePortAudioBackend() { return std::make_shared<PortAudioBackend>(); }

}  // namespace platform
