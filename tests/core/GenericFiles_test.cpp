#include "core/GenericFiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ForeignFileTest.h"
#include "core/COrielDoc.h"

namespace vocomet {
namespace {

GenericFileAnswers Answers(bool binary, bool sixteen = true, bool highFirst = false, int rate = 8000, int header = 0) {
    GenericFileAnswers a;
    a.integerBinary = binary ? 1 : 0;
    a.sixteenBit = sixteen ? 1 : 0;
    a.highByteFirst = highFirst ? 1 : 0;
    a.sampleRate = rate;
    a.headerBytes = header;
    return a;
}

class GenericFilesTest : public test::ForeignFileTest {
protected:
    // Opens path as a document would, the user answering the generic-file
    // dialog with answers.
    bool Open(const std::string& path, const GenericFileAnswers& answers) {
        doc->Hooks().askGenericFile = [answers](const GenericFileAnswers&) {
            return std::optional<GenericFileAnswers>(answers);
        };
        return doc->OnOpenDocument(path);
    }

    // The samples of channel 0.
    std::vector<float> Samples() const {
        const CChannels& ch = doc->Channel(0);
        return std::vector<float>(ch.samples.data(), ch.samples.data() + static_cast<std::size_t>(ch.sampleCount));
    }

    // Writes bytes to a file and opens it with answers; the channel's
    // samples (empty when the open failed).
    std::vector<float> OpenBytes(const std::string& bytes, const GenericFileAnswers& answers) {
        const std::string path = PathIn("input.dat");
        test::WriteAll(path, bytes);
        if (!Open(path, answers))
            return {};
        return Samples();
    }
};

// ---- real files: sox's samples, raw and as text ------------------------------------------

TEST_F(GenericFilesTest, RawAndTextFilesOfSoxSamplesLoadAsSoxReadsThem) {
    if (!test::HaveSox())
        GTEST_SKIP() << "sox is not installed";
    const std::string source = PathIn("source.wav");
    Run("sox -V1 -n -r 11025 -c 1 -b 16 '" + source + "' synth 0.05 sine 300 noise sawtooth 120 vol 0.9");
    // The samples in the file's encoding are written once ($R); the file
    // ($F) is made from them, and sox reads them back for the comparison.
    const std::string od16 = "od -An -v -t d2 -w2 \"$R\"";
    const std::string od8 = "od -An -v -t d1 -w1 \"$R\"";
    struct Case {
        const char* name;
        std::string encoding;  // sox options of the raw samples
        std::string make;      // shell command writing the file to $F
        GenericFileAnswers answers;
        int header;
    };
    const std::string s16le = "-t raw -r 11025 -c 1 -e signed-integer -b 16 -L";
    const std::string s16be = "-t raw -r 11025 -c 1 -e signed-integer -b 16 -B";
    const std::string s8 = "-t raw -r 11025 -c 1 -e signed-integer -b 8";
    const std::string u8 = "-t raw -r 11025 -c 1 -e unsigned-integer -b 8";
    const Case cases[] = {
        {"16-bit low byte first", s16le, "cp \"$R\" \"$F\"", Answers(true, true, false), 0},
        {"16-bit high byte first", s16be, "cp \"$R\" \"$F\"", Answers(true, true, true), 0},
        {"16-bit behind a 44-byte header", s16be,
         "(printf 'A generic header of 44 bytes%016d' 0; cat \"$R\") > \"$F\"", Answers(true, true, true, 11025, 44),
         44},
        {"8-bit unsigned", u8, "cp \"$R\" \"$F\"", Answers(true, false), 0},
        {"ASCII 16-bit, LF", s16le, od16 + " > \"$F\"", Answers(false, true), 0},
        {"ASCII 16-bit, CR LF", s16le, od16 + " | sed 's/$/\\r/' > \"$F\"", Answers(false, true), 0},
        {"ASCII 16-bit, no final line end", s16le, od16 + " | head -c -1 > \"$F\"", Answers(false, true), 0},
        {"ASCII 8-bit, CR LF, no final line end", s8, od8 + " | sed 's/$/\\r/' | head -c -2 > \"$F\"",
         Answers(false, false), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = PathIn("generic.dat");
        const std::string raw = PathIn("samples.raw");
        Run("sox -V1 '" + source + "' " + c.encoding + " '" + raw + "'");
        Run("R='" + raw + "'; F='" + path + "'; " + c.make);
        const std::string expectedPath = PathIn("expected.f32");
        Run("sox -V1 " + c.encoding + " '" + raw + "' -t f32 '" + expectedPath + "'");
        const std::vector<float> expected = FloatsOf(test::ReadAll(expectedPath));
        ASSERT_EQ(expected.size(), 551u);

        prompts.messages.clear();
        doc->SetModifiedFlag(true);
        GenericFileAnswers answers = c.answers;
        answers.sampleRate = 11025;
        ASSERT_TRUE(Open(path, answers));
        EXPECT_TRUE(prompts.messages.empty()) << prompts.LastMessage();
        ExpectChannelEquals(0, expected, 1, 0);
        const CChannels& ch = doc->Channel(0);
        const bool ascii = c.answers.integerBinary == 0;
        EXPECT_EQ(doc->GetFileTypeCode(), ascii ? kFileTypeAscii : kFileTypeIntegerBinary);
        EXPECT_EQ(ch.name, ascii ? kAsciiChannelName : kIntegerBinaryChannelName);
        EXPECT_EQ(doc->GetChannelCount(), 1);
        EXPECT_EQ(doc->GetSaveAsRequired(), 1);
        EXPECT_FALSE(doc->IsModified());
        EXPECT_EQ(doc->GetPathName(), path);
        EXPECT_EQ(doc->settings.genericAnswers.headerBytes, c.header);
        EXPECT_EQ(doc->settings.sampleRate, 11025.0);
        EXPECT_EQ(ch.rate, 11025.0);
        EXPECT_EQ(ch.duration, 551 * 1000.0 / 11025);
        EXPECT_EQ(ch.shownEnd, 551.0);
        EXPECT_EQ(ch.shownEndTime, ch.duration);
        // 1-based channel number and half the rate in whole hertz, for both readers.
        EXPECT_EQ(ch.channelNumber, 1);
        EXPECT_EQ(ch.filterRate, 5512.0);
        EXPECT_EQ(ch.unit, "normalized");
        EXPECT_EQ(ch.calC, 1.0);
        EXPECT_EQ(ch.bits, 16);
        EXPECT_EQ(ch.scaleMode, 3);
    }
}

// ---- the ASCII reader --------------------------------------------------------------------

TEST_F(GenericFilesTest, AsciiLinesEndsAndValues) {
    const struct {
        const char* name;
        std::string text;
        bool sixteen;
        std::vector<double> values;  // before scaling
    } cases[] = {
        {"LF", "100\n-200\n300\n", true, {100, -200, 300}},
        {"8-bit scale", "100\n-200\n300\n", false, {100, -200, 300}},
        {"CR", "100\r-200\r300\r", true, {100, -200, 300}},
        {"CR LF", "100\r\n-200\r\n300\r\n", true, {100, -200, 300}},
        {"mixed endings", "1\r\n2\n3\r4", true, {1, 2, 3, 4}},
        {"last line without an ending", "100\n-200\n300", true, {100, -200, 300}},
        {"single line without an ending", "7", true, {7}},
        {"blank lines are skipped", "\n1\n\n \t\n2\r\n\r\n\r\n3\n\n", true, {1, 2, 3}},
        {"LF CR is two endings around nothing", "1\n\r2", true, {1, 2}},
        {"blanks, sign, trailing text", "  +5\n\t-6 ms\n12abc\n", true, {5, -6, 12}},
        {"text without digits is 0", "abc\n-\n4\n", true, {0, 0, 4}},
        {"decimals stop at the point", "0.75\n-3.9\n", true, {0, -3}},
        {"beyond 32 bits saturates", "99999999999\n-99999999999\n", true, {2147483647.0, -2147483648.0}},
        {"a line of 256 characters", std::string(253, ' ') + "123\n", true, {123}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        prompts.messages.clear();
        const std::vector<float> got = OpenBytes(c.text, Answers(false, c.sixteen));
        EXPECT_TRUE(prompts.messages.empty()) << prompts.LastMessage();
        std::vector<float> expected;
        for (double v : c.values)
            expected.push_back(static_cast<float>(v / (c.sixteen ? 32768.0 : 128.0)));
        EXPECT_EQ(got, expected);
        EXPECT_EQ(doc->GetFileTypeCode(), kFileTypeAscii);
    }
}

TEST_F(GenericFilesTest, AsciiScannerJoinsLinesAcrossPieces) {
    // A CR LF split between two pieces is one ending; a line split between
    // pieces is one line.
    const std::string text = "12\r\n-34\r\n\r\n56\r7\n";
    std::vector<std::string> whole;
    AsciiLineScanner all;
    const auto keepWhole = [&whole](std::string_view l) { whole.emplace_back(l); };
    ASSERT_TRUE(all.Feed(text.data(), text.size(), keepWhole));
    all.Finish(keepWhole);
    EXPECT_EQ(whole, (std::vector<std::string>{"12", "-34", "56", "7"}));
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        std::vector<std::string> lines;
        const auto keep = [&lines](std::string_view l) { lines.emplace_back(l); };
        AsciiLineScanner s;
        ASSERT_TRUE(s.Feed(text.data(), cut, keep));
        ASSERT_TRUE(s.Feed(text.data() + cut, text.size() - cut, keep));
        s.Finish(keep);
        EXPECT_EQ(lines, whole) << "cut at " << cut;
    }
}

TEST_F(GenericFilesTest, BinaryChosenButTooShortIsReadAsAscii) {
    // One byte cannot hold a 16-bit sample: the integer reader fails and the
    // document reads the byte as ASCII.
    const std::vector<float> got = OpenBytes("7", Answers(true, true));
    EXPECT_EQ(got, std::vector<float>{7.0f / 32768.0f});
    EXPECT_EQ(doc->GetFileTypeCode(), kFileTypeAscii);
    EXPECT_TRUE(prompts.messages.empty());
}

// ---- the integer binary reader -------------------------------------------------------------

TEST_F(GenericFilesTest, IntegerBinarySamples) {
    const std::string bytes8{'\x80', '\x00', '\xFF', '\x01'};
    EXPECT_EQ(OpenBytes(bytes8, Answers(true, false)),
              (std::vector<float>{0.0f, -1.0f, 127.0f / 128.0f, -127.0f / 128.0f}));
    // The byte-order buttons do not matter for 8-bit samples.
    EXPECT_EQ(OpenBytes(bytes8, Answers(true, false, true)).size(), 4u);

    const std::string words{'\x01', '\x80', '\xFF', '\x7F', '\x00'};  // the odd last byte is no sample
    EXPECT_EQ(OpenBytes(words, Answers(true, true, false)), (std::vector<float>{-32767.0f / 32768.0f, 0.99996948f}));
    EXPECT_EQ(OpenBytes(words, Answers(true, true, true)),
              (std::vector<float>{384.0f / 32768.0f, -129.0f / 32768.0f}));

    // 1000 bytes behind a 200-byte header: 400 samples.
    EXPECT_EQ(OpenBytes(std::string(1000, '\x11'), Answers(true, true, false, 8000, 200)).size(), 400u);
    EXPECT_EQ(OpenBytes(std::string(1000, '\x11'), Answers(true, false, false, 8000, 999)).size(), 1u);
}

TEST_F(GenericFilesTest, DurationAndFilterRateFollowTheRate) {
    // A rate below 1000 Hz, and one that is no multiple of 1000.
    for (const int rate : {500, 11025, 1}) {
        SCOPED_TRACE(rate);
        for (const bool binary : {true, false}) {
            ASSERT_EQ(OpenBytes(binary ? std::string(2000, '\0') : std::string(1000, '\n') + "1\n2\n3\n4\n5",
                                Answers(binary, binary ? false : true, false, rate))
                          .size(),
                      binary ? 2000u : 5u);
            const CChannels& ch = doc->Channel(0);
            EXPECT_DOUBLE_EQ(ch.duration, ch.sampleCount * 1000.0 / rate);
            EXPECT_EQ(ch.filterRate, rate / 2);
            EXPECT_EQ(ch.rate, rate);
        }
    }
}

// ---- what cannot be read ------------------------------------------------------------------

TEST_F(GenericFilesTest, CorruptInputsFailWithTheirReasonAndLeaveTheDocumentAsItWas) {
    // A loaded document to keep.
    ASSERT_EQ(OpenBytes("1\n2\n3\n", Answers(false)).size(), 3u);
    const std::string heldPath = doc->GetPathName();
    const std::string tooLong = std::string(254, ' ') + "123\n";
    const struct {
        const char* name;
        std::string bytes;
        GenericFileAnswers answers;
        std::string message;  // empty: no message
    } cases[] = {
        {"empty file, ASCII", "", Answers(false), kZeroLengthMessage},
        {"empty file, binary then ASCII", "", Answers(true), kZeroLengthMessage},
        {"only blank lines", "\r\n  \n\t\r", Answers(false), kZeroLengthMessage},
        {"a line of 257 characters", "1\n" + tooLong + "2\n", Answers(false), kNotPureAsciiMessage},
        {"a binary file as ASCII", std::string(300, '\x41'), Answers(false), kNotPureAsciiMessage},
        {"header as long as the file", "1234", Answers(true, true, false, 8000, 4),
         "The header size (4 bytes) must be smaller than the file (4 bytes)."},
        {"header longer than the file", "1\n2\n", Answers(false, true, false, 8000, 1000),
         "The header size (1000 bytes) must be smaller than the file (4 bytes)."},
        {"negative header", "1\n2\n", Answers(true, true, false, 8000, -1), "The header size must be 0 bytes or more."},
        {"rate 0", "1\n2\n", Answers(true, true, false, 0), "The sample rate must be more than 0 Hz."},
        {"negative rate", "1\n2\n", Answers(false, true, false, -8000), "The sample rate must be more than 0 Hz."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        prompts.messages.clear();
        const int beeps = prompts.beeps;
        const std::string path = PathIn("bad.dat");
        test::WriteAll(path, c.bytes);
        EXPECT_FALSE(Open(path, c.answers));
        ASSERT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.LastMessage(), c.message);
        EXPECT_EQ(prompts.beeps, beeps + 1);
        EXPECT_EQ(doc->GetPathName(), heldPath);
        EXPECT_EQ(doc->GetChannelCount(), 1);
        EXPECT_EQ(doc->Channel(0).sampleCount, 3.0);
        EXPECT_EQ(doc->GetFileTypeCode(), kFileTypeAscii);
    }
}

TEST_F(GenericFilesTest, IntegerReaderAloneFailsSilently) {
    const struct {
        const char* name;
        std::string bytes;
        GenericFileAnswers answers;
    } cases[] = {
        {"empty", "", Answers(true)},
        {"one byte of 16-bit data", "x", Answers(true, true)},
        {"header leaves nothing", "abcd", Answers(true, false, false, 8000, 4)},
        {"rate 0", "abcd", Answers(true, false, false, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = PathIn("bad.raw");
        test::WriteAll(path, c.bytes);
        doc->settings.genericAnswers = c.answers;
        std::unique_ptr<LoadTarget> target;
        EXPECT_EQ(ReadDirect(ReadIntegerBinaryFile, path, target), kReaderEndOpen);
        EXPECT_TRUE(prompts.messages.empty());
    }
}

TEST(GenericFileAnswersCheck, RefusesWhatNoFileCanHave) {
    EXPECT_EQ(CheckGenericAnswers(GenericFileAnswers{}), "");
    EXPECT_EQ(CheckGenericAnswers(Answers(true, true, false, 1, 0)), "");
    EXPECT_NE(CheckGenericAnswers(Answers(true, true, false, 8000, -5)), "");
    EXPECT_NE(CheckGenericAnswers(Answers(true, true, false, 0, 0)), "");
    // Rates beyond what the analyses and a WAV copy can carry.
    EXPECT_EQ(CheckGenericAnswers(Answers(true, true, false, 50000000, 0)), "");
    EXPECT_EQ(CheckGenericAnswers(Answers(true, true, false, 50000001, 0)),
              "The sample rate must be at most 50 MHz (50000000 Hz).");
    EXPECT_EQ(CheckGenericLayout(Answers(true, true, false, 8000, 9), 10), "");
    EXPECT_NE(CheckGenericLayout(Answers(true, true, false, 8000, 10), 10), "");
}

}  // namespace
}  // namespace vocomet
