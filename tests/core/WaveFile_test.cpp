#include "core/WaveFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/DocumentEdits.h"
#include "core/SampleSummary.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"
#include "ForeignFileTest.h"
#include "support/DocumentFixture.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

namespace fs = std::filesystem;

class WaveFileTest : public test::ForeignFileTest {
protected:
    // Runs a tool; fails the test when it fails.
    void Run(const std::string& command) { ASSERT_EQ(test::RunCommand(command), 0) << command; }

    // What sox makes of a file: every sample as a float, frame by frame.
    std::vector<float> SoxFloats(const std::string& path) {
        const std::string raw = path + ".f32";
        EXPECT_EQ(test::RunCommand("sox -V1 '" + path + "' -t f32 '" + raw + "'"), 0);
        const std::string bytes = test::ReadAll(raw);
        std::vector<float> v(bytes.size() / 4);
        for (std::size_t i = 0; i < v.size(); ++i)
            v[i] = platform::GetF32LE(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 4 * i);
        return v;
    }

    // soxi's answer for one option (-c, -r, -s, -b, -e).
    std::string Soxi(const std::string& option, const std::string& path) {
        const std::string out = path + ".soxi";
        EXPECT_EQ(test::RunCommand("soxi " + option + " '" + path + "' > '" + out + "'"), 0);
        std::string text = test::ReadAll(out);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        return text;
    }

    // Every channel of the document equals sox's reading of the file.
    // tolerance: sox rounds 32-bit integers to 25 bits before it makes
    // floats of them; every other format must match exactly.
    void ExpectDocumentEqualsSox(const std::string& path, int channels, float tolerance = 0.0f) {
        const std::vector<float> frames = SoxFloats(path);
        ASSERT_EQ(doc->GetChannelCount(), channels);
        ASSERT_EQ(frames.size() % static_cast<std::size_t>(channels), 0u);
        const auto count = static_cast<std::int64_t>(frames.size() / static_cast<std::size_t>(channels));
        ASSERT_GT(count, 0);
        for (int c = 0; c < channels; ++c) {
            const CChannels& ch = doc->Channel(c);
            ASSERT_EQ(ch.sampleCount, static_cast<double>(count)) << "channel " << c;
            int mismatches = 0;
            for (std::int64_t k = 0; k < count && mismatches < 5; ++k) {
                float v = 0;
                ASSERT_TRUE(ch.ReadSample(k, v));
                const float expected = frames[static_cast<std::size_t>(k * channels + c)];
                if (!(std::fabs(v - expected) <= tolerance)) {
                    ++mismatches;
                    ADD_FAILURE() << "channel " << c << " sample " << k << ": " << v << " != " << expected;
                }
            }
        }
    }

    // Runs the WAV reader alone; the target keeps what it made and why it
    // refused.
    int ReadDirect(const std::string& path, std::unique_ptr<LoadTarget>& out) {
        platform::File file(path, platform::File::Mode::Read);
        out = std::make_unique<LoadTarget>([this] { return doc->NewStagingRecording(); });
        return ReadWaveFile(*doc, file, *out);
    }

    // The bytes of the document's data file as its channels read them.
    std::string DataFileBytes() {
        const platform::File& data = *doc->GetDataFile();
        std::string bytes(static_cast<std::size_t>(data.GetLength()), '\0');
        EXPECT_EQ(data.ReadAt(0, bytes.data(), bytes.size()), bytes.size());
        return bytes;
    }
};

bool HaveSox() { return test::HaveTool("sox") && test::HaveTool("soxi"); }

// ---- bytes of hand-made files -----------------------------------------------------------

std::string Le16(std::uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string Le32(std::uint32_t v) { return Le16(static_cast<std::uint16_t>(v & 0xFFFF)) + Le16(static_cast<std::uint16_t>(v >> 16)); }
std::string Chunk(const std::string& id, const std::string& body, std::uint32_t claimed = 0xFFFFFFFF) {
    std::string c = id + Le32(claimed == 0xFFFFFFFF ? static_cast<std::uint32_t>(body.size()) : claimed) + body;
    if (body.size() % 2)
        c += '\0';
    return c;
}
std::string Fmt(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t align,
                std::uint16_t bits, std::size_t bodySize = 16) {
    std::string body = Le16(tag) + Le16(channels) + Le32(rate) + Le32(rate * align) + Le16(align) + Le16(bits);
    body.resize(bodySize, '\0');
    return Chunk("fmt ", body);
}
std::string Riff(const std::string& chunks, const char* riff = "RIFF", const char* form = "WAVE") {
    return std::string(riff) + Le32(static_cast<std::uint32_t>(chunks.size() + 4)) + form + chunks;
}
std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values)
        s += static_cast<char>(v);
    return s;
}

// ---- files made by other programs ----------------------------------------------------------

struct ToolCase {
    const char* name;
    const char* soxOutput;  // sox options of the output file
    int channels;
    int rate;
    int bits;
    float tolerance = 0.0f;  // see ExpectDocumentEqualsSox
};

TEST_F(WaveFileTest, FilesMadeBySoxLoadSampleForSample) {
    if (!HaveSox())
        GTEST_SKIP() << "sox is not installed";
    const ToolCase cases[] = {
        {"u8_mono", "-t wavpcm -e unsigned-integer -b 8", 1, 8000, 8},
        {"s16_stereo", "-t wavpcm -e signed-integer -b 16", 2, 22050, 16},
        {"s24_stereo", "-t wavpcm -e signed-integer -b 24", 2, 44100, 24},
        {"s32_mono", "-t wavpcm -e signed-integer -b 32", 1, 16000, 32, 0x1p-24f},
        {"f32_stereo_with_fact", "-t wav -e floating-point -b 32", 2, 11025, 32},
        {"mulaw_mono", "-t wav -e mu-law", 1, 8000, 8},
        {"s16_six_channels", "-t wavpcm -e signed-integer -b 16", 6, 16000, 16},
        {"f32_twenty_channels", "-t wavpcm -e floating-point -b 32", 20, 8000, 32},
        // More than two channels or wider samples: sox writes the extensible header.
        {"s24_four_channels_extensible", "-t wav -e signed-integer -b 24", 4, 16000, 24},
        {"s16_three_channels_extensible", "-t wav -e signed-integer -b 16", 3, 11025, 16},
        {"s32_stereo_extensible", "-t wav -e signed-integer -b 32", 2, 8000, 32, 0x1p-24f},
    };
    for (const ToolCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = PathIn(std::string(c.name) + ".wav");
        std::ostringstream cmd;
        cmd << "sox -V1 -n -r " << c.rate << " -c " << c.channels << " " << c.soxOutput << " '" << path
            << "' synth 0.03 sine 300 noise sawtooth 120 square 77 vol 0.8";
        Run(cmd.str());
        if (std::string(c.name).find("extensible") != std::string::npos) {
            const std::string head = test::ReadAll(path).substr(0, 22);
            ASSERT_EQ(head.substr(20, 2), "\xFE\xFF") << "sox wrote no extensible header";
        }
        prompts.messages.clear();
        doc->SetModifiedFlag(true);
        ASSERT_TRUE(doc->OnOpenDocument(path));
        EXPECT_TRUE(prompts.messages.empty());
        EXPECT_EQ(doc->GetFileTypeCode(), kFileTypeWave);
        EXPECT_FALSE(doc->IsModified());
        ExpectDocumentEqualsSox(path, c.channels, c.tolerance);
        for (int ch = 0; ch < c.channels; ++ch) {
            const CChannels& channel = doc->Channel(ch);
            EXPECT_TRUE(channel.HasSamples());
            EXPECT_EQ(channel.rate, c.rate);
            EXPECT_EQ(channel.bits, c.bits);
            EXPECT_EQ(channel.name, "Chan  " + std::to_string(ch + 1));
            EXPECT_EQ(channel.channelNumber, ch + 1);
            EXPECT_EQ(channel.audioFlag, ch == 0 ? 1 : 0);
            EXPECT_EQ(channel.timeReference, ch == 0 ? 1 : 0);
            EXPECT_EQ(channel.unit, "normalized");
            EXPECT_EQ(channel.calC, 1.0);
            EXPECT_EQ(channel.filterRate, c.rate / 2.0);
            EXPECT_EQ(channel.scaleMode, 3);
            EXPECT_EQ(channel.shownEnd, channel.sampleCount);
            EXPECT_DOUBLE_EQ(channel.duration, channel.sampleCount * 1000.0 / c.rate);
        }
    }
}

TEST_F(WaveFileTest, EspeakStreamWithPlaceholderSizeLoadsToTheEndOfTheFile) {
    if (!HaveSox() || !test::HaveTool("espeak-ng"))
        GTEST_SKIP() << "espeak-ng or sox is not installed";
    const std::string path = PathIn("espeak.wav");
    Run("espeak-ng --stdout 'one two' > '" + path + "'");
    // The stream's sizes are placeholders far beyond the file.
    const std::string bytes = test::ReadAll(path);
    ASSERT_GT(bytes.size(), 44u);
    ASSERT_GT(platform::GetU32LE(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 40), bytes.size());
    ASSERT_TRUE(doc->OnOpenDocument(path));
    EXPECT_EQ(doc->Channel(0).sampleCount, static_cast<double>((bytes.size() - 44) / 2));
    ExpectDocumentEqualsSox(path, 1);
}

TEST_F(WaveFileTest, PraatsOwnWaveLoads) {
    if (!HaveSox() || !test::HaveTool("praat"))
        GTEST_SKIP() << "praat or sox is not installed";
    const std::string path = PathIn("praat.wav");
    const std::string script = PathIn("make.praat");
    test::WriteAll(script, "Create Sound from formula: \"s\", 2, 0, 0.04, 16000, \"0.5*sin(2*pi*440*x) + 0.1*row\"\n"
                           "Save as WAV file: \"" + path + "\"\n");
    Run("praat --run '" + script + "' > /dev/null 2>&1");
    ASSERT_TRUE(doc->OnOpenDocument(path));
    EXPECT_EQ(doc->Channel(1).rate, 16000.0);
    ExpectDocumentEqualsSox(path, 2);
}

TEST_F(WaveFileTest, EncodingsThatCannotBeReadAreRefusedByName) {
    if (!HaveSox())
        GTEST_SKIP() << "sox is not installed";
    const struct {
        const char* name;
        const char* soxOutput;
        int channels;
        const char* encoding;
    } cases[] = {
        {"a_law", "-t wav -e a-law", 1, "A-law"},
        {"a_law_four_channels", "-t wav -e a-law", 4, "A-law"},
        {"float64", "-t wav -e floating-point -b 64", 1, "64-bit IEEE float"},
        {"ima_adpcm", "-t wav -e ima-adpcm", 1, "IMA ADPCM"},
    };
    // A loaded recording stays as it was.
    const std::string good = PathIn("good.wav");
    Run("sox -V1 -n -r 8000 -c 1 -t wavpcm -b 16 '" + good + "' synth 0.01 sine 100");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(doc->OnOpenDocument(good));
        const std::string path = PathIn(std::string(c.name) + ".wav");
        Run("sox -V1 -n -r 8000 -c " + std::to_string(c.channels) + " " + c.soxOutput + " '" + path +
            "' synth 0.01 sine 100");
        std::unique_ptr<LoadTarget> target;
        EXPECT_EQ(ReadDirect(path, target), kReaderNotMine);
        EXPECT_FALSE(target->HasRecording());
        EXPECT_NE(target->Refusal().find(c.encoding), std::string::npos) << target->Refusal();

        prompts.messages.clear();
        EXPECT_FALSE(doc->OnOpenDocument(path));
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.LastMessage(), std::string(kFailedToOpenDocument) + "\n\n" + target->Refusal());
        EXPECT_EQ(doc->GetPathName(), good);
        EXPECT_EQ(doc->GetChannelCount(), 1);
        EXPECT_EQ(doc->GetFileTypeCode(), kFileTypeWave);
        EXPECT_TRUE(ScratchFiles().empty());
    }
}

// ---- the chunk walk and the checks, on hand-made files ---------------------------------------

// A "fmt " chunk with the extensible header: the subformat GUID carries subTag.
std::string FmtExtensible(std::uint16_t subTag, std::uint16_t channels, std::uint32_t rate, std::uint16_t align,
                          std::uint16_t bits, std::uint16_t extraSize = 22) {
    std::string body = Le16(0xFFFE) + Le16(channels) + Le32(rate) + Le32(rate * align) + Le16(align) + Le16(bits) +
                       Le16(extraSize) + Le16(bits) + Le32(0) + Le16(subTag) +
                       Bytes({0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71});
    return Chunk("fmt ", body);
}

TEST_F(WaveFileTest, ChunkWalkAndFormatChecks) {
    const std::string pcm8 = Fmt(1, 1, 8000, 1, 8);
    const std::string data4 = Chunk("data", Bytes({0, 64, 128, 255}));
    struct Case {
        const char* name;
        std::string bytes;
        int result;
        double samples;       // when loaded
        const char* refusal;  // when refused: part of the reason (nullptr: not a WAV, nothing to say)
    };
    const Case cases[] = {
        {"plain", Riff(pcm8 + data4), kReaderLoaded, 4, nullptr},
        {"RIFF with another form type", Riff(pcm8 + data4, "RIFF", "AVI "), kReaderLoaded, 4, nullptr},
        {"WAVE without RIFF", Riff(pcm8 + data4, "RIFX", "WAVE"), kReaderLoaded, 4, nullptr},
        {"neither", Riff(pcm8 + data4, "RIFX", "AVI "), kReaderNotMine, 0, nullptr},
        {"odd chunk and its pad byte before data", Riff(pcm8 + Chunk("LIST", "abc") + data4), kReaderLoaded, 4,
         nullptr},
        {"data claims more than the file holds", Riff(pcm8 + Chunk("data", Bytes({1, 2, 3, 4, 5, 6}), 1000)),
         kReaderLoaded, 6, nullptr},
        {"fmt of 40 bytes", Riff(Fmt(1, 1, 8000, 1, 8, 40) + data4), kReaderLoaded, 4, nullptr},
        {"extensible PCM", Riff(FmtExtensible(1, 1, 8000, 1, 8) + data4), kReaderLoaded, 4, nullptr},
        {"extensible float", Riff(FmtExtensible(3, 1, 8000, 4, 32) + data4), kReaderLoaded, 1, nullptr},
        {"extensible A-law", Riff(FmtExtensible(6, 1, 8000, 1, 8) + data4), kReaderNotMine, 0,
         "A-law (extensible format)"},
        {"extensible 64-bit float", Riff(FmtExtensible(3, 1, 8000, 8, 64) + Chunk("data", std::string(8, '\0'))),
         kReaderNotMine, 0, "64-bit IEEE float"},
        {"extensible without its subformat", Riff(Fmt(0xFFFE, 1, 8000, 1, 8, 40) + data4), kReaderNotMine, 0,
         "extensible format without its subformat"},
        {"extensible with a foreign subformat", Riff(FmtExtensible(1, 1, 8000, 1, 8).replace(8 + 30, 1, "\x11") + data4),
         kReaderNotMine, 0, "subformat {00000001-0000-0011-8000-00AA00389B71}"},
        {"A-law", Riff(Fmt(6, 1, 8000, 1, 8) + data4), kReaderNotMine, 0, "A-law"},
        {"unknown tag", Riff(Fmt(0x1234, 1, 8000, 1, 8) + data4), kReaderNotMine, 0, "format tag 0x1234"},
        {"no data chunk", Riff(pcm8 + Chunk("LIST", "abcd")), kReaderNotMine, 0, "no data chunk"},
        {"nothing after the form type", Riff(""), kReaderNotMine, 0, "no data chunk"},
        {"format chunk of 0 bytes", Riff(Chunk("fmt ", pcm8.substr(8), 0) + data4), kReaderNotMine, 0,
         "format chunk of 0 bytes is too short"},
        {"format chunk of -1 bytes", Riff("fmt " + Le32(0xFFFFFFFF) + pcm8.substr(8) + data4), kReaderNotMine, 0,
         "format chunk of 4294967295 bytes runs past the end"},
        {"cut inside the format chunk", Riff(pcm8.substr(0, 18)), kReaderNotMine, 0,
         "format chunk of 16 bytes runs past the end"},
        {"damaged WAVE without RIFF", Riff("fmt " + Le32(0xFFFFFFFF) + pcm8.substr(8) + data4, "RIFX", "WAVE"),
         kReaderNotMine, 0, nullptr},
        {"data before fmt", Riff(data4 + pcm8), kReaderNotMine, 0, "no format chunk"},
        {"no channels", Riff(Fmt(1, 0, 8000, 1, 8) + data4), kReaderNotMine, 0, "no channels"},
        {"21 channels", Riff(Fmt(1, 21, 8000, 21, 8) + data4), kReaderNotMine, 0, "21 channels"},
        {"block alignment 0", Riff(Fmt(1, 1, 8000, 0, 8) + data4), kReaderNotMine, 0, "inconsistent"},
        {"frame smaller than its channels", Riff(Fmt(1, 2, 8000, 2, 16) + data4), kReaderNotMine, 0,
         "inconsistent"},
        {"rate 0", Riff(Fmt(1, 1, 0, 1, 8) + data4), kReaderNotMine, 0, "rate is 0"},
        // Rates that neither the analyses nor a WAV copy of 20 channels
        // could carry.
        {"rate of 4.29e9 Hz", Riff(Fmt(1, 1, 4294967295u, 1, 8) + data4), kReaderNotMine, 0, "4294967295 Hz"},
        {"rate just above 50 MHz", Riff(Fmt(1, 1, 50000001, 1, 8) + data4), kReaderNotMine, 0, "50000001 Hz"},
        {"rate of 50 MHz", Riff(Fmt(1, 1, 50000000, 1, 8) + data4), kReaderLoaded, 4, nullptr},
        {"PCM of 40 bits", Riff(Fmt(1, 1, 8000, 5, 40) + data4), kReaderNotMine, 0, "40-bit PCM"},
        {"cut inside the header", std::string("RIFF\x10\0\0\0WA", 10), kReaderNotMine, 0, nullptr},
        {"cut inside a chunk header", Riff(pcm8 + "da"), kReaderNotMine, 0, "ends inside a chunk header"},
        {"huge chunk size", Riff(Chunk("junk", "", 0xFFFFFFF0) + pcm8 + data4), kReaderNotMine, 0,
         "a chunk of 4294967280 bytes before its data runs past the end"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = PathIn("hand.wav");
        test::WriteAll(path, c.bytes);
        std::unique_ptr<LoadTarget> target;
        EXPECT_EQ(ReadDirect(path, target), c.result);
        if (c.result == kReaderLoaded) {
            EXPECT_EQ(target->Recording().channels[0].sampleCount, c.samples);
            EXPECT_EQ(target->Recording().fileTypeCode, kFileTypeWave);
            EXPECT_EQ(target->Refusal(), "");
        } else {
            EXPECT_FALSE(target->HasRecording()) << "nothing is made for a refused file";
            if (c.refusal) {
                EXPECT_NE(target->Refusal().find(c.refusal), std::string::npos) << target->Refusal();
                ExpectOpenRefused(path, target->Refusal());
            } else {
                EXPECT_EQ(target->Refusal(), "");
            }
        }
    }
}

TEST_F(WaveFileTest, AScratchFileThatCannotBeMadeRefusesTheOpenWithItsReason) {
    // 300 frames at 1 Hz: long enough to go to a scratch file.
    const std::string path = PathIn("long.wav");
    test::WriteAll(path, Riff(Fmt(1, 1, 1, 1, 8) + Chunk("data", std::string(300, '\x80'))));
    app.tempFolder = (fs::path(dir) / "missing" / "folder").string();
    std::unique_ptr<LoadTarget> target;
    EXPECT_EQ(ReadDirect(path, target), kReaderNotMine);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_NE(target->Refusal().find("missing/folder"), std::string::npos) << target->Refusal();
    // Each try names its own scratch file: the reason is the same but for it.
    bool opened = true;
    EXPECT_EQ(test::GenericOffersOpening(*doc, path, opened), 0);
    EXPECT_FALSE(opened);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.LastMessage().rfind(std::string(kFailedToOpenDocument) + "\n\n", 0), 0u);
    EXPECT_NE(prompts.LastMessage().find("missing/folder"), std::string::npos);
}

TEST_F(WaveFileTest, EightBitSamplesAreCentredOn128) {
    std::string data;
    for (int i = 0; i < 100; ++i)
        data += static_cast<char>(i * 2 + 28);
    const std::string path = PathIn("u8.wav");
    test::WriteAll(path, Riff(Fmt(1, 1, 8000, 1, 8) + Chunk("data", data)));
    ASSERT_TRUE(doc->OnOpenDocument(path));
    ASSERT_EQ(doc->GetChannelCount(), 1);
    ASSERT_EQ(doc->Channel(0).sampleCount, 100.0);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(doc->Channel(0).samples[static_cast<std::size_t>(i)], (i * 2 + 28 - 128) / 128.0f);
}

TEST_F(WaveFileTest, MuLawExpansionAgreesWithSoxForEveryByte) {
    EXPECT_EQ(MuLawToLinear(0x00), -32124);
    EXPECT_EQ(MuLawToLinear(0x80), 32124);
    EXPECT_EQ(MuLawToLinear(0xFF), 0);
    EXPECT_EQ(MuLawToLinear(0x7F), 0);
    if (!HaveSox())
        GTEST_SKIP() << "sox is not installed";
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string raw = PathIn("all.ul");
    test::WriteAll(raw, all);
    const std::string out = PathIn("all.f32");
    Run("sox -V1 -t ul -r 8000 -c 1 '" + raw + "' -t f32 '" + out + "'");
    const std::string bytes = test::ReadAll(out);
    ASSERT_EQ(bytes.size(), 256u * 4);
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(MuLawToLinear(static_cast<std::uint8_t>(b)) / 32768.0f,
                  platform::GetF32LE(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 4 * b))
            << "byte " << b;
}

// ---- long files: a scratch file of float frames -------------------------------------------------

TEST_F(WaveFileTest, ThreeHundredSecondsGoToAScratchFileAndShorterStaysInMemory) {
    if (!HaveSox())
        GTEST_SKIP() << "sox is not installed";
    // 100 Hz keeps five minutes small.
    const struct {
        const char* seconds;
        const char* encoding;
        bool fileBacked;
    } cases[] = {{"300", "-b 16", true}, {"299.99", "-b 16", false}, {"300", "-e floating-point -b 32", true}};
    for (const auto& [seconds, encoding, fileBacked] : cases) {
        SCOPED_TRACE(std::string(seconds) + " " + encoding);
        const std::string path = PathIn(std::string("long") + seconds + (encoding[1] == 'e' ? "f" : "") + ".wav");
        Run("sox -V1 -n -r 100 -c 3 -t wavpcm " + std::string(encoding) + " '" + path + "' synth " + seconds +
            " noise sine 7 square 3");
        std::vector<std::string> texts;
        doc->SetProgressFactory([&texts] { return std::make_unique<test::RecordingProgress>(texts, false); });
        ASSERT_TRUE(doc->OnOpenDocument(path));
        // Only the recording open now has a scratch file.
        EXPECT_EQ(ScratchFiles().size(), fileBacked ? 1u : 0u);
        EXPECT_EQ(doc->Channel(2).IsFileBacked(), fileBacked);
        EXPECT_EQ(doc->Channel(0).HasSamples(), !fileBacked);
        if (fileBacked) {
            EXPECT_EQ(texts, std::vector<std::string>{"Reading: " + fs::path(path).filename().string()});
            EXPECT_EQ(fs::path(doc->GetDataFilePath()).parent_path(), fs::path(dir));
            EXPECT_EQ(doc->GetDataFile()->GetLength(), 30000 * 3 * 4);
            EXPECT_EQ(doc->Channel(2).stride, 3);
        }
        ExpectDocumentEqualsSox(path, 3);
    }
}

TEST_F(WaveFileTest, AbortingALongLoadEndsTheOpenAndLeavesNoScratchFile) {
    // Converted samples, and float frames the system copies as they are.
    for (std::uint16_t tag : {std::uint16_t{1}, std::uint16_t{3}}) {
        SCOPED_TRACE(tag);
        const std::string path = PathIn("long.wav");
        const std::uint16_t bytes = tag == 1 ? 2 : 4;
        test::WriteAll(path, Riff(Fmt(tag, 1, 10, bytes, static_cast<std::uint16_t>(8 * bytes)) +
                                  Chunk("data", std::string(3000u * bytes, '\1'))));
        std::vector<std::string> texts;
        doc->SetProgressFactory([&texts] { return std::make_unique<test::RecordingProgress>(texts, true); });
        std::unique_ptr<LoadTarget> target;
        EXPECT_EQ(ReadDirect(path, target), kReaderEndOpen);
        EXPECT_FALSE(doc->OnOpenDocument(path));
        EXPECT_TRUE(ScratchFiles().empty());
        EXPECT_EQ(doc->GetChannelCount(), 0);
    }
}

// ---- conversion and min/max summaries, in memory and into a scratch file ------------------------

// A sample as the reader must load it, from its stored bytes.
float Reference(std::uint16_t tag, int bits, const std::uint8_t* p) {
    if (tag == 7)
        return static_cast<float>(MuLawToLinear(p[0]) / 32768.0);
    if (tag == 3)
        return platform::GetF32LE(p);
    switch (bits) {
    case 8: return static_cast<float>((p[0] - 128) / 128.0);
    case 16: return static_cast<float>(platform::GetI16LE(p) / 32768.0);
    case 24: return static_cast<float>(platform::GetI24LE(p) / 8388608.0);
    default: return static_cast<float>(platform::GetI32LE(p) / 2147483648.0);
    }
}

TEST_F(WaveFileTest, EveryEncodingConvertsExactlyAndCarriesEverySummaryInMemoryAndFromScratch) {
    struct Case {
        const char* name;
        std::uint16_t tag, bits;
        int pad;  // bytes after the samples of each frame
        int frames = 4096 + 32 + 3;
    };
    const Case cases[] = {
        {"8-bit", 1, 8, 0},         {"16-bit", 1, 16, 0},   {"24-bit", 1, 24, 0}, {"32-bit", 1, 32, 0},
        {"float", 3, 32, 0},        {"mu-law", 7, 8, 0},    {"16-bit in padded frames", 1, 16, 3},
        {"float in padded frames", 3, 32, 4},
        // Many pieces, read, decoded, spread and summarised on several
        // threads.
        {"16-bit, many pieces", 1, 16, 0, 120001},
        {"float in padded frames, many pieces", 3, 32, 4, 70001},
    };
    for (const Case& c : cases) {
        const int frames = c.frames;
        for (int channels : {1, 20}) {
            for (bool scratch : {false, true}) {
                SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(channels) + " channels" +
                             (scratch ? ", scratch file" : ", in memory"));
                const int bytes = c.bits / 8;
                const int align = channels * bytes + c.pad;
                // Bytes that reach every value of a sample, but floats stay finite.
                std::string data(static_cast<std::size_t>(frames) * align, '\0');
                std::uint32_t x = 7;
                for (std::size_t i = 0; i < data.size(); ++i) {
                    x = x * 1664525u + 1013904223u;
                    data[i] = static_cast<char>(x >> 24);
                }
                if (c.tag == 3) {
                    for (std::size_t f = 0; f < static_cast<std::size_t>(frames); ++f)
                        for (int ch = 0; ch < channels; ++ch)
                            platform::PutF32LE(reinterpret_cast<std::uint8_t*>(data.data()) + f * align + ch * 4,
                                               static_cast<float>(std::sin(0.01 * static_cast<double>(f) * (ch + 1)) *
                                                                  (ch + 1)));
                }
                // 13 Hz makes the frames last more than 300 s.
                const std::uint32_t rate = scratch ? 13 : 8000;
                const std::string path = PathIn("conv.wav");
                test::WriteAll(path, Riff(Fmt(c.tag, static_cast<std::uint16_t>(channels), rate,
                                              static_cast<std::uint16_t>(align), c.bits) +
                                          Chunk("data", data)));
                ASSERT_TRUE(doc->OnOpenDocument(path));
                ASSERT_EQ(doc->GetChannelCount(), channels);
                ASSERT_EQ(doc->Channel(0).IsFileBacked(), scratch);
                ASSERT_TRUE(doc->GetDataFile()->WaitForBackgroundFill());
                const std::string file = scratch ? DataFileBytes() : std::string();
                if (scratch) {
                    ASSERT_EQ(file.size(), static_cast<std::size_t>(frames) * channels * 4);
                }
                const auto* raw = reinterpret_cast<const std::uint8_t*>(data.data());
                for (int ch = 0; ch < channels; ++ch) {
                    SCOPED_TRACE(ch);
                    const CChannels& channel = doc->Channel(ch);
                    std::vector<float> loaded(static_cast<std::size_t>(frames));
                    for (int k = 0; k < frames; ++k) {
                        const std::size_t i = static_cast<std::size_t>(k);
                        loaded[i] = scratch ? platform::GetF32LE(reinterpret_cast<const std::uint8_t*>(file.data()) +
                                                                 4 * (i * channels + ch))
                                            : channel.samples[i];
                    }
                    std::size_t wrong = 0;
                    for (int k = 0; k < frames; ++k)
                        wrong += loaded[static_cast<std::size_t>(k)] !=
                                 Reference(c.tag, c.bits, raw + static_cast<std::size_t>(k) * align + ch * bytes);
                    EXPECT_EQ(wrong, 0u);
                    ASSERT_NE(channel.samplesSummary, nullptr);
                    const SampleSummary want = SampleSummary::FromSamples(loaded);
                    EXPECT_EQ(channel.samplesSummary->SampleCount(), frames);
                    for (int level = 0; level < SampleSummary::LevelCount(); ++level) {
                        EXPECT_EQ(channel.samplesSummary->GetLevel(level).min, want.GetLevel(level).min);
                        EXPECT_EQ(channel.samplesSummary->GetLevel(level).max, want.GetLevel(level).max);
                    }
                }
            }
        }
    }
}

// ---- long files read while their conversion runs, and float frames read in place ---------------

// frames frames of channels samples of the given stored form (each frame
// padded by pad bytes): bytes that reach every value, floats kept finite.
std::string MadeFrames(std::uint16_t tag, int bits, int channels, int pad, int frames) {
    const int bytes = bits / 8;
    const std::size_t align = static_cast<std::size_t>(channels * bytes + pad);
    std::string data(static_cast<std::size_t>(frames) * align, '\0');
    std::uint32_t x = 11;
    for (char& b : data) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<char>(x >> 24);
    }
    if (tag == 3)
        for (std::size_t f = 0; f < static_cast<std::size_t>(frames); ++f)
            for (int ch = 0; ch < channels; ++ch)
                platform::PutF32LE(reinterpret_cast<std::uint8_t*>(data.data()) + f * align + ch * 4,
                                   static_cast<float>(std::sin(0.001 * static_cast<double>(f) * (ch + 1)) * (ch + 1)));
    return data;
}

// The float frames a document's channels hold, as a data file holds them.
std::string FramesOf(COrielDoc& d, int channels, int frames) {
    std::string out(static_cast<std::size_t>(frames) * channels * 4, '\0');
    for (int c = 0; c < channels; ++c)
        for (int k = 0; k < frames; ++k) {
            float v = 0;
            EXPECT_TRUE(d.Channel(c).ReadSample(k, v));
            platform::PutF32LE(reinterpret_cast<std::uint8_t*>(out.data()) + 4 * (static_cast<std::size_t>(k) * channels + c), v);
        }
    return out;
}

void ExpectSameSummaries(const CChannels& a, const CChannels& b) {
    ASSERT_NE(a.samplesSummary, nullptr);
    ASSERT_NE(b.samplesSummary, nullptr);
    EXPECT_EQ(a.samplesSummary->SampleCount(), b.samplesSummary->SampleCount());
    for (int level = 0; level < SampleSummary::LevelCount(); ++level) {
        EXPECT_EQ(a.samplesSummary->GetLevel(level).min, b.samplesSummary->GetLevel(level).min);
        EXPECT_EQ(a.samplesSummary->GetLevel(level).max, b.samplesSummary->GetLevel(level).max);
    }
}

TEST_F(WaveFileTest, EveryRangeReadsAsInMemoryWhileTheConversionRuns) {
    struct Case {
        const char* name;
        std::uint16_t tag, bits;
        int pad;
    };
    const Case cases[] = {
        {"16-bit", 1, 16, 0}, {"24-bit", 1, 24, 0}, {"mu-law", 7, 8, 0}, {"float in padded frames", 3, 32, 4}};
    constexpr int kChannels = 6;
    constexpr int kFrames = 400001;  // 9.6 MB of float frames: the conversion takes a while
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string data = MadeFrames(c.tag, c.bits, kChannels, c.pad, kFrames);
        const auto align = static_cast<std::uint16_t>(kChannels * c.bits / 8 + c.pad);
        // The same frames at 8000 Hz load into memory, at 13 Hz stay on disk.
        const std::string memoryPath = PathIn("memory.wav");
        const std::string path = PathIn("long.wav");
        test::WriteAll(memoryPath, Riff(Fmt(c.tag, kChannels, 8000, align, c.bits) + Chunk("data", data)));
        test::WriteAll(path, Riff(Fmt(c.tag, kChannels, 13, align, c.bits) + Chunk("data", data)));
        ASSERT_TRUE(doc->OnOpenDocument(memoryPath));
        ASSERT_TRUE(doc->Channel(0).HasSamples());
        const std::string want = FramesOf(*doc, kChannels, kFrames);
        COrielDoc inMemory(app, prompts);
        ASSERT_TRUE(inMemory.OnOpenDocument(memoryPath));

        ASSERT_TRUE(doc->OnOpenDocument(path));
        ASSERT_TRUE(doc->Channel(kChannels - 1).IsFileBacked());
        const platform::File& data0 = *doc->GetDataFile();
        ASSERT_EQ(data0.GetLength(), static_cast<std::int64_t>(want.size()));
        // Readers on several threads at once, while the conversion goes on
        // front to back: byte ranges of the data file anywhere (the far end
        // first), channel samples anywhere, and one reader going through
        // the whole file in odd pieces.
        std::atomic<int> wrong{0};
        std::vector<std::thread> readers;
        for (int t = 0; t < 4; ++t) {
            readers.emplace_back([&, t] {
                std::uint32_t x = 97u + static_cast<std::uint32_t>(t);
                auto next = [&x](std::uint32_t below) {
                    x = x * 1664525u + 1013904223u;
                    return (x >> 8) % below;
                };
                if (t == 0) {
                    std::string piece(100003, '\0');
                    for (std::size_t at = 0; at < want.size(); at += piece.size()) {
                        const std::size_t n = std::min(piece.size(), want.size() - at);
                        if (data0.ReadAt(static_cast<std::int64_t>(at), piece.data(), n) != n ||
                            std::memcmp(piece.data(), want.data() + at, n) != 0)
                            ++wrong;
                    }
                    return;
                }
                std::string piece;
                for (int i = 0; i < 300; ++i) {
                    const std::size_t size = want.size();
                    // Half the ranges in the last tenth, well ahead of the conversion.
                    const std::size_t at = i % 2 ? size - 1 - next(static_cast<std::uint32_t>(size / 10))
                                                 : next(static_cast<std::uint32_t>(size));
                    const std::size_t n = std::min<std::size_t>(1 + next(70000), size - at);
                    piece.assign(n, '\0');
                    if (data0.ReadAt(static_cast<std::int64_t>(at), piece.data(), n) != n ||
                        std::memcmp(piece.data(), want.data() + at, n) != 0)
                        ++wrong;
                    const int ch = static_cast<int>(next(kChannels));
                    const std::int64_t k = kFrames - 1 - static_cast<std::int64_t>(next(kFrames));
                    float v = 0;
                    if (!doc->Channel(ch).ReadSample(k, v) || v != inMemory.Channel(ch).samples[static_cast<std::size_t>(k)])
                        ++wrong;
                }
            });
        }
        for (std::thread& r : readers)
            r.join();
        EXPECT_EQ(wrong.load(), 0);
        ASSERT_TRUE(doc->GetDataFile()->WaitForBackgroundFill());
        EXPECT_TRUE(DataFileBytes() == want);
        for (int ch = 0; ch < kChannels; ++ch)
            ExpectSameSummaries(doc->Channel(ch), inMemory.Channel(ch));
    }
}

// A progress that runs something when the load first shows how far it is.
class HookedProgress : public platform::Progress {
public:
    explicit HookedProgress(std::function<void()> hook) : m_hook(std::move(hook)) {}
    void SetText(const std::string&) override {}
    void SetFraction(double) override {
        if (m_hook)
            std::exchange(m_hook, nullptr)();
    }
    bool AbortRequested() override { return false; }

private:
    std::function<void()> m_hook;
};

TEST_F(WaveFileTest, AConversionCutShortOrClosedEndsCleanly) {
    constexpr int kChannels = 4;
    constexpr int kFrames = 1000000;
    const std::string data = MadeFrames(1, 16, kChannels, 0, kFrames);
    const std::string path = PathIn("long.wav");
    const std::string file = Riff(Fmt(1, kChannels, 13, kChannels * 2, 16) + Chunk("data", data));

    // Cut short while the open reads it: refused, nothing left behind.
    test::WriteAll(path, file);
    doc->SetProgressFactory(
        [&] { return std::make_unique<HookedProgress>([&] { fs::resize_file(path, file.size() / 2); }); });
    EXPECT_FALSE(doc->OnOpenDocument(path));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.LastMessage().find("The file became shorter while it was read."), std::string::npos)
        << prompts.LastMessage();
    EXPECT_TRUE(ScratchFiles().empty());
    doc->SetProgressFactory(nullptr);

    // Cut short after the open: what is read is right or is no sample at
    // all, and the document still closes.
    test::WriteAll(path, file);
    ASSERT_TRUE(doc->OnOpenDocument(path));
    fs::resize_file(path, file.size() / 3);
    for (int ch = 0; ch < kChannels; ++ch)
        for (std::int64_t k = 0; k < kFrames; k += 997) {
            float v = 0;
            const std::size_t i = static_cast<std::size_t>(k) * kChannels + static_cast<std::size_t>(ch);
            if (doc->Channel(ch).ReadSample(k, v)) {
                EXPECT_EQ(v, platform::GetI16LE(reinterpret_cast<const std::uint8_t*>(data.data()) + 2 * i) / 32768.0f);
            }
        }
    doc.reset();
    EXPECT_TRUE(ScratchFiles().empty());

    // Closed while the conversion runs: it stops, and its file goes.
    test::WriteAll(path, file);
    doc = std::make_unique<COrielDoc>(app, prompts);
    ASSERT_TRUE(doc->OnOpenDocument(path));
    ASSERT_EQ(ScratchFiles().size(), 1u);
    doc.reset();
    platform::WaitForBackgroundCloses();
    EXPECT_TRUE(ScratchFiles().empty());
    EXPECT_TRUE(test::ReadAll(path) == file) << "the user's file is only read";
    doc = std::make_unique<COrielDoc>(app, prompts);
}

TEST_F(WaveFileTest, FloatFramesAreReadInPlaceAndTheFileIsNeverWritten) {
    // Float frames after a chunk that leaves them off every 4-byte boundary.
    constexpr int kChannels = 3;
    constexpr int kFrames = 30000;  // 300 s at 100 Hz
    const std::string data = MadeFrames(3, 32, kChannels, 0, kFrames);
    const std::string path = PathIn("float.wav");
    const std::string original = Riff(Fmt(3, kChannels, 100, kChannels * 4, 32) + Chunk("junk", "ab") + Chunk("data", data));
    ASSERT_NE((original.size() - data.size()) % 4, 0u);
    test::WriteAll(path, original);
    const auto written = fs::last_write_time(path);

    ASSERT_TRUE(doc->OnOpenDocument(path));
    ASSERT_TRUE(doc->Channel(0).IsFileBacked());
    ASSERT_TRUE(doc->GetDataFile()->IsSection());
    EXPECT_FALSE(doc->GetDataFile()->IsFilling());
    EXPECT_TRUE(DataFileBytes() == data);
    EXPECT_EQ(fs::path(doc->GetDataFilePath()).parent_path(), fs::path(dir));
    // No copy of the frames: the name the data file goes under is empty.
    ASSERT_EQ(ScratchFiles(), std::vector<std::string>{doc->GetDataFilePath()});
    EXPECT_EQ(fs::file_size(doc->GetDataFilePath()), 0u);
    for (int ch = 0; ch < kChannels; ++ch) {
        ASSERT_NE(doc->Channel(ch).samplesSummary, nullptr);
        EXPECT_EQ(doc->Channel(ch).samplesSummary->SampleCount(), kFrames);
    }
    // The intensity curve goes to the temp folder, not beside the file.
    doc->Channel(1).ComputeIntensity();
    EXPECT_EQ(fs::path(doc->Channel(1).intensityFilePath).parent_path(), fs::path(dir));
    EXPECT_NE(doc->Channel(1).intensityFilePath.rfind("$$TempFile", std::string::npos), std::string::npos);
    // Writing through the data file is refused.
    EXPECT_THROW(doc->GetDataFile()->WriteAt(0, "x", 1), platform::FileException);

    // Saved over itself: written beside and put in its place, while the
    // document goes on reading the recording it opened.
    ASSERT_TRUE(doc->OnSaveDocument(path));
    const std::string saved = test::ReadAll(path);
    ASSERT_EQ(saved.size(), 44 + data.size());
    EXPECT_EQ(saved.substr(44), data);
    EXPECT_TRUE(DataFileBytes() == data);
    ASSERT_TRUE(doc->OnOpenDocument(path));
    EXPECT_TRUE(DataFileBytes() == data);

    // A cut makes a scratch data file of its own; the file stays as it is.
    test::WriteAll(path, original);
    fs::last_write_time(path, written);
    ASSERT_TRUE(doc->OnOpenDocument(path));
    for (int ch = 0; ch < kChannels; ++ch) {
        doc->Channel(ch).selStartSample = 100;
        doc->Channel(ch).selEndSample = 29000;
    }
    CutSelectionData(*doc);
    EXPECT_FALSE(doc->GetDataFile()->IsSection());
    EXPECT_TRUE(DataFileBytes() == data.substr(0, 100 * kChannels * 4) + data.substr(29000 * kChannels * 4));
    doc.reset();
    platform::WaitForBackgroundCloses();
    EXPECT_TRUE(test::ReadAll(path) == original);
    EXPECT_EQ(fs::last_write_time(path), written);
    EXPECT_TRUE(ScratchFiles().empty());
    doc = std::make_unique<COrielDoc>(app, prompts);
}

// ---- writing -----------------------------------------------------------------------------------

// A document of three channels in memory: channel c, sample k = (c + 1) * 0.01 * k - 0.5.
void FillThreeChannels(COrielDoc& d, int count, double rate) {
    d.SetChannelCount(3);
    for (int c = 0; c < 3; ++c) {
        CChannels& ch = d.Channel(c);
        ch.samples = platform::FloatBlock::Allocate(static_cast<std::size_t>(count));
        for (int k = 0; k < count; ++k)
            ch.samples[static_cast<std::size_t>(k)] = static_cast<float>((c + 1) * 0.01 * k - 0.5);
        ch.sampleCount = count;
        ch.rate = rate;
        ch.duration = count * 1000.0 / rate;
        ch.name = "c" + std::to_string(c);
    }
    d.dataLoaded = 1;
}

TEST_F(WaveFileTest, WrittenFilesAreFloatWithOnlyFmtAndDataAndSoxAgrees) {
    FillThreeChannels(*doc, 200, 12000.0);
    doc->Channel(1).selStartSample = 50.7;  // the picked channel's selection
    doc->Channel(1).selEndSample = 120.2;
    doc->Channel(0).selStartSample = 10;
    doc->Channel(0).selEndSample = 30;
    struct Case {
        const char* name;
        bool selection;
        bool one;
        int channel;
        int channels, first, count;
    };
    const Case cases[] = {
        {"whole document", false, false, 0, 3, 0, 200},
        {"selection of every channel", true, false, 0, 3, 10, 20},
        {"one channel", false, true, 1, 1, 0, 200},
        {"selection of one channel", true, true, 1, 1, 50, 69},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = PathIn(std::string(c.name) + ".wav");
        prompts.messages.clear();
        if (c.one) {
            doc->Hooks().chooseChannel = [&c](const std::vector<std::string>&, int) { return c.channel; };
            prompts.paths.push_back(path);
            c.selection ? doc->OnFileExportSelectionChannelAsWave() : doc->OnFileExportChannelAsWave();
        } else {
            ASSERT_EQ(doc->SaveDocumentAs(path, kFileTypeWave, c.selection), 1);
        }
        EXPECT_TRUE(prompts.messages.empty());
        const std::string bytes = test::ReadAll(path);
        const std::uint32_t dataBytes = static_cast<std::uint32_t>(c.count * c.channels * 4);
        ASSERT_EQ(bytes.size(), 44u + dataBytes);
        const platform::ByteView b(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        EXPECT_EQ(bytes.substr(0, 4), "RIFF");
        EXPECT_EQ(b.U32LE(4), dataBytes + 36);
        EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
        EXPECT_EQ(b.U32LE(16), 16u);
        EXPECT_EQ(b.U16LE(20), 3);
        EXPECT_EQ(b.U16LE(22), c.channels);
        EXPECT_EQ(b.U32LE(24), 12000u);
        EXPECT_EQ(b.U32LE(28), 12000u * c.channels * 4);
        EXPECT_EQ(b.U16LE(32), c.channels * 4);
        EXPECT_EQ(b.U16LE(34), 32);
        EXPECT_EQ(bytes.substr(36, 4), "data");
        EXPECT_EQ(b.U32LE(40), dataBytes);
        for (int k = 0; k < c.count; ++k)
            for (int l = 0; l < c.channels; ++l) {
                const int ch = c.one ? c.channel : l;
                ASSERT_EQ(b.F32LE(44 + 4 * (k * c.channels + l)),
                          doc->Channel(ch).samples[static_cast<std::size_t>(c.first + k)]);
            }
        if (HaveSox()) {
            EXPECT_EQ(Soxi("-c", path), std::to_string(c.channels));
            EXPECT_EQ(Soxi("-r", path), "12000");
            EXPECT_EQ(Soxi("-s", path), std::to_string(c.count));
            EXPECT_EQ(Soxi("-b", path), "32");
            EXPECT_EQ(Soxi("-e", path), "Floating Point PCM");
        }
    }
}

TEST_F(WaveFileTest, ALongRecordingWritesTheSameBytesFromItsScratchFileAsFromMemory) {
    // Five minutes of three channels at 100 Hz load file-backed.
    const std::string path = PathIn("long.wav");
    std::string data;
    for (int k = 0; k < 30000 * 3; ++k)
        data += Le16(static_cast<std::uint16_t>(k * 37));
    test::WriteAll(path, Riff(Fmt(1, 3, 100, 6, 16) + Chunk("data", data)));
    ASSERT_TRUE(doc->OnOpenDocument(path));
    ASSERT_TRUE(doc->Channel(0).IsFileBacked());
    for (int c = 0; c < 3; ++c) {
        doc->Channel(c).selStartSample = 441;
        doc->Channel(c).selEndSample = 451;
    }
    std::vector<std::string> texts;
    doc->SetProgressFactory([&texts] { return std::make_unique<test::RecordingProgress>(texts, false); });
    const std::string fromFile = PathIn("from_file.wav");
    const std::string fromFileSel = PathIn("from_file_sel.wav");
    ASSERT_EQ(doc->SaveDocumentAs(fromFile, kFileTypeWave, false), 1);
    ASSERT_EQ(doc->SaveDocumentAs(fromFileSel, kFileTypeWave, true), 1);
    EXPECT_EQ(texts.back(), "Saving: from_file_sel.wav");

    // The same recording held in memory.
    for (int c = 0; c < 3; ++c) {
        CChannels& ch = doc->Channel(c);
        platform::FloatBlock block = platform::FloatBlock::Allocate(30000);
        for (int k = 0; k < 30000; ++k)
            ASSERT_TRUE(ch.ReadSample(k, block[static_cast<std::size_t>(k)]));
        ch.samples = std::move(block);
    }
    const std::string fromMemory = PathIn("from_memory.wav");
    const std::string fromMemorySel = PathIn("from_memory_sel.wav");
    ASSERT_EQ(doc->SaveDocumentAs(fromMemory, kFileTypeWave, false), 1);
    ASSERT_EQ(doc->SaveDocumentAs(fromMemorySel, kFileTypeWave, true), 1);
    EXPECT_EQ(test::ReadAll(fromFile), test::ReadAll(fromMemory));
    EXPECT_EQ(test::ReadAll(fromFileSel), test::ReadAll(fromMemorySel));
    const std::string sel = test::ReadAll(fromFileSel);
    ASSERT_EQ(sel.size(), 44u + 10 * 3 * 4);
    EXPECT_EQ(platform::GetF32LE(reinterpret_cast<const std::uint8_t*>(sel.data()) + 44),
              static_cast<std::int16_t>(441 * 3 * 37) / 32768.0f);
}

TEST_F(WaveFileTest, ARecordingTooLargeForWaveIsRefusedBeforeAnythingIsWritten) {
    // Two channels of 600 million samples: 4.8 GB of float frames. The
    // samples are never touched.
    doc->SetChannelCount(2);
    for (int c = 0; c < 2; ++c) {
        doc->Channel(c).rate = 44100.0;
        doc->Channel(c).sampleCount = 600e6;
    }
    const std::string path = PathIn("big.wav");
    test::WriteAll(path, "the user's file");
    const auto filesBefore = std::distance(fs::directory_iterator(dir), fs::directory_iterator());
    EXPECT_EQ(doc->SaveDocumentAs(path, kFileTypeWave, false), 0);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, kWaveTooLargeMessage);
    EXPECT_EQ(test::ReadAll(path), "the user's file");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), filesBefore)
        << "no scratch file left";
}

TEST_F(WaveFileTest, AWriteTheFileSystemRefusesSaysWhy) {
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full to write to";
    FillThreeChannels(*doc, 50, 8000.0);
    platform::File full("/dev/full", platform::File::Mode::ReadWrite);
    const WriteRequest request{false, 0, 3, false, {}};
    EXPECT_THROW(WriteWaveFile(*doc, full, request), platform::UserException);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.LastMessage().rfind(kWaveSaveErrorMessage, 0), 0u);
    EXPECT_NE(prompts.LastMessage().find(std::strerror(ENOSPC)), std::string::npos) << prompts.LastMessage();
}

TEST_F(WaveFileTest, AWrittenFileReadsBackEqual) {
    FillThreeChannels(*doc, 50, 8000.0);
    const std::string path = PathIn("round.wav");
    ASSERT_EQ(doc->SaveDocumentAs(path, kFileTypeWave, false), 1);
    COrielDoc back(app, prompts);
    ASSERT_TRUE(back.OnOpenDocument(path));
    ASSERT_EQ(back.GetChannelCount(), 3);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(back.Channel(c).bits, 32);
        ASSERT_EQ(back.Channel(c).sampleCount, 50.0);
        for (std::size_t k = 0; k < 50; ++k)
            EXPECT_EQ(back.Channel(c).samples[k], doc->Channel(c).samples[k]);
    }
}

}  // namespace
}  // namespace vocomet
