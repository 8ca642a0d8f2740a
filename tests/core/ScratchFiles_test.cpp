// Scratch files of the document side (scratch copies, intensity curves,
// recordings read from disk, the sixteen-channel system's raw recordings):
// each goes as soon as nothing needs it, and a session leaves the temp
// folder as it found it.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/RendalRecording.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"
#include "platform/ScratchRun.h"
#include "support/DocumentFixture.h"
#include "support/NativeFixtureWriter.h"

namespace fs = std::filesystem;
using namespace vocomet;

namespace {

// Writes frames of n float32 values (ramps) to file.
void WriteFloatFrames(platform::File& file, std::int64_t frames, int n) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(frames * n) * 4);
    for (std::size_t v = 0; v < bytes.size() / 4; ++v)
        platform::PutF32LE(bytes.data() + 4 * v, static_cast<float>(v % 200) / 200.0f - 0.5f);
    file.Write(bytes.data(), bytes.size());
}

// Writes frames of the sixteen-channel system (16 int16 words each).
void WriteRendalFrames(platform::File& file, std::int64_t frames) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(frames) * kRendalFrameBytes);
    for (std::size_t w = 0; w < bytes.size() / 2; ++w)
        platform::PutI16LE(bytes.data() + 2 * w, static_cast<std::int16_t>((w * 37) % 2000 - 1000));
    file.Write(bytes.data(), bytes.size());
}

class ScratchFilesTest : public test::DocumentTest {
protected:
    static constexpr double kRate = 100.0;  // a low rate keeps long recordings small

    void SetUp() override {
        DocumentTest::SetUp();
        app.acquisition.hardwareChannelCount = 3;
        for (int j = 0; j < 3; ++j)
            app.settings.channelSetup[static_cast<std::size_t>(j)].enabled = 1;
    }
    void TearDown() override { platform::EndScratchRun(); }

    // A raw recording of the sixteen-channel system of the given length,
    // loaded into document the way its record form's Save does.
    void RecordAndLoadRendal(COrielDoc& document, std::int64_t seconds) {
        ASSERT_TRUE(NewRendalRecordingFile(document));
        WriteRendalFrames(*document.rendalRecordingFile, seconds * static_cast<std::int64_t>(kRate));
        document.Channel(0).rate = kRate;
        ASSERT_EQ(document.LoadRendalRecording(*document.rendalRecordingFile, 5), 1);
        DiscardRendalRecording(document);
    }
};

TEST_F(ScratchFilesTest, ASessionClosedUnsavedLeavesTheTempFolderAsItFoundIt) {
    // The user's recording lies outside the temp folder's scratch names.
    fs::create_directories(PathIn("user"));
    const std::string userFile = PathIn("user/take.vcm");
    test::FixtureFile fixture;
    for (int c = 0; c < 2; ++c)
        fixture.channels.push_back(test::RampChannel("ch", kRate, 300 * static_cast<int>(kRate), 0.0f, 0.001f));
    test::WriteNativeFixture(userFile, fixture);
    const std::set<std::string> found = test::FolderListing(dir);
    ASSERT_TRUE(platform::BeginScratchRun(dir));

    // Open a recording long enough to be read from a scratch copy, with the
    // intensity of each channel.
    ASSERT_TRUE(doc->OnOpenDocument(userFile));
    ASSERT_TRUE(doc->Channel(0).IsFileBacked());
    for (int c = 0; c < doc->GetChannelCount(); ++c) {
        ASSERT_EQ(doc->Channel(c).ComputeIntensity(), 0);
        ASSERT_TRUE(fs::exists(doc->Channel(c).intensityFilePath));
    }

    // A sound-card recording of 180 s, which its document reads from disk.
    auto soundDoc = std::make_unique<COrielDoc>(app, prompts);
    {
        platform::File recording(soundDoc->MakeTempFileName(), platform::File::Mode::Create);
        WriteFloatFrames(recording, 180 * static_cast<std::int64_t>(kRate), 1);
        soundDoc->Channel(0).rate = kRate;
        ASSERT_EQ(soundDoc->LoadInterleavedRecording(recording, 1), 1);
    }
    ASSERT_TRUE(soundDoc->Channel(0).IsFileBacked());
    ASSERT_EQ(soundDoc->Channel(0).ComputeIntensity(), 0);

    // An audio-box recording, short: it goes into memory.
    auto boxDoc = std::make_unique<COrielDoc>(app, prompts);
    {
        platform::File recording(boxDoc->MakeTempFileName(), platform::File::Mode::Create);
        WriteFloatFrames(recording, 10 * static_cast<std::int64_t>(kRate), 2);
        boxDoc->Channel(0).rate = kRate;
        ASSERT_EQ(boxDoc->LoadInterleavedRecording(recording, 2), 1);
    }

    // Sixteen-channel recordings: one into memory, one through a scratch
    // file, then one still being made when the document closes.
    auto rendalDoc = std::make_unique<COrielDoc>(app, prompts);
    RecordAndLoadRendal(*rendalDoc, 10);
    RecordAndLoadRendal(*rendalDoc, kRendalScratchSeconds);
    ASSERT_TRUE(rendalDoc->Channel(0).IsFileBacked());
    ASSERT_TRUE(NewRendalRecordingFile(*rendalDoc));
    WriteRendalFrames(*rendalDoc->rendalRecordingFile, 100);

    // Every document closes unsaved, then the program ends.
    doc.reset();
    soundDoc.reset();
    boxDoc.reset();
    rendalDoc.reset();
    platform::WaitForBackgroundCloses();
    // Gone with their documents already, not only at the end.
    std::set<std::string> left = test::FolderListing(dir);
    std::erase_if(left, [](const std::string& n) { return n.rfind(platform::kScratchRunPrefix, 0) == 0; });
    EXPECT_EQ(left, found);
    platform::EndScratchRun();
    EXPECT_EQ(test::FolderListing(dir), found);
    EXPECT_TRUE(fs::exists(userFile));
}

TEST_F(ScratchFilesTest, AnIntensityFileGoesWithItsChannelOrItsNextCurveButNotWithACopy) {
    auto reader = std::make_shared<platform::File>(PathIn("data.f32"), platform::File::Mode::Create);
    WriteFloatFrames(*reader, 1000, 2);
    std::optional<CChannels> ch(std::in_place);
    ch->sourceFile = reader;
    ch->stride = 2;
    ch->channelNumber = 2;
    ch->rate = kRate;
    ch->sampleCount = 1000;
    ch->duration = 10000;
    ch->ComputeIntensity();
    const std::string curve = ch->intensityFilePath;
    ASSERT_EQ(curve, PathIn("data.f32_Int#2"));

    // A copy keeps its own (no) file and takes nothing with it.
    std::optional<CChannels> copy(*ch);
    copy.reset();
    EXPECT_TRUE(fs::exists(curve));

    // A new curve of the channel takes the old one's place under the same name.
    ch->intensityWindow = 50.0;
    ch->ComputeIntensity();
    EXPECT_TRUE(fs::exists(curve));
    EXPECT_EQ(ch->intensityValid, 1);

    // Over another data file, the curve beside the old one goes.
    auto moved = std::make_shared<platform::File>(PathIn("moved.f32"), platform::File::Mode::Create);
    WriteFloatFrames(*moved, 1000, 2);
    ch->CloseIntensityFile();
    ch->sourceFile = moved;
    ch->ComputeIntensity();
    platform::WaitForBackgroundCloses();
    EXPECT_FALSE(fs::exists(curve));
    const std::string movedCurve = ch->intensityFilePath;
    EXPECT_TRUE(fs::exists(movedCurve));

    ch.reset();
    platform::WaitForBackgroundCloses();
    EXPECT_FALSE(fs::exists(movedCurve));
    EXPECT_TRUE(fs::exists(PathIn("data.f32"))) << "the data file is not the channel's to remove";
}

TEST_F(ScratchFilesTest, ARawSixteenChannelRecordingStaysUntilItIsLoadedOrDiscarded) {
    ASSERT_TRUE(NewRendalRecordingFile(*doc));
    const std::string first = doc->rendalRecordingFile->GetFilePath();
    WriteRendalFrames(*doc->rendalRecordingFile, 100);
    // The worker that wrote it still holds it: the file stays until it lets go.
    std::shared_ptr<platform::File> worker = doc->rendalRecordingFile;

    // A new recording in the same document: the last one goes.
    ASSERT_TRUE(NewRendalRecordingFile(*doc));
    const std::string second = doc->rendalRecordingFile->GetFilePath();
    EXPECT_NE(second, first);
    EXPECT_TRUE(fs::exists(first));
    worker.reset();
    EXPECT_FALSE(fs::exists(first));
    EXPECT_TRUE(fs::exists(second));

    // A recording that fails to load is still there for another try.
    doc->Channel(0).rate = 0.0;
    EXPECT_EQ(doc->LoadRendalRecording(*doc->rendalRecordingFile, 5), 0);
    EXPECT_TRUE(fs::exists(second));

    DiscardRendalRecording(*doc);
    EXPECT_FALSE(fs::exists(second));
    EXPECT_TRUE(doc->rendalRecordingFile->GetFilePath().empty());
}

}  // namespace
