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

// An audio and an EGG ramp of 800 samples at 8000 Hz, as a native file.
std::string WriteTwoChannels(const std::string& folder) {
    test::FixtureFile file;
    file.layout = test::FixtureLayout::KovPcFloat24;
    file.channels.push_back(test::RampChannel("Audio", 8000.0, 800, -1.0f, 0.002f));
    file.channels.push_back(test::RampChannel("EGG", 8000.0, 800, 0.5f, -0.001f));
    const std::string path = folder + "/two.vcm";
    test::WriteNativeFixture(path, file);
    return path;
}

void ShowAt640x480(COrielView& view) {
    view.resize(640, 480);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
}

// The two-channel recording, opened.
class ViewEdit : public ::testing::Test {
protected:
    void SetUp() override {
        app.tempFolder = test::FreshTempDir();
        ASSERT_TRUE(doc.OnOpenDocument(WriteTwoChannels(app.tempFolder)));
    }

    ApplicationState app;
    test::ScriptedPrompts prompts;
    COrielDoc doc{app, prompts};
};

// Select All, Cut, Paste into a second view's empty document, Undo: what
// the Edit menu runs, on real views.
TEST_F(ViewEdit, CutPasteIntoAnEmptyDocumentAndUndo) {
    COrielView view(doc);
    ASSERT_NO_FATAL_FAILURE(ShowAt640x480(view));

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

// Cut a stretch and undo it: the view shows the strips exactly as before the
// cut (it used to lose its layout until resized), and the document is
// modified, since its own file does not hold what it now shows in every case
// (a second cut undone leaves the first).
TEST_F(ViewEdit, UndoRedrawsTheStripsAndLeavesTheDocumentModified) {
    COrielView view(doc);
    ASSERT_NO_FATAL_FAILURE(ShowAt640x480(view));
    const QImage opened = view.viewport()->grab().toImage();

    const auto selectStretch = [&](double first, double end) {
        for (int c = 0; c < doc.GetChannelCount(); ++c) {
            CChannels& ch = doc.Channel(c);
            ch.selStartSample = first;
            ch.selEndSample = end;
            ch.selStartTime = first * 1000.0 / ch.rate;
            ch.selEndTime = end * 1000.0 / ch.rate;
            ch.selLengthSamples = end - first;
            ch.selLengthTime = ch.selEndTime - ch.selStartTime;
        }
        doc.selectionPresent = 1;
    };
    selectStretch(100, 300);
    view.OnEditCut();
    ASSERT_EQ(doc.Channel(0).sampleCount, 600);
    view.viewport()->grab();
    view.OnEditUndo();
    ASSERT_EQ(doc.Channel(0).sampleCount, 800);
    EXPECT_EQ(view.viewport()->grab().toImage(), opened);
    EXPECT_TRUE(doc.IsModified());

    // Cut, cut, undo: the document holds the first cut, which its file lacks.
    doc.SetModifiedFlag(false);
    selectStretch(100, 300);
    view.OnEditCut();
    selectStretch(0, 100);
    view.OnEditCut();
    view.OnEditUndo();
    EXPECT_EQ(doc.Channel(0).sampleCount, 600);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(prompts.messages.empty());
}

}  // namespace
}  // namespace vocomet
