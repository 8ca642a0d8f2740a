#include "analysis/PlotFormantFile.h"

#include <gtest/gtest.h>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

using test::FreshTempDir;
using test::ReadAll;
using test::ScriptedPrompts;
using test::WriteAll;

PlotFormantRow Row(int f1, int f2, std::optional<int> f3, std::string label) {
    return {f1, f2, f3, std::move(label)};
}

std::vector<PlotFormantRow> Parse(std::string_view text) {
    std::vector<PlotFormantRow> rows;
    EXPECT_EQ(ParsePlotFormantText(text, rows), PlotFormantParse::Ok);
    return rows;
}

TEST(PlotFormantFile, WriterBytesOfTheExampleRowAndSmallFrequencies) {
    const std::string line = BuildPlotFormantText({Row(500, 1500, 2500, "a")});
    EXPECT_EQ(line, std::string("500\t1500\t2500\t\"a\"\t\r\n"));
    EXPECT_EQ(line.size(), 20u);
    // Below 100 still three characters; an empty F3 is written as 0.
    EXPECT_EQ(BuildPlotFormantText({Row(0, 50, std::nullopt, "")}), "000\t050\t000\t\"\"\t\r\n");
    // What a label cannot hold never reaches the file.
    EXPECT_EQ(BuildPlotFormantText({Row(300, 900, 2000, "a\"b\tc")}), "300\t900\t2000\t\"a b c\"\t\r\n");
    std::string numbers;
    AppendFormantNumbersLine(numbers, 7, 1200, 2400);
    EXPECT_EQ(numbers, "007\t1200\t2400\t\t\r\n");
}

TEST(PlotFormantFile, ReadBackTables) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<PlotFormantRow> rows;
    };
    const std::vector<Case> cases = {
        {"round trip with zeros", BuildPlotFormantText({Row(0, 0, 0, ""), Row(12, 99, 100, "i")}),
         {Row(0, 0, 0, ""), Row(12, 99, 100, "i")}},
        {"last line without its end", "500\t1500\t2500\t\"a\"\t\r\n300\t2200\t3000\t\"i\"",
         {Row(500, 1500, 2500, "a"), Row(300, 2200, 3000, "i")}},
        {"header lines make no row", "F1\tF2\tF3\tSymbol\r\nvowel table of speaker 3\r\n500\t1500\t2500\t\"a\"\t\r\n",
         {Row(500, 1500, 2500, "a")}},
        {"LF only, blank separated, bare label", "300 2200 3000 i\n400 2000 2600 e\n",
         {Row(300, 2200, 3000, "i"), Row(400, 2000, 2600, "e")}},
        {"decimals truncate", "500.7\t1500.2\t2500.9\t\"a\"\t\r\n", {Row(500, 1500, 2500, "a")}},
        {"short tokens before two numbers are ignored", "a: 1 12 500 1500 2500 \"u\"\r\n",
         {Row(500, 1500, 2500, "u")}},
        {"two separators lose F3", "500\t1500\t\t2500\t\r\n", {Row(500, 1500, std::nullopt, "2")}},
        {"only two numbers", "500\t1500\t\"o\"\t\r\n", {Row(500, 1500, std::nullopt, "o")}},
        {"fourth number goes to the label", "500\t1500\t2500\t3500\t\r\n", {Row(500, 1500, 2500, "3500")}},
        {"out-of-range cells become 0", "12000\t1500\t99999999999999999999\t\"a\"\t\r\n",
         {Row(0, 1500, 0, "a")}},
        {"quote inside the label ends it", "500\t1500\t2500\t\"a\"b\"\t\r\n", {Row(500, 1500, 2500, "a")}},
        {"no closing quote: no label", "500\t1500\t2500\t\"ab\r\n", {Row(500, 1500, 2500, "")}},
        {"high-bit labels keep their bytes, NUL dropped", std::string("500\t1500\t2500\t\"\xe6\xf8\0\x80\"\t\r\n", 23),
         {Row(500, 1500, 2500, "\xe6\xf8\x80")}},
        {"short lines skipped", "100\t200\r\n", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Parse(c.text), c.rows) << c.name;
}

TEST(PlotFormantFile, LongLinesAndTheRowLimit) {
    const std::string label(5000, 'x');
    const std::vector<PlotFormantRow> rows = Parse("500\t1500\t2500\t\"" + label + "\"\t\r\n400 800 2400 o\r\n");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].label, label);
    EXPECT_EQ(rows[1], Row(400, 800, 2400, "o"));

    std::vector<PlotFormantRow> many(kPlotFormantMaxRows + 1, Row(500, 1500, 2500, "a"));
    std::vector<PlotFormantRow> read;
    EXPECT_EQ(ParsePlotFormantText(BuildPlotFormantText(many), read), PlotFormantParse::TooManyRows);
    EXPECT_EQ(read.size(), static_cast<std::size_t>(kPlotFormantMaxRows));
    many.pop_back();
    EXPECT_EQ(ParsePlotFormantText(BuildPlotFormantText(many), read), PlotFormantParse::Ok);
    EXPECT_EQ(read.size(), static_cast<std::size_t>(kPlotFormantMaxRows));
}

TEST(PlotFormantFile, NumbersOnlyTableOfTheSpectrogram) {
    std::string text;
    AppendFormantNumbersLine(text, 310, 2250, 2900);
    AppendFormantNumbersLine(text, 50, 1000, 2000);
    text += "x 1 700\r\n";  // one number: no row
    std::vector<PlotFormantRow> rows;
    EXPECT_EQ(ParseFormantNumbersText(text, rows), PlotFormantParse::Ok);
    EXPECT_EQ(rows, (std::vector<PlotFormantRow>{Row(310, 2250, 2900, ""), Row(50, 1000, 2000, "")}));
}

TEST(PlotFormantFile, CellAndLabelRules) {
    EXPECT_EQ(PlotFormantCellValue(10000), 10000);
    EXPECT_EQ(PlotFormantCellValue(10001), 0);
    EXPECT_EQ(PlotFormantCellValue(-1), 0);
    EXPECT_EQ(PlotFormantCellValue(0), 0);
    EXPECT_TRUE(IsPlotFormantLabelAllowed("a\xe6 b"));
    for (const char* bad : {"a\"", "a\tb", "a\r", "\n"})
        EXPECT_FALSE(IsPlotFormantLabelAllowed(bad)) << bad;
}

TEST(PlotFormantFile, FilesAreReplacedWholeAndFailuresReported) {
    const std::string dir = FreshTempDir();
    const std::string path = dir + "/vowels.txt";
    ScriptedPrompts prompts;
    ASSERT_TRUE(WritePlotFormantFile(path, {Row(500, 1500, 2500, "a"), Row(300, 2200, 3000, "i")}, prompts));
    ASSERT_TRUE(WritePlotFormantFile(path, {Row(400, 800, 2400, "o")}, prompts));
    EXPECT_EQ(ReadAll(path), "400\t800\t2400\t\"o\"\t\r\n");
    EXPECT_TRUE(prompts.messages.empty());

    std::vector<PlotFormantRow> rows;
    EXPECT_EQ(ReadPlotFormantFile(path, false, rows, prompts), PlotFormantReadStatus::Ok);
    EXPECT_EQ(rows, (std::vector<PlotFormantRow>{Row(400, 800, 2400, "o")}));

    EXPECT_EQ(ReadPlotFormantFile(dir + "/missing.txt", false, rows, prompts), PlotFormantReadStatus::CannotOpen);
    EXPECT_EQ(prompts.LastMessage(), kPlotFormantOpenFailure);
    WriteAll(dir + "/empty.txt", "");
    EXPECT_EQ(ReadPlotFormantFile(dir + "/empty.txt", false, rows, prompts), PlotFormantReadStatus::ZeroLength);
    EXPECT_EQ(prompts.LastMessage(), kPlotFormantZeroLength);
    EXPECT_EQ(prompts.beeps, 1);

    // A folder that cannot take the scratch file: reported, old file intact.
    const std::string locked = dir + "/locked";
    std::filesystem::create_directory(locked);
    WriteAll(locked + "/old.txt", "300\t2200\t3000\t\"i\"\t\r\n");
    ::chmod(locked.c_str(), 0500);
    if (::geteuid() != 0) {
        EXPECT_FALSE(WritePlotFormantFile(locked + "/old.txt", {Row(1, 2, 3, "x")}, prompts));
        EXPECT_EQ(prompts.LastMessage().rfind(kPlotFormantOpenFailure, 0), 0u);
        EXPECT_NE(prompts.LastMessage().find(std::strerror(EACCES)), std::string::npos) << prompts.LastMessage();
        EXPECT_EQ(ReadAll(locked + "/old.txt"), "300\t2200\t3000\t\"i\"\t\r\n");
    }
    ::chmod(locked.c_str(), 0700);
    EXPECT_EQ(prompts.busyDepth, 0);
}

}  // namespace
}  // namespace vocomet
