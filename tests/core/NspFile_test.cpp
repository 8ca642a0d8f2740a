#include "core/NspFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "ForeignFileTest.h"
#include "core/COrielDoc.h"

namespace vocomet {
namespace {

using test::Le16;
using test::Le32;

class NspFileTest : public test::ForeignFileTest {
protected:
    int Read(const std::string& path, std::unique_ptr<LoadTarget>& target) {
        return ReadDirect(ReadNspFile, path, target);
    }
};

// ---- files made by praat ----------------------------------------------------------------

TEST_F(NspFileTest, KaySoundFilesMadeByPraatLoadTheirFirstChannelAsPraatReadsIt) {
    if (!test::HaveTool("praat"))
        GTEST_SKIP() << "praat is not installed";
    const struct {
        const char* name;
        int channels;
        int rate;
    } cases[] = {{"mono.nsp", 1, 10000}, {"stereo.nsp", 2, 11025}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = PathIn(c.name);
        const std::string values = path + ".txt";
        const std::string script = PathIn("make.praat");
        std::ostringstream s;
        s << "Create Sound from formula: \"s\", " << c.channels << ", 0, 0.05, " << c.rate
          << ", \"0.6*sin(2*pi*440*x) + 0.3*randomGauss(0,0.3) - 0.1*row\"\n"
          << "Save as Kay sound file: \"" << path << "\"\n"
          // Praat's own reading of the file: its first channel, in 16-bit steps.
          << "Read from file: \"" << path << "\"\n"
          << "n = Get number of samples\n"
          << "writeFileLine: \"" << values << "\", n\n"
          << "for i to n\n"
          << "  v = Get value at sample number: 1, i\n"
          << "  appendFileLine: \"" << values << "\", fixed$(v * 32768, 0)\n"
          << "endfor\n";
        test::WriteAll(script, s.str());
        Run("praat --run '" + script + "' > /dev/null 2>&1");
        std::istringstream praat(test::ReadAll(values));
        int n = 0;
        ASSERT_TRUE(praat >> n);
        ASSERT_GT(n, 0);

        prompts.messages.clear();
        doc->SetModifiedFlag(true);
        ASSERT_TRUE(doc->OnOpenDocument(path));
        EXPECT_TRUE(prompts.messages.empty());
        EXPECT_EQ(doc->GetFileTypeCode(), kFileTypeNsp);
        EXPECT_EQ(doc->GetSaveAsRequired(), 1);
        EXPECT_FALSE(doc->IsModified());
        ASSERT_EQ(doc->GetChannelCount(), 1);
        const CChannels& ch = doc->Channel(0);
        ASSERT_EQ(ch.sampleCount, n);
        for (int k = 0; k < n; ++k) {
            int v = 0;
            ASSERT_TRUE(praat >> v);
            ASSERT_EQ(ch.samples[static_cast<std::size_t>(k)], v / 32768.0f) << "sample " << k;
        }
        ASSERT_NE(ch.samplesSummary, nullptr);
        EXPECT_EQ(ch.name, kNspChannelName);
        EXPECT_EQ(ch.rate, c.rate);
        EXPECT_EQ(ch.duration, n * 1000.0 / c.rate);
        EXPECT_EQ(ch.channelNumber, 1);
        EXPECT_EQ(ch.audioFlag, 1);
        EXPECT_EQ(ch.timeReference, 1);
        EXPECT_EQ(ch.bits, 16);
        EXPECT_EQ(ch.drawReference, 0);
        EXPECT_EQ(ch.unit, "normalized");
        // Half the rate in whole hertz.
        EXPECT_EQ(ch.filterRate, c.rate / 2);
        EXPECT_EQ(ch.shownEndTime, ch.duration);
    }
}

// ---- the chunk walk, on hand-made files ----------------------------------------------------

std::string Chunk(const std::string& id, const std::string& body, std::int64_t claimed = -1) {
    std::string c = id + Le32(static_cast<std::uint32_t>(claimed < 0 ? static_cast<std::int64_t>(body.size()) : claimed)) + body;
    if (c.size() % 2)
        c += '\0';
    return c;
}
std::string Hedr(std::int32_t rate, const char* id = "HEDR") {
    return Chunk(id, std::string(20, 'd') + Le32(static_cast<std::uint32_t>(rate)) + Le32(0) + Le32(0));
}
// count samples k * 3 - 500.
std::string Sda(int count, const char* id = "SDA_", int start = 0) {
    std::string s;
    for (int k = 0; k < count; ++k)
        s += Le16(static_cast<std::uint16_t>(static_cast<std::int16_t>((start + k) * 3 - 500)));
    return Chunk(id, s);
}
std::string Nsp(const std::string& chunks, std::int64_t limit = -1) {
    return std::string("FORMDS16") +
           Le32(static_cast<std::uint32_t>(limit < 0 ? static_cast<std::int64_t>(chunks.size() + 12) : limit)) + chunks;
}

TEST_F(NspFileTest, ChunkWalkAndChecks) {
    struct Case {
        const char* name;
        std::string bytes;
        int result;
        double count;         // when loaded
        const char* refusal;  // when refused: part of the reason (nullptr: no NSP, nothing to say)
    };
    const Case cases[] = {
        {"header and data", Nsp(Hedr(10000) + Sda(10000)), kReaderLoaded, 10000, nullptr},
        {"8-bit header chunk id", Nsp(Hedr(10000, "HDR8") + Sda(10, "SD_B")), kReaderLoaded, 10, nullptr},
        {"odd chunk and its pad byte", Nsp(Hedr(10000) + Chunk("NOTE", "abc") + Sda(10)), kReaderLoaded, 10, nullptr},
        {"odd data chunk: whole samples", Nsp(Hedr(10000) + Chunk("SDA_", Sda(10).substr(8) + "x")), kReaderLoaded, 10,
         nullptr},
        {"only the first data chunk", Nsp(Hedr(10000) + Sda(10) + Sda(20, "SD_B", 10)), kReaderLoaded, 10, nullptr},
        {"header longer than 44 bytes", Nsp(Chunk("HEDR", std::string(20, 'd') + Le32(10000) + std::string(60, 'x')) + Sda(10)),
         kReaderLoaded, 10, nullptr},
        {"walk limit beyond the file", Nsp(Hedr(10000) + Sda(10), 0x7FFFFFFF), kReaderLoaded, 10, nullptr},
        {"data before the header", Nsp(Sda(10) + Hedr(10000)), kReaderNotMine, 0, "before its header"},
        {"no data", Nsp(Hedr(10000) + Chunk("NOTE", "abcd")), kReaderNotMine, 0, "no sound data"},
        {"no header", Nsp(Chunk("NOTE", "abcd")), kReaderNotMine, 0, "no header"},
        {"signature only", std::string("FORMDS16"), kReaderNotMine, 0, nullptr},
        {"signature and limit only", Nsp(""), kReaderNotMine, 0, "no header"},
        {"walk limit before the data", Nsp(Hedr(10000) + Sda(10), 12 + 40), kReaderNotMine, 0, "no sound data"},
        {"negative walk limit", Nsp(Hedr(10000) + Sda(10), 0xFFFFFFF0), kReaderNotMine, 0, "no header"},
        {"size -8 would visit the same chunk forever", Nsp(Hedr(10000) + Chunk("NOTE", "", 0xFFFFFFF8) + Sda(10)),
         kReaderNotMine, 0, "negative size"},
        {"huge size walks off the file", Nsp(Hedr(10000) + Chunk("NOTE", "", 0x7FFFFFF0) + Sda(10)), kReaderNotMine, 0,
         "no sound data"},
        {"rate 0", Nsp(Hedr(0) + Sda(10)), kReaderNotMine, 0, "sample rate is 0 Hz"},
        {"negative rate", Nsp(Hedr(-10000) + Sda(10)), kReaderNotMine, 0, "sample rate is -10000 Hz"},
        {"header too short for its rate", Nsp(Chunk("HEDR", std::string(20, 'd')) + Sda(10)), kReaderNotMine, 0,
         "sample rate is 0 Hz"},
        {"empty data chunk", Nsp(Hedr(10000) + Chunk("SDA_", "")), kReaderNotMine, 0, "holds no samples"},
        {"data cut short", Nsp(Hedr(10000) + Sda(10)).substr(0, 12 + 40 + 8 + 19), kReaderNotMine, 0,
         "Incorrect number of data was read"},
        {"data claims 2 GB", Nsp(Hedr(10000) + Chunk("SDA_", Sda(10).substr(8), 0x7FFFFFFE)), kReaderNotMine, 0,
         "Incorrect number of data was read"},
        {"another form", std::string("FORMAIFF") + Le32(100) + Hedr(10000) + Sda(10), kReaderNotMine, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = PathIn("hand.nsp");
        test::WriteAll(path, c.bytes);
        std::unique_ptr<LoadTarget> target;
        EXPECT_EQ(Read(path, target), c.result);
        if (c.result == kReaderLoaded) {
            const CChannels& ch = target->Recording().channels[0];
            EXPECT_EQ(ch.sampleCount, c.count);
            EXPECT_EQ(ch.duration, c.count / 10.0);
            EXPECT_EQ(ch.samples[0], -500 / 32768.0f);
            EXPECT_EQ(ch.samples[9], -473 / 32768.0f);
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

TEST_F(NspFileTest, ARefusedFileLeavesTheLoadedDocument) {
    const std::string good = PathIn("good.nsp");
    test::WriteAll(good, Nsp(Hedr(10000) + Sda(10000)));
    ASSERT_TRUE(doc->OnOpenDocument(good));
    EXPECT_EQ(doc->Channel(0).duration, 1000.0);
    const std::string bad = PathIn("bad.nsp");
    test::WriteAll(bad, Nsp(Sda(10) + Hedr(10000)));
    ExpectOpenRefused(bad, "This NSP file is damaged: its sound data comes before its header.");
    EXPECT_EQ(doc->Channel(0).sampleCount, 10000.0);
}

}  // namespace
}  // namespace vocomet
