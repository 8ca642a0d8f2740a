#include "app/WaveformColumns.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/File.h"

namespace vocomet {

namespace {

// Far beyond any recording, small enough that frame x channels x 4 stays in
// 64 bits.
constexpr double kMaxSample = 4.0e15;

std::int64_t FloorSample(double x) {
    if (!(x > 0.0))
        return 0;
    return static_cast<std::int64_t>(std::floor(std::min(x, kMaxSample)));
}

template <typename T>
void ScanMemory(std::span<const T> samples, const WaveformColumns& columns, std::vector<ColumnExtent>& out) {
    const int w = columns.Width();
    out.assign(static_cast<std::size_t>(w), ColumnExtent{});
    const auto count = static_cast<std::int64_t>(samples.size());
    for (int p = 0; p < w; ++p) {
        const std::int64_t first = std::min(columns.FirstSample(p), count);
        const std::int64_t end = std::min(columns.Boundary(p + 1), count);
        double lo = std::numeric_limits<double>::infinity();
        double hi = -std::numeric_limits<double>::infinity();
        for (std::int64_t k = first; k < end; ++k) {
            const double v = samples[static_cast<std::size_t>(k)];
            lo = v < lo ? v : lo;
            hi = v > hi ? v : hi;
        }
        if (lo <= hi)
            out[static_cast<std::size_t>(p)] = ColumnExtent{lo, hi, false};
    }
}

bool ChannelFits(int channelsPerFrame, int channel) {
    return channelsPerFrame > 0 && channel >= 0 && channel < channelsPerFrame;
}

// Frames per positional read: about a megabyte whatever the frame size.
std::size_t FramesPerRead(int channelsPerFrame) {
    constexpr std::size_t kReadBytes = std::size_t{1} << 20;
    const std::size_t frameBytes = static_cast<std::size_t>(channelsPerFrame) * sizeof(float);
    return std::max<std::size_t>(1, kReadBytes / frameBytes);
}

// Calls fold(frameIndex, value) for channel `channel` of every frame from
// `first` to `end` - 1 that the file holds, in order, with one read per
// block of frames.
template <typename Fold>
void ForEachFileSample(const platform::File& file, int channelsPerFrame, int channel, std::int64_t first,
                       std::int64_t end, Fold&& fold) {
    static_assert(std::endian::native == std::endian::little, "data files hold little-endian floats");
    if (first >= end)
        return;
    const auto n = static_cast<std::size_t>(channelsPerFrame);
    const std::int64_t frameBytes = static_cast<std::int64_t>(n * sizeof(float));
    const std::size_t blockFrames = FramesPerRead(channelsPerFrame);
    std::vector<float> buffer(blockFrames * n);
    for (std::int64_t frame = first; frame < end;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(end - frame, blockFrames));
        const std::size_t got = file.ReadAt(frame * frameBytes, buffer.data(), want * n * sizeof(float));
        const std::size_t frames = got / (n * sizeof(float));
        for (std::size_t f = 0; f < frames; ++f)
            fold(frame + static_cast<std::int64_t>(f), buffer[f * n + static_cast<std::size_t>(channel)]);
        if (frames < want)
            return;  // end of the file
        frame += static_cast<std::int64_t>(frames);
    }
}

}  // namespace

WaveformColumns::WaveformColumns(double windowStart, double windowEnd, int width) {
    if (width <= 0 || !std::isfinite(windowStart) || !std::isfinite(windowEnd) || !(windowEnd > windowStart))
        return;
    m_start = windowStart;
    m_end = windowEnd;
    m_width = width;
    m_samplesPerPixel = (windowEnd - windowStart) / width;
}

std::int64_t WaveformColumns::Boundary(int p) const {
    if (m_width == 0)
        return 0;
    const std::int64_t last = FloorSample(m_end);
    if (p <= 0)
        return std::min(FloorSample(m_start), last);
    if (p >= m_width)
        return last;
    return std::min(FloorSample(m_start + p * m_samplesPerPixel), last);
}

void ScanColumnExtents(std::span<const float> samples, const WaveformColumns& columns,
                       std::vector<ColumnExtent>& out) {
    ScanMemory(samples, columns, out);
}

void ScanColumnExtents(std::span<const double> samples, const WaveformColumns& columns,
                       std::vector<ColumnExtent>& out) {
    ScanMemory(samples, columns, out);
}

void ScanColumnExtents(const platform::File& file, int channelsPerFrame, int channel,
                       const WaveformColumns& columns, std::vector<ColumnExtent>& out) {
    const int w = columns.Width();
    out.assign(static_cast<std::size_t>(w), ColumnExtent{});
    if (w == 0 || !ChannelFits(channelsPerFrame, channel))
        return;
    int p = 0;
    std::int64_t columnEnd = columns.Boundary(1);
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    auto close = [&] {
        if (lo <= hi)
            out[static_cast<std::size_t>(p)] = ColumnExtent{lo, hi, false};
        lo = std::numeric_limits<double>::infinity();
        hi = -std::numeric_limits<double>::infinity();
    };
    ForEachFileSample(file, channelsPerFrame, channel, columns.Boundary(0), columns.Boundary(w),
                      [&](std::int64_t k, float value) {
                          while (k >= columnEnd) {  // empty columns are passed over
                              close();
                              ++p;
                              columnEnd = columns.Boundary(p + 1);
                          }
                          const double v = value;
                          lo = v < lo ? v : lo;
                          hi = v > hi ? v : hi;
                      });
    if (p < w)
        close();
}

void ReadChannelSamples(const platform::File& file, int channelsPerFrame, int channel, std::int64_t first,
                        std::size_t count, std::vector<float>& out) {
    out.clear();
    if (!ChannelFits(channelsPerFrame, channel) || first < 0 || count == 0)
        return;
    const auto limit = static_cast<std::int64_t>(kMaxSample);
    if (first >= limit)
        return;
    const std::int64_t frameBytes = static_cast<std::int64_t>(channelsPerFrame) * 4;
    const std::int64_t framesInFile = file.GetLength() / frameBytes;
    const std::int64_t end = std::min<std::int64_t>(
        framesInFile, first + static_cast<std::int64_t>(std::min<std::size_t>(count, limit - first)));
    if (end <= first)
        return;
    out.reserve(static_cast<std::size_t>(end - first));
    ForEachFileSample(file, channelsPerFrame, channel, first, end,
                      [&](std::int64_t, float value) { out.push_back(value); });
}

}  // namespace vocomet
