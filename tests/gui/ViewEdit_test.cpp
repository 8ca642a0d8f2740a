#include <QTest>
#include <gtest/gtest.h>

#include <string>

#include "app/ui/COrielView.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/NativeReaders.h"
#include "support/NativeFixtureWriter.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

// Select All, Cut, Paste into a second view's empty document, Undo: what
// the Edit menu runs, on real views.
TEST(ViewEdit, CutPasteIntoAnEmptyDocumentAndUndo) {
    ApplicationState app;
    app.tempFolder = test::FreshTempDir();
    test::ScriptedPrompts prompts;
    test::FixtureFile file;
    file.layout = test::FixtureLayout::KovPcFloat24;
    file.channels.push_back(test::RampChannel("Audio", 8000.0, 800, -1.0f, 0.002f));
    file.channels.push_back(test::RampChannel("EGG", 8000.0, 800, 0.5f, -0.001f));
    const std::string path = app.tempFolder + "/two.vcm";
    test::WriteNativeFixture(path, file);

    COrielDoc doc(app, prompts);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    COrielView view(doc);
    view.resize(640, 480);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

    EXPECT_FALSE(view.CanEditCopy());
    view.OnEditSelectAll();
    ASSERT_TRUE(view.CanEditCopy());
    view.OnEditCut();
    EXPECT_FALSE(doc.IsDataLoaded());
    EXPECT_EQ(doc.Channel(1).sampleCount, 0);
    EXPECT_TRUE(view.CanEditUndo());
    EXPECT_TRUE(doc.IsModified());

    COrielDoc empty(app, prompts);
    COrielView target(empty);
    target.resize(640, 480);
    target.show();
    ASSERT_TRUE(target.CanEditPaste());
    target.OnEditPaste();
    EXPECT_TRUE(empty.IsDataLoaded());
    EXPECT_EQ(empty.GetChannelCount(), 2);
    EXPECT_EQ(empty.Channel(1).sampleCount, 800);
    EXPECT_FALSE(target.CanEditUndo());

    view.OnEditUndo();
    EXPECT_TRUE(doc.IsDataLoaded());
    EXPECT_EQ(doc.Channel(0).sampleCount, 800);
    EXPECT_EQ(doc.Channel(1).name, "EGG");
    EXPECT_FALSE(view.CanEditUndo());
    view.RedrawBuffers();
    EXPECT_TRUE(prompts.messages.empty());
}

}  // namespace
}  // namespace vocomet
