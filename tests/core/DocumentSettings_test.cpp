#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "ConfigurationTestUtil.h"
#include "core/ConfigurationFile.h"
#include "core/DocumentSettings.h"

namespace vocomet {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A block of settings that differ from every default, so a field that is
// taken shows its file value and a field that is refused shows its default.
ConfigurationBlock CustomBlock() {
    DocumentSettings s = DocumentSettings::Reset();
    s.display = {0, 5.5, 3.5, 0, 1, 1, 0};
    s.zoomDuration = 250.0;
    s.fftLpc.values[FftLpcSettings::kWindowMs] = 40;
    s.fftLpc.values[FftLpcSettings::kLpcOrder] = 12;
    s.spectrogram.values[SpectrogramSettings::kLpcOrder] = 18;
    s.spectrogram.preEmphasis = 0.9;
    s.pitch.doubles[PitchSettings::kWindowMs] = 40.0;
    s.pitch.ints[11] = 0;
    s.genericAnswers = {44, 8000, 0, 0, 0};
    for (int i = 0; i < kPersistedChannels; ++i) {
        s.channels[i].intensityWindow = 20 + i;
        s.channels[i].intensityStep = 5;
        s.channels[i].smoothingPoints = 3;
        s.channels[i].calibration = {0.0, 0.5, 2.0, -1.0};
        s.channels[i].unit = "kPa";
    }
    s.logSelectionStep = 2.5;
    s.egg = {4, 30, 2.0, 3.0, 1, 1, 0, 1, 0};
    s.formantPlot.values[FormantPlotSettings::kF2Range] = 2600;
    s.formantPlot.fontColour = 0x0000FF;
    s.formantPlot.font.faceName = "Serif";
    ConfigurationBlock b;
    b.PutSignature();
    WriteDocumentPart(b, s);
    return b;
}

TEST(DocumentSettingsRead, TakesWhatTheBlockHolds) {
    const ConfigurationBlock block = CustomBlock();
    DocumentSettings s;
    ReadDocumentPart(block, s);
    EXPECT_EQ(11025.0, s.sampleRate);  // rate, count and duration are not taken
    EXPECT_EQ(5.5, s.display.pictureWidth);
    EXPECT_EQ(1, s.display.mouseReadout);  // always 1 for a new document
    EXPECT_EQ(0, s.display.first);
    EXPECT_EQ(250.0, s.zoomDuration);
    EXPECT_EQ(40, s.fftLpc.values[FftLpcSettings::kWindowMs]);
    EXPECT_EQ(18, s.spectrogram.values[SpectrogramSettings::kLpcOrder]);
    EXPECT_EQ(0.9, s.spectrogram.preEmphasis);
    EXPECT_EQ(0, s.pitch.ints[11]);
    EXPECT_EQ(8000, s.genericAnswers.sampleRate);
    EXPECT_EQ(35.0, s.channels[15].intensityWindow);
    EXPECT_EQ((std::array<double, 4>{0.0, 0.5, 2.0, -1.0}), s.channels[7].calibration);
    EXPECT_EQ("kPa", s.channels[0].unit);
    EXPECT_EQ(2.5, s.logSelectionStep);
    EXPECT_EQ(4, s.egg.channel);
    EXPECT_EQ(2.0, s.egg.velocitySmoothing);
    EXPECT_EQ(1, s.egg.showValleys);
    EXPECT_EQ(2600, s.formantPlot.values[FormantPlotSettings::kF2Range]);
    EXPECT_EQ("Serif", s.formantPlot.font.faceName);
    EXPECT_EQ(0x0000FFu, s.formantPlot.fontColour);
}

// A field of the block as the document holds it.
struct Field {
    const char* name;
    std::size_t offset;
    bool isDouble;
    std::function<double(const DocumentSettings&)> get;
};

// A value put into the field of an otherwise good block: taken as it is, or
// refused so the field keeps its reset value.
struct Probe {
    double value;
    bool taken;
};

constexpr double kHuge = 1e300;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int kIntMax = std::numeric_limits<int>::max();
constexpr int kIntMin = std::numeric_limits<int>::min();

void ExpectProbes(const Field& f, const std::vector<Probe>& probes,
                  void (*read)(const ConfigurationBlock&, DocumentSettings&)) {
    const double fallback = f.get(DocumentSettings::Reset());
    for (const Probe& p : probes) {
        SCOPED_TRACE(std::string(f.name) + " = " + std::to_string(p.value));
        ConfigurationBlock block = CustomBlock();
        if (f.isDouble)
            block.Span().F64LE(f.offset, p.value);
        else
            block.Span().I32LE(f.offset, static_cast<int>(p.value));
        ASSERT_NE(p.value, fallback);  // else the probe shows nothing
        DocumentSettings s;
        read(block, s);
        const double got = f.get(s);
        if (p.taken)
            EXPECT_EQ(p.value, got);
        else
            EXPECT_EQ(fallback, got);
    }
}

TEST(DocumentSettingsRead, ValuesOutsideTheirDialogsFallBackToTheDefault) {
    const std::size_t fft = cfg::kFftIntsAAt, fftB = cfg::kFftIntsBAt;
    const std::size_t spA = cfg::kSpectroIntsAAt, spB = cfg::kSpectroIntsBAt, spC = cfg::kSpectroIntsCAt;
    const struct {
        Field field;
        std::vector<Probe> probes;
    } table[] = {
        {{"FFT size index", fft, false, [](auto& s) { return s.fftLpc.values[0]; }},
         {{-1, false}, {0, true}, {8, true}, {9, false}, {kIntMax, false}}},
        {{"FFT points", fft + 4, false, [](auto& s) { return s.fftLpc.values[FftLpcSettings::kPoints]; }},
         {{0, false}, {-256, false}, {16, false}, {32, true}, {100, false}, {8192, true}, {16384, false},
          {kIntMax, false}, {kIntMin, false}}},
        {{"FFT applied window", fft + 8, false, [](auto& s) { return s.fftLpc.values[FftLpcSettings::kWindowMs]; }},
         {{0, false}, {1, true}, {8192, true}, {8193, false}, {kIntMax, false}}},
        {{"FFT average step", fft + 12, false, [](auto& s) { return s.fftLpc.values[3]; }},
         {{0, false}, {-10, false}, {25, true}}},
        {{"FFT top frequency", fft + 16, false, [](auto& s) { return s.fftLpc.values[FftLpcSettings::kTopFrequency]; }},
         {{0, false}, {-5000, false}, {4000, true}}},
        {{"FFT absolute flag", fft + 20, false, [](auto& s) { return s.fftLpc.values[5]; }},
         {{0, true}, {2, false}, {-1, false}}},
        {{"FFT frequency grid spacing", fftB + 8, false, [](auto& s) { return s.fftLpc.values[10]; }},
         {{0, true}, {-1, false}}},
        {{"FFT LPC order", fftB + 20, false, [](auto& s) { return s.fftLpc.values[FftLpcSettings::kLpcOrder]; }},
         {{0, false}, {2, false}, {4, true}, {13, false}, {100, true}, {102, false}, {-26, false}, {kIntMax, false}}},
        {{"FFT frame log step", fftB + 28, false, [](auto& s) { return s.fftLpc.values[FftLpcSettings::kLogOption]; }},
         {{0, false}, {1, true}, {5000, true}, {5001, false}}},
        {{"FFT picture width", cfg::kFftPictureAt, true, [](auto& s) { return s.fftLpc.pictureWidth; }},
         {{0.5, true}, {100.0, true}, {100.5, false}, {0.0, false}, {-2.0, false}, {kHuge, false}, {kNaN, false},
          {kInf, false}}},
        {{"spectrogram points", spA, false, [](auto& s) { return s.spectrogram.values[SpectrogramSettings::kPoints]; }},
         {{128, true}, {48, false}, {1 << 20, false}, {-64, false}}},
        {{"spectrogram size index", spA + 4, false, [](auto& s) { return s.spectrogram.values[1]; }},
         {{0, true}, {9, false}}},
        {{"spectrogram dynamic range", spA + 12, false, [](auto& s) { return s.spectrogram.values[3]; }},
         {{0, false}, {70, true}}},
        {{"spectrogram pre-emphasis", cfg::kSpectroPreEmphasisAt, true,
          [](auto& s) { return s.spectrogram.preEmphasis; }},
         {{0.0, true}, {1.0, true}, {-0.1, false}, {1.5, false}, {kNaN, false}, {kHuge, false}}},
        {{"spectrogram LPC order", spB + 4, false,
          [](auto& s) { return s.spectrogram.values[SpectrogramSettings::kLpcOrder]; }},
         {{-4, false}, {99, false}, {101, false}, {40, true}}},
        {{"spectrogram time grid spacing", spC + 24, false, [](auto& s) { return s.spectrogram.values[13]; }},
         {{0, true}, {-500, false}}},
        {{"pitch window", cfg::kPitchDoublesAAt, true, [](auto& s) { return s.pitch.doubles[0]; }},
         {{20.0, true}, {0.0, false}, {-35.0, false}, {kHuge, false}, {kNaN, false}, {kInf, false}}},
        {{"pitch lower limit", cfg::kPitchDoublesAAt + 24, true, [](auto& s) { return s.pitch.doubles[3]; }},
         {{75.0, true}, {0.0, false}, {3e9, false}}},
        {{"pitch threshold", cfg::kPitchDoublesBAt, true, [](auto& s) { return s.pitch.doubles[4]; }},
         {{0.0, true}, {-1.0, false}, {kHuge, false}}},
        {{"pitch display lower limit", cfg::kPitchIntsAAt + 4, false, [](auto& s) { return s.pitch.ints[1]; }},
         {{0, true}, {-50, false}}},
        {{"pitch method", cfg::kPitchIntsAAt + 24, false, [](auto& s) { return s.pitch.ints[6]; }},
         {{0, true}, {2, false}}},
        {{"display picture width", cfg::kDisplayPictureAt, true, [](auto& s) { return s.display.pictureWidth; }},
         {{100.0, true}, {0.0, false}, {kHuge, false}, {kNaN, false}}},
        {{"display grid spacing", cfg::kDisplayFifthAt, false, [](auto& s) { return s.display.fifth; }},
         {{250, true}, {-1, false}}},
        {{"display inches", cfg::kDisplayFirstAt, false, [](auto& s) { return s.display.first; }},
         {{0, true}, {2, false}, {-1, false}}},
        {{"zoom", cfg::kZoomAt, false, [](auto& s) { return s.zoomDuration; }},
         {{1, true}, {kIntMax, true}, {0, false}, {-5, false}}},
        {{"intensity window", cfg::kIntensityWindowAt, false, [](auto& s) { return s.channels[0].intensityWindow; }},
         {{1, true}, {32767, true}, {32768, false}, {0, false}, {-1, false}, {kIntMax, false}}},
        {{"intensity step", cfg::kIntensityStepAt + 4 * 3, false, [](auto& s) { return s.channels[3].intensityStep; }},
         {{1, true}, {0, false}, {40000, false}}},
        {{"smoothing points", cfg::kSmoothingPointsAt + 4 * 15, false,
          [](auto& s) { return s.channels[15].smoothingPoints; }},
         {{1, true}, {0, false}, {kIntMax, false}}},
        {{"intensity mode (any non-zero is set)", cfg::kIntensityModeAt, false,
          [](auto& s) { return s.channels[0].intensityMode; }},
         {{-1, true}, {1, true}}},
        {{"calibration x", cfg::kCalibrationX1At + 8 * 5, true, [](auto& s) { return s.channels[5].calibration[2]; }},
         {{-9999.5, true}, {9999.99999999, true}, {10000.0, false}, {-10000.0, false}, {kHuge, false},
          {-kHuge, false}, {kNaN, false}, {kInf, false}}},
        {{"calibration constant", cfg::kCalibrationX0At, true, [](auto& s) { return s.channels[0].calibration[3]; }},
         {{-1.0, true}, {5e4, false}, {kNaN, false}}},
        {{"log selection step", cfg::kLogStepAt, true, [](auto& s) { return s.logSelectionStep; }},
         {{0.01, true}, {100.0, true}, {0.0, false}, {-1.0, false}, {100.5, false}, {kHuge, false}, {kNaN, false}}},
        {{"EGG threshold", cfg::kEggSettingAt, false, [](auto& s) { return s.egg.setting; }},
         {{0, true}, {100, true}, {101, false}, {-1, false}}},
        {{"EGG smoothing", cfg::kEggVelocitySmoothingAt, false, [](auto& s) { return s.egg.velocitySmoothing; }},
         {{0, true}, {-1, false}}},
        {{"EGG show peaks", cfg::kEggShowPeaksAt, false, [](auto& s) { return s.egg.showPeaks; }},
         {{1, true}, {2, false}, {-1, false}}},
        {{"formant pair", cfg::kFormantPlotAt, false, [](auto& s) { return s.formantPlot.values[0]; }},
         {{2, true}, {3, false}, {-1, false}}},
        {{"formant F1 range", cfg::kFormantPlotAt + 4 * 6, false, [](auto& s) { return s.formantPlot.values[6]; }},
         {{1000, true}, {4800, true}, {1100, false}, {800, false}, {5000, false}, {0, false}}},
        {{"formant font colour", cfg::kFormantFontColourAt, false,
          [](auto& s) { return static_cast<double>(s.formantPlot.fontColour); }},
         {{0xFFFFFF, true}, {0x1000000, false}, {-1, false}}},
        {{"generic rate", cfg::kGenericAnswersAt + 4, false, [](auto& s) { return s.genericAnswers.sampleRate; }},
         {{0, false}, {-8000, false}, {22050, true}}},
        {{"generic header", cfg::kGenericAnswersAt, false, [](auto& s) { return s.genericAnswers.headerBytes; }},
         {{-1, false}, {512, true}}},
        {{"generic 16-bit flag", cfg::kGenericAnswersAt + 12, false,
          [](auto& s) { return s.genericAnswers.sixteenBit; }},
         {{0, true}, {16, false}}},
    };
    for (const auto& row : table)
        ExpectProbes(row.field, row.probes, ReadDocumentPart);
}

// Cases a single field and value do not show.
struct RangeCase {
    const char* name;
    std::function<void(ConfigurationBlock&)> poke;
    std::function<bool(const DocumentSettings&)> expect;
};

TEST(DocumentSettingsRead, WholeFieldChecks) {
    auto i32 = [](std::size_t off, int v) { return [=](ConfigurationBlock& b) { b.Span().I32LE(off, v); }; };
    const RangeCase cases[] = {
        {"one bad coefficient resets the whole polynomial",
         [](ConfigurationBlock& b) { b.Span().F64LE(cfg::kCalibrationX3At + 8 * 4, 1e12); },
         [](auto& s) {
             return s.channels[4].calibration == std::array<double, 4>{0, 0, 1, 0} &&
                    s.channels[3].calibration == std::array<double, 4>{0, 0.5, 2, -1};
         }},
        {"calibration all zero",
         [](ConfigurationBlock& b) {
             for (std::size_t off : {cfg::kCalibrationX3At, cfg::kCalibrationX2At, cfg::kCalibrationX1At,
                                     cfg::kCalibrationX0At})
                 b.Span().F64LE(off + 8 * 9, 0.0);
         },
         [](auto& s) {
             return s.channels[9].calibration == std::array<double, 4>{0, 0, 1, 0} &&
                    s.channels[8].calibration == std::array<double, 4>{0, 0.5, 2, -1};
         }},
        {"calibration constant only",
         [](ConfigurationBlock& b) {
             for (std::size_t off : {cfg::kCalibrationX3At, cfg::kCalibrationX2At, cfg::kCalibrationX1At})
                 b.Span().F64LE(off + 8 * 9, 0.0);
         },
         [](auto& s) { return s.channels[9].calibration == std::array<double, 4>{0, 0, 0, -1}; }},
        {"EGG channel 19", i32(cfg::kEggChannelAt, 19),
         [](auto& s) { return s.egg.channel == 19 && s.egg.velocitySmoothing == 2.0; }},
        {"EGG channel 20", i32(cfg::kEggChannelAt, 20),
         [](auto& s) { return s.egg.channel == -1 && s.egg.velocitySmoothing == 1.0 && s.egg.showVelocity == 0; }},
        {"EGG channel -1", i32(cfg::kEggChannelAt, -1),
         [](auto& s) { return s.egg.channel == -1 && s.egg.velocitySmoothing == 1.0; }},
        {"EGG channel -2", i32(cfg::kEggChannelAt, -2), [](auto& s) { return s.egg.channel == -1; }},
        {"font weight beyond the font dialog",
         [](ConfigurationBlock& b) { b.Span().I32LE(cfg::kFormantFontAt + 16, 5000); },
         [](auto& s) { return s.formantPlot.font == platform::DefaultGuiFont(); }},
        {"font height beyond the font dialog",
         [](ConfigurationBlock& b) { b.Span().I32LE(cfg::kFormantFontAt, -1000000); },
         [](auto& s) { return s.formantPlot.font == platform::DefaultGuiFont(); }},
        {"empty unit", [](ConfigurationBlock& b) { b.Span().Text(cfg::kUnitAt + 32 * 2, 32, ""); },
         [](auto& s) { return s.channels[2].unit == "normalized"; }},
        {"unit of 32 bytes without NUL",
         [](ConfigurationBlock& b) {
             for (int i = 0; i < 32; ++i)
                 b.data()[cfg::kUnitAt + 32 * 2 + i] = static_cast<std::uint8_t>('a' + i % 26);
         },
         [](auto& s) { return s.channels[2].unit == "abcdefghijklmnopqrstuvwxyzabcdef" && s.channels[3].unit == "kPa"; }},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(c.name);
        ConfigurationBlock block = CustomBlock();
        c.poke(block);
        const ConfigurationBlock before = block;
        DocumentSettings s;
        ReadDocumentPart(block, s);
        EXPECT_TRUE(c.expect(s));
        EXPECT_EQ(before, block);
    }
}

TEST(DocumentSettingsRead, ShortFileFieldsTakeTheirDefaults) {
    const std::string path = test::FreshTempDir() + "/VocometConf.cfg";
    // The file ends inside the calibration tables.
    test::WriteAll(path, test::BytesOf(CustomBlock()).substr(0, cfg::kCalibrationX1At + 8 * 4));
    DocumentSettings s;
    EXPECT_TRUE(ReadDocumentConfiguration(path, test::GoldenApplication(), s));
    EXPECT_EQ(250.0, s.zoomDuration);
    EXPECT_EQ((std::array<double, 4>{0, 0, 1, 0}), s.channels[0].calibration);  // constant missing
    EXPECT_EQ("normalized", s.channels[0].unit);
    EXPECT_EQ(1.0, s.logSelectionStep);
    EXPECT_EQ(-1, s.egg.channel);
    EXPECT_EQ(platform::DefaultGuiFont(), s.formantPlot.font);
    EXPECT_EQ(std::size_t(cfg::kCalibrationX1At + 32), test::ReadAll(path).size());  // file untouched
}

TEST(DocumentSettingsRead, ForeignFileIsReplacedByDocumentDefaults) {
    const std::string path = test::FreshTempDir() + "/VocometConf.cfg";
    test::WriteAll(path, std::string(cfg::kBlockSize, '\x11'));
    DocumentSettings s;
    s.logSelectionStep = 99.0;
    EXPECT_FALSE(ReadDocumentConfiguration(path, test::GoldenApplication(), s));
    EXPECT_EQ(1.0, s.logSelectionStep);
    EXPECT_EQ(test::BytesOf(MakeDocumentDefaultBlock(test::GoldenApplication(), DocumentSettings::Reset())),
              test::ReadAll(path));
}

TEST(DocumentSettingsRead, LoadedPartTakesRateDisplayAndChecksRanges) {
    ConfigurationBlock block = CustomBlock();
    block.Span().F64LE(cfg::kSampleRateAt, 16000.0);
    block.Span().F64LE(cfg::kSampleCountAt, -1.0);
    block.Span().I32LE(cfg::kDisplayMouseReadoutAt, 0);
    block.Span().I32LE(cfg::kZoomAt, 0);
    DocumentSettings s = DocumentSettings::Reset();
    s.logSelectionStep = 4.0;
    s.channels[1].unit = "mm";
    ReadLoadedDocumentPart(block, s);
    EXPECT_EQ(16000.0, s.sampleRate);
    EXPECT_EQ(0.0, s.sampleCount);
    EXPECT_EQ(0, s.display.mouseReadout);
    EXPECT_EQ(1000.0, s.zoomDuration);
    EXPECT_EQ(21.0, s.channels[1].intensityWindow);
    // Calibration, units, log step, EGG and formant plot are not applied.
    EXPECT_EQ(4.0, s.logSelectionStep);
    EXPECT_EQ("mm", s.channels[1].unit);
    EXPECT_EQ((std::array<double, 4>{0, 0, 1, 0}), s.channels[1].calibration);
    EXPECT_EQ(-1, s.egg.channel);
}

TEST(DocumentSettingsRead, LoadedPartChecksRateCountDurationAndReadOut) {
    const struct {
        Field field;
        std::vector<Probe> probes;
    } table[] = {
        {{"sample rate", cfg::kSampleRateAt, true, [](auto& s) { return s.sampleRate; }},
         {{8000.0, true}, {2147483647.0, true}, {0.0, false}, {0.5, false}, {-8000.0, false}, {kHuge, false},
          {kNaN, false}, {kInf, false}}},
        {{"sample count", cfg::kSampleCountAt, true, [](auto& s) { return s.sampleCount; }},
         {{1e6, true}, {-1.0, false}, {kNaN, false}, {kInf, false}}},
        {{"duration", cfg::kDurationAt, true, [](auto& s) { return s.duration; }},
         {{500.0, true}, {-1.0, false}, {kNaN, false}}},
        {{"mouse read-out", cfg::kDisplayMouseReadoutAt, false, [](auto& s) { return s.display.mouseReadout; }},
         {{0, true}, {7, false}}},
        {{"FFT points", cfg::kFftIntsAAt + 4, false, [](auto& s) { return s.fftLpc.values[1]; }},
         {{512, true}, {500, false}, {kIntMax, false}}},
    };
    for (const auto& row : table)
        ExpectProbes(row.field, row.probes, ReadLoadedDocumentPart);
}

TEST(DocumentSettingsWrite, WholeNumberFieldsAreTruncated) {
    DocumentSettings s = DocumentSettings::Reset();
    s.zoomDuration = 1234.9;
    s.channels[0].intensityWindow = 29.99;
    s.channels[0].smoothingPoints = 5.7;
    s.channels[1].intensityStep = 1e300;
    ConfigurationBlock b;
    WriteSavedDocumentPart(b, s);
    EXPECT_EQ(1234, b.View().I32LE(cfg::kZoomAt));
    EXPECT_EQ(29, b.View().I32LE(cfg::kIntensityWindowAt));
    EXPECT_EQ(5, b.View().I32LE(cfg::kSmoothingPointsAt));
    EXPECT_EQ(2147483647, b.View().I32LE(cfg::kIntensityStepAt + 4));
}

TEST(DocumentSettingsDefaults, RateDerivedValues) {
    EXPECT_EQ(11, DefaultAnalysisWindowMs(22050));
    EXPECT_EQ(11000, DefaultTopFrequency(22050));
    EXPECT_EQ(26, DefaultLpcOrder(22050));
    const DocumentSettings start = DocumentSettings::StartDefaults(48000.0);
    EXPECT_EQ(48000.0, start.sampleRate);
    EXPECT_EQ(11, start.fftLpc.values[FftLpcSettings::kWindowMs]);  // always made for 22050
    EXPECT_EQ(10.0, start.logSelectionStep);
}

}  // namespace
}  // namespace vocomet
