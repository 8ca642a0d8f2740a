// Printing, picture export and screen dump of the main view.

#include "app/ui/ViewPrinting.h"

#include <QAction>
#include <QKeySequence>
#include <QMdiArea>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/BitmapFile.h"
#include "app/PictureExport.h"
#include "windows/AnalysisWindowCommands.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/CommandRouting.h"
#include "app/ui/COrielView.h"
#include "widgets/DrawingRoutines.h"
#include "widgets/PrintRoutines.h"
#include "core/COrielDoc.h"
#include "widgets/PixelRects.h"

namespace vocomet {

namespace {

std::vector<PictureChannelBox> ToChannelBoxes(const std::vector<PictureBox>& boxes) {
    std::vector<PictureChannelBox> out;
    out.reserve(boxes.size());
    for (const PictureBox& b : boxes)
        out.push_back({b.slot, ToQRect(b.rect)});
    return out;
}

}  // namespace

QImage COrielView::RenderBitmap(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    if (picture.isNull())
        return picture;
    picture.fill(Qt::white);
    const DisplaySettings& display = m_doc.settings.display;
    QPainter dc(&picture);
    dc.setFont(appFont);
    // Room for the time labels below the plot.
    const int textHeight = QFontMetrics(appFont).height();
    const QRect plot(0, 0, width, std::max(height - 2 * textHeight, 0));
    const double start = m_scroll.visibleStartTime;
    const double end = m_scroll.visibleEndTime;
    if (display.fourth != 0 && !plot.isEmpty() && end > start)
        DrawTimeAxis(dc, plot, 0, true, start, end, display.fifth, true, appFont, kGridColour);

    const std::span<CChannels> channels = ChannelsInUse();
    const std::vector<PictureChannelBox> boxes =
        ToChannelBoxes(BitmapBoxes(channels, width, plot.height(), m_layout.StackHeight()));
    PictureStyle style;
    style.colour = display.sixth != 0;
    style.paper = false;
    style.nameFont = appFont;
    style.nameInset = 2;
    style.labelFontScale = 1.0;
    style.visibleStartTime = start;
    style.visibleEndTime = end;
    m_painter.PaintPicture(dc, m_doc, boxes, style);
    return picture;
}

void COrielView::OnFileSaveAsBmp() {
    platform::UserPrompts& prompts = m_doc.Prompts();
    const std::string path = AskBitmapSavePath(prompts, DefaultBitmapName(m_doc.GetTitle()));
    if (path.empty()) {
        prompts.Beep();
        return;
    }
    int result = 1;
    std::string reason;
    {
        const platform::BusyGuard busy(prompts);
        const DisplaySettings& display = m_doc.settings.display;
        const PictureSize size = BitmapPictureSize(display.pictureWidth, display.pictureHeight, display.first != 0,
                                                   physicalDpiX() / 25.4, physicalDpiY() / 25.4);
        if (BitmapSizeAllowed(size.width, size.height)) {
            try {
                const QImage picture = RenderBitmap(static_cast<int>(size.width), static_cast<int>(size.height));
                result = WriteBitmapFile(picture, path, &reason);
            } catch (...) {
                result = 1;
            }
        }
    }
    if (result != 0)
        ReportBitmapSaveFailure(prompts, reason);
}

void COrielView::OnFileSaveScreenAsBmp() {
    screenDumpPath = AskBitmapSavePath(m_doc.Prompts(), kScreenDumpName);
    if (screenDumpPath.empty())
        return;
    // Once the file dialog has left the screen.
    QTimer::singleShot(10, this, [this] { CaptureScreen(); });
}

void COrielView::CaptureScreen() {
    CaptureScreenToFile(screenDumpPath, m_doc.Prompts());
}

void COrielView::OnPrint(QPainter& dc) {
    const DisplaySettings& display = m_doc.settings.display;
    dc.save();
    // The print font: as high as "0" in the printer's own font.
    QFont font(QStringLiteral("Arial"));
    font.setWeight(QFont::Normal);
    font.setPixelSize(std::max(1, dc.fontMetrics().height()));

    QRect plot;
    int unit = 3;
    DrawPrintFrame(dc, display.pictureWidth, display.pictureHeight, display.first != 0,
                   QString::fromStdString(m_doc.GetTitle()), plot, unit, false);
    const std::span<CChannels> channels = ChannelsInUse();
    const std::vector<PictureChannelBox> boxes = ToChannelBoxes(
        PrintBoxes(channels, {plot.x(), plot.y(), plot.x() + plot.width(), plot.y() + plot.height()}, unit));

    const double start = m_scroll.visibleStartTime;
    const double end = m_scroll.visibleEndTime;
    dc.setFont(font);
    if (display.fourth != 0 && !plot.isEmpty() && end > start)
        DrawTimeAxis(dc, plot, 0, true, start, end, display.fifth, true, font, kGridColour);

    PictureStyle style;
    style.colour = display.sixth != 0;
    style.paper = true;
    style.nameFont = font;
    style.nameInset = 2 * unit;
    style.labelFontScale = unit;
    style.visibleStartTime = start;
    style.visibleEndTime = end;
    m_painter.PaintPicture(dc, m_doc, boxes, style);
    dc.restore();
}

bool COrielView::PrintTo(QPrinter& printer) {
    return PrintPage(printer, [this](QPainter& dc) { OnPrint(dc); });
}

void COrielView::OnFilePrint() {
    PrintWithDialog(this, [this](QPainter& dc) { OnPrint(dc); });
}

void COrielView::OnFilePrintPreview() {
    PrintPreview(this, [this](QPainter& dc) { OnPrint(dc); });
}

void AddPrintingCommands(QMenu& file, CMainFrame& frame, platform::UserPrompts& prompts,
                         std::function<CChildFrame*()> activeFrame) {
    const auto viewOf = [activeFrame]() -> COrielView* {
        CChildFrame* f = activeFrame();
        return f ? f->GetView() : nullptr;
    };
    // With an analysis window active, the commands are its own.
    QMdiArea* area = frame.MdiArea();
    const auto addViewCommand = [&](const char* text, void (COrielView::*command)(),
                                    void (AnalysisWindowCommands::*analysis)(), ViewCommand rule) {
        QAction* action = file.addAction(QString::fromLatin1(text), &frame, [viewOf, command, analysis, area] {
            if (COrielView* view = viewOf())
                (view->*command)();
            else if (AnalysisWindowCommands* window = ActiveAnalysisWindow(area))
                (window->*analysis)();
        });
        DeclareViewCommand(action, rule);
        DeclareAnalysisCommand(action, {});
        return action;
    };
    // The frame's screen dump keeps its path as the view keeps its own.
    auto framePath = std::make_shared<std::string>();
    const auto screenDump = [viewOf, &frame, &prompts, framePath] {
        if (COrielView* view = viewOf())
            view->OnFileSaveScreenAsBmp();
        else
            StartScreenDump(&frame, prompts, *framePath);
    };

    file.addSeparator();
    addViewCommand("Save As bmp...", &COrielView::OnFileSaveAsBmp, &AnalysisWindowCommands::OnFileSaveAsBmp,
                   ViewCommand::FileSaveAsBmp);
    QAction* saveScreen = file.addAction(QStringLiteral("Save Screen As bmp..."), &frame, screenDump);
    file.addSeparator();
    addViewCommand("Print...", &COrielView::OnFilePrint, &AnalysisWindowCommands::OnFilePrint, ViewCommand::FilePrint)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    addViewCommand("Print Preview", &COrielView::OnFilePrintPreview, &AnalysisWindowCommands::OnFilePrintPreview,
                   ViewCommand::FilePrintPreview);
    QAction* printScreen = file.addAction(QStringLiteral("Print Screen..."), &frame, screenDump);
    // The screen dump is the view's, and the main frame's when no view
    // takes it.
    for (QAction* a : {saveScreen, printScreen}) {
        DeclareViewCommand(a, ViewCommand::FileSaveScreenAsBmp);
        DeclareMainFrameCommand(a);
    }
}

}  // namespace vocomet
