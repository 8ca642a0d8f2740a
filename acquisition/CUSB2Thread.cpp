#include "acquisition/CUSB2Thread.h"

#include <algorithm>
#include <cstring>

#include "acquisition/CUSB2Hardware.h"
#include "acquisition/CUsbDevice.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"
#include "platform/usb/UsbTransport.h"

namespace vocomet {

namespace {

constexpr std::uint16_t kSilenceWord = 0xFFFE;
constexpr unsigned kSampleWaitMs = 100;
constexpr unsigned kPlayWaitMs = 1000;
constexpr std::size_t kFrameBytes = 32;

std::uint16_t ReverseBits(std::uint16_t w) {
    std::uint16_t r = 0;
    for (int b = 0; b < 16; ++b)
        if (w & (1u << b))
            r = static_cast<std::uint16_t>(r | (1u << (15 - b)));
    return r;
}

bool DeviceGone(const CUsbEndpoint& e) {
    return e.usbStatus == static_cast<std::uint32_t>(platform::usb::UsbStatus::NoDevice);
}

}  // namespace

std::uint16_t EncodeUsb2PlaySample(float x) {
    const float s = x + 1.0f;
    const double scaled = static_cast<double>(s) * 32767.0;
    // Truncated toward zero; only the low 16 bits count.
    const auto w = static_cast<std::int64_t>(scaled);
    return ReverseBits(static_cast<std::uint16_t>(static_cast<std::uint64_t>(w) & 0xFFFF));
}

CUSB2Thread::CUSB2Thread() : PostedThread(kQuit, 1) {}

CUSB2Thread::~CUSB2Thread() {
    // A loop polls the stop flag within one wait step, well inside the
    // end time-out; only then are the transfers it left taken back.
    if (EndThread(kEndTimeout))
        ReclaimPlayTransfers();
}

void CUSB2Thread::AttachFile(std::shared_ptr<platform::File> file) {
    std::lock_guard lock(m_mutex);
    m_recordFile = std::move(file);
}

void CUSB2Thread::SetSampleClient(Usb2SampleClient* client) {
    std::lock_guard lock(m_clientMutex);
    m_client = client;
}

void CUSB2Thread::SetPlayRequest(Usb2PlayRequest request) {
    std::lock_guard lock(m_mutex);
    m_playRequest = std::move(request);
}

void CUSB2Thread::Report(const std::string& text) const {
    if (m_sink)
        m_sink(text);
}

void CUSB2Thread::SetRunActive(bool active) {
    {
        std::lock_guard lock(m_runMutex);
        m_runActive.store(active);
    }
    if (!active)
        m_runEnded.notify_all();
}

bool CUSB2Thread::WaitRunEnded(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_runMutex);
    return m_runEnded.wait_for(lock, timeout, [this] { return !m_runActive.load(); });
}

void CUSB2Thread::Handle(int message, std::int64_t, AcquisitionView* view) {
    switch (message) {
    case kSample: OnSample(); break;
    case kPlay: OnPlay(view); break;
    case kStop: OnStop(); break;
    default: break;
    }
}

// ---- sampling ----------------------------------------------------------------

void CUSB2Thread::OnSample() {
    std::shared_ptr<platform::File> file;
    {
        std::lock_guard lock(m_mutex);
        file = m_recordFile;
    }
    SetRunActive(true);
    CUSB2Hardware hardware;
    hardware.SetMessageSink(m_sink);
    CUsbEndpoint* in = nullptr;
    struct Slot {
        std::vector<std::uint8_t> buffer;
        CUsbRequestPtr request;
    };
    std::vector<Slot> slots;
    bool deviceGone = false;
    try {
        if (file && file->IsOpen())
            file->Seek(0);
        if (hardware.OpenDevice() == 0 || !hardware.BulkInEndpoint()) {
            SetRunActive(false);
            return;
        }
        in = hardware.BulkInEndpoint();
        in->SetTransferSize(kSampleBytes);
        in->ResetPipe();
        in->timeOut = 1000;
        std::vector<std::uint8_t> copy(kSampleBytes + kFrameBytes);
        std::size_t carry = 0;  // bytes of a frame a short block left over
        hardware.SendSample();
        slots.resize(kSampleSlots);
        for (Slot& s : slots) {
            s.buffer.assign(kSampleBytes, 0);
            s.request = in->BeginTransfer(s.buffer.data(), kSampleBytes);
        }
        for (int i = 0; stopFlag.load() == 0; i = (i + 1) % kSampleSlots) {
            Slot& s = slots[static_cast<std::size_t>(i)];
            while (stopFlag.load() == 0 && !in->WaitForTransfer(s.request.get(), kSampleWaitMs)) {
                if (!s.request || s.request->IsComplete())
                    break;  // failed to begin, or completed with an error
            }
            if (stopFlag.load() != 0)
                break;
            int n = 0;
            if (!in->FinishTransfer(s.buffer.data(), n, s.request)) {
                // An error completion (a halted pipe, the device gone): no
                // more data comes through this ring, so the run ends.
                deviceGone = DeviceGone(*in);
                Report("Error in sampling");
                break;
            }
            // The block goes on at once behind what is left of the last one;
            // the transfer is queued again for the full size whatever came
            // (a short or zero-length packet does not shrink it).
            std::memcpy(copy.data() + carry, s.buffer.data(), static_cast<std::size_t>(n));
            s.request = in->BeginTransfer(s.buffer.data(), kSampleBytes);
            if (n == 0)
                continue;
            m_blocksReceived.fetch_add(1);
            if (file && file->IsOpen() && recordingFlag.load() == 1) {
                file->Write(copy.data() + carry, static_cast<std::size_t>(n));
                m_blocksWritten.fetch_add(1);
            }
            const std::size_t have = carry + static_cast<std::size_t>(n);
            const std::size_t whole = have / kFrameBytes * kFrameBytes;
            if (whole > 0) {
                std::lock_guard lock(m_clientMutex);
                if (m_client)
                    m_client->DisplayBlock(copy.data(), whole);
            }
            carry = have - whole;
            if (carry > 0)
                std::memmove(copy.data(), copy.data() + whole, carry);
        }
    } catch (...) {
        if (in)
            in->SetTransferSize(4096);
        Report("Error in sampling");
    }
    // Stop: the device stops, then every queued transfer is taken back
    // before its buffer goes.
    if (in) {
        if (!deviceGone) {
            try {
                hardware.SendStop();
            } catch (...) {
            }
        }
        in->AbortPipe();
        for (Slot& s : slots) {
            if (s.request && !in->WaitForTransfer(s.request.get(), 1000))
                in->AbortPipe();
            int n = 0;
            in->FinishTransfer(nullptr, n, s.request);
        }
    }
    slots.clear();
    SetRunActive(false);
}

// ---- playback ------------------------------------------------------------------

void CUSB2Thread::ReclaimPlayTransfers() {
    if (m_playSlots.empty())
        return;
    if (m_out)
        m_out->AbortPipe();
    for (PlaySlot& s : m_playSlots) {
        if (s.request && m_out) {
            if (!m_out->WaitForTransfer(s.request.get(), 100))
                m_out->AbortPipe();
            int n = 0;
            m_out->FinishTransfer(nullptr, n, s.request);
        }
        s.request.reset();
    }
    m_playSlots.clear();
    m_heldPlay.store(0);
    if (m_out)
        m_out->ResetPipe();
}

void CUSB2Thread::OnPlay(AcquisitionView* view) {
    Usb2PlayRequest request;
    {
        std::lock_guard lock(m_mutex);
        request = m_playRequest;
    }
    // A playback still holding transfers is stopped first.
    if (!m_playSlots.empty())
        OnStop();
    SetRunActive(true);
    const bool fromMemory = request.memory != nullptr;
    const bool fromFile = !fromMemory && request.file && request.file->IsOpen();
    const std::int64_t span = std::max<std::int64_t>(0, request.endSample - request.firstSample);
    const std::int64_t blocks = span / kPlayWords + 1;
    const int channels = std::max(1, request.channelCount);
    std::vector<float> frames;  // the file road's read buffer
    // Fills a buffer with block j of the span (silence past its end).
    const auto fill = [&](std::vector<std::uint8_t>& buffer, std::int64_t j) {
        const std::int64_t start = j * kPlayWords;
        std::size_t have = 0;
        if (start < span) {
            have = static_cast<std::size_t>(std::min<std::int64_t>(kPlayWords, span - start));
            if (fromFile) {
                frames.assign(have * static_cast<std::size_t>(channels), 0.0f);
                const std::int64_t at = (request.firstSample + start) * channels * 4;
                const std::size_t got = request.file->ReadAt(at, frames.data(), frames.size() * 4);
                have = std::min(have, got / 4 / static_cast<std::size_t>(channels));
            }
        }
        for (std::size_t k = 0; k < kPlayWords; ++k) {
            std::uint16_t w = kSilenceWord;
            if (k < have) {
                const float x = fromMemory ? (*request.memory)[static_cast<std::size_t>(start) + k]
                                           : frames[k * static_cast<std::size_t>(channels)];
                w = EncodeUsb2PlaySample(x);
            }
            platform::PutU16LE(buffer.data() + 2 * k, w);
        }
    };
    try {
        if ((!fromMemory && !fromFile) || (fromMemory && request.memory->size() < static_cast<std::size_t>(span))) {
            if (view)
                view->ClearPlayCursorRunning();
            SetRunActive(false);
            return;
        }
        if (!m_hardware) {
            m_hardware = std::make_unique<CUSB2Hardware>();
            m_hardware->SetMessageSink(m_sink);
        }
        m_out = nullptr;
        if (m_hardware->OpenDevice() == 0 || !m_hardware->BulkOutEndpoint()) {
            if (view)
                view->ClearPlayCursorRunning();
            SetRunActive(false);
            return;
        }
        m_out = m_hardware->BulkOutEndpoint();
        m_out->SetTransferSize(kPlayBytes);
        m_out->AbortPipe();
        m_out->ResetPipe();
        m_out->timeOut = 1000;
        m_hardware->SendPlay();
        // Memory: the whole span at once, up to the limit of held transfers,
        // longer spans going round the ring. File: a ring of ten.
        const int slots = fromMemory ? static_cast<int>(std::min<std::int64_t>(blocks, kMaxPlaySlots)) : kFilePlaySlots;
        m_playSlots.resize(static_cast<std::size_t>(slots));
        std::int64_t next = 0;
        for (PlaySlot& s : m_playSlots) {
            s.buffer.assign(kPlayBytes, 0);
            fill(s.buffer, next++);
            s.request = m_out->BeginTransfer(s.buffer.data(), kPlayBytes);
            m_heldPlay.fetch_add(1);
        }
        std::int64_t completed = 0;
        for (int a = 0; stopFlag.load() == 0;) {
            PlaySlot& s = m_playSlots[static_cast<std::size_t>(a)];
            if (!m_out->WaitForTransfer(s.request.get(), kPlayWaitMs)) {
                if (s.request && !s.request->IsComplete())
                    continue;  // still with the device: wait again after the stop test
            }
            int n = 0;
            if (!m_out->FinishTransfer(nullptr, n, s.request)) {
                Report("Error in playing");
                break;
            }
            // The slot goes back with the next block, or silence behind the
            // span until the stop message.
            fill(s.buffer, next++);
            s.request = m_out->BeginTransfer(s.buffer.data(), kPlayBytes);
            if (++completed >= blocks)
                stopFlag.store(1);
            a = (a + 1) % slots;
        }
    } catch (...) {
        Report("Error in playing");
    }
    // The view is told before the run counts as ended: an owner that waits
    // for the end may go at once after it.
    if (view)
        view->ClearPlayCursorRunning();
    SetRunActive(false);
}

void CUSB2Thread::OnStop() {
    if (m_hardware && m_out) {
        try {
            m_hardware->SendStop();
        } catch (...) {
        }
    }
    ReclaimPlayTransfers();
}

}  // namespace vocomet
