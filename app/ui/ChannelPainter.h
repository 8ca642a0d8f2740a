#pragma once
// Paints a document's channels into a surface of the main view (or a
// printer or bitmap context): the time grid across the stack, and for every
// shown channel its strip frame, name, trace, scale labels, EGG marks,
// intensity curve, velocity and acceleration panes and labels.
//
// The traces of one repaint are read together (TraceFetcher), from the
// min/max summaries the channels brought or the cache made, so a repaint
// costs what the surface shows, not what the recording holds. While the
// summary of a long data file is still being built its traces may be drawn
// in part (IsIncomplete); the caller paints again when the cache reports
// progress. Intensity curves kept in files are read through files the
// painter keeps open between repaints.
//
// Belongs to the user-interface thread.

#include <QFont>
#include <QRect>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "app/MinMaxSummaryCache.h"
#include "app/StripScale.h"
#include "core/ChannelRecords.h"
#include "core/RecordList.h"
#include "platform/WinTypes.h"

class QPainter;

namespace platform {
class File;
}

namespace vocomet {

class COrielDoc;
class CChannels;
class TraceFetcher;

// Colours of the channel painting.
inline constexpr platform::ColorRef kStripFrameColour = 0x0000FF;
inline constexpr platform::ColorRef kClickedFrameColour = 0x000000;
inline constexpr platform::ColorRef kGridColour = 0xC8C8C8;
inline constexpr platform::ColorRef kCycleMarkColour = 0x14FFC8;

// What the painter needs of the view.
struct PaintContext {
    int verticalOffset = 0;  // pixels the stack is moved (0 or negative)
    int clickedChannel = -1;
    double visibleStartTime = 0.0;  // ms
    double visibleEndTime = 0.0;
    int stackHeight = 0;
    QFont appFont;
};

// The top and bottom scale labels of a channel (empty when its mode has
// none), leading blanks removed.
struct ScaleLabels {
    std::string top;
    std::string bottom;
};
ScaleLabels ScaleLabelsOf(const CChannels& channel);

// How the EGG marks map samples to pixels: x = (index - start) x width /
// (end - start) + left, y = bottom - trunc(value x scale) - offset.
struct MarkMapping {
    double windowStart = 0.0;
    double windowEnd = 0.0;
    QRect rect;
    double scale = 0.0;
    int offset = 0;
};

// Filled 2-pixel bars, 10 high (twice half the height of "0" on surfaces
// wider than 2000 pixels), at every point with x at or right of the strip's
// left edge.
void DrawSeriesMarks(QPainter& dc, const RecordList<ArrayData>& points, const MarkMapping& map,
                     platform::ColorRef colour, const QFont& appFont);
// Criterion crossings of each cycle with its four quotients.
void DrawCurveWithScale(QPainter& dc, const RecordList<ArrayCycle>& cycles, const MarkMapping& map,
                        platform::ColorRef colour, const QFont& appFont);
// The 10 % and 90 % crossings of each cycle.
void DrawSeriesBars(QPainter& dc, const RecordList<ArrayCycle>& cycles, const MarkMapping& map,
                    platform::ColorRef colour, const QFont& appFont);
// A bar at each cycle's velocity maximum with its value; `map` is the
// velocity pane's mapping.
void DrawDerivativeCurve(QPainter& dc, const RecordList<ArrayCycle>& cycles, const MarkMapping& map,
                         platform::ColorRef colour, const QFont& appFont);

// How a printed or exported picture draws the channels (the screen's own
// look is PaintChannels'): a black box frame, the name in nameFont at
// nameInset from the box's corner, no scale or caption texts in a margin,
// no inner frame of the clicked channel.
//
// Colours with `colour` set: the trace black, its reference line light grey,
// the intensity curve red in a bitmap and blue on paper, the first EGG point
// series in the intensity curve's colour when that curve is shown (light
// grey otherwise), the second green, the others blue, velocity red,
// acceleration blue, labels in their own colours. Without it everything is
// black. The time grid is the caller's, and stays light grey.
struct PictureStyle {
    bool colour = true;
    bool paper = false;  // printing rather than a bitmap
    QFont nameFont;
    int nameInset = 2;
    double labelFontScale = 1.0;
    double visibleStartTime = 0.0;  // ms, the view's shown window
    double visibleEndTime = 0.0;
};

// A channel's box in a picture, in the painter's coordinates.
struct PictureChannelBox {
    int slot = 0;
    QRect rect;
};

class ChannelPainter {
public:
    // cache may be null: traces without a summary of their own are then
    // scanned.
    explicit ChannelPainter(MinMaxSummaryCache* cache);
    ~ChannelPainter();
    ChannelPainter(const ChannelPainter&) = delete;
    ChannelPainter& operator=(const ChannelPainter&) = delete;

    // Every shown channel of the document (a one-channel document always
    // shows its channel). A trace whose data file cannot be read is left out.
    // Traces, marks and pane curves are clipped to their strip, so values
    // beyond the scale never reach a neighbouring channel; the margin texts
    // stay outside it.
    void PaintChannels(QPainter& dc, COrielDoc& doc, const PaintContext& context);
    // The labels of a channel in the visible time range, their fonts scaled.
    void DrawChannelLabels(QPainter& dc, CChannels& channel, const PaintContext& context, double fontScale);

    // The channels of the document into the given boxes of a printed page or
    // an exported picture, drawn as the screen draws them with the style's
    // differences.
    void PaintPicture(QPainter& dc, COrielDoc& doc, std::span<const PictureChannelBox> boxes,
                      const PictureStyle& style);
    // The labels of a channel over its picture box: each at the x of its
    // time in the shown window and the y of its relative height, its text
    // placed about that x by its anchoring as on the screen, so a marker
    // line at x marks the label's time.
    static void DrawPictureLabels(QPainter& dc, const CChannels& channel, const QRect& box,
                                  const PictureStyle& style);

    // Closes the intensity files kept open (before they are rewritten).
    void CloseIntensityFiles();

    // Frames read from data files by the last PaintChannels.
    std::int64_t FramesRead() const { return m_framesRead; }
    // The last PaintChannels left trace columns empty because their
    // summary was still being built.
    bool IsIncomplete() const { return m_incomplete; }

private:
    struct Target;
    struct ContentStyle;
    // Gathers the trace and intensity reads of the targets and fetches them.
    void FetchTargets(std::span<CChannels> channels, std::vector<Target>& targets);
    // Frame, name, trace, margin texts, EGG marks, intensity and derived
    // panes of one fetched target.
    void DrawTarget(QPainter& dc, CChannels& channel, const Target& target, const ContentStyle& style);
    // The open intensity file of a slot, opened or reopened for its path;
    // null when it cannot be opened.
    const platform::File* IntensityFile(int slot, const std::string& path);

    // Kept between repaints for its buffers.
    std::unique_ptr<TraceFetcher> m_fetcher;
    std::map<int, std::unique_ptr<platform::File>> m_intensityFiles;
    std::int64_t m_framesRead = 0;
    bool m_incomplete = false;
};

}  // namespace vocomet
