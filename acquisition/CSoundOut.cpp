#include "acquisition/CSoundOut.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "platform/Audio.h"
#include "platform/AudioRing.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"
#include "platform/SampleBlock.h"
#include "platform/UserPrompts.h"

namespace vocomet {

namespace {

// How often the feeding thread looks at the ring and the clock.
constexpr std::chrono::milliseconds kFeedPeriod{10};
// How long Stop waits for the feeding thread to end.
constexpr std::chrono::milliseconds kFeederEndWait{2000};

}  // namespace

// What the feeding thread, the audio callback and the UI thread share. It
// lives as long as any of them holds it, so a feeding thread that outlives
// Stop's wait never touches a dead player.
struct CSoundOut::Shared final : platform::AudioStreamCallback {
    // ---- fixed before the stream starts ----
    int outputChannels = 1;
    int rate = 11025;
    std::int64_t blockFrames = 2048;
    // Memory source: the prepared output values.
    platform::Int16Block memory;
    // File source.
    std::shared_ptr<const platform::File> file;
    std::int64_t fileStart = 0;  // first frame
    int frameWidth = 1;
    int picked = -1;
    std::unique_ptr<platform::AudioRing<std::int16_t>> ring;
    std::unique_ptr<platform::AudioStream> stream;  // set before the feeder starts, reset after it ended

    // ---- the feeder's own ----
    std::int64_t fed = 0;  // frames written into the ring
    std::vector<std::uint8_t> readBuffer;
    std::vector<std::int16_t> outBuffer;
    std::int64_t nextMark = 0;

    std::atomic<std::int64_t> total{0};
    std::atomic<bool> fedAll{false};
    std::atomic<bool> paused{false};
    std::atomic<bool> stopping{false};
    std::atomic<bool> ended{false};
    std::atomic<bool> feederDone{false};

    // The callback's last buffer: frames from..to of the sound leave at
    // time. A sequence count guards the three (odd while written).
    std::atomic<std::uint32_t> sequence{0};
    std::atomic<std::int64_t> segmentFrom{0};
    std::atomic<std::int64_t> segmentTo{0};
    std::atomic<double> segmentTime{0.0};
    std::int64_t consumed = 0;  // the callback's own

    mutable std::mutex clientMutex;
    SoundOutClient* client = nullptr;

    std::mutex wakeMutex;
    std::condition_variable wake;
    std::condition_variable done;

    bool RenderOutput(std::int16_t* out, std::size_t frames, double time) noexcept override {
        const std::size_t values = frames * static_cast<std::size_t>(outputChannels);
        std::size_t n = 0;
        if (!paused.load(std::memory_order_acquire))
            n = ring->Read(out, values);
        std::fill(out + n, out + values, std::int16_t{0});
        const std::int64_t from = consumed;
        consumed += static_cast<std::int64_t>(n / static_cast<std::size_t>(outputChannels));
        Publish(from, consumed, time);
        // Once everything was fed and the ring is empty, the sound ends with
        // this buffer.
        return !(fedAll.load(std::memory_order_acquire) && ring->Available() == 0);
    }

    void StreamFinished() noexcept override {
        if (!stopping.load())
            ended.store(true);
    }

    void Publish(std::int64_t from, std::int64_t to, double time) {
        const std::uint32_t s = sequence.load(std::memory_order_relaxed);
        sequence.store(s + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        segmentFrom.store(from, std::memory_order_relaxed);
        segmentTo.store(to, std::memory_order_relaxed);
        segmentTime.store(time, std::memory_order_relaxed);
        sequence.store(s + 2, std::memory_order_release);
    }

    std::int64_t Played() const {
        if (ended.load())
            return total.load();
        std::int64_t from = 0, to = 0;
        double time = 0.0;
        for (;;) {
            const std::uint32_t s0 = sequence.load(std::memory_order_acquire);
            from = segmentFrom.load(std::memory_order_relaxed);
            to = segmentTo.load(std::memory_order_relaxed);
            time = segmentTime.load(std::memory_order_relaxed);
            std::atomic_thread_fence(std::memory_order_acquire);
            if ((s0 & 1u) == 0 && sequence.load(std::memory_order_relaxed) == s0)
                break;
            std::this_thread::yield();
        }
        if (to <= from || !stream)
            return std::clamp<std::int64_t>(from, 0, total.load());
        const double now = stream->StreamTime();
        const double elapsed = std::max(0.0, now - time);
        const auto heard = from + static_cast<std::int64_t>(elapsed * rate);
        return std::clamp<std::int64_t>(heard, from, std::min(to, total.load()));
    }

    // Makes frames frames of output values from the source at frame fed
    // into outBuffer. False on a read error.
    bool Produce(std::int64_t frames) {
        const auto oc = static_cast<std::size_t>(outputChannels);
        outBuffer.assign(static_cast<std::size_t>(frames) * oc, 0);
        if (!memory.IsNull()) {
            const std::size_t first = static_cast<std::size_t>(fed) * oc;
            std::copy_n(memory.data() + first, outBuffer.size(), outBuffer.begin());
            return true;
        }
        if (!file)
            return true;
        const auto width = static_cast<std::size_t>(frameWidth);
        const std::size_t bytes = static_cast<std::size_t>(frames) * width * 4;
        readBuffer.resize(bytes);
        std::size_t got = 0;
        try {
            got = file->ReadAt((fileStart + fed) * static_cast<std::int64_t>(width) * 4, readBuffer.data(), bytes);
        } catch (...) {
            return false;
        }
        // Past the end of the file: silence.
        const std::size_t whole = got / (width * 4);
        const int sourceValues = picked >= 0 ? 1 : frameWidth;
        for (std::size_t i = 0; i < whole; ++i) {
            const std::uint8_t* frame = readBuffer.data() + i * width * 4;
            for (std::size_t c = 0; c < oc; ++c) {
                const int s = std::min(static_cast<int>(c), sourceValues - 1);
                const int column = picked >= 0 ? picked : s;
                outBuffer[i * oc + c] = ToPcm16(platform::GetF32LE(frame + static_cast<std::size_t>(column) * 4));
            }
        }
        return true;
    }

    // Fills the ring as far as it has room for whole blocks.
    void Feed() {
        const auto oc = static_cast<std::size_t>(outputChannels);
        while (!fedAll.load() && !stopping.load()) {
            const std::int64_t remaining = total.load() - fed;
            const std::int64_t n = std::min(blockFrames, remaining);
            if (n > 0 && ring->Free() < static_cast<std::size_t>(n) * oc)
                return;
            if (n > 0) {
                if (!Produce(n)) {
                    // A read error ends the sound where the data stopped.
                    total.store(fed);
                } else {
                    ring->Write(outBuffer.data(), outBuffer.size());
                    fed += n;
                }
            }
            if (fed >= total.load())
                fedAll.store(true, std::memory_order_release);
        }
    }

    void Run() {
        for (;;) {
            Feed();
            {
                std::lock_guard<std::mutex> lock(clientMutex);
                if (client && !stopping.load()) {
                    const std::int64_t position = Played();
                    if (position >= nextMark && position > 0) {
                        client->OnBlockPlayed(position);
                        nextMark = (position / blockFrames + 1) * blockFrames;
                    }
                    if (ended.load()) {
                        client->OnPlayEnded();
                    }
                }
            }
            if (ended.load() || stopping.load())
                break;
            std::unique_lock<std::mutex> lock(wakeMutex);
            wake.wait_for(lock, kFeedPeriod, [this] { return stopping.load(); });
        }
        std::lock_guard<std::mutex> lock(wakeMutex);
        feederDone.store(true);
        done.notify_all();
    }
};

std::int16_t CSoundOut::ToPcm16(float x) {
    if (std::isnan(x))
        return 0;
    const float v = std::trunc(x * 32768.0f);
    if (v >= 32767.0f)
        return 32767;
    if (v <= -32768.0f)
        return -32768;
    return static_cast<std::int16_t>(v);
}

int CSoundOut::BlockBase(int rate, bool fromFile) {
    switch (rate) {
    case 16000:
    case 22050:
        return fromFile ? 4096 : 8192;
    case 44100:
    case 48000:
        return 8192;
    default:
        return fromFile ? 2048 : 4096;
    }
}

CSoundOut::CSoundOut(std::shared_ptr<platform::AudioBackend> backend) : m_backend(std::move(backend)) {}

CSoundOut::~CSoundOut() { Stop(); }

bool CSoundOut::Prepare(int rate, int outputChannels, int bits, int sourceValues, bool fromFile) {
    if (m_started || rate <= 0 || outputChannels < 1 || bits != 16)
        return false;
    m_rate = rate;
    m_channels = outputChannels;
    m_bits = bits;
    m_blockFrames = BlockBase(rate, fromFile);
    m_blockSize = m_blockFrames * std::max(sourceValues, 1);
    m_shared = std::make_shared<Shared>();
    m_shared->rate = rate;
    m_shared->outputChannels = outputChannels;
    m_shared->blockFrames = m_blockFrames;
    m_shared->client = m_client;
    m_prepared = false;
    return true;
}

bool CSoundOut::PrepareMemory(platform::UserPrompts& prompts, std::span<const float> first,
                              std::span<const float> second, std::int64_t start, std::int64_t count, int rate,
                              int outputChannels, int bits, int sourceChannels, int) {
    if ((sourceChannels != 1 && sourceChannels != 2) || start < 0 || count < 0)
        return false;
    if (!Prepare(rate, outputChannels, bits, sourceChannels, false))
        return false;
    const auto oc = static_cast<std::size_t>(outputChannels);
    const auto n = static_cast<std::size_t>(count);
    if (n > 0) {
        m_shared->memory = platform::Int16Block::TryAllocate(n * oc);
        if (m_shared->memory.IsNull()) {
            prompts.Message(kSoundOutputMemoryError, platform::Buttons::Ok, platform::Icon::Error);
            m_shared.reset();
            return false;
        }
    }
    const std::span<const float> sources[2] = {first, second};
    for (std::size_t c = 0; c < oc; ++c) {
        const std::span<const float> source = sources[std::min<std::size_t>(c, sourceChannels - 1)];
        std::int16_t* out = m_shared->memory.data();
        // Past the channel's end the block stays zero: silence.
        const auto from = static_cast<std::size_t>(std::min<std::int64_t>(start, source.size()));
        const std::size_t available = std::min(n, source.size() - from);
        for (std::size_t i = 0; i < available; ++i)
            out[i * oc + c] = ToPcm16(source[from + i]);
    }
    m_shared->total.store(count);
    m_prepared = true;
    return true;
}

bool CSoundOut::PlayFile(platform::UserPrompts& prompts, std::shared_ptr<const platform::File> file,
                         std::int64_t start, std::int64_t count, int rate, int outputChannels, int bits,
                         int frameWidth, int pickedChannel) {
    if (!file || frameWidth < 1 || pickedChannel < -1 || pickedChannel >= frameWidth || start < 0 || count < 0)
        return false;
    if (!m_backend || !m_backend->HasDevice(platform::AudioDirection::Playback)) {
        std::string text = kNoSoundOutputDevice;
        if (m_backend && !m_backend->InitError().empty())
            text += "\n" + m_backend->InitError();
        prompts.Message(text, platform::Buttons::Ok, platform::Icon::Error);
        return false;
    }
    if (!QueryFormat(prompts, outputChannels, rate, bits))
        return false;
    if (!Prepare(rate, outputChannels, bits, frameWidth, true))
        return false;
    m_shared->file = std::move(file);
    m_shared->fileStart = start;
    m_shared->frameWidth = frameWidth;
    m_shared->picked = pickedChannel;
    m_shared->total.store(count);
    m_prepared = true;
    if (Start(prompts) != 0)
        return false;
    Restart();
    return true;
}

bool CSoundOut::QueryFormat(platform::UserPrompts& prompts, int channels, int rate, int bits) {
    const platform::AudioFormat format{channels, rate};
    if (bits == 16 && m_backend && m_backend->IsFormatSupported(platform::AudioDirection::Playback, format))
        return true;
    prompts.Beep();
    prompts.Message(kSoundFormatRefused, platform::Buttons::Ok, platform::Icon::Error);
    return false;
}

int CSoundOut::Start(platform::UserPrompts& prompts) {
    if (!m_prepared || m_started || m_stopped)
        return 1;
    if (!m_backend || !m_backend->HasDevice(platform::AudioDirection::Playback)) {
        std::string text = kNoSoundOutputDevice;
        if (m_backend && !m_backend->InitError().empty())
            text += "\n" + m_backend->InitError();
        prompts.Message(text, platform::Buttons::Ok, platform::Icon::Error);
        return 1;
    }
    if (!QueryFormat(prompts, m_channels, m_rate, m_bits))
        return 1;

    Shared& shared = *m_shared;
    // Four seconds ahead: a sound that short is wholly in the ring before
    // the device starts, and a longer one survives a feeding thread held up
    // by a slow disk.
    const std::size_t ringFrames =
        static_cast<std::size_t>(std::max<std::int64_t>(4 * shared.blockFrames, std::int64_t{4} * m_rate));
    try {
        shared.ring = std::make_unique<platform::AudioRing<std::int16_t>>(ringFrames * m_channels);
    } catch (const std::bad_alloc&) {
        prompts.Message(kSoundOutputMemoryError, platform::Buttons::Ok, platform::Icon::Error);
        return 1;
    }
    // The ring is full before the device asks for its first buffer.
    shared.Feed();

    std::string error;
    shared.stream =
        m_backend->Open(platform::AudioDirection::Playback, platform::AudioFormat{m_channels, m_rate}, shared, error);
    if (!shared.stream || !shared.stream->Start(error)) {
        shared.stream.reset();
        std::string text = kSoundOutputCannotOpen;
        if (!error.empty())
            text += "\n" + error;
        prompts.Message(text, platform::Buttons::Ok, platform::Icon::Error);
        return 1;
    }
    m_started = true;
    std::thread feeder([shared = m_shared] { shared->Run(); });
    feeder.detach();
    return 0;
}

void CSoundOut::Restart() {
    if (m_shared)
        m_shared->paused.store(false, std::memory_order_release);
}

void CSoundOut::Pause() {
    if (m_shared)
        m_shared->paused.store(true, std::memory_order_release);
}

void CSoundOut::Stop() {
    if (m_stopped)
        return;
    if (!m_shared) {
        m_stopped = true;
        m_client = nullptr;
        return;
    }
    m_stopped = true;
    m_client = nullptr;
    Shared& shared = *m_shared;
    shared.stopping.store(true);
    {
        std::lock_guard<std::mutex> lock(shared.clientMutex);
        shared.client = nullptr;
    }
    if (!m_started)
        return;
    // No callback runs once the stream is aborted.
    if (shared.stream)
        shared.stream->Abort();
    std::unique_lock<std::mutex> lock(shared.wakeMutex);
    shared.wake.notify_all();
    // A feeding thread still inside a slow read after the wait keeps the
    // shared state (and the aborted stream) alive until it ends on its own.
    if (shared.done.wait_for(lock, kFeederEndWait, [&shared] { return shared.feederDone.load(); }))
        shared.stream.reset();
}

void CSoundOut::SetPlayContext(const void* owner, int kind, const platform::Rect& rect) {
    m_owner = owner;
    m_kind = kind;
    m_rect = rect;
}

void CSoundOut::SetClient(SoundOutClient* client) {
    m_client = m_stopped ? nullptr : client;
    if (m_shared) {
        std::lock_guard<std::mutex> lock(m_shared->clientMutex);
        m_shared->client = m_client;
    }
}

SoundOutClient* CSoundOut::GetClient() const { return m_client; }

bool CSoundOut::IsPlaying() const { return m_started && !m_stopped && !m_shared->ended.load(); }

bool CSoundOut::HasEnded() const { return m_shared && m_shared->ended.load(); }

std::int64_t CSoundOut::PlayedFrames() const {
    if (!m_started || !m_shared)
        return 0;
    if (m_stopped)
        return m_shared->ended.load() ? m_shared->total.load() : 0;
    return m_shared->Played();
}

std::int64_t CSoundOut::TotalFrames() const { return m_shared ? m_shared->total.load() : 0; }

}  // namespace vocomet
