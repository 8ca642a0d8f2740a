#include "core/DocumentSettings.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "core/ConfigurationBlock.h"

namespace vocomet {

namespace {

constexpr double kDefaultRate = 22050.0;

bool Positive(double v) { return std::isfinite(v) && v > 0.0; }
bool NonNegative(double v) { return std::isfinite(v) && v >= 0.0; }
bool Finite(double v) { return std::isfinite(v); }

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
    int Int(std::size_t off, int fallback) const {
        return Int(off, fallback, [](int) { return true; });
    }

    template <typename Check>
    double Double(std::size_t off, double fallback, Check ok) const {
        if (!m_block.Has(off, 8))
            return fallback;
        const double v = m_view.F64LE(off);
        return ok(v) ? v : fallback;
    }
    double Double(std::size_t off, double fallback) const { return Double(off, fallback, Finite); }

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
    s.display.pictureWidth = r.Double(cfg::kDisplayPictureAt, d.display.pictureWidth, Positive);
    s.display.pictureHeight = r.Double(cfg::kDisplayPictureAt + 8, d.display.pictureHeight, Positive);
    s.display.fourth = r.Int(cfg::kDisplayFourthAt, d.display.fourth);
    s.display.fifth = r.Int(cfg::kDisplayFifthAt, d.display.fifth);
    s.display.sixth = r.Int(cfg::kDisplaySixthAt, d.display.sixth);
    s.display.first = r.Int(cfg::kDisplayFirstAt, d.display.first);
    s.zoomDuration = r.IntAsDouble(cfg::kZoomAt, d.zoomDuration, Positive);

    for (int i = 0; i < 16; ++i) {
        const std::size_t off = i < 8 ? cfg::kFftIntsAAt + 4 * i : cfg::kFftIntsBAt + 4 * (i - 8);
        const bool mustBePositive = i == FftLpcSettings::kPoints || i == FftLpcSettings::kWindowMs ||
                                    i == FftLpcSettings::kTopFrequency || i == FftLpcSettings::kLpcOrder;
        s.fftLpc.values[i] = mustBePositive ? r.Int(off, d.fftLpc.values[i], [](int v) { return v > 0; })
                                            : r.Int(off, d.fftLpc.values[i]);
    }
    s.fftLpc.pictureWidth = r.Double(cfg::kFftPictureAt, d.fftLpc.pictureWidth, Positive);
    s.fftLpc.pictureHeight = r.Double(cfg::kFftPictureAt + 8, d.fftLpc.pictureHeight, Positive);

    for (int i = 0; i < kPersistedChannels; ++i) {
        const ChannelSettings& dc = d.channels[i];
        ChannelSettings& c = s.channels[i];
        c.intensityWindow = r.IntAsDouble(cfg::kIntensityWindowAt + 4 * i, dc.intensityWindow, Positive);
        c.intensityStep = r.IntAsDouble(cfg::kIntensityStepAt + 4 * i, dc.intensityStep, Positive);
        c.intensityMode = r.Int(cfg::kIntensityModeAt + 4 * i, dc.intensityMode);
        c.smoothingSwitch = r.Int(cfg::kSmoothingSwitchAt + 4 * i, dc.smoothingSwitch);
        c.smoothingPoints = r.IntAsDouble(cfg::kSmoothingPointsAt + 4 * i, dc.smoothingPoints, Positive);
    }

    for (int i = 0; i < 14; ++i) {
        std::size_t off;
        if (i < 4)
            off = cfg::kSpectroIntsAAt + 4 * i;
        else if (i < 7)
            off = cfg::kSpectroIntsBAt + 4 * (i - 4);
        else
            off = cfg::kSpectroIntsCAt + 4 * (i - 7);
        const bool mustBePositive = i == SpectrogramSettings::kPoints || i == SpectrogramSettings::kTopFrequency ||
                                    i == SpectrogramSettings::kLpcOrder;
        s.spectrogram.values[i] = mustBePositive
                                      ? r.Int(off, d.spectrogram.values[i], [](int v) { return v > 0; })
                                      : r.Int(off, d.spectrogram.values[i]);
    }
    s.spectrogram.preEmphasis = r.Double(cfg::kSpectroPreEmphasisAt, d.spectrogram.preEmphasis);
    s.spectrogram.pictureWidth = r.Double(cfg::kSpectroPictureAt, d.spectrogram.pictureWidth, Positive);
    s.spectrogram.pictureHeight = r.Double(cfg::kSpectroPictureAt + 8, d.spectrogram.pictureHeight, Positive);

    for (int i = 0; i < 8; ++i) {
        const std::size_t off = i < 4 ? cfg::kPitchDoublesAAt + 8 * i : cfg::kPitchDoublesBAt + 8 * (i - 4);
        const bool mustBePositive = i == PitchSettings::kWindowMs || i == PitchSettings::kStepMs;
        s.pitch.doubles[i] = mustBePositive ? r.Double(off, d.pitch.doubles[i], Positive)
                                            : r.Double(off, d.pitch.doubles[i]);
    }
    for (int i = 0; i < 12; ++i) {
        const std::size_t off = i < 7 ? cfg::kPitchIntsAAt + 4 * i : cfg::kPitchIntsBAt + 4 * (i - 7);
        s.pitch.ints[i] = r.Int(off, d.pitch.ints[i]);
    }
    s.pitch.pictureWidth = r.Double(cfg::kPitchPictureAt, d.pitch.pictureWidth, Positive);
    s.pitch.pictureHeight = r.Double(cfg::kPitchPictureAt + 8, d.pitch.pictureHeight, Positive);

    const std::size_t g = cfg::kGenericAnswersAt;
    s.genericAnswers.headerBytes = r.Int(g, d.genericAnswers.headerBytes, [](int v) { return v >= 0; });
    s.genericAnswers.sampleRate = r.Int(g + 4, d.genericAnswers.sampleRate, [](int v) { return v > 0; });
    s.genericAnswers.integerBinary = r.Int(g + 8, d.genericAnswers.integerBinary);
    s.genericAnswers.sixteenBit = r.Int(g + 12, d.genericAnswers.sixteenBit);
    s.genericAnswers.highByteFirst = r.Int(g + 16, d.genericAnswers.highByteFirst);
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
        bool finite = true;
        bool allZero = true;
        std::array<double, 4> k{};
        for (int j = 0; j < 4; ++j) {
            const std::size_t off = offs[j] + 8 * i;
            present = present && r.Has(off, 8);
            if (!present)
                break;
            k[j] = r.View().F64LE(off);
            finite = finite && std::isfinite(k[j]);
            allZero = allZero && k[j] == 0.0;
        }
        // A calibration of all zeros flattens the channel to 0.
        c.calibration = present && finite && !allZero ? k : d.channels[i].calibration;
        c.unit = r.Text(cfg::kUnitAt + cfg::kUnitSize * i, cfg::kUnitSize, d.channels[i].unit);
    }

    s.logSelectionStep = r.Double(cfg::kLogStepAt, d.logSelectionStep, Positive);

    s.egg = d.egg;
    s.egg.channel = r.Int(cfg::kEggChannelAt, d.egg.channel, [](int v) { return v >= -1 && v < kDocumentSlots; });
    s.egg.setting = r.Int(cfg::kEggSettingAt, d.egg.setting);
    if (s.egg.channel >= 0) {
        s.egg.velocitySmoothing = r.IntAsDouble(cfg::kEggVelocitySmoothingAt, d.egg.velocitySmoothing, NonNegative);
        s.egg.accelerationSmoothing =
            r.IntAsDouble(cfg::kEggAccelerationSmoothingAt, d.egg.accelerationSmoothing, NonNegative);
        s.egg.showVelocity = r.Int(cfg::kEggShowVelocityAt, d.egg.showVelocity);
        s.egg.showAcceleration = r.Int(cfg::kEggShowAccelerationAt, d.egg.showAcceleration);
        s.egg.showPeaks = r.Int(cfg::kEggShowPeaksAt, d.egg.showPeaks);
        s.egg.showValleys = r.Int(cfg::kEggShowValleysAt, d.egg.showValleys);
        s.egg.showThreshold = r.Int(cfg::kEggShowThresholdAt, d.egg.showThreshold);
    }

    for (int i = 0; i < 9; ++i) {
        const bool range = i >= FormantPlotSettings::kF1Range;
        s.formantPlot.values[i] = range ? r.Int(cfg::kFormantPlotAt + 4 * i, d.formantPlot.values[i],
                                                [](int v) { return v > 0; })
                                        : r.Int(cfg::kFormantPlotAt + 4 * i, d.formantPlot.values[i]);
    }
    if (r.Has(cfg::kFormantFontAt, platform::LogFontA::kSize))
        s.formantPlot.font = platform::LogFontA::Decode(block.data() + cfg::kFormantFontAt);
    else
        s.formantPlot.font = d.formantPlot.font;
    s.formantPlot.fontColour =
        static_cast<platform::ColorRef>(r.Int(cfg::kFormantFontColourAt, static_cast<int>(d.formantPlot.fontColour)));
}

void ReadLoadedDocumentPart(const ConfigurationBlock& block, DocumentSettings& s) {
    const DocumentSettings d = DocumentSettings::Reset();
    const FieldReader r(block);
    s.sampleRate = r.Double(cfg::kSampleRateAt, d.sampleRate, Positive);
    s.sampleCount = r.Double(cfg::kSampleCountAt, d.sampleCount, NonNegative);
    s.duration = r.Double(cfg::kDurationAt, d.duration, NonNegative);
    ReadSharedPart(r, d, s);
    s.display.mouseReadout = r.Int(cfg::kDisplayMouseReadoutAt, d.display.mouseReadout);
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
