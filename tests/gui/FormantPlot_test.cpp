#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QMdiArea>
#include <QPrinter>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <optional>
#include <string>

#include "analysis/FormantChart.h"
#include "analysis/PlotFormantFile.h"
#include "analysis/ui/CFormPlotFormantFrame.h"
#include "analysis/ui/CFormPlotFormantView.h"
#include "app/GridModel.h"
#include "widgets/GridTableView.h"
#include "widgets/QtText.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

using platform::Answer;

// Three vowels of five tokens each, spread in both formants.
std::string ThreeVowels() {
    std::vector<PlotFormantRow> rows;
    const struct {
        const char* label;
        int f1, f2, f3;
    } vowels[] = {{"i", 300, 2250, 3000}, {"a", 750, 1300, 2500}, {"u", 320, 850, 2300}};
    const int spread[5][2] = {{0, 0}, {40, 120}, {-35, -90}, {20, -150}, {-25, 160}};
    for (const auto& v : vowels)
        for (const auto& s : spread)
            rows.push_back({v.f1 + s[0], v.f2 + s[1], v.f3, v.label});
    return BuildPlotFormantText(rows);
}

class FormantPlot : public ::testing::Test {
protected:
    void SetUp() override {
        app.tempFolder = test::FreshTempDir();
        dir = app.tempFolder;
        doc = std::make_unique<COrielDoc>(app, prompts);
        doc->settings.formantPlot.values = {0, 1, 1, 1, 1, 1, 1200, 3000, 3000};
        area.resize(1000, 700);
        frame = new CFormPlotFormantFrame(*doc, prompts, placement);
        area.addSubWindow(frame);
        view = frame->GetView();
        view->OnInitialUpdate();
        test::WriteAll(dir + "/vowels.txt", ThreeVowels());
    }

    ApplicationState app;
    test::ScriptedPrompts prompts;
    std::string dir;
    std::unique_ptr<COrielDoc> doc;
    QMdiArea area;
    WindowPlacement placement{};
    CFormPlotFormantFrame* frame = nullptr;
    CFormPlotFormantView* view = nullptr;
};

TEST_F(FormantPlot, ReadsTheFileIntoTheTableAndTakesItsName) {
    ASSERT_TRUE(view->ReadPlotFormantFile(dir + "/vowels.txt"));
    EXPECT_EQ(view->Grid().GetRowCount(), 15);
    EXPECT_EQ(view->GetCellInt(5, kColF1), 750);
    EXPECT_EQ(view->GetCellText(5, kColSymbol), "a");
    EXPECT_EQ(view->GetCellInt(-1, 0), 0);
    EXPECT_TRUE(view->IsLoaded());
    EXPECT_FALSE(view->IsModified());
    EXPECT_EQ(frame->windowTitle(), "vowels.txt");
    EXPECT_EQ(view->GetPath(), dir + "/vowels.txt");

    // A high-bit label shows as its character and is written back as its byte.
    test::WriteAll(dir + "/umlaut.txt", "400\t1600\t2400\t\"\xf6\"\t\r\n");
    ASSERT_TRUE(view->ReadPlotFormantFile(dir + "/umlaut.txt"));
    EXPECT_EQ(view->GetCellText(0, kColSymbol), "\xc3\xb6");
    ASSERT_TRUE(view->WritePlotFormantFile(dir + "/umlaut2.txt"));
    EXPECT_EQ(test::ReadAll(dir + "/umlaut2.txt"), "400\t1600\t2400\t\"\xf6\"\t\r\n");
}

TEST_F(FormantPlot, CellRulesAndRowCommands) {
    ASSERT_TRUE(view->ReadPlotFormantFile(dir + "/vowels.txt"));
    view->SetCellInt(0, kColF2, 12000);
    EXPECT_EQ(view->GetCellInt(0, kColF2), 0);
    view->SetCellText(0, kColSymbol, "ii", -1);
    EXPECT_EQ(view->GetCellText(0, kColSymbol), "i");
    // A user's edit of a frequency keeps the rule and marks the table.
    view->Grid().SetCellByUser(1, kColF1, "-5");
    EXPECT_EQ(view->GetCellInt(1, kColF1), 0);
    EXPECT_TRUE(view->IsModified());

    view->OnInsertRow();
    EXPECT_EQ(view->Grid().GetRowCount(), 16);
    EXPECT_FALSE(view->CanDeleteRow());
    view->Grid().SetRowSelected(0, true);
    view->Grid().SetRowSelected(15, true);
    view->OnDeleteRow();
    EXPECT_EQ(view->Grid().GetRowCount(), 14);
    // The inserted row of zeros survives a save and a read.
    view->OnInsertRow();
    ASSERT_TRUE(view->WritePlotFormantFile(dir + "/edited.txt"));
    ASSERT_TRUE(view->ReadPlotFormantFile(dir + "/edited.txt"));
    EXPECT_EQ(view->Grid().GetRowCount(), 15);
    EXPECT_EQ(view->GetCellText(14, kColSymbol), "");
}

TEST_F(FormantPlot, CloseQuestionAndSaveAs) {
    // Not modified: nothing asked.
    EXPECT_TRUE(frame->QueryClose());
    EXPECT_TRUE(prompts.messages.empty());

    ASSERT_TRUE(view->LoadFormantTable(dir + "/vowels.txt"));
    EXPECT_TRUE(view->IsModified());
    EXPECT_TRUE(view->GetPath().empty());
    frame->SetTitle("Plot Formants");

    prompts.answers = {Answer::Cancel};
    EXPECT_FALSE(frame->QueryClose());
    EXPECT_EQ(prompts.LastMessage(), "Save plot formant file-- Plot Formants --, before closing.");
    EXPECT_EQ(prompts.messages.back().buttons, platform::Buttons::YesNoCancel);

    // Yes, then Save As cancelled: the window stays.
    prompts.answers = {Answer::Yes};
    prompts.paths = {std::nullopt};
    EXPECT_FALSE(frame->QueryClose());
    ASSERT_FALSE(prompts.saveRequests.empty());
    EXPECT_EQ(prompts.saveRequests.back().title, kPlotFormantSaveTitle);

    // Yes, then a new file: written, titled, the window may go.
    prompts.answers = {Answer::Yes};
    prompts.paths = {dir + "/new.txt"};
    EXPECT_TRUE(frame->QueryClose());
    // The numbers-only load has no symbols.
    const std::string saved = test::ReadAll(dir + "/new.txt");
    EXPECT_EQ(saved.substr(0, 19), "300\t2250\t3000\t\"\"\t\r\n");
    EXPECT_EQ(saved, BuildPlotFormantText(view->TableRows()));
    EXPECT_EQ(frame->windowTitle(), "new.txt");
    EXPECT_FALSE(view->IsModified());

    view->OnInsertRow();
    prompts.answers = {Answer::No};
    EXPECT_TRUE(frame->QueryClose());
}

TEST_F(FormantPlot, OpenerLeavesNoWindowForAnUnreadableFile) {
    QMdiArea openArea;
    WindowPlacement shared{};
    const PlotDocumentFactory make = [this] { return std::make_unique<COrielDoc>(app, prompts); };
    prompts.paths = {dir + "/missing.txt"};
    EXPECT_EQ(OpenPlotFormantWindow(openArea, prompts, shared, make), nullptr);
    EXPECT_EQ(prompts.LastMessage(), kPlotFormantOpenFailure);
    EXPECT_TRUE(openArea.subWindowList().isEmpty());

    prompts.paths = {dir + "/vowels.txt"};
    CFormPlotFormantFrame* opened = OpenPlotFormantWindow(openArea, prompts, shared, make);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(prompts.openRequests.back().title, kPlotFormantOpenTitle);
    EXPECT_EQ(opened->windowTitle(), "vowels.txt");
    EXPECT_EQ(opened->GetView()->Grid().GetRowCount(), 15);
    EXPECT_EQ(shared, (WindowPlacement{20, 20, 300, 300}));
}

// On screen the chart stays right of the controls and the table at any
// window size; the font box names the font the chart draws with, and
// Font... takes a text colour as well.
TEST_F(FormantPlot, ChartStaysInItsAreaAndFontAndColourAreChosen) {
    ASSERT_TRUE(view->ReadPlotFormantFile(dir + "/vowels.txt"));
    for (const QSize size : {QSize(300, 300), QSize(700, 500), QSize(980, 680)}) {
        view->resize(size);
        QImage own(size, QImage::Format_RGB32);
        own.fill(Qt::white);
        view->render(&own, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        const QRect area = view->ChartArea();
        int outside = 0, inside = 0;
        for (int y = 0; y < own.height(); ++y)
            for (int x = 0; x < own.width(); ++x) {
                const bool ink = own.pixel(x, y) != qRgb(255, 255, 255);
                (area.contains(x, y) ? inside : outside) += ink ? 1 : 0;
            }
        EXPECT_EQ(outside, 0) << size.width() << "x" << size.height();
        if (size.width() > 600) {
            EXPECT_GT(inside, 100);
        }
        EXPECT_FALSE(area.intersects(view->findChild<GridTableView*>()->geometry()));
    }

    const QString inUse = QFontInfo(ToQFont(doc->settings.formantPlot.font)).family();
    bool shown = false;
    for (QLabel* label : view->findChildren<QLabel*>())
        shown = shown || label->text() == inUse;
    EXPECT_TRUE(shown) << inUse.toStdString();

    view->chooseFont = [](const QFont& font, const QColor&) {
        QFont f = font;
        f.setFamily(QStringLiteral("DejaVu Serif"));
        return std::optional<CFormPlotFormantView::FontChoice>({f, QColor(0, 128, 0)});
    };
    view->OnFont();
    EXPECT_EQ(doc->settings.formantPlot.fontColour, platform::Rgb(0, 128, 0));
    EXPECT_EQ(view->FontInUse(), QFontInfo(ToQFont(doc->settings.formantPlot.font)).family());
    view->chooseFont = [](const QFont&, const QColor&) { return std::optional<CFormPlotFormantView::FontChoice>(); };
    view->OnFont();
    EXPECT_EQ(doc->settings.formantPlot.fontColour, platform::Rgb(0, 128, 0));  // cancelled: kept
}

TEST_F(FormantPlot, ChartOfThreeVowelsWithEllipses) {
    ASSERT_TRUE(view->ReadPlotFormantFile(dir + "/vowels.txt"));
    const QImage picture = view->RenderBitmap(900, 700);
    ASSERT_FALSE(picture.isNull());
    picture.save(QStringLiteral("/tmp/h31-formant-chart.png"));

    // Each group's mean is drawn as a filled black dot; its ellipse passes
    // around it. Look for ink on the outline along the F1 axis.
    const FormantChartGeometry g = MakeFormantChartGeometry(20, 0, 900, 700, 1, 1);
    int groupsWithOutline = 0;
    for (const char* label : {"i", "a", "u"}) {
        std::vector<double> f1, x;
        for (int r = 0; r < view->Grid().GetRowCount(); ++r) {
            if (view->GetCellText(r, kColSymbol) != label)
                continue;
            f1.push_back(BarkOfHz(view->GetCellInt(r, kColF1)));
            x.push_back(BarkOfHz(view->GetCellInt(r, kColF2)));
        }
        const GroupStatistics s = ComputeGroupStatistics(f1, x);
        EXPECT_EQ(picture.pixelColor(g.XOfBark(s.meanX), g.YOfBark(s.meanF1)), QColor(Qt::black)) << label;
        const auto e = EllipseOf(s);
        ASSERT_TRUE(e) << label;
        const auto outline = EllipseOutline(s, *e);
        const QPoint p(g.XOfBark(outline[100].x), g.YOfBark(outline[100].f1));
        bool ink = false;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                ink = ink || picture.pixelColor(p + QPoint(dx, dy)).lightness() < 128;
        groupsWithOutline += ink ? 1 : 0;
    }
    EXPECT_EQ(groupsWithOutline, 3);

    // Without a table only the axes are drawn: fewer dark pixels.
    const auto ink = [](const QImage& image) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += image.pixelColor(x, y).lightness() < 128 ? 1 : 0;
        return n;
    };
    CFormPlotFormantView empty(*doc, prompts);
    empty.OnInitialUpdate();
    EXPECT_LT(ink(empty.RenderBitmap(900, 700)), ink(picture));

    // F2' plots place the same rows elsewhere; printing goes to a PDF page.
    view->SetPlotType(kPlotF2Prime);
    EXPECT_EQ(doc->settings.formantPlot.values[0], 1);
    view->RenderBitmap(900, 700).save(QStringLiteral("/tmp/h31-formant-chart-f2prime.png"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(dir + "/chart.pdf"));
    view->PrintTo(printer);
    EXPECT_GT(test::ReadAll(dir + "/chart.pdf").size(), 1000u);

    // The window as a user sees it.
    frame->resize(980, 680);
    frame->show();
    area.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));
    area.grab().save(QStringLiteral("/tmp/h31-formant-window.png"));
}

}  // namespace
}  // namespace vocomet
