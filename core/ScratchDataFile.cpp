#include "core/ScratchDataFile.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <exception>
#include <future>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

#include "core/COrielDoc.h"
#include "core/RecordingData.h"
#include "platform/ByteCodec.h"

namespace vocomet {

namespace {

// The summaries read the frames in pieces of about this size, each core
// its own: small enough to stay in the core's cache while it is folded.
constexpr std::size_t kSummaryPieceBytes = std::size_t{512} << 10;

}  // namespace

ScratchDataFile::ScratchDataFile(COrielDoc& document) : m_path(document.MakeTempFileName()) {
    // The name was reserved by an exclusive create: from here on it is ours,
    // and goes with the file whatever happens next (its space given back in
    // the background: for gigabytes that takes longer than the edit that let
    // it go).
    m_file = platform::ShareRemovedWhenReleased(m_path);
    platform::FileException error(platform::FileException::Cause::Generic, m_path,
                                  "Cannot create \"" + m_path + "\"");
    if (!m_file->Open(m_path, platform::File::Mode::Create, &error))
        throw error;
}

void AdoptDataFile(RecordingData& recording, const std::shared_ptr<platform::File>& data, const std::string& path,
                   std::size_t channelCount) {
    for (std::size_t c = 0; c < channelCount; ++c) {
        CChannels& ch = recording.channels[c];
        ch.samples.Free();
        ch.sourceFile = data;
        ch.stride = static_cast<std::int32_t>(channelCount);
        // Frames hold the channels in their order, whatever numbers their
        // headers carry.
        ch.channelNumber = static_cast<std::int32_t>(c + 1);
    }
    recording.dataFile = data;
    recording.dataFilePath = path;
}

void ScratchDataFile::AdoptInto(RecordingData& recording, std::size_t channelCount) {
    AdoptDataFile(recording, m_file, m_path, channelCount);
}

ScratchDataFile::CopyResult ScratchDataFile::CopyFrames(const platform::File& source, std::int64_t offset,
                                                        std::int64_t frameCount, std::size_t columns,
                                                        ThrottledProgress& shown, LoadSummaries& summaries) {
    const auto frameBytes = static_cast<std::int64_t>(columns * sizeof(float));
    if (frameCount < 0 || offset < 0 || frameBytes == 0)
        return CopyResult::SourceShort;
    const std::int64_t sourceLength = source.GetLength();
    if (offset > sourceLength || frameCount > (sourceLength - offset) / frameBytes)
        return CopyResult::SourceShort;
    // The system copies the frames on its own thread once the summaries are
    // made: the recording can be shown then, and reads of what the copy has
    // not reached yet go to the source. Started before, the copy would take
    // half the memory bandwidth the summaries' pass runs on, and that pass
    // is what the first picture waits for.
    const auto startCopy = [&] {
        m_file->StartBackgroundFill(source, offset, frameCount * frameBytes);
        shown.Update(1.0, 1.0);
        return CopyResult::Copied;
    };
    if (!summaries.Active() || summaries.Columns() != columns || !summaries.StartPieces())
        return startCopy();  // no summaries, then

    // Every core reads pieces of the frames of its own and folds them into
    // the fine blocks where they belong. A piece holds whole fine blocks,
    // so the summaries are those of one pass in order.
    const std::size_t framesPerPiece = FramesPerSummaryPiece(static_cast<std::size_t>(frameBytes), frameCount);
    PiecesResult result = PiecesResult::Done;
    try {
        result = RunFramePieces(
            frameCount, framesPerPiece, framesPerPiece * static_cast<std::size_t>(frameBytes), shown,
            [&](std::int64_t first, std::size_t n, std::byte* buffer) {
                auto* frames = reinterpret_cast<float*>(buffer);
                if (!ReadFloatsLE(source, offset + first * frameBytes, frames, n * columns))
                    return false;
                summaries.AddPiece(first, frames, n);
                return true;
            });
    } catch (const std::bad_alloc&) {
        // Out of memory costs only the summaries; a read error ends the load.
        summaries.Finish();
        return startCopy();
    }
    switch (result) {
    case PiecesResult::Aborted: return CopyResult::Aborted;
    case PiecesResult::SourceShort: return CopyResult::SourceShort;
    case PiecesResult::Done: break;
    }
    summaries.EndPieces();
    return startCopy();
}

PiecesResult FillBlocksInPieces(std::int64_t frameCount, const std::vector<platform::BlockBytes>& blocks,
                                std::size_t framesPerPiece, std::size_t bufferBytes, LoadSummaries& summaries,
                                const std::function<const float*(std::int64_t, std::size_t, std::byte*)>& work) {
    // Fresh pages are cleared on threads of their own while the pieces are
    // read: clearing waits on memory (and, in a virtual machine, on the host
    // backing it) as much as on the cores, so the two together take little
    // more than the longer one, where one after the other took both. A piece
    // that reaches a page before it is cleared faults it in itself; making
    // a page present leaves what was written there alone. One piece is read
    // on this thread alone, so its pages are made present first.
    struct JoinedAtEnd {
        std::thread thread;
        ~JoinedAtEnd() {
            if (thread.joinable())
                thread.join();
        }
    } populating;
    if (frameCount > static_cast<std::int64_t>(framesPerPiece)) {
        try {
            populating.thread = std::thread([&blocks] { platform::PopulateBlocks(blocks); });
        } catch (const std::system_error&) {
        }
    }
    if (!populating.thread.joinable())
        platform::PopulateBlocks(blocks);
    const bool summarised = summaries.StartPieces();
    ThrottledProgress unseen(nullptr);
    const PiecesResult result = RunFramePieces(frameCount, framesPerPiece, bufferBytes, unseen,
                                               [&](std::int64_t first, std::size_t count, std::byte* buffer) {
                                                   const float* frames = work(first, count, buffer);
                                                   if (frames && summarised)
                                                       summaries.AddPiece(first, frames, count);
                                                   return frames != nullptr;
                                               });
    if (result == PiecesResult::Done && summarised)
        summaries.EndPieces();
    return result;
}

bool ReadFloatsLE(const platform::File& file, std::int64_t offset, float* out, std::size_t count) {
    const std::size_t bytes = count * sizeof(float);
    if (file.ReadAt(offset, out, bytes) != bytes)
        return false;
    if constexpr (std::endian::native != std::endian::little) {
        auto* raw = reinterpret_cast<std::uint8_t*>(out);
        for (std::size_t i = 0; i < count; ++i) {
            std::uint8_t b[4];
            std::memcpy(b, raw + 4 * i, 4);
            out[i] = platform::GetF32LE(b);
        }
    }
    return true;
}

std::size_t FramesPerSummaryPiece(std::size_t frameBytes, std::int64_t frameCount) {
    const auto fine = static_cast<std::size_t>(SampleSummary::kFineBlock);
    // Whole coarse blocks: each piece then makes its coarser levels itself.
    const auto perCoarse = static_cast<std::size_t>(SampleSummary::kCoarseBlock / SampleSummary::kFineBlock);
    const std::size_t blocks = std::max(
        perCoarse, kSummaryPieceBytes / std::max<std::size_t>(frameBytes, 1) / fine / perCoarse * perCoarse);
    const auto neededBlocks = static_cast<std::size_t>(
        std::max<std::int64_t>(1, (frameCount + static_cast<std::int64_t>(fine) - 1) / static_cast<std::int64_t>(fine)));
    return std::min(blocks, neededBlocks) * fine;
}

PiecesResult RunFramePieces(std::int64_t frameCount, std::size_t framesPerPiece, std::size_t bufferBytes,
                            ThrottledProgress& shown,
                            const std::function<bool(std::int64_t, std::size_t, std::byte*)>& work) {
    if (frameCount <= 0)
        return PiecesResult::Done;
    framesPerPiece = std::max<std::size_t>(framesPerPiece, 1);
    const std::int64_t pieces = (frameCount + static_cast<std::int64_t>(framesPerPiece) - 1) /
                                static_cast<std::int64_t>(framesPerPiece);
    std::atomic<std::int64_t> next{0};
    std::atomic<std::int64_t> finished{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> shortRead{false};
    std::mutex failedMutex;
    std::exception_ptr failed;
    auto worker = [&] {
        try {
            platform::FloatBlock buffer =
                platform::FloatBlock::Allocate((std::max<std::size_t>(bufferBytes, 1) + sizeof(float) - 1) /
                                               sizeof(float));
            for (std::int64_t i; !stop.load(std::memory_order_relaxed) && (i = next.fetch_add(1)) < pieces;) {
                const std::int64_t first = i * static_cast<std::int64_t>(framesPerPiece);
                const auto n = static_cast<std::size_t>(
                    std::min<std::int64_t>(frameCount - first, static_cast<std::int64_t>(framesPerPiece)));
                if (!work(first, n, reinterpret_cast<std::byte*>(buffer.data()))) {
                    shortRead = true;
                    stop = true;
                    break;
                }
                finished.fetch_add(1, std::memory_order_release);
            }
        } catch (...) {
            const std::lock_guard<std::mutex> lock(failedMutex);
            if (!failed)
                failed = std::current_exception();
            stop = true;
        }
    };
    std::vector<std::thread> workers;
    const auto cores = static_cast<std::int64_t>(std::max(1u, std::thread::hardware_concurrency()));
    try {
        // One piece is read here: starting a thread and waiting for it
        // costs more than a small file takes to read.
        for (std::int64_t t = 0; pieces > 1 && t < std::min(cores, pieces); ++t)
            workers.emplace_back(worker);
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    if (workers.empty())
        worker();  // no thread to be had: all of it here
    try {
        while (!workers.empty() && finished.load(std::memory_order_acquire) < pieces && !stop.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            shown.Update(static_cast<double>(finished.load()), static_cast<double>(pieces));
            if (shown.AbortRequested())
                stop = true;
        }
    } catch (...) {
        // The workers work on what the caller holds: they end first.
        stop = true;
        for (std::thread& w : workers)
            w.join();
        throw;
    }
    for (std::thread& w : workers)
        w.join();
    if (failed)
        std::rethrow_exception(failed);
    if (shortRead)
        return PiecesResult::SourceShort;
    // An abort asked for while the last pieces were worked on still counts.
    shown.Update(static_cast<double>(finished.load()), static_cast<double>(pieces));
    if (shown.AbortRequested() || finished.load() < pieces)
        return PiecesResult::Aborted;
    return PiecesResult::Done;
}

LoadSummaries::LoadSummaries(std::size_t columns, std::int64_t frames)
    : m_columns(columns), m_frames(std::max<std::int64_t>(frames, 0)) {
    if (columns == 0)
        return;
    try {
        const std::size_t groups = (columns + kGroupColumns - 1) / kGroupColumns;
        m_groups.resize(groups);
        for (std::size_t g = 0; g < groups; ++g) {
            Group& group = m_groups[g];
            group.first = g * kGroupColumns;
            group.columns = std::min(kGroupColumns, columns - group.first);
            group.builder.emplace(static_cast<int>(group.columns));
            group.builder->Reserve(m_frames);
        }
        m_active = true;
    } catch (const std::bad_alloc&) {
        m_groups.clear();
    }
}

void LoadSummaries::Add(const float* frames, std::size_t count) {
    for (std::size_t g = 0; g < m_groups.size(); ++g)
        AddGroup(g, frames, count);
}

void LoadSummaries::AddGroup(std::size_t group, const float* frames, std::size_t count) {
    Group& g = m_groups[group];
    if (!g.builder)
        return;
    // Beyond the announced frames the reserved room may run out.
    if (g.builder->FrameCount() + static_cast<std::int64_t>(count) > m_frames) {
        g.builder.reset();
        return;
    }
    // The group's columns are folded where they lie in the frames.
    g.builder->AddFrames(frames + g.first, count, m_columns);
}

bool LoadSummaries::StartPieces() {
    if (!m_active)
        return false;
    try {
        // Each group's room is set out on a thread of its own: the first
        // touch of hundreds of megabytes is shared by the cores.
        std::vector<std::future<void>> started;
        for (Group& g : m_groups) {
            FrameSummaryBuilder& builder = *g.builder;
            const std::int64_t frames = m_frames;
            auto start = [&builder, frames] { builder.StartPieces(frames); };
            // One group has no core to share with.
            if (m_groups.size() == 1) {
                start();
                continue;
            }
            try {
                started.push_back(std::async(std::launch::async, start));
            } catch (const std::system_error&) {
                start();
            }
        }
        std::exception_ptr failed;
        for (std::future<void>& f : started) {
            try {
                f.get();
            } catch (...) {
                failed = std::current_exception();
            }
        }
        if (failed)
            std::rethrow_exception(failed);
    } catch (const std::bad_alloc&) {
        m_groups.clear();
        m_active = false;
    }
    return m_active;
}

void LoadSummaries::AddPiece(std::int64_t first, const float* frames, std::size_t count) {
    for (Group& g : m_groups)
        g.builder->AddPieceAt(first, frames + g.first, count, m_columns);
}

void LoadSummaries::EndPieces() {
    for (Group& g : m_groups)
        g.builder->EndPieces();
}

std::vector<std::shared_ptr<const SampleSummary>> LoadSummaries::Finish() {
    std::vector<std::shared_ptr<const SampleSummary>> out;
    bool complete = m_active;
    for (const Group& g : m_groups)
        complete = complete && g.builder && g.builder->FrameCount() == m_frames;
    if (complete) {
        try {
            // The coarser levels of every group are made at once.
            std::vector<std::future<std::vector<SampleSummary>>> made;
            for (Group& g : m_groups) {
                FrameSummaryBuilder& builder = *g.builder;
                auto finish = [&builder] { return builder.Finish(); };
                try {
                    made.push_back(
                        std::async(m_groups.size() > 1 ? std::launch::async : std::launch::deferred, finish));
                } catch (const std::system_error&) {
                    made.push_back(std::async(std::launch::deferred, finish));  // here, when asked
                }
            }
            out.reserve(m_columns);
            for (auto& group : made)
                for (SampleSummary& s : group.get())
                    out.push_back(std::make_shared<const SampleSummary>(std::move(s)));
        } catch (const std::bad_alloc&) {
            out.clear();
        }
    }
    m_groups.clear();
    m_active = false;
    return out;
}

void LoadSummaries::AttachTo(RecordingData& recording, std::size_t first) {
    const std::vector<std::shared_ptr<const SampleSummary>> made = Finish();
    for (std::size_t c = 0; c < m_columns && first + c < recording.channels.size(); ++c)
        recording.channels[first + c].samplesSummary = c < made.size() ? made[c] : nullptr;
}

SummaryPipeline::SummaryPipeline(LoadSummaries& summaries) : m_summaries(summaries) {
    try {
        m_pending.reserve(summaries.Groups());
    } catch (const std::bad_alloc&) {
        m_inline = true;
    }
}

void SummaryPipeline::Hand(const float* frames, std::size_t count) {
    Wait();
    if (!m_summaries.Active())
        return;
    // Starting a thread costs more than folding a few thousand frames.
    constexpr std::size_t kFramesWorthAThread = 16384;
    const bool here = m_inline || count < kFramesWorthAThread;
    for (std::size_t g = 0; g < m_summaries.Groups(); ++g) {
        if (!here) {
            try {
                // Room was reserved: once started, the work is kept.
                m_pending.push_back(std::async(std::launch::async,
                                               [this, g, frames, count] { m_summaries.AddGroup(g, frames, count); }));
                continue;
            } catch (const std::system_error&) {
            } catch (const std::bad_alloc&) {
            }
        }
        // No thread to be had: the group is summarised here.
        m_summaries.AddGroup(g, frames, count);
    }
}

SummaryPipeline::~SummaryPipeline() {
    // A worker's failure has nobody to go to any more.
    try {
        Wait();
    } catch (...) {
    }
}

void SummaryPipeline::Wait() {
    // Every group is waited for, even when one failed.
    std::exception_ptr failed;
    for (std::future<void>& f : m_pending) {
        try {
            f.get();
        } catch (...) {
            failed = std::current_exception();
        }
    }
    m_pending.clear();
    if (failed)
        std::rethrow_exception(failed);
}

void SpreadFrameTile(const float* frames, std::size_t count, std::size_t n, const std::vector<float*>& out,
                     std::size_t at) {
    // An empty tile may come with no frame memory at all: no pointer
    // arithmetic on it then.
    if (count == 0)
        return;
    std::size_t l = 0;
#if defined(__SSE2__)
    // Four channels of four frames at a time: four loads, a transpose in
    // registers and four stores, where one value at a time would cost a load
    // and a store each. The values are moved, never computed: every bit
    // pattern (NaN payloads too) arrives as it was.
    const std::size_t quads = count / 4 * 4;
    for (; quads > 0 && l + 4 <= n; l += 4) {
        float* __restrict d0 = out[l] + at;
        float* __restrict d1 = out[l + 1] + at;
        float* __restrict d2 = out[l + 2] + at;
        float* __restrict d3 = out[l + 3] + at;
        const float* src = frames + l;
        std::size_t k = 0;
        for (; k < quads; k += 4) {
            __m128 r0 = _mm_loadu_ps(src + k * n);
            __m128 r1 = _mm_loadu_ps(src + (k + 1) * n);
            __m128 r2 = _mm_loadu_ps(src + (k + 2) * n);
            __m128 r3 = _mm_loadu_ps(src + (k + 3) * n);
            _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
            _mm_storeu_ps(d0 + k, r0);
            _mm_storeu_ps(d1 + k, r1);
            _mm_storeu_ps(d2 + k, r2);
            _mm_storeu_ps(d3 + k, r3);
        }
        for (; k < count; ++k) {
            d0[k] = src[k * n];
            d1[k] = src[k * n + 1];
            d2[k] = src[k * n + 2];
            d3[k] = src[k * n + 3];
        }
    }
#endif
    for (; l < n; ++l) {
        float* __restrict dst = out[l] + at;
        const float* __restrict src = frames + l;
        for (std::size_t k = 0; k < count; ++k)
            dst[k] = src[k * n];
    }
}

void ThrottledProgress::Update(double done, double total) {
    if (!m_progress)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_lastShown >= std::chrono::milliseconds(200) || done >= total) {
        m_progress->SetFraction(total > 0 ? done / total : 1.0);
        m_lastShown = now;
    }
}

}  // namespace vocomet
