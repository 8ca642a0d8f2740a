#include "app/OptionCommands.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/OptionTables.h"
#include "core/ConfigurationFile.h"
#include "support/DocumentFixture.h"

namespace vocomet {
namespace {

// Option dialogs that answer what the test says: each value dialog returns
// its answer (nothing = Cancel); the table dialogs run an edit on the
// document.
class ScriptedOptionDialogs : public AnalysisOptionDialogs {
public:
    std::optional<FftLpcSettings> fft;
    std::optional<SpectrogramSettings> spectrogram;
    std::optional<PitchSettings> pitch;
    std::optional<double> zoom;
    std::optional<LogOptions> log;
    std::function<bool(COrielDoc&)> intensity;
    std::function<bool(COrielDoc&)> calibration;
    // What the dialogs were given.
    FftLpcSettings fftIn;
    PitchSettings pitchIn;
    double rateIn = 0.0;
    double zoomIn = 0.0;

    std::optional<FftLpcSettings> RunFftLpcOptions(const FftLpcSettings& v, double rate) override {
        fftIn = v;
        rateIn = rate;
        return fft;
    }
    std::optional<SpectrogramSettings> RunSpectrogramOptions(const SpectrogramSettings&, double rate) override {
        rateIn = rate;
        return spectrogram;
    }
    std::optional<PitchSettings> RunPitchOptions(const PitchSettings& v) override {
        pitchIn = v;
        return pitch;
    }
    std::optional<double> RunZoomOptions(double z) override {
        zoomIn = z;
        return zoom;
    }
    std::optional<LogOptions> RunLogOptions(const LogOptions&) override { return log; }
    bool RunIntensitySmoothOptions(COrielDoc& d) override { return intensity && intensity(d); }
    bool RunCalibrationOptions(COrielDoc& d) override { return calibration && calibration(d); }
    std::optional<EggOptions> RunEggOptions(const EggOptions&) override { return std::nullopt; }
    std::optional<int> RunEggChannelAssign(const std::vector<std::string>&, int) override { return std::nullopt; }
};

// Expected bytes, written out by hand (little-endian) rather than through
// the code under test.
struct Expected {
    std::string bytes;
    void Int(std::size_t off, std::int32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes[off + i] = static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
    }
    void Double(std::size_t off, double v) {
        std::uint64_t u;
        std::memcpy(&u, &v, 8);
        for (int i = 0; i < 8; ++i)
            bytes[off + i] = static_cast<char>((u >> (8 * i)) & 0xFF);
    }
    void Text(std::size_t off, std::size_t size, const std::string& t) {
        for (std::size_t i = 0; i < size; ++i)
            bytes[off + i] = i < t.size() && i + 1 < size ? t[i] : '\0';
    }
};

// A full settings file whose every byte after the signature is a
// position-dependent pattern.
std::string PatternFile() {
    std::string b(2976, '\0');
    for (std::size_t i = 16; i < b.size(); ++i)
        b[i] = static_cast<char>(0xA5 ^ (i * 31));
    std::memcpy(b.data(), "2005", 4);
    return b;
}

void ReportDifferences(const std::string& want, const std::string& got) {
    ASSERT_EQ(want.size(), got.size());
    int shown = 0;
    for (std::size_t i = 0; i < want.size(); ++i)
        if (want[i] != got[i] && shown++ < 8)
            ADD_FAILURE() << "byte " << i << ": expected " << int(std::uint8_t(want[i])) << ", file has "
                          << int(std::uint8_t(got[i]));
}

class OptionCommandsTest : public test::DocumentTest {
protected:
    void SetUp() override {
        test::DocumentTest::SetUp();
        path = app.ConfigurationFilePath();
        doc->SetChannelCount(3);
        doc->settings.sampleRate = 11025.0;
    }
    std::string path;
    ScriptedOptionDialogs dialogs;
};

// One case per command: the document/dialog set-up, the command, and the
// bytes it must leave.
struct CommandCase {
    const char* name;
    std::function<void(COrielDoc&, ScriptedOptionDialogs&)> arrange;
    std::function<bool(COrielDoc&, ScriptedOptionDialogs&, const std::string&)> run;
    std::function<void(Expected&)> expect;
};

std::vector<CommandCase> Cases() {
    std::vector<CommandCase> cases;
    cases.push_back({"display",
                     [](COrielDoc& d, ScriptedOptionDialogs&) {
                         DisplaySettings& s = d.settings.display;
                         s.pictureWidth = 7.5;
                         s.pictureHeight = 3.25;
                         s.mouseReadout = 0;
                         s.fourth = 1;
                         s.fifth = 250;
                         s.sixth = 0;
                         s.first = 0;
                     },
                     [](COrielDoc& d, ScriptedOptionDialogs&, const std::string& p) {
                         return StoreDisplayOptionsToConfig(p, d.settings);
                     },
                     [](Expected& e) {
                         e.Double(1056, 7.5);
                         e.Double(1064, 3.25);
                         e.Int(1072, 0);
                         e.Int(1076, 1);
                         e.Int(1080, 250);
                         e.Int(1084, 0);
                         e.Int(1088, 0);
                     }});
    cases.push_back({"fft/lpc",
                     [](COrielDoc&, ScriptedOptionDialogs& s) {
                         FftLpcSettings v;
                         v.values = {4, 512, 46, 12, 4000, 0, 70, 0, 0, 1, 500, 0, 10, 13, 0, 999};
                         v.pictureWidth = 5.5;
                         v.pictureHeight = 2.5;
                         s.fft = v;
                     },
                     [](COrielDoc& d, ScriptedOptionDialogs& s, const std::string& p) {
                         return FftLpcOptionsCommand(d, s, p);
                     },
                     [](Expected& e) {
                         const std::int32_t a[8] = {4, 512, 46, 12, 4000, 0, 70, 0};
                         for (int i = 0; i < 8; ++i)
                             e.Int(1096 + 4 * i, a[i]);
                         e.Double(1128, 5.5);
                         e.Double(1136, 2.5);
                         const std::int32_t b[7] = {0, 1, 500, 0, 10, 12, 0};  // LPC 13 stored as 12
                         for (int i = 0; i < 7; ++i)
                             e.Int(1144 + 4 * i, b[i]);
                     }});
    cases.push_back({"spectrogram",
                     [](COrielDoc&, ScriptedOptionDialogs& s) {
                         SpectrogramSettings v;
                         v.values = {256, 3, 4000, 60, 1, 16, 0, 1, 1, 1, 0, 2000, 1, 0};
                         v.preEmphasis = 0.5;
                         v.pictureWidth = 3.0;
                         v.pictureHeight = 2.0;
                         s.spectrogram = v;
                     },
                     [](COrielDoc& d, ScriptedOptionDialogs& s, const std::string& p) {
                         return SpectrogramOptionsCommand(d, s, p);
                     },
                     [](Expected& e) {
                         e.Int(1496, 256);
                         e.Int(1500, 3);
                         e.Int(1504, 4000);
                         e.Int(1508, 60);
                         e.Double(1512, 0.5);
                         e.Int(1520, 1);
                         e.Int(1524, 16);
                         e.Int(1528, 0);
                         e.Double(1536, 3.0);
                         e.Double(1544, 2.0);
                         e.Int(1552, 1);
                         // 1556 and 1560 (show intensity, show labels) stay as read.
                         e.Int(1564, 0);
                         e.Int(1568, 2000);
                         e.Int(1572, 1);
                         e.Int(1576, 0);
                     }});
    cases.push_back({"pitch",
                     [](COrielDoc& d, ScriptedOptionDialogs& s) {
                         d.settings.pitch.doubles = {40.9, 12.2, 400.7, 60.1, 2.0, 80.0, 7.5, 9.5};
                         PitchSettings v = d.settings.pitch;
                         v.doubles = {40.0, 12.0, 400.0, 60.0, 2.0, 80.0, 7.5, 9.5};
                         v.ints = {450, 70, 0, 25, 1, 0, 1, 0, 1, 0, 1, 0};
                         v.pictureWidth = 9.0;
                         v.pictureHeight = 8.0;
                         s.pitch = v;
                     },
                     [](COrielDoc& d, ScriptedOptionDialogs& s, const std::string& p) {
                         return PitchOptionsCommand(d, s, p);
                     },
                     [](Expected& e) {
                         const double a[4] = {40.0, 12.0, 400.0, 60.0};
                         for (int i = 0; i < 4; ++i)
                             e.Double(1584 + 8 * i, a[i]);
                         const std::int32_t n[7] = {450, 70, 0, 25, 1, 0, 1};
                         for (int i = 0; i < 7; ++i)
                             e.Int(1616 + 4 * i, n[i]);
                         const double b[4] = {2.0, 80.0, 7.5, 9.5};
                         for (int i = 0; i < 4; ++i)
                             e.Double(1648 + 8 * i, b[i]);
                         e.Double(1680, 9.0);
                         e.Double(1688, 8.0);
                         const std::int32_t m[5] = {0, 1, 0, 1, 0};
                         for (int i = 0; i < 5; ++i)
                             e.Int(1696 + 4 * i, m[i]);
                     }});
    cases.push_back({"zoom",
                     [](COrielDoc&, ScriptedOptionDialogs& s) { s.zoom = 1234.0; },
                     [](COrielDoc& d, ScriptedOptionDialogs& s, const std::string& p) {
                         return ZoomOptionsCommand(d, s, p);
                     },
                     [](Expected& e) { e.Int(1092, 1234); }});
    cases.push_back({"log",
                     [](COrielDoc&, ScriptedOptionDialogs& s) { s.log = LogOptions{25, 2.5}; },
                     [](COrielDoc& d, ScriptedOptionDialogs& s, const std::string& p) {
                         return LogOptionsCommand(d, s, p);
                     },
                     [](Expected& e) {
                         e.Int(1172, 25);
                         e.Double(2760, 2.5);
                     }});
    cases.push_back({"intensity/smooth",
                     [](COrielDoc&, ScriptedOptionDialogs& s) {
                         // Every slot's settings, though the document has 3
                         // channels: the first sixteen reach the file.
                         s.intensity = [](COrielDoc& d) {
                             for (int i = 0; i < kDocumentSlots; ++i) {
                                 CChannels& c = d.Channel(i);
                                 c.intensityWindow = 20.0 + i + 0.75;
                                 c.intensityStep = 5.0 + i;
                                 c.relativeIntensity = i % 2;
                                 c.smoothingOn = (i + 1) % 2;
                                 c.smoothingPoints = 3.0 + 2 * i;
                             }
                             return true;
                         };
                     },
                     [](COrielDoc& d, ScriptedOptionDialogs& s, const std::string& p) {
                         return IntensitySmoothOptionsCommand(d, s, p);
                     },
                     [](Expected& e) {
                         for (int i = 0; i < 16; ++i) {
                             e.Int(1176 + 4 * i, 20 + i);
                             e.Int(1240 + 4 * i, 5 + i);
                             e.Int(1304 + 4 * i, i % 2);
                             e.Int(1368 + 4 * i, (i + 1) % 2);
                             e.Int(1432 + 4 * i, 3 + 2 * i);
                         }
                     }});
    cases.push_back({"calibration",
                     [](COrielDoc& d, ScriptedOptionDialogs&) {
                         for (int i = 0; i < kDocumentSlots; ++i) {
                             CChannels& c = d.Channel(i);
                             c.calA = 0.5 * i;
                             c.calB = -1.0 * i;
                             c.calC = 2.0 + i;
                             c.calD = 0.25;
                             c.unit = "u" + std::to_string(i);
                         }
                         d.Channel(1).unit = std::string(40, 'k');
                     },
                     [](COrielDoc& d, ScriptedOptionDialogs&, const std::string& p) {
                         return SaveCalibrationToConfig(p, d);
                     },
                     [](Expected& e) {
                         for (int i = 0; i < 16; ++i) {
                             e.Double(1736 + 8 * i, 0.5 * i);
                             e.Double(1864 + 8 * i, -1.0 * i);
                             e.Double(1992 + 8 * i, 2.0 + i);
                             e.Double(2120 + 8 * i, 0.25);
                             e.Text(2248 + 32 * i, 32, i == 1 ? std::string(31, 'k') : "u" + std::to_string(i));
                         }
                     }});
    return cases;
}

TEST_F(OptionCommandsTest, EachCommandRewritesOnlyItsFieldsWithTheirExactBytes) {
    for (const CommandCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        test::WriteAll(path, PatternFile());
        c.arrange(*doc, dialogs);
        EXPECT_TRUE(c.run(*doc, dialogs, path));
        Expected e{PatternFile()};
        c.expect(e);
        ReportDifferences(e.bytes, test::ReadAll(path));
    }
}

TEST_F(OptionCommandsTest, ForeignShortOrMissingFileIsNotWrittenButTheDocumentTakesTheValues) {
    std::string foreign = PatternFile();
    std::memcpy(foreign.data(), "2004", 4);
    const std::string shortFile = PatternFile().substr(0, 2975);
    for (const CommandCase& c : Cases()) {
        for (const std::string* file : std::vector<const std::string*>{&foreign, &shortFile, nullptr}) {
            SCOPED_TRACE(std::string(c.name) + (file == &foreign ? " foreign" : file ? " short" : " missing"));
            std::filesystem::remove(path);
            if (file)
                test::WriteAll(path, *file);
            c.arrange(*doc, dialogs);
            // The commands still end as confirmed; only the file is spared.
            c.run(*doc, dialogs, path);
            if (file)
                EXPECT_EQ(test::ReadAll(path), *file);
            else
                EXPECT_FALSE(std::filesystem::exists(path));
        }
    }
    // The last FFT/LPC run still reached the document.
    EXPECT_EQ(doc->settings.fftLpc.values[FftLpcSettings::kLpcOrder], 12);
    EXPECT_EQ(doc->settings.fftLpc.values[2], 46);
}

TEST_F(OptionCommandsTest, CancelChangesNeitherTheDocumentNorTheFile) {
    test::WriteAll(path, PatternFile());
    const DocumentSettings before = doc->settings;
    EXPECT_FALSE(FftLpcOptionsCommand(*doc, dialogs, path));
    EXPECT_FALSE(SpectrogramOptionsCommand(*doc, dialogs, path));
    EXPECT_FALSE(PitchOptionsCommand(*doc, dialogs, path));
    EXPECT_FALSE(ZoomOptionsCommand(*doc, dialogs, path));
    EXPECT_FALSE(LogOptionsCommand(*doc, dialogs, path));
    EXPECT_FALSE(IntensitySmoothOptionsCommand(*doc, dialogs, path));
    EXPECT_FALSE(CalibrationOptionsCommand(*doc, dialogs));
    EXPECT_EQ(test::ReadAll(path), PatternFile());
    EXPECT_EQ(doc->settings.fftLpc.values, before.fftLpc.values);
    EXPECT_EQ(doc->settings.pitch.doubles, before.pitch.doubles);
    EXPECT_EQ(doc->settings.zoomDuration, before.zoomDuration);
}

TEST_F(OptionCommandsTest, DialogsGetTheRateAndWholeNumbersAndTheDocumentKeepsTheLogStep) {
    test::WriteAll(path, PatternFile());
    doc->settings.sampleRate = 44100.0;
    doc->settings.zoomDuration = 777.9;
    doc->settings.fftLpc.values[FftLpcSettings::kLogOption] = 33;
    doc->settings.pitch.doubles[0] = 35.9;
    FftLpcSettings v = doc->settings.fftLpc;
    v.values[FftLpcSettings::kLogOption] = 1;  // not the dialog's to change
    dialogs.fft = v;
    dialogs.zoom = 500.0;
    dialogs.pitch = PitchSettings{};
    FftLpcOptionsCommand(*doc, dialogs, path);
    EXPECT_EQ(dialogs.rateIn, 44100.0);
    EXPECT_EQ(doc->settings.fftLpc.values[FftLpcSettings::kLogOption], 33);
    ZoomOptionsCommand(*doc, dialogs, path);
    EXPECT_EQ(dialogs.zoomIn, 777.0);
    EXPECT_EQ(doc->settings.zoomDuration, 500.0);
    PitchOptionsCommand(*doc, dialogs, path);
    EXPECT_EQ(dialogs.pitchIn.doubles[0], 35.0);
}

TEST_F(OptionCommandsTest, TheSpectrogramFieldsItDoesNotWriteKeepAnyValue) {
    std::string file = PatternFile();
    const std::string at1556 = file.substr(1556, 8);
    test::WriteAll(path, file);
    SpectrogramSettings v = doc->settings.spectrogram;
    v.values[8] = 1;  // show intensity
    v.values[9] = 1;  // show labels
    dialogs.spectrogram = v;
    ASSERT_TRUE(SpectrogramOptionsCommand(*doc, dialogs, path));
    EXPECT_EQ(test::ReadAll(path).substr(1556, 8), at1556);
    EXPECT_EQ(doc->settings.spectrogram.values[8], 1);
    EXPECT_EQ(doc->settings.spectrogram.values[9], 1);
}

}  // namespace
}  // namespace vocomet
