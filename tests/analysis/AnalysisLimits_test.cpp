#include "analysis/AnalysisLimits.h"

#include <gtest/gtest.h>

#include <string>

namespace vocomet {
namespace {

TEST(AnalysisLimits, FftSizeListLabelsFollowTheRate) {
    EXPECT_EQ(FftSizeLabel(0, 11025.0), "  344  Hz  (  32 pts)");
    EXPECT_EQ(FftSizeLabel(1, 11025.0), "  172  Hz  (  64 pts)");
    EXPECT_EQ(FftSizeLabel(3, 11025.0), "  43  Hz   ( 256 pts)");
    EXPECT_EQ(FftSizeLabel(8, 11025.0), "  1  Hz   (8192 pts)");
    EXPECT_EQ(FftSizeLabel(0, 44100.0), "  1378  Hz  (  32 pts)");
    EXPECT_EQ(FftPointsOfIndex(0), 32);
    EXPECT_EQ(FftPointsOfIndex(8), 8192);
}

TEST(AnalysisLimits, DefaultsFollowTheRate) {
    struct Case {
        double rate;
        int window, range, order, spectrogramOrder;
    };
    const Case cases[] = {
        {11025.0, 23, 5000, 14, 14},
        {44100.0, 5, 22000, 48, 48},
        {8000.0, 32, 4000, 12, 12},
        // The dialogs never offer an order their window or the 4..100 range refuses.
        {200000.0, 1, 100000, 100, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        FftLpcSettings current;
        current.values[FftLpcSettings::kLogOption] = 77;
        const FftLpcSettings f = FftLpcDefaults(current, c.rate);
        EXPECT_EQ(f.values[0], 3);
        EXPECT_EQ(f.values[1], 256);
        EXPECT_EQ(f.values[2], c.window);
        EXPECT_EQ(f.values[3], 10);
        EXPECT_EQ(f.values[4], c.range);
        EXPECT_EQ(f.values[FftLpcSettings::kLpcOrder], c.order);
        EXPECT_EQ(f.values[FftLpcSettings::kLogOption], 77);
        EXPECT_FALSE(ValidateFftLpcOptions(f, c.rate)) << ValidateFftLpcOptions(f, c.rate)->message;
        EXPECT_TRUE(CheckFftLpcLimits(f.values[4], f.values[13], c.rate).empty());

        const SpectrogramSettings s = SpectrogramDefaults(SpectrogramSettings{}, c.rate);
        EXPECT_EQ(s.values[0], 128);
        EXPECT_EQ(s.values[1], 2);
        EXPECT_EQ(s.values[2], c.range);
        EXPECT_EQ(s.values[SpectrogramSettings::kLpcOrder], c.spectrogramOrder);
        EXPECT_FALSE(ValidateSpectrogramOptions(s, c.rate));
        EXPECT_TRUE(CheckSpectrogramLimits(s.values[2], s.values[5], c.rate).empty());
    }
}

TEST(AnalysisLimits, CorrectionsOfTheDialogs) {
    struct Case {
        int typed, even;
    };
    for (const Case c : {Case{15, 14}, Case{13, 12}, Case{14, 14}, Case{4, 4}, Case{401, 400}, Case{403, 400},
                         Case{1000, 400}}) {
        EXPECT_EQ(EvenLpcOrder(c.typed), c.even) << c.typed;
    }
    EXPECT_EQ(MaxAppliedWindowMs(256, 11025.0), 23);
    EXPECT_EQ(MaxAppliedWindowMs(8192, 11025.0), 743);
    // The range a dialog adjusts to is one the window accepts: 5000, not 5512.
    EXPECT_EQ(MaxAnalysisFrequency(11025.0), 5000);
    EXPECT_EQ(MaxAnalysisFrequency(8000.0), 4000);
    EXPECT_EQ(MaxWindowLpcOrder(11025.0), 21);
    EXPECT_EQ(MaxWindowLpcOrder(44100.0), 54);
    EXPECT_EQ(MaxDialogLpcOrder(11025.0), 20);
    EXPECT_EQ(MaxDialogLpcOrder(44100.0), 54);
    EXPECT_EQ(MaxDialogLpcOrder(96000.0), 100);
}

TEST(AnalysisLimits, WindowsRefuseBeyondTheirLimits) {
    EXPECT_TRUE(CheckFftLpcLimits(5000, 21, 11025.0).empty());
    EXPECT_EQ(CheckFftLpcLimits(5001, 14, 11025.0), kFftLpcFrequencyRefused);
    EXPECT_EQ(CheckFftLpcLimits(5000, 22, 11025.0), kFftLpcOrderRefused);
    EXPECT_EQ(CheckFftLpcLimits(0, 14, 11025.0), kFftLpcFrequencyRefused);
    EXPECT_TRUE(CheckSpectrogramLimits(4000, 18, 8000.0).empty());
    EXPECT_EQ(CheckSpectrogramLimits(4001, 18, 8000.0), kSpectrogramFrequencyRefused);
    EXPECT_EQ(CheckSpectrogramLimits(22000, 55, 44100.0), kSpectrogramOrderRefused);
}

// Each value a dialog must refuse, and the field it names.
TEST(AnalysisLimits, FftLpcDialogRefusesWhatItsWindowWouldRefuseOrCouldNotDraw) {
    struct Case {
        const char* what;
        int index;  // -1 width, -2 height
        double value;
        int field;
    };
    const Case cases[] = {
        {"range above the window's limit", 4, 5512, 4},
        {"range 0", 4, 0, 4},
        {"LPC order above the window's limit", 13, 22, 13},
        {"LPC order below 4", 13, 2, 13},
        {"applied window above the FFT", 2, 24, 2},
        {"average step 0", 3, 0, 3},
        {"dB range 0", 6, 0, 6},
        {"frequency grid 0", 10, 0, 10},
        {"power grid negative", 12, -5, 12},
        {"width 0", -1, 0.0, kFftLpcWidthField},
        {"height above 100", -2, 250.0, kFftLpcHeightField},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FftLpcSettings v = FftLpcDefaults(FftLpcSettings{}, 11025.0);
        if (c.index == -1)
            v.pictureWidth = c.value;
        else if (c.index == -2)
            v.pictureHeight = c.value;
        else
            v.values[c.index] = static_cast<int>(c.value);
        const auto r = ValidateFftLpcOptions(v, 11025.0);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->field, c.field);
        EXPECT_FALSE(r->message.empty());
    }
    // Grid spacings are not checked while their grid is off.
    FftLpcSettings off = FftLpcDefaults(FftLpcSettings{}, 11025.0);
    off.values[9] = 0;
    off.values[10] = 0;
    EXPECT_FALSE(ValidateFftLpcOptions(off, 11025.0));
    EXPECT_EQ(ValidateFftLpcOptions(FftLpcDefaults(FftLpcSettings{}, 11025.0), 11025.0), std::nullopt);
}

TEST(AnalysisLimits, PitchDialogRefusesWindowStepAndLimitsThatBreakTheTrack) {
    struct Case {
        const char* what;
        void (*change)(PitchSettings&);
        int field;
    };
    const Case cases[] = {
        {"window 0", [](PitchSettings& p) { p.doubles[0] = 0; }, 0},
        {"step 0", [](PitchSettings& p) { p.doubles[1] = 0; }, 1},
        {"lower calculation limit 0", [](PitchSettings& p) { p.doubles[3] = 0; }, 3},
        {"lower calculation limit at the upper",
         [](PitchSettings& p) {
             p.doubles[3] = 300;
             p.doubles[2] = 300;
         },
         3},
        {"display lower above upper",
         [](PitchSettings& p) {
             p.ints[1] = 600;
             p.ints[0] = 500;
         },
         kPitchIntsField + 1},
        {"display upper 0",
         [](PitchSettings& p) {
             p.ints[0] = 0;
             p.ints[1] = 0;
         },
         kPitchIntsField + 0},
        {"frequency grid 0", [](PitchSettings& p) { p.ints[3] = 0; }, kPitchIntsField + 3},
        {"time grid negative", [](PitchSettings& p) { p.ints[5] = -1; }, kPitchIntsField + 5},
        {"width 0", [](PitchSettings& p) { p.pictureWidth = 0; }, kPitchWidthField},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PitchSettings p = PitchDefaults(PitchSettings{});
        ASSERT_FALSE(ValidatePitchOptions(p));
        c.change(p);
        const auto r = ValidatePitchOptions(p);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->field, c.field);
    }
    // Time grid 0 is automatic spacing.
    PitchSettings automatic = PitchDefaults(PitchSettings{});
    automatic.ints[5] = 0;
    EXPECT_FALSE(ValidatePitchOptions(automatic));
}

TEST(AnalysisLimits, SmallDialogsAndTables) {
    EXPECT_FALSE(ValidateLogOptions(LogOptions{1, 0.5}));
    EXPECT_TRUE(ValidateLogOptions(LogOptions{0, 1.0}));
    EXPECT_TRUE(ValidateLogOptions(LogOptions{5001, 1.0}));
    EXPECT_TRUE(ValidateLogOptions(LogOptions{10, 0.0}));
    EXPECT_TRUE(ValidateLogOptions(LogOptions{10, 100.5}));
    EXPECT_TRUE(ValidateZoomOptions(0));
    EXPECT_FALSE(ValidateZoomOptions(1));
    EXPECT_TRUE(ValidateEggOptions(EggOptions{101, 0, 0, 0, 0, 0, 1.0, 1.0}));
    EXPECT_FALSE(ValidateEggOptions(EggOptions{100, 0, 0, 0, 0, 0, 0.0, 0.0}));
    EXPECT_TRUE(ValidateEggOptions(EggOptions{50, 0, 0, 0, 0, 0, -1.0, 1.0}));
    EXPECT_TRUE(CheckIntensityWholeNumber(1).empty());
    EXPECT_FALSE(CheckIntensityWholeNumber(0).empty());
    EXPECT_FALSE(CheckIntensityWholeNumber(32768).empty());
    EXPECT_EQ(IntegerRangePrompt(4, 20), "Please enter an integer between 4 and 20.");
    EXPECT_EQ(CheckCalibrationCoefficient(10000.0), "Please enter a number between -9999.99999999 and 9999.99999999.");
}

}  // namespace
}  // namespace vocomet
