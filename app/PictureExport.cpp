#include "app/PictureExport.h"

#include <algorithm>
#include <cmath>

#include "core/CChannels.h"
#include "platform/FailureText.h"

namespace vocomet {

namespace {

// Pages and pictures are far below this; it only keeps conversions defined.
constexpr double kCoordinateLimit = 1.0e9;

int TruncInt(double v) {
    if (std::isnan(v))
        return 0;
    return static_cast<int>(std::clamp(v, -kCoordinateLimit, kCoordinateLimit));
}

std::int64_t TruncInt64(double v) {
    if (std::isnan(v))
        return 0;
    return static_cast<std::int64_t>(std::clamp(v, -1.0e15, 1.0e15));
}

}  // namespace

int PrintUnit(int dpiX) {
    const int unit = TruncInt(dpiX / 360.0 * 3.0);
    return unit == 0 ? 3 : unit;
}

PrintFrame PrintFrameGeometry(int dpiX, int dpiY, double width, double height, bool inches, int pageWidth,
                              int pageHeight) {
    PrintFrame frame;
    double w = dpiX * width;
    double h = dpiY * height;
    if (!inches) {
        w /= 2.5;
        h /= 2.5;
    }
    // Room on the page right of and below the plot's corner, keeping half an
    // inch for the labels the plot writes beside its edges.
    const double roomX = pageWidth - dpiX - dpiX / 2.0;
    const double roomY = pageHeight - dpiY - dpiY / 2.0;
    if (pageWidth > 0 && pageHeight > 0 && w > 0.0 && h > 0.0 && roomX > 0.0 && roomY > 0.0) {
        const double fit = std::min({1.0, roomX / w, roomY / h});
        if (fit < 1.0) {
            // A hair over, so that a side scaled to its whole room keeps it
            // after the cut to whole pixels.
            w = std::min(w * fit + 1e-6, roomX);
            h = std::min(h * fit + 1e-6, roomY);
        }
    }
    frame.plot.left = dpiX;
    frame.plot.top = dpiY;
    frame.plot.right = frame.plot.left + TruncInt(w);
    frame.plot.bottom = frame.plot.top + TruncInt(h);
    frame.unit = PrintUnit(dpiX);
    return frame;
}

std::vector<int> PictureChannels(std::span<const CChannels> channels) {
    std::vector<int> shown;
    for (std::size_t i = 0; i < channels.size(); ++i)
        if (channels.size() == 1 || channels[i].show != 0)
            shown.push_back(static_cast<int>(i));
    return shown;
}

std::vector<PictureBox> PrintBoxes(std::span<const CChannels> channels, const platform::Rect& plot, int unit) {
    const std::vector<int> shown = PictureChannels(channels);
    double total = 0.0;
    for (int i : shown)
        total += static_cast<double>(channels[static_cast<std::size_t>(i)].stripHeight) * unit +
                 kPictureBoxGap * unit;
    std::vector<PictureBox> boxes;
    if (shown.empty() || !(total > 0.0))
        return boxes;
    const double scale = plot.Height() / total;
    int top = plot.top;
    for (int i : shown) {
        const double h = static_cast<double>(channels[static_cast<std::size_t>(i)].stripHeight) * unit * scale;
        const int bottom = top + std::max(TruncInt(h), 0);
        boxes.push_back({i, {plot.left, top, plot.right, bottom}});
        top = bottom + kPictureBoxGap * unit;
    }
    return boxes;
}

std::vector<PictureBox> BitmapBoxes(std::span<const CChannels> channels, int width, int plotHeight,
                                    int stackHeight) {
    const std::vector<int> shown = PictureChannels(channels);
    std::vector<PictureBox> boxes;
    if (shown.empty() || stackHeight <= 0)
        return boxes;
    const double scale = static_cast<double>(plotHeight) / stackHeight;
    int top = 0;
    for (int i : shown) {
        const double h = static_cast<double>(channels[static_cast<std::size_t>(i)].stripHeight) * scale;
        const int bottom = top + std::max(TruncInt(h), 0);
        boxes.push_back({i, {0, top, width, bottom}});
        top = bottom + kPictureBoxGap;
    }
    return boxes;
}

PictureSize BitmapPictureSize(double width, double height, bool inches, double pixelsPerMmX, double pixelsPerMmY) {
    const double mmPerUnit = inches ? 25.0 : 10.0;
    return {TruncInt64(width * mmPerUnit * pixelsPerMmX), TruncInt64(height * mmPerUnit * pixelsPerMmY)};
}

std::string DefaultBitmapName(const std::string& title) {
    std::string name = title;
    const std::size_t dot = name.rfind('.');
    const std::size_t slash = name.find_last_of("/\\");
    // An extension is a dot after the first character of the last name part.
    if (dot != std::string::npos && dot > 0 && (slash == std::string::npos || dot > slash + 1))
        name.erase(dot);
    return "bmp_" + name;
}

void ReportBitmapSaveFailure(platform::UserPrompts& prompts, const std::string& reason) {
    prompts.Beep();
    prompts.Message(platform::WithReason(kBitmapSaveError, reason), platform::Buttons::Ok, platform::Icon::Error);
}

std::string AskBitmapSavePath(platform::UserPrompts& prompts, const std::string& defaultName) {
    platform::FileDialogRequest request;
    request.title = kBitmapDialogTitle;
    request.filter = kBitmapFilter;
    request.initialPath = defaultName;
    request.defaultSuffix = "bmp";
    std::optional<std::string> path = prompts.AskSavePath(request);
    return path ? *path : std::string();
}

}  // namespace vocomet
