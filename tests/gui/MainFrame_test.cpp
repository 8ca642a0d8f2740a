#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMdiArea>
#include <QTest>
#include <gtest/gtest.h>

#include "app/ui/CMainFrame.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

TEST(MainFrame, StartsWithAnEmptyMdiAreaAndSavesAScreenshot) {
    CMainFrame frame;
    frame.resize(800, 600);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));

    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Vocomet"));
    ASSERT_NE(frame.MdiArea(), nullptr);
    EXPECT_TRUE(frame.MdiArea()->subWindowList().isEmpty());

    QImage shot = frame.grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.width(), frame.width());
    const QString path = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots/main-frame.png");
    QDir().mkpath(QFileInfo(path).absolutePath());
    EXPECT_TRUE(shot.save(path));
}

}  // namespace
}  // namespace vocomet
