#pragma once
// A document in a fresh temp folder for tests of readers and writers, and a
// progress double that records its texts and can ask to abort.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/Progress.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet::test {

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = FreshTempDir();
        app.tempFolder = dir;
        app.startFolder = dir;
        // The document's own reader order and writers, as every open and save uses them.
        doc = std::make_unique<COrielDoc>(app, prompts);
        prompts.messages.clear();
    }

    std::string PathIn(const std::string& name) const { return (std::filesystem::path(dir) / name).string(); }

    // The scratch data files in the temp folder.
    std::vector<std::string> ScratchFiles() const {
        std::vector<std::string> found;
        for (const auto& e : std::filesystem::directory_iterator(dir))
            if (e.path().filename().string().rfind("$$TempFile", 0) == 0)
                found.push_back(e.path().string());
        return found;
    }

    std::string dir;
    ApplicationState app;
    ScriptedPrompts prompts;
    std::unique_ptr<COrielDoc> doc;
};

class RecordingProgress : public platform::Progress {
public:
    RecordingProgress(std::vector<std::string>& texts, bool abort) : m_texts(texts), m_abort(abort) {}
    void SetText(const std::string& text) override { m_texts.push_back(text); }
    void SetFraction(double) override {}
    bool AbortRequested() override { return m_abort; }

private:
    std::vector<std::string>& m_texts;
    bool m_abort;
};

}  // namespace vocomet::test
