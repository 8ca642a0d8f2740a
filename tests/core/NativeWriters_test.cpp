#include "core/NativeWriters.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/NativeFormat.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"
#include "support/DocumentFixture.h"
#include "support/NativeFixtureWriter.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

namespace fs = std::filesystem;
using test::FixtureChannel;
using test::FixtureFile;
using test::FixtureLabel;
using test::FixtureLayout;

FixtureLabel Label(double time, const std::string& text) {
    FixtureLabel l;
    l.time = time;
    l.relativeHeight = 0.375;
    l.anchoring = 2;
    l.markerLine = 1;
    l.rect = {60, 12, 110, 30};
    l.red = 0x10;
    l.green = 0x20;
    l.blue = 0xF0;
    l.fontInts = {-15, 3, 0, 0, 700};
    l.fontBytes = {1, 0, 1, 0, 0, 0, 0, 0};
    l.faceName = "Courier New";
    l.text = text;
    return l;
}

// Three channels with everything a native file keeps set to values that
// survive a load unchanged, so a save gives the same bytes back.
FixtureFile ThreeChannels(FixtureLayout layout, int count = 300, double rate = 22050.0) {
    FixtureFile f;
    f.layout = layout;
    FixtureChannel egg = test::RampChannel("EGG", rate, count, -0.5f, 0.001f);
    egg.calA = 0.5;
    egg.calB = -1.25;
    egg.calC = 2.0;
    egg.calD = 3.5;
    egg.reference = 0.125;
    egg.unit = "mV";
    egg.gain = 7;
    egg.filterRate = 4000;
    egg.scaleMode = 2;
    egg.stripHeight = 140;
    egg.timeReference = 1;
    egg.drawReference = 0;
    egg.reserved = {7, 8, 9};
    egg.bits = 24;
    egg.labels = {Label(3.0, "open"), Label(9.5, "closed \xE9")};
    FixtureChannel audio = test::RampChannel("Audio", rate, count, 0.25f, -0.0005f);
    audio.audioFlag = 1;
    audio.gain = 5;
    audio.unit = "Pa";
    audio.labels = {Label(1.0, "a")};
    FixtureChannel flow = test::RampChannel("Flow", rate, count, 0.0f, 0.002f);
    flow.unit = "l/s";
    f.channels = {egg, audio, flow};
    return f;
}

int CodeOf(FixtureLayout l) {
    switch (l) {
    case FixtureLayout::Usb2Float: return kFileTypeUsb2Float;
    case FixtureLayout::KovPcFloat24: return kFileTypeNativeFloat24;
    default: return kFileTypeNativeByChannel;
    }
}

constexpr FixtureLayout kWritten[] = {FixtureLayout::KovPcFloat24, FixtureLayout::Usb2Float, FixtureLayout::KovPcFloat};

class NativeWritersTest : public test::DocumentTest {
protected:
    std::string Load(const FixtureFile& f, const std::string& name = "in.vcm") {
        const std::string path = PathIn(name);
        test::WriteNativeFixture(path, f);
        EXPECT_TRUE(doc->OnOpenDocument(path));
        return path;
    }

    std::unique_ptr<COrielDoc> Reopen(const std::string& path) {
        auto back = std::make_unique<COrielDoc>(app, prompts);
        EXPECT_TRUE(back->OnOpenDocument(path));
        return back;
    }

    void SelectAll(int first, int last, double rate) {
        for (int c = 0; c < doc->GetChannelCount(); ++c) {
            CChannels& ch = doc->Channel(c);
            ch.selStartSample = first;
            ch.selEndSample = last;
            ch.selStartTime = first * 1000.0 / rate;
            ch.selEndTime = last * 1000.0 / rate;
        }
    }
};

TEST_F(NativeWritersTest, ALoadedFileIsWrittenBackByteForByte) {
    for (FixtureLayout layout : kWritten) {
        SCOPED_TRACE(test::FixtureTypeString(layout));
        const FixtureFile f = ThreeChannels(layout);
        Load(f);
        ASSERT_EQ(doc->GetFileTypeCode(), CodeOf(layout));
        const std::string out = PathIn("out.vcm");
        doc->SetModifiedFlag(true);
        ASSERT_EQ(doc->SaveDocumentAs(out, doc->GetFileTypeCode(), false), 1);
        EXPECT_EQ(test::ReadAll(out), test::BuildNativeFixture(f));
        EXPECT_TRUE(prompts.messages.empty());
        EXPECT_TRUE(doc->IsModified()) << "a write through the dispatch leaves the flag to the command";
    }
}

TEST_F(NativeWritersTest, AnEditedDocumentReadsBackEqualWithLabelsCalibrationAndUnits) {
    for (FixtureLayout layout : kWritten) {
        SCOPED_TRACE(test::FixtureTypeString(layout));
        Load(ThreeChannels(layout));
        CChannels& egg = doc->Channel(0);
        egg.calA = -0.75;
        egg.unit = "kPa";
        egg.name = std::string(70, 'n');  // longer than its field: cut to 63 bytes
        egg.gain = 12.9;                  // stored as a whole number
        egg.samples[5] = 0.875f;
        LABEL extra;
        extra.SetText("new");
        extra.time = 4.0;
        extra.colour = platform::Rgb(1, 2, 3);
        extra.markerLine = -1;
        egg.AppendLabel(extra);
        const std::string out = PathIn("edited.vcm");
        ASSERT_EQ(doc->SaveDocumentAs(out, CodeOf(layout), false), 1);
        auto back = Reopen(out);
        ASSERT_EQ(back->GetChannelCount(), 3);
        const CChannels& b = back->Channel(0);
        EXPECT_EQ(b.calA, -0.75);
        EXPECT_EQ(b.calD, 3.5);
        EXPECT_EQ(b.unit, "kPa");
        EXPECT_EQ(b.name, std::string(63, 'n'));
        EXPECT_EQ(b.gain, 12.0);
        EXPECT_EQ(b.reference, 0.125);
        EXPECT_EQ(back->Channel(1).unit, "Pa");
        ASSERT_EQ(b.labelCount, 3);
        LABEL l;
        b.GetLabel(2, l);
        EXPECT_EQ(l, extra);
        b.GetLabel(1, l);
        EXPECT_EQ(l.Text(), "closed \xE9");
        for (int c = 0; c < 3; ++c)
            for (std::size_t k = 0; k < 300; ++k)
                ASSERT_EQ(back->Channel(c).samples[k], doc->Channel(c).samples[k]) << c << " " << k;
    }
}

TEST_F(NativeWritersTest, HiddenChannelsAreLeftOutOfHeadersAndFrames) {
    for (FixtureLayout layout : kWritten) {
        SCOPED_TRACE(test::FixtureTypeString(layout));
        Load(ThreeChannels(layout));
        doc->Channel(1).show = 0;
        const std::string out = PathIn("hidden.vcm");
        ASSERT_EQ(doc->SaveDocumentAs(out, CodeOf(layout), false), 1);
        auto back = Reopen(out);
        ASSERT_EQ(back->GetChannelCount(), 2);
        EXPECT_EQ(back->Channel(0).name, "EGG");
        EXPECT_EQ(back->Channel(1).name, "Flow");
        EXPECT_EQ(back->Channel(1).unit, "l/s");
        for (std::size_t k = 0; k < 300; ++k) {
            ASSERT_EQ(back->Channel(0).samples[k], doc->Channel(0).samples[k]);
            ASSERT_EQ(back->Channel(1).samples[k], doc->Channel(2).samples[k]);
        }
    }
}

TEST_F(NativeWritersTest, ASelectionSaveWritesTheSpanAndTheLabelsInsideIt) {
    const double rate = 1000.0;  // one sample per ms
    for (FixtureLayout layout : kWritten) {
        SCOPED_TRACE(test::FixtureTypeString(layout));
        FixtureFile f = ThreeChannels(layout, 300, rate);
        // Labels at the start, at the end, just past the end and before.
        f.channels[0].labels = {Label(99.0, "before"), Label(100.0, "start"), Label(150.0, "end"),
                                Label(150.001, "after")};
        Load(f);
        SelectAll(100, 150, rate);
        doc->SetModifiedFlag(true);
        const std::string out = PathIn("sel.vcm");
        ASSERT_EQ(doc->SaveDocumentAs(out, CodeOf(layout), true), 1);
        EXPECT_TRUE(doc->IsModified());
        auto back = Reopen(out);
        ASSERT_EQ(back->GetChannelCount(), 3);
        const CChannels& b = back->Channel(0);
        EXPECT_EQ(b.sampleCount, 50.0);
        EXPECT_EQ(b.duration, 50.0);
        ASSERT_EQ(b.labelCount, 2);
        LABEL l;
        b.GetLabel(0, l);
        EXPECT_EQ(l.Text(), "start");
        EXPECT_EQ(l.time, 0.0);
        b.GetLabel(1, l);
        EXPECT_EQ(l.Text(), "end");
        EXPECT_EQ(l.time, 50.0);
        for (int c = 0; c < 3; ++c)
            for (std::size_t k = 0; k < 50; ++k)
                ASSERT_EQ(back->Channel(c).samples[k], doc->Channel(c).samples[100 + k]) << c << " " << k;
    }
}

TEST_F(NativeWritersTest, FileBackedRecordingsAreCopiedFromTheirDataFile) {
    // Five minutes at 100 Hz: the reader keeps it in a scratch file.
    const double rate = 100.0;
    {
        const FixtureLayout layout = FixtureLayout::KovPcFloat24;
        const FixtureFile f = ThreeChannels(layout, 30000, rate);
        Load(f, "long.vcm");
        ASSERT_TRUE(doc->Channel(0).IsFileBacked());
        std::vector<std::string> texts;
        doc->SetProgressFactory([&texts] { return std::make_unique<test::RecordingProgress>(texts, false); });

        const std::string whole = PathIn("whole.vcm");
        ASSERT_EQ(doc->SaveDocumentAs(whole, CodeOf(layout), false), 1);
        EXPECT_EQ(test::ReadAll(whole), test::BuildNativeFixture(f));
        EXPECT_EQ(texts.back(), "Saving: whole.vcm");

        // A selection starting at sample 441 copies frames 441 onward.
        SelectAll(441, 451, rate);
        const std::string sel = PathIn("sel.vcm");
        ASSERT_EQ(doc->SaveDocumentAs(sel, CodeOf(layout), true), 1);
        auto back = Reopen(sel);
        ASSERT_EQ(back->Channel(0).sampleCount, 10.0);
        EXPECT_EQ(back->Channel(0).samples[0], f.channels[0].floats[441]);
        EXPECT_EQ(back->Channel(2).samples[9], f.channels[2].floats[450]);

        // Hidden channels are picked out of the source frames.
        doc->Channel(0).show = 0;
        const std::string hidden = PathIn("hidden.vcm");
        ASSERT_EQ(doc->SaveDocumentAs(hidden, CodeOf(layout), false), 1);
        back = Reopen(hidden);
        ASSERT_EQ(back->GetChannelCount(), 2);
        float v = 0;
        ASSERT_TRUE(back->Channel(1).ReadSample(29999, v));
        EXPECT_EQ(v, f.channels[2].floats[29999]);
        doc->Channel(0).show = 1;

        // Cancelling the copy leaves the target as it was and no scratch file.
        doc->SetProgressFactory([&texts] { return std::make_unique<test::RecordingProgress>(texts, true); });
        const auto before = std::distance(fs::directory_iterator(dir), fs::directory_iterator());
        EXPECT_EQ(doc->SaveDocumentAs(whole, CodeOf(layout), false), 0);
        EXPECT_EQ(test::ReadAll(whole), test::BuildNativeFixture(f));
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), before);
        EXPECT_TRUE(prompts.messages.empty());
    }
}

TEST_F(NativeWritersTest, FramesCopiedAsTheyAreGiveTheBytesOfTheSameRecordingInMemory) {
    // Frames the system copies from the data file, then what it cannot:
    // frames past a channel's end, or past the end of the data file, are 0.
    struct Case {
        const char* name;
        double channel1Count;   // 0: as loaded
        std::int64_t cutFrame;  // -1: the data file stays whole; else cut inside this frame
        bool selection;
    };
    const Case cases[] = {
        {"whole", 0, -1, false},
        {"selection", 0, -1, true},
        {"a channel ends early", 29000.5, -1, false},
        {"the data file is cut inside a frame", 0, 29500, false},
    };
    const double rate = 100.0;
    const FixtureFile f = ThreeChannels(FixtureLayout::KovPcFloat24, 30000, rate);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Load(f, "long.vcm");
        ASSERT_TRUE(doc->Channel(0).IsFileBacked());
        if (c.channel1Count > 0)
            doc->Channel(1).sampleCount = c.channel1Count;
        if (c.cutFrame >= 0)
            doc->GetDataFile()->SetLength(c.cutFrame * 3 * 4 + 6);
        if (c.selection)
            SelectAll(441, 29990, rate);
        const std::string fromFile = PathIn("from_file.vcm");
        ASSERT_EQ(doc->SaveDocumentAs(fromFile, kFileTypeNativeFloat24, c.selection), 1);

        // The same samples held in memory.
        for (int ch = 0; ch < 3; ++ch) {
            CChannels& channel = doc->Channel(ch);
            const auto n = static_cast<std::size_t>(channel.ReadableCount());
            platform::FloatBlock block = platform::FloatBlock::Allocate(n);
            for (std::size_t k = 0; k < n; ++k)
                channel.ReadSample(static_cast<std::int64_t>(k), block[k]);  // 0 where the file ends
            channel.samples = std::move(block);
        }
        const std::string fromMemory = PathIn("from_memory.vcm");
        ASSERT_EQ(doc->SaveDocumentAs(fromMemory, kFileTypeNativeFloat24, c.selection), 1);
        const std::string written = test::ReadAll(fromFile);
        EXPECT_TRUE(written == test::ReadAll(fromMemory));
        if (c.channel1Count == 0 && c.cutFrame < 0 && !c.selection) {
            EXPECT_TRUE(written == test::BuildNativeFixture(f));
        }
    }
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(NativeWritersTest, FilesThatCouldNotBeReadBackAreNotWritten) {
    struct Case {
        const char* name;
        int channels;
        int shown;
        const char* message;
    };
    for (const Case& c : {Case{"nothing shown", 2, 0, kNothingShownMessage},
                          Case{"twenty shown", 20, 20, kTooManyShownMessage}}) {
        for (FixtureLayout layout : kWritten) {
            SCOPED_TRACE(std::string(c.name) + " " + test::FixtureTypeString(layout));
            prompts.messages.clear();
            doc->SetChannelCount(c.channels);
            for (int i = 0; i < c.channels; ++i)
                doc->Channel(i).show = i < c.shown ? 1 : 0;
            const std::string out = PathIn("refused.vcm");
            EXPECT_EQ(doc->SaveDocumentAs(out, CodeOf(layout), false), 0);
            EXPECT_FALSE(platform::PathExists(out));
            ASSERT_EQ(prompts.messages.size(), 1u);
            EXPECT_EQ(prompts.messages[0].text, c.message);
        }
    }
}

TEST_F(NativeWritersTest, InterleavedFramesPadAShortChannelSoTheFileReadsBack) {
    // A per-channel file whose channels differ in length, saved as frames.
    FixtureFile f = ThreeChannels(FixtureLayout::KovPcFloat);
    f.channels[1].floats.resize(120);
    Load(f);
    const std::string out = PathIn("frames.vcm");
    ASSERT_EQ(doc->SaveDocumentAs(out, kFileTypeNativeFloat24, false), 1);
    auto back = Reopen(out);
    ASSERT_EQ(back->Channel(1).sampleCount, 300.0);
    EXPECT_EQ(back->Channel(1).samples[119], f.channels[1].floats[119]);
    EXPECT_EQ(back->Channel(1).samples[120], 0.0f);
    EXPECT_EQ(back->Channel(2).samples[299], f.channels[2].floats[299]);
}

// ---- the save dispatch and closing ------------------------------------------------------------------

TEST_F(NativeWritersTest, DispatchWithoutAWriterWritesNothing) {
    Load(ThreeChannels(FixtureLayout::KovPcFloat24));
    for (int code : {kFileTypeAiff, kFileTypeNsp, kFileTypeNativeMac, kFileTypeNistSphere, kFileTypeNone}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(doc->SaveDocumentAs(PathIn("none.vcm"), code, false), 0);
        EXPECT_FALSE(platform::PathExists(PathIn("none.vcm")));
    }
}

TEST_F(NativeWritersTest, SaveModifiedLetsTheDocumentCloseOnlyAfterASuccessfulSave) {
    struct Case {
        const char* name;
        const char* chosen;  // nothing: the chooser is cancelled
        bool mayClose;
    };
    // A fresh recording (never saved) goes through Save As; saving it as WAV
    // writes it without making the WAV its own file.
    for (const Case& c : {Case{"saved as native", "take.vcm", true}, Case{"saved as WAV", "take.wav", true},
                          Case{"chooser cancelled", nullptr, false}}) {
        SCOPED_TRACE(c.name);
        prompts = test::ScriptedPrompts();
        Load(ThreeChannels(FixtureLayout::KovPcFloat24));
        doc->SetPathName("");
        doc->neverSaved = 1;
        doc->SetModifiedFlag(true);
        prompts.answers.push_back(platform::Answer::Yes);
        if (c.chosen)
            prompts.paths.push_back(PathIn(c.chosen));
        EXPECT_EQ(doc->SaveModified(), c.mayClose);
        if (c.chosen) {
            EXPECT_TRUE(platform::PathExists(PathIn(c.chosen)));
        }
    }
}

}  // namespace
}  // namespace vocomet
