#include "widgets/PrintRoutines.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstring>
#include <vector>

#include "app/BitmapFile.h"
#include "app/PictureExport.h"
#include "platform/UserPrompts.h"

namespace vocomet {

void DrawPrintFrame(QPainter& dc, double width, double height, bool inches, const QString& title, QRect& plot,
                    int& unit, bool border) {
    const QPaintDevice* device = dc.device();
    const int dpiX = device ? device->logicalDpiX() : 96;
    const int dpiY = device ? device->logicalDpiY() : 96;
    // A printer's paint device is its printable area.
    const PrintFrame frame = PrintFrameGeometry(dpiX, dpiY, width, height, inches, device ? device->width() : 0,
                                                device ? device->height() : 0);
    plot = QRect(frame.plot.left, frame.plot.top, std::max(frame.plot.Width(), 0), std::max(frame.plot.Height(), 0));
    unit = frame.unit;
    if (border)
        dc.drawRect(plot);

    dc.save();
    const QFontMetrics current = dc.fontMetrics();
    QFont font(QStringLiteral("PrintFont"));
    font.setPixelSize(std::max(1, current.height()));
    dc.setFont(font);
    const QFontMetrics fm = dc.fontMetrics();
    const int x = plot.x() + plot.width() / 2 - fm.horizontalAdvance(title) / 2;
    const int top = plot.y() - dpiY / 2;
    dc.drawText(x, top + fm.ascent(), title);
    dc.restore();
}

int WriteBitmapFile(const QImage& picture, const std::string& path, std::string* reason) {
    if (picture.isNull())
        return 1;
    BitmapDescription bitmap;
    bitmap.width = picture.width();
    bitmap.height = picture.height();
    if (!BitmapSizeAllowed(bitmap.width, bitmap.height))
        return 1;

    std::vector<std::uint32_t> palette;
    QImage image;
    switch (picture.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        image = picture.convertToFormat(QImage::Format_Mono);  // leftmost pixel in the high bit
        bitmap.bitsPerPixel = 1;
        break;
    case QImage::Format_Indexed8:
        image = picture;
        bitmap.bitsPerPixel = 8;
        break;
    case QImage::Format_Grayscale8:
        image = picture;
        bitmap.bitsPerPixel = 8;
        for (int i = 0; i < 256; ++i)
            palette.push_back(static_cast<std::uint32_t>(i) * 0x010101u);
        break;
    default:
        image = picture.format() == QImage::Format_RGB32 ? picture : picture.convertToFormat(QImage::Format_RGB32);
        bitmap.bitsPerPixel = 24;
        break;
    }
    if (image.isNull())
        return 1;
    if (bitmap.bitsPerPixel != 24 && palette.empty())
        for (QRgb c : image.colorTable())
            palette.push_back(static_cast<std::uint32_t>(c) & 0xFFFFFFu);

    const int bits = BitmapFileBits(bitmap.planes, bitmap.bitsPerPixel);
    const auto rows = [&image, bits](std::int64_t y, std::span<std::uint8_t> row) {
        const uchar* line = image.constScanLine(static_cast<int>(y));
        const int w = image.width();
        if (bits == 24) {
            const auto* px = reinterpret_cast<const QRgb*>(line);
            for (int x = 0; x < w; ++x) {
                row[3 * static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(qBlue(px[x]));
                row[3 * static_cast<std::size_t>(x) + 1] = static_cast<std::uint8_t>(qGreen(px[x]));
                row[3 * static_cast<std::size_t>(x) + 2] = static_cast<std::uint8_t>(qRed(px[x]));
            }
        } else {
            const std::size_t used = (static_cast<std::size_t>(w) * static_cast<std::size_t>(bits) + 7) / 8;
            std::memcpy(row.data(), line, std::min(used, row.size()));
        }
    };
    return WriteBitmapFile(bitmap, palette, rows, path, reason);
}

QImage CaptureScreenImage() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QImage();
    return screen->grabWindow(0).toImage();
}

void CaptureScreenToFile(const std::string& path, platform::UserPrompts& prompts) {
    int result = 0;
    std::string reason;
    {
        const platform::BusyGuard busy(prompts);
        result = WriteBitmapFile(CaptureScreenImage(), path, &reason);
    }
    if (result != 0)
        ReportBitmapSaveFailure(prompts, reason);
}

void StartScreenDump(QWidget* owner, platform::UserPrompts& prompts, std::string& path) {
    path = AskBitmapSavePath(prompts, kScreenDumpName);
    if (path.empty())
        return;
    QTimer::singleShot(10, owner, [&path, &prompts] { CaptureScreenToFile(path, prompts); });
}

bool PrintPage(QPrinter& printer, const std::function<void(QPainter&)>& draw) {
    QPainter dc;
    if (!dc.begin(&printer))
        return false;
    bool printed = true;
    try {
        draw(dc);
    } catch (...) {
        printed = false;
    }
    dc.end();
    return printed;
}

void PrintWithDialog(QWidget* parent, const std::function<void(QPainter&)>& draw) {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() == QDialog::Accepted)
        PrintPage(printer, draw);
}

void PrintPreview(QWidget* parent, const std::function<void(QPainter&)>& draw) {
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog preview(&printer, parent);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, parent,
                     [&draw](QPrinter* p) { PrintPage(*p, draw); });
    preview.exec();
}

}  // namespace vocomet
