// The signal-processing library against FFTW, a benchmark-only yardstick
// (never linked into the program), timed in the same run. Every repetition
// is a pair, the yardstick first and then ours; a counter is the median of
// the per-pair ratios ours / FFTW.
//
//  ratio_fft_<N>: CMathFunc::Fft of N = 256 ... 8192 complex points against
//    FFTW's complex forward transform of the same input (in place, plan made
//    with FFTW_MEASURE before timing). Both copy the same input in before
//    each transform. Goal: at most 2.
//  ratio_lpc_22050_order14, ratio_lpc_44100_order48: the formants of one
//    frame of a synthetic vowel (LpcSpectrumFormants without the envelope,
//    frames of 1024 and 2048 samples, pre-emphasis 0.98) against FFTW's
//    complex transform of the frame's length; lpc_..._us is the time of one
//    frame in microseconds.
//  ratio_cepstral_f0_4096: the cepstral F0 of one frame (window 1543,
//    FFT 4096 at 44100 Hz) against two FFTW complex transforms of 4096
//    points (the two transforms the cepstrum needs); cepstral_f0_us per
//    frame.

#include <benchmark/benchmark.h>

#include <fftw3.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "dsp/CMathFunc.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// FFTW's in-place complex transform of n points, with its input kept apart.
class FftwYardstick {
public:
    explicit FftwYardstick(int n) : n_(n) {
        data_ = fftw_alloc_complex(static_cast<std::size_t>(n));
        plan_ = fftw_plan_dft_1d(n, data_, data_, FFTW_FORWARD, FFTW_MEASURE);
        input_.resize(2 * static_cast<std::size_t>(n));
        std::mt19937 rng(1);
        std::uniform_real_distribution<double> d(-1.0, 1.0);
        for (double& v : input_)
            v = d(rng);
    }
    ~FftwYardstick() {
        fftw_destroy_plan(plan_);
        fftw_free(data_);
    }
    FftwYardstick(const FftwYardstick&) = delete;
    FftwYardstick& operator=(const FftwYardstick&) = delete;

    void Run() {
        std::memcpy(data_, input_.data(), input_.size() * sizeof(double));
        fftw_execute(plan_);
        benchmark::DoNotOptimize(data_[n_ / 3][0]);
    }
    // The same input, split into real and imaginary parts.
    void Split(std::vector<double>& re, std::vector<double>& im) const {
        re.resize(static_cast<std::size_t>(n_));
        im.resize(static_cast<std::size_t>(n_));
        for (int i = 0; i < n_; ++i) {
            re[static_cast<std::size_t>(i)] = input_[2 * static_cast<std::size_t>(i)];
            im[static_cast<std::size_t>(i)] = input_[2 * static_cast<std::size_t>(i) + 1];
        }
    }

private:
    int n_;
    fftw_complex* data_ = nullptr;
    fftw_plan plan_ = nullptr;
    std::vector<double> input_;
};

// Repetitions of each timed step, so a step lasts well above the clock's grain.
int RepeatsFor(int n) { return std::max(20, (1 << 22) / n / 8); }

void BM_FftAgainstFftw(benchmark::State& state) {
    const int m = static_cast<int>(state.range(0));
    const int n = 1 << m;
    FftwYardstick fftw(n);
    std::vector<double> inRe, inIm, re(static_cast<std::size_t>(n)), im(static_cast<std::size_t>(n));
    fftw.Split(inRe, inIm);
    vocomet::CMathFunc f;
    f.Fft(re.data(), im.data(), m);  // tables built outside the time
    const int repeats = RepeatsFor(n);
    bench::Pairs pairs;
    for (auto _ : state) {
        const double yard = bench::Seconds([&] {
            for (int r = 0; r < repeats; ++r)
                fftw.Run();
        });
        const double ours = bench::Seconds([&] {
            for (int r = 0; r < repeats; ++r) {
                std::memcpy(re.data(), inRe.data(), re.size() * sizeof(double));
                std::memcpy(im.data(), inIm.data(), im.size() * sizeof(double));
                f.Fft(re.data(), im.data(), m);
                benchmark::DoNotOptimize(re[static_cast<std::size_t>(n / 3)]);
            }
        });
        pairs.Add(yard, ours);
        state.SetIterationTime(ours);
    }
    state.counters["ratio_fft_" + std::to_string(n)] = pairs.MedianRatio();
    state.counters["fft_us"] = bench::Median(pairs.subject) / repeats * 1e6;
    state.counters["fftw_us"] = bench::Median(pairs.yardstick) / repeats * 1e6;
}
BENCHMARK(BM_FftAgainstFftw)->DenseRange(8, 13)->Iterations(15)->UseManualTime()->Unit(benchmark::kMicrosecond);

// A vowel-like frame: pulses at 120 Hz through three resonances, plus a
// little noise.
std::vector<double> VowelFrame(int n, double rate) {
    std::vector<double> x(static_cast<std::size_t>(n) + 1, 0.0);
    std::mt19937 rng(2);
    std::normal_distribution<double> noise(0.0, 1e-3);
    const int period = static_cast<int>(rate / 120.0);
    for (int i = 0; i <= n; i += period)
        x[static_cast<std::size_t>(i)] = 1.0;
    for (auto [f, bw] : {std::pair{700.0, 60.0}, {1220.0, 90.0}, {2600.0, 120.0}}) {
        const double r = std::exp(-kPi * bw / rate), c = 2 * r * std::cos(2 * kPi * f / rate);
        double y1 = 0, y2 = 0;
        for (double& v : x) {
            const double y = v + c * y1 - r * r * y2;
            y2 = y1;
            y1 = y;
            v = y;
        }
    }
    for (double& v : x)
        v += noise(rng);
    return x;
}

void BM_LpcFormantsPerFrame(benchmark::State& state) {
    const double rate = static_cast<double>(state.range(0));
    const int order = static_cast<int>(state.range(1));
    const int n = rate > 30000 ? 2048 : 1024;
    FftwYardstick fftw(n);
    std::vector<double> frame = VowelFrame(n, rate);
    vocomet::CMathFunc f;
    const int repeats = 200;
    bench::Pairs pairs;
    int found = 0;
    for (auto _ : state) {
        const double yard = bench::Seconds([&] {
            for (int r = 0; r < repeats; ++r)
                fftw.Run();
        });
        const double ours = bench::Seconds([&] {
            for (int r = 0; r < repeats; ++r) {
                vocomet::LpcSpectrum s = f.LpcSpectrumFormants(frame.data(), order, n, 0.98, 1, 0, 0, 0, rate, 1, true);
                found = s.formants ? s.formants->FormantCount() : -1;
            }
        });
        pairs.Add(yard, ours);
        state.SetIterationTime(ours);
    }
    const std::string name = std::to_string(static_cast<int>(rate)) + "_order" + std::to_string(order);
    state.counters["ratio_lpc_" + name] = pairs.MedianRatio();
    state.counters["lpc_" + name + "_us"] = bench::Median(pairs.subject) / repeats * 1e6;
    state.counters["formants"] = found;
}
BENCHMARK(BM_LpcFormantsPerFrame)
    ->Args({22050, 14})
    ->Args({44100, 48})
    ->Iterations(9)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

void BM_CepstralF0PerFrame(benchmark::State& state) {
    const int n = 4096;
    FftwYardstick fftw(n);
    std::vector<double> frame = VowelFrame(8000, 44100.0);
    std::vector<float> samples(frame.begin(), frame.end());
    vocomet::CMathFunc f;
    const int repeats = 200;
    bench::Pairs pairs;
    double f0 = 0;
    for (auto _ : state) {
        const double yard = bench::Seconds([&] {
            for (int r = 0; r < repeats; ++r) {
                fftw.Run();
                fftw.Run();
            }
        });
        const double ours = bench::Seconds([&] {
            for (int r = 0; r < repeats; ++r)
                f0 = f.CepstralPitchFloat(samples.data(), 1000.0, 8000.0, 44100.0, 50.0, 500.0, n, 1543);
        });
        pairs.Add(yard, ours);
        state.SetIterationTime(ours);
    }
    state.counters["ratio_cepstral_f0_4096"] = pairs.MedianRatio();
    state.counters["cepstral_f0_us"] = bench::Median(pairs.subject) / repeats * 1e6;
    state.counters["f0_hz"] = f0;
}
BENCHMARK(BM_CepstralF0PerFrame)->Iterations(9)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
