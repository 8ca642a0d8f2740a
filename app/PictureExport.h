#pragma once
// The arithmetic of printing and bitmap export: where the plot sits on a
// page, how the shown channels are stacked into it, how large an exported
// picture is, and the names and file dialog of bitmap files. No drawing here.
//
// Picture sizes count 2.5 cm to the inch (25 mm per inch for bitmaps, a
// division by 2.5 on paper), as the display options have always meant them.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/UserPrompts.h"
#include "platform/WinTypes.h"

namespace vocomet {

class CChannels;

inline constexpr const char* kBitmapSaveError = "Error in saving the bitmap file.";
inline constexpr const char* kBitmapDialogTitle = "Save As bmp";
inline constexpr const char* kBitmapFilter = "Bitmap files (*.bmp)|*.bmp||";
inline constexpr const char* kScreenDumpName = "ScreenDump";
// Gap between two channel boxes: pixels in a bitmap, print units on paper.
inline constexpr int kPictureBoxGap = 5;

// The plot rectangle of a page and the print unit (device pixels of one
// line width: 3 up to 479 dots per inch, then dpi x 3 / 360).
struct PrintFrame {
    platform::Rect plot;
    int unit = 3;
};
int PrintUnit(int dpiX);
// The plot starts one inch from the page's top-left corner and is width x
// height display units (inches, or centimetres at 2.5 to the inch) large.
// Given the printable page (pageWidth x pageHeight device pixels, 0: not
// known), a plot that would run past it, less half an inch on the right
// and at the bottom for the axis labels, is scaled down, both sides alike,
// until it fits; one that fits keeps its size.
PrintFrame PrintFrameGeometry(int dpiX, int dpiY, double width, double height, bool inches, int pageWidth = 0,
                              int pageHeight = 0);

// A channel's box in a picture.
struct PictureBox {
    int slot = 0;
    platform::Rect rect;
    bool operator==(const PictureBox&) const = default;
};

// The channels a picture shows, in index order: those whose show flag is
// set; a recording of one channel always shows it (as on the screen).
std::vector<int> PictureChannels(std::span<const CChannels> channels);

// Boxes on paper: each shown channel takes its strip height x unit, the next
// box starting 5 units lower; the boxes are scaled together (the gaps are
// not) so that boxes and gaps fill the plot height. No shown channel (or no
// height to share) gives no box.
std::vector<PictureBox> PrintBoxes(std::span<const CChannels> channels, const platform::Rect& plot, int unit);

// Boxes in a bitmap of the given width: from the top, each shown channel's
// strip height x plotHeight / stackHeight (the view's stack height), the next
// box 5 pixels lower. No shown channel or no stack height gives no box.
std::vector<PictureBox> BitmapBoxes(std::span<const CChannels> channels, int width, int plotHeight,
                                    int stackHeight);

// Pixel size of an exported picture of width x height display units at the
// screen's pixels per millimetre (25 mm to the inch, 10 to the centimetre).
// May be zero, negative or huge: check with BitmapSizeAllowed.
struct PictureSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
};
PictureSize BitmapPictureSize(double width, double height, bool inches, double pixelsPerMmX, double pixelsPerMmY);

// "bmp_" and the title without its extension ("take1.vcm" gives
// "bmp_take1", "Untitled" gives "bmp_Untitled").
std::string DefaultBitmapName(const std::string& title);

// Tells that a bitmap could not be saved: a beep and "Error in saving the
// bitmap file.", followed by reason (from WriteBitmapFile) when there is one.
void ReportBitmapSaveFailure(platform::UserPrompts& prompts, const std::string& reason);

// The save dialog of bitmap files, "Save As bmp", starting at defaultName;
// it asks before replacing a file. The chosen path, or empty when cancelled.
std::string AskBitmapSavePath(platform::UserPrompts& prompts, const std::string& defaultName);

}  // namespace vocomet
