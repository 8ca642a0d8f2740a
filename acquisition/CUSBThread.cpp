#include "acquisition/CUSBThread.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "acquisition/CUSBHardware.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"

namespace vocomet {

namespace {

// A float to play as a box word: x times 2^23 truncated toward zero, in
// double precision; no clipping at 24 bits, only at the word's own range.
std::uint32_t PlayWord(float x) {
    const double v = std::trunc(static_cast<double>(x) * kAudioBoxFullScale);
    if (!(v == v))
        return 0;
    const double clamped = std::clamp(v, static_cast<double>(std::numeric_limits<std::int32_t>::min()),
                                      static_cast<double>(std::numeric_limits<std::int32_t>::max()));
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(clamped));
}

float SampleAt(const float* samples, std::size_t count, std::int64_t index, std::int64_t end) {
    if (!samples || index < 0 || index >= end || static_cast<std::uint64_t>(index) >= count)
        return 0.0f;
    return samples[index];
}

// The legacy form of a window as a client.
class ViewClient final : public UsbThreadClient {
public:
    ViewClient(AcquisitionView* view, int timer) : m_view(view), m_timer(timer) {}
    void OnSampleBlock(const std::uint8_t* block, std::size_t bytes, std::int64_t) override {
        std::vector<std::int32_t> words(std::min(bytes, kAudioBoxFrames * 8) / 4);
        for (std::size_t i = 0; i < words.size(); ++i)
            words[i] = static_cast<std::int32_t>(platform::GetU32LE(block + 4 * i));
        m_view->StoreLatestBlock(words.data(), words.size() / 2);
        m_view->SetViewTimer(m_timer, 1);
    }
    void OnBlockPlayed(std::int64_t) override { m_view->SetViewTimer(m_timer, 1); }
    void OnRunEnded() override {
        if (m_timer == kPlayCursorTimer)
            m_view->ClearPlayCursorRunning();
    }

private:
    AcquisitionView* m_view;
    int m_timer;
};

}  // namespace

// The device's failure texts go to the run's client (if it is still there).
class CUSBThread::ClientReport final : public DeviceReport {
public:
    ClientReport(CUSBThread& thread, int cookie, UsbThreadClient* legacy)
        : m_thread(thread), m_cookie(cookie), m_legacy(legacy) {}
    void DeviceMessage(const std::string& text, bool beep) override {
        if (m_legacy) {
            m_legacy->OnDeviceMessage(text, beep);
            return;
        }
        m_thread.WithClient(m_cookie, [&](UsbThreadClient& c) { c.OnDeviceMessage(text, beep); });
    }

private:
    CUSBThread& m_thread;
    int m_cookie;
    UsbThreadClient* m_legacy;
};

// Stop flag set: nothing runs until a message starts it.
CUSBThread::CUSBThread() : PostedThread(kQuit, 1) {}

// No message may reach Handle once this object starts to go.
CUSBThread::~CUSBThread() { EndThread(kEndTimeout); }

int CUSBThread::RegisterClient(UsbThreadClient* client) {
    std::lock_guard<std::mutex> lock(m_clientMutex);
    const int cookie = ++m_nextCookie;
    m_clients[cookie] = client;
    return cookie;
}

void CUSBThread::UnregisterClient(int cookie) {
    std::lock_guard<std::mutex> lock(m_clientMutex);
    m_clients.erase(cookie);
}

template <typename F>
void CUSBThread::WithClient(int cookie, F&& f) {
    std::lock_guard<std::mutex> lock(m_clientMutex);
    const auto it = m_clients.find(cookie);
    if (it != m_clients.end() && it->second)
        f(*it->second);
}

void CUSBThread::AttachFile(platform::File* file) {
    m_file = file;
    if (m_file && m_file->IsOpen())
        m_file->Seek(0);
}

bool CUSBThread::Post(Run run) {
    if (!IsRunning())
        return false;
    {
        std::lock_guard<std::mutex> lock(m_runMutex);
        run.seq = ++m_postedSeq;
        m_runs.push_back(std::move(run));
    }
    if (PostThreadMessage(kRun))
        return true;
    // Not taken: the run is forgotten as if it had ended.
    std::lock_guard<std::mutex> lock(m_runMutex);
    if (!m_runs.empty() && m_runs.back().seq == m_postedSeq) {
        m_runs.pop_back();
        m_finishedSeq = std::max(m_finishedSeq, m_postedSeq);
    }
    return false;
}

bool CUSBThread::RequestSample(SampleRequest request) {
    Run run;
    run.kind = RunKind::Sample;
    run.sample = std::move(request);
    return Post(std::move(run));
}

bool CUSBThread::RequestPlayMemory(PlayRequest request) {
    Run run;
    run.kind = RunKind::PlayMemory;
    run.play = std::move(request);
    return Post(std::move(run));
}

bool CUSBThread::RequestPlayFile(PlayRequest request) {
    Run run;
    run.kind = RunKind::PlayFile;
    run.play = std::move(request);
    return Post(std::move(run));
}

bool CUSBThread::StopRun(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_runMutex);
    m_stopBefore = m_postedSeq;
    stopFlag.store(1);
    if (!IsRunning())
        return true;
    return m_runEnded.wait_for(lock, timeout, [this] { return m_finishedSeq >= m_postedSeq; });
}

bool CUSBThread::IsBusy() const {
    std::lock_guard<std::mutex> lock(m_runMutex);
    return m_finishedSeq < m_postedSeq;
}

bool CUSBThread::BeginRun(std::int64_t seq) {
    std::lock_guard<std::mutex> lock(m_runMutex);
    if (seq <= m_stopBefore)
        return false;
    stopFlag.store(0);
    return true;
}

void CUSBThread::EndRun(std::int64_t seq) {
    std::lock_guard<std::mutex> lock(m_runMutex);
    m_finishedSeq = std::max(m_finishedSeq, seq);
    m_runEnded.notify_all();
}

void CUSBThread::Handle(int message, std::int64_t wParam, AcquisitionView* view) {
    Run run;
    switch (message) {
    case kRun: {
        std::lock_guard<std::mutex> lock(m_runMutex);
        if (m_runs.empty())
            return;
        run = std::move(m_runs.front());
        m_runs.pop_front();
        break;
    }
    case kSample:
    case kPlayFile:
    case kPlayMemory: {
        // The older interface: the fields as they are now.
        run.legacyView = view;
        if (message == kSample) {
            run.kind = RunKind::Sample;
            run.sample.channelCount = channelCount.load();
            if (m_file)
                run.sample.file = std::shared_ptr<platform::File>(m_file, [](platform::File*) {});
        } else {
            run.kind = message == kPlayFile ? RunKind::PlayFile : RunKind::PlayMemory;
            PlayRequest& p = run.play;
            p.channelCount = channelCount.load();
            p.first = firstSample;
            p.end = endSample;
            if (sampleBuffer0)
                p.channel0 = sampleBuffer0->data(), p.count0 = sampleBuffer0->size();
            if (sampleBuffer1)
                p.channel1 = sampleBuffer1->data(), p.count1 = sampleBuffer1->size();
            if (m_file)
                p.file = std::shared_ptr<platform::File>(m_file, [](platform::File*) {});
            p.fileStride = std::max(1, p.channelCount);
            p.windowKind = static_cast<int>(wParam);
        }
        std::lock_guard<std::mutex> lock(m_runMutex);
        run.seq = ++m_postedSeq;
        break;
    }
    case kBootDsp: {
        bootResult.store(0);
        try {
            CUSBHardware hw;
            bootResult.store(hw.BootDsp(firmwarePath));
        } catch (const std::exception&) {
            bootResult.store(0);
        }
        return;
    }
    case kReserved:
    default: return;
    }

    if (BeginRun(run.seq)) {
        if (run.kind == RunKind::Sample)
            DoSample(run);
        else
            DoPlay(run);
    } else if (run.kind != RunKind::Sample) {
        // A play dropped by a stop still ends for its window.
        if (run.legacyView)
            run.legacyView->ClearPlayCursorRunning();
        else
            WithClient(run.play.client, [](UsbThreadClient& c) { c.OnRunEnded(); });
    }
    EndRun(run.seq);
}

void CUSBThread::DoSample(const Run& run) {
    const SampleRequest& request = run.sample;
    ViewClient legacy(run.legacyView, kRecordingMonitorTimer);
    UsbThreadClient* const legacyClient = run.legacyView ? &legacy : nullptr;
    const auto tell = [&](auto&& f) {
        if (legacyClient)
            f(*legacyClient);
        else
            WithClient(request.client, f);
    };
    ClientReport report(*this, request.client, legacyClient);
    CUSBHardware hw(&report);
    hw.SetStopSource(&stopFlag);

    platform::File* const file = request.file && request.file->IsOpen() ? request.file.get() : nullptr;
    std::int64_t offset = 0;
    std::int64_t recorded = 0;
    std::vector<std::uint8_t> block(kSampleBlockBytes);
    std::vector<std::uint8_t> floats(kAudioBoxFrames * 2 * 4);
    channelCount.store(std::clamp(request.channelCount, 1, 2));
    try {
        hw.OpenDevice();
        hw.SendSample();
        for (;;) {
            if (!hw.ReadBlock(block.data(), block.size(), stopFlag.load()))
                break;
            if (file && recordingFlag.load() == 1) {
                // The audio half: word 1 of each frame, and word 0 after it
                // for stereo, each as a float of full scale 2^23.
                const bool stereo = channelCount.load() == 2;
                std::size_t n = 0;
                for (std::size_t k = 0; k < kAudioBoxFrames; ++k) {
                    const auto w0 = static_cast<std::int32_t>(platform::GetU32LE(&block[8 * k]));
                    const auto w1 = static_cast<std::int32_t>(platform::GetU32LE(&block[8 * k + 4]));
                    platform::PutF32LE(&floats[4 * n++], static_cast<float>(static_cast<double>(w1) / kAudioBoxFullScale));
                    if (stereo)
                        platform::PutF32LE(&floats[4 * n++],
                                           static_cast<float>(static_cast<double>(w0) / kAudioBoxFullScale));
                }
                file->WriteAt(offset, floats.data(), 4 * n);
                offset += static_cast<std::int64_t>(4 * n);
                ++recorded;
            }
            tell([&](UsbThreadClient& c) { c.OnSampleBlock(block.data(), block.size(), recorded); });
        }
    } catch (const platform::FileException& e) {
        // The recording cannot go on: the box is told to stop, the user why.
        report.DeviceMessage(e.what(), true);
        try {
            hw.SendStop();
        } catch (const std::exception&) {
        }
    } catch (const std::exception&) {
        // The protocol has said what failed.
    }
    tell([](UsbThreadClient& c) { c.OnRunEnded(); });
}

void CUSBThread::DoPlay(const Run& run) {
    PlayRequest p = run.play;
    ViewClient legacy(run.legacyView, kPlayCursorTimer);
    UsbThreadClient* const legacyClient = run.legacyView ? &legacy : nullptr;
    const auto tell = [&](auto&& f) {
        if (legacyClient)
            f(*legacyClient);
        else
            WithClient(p.client, f);
    };
    const auto ended = [&] { tell([](UsbThreadClient& c) { c.OnRunEnded(); }); };

    const bool fromFile = run.kind == RunKind::PlayFile;
    if (p.channelCount < 1 || p.channelCount > 2)
        p.channelCount = 1;
    if (fromFile) {
        if (!p.file || !p.file->IsOpen()) {
            ended();
            return;
        }
        p.fileStride = std::max(p.fileStride, p.channelCount);
    } else if (!p.channel0 || (p.channelCount == 2 && !p.channel1)) {
        // A missing memory plays nothing.
        ended();
        return;
    }

    ClientReport report(*this, p.client, legacyClient);
    CUSBHardware hw(&report);
    hw.SetStopSource(&stopFlag);
    // Every frame of the range goes out: a last part block is filled up with
    // silence.
    const std::int64_t span = std::max<std::int64_t>(0, p.end - p.first);
    const std::int64_t blockCount = (span + static_cast<std::int64_t>(kAudioBoxFrames) - 1) /
                                    static_cast<std::int64_t>(kAudioBoxFrames);
    const bool stereo = p.channelCount == 2;
    std::vector<std::uint8_t> block(kPlayBlockBytes);
    std::vector<std::uint8_t> frames(fromFile ? kAudioBoxFrames * static_cast<std::size_t>(p.fileStride) * 4 : 0);
    bool open = false;
    try {
        hw.OpenDevice();
        open = true;
        hw.SendPlay();
        std::int64_t played = 0;
        for (std::int64_t i = 0;; ++i) {
            const std::int64_t start = p.first + i * static_cast<std::int64_t>(kAudioBoxFrames);
            if (fromFile) {
                // Positional reads of whole frames: channel 0 (and 1) of each,
                // silence past the range.
                const std::size_t inRange = static_cast<std::size_t>(
                    std::clamp<std::int64_t>(p.end - start, 0, static_cast<std::int64_t>(kAudioBoxFrames)));
                const std::size_t want = inRange * static_cast<std::size_t>(p.fileStride) * 4;
                const std::int64_t at = start * p.fileStride * 4;
                if (at < 0 || p.file->ReadAt(at, frames.data(), want) < want)
                    break;
                for (std::size_t k = 0; k < kAudioBoxFrames; ++k) {
                    const std::uint8_t* f = &frames[k * static_cast<std::size_t>(p.fileStride) * 4];
                    const float c0 = k < inRange ? platform::GetF32LE(f) : 0.0f;
                    const float c1 = k < inRange && stereo ? platform::GetF32LE(f + 4) : c0;
                    platform::PutU32LE(&block[8 * k], PlayWord(c1));
                    platform::PutU32LE(&block[8 * k + 4], PlayWord(c0));
                }
            } else {
                // Past the range (a range shorter than a block) plays silence.
                const std::int64_t end = p.end;
                for (std::size_t k = 0; k < kAudioBoxFrames; ++k) {
                    const std::int64_t index = start + static_cast<std::int64_t>(k);
                    const float c0 = SampleAt(p.channel0, p.count0, index, end);
                    const float c1 = stereo ? SampleAt(p.channel1, p.count1, index, end) : c0;
                    platform::PutU32LE(&block[8 * k], PlayWord(c1));
                    platform::PutU32LE(&block[8 * k + 4], PlayWord(c0));
                }
            }
            if (hw.WriteBlock(block.data(), block.size(), stopFlag.load()) != 0)
                break;
            played += static_cast<std::int64_t>(kAudioBoxFrames);
            tell([&](UsbThreadClient& c) { c.OnBlockPlayed(played); });
            if (i + 1 >= blockCount) {
                stopFlag.store(1);
                break;
            }
        }
    } catch (const std::exception&) {
        // The protocol has said what failed; the end of the run follows.
    }
    ended();
    if (open) {
        // One block of silence, then the stop, each on its own: a failed one
        // does not keep the box from being told to stop.
        try {
            std::fill(block.begin(), block.end(), std::uint8_t{0});
            hw.SetStopSource(nullptr);
            hw.WriteBlock(block.data(), block.size(), 0);
        } catch (const std::exception&) {
        }
        stopFlag.store(1);
        try {
            hw.SendStop();
        } catch (const std::exception&) {
        }
    }
}

}  // namespace vocomet
