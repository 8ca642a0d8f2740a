#include "core/CChannels.h"
#include "platform/Numbers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <utility>

namespace vocomet {

namespace {

double Clamp(double value, double low, double high) {
    if (std::isnan(value))
        return low;
    return std::min(std::max(value, low), high);
}

// Whole part of a value as an int, saturating at the int range (0 for NaN),
// so that pixel arithmetic on odd values never overflows.
int TruncToInt(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

using platform::WholeCount;

template <typename T>
T CloneOrNull(const T& block) {
    return block.IsNull() ? T() : block.Clone();
}

}  // namespace

CChannels::CChannels() = default;

CChannels::~CChannels() = default;

CChannels::CChannels(const CChannels& other) : CChannels() { *this = other; }

CChannels& CChannels::operator=(const CChannels& other) {
    if (this == &other)
        return *this;

    // Everything that can fail is made first, so a failure leaves this
    // channel as it was.
    platform::FloatBlock newSamples, newIntensity, newSpare;
    DoubleBlock newVelocity, newAcceleration;
    std::string newName, newUnit;
    RecordList<LABEL> newLabels;
    RecordList<ArrayData> newEgg1, newEgg2, newPeaks, newValleys, newEgg3, newEgg4;
    RecordList<ArrayCycle> newCycles;
    try {
        // A file-backed source stays file-backed: a block is made only when
        // the source has one.
        newSamples = CloneOrNull(other.samples);
        newIntensity = CloneOrNull(other.intensity);
        newSpare = CloneOrNull(other.spare);
        newVelocity = CloneOrNull(other.velocity);
        newAcceleration = CloneOrNull(other.acceleration);
        newName = other.name;
        newUnit = other.unit;
        newLabels = other.labels;
        newEgg1 = other.eggPoints1;
        newEgg2 = other.eggPoints2;
        newPeaks = other.peaks;
        newValleys = other.valleys;
        newEgg3 = other.eggPoints3;
        newEgg4 = other.eggPoints4;
        newCycles = other.cycles;
    } catch (const std::exception&) {
        throw ChannelCopyError();
    }

    audioFlag = other.audioFlag;
    sourceFile = other.sourceFile;
    stride = other.stride;
    samples = std::move(newSamples);
    samplesSummary = other.samplesSummary;
    duration = other.duration;
    rate = other.rate;
    sampleCount = other.sampleCount;
    bits = other.bits;
    scaleMode = other.scaleMode;
    strip = other.strip;
    stripHeight = other.stripHeight;
    name = std::move(newName);
    channelNumber = other.channelNumber;
    timeReference = other.timeReference;
    show = other.show;
    reserved1 = other.reserved1;
    unit = std::move(newUnit);
    gain = other.gain;
    filterRate = other.filterRate;
    reference = other.reference;
    drawReference = other.drawReference;
    auxFactors = other.auxFactors;
    calA = other.calA;
    calB = other.calB;
    calC = other.calC;
    calD = other.calD;
    // calibrationList and reserved2 stay.

    shownStart = other.shownStart;
    shownEnd = other.shownEnd;
    shownLength = other.shownLength;
    shownStartTime = other.shownStartTime;
    shownEndTime = other.shownEndTime;
    shownSpan = other.shownSpan;
    reserved3 = other.reserved3;
    cursorPixelX = other.cursorPixelX;
    cursorPixelY = other.cursorPixelY;
    valueAtCursor = other.valueAtCursor;
    valueAtMarker = other.valueAtMarker;
    cursorSample = other.cursorSample;
    markerSample = other.markerSample;
    cursorTime = other.cursorTime;
    markerTime = other.markerTime;
    selStartTime = other.selStartTime;
    selEndTime = other.selEndTime;
    selStartSample = other.selStartSample;
    selEndSample = other.selEndSample;
    selLengthTime = other.selLengthTime;
    selLengthSamples = other.selLengthSamples;
    prevWindowStart = other.prevWindowStart;
    prevWindowEnd = other.prevWindowEnd;

    labels = std::move(newLabels);
    labelCount = labels.GetSize();

    // intensityFilePath stays (and so does the open intensity file).
    intensity = std::move(newIntensity);
    intensityCount = other.intensityCount;
    intensityWindow = other.intensityWindow;
    intensityStep = other.intensityStep;
    intensityMax = other.intensityMax;
    intensityMin = other.intensityMin;
    relativeIntensity = other.relativeIntensity;
    intensityValid = other.intensityValid;
    drawIntensity = other.drawIntensity;
    smoothingPoints = other.smoothingPoints;
    smoothingOn = other.smoothingOn;
    spare = std::move(newSpare);
    spareCount = other.spareCount;
    reserved4 = other.reserved4;

    velocity = std::move(newVelocity);
    velocityCount = other.velocityCount;
    velocityMax = other.velocityMax;
    velocityMin = other.velocityMin;
    velocityValid = other.velocityValid;
    drawVelocity = other.drawVelocity;
    velocityReserved = other.velocityReserved;
    // velocityAtCursor stays.
    velocitySmoothing = other.velocitySmoothing;

    acceleration = std::move(newAcceleration);
    accelerationCount = other.accelerationCount;
    accelerationMax = other.accelerationMax;
    accelerationMin = other.accelerationMin;
    accelerationValid = other.accelerationValid;
    // drawAcceleration stays.
    accelerationReserved = other.accelerationReserved;
    // accelerationAtCursor stays.
    accelerationSmoothing = other.accelerationSmoothing;
    reservedReals = other.reservedReals;

    eggPoints1 = std::move(newEgg1);
    eggPoints1Ints = other.eggPoints1Ints;
    eggPoints2 = std::move(newEgg2);
    eggPoints2Valid = other.eggPoints2Valid;
    eggPoints2Int = other.eggPoints2Int;
    eggPoints2Reals = other.eggPoints2Reals;
    peaks = std::move(newPeaks);
    peaksValid = other.peaksValid;
    drawPeaks = other.drawPeaks;
    peaksReserved = other.peaksReserved;
    valleys = std::move(newValleys);
    valleysValid = other.valleysValid;
    drawValleys = other.drawValleys;
    valleysReserved = other.valleysReserved;
    eggPoints3 = std::move(newEgg3);
    eggPoints3Ints = other.eggPoints3Ints;
    eggPoints4 = std::move(newEgg4);
    eggPoints4Ints = other.eggPoints4Ints;
    cycles = std::move(newCycles);
    criterionPercent = other.criterionPercent;
    cycleReserved = other.cycleReserved;
    cyclesValid = other.cyclesValid;
    drawThresholdMarks = other.drawThresholdMarks;
    // eggWork, movingMean, reserved5, eggWindow and cycleDetectionLevel stay.
    return *this;
}

// ---------------------------------------------------------------------------
// Conversions

double CChannels::SamplesPerMs(double count) const {
    if (!(duration > 0.0) || !std::isfinite(duration) || !std::isfinite(count))
        return 0.0;
    return count / duration;
}

double CChannels::MsPerSample() const {
    if (!(sampleCount > 0.0) || !std::isfinite(sampleCount) || !std::isfinite(duration))
        return 0.0;
    return duration / sampleCount;
}

std::int64_t CChannels::IndexAtTime(double t, double count, std::size_t available) const {
    std::int64_t n = std::min<std::int64_t>(WholeCount(count), static_cast<std::int64_t>(available));
    if (n <= 0)
        return -1;
    double position = t * SamplesPerMs(count);
    if (!(position > 0.0))
        return 0;
    if (position >= static_cast<double>(n))
        return n - 1;
    return static_cast<std::int64_t>(position);
}

double CChannels::SampleAtPixel(double x) const {
    double width = static_cast<double>(strip.right) - static_cast<double>(strip.left);
    double s = shownStart;
    if (width != 0.0)
        s += (shownEnd - shownStart) / width * x;
    return Clamp(s, 0.0, std::max(sampleCount, 0.0));
}

// ---------------------------------------------------------------------------
// Positions

void CChannels::GetVisibleTimeRange(double& start, double& end) {
    double msPerSample = MsPerSample();
    start = shownStart * msPerSample;
    end = shownEnd * msPerSample;
    shownStartTime = start;
    shownEndTime = end;
    shownSpan = end - start;
}

double CChannels::TimeToPixel(double t) {
    double start = 0.0, end = 0.0;
    GetVisibleTimeRange(start, end);
    if (end == start)
        return 0.0;
    double width = static_cast<double>(strip.right) - static_cast<double>(strip.left);
    return width / (end - start) * (t - start);
}

double CChannels::PixelToTime(double x) const {
    double t = SampleAtPixel(x) * MsPerSample();
    return Clamp(t, 0.0, std::max(duration, 0.0));
}

void CChannels::SetCursorTime(double t) {
    cursorSample = Clamp(t * SamplesPerMs(sampleCount), 0.0, std::max(sampleCount, 0.0));
    cursorTime = Clamp(t, 0.0, std::max(duration, 0.0));
}

void CChannels::SetCursorPixel(int x, int y) {
    cursorPixelX = x;
    cursorPixelY = y;
    cursorSample = SampleAtPixel(x);
    cursorTime = Clamp(cursorSample * MsPerSample(), 0.0, std::max(duration, 0.0));
}

void CChannels::SetAnchorTime(double t) {
    markerSample = Clamp(t * SamplesPerMs(sampleCount), 0.0, std::max(sampleCount, 0.0));
    markerTime = Clamp(t, 0.0, std::max(duration, 0.0));
    AnchorChanged();
}

void CChannels::SetAnchorPixel(int x, int /*y*/) {
    markerSample = SampleAtPixel(x);
    markerTime = Clamp(markerSample * MsPerSample(), 0.0, std::max(duration, 0.0));
    AnchorChanged();
}

void CChannels::AnchorChanged() {
    if (samples.IsNull() && !sourceFile)
        return;  // no data: nothing to read, the selection stays
    // The marker may sit exactly on the sample count: read the last sample.
    std::int64_t n = ReadableCount();
    if (n > 0) {
        std::int64_t k = std::min<std::int64_t>(static_cast<std::int64_t>(markerSample), n - 1);
        float value = 0.0f;
        if (ReadSample(k, value))
            valueAtMarker = value;
    }
    selStartTime = markerTime;
    selEndTime = markerTime;
    selStartSample = markerSample;
    selEndSample = markerSample;
    selLengthTime = 0.0;
    selLengthSamples = 0.0;
}

void CChannels::UpdateSelection() {
    if (markerTime < cursorTime) {
        selStartTime = markerTime;
        selStartSample = markerSample;
        selEndTime = cursorTime;
        selEndSample = cursorSample;
    } else if (markerTime > cursorTime) {
        selStartTime = cursorTime;
        selStartSample = cursorSample;
        selEndTime = markerTime;
        selEndSample = markerSample;
    } else {
        selStartTime = selEndTime = cursorTime;
        selStartSample = selEndSample = cursorSample;
    }
    selLengthTime = selEndTime - selStartTime;
    selLengthSamples = selEndSample - selStartSample;
}

void CChannels::GetSelectionRect(platform::Rect& rect) const {
    rect.top = strip.top;
    rect.bottom = strip.bottom;
    double width = static_cast<double>(strip.right) - static_cast<double>(strip.left);
    double span = shownEndTime - shownStartTime;
    auto xOf = [&](double time) -> int {
        if (time <= shownStartTime)
            return strip.left;
        if (time >= shownEndTime)
            return strip.right;
        if (span == 0.0)
            return strip.left;
        return TruncToInt(static_cast<double>(strip.left) + std::fabs((time - shownStartTime) * width / span));
    };
    int a = xOf(selStartTime);
    int b = xOf(selEndTime);
    rect.left = std::min(a, b);
    rect.right = std::max(a, b);
}

// ---------------------------------------------------------------------------
// Values

std::int64_t CChannels::ReadableCount() const {
    std::int64_t n = WholeCount(sampleCount);
    if (!samples.IsNull())
        n = std::min<std::int64_t>(n, static_cast<std::int64_t>(samples.size()));
    return n;
}

bool CChannels::ReadSample(std::int64_t k, float& value) const {
    if (k < 0 || k >= ReadableCount())
        return false;
    if (!samples.IsNull()) {
        value = samples[static_cast<std::size_t>(k)];
        return true;
    }
    if (!sourceFile || !sourceFile->IsOpen())
        return false;
    // Frame k holds stride values; this channel's is number channelNumber.
    // A channel number outside the frame would read another frame's value.
    if (stride <= 0 || channelNumber < 1 || channelNumber > stride)
        return false;
    const std::int64_t limit = std::numeric_limits<std::int64_t>::max() / 4 - stride;
    if (k > limit / stride)
        return false;
    const std::int64_t offset = (k * stride + (channelNumber - 1)) * 4;
    try {
        float v = 0.0f;
        if (sourceFile->ReadAt(offset, &v, sizeof v) != sizeof v)
            return false;
        value = v;
        return true;
    } catch (const platform::FileException&) {
        return false;
    }
}

double CChannels::GetSampleAtTime(double t) {
    std::int64_t i = IndexAtTime(t, sampleCount, static_cast<std::size_t>(ReadableCount()));
    float value = 0.0f;
    if (i >= 0 && ReadSample(i, value))
        valueAtCursor = value;
    return valueAtCursor;
}

double CChannels::SetReferenceAtTime(double t) {
    std::int64_t i = IndexAtTime(t, sampleCount, static_cast<std::size_t>(ReadableCount()));
    float value = 0.0f;
    if (i >= 0 && ReadSample(i, value))
        reference = value;
    return reference;
}

double CChannels::GetIntensityAt(double t) {
    if (!intensityValid)
        return 0.0;
    if (!intensity.IsNull()) {
        std::int64_t i = IndexAtTime(t, intensityCount, intensity.size());
        return i >= 0 ? intensity[static_cast<std::size_t>(i)] : 0.0;
    }
    if (!sourceFile || intensityFilePath.empty())
        return 0.0;
    // The curve of a file-backed channel stays in its file; the file is kept
    // open between reads, which come once per pixel column.
    if (!m_intensityFile.IsOpen() || m_intensityFile.GetFilePath() != intensityFilePath) {
        m_intensityFile.Close();
        if (!m_intensityFile.Open(intensityFilePath, platform::File::Mode::Read))
            return 0.0;
    }
    std::int64_t i = IndexAtTime(t, intensityCount, static_cast<std::size_t>(WholeCount(intensityCount)));
    if (i < 0)
        return 0.0;
    try {
        float v = 0.0f;
        if (m_intensityFile.ReadAt(i * 4, &v, sizeof v) != sizeof v)
            return 0.0;
        return v;
    } catch (const platform::FileException&) {
        return 0.0;
    }
}

void CChannels::CloseIntensityFile() { m_intensityFile.Close(); }

double CChannels::GetVelocityAt(double t) {
    if (!velocity.IsNull()) {
        std::int64_t i = IndexAtTime(t, velocityCount, velocity.size());
        if (i >= 0)
            velocityAtCursor = velocity[static_cast<std::size_t>(i)];
    }
    return velocityAtCursor;
}

double CChannels::GetAccelerationAt(double t) {
    if (!acceleration.IsNull()) {
        std::int64_t i = IndexAtTime(t, accelerationCount, acceleration.size());
        if (i >= 0)
            accelerationAtCursor = acceleration[static_cast<std::size_t>(i)];
    }
    return accelerationAtCursor;
}

double CChannels::CalibrateValue(double raw) const {
    // Stored files keep the gain as a whole number, so a gain below 1
    // arrives as 0: count it as no gain rather than divide by it.
    double g = gain == 0.0 ? 1.0 : gain;
    double x = (raw - reference) / g;
    return calA * x * x * x + calB * x * x + calC * x + calD;
}

// ---------------------------------------------------------------------------
// Labels

namespace {

bool NearlyAt(int value, int given) {
    return given - 2 < value && value < given + 2;
}

}  // namespace

int CChannels::AppendLabel(const LABEL& label) {
    labels.Add(label);
    labelCount = labels.GetSize();
    return labelCount;
}

int CChannels::GetLabel(int i, LABEL& label) const {
    label = labels.GetAt(i);
    return 1;
}

int CChannels::FindLabel(const LABEL& label) const {
    // Position, text, top and bottom must all match on the same label: a
    // label with the same text elsewhere is another label.
    const std::string_view text = label.Text();
    int index = 0;
    for (const LABEL& l : labels) {
        if (NearlyAt(l.rect.left, label.rect.left) && NearlyAt(l.rect.right, label.rect.right) &&
            l.rect.top == label.rect.top && l.rect.bottom == label.rect.bottom && l.Text() == text)
            return index;
        ++index;
    }
    return -1;
}

platform::Rect CChannels::LabelRect(const LABEL& label, int x, int y, const platform::TextMeasurer& measurer) const {
    platform::TextSize size = measurer.Measure(label.font, label.Text());
    const int w = size.cx;
    platform::Rect r;
    switch (label.anchoring) {
    case LABEL::kAnchorCentre:
        r.left = x - w / 2;
        r.right = x + w - w / 2;
        break;
    case LABEL::kAnchorRight:
        r.left = x - w;
        r.right = x;
        break;
    default:
        r.left = x;
        r.right = x + w;
        break;
    }
    r.top = y;
    r.bottom = y + size.cy;
    return r;
}

int CChannels::PlaceLabel(int i, LABEL& label, double startTime, double endTime,
                          const platform::TextMeasurer& measurer) {
    LABEL& stored = labels.ElementAt(i);
    if (!(stored.time > startTime && stored.time < endTime))
        return 0;
    double width = static_cast<double>(strip.right) - static_cast<double>(strip.left);
    int xOffset = TruncToInt((stored.time - startTime) * width / (endTime - startTime));
    int y = TruncToInt(stripHeight * stored.relativeHeight) + strip.top;
    stored.rect = LabelRect(stored, kLeftMargin + xOffset, y, measurer);
    label = stored;
    return 1;
}

LABEL CChannels::AddLabelAtCursor(const LABEL& label, const LABEL& oldLabel, int y, int moveFlag,
                                  const platform::TextMeasurer& measurer) {
    LABEL result = label;
    if (moveFlag) {
        // A label that is not there any more is not stored again.
        if (RemoveLabel(oldLabel) < 0)
            return label;
    } else {
        result.time = markerTime;
        int height = strip.bottom - strip.top;
        result.relativeHeight = height != 0 ? static_cast<double>(y - strip.top) / height : 0.0;
    }
    const double msPerSample = MsPerSample();
    const double start = shownStart * msPerSample;
    const double end = shownEnd * msPerSample;
    double width = static_cast<double>(strip.right) - static_cast<double>(strip.left);
    double offset = end != start ? (result.time - start) * width / (end - start) : 0.0;
    int x = TruncToInt(kLeftMargin + offset);
    int top = TruncToInt(stripHeight * result.relativeHeight) + strip.top;
    result.rect = LabelRect(result, x, top, measurer);
    AppendLabel(result);
    return result;
}

LABEL CChannels::MoveLabel(const LABEL& label, int left, int top, int right, int bottom) {
    int i = FindLabel(label);
    if (i < 0)
        return label;
    LABEL& stored = labels.ElementAt(i);
    int height = strip.bottom - strip.top;
    if (height != 0)
        stored.relativeHeight = static_cast<double>(top - strip.top) / height;
    stored.time += PixelToTime(left) - PixelToTime(label.rect.left);
    stored.rect = platform::Rect{left, top, right, bottom};
    return stored;
}

LABEL CChannels::ShiftLabelTime(const LABEL& label, double dt) {
    int i = FindLabel(label);
    if (i < 0)
        return label;
    LABEL& stored = labels.ElementAt(i);
    stored.time += dt;
    return stored;
}

int CChannels::RemoveLabel(const LABEL& label) {
    int i = FindLabel(label);
    if (i >= 0)
        labels.RemoveAt(i);
    labelCount = labels.GetSize();
    return i;
}

void CChannels::RemoveAllLabels() {
    labels.RemoveAll();
    labelCount = 0;
}

void CChannels::SetUpForeignChannel(int index, double count, double sampleRate, double durationMs, int bitCount) {
    samples.Free();
    sourceFile.reset();
    stride = 0;
    rate = sampleRate;
    sampleCount = count;
    duration = durationMs;
    channelNumber = index + 1;
    audioFlag = index == 0 ? 1 : 0;
    timeReference = index == 0 ? 1 : 0;
    bits = bitCount;
    scaleMode = 3;
    show = 1;
    shownStart = 0.0;
    shownEnd = count;
    shownLength = count;
    shownStartTime = 0.0;
    shownEndTime = durationMs;
    shownSpan = durationMs;
    prevWindowStart = 0.0;
    prevWindowEnd = count;
    reference = 0.0;
    auxFactors = {1.0, 1.0};
    calA = 0.0;
    calB = 0.0;
    calC = 1.0;
    calD = 0.0;
    unit = "normalized";
    gain = 1.0;
    filterRate = sampleRate / 2.0;
}

}  // namespace vocomet
