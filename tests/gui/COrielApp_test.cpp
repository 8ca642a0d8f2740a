#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <gtest/gtest.h>

#include "app/TempFolder.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielApp.h"
#include "core/COrielDoc.h"
#include "core/FileTypeCode.h"
#include "platform/File.h"
#include "support/NativeFixtureWriter.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

struct AppFixture {
    std::string start = test::FreshTempDir();
    test::ScriptedPrompts prompts;
    platform::MemoryProfileStore profile;
    std::unique_ptr<COrielApp> app;

    AppFixture() {
        COrielApp::Options o;
        o.prompts = &prompts;
        o.profile = &profile;
        o.startFolder = start;
        o.firmwarePath = start + "/ada.ldr";
        o.registerFileTypes = false;
        o.showMaximized = false;
        app = std::make_unique<COrielApp>(o);
    }

    std::vector<CChildFrame*> Frames() const {
        std::vector<CChildFrame*> out;
        for (QMdiSubWindow* w : app->MainFrame()->MdiArea()->subWindowList())
            if (auto* f = qobject_cast<CChildFrame*>(w))
                out.push_back(f);
        return out;
    }

    std::string WriteRecording(const std::string& name) {
        test::FixtureFile file;
        file.layout = test::FixtureLayout::KovPcFloat24;
        file.channels.push_back(test::RampChannel("Audio", 22050, 2205, 0.0f, 0.001f));
        file.channels.push_back(test::RampChannel("EGG", 22050, 2205, 1.0f, -0.001f));
        file.channels[0].audioFlag = 1;
        const std::string path = start + "/" + name;
        test::WriteNativeFixture(path, file);
        return path;
    }
};

TEST(Application, StartsWithAnEmptyDocumentAndTheSettingsInItsTempFolder) {
    AppFixture f;
    ASSERT_TRUE(f.app->InitInstance({}));
    EXPECT_EQ(f.app->MainFrame()->windowTitle(), QStringLiteral("Vocomet"));
    EXPECT_EQ(f.Frames().size(), 1u);
    EXPECT_TRUE(platform::PathExists(f.start + "/tmp/VocometConf.cfg"));
    EXPECT_EQ(f.app->GreyPens()[200].color(), QColor(200, 200, 200));
    EXPECT_GT(f.app->AppFont().pixelSize(), 0);
    EXPECT_EQ(f.app->ExitInstance(), 0);
}

TEST(Application, OpensTheFileNamedOnTheCommandLineAndDroppedFiles) {
    AppFixture f;
    const std::string first = f.WriteRecording("first.vcm");
    const std::string second = f.WriteRecording("second.vcm");
    ASSERT_TRUE(f.app->InitInstance({QString::fromStdString(first)}));
    auto frames = f.Frames();
    ASSERT_EQ(frames.size(), 1u);
    COrielDoc& doc = frames[0]->GetDocument();
    EXPECT_EQ(doc.GetPathName(), first);
    EXPECT_EQ(doc.GetChannelCount(), 2);
    EXPECT_EQ(doc.GetFileTypeCode(), 1);
    EXPECT_TRUE(frames[0]->windowTitle().contains(QStringLiteral("first")));
    EXPECT_EQ(f.app->RecentFiles().front().toStdString(), first);
    ASSERT_NE(frames[0]->GetView(), nullptr);

    // Look at what a user sees.
    f.app->MainFrame()->resize(1000, 700);
    QTest::qWait(20);
    const QString shot = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots/app-with-document.png");
    QDir().mkpath(QFileInfo(shot).absolutePath());
    EXPECT_TRUE(f.app->MainFrame()->grab().save(shot));

    emit f.app->MainFrame()->filesDropped({QString::fromStdString(second), QString::fromStdString(first)});
    EXPECT_EQ(f.Frames().size(), 2u);  // the open one is brought forward, not opened twice
    EXPECT_EQ(f.app->RecentFiles().front().toStdString(), second);
}

TEST(Application, AFileNoReaderTakesEndsStartUpWithTheLoadFailure) {
    AppFixture f;
    const std::string path = f.start + "/notes.xyz";
    test::WriteAll(path, "");
    EXPECT_FALSE(f.app->InitInstance({QString::fromStdString(path)}));
    EXPECT_FALSE(f.prompts.messages.empty());
}

TEST(Application, HelpWithoutAPageSaysSo) {
    AppFixture f;
    ASSERT_TRUE(f.app->InitInstance({}));
    f.app->OnHelpTopics();
    EXPECT_EQ(f.prompts.LastMessage(), kNoHelpFile);
}

}  // namespace
}  // namespace vocomet
