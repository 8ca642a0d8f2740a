// Printing, picture export and screen dump of the main view, and the page
// frame and label routines they share.

#include <QApplication>
#include <QAction>
#include <QImage>
#include <QMenu>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QTest>
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "app/BitmapFile.h"
#include "app/PictureExport.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielView.h"
#include "app/ui/ViewPrinting.h"
#include "widgets/PrintRoutines.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/NativeReaders.h"
#include "support/NativeFixtureWriter.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

class ViewPrinting : public ::testing::Test {
protected:
    void SetUp() override {
        app.tempFolder = test::FreshTempDir();
        test::FixtureFile file;
        file.layout = test::FixtureLayout::KovPcFloat;
        file.channels.push_back(test::RampChannel("Audio", 22050.0, 22050, -1.0f, 2.0f / 22050));
        file.channels.push_back(test::RampChannel("EGG", 11025.0, 11025, 0.5f, -1.0f / 11025));
        file.channels[0].timeReference = 1;
        const std::string path = app.tempFolder + "/two.vcm";
        test::WriteNativeFixture(path, file);
        doc = std::make_unique<COrielDoc>(app, prompts);
        RegisterNativeReaders(doc->Formats());
        ASSERT_TRUE(doc->OnOpenDocument(path));
        ASSERT_EQ(doc->GetChannelCount(), 2);
        doc->settings.display.pictureWidth = 6.0;
        doc->settings.display.pictureHeight = 4.0;
        doc->settings.display.first = 1;   // inches
        doc->settings.display.fourth = 1;  // time grid
        doc->settings.display.fifth = 0;
        doc->settings.display.sixth = 1;  // colour
        view = std::make_unique<COrielView>(*doc);
        view->resize(640, 480);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        prompts.messages.clear();
    }

    // The size Save As bmp makes at this screen's pixels per millimetre.
    QSize ExpectedSize() const {
        const DisplaySettings& d = doc->settings.display;
        const PictureSize s = BitmapPictureSize(d.pictureWidth, d.pictureHeight, d.first != 0,
                                                view->physicalDpiX() / 25.4, view->physicalDpiY() / 25.4);
        return QSize(static_cast<int>(s.width), static_cast<int>(s.height));
    }

    std::string Export(const std::string& name) {
        const std::string path = app.tempFolder + "/" + name;
        prompts.paths.push_back(path);
        view->OnFileSaveAsBmp();
        return path;
    }

    ApplicationState app;
    test::ScriptedPrompts prompts;
    std::unique_ptr<COrielDoc> doc;
    std::unique_ptr<COrielView> view;
};

bool IsBlack(QRgb c) { return (c & 0xFFFFFF) == 0; }

// An 8 x 6 inch plot one inch in would run off A4 and Letter paper: on the
// page it is scaled down into the printable area; 6 x 4 inches keep their size.
TEST(PrintFrameOnPaper, PlotStaysInsideThePrintableArea) {
    for (const QPageSize::PageSizeId paper : {QPageSize::A4, QPageSize::Letter}) {
        for (const double width : {6.0, 8.0}) {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(QString::fromStdString(test::FreshTempDir() + "/page.pdf"));
            printer.setPageSize(QPageSize(paper));
            QPainter dc;
            ASSERT_TRUE(dc.begin(&printer));
            QRect plot;
            int unit = 0;
            DrawPrintFrame(dc, width, width * 0.75, true, QStringLiteral("take"), plot, unit, true);
            const int dpi = printer.logicalDpiX();
            dc.end();
            SCOPED_TRACE(testing::Message() << static_cast<int>(paper) << " " << width << " in");
            EXPECT_TRUE(QRect(0, 0, printer.width(), printer.height()).contains(plot));
            EXPECT_EQ(plot.topLeft(), QPoint(dpi, printer.logicalDpiY()));
            if (width == 6.0)
                EXPECT_EQ(plot.width(), 6 * dpi);
            else
                EXPECT_LT(plot.width(), 8 * dpi);
            EXPECT_NEAR(static_cast<double>(plot.height()) / plot.width(), 0.75, 0.01);
        }
    }
}

TEST_F(ViewPrinting, SaveAsBmpWritesTheShownChannelsAtThePrintSize) {
    const std::string path = Export("two.bmp");
    EXPECT_TRUE(prompts.messages.empty()) << prompts.LastMessage();
    ASSERT_EQ(prompts.saveRequests.size(), 1u);
    EXPECT_EQ(prompts.saveRequests[0].initialPath, "bmp_two");
    EXPECT_EQ(prompts.saveRequests[0].title, "Save As bmp");

    const QImage picture(QString::fromStdString(path));
    ASSERT_FALSE(picture.isNull());
    const QSize size = ExpectedSize();
    EXPECT_EQ(picture.size(), size);
    if (test::HaveTool("identify")) {
        const std::string out = app.tempFolder + "/identify.txt";
        ASSERT_EQ(0, test::RunCommand("identify -format '%w %h' '" + path + "' > '" + out + "'"));
        EXPECT_EQ(test::ReadAll(out), std::to_string(size.width()) + " " + std::to_string(size.height()));
    }

    // The boxes of the two channels: the plot leaves two text heights below
    // and the stack of the screen (100 + 5 + 100 + 5) is scaled into it.
    const int textHeight = QFontMetrics(view->appFont).height();
    const std::vector<PictureBox> boxes = BitmapBoxes(std::span<const CChannels>(doc->Channels().data(), 2),
                                                      size.width(), size.height() - 2 * textHeight,
                                                      view->Layout().StackHeight());
    ASSERT_EQ(boxes.size(), 2u);
    for (const PictureBox& b : boxes) {
        EXPECT_TRUE(IsBlack(picture.pixel(b.rect.left, b.rect.top + 3))) << b.slot;                 // left edge
        EXPECT_TRUE(IsBlack(picture.pixel(b.rect.right - 1, b.rect.top + 3))) << b.slot;            // right edge
        EXPECT_TRUE(IsBlack(picture.pixel(b.rect.left + b.rect.Width() / 2, b.rect.bottom - 1))) << b.slot;
    }
    // The gap between the boxes is not drawn on.
    EXPECT_FALSE(IsBlack(picture.pixel(size.width() / 3, boxes[0].rect.bottom + 2)));

    // Exporting changes neither the document nor the view.
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(ViewPrinting, BlackAndWhitePictureHoldsOnlyBlackWhiteAndTheGrid) {
    doc->settings.display.sixth = 0;
    doc->Channel(0).drawReference = 1;
    const QImage picture(QString::fromStdString(Export("bw.bmp")));
    ASSERT_FALSE(picture.isNull());
    std::set<QRgb> colours;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            colours.insert(picture.pixel(x, y) & 0xFFFFFF);
    for (QRgb c : colours) {
        const int r = qRed(c), g = qGreen(c), b = qBlue(c);
        EXPECT_TRUE(r == g && g == b) << std::hex << c;  // greys only (text is smoothed)
    }
    EXPECT_TRUE(colours.count(0xC8C8C8));  // the time grid stays light grey
}

TEST_F(ViewPrinting, ExportWithNoChannelShownDrawsNoBox) {
    doc->Channel(0).show = 0;
    doc->Channel(1).show = 0;
    view->LayoutChannels();
    ASSERT_EQ(view->Layout().StackHeight(), 0);
    doc->settings.display.fourth = 0;
    const QImage picture(QString::fromStdString(Export("none.bmp")));
    ASSERT_FALSE(picture.isNull());
    EXPECT_TRUE(prompts.messages.empty());
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            ASSERT_EQ(picture.pixel(x, y) & 0xFFFFFF, 0xFFFFFFu) << x << "," << y;
}

TEST_F(ViewPrinting, RefusedSizesAndCancelledDialogsWriteNothing) {
    const struct {
        double width;
        double height;
    } sizes[] = {{0.0, 4.0}, {-2.0, 4.0}, {6.0, 0.0}, {1.0e6, 4.0}};
    for (const auto& s : sizes) {
        prompts.messages.clear();
        doc->settings.display.pictureWidth = s.width;
        doc->settings.display.pictureHeight = s.height;
        const std::string path = Export("refused.bmp");
        EXPECT_EQ(prompts.LastMessage(), "Error in saving the bitmap file.") << s.width << "x" << s.height;
        EXPECT_FALSE(std::filesystem::exists(path));
    }

    // A cancelled dialog beeps and ends quietly.
    prompts.messages.clear();
    const int beeps = prompts.beeps;
    prompts.paths.push_back(std::nullopt);
    view->OnFileSaveAsBmp();
    EXPECT_EQ(prompts.beeps, beeps + 1);
    EXPECT_TRUE(prompts.messages.empty());

    // The screen dump asks for "ScreenDump"; cancelled, it captures nothing.
    prompts.paths.push_back(std::nullopt);
    view->OnFileSaveScreenAsBmp();
    EXPECT_EQ(prompts.saveRequests.back().initialPath, "ScreenDump");
    QTest::qWait(50);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ViewPrinting, AnExportTheFileSystemRefusesSaysWhyAndKeepsTheUsersFile) {
    // The folder chosen is in fact the user's file: nothing can be made in it.
    const std::string userFile = app.tempFolder + "/notes.txt";
    test::WriteAll(userFile, "the user's notes");
    Export("notes.txt/picture.bmp");
    ASSERT_EQ(prompts.messages.size(), 1u);
    const std::string& text = prompts.messages[0].text;
    EXPECT_EQ(text.rfind("Error in saving the bitmap file.\n\n", 0), 0u) << text;
    EXPECT_NE(text.find(std::strerror(ENOTDIR)), std::string::npos) << text;
    EXPECT_EQ(test::ReadAll(userFile), "the user's notes");
}

TEST_F(ViewPrinting, ScreenDumpWritesTheScreenOrSaysItCouldNot) {
    const std::string path = app.tempFolder + "/screen.bmp";
    prompts.paths.push_back(path);
    view->OnFileSaveScreenAsBmp();
    EXPECT_EQ(view->screenDumpPath, path);
    EXPECT_FALSE(std::filesystem::exists(path));  // not before the timer
    QTest::qWait(100);
    if (std::filesystem::exists(path)) {
        const QImage screen(QString::fromStdString(path));
        EXPECT_FALSE(screen.isNull());
        EXPECT_TRUE(prompts.messages.empty());
    } else {
        // Some platforms give no screen picture; that is said, never silent.
        EXPECT_EQ(prompts.LastMessage(), "Error in saving the bitmap file.");
    }
}

TEST_F(ViewPrinting, PrintsOnePageWithTheTitleToPdf) {
    for (int dpi : {600, 300}) {
        const std::string pdf = app.tempFolder + "/page" + std::to_string(dpi) + ".pdf";
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        printer.setResolution(dpi);
        ASSERT_TRUE(view->PrintTo(printer));
        ASSERT_TRUE(std::filesystem::exists(pdf));
        if (!test::HaveTool("pdftotext") || !test::HaveTool("pdfinfo"))
            GTEST_SKIP() << "poppler-utils is not installed";
        const std::string info = app.tempFolder + "/info.txt";
        ASSERT_EQ(0, test::RunCommand("pdfinfo '" + pdf + "' > '" + info + "'"));
        const std::string pages = test::ReadAll(info);
        const std::size_t at = pages.find("Pages:");
        ASSERT_NE(at, std::string::npos) << pages;
        EXPECT_EQ(std::stoi(pages.substr(at + 6)), 1) << pages;
        const std::string text = app.tempFolder + "/page.txt";
        ASSERT_EQ(0, test::RunCommand("pdftotext '" + pdf + "' '" + text + "'"));
        const std::string words = test::ReadAll(text);
        EXPECT_NE(words.find("two.vcm"), std::string::npos) << words;
        EXPECT_NE(words.find("Audio"), std::string::npos) << words;
        EXPECT_NE(words.find("EGG"), std::string::npos) << words;
        EXPECT_NE(words.find("(ms)"), std::string::npos) << words;  // the time axis of the grid
    }
}

TEST_F(ViewPrinting, PrintedPageWithNoChannelShownHasOnlyTheTitle) {
    doc->Channel(0).show = 0;
    doc->Channel(1).show = 0;
    doc->settings.display.fourth = 0;
    view->LayoutChannels();
    const std::string pdf = app.tempFolder + "/empty.pdf";
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    ASSERT_TRUE(view->PrintTo(printer));
    if (!test::HaveTool("pdftotext"))
        GTEST_SKIP() << "poppler-utils is not installed";
    const std::string text = app.tempFolder + "/empty.txt";
    ASSERT_EQ(0, test::RunCommand("pdftotext '" + pdf + "' '" + text + "'"));
    const std::string words = test::ReadAll(text);
    EXPECT_NE(words.find("two.vcm"), std::string::npos);
    EXPECT_EQ(words.find("Audio"), std::string::npos);
}

TEST(PrintingCommands, ScreenDumpStaysEnabledWithoutADocumentWindow) {
    CMainFrame frame;
    QMenu& file = *frame.FileMenu();
    test::ScriptedPrompts prompts;
    AddPrintingCommands(file, frame, prompts, [] { return static_cast<CChildFrame*>(nullptr); });
    emit file.aboutToShow();
    QStringList enabled;
    QStringList all;
    for (QAction* a : file.actions()) {
        if (a->isSeparator())
            continue;
        all << a->text();
        if (a->isEnabled())
            enabled << a->text();
    }
    EXPECT_EQ(all, (QStringList{"Save As bmp...", "Save Screen As bmp...", "Print...", "Print Preview",
                                "Print Screen..."}));
    EXPECT_EQ(enabled, (QStringList{"Save Screen As bmp...", "Print Screen..."}));

    // The frame's own screen dump asks for "ScreenDump"; cancelled, nothing.
    prompts.paths.push_back(std::nullopt);
    file.actions()[2]->trigger();
    ASSERT_EQ(prompts.saveRequests.size(), 1u);
    EXPECT_EQ(prompts.saveRequests[0].initialPath, "ScreenDump");
}

TEST(PrintRoutines, PrintFrameOnAPageOf600DotsPerInch) {
    QImage page(8 * 600, 3 * 600, QImage::Format_RGB32);
    page.setDotsPerMeterX(static_cast<int>(std::lround(600 / 0.0254)));
    page.setDotsPerMeterY(static_cast<int>(std::lround(600 / 0.0254)));
    page.fill(Qt::white);
    QPainter dc(&page);
    QRect plot;
    int unit = 0;
    DrawPrintFrame(dc, 2.0, 1.0, true, QStringLiteral("Title"), plot, unit, true);
    dc.end();
    EXPECT_EQ(plot, QRect(600, 600, 1200, 600));
    EXPECT_EQ(unit, 5);
    // The border, and the title centred half an inch above the plot.
    EXPECT_TRUE(IsBlack(page.pixel(600, 900)));
    int minX = page.width(), maxX = -1, minY = page.height(), maxY = -1;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 128) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
    ASSERT_GE(maxX, 0) << "no title drawn";
    EXPECT_NEAR((minX + maxX) / 2.0, 1200.0, 12.0);
    EXPECT_GE(minY, 300);
}

TEST(PrintRoutines, PictureLabelsKeepTheirAnchoringAndMarkTheirTime) {
    CChannels ch;
    LABEL label;
    label.SetText("vowel onset");
    label.anchoring = LABEL::kAnchorRight;
    label.markerLine = 1;
    label.colour = 0x0000FF;  // red text, black line
    label.time = 500.0;
    label.relativeHeight = 0.25;
    label.font.height = -14;
    label.font.faceName = "Arial";
    ch.labels.Add(label);
    label.anchoring = LABEL::kAnchorCentre;
    label.time = 1500.0;  // outside the shown window
    ch.labels.Add(label);

    QImage box(400, 100, QImage::Format_RGB32);
    box.fill(Qt::white);
    QPainter dc(&box);
    PictureStyle style;
    style.visibleStartTime = 0.0;
    style.visibleEndTime = 1000.0;
    ChannelPainter::DrawPictureLabels(dc, ch, QRect(0, 0, 400, 100), style);
    dc.end();
    for (int y = 0; y < 100; ++y)
        EXPECT_TRUE(IsBlack(box.pixel(200, y))) << y;  // the marker line at the label's time
    int red = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 400; ++x) {
            const QRgb c = box.pixel(x, y);
            if (qRed(c) > 150 && qGreen(c) < 100 && qBlue(c) < 100) {
                ++red;
                EXPECT_LT(x, 201) << "text right of its anchor at " << x;
                EXPECT_GE(y, 24);
            }
        }
    EXPECT_GT(red, 20);
}

}  // namespace
}  // namespace vocomet
