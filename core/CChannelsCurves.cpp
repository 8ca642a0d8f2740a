// Derived curves of a channel: intensity (in memory and in a file beside a
// file-backed channel's data file), velocity and acceleration, smoothing and
// averaging of the samples.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Numbers.h"
#include "platform/ScratchRun.h"
#include "dsp/CMathFunc.h"
#include "core/CChannels.h"
#include "core/MovingSum.h"

namespace vocomet {

namespace {

using platform::WholeCount;

// Levels of silent frames are marked with this until the curve's lowest
// finite level is known.
constexpr float kSilent = -std::numeric_limits<float>::infinity();

// How a curve running from lo to hi is made non-negative (and, with shift,
// started at 0): the offset added to every value and the new extremes.
struct Normalisation {
    double offset = 0.0;
    double lo = 0.0;
    double hi = 0.0;
};

Normalisation Normalise(double lo, double hi, bool shift) {
    Normalisation r{0.0, lo, hi};
    if (lo < 0.0) {
        if (hi < 0.0) {
            r.offset = -lo - hi;
            r.lo = std::fabs(hi);
            r.hi = std::fabs(lo);
        } else {
            r.offset = -lo;
            r.hi = hi - lo;
            r.lo = 0.0;
        }
    }
    if (shift) {
        r.offset -= r.lo;
        r.hi -= r.lo;
        r.lo = 0.0;
    }
    return r;
}

// Reads one channel's values out of an interleaved float file, front to
// back in large positional reads, keeping the values from a given index on.
class ChannelValueReader {
public:
    // Values up to limit (exclusive) will be asked for.
    ChannelValueReader(const platform::File& file, std::int64_t stride, std::int64_t column, std::int64_t limit)
        : m_file(file), m_stride(stride), m_column(column), m_limit(limit) {
        const std::int64_t frameBytes = stride * 4;
        m_chunkFrames = std::max<std::int64_t>(1, (std::int64_t{4} << 20) / frameBytes);
        m_raw.resize(static_cast<std::size_t>(m_chunkFrames * stride));
    }

    // Makes values [from, to) available: Value(k) for k in that range.
    // Values before from may be dropped; values between are never read.
    void Ensure(std::int64_t from, std::int64_t to) {
        std::int64_t have = m_base + static_cast<std::int64_t>(m_values.size());
        if (have >= to)
            return;
        // Drop what lies before from only when reading more, so each value
        // is moved at most once per read.
        if (from >= have) {
            m_values.clear();
            m_base = from;
        } else if (from > m_base) {
            m_values.erase(m_values.begin(), m_values.begin() + (from - m_base));
            m_base = from;
        }
        while ((have = m_base + static_cast<std::int64_t>(m_values.size())) < to) {
            const std::int64_t frames = std::min(m_chunkFrames, std::max(to, m_limit) - have);
            const std::int64_t bytes = frames * m_stride * 4;
            std::size_t got = m_file.ReadAt(have * m_stride * 4, m_raw.data(), static_cast<std::size_t>(bytes));
            // The last frame need only reach this channel's value.
            const std::int64_t needed = ((frames - 1) * m_stride + m_column + 1) * 4;
            if (static_cast<std::int64_t>(got) < needed)
                throw platform::FileException(platform::FileException::Cause::EndOfFile, m_file.GetFilePath(),
                                              "the data file ends before the channel's last sample");
            for (std::int64_t k = 0; k < frames; ++k)
                m_values.push_back(m_raw[static_cast<std::size_t>(k * m_stride + m_column)]);
        }
    }
    float Value(std::int64_t k) const { return m_values[static_cast<std::size_t>(k - m_base)]; }

private:
    const platform::File& m_file;
    std::int64_t m_stride;
    std::int64_t m_column;
    std::int64_t m_limit;
    std::int64_t m_chunkFrames = 1;
    std::vector<float> m_raw;
    std::vector<float> m_values;  // values from index m_base on
    std::int64_t m_base = 0;
};

// Buffered sequential writer of float values.
class FloatWriter {
public:
    explicit FloatWriter(platform::File& file) : m_file(file) { m_buffer.reserve(kSize); }
    void Repeat(float value, std::int64_t count) {
        while (count > 0) {
            std::int64_t room = static_cast<std::int64_t>(kSize - m_buffer.size());
            std::int64_t take = std::min(room, count);
            m_buffer.insert(m_buffer.end(), static_cast<std::size_t>(take), value);
            count -= take;
            if (m_buffer.size() == kSize)
                Flush();
        }
    }
    void Flush() {
        if (!m_buffer.empty())
            m_file.Write(m_buffer.data(), m_buffer.size() * sizeof(float));
        m_buffer.clear();
    }

private:
    static constexpr std::size_t kSize = std::size_t{1} << 16;
    platform::File& m_file;
    std::vector<float> m_buffer;
};

// How often the long loops show their progress and ask about aborting.
constexpr std::int64_t kPollSamples = std::int64_t{1} << 16;

// The intensity of a file-backed channel, written to out. Each frame's level
// is repeated over the whole part of the hop; the source is read once, front
// to back. Returns the curve's extremes, or nothing when progress asked to
// abort.
std::optional<Normalisation> WriteIntensityFile(const CChannels& ch, std::int64_t frameLength, double hop,
                                                platform::File& out, platform::Progress& progress) {
    const platform::File& source = *ch.sourceFile;
    const std::int64_t n = WholeCount(ch.sampleCount);
    const std::int64_t h = std::max<std::int64_t>(1, WholeCount(hop));
    const std::int64_t frames = n >= frameLength ? (n - frameLength) / h : 0;
    const std::int64_t rest = n - h * frames;

    ChannelValueReader reader(source, ch.stride, ch.channelNumber - 1, frames > 0 ? (frames - 1) * h + frameLength : 0);
    FloatWriter writer(out);
    const double reference = ch.reference;
    bool anySilent = false;
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    float level = 0.0f;
    std::int64_t nextPoll = 0;
    for (std::int64_t e = 0; e < frames; ++e) {
        const std::int64_t s = e * h;
        if (s >= nextPoll) {
            progress.SetFraction(static_cast<double>(s) / static_cast<double>(n));
            if (progress.AbortRequested())
                return std::nullopt;
            nextPoll = s + kPollSamples;
        }
        reader.Ensure(s, s + frameLength);
        double sum = 0.0;
        for (std::int64_t j = s; j < s + frameLength; ++j) {
            double d = static_cast<double>(reader.Value(j)) - reference;
            sum += d * d;
        }
        const double mean = sum / static_cast<double>(frameLength);
        level = kSilent;
        if (mean > 0.0 && std::isfinite(mean))
            level = static_cast<float>(10.0 * std::log10(mean));
        if (level == kSilent) {
            anySilent = true;
        } else {
            lo = std::min(lo, static_cast<double>(level));
            hi = std::max(hi, static_cast<double>(level));
        }
        writer.Repeat(level, h);
    }
    writer.Repeat(level, rest);
    writer.Flush();

    // Silent frames take the lowest finite level; a curve without one is 0.
    float floorLevel = 0.0f;
    if (std::isfinite(lo)) {
        floorLevel = static_cast<float>(lo);
    } else {
        lo = 0.0;
        hi = 0.0;
    }
    Normalisation norm = Normalise(lo, hi, ch.relativeIntensity != 0);
    if (anySilent || norm.offset != 0.0) {
        std::vector<float> block(static_cast<std::size_t>(kPollSamples));
        for (std::int64_t at = 0; at < n;) {
            if (progress.AbortRequested())
                return std::nullopt;
            const std::int64_t count = std::min<std::int64_t>(static_cast<std::int64_t>(block.size()), n - at);
            const std::size_t bytes = static_cast<std::size_t>(count) * sizeof(float);
            if (out.ReadAt(at * 4, block.data(), bytes) != bytes)
                throw platform::FileException(platform::FileException::Cause::EndOfFile, out.GetFilePath(),
                                              "the intensity file is shorter than written");
            for (std::int64_t k = 0; k < count; ++k) {
                float& v = block[static_cast<std::size_t>(k)];
                if (!std::isfinite(v))
                    v = floorLevel;
                v = static_cast<float>(v + norm.offset);
            }
            out.WriteAt(at * 4, block.data(), bytes);
            at += count;
        }
    }
    return norm;
}

// Differences of x times the rate, then a forward moving mean over w ms;
// the extremes of all but the last two values (starting from 0).
template <typename T>
void DifferenceCurve(const T* x, std::int64_t count, double rate, double w, DoubleBlock& out, double& maximum,
                     double& minimum) {
    const std::size_t n = static_cast<std::size_t>(std::max<std::int64_t>(count, 0));
    out = DoubleBlock::TryAllocate(n);
    if (n > 0 && out.IsNull())
        throw platform::UserException();
    if (n == 0)
        return;
    double* v = out.data();
    for (std::size_t i = 0; i + 1 < n; ++i)
        v[i] = (static_cast<double>(x[i + 1]) - static_cast<double>(x[i])) * rate;
    v[n - 1] = n >= 2 ? v[n - 2] : 0.0;

    if (w > 0.0) {
        // The window takes every sample j with i <= j < i + d; its mean
        // divides by the number of samples taken. A hair of tolerance keeps a
        // width such as 5.000000000001 from taking a sixth sample.
        const double d = w * rate / 1000.0;
        if (d > 0.0) {
            std::size_t width = 1;
            if (!(d < static_cast<double>(n)))
                width = n;
            else
                width = static_cast<std::size_t>(std::max(1.0, std::ceil(d - 1e-9 * std::max(1.0, d))));
            // The windows stay inside the first n - 1 values (the last value
            // only repeats the one before it).
            if (n >= 2 && width <= n - 1) {
                double last = 0.0;
                ForEachWindowSum(v, n - 1, width, [&](std::size_t i, double sum) {
                    last = sum / static_cast<double>(width);
                    v[i] = last;
                });
                std::fill(v + (n - width), v + n, last);
            } else {
                // The window is at least as long as the curve: every value
                // takes the mean of the whole curve.
                double sum = 0.0;
                for (std::size_t i = 0; i < n; ++i)
                    sum += v[i];
                std::fill(v, v + n, sum / static_cast<double>(n));
            }
        }
    }

    maximum = 0.0;
    minimum = 0.0;
    for (std::size_t i = 0; i + 2 < n; ++i) {
        if (v[i] >= maximum)
            maximum = v[i];
        else if (v[i] < minimum)
            minimum = v[i];
    }
}

}  // namespace

int CChannels::ComputeIntensity() {
    // The old curve goes first, so the new one never shares memory with it.
    intensity.Free();
    intensityMax = -1e34;
    intensityMin = 1e34;
    intensityValid = 0;
    intensityCount = sampleCount;
    platform::NullProgress quiet;
    std::optional<IntensityCurve> curve = MakeIntensity(quiet);
    if (curve)  // a progress that never aborts always gives one
        TakeIntensity(std::move(*curve));
    return 0;
}

std::optional<IntensityCurve> CChannels::MakeIntensity(platform::Progress& progress) const {
    const bool inMemory = !samples.IsNull();
    if (!inMemory && !sourceFile)
        throw platform::UserException();
    // A step or a window shorter than a sample measures nothing (and a step
    // of 0 would never advance).
    const double frame = intensityWindow * rate / 1000.0 + 0.5;
    const double hop = intensityStep * rate / 1000.0;
    if (!(hop > 0.0) || !std::isfinite(hop) || !(frame >= 1.0) || !std::isfinite(frame))
        throw platform::UserException();
    const std::int64_t frameLength = WholeCount(frame);

    IntensityCurve curve;
    curve.count = sampleCount;
    if (inMemory) {
        const std::int64_t n = ReadableCount();
        curve.values = platform::FloatBlock::TryAllocate(static_cast<std::size_t>(n));
        if (n > 0 && curve.values.IsNull())
            throw platform::UserException();
        if (!CMathFunc().IntensityCurveFloat(samples.data(), curve.values.data(), curve.minimum, curve.maximum,
                                             reference, 0.0, static_cast<double>(frameLength), hop,
                                             static_cast<double>(n), relativeIntensity, 0, &progress))
            return std::nullopt;
    } else {
        const platform::File& source = *sourceFile;
        if (!source.IsOpen() || stride < 1 || channelNumber < 1 || channelNumber > stride)
            throw platform::UserException();
        // The curve goes beside the data file ("_Int#" and the channel
        // number); the file there now stays until the new one is complete.
        const std::string path = source.GetFilePath() + "_Int#" + std::to_string(channelNumber);
        platform::NoteScratchFile(path);
        try {
            curve.file = std::make_unique<platform::ScratchReplacement>(path);
        } catch (const platform::FileException&) {
            throw platform::UserException();
        }
        const std::optional<Normalisation> r =
            WriteIntensityFile(*this, frameLength, hop, curve.file->GetFile(), progress);
        if (!r)
            return std::nullopt;
        curve.minimum = r->lo;
        curve.maximum = r->hi;
    }
    progress.SetFraction(1.0);
    return curve;
}

void CChannels::TakeIntensity(IntensityCurve&& curve) {
    if (curve.file) {
        // A reader of the old file would go on reading it after the rename.
        CloseIntensityFile();
        curve.file->Commit();
        intensityFilePath = curve.file->GetTargetPath();
        curve.file.reset();
        m_intensityOwner = platform::RemoveOnRelease(intensityFilePath);
    }
    intensity = std::move(curve.values);
    intensityCount = curve.count;
    intensityMin = curve.minimum;
    intensityMax = curve.maximum;
    intensityValid = 1;
}

void CChannels::ComputeVelocity(double w) {
    velocity.Free();
    velocityMax = 0.0;
    velocityMin = 0.0;
    velocityValid = 0;
    velocityCount = sampleCount;
    // The curve is made from samples in memory; a file-backed channel keeps
    // its samples on disk and has no velocity.
    if (samples.IsNull())
        throw platform::UserException();
    DifferenceCurve(samples.data(), ReadableCount(), rate, w, velocity, velocityMax, velocityMin);
    velocityValid = 1;
}

void CChannels::ComputeAcceleration(double w1, double w2) {
    acceleration.Free();
    accelerationMax = 0.0;
    accelerationMin = 0.0;
    accelerationCount = 0.0;
    accelerationValid = 0;
    ComputeVelocity(w1);
    accelerationCount = velocityCount;
    DifferenceCurve(velocity.data(), static_cast<std::int64_t>(velocity.size()), rate, w2, acceleration,
                    accelerationMax, accelerationMin);
    accelerationValid = 1;
}

void CChannels::SmoothSamples() {
    platform::NullProgress quiet;
    std::optional<platform::FloatBlock> r = SmoothedSamples(quiet);
    if (r && !r->IsNull())
        std::copy(r->data(), r->data() + r->size(), samples.data());
}

std::optional<platform::FloatBlock> CChannels::SmoothedSamples(platform::Progress& progress) const {
    if (!smoothingOn)
        return platform::FloatBlock();
    if (samples.IsNull()) {
        if (sourceFile)
            return platform::FloatBlock();
        throw platform::UserException();
    }
    const std::size_t n = static_cast<std::size_t>(ReadableCount());
    const double points = std::isfinite(smoothingPoints) ? std::clamp(smoothingPoints, 0.0, 1e9) : 0.0;
    const std::size_t d = static_cast<std::size_t>(points) / 2 * 2 + 1;  // odd width
    const std::size_t half = d / 2;
    // The ends copy means from d + 5 samples before the end: a channel
    // shorter than that has nothing to smooth with.
    if (n < d + 5)
        return platform::FloatBlock();
    platform::FloatBlock r = platform::FloatBlock::TryAllocate(samples.size());
    if (r.IsNull())
        throw platform::UserException();
    const std::size_t poll = static_cast<std::size_t>(kPollSamples);
    const bool done = ForEachWindowSum(samples.data(), n, d, [&](std::size_t i, double sum) {
        if (i % poll == 0) {
            progress.SetFraction(static_cast<double>(i) / static_cast<double>(n));
            if (progress.AbortRequested())
                return false;
        }
        const std::size_t centre = i + half;
        if (centre + half + 1 < n)
            r[centre] = static_cast<float>(sum / static_cast<double>(d));
        return true;
    });
    if (!done)
        return std::nullopt;
    std::fill(r.data(), r.data() + half + 1, r[half + 1]);
    const float tail = r[n - d - 5];
    std::fill(r.data() + (n - d - 2), r.data() + n, tail);
    // What lies past the count is kept as it is.
    std::copy(samples.data() + n, samples.data() + samples.size(), r.data() + n);
    progress.SetFraction(1.0);
    return r;
}

void CChannels::AverageSamples(double t0, double t1) {
    platform::NullProgress quiet;
    if (std::optional<SampleMean> mean = MeanOfSamples(t0, t1, quiet))
        FillSamples(*mean);
}

std::optional<SampleMean> CChannels::MeanOfSamples(double t0, double t1, platform::Progress& progress) const {
    if (samples.IsNull()) {
        if (sourceFile)
            return SampleMean{};
        throw platform::UserException();
    }
    const std::int64_t n = ReadableCount();
    const double perMs = SamplesPerMs(sampleCount);
    auto index = [&](double t) -> std::int64_t {
        double p = t * perMs;
        if (!(p > 0.0))
            return 0;
        if (p >= static_cast<double>(n))
            return n;
        return static_cast<std::int64_t>(p);
    };
    const std::int64_t i0 = index(t0), i1 = index(t1);
    if (i0 >= i1)
        return SampleMean{};
    double sum = 0.0;
    for (std::int64_t at = i0; at < i1;) {
        progress.SetFraction(static_cast<double>(at - i0) / static_cast<double>(i1 - i0));
        if (progress.AbortRequested())
            return std::nullopt;
        const std::int64_t to = std::min(i1, at + kPollSamples);
        for (std::int64_t i = at; i < to; ++i)
            sum += samples[static_cast<std::size_t>(i)];
        at = to;
    }
    progress.SetFraction(1.0);
    return SampleMean{i0, i1, static_cast<float>(sum / static_cast<double>(i1 - i0))};
}

void CChannels::FillSamples(const SampleMean& mean) {
    const std::int64_t n = samples.IsNull() ? 0 : static_cast<std::int64_t>(samples.size());
    const std::int64_t first = std::clamp<std::int64_t>(mean.first, 0, n);
    const std::int64_t end = std::clamp<std::int64_t>(mean.end, first, n);
    std::fill(samples.data() + first, samples.data() + end, mean.mean);
}

}  // namespace vocomet
