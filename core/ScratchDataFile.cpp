#include "core/ScratchDataFile.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <exception>
#include <future>
#include <new>
#include <system_error>

#include "core/COrielDoc.h"
#include "core/RecordingData.h"
#include "platform/ByteCodec.h"

namespace vocomet {

namespace {

// The system copies this much between two looks at the progress: large
// enough for the copy to run at the disk's speed, small enough that a
// cancel is felt within a fraction of a second.
constexpr std::uint64_t kCopyPieceBytes = std::uint64_t{128} << 20;
// The summaries read the copied frames back in reads of this size.
constexpr std::size_t kSummaryReadBytes = std::size_t{8} << 20;

// Reads frames [frame0, frame0 + frames) of columns little-endian floats at
// offset of source into buffer (room for bufferFloats floats) and hands them
// to one group of the summaries. False when the source gives fewer.
bool SummariseFrames(const platform::File& source, std::int64_t offset, std::int64_t frame0, std::int64_t frames,
                     std::size_t columns, LoadSummaries& summaries, std::size_t group, float* buffer,
                     std::size_t bufferFloats) {
    const std::size_t frameBytes = columns * sizeof(float);
    const std::size_t framesPerRead = bufferFloats / columns;
    for (std::int64_t done = 0; done < frames;) {
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(frames - done, static_cast<std::int64_t>(framesPerRead)));
        const std::int64_t at = offset + (frame0 + done) * static_cast<std::int64_t>(frameBytes);
        if (source.ReadAt(at, buffer, n * frameBytes) != n * frameBytes)
            return false;
        if constexpr (std::endian::native != std::endian::little) {
            for (std::size_t i = 0; i < n * columns; ++i) {
                std::uint8_t b[4];
                std::memcpy(b, &buffer[i], 4);
                buffer[i] = platform::GetF32LE(b);
            }
        }
        summaries.AddGroup(group, buffer, n);
        done += static_cast<std::int64_t>(n);
    }
    return true;
}

// Closes a scratch data file and removes it from disk once its last holder
// lets go.
struct RemoveWhenReleased {
    std::string path;
    void operator()(platform::File* file) const noexcept {
        delete file;
        platform::RemoveFile(path);
    }
};

}  // namespace

ScratchDataFile::ScratchDataFile(COrielDoc& document) : m_path(document.MakeTempFileName()) {
    // The name was reserved by an exclusive create: from here on it is ours,
    // and goes with the file whatever happens next.
    m_file = std::shared_ptr<platform::File>(new platform::File(), RemoveWhenReleased{m_path});
    platform::FileException error(platform::FileException::Cause::Generic, m_path,
                                  "Cannot create \"" + m_path + "\"");
    if (!m_file->Open(m_path, platform::File::Mode::Create, &error))
        throw error;
}

void ScratchDataFile::AdoptInto(RecordingData& recording, std::size_t channelCount) {
    for (std::size_t c = 0; c < channelCount; ++c) {
        CChannels& ch = recording.channels[c];
        ch.samples.Free();
        ch.sourceFile = m_file;
        ch.stride = static_cast<std::int32_t>(channelCount);
        // Frames hold the channels in their order, whatever numbers their
        // headers carry.
        ch.channelNumber = static_cast<std::int32_t>(c + 1);
    }
    recording.dataFile = m_file;
    recording.dataFilePath = m_path;
}

ScratchDataFile::CopyResult ScratchDataFile::CopyFrames(const platform::File& source, std::int64_t offset,
                                                        std::int64_t frameCount, std::size_t columns,
                                                        ThrottledProgress& shown, LoadSummaries& summaries) {
    const std::size_t frameBytes = columns * sizeof(float);
    const auto framesPerPiece = static_cast<std::int64_t>(std::max<std::uint64_t>(1, kCopyPieceBytes / frameBytes));
    // Each group of columns reads the frames for itself, into its own buffer.
    const std::size_t readFloats = std::max<std::size_t>(1, kSummaryReadBytes / frameBytes) * columns;
    std::vector<platform::FloatBlock> buffers;
    if (summaries.Active() && summaries.Columns() == columns) {
        for (std::size_t g = 0; g < summaries.Groups(); ++g) {
            buffers.push_back(platform::FloatBlock::TryAllocate(readFloats));
            if (buffers.back().IsNull()) {
                buffers.clear();  // no summaries, then: the copy goes on
                break;
            }
        }
    }

    // The summaries of the piece copied last, made while the next is copied;
    // waited for before anything else touches them (a future of std::async
    // also waits when it goes, so none outlives the buffers).
    std::vector<std::future<bool>> pending;
    pending.reserve(buffers.size());
    auto summarised = [&pending] {
        bool whole = true;
        for (std::future<bool>& f : pending)
            whole = f.get() && whole;
        pending.clear();
        return whole;
    };
    for (std::int64_t done = 0; done < frameCount;) {
        const std::int64_t frames = std::min(frameCount - done, framesPerPiece);
        const std::int64_t at = done * static_cast<std::int64_t>(frameBytes);
        const auto bytes = static_cast<std::uint64_t>(frames) * frameBytes;
        if (platform::CopyRange(source, offset + at, *m_file, at, bytes) != bytes || !summarised())
            return CopyResult::SourceShort;
        for (std::size_t g = 0; g < buffers.size(); ++g) {
            float* buffer = buffers[g].data();
            try {
                pending.push_back(std::async(std::launch::async, SummariseFrames, std::cref(source), offset, done,
                                             frames, columns, std::ref(summaries), g, buffer, readFloats));
                continue;
            } catch (const std::system_error&) {
            } catch (const std::bad_alloc&) {
            }
            // No thread to be had: the group is summarised here.
            if (!SummariseFrames(source, offset, done, frames, columns, summaries, g, buffer, readFloats))
                return CopyResult::SourceShort;
        }
        done += frames;
        shown.Update(static_cast<double>(done), static_cast<double>(frameCount));
        if (shown.AbortRequested())
            return CopyResult::Aborted;
    }
    return summarised() ? CopyResult::Copied : CopyResult::SourceShort;
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
            if (groups > 1)
                group.packed.resize(kSpreadTileFrames * group.columns);
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
    if (m_groups.size() == 1) {
        g.builder->AddFrames(frames, count);
        return;
    }
    // The group's columns of a tile of frames, side by side.
    const std::size_t n = m_columns;
    const std::size_t width = g.columns;
    for (std::size_t t = 0; t < count; t += kSpreadTileFrames) {
        const std::size_t tile = std::min(kSpreadTileFrames, count - t);
        const float* __restrict src = frames + t * n + g.first;
        float* __restrict dst = g.packed.data();
        for (std::size_t k = 0; k < tile; ++k)
            for (std::size_t j = 0; j < width; ++j)
                dst[k * width + j] = src[k * n + j];
        g.builder->AddFrames(dst, tile);
    }
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
                m_pending.push_back(std::async(std::launch::async, [this, g, frames, count] {
                    m_summaries.AddGroup(g, frames, count);
                }));
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
    for (std::size_t l = 0; l < n; ++l) {
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
