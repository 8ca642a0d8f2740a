#include "analysis/ChannelSampleSource.h"

#include <algorithm>
#include <limits>

#include "core/CChannels.h"
#include "core/COrielDoc.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"

namespace vocomet {

namespace {
// Frames read from the file at once: a long frame walk reads in pieces of
// this size so the scratch stays small.
constexpr std::int64_t kFramesPerRead = 16384;
}  // namespace

ChannelSampleSource ChannelSampleSource::FromMemory(const float* samples, std::int64_t count) {
    ChannelSampleSource s;
    if (samples == nullptr || count <= 0)
        return s;
    s.m_memory = samples;
    s.m_count = count;
    return s;
}

ChannelSampleSource ChannelSampleSource::FromFile(std::shared_ptr<const platform::File> file, int stride,
                                                  int column, std::int64_t count) {
    ChannelSampleSource s;
    if (!file || !file->IsOpen() || stride < 1 || column < 0 || column >= stride || count <= 0)
        return s;
    // Byte offsets of the last frame must stay representable.
    const std::int64_t limit = std::numeric_limits<std::int64_t>::max() / 4 / stride - 1;
    s.m_file = std::move(file);
    s.m_stride = stride;
    s.m_column = column;
    s.m_count = std::min(count, limit);
    return s;
}

ChannelSampleSource ChannelSampleSource::FromChannel(const CChannels& channel) {
    const std::int64_t count = channel.ReadableCount();
    if (channel.HasSamples())
        return FromMemory(channel.samples.data(), count);
    return FromFile(channel.sourceFile, channel.stride, channel.channelNumber - 1, count);
}

template <typename T>
std::int64_t ChannelSampleSource::ReadAny(std::int64_t first, std::int64_t n, T* out) const {
    if (n <= 0 || out == nullptr)
        return 0;
    std::fill(out, out + n, T{0});
    // The part of the request that lies inside the channel.
    const std::int64_t from = std::max<std::int64_t>(first, 0);
    const std::int64_t to = first > m_count - n ? m_count : first + n;
    if (from >= to || !IsValid())
        return 0;
    if (m_memory) {
        for (std::int64_t k = from; k < to; ++k)
            out[k - first] = static_cast<T>(m_memory[k]);
        return to - from;
    }
    std::int64_t got = 0;
    const std::int64_t frameBytes = static_cast<std::int64_t>(m_stride) * 4;
    for (std::int64_t k = from; k < to;) {
        const std::int64_t frames = std::min(kFramesPerRead, to - k);
        m_bytes.resize(static_cast<std::size_t>(frames * frameBytes));
        std::size_t read = 0;
        try {
            read = m_file->ReadAt(k * frameBytes, m_bytes.data(), m_bytes.size());
        } catch (const platform::FileException&) {
            read = 0;
        }
        // Only whole frames that arrived are taken; the rest stays 0.
        const std::int64_t whole = static_cast<std::int64_t>(read) / frameBytes;
        const std::uint8_t* p = m_bytes.data() + m_column * 4;
        for (std::int64_t i = 0; i < whole; ++i, p += frameBytes)
            out[k + i - first] = static_cast<T>(platform::GetF32LE(p));
        got += whole;
        if (whole < frames)
            break;
        k += frames;
    }
    return got;
}

std::int64_t ChannelSampleSource::Read(std::int64_t first, std::int64_t n, double* out) const {
    return ReadAny(first, n, out);
}

std::int64_t ChannelSampleSource::Read(std::int64_t first, std::int64_t n, float* out) const {
    return ReadAny(first, n, out);
}

double FrameCentreSample(double start, double length) { return start + length / 2.0; }

double FrameCentreMs(double start, double length, double rate) {
    return rate > 0.0 ? FrameCentreSample(start, length) * 1000.0 / rate : 0.0;
}

int AnalysedChannel(const COrielDoc& doc) {
    const int count = std::min(doc.GetChannelCount(), kDocumentSlots);
    for (int i = 0; i < count; ++i)
        if (doc.Channel(i).audioFlag == 1)
            return i;
    return -1;
}

}  // namespace vocomet
