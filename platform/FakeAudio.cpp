#include "platform/FakeAudio.h"

#include <algorithm>
#include <utility>

namespace platform {

struct FakeAudioBackend::Registry {
    std::mutex mutex;
    FakeAudioStream* last = nullptr;
    int opened = 0;
};

FakeAudioBackend::FakeAudioBackend() : m_registry(std::make_shared<Registry>()) {}
FakeAudioBackend::~FakeAudioBackend() = default;

bool FakeAudioBackend::HasDevice(AudioDirection direction) {
    return direction == AudioDirection::Playback ? outputPresent : inputPresent;
}

bool FakeAudioBackend::IsFormatSupported(AudioDirection direction, const AudioFormat& format) {
    return HasDevice(direction) && format.channels >= 1 && format.channels <= maxChannels && format.rate > 0 &&
           std::find(refusedRates.begin(), refusedRates.end(), format.rate) == refusedRates.end();
}

std::unique_ptr<AudioStream> FakeAudioBackend::Open(AudioDirection direction, const AudioFormat& format,
                                                    AudioStreamCallback& callback, std::string& error) {
    if (!HasDevice(direction)) {
        error = direction == AudioDirection::Playback ? "There is no sound output device."
                                                      : "There is no sound input device.";
        return nullptr;
    }
    if (!openError.empty()) {
        error = openError;
        return nullptr;
    }
    if (!IsFormatSupported(direction, format)) {
        error = "Invalid sample rate";
        return nullptr;
    }
    auto stream = std::make_unique<FakeAudioStream>(m_registry, direction, format, callback, startError);
    std::lock_guard<std::mutex> lock(m_registry->mutex);
    m_registry->last = stream.get();
    ++m_registry->opened;
    return stream;
}

FakeAudioStream* FakeAudioBackend::LastStream() const {
    std::lock_guard<std::mutex> lock(m_registry->mutex);
    return m_registry->last;
}

int FakeAudioBackend::OpenCount() const {
    std::lock_guard<std::mutex> lock(m_registry->mutex);
    return m_registry->opened;
}

FakeAudioStream::FakeAudioStream(std::shared_ptr<FakeAudioBackend::Registry> registry, AudioDirection direction,
                                 const AudioFormat& format, AudioStreamCallback& callback, std::string startError)
    : m_registry(std::move(registry)),
      m_direction(direction),
      m_format(format),
      m_callback(callback),
      m_startError(std::move(startError)) {}

FakeAudioStream::~FakeAudioStream() {
    Abort();
    std::lock_guard<std::mutex> lock(m_registry->mutex);
    if (m_registry->last == this)
        m_registry->last = nullptr;
}

bool FakeAudioStream::Start(std::string& error) {
    if (!m_startError.empty()) {
        error = m_startError;
        return false;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_active = true;
    m_finished = false;
    return true;
}

void FakeAudioStream::Abort() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_active)
        Finish();
}

void FakeAudioStream::Finish() {
    m_active = false;
    if (!m_finished) {
        m_finished = true;
        m_callback.StreamFinished();
    }
}

bool FakeAudioStream::IsActive() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_active;
}

double FakeAudioStream::StreamTime() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_clock;
}

bool FakeAudioStream::Pump(std::size_t frames) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_active)
        return false;
    const std::size_t values = frames * static_cast<std::size_t>(m_format.channels);
    bool more = true;
    if (m_direction == AudioDirection::Playback) {
        m_buffer.assign(values, std::int16_t{0x5A5A});  // what the callback does not write shows
        more = m_callback.RenderOutput(m_buffer.data(), frames, m_clock + latency);
        m_rendered.insert(m_rendered.end(), m_buffer.begin(), m_buffer.end());
    } else {
        m_buffer.assign(values, 0);
        for (std::size_t i = 0; i < values && m_capturePosition < m_captureSource.size(); ++i)
            m_buffer[i] = m_captureSource[m_capturePosition++];
        more = m_callback.CaptureInput(m_buffer.data(), frames, m_clock - latency);
    }
    m_clock += static_cast<double>(frames) / m_format.rate;
    if (!more) {
        // The device plays what it holds, then the stream finishes.
        m_clock += latency;
        Finish();
    }
    return true;
}

bool FakeAudioStream::RunToEnd(std::size_t framesPerBuffer, int maxBuffers) {
    for (int i = 0; i < maxBuffers; ++i)
        if (!Pump(framesPerBuffer))
            return true;
    return !IsActive();
}

void FakeAudioStream::AdvanceClock(double seconds) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_clock += seconds;
}

std::vector<std::int16_t> FakeAudioStream::Rendered() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rendered;
}

void FakeAudioStream::SetCaptureSource(std::vector<std::int16_t> values) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_captureSource = std::move(values);
    m_capturePosition = 0;
}

}  // namespace platform
