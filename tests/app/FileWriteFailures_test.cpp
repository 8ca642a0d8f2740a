// Every writer that tells the user of a failed save gives the system's
// reason with its own first sentence, and leaves what the user had whole.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "analysis/PlotFormantFile.h"
#include "app/BitmapFile.h"
#include "app/LogEntry.h"
#include "app/LogFile.h"
#include "app/PictureExport.h"
#include "core/ApplicationSettings.h"
#include "core/ApplicationState.h"
#include "core/ConfigurationCommands.h"
#include "core/ConfigurationFile.h"
#include "core/DocumentSettings.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;
using test::ScriptedPrompts;
using test::WriteAll;

// Files of this process may grow to `bytes` only, so a longer write fails
// with EFBIG as on a full disk: for root too, which permission bits do not
// stop. The signal the system sends with it is ignored meanwhile.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = SIG_DFL;
};

struct Writer {
    const char* name;
    const char* createSentence;  // the first sentence when the file cannot be made
    const char* writeSentence;   // ... when writing it fails
    // Saves to path; false when the save failed.
    std::function<bool(ApplicationState& app, const std::string& path, ScriptedPrompts& prompts)> save;
    // The file the save replaces, when it is not the path chosen.
    std::function<std::string(const ApplicationState& app, const std::string& path)> target;
};

// chosenCfg: a good settings file for Load Configuration to choose.
std::vector<Writer> Writers(const std::string& chosenCfg) {
    const auto chosen = [](const ApplicationState&, const std::string& path) { return path; };
    return {
        {"Log", kLogErrorOpening, kLogErrorSaving,
         [](ApplicationState&, const std::string& path, ScriptedPrompts& p) {
             GridModel grid;
             SetUpNewLogTable(grid);
             LogEntry e;
             e.SetSource("take1.vcm");
             e.SetDescription("Marker Entry: time");
             e.AddValue(123.25);
             AddLogEntry(grid, e);
             return WriteLogFile(path, grid, p);
         },
         chosen},
        {"PlotFormant", kPlotFormantOpenFailure, kPlotFormantSaveFailure,
         [](ApplicationState&, const std::string& path, ScriptedPrompts& p) {
             return WritePlotFormantFile(path, {{500, 1500, 2500, "a"}, {300, 2200, 3000, "i"}}, p);
         },
         chosen},
        {"Bitmap", kBitmapSaveError, kBitmapSaveError,
         [](ApplicationState&, const std::string& path, ScriptedPrompts& p) {
             BitmapDescription bitmap;
             bitmap.width = 8;
             bitmap.height = 8;
             std::string reason;
             const auto grey = [](std::int64_t, std::span<std::uint8_t> row) {
                 for (auto& b : row)
                     b = 0x80;
             };
             if (WriteBitmapFile(bitmap, {}, grey, path, &reason) == 0)
                 return true;
             ReportBitmapSaveFailure(p, reason);
             return false;
         },
         chosen},
        {"SaveConfiguration", kConfigurationSaveError, kConfigurationSaveError,
         [](ApplicationState& app, const std::string& path, ScriptedPrompts& p) {
             p.paths.push_back(path);
             return SaveConfiguration(p, app, DocumentSettings::Reset());
         },
         chosen},
        // Load Configuration copies the chosen file over the settings file.
        {"LoadConfiguration", kConfigurationReadError, kConfigurationReadError,
         [chosenCfg](ApplicationState& app, const std::string& path, ScriptedPrompts& p) {
             app.tempFolder = fs::path(path).parent_path().string();
             p.paths.push_back(chosenCfg);
             DocumentSettings document = DocumentSettings::Reset();
             LoadConfiguration(p, app, document, {});
             return p.messages.empty();
         },
         [](const ApplicationState& app, const std::string&) { return app.ConfigurationFilePath(); }},
    };
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FileWriteFailures, EveryWriterGivesTheSystemsReasonAndKeepsTheUsersFiles) {
    const std::string top = test::FreshTempDir();
    const std::string chosenCfg = top + "/chosen.cfg";
    MakeDocumentDefaultBlock(ApplicationSettings{}, DocumentSettings::Reset()).Write(chosenCfg);
    for (const Writer& w : Writers(chosenCfg)) {
        SCOPED_TRACE(w.name);
        const std::string dir = top + "/" + w.name;
        fs::create_directory(dir);

        // The file cannot be made: its folder is the user's regular file.
        {
            ApplicationState app;
            app.tempFolder = dir;
            const std::string userFile = dir + "/notes.txt";
            WriteAll(userFile, "the user's notes");
            ScriptedPrompts p;
            EXPECT_FALSE(w.save(app, userFile + "/VocometConf.cfg", p));
            ASSERT_FALSE(p.messages.empty());
            EXPECT_EQ(p.messages[0].text.rfind(w.createSentence, 0), 0u) << p.messages[0].text;
            EXPECT_NE(p.messages[0].text.find(std::strerror(ENOTDIR)), std::string::npos) << p.messages[0].text;
            EXPECT_EQ(ReadAll(userFile), "the user's notes");
        }

        // Writing fails part way (the file would be too large): the old
        // file stays as it was and no scratch file is left beside it.
        {
            const std::string folder = dir + "/full";
            fs::create_directory(folder);
            ApplicationState app;
            app.tempFolder = folder;
            const std::string path = folder + "/VocometConf.cfg";
            const std::string target = w.target(app, path);
            WriteAll(target, "the old file");
            ScriptedPrompts p;
            bool saved = true;
            {
                const FileSizeLimit limit(8);
                saved = w.save(app, path, p);
            }
            EXPECT_FALSE(saved);
            ASSERT_FALSE(p.messages.empty());
            const std::string& text = p.messages.back().text;
            EXPECT_EQ(text.rfind(w.writeSentence, 0), 0u) << text;
            EXPECT_NE(text.find(std::strerror(EFBIG)), std::string::npos) << text;
            EXPECT_EQ(ReadAll(target), "the old file");
            EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"VocometConf.cfg"});
        }
    }
}

}  // namespace
}  // namespace vocomet
