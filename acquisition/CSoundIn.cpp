#include "acquisition/CSoundIn.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "platform/Audio.h"
#include "platform/AudioRing.h"
#include "platform/ByteCodec.h"
#include "platform/UserPrompts.h"

namespace vocomet {

namespace {

// How often the writer looks at the ring while recording.
constexpr std::chrono::milliseconds kWriterPeriod{10};
// How long Stop waits for the writer to write what is left and end.
constexpr std::chrono::milliseconds kWriterEndWait{10000};
// Seconds of sound the ring holds: a writer held up by a slow disk for
// that long loses nothing.
constexpr int kRingSeconds = 30;

}  // namespace

// What the writer thread, the audio callback and the UI thread share. It
// lives as long as any of them holds it, so a writer that outlives Stop's
// wait never touches a dead object.
struct CSoundIn::Shared final : platform::AudioStreamCallback {
    // ---- fixed before the stream starts ----
    std::size_t blockSize = 4096;
    platform::Rect monitorRect{};
    std::unique_ptr<platform::AudioRing<std::int16_t>> ring;
    std::unique_ptr<platform::AudioStream> stream;
    // The writer's until it has ended, then the UI thread's.
    platform::File file;

    // ---- the writer's own ----
    std::int64_t offset = 0;  // bytes written
    int column = 0;           // x of the next trace column
    std::vector<std::int16_t> block;
    std::vector<std::uint8_t> bytes;

    std::atomic<bool> accepting{false};
    std::atomic<bool> stopping{false};
    std::atomic<bool> writerDone{false};
    std::atomic<std::int64_t> written{0};
    std::atomic<std::int64_t> lost{0};

    mutable std::mutex monitorMutex;
    SoundInMonitor* monitor = nullptr;

    std::mutex wakeMutex;
    std::condition_variable wake;
    std::condition_variable done;

    bool CaptureInput(const std::int16_t* in, std::size_t frames, double) noexcept override {
        // After the stop nothing more belongs to the recording.
        if (!accepting.load(std::memory_order_acquire))
            return true;
        const std::size_t n = ring->Write(in, frames);
        if (n < frames)
            lost.fetch_add(static_cast<std::int64_t>(frames - n), std::memory_order_relaxed);
        return true;
    }

    // Converts and writes count samples of block, then draws their column.
    void WriteBlock(std::size_t count) {
        bytes.resize(count * 4);
        for (std::size_t i = 0; i < count; ++i)
            platform::PutF32LE(bytes.data() + 4 * i, static_cast<float>(block[i]) * (1.0f / 32768.0f));
        try {
            file.WriteAt(offset, bytes.data(), bytes.size());
            offset += static_cast<std::int64_t>(bytes.size());
            written.fetch_add(static_cast<std::int64_t>(count));
        } catch (...) {
            // The file stays whole up to here; the block is counted as lost.
            lost.fetch_add(static_cast<std::int64_t>(count));
        }
        std::lock_guard<std::mutex> lock(monitorMutex);
        if (!monitor)
            return;
        SoundLevelColumn c;
        c.x = column;
        c.mid = monitorRect.Height() / 2;
        LevelOfBlock(std::span<const std::int16_t>(block.data(), count), monitorRect.Height(), c.max, c.min);
        column = column >= monitorRect.right ? 1 : column + 1;
        monitor->OnLevelColumn(c);
    }

    void Run() {
        block.assign(blockSize, 0);
        std::size_t filled = 0;
        for (;;) {
            // Read the flag first: once it is seen, the ring no longer grows,
            // so draining it below takes everything captured.
            const bool last = stopping.load(std::memory_order_acquire);
            for (;;) {
                const std::size_t got = ring->Read(block.data() + filled, blockSize - filled);
                filled += got;
                if (filled == blockSize) {
                    WriteBlock(filled);
                    filled = 0;
                } else if (got == 0) {
                    break;
                }
            }
            if (last) {
                if (filled > 0)
                    WriteBlock(filled);
                break;
            }
            std::unique_lock<std::mutex> lock(wakeMutex);
            wake.wait_for(lock, kWriterPeriod, [this] { return stopping.load(); });
        }
        std::lock_guard<std::mutex> lock(wakeMutex);
        writerDone.store(true, std::memory_order_release);
        done.notify_all();
    }
};

CSoundIn::CSoundIn(std::shared_ptr<platform::AudioBackend> backend)
    : m_backend(std::move(backend)), m_shared(std::make_shared<Shared>()) {}

CSoundIn::~CSoundIn() {
    Stop();
    if (m_shared->writerDone.load() || !m_started) {
        // A recording nobody took leaves no file behind.
        if (m_shared->file.IsOpen()) {
            m_shared->file.Close();
            if (!m_path.empty())
                platform::RemoveFile(m_path);
        }
    }
}

int CSoundIn::BlockSizeForRate(int sampleRate) {
    if (sampleRate == 16000 || sampleRate == 22050)
        return 8192;
    if (sampleRate == 44100 || sampleRate == 48000)
        return 16384;
    return 4096;
}

void CSoundIn::LevelOfBlock(std::span<const std::int16_t> samples, int height, int& max, int& min) {
    max = -1000000;
    min = 1000000;
    for (const std::int16_t s : samples) {
        const int y = static_cast<int>(static_cast<std::int64_t>(s) * height / 65536);
        max = std::max(max, y);
        min = std::min(min, y);
        if (max == min) {
            ++max;
            --min;
        }
    }
}

void CSoundIn::SetupRecording(platform::UserPrompts& prompts, const std::string& recordingPath, int sampleRate,
                              int bitsPerSample, SoundInMonitor* monitor) {
    if (m_started)
        return;
    m_rate = sampleRate;
    m_bits = bitsPerSample;
    m_blockSize = BlockSizeForRate(sampleRate);
    m_shared->blockSize = static_cast<std::size_t>(m_blockSize);
    m_shared->column = 0;
    m_shared->monitorRect = monitor ? monitor->MonitorRect() : platform::Rect{};
    SetMonitor(monitor);
    try {
        if (m_shared->file.IsOpen()) {
            m_shared->file.Close();
            if (!m_path.empty())
                platform::RemoveFile(m_path);
        }
        m_path.clear();
        m_shared->file = platform::File(recordingPath, platform::File::Mode::Create);
        m_path = recordingPath;
    } catch (const platform::FileException&) {
        prompts.Message(kRecordTempFileFailure, platform::Buttons::Ok, platform::Icon::Error);
        throw;
    }
}

int CSoundIn::Start(platform::UserPrompts& prompts) {
    if (m_started || m_stopped)
        return 1;
    if (!m_backend || !m_backend->HasDevice(platform::AudioDirection::Capture)) {
        std::string text = kNoSoundDevice;
        if (m_backend && !m_backend->InitError().empty())
            text += "\n" + m_backend->InitError();
        prompts.Message(text, platform::Buttons::Ok, platform::Icon::Error);
        return 1;
    }
    Shared& shared = *m_shared;
    std::string error;
    if (m_rate < 1 || m_bits != 16 || !shared.file.IsOpen()) {
        prompts.Message(kCannotOpenSoundInput, platform::Buttons::Ok, platform::Icon::Error);
        return 1;
    }
    try {
        const std::size_t capacity = std::max<std::size_t>(static_cast<std::size_t>(m_rate) * kRingSeconds,
                                                           4 * static_cast<std::size_t>(m_blockSize));
        shared.ring = std::make_unique<platform::AudioRing<std::int16_t>>(capacity);
    } catch (const std::bad_alloc&) {
        prompts.Message(kCannotOpenSoundInput, platform::Buttons::Ok, platform::Icon::Error);
        return 1;
    }
    shared.stream = m_backend->Open(platform::AudioDirection::Capture, platform::AudioFormat{1, m_rate}, shared, error);
    if (!shared.stream) {
        std::string text = kCannotOpenSoundInput;
        if (!error.empty())
            text += "\n" + error;
        prompts.Message(text, platform::Buttons::Ok, platform::Icon::Error);
        return 1;
    }
    shared.accepting.store(true, std::memory_order_release);
    if (!shared.stream->Start(error)) {
        shared.accepting.store(false);
        shared.stream.reset();
        std::string text = kCannotStartWaveIn;
        if (!error.empty())
            text += "\n" + error;
        prompts.Message(text, platform::Buttons::Ok, platform::Icon::Error);
        return 1;
    }
    m_started = true;
    std::thread writer([shared = m_shared] { shared->Run(); });
    writer.detach();
    return 0;
}

int CSoundIn::StartInput() {
    if (!m_started || m_stopped || !m_shared->stream)
        return 1;
    if (m_shared->accepting.load())
        return 0;
    std::string error;
    if (m_shared->stream->IsActive() || m_shared->stream->Start(error)) {
        m_shared->accepting.store(true, std::memory_order_release);
        return 0;
    }
    return 1;
}

void CSoundIn::StopInput() {
    m_shared->accepting.store(false, std::memory_order_release);
    // No callback runs once the stream is aborted.
    if (m_shared->stream)
        m_shared->stream->Abort();
}

bool CSoundIn::Stop() {
    Shared& shared = *m_shared;
    if (!m_started)
        return true;
    if (!m_stopped) {
        m_stopped = true;
        StopInput();
        std::lock_guard<std::mutex> lock(shared.wakeMutex);
        shared.stopping.store(true, std::memory_order_release);
        shared.wake.notify_all();
    }
    std::unique_lock<std::mutex> lock(shared.wakeMutex);
    const bool ended =
        shared.done.wait_for(lock, kWriterEndWait, [&shared] { return shared.writerDone.load(); });
    if (ended)
        shared.stream.reset();
    return ended;
}

platform::File& CSoundIn::GetRecordFile() { return m_shared->file; }

platform::File CSoundIn::TakeRecordFile() {
    if (m_started && !m_shared->writerDone.load(std::memory_order_acquire))
        return platform::File();
    return std::move(m_shared->file);
}

void CSoundIn::SetMonitor(SoundInMonitor* monitor) {
    std::lock_guard<std::mutex> lock(m_shared->monitorMutex);
    m_shared->monitor = monitor;
}

SoundInMonitor* CSoundIn::GetMonitor() const {
    std::lock_guard<std::mutex> lock(m_shared->monitorMutex);
    return m_shared->monitor;
}

bool CSoundIn::IsCapturing() const { return m_started && m_shared->accepting.load(); }

std::int64_t CSoundIn::SamplesWritten() const { return m_shared->written.load(); }

std::int64_t CSoundIn::SamplesLost() const { return m_shared->lost.load(); }

}  // namespace vocomet
