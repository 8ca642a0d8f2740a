#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QMdiArea>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

#include "app/LabelListRows.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CFormLabelView.h"
#include "app/ui/CFrameLabelView.h"
#include "app/ui/CLabelEntry.h"
#include "app/ui/COrielView.h"
#include "widgets/GridTableView.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/NativeReaders.h"
#include "support/NativeFixtureWriter.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

void SaveScreenshot(QWidget& w, const char* name) {
    const QString path = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots/") +
                         QString::fromLatin1(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    w.grab().save(path);
}

test::FixtureLabel FixtureLabelAt(const std::string& text, double time) {
    test::FixtureLabel l;
    l.text = text;
    l.time = time;
    return l;
}

// A document window on a native file of three channels of two seconds,
// each with labels.
class LabelList : public ::testing::Test {
protected:
    void SetUp() override {
        app.tempFolder = test::FreshTempDir();
        test::FixtureFile file;
        file.layout = test::FixtureLayout::KovPcFloat;
        file.channels.push_back(test::RampChannel("Audio", 10000.0, 20000, -1.0f, 1.0f / 10000));
        file.channels.push_back(test::RampChannel("EGG", 10000.0, 20000, 0.5f, -1.0f / 20000));
        file.channels.push_back(test::RampChannel("Flow", 5000.0, 10000, 0.0f, 1.0f / 10000));
        file.channels[0].labels = {FixtureLabelAt("onset", 250.0), FixtureLabelAt("vowel", 1234.56789012345)};
        file.channels[1].labels = {FixtureLabelAt("closure", 700.0)};
        file.channels[2].labels = {FixtureLabelAt("caf\xE9", 1500.0)};
        path = app.tempFolder + "/labels.vcm";
        test::WriteNativeFixture(path, file);

        auto doc = std::make_unique<COrielDoc>(app, prompts);
        RegisterNativeReaders(doc->Formats());
        ASSERT_TRUE(doc->OnOpenDocument(path));
        area.resize(1000, 700);
        area.show();
        child = new CChildFrame(std::move(doc));
        area.addSubWindow(child);
        child->resize(600, 400);
        child->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));
        view = child->GetView();
    }

    COrielDoc& Doc() { return child->GetDocument(); }

    ApplicationState app;
    test::ScriptedPrompts prompts;
    std::string path;
    QMdiArea area;
    CChildFrame* child = nullptr;
    COrielView* view = nullptr;
};

TEST_F(LabelList, OpensOnANativeFileWithTheLabelsOfTheShownChannels) {
    Doc().Channel(1).show = 0;
    EXPECT_EQ(view->hooks.labelList(), nullptr);
    view->OnLabelsViewLabels();  // the menu command
    CFrameLabelView* frame = view->labelListFrame;
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(view->hooks.labelList(), static_cast<LabelListSink*>(frame));
    EXPECT_EQ(frame->mdiArea(), &area);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Labels:: labels.vcm"));
    // The first placement, and it is remembered.
    EXPECT_EQ(frame->geometry(), QRect(20, 20, 450, 450));
    EXPECT_EQ(app.settings.placements[kPlacementLabelList], (WindowPlacement{20, 20, 450, 450}));

    GridModel& grid = frame->Form()->Grid();
    ASSERT_EQ(grid.GetRowCount(), 3);
    EXPECT_EQ(grid.GetCellText(0, 0), "Audio");
    EXPECT_EQ(grid.GetCellText(0, 1), "onset");
    EXPECT_EQ(std::get<double>(grid.GetCell(1, 2)), 1234.56789012345);
    EXPECT_EQ(grid.GetCellText(2, 0), "Flow");
    EXPECT_EQ(grid.GetCellText(2, 1), "caf\xC3\xA9");
    // The table shows the rows, read-only.
    GridTableView* table = frame->Form()->Table();
    EXPECT_EQ(table->model()->rowCount(), 3);
    EXPECT_EQ(table->model()->index(2, 1).data().toString(), QString::fromUtf8("caf\xC3\xA9"));
    EXPECT_EQ(table->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_GT(table->geometry().bottom(), frame->Form()->ZoomButton()->geometry().bottom());
    SaveScreenshot(*frame, "label-list.png");

    // Opening again brings the same window forward.
    area.setActiveSubWindow(child);
    EXPECT_EQ(OpenLabelList(*view), frame);
    EXPECT_EQ(area.activeSubWindow(), frame);
    int lists = 0;
    for (QMdiSubWindow* w : area.subWindowList())
        lists += qobject_cast<CFrameLabelView*>(w) != nullptr;
    EXPECT_EQ(lists, 1);

    // A moved list remembers where it went.
    frame->move(40, 60);
    EXPECT_EQ(app.settings.placements[kPlacementLabelList][0], 40);
    EXPECT_EQ(app.settings.placements[kPlacementLabelList][1], 60);

    // Closing it clears the view's link; the next open uses the stored placement.
    frame->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(view->labelListFrame, nullptr);
    EXPECT_EQ(view->hooks.labelList(), nullptr);
    CFrameLabelView* again = OpenLabelList(*view);
    EXPECT_EQ(again->geometry().topLeft(), QPoint(40, 60));

    // Load Configuration puts the open list where the settings say.
    app.settings.placements[kPlacementLabelList] = {100, 110, 300, 200};
    view->ApplyWindowPlacements();
    EXPECT_EQ(again->geometry(), QRect(100, 110, 300, 200));
}

TEST_F(LabelList, ZoomScrollsTheMainViewToTheSelectedRow) {
    CFrameLabelView* frame = OpenLabelList(*view);
    CFormLabelView* form = frame->Form();
    Doc().settings.zoomDuration = 200.0;

    // No row selected: the message, and the view stays where it was.
    const double start = Doc().Channel(0).shownStartTime;
    const double end = Doc().Channel(0).shownEndTime;
    QTest::mouseClick(form->ZoomButton(), Qt::LeftButton);
    EXPECT_EQ(prompts.LastMessage(), "Select a row the label view and then zoom to the label.");
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(Doc().Channel(0).shownStartTime, start);
    EXPECT_EQ(Doc().Channel(0).shownEndTime, end);

    // The "closure" row, picked with the mouse.
    GridTableView* table = form->Table();
    const QRect cell = table->visualRect(table->model()->index(2, 1));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(form->Grid().NextSelected(-1), 2);
    QTest::mouseClick(form->ZoomButton(), Qt::LeftButton);
    EXPECT_EQ(prompts.messages.size(), 1u);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(Doc().Channel(i).shownStartTime, 600.0, 0.5);
        EXPECT_NEAR(Doc().Channel(i).shownEndTime, 800.0, 0.5);
    }
}

TEST_F(LabelList, HeaderClickSortsAndTheViewsChangesReachTheRows) {
    CFrameLabelView* frame = OpenLabelList(*view);
    CFormLabelView* form = frame->Form();
    GridModel& grid = form->Grid();
    QHeaderView* header = form->Table()->horizontalHeader();

    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(2) + 5, header->height() / 2));
    EXPECT_EQ(std::get<double>(grid.GetCell(0, 2)), 250.0);
    EXPECT_EQ(std::get<double>(grid.GetCell(1, 2)), 700.0);
    EXPECT_EQ(grid.GetSelectedCount(), 0);  // the header click selects nothing
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(2) + 5, header->height() / 2));
    EXPECT_EQ(std::get<double>(grid.GetCell(0, 2)), 1500.0);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);

    // What label mode reports, through the view's hook.
    LabelListSink* sink = view->hooks.labelList();
    ASSERT_EQ(sink, static_cast<LabelListSink*>(frame));
    LABEL added;
    added.SetText("new");
    added.time = 10.0;
    sink->AddLabel("EGG", added);
    EXPECT_EQ(grid.GetCellText(grid.GetRowCount() - 1, 1), "new");
    LABEL moved = added;
    moved.time = 20.0;
    sink->ModifyLabel(added, moved, "EGG");
    EXPECT_EQ(std::get<double>(grid.GetCell(grid.GetRowCount() - 1, 2)), 20.0);
    sink->DeleteLabel(moved, "EGG");
    EXPECT_EQ(grid.GetRowCount(), 4);

    // A refill after edits mirrors the channels again, in their order.
    Doc().Channel(0).RemoveAllLabels();
    frame->RefreshLabels();
    ASSERT_EQ(grid.GetRowCount(), 2);
    EXPECT_EQ(grid.GetCellText(0, 1), "closure");
    EXPECT_FALSE(header->isSortIndicatorShown());
}

TEST_F(LabelList, ClosingTheDocumentsWindowClosesItsList) {
    QPointer<CFrameLabelView> frame = OpenLabelList(*view);
    Doc().SetModifiedFlag(false);
    child->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(frame.isNull());
    EXPECT_TRUE(area.subWindowList().isEmpty());
}

TEST(LabelEntryLook, Screenshot) {
    LABEL label;
    label.SetText("vowel onset");
    label.anchoring = LABEL::kAnchorCentre;
    CLabelEntry d(label);
    d.show();
    SaveScreenshot(d, "label-entry.png");
    EXPECT_TRUE(d.CenterRadio()->isChecked());
}

}  // namespace
}  // namespace vocomet
