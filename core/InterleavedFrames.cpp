#include "core/InterleavedFrames.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "core/ScratchDataFile.h"
#include "platform/ByteCodec.h"

namespace vocomet {

namespace {

// Frames are built and written in blocks of about this many bytes.
constexpr std::size_t kBlockBytes = std::size_t{4} << 20;
// Frames copied as they are go by the system's copy in pieces of about this
// many bytes, between which the progress shows and the user may abort.
constexpr std::int64_t kCopyPieceBytes = std::int64_t{128} << 20;
// The system is asked to start writing every this many bytes written, so
// that the save's final flush has only the last of them left to wait for.
constexpr std::int64_t kWriteBackBytes = std::int64_t{64} << 20;
constexpr bool kLittleEndianHost = std::endian::native == std::endian::little;

std::int64_t WholeSamples(double value) {
    if (!std::isfinite(value) || value <= 0.0)
        return 0;
    if (value >= 9.0e15)
        return static_cast<std::int64_t>(9.0e15);
    return static_cast<std::int64_t>(value);
}

// The frames of one source file that a block needs, read once for every
// channel that takes its values from them.
struct SourceFrames {
    const platform::File* file = nullptr;
    std::int64_t stride = 0;
    std::vector<float> values;  // frames x stride
};

enum class SourceKind { Memory, File, Nothing };

struct ChannelSource {
    SourceKind kind = SourceKind::Nothing;
    const float* block = nullptr;  // Memory
    std::size_t group = 0;         // File: index into the source frames
    std::int64_t position = 0;     // File: value index within a source frame
    std::int64_t readable = 0;     // samples the channel can give
};

// Reads frames [frame, frame + frames) of a source into values; what the
// file does not hold reads as 0.
void ReadSourceFrames(SourceFrames& source, std::int64_t frame, std::size_t frames) {
    const std::size_t want = frames * static_cast<std::size_t>(source.stride);
    const std::size_t bytes = want * sizeof(float);
    const std::int64_t offset = frame * source.stride * static_cast<std::int64_t>(sizeof(float));
    const std::size_t got = source.file->ReadAt(offset, source.values.data(), bytes) / sizeof(float);
    std::fill(source.values.begin() + static_cast<std::ptrdiff_t>(got),
              source.values.begin() + static_cast<std::ptrdiff_t>(want), 0.0f);
    if constexpr (!kLittleEndianHost) {
        for (std::size_t i = 0; i < got; ++i) {
            std::uint8_t b[4];
            std::memcpy(b, &source.values[i], 4);
            source.values[i] = platform::GetF32LE(b);
        }
    }
}

// Starts the write-out of what was written since the last start, once
// there is enough of it.
class WriteBack {
public:
    WriteBack(platform::File& out, std::int64_t from, bool active) : m_out(out), m_from(from), m_active(active) {}
    void Written(std::int64_t end) {
        if (m_active && end - m_from >= kWriteBackBytes) {
            m_out.StartWriteBack(m_from, end - m_from);
            m_from = end;
        }
    }

private:
    platform::File& m_out;
    std::int64_t m_from;
    bool m_active;
};

void WriteFloatsLE(platform::File& out, float* values, std::size_t count) {
    if constexpr (!kLittleEndianHost) {
        for (std::size_t i = 0; i < count; ++i) {
            std::uint8_t b[4];
            platform::PutF32LE(b, values[i]);
            std::memcpy(&values[i], b, 4);
        }
    }
    out.Write(values, count * sizeof(float));
}

}  // namespace

std::int32_t TruncateToInt32(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

SampleRange ChannelRange(const CChannels& channel, bool selectionOnly) {
    const std::int64_t readable = std::max<std::int64_t>(0, channel.ReadableCount());
    SampleRange r;
    if (!selectionOnly) {
        r.count = readable;
        return r;
    }
    r.first = std::min(WholeSamples(channel.selStartSample), readable);
    r.count = std::min(WholeSamples(channel.selEndSample - channel.selStartSample), readable - r.first);
    return r;
}

FrameWriteResult WriteInterleavedFrames(platform::File& out, const std::vector<const CChannels*>& channels,
                                        std::int64_t first, std::int64_t count, platform::Progress* progress,
                                        bool startWriteBack) {
    const std::size_t m = channels.size();
    if (m == 0 || count <= 0)
        return FrameWriteResult::Written;

    // Where each channel's samples come from.
    std::vector<ChannelSource> sources(m);
    std::vector<SourceFrames> groups;
    std::size_t widest = m;
    for (std::size_t l = 0; l < m; ++l) {
        const CChannels& ch = *channels[l];
        ChannelSource& s = sources[l];
        s.readable = std::max<std::int64_t>(0, ch.ReadableCount());
        if (ch.HasSamples()) {
            s.kind = SourceKind::Memory;
            s.block = ch.samples.data();
        } else if (ch.IsFileBacked() && ch.sourceFile->IsOpen() && ch.stride > 0 && ch.channelNumber >= 1 &&
                   ch.channelNumber <= ch.stride) {
            s.kind = SourceKind::File;
            s.position = ch.channelNumber - 1;
            const platform::File* file = ch.sourceFile.get();
            auto it = std::find_if(groups.begin(), groups.end(), [&](const SourceFrames& g) {
                return g.file == file && g.stride == ch.stride;
            });
            if (it == groups.end()) {
                groups.push_back(SourceFrames{file, ch.stride, {}});
                it = groups.end() - 1;
            }
            s.group = static_cast<std::size_t>(it - groups.begin());
            widest = std::max(widest, static_cast<std::size_t>(ch.stride));
        }
    }

    // Every channel straight from one source whose frames are exactly the
    // frames to write: they are copied as they are.
    bool verbatim = groups.size() == 1 && groups[0].stride == static_cast<std::int64_t>(m);
    for (std::size_t l = 0; verbatim && l < m; ++l)
        verbatim = sources[l].kind == SourceKind::File && sources[l].position == static_cast<std::int64_t>(l);

    const std::size_t framesPerBlock = std::max<std::size_t>(1, kBlockBytes / (widest * sizeof(float)));
    const std::size_t blockFrames =
        static_cast<std::size_t>(std::min<std::int64_t>(count, static_cast<std::int64_t>(framesPerBlock)));
    std::vector<float> frames;
    try {
        if (verbatim) {
            groups[0].values.resize(blockFrames * m);
        } else {
            frames.resize(blockFrames * m);
            for (SourceFrames& g : groups)
                g.values.resize(blockFrames * static_cast<std::size_t>(g.stride));
        }
    } catch (const std::bad_alloc&) {
        return FrameWriteResult::NoMemory;
    }

    ThrottledProgress shown(progress);
    const std::int64_t frameBytes = static_cast<std::int64_t>(m * sizeof(float));
    const std::int64_t base = out.GetPosition();
    WriteBack writeBack(out, base, startWriteBack);
    std::int64_t done = 0;
    if (verbatim) {
        // The frames every channel has a sample for are copied by the
        // system, from the page cache to the page cache; frames past a
        // channel's end, or past the end of the source file, are built
        // below.
        std::int64_t whole = count;
        for (const ChannelSource& s : sources)
            whole = std::min(whole, std::max<std::int64_t>(0, s.readable - first));
        const std::int64_t framesPerPiece = std::max<std::int64_t>(1, kCopyPieceBytes / frameBytes);
        while (done < whole) {
            if (shown.AbortRequested())
                return FrameWriteResult::Aborted;
            const std::int64_t frames = std::min(whole - done, framesPerPiece);
            const auto bytes = static_cast<std::uint64_t>(frames * frameBytes);
            const std::uint64_t copied = platform::CopyRange(*groups[0].file, (first + done) * frameBytes, out,
                                                             base + done * frameBytes, bytes);
            done += static_cast<std::int64_t>(copied) / frameBytes;
            writeBack.Written(base + done * frameBytes);
            shown.Update(static_cast<double>(done), static_cast<double>(count));
            if (copied < bytes)
                break;
        }
        out.Seek(base + done * frameBytes);
    }
    while (done < count) {
        if (shown.AbortRequested())
            return FrameWriteResult::Aborted;
        const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(count - done, blockFrames));
        const std::int64_t frame0 = first + done;
        for (SourceFrames& g : groups)
            ReadSourceFrames(g, frame0, n);
        float* block = verbatim ? groups[0].values.data() : frames.data();
        for (std::size_t l = 0; l < m; ++l) {
            const ChannelSource& s = sources[l];
            // Frames of this block that the channel has a sample for.
            const std::int64_t have = std::clamp<std::int64_t>(s.readable - frame0, 0, static_cast<std::int64_t>(n));
            const auto valid = static_cast<std::size_t>(have);
            float* dst = block + l;
            if (verbatim) {
                for (std::size_t k = valid; k < n; ++k)
                    dst[k * m] = 0.0f;
                continue;
            }
            switch (s.kind) {
            case SourceKind::Memory:
                if (valid > 0) {
                    const float* src = s.block + frame0;
                    for (std::size_t k = 0; k < valid; ++k)
                        dst[k * m] = src[k];
                }
                break;
            case SourceKind::File: {
                const SourceFrames& g = groups[s.group];
                const float* src = g.values.data() + s.position;
                const auto stride = static_cast<std::size_t>(g.stride);
                for (std::size_t k = 0; k < valid; ++k)
                    dst[k * m] = src[k * stride];
                break;
            }
            case SourceKind::Nothing: break;
            }
            const std::size_t from = s.kind == SourceKind::Nothing ? 0 : valid;
            for (std::size_t k = from; k < n; ++k)
                dst[k * m] = 0.0f;
        }
        WriteFloatsLE(out, block, n * m);
        done += static_cast<std::int64_t>(n);
        writeBack.Written(base + done * frameBytes);

        shown.Update(static_cast<double>(done), static_cast<double>(count));
    }
    return FrameWriteResult::Written;
}

}  // namespace vocomet
