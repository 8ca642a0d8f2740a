#pragma once
// The spectrogram of one channel over a range: one short-time power spectrum
// per pixel column of the plot, resampled to one level per pixel row and
// normalised to the dynamic range, and, with formant tracking on, up to five
// LPC formants per column. Computed once, column by column, in plain code
// with progress and cancel; the pane holds the result and its drawing,
// read-outs, log entries and formant export only read it.
//
// Any thread for the computation (it may spread the columns over worker
// threads of its own; the result does not depend on how many). The progress
// object is only called from the calling thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/DocumentSettings.h"
#include "platform/SampleBlock.h"

namespace platform {
class Progress;
}

namespace vocomet {

class ChannelSampleSource;

inline constexpr int kSpectrogramFormantSlots = 5;
// A formant slot that holds no formant.
inline constexpr std::int32_t kNoFormant = -1;
// The formants of one column in Hz, ascending, filled from slot 0, the
// rest kNoFormant. Whole Hz in 32 bits: at 96 kHz and above a resonance can
// lie beyond what 16 bits hold.
using SpectrogramFormants = std::array<std::int32_t, kSpectrogramFormantSlots>;

inline constexpr const char* kSpectrogramProgressText = "Performing Spectrogram...";
// Refusals of settings or a range the computation cannot work with.
inline constexpr const char* kSpectrogramRangeRefused = "The range to analyse is empty.\nSelect a longer range.";
inline constexpr const char* kSpectrogramDynamicRangeRefused =
    "Dynamic range must be greater than 0 dB.\nUse Option->Spectrogram and make it is in the proper range.";
inline constexpr const char* kSpectrogramFrequencyLimitRefused =
    "Frequency range must be greater than 0 Hz.\nUse Option->Spectrogram and make it is in the proper range.";
inline constexpr const char* kSpectrogramGridStepRefused =
    "Grid spacing must be greater than 0.\nUse Option->Spectrogram and make it is in the proper range.";
inline constexpr const char* kSpectrogramPointsRefused =
    "Number of FFT points is beyond allowable value.\nUse Option->Spectrogram and make it is in the proper range.";
inline constexpr const char* kSpectrogramRateRefused = "The sample rate of the channel is not valid.";
inline constexpr const char* kSpectrogramNoSamples = "There are no samples to analyse.";
inline constexpr const char* kSpectrogramRoutineError = "Error in performing spectrogram routine.";

// Storage for the picture from the system's zero-filled blocks (a large
// picture gets its own mapping with huge pages where there are any), whose
// new elements are not cleared again: the memory is already zero, and the
// threads that analyse the columns touch their own pages first.
template <typename T>
struct ZeroedBlockAllocator {
    using value_type = T;
    ZeroedBlockAllocator() = default;
    template <typename U>
    ZeroedBlockAllocator(const ZeroedBlockAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T))
            throw std::bad_alloc();
        void* p = platform::AllocateZeroedBlock(n * sizeof(T) > 0 ? n * sizeof(T) : 1);
        if (!p)
            throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) noexcept { platform::FreeZeroedBlock(p, n * sizeof(T) > 0 ? n * sizeof(T) : 1); }
    template <typename U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <typename U>
    bool operator==(const ZeroedBlockAllocator<U>&) const noexcept {
        return true;
    }
};
using SpectrogramLevels = std::vector<float, ZeroedBlockAllocator<float>>;

// What one computation needs besides the samples.
struct SpectrogramInputs {
    double rate = 0.0;        // Hz of the channel
    double rangeStart = 0.0;  // samples; column 0 starts here
    double rangeEnd = 0.0;    // samples; must be above rangeStart
    int columns = 0;          // plot width in pixels: one spectrum each
    int rows = 0;             // plot height in pixels: one level each, row 0 at 0 Hz
    SpectrogramSettings settings;  // the document's spectrogram settings (values 1 to 14, pre-emphasis)
};

// The settings the computation reads, by name.
int SpectrogramFftPoints(const SpectrogramSettings& s);
int SpectrogramDynamicRange(const SpectrogramSettings& s);
int SpectrogramFrequencyLimit(const SpectrogramSettings& s);
bool SpectrogramTracksFormants(const SpectrogramSettings& s);
int SpectrogramLpcOrder(const SpectrogramSettings& s);

// LPC length: int(rate / 1000) * order (the rate truncated to whole kHz).
int SpectrogramLpcLength(double rate, int lpcOrder);

// The refusal message for the inputs, or empty when they can be analysed,
// checked in this order: a rate > 0, range end > start, frequency limit > 0,
// dynamic range > 0, a frequency grid step > 0 when that grid is on and a
// time grid step >= 0 when that grid is on (0 = automatic), FFT points a
// power of two of 32 .. 8192, the window's limits for the rate
// (CheckSpectrogramLimits), an LPC order >= 1 when formants are tracked.
// The plot size is not checked here.
std::string CheckSpectrogramInputs(const SpectrogramInputs& inputs);

struct SpectrogramImage {
    int columns = 0;
    int rows = 0;
    int dynamicRange = 0;      // dB
    int frequencyLimit = 0;    // Hz at the top of the plot
    int fftPoints = 0;
    int lpcLength = 0;         // samples the LPC of a column analyses (0 without tracking)
    double rate = 0.0;
    double rangeStart = 0.0;   // samples
    double rangeEnd = 0.0;
    double stepSamples = 0.0;  // (rangeEnd - rangeStart) / columns: column c starts at rangeStart + c * step
    double hzPerRow = 0.0;     // frequencyLimit / rows: row r stands for r * hzPerRow Hz

    // levels[c * rows + r] (column-major; row 0 = 0 Hz at the bottom): dB
    // above the weakest shown level, 0 .. dynamicRange; the strongest bin of
    // the picture is dynamicRange. Silent columns are 0 throughout.
    SpectrogramLevels levels;
    bool tracksFormants = false;
    // formants[c][k]: up to five frequencies in Hz, ascending, filled from
    // slot 0; kNoFormant (-1) for an empty slot. One record per column when
    // formants are tracked, otherwise empty.
    std::vector<SpectrogramFormants> formants;
    bool formantsFound = false;  // some column kept a formant
    // The time (ms) each column stands for: the centre of its frame
    // (FrameCentreMs of its start and the FFT points).
    std::vector<double> columnTimesMs;

    bool Empty() const { return columns < 1 || rows < 1 || levels.empty(); }
    float Level(int column, int row) const {
        return levels[static_cast<std::size_t>(column) * static_cast<std::size_t>(rows) +
                      static_cast<std::size_t>(row)];
    }
    // The grey of a level: 255 - level * 255 / dynamicRange, in 0 .. 255;
    // 0 (black) is the strongest, 255 (white) the weakest.
    std::uint8_t Grey(int column, int row) const;
    // The column whose time is nearest timeMs, clamped to 0 .. columns - 1
    // (-1 when there are no columns).
    int ColumnAt(double timeMs) const;
    // Five slots of a column, all kNoFormant for a column outside the
    // picture or without tracking.
    SpectrogramFormants FormantsAt(int column) const;
};

struct SpectrogramOutcome {
    SpectrogramImage image;  // valid only when computed
    bool computed = false;   // true when every column was analysed
    bool cancelled = false;  // the user aborted: nothing is shown
    std::string error;       // a refusal or a failure, for the user; empty otherwise
};

// Refuses bad inputs (CheckSpectrogramInputs) with the message before any
// work. A plot smaller than 1 x 1 computes nothing (not computed, no error).
// Otherwise analyses every column: FFT points + 10 samples from the whole
// part of its start (with pre-emphasis, Hamming window, resampled to the rows
// up to the frequency limit) and, with tracking, the LPC length + 5 samples
// for the formants; samples past the channel's end read 0. Shows
// kSpectrogramProgressText and the fraction of columns done, and stops with
// cancelled set when the progress asks to abort.
SpectrogramOutcome ComputeSpectrogram(const ChannelSampleSource& source, const SpectrogramInputs& inputs,
                                      platform::Progress& progress);

}  // namespace vocomet
