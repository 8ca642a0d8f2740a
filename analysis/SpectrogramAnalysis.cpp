#include "analysis/SpectrogramAnalysis.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "analysis/AnalysisLimits.h"
#include "analysis/ChannelSampleSource.h"
#include "dsp/CMathFunc.h"
#include "platform/Progress.h"

namespace vocomet {

int SpectrogramFftPoints(const SpectrogramSettings& s) { return s.values[SpectrogramSettings::kPoints]; }
int SpectrogramDynamicRange(const SpectrogramSettings& s) { return s.values[3]; }
int SpectrogramFrequencyLimit(const SpectrogramSettings& s) { return s.values[SpectrogramSettings::kTopFrequency]; }
bool SpectrogramTracksFormants(const SpectrogramSettings& s) { return s.values[4] != 0; }
int SpectrogramLpcOrder(const SpectrogramSettings& s) { return s.values[SpectrogramSettings::kLpcOrder]; }

int SpectrogramLpcLength(double rate, int lpcOrder) {
    const double khz = rate / 1000.0;
    if (!(khz >= 0.0) || khz > 1e6 || lpcOrder <= 0)
        return 0;
    const double length = std::floor(khz) * lpcOrder;
    return length < 1e9 ? static_cast<int>(length) : 0;
}

std::string CheckSpectrogramInputs(const SpectrogramInputs& in) {
    const SpectrogramSettings& s = in.settings;
    if (!(in.rate > 0.0) || !std::isfinite(in.rate))
        return kSpectrogramRateRefused;
    if (!std::isfinite(in.rangeStart) || !std::isfinite(in.rangeEnd) || !(in.rangeEnd > in.rangeStart))
        return kSpectrogramRangeRefused;
    if (SpectrogramFrequencyLimit(s) <= 0)
        return kSpectrogramFrequencyLimitRefused;
    if (SpectrogramDynamicRange(s) <= 0)
        return kSpectrogramDynamicRangeRefused;
    // The axes step through their range by these; a time step of 0 asks
    // the axis to choose its own.
    if ((s.values[10] != 0 && s.values[11] <= 0) || (s.values[12] != 0 && s.values[13] < 0))
        return kSpectrogramGridStepRefused;
    const int points = SpectrogramFftPoints(s);
    if (points < 32 || points > 8192 || (points & (points - 1)) != 0)
        return kSpectrogramPointsRefused;
    // The window's own limits for the rate, then an order to track with.
    const std::string limits = CheckSpectrogramLimits(SpectrogramFrequencyLimit(s), SpectrogramLpcOrder(s), in.rate);
    if (!limits.empty())
        return limits;
    if (SpectrogramTracksFormants(s) && SpectrogramLpcOrder(s) < 1)
        return kSpectrogramOrderRefused;
    return {};
}

std::uint8_t SpectrogramImage::Grey(int column, int row) const {
    if (dynamicRange <= 0 || column < 0 || column >= columns || row < 0 || row >= rows || levels.empty())
        return 255;
    const double g = 255.0 - static_cast<double>(Level(column, row)) * 255.0 / dynamicRange;
    return static_cast<std::uint8_t>(std::clamp(g, 0.0, 255.0));
}

int SpectrogramImage::ColumnAt(double timeMs) const {
    if (columnTimesMs.empty())
        return -1;
    if (!(timeMs > columnTimesMs.front()))  // also NaN
        return 0;
    const auto it = std::lower_bound(columnTimesMs.begin(), columnTimesMs.end(), timeMs);
    if (it == columnTimesMs.end())
        return static_cast<int>(columnTimesMs.size()) - 1;
    const auto after = static_cast<int>(it - columnTimesMs.begin());
    return timeMs - columnTimesMs[static_cast<std::size_t>(after - 1)] <= *it - timeMs ? after - 1 : after;
}

SpectrogramFormants SpectrogramImage::FormantsAt(int column) const {
    SpectrogramFormants none{kNoFormant, kNoFormant, kNoFormant, kNoFormant, kNoFormant};
    if (column < 0 || static_cast<std::size_t>(column) >= formants.size())
        return none;
    return formants[static_cast<std::size_t>(column)];
}

namespace {

// Everything the columns share, fixed before the first one is analysed.
struct ColumnPlan {
    int rows = 0;
    int points = 0;
    int lpcOrder = 0;
    int lpcLength = 0;
    int frequencyLimit = 0;
    int readLength = 0;  // samples read per column: what the spectrum and the LPC use
    double rate = 0.0;
    double preEmphasis = 0.0;
    double rangeStart = 0.0;
    double step = 0.0;
    bool formants = false;
};

// The two analyses of a column: its raw levels (dB) and, for columns that
// keep formants, its LPC formants.
class ColumnAnalyser {
public:
    ColumnAnalyser(const ChannelSampleSource& source, const ColumnPlan& plan)
        : source_(source), plan_(plan), samples_(static_cast<std::size_t>(plan.readLength), 0.0) {}

    // Levels into out (rows values); false when the frame has no energy
    // (digital silence).
    bool Spectrum(int column, float* out) {
        Read(column);
        const std::vector<double> levels = math_.PowerSpectrumDb(samples_.data(), plan_.points, plan_.preEmphasis, 1,
                                                                 1, plan_.rows, plan_.frequencyLimit, plan_.rate);
        if (levels.size() != static_cast<std::size_t>(plan_.rows))
            throw std::runtime_error(kSpectrogramRoutineError);
        // A frame with no energy comes back flat at exactly 0 dB.
        bool silent = true;
        for (int r = 0; r < plan_.rows; ++r) {
            out[r] = static_cast<float>(levels[static_cast<std::size_t>(r)]);
            silent = silent && levels[static_cast<std::size_t>(r)] == 0.0;
        }
        return !silent;
    }

    // Up to five formants, ascending, filled from slot 0.
    void Formants(int column, SpectrogramFormants& slots) {
        slots.fill(kNoFormant);
        Read(column);
        const LpcSpectrum lpc = math_.LpcSpectrumFormants(samples_.data(), plan_.lpcOrder, plan_.lpcLength,
                                                          plan_.preEmphasis, 1, 0, 1, plan_.frequencyLimit,
                                                          plan_.rate, 1, true);
        if (!lpc.formants)
            return;  // the root search failed: no formants for the column
        std::size_t slot = 0;
        for (int k = 0; k < kSpectrogramFormantSlots; ++k) {
            const double f = lpc.formants->Frequency(k) + 0.5;
            const double b = lpc.formants->Bandwidth(k) + 0.5;
            // Only resonances at least about twice as high as they are wide
            // are taken as formants.
            if (f >= 2.0 * b && f < 2147483647.0)
                slots[slot++] = static_cast<std::int32_t>(f);
        }
    }

private:
    // The column's samples, from the whole part of its start. Past the
    // channel's current end the source reads zeros, so a column near the end
    // never analyses stale samples.
    void Read(int column) {
        const double p = plan_.rangeStart + column * plan_.step;
        source_.Read(static_cast<std::int64_t>(std::floor(p)), plan_.readLength, samples_.data());
    }

    ChannelSampleSource source_;  // own copy: a source keeps a read buffer
    const ColumnPlan& plan_;
    CMathFunc math_;
    std::vector<double> samples_;
};

// Columns handed out in runs, so each thread works on neighbouring samples.
constexpr int kColumnsPerRun = 32;
constexpr double kNoLevel = -10000000.0;

int ThreadsFor(int runs) {
    const unsigned hardware = std::max(1u, std::thread::hardware_concurrency());
    return std::max(1, std::min(runs, static_cast<int>(std::min(8u, hardware))));
}

// Runs column(state, c) for every c of 0 .. count - 1, spread over threads,
// each with its own state from make(); finish(state) runs once per state,
// one at a time. Only this thread talks to the progress: it shows
// base + scale * (part done) and passes an abort on to the threads. The
// columns are independent and each lands in its own place, so the outcome
// does not depend on the number of threads. False when the user aborted;
// failure holds a message when the work failed.
template <typename Make, typename Column, typename Finish>
bool RunColumns(int count, platform::Progress& progress, double base, double scale, Make make, Column column,
                Finish finish, std::string& failure) {
    std::atomic<int> next{0};
    std::atomic<int> done{0};
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable exited;
    int running = 0;
    auto work = [&] {
        try {
            auto state = make();
            while (!stop.load(std::memory_order_relaxed)) {
                const int first = next.fetch_add(kColumnsPerRun);
                if (first >= count)
                    break;
                const int last = std::min(count, first + kColumnsPerRun);
                for (int c = first; c < last; ++c)
                    column(*state, c);
                done.fetch_add(last - first, std::memory_order_relaxed);
            }
            std::lock_guard<std::mutex> lock(mutex);
            finish(*state);
        } catch (const std::exception&) {
            std::lock_guard<std::mutex> lock(mutex);
            failure = kSpectrogramRoutineError;
            stop = true;
        }
    };

    const int wanted = ThreadsFor((count + kColumnsPerRun - 1) / kColumnsPerRun);
    std::vector<std::thread> threads;
    for (int t = 0; t < wanted && wanted > 1; ++t) {
        try {
            {
                std::lock_guard<std::mutex> lock(mutex);
                ++running;
            }
            threads.emplace_back([&] {
                work();
                std::lock_guard<std::mutex> lock(mutex);
                --running;
                exited.notify_all();
            });
        } catch (const std::system_error&) {
            std::lock_guard<std::mutex> lock(mutex);
            --running;  // fewer threads than hoped for: the others share the work
            break;
        }
    }
    bool cancelled = false;
    if (threads.empty()) {
        // All in this thread, asking about an abort after each run.
        try {
            auto state = make();
            for (int c = 0; c < count; ++c) {
                column(*state, c);
                if ((c + 1) % kColumnsPerRun == 0 || c + 1 == count) {
                    progress.SetFraction(base + scale * (c + 1) / count);
                    if (progress.AbortRequested()) {
                        cancelled = true;
                        break;
                    }
                }
            }
            if (!cancelled)
                finish(*state);
        } catch (const std::exception&) {
            failure = kSpectrogramRoutineError;
        }
        return !cancelled;
    }
    // Asked at least once, however quickly the threads finish.
    std::unique_lock<std::mutex> lock(mutex);
    do {
        lock.unlock();
        progress.SetFraction(base + scale * done.load() / count);
        if (!cancelled && progress.AbortRequested()) {
            cancelled = true;
            stop = true;
        }
        lock.lock();
    } while (!exited.wait_for(lock, std::chrono::milliseconds(40), [&] { return running == 0; }));
    lock.unlock();
    for (std::thread& t : threads)
        t.join();
    return !cancelled;
}

}  // namespace

SpectrogramOutcome ComputeSpectrogram(const ChannelSampleSource& source, const SpectrogramInputs& in,
                                      platform::Progress& progress) {
    SpectrogramOutcome outcome;
    outcome.error = CheckSpectrogramInputs(in);
    if (!outcome.error.empty())
        return outcome;
    if (in.columns < 1 || in.rows < 1)
        return outcome;  // no plot: nothing to compute, nothing to refuse
    if (!source.IsValid() || source.Count() < 1) {
        outcome.error = kSpectrogramNoSamples;
        return outcome;
    }

    const SpectrogramSettings& s = in.settings;
    ColumnPlan plan;
    plan.rows = in.rows;
    plan.points = SpectrogramFftPoints(s);
    plan.formants = SpectrogramTracksFormants(s);
    plan.lpcOrder = SpectrogramLpcOrder(s);
    plan.lpcLength = plan.formants ? SpectrogramLpcLength(in.rate, plan.lpcOrder) : 0;
    if (plan.formants && plan.lpcLength < 1)
        plan.formants = false;  // below 1 kHz there is no LPC span to analyse
    plan.frequencyLimit = SpectrogramFrequencyLimit(s);
    plan.rate = in.rate;
    plan.preEmphasis = s.preEmphasis;
    plan.rangeStart = in.rangeStart;
    plan.step = (in.rangeEnd - in.rangeStart) / in.columns;
    plan.readLength = std::max(plan.points + 10, plan.lpcLength + 5);

    SpectrogramImage& image = outcome.image;
    image.columns = in.columns;
    image.rows = in.rows;
    image.dynamicRange = SpectrogramDynamicRange(s);
    image.frequencyLimit = plan.frequencyLimit;
    image.fftPoints = plan.points;
    image.lpcLength = plan.lpcLength;
    image.rate = in.rate;
    image.rangeStart = in.rangeStart;
    image.rangeEnd = in.rangeEnd;
    image.stepSamples = plan.step;
    image.hzPerRow = static_cast<double>(plan.frequencyLimit) / in.rows;
    image.tracksFormants = plan.formants;

    const auto columns = static_cast<std::size_t>(in.columns);
    const auto rows = static_cast<std::size_t>(in.rows);
    std::vector<std::uint8_t> sounding;
    try {
        image.levels.resize(columns * rows);  // every level is written below
        if (plan.formants)
            image.formants.resize(columns);
        sounding.resize(columns);
        image.columnTimesMs.resize(columns);
    } catch (const std::bad_alloc&) {
        outcome = {};
        outcome.error =
            "Low memory error\nPlease close some windows and try again.\nIf the problem persists, please save work, "
            "close application and start again.";
        return outcome;
    }
    for (std::size_t c = 0; c < columns; ++c)
        image.columnTimesMs[c] =
            FrameCentreMs(std::floor(plan.rangeStart + static_cast<double>(c) * plan.step), plan.points, in.rate);

    progress.SetText(kSpectrogramProgressText);
    progress.SetFraction(0.0);
    std::string failure;
    auto fail = [&](bool cancelled) {
        outcome = {};
        outcome.error = failure;
        outcome.cancelled = failure.empty() && cancelled;
        return outcome;
    };

    // First every column's spectrum, and the strongest level of the
    // picture (a maximum: the same whatever the order).
    struct SpectrumState {
        SpectrumState(const ChannelSampleSource& from, const ColumnPlan& with) : analyser(from, with) {}
        ColumnAnalyser analyser;
        double top = kNoLevel;
    };
    double strongest = kNoLevel;
    const double spectrumShare = plan.formants ? 0.5 : 1.0;
    const bool ran = RunColumns(
        in.columns, progress, 0.0, spectrumShare,
        [&] { return std::make_unique<SpectrumState>(source, plan); },
        [&](SpectrumState& st, int c) {
            const auto cc = static_cast<std::size_t>(c);
            float* v = image.levels.data() + cc * rows;
            const bool sound = st.analyser.Spectrum(c, v);
            sounding[cc] = sound ? 1 : 0;
            if (sound)
                for (std::size_t r = 0; r < rows; ++r)
                    st.top = std::max(st.top, static_cast<double>(v[r]));
        },
        [&](SpectrumState& st) { strongest = std::max(strongest, st.top); }, failure);
    if (!ran || !failure.empty())
        return fail(!ran);

    // Then the normalisation: the strongest bin of the picture becomes the
    // dynamic range, everything more than that below it 0; silent columns
    // take no part and are 0, the weakest level, throughout. With tracking,
    // the formants of the columns that keep them: a column whose strongest
    // bin lies more than half the dynamic range below the picture's maximum
    // has none, so its LPC analysis is not even made.
    const double range = image.dynamicRange;
    struct FormantState {
        std::unique_ptr<ColumnAnalyser> analyser;
        bool found = false;
    };
    bool anyFormant = false;
    const bool finished = RunColumns(
        in.columns, progress, spectrumShare, 1.0 - spectrumShare,
        [&] {
            auto st = std::make_unique<FormantState>();
            if (plan.formants)
                st->analyser = std::make_unique<ColumnAnalyser>(source, plan);
            return st;
        },
        [&](FormantState& st, int c) {
            const auto cc = static_cast<std::size_t>(c);
            float* v = image.levels.data() + cc * rows;
            double peak = 0.0;
            if (!sounding[cc]) {
                std::fill(v, v + rows, 0.0f);
            } else {
                for (std::size_t r = 0; r < rows; ++r) {
                    const double level = std::max(0.0, static_cast<double>(v[r]) - strongest + range);
                    v[r] = static_cast<float>(level);
                    peak = std::max(peak, level);
                }
            }
            if (!plan.formants)
                return;
            SpectrogramFormants& f = image.formants[cc];
            f.fill(kNoFormant);
            if (sounding[cc] && !(range * 0.5 > peak)) {
                st.analyser->Formants(c, f);
                st.found = st.found || f[0] != kNoFormant;
            }
        },
        [&](FormantState& st) { anyFormant = anyFormant || st.found; }, failure);
    if (!finished || !failure.empty())
        return fail(!finished);
    progress.SetFraction(1.0);
    image.formantsFound = anyFormant;
    outcome.computed = true;
    return outcome;
}

}  // namespace vocomet
