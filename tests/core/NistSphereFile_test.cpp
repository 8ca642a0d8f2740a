#include "core/NistSphereFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "ForeignFileTest.h"
#include "core/COrielDoc.h"
#include "core/WaveFile.h"

namespace vocomet {
namespace {

namespace fs = std::filesystem;
using test::Be16;
using test::Le16;

class NistSphereFileTest : public test::ForeignFileTest {
protected:
    int Read(const std::string& path, std::unique_ptr<LoadTarget>& target) {
        return ReadDirect(ReadNistSphereFile, path, target);
    }
};

// ---- files made by sox ------------------------------------------------------------------

TEST_F(NistSphereFileTest, FilesMadeBySoxLoadEveryChannelSampleForSample) {
    if (!test::HaveSox())
        GTEST_SKIP() << "sox is not installed";
    const struct {
        const char* name;
        const char* soxOutput;
        int channels;
        int rate;
    } cases[] = {
        {"s16_little.sph", "-b 16 -L", 1, 16000},
        {"s16_big.sph", "-b 16 -B", 1, 8000},
        {"s8.sph", "-b 8", 1, 8000},
        {"ulaw.sph", "-e mu-law", 1, 8000},
        {"s16_stereo.sph", "-b 16", 2, 22050},
        {"ulaw_three.sph", "-e mu-law", 3, 11025},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = PathIn(c.name);
        std::ostringstream cmd;
        cmd << "sox -V1 -n -r " << c.rate << " -c " << c.channels << " -t sph " << c.soxOutput << " '" << path
            << "' synth 0.03 sine 300 noise sawtooth 120 vol 0.8";
        Run(cmd.str());
        prompts.messages.clear();
        doc->SetModifiedFlag(true);
        ASSERT_TRUE(doc->OnOpenDocument(path));
        EXPECT_TRUE(prompts.messages.empty());
        EXPECT_EQ(doc->GetFileTypeCode(), kFileTypeNistSphere);
        EXPECT_EQ(doc->GetSaveAsRequired(), 1);
        EXPECT_FALSE(doc->IsModified());
        ASSERT_EQ(doc->GetChannelCount(), c.channels);
        const std::vector<float> frames = SoxFloats(path);
        for (int ch = 0; ch < c.channels; ++ch) {
            ExpectChannelEquals(ch, frames, c.channels, ch);
            const CChannels& channel = doc->Channel(ch);
            EXPECT_TRUE(channel.HasSamples());
            EXPECT_EQ(channel.rate, c.rate);
            EXPECT_EQ(channel.bits, 16);
            EXPECT_EQ(channel.name, "");
            EXPECT_EQ(channel.channelNumber, ch + 1);
            EXPECT_EQ(channel.audioFlag, ch == 0 ? 1 : 0);
            EXPECT_EQ(channel.timeReference, ch == 0 ? 1 : 0);
            EXPECT_EQ(channel.unit, "normalized");
            EXPECT_EQ(channel.filterRate, c.rate / 2.0);
            EXPECT_EQ(channel.shownEnd, channel.sampleCount);
            EXPECT_EQ(channel.duration, channel.sampleCount * 1000.0 / c.rate);
        }
    }
}

// ---- hand-made headers --------------------------------------------------------------------

// A header of headerBytes bytes holding the lines (each ended by a line
// feed), then "end_head" (unless left out), padded with blanks.
std::string Header(const std::vector<std::string>& lines, int headerBytes = 1024, bool endHead = true) {
    char length[9];
    std::snprintf(length, sizeof length, "%7d\n", headerBytes);
    std::string h = std::string("NIST_1A\n") + length;
    for (const std::string& l : lines)
        h += l + "\n";
    if (endHead)
        h += "end_head\n";
    h.resize(static_cast<std::size_t>(headerBytes), ' ');
    return h;
}

std::vector<std::string> Lines16(const char* byteFormat, int count = 32000, int channels = 1, int rate = 16000) {
    std::vector<std::string> l = {"sample_rate -i " + std::to_string(rate),
                                  "channel_count -i " + std::to_string(channels),
                                  "sample_count -i " + std::to_string(count), "sample_n_bytes -i 2",
                                  "sample_coding -s3 pcm"};
    if (byteFormat)
        l.push_back(std::string("sample_byte_format -s2 ") + byteFormat);
    return l;
}

// count 16-bit samples k * 7 - 1000, little- or big-endian.
std::string Samples16(int count, bool bigEndian) {
    std::string s;
    for (int k = 0; k < count; ++k) {
        const auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(k * 7 - 1000));
        s += bigEndian ? Be16(v) : Le16(v);
    }
    return s;
}

TEST_F(NistSphereFileTest, TheExampleHeaderLoadsInEitherByteOrder) {
    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "10" : "01");
        const std::string path = PathIn(bigEndian ? "big.sph" : "little.sph");
        test::WriteAll(path, Header(Lines16(bigEndian ? "10" : "01")) + Samples16(32000, bigEndian));
        ASSERT_TRUE(doc->OnOpenDocument(path));
        ASSERT_EQ(doc->GetChannelCount(), 1);
        const CChannels& ch = doc->Channel(0);
        EXPECT_EQ(ch.rate, 16000.0);
        EXPECT_EQ(ch.sampleCount, 32000.0);
        EXPECT_EQ(ch.duration, 2000.0);
        for (int k : {0, 1, 4681, 31999})
            EXPECT_EQ(ch.samples[static_cast<std::size_t>(k)], static_cast<std::int16_t>(k * 7 - 1000) / 32768.0f);
    }
}

TEST_F(NistSphereFileTest, HeaderChecks) {
    auto with = [](std::vector<std::string> lines, const std::string& extra) {
        lines.push_back(extra);
        return lines;
    };
    const std::string data = Samples16(100, false);
    std::string longLine = "comment -s400 " + std::string(400, 'x');
    std::vector<std::string> manyLines;
    for (int i = 0; i < 60; ++i)
        manyLines.push_back("note_" + std::to_string(i) + " -i " + std::to_string(i));
    for (const std::string& l : Lines16("01", 100))
        manyLines.push_back(l);
    std::string eightBit = "\x80\x7f\x01\xff";
    eightBit += std::string(96, '\0');
    struct Case {
        const char* name;
        std::string bytes;
        int result;
        double count;         // when loaded
        const char* refusal;  // when refused: part of the reason (nullptr: not SPHERE, nothing to say)
    };
    const Case cases[] = {
        {"lines of any length and number", Header(with(manyLines, longLine), 2048) + data, kReaderLoaded, 100,
         nullptr},
        {"no end_head line", Header(Lines16("01", 100), 1024, false) + data, kReaderLoaded, 100, nullptr},
        {"a later line overrides", Header(with(Lines16("01", 100), "sample_count -i 50")) + data, kReaderLoaded, 50,
         nullptr},
        {"header length with leading zeros", Header(Lines16("01", 100)).replace(8, 7, "0001024") + data,
         kReaderLoaded, 100, nullptr},
        {"magic differs in its last byte", Header(Lines16("01", 100)).replace(6, 1, "B") + data, kReaderNotMine, 0,
         nullptr},
        {"header length 0", Header(Lines16("01", 100)).replace(8, 7, "      0") + data, kReaderNotMine, 0, nullptr},
        {"header length 5121", Header(Lines16("01", 100)).replace(8, 7, "   5121") + data + std::string(5000, '\0'),
         kReaderNotMine, 0, nullptr},
        {"100 bytes", Header(Lines16("01", 100)).substr(0, 100), kReaderNotMine, 0, nullptr},
        {"header beyond the file", Header(Lines16("01", 100), 4096).substr(0, 2000), kReaderNotMine, 0,
         "shorter than its header"},
        {"no channel count", Header({"sample_rate -i 8000", "sample_count -i 100", "sample_n_bytes -i 2",
                                     "sample_byte_format -s2 01"}) + data,
         kReaderNotMine, 0, "declares 0 channels"},
        {"21 channels", Header(Lines16("01", 1, 21)) + data, kReaderNotMine, 0, "declares 21 channels"},
        {"no rate", Header({"channel_count -i 1", "sample_count -i 100", "sample_n_bytes -i 2",
                            "sample_byte_format -s2 01"}) + data,
         kReaderNotMine, 0, "sample rate is 0 Hz"},
        {"negative rate", Header(Lines16("01", 100, 1, -8000)) + data, kReaderNotMine, 0, "sample rate is -8000 Hz"},
        {"16-bit without byte order", Header(Lines16(nullptr, 100)) + data, kReaderNotMine, 0, "byte order"},
        {"16-bit with byte order 1", Header(Lines16("1", 100)) + data, kReaderNotMine, 0, "byte order"},
        {"compressed", Header(with(Lines16("01", 100), "sample_coding -s26 pcm,embedded-shorten-v2.00")) + data,
         kReaderNotMine, 0, "'pcm,embedded-shorten-v2.00'"},
        {"4-byte samples", Header(with(Lines16("01", 10), "sample_n_bytes -i 4")) + data, kReaderNotMine, 0,
         "pcm samples of 4 bytes"},
        {"2-byte ulaw", Header(with(Lines16("01", 10), "sample_coding -s4 ulaw")) + data, kReaderNotMine, 0,
         "ulaw samples of 2 bytes"},
        {"no samples", Header(Lines16("01", 0)) + data, kReaderNotMine, 0, "holds no samples"},
        // A file cut short gives the whole frames it holds, never more than
        // announced and never a block the size of a header's count.
        {"one sample too many", Header(Lines16("01", 101)) + data, kReaderLoaded, 100, nullptr},
        {"cut inside a frame", Header(Lines16("01", 100, 2)) + data.substr(0, 39), kReaderLoaded, 9, nullptr},
        {"cut before the first frame", Header(Lines16("01", 100, 2)) + data.substr(0, 3), kReaderNotMine, 0,
         "end before the first frame of 4 bytes"},
        {"negative sample count", Header(Lines16("01", -5)) + data, kReaderNotMine, 0, "holds no samples"},
        {"sample count beyond 64 bits", Header(with(Lines16("01", 100), "sample_count -i 99999999999999999999")) + data,
         kReaderNotMine, 0, "holds no samples"},
        {"sample count of 2^62", Header(with(Lines16("01", 100), "sample_count -i 4611686018427387904")) + data,
         kReaderLoaded, 100, nullptr},
        // Rates that neither the analyses nor a WAV copy could carry.
        {"rate of 1e11 Hz", Header(with(Lines16("01", 100), "sample_rate -i 100000000000")) + data, kReaderNotMine,
         0, "1e+11 Hz"},
        {"rate of 50 MHz", Header(with(Lines16("01", 100), "sample_rate -i 50000000")) + data, kReaderLoaded, 100,
         nullptr},
        {"8-bit pcm", Header({"sample_rate -i 8000", "channel_count -i 1", "sample_count -i 100",
                              "sample_n_bytes -i 1", "sample_byte_format -s1 1", "sample_coding -s3 pcm"}) + eightBit,
         kReaderLoaded, 100, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = PathIn("hand.sph");
        test::WriteAll(path, c.bytes);
        std::unique_ptr<LoadTarget> target;
        EXPECT_EQ(Read(path, target), c.result);
        if (c.result == kReaderLoaded) {
            const RecordingData& r = target->Recording();
            for (int ch = 0; ch < r.channelCount; ++ch) {
                const CChannels& channel = r.channels[static_cast<std::size_t>(ch)];
                EXPECT_EQ(channel.sampleCount, c.count);
                EXPECT_EQ(channel.samples.size(), static_cast<std::size_t>(c.count));
                EXPECT_DOUBLE_EQ(channel.duration, c.count * 1000.0 / channel.rate);
                // Sample k of channel ch is value k * channels + ch of the data.
                const auto last = static_cast<std::size_t>(c.count) - 1;
                const int at = static_cast<int>(last) * r.channelCount + ch;
                if (std::string(c.name) != "8-bit pcm") {
                    EXPECT_EQ(channel.samples[last], static_cast<std::int16_t>(at * 7 - 1000) / 32768.0f);
                }
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
        if (std::string(c.name) == "8-bit pcm") {
            const CChannels& ch = target->Recording().channels[0];
            EXPECT_EQ(ch.samples[0], -1.0f);
            EXPECT_EQ(ch.samples[1], 127 / 128.0f);
            EXPECT_EQ(ch.samples[2], 1 / 128.0f);
            EXPECT_EQ(ch.samples[3], -1 / 128.0f);
        }
    }
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(NistSphereFileTest, AFileCutShortOpensWithTheFramesItHoldsAsSoxReadsThem) {
    if (!test::HaveSox())
        GTEST_SKIP() << "sox is not installed";
    const std::string whole = PathIn("whole.sph");
    Run("sox -V1 -n -r 8000 -c 3 -t sph -b 16 '" + whole + "' synth 0.03 sine 300 noise sawtooth 120");
    const std::string bytes = test::ReadAll(whole);
    const std::size_t frames = std::stoul(bytes.substr(8, 7));  // 240 frames of 6 bytes follow
    for (const std::size_t cut : {frames + 6, frames + 100 * 6 + 5, bytes.size() - 1}) {
        SCOPED_TRACE(cut);
        const std::string path = PathIn("cut.sph");
        test::WriteAll(path, bytes.substr(0, cut));
        prompts.messages.clear();
        ASSERT_TRUE(doc->OnOpenDocument(path));
        EXPECT_TRUE(prompts.messages.empty()) << prompts.LastMessage();
        ASSERT_EQ(doc->GetChannelCount(), 3);
        const std::vector<float> sox = SoxFloats(path);
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(doc->Channel(c).sampleCount, static_cast<double>((cut - frames) / 6));
            ExpectChannelEquals(c, sox, 3, c);
        }
    }
}

TEST_F(NistSphereFileTest, ARefusedFileLeavesTheLoadedDocument) {
    const std::string good = PathIn("good.sph");
    test::WriteAll(good, Header(Lines16("01", 100)) + Samples16(100, false));
    ASSERT_TRUE(doc->OnOpenDocument(good));
    const std::string bad = PathIn("bad.sph");
    test::WriteAll(bad, Header(Lines16("01", 100, 21)) + Samples16(100, false));
    std::unique_ptr<LoadTarget> target;
    ASSERT_EQ(Read(bad, target), kReaderNotMine);
    ExpectOpenRefused(bad, target->Refusal());
    EXPECT_EQ(doc->Channel(0).sampleCount, 100.0);
}

// ---- long files: a scratch file of float frames ----------------------------------------------

TEST_F(NistSphereFileTest, ThreeHundredSecondsStayInMemoryAndLongerGoToAScratchFile) {
    if (!test::HaveSox())
        GTEST_SKIP() << "sox is not installed";
    // 100 Hz keeps five minutes small.
    const struct {
        const char* seconds;
        const char* encoding;
        bool fileBacked;
    } cases[] = {{"300", "-b 16 -B", false}, {"300.01", "-b 16 -L", true}, {"300.01", "-e mu-law", true}};
    int made = 0;
    for (const auto& [seconds, encoding, fileBacked] : cases) {
        SCOPED_TRACE(std::string(seconds) + " " + encoding);
        const std::string path = PathIn("long" + std::to_string(made++) + ".sph");
        Run("sox -V1 -n -r 100 -c 3 -t sph " + std::string(encoding) + " '" + path + "' synth " + seconds +
            " noise sine 7 square 3");
        std::vector<std::string> texts;
        doc->SetProgressFactory([&texts] { return std::make_unique<test::RecordingProgress>(texts, false); });
        ASSERT_TRUE(doc->OnOpenDocument(path));
        EXPECT_EQ(ScratchFiles().size(), fileBacked ? 1u : 0u);
        EXPECT_EQ(doc->Channel(2).IsFileBacked(), fileBacked);
        EXPECT_EQ(doc->Channel(0).HasSamples(), !fileBacked);
        if (fileBacked) {
            EXPECT_EQ(texts, std::vector<std::string>{"Reading: " + fs::path(path).filename().string()});
            EXPECT_EQ(fs::file_size(doc->GetDataFilePath()), 30001u * 3 * 4);
            EXPECT_EQ(doc->Channel(2).stride, 3);
        }
        const std::vector<float> frames = SoxFloats(path);
        for (int ch = 0; ch < 3; ++ch)
            ExpectChannelEquals(ch, frames, 3, ch);
    }
}

TEST_F(NistSphereFileTest, AbortingALongLoadEndsTheOpenAndLeavesNoScratchFile) {
    const std::string good = PathIn("good.sph");
    test::WriteAll(good, Header(Lines16("01", 100)) + Samples16(100, false));
    ASSERT_TRUE(doc->OnOpenDocument(good));
    const std::string path = PathIn("long.sph");
    test::WriteAll(path, Header(Lines16("10", 3001, 1, 10)) + Samples16(3001, true));
    std::vector<std::string> texts;
    doc->SetProgressFactory([&texts] { return std::make_unique<test::RecordingProgress>(texts, true); });
    std::unique_ptr<LoadTarget> target;
    EXPECT_EQ(Read(path, target), kReaderEndOpen);
    target.reset();
    prompts.messages.clear();
    EXPECT_FALSE(doc->OnOpenDocument(path));
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(ScratchFiles().empty());
    EXPECT_EQ(doc->GetPathName(), good);
    EXPECT_EQ(doc->Channel(0).sampleCount, 100.0);

    // Without a byte order the long way refuses as the short way does.
    const std::string unordered = PathIn("unordered.sph");
    test::WriteAll(unordered, Header(Lines16(nullptr, 3001, 1, 10)) + Samples16(3001, true));
    ExpectOpenRefused(unordered,
                      "This NIST SPHERE file does not say in which byte order its 16-bit samples are stored.");
}

}  // namespace
}  // namespace vocomet
