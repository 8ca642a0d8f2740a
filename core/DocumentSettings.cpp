#include "core/DocumentSettings.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "core/ConfigurationBlock.h"

namespace vocomet {

namespace {

constexpr double kDefaultRate = 22050.0;

// --- what the option dialogs let through -----------------------------------
// Each field of the block is read only when it holds a value its dialog could
// have stored; anything else (a huge, negative or non-finite number, an FFT
// size the size list does not offer) takes the field's default. Where a
// dialog gives no range, the value must still be usable: sizes, steps and
// divisors positive, spacings not negative, and numbers the dialogs exchange
// as ints within the int range.

constexpr int kIntMax = 2147483647;
// The largest rate the block's rates may hold, so that every whole-number
// step of the rate-derived values stays within an int.
constexpr double kMaxSampleRate = 2147483647.0;
// Print and bitmap picture size, in inches or cm.
constexpr double kMaxPictureSize = 100.0;
// Applied FFT window: at most the largest FFT (8192 points) at the lowest
// rate the hardware records (1000 Hz).
constexpr int kMaxAppliedWindowMs = 8192;
// Calibration coefficients: the calibration grid's mask "####.########".
constexpr double kMaxCalibrationMagnitude = 9999.99999999;
// The intensity/smooth grid reads its numbers as 16-bit integers.
constexpr double kMaxGridWholeNumber = 32767.0;
// The formant plot's font dialog: font weights run to 1000, sizes to 1638
// points (about 2000 pixels at 96 dpi).
constexpr int kMaxFontWeight = 1000;
constexpr int kMaxFontPixels = 2000;

bool IsAny(int) { return true; }
bool IsFlag(int v) { return v == 0 || v == 1; }
bool IsPositive(int v) { return v > 0; }
bool IsNonNegative(int v) { return v >= 0; }
// The FFT size lists: 2^(index + 5) for index 0 to 8, 32 to 8192 points.
bool IsFftIndex(int v) { return v >= 0 && v <= 8; }
bool IsFftPoints(int v) { return v >= 32 && v <= 8192 && (v & (v - 1)) == 0; }
// LPC orders: 4 to 100, stored even.
bool IsLpcOrder(int v) { return v >= 4 && v <= 100 && v % 2 == 0; }
bool IsAppliedWindow(int v) { return v >= 1 && v <= kMaxAppliedWindowMs; }
bool IsFrameLogStep(int v) { return v >= 1 && v <= 5000; }
bool IsPercent(int v) { return v >= 0 && v <= 100; }
bool IsEggChannel(int v) { return v >= -1 && v < kDocumentSlots; }
bool IsPlotType(int v) { return v >= 0 && v <= 2; }
// The formant plot's range lists: 1000 to 4800 Hz in steps of 200.
bool IsFormantRange(int v) { return v >= 1000 && v <= 4800 && v % 200 == 0; }
bool IsColour(int v) { return v >= 0 && v <= 0xFFFFFF; }

bool IsFinite(double v) { return std::isfinite(v); }
bool IsNonNegativeFinite(double v) { return std::isfinite(v) && v >= 0.0; }
bool IsSampleRate(double v) { return v >= 1.0 && v <= kMaxSampleRate; }
bool IsPictureSize(double v) { return v > 0.0 && v <= kMaxPictureSize; }
bool IsPreEmphasis(double v) { return v >= 0.0 && v <= 1.0; }
// "Step size for selection data entry ... 0.0 - 100.0"; a step of 0 never
// advances.
bool IsSelectionLogStep(double v) { return v > 0.0 && v <= 100.0; }
// Doubles the pitch dialog exchanges as ints.
bool IsPositiveIntValue(double v) { return v >= 1.0 && v <= kIntMax; }
bool IsNonNegativeIntValue(double v) { return v >= 0.0 && v <= kIntMax; }
bool IsGridWholeNumber(double v) { return v >= 1.0 && v <= kMaxGridWholeNumber; }
bool IsCalibrationCoefficient(double v) { return std::isfinite(v) && std::fabs(v) <= kMaxCalibrationMagnitude; }

bool IsAcceptedFont(const platform::LogFontA& f) {
    return f.weight >= 0 && f.weight <= kMaxFontWeight && f.height >= -kMaxFontPixels &&
           f.height <= kMaxFontPixels && f.width >= 0 && f.width <= kMaxFontPixels;
}

using IntCheck = bool (*)(int);
using DoubleCheck = bool (*)(double);

// FFT/LPC values 1 to 16.
constexpr std::array<IntCheck, 16> kFftLpcChecks{
    IsFftIndex,       // FFT size index
    IsFftPoints,      // FFT points
    IsAppliedWindow,  // applied window, ms
    IsPositive,       // average step, ms
    IsPositive,       // top frequency, Hz
    IsFlag,           // absolute display
    IsPositive,       // dB range
    IsFlag,           // inches
    IsFlag,           // colour
    IsFlag,           // frequency grid on
    IsNonNegative,    // frequency grid spacing
    IsFlag,           // power grid on
    IsNonNegative,    // power grid spacing
    IsLpcOrder,       // LPC order
    IsFlag,           // draw LPC
    IsFrameLogStep,   // entire-frame log step, Hz
};

// Spectrogram values 1 to 14.
constexpr std::array<IntCheck, 14> kSpectrogramChecks{
    IsFftPoints,    // FFT points
    IsFftIndex,     // FFT size index
    IsPositive,     // top frequency, Hz
    IsPositive,     // dynamic range, dB
    IsFlag,         // formant tracking
    IsLpcOrder,     // tracking LPC order
    IsFlag,         // inches
    IsFlag,         // draw audio
    IsFlag,         // draw intensity
    IsFlag,         // draw labels
    IsFlag,         // frequency grid on
    IsNonNegative,  // frequency grid spacing
    IsFlag,         // time grid on
    IsNonNegative,  // time grid spacing (0 automatic)
};

// Pitch doubles 1 to 8.
constexpr std::array<DoubleCheck, 8> kPitchDoubleChecks{
    IsPositiveIntValue,     // window, ms
    IsPositiveIntValue,     // step, ms
    IsPositiveIntValue,     // upper calculation limit, Hz
    IsPositiveIntValue,     // lower calculation limit, Hz
    IsNonNegativeIntValue,  // tracking threshold, %
    IsNonNegativeIntValue,  // frequency deviation, Hz
    IsFinite,               // not shown in the dialog
    IsFinite,               // not shown in the dialog
};

// Pitch ints 1 to 12.
constexpr std::array<IntCheck, 12> kPitchIntChecks{
    IsNonNegative,  // display upper limit, Hz
    IsNonNegative,  // display lower limit, Hz
    IsFlag,         // frequency grid on
    IsNonNegative,  // frequency grid spacing
    IsFlag,         // time grid on
    IsNonNegative,  // time grid spacing (0 automatic)
    IsFlag,         // method
    IsFlag,         // add audio
    IsFlag,         // add intensity
    IsFlag,         // add labels
    IsFlag,         // colour
    IsFlag,         // inches
};

// Formant plot: plot type, five draw flags, F1, F2 and F3 ranges.
constexpr std::array<IntCheck, 9> kFormantPlotChecks{
    IsPlotType, IsFlag, IsFlag, IsFlag, IsFlag, IsFlag, IsFormantRange, IsFormantRange, IsFormantRange,
};

// Whole number for an int field of the block: truncated toward zero, the
// int range kept, NaN stored as 0.
std::int32_t StoredInt(double v) {
    if (!std::isfinite(v))
        return v > 0 ? std::numeric_limits<std::int32_t>::max()
                     : (v < 0 ? std::numeric_limits<std::int32_t>::min() : 0);
    if (v >= 2147483647.0)
        return std::numeric_limits<std::int32_t>::max();
    if (v <= -2147483648.0)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

// Reads fields of a block: a field the file did not reach, or whose value
// fails its check, leaves the fallback.
class FieldReader {
public:
    explicit FieldReader(const ConfigurationBlock& block) : m_block(block), m_view(block.View()) {}

    template <typename Check>
    int Int(std::size_t off, int fallback, Check ok) const {
        if (!m_block.Has(off, 4))
            return fallback;
        const int v = m_view.I32LE(off);
        return ok(v) ? v : fallback;
    }

    template <typename Check>
    double Double(std::size_t off, double fallback, Check ok) const {
        if (!m_block.Has(off, 8))
            return fallback;
        const double v = m_view.F64LE(off);
        return ok(v) ? v : fallback;
    }

    // An int field held by the document as a double.
    template <typename Check>
    double IntAsDouble(std::size_t off, double fallback, Check ok) const {
        if (!m_block.Has(off, 4))
            return fallback;
        const double v = m_view.I32LE(off);
        return ok(v) ? v : fallback;
    }

    // A text field, read within its field; empty or missing takes the fallback.
    std::string Text(std::size_t off, std::size_t size, const std::string& fallback) const {
        if (!m_block.Has(off, size))
            return fallback;
        std::string t = m_view.Text(off, size);
        return t.empty() ? fallback : t;
    }

    bool Has(std::size_t off, std::size_t size) const { return m_block.Has(off, size); }
    const platform::ByteView& View() const { return m_view; }

private:
    const ConfigurationBlock& m_block;
    platform::ByteView m_view;
};

// 1032-1735 without the sample rate, count, duration and mouse read-out:
// the part that both readers take.
void ReadSharedPart(const FieldReader& r, const DocumentSettings& d, DocumentSettings& s) {
    s.display.pictureWidth = r.Double(cfg::kDisplayPictureAt, d.display.pictureWidth, IsPictureSize);
    s.display.pictureHeight = r.Double(cfg::kDisplayPictureAt + 8, d.display.pictureHeight, IsPictureSize);
    s.display.fourth = r.Int(cfg::kDisplayFourthAt, d.display.fourth, IsFlag);          // time grid on
    s.display.fifth = r.Int(cfg::kDisplayFifthAt, d.display.fifth, IsNonNegative);     // its spacing, 0 automatic
    s.display.sixth = r.Int(cfg::kDisplaySixthAt, d.display.sixth, IsFlag);            // colour
    s.display.first = r.Int(cfg::kDisplayFirstAt, d.display.first, IsFlag);            // inches
    s.zoomDuration = r.IntAsDouble(cfg::kZoomAt, d.zoomDuration, IsPositiveIntValue);

    for (int i = 0; i < 16; ++i) {
        const std::size_t off = i < 8 ? cfg::kFftIntsAAt + 4 * i : cfg::kFftIntsBAt + 4 * (i - 8);
        s.fftLpc.values[i] = r.Int(off, d.fftLpc.values[i], kFftLpcChecks[i]);
    }
    s.fftLpc.pictureWidth = r.Double(cfg::kFftPictureAt, d.fftLpc.pictureWidth, IsPictureSize);
    s.fftLpc.pictureHeight = r.Double(cfg::kFftPictureAt + 8, d.fftLpc.pictureHeight, IsPictureSize);

    for (int i = 0; i < kPersistedChannels; ++i) {
        const ChannelSettings& dc = d.channels[i];
        ChannelSettings& c = s.channels[i];
        c.intensityWindow = r.IntAsDouble(cfg::kIntensityWindowAt + 4 * i, dc.intensityWindow, IsGridWholeNumber);
        c.intensityStep = r.IntAsDouble(cfg::kIntensityStepAt + 4 * i, dc.intensityStep, IsGridWholeNumber);
        // The grid's check boxes store zero or any non-zero value.
        c.intensityMode = r.Int(cfg::kIntensityModeAt + 4 * i, dc.intensityMode, IsAny);
        c.smoothingSwitch = r.Int(cfg::kSmoothingSwitchAt + 4 * i, dc.smoothingSwitch, IsAny);
        c.smoothingPoints = r.IntAsDouble(cfg::kSmoothingPointsAt + 4 * i, dc.smoothingPoints, IsGridWholeNumber);
    }

    for (int i = 0; i < 14; ++i) {
        std::size_t off;
        if (i < 4)
            off = cfg::kSpectroIntsAAt + 4 * i;
        else if (i < 7)
            off = cfg::kSpectroIntsBAt + 4 * (i - 4);
        else
            off = cfg::kSpectroIntsCAt + 4 * (i - 7);
        s.spectrogram.values[i] = r.Int(off, d.spectrogram.values[i], kSpectrogramChecks[i]);
    }
    s.spectrogram.preEmphasis = r.Double(cfg::kSpectroPreEmphasisAt, d.spectrogram.preEmphasis, IsPreEmphasis);
    s.spectrogram.pictureWidth = r.Double(cfg::kSpectroPictureAt, d.spectrogram.pictureWidth, IsPictureSize);
    s.spectrogram.pictureHeight = r.Double(cfg::kSpectroPictureAt + 8, d.spectrogram.pictureHeight, IsPictureSize);

    for (int i = 0; i < 8; ++i) {
        const std::size_t off = i < 4 ? cfg::kPitchDoublesAAt + 8 * i : cfg::kPitchDoublesBAt + 8 * (i - 4);
        s.pitch.doubles[i] = r.Double(off, d.pitch.doubles[i], kPitchDoubleChecks[i]);
    }
    for (int i = 0; i < 12; ++i) {
        const std::size_t off = i < 7 ? cfg::kPitchIntsAAt + 4 * i : cfg::kPitchIntsBAt + 4 * (i - 7);
        s.pitch.ints[i] = r.Int(off, d.pitch.ints[i], kPitchIntChecks[i]);
    }
    s.pitch.pictureWidth = r.Double(cfg::kPitchPictureAt, d.pitch.pictureWidth, IsPictureSize);
    s.pitch.pictureHeight = r.Double(cfg::kPitchPictureAt + 8, d.pitch.pictureHeight, IsPictureSize);

    const std::size_t g = cfg::kGenericAnswersAt;
    s.genericAnswers.headerBytes = r.Int(g, d.genericAnswers.headerBytes, IsNonNegative);
    s.genericAnswers.sampleRate = r.Int(g + 4, d.genericAnswers.sampleRate, IsPositive);
    s.genericAnswers.integerBinary = r.Int(g + 8, d.genericAnswers.integerBinary, IsFlag);
    s.genericAnswers.sixteenBit = r.Int(g + 12, d.genericAnswers.sixteenBit, IsFlag);
    s.genericAnswers.highByteFirst = r.Int(g + 16, d.genericAnswers.highByteFirst, IsFlag);
}

void PutDoubles(const platform::ByteSpan& b, std::size_t off, double a, double c) {
    b.F64LE(off, a);
    b.F64LE(off + 8, c);
}

// 1032-1735. The zoom, the intensity window and step and the smoothing points
// are int fields of the block and are stored truncated to whole numbers.
void WriteSharedPart(const platform::ByteSpan& b, const DocumentSettings& s) {
    b.F64LE(cfg::kSampleRateAt, s.sampleRate);
    b.F64LE(cfg::kSampleCountAt, s.sampleCount);
    b.F64LE(cfg::kDurationAt, s.duration);
    PutDoubles(b, cfg::kDisplayPictureAt, s.display.pictureWidth, s.display.pictureHeight);
    b.I32LE(cfg::kDisplayMouseReadoutAt, s.display.mouseReadout);
    b.I32LE(cfg::kDisplayFourthAt, s.display.fourth);
    b.I32LE(cfg::kDisplayFifthAt, s.display.fifth);
    b.I32LE(cfg::kDisplaySixthAt, s.display.sixth);
    b.I32LE(cfg::kDisplayFirstAt, s.display.first);
    b.I32LE(cfg::kZoomAt, StoredInt(s.zoomDuration));

    for (int i = 0; i < 8; ++i) {
        b.I32LE(cfg::kFftIntsAAt + 4 * i, s.fftLpc.values[i]);
        b.I32LE(cfg::kFftIntsBAt + 4 * i, s.fftLpc.values[i + 8]);
    }
    PutDoubles(b, cfg::kFftPictureAt, s.fftLpc.pictureWidth, s.fftLpc.pictureHeight);

    for (int i = 0; i < kPersistedChannels; ++i) {
        const ChannelSettings& c = s.channels[i];
        b.I32LE(cfg::kIntensityWindowAt + 4 * i, StoredInt(c.intensityWindow));
        b.I32LE(cfg::kIntensityStepAt + 4 * i, StoredInt(c.intensityStep));
        b.I32LE(cfg::kIntensityModeAt + 4 * i, c.intensityMode);
        b.I32LE(cfg::kSmoothingSwitchAt + 4 * i, c.smoothingSwitch);
        b.I32LE(cfg::kSmoothingPointsAt + 4 * i, StoredInt(c.smoothingPoints));
    }

    for (int i = 0; i < 4; ++i)
        b.I32LE(cfg::kSpectroIntsAAt + 4 * i, s.spectrogram.values[i]);
    b.F64LE(cfg::kSpectroPreEmphasisAt, s.spectrogram.preEmphasis);
    for (int i = 0; i < 3; ++i)
        b.I32LE(cfg::kSpectroIntsBAt + 4 * i, s.spectrogram.values[4 + i]);
    PutDoubles(b, cfg::kSpectroPictureAt, s.spectrogram.pictureWidth, s.spectrogram.pictureHeight);
    for (int i = 0; i < 7; ++i)
        b.I32LE(cfg::kSpectroIntsCAt + 4 * i, s.spectrogram.values[7 + i]);

    for (int i = 0; i < 4; ++i) {
        b.F64LE(cfg::kPitchDoublesAAt + 8 * i, s.pitch.doubles[i]);
        b.F64LE(cfg::kPitchDoublesBAt + 8 * i, s.pitch.doubles[4 + i]);
    }
    for (int i = 0; i < 7; ++i)
        b.I32LE(cfg::kPitchIntsAAt + 4 * i, s.pitch.ints[i]);
    PutDoubles(b, cfg::kPitchPictureAt, s.pitch.pictureWidth, s.pitch.pictureHeight);
    for (int i = 0; i < 5; ++i)
        b.I32LE(cfg::kPitchIntsBAt + 4 * i, s.pitch.ints[7 + i]);

    const std::size_t g = cfg::kGenericAnswersAt;
    b.I32LE(g, s.genericAnswers.headerBytes);
    b.I32LE(g + 4, s.genericAnswers.sampleRate);
    b.I32LE(g + 8, s.genericAnswers.integerBinary);
    b.I32LE(g + 12, s.genericAnswers.sixteenBit);
    b.I32LE(g + 16, s.genericAnswers.highByteFirst);
}

}  // namespace

int DefaultAnalysisWindowMs(double rate) { return static_cast<int>(256000.0 / rate); }
int DefaultTopFrequency(double rate) { return static_cast<int>(rate) / 2000 * 1000; }
int DefaultLpcOrder(double rate) { return 4 + static_cast<int>(rate / 1000.0); }

void LimitAnalysisToRate(DocumentSettings& s, double rate) {
    if (!std::isfinite(rate) || rate < 2000.0 || rate >= 2147483647.0)
        return;
    // The analysis windows take a frequency range up to half the rate, in
    // whole thousands, and an LPC order up to rate / 1000 + 10.
    const int topFrequency = DefaultTopFrequency(rate);
    const double highestOrder = rate / 2000.0 * 2.0 + 10.0;
    const int order = DefaultLpcOrder(rate);
    const int evenOrder = std::min(400, order - order % 2);
    auto limit = [&](int& top, int& lpcOrder) {
        if (top > topFrequency)
            top = topFrequency;
        if (lpcOrder > highestOrder)
            lpcOrder = evenOrder;
    };
    limit(s.fftLpc.values[FftLpcSettings::kTopFrequency], s.fftLpc.values[FftLpcSettings::kLpcOrder]);
    limit(s.spectrogram.values[SpectrogramSettings::kTopFrequency],
          s.spectrogram.values[SpectrogramSettings::kLpcOrder]);
}

void DocumentSettings::ResetSettings() { *this = Reset(); }

DocumentSettings DocumentSettings::Reset() {
    DocumentSettings s;
    s.sampleRate = kDefaultRate;
    s.fftLpc.values[FftLpcSettings::kWindowMs] = DefaultAnalysisWindowMs(kDefaultRate);
    s.fftLpc.values[FftLpcSettings::kTopFrequency] = DefaultTopFrequency(kDefaultRate);
    s.fftLpc.values[FftLpcSettings::kLpcOrder] = DefaultLpcOrder(kDefaultRate);
    s.spectrogram.values[SpectrogramSettings::kTopFrequency] = DefaultTopFrequency(kDefaultRate);
    s.spectrogram.values[SpectrogramSettings::kLpcOrder] = DefaultLpcOrder(kDefaultRate);
    return s;
}

DocumentSettings DocumentSettings::StartDefaults(double currentSampleRate) {
    DocumentSettings s = Reset();
    s.sampleRate = currentSampleRate;
    s.display.pictureWidth = 8.0;
    s.display.pictureHeight = 6.0;
    s.display.sixth = 1;
    s.logSelectionStep = 10.0;
    s.egg.velocitySmoothing = 0.0;
    s.egg.accelerationSmoothing = 0.0;
    s.egg.showVelocity = 0;
    s.egg.showAcceleration = 0;
    s.egg.showPeaks = 1;
    s.egg.showValleys = 1;
    s.egg.showThreshold = 1;
    return s;
}

void ReadDocumentPart(const ConfigurationBlock& block, DocumentSettings& s) {
    const DocumentSettings d = DocumentSettings::Reset();
    const FieldReader r(block);

    ReadSharedPart(r, d, s);
    s.display.mouseReadout = 1;

    for (int i = 0; i < kPersistedChannels; ++i) {
        ChannelSettings& c = s.channels[i];
        const std::size_t offs[4] = {cfg::kCalibrationX3At, cfg::kCalibrationX2At, cfg::kCalibrationX1At,
                                     cfg::kCalibrationX0At};
        bool present = true;
        bool accepted = true;
        bool allZero = true;
        std::array<double, 4> k{};
        for (int j = 0; j < 4; ++j) {
            const std::size_t off = offs[j] + 8 * i;
            present = present && r.Has(off, 8);
            if (!present)
                break;
            k[j] = r.View().F64LE(off);
            accepted = accepted && IsCalibrationCoefficient(k[j]);
            allZero = allZero && k[j] == 0.0;
        }
        // The four coefficients are one polynomial: one bad coefficient
        // makes the whole of it fall back. A calibration of all zeros would
        // flatten the channel to 0.
        c.calibration = present && accepted && !allZero ? k : d.channels[i].calibration;
        c.unit = r.Text(cfg::kUnitAt + cfg::kUnitSize * i, cfg::kUnitSize, d.channels[i].unit);
    }

    s.logSelectionStep = r.Double(cfg::kLogStepAt, d.logSelectionStep, IsSelectionLogStep);

    s.egg = d.egg;
    s.egg.channel = r.Int(cfg::kEggChannelAt, d.egg.channel, IsEggChannel);
    s.egg.setting = r.Int(cfg::kEggSettingAt, d.egg.setting, IsPercent);  // threshold, %
    if (s.egg.channel >= 0) {
        s.egg.velocitySmoothing =
            r.IntAsDouble(cfg::kEggVelocitySmoothingAt, d.egg.velocitySmoothing, IsNonNegativeIntValue);
        s.egg.accelerationSmoothing =
            r.IntAsDouble(cfg::kEggAccelerationSmoothingAt, d.egg.accelerationSmoothing, IsNonNegativeIntValue);
        s.egg.showVelocity = r.Int(cfg::kEggShowVelocityAt, d.egg.showVelocity, IsFlag);
        s.egg.showAcceleration = r.Int(cfg::kEggShowAccelerationAt, d.egg.showAcceleration, IsFlag);
        s.egg.showPeaks = r.Int(cfg::kEggShowPeaksAt, d.egg.showPeaks, IsFlag);
        s.egg.showValleys = r.Int(cfg::kEggShowValleysAt, d.egg.showValleys, IsFlag);
        s.egg.showThreshold = r.Int(cfg::kEggShowThresholdAt, d.egg.showThreshold, IsFlag);
    }

    for (int i = 0; i < 9; ++i)
        s.formantPlot.values[i] = r.Int(cfg::kFormantPlotAt + 4 * i, d.formantPlot.values[i], kFormantPlotChecks[i]);
    s.formantPlot.font = d.formantPlot.font;
    if (r.Has(cfg::kFormantFontAt, platform::LogFontA::kSize)) {
        const platform::LogFontA font = platform::LogFontA::Decode(block.data() + cfg::kFormantFontAt);
        if (IsAcceptedFont(font))
            s.formantPlot.font = font;
    }
    s.formantPlot.fontColour = static_cast<platform::ColorRef>(
        r.Int(cfg::kFormantFontColourAt, static_cast<int>(d.formantPlot.fontColour), IsColour));
}

void ReadLoadedDocumentPart(const ConfigurationBlock& block, DocumentSettings& s) {
    const DocumentSettings d = DocumentSettings::Reset();
    const FieldReader r(block);
    s.sampleRate = r.Double(cfg::kSampleRateAt, d.sampleRate, IsSampleRate);
    s.sampleCount = r.Double(cfg::kSampleCountAt, d.sampleCount, IsNonNegativeFinite);
    s.duration = r.Double(cfg::kDurationAt, d.duration, IsNonNegativeFinite);
    ReadSharedPart(r, d, s);
    s.display.mouseReadout = r.Int(cfg::kDisplayMouseReadoutAt, d.display.mouseReadout, IsFlag);
}

void WriteDocumentPart(ConfigurationBlock& block, const DocumentSettings& s) {
    const platform::ByteSpan b = block.Span();
    WriteSharedPart(b, s);
    for (int i = 0; i < kPersistedChannels; ++i) {
        const ChannelSettings& c = s.channels[i];
        b.F64LE(cfg::kCalibrationX3At + 8 * i, c.calibration[0]);
        b.F64LE(cfg::kCalibrationX2At + 8 * i, c.calibration[1]);
        b.F64LE(cfg::kCalibrationX1At + 8 * i, c.calibration[2]);
        b.F64LE(cfg::kCalibrationX0At + 8 * i, c.calibration[3]);
        b.Text(cfg::kUnitAt + cfg::kUnitSize * i, cfg::kUnitSize, c.unit);
    }
    b.F64LE(cfg::kLogStepAt, s.logSelectionStep);
    b.I32LE(cfg::kEggChannelAt, s.egg.channel);
    b.I32LE(cfg::kEggSettingAt, s.egg.setting);
    b.I32LE(cfg::kEggVelocitySmoothingAt, StoredInt(s.egg.velocitySmoothing));
    b.I32LE(cfg::kEggAccelerationSmoothingAt, StoredInt(s.egg.accelerationSmoothing));
    b.I32LE(cfg::kEggShowVelocityAt, s.egg.showVelocity);
    b.I32LE(cfg::kEggShowAccelerationAt, s.egg.showAcceleration);
    b.I32LE(cfg::kEggShowPeaksAt, s.egg.showPeaks);
    b.I32LE(cfg::kEggShowValleysAt, s.egg.showValleys);
    b.I32LE(cfg::kEggShowThresholdAt, s.egg.showThreshold);
    for (int i = 0; i < 9; ++i)
        b.I32LE(cfg::kFormantPlotAt + 4 * i, s.formantPlot.values[i]);
    s.formantPlot.font.Encode(block.data() + cfg::kFormantFontAt);
    b.I32LE(cfg::kFormantFontColourAt, static_cast<std::int32_t>(s.formantPlot.fontColour));
}

void WriteSavedDocumentPart(ConfigurationBlock& block, const DocumentSettings& s) {
    WriteSharedPart(block.Span(), s);
}

}  // namespace vocomet
