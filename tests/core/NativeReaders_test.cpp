#include "core/NativeReaders.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ForeignFileTest.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/NativeFormat.h"
#include "core/SampleSummary.h"
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

constexpr FixtureLayout kAllLayouts[] = {FixtureLayout::Usb2Float, FixtureLayout::KovPcFloat24,
                                         FixtureLayout::KovPcFloat, FixtureLayout::KovPc,
                                         FixtureLayout::KovePc,     FixtureLayout::KovMac};

bool IsInt16(FixtureLayout l) {
    return l == FixtureLayout::KovPc || l == FixtureLayout::KovePc || l == FixtureLayout::KovMac;
}

ReaderSlot SlotOf(FixtureLayout l) {
    switch (l) {
    case FixtureLayout::Usb2Float: return ReaderSlot::ReadUsb2FloatFile;
    case FixtureLayout::KovPcFloat24: return ReaderSlot::ReadKovPcFloat24File;
    case FixtureLayout::KovPcFloat: return ReaderSlot::ReadKovPcFloatFile;
    case FixtureLayout::KovPc: return ReaderSlot::ReadKovPcFile;
    case FixtureLayout::KovePc: return ReaderSlot::ReadKovePcFile;
    case FixtureLayout::KovMac: return ReaderSlot::ReadKovMacFile;
    }
    return ReaderSlot::ReadWaveFile;
}

FixtureLabel MakeLabel(double time, const std::string& text) {
    FixtureLabel l;
    l.time = time;
    l.relativeHeight = 0.25;
    l.anchoring = 1;
    l.markerLine = -1;  // sign-extended 8-bit value
    l.rect = {60, 12, 110, 30};
    l.red = 0x1FF;  // only the low byte counts
    l.green = 0x20;
    l.blue = 0x30;
    l.fontInts = {-15, 0, 0, 0, 700};
    l.fontBytes = {1, 0, 0, 0, 0, 0, 0, 0};
    l.faceName = "Courier New";
    l.text = text;
    return l;
}

// Two channels (EGG first, audio second) with labels, calibration, units.
FixtureFile TwoChannelFile(FixtureLayout layout) {
    FixtureFile f;
    f.layout = layout;
    FixtureChannel egg = test::RampChannel("EGG", 22050.0, 300, -0.5f, 0.001f);
    egg.calA = 0.5;
    egg.calB = -1.25;
    egg.calC = 2.0;
    egg.calD = 3.5;
    egg.reference = 0.125;
    egg.unit = "mV";
    egg.gain = 0;  // read as 1.0
    egg.filterRate = 4000;
    egg.scaleMode = 2;
    egg.stripHeight = 140;
    egg.timeReference = 1;
    egg.drawReference = 0;
    egg.reserved = {7, 8, 9};
    egg.auxFactor1 = 2.75;
    egg.labels = {MakeLabel(3.0, "open"), MakeLabel(9.5, "closed")};
    FixtureChannel audio = test::RampChannel("Audio \xE9", 22050.0, 300, 0.25f, -0.0005f);
    audio.audioFlag = 1;
    audio.gain = 5;
    audio.unit = "Pa";
    if (IsInt16(layout)) {
        for (FixtureChannel* c : {&egg, &audio}) {
            c->shorts.clear();
            for (std::size_t k = 0; k < c->floats.size(); ++k)
                c->shorts.push_back(static_cast<std::int16_t>(static_cast<int>(k) * 100 - 16000));
            c->floats.clear();
        }
    }
    f.channels = {egg, audio};
    return f;
}

class NativeReadersTest : public test::DocumentTest {
protected:
    std::string Write(const FixtureFile& f, const std::string& name = "rec.vcm") {
        std::string path = (fs::path(dir) / name).string();
        test::WriteNativeFixture(path, f);
        return path;
    }
    std::string WriteBytes(const std::string& bytes, const std::string& name = "raw.vcm") {
        std::string path = (fs::path(dir) / name).string();
        test::WriteAll(path, bytes);
        return path;
    }

    // Runs one reader alone; the target keeps what it made and why it refused.
    int Read(ReaderSlot slot, const std::string& path, std::unique_ptr<LoadTarget>& out) {
        platform::File file(path, platform::File::Mode::Read);
        out = std::make_unique<LoadTarget>([this] { return doc->NewStagingRecording(); });
        return doc->Formats().GetReader(slot)(*doc, file, *out);
    }

};

float Expected(const FixtureFile& f, int channel, int k) {
    const FixtureChannel& c = f.channels[static_cast<std::size_t>(channel)];
    if (IsInt16(f.layout))
        return static_cast<float>(c.shorts[static_cast<std::size_t>(k)] / 32768.0);
    return c.floats[static_cast<std::size_t>(k)];
}

TEST_F(NativeReadersTest, EveryLayoutLoadsItsHeadersLabelsAndSamples) {
    struct Case {
        FixtureLayout layout;
        int code;
        int saveAsRequired;
    };
    const Case cases[] = {
        {FixtureLayout::Usb2Float, kFileTypeUsb2Float, 0},     {FixtureLayout::KovPcFloat24, kFileTypeNativeFloat24, 0},
        {FixtureLayout::KovPcFloat, kFileTypeNativeByChannel, 0}, {FixtureLayout::KovPc, kFileTypeNativeByChannel, 0},
        {FixtureLayout::KovePc, kFileTypeNativeByChannel, 0},  {FixtureLayout::KovMac, kFileTypeNativeMac, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(test::FixtureTypeString(c.layout));
        const FixtureFile f = TwoChannelFile(c.layout);
        const std::string path = Write(f);
        doc->SetModifiedFlag(true);
        ASSERT_TRUE(doc->OnOpenDocument(path));
        EXPECT_TRUE(prompts.messages.empty());
        EXPECT_FALSE(doc->IsModified());
        EXPECT_EQ(doc->GetChannelCount(), 2);
        EXPECT_EQ(doc->GetFileTypeCode(), c.code);
        EXPECT_EQ(doc->GetSaveAsRequired(), c.saveAsRequired);

        const bool kove = c.layout == FixtureLayout::KovePc;
        const bool mac = c.layout == FixtureLayout::KovMac;
        const bool int16 = IsInt16(c.layout);
        const CChannels& egg = doc->Channel(0);
        const CChannels& audio = doc->Channel(1);
        EXPECT_EQ(egg.name, "EGG");
        EXPECT_EQ(audio.name, "Audio \xE9");
        EXPECT_EQ(egg.rate, 22050.0);
        EXPECT_EQ(egg.sampleCount, 300.0);
        EXPECT_DOUBLE_EQ(egg.duration, 300 / 22050.0 * 1000.0);
        EXPECT_EQ(egg.reference, 0.125);
        EXPECT_EQ(egg.calA, 0.5);
        EXPECT_EQ(egg.calB, -1.25);
        EXPECT_EQ(egg.calC, 2.0);
        EXPECT_EQ(egg.calD, 3.5);
        EXPECT_EQ(egg.gain, 1.0);  // stored 0
        EXPECT_EQ(audio.gain, 5.0);
        EXPECT_EQ(egg.filterRate, 4000.0);
        EXPECT_EQ(egg.stripHeight, 140);
        EXPECT_EQ(egg.timeReference, 1);
        EXPECT_EQ(egg.drawReference, 0);
        EXPECT_EQ(egg.reserved1, (std::array<std::int32_t, 3>{7, 8, 9}));
        EXPECT_EQ(egg.channelNumber, 1);
        EXPECT_EQ(audio.channelNumber, 2);
        EXPECT_EQ(egg.scaleMode, int16 ? 3 : 2);
        EXPECT_EQ(egg.unit, c.layout == FixtureLayout::KovPc ? "" : kove ? "none" : "mV");
        EXPECT_EQ(egg.auxFactors[0], kove ? 2.75 : 1.0);
        EXPECT_EQ(egg.auxFactors[1], 1.0);
        EXPECT_EQ(egg.audioFlag, 0);
        EXPECT_EQ(audio.audioFlag, 1);

        // Shown whole.
        EXPECT_EQ(egg.show, 1);
        EXPECT_EQ(egg.shownStart, 0.0);
        EXPECT_EQ(egg.shownEnd, 300.0);
        EXPECT_EQ(egg.shownLength, 300.0);
        EXPECT_EQ(egg.shownEndTime, egg.duration);
        EXPECT_EQ(egg.shownSpan, egg.duration);
        EXPECT_EQ(egg.prevWindowEnd, 300.0);

        ASSERT_EQ(egg.labelCount, 2);
        ASSERT_EQ(audio.labelCount, 0);
        LABEL l;
        egg.GetLabel(1, l);
        EXPECT_EQ(l.Text(), "closed");
        EXPECT_EQ(l.time, 9.5);
        EXPECT_EQ(l.relativeHeight, 0.25);
        EXPECT_EQ(l.anchoring, 1);
        EXPECT_EQ(l.markerLine, -1);
        EXPECT_EQ(l.rect, (platform::Rect{60, 12, 110, 30}));
        EXPECT_EQ(l.colour, platform::Rgb(0xFF, 0x20, 0x30));
        EXPECT_EQ(l.font.height, -15);
        if (mac) {
            platform::LogFontA expected = platform::DefaultGuiFont();
            expected.height = -15;
            EXPECT_EQ(l.font, expected);
        } else {
            EXPECT_EQ(l.font.weight, 700);
            EXPECT_EQ(l.font.italic, 1);
            EXPECT_EQ(l.font.faceName, "Courier New");
        }
        egg.GetLabel(0, l);
        EXPECT_EQ(l.Text(), "open");

        for (int ch = 0; ch < 2; ++ch) {
            const CChannels& channel = doc->Channel(ch);
            ASSERT_TRUE(channel.HasSamples());
            EXPECT_GE(channel.samples.size(), 300u);
            for (int k : {0, 1, 150, 299}) {
                float v = 0;
                ASSERT_TRUE(channel.ReadSample(k, v));
                EXPECT_EQ(v, Expected(f, ch, k)) << "channel " << ch << " sample " << k;
            }
        }
    }
}

TEST_F(NativeReadersTest, TypeStringsAreComparedWhole) {
    for (FixtureLayout written : kAllLayouts) {
        const std::string path = Write(TwoChannelFile(written));
        for (FixtureLayout reader : kAllLayouts) {
            SCOPED_TRACE(std::string(test::FixtureTypeString(written)) + " by the reader of " +
                         test::FixtureTypeString(reader));
            std::unique_ptr<LoadTarget> target;
            EXPECT_EQ(Read(SlotOf(reader), path, target), written == reader ? kReaderLoaded : kReaderNotMine);
            // A reader that turns the file away makes no recording.
            EXPECT_EQ(target->HasRecording(), written == reader);
        }
    }
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(NativeReadersTest, PerChannelFloatCodeFollowsChannelCount) {
    FixtureFile f;
    f.layout = FixtureLayout::KovPcFloat;
    f.channels = {test::RampChannel("a", 44100.0, 10, 0.0f, 0.1f)};
    ASSERT_TRUE(doc->OnOpenDocument(Write(f)));
    EXPECT_EQ(doc->GetFileTypeCode(), kFileTypeNativeFloat24);
    f.channels.push_back(test::RampChannel("b", 1000.0, 3, 0.0f, 0.1f));
    ASSERT_TRUE(doc->OnOpenDocument(Write(f)));
    EXPECT_EQ(doc->GetFileTypeCode(), kFileTypeNativeByChannel);
    // Per-channel layouts keep each channel's own rate and count.
    EXPECT_EQ(doc->Channel(1).rate, 1000.0);
    EXPECT_EQ(doc->Channel(1).sampleCount, 3.0);
}

TEST_F(NativeReadersTest, NineteenChannelsLoadInEveryLayout) {
    for (FixtureLayout layout : kAllLayouts) {
        SCOPED_TRACE(test::FixtureTypeString(layout));
        FixtureFile f;
        f.layout = layout;
        for (int i = 0; i < 19; ++i) {
            FixtureChannel c = test::RampChannel("ch" + std::to_string(i), 10000.0, 20, static_cast<float>(i), 0.5f);
            if (IsInt16(layout)) {
                for (int k = 0; k < 20; ++k)
                    c.shorts.push_back(static_cast<std::int16_t>(i * 1000 + k));
                c.floats.clear();
            }
            f.channels.push_back(c);
        }
        ASSERT_TRUE(doc->OnOpenDocument(Write(f)));
        ASSERT_EQ(doc->GetChannelCount(), 19);
        float v = 0;
        ASSERT_TRUE(doc->Channel(18).ReadSample(19, v));
        EXPECT_EQ(v, Expected(f, 18, 19));
        EXPECT_EQ(doc->Channel(18).name, "ch18");
    }
}

TEST_F(NativeReadersTest, AudioChannelRule) {
    struct Case {
        FixtureLayout layout;
        double rate0, rate1;
        int audio0, audio1;
    };
    const Case cases[] = {
        {FixtureLayout::KovPcFloat24, 8000.0, 22050.0, 0, 1},
        {FixtureLayout::KovPcFloat24, 8000.0, 8000.0, 0, 0},
        {FixtureLayout::KovPc, 16000.0, 22050.0, 1, 0},
        {FixtureLayout::KovMac, 8000.0, 11025.0, 0, 1},
        {FixtureLayout::KovePc, 8000.0, 22050.0, 0, 0},  // this layout keeps its flags as stored
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(test::FixtureTypeString(c.layout));
        FixtureFile f = TwoChannelFile(c.layout);
        f.channels[1].audioFlag = 0;
        f.channels[0].rate = c.rate0;
        f.channels[1].rate = c.rate1;
        ASSERT_TRUE(doc->OnOpenDocument(Write(f)));
        EXPECT_EQ(doc->Channel(0).audioFlag, c.audio0);
        EXPECT_EQ(doc->Channel(1).audioFlag, c.audio1);
    }
}

TEST_F(NativeReadersTest, SixteenBitSamplesScaleByTheirBits) {
    for (FixtureLayout layout : {FixtureLayout::KovPc, FixtureLayout::KovePc, FixtureLayout::KovMac}) {
        SCOPED_TRACE(test::FixtureTypeString(layout));
        FixtureFile f;
        f.layout = layout;
        FixtureChannel a, b, c;
        a.bits = 16;
        a.shorts = {16384, -32768, 32767};
        b.bits = 12;
        b.shorts = {1024, -2048};
        c.bits = 99;  // no resolution a file can mean: taken as 16
        c.shorts = {16384};
        f.channels = {a, b, c};
        ASSERT_TRUE(doc->OnOpenDocument(Write(f)));
        EXPECT_EQ(doc->Channel(0).samples[0], 0.5f);
        EXPECT_EQ(doc->Channel(0).samples[1], -1.0f);
        EXPECT_EQ(doc->Channel(1).samples[0], 0.5f);
        EXPECT_EQ(doc->Channel(1).samples[1], -1.0f);
        EXPECT_EQ(doc->Channel(2).samples[0], 0.5f);
        EXPECT_EQ(doc->Channel(2).bits, 16);
    }
}

// Patches of a valid file that make it corrupt.
struct Corruption {
    const char* name;
    FixtureLayout layout;
    std::function<void(std::string& bytes, const test::FixtureOffsets& at, bool bigEndian)> apply;
    const char* message;  // nullptr: refused silently
};

void PutI32(std::string& b, std::int64_t at, std::int32_t v, bool be) {
    auto* p = reinterpret_cast<std::uint8_t*>(&b[static_cast<std::size_t>(at)]);
    be ? platform::PutI32BE(p, v) : platform::PutI32LE(p, v);
}
void PutF64(std::string& b, std::int64_t at, double v, bool be) {
    auto* p = reinterpret_cast<std::uint8_t*>(&b[static_cast<std::size_t>(at)]);
    be ? platform::PutF64BE(p, v) : platform::PutF64LE(p, v);
}

TEST_F(NativeReadersTest, CorruptFilesAreRefusedAndLeaveTheDocumentAsItWas) {
    const char* wrong = kWrongChannelNumberMessage;
    const char* shortFile = kIncorrectDataMessage;
    const std::int64_t labelCountAt = 92, koveLabelCountAt = 108;
    const Corruption cases[] = {
        {"channel count 0", FixtureLayout::KovPcFloat24, [](auto& b, auto&, bool be) { PutI32(b, 32, 0, be); }, wrong},
        {"channel count 20", FixtureLayout::KovPcFloat, [](auto& b, auto&, bool be) { PutI32(b, 32, 20, be); }, wrong},
        {"channel count -1", FixtureLayout::KovMac, [](auto& b, auto&, bool be) { PutI32(b, 32, -1, be); }, wrong},
        {"more channels than headers", FixtureLayout::KovPc,
         [](auto& b, auto&, bool be) { PutI32(b, 32, 19, be); }, shortFile},
        {"file header cut", FixtureLayout::Usb2Float, [](auto& b, auto&, bool) { b.resize(100); }, shortFile},
        {"channel header cut", FixtureLayout::KovePc,
         [](auto& b, auto& at, bool) { b.resize(static_cast<std::size_t>(at.channelHeader[1] + 200)); }, shortFile},
        {"label count past the end", FixtureLayout::KovPcFloat24,
         [=](auto& b, auto& at, bool be) { PutI32(b, at.channelHeader[1] + labelCountAt, 1000000, be); }, shortFile},
        {"label count past the end (KOVE)", FixtureLayout::KovePc,
         [=](auto& b, auto& at, bool be) { PutI32(b, at.channelHeader[0] + koveLabelCountAt, 0x7FFFFFFF, be); },
         shortFile},
        {"negative label count", FixtureLayout::KovMac,
         [=](auto& b, auto& at, bool be) { PutI32(b, at.channelHeader[0] + labelCountAt, -3, be); }, shortFile},
        {"label records cut", FixtureLayout::KovPcFloat,
         [](auto& b, auto& at, bool) { b.resize(static_cast<std::size_t>(at.channelHeader[0] + 248 + 368 + 100)); },
         shortFile},
        {"sample count past the end", FixtureLayout::KovPcFloat,
         [](auto& b, auto& at, bool be) { PutF64(b, at.channelHeader[1] + 16, 1e12, be); }, shortFile},
        {"sample count past the end (frames)", FixtureLayout::KovPcFloat24,
         [](auto& b, auto& at, bool be) {
             PutF64(b, at.channelHeader[0] + 16, 301, be);
             PutF64(b, at.channelHeader[1] + 16, 301, be);
         },
         shortFile},
        {"huge frame count", FixtureLayout::Usb2Float,
         [](auto& b, auto& at, bool be) {
             PutF64(b, at.channelHeader[0] + 16, 4e15, be);
             PutF64(b, at.channelHeader[1] + 16, 4e15, be);
         },
         shortFile},
        {"sample count NaN", FixtureLayout::KovPc,
         [](auto& b, auto& at, bool be) {
             PutF64(b, at.channelHeader[0] + 16, std::numeric_limits<double>::quiet_NaN(), be);
         },
         shortFile},
        {"negative sample count", FixtureLayout::KovMac,
         [](auto& b, auto& at, bool be) { PutF64(b, at.channelHeader[1] + 16, -2, be); }, shortFile},
        {"frame channels disagree on the count", FixtureLayout::KovPcFloat24,
         [](auto& b, auto& at, bool be) { PutF64(b, at.channelHeader[1] + 16, 100, be); }, shortFile},
        {"samples cut", FixtureLayout::KovMac, [](auto& b, auto&, bool) { b.resize(b.size() - 1); }, shortFile},
        {"frames cut", FixtureLayout::KovPcFloat24, [](auto& b, auto&, bool) { b.resize(b.size() - 4); }, shortFile},
        {"type string without NUL", FixtureLayout::KovPcFloat24,
         [](auto& b, auto&, bool) { std::memset(&b[0], 'K', 32); }, nullptr},
        {"type string runs into the count", FixtureLayout::KovPc,
         [](auto& b, auto&, bool) { std::memcpy(&b[0], "KOV_PCKOV_PCKOV_PCKOV_PCKOV_PCKO", 32); }, nullptr},
    };

    // A loaded document that every failed open must leave alone.
    FixtureFile good;
    good.layout = FixtureLayout::KovPcFloat24;
    good.channels = {test::RampChannel("kept", 11025.0, 50, 1.0f, 1.0f)};
    const std::string goodPath = Write(good, "good.vcm");
    ASSERT_TRUE(doc->OnOpenDocument(goodPath));
    doc->SetModifiedFlag(true);

    for (const Corruption& c : cases) {
        SCOPED_TRACE(c.name);
        const FixtureFile f = TwoChannelFile(c.layout);
        std::string bytes = test::BuildNativeFixture(f);
        c.apply(bytes, test::NativeFixtureOffsets(f), c.layout == FixtureLayout::KovMac);
        const std::string path = WriteBytes(bytes);

        std::unique_ptr<LoadTarget> target;
        prompts.messages.clear();
        EXPECT_EQ(Read(SlotOf(c.layout), path, target), kReaderNotMine);
        EXPECT_TRUE(prompts.messages.empty()) << "the reason goes with the refusal";
        EXPECT_EQ(target->Refusal(), c.message ? c.message : "");

        // Through the whole reader order: nothing is taken, and a file of a
        // known layout is refused with its reason, not offered as a generic
        // file.
        bool opened = true;
        EXPECT_EQ(test::GenericOffersOpening(*doc, path, opened), c.message ? 0 : 1);
        EXPECT_FALSE(opened);
        if (c.message) {
            ASSERT_EQ(prompts.messages.size(), 1u);
            EXPECT_EQ(prompts.LastMessage(), std::string(kFailedToOpenDocument) + "\n\n" + c.message);
        }
        EXPECT_EQ(doc->GetPathName(), goodPath);
        EXPECT_EQ(doc->GetChannelCount(), 1);
        EXPECT_EQ(doc->GetFileTypeCode(), kFileTypeNativeFloat24);
        EXPECT_EQ(doc->Channel(0).name, "kept");
        EXPECT_EQ(doc->Channel(0).samples[49], 50.0f);
        EXPECT_TRUE(doc->IsModified());
        EXPECT_TRUE(ScratchFiles().empty());
    }
}

TEST_F(NativeReadersTest, RatesAndDurationsThatNoRecordingCanHaveAreRefusedWithTheirReason) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* name;
        FixtureLayout layout;
        std::optional<double> rate;      // written into channel 2 (every channel of a frame file)
        std::optional<double> duration;  // written into channel 2
        bool empty;                      // channel 2 has no samples
        const char* refusal;             // nullptr: loads
    };
    const Case cases[] = {
        {"rate NaN", FixtureLayout::KovPcFloat24, nan, {}, false, "Channel 1 of this file gives a sample rate of nan Hz"},
        {"rate 0", FixtureLayout::KovPcFloat, 0.0, {}, false, "Channel 2 of this file gives a sample rate of 0 Hz"},
        {"negative rate", FixtureLayout::KovMac, -8000.0, {}, false, "sample rate of -8000 Hz"},
        {"infinite rate", FixtureLayout::Usb2Float, inf, {}, false, "sample rate of inf Hz"},
        {"duration NaN", FixtureLayout::KovPc, {}, nan, false, "duration of nan ms"},
        {"negative duration", FixtureLayout::KovePc, {}, -5.0, false, "duration of -5 ms"},
        {"duration 0 with samples", FixtureLayout::KovPcFloat, {}, 0.0, false, "duration of 0 ms"},
        {"infinite duration", FixtureLayout::KovPcFloat24, {}, inf, false, "duration of inf ms"},
        {"empty channel of 0 ms", FixtureLayout::KovPcFloat, {}, 0.0, true, nullptr},
        // Rates that neither the analyses nor a WAV copy could carry.
        {"rate of 1e11 Hz", FixtureLayout::KovPc, 1e11, {}, false,
         "Channel 2 of this file gives a sample rate of 1e+11 Hz; Vocomet works with rates from 1 Hz to 50 MHz."},
        {"rate of 0.5 Hz", FixtureLayout::KovPcFloat24, 0.5, {}, false, "sample rate of 0.5 Hz"},
    };
    FixtureFile good;
    good.channels = {test::RampChannel("kept", 11025.0, 5, 1.0f, 1.0f)};
    const std::string goodPath = Write(good, "good.vcm");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(doc->OnOpenDocument(goodPath));
        FixtureFile f = TwoChannelFile(c.layout);
        if (c.empty) {
            f.channels[1].floats.clear();
            f.channels[1].shorts.clear();
        }
        std::string bytes = test::BuildNativeFixture(f);
        const test::FixtureOffsets at = test::NativeFixtureOffsets(f);
        const bool be = c.layout == FixtureLayout::KovMac;
        const bool frames = c.layout == FixtureLayout::KovPcFloat24 || c.layout == FixtureLayout::Usb2Float;
        if (c.rate) {
            PutF64(bytes, at.channelHeader[1] + 8, *c.rate, be);
            if (frames)
                PutF64(bytes, at.channelHeader[0] + 8, *c.rate, be);  // frame files share their rate
        }
        if (c.duration)
            PutF64(bytes, at.channelHeader[1] + 0, *c.duration, be);
        const std::string path = WriteBytes(bytes);

        std::unique_ptr<LoadTarget> target;
        prompts.messages.clear();
        const int result = Read(SlotOf(c.layout), path, target);
        EXPECT_TRUE(prompts.messages.empty());
        if (!c.refusal) {
            EXPECT_EQ(result, kReaderLoaded);
            ASSERT_TRUE(doc->OnOpenDocument(path));
            EXPECT_EQ(doc->Channel(1).sampleCount, 0.0);
            continue;
        }
        EXPECT_EQ(result, kReaderNotMine);
        EXPECT_FALSE(target->HasRecording());
        EXPECT_NE(target->Refusal().find(c.refusal), std::string::npos) << target->Refusal();

        EXPECT_FALSE(doc->OnOpenDocument(path));
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.LastMessage(), std::string(kFailedToOpenDocument) + "\n\n" + target->Refusal());
        EXPECT_EQ(doc->GetPathName(), goodPath);
        EXPECT_EQ(doc->Channel(0).name, "kept");
    }
}

// A two-channel "KOV_PC_FLOAT_24" file whose channel 0 claims durationMs.
FixtureFile LongRecording(double durationMs, int channels = 2) {
    FixtureFile f;
    f.layout = FixtureLayout::KovPcFloat24;
    for (int i = 0; i < channels; ++i) {
        FixtureChannel c = test::RampChannel("c" + std::to_string(i), 22050.0, 1000, 100.0f * i, 0.25f);
        c.duration = durationMs;
        c.channelNumber = 7 + i;  // frames follow the channel order, not these numbers
        f.channels.push_back(c);
    }
    return f;
}

TEST_F(NativeReadersTest, ThreeHundredSecondsAndMoreStayOnDisk) {
    ASSERT_TRUE(doc->OnOpenDocument(Write(LongRecording(299999.9), "short.vcm")));
    EXPECT_TRUE(doc->Channel(0).HasSamples());
    EXPECT_FALSE(doc->Channel(0).IsFileBacked());
    EXPECT_TRUE(ScratchFiles().empty());

    for (int channels : {2, 19}) {
        SCOPED_TRACE(channels);
        const FixtureFile f = LongRecording(300000.0, channels);
        ASSERT_TRUE(doc->OnOpenDocument(Write(f, "long.vcm")));
        // The scratch file of the recording this one replaced is gone.
        EXPECT_EQ(ScratchFiles(), std::vector<std::string>{doc->GetDataFilePath()});
        ASSERT_EQ(doc->GetChannelCount(), channels);
        EXPECT_EQ(doc->GetFileTypeCode(), kFileTypeNativeFloat24);
        const std::string scratch = doc->GetDataFilePath();
        EXPECT_EQ(fs::path(scratch).parent_path(), fs::path(dir));
        EXPECT_EQ(fs::path(scratch).filename().string().rfind("$$TempFile", 0), 0u);
        ASSERT_TRUE(doc->GetDataFile()->IsOpen());
        EXPECT_EQ(doc->GetDataFile()->GetLength(), 1000 * channels * 4);
        for (int ch = 0; ch < channels; ++ch) {
            const CChannels& c = doc->Channel(ch);
            EXPECT_TRUE(c.IsFileBacked());
            EXPECT_EQ(c.stride, channels);
            EXPECT_EQ(c.channelNumber, ch + 1);
            for (int k : {0, 500, 999}) {
                float v = 0;
                ASSERT_TRUE(c.ReadSample(k, v));
                EXPECT_EQ(v, Expected(f, ch, k));
            }
        }
    }
    // Closing the document removes the scratch file, never the user's file.
    doc.reset();
    EXPECT_TRUE(ScratchFiles().empty());
    EXPECT_TRUE(fs::exists(fs::path(dir) / "long.vcm"));
}

// ---- min/max summaries made by the load ---------------------------------------------------

// The summary a channel carries equals the one made from its samples.
void ExpectSummaryOf(const CChannels& ch, const std::vector<float>& samples) {
    ASSERT_NE(ch.samplesSummary, nullptr);
    const SampleSummary want = SampleSummary::FromSamples(samples);
    const SampleSummary& got = *ch.samplesSummary;
    EXPECT_EQ(got.SampleCount(), want.SampleCount());
    for (int level = 0; level < SampleSummary::LevelCount(); ++level) {
        EXPECT_EQ(got.GetLevel(level).min, want.GetLevel(level).min) << "level " << level;
        EXPECT_EQ(got.GetLevel(level).max, want.GetLevel(level).max) << "level " << level;
    }
}

// Column c of a file of frames of n little-endian floats.
std::vector<float> Column(const std::string& frames, int n, int c) {
    std::vector<float> v(frames.size() / 4 / static_cast<std::size_t>(n));
    const auto* p = reinterpret_cast<const std::uint8_t*>(frames.data());
    for (std::size_t k = 0; k < v.size(); ++k)
        v[k] = platform::GetF32LE(p + 4 * (k * static_cast<std::size_t>(n) + static_cast<std::size_t>(c)));
    return v;
}

// Values that rise and fall, differ between channels and include the
// extremes of 16-bit samples, over counts that leave every level of the
// summary a partial last block.
FixtureFile SummaryFixture(FixtureLayout layout, int channels, int count, double durationMs = 0.0) {
    FixtureFile f;
    f.layout = layout;
    const bool frames = layout == FixtureLayout::KovPcFloat24 || layout == FixtureLayout::Usb2Float;
    for (int i = 0; i < channels; ++i) {
        // Per-channel layouts give each channel a count of its own.
        const int n = frames ? count : count - 37 * i;
        FixtureChannel c = test::RampChannel("ch" + std::to_string(i), 22050.0, n, 0.0f, 0.0f);
        c.duration = durationMs;
        c.floats.clear();
        for (int k = 0; k < n; ++k) {
            const int v = ((k * (7 + i) + 13 * i) % 4001) - 2000 + ((k % 997 == 0) ? 30000 : 0);
            if (IsInt16(layout))
                c.shorts.push_back(static_cast<std::int16_t>(k == 5 ? -32768 : k == 6 ? 32767 : v));
            else
                c.floats.push_back(static_cast<float>(v) / 1024.0f);
        }
        f.channels.push_back(c);
    }
    return f;
}

TEST_F(NativeReadersTest, LoadsIntoMemoryCarryTheSummaryOfEveryChannelsSamples) {
    struct Case {
        FixtureLayout layout;
        int channels, count;
    };
    std::vector<Case> cases;
    for (FixtureLayout layout : kAllLayouts)
        for (int channels : {1, 19})
            cases.push_back({layout, channels, 2 * 4096 + 3 * 32 + 5});
    // Frames in many pieces, read, spread and summarised on several threads.
    cases.push_back({FixtureLayout::KovPcFloat24, 19, 70001});
    cases.push_back({FixtureLayout::Usb2Float, 17, 70001});
    for (const auto& [layout, channels, count] : cases) {
        SCOPED_TRACE(std::string(test::FixtureTypeString(layout)) + " " + std::to_string(channels) + " x " +
                     std::to_string(count));
        const FixtureFile f = SummaryFixture(layout, channels, count);
        ASSERT_TRUE(doc->OnOpenDocument(Write(f)));
        ASSERT_EQ(doc->GetChannelCount(), channels);
        for (int c = 0; c < channels; ++c) {
            SCOPED_TRACE(c);
            const CChannels& ch = doc->Channel(c);
            ASSERT_TRUE(ch.HasSamples());
            const auto n = static_cast<std::size_t>(ch.ReadableCount());
            ASSERT_EQ(n, IsInt16(layout) ? f.channels[static_cast<std::size_t>(c)].shorts.size()
                                         : f.channels[static_cast<std::size_t>(c)].floats.size());
            const std::vector<float> samples(ch.samples.data(), ch.samples.data() + n);
            std::size_t wrong = 0;
            for (std::size_t k = 0; k < n; ++k)
                wrong += samples[k] != Expected(f, c, static_cast<int>(k));
            EXPECT_EQ(wrong, 0u);
            ExpectSummaryOf(ch, samples);
        }
    }
}

TEST_F(NativeReadersTest, TheScratchCopyHoldsTheFramesAsTheyAreAndEveryColumnsSummary) {
    const int count = 4096 + 32 + 7;
    for (int channels : {1, 16, 19}) {
        SCOPED_TRACE(channels);
        const FixtureFile f = SummaryFixture(FixtureLayout::KovPcFloat24, channels, count, 300000.0);
        const std::string path = Write(f, "long.vcm");
        ASSERT_TRUE(doc->OnOpenDocument(path));
        ASSERT_TRUE(doc->Channel(channels - 1).IsFileBacked());
        // The data file is the source's frames, byte for byte, once the
        // system's copy has ended.
        ASSERT_TRUE(doc->GetDataFile()->WaitForBackgroundFill());
        const std::string frames = test::ReadAll(doc->GetDataFilePath());
        const std::string source = test::ReadAll(path);
        const auto at = static_cast<std::size_t>(test::NativeFixtureOffsets(f).frames);
        ASSERT_EQ(source.size() - at, frames.size());
        EXPECT_TRUE(source.compare(at, std::string::npos, frames) == 0);
        for (int c = 0; c < channels; ++c) {
            SCOPED_TRACE(c);
            const std::vector<float> column = Column(frames, channels, c);
            ASSERT_EQ(column.size(), static_cast<std::size_t>(count));
            ExpectSummaryOf(doc->Channel(c), column);
        }
    }
}

TEST_F(NativeReadersTest, CancellingTheScratchCopyEndsTheOpenAndLeavesNoScratchFile) {
    FixtureFile good;
    good.channels = {test::RampChannel("kept", 11025.0, 5, 1.0f, 1.0f)};
    ASSERT_TRUE(doc->OnOpenDocument(Write(good, "good.vcm")));

    std::vector<std::string> texts;
    doc->SetProgressFactory([&texts] { return std::make_unique<test::RecordingProgress>(texts, true); });
    const std::string path = Write(LongRecording(600000.0), "long.vcm");
    std::unique_ptr<LoadTarget> target;
    EXPECT_EQ(Read(ReaderSlot::ReadKovPcFloat24File, path, target), kReaderEndOpen);
    EXPECT_EQ(texts, std::vector<std::string>{"Reading: long.vcm"});
    EXPECT_TRUE(ScratchFiles().empty());

    EXPECT_FALSE(doc->OnOpenDocument(path));
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(ScratchFiles().empty());
    EXPECT_EQ(doc->GetChannelCount(), 1);
    EXPECT_EQ(doc->Channel(0).name, "kept");
}

TEST_F(NativeReadersTest, ScratchFileThatCannotBeCreatedIsReported) {
    app.tempFolder = (fs::path(dir) / "missing" / "folder").string();
    std::unique_ptr<LoadTarget> target;
    EXPECT_EQ(Read(ReaderSlot::ReadKovPcFloat24File, Write(LongRecording(300000.0)), target), kReaderNotMine);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_NE(target->Refusal(), "");
}

TEST(NativeFormatTest, LabelRecordDecodesEveryField) {
    // Golden bytes of one record, little-endian.
    std::uint8_t b[368] = {};
    platform::PutF64LE(b + 0, 12.5);
    platform::PutF64LE(b + 8, 0.75);
    platform::PutI32LE(b + 16, 2);
    platform::PutI32LE(b + 20, 1);
    platform::PutI32LE(b + 24, -1);
    platform::PutI32LE(b + 28, 2);
    platform::PutI32LE(b + 32, 3);
    platform::PutI32LE(b + 36, 4);
    platform::PutI32LE(b + 40, 10);
    platform::PutI32LE(b + 44, 0x120);
    platform::PutI32LE(b + 48, 30);
    platform::PutI32LE(b + 52, -11);
    std::memcpy(b + 80, "Tahoma", 6);
    std::memset(b + 112, 'x', 256);  // no NUL: the record ends the text
    const LABEL l = NativeLabelRecord::Decode(platform::ByteView(b, sizeof b), false).ToLabel();
    EXPECT_EQ(l.time, 12.5);
    EXPECT_EQ(l.relativeHeight, 0.75);
    EXPECT_EQ(l.anchoring, 2);
    EXPECT_EQ(l.markerLine, 1);
    EXPECT_EQ(l.rect, (platform::Rect{-1, 2, 3, 4}));
    EXPECT_EQ(l.colour, platform::Rgb(10, 0x20, 30));
    EXPECT_EQ(l.font.height, -11);
    EXPECT_EQ(l.font.faceName, "Tahoma");
    EXPECT_EQ(l.Text(), std::string(255, 'x'));
}

}  // namespace
}  // namespace vocomet
