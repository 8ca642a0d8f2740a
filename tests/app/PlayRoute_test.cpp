// The play commands without their widget: ranges, the road, starting the
// sound card on a document's samples (memory or data file), the cursor's x.

#include "app/PlayRoute.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "acquisition/CSoundOut.h"
#include "platform/ByteCodec.h"
#include "platform/FakeAudio.h"
#include "platform/File.h"
#include "support/DocumentFixture.h"

namespace vocomet {
namespace {

using platform::FakeAudioBackend;

TEST(PlayRange, ComesFromChannelZeroByMode) {
    CChannels ch;
    ch.sampleCount = 22050.9;
    ch.selStartSample = 10.7;
    ch.selEndSample = 17.2;
    ch.shownStart = 101.0;
    ch.shownEnd = 2050.0;
    const struct {
        PlayMode mode;
        bool lower;
        std::int64_t first, end;
    } cases[] = {
        {PlayMode::All, false, 0, 22050},      {PlayMode::Selection, false, 10, 17},
        {PlayMode::Selection, true, 8, 16},    {PlayMode::Window, false, 101, 2050},
        {PlayMode::Window, true, 100, 2048},
    };
    for (const auto& c : cases) {
        const PlayRange r = PlayRangeOf(ch, c.mode, c.lower);
        EXPECT_EQ(c.first, r.first) << static_cast<int>(c.mode) << c.lower;
        EXPECT_EQ(c.end, r.end) << static_cast<int>(c.mode) << c.lower;
    }
    ch.selStartSample = 30;
    ch.selEndSample = 20;
    EXPECT_EQ(0, PlayRangeOf(ch, PlayMode::Selection).Count());
}

TEST(PlayRoad, HardwareOnlyWhenPresentAndRouted) {
    const struct {
        int box, rendal, route;
        PlayRoad road;
    } cases[] = {
        {0, 0, 1, PlayRoad::SoundCard}, {1, 0, 1, PlayRoad::AudioBox}, {1, 0, 0, PlayRoad::SoundCard},
        {0, 1, 1, PlayRoad::Rendal},    {0, 1, 0, PlayRoad::SoundCard}, {1, 1, 1, PlayRoad::AudioBox},
    };
    for (const auto& c : cases) {
        AcquisitionState a;
        a.audioBoxPresent = c.box;
        a.rendalPresent = c.rendal;
        a.playRoute = c.route;
        EXPECT_EQ(c.road, ChoosePlayRoad(a)) << c.box << c.rendal << c.route;
    }
}

TEST(PlayCursor, StandsAtTheTimeInChannelZerosStrip) {
    CChannels ch;
    ch.strip = {50, 0, 450, 100};
    ch.shownStartTime = 1000.0;
    ch.shownSpan = 2000.0;  // 400 pixels for 2 s
    EXPECT_EQ(50, PlayCursorX(ch, 1000.0));
    EXPECT_EQ(250, PlayCursorX(ch, 2000.0));
    EXPECT_EQ(450, PlayCursorX(ch, 3000.0));
    EXPECT_EQ(-1, PlayCursorX(ch, 999.0));  // not shown
    EXPECT_EQ(-1, PlayCursorX(ch, 3001.0));
    ch.shownSpan = 0.0;
    EXPECT_EQ(-1, PlayCursorX(ch, 1000.0));
}

class PlayOnSoundCardTest : public test::DocumentTest {
protected:
    void SetUp() override {
        DocumentTest::SetUp();
        app.acquisition.audioBackend = backend;
    }
    std::shared_ptr<FakeAudioBackend> backend = std::make_shared<FakeAudioBackend>();
};

TEST_F(PlayOnSoundCardTest, MemoryChannelPlaysItsRangeMonoAtItsRate) {
    doc->SetChannelCount(2);
    CChannels& ch = doc->Channel(0);
    ch.rate = 22050.7;
    ch.sampleCount = 100;
    ch.samples = platform::FloatBlock::Allocate(100);
    for (int i = 0; i < 100; ++i)
        ch.samples[static_cast<std::size_t>(i)] = static_cast<float>(i) / 128.0f;
    ASSERT_TRUE(PlayOnSoundCard(*doc, {10, 20}, nullptr));
    ASSERT_TRUE(app.acquisition.soundOut);
    EXPECT_TRUE(app.acquisition.soundOut->IsPlaying());
    platform::FakeAudioStream* stream = backend->LastStream();
    EXPECT_EQ(22050, stream->Format().rate);
    EXPECT_EQ(1, stream->Format().channels);
    ASSERT_TRUE(stream->RunToEnd(10));
    std::vector<std::int16_t> expected;
    for (int i = 10; i < 20; ++i)
        expected.push_back(static_cast<std::int16_t>(i * 256));
    EXPECT_EQ(expected, stream->Rendered());
}

TEST_F(PlayOnSoundCardTest, FileBackedChannelPlaysItsOwnColumnOfTheDataFile) {
    // Three channels interleaved; channel 0 of the document is the file's
    // second column.
    const std::string path = PathIn("data.f32");
    std::string bytes(12 * 50, '\0');
    for (int i = 0; i < 50; ++i)
        for (int c = 0; c < 3; ++c)
            platform::PutF32LE(reinterpret_cast<std::uint8_t*>(bytes.data()) + 12 * i + 4 * c,
                               static_cast<float>((c + 1) * i) / 256.0f);
    test::WriteAll(path, bytes);
    doc->SetChannelCount(1);
    CChannels& ch = doc->Channel(0);
    ch.sourceFile = std::make_shared<platform::File>(path, platform::File::Mode::Read);
    ch.stride = 3;
    ch.channelNumber = 2;
    ch.rate = 11025;
    ch.sampleCount = 50;
    ASSERT_TRUE(ch.IsFileBacked());
    ASSERT_TRUE(PlayOnSoundCard(*doc, {40, 55}, nullptr));  // five frames past the end of the file
    ASSERT_TRUE(backend->LastStream()->RunToEnd(15));
    std::vector<std::int16_t> expected;
    for (int i = 40; i < 50; ++i)
        expected.push_back(static_cast<std::int16_t>(2 * i * 128));
    expected.resize(15, 0);
    EXPECT_EQ(expected, backend->LastStream()->Rendered());
}

TEST_F(PlayOnSoundCardTest, NothingToPlayLeavesTheCurrentOutputAlone) {
    doc->SetChannelCount(1);
    CChannels& ch = doc->Channel(0);
    ch.rate = 11025;
    ch.sampleCount = 100;  // neither samples nor a data file
    auto current = std::make_unique<CSoundOut>(backend);
    CSoundOut* before = current.get();
    app.acquisition.soundOut = std::move(current);
    EXPECT_FALSE(PlayOnSoundCard(*doc, {0, 100}, nullptr));
    EXPECT_EQ(before, app.acquisition.soundOut.get());
    EXPECT_EQ(0, backend->OpenCount());
    // A file-backed channel whose data file has no path plays nothing either.
    ch.sourceFile = std::make_shared<platform::File>();
    ch.stride = 1;
    ch.channelNumber = 1;
    EXPECT_FALSE(PlayOnSoundCard(*doc, {0, 100}, nullptr));
    EXPECT_EQ(before, app.acquisition.soundOut.get());
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(PlayOnSoundCardTest, WithoutASoundDeviceNothingReportsPlaying) {
    backend->outputPresent = false;
    doc->SetChannelCount(1);
    CChannels& ch = doc->Channel(0);
    ch.rate = 11025;
    ch.sampleCount = 10;
    ch.samples = platform::FloatBlock::Allocate(10);
    EXPECT_FALSE(PlayOnSoundCard(*doc, {0, 10}, nullptr));
    ASSERT_TRUE(app.acquisition.soundOut);
    EXPECT_FALSE(app.acquisition.soundOut->IsPlaying());
    EXPECT_EQ(kNoSoundOutputDevice, prompts.LastMessage());
}

}  // namespace
}  // namespace vocomet
