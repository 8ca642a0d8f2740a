#include "app/ui/CStatusWindow.h"

#include <QApplication>
#include <QDir>
#include <QPaintEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "app/StatusTable.h"
#include "app/ui/CFormControl.h"
#include "widgets/GridTableView.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/NativeReaders.h"
#include "support/NativeFixtureWriter.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

class StatusWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        app.tempFolder = test::FreshTempDir();
        test::FixtureFile file;
        file.layout = test::FixtureLayout::KovPcFloat;
        file.channels.push_back(test::RampChannel("Audio", 22050.0, 2205, -1.0f, 0.001f));
        file.channels.push_back(test::RampChannel("EGG", 11025.0, 1102, 0.5f, -0.001f));
        file.channels.push_back(test::RampChannel("Flow", 11025.0, 1102, 0.0f, 0.001f));
        file.channels[1].unit = "mV";
        file.channels[1].gain = 20;
        file.channels[1].reference = 2.5;
        file.channels[0].timeReference = 1;
        path = app.tempFolder + "/three.vcm";
        test::WriteNativeFixture(path, file);
        doc = std::make_unique<COrielDoc>(app, prompts);
        RegisterNativeReaders(doc->Formats());
        ASSERT_TRUE(doc->OnOpenDocument(path));
        ASSERT_EQ(doc->GetChannelCount(), 3);
    }

    ApplicationState app;
    test::ScriptedPrompts prompts;
    std::string path;
    std::unique_ptr<COrielDoc> doc;
};

TEST_F(StatusWindowTest, ShowsTheShownChannelsOfARealDocument) {
    doc->Channel(0).show = 0;  // hidden: no row
    CStatusWindow window;
    ASSERT_TRUE(window.CreateFormControl());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("StatusWindow::"));
    window.resize(760, 160);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    const int view = 1;
    window.ShowDocument(&view, doc.get());
    window.SetTitle(QString::fromStdString(doc->GetTitle()));
    GridTableView* table = window.Form()->Table();
    QAbstractItemModel* model = table->model();
    ASSERT_EQ(model->rowCount(), 2);
    ASSERT_EQ(model->columnCount(), 10);
    EXPECT_EQ(model->index(0, kStatusName).data().toString(), QStringLiteral("EGG"));
    EXPECT_EQ(model->index(1, kStatusName).data().toString(), QStringLiteral("Flow"));
    EXPECT_EQ(model->index(0, kStatusRate).data().toString(), QStringLiteral("11025.0"));
    EXPECT_EQ(model->index(0, kStatusGain).data().toString(), QStringLiteral("20.0"));
    EXPECT_EQ(model->index(0, kStatusReference).data().toString(), QStringLiteral("2.50"));
    EXPECT_EQ(model->index(0, kStatusUnit).data().toString(), QStringLiteral("mV"));
    EXPECT_EQ(model->index(0, kStatusValue).data().toString(), QString());
    EXPECT_EQ(model->headerData(kStatusValue, Qt::Horizontal).toString(), QStringLiteral("Value"));
    EXPECT_EQ(model->headerData(kStatusVelocity, Qt::Horizontal).toString(), QStringLiteral("Vel. (unti/s)"));
    EXPECT_TRUE(table->isColumnHidden(kStatusIntensity));
    EXPECT_FALSE(table->isColumnHidden(kStatusUnit));
    EXPECT_EQ(table->columnWidth(kStatusUnit), 50);
    EXPECT_EQ(table->verticalHeader()->defaultSectionSize(), 25);
    // The table lies wholly inside the client area.
    EXPECT_TRUE(window.rect().contains(table->geometry().translated(window.Form()->pos())));

    // The owner's values reach one cell; another view's are ignored.
    QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
    const int other = 2;
    window.ShowCursorValue(&other, 1, kStatusValue, 9.0);
    window.ShowCursorValue(&view, 1, kStatusValue, 0.123456);
    window.ShowCursorValue(&view, 7, kStatusValue, 1.0);  // no such row: swallowed
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].value<QModelIndex>(), model->index(1, kStatusValue));
    EXPECT_EQ(changed[0][1].value<QModelIndex>(), model->index(1, kStatusValue));
    EXPECT_EQ(model->index(1, kStatusValue).data().toString(), QStringLiteral("0.123"));
    EXPECT_EQ(std::get<double>(window.Form()->Grid().GetCell(1, kStatusValue)), 0.123456);

    // A new value repaints that cell alone.
    struct PaintSpy : QObject {
        QRegion region;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint)
                region += static_cast<QPaintEvent*>(e)->region();
            return false;
        }
    } spy;
    // Repaints are requested through a timer: wait for the pending ones.
    QTest::qWait(50);
    table->viewport()->installEventFilter(&spy);
    window.ShowCursorValue(&view, 0, kStatusValue, -4.5);
    QTest::qWait(50);
    table->viewport()->removeEventFilter(&spy);
    EXPECT_EQ(spy.region, QRegion(table->visualRect(model->index(0, kStatusValue))));

    window.ShowCursorTime(&view, 1234.5);
    window.ShowDuration(&other, 10.0);
    EXPECT_EQ(window.Form()->CursorText()->text(), QStringLiteral("              1234.5"));
    EXPECT_EQ(window.Form()->DurationText()->text(), QString());

    const QString shot = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots/status-window.png");
    QDir().mkpath(QFileInfo(shot).absolutePath());
    EXPECT_TRUE(window.grab().save(shot));

    // The child frame's close: no owner, no document, empty table and read-outs.
    window.ShowDocument(nullptr, nullptr);
    EXPECT_EQ(model->rowCount(), 0);
    EXPECT_EQ(window.Form()->CursorText()->text(), QString());
}

TEST_F(StatusWindowTest, CloseHidesAndShowingAgainKeepsThePlace) {
    CStatusWindow window;
    ASSERT_TRUE(window.CreateFormControl());
    window.setGeometry(120, 90, 600, 140);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QRect before = window.geometry();
    EXPECT_TRUE(window.close() == false || !window.isVisible());
    EXPECT_FALSE(window.isVisible());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.geometry(), before);
    EXPECT_EQ(window.Placement().size(), before.size());
}

}  // namespace
}  // namespace vocomet
