#include "core/AiffFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ForeignFileTest.h"
#include "core/COrielDoc.h"
#include "platform/ByteCodec.h"

namespace vocomet {
namespace {

using test::Be16;
using test::Be32;

class AiffFileTest : public test::ForeignFileTest {
protected:
    int Read(const std::string& path, std::unique_ptr<LoadTarget>& target) {
        return ReadDirect(ReadAiffFile, path, target);
    }
};

// ---- files made by sox ------------------------------------------------------------------

TEST_F(AiffFileTest, FilesMadeBySoxLoadTheChosenChannelSampleForSample) {
    if (!test::HaveSox())
        GTEST_SKIP() << "sox is not installed";
    const struct {
        const char* name;
        const char* soxOutput;
        int channels;
        int rate;
        int bits;
        int chosen;
        float tolerance;  // sox keeps 25 bits of a 32-bit integer
    } cases[] = {
        {"s8_mono.aiff", "-t aiff -b 8", 1, 8000, 8, 0, 0.0f},
        {"s16_mono.aiff", "-t aiff -b 16", 1, 22050, 16, 0, 0.0f},
        {"s24_mono.aiff", "-t aiff -b 24", 1, 44100, 24, 0, 0.0f},
        {"s32_mono.aiff", "-t aiff -b 32", 1, 16000, 32, 0, 0x1p-24f},
        {"s16_stereo_second.aiff", "-t aiff -b 16", 2, 11025, 16, 1, 0.0f},
        {"s24_stereo_first.aiff", "-t aiff -b 24", 2, 8000, 24, 0, 0.0f},
        {"s16_stereo_none.aifc", "-t aifc -b 16", 2, 16000, 16, 1, 0.0f},
        {"s16_twelve_channels.aiff", "-t aiff -b 16", 12, 8000, 16, 11, 0.0f},
        // More channels than a document holds: only the picked one is read.
        {"s16_24_channels.aiff", "-t aiff -b 16", 24, 8000, 16, 22, 0.0f},
    };
    std::vector<int> asked;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = PathIn(c.name);
        std::ostringstream cmd;
        cmd << "sox -V1 -n -r " << c.rate << " -c " << c.channels << " " << c.soxOutput << " '" << path
            << "' synth 0.03 sine 300 noise sawtooth 120 square 77 vol 0.8";
        Run(cmd.str());
        asked.clear();
        const int chosen = c.chosen;
        doc->Hooks().chooseFileChannel = [&asked, chosen](int count) -> std::optional<int> {
            asked.push_back(count);
            return chosen;
        };
        prompts.messages.clear();
        doc->SetModifiedFlag(true);
        ASSERT_TRUE(doc->OnOpenDocument(path));
        EXPECT_TRUE(prompts.messages.empty());
        // Only a file of several channels asks which one.
        EXPECT_EQ(asked, c.channels > 1 ? std::vector<int>{c.channels} : std::vector<int>{});
        EXPECT_EQ(doc->GetChannelCount(), 1);
        EXPECT_EQ(doc->GetFileTypeCode(), kFileTypeAiff);
        EXPECT_EQ(doc->GetSaveAsRequired(), 1);
        EXPECT_FALSE(doc->IsModified());
        ExpectChannelEquals(0, SoxFloats(path), c.channels, c.chosen, c.tolerance);
        const CChannels& ch = doc->Channel(0);
        EXPECT_EQ(ch.rate, c.rate);
        EXPECT_EQ(ch.bits, c.bits);
        EXPECT_EQ(ch.name, "");
        EXPECT_EQ(ch.channelNumber, 1);
        EXPECT_EQ(ch.audioFlag, 1);
        EXPECT_EQ(ch.timeReference, 1);
        EXPECT_EQ(ch.unit, "normalized");
        EXPECT_EQ(ch.calC, 1.0);
        EXPECT_EQ(ch.gain, 1.0);
        EXPECT_EQ(ch.scaleMode, 3);
        EXPECT_EQ(ch.filterRate, c.rate / 2.0);
        EXPECT_EQ(ch.shownEnd, ch.sampleCount);
        EXPECT_EQ(ch.prevWindowEnd, ch.sampleCount);
        EXPECT_DOUBLE_EQ(ch.duration, ch.sampleCount * 1000.0 / c.rate);
        EXPECT_EQ(doc->settings.sampleRate, c.rate);
    }
}

TEST_F(AiffFileTest, CompressedAifcIsRefusedByNameAndTheDocumentStays) {
    if (!test::HaveSox())
        GTEST_SKIP() << "sox is not installed";
    const std::string good = PathIn("good.aiff");
    Run("sox -V1 -n -r 8000 -c 1 -t aiff -b 16 '" + good + "' synth 0.01 sine 100");
    ASSERT_TRUE(doc->OnOpenDocument(good));
    const std::string path = PathIn("float.aifc");
    Run("sox -V1 -n -r 8000 -c 1 -t aifc -e floating-point -b 32 '" + path + "' synth 0.01 sine 100");
    std::unique_ptr<LoadTarget> target;
    EXPECT_EQ(Read(path, target), kReaderNotMine);
    EXPECT_FALSE(target->HasRecording());
    EXPECT_NE(target->Refusal().find("'fl32'"), std::string::npos) << target->Refusal();
    ExpectOpenRefused(path, target->Refusal());
}

TEST_F(AiffFileTest, CancellingTheChannelChoiceEndsTheOpenAndTheDocumentStays) {
    if (!test::HaveSox())
        GTEST_SKIP() << "sox is not installed";
    const std::string mono = PathIn("mono.aiff");
    Run("sox -V1 -n -r 8000 -c 1 -t aiff -b 16 '" + mono + "' synth 0.01 sine 100");
    ASSERT_TRUE(doc->OnOpenDocument(mono));
    const std::string stereo = PathIn("stereo.aiff");
    Run("sox -V1 -n -r 8000 -c 2 -t aiff -b 16 '" + stereo + "' synth 0.01 sine 100 sine 200");

    doc->Hooks().chooseFileChannel = [](int) -> std::optional<int> { return std::nullopt; };
    std::unique_ptr<LoadTarget> target;
    EXPECT_EQ(Read(stereo, target), kReaderEndOpen);
    prompts.messages.clear();
    EXPECT_FALSE(doc->OnOpenDocument(stereo));
    EXPECT_TRUE(prompts.messages.empty()) << "a cancel says nothing";
    EXPECT_EQ(doc->GetPathName(), mono);

    // No dialog to ask with: the first channel.
    doc->Hooks().chooseFileChannel = nullptr;
    ASSERT_TRUE(doc->OnOpenDocument(stereo));
    ExpectChannelEquals(0, SoxFloats(stereo), 2, 0);
}

TEST_F(AiffFileTest, AFileCutShortOpensWithTheFramesItHoldsAsSoxReadsThem) {
    if (!test::HaveSox())
        GTEST_SKIP() << "sox is not installed";
    const std::string whole = PathIn("whole.aiff");
    Run("sox -V1 -n -r 8000 -c 2 -t aiff -b 16 '" + whole + "' synth 0.03 sine 300 noise");
    const std::string bytes = test::ReadAll(whole);
    const std::size_t frames = bytes.find("SSND") + 16;  // 240 frames of 4 bytes follow
    ASSERT_GT(frames, 16u);
    for (const std::size_t cut : {frames + 4 * 4, frames + 100 * 4 + 3, bytes.size() - 1}) {
        SCOPED_TRACE(cut);
        const std::string path = PathIn("cut.aiff");
        test::WriteAll(path, bytes.substr(0, cut));
        doc->Hooks().chooseFileChannel = [](int) -> std::optional<int> { return 1; };
        prompts.messages.clear();
        ASSERT_TRUE(doc->OnOpenDocument(path));
        EXPECT_TRUE(prompts.messages.empty()) << prompts.LastMessage();
        EXPECT_EQ(doc->Channel(0).sampleCount, static_cast<double>((cut - frames) / 4));
        ExpectChannelEquals(0, SoxFloats(path), 2, 1);
    }
}

// ---- the 80-bit rate --------------------------------------------------------------------

TEST(ExtendedToDoubleTest, DecodesTheCommRate) {
    const struct {
        std::uint8_t bytes[10];
        double value;
    } cases[] = {
        {{0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}, 44100.0},
        {{0x40, 0x0B, 0xFA, 0x00, 0, 0, 0, 0, 0, 0}, 8000.0},
        {{0xC0, 0x0B, 0xFA, 0x00, 0, 0, 0, 0, 0, 0}, -8000.0},
        {{0x3F, 0xFF, 0x80, 0x00, 0, 0, 0, 0, 0, 0}, 1.0},
        // The low mantissa counts: 1 + 2^-63.
        {{0x40, 0x3E, 0x80, 0x00, 0, 0, 0, 0, 0, 1}, 0x1p63 + 1.0},
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0.0},
        {{0x7F, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}, std::numeric_limits<double>::infinity()},
        {{0xFF, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0, 0}, -std::numeric_limits<double>::infinity()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExtendedToDouble(c.bytes), c.value) << c.value;
    // Every rate a file may carry survives the round trip through the
    // writer of the byte codecs.
    for (double rate : {8000.0, 11025.0, 22050.0, 44100.0, 48000.0, 96000.0, 12345.678}) {
        std::uint8_t b[10];
        platform::PutExtended80BE(b, rate);
        EXPECT_EQ(ExtendedToDouble(b), rate);
    }
}

// ---- the chunk walk and the checks, on hand-made files -----------------------------------

std::string Chunk(const std::string& id, const std::string& body, std::int64_t claimed = -1) {
    std::string c = id + Be32(static_cast<std::uint32_t>(claimed < 0 ? static_cast<std::int64_t>(body.size()) : claimed)) + body;
    if (body.size() % 2)
        c += '\0';
    return c;
}
std::string Rate(double rate) {
    std::uint8_t b[10];
    platform::PutExtended80BE(b, rate);
    return std::string(reinterpret_cast<const char*>(b), 10);
}
std::string Comm(int channels, std::uint32_t frames, int bits, const std::string& rate,
                 const std::string& aifc = "") {
    return Chunk("COMM", Be16(static_cast<std::uint16_t>(channels)) + Be32(frames) +
                             Be16(static_cast<std::uint16_t>(bits)) + rate + aifc);
}
std::string Ssnd(const std::string& frames, std::uint32_t offset = 0) {
    return Chunk("SSND", Be32(offset) + Be32(0) + std::string(offset, '\x55') + frames);
}
std::string Form(const std::string& chunks, const char* type = "AIFF") {
    return "FORM" + Be32(static_cast<std::uint32_t>(chunks.size() + 4)) + type + chunks;
}
// 32 frames of 16-bit samples 0, 256, 512, ... (big-endian).
std::string Ramp16() {
    std::string s;
    for (int i = 0; i < 32; ++i)
        s += Be16(static_cast<std::uint16_t>(i * 256));
    return s;
}

TEST_F(AiffFileTest, ChunkWalkAndHeaderChecks) {
    const std::string r8000 = Rate(8000.0);
    const std::string comm = Comm(1, 32, 16, r8000);
    const std::string ssnd = Ssnd(Ramp16());
    std::string junk19;
    for (int i = 0; i < 18; ++i)
        junk19 += Chunk("ANNO", "x");
    struct Case {
        const char* name;
        std::string bytes;
        int result;
        double firstSample;   // when loaded (sample 1, as sample 0 is 0)
        const char* refusal;  // when refused: part of the reason (nullptr: not an AIFF, nothing to say)
        double frames = 32;   // when loaded: the frames of the ramp read
    };
    const Case cases[] = {
        {"plain", Form(comm + ssnd), kReaderLoaded, 256 / 32768.0, nullptr},
        {"odd comment and its pad byte first", Form(Chunk("COMT", "abc") + comm + ssnd), kReaderLoaded,
         256 / 32768.0, nullptr},
        {"chunks of unknown ids are skipped", Form(Chunk("ABCD", "12345") + comm + Chunk("wxyz", "") + ssnd),
         kReaderLoaded, 256 / 32768.0, nullptr},
        {"SSND offset applied", Form(comm + Ssnd(Ramp16(), 6)), kReaderLoaded, 256 / 32768.0, nullptr},
        {"sound data before COMM", Form(ssnd + comm), kReaderLoaded, 256 / 32768.0, nullptr},
        {"AIFC NONE", Form(Chunk("FVER", Be32(0xA2805140)) + Comm(1, 32, 16, r8000, "NONE\x0enot compressed") + ssnd, "AIFC"),
         kReaderLoaded, 256 / 32768.0, nullptr},
        {"12 bits in 16-bit containers", Form(Comm(1, 32, 12, r8000) + ssnd), kReaderLoaded, 256 / 32768.0, nullptr},
        {"SSND as the 21st chunk", Form(comm + junk19 + ssnd), kReaderNotMine, 0, "no sound data chunk (SSND)"},
        {"AIFC sowt", Form(Comm(1, 32, 16, r8000, "sowt") + ssnd, "AIFC"), kReaderNotMine, 0, "'sowt'"},
        {"AIFC COMM without compression type", Form(comm + ssnd, "AIFC"), kReaderNotMine, 0, "COMM chunk is too short"},
        {"no SSND", Form(comm + Chunk("ANNO", std::string(80, 'a'))), kReaderNotMine, 0, "no sound data chunk"},
        {"no COMM", Form(ssnd + Chunk("ANNO", std::string(20, 'a'))), kReaderNotMine, 0, "no COMM chunk"},
        {"COMM too short", Form(Chunk("COMM", std::string(10, '\1')) + ssnd), kReaderNotMine, 0, "too short"},
        {"no channels", Form(Comm(0, 32, 16, r8000) + ssnd), kReaderNotMine, 0, "declares 0 channels"},
        {"21 channels", Form(Comm(21, 1, 16, r8000) + ssnd), kReaderLoaded, 0, nullptr, 1},
        {"negative channels", Form(Comm(0xFFFF, 1, 16, r8000) + ssnd), kReaderNotMine, 0, "declares -1 channels"},
        {"0 bits", Form(Comm(1, 32, 0, r8000) + ssnd), kReaderNotMine, 0, "of 0 bits"},
        {"33 bits", Form(Comm(1, 8, 33, r8000) + ssnd), kReaderNotMine, 0, "of 33 bits"},
        {"rate 0", Form(Comm(1, 32, 16, Rate(0.0)) + ssnd), kReaderNotMine, 0, "sample rate"},
        {"negative rate", Form(Comm(1, 32, 16, Rate(-8000.0)) + ssnd), kReaderNotMine, 0, "sample rate"},
        {"infinite rate", Form(Comm(1, 32, 16, std::string("\x7f\xff", 2) + std::string(8, '\0')) + ssnd),
         kReaderNotMine, 0, "sample rate"},
        {"no frames", Form(Comm(1, 0, 16, r8000) + ssnd), kReaderNotMine, 0, "no sample frames"},
        // A file cut short gives the whole frames it holds, never more than
        // announced and never a block the size of a header's count.
        {"one frame too many", Form(Comm(1, 33, 16, r8000) + ssnd), kReaderLoaded, 256 / 32768.0, nullptr},
        {"huge frame count", Form(Comm(1, 0xFFFFFFFF, 16, r8000) + ssnd), kReaderLoaded, 256 / 32768.0, nullptr},
        {"cut inside the frames", Form(comm + ssnd).substr(0, 105), kReaderLoaded, 256 / 32768.0, nullptr, 25},
        {"cut before the first of 20 x 32-bit frames", Form(Comm(20, 0xFFFFFFFF, 32, r8000) + ssnd), kReaderNotMine,
         0, "ends before its first frame of 80 bytes"},
        {"SSND offset beyond the file", Form(comm + Chunk("SSND", Be32(0x7FFFFFFF) + Be32(0) + Ramp16())),
         kReaderNotMine, 0, "ends before its first frame"},
        {"huge chunk size", Form(Chunk("ANNO", "", 0xFFFFFFF0) + comm + ssnd), kReaderNotMine, 0, "no COMM chunk"},
        {"another form type", Form(comm + ssnd, "8SVX"), kReaderNotMine, 0, nullptr},
        {"100 bytes", Form(comm + ssnd).substr(0, 100), kReaderNotMine, 0, "its 100 bytes cannot hold a recording"},
        {"12 bytes", Form(comm + ssnd).substr(0, 12), kReaderNotMine, 0, "its 12 bytes"},
        {"11 bytes", Form(comm + ssnd).substr(0, 11), kReaderNotMine, 0, nullptr},
        // Rates that neither the analyses nor a WAV copy could carry.
        {"rate of 3.6e-15 Hz", Form(Comm(1, 32, 16, Rate(3.6e-15)) + ssnd), kReaderNotMine, 0, "3.6e-15 Hz"},
        {"rate of 1e77 Hz", Form(Comm(1, 32, 16, Rate(1e77)) + ssnd), kReaderNotMine, 0, "1e+77 Hz"},
        {"rate just above 50 MHz", Form(Comm(1, 32, 16, Rate(50e6 + 1)) + ssnd), kReaderNotMine, 0, "50000001 Hz"},
        {"rate of 50 MHz", Form(Comm(1, 32, 16, Rate(50e6)) + ssnd), kReaderLoaded, 256 / 32768.0, nullptr},
        {"rate of 1 Hz", Form(Comm(1, 32, 16, Rate(1.0)) + ssnd), kReaderLoaded, 256 / 32768.0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = PathIn("hand.aiff");
        test::WriteAll(path, c.bytes);
        std::unique_ptr<LoadTarget> target;
        EXPECT_EQ(Read(path, target), c.result);
        if (c.result == kReaderLoaded) {
            const CChannels& ch = target->Recording().channels[0];
            ASSERT_EQ(ch.sampleCount, c.frames);
            EXPECT_EQ(ch.samples.size(), static_cast<std::size_t>(c.frames));
            EXPECT_DOUBLE_EQ(ch.duration, c.frames * 1000.0 / ch.rate);
            EXPECT_EQ(ch.samples[0], 0.0f);
            if (c.frames > 1) {
                EXPECT_EQ(ch.samples[1], static_cast<float>(c.firstSample));
                const auto last = static_cast<std::size_t>(c.frames) - 1;
                EXPECT_EQ(ch.samples[last], static_cast<float>(last) * 256 / 32768.0f);
            }
            EXPECT_EQ(target->Refusal(), "");
        } else {
            EXPECT_FALSE(target->HasRecording()) << "nothing is made for a refused file";
            if (c.refusal) {
                EXPECT_NE(target->Refusal().find(c.refusal), std::string::npos) << target->Refusal();
            } else {
                EXPECT_EQ(target->Refusal(), "");
            }
        }
    }
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(AiffFileTest, EightBitSamplesAreSignedAndARefusalLeavesTheDocument) {
    std::string frames;
    for (int i = 0; i < 128; ++i)
        frames += static_cast<char>(i * 2);  // 0, 2, ..., 126, -128, ..., -2
    const std::string path = PathIn("s8.aiff");
    test::WriteAll(path, Form(Comm(1, 128, 8, Rate(11025.0)) + Ssnd(frames)));
    ASSERT_TRUE(doc->OnOpenDocument(path));
    const CChannels& ch = doc->Channel(0);
    ASSERT_EQ(ch.sampleCount, 128.0);
    EXPECT_EQ(ch.samples[63], 126 / 128.0f);
    EXPECT_EQ(ch.samples[64], -1.0f);
    EXPECT_EQ(ch.samples[127], -2 / 128.0f);
    EXPECT_EQ(ch.bits, 8);

    const std::string bad = PathIn("bad.aiff");
    test::WriteAll(bad, Form(Comm(1, 128, 8, Rate(0.5)) + Ssnd(frames)));
    std::unique_ptr<LoadTarget> target;
    ASSERT_EQ(Read(bad, target), kReaderNotMine);
    ExpectOpenRefused(bad, target->Refusal());
    EXPECT_EQ(doc->Channel(0).samples[64], -1.0f);
}

}  // namespace
}  // namespace vocomet
