#include "app/LogFile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/LogEntry.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

namespace fs = std::filesystem;

LogEntry Entry(const std::string& source, const std::string& description, std::initializer_list<double> values) {
    LogEntry e;
    e.SetSource(source);
    e.SetDescription(description);
    for (double v : values)
        e.AddValue(v);
    return e;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = test::FreshTempDir();
        SetUpNewLogTable(grid);
    }
    std::string PathIn(const std::string& name) const { return (fs::path(dir) / name).string(); }

    std::string dir;
    GridModel grid;
    test::ScriptedPrompts prompts;
};

TEST_F(LogFileTest, WritesTheCaptionLineAndARowByteForByte) {
    AddLogEntry(grid, Entry("take1.vcm", "Marker Entry: time", {123.4567}));
    AddLogEntry(grid, Entry("take1.vcm", "Marker Entry: time", {-0.5}));
    const std::string path = PathIn("log.txt");
    ASSERT_TRUE(WriteLogFile(path, grid, prompts));
    EXPECT_EQ(ReadAll(path),
              "File Name\tEntry definition and order\tEntry 1\tComments\t\r\n"
              "take1.vcm\tMarker Entry: time\t123.457\t\t\r\n"
              "take1.vcm\tMarker Entry: time\t-0.500\t\t\r\n");
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(LogFileTest, ColumnsGrowBeforeTheCommentAsEntriesNeedThem) {
    AddLogEntry(grid, Entry("a", "one", {1.0}));
    ASSERT_EQ(grid.GetColumnCount(), 4);
    EXPECT_EQ(grid.GetColumnCaption(2), "Entry 1");
    AddLogEntry(grid, Entry("a", "three", {1.0, 2.0, 3.0}));
    ASSERT_EQ(grid.GetColumnCount(), 6);
    EXPECT_EQ(grid.GetColumnCaption(3), "Entry 2");
    EXPECT_EQ(grid.GetColumnCaption(4), "Entry 3");
    EXPECT_EQ(grid.GetColumnCaption(5), "Comments");
    EXPECT_EQ(grid.Column(4).kind, GridColumnKind::Number);
    EXPECT_EQ(grid.Column(4).decimals, 3);
    AddLogEntry(grid, Entry("a", "one again", {7.0}));
    AddLogEntry(grid, Entry("a", "none", {}));
    EXPECT_EQ(grid.GetColumnCount(), 6);
    ASSERT_EQ(grid.GetRowCount(), 4);
    // The first row's cells under the later columns, and the short rows' further cells, stay empty.
    EXPECT_TRUE(std::holds_alternative<std::monostate>(grid.GetCell(0, 3)));
    EXPECT_EQ(std::get<double>(grid.GetCell(2, 2)), 7.0);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(grid.GetCell(2, 3)));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(grid.GetCell(2, 4)));
    EXPECT_EQ(std::get<std::string>(grid.GetCell(3, 1)), "none");
    EXPECT_TRUE(std::holds_alternative<std::monostate>(grid.GetCell(3, 2)));

    // An empty number cell is an empty field, not 0.000.
    const std::string text = BuildLogText(grid);
    EXPECT_NE(text.find("a\tone\t1.000\t\t\t\t\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("a\tnone\t\t\t\t\t\r\n"), std::string::npos) << text;
}

TEST_F(LogFileTest, CountsAreClampedAndTextsCut) {
    LogEntry e = Entry(std::string(300, 's'), std::string(400, 'd'), {1.0, 2.0});
    e.count = 500;  // more than it carries
    AddLogEntry(grid, e);
    EXPECT_EQ(grid.GetColumnCount(), 5);
    e.count = -3;
    AddLogEntry(grid, e);
    EXPECT_EQ(grid.GetRowCount(), 2);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(grid.GetCell(1, 2)));
    LogEntry many;
    for (int i = 0; i < 150; ++i)
        many.AddValue(i);
    EXPECT_EQ(many.count, kLogMaxValues);
    many.source.assign(300, 'x');  // set directly, past the setter
    AddLogEntry(grid, many);
    EXPECT_EQ(grid.GetColumnCount(), kLogMaxValues + 3);
    EXPECT_EQ(std::get<std::string>(grid.GetCell(2, 0)).size(), kLogTextBytes);
    EXPECT_EQ(std::get<std::string>(grid.GetCell(0, 1)).size(), kLogTextBytes);
}

TEST_F(LogFileTest, TabsAndLineEndsInTextsBecomeBlanks) {
    AddLogEntry(grid, Entry("a\tb", "Marker Entry: time", {1.0}));
    grid.SetCellByUser(0, 3, "first\tline\r\nsecond\rthird\n");
    const std::string path = PathIn("comment.txt");
    ASSERT_TRUE(WriteLogFile(path, grid, prompts));
    const std::string bytes = ReadAll(path);
    EXPECT_NE(bytes.find("a b\tMarker Entry: time\t1.000\tfirst line  second third \t\r\n"), std::string::npos)
        << bytes;

    GridModel back;
    ASSERT_EQ(ReadLogFile(path, back, prompts), LogReadStatus::Ok);
    EXPECT_EQ(back.GetColumnCount(), 4);
    EXPECT_EQ(back.GetRowCount(), 1);
    EXPECT_EQ(std::get<std::string>(back.GetCell(0, 3)), "first line  second third ");
}

TEST_F(LogFileTest, WriteThenReadGivesTheSameLog) {
    AddLogEntry(grid, Entry("take\xE9.vcm", "Marker Entry: time ,Audio ,EGG", {12.25, -0.0004, 1e6}));
    AddLogEntry(grid, Entry("take2", "Duration Entry: start, end, duration ", {1.0}));
    grid.SetCellByUser(1, 5, "breathy");
    const std::string path = PathIn("round.txt");
    ASSERT_TRUE(WriteLogFile(path, grid, prompts));
    // 8-bit text in the file: e-acute is one byte.
    EXPECT_NE(ReadAll(path).find("take\xE9.vcm\t"), std::string::npos);

    GridModel back;
    ASSERT_EQ(ReadLogFile(path, back, prompts), LogReadStatus::Ok);
    ASSERT_EQ(back.GetColumnCount(), grid.GetColumnCount());
    ASSERT_EQ(back.GetRowCount(), grid.GetRowCount());
    for (int c = 0; c < grid.GetColumnCount(); ++c)
        EXPECT_EQ(back.GetColumnCaption(c), grid.GetColumnCaption(c));
    EXPECT_EQ(back.Column(2).kind, GridColumnKind::Number);
    EXPECT_EQ(back.Column(2).decimals, 3);  // as written: "%.3f"
    EXPECT_EQ(back.Column(5).kind, GridColumnKind::Text);
    for (int r = 0; r < grid.GetRowCount(); ++r) {
        for (int c = 0; c < grid.GetColumnCount(); ++c) {
            const GridCell& a = grid.GetCell(r, c);
            const GridCell& b = back.GetCell(r, c);
            if (const auto* d = std::get_if<double>(&a))
                EXPECT_EQ(FormatLogNumber(std::get<double>(b)), FormatLogNumber(*d)) << r << "," << c;
            else
                EXPECT_EQ(b, a) << r << "," << c;
        }
    }
    // Written again, the file is the same.
    const std::string again = PathIn("again.txt");
    ASSERT_TRUE(WriteLogFile(again, back, prompts));
    EXPECT_EQ(ReadAll(again), ReadAll(path));
}

struct ReadCase {
    const char* name;
    std::string bytes;
    LogReadStatus status;
    const char* message;  // nullptr: none
    int columns;
    int rows;
};

TEST_F(LogFileTest, ReaderTable) {
    const std::string caption = "File Name\tEntry\tEntry 1\tComments\t";
    const ReadCase cases[] = {
        {"crlf", caption + "\r\nx\ty\t1.5\tc\t\r\n", LogReadStatus::Ok, nullptr, 4, 1},
        {"cr only", caption + "\rx\ty\t1.5\tc\t\r", LogReadStatus::Ok, nullptr, 4, 1},
        {"lf only", caption + "\nx\ty\t1.5\tc\t\n", LogReadStatus::Ok, nullptr, 4, 1},
        {"blank lines", "\r\n\n" + caption + "\r\n\r\n\nx\ty\t1.5\tc\t\r\n\n", LogReadStatus::Ok, nullptr, 4, 1},
        {"last line without its end", caption + "\r\nx\ty\t1.5\tc\t\r\nz\tw\t2\t\t", LogReadStatus::Ok, nullptr, 4, 1},
        {"field after the last tab is lost", caption + "\r\nx\ty\t1.5\tc\r\n", LogReadStatus::Ok, nullptr, 4, 1},
        {"two fields per line", "a\tb\t\r\nc\td\t\r\n", LogReadStatus::NotValid, kLogErrorNotValid, 0, 0},
        {"no tabs", "just some text\r\n", LogReadStatus::NotValid, kLogErrorNotValid, 0, 0},
        {"zero length", "", LogReadStatus::ZeroLength, kLogErrorZeroLength, 0, 0},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = PathIn("read.txt");
        WriteAll(path, c.bytes);
        GridModel read;
        test::ScriptedPrompts p;
        EXPECT_EQ(ReadLogFile(path, read, p), c.status);
        if (c.message) {
            ASSERT_EQ(p.messages.size(), 1u);
            EXPECT_EQ(p.messages[0].text, c.message);
            EXPECT_EQ(read.GetColumnCount(), 0);
            continue;
        }
        EXPECT_TRUE(p.messages.empty());
        ASSERT_EQ(read.GetColumnCount(), c.columns);
        ASSERT_EQ(read.GetRowCount(), c.rows);
        EXPECT_EQ(read.GetColumnCaption(3), "Comments");
        EXPECT_EQ(std::get<std::string>(read.GetCell(0, 0)), "x");
        EXPECT_EQ(std::get<double>(read.GetCell(0, 2)), 1.5);
    }
    test::ScriptedPrompts p;
    GridModel read;
    EXPECT_EQ(ReadLogFile(PathIn("missing.txt"), read, p), LogReadStatus::CannotOpen);
    EXPECT_EQ(p.LastMessage(), kLogErrorOpening);
    EXPECT_EQ(p.beeps, 1);
}

TEST_F(LogFileTest, NumberFieldsEmptyStayEmptyTextReadsAsZeroShortLinesLeaveCellsEmpty) {
    const std::string path = PathIn("cells.txt");
    WriteAll(path,
             "File Name\tEntry\tEntry 1\tEntry 2\tComments\t\r\n"
             "x\ty\t\t  -2.5e1xyz\tnote\t\r\n"
             "x\ty\tabc\t\r\n");
    ASSERT_EQ(ReadLogFile(path, grid, prompts), LogReadStatus::Ok);
    ASSERT_EQ(grid.GetRowCount(), 2);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(grid.GetCell(0, 2)));
    EXPECT_EQ(std::get<double>(grid.GetCell(0, 3)), -25.0);
    EXPECT_EQ(std::get<double>(grid.GetCell(1, 2)), 0.0);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(grid.GetCell(1, 3)));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(grid.GetCell(1, 4)));
}

// glibc reads LOCPATH at each setlocale; a comma-decimal locale is built
// into the test folder when the system has the sources for it.
TEST_F(LogFileTest, CommaDecimalLocaleStillWritesAPoint) {
    const std::string locales = PathIn("locales");
    fs::create_directories(locales);
    const std::string make =
        "localedef -i de_DE -f UTF-8 '" + locales + "/de_DE.UTF-8' >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0 || !fs::exists(locales + "/de_DE.UTF-8"))
        GTEST_SKIP() << "no de_DE locale can be built here";
    const char* oldPath = std::getenv("LOCPATH");
    const std::string keptPath = oldPath ? oldPath : "";
    setenv("LOCPATH", locales.c_str(), 1);
    const std::string keptLocale = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    char check[16];
    std::snprintf(check, sizeof check, "%.1f", 0.5);
    const std::string shown = check;

    AddLogEntry(grid, Entry("a", "Marker Entry: time", {-0.5, 1234567.125}));
    const std::string text = BuildLogText(grid);
    GridModel back;
    const LogReadStatus read = ParseLogText(text, back);

    std::setlocale(LC_ALL, keptLocale.c_str());
    if (oldPath)
        setenv("LOCPATH", keptPath.c_str(), 1);
    else
        unsetenv("LOCPATH");

    EXPECT_EQ(shown, "0,5");  // the locale was in force
    EXPECT_NE(text.find("a\tMarker Entry: time\t-0.500\t1234567.125\t\t\r\n"), std::string::npos) << text;
    ASSERT_EQ(read, LogReadStatus::Ok);
    EXPECT_EQ(std::get<double>(back.GetCell(0, 2)), -0.5);
    EXPECT_EQ(std::get<double>(back.GetCell(0, 3)), 1234567.125);
}

TEST_F(LogFileTest, AFailedWriteLeavesTheOldLogWhole) {
    AddLogEntry(grid, Entry("a", "first", {1.0}));
    const std::string path = PathIn("kept.txt");
    ASSERT_TRUE(WriteLogFile(path, grid, prompts));
    const std::string before = ReadAll(path);

    // The folder of the target is gone: nothing can be made beside it.
    AddLogEntry(grid, Entry("a", "second", {2.0}));
    test::ScriptedPrompts p;
    EXPECT_FALSE(WriteLogFile(PathIn("no-such-folder/log.txt"), grid, p));
    ASSERT_EQ(p.messages.size(), 2u);
    EXPECT_EQ(p.messages[0].text.rfind(std::string(kLogErrorOpening) + "\n\n", 0), 0u);
    EXPECT_NE(p.messages[0].text.find(std::strerror(ENOENT)), std::string::npos) << p.messages[0].text;
    EXPECT_EQ(p.messages[1].text, kLogErrorSaving);
    EXPECT_EQ(p.beeps, 2);

    // A target that is a folder: the scratch file is written but cannot
    // replace it; the folder and the old log stay as they were.
    const std::string folder = PathIn("a-folder");
    fs::create_directories(folder);
    WriteAll(folder + "/inside.txt", "x");
    test::ScriptedPrompts q;
    EXPECT_FALSE(WriteLogFile(folder, grid, q));
    EXPECT_EQ(q.LastMessage(), kLogErrorSaving);
    EXPECT_NE(q.messages[0].text.find(std::strerror(EISDIR)), std::string::npos) << q.messages[0].text;
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(ReadAll(path), before);
    // No scratch files are left beside the targets.
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir))
        files += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1);
}

// Another program's reader of tab-separated text: each line has N + 1
// fields (the last, after the closing TAB, empty).
TEST_F(LogFileTest, PythonCsvReadsNPlusOneFieldsPerLine) {
    if (std::system("python3 -c 'import csv' >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "no python3";
    AddLogEntry(grid, Entry("take1.vcm", "Marker Entry: time ,Audio", {1.0, -2.0}));
    AddLogEntry(grid, Entry("take1.vcm", "Duration Entry: start, end, duration ", {1.0, 3.0, 2.0}));
    grid.SetCellByUser(0, 5, "a \"quoted\" comment, with a comma");
    const std::string path = PathIn("py.txt");
    ASSERT_TRUE(WriteLogFile(path, grid, prompts));
    const std::string script = PathIn("read.py");
    WriteAll(script,
             "import csv, sys\n"
             "with open(sys.argv[1], newline='', encoding='cp1252') as f:\n"
             "    rows = list(csv.reader(f, delimiter='\\t', quoting=csv.QUOTE_NONE))\n"
             "print(len(rows), ' '.join(str(len(r)) for r in rows), rows[1][5])\n");
    FILE* out = popen(("python3 '" + script + "' '" + path + "'").c_str(), "r");
    ASSERT_NE(out, nullptr);
    char line[512] = {};
    const bool got = std::fgets(line, sizeof line, out) != nullptr;
    pclose(out);
    ASSERT_TRUE(got);
    EXPECT_EQ(std::string(line), "3 7 7 7 a \"quoted\" comment, with a comma\n");
}

}  // namespace
}  // namespace vocomet
