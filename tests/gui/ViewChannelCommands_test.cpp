#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/ui/COrielView.h"
#include "widgets/CProgressDialog.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/FileTypeCode.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

std::string Bytes(const platform::FloatBlock& block) {
    return std::string(reinterpret_cast<const char*>(block.data()), block.size() * sizeof(float));
}

// Analysis > Intensity and Smooth on a real view, with the progress window
// the application gives its documents: the loop runs to the end with the
// window shown, and a left click while it runs cancels with the samples
// untouched.
TEST(ViewChannelCommands, TheProgressWindowShowsAndAClickCancels) {
    ApplicationState app;
    app.tempFolder = test::FreshTempDir();
    test::ScriptedPrompts prompts;
    COrielDoc doc(app, prompts);
    {
        auto rec = doc.NewStagingRecording();
        rec->channelCount = 2;
        rec->fileTypeCode = kFileTypeNativeFloat24;
        for (std::size_t c = 0; c < 2; ++c) {
            CChannels& ch = rec->channels[c];
            ch.rate = 22050.0;
            ch.sampleCount = 400000;
            ch.duration = 400000 / 22.05;
            ch.name = "ch" + std::to_string(c);
            ch.smoothingOn = 1;
            ch.samples = platform::FloatBlock::Allocate(400000);
            for (std::size_t k = 0; k < 400000; ++k)
                ch.samples[k] = static_cast<float>(std::sin(0.01 * static_cast<double>(k * (c + 1))));
        }
        doc.AdoptRecording(std::move(rec));
        doc.dataLoaded = 1;
    }
    COrielView view(doc);
    view.resize(640, 480);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

    int windows = 0;
    QPointer<CProgressDialog> last;
    doc.SetProgressFactory([&]() -> std::unique_ptr<platform::Progress> {
        auto dialog = std::make_unique<CProgressDialog>(&view);
        dialog->show();
        ++windows;
        last = dialog.get();
        return dialog;
    });

    view.OnAnalysisIntensity();
    EXPECT_EQ(windows, 1);
    EXPECT_TRUE(last.isNull());  // closed with the loop
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(doc.Channel(c).intensityValid, 1);
        EXPECT_EQ(doc.Channel(c).drawIntensity, 1);
    }

    const std::string before0 = Bytes(doc.Channel(0).samples), before1 = Bytes(doc.Channel(1).samples);
    doc.SetModifiedFlag(false);
    prompts.answers = {platform::Answer::No};
    // The click comes while the loop delivers waiting events.
    QTimer::singleShot(0, &view, [&] {
        if (last) {
            const QString shot =
                QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots/smoothing-progress.png");
            QDir().mkpath(QFileInfo(shot).absolutePath());
            last->grab().save(shot);
        }
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(100, 100));
    });
    view.OnAnalysisSmooth();
    EXPECT_EQ(windows, 2);
    EXPECT_TRUE(last.isNull());
    EXPECT_EQ(Bytes(doc.Channel(0).samples), before0);
    EXPECT_EQ(Bytes(doc.Channel(1).samples), before1);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(view.CanEditUndo());
    ASSERT_EQ(prompts.messages.size(), 1u);  // the question only

    // Without a click the same command goes through.
    prompts.answers = {platform::Answer::No};
    view.OnAnalysisSmooth();
    EXPECT_EQ(windows, 3);
    EXPECT_NE(Bytes(doc.Channel(0).samples), before0);
    EXPECT_TRUE(doc.IsModified());
}

}  // namespace
}  // namespace vocomet
