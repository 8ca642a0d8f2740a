#include "core/OldNativeReaders.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "ForeignFileTest.h"
#include "core/COrielDoc.h"
#include "platform/ByteCodec.h"
#include "platform/WinTypes.h"

namespace vocomet {
namespace {

// A file of one of the oldest layouts, written from the layout tables.
struct OldFile {
    bool mac = false;
    bool shortHeader = false;
    std::uint32_t size = 0;  // 0: the layout's own
    std::uint32_t type = 0;  // 0: the layout's own
    std::uint32_t channelCount = 1;
    std::uint32_t rate0 = 10000, rateFurther = 1000;
    std::uint32_t bytes0 = 0, bytesFurther = 0;  // 0xFFFFFFFF: from the samples
    std::array<std::uint32_t, 16> flags{}, gains{};
    std::array<std::string, 16> names, units, references;

    struct Label {
        std::string text;
        std::string time;
        std::uint32_t anchoring = 0;
        std::uint32_t red = 0, green = 0, blue = 0;
        std::int32_t fontHeight = 0;
        std::string face;
    };
    std::vector<Label> labels;
    std::int64_t labelCount = -1;  // -1: labels.size()
    std::vector<std::vector<std::int16_t>> samples;  // channel by channel

    std::string Bytes() const {
        const std::size_t header = shortHeader ? kOldShortHeaderSize : kOldLongHeaderSize;
        const std::size_t base = shortHeader ? 172 : 184;  // the flags; gains, names, units follow at fixed steps
        std::vector<std::uint8_t> h(header, 0);
        auto put = [this](std::uint8_t* p, std::uint32_t v) {
            if (mac)
                platform::PutU32BE(p, v);
            else
                platform::PutU32LE(p, v);
        };
        put(&h[0], size ? size : static_cast<std::uint32_t>(header));
        put(&h[4], type ? type : (shortHeader ? (mac ? 200 : 100) : (mac ? 20 : 10)));
        put(&h[8], channelCount);
        put(&h[16], rate0);
        put(&h[20], rateFurther);
        put(&h[24], bytes0 != 0xFFFFFFFF ? bytes0 : static_cast<std::uint32_t>(samples.at(0).size() * 2));
        put(&h[28], bytesFurther != 0xFFFFFFFF ? bytesFurther : static_cast<std::uint32_t>(samples.at(1).size() * 2));
        for (std::size_t i = 0; i < 16; ++i) {
            put(&h[base + 4 * i], flags[i]);
            put(&h[base + 68 + 4 * i], gains[i]);
            platform::PutText(&h[base + 136 + 20 * i], 20, names[i]);
            platform::PutText(&h[base + 476 + 20 * i], 20, units[i]);
            if (shortHeader)
                platform::PutText(&h[988 + 9 * i], 9, references[i]);
        }
        std::string out(h.begin(), h.end());
        if (shortHeader) {
            std::vector<std::uint8_t> block(kOldLabelBlockHeaderSize, 0);
            put(&block[100], static_cast<std::uint32_t>(labelCount >= 0 ? labelCount : static_cast<std::int64_t>(labels.size())));
            out.append(block.begin(), block.end());
            for (const Label& l : labels) {
                std::vector<std::uint8_t> r(kOldLabelRecordSize, 0);
                std::copy(l.text.begin(), l.text.end(), r.begin());  // as many bytes as given (up to 100)
                platform::PutText(&r[100], 16, l.time);
                put(&r[116], l.anchoring);
                put(&r[124], l.red);
                put(&r[128], l.green);
                put(&r[132], l.blue);
                platform::LogFontA font;
                font.height = l.fontHeight;
                font.weight = 700;
                font.faceName = l.face;
                font.Encode(&r[140]);
                out.append(r.begin(), r.end());
            }
        }
        for (const auto& channel : samples)
            for (std::int16_t s : channel) {
                std::uint8_t b[2];
                if (mac)
                    platform::PutI16BE(b, s);
                else
                    platform::PutI16LE(b, s);
                out.append(reinterpret_cast<const char*>(b), 2);
            }
        return out;
    }
};

std::vector<std::int16_t> Ramp(int count, int step, int start) {
    std::vector<std::int16_t> v;
    for (int k = 0; k < count; ++k)
        v.push_back(static_cast<std::int16_t>(start + k * step));
    return v;
}

// The example of the layout: channel count 3, flags 1 and 4.
OldFile Example(bool mac = false, bool shortHeader = false) {
    OldFile f;
    f.mac = mac;
    f.shortHeader = shortHeader;
    f.channelCount = 3;
    f.bytes0 = f.bytesFurther = 0xFFFFFFFF;
    f.flags[1] = 1;
    f.flags[4] = 1;
    f.flags[0] = 1;  // channel 0 needs no flag; slot 0 is never a further channel
    for (int i = 0; i < 16; ++i) {
        f.names[static_cast<std::size_t>(i)] = "name " + std::to_string(i);
        f.units[static_cast<std::size_t>(i)] = "unit " + std::to_string(i);
        f.references[static_cast<std::size_t>(i)] = std::to_string(i) + ".5";
    }
    f.gains = {2, 0, 0, 0, 3};
    f.samples = {Ramp(40, 1500, -30000), Ramp(4, 1000, -2048), Ramp(4, -1000, 2047)};
    return f;
}

class OldNativeReadersTest : public test::ForeignFileTest {
protected:
    std::string Write(const OldFile& f, const std::string& name = "old.vcm") {
        const std::string path = PathIn(name);
        test::WriteAll(path, f.Bytes());
        return path;
    }
};

TEST_F(OldNativeReadersTest, TheExampleGivesOneChannelPerFlagInEveryLayout) {
    const struct {
        const char* name;
        bool mac, shortHeader;
    } layouts[] = {{"PC, 6484 bytes", false, false}, {"PC, 1608 bytes", false, true}, {"Mac, 1608 bytes", true, true}};
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.name);
        const std::string path = Write(Example(layout.mac, layout.shortHeader));
        prompts.messages.clear();
        doc->SetModifiedFlag(true);
        ASSERT_TRUE(doc->OnOpenDocument(path));
        EXPECT_TRUE(prompts.messages.empty());
        EXPECT_FALSE(doc->IsModified());
        EXPECT_EQ(doc->GetFileTypeCode(), kFileTypeNativeByChannel);
        EXPECT_EQ(doc->GetSaveAsRequired(), 1);
        ASSERT_EQ(doc->GetChannelCount(), 3);
        const int fileIndex[] = {0, 1, 4};
        for (int c = 0; c < 3; ++c) {
            SCOPED_TRACE(c);
            const CChannels& ch = doc->Channel(c);
            const bool audio = c == 0;
            EXPECT_EQ(ch.name, "name " + std::to_string(fileIndex[c]));
            EXPECT_EQ(ch.unit, "unit " + std::to_string(fileIndex[c]));
            EXPECT_EQ(ch.rate, audio ? 10000.0 : 1000.0);
            EXPECT_EQ(ch.sampleCount, audio ? 40.0 : 4.0);
            EXPECT_EQ(ch.duration, 4.0);
            EXPECT_EQ(ch.bits, audio ? 16 : 12);
            EXPECT_EQ(ch.channelNumber, c + 1);
            EXPECT_EQ(ch.audioFlag, audio ? 1 : 0);
            EXPECT_EQ(ch.timeReference, audio ? 1 : 0);
            EXPECT_EQ(ch.gain, c == 0 ? 2.0 : c == 2 ? 3.0 : 1.0);
            EXPECT_EQ(ch.calC, 1.0);
            EXPECT_EQ(ch.calA + ch.calB + ch.calD, 0.0);
            EXPECT_EQ(ch.scaleMode, 3);
            EXPECT_EQ(ch.stripHeight, 100);
            EXPECT_EQ(ch.filterRate, ch.rate * 0.5);
            EXPECT_EQ(ch.shownEnd, ch.sampleCount);
            EXPECT_EQ(ch.shownEndTime, 4.0);
            if (layout.shortHeader) {
                EXPECT_EQ(ch.auxFactors, (std::array<double, 2>{1.0, 1.0}));
                EXPECT_EQ(ch.reference, fileIndex[c] + 0.5);
            } else {
                EXPECT_EQ(ch.auxFactors, audio ? (std::array<double, 2>{5000.0, 65536.0})
                                               : (std::array<double, 2>{10000.0, 4096.0}));
                EXPECT_EQ(ch.reference, 0.0);
            }
            const std::vector<std::int16_t> stored = Example().samples[static_cast<std::size_t>(c)];
            for (std::size_t k = 0; k < stored.size(); ++k)
                EXPECT_EQ(ch.samples[k], stored[k] / (audio ? 32768.0f : 2048.0f)) << "sample " << k;
            ASSERT_NE(ch.samplesSummary, nullptr);
        }
    }
}

TEST_F(OldNativeReadersTest, TheStoredSizeNeedOnlyLieInTheSameTen) {
    const struct {
        bool mac, shortHeader;
        std::uint32_t size;
        bool read;
    } cases[] = {
        {false, false, 6487, true},  {false, false, 6480, true},  {false, false, 6489, true},
        {false, false, 6470, false}, {false, false, 6490, false}, {false, true, 1600, true},
        {false, true, 1610, false},  {true, true, 1609, true},    {true, true, 1599, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + (c.mac ? " Mac" : " PC"));
        OldFile f = Example(c.mac, c.shortHeader);
        f.size = c.size;
        std::unique_ptr<LoadTarget> target;
        const int result = ReadDirect(c.mac ? ReadOldMacFile : ReadOldPcFile, Write(f), target);
        EXPECT_EQ(result, c.read ? kReaderLoaded : kReaderNotMine);
        EXPECT_EQ(target->HasRecording(), c.read);
        EXPECT_EQ(target->Refusal(), "");
        // The other machine's reader never takes it.
        EXPECT_EQ(ReadDirect(c.mac ? ReadOldPcFile : ReadOldMacFile, Write(f), target), kReaderNotMine);
    }
}

TEST_F(OldNativeReadersTest, LabelsOfTheShortLayoutsInsideTheDurationGoToChannelZero) {
    for (bool mac : {false, true}) {
        SCOPED_TRACE(mac ? "Mac" : "PC");
        OldFile f = Example(mac, true);  // channel 0 lasts 4 ms
        f.labels = {
            {"at zero", "0", 1, 0, 0, 0, 10, "Times"},
            {"one ms", "1", 2, 0x1FF, 0x180, 0x7F, -12, "Times"},
            {"at the end", "4.0", 0, 0, 0, 0, 10, "Times"},
            {"bad anchoring, huge font", " 2.5", 7, 1, 2, 3, 5000, "Times"},
            {std::string(100, 'x'), "3", 0, 0, 0, 0, 10, "Times"},
            {"beyond", "1e9", 0, 0, 0, 0, 10, "Times"},
        };
        ASSERT_TRUE(doc->OnOpenDocument(Write(f)));
        const CChannels& ch = doc->Channel(0);
        ASSERT_EQ(ch.labels.GetSize(), 3);
        LABEL l;
        ch.GetLabel(0, l);
        EXPECT_EQ(l.Text(), "one ms");
        EXPECT_EQ(l.time, 1.0);
        EXPECT_EQ(l.anchoring, 2);
        EXPECT_EQ(l.colour, platform::Rgb(0xFF, 0x80, 0x7F));
        EXPECT_EQ(l.relativeHeight, 0.0);
        EXPECT_EQ(l.markerLine, 0);
        // The PC keeps a stored font of a sane height; the Macintosh always
        // takes the application's.
        EXPECT_EQ(l.font.faceName, mac ? "Arial" : "Times");
        EXPECT_EQ(l.font.height, mac ? 14 : -12);
        ch.GetLabel(1, l);
        EXPECT_EQ(l.Text(), "bad anchoring, huge font");
        EXPECT_EQ(l.time, 2.5);
        EXPECT_EQ(l.anchoring, 0);
        EXPECT_EQ(l.font.faceName, "Arial");
        EXPECT_EQ(l.font.height, 14);
        // A text that fills its field ends with it.
        ch.GetLabel(2, l);
        EXPECT_EQ(l.Text(), std::string(100, 'x'));
        EXPECT_EQ(l.time, 3.0);
        for (int c = 1; c < 3; ++c)
            EXPECT_EQ(doc->Channel(c).labels.GetSize(), 0);
        // The samples follow the labels.
        EXPECT_EQ(ch.samples[39], Example().samples[0][39] / 32768.0f);
        EXPECT_EQ(doc->Channel(2).samples[3], Example().samples[2][3] / 2048.0f);
    }
}

TEST_F(OldNativeReadersTest, TheVeryOldMacFormatIsRefusedWithItsMessageOnce) {
    OldFile f = Example(true, false);
    f.size = 6485;
    const std::string path = Write(f);
    std::unique_ptr<LoadTarget> target;
    EXPECT_EQ(ReadDirect(ReadOldMacFile, path, target), kReaderNotMine);
    EXPECT_EQ(target->Refusal(), kOldMacType20Message);
    EXPECT_FALSE(target->HasRecording());
    EXPECT_TRUE(prompts.messages.empty());
    ExpectOpenRefused(path, kOldMacType20Message);
}

TEST_F(OldNativeReadersTest, CorruptHeadersAreRefusedAndTheDocumentStays) {
    ASSERT_TRUE(doc->OnOpenDocument(Write(Example(), "good.vcm")));
    auto changed = [](bool mac, bool shortHeader, auto change) {
        OldFile f = Example(mac, shortHeader);
        change(f);
        return f.Bytes();
    };
    // The example's samples: 40 of channel 0 and 4 of each further channel.
    const std::size_t sampleBytes = 2 * (40 + 4 + 4);
    const struct {
        const char* name;
        bool mac;
        std::string bytes;
        const char* refusal;  // nullptr: not this layout, nothing to say
    } cases[] = {
        {"rate 0", false, changed(false, false, [](OldFile& f) { f.rate0 = 0; }),
         "Channel 1 of this file gives a sample rate of 0 Hz"},
        {"negative rate", false, changed(false, true, [](OldFile& f) { f.rate0 = 0xFFFFFFF6; }),
         "a sample rate of -10 Hz"},
        {"further rate 0", true, changed(true, true, [](OldFile& f) { f.rateFurther = 0; }),
         "Channel 2 of this file gives a sample rate of 0 Hz"},
        {"Mac rate of 4e9 Hz", true, changed(true, true, [](OldFile& f) { f.rate0 = 4000000000u; }),
         "Channel 1 of this file gives a sample rate of 4000000000 Hz"},
        {"further rate above 50 MHz", false, changed(false, false, [](OldFile& f) { f.rateFurther = 50000001; }),
         "Channel 2 of this file gives a sample rate of 50000001 Hz"},
        {"negative sample bytes", false, changed(false, false, [](OldFile& f) { f.bytes0 = 0x80000000; }),
         "negative sample size"},
        {"samples far beyond the file", false, changed(false, false, [](OldFile& f) { f.bytes0 = 400; }),
         "less than half of the 416 bytes of samples"},
        {"Mac sample bytes of 4 GB", true, changed(true, true, [](OldFile& f) { f.bytesFurther = 0xFFFFFFFF - 1; }),
         "shorter than its header announces"},
        {"less than half of the samples", false, Example().Bytes().substr(0, kOldLongHeaderSize + sampleBytes / 2 - 1),
         "shorter than its header announces"},
        // Headers cut short are their layout's all the same.
        {"PC header cut short", false, Example().Bytes().substr(0, 6000), "ends inside its 6484-byte header"},
        {"PC short header cut short", false, Example(false, true).Bytes().substr(0, 1000),
         "ends inside its 1608-byte header"},
        {"Mac short header cut short", true, Example(true, true).Bytes().substr(0, 8),
         "ends inside its 1608-byte header"},
        {"very old Mac header cut short", true, Example(true, false).Bytes().substr(0, 100), kOldMacType20Message},
        {"another type", false, changed(false, false, [](OldFile& f) { f.type = 11; }), nullptr},
        {"another type cut short", false, changed(false, false, [](OldFile& f) { f.type = 11; }).substr(0, 100),
         nullptr},
        {"a Mac layout on the PC's type", true, changed(true, true, [](OldFile& f) { f.type = 100; }), nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = PathIn("bad.vcm");
        test::WriteAll(path, c.bytes);
        std::unique_ptr<LoadTarget> target;
        EXPECT_EQ(ReadDirect(c.mac ? ReadOldMacFile : ReadOldPcFile, path, target), kReaderNotMine);
        EXPECT_FALSE(target->HasRecording());
        if (c.refusal) {
            EXPECT_NE(target->Refusal().find(c.refusal), std::string::npos) << target->Refusal();
            ExpectOpenRefused(path, target->Refusal());
        } else {
            EXPECT_EQ(target->Refusal(), "");
        }
    }
}

TEST_F(OldNativeReadersTest, AFileCutInsideItsSamplesKeepsItsChannelsWithZerosWhereItEnds) {
    OldFile labelled = Example(false, true);
    labelled.labels = {{"a", "1", 0, 0, 0, 0, 10, "Times"}};
    const std::string whole = labelled.Bytes();
    const std::size_t samplesAt = kOldShortHeaderSize + kOldLabelBlockHeaderSize + kOldLabelRecordSize;
    const struct {
        const char* name;
        std::size_t heldSamples;  // of the 48, channel by channel
    } cases[] = {
        {"the last sample missing", 47},
        {"cut inside a sample", 46},  // and half of the 47th
        {"cut inside channel 0", 30},
        {"half of the samples", 24},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t cut = samplesAt + 2 * c.heldSamples + (std::string(c.name) == "cut inside a sample" ? 1 : 0);
        const std::string path = PathIn("cut.vcm");
        test::WriteAll(path, whole.substr(0, cut));
        prompts.messages.clear();
        ASSERT_TRUE(doc->OnOpenDocument(path));
        EXPECT_TRUE(prompts.messages.empty()) << prompts.LastMessage();
        ASSERT_EQ(doc->GetChannelCount(), 3);
        EXPECT_EQ(doc->Channel(0).labels.GetSize(), 1) << "the labels before the samples are whole";
        std::size_t k = 0;  // the sample's place in the file
        for (int ch = 0; ch < 3; ++ch) {
            const CChannels& channel = doc->Channel(ch);
            const std::vector<std::int16_t>& stored = labelled.samples[static_cast<std::size_t>(ch)];
            ASSERT_EQ(channel.sampleCount, static_cast<double>(stored.size())) << "channel " << ch;
            const float scale = ch == 0 ? 1 / 32768.0f : 1 / 2048.0f;
            for (std::size_t i = 0; i < stored.size(); ++i, ++k)
                EXPECT_EQ(channel.samples[i], k < c.heldSamples ? stored[i] * scale : 0.0f)
                    << "channel " << ch << " sample " << i;
        }
    }
}

TEST_F(OldNativeReadersTest, ALabelCountBeyondTheFileReadsOnlyTheLabelsItHolds) {
    std::unique_ptr<LoadTarget> target;
    // A label count beyond the bytes between the label block and the
    // samples reads only the labels those bytes hold.
    OldFile labelled = Example(false, true);
    labelled.labels = {{"a", "1", 0, 0, 0, 0, 10, "Times"}, {"b", "2", 0, 0, 0, 0, 10, "Times"}};
    labelled.labelCount = 0x7FFFFFFF;
    ASSERT_EQ(ReadDirect(ReadOldPcFile, Write(labelled, "labels.vcm"), target), kReaderLoaded);
    EXPECT_EQ(target->Recording().channels[0].labels.GetSize(), 2);
    EXPECT_EQ(target->Recording().channels[0].samples[39], Example().samples[0][39] / 32768.0f);
}

}  // namespace
}  // namespace vocomet
