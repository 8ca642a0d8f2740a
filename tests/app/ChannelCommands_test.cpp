#include "app/ChannelCommands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/EditSession.h"
#include "core/ConfigurationBlock.h"
#include "support/DocumentFixture.h"

namespace vocomet {
namespace {

class EggDialogs : public AnalysisOptionDialogs {
public:
    std::optional<EggOptions> egg;
    std::optional<int> channel;
    std::optional<FftLpcSettings> RunFftLpcOptions(const FftLpcSettings&, double) override { return {}; }
    std::optional<SpectrogramSettings> RunSpectrogramOptions(const SpectrogramSettings&, double) override {
        return {};
    }
    std::optional<PitchSettings> RunPitchOptions(const PitchSettings&) override { return {}; }
    std::optional<double> RunZoomOptions(double) override { return {}; }
    std::optional<LogOptions> RunLogOptions(const LogOptions&) override { return {}; }
    bool RunIntensitySmoothOptions(COrielDoc&) override { return false; }
    bool RunCalibrationOptions(COrielDoc&) override { return false; }
    std::optional<EggOptions> RunEggOptions(const EggOptions&) override { return egg; }
    std::optional<int> RunEggChannelAssign(const std::vector<std::string>&, int) override { return channel; }
};

std::string PatternFile() {
    std::string b(2976, '\0');
    for (std::size_t i = 16; i < b.size(); ++i)
        b[i] = static_cast<char>(0xA5 ^ (i * 31));
    std::memcpy(b.data(), "2005", 4);
    return b;
}

void PutI32(std::string& b, std::size_t at, std::int32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
}

// What the progress windows of a command were told, and a cancel at a
// given poll.
struct ProgressLog {
    std::vector<std::string> texts;
    std::vector<double> fractions;
    int polls = 0;
    int abortAt = 0;  // 0: never
    int windows = 0;
};

class LoggedProgress : public platform::Progress {
public:
    explicit LoggedProgress(ProgressLog& log) : m_log(log) { ++m_log.windows; }
    void SetText(const std::string& text) override { m_log.texts.push_back(text); }
    void SetFraction(double f) override { m_log.fractions.push_back(f); }
    bool AbortRequested() override { return ++m_log.polls == m_log.abortAt; }

private:
    ProgressLog& m_log;
};

std::string Bytes(const platform::FloatBlock& block) {
    return std::string(reinterpret_cast<const char*>(block.data()), block.size() * sizeof(float));
}

class ChannelCommandsTest : public test::DocumentTest {
protected:
    // n channels of their own lengths at 1000 Hz, channel c's sample k =
    // 100 c + k + 1.
    void Fill(const std::vector<int>& counts) {
        auto rec = doc->NewStagingRecording();
        rec->channelCount = static_cast<int>(counts.size());
        rec->fileTypeCode = kFileTypeNativeFloat24;
        for (std::size_t c = 0; c < counts.size(); ++c) {
            CChannels& ch = rec->channels[c];
            ch.rate = 1000.0;
            ch.sampleCount = counts[c];
            ch.duration = counts[c];
            ch.name = "ch" + std::to_string(c);
            ch.samples = platform::FloatBlock::Allocate(static_cast<std::size_t>(counts[c]));
            for (int k = 0; k < counts[c]; ++k)
                ch.samples[static_cast<std::size_t>(k)] = static_cast<float>(100 * c + k + 1);
        }
        doc->AdoptRecording(std::move(rec));
        doc->dataLoaded = 1;
    }
    void Select(double from, double to) {
        for (int c = 0; c < doc->GetChannelCount(); ++c) {
            CChannels& ch = doc->Channel(c);
            ch.selStartSample = ch.selStartTime = from;
            ch.selEndSample = ch.selEndTime = to;
        }
    }
    std::vector<std::vector<float>> All() const {
        std::vector<std::vector<float>> v;
        for (int c = 0; c < doc->GetChannelCount(); ++c) {
            const CChannels& ch = doc->Channel(c);
            v.emplace_back(ch.samples.data(), ch.samples.data() + ch.ReadableCount());
        }
        return v;
    }
    SaveAsFunction NoSave() {
        return [this] {
            ++saveAsCalls;
            return false;
        };
    }
    EditSession edits;
    int saveAsCalls = 0;
};

TEST_F(ChannelCommandsTest, ClearToReferenceKeepsToEachChannelsOwnRange) {
    struct Case {
        const char* what;
        double from, to;
        std::vector<int> cleared0, cleared1;  // [first, end) per channel
    } cases[] = {
        {"empty selection", 3, 3, {0, 0}, {0, 0}},
        {"half-open end", 2, 5, {2, 5}, {2, 5}},
        {"end past the shorter channel", 4, 9, {4, 9}, {4, 6}},
        {"start past the shorter channel", 7, 9, {7, 9}, {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fill({10, 6});
        doc->Channel(0).reference = -1.5;
        doc->Channel(1).reference = 7.0;
        const auto before = All();
        Select(c.from, c.to);
        ASSERT_TRUE(ClearToReference(*doc, edits));
        const auto after = All();
        for (int ch = 0; ch < 2; ++ch) {
            const std::vector<int>& r = ch == 0 ? c.cleared0 : c.cleared1;
            for (std::size_t k = 0; k < after[ch].size(); ++k) {
                const bool in = static_cast<int>(k) >= r[0] && static_cast<int>(k) < r[1];
                EXPECT_EQ(after[ch][k], in ? static_cast<float>(doc->Channel(ch).reference) : before[ch][k])
                    << "channel " << ch << " sample " << k;
            }
        }
    }
}

TEST_F(ChannelCommandsTest, UndoAfterEachDataReplacingCommandRestoresTheSamples) {
    struct Case {
        const char* what;
        std::function<bool()> run;
    } cases[] = {
        {"average all", [this] { return AverageChannels(*doc, edits, -1, NoSave()); }},
        {"average one", [this] { return AverageChannels(*doc, edits, 1, NoSave()); }},
        {"smooth", [this] { return SmoothChannels(*doc, edits, NoSave()); }},
        {"clear to reference", [this] { return ClearToReference(*doc, edits); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fill({40, 30});
        for (int ch = 0; ch < 2; ++ch) {
            doc->Channel(ch).smoothingOn = 1;
            doc->Channel(ch).smoothingPoints = 5;
            doc->Channel(ch).reference = 0.25;
        }
        Select(5, 20);
        const auto before = All();
        prompts.answers = {platform::Answer::No};
        ASSERT_TRUE(c.run());
        EXPECT_NE(All(), before);
        EXPECT_TRUE(doc->IsModified());
        ASSERT_TRUE(edits.RestoreUndoFile(*doc, prompts));
        EXPECT_EQ(All(), before);
    }
}

TEST_F(ChannelCommandsTest, CancelOrAFailedSaveAsAtTheQuestionChangesNothing) {
    struct Case {
        const char* what;
        platform::Answer answer;
        int saveAsCalls;
    } cases[] = {
        {"cancel", platform::Answer::Cancel, 0},
        {"save as cancelled", platform::Answer::Yes, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Fill({40, 30});
        Select(5, 20);
        doc->SetModifiedFlag(false);
        saveAsCalls = 0;
        const auto before = All();
        prompts.messages.clear();
        prompts.answers = {c.answer};
        EXPECT_FALSE(AverageChannels(*doc, edits, -1, NoSave()));
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.messages[0].text, kReplaceDataQuestion);
        EXPECT_EQ(saveAsCalls, c.saveAsCalls);
        EXPECT_EQ(All(), before);
        EXPECT_FALSE(doc->IsModified());
        EXPECT_FALSE(edits.UndoAvailable());
        EXPECT_TRUE(edits.UndoPath().empty() || !std::filesystem::exists(edits.UndoPath()));
    }
}

TEST_F(ChannelCommandsTest, SetReferenceAllSkipsTheAudioChannelAndZeroClearsIt) {
    Fill({10, 10, 10});
    for (int c = 0; c < 3; ++c) {
        doc->Channel(c).markerTime = 4.0;
        doc->Channel(c).reference = 0.5;
    }
    doc->Channel(1).audioFlag = 1;
    SetReferenceAll(*doc);
    EXPECT_EQ(doc->Channel(0).reference, 5.0);
    EXPECT_EQ(doc->Channel(1).reference, 0.5);
    EXPECT_EQ(doc->Channel(2).reference, 205.0);
    EXPECT_TRUE(doc->IsModified());
    SetReferenceAllToZero(*doc);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(doc->Channel(c).reference, 0.0);
}

TEST_F(ChannelCommandsTest, FileBackedSamplesAreRefusedBeforeTheUndoCopy) {
    Fill({10});
    CChannels& ch = doc->Channel(0);
    ch.samples = platform::FloatBlock();
    ch.sourceFile = std::make_shared<platform::File>();
    ASSERT_TRUE(ch.IsFileBacked());
    Select(2, 5);
    prompts.messages.clear();
    EXPECT_FALSE(ClearToReference(*doc, edits));
    EXPECT_FALSE(AverageChannels(*doc, edits, -1, NoSave()));
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].text, kFileBackedRefused);
    EXPECT_FALSE(edits.UndoAvailable());
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(ChannelCommandsTest, EggAnalysisAllMarksPeaksOnASyntheticEggChannel) {
    // One second of a 100 Hz wave at 10 kHz on both channels.
    auto rec = doc->NewStagingRecording();
    rec->channelCount = 2;
    rec->fileTypeCode = kFileTypeNativeFloat24;
    for (int c = 0; c < 2; ++c) {
        CChannels& ch = rec->channels[static_cast<std::size_t>(c)];
        ch.rate = 10000.0;
        ch.sampleCount = 10000;
        ch.duration = 1000.0;
        ch.samples = platform::FloatBlock::Allocate(10000);
        for (int k = 0; k < 10000; ++k)
            ch.samples[static_cast<std::size_t>(k)] =
                static_cast<float>(1000.0 * std::sin(2.0 * M_PI * 100.0 * k / 10000.0));
    }
    doc->AdoptRecording(std::move(rec));
    doc->dataLoaded = 1;
    doc->settings.egg.channel = 5;  // not a channel of this document
    EXPECT_EQ(ValidEggChannel(*doc), -1);
    EXPECT_FALSE(EggAnalysis(*doc, false));
    doc->settings.egg.channel = 1;
    CChannels& egg = doc->Channel(1);
    ASSERT_TRUE(EggAnalysis(*doc, false));
    EXPECT_EQ(egg.drawPeaks, 1);
    EXPECT_EQ(egg.drawValleys, 1);
    EXPECT_EQ(egg.drawThresholdMarks, 1);
    EXPECT_TRUE(egg.cyclesValid);
    EXPECT_NEAR(egg.cycles.GetSize(), 99, 1);
    EXPECT_EQ(doc->Channel(0).drawPeaks, 0);
}

TEST_F(ChannelCommandsTest, EggOptionsPatchExactlyTheirFieldsOfAValidSettingsFile) {
    Fill({10, 10});
    doc->settings.egg.channel = 1;
    const std::string path = app.ConfigurationFilePath();
    EggDialogs dialogs;
    dialogs.egg = EggOptions{40, 1, 0, 1, 1, 0, 2.75, 0.5};
    test::WriteAll(path, PatternFile());
    ASSERT_TRUE(EggOptionsCommand(*doc, dialogs, path));
    EXPECT_EQ(doc->Channel(1).velocitySmoothing, 0.5);  // stays 0.5, stored as 0
    std::string want = PatternFile();
    const std::int32_t fields[] = {40, 0, 2, 0, 0, 1, 1, 1};
    for (int i = 0; i < 8; ++i)
        PutI32(want, 2840 + 4 * i, fields[i]);
    EXPECT_EQ(test::ReadAll(path), want);

    dialogs.channel = 0;
    ASSERT_TRUE(EggSetChannelCommand(*doc, dialogs, path));
    EXPECT_EQ(doc->settings.egg.channel, 0);
    PutI32(want, 2836, 0);
    EXPECT_EQ(test::ReadAll(path), want);

    // A foreign signature or a short file stays byte-identical.
    std::string foreign = PatternFile();
    foreign[0] = '1';
    for (const std::string& file : {foreign, PatternFile().substr(0, 2000)}) {
        test::WriteAll(path, file);
        EXPECT_TRUE(EggOptionsCommand(*doc, dialogs, path));
        EXPECT_TRUE(EggSetChannelCommand(*doc, dialogs, path));
        EXPECT_EQ(test::ReadAll(path), file);
    }
}

// Three channels of 150000 samples: three polls of the progress each.
class LongChannelCommandsTest : public ChannelCommandsTest {
protected:
    void SetUp() override {
        ChannelCommandsTest::SetUp();
        Fill({150000, 150000, 150000});
        Select(1000, 149000);
        for (int c = 0; c < 3; ++c) {
            doc->Channel(c).smoothingOn = 1;
            doc->Channel(c).smoothingPoints = 7;
        }
        doc->SetProgressFactory([this] { return std::make_unique<LoggedProgress>(log); });
    }
    struct Command {
        const char* what;
        const char* text;
        bool replacesData;
        std::function<bool()> run;
    };
    std::vector<Command> Commands() {
        return {
            {"average all", kAveragingProgressText, true,
             [this] { return AverageChannels(*doc, edits, -1, NoSave()); }},
            {"average one", kAveragingProgressText, true,
             [this] { return AverageChannels(*doc, edits, 1, NoSave()); }},
            {"smooth", kSmoothProgressText, true, [this] { return SmoothChannels(*doc, edits, NoSave()); }},
            {"intensity", kIntensityProgressText, false, [this] { return ComputeIntensities(*doc); }},
        };
    }
    ProgressLog log;
};

TEST_F(LongChannelCommandsTest, ACancelMidwayLeavesEveryChannelAsItWas) {
    for (const Command& c : Commands()) {
        SCOPED_TRACE(c.what);
        SetUp();
        // Curves there before, drawn off, which a new run would change.
        ASSERT_TRUE(ComputeIntensities(*doc));
        std::vector<std::string> samples, curves;
        for (int ch = 0; ch < 3; ++ch) {
            doc->Channel(ch).drawIntensity = 0;
            doc->Channel(ch).reference = 3.0;
            samples.push_back(Bytes(doc->Channel(ch).samples));
            curves.push_back(Bytes(doc->Channel(ch).intensity));
        }
        doc->SetModifiedFlag(false);
        prompts.messages.clear();
        prompts.answers = {platform::Answer::No};
        log = ProgressLog{};
        // Midway through the second channel, or through the one channel.
        log.abortAt = std::string(c.what) == "average one" ? 2 : 5;

        EXPECT_FALSE(c.run());
        EXPECT_EQ(log.polls, log.abortAt);
        for (int ch = 0; ch < 3; ++ch) {
            EXPECT_EQ(Bytes(doc->Channel(ch).samples), samples[ch]) << "channel " << ch;
            EXPECT_EQ(Bytes(doc->Channel(ch).intensity), curves[ch]) << "channel " << ch;
            EXPECT_EQ(doc->Channel(ch).intensityValid, 1);
            EXPECT_EQ(doc->Channel(ch).drawIntensity, 0);
        }
        EXPECT_FALSE(doc->IsModified());
        EXPECT_FALSE(edits.UndoAvailable());
        // Only the question before data is replaced; the cancel says nothing.
        ASSERT_EQ(prompts.messages.size(), c.replacesData ? 1u : 0u);
    }
}

TEST_F(LongChannelCommandsTest, ProgressReachesTheEndAndResultsEqualTheChannelOperations) {
    for (const Command& c : Commands()) {
        SCOPED_TRACE(c.what);
        SetUp();
        for (int ch = 0; ch < 3; ++ch)
            doc->Channel(ch).reference = 2.0 * ch;
        // What each channel gives on its own.
        std::vector<CChannels> expected;
        for (int ch = 0; ch < 3; ++ch) {
            CChannels one = doc->Channel(ch);
            const std::string what = c.what;
            if (what == "average all" || (what == "average one" && ch == 1))
                one.AverageSamples(one.selStartTime, one.selEndTime);
            else if (what == "smooth")
                one.SmoothSamples();
            else if (what == "intensity")
                one.ComputeIntensity();
            expected.push_back(std::move(one));
        }
        prompts.answers = {platform::Answer::No};
        log = ProgressLog{};
        ASSERT_TRUE(c.run());
        EXPECT_EQ(log.windows, 1);
        EXPECT_EQ(log.texts, std::vector<std::string>{c.text});
        ASSERT_FALSE(log.fractions.empty());
        EXPECT_TRUE(std::is_sorted(log.fractions.begin(), log.fractions.end()));
        EXPECT_EQ(log.fractions.back(), 1.0);
        for (int ch = 0; ch < 3; ++ch) {
            const CChannels& got = doc->Channel(ch);
            EXPECT_EQ(Bytes(got.samples), Bytes(expected[ch].samples)) << "channel " << ch;
            EXPECT_EQ(Bytes(got.intensity), Bytes(expected[ch].intensity)) << "channel " << ch;
            EXPECT_EQ(got.intensityValid, expected[ch].intensityValid);
        }
        EXPECT_EQ(doc->IsModified(), c.replacesData);
    }
}

}  // namespace
}  // namespace vocomet
