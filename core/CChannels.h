#pragma once
// One channel of a recording: its samples (in a block, or in the document's
// interleaved float data file), rate, count and duration, name, unit and
// calibration, its strip on the screen, the shown window, cursor, marker and
// selection, its labels, and the derived curves and EGG results.
//
// Every view and analysis pane of a document shares this state, so the
// fields are public, as the readers, writers and views set them directly.
// Positions are kept both as sample positions and as times in ms.
//
// Threading: a channel belongs to the user-interface thread. The data file is
// read with positional reads only, so other readers of the same file object
// are not disturbed.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "core/ChannelRecords.h"
#include "core/RecordList.h"
#include "core/SampleSummary.h"
#include "platform/BinaryFile.h"
#include "platform/File.h"
#include "platform/Progress.h"
#include "platform/SampleBlock.h"
#include "platform/TextMeasurer.h"
#include "platform/WinTypes.h"

namespace vocomet {

using DoubleBlock = platform::SampleBlock<double>;

// Raised when copying a channel fails (no memory for a block). what() is the
// message to show the user; the destination channel is left as it was.
class ChannelCopyError : public std::runtime_error {
public:
    ChannelCopyError() : std::runtime_error(kMessage) {}
    static constexpr const char* kMessage = "Error in '=' operator in CChannel class.";
};

// Raised by the EGG cycle analysis when the channel has no velocity curve.
// A user exception like the other channel failures, but one the command
// shows: what() is the message for the user.
class VelocityMissingError : public platform::UserException {
public:
    const char* what() const noexcept override { return kMessage; }
    static constexpr const char* kMessage = "Velocity file does not exist.";
};

// An intensity curve made for a channel and not yet taken by it, so that a
// run over several channels can be abandoned with every channel as it was.
struct IntensityCurve {
    platform::FloatBlock values;  // the curve of a channel in memory
    // The curve of a file-backed channel: a scratch file beside the channel's
    // intensity file, put in its place when the curve is taken.
    std::unique_ptr<platform::ScratchReplacement> file;
    double count = 0.0;
    double minimum = 0.0;
    double maximum = 0.0;
};

// The samples AverageSamples replaces, [first, end), and their mean.
struct SampleMean {
    std::int64_t first = 0;
    std::int64_t end = 0;  // first == end: nothing to replace
    float mean = 0.0f;
};

class CChannels {
public:
    // Left margin of the main view's layout, in pixels: label rectangles are
    // in view pixels, positions inside a strip are counted from it.
    static constexpr int kLeftMargin = 50;

    CChannels();
    virtual ~CChannels();

    // Copying takes the samples (a file-backed channel stays file-backed,
    // sharing the source file), the settings, the labels and the derived
    // curves. The destination keeps its own calibration list, intensity file
    // path, velocity and acceleration at cursor, draw-acceleration flag, EGG
    // work and moving-mean blocks, EGG window and cycle detection level.
    // Throws ChannelCopyError (destination unchanged) when memory runs out.
    CChannels(const CChannels& other);
    CChannels& operator=(const CChannels& other);

    // ---- positions (x counted in pixels from the strip's left edge) ----

    // Shown window in ms; also stored in shownStartTime, shownEndTime, shownSpan.
    void GetVisibleTimeRange(double& start, double& end);
    // x of time t (ms) across the strip for the shown window; 0 when the
    // shown window is empty.
    double TimeToPixel(double t);
    // Time (ms) at strip x, clamped to 0..duration.
    double PixelToTime(double x) const;
    void SetCursorTime(double t);
    void SetCursorPixel(int x, int y);
    // Places the marker (the anchor of the selection), reads the value at
    // it and collapses the selection onto it. A channel without data keeps
    // its value at the marker and its selection.
    void SetAnchorTime(double t);
    void SetAnchorPixel(int x, int y);
    // The selection between cursor and marker, in either order.
    void UpdateSelection();
    // The selection's band across the strip (view pixels), from the stored
    // shown start and end times.
    void GetSelectionRect(platform::Rect& rect) const;

    // ---- values at a time (ms); indices are clamped to the curve ----

    // Raw sample value at t, stored as valueAtCursor. A channel without
    // samples returns the stored value.
    double GetSampleAtTime(double t);
    // Intensity (dB) at t; 0 unless the curve is valid.
    double GetIntensityAt(double t);
    // Velocity / acceleration at t, stored as velocityAtCursor /
    // accelerationAtCursor; the stored value when there is no curve.
    double GetVelocityAt(double t);
    double GetAccelerationAt(double t);
    // A (x^3) + B x^2 + C x + D with x = (raw - reference) / gain; a gain of
    // 0 counts as 1.
    double CalibrateValue(double raw) const;
    double ConvertReference(double value) const { return value; }
    // Makes the sample at t the reference and returns it; a channel without
    // samples keeps and returns its reference.
    double SetReferenceAtTime(double t);

    // ---- samples ----

    bool HasSamples() const { return !samples.IsNull(); }
    bool IsFileBacked() const { return samples.IsNull() && sourceFile != nullptr; }
    // Number of readable samples: the sample count, bounded by the block.
    std::int64_t ReadableCount() const;
    // Raw value of sample k from the block or the source file; false when
    // there is no such sample (no data, k out of range, a channel number
    // outside 1..stride, a read failure).
    bool ReadSample(std::int64_t k, float& value) const;

    // Forgets the open intensity file (to be called before the file is
    // rewritten or removed).
    void CloseIntensityFile();

    // ---- derived curves (CChannelsCurves.cpp) ----
    // Failures raise platform::UserException (no data, a step or window
    // shorter than a sample, no memory, the intensity file cannot be
    // created); read and write errors of the files raise
    // platform::FileException.

    // Intensity curve in dB, one value per sample: in memory into the
    // intensity block; for a file-backed channel into the intensity file
    // (source file path + "_Int#" + channel number, written beside it and
    // put in its place when complete), reading the source once. Frames of intensityWindow ms every intensityStep ms; levels of
    // (x - reference); silent frames take the lowest finite level. Sets
    // intensityCount, intensityMin, intensityMax and intensityValid.
    // Returns 0.
    int ComputeIntensity();
    // The two halves of ComputeIntensity, for a loop that may be cancelled:
    // MakeIntensity computes the curve and leaves the channel as it is; it
    // shows the part done on progress, asks it about aborting every 65536
    // samples or so and returns nothing on an abort. It throws what
    // ComputeIntensity throws. TakeIntensity gives the channel the curve (the
    // block, or the file put in place) and sets the fields ComputeIntensity
    // sets; it throws platform::FileException when the file cannot be put in
    // place, the channel then as it was.
    std::optional<IntensityCurve> MakeIntensity(platform::Progress& progress) const;
    void TakeIntensity(IntensityCurve&& curve);
    // Velocity curve (units per second): first differences times the rate,
    // then (w > 0) a forward moving mean over w ms. In memory only.
    void ComputeVelocity(double w);
    // Velocity with w1 ms, then the acceleration (its differences) with a
    // moving mean over w2 ms. In memory only.
    void ComputeAcceleration(double w1, double w2);
    // When smoothingOn: replaces the samples by their centred moving mean of
    // an odd number of points. A file-backed channel is left alone.
    void SmoothSamples();
    // What SmoothSamples would leave, in a new block of the samples' size:
    // a null block when it would leave the samples alone, nothing when
    // progress asks to abort (asked every 65536 samples or so). The channel
    // is not changed. Throws what SmoothSamples throws.
    std::optional<platform::FloatBlock> SmoothedSamples(platform::Progress& progress) const;
    // Replaces the samples between two times (ms) by their mean. A
    // file-backed channel is left alone.
    void AverageSamples(double t0, double t1);
    // The two halves of AverageSamples: the range and its mean (an empty
    // range for a file-backed channel; nothing when progress asks to abort,
    // asked every 65536 samples or so), then the fill.
    std::optional<SampleMean> MeanOfSamples(double t0, double t1, platform::Progress& progress) const;
    void FillSamples(const SampleMean& mean);

    // ---- EGG cycle analysis (CChannelsEgg.cpp) ----

    // eggWork := samples less their moving mean over eggWindow ms (kept in
    // movingMean). A channel without samples in memory is left alone.
    void PrepareEGGSignal();
    // Finds the glottal cycles between two sample positions (0 and the
    // sample count for the whole channel): peaks, valleys, cycles with their
    // crossings, velocity extremes and quotients. The velocity curve must
    // have been computed first: without it throws VelocityMissingError and
    // leaves the lists as they were. A channel without samples in memory
    // throws platform::UserException.
    void AnalyzeEGG(double s0, double s1);

    // ---- labels ----

    // Appends a copy; returns the new label count.
    int AppendLabel(const LABEL& label);
    // Copies label i out; returns 1. Throws std::out_of_range.
    int GetLabel(int i, LABEL& label) const;
    // Index of the label at the same drawn position (left and right within
    // 2 pixels) with the same text, top and bottom; -1 when none.
    int FindLabel(const LABEL& label) const;
    // Places label i for a shown time range [startTime, endTime] (ms):
    // stores its drawn rectangle and copies it out; returns 1. Returns 0,
    // leaving the label as it was, when its time is not strictly inside the
    // range. Throws std::out_of_range.
    int PlaceLabel(int i, LABEL& label, double startTime, double endTime, const platform::TextMeasurer& measurer);
    // Stores a label at the marker time and height y (view pixels) and
    // returns the stored label. With moveFlag the label replaces oldLabel,
    // keeping its own time and height; when oldLabel is not found nothing is
    // stored and the given label is returned.
    LABEL AddLabelAtCursor(const LABEL& label, const LABEL& oldLabel, int y, int moveFlag,
                           const platform::TextMeasurer& measurer);
    // Moves the matching label to the given rectangle (view pixels), moving
    // its time with its left edge; returns the stored label, or the given
    // one when none matches.
    LABEL MoveLabel(const LABEL& label, int left, int top, int right, int bottom);
    // Adds dt (ms) to the matching label's time; returns the changed label,
    // or the given one when none matches.
    LABEL ShiftLabelTime(const LABEL& label, double dt);
    // Removes the matching label; returns its index or -1.
    int RemoveLabel(const LABEL& label);
    void RemoveAllLabels();

    // What a file without this system's channel records gives a channel:
    // count samples at rate (filter rate half of it), index + 1 as its
    // number, the first channel the audio and time reference, the whole
    // recording shown, no reference, identity calibration in "normalized"
    // units, unit gain. The samples are let go; the reader fills them.
    void SetUpForeignChannel(int index, double count, double sampleRate, double durationMs, int bitCount);

    // ---- fields, in the order the channel keeps them ----

    std::int32_t audioFlag = 0;  // 1: the channel holding the audio signal
    // The document's open data file of interleaved float32 frames when the
    // channel is file-backed; shared with the document and its copies.
    std::shared_ptr<platform::File> sourceFile;
    std::int32_t stride = 0;  // values per frame in the source file
    platform::FloatBlock samples;
    // Min/max summary of the samples (in memory or the channel's column of
    // the source file) made by the pass that loaded them; null when none was
    // made. It describes SampleCount() samples: whoever changes samples in
    // place or their count resets it, and a drawing uses it only while the
    // count still matches.
    std::shared_ptr<const SampleSummary> samplesSummary;
    double duration = 0.0;  // ms
    double rate = 11025.0;  // Hz
    double sampleCount = 0.0;
    std::int32_t bits = 16;
    std::int32_t scaleMode = 0;  // -1..3
    platform::Rect strip;        // the channel's strip in view pixels
    std::int32_t stripHeight = 100;
    std::string name;
    std::int32_t channelNumber = 0;  // 1-based; the value position in a frame of the source file
    std::int32_t timeReference = 0;
    std::int32_t show = 1;
    std::array<std::int32_t, 3> reserved1{};
    std::string unit;
    double gain = 1.0;
    double filterRate = 5500.0;
    double reference = 0.0;
    std::int32_t drawReference = 1;
    std::array<double, 2> auxFactors{1.0, 1.0};
    double calA = 0.0;  // coefficient of x^3
    double calB = 0.0;  // of x^2
    double calC = 1.0;  // of x
    double calD = 0.0;  // constant
    RecordList<CALDATA> calibrationList;
    std::int32_t reserved2 = 0;

    double shownStart = 0.0;  // first shown sample
    double shownEnd = 0.0;    // last shown sample
    double shownLength = 0.0;
    double shownStartTime = 0.0;  // ms
    double shownEndTime = 0.0;
    double shownSpan = 0.0;
    std::array<std::int32_t, 2> reserved3{};
    std::int32_t cursorPixelX = 0;
    std::int32_t cursorPixelY = 0;
    double valueAtCursor = 0.0;
    double valueAtMarker = 0.0;
    double cursorSample = 0.0;
    double markerSample = 0.0;  // the marker is the anchor of the selection
    double cursorTime = 0.0;
    double markerTime = 0.0;
    double selStartTime = 0.0;
    double selEndTime = 0.0;
    double selStartSample = 0.0;
    double selEndSample = 0.0;
    double selLengthTime = 0.0;     // ms
    double selLengthSamples = 0.0;  // samples
    double prevWindowStart = 0.0;   // the UnZoom target, samples
    double prevWindowEnd = 0.0;

    std::int32_t labelCount = 0;  // kept equal to labels.GetSize()
    RecordList<LABEL> labels;

    std::string intensityFilePath;
    platform::FloatBlock intensity;  // dB, one value per sample
    double intensityCount = 0.0;
    double intensityWindow = 30.0;  // ms
    double intensityStep = 10.0;    // ms
    double intensityMax = 0.0;
    double intensityMin = 0.0;
    std::int32_t relativeIntensity = 0;
    std::int32_t intensityValid = 0;
    std::int32_t drawIntensity = 1;
    double smoothingPoints = 5.0;
    std::int32_t smoothingOn = 0;
    platform::FloatBlock spare;
    std::int32_t spareCount = 0;
    std::int32_t reserved4 = 0;

    DoubleBlock velocity;
    double velocityCount = 0.0;
    double velocityMax = 0.0;
    double velocityMin = 0.0;
    std::int32_t velocityValid = 0;
    std::int32_t drawVelocity = 0;
    std::array<std::int32_t, 3> velocityReserved{0, 0, 65535};
    double velocityAtCursor = 0.0;
    double velocitySmoothing = 0.5;  // ms

    DoubleBlock acceleration;
    double accelerationCount = 0.0;
    double accelerationMax = 0.0;
    double accelerationMin = 0.0;
    std::int32_t accelerationValid = 0;
    std::int32_t drawAcceleration = 0;
    std::array<std::int32_t, 3> accelerationReserved{0, 65535, 0};
    double accelerationAtCursor = 0.0;
    double accelerationSmoothing = 0.5;  // ms
    std::array<double, 3> reservedReals{20.0, 20.0, 20.0};

    RecordList<ArrayData> eggPoints1;
    std::array<std::int32_t, 2> eggPoints1Ints{};
    RecordList<ArrayData> eggPoints2;
    std::int32_t eggPoints2Valid = 0;
    std::int32_t eggPoints2Int = 0;
    std::array<double, 2> eggPoints2Reals{};
    RecordList<ArrayData> peaks;  // one point per accepted cycle
    std::int32_t peaksValid = 0;
    std::int32_t drawPeaks = 0;
    double peaksReserved = 0.0;
    RecordList<ArrayData> valleys;
    std::int32_t valleysValid = 0;
    std::int32_t drawValleys = 0;
    double valleysReserved = 66000.0;
    RecordList<ArrayData> eggPoints3;
    std::array<std::int32_t, 2> eggPoints3Ints{};
    RecordList<ArrayData> eggPoints4;
    std::array<std::int32_t, 2> eggPoints4Ints{};
    RecordList<ArrayCycle> cycles;
    double criterionPercent = 25.0;  // "Threshold(%)"
    std::array<double, 2> cycleReserved{5.0, 5.0};
    std::int32_t cyclesValid = 0;
    std::int32_t drawThresholdMarks = 0;
    platform::FloatBlock eggWork;     // samples less their moving mean
    platform::FloatBlock movingMean;
    std::int32_t reserved5 = 0;
    double eggWindow = 8.0;             // ms, width of the moving mean
    double cycleDetectionLevel = 10.0;  // percent of the work signal's range

private:
    // Samples per ms and ms per sample for a curve of count values over the
    // channel's duration; 0 when either is 0 or not finite.
    double SamplesPerMs(double count) const;
    double MsPerSample() const;
    // Whole index of t (ms) into a curve of count values, clamped to
    // 0..count-1; -1 when the curve is empty.
    std::int64_t IndexAtTime(double t, double count, std::size_t available) const;
    // Sample position (not truncated) at strip x, clamped to 0..sampleCount.
    double SampleAtPixel(double x) const;
    // The label rectangle for a text at x (view pixels) and y.
    platform::Rect LabelRect(const LABEL& label, int x, int y, const platform::TextMeasurer& measurer) const;
    // The value at the marker and the collapsed selection.
    void AnchorChanged();

    platform::File m_intensityFile;  // kept open between reads
    // The intensity file this channel made goes with the channel, or when a
    // new curve of this channel takes another file's place. A copy of the
    // channel keeps its own.
    platform::RemoveOnRelease m_intensityOwner;
};

}  // namespace vocomet
