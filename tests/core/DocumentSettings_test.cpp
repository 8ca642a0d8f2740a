#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

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
    s.display = {2, 5.5, 3.5, 0, 1, 1, 0};
    s.zoomDuration = 250.0;
    s.fftLpc.values[FftLpcSettings::kWindowMs] = 40;
    s.fftLpc.values[FftLpcSettings::kLpcOrder] = 12;
    s.spectrogram.values[SpectrogramSettings::kLpcOrder] = 18;
    s.spectrogram.preEmphasis = 0.9;
    s.pitch.doubles[PitchSettings::kWindowMs] = 40.0;
    s.pitch.ints[11] = 7;
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
    s.formantPlot.values[FormantPlotSettings::kF2Range] = 2500;
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
    EXPECT_EQ(2, s.display.first);
    EXPECT_EQ(250.0, s.zoomDuration);
    EXPECT_EQ(40, s.fftLpc.values[FftLpcSettings::kWindowMs]);
    EXPECT_EQ(18, s.spectrogram.values[SpectrogramSettings::kLpcOrder]);
    EXPECT_EQ(0.9, s.spectrogram.preEmphasis);
    EXPECT_EQ(7, s.pitch.ints[11]);
    EXPECT_EQ(8000, s.genericAnswers.sampleRate);
    EXPECT_EQ(35.0, s.channels[15].intensityWindow);
    EXPECT_EQ((std::array<double, 4>{0.0, 0.5, 2.0, -1.0}), s.channels[7].calibration);
    EXPECT_EQ("kPa", s.channels[0].unit);
    EXPECT_EQ(2.5, s.logSelectionStep);
    EXPECT_EQ(4, s.egg.channel);
    EXPECT_EQ(2.0, s.egg.velocitySmoothing);
    EXPECT_EQ(1, s.egg.showValleys);
    EXPECT_EQ(2500, s.formantPlot.values[FormantPlotSettings::kF2Range]);
    EXPECT_EQ("Serif", s.formantPlot.font.faceName);
    EXPECT_EQ(0x0000FFu, s.formantPlot.fontColour);
}

// One bad (or boundary) value in an otherwise good block.
struct RangeCase {
    const char* name;
    std::function<void(ConfigurationBlock&)> poke;
    std::function<bool(const DocumentSettings&)> expect;
};

TEST(DocumentSettingsRead, RangeChecksAtTheirBoundaries) {
    auto i32 = [](std::size_t off, int v) { return [=](ConfigurationBlock& b) { b.Span().I32LE(off, v); }; };
    auto f64 = [](std::size_t off, double v) { return [=](ConfigurationBlock& b) { b.Span().F64LE(off, v); }; };
    const RangeCase cases[] = {
        {"log step 0", f64(cfg::kLogStepAt, 0.0), [](auto& s) { return s.logSelectionStep == 1.0; }},
        {"log step NaN", f64(cfg::kLogStepAt, kNaN), [](auto& s) { return s.logSelectionStep == 1.0; }},
        {"log step 0.01", f64(cfg::kLogStepAt, 0.01), [](auto& s) { return s.logSelectionStep == 0.01; }},
        {"intensity step 0", i32(cfg::kIntensityStepAt + 4 * 3, 0),
         [](auto& s) { return s.channels[3].intensityStep == 10.0 && s.channels[2].intensityStep == 5.0; }},
        {"intensity step 1", i32(cfg::kIntensityStepAt + 4 * 3, 1), [](auto& s) { return s.channels[3].intensityStep == 1.0; }},
        {"intensity window -1", i32(cfg::kIntensityWindowAt, -1), [](auto& s) { return s.channels[0].intensityWindow == 30.0; }},
        {"zoom 0", i32(cfg::kZoomAt, 0), [](auto& s) { return s.zoomDuration == 1000.0; }},
        {"zoom 1", i32(cfg::kZoomAt, 1), [](auto& s) { return s.zoomDuration == 1.0; }},
        {"FFT window 0", i32(cfg::kFftIntsAAt + 8, 0),
         [](auto& s) { return s.fftLpc.values[FftLpcSettings::kWindowMs] == 11; }},
        {"FFT window 1", i32(cfg::kFftIntsAAt + 8, 1),
         [](auto& s) { return s.fftLpc.values[FftLpcSettings::kWindowMs] == 1; }},
        {"FFT LPC order 0", i32(cfg::kFftIntsBAt + 4 * 5, 0),
         [](auto& s) { return s.fftLpc.values[FftLpcSettings::kLpcOrder] == 26; }},
        {"spectrogram LPC order -4", i32(cfg::kSpectroIntsBAt + 4, -4),
         [](auto& s) { return s.spectrogram.values[SpectrogramSettings::kLpcOrder] == 26; }},
        {"smoothing points 0", i32(cfg::kSmoothingPointsAt + 4 * 15, 0),
         [](auto& s) { return s.channels[15].smoothingPoints == 5.0; }},
        {"smoothing points 1", i32(cfg::kSmoothingPointsAt + 4 * 15, 1),
         [](auto& s) { return s.channels[15].smoothingPoints == 1.0; }},
        {"pitch window 0", f64(cfg::kPitchDoublesAAt, 0.0), [](auto& s) { return s.pitch.doubles[0] == 35.0; }},
        {"pitch window inf", f64(cfg::kPitchDoublesAAt, std::numeric_limits<double>::infinity()),
         [](auto& s) { return s.pitch.doubles[0] == 35.0; }},
        {"display picture 0", f64(cfg::kDisplayPictureAt, 0.0), [](auto& s) { return s.display.pictureWidth == 6.0; }},
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
        {"calibration NaN", f64(cfg::kCalibrationX1At, kNaN),
         [](auto& s) { return s.channels[0].calibration == std::array<double, 4>{0, 0, 1, 0}; }},
        {"EGG channel 19", i32(cfg::kEggChannelAt, 19),
         [](auto& s) { return s.egg.channel == 19 && s.egg.velocitySmoothing == 2.0; }},
        {"EGG channel 20", i32(cfg::kEggChannelAt, 20),
         [](auto& s) { return s.egg.channel == -1 && s.egg.velocitySmoothing == 1.0 && s.egg.showVelocity == 0; }},
        {"EGG channel -1", i32(cfg::kEggChannelAt, -1),
         [](auto& s) { return s.egg.channel == -1 && s.egg.velocitySmoothing == 1.0; }},
        {"EGG channel -2", i32(cfg::kEggChannelAt, -2), [](auto& s) { return s.egg.channel == -1; }},
        {"EGG smoothing -1", i32(cfg::kEggVelocitySmoothingAt, -1), [](auto& s) { return s.egg.velocitySmoothing == 1.0; }},
        {"EGG smoothing 0", i32(cfg::kEggVelocitySmoothingAt, 0), [](auto& s) { return s.egg.velocitySmoothing == 0.0; }},
        {"F1 range 0", i32(cfg::kFormantPlotAt + 4 * 6, 0), [](auto& s) { return s.formantPlot.values[6] == 1600; }},
        {"generic rate 0", i32(cfg::kGenericAnswersAt + 4, 0), [](auto& s) { return s.genericAnswers.sampleRate == 10000; }},
        {"generic header -1", i32(cfg::kGenericAnswersAt, -1), [](auto& s) { return s.genericAnswers.headerBytes == 0; }},
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
