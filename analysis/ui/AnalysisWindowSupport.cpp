#include "analysis/ui/AnalysisWindowSupport.h"

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QMenu>
#include <QMoveEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <exception>
#include <utility>

#include "analysis/AnalysisServices.h"
#include "app/BitmapFile.h"
#include "app/PictureExport.h"
#include "widgets/PrintRoutines.h"
#include "core/COrielDoc.h"
#include "platform/UserPrompts.h"

namespace vocomet {

int FlowReadouts(std::span<const ReadoutPair> pairs, int left, int top, int width) {
    int x = left, y = top, rowHeight = 0;
    for (const ReadoutPair& p : pairs) {
        const QFontMetrics captionMetrics(p.caption->font());
        const QFontMetrics fieldMetrics(p.field->font());
        const int captionWidth = captionMetrics.horizontalAdvance(p.caption->text()) + 2;
        QString widest = p.widest.isEmpty() ? p.field->text() : p.widest;
        if (widest.size() < 2)
            widest = QStringLiteral("00");
        // The frame and the line edit's own margins on either side.
        const int fieldWidth = fieldMetrics.horizontalAdvance(widest) +
                               2 * p.field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 8;
        const int height = std::max(p.field->sizeHint().height(), p.caption->sizeHint().height());
        const int pairWidth = captionWidth + 2 + fieldWidth;
        if (x > left && x + pairWidth > left + width) {
            x = left;
            y += rowHeight + 2;
            rowHeight = 0;
        }
        p.caption->setGeometry(x, y, captionWidth, height);
        p.field->setGeometry(x + captionWidth + 2, y, fieldWidth, height);
        rowHeight = std::max(rowHeight, height);
        x += pairWidth + captionMetrics.horizontalAdvance(QStringLiteral("  "));
    }
    return y + rowHeight;
}

QAction* ActionTexted(QMenu* menu, const char* text) {
    if (!menu)
        return nullptr;
    for (QAction* a : menu->actions())
        if (a->text() == QLatin1String(text))
            return a;
    return nullptr;
}

namespace {

template <typename Target>
void MirrorStep(Target& target, MouseStep step, unsigned flags, platform::Point point, double timeMs) {
    switch (step) {
    case MouseStep::Press:
        target.BeginMouseSelection(flags, point, timeMs, kMouseFromOtherWindow);
        break;
    case MouseStep::Move:
        target.TrackMouse(flags, point, timeMs, kMouseFromOtherWindow);
        break;
    case MouseStep::Release:
        target.EndMouseSelection(flags, point, timeMs, kMouseFromOtherWindow);
        break;
    }
}

}  // namespace

void MirrorMouse(MouseStep step, MouseMirror* view, AnalysisPane* pane, unsigned flags, platform::Point point,
                 double timeMs) {
    if (view)
        MirrorStep(*view, step, flags, point, timeMs);
    if (pane)
        MirrorStep(*pane, step, flags, point, timeMs);
}

QRect DrawPrintedPictureFrame(QPainter& dc, double width, double height, bool inches, const std::string& title,
                              int& unit) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(std::max(1, dc.fontMetrics().height()));
    dc.setFont(font);
    QRect plot;
    unit = 3;
    DrawPrintFrame(dc, width, height, inches, QString::fromStdString(title), plot, unit, true);
    return plot;
}

void SavePictureBitmap(const QWidget& widget, platform::UserPrompts& prompts, const std::string& path,
                       double pictureWidth, double pictureHeight, bool inches,
                       const std::function<QImage(int, int)>& render) {
    int result = 1;
    std::string reason;
    {
        const platform::BusyGuard busy(prompts);
        const PictureSize size = BitmapPictureSize(pictureWidth, pictureHeight, inches, widget.physicalDpiX() / 25.4,
                                                   widget.physicalDpiY() / 25.4);
        if (BitmapSizeAllowed(size.width, size.height)) {
            try {
                result = WriteBitmapFile(render(static_cast<int>(size.width), static_cast<int>(size.height)), path,
                                         &reason);
            } catch (const std::exception&) {
                result = 1;
            }
        }
    }
    if (result != 0)
        ReportBitmapSaveFailure(prompts, reason);
}

PlacedAnalysisFrame::PlacedAnalysisFrame(COrielDoc& doc, WindowPlacement& placement, bool placedWhenShown,
                                         QWidget* parent)
    : QMdiSubWindow(parent), m_doc(doc), m_placement(placement), m_placedWhenShown(placedWhenShown) {
    setAttribute(Qt::WA_DeleteOnClose);
}

void PlacedAnalysisFrame::SetTitleSuffix(const QString& suffix) {
    m_titleSuffix = suffix;
    OnUpdateFrameTitle();
}

void PlacedAnalysisFrame::OnUpdateFrameTitle() {
    setWindowTitle(QString::fromStdString(m_doc.GetTitle()) + m_titleSuffix);
}

void PlacedAnalysisFrame::OnFilePrint() {
    if (m_commands)
        m_commands->OnFilePrint();
}

void PlacedAnalysisFrame::OnFilePrintPreview() {
    if (m_commands)
        m_commands->OnFilePrintPreview();
}

void PlacedAnalysisFrame::OnFileSaveAsBmp() {
    if (m_commands)
        m_commands->OnFileSaveAsBmp();
}

bool PlacedAnalysisFrame::HasLogCommand(std::string_view text) const {
    return m_commands && m_commands->HasLogCommand(text);
}

bool PlacedAnalysisFrame::CanLogCommand(std::string_view text) const {
    return m_commands && m_commands->CanLogCommand(text);
}

void PlacedAnalysisFrame::OnLogCommand(std::string_view text) {
    if (m_commands)
        m_commands->OnLogCommand(text);
}

void PlacedAnalysisFrame::StorePlacement() {
    if (!m_storePlacement || isMaximized() || isMinimized())
        return;
    const QRect g = geometry();
    m_placement = {g.x(), g.y(), g.width(), g.height()};
}

void PlacedAnalysisFrame::showEvent(QShowEvent* event) {
    QMdiSubWindow::showEvent(event);
    // Placed by its opener: from here on the window is placed by the user.
    if (m_placedWhenShown)
        m_storePlacement = true;
}

void PlacedAnalysisFrame::moveEvent(QMoveEvent* event) {
    QMdiSubWindow::moveEvent(event);
    StorePlacement();
}

void PlacedAnalysisFrame::resizeEvent(QResizeEvent* event) {
    QMdiSubWindow::resizeEvent(event);
    StorePlacement();
}

}  // namespace vocomet
