#pragma once
// Printing and picture-export routines shared by the main view, the analysis
// windows and the main frame: the page frame with its title, the writing of
// a picture as a .bmp file, and the screen capture of a screen dump. They
// hold no state.

#include <QImage>
#include <QRect>
#include <QString>
#include <functional>
#include <string>

class QPainter;
class QPrinter;
class QWidget;

namespace platform {
class UserPrompts;
}

namespace vocomet {

// The plot rectangle of a page (one inch from its top-left corner, width x
// height display units large, scaled down where the painter's device, the
// printable area, cannot hold that; see PrintFrameGeometry) and the print
// unit, from the painter's device resolution. Draws the title centred over the
// rectangle, half an inch above it, in a font as high as "X" in the
// painter's current font; with border, also the rectangle with the current
// pen and brush. The painter's font is restored.
void DrawPrintFrame(QPainter& dc, double width, double height, bool inches, const QString& title, QRect& plot,
                    int& unit, bool border);

// Writes the picture as a .bmp file (see WriteBitmapFile in app/BitmapFile.h):
// 1-bit and 8-bit pictures with their palette, every other depth as 24 bits.
// 0 on success, non-zero on failure (a null or oversized picture, a file
// that cannot be written, with why in reason when given); a failed write
// leaves no file behind.
int WriteBitmapFile(const QImage& picture, const std::string& path, std::string* reason = nullptr);

// The whole primary screen; a null image when it cannot be had.
QImage CaptureScreenImage();

// Captures the screen into the file at path: wait cursor, capture, write; a
// failure beeps and says "Error in saving the bitmap file.".
void CaptureScreenToFile(const std::string& path, platform::UserPrompts& prompts);

// The screen dump command of a window: asks for the file ("ScreenDump"
// proposed), keeps the path in `path` and captures 10 ms later, when the
// file dialog has left the screen (`owner` ends the wait if it goes first).
// A cancelled dialog ends the command quietly.
void StartScreenDump(QWidget* owner, platform::UserPrompts& prompts, std::string& path);

// One page: draw paints it on the printer. False when the printer could not
// be started or draw threw.
bool PrintPage(QPrinter& printer, const std::function<void(QPainter&)>& draw);
// File > Print...: the print dialog, then the page on the chosen printer.
void PrintWithDialog(QWidget* parent, const std::function<void(QPainter&)>& draw);
// File > Print Preview: the page as the preview asks for it.
void PrintPreview(QWidget* parent, const std::function<void(QPainter&)>& draw);

}  // namespace vocomet
