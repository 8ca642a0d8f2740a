#include "app/LogEntryBuilders.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/COrielDoc.h"
#include "platform/TextEncoding.h"

namespace vocomet {

namespace {

// The title is a file name (UTF-8); the log keeps 8-bit texts.
std::string SourceOf(const COrielDoc& doc) { return platform::Utf8ToCp1252(doc.GetTitle()); }

LogEntry StartEntry(const COrielDoc& doc, const std::string& description) {
    LogEntry e;
    e.SetSource(SourceOf(doc));
    e.SetDescription(description);
    return e;
}

template <typename F>
void ForEachShown(const COrielDoc& doc, F&& f) {
    const int n = std::clamp(doc.GetChannelCount(), 0, kDocumentSlots);
    for (int i = 0; i < n; ++i)
        if (doc.Channel(i).show)
            f(i);
}

std::string WithShownNames(const COrielDoc& doc, std::string description) {
    ForEachShown(doc, [&](int i) {
        description += " ,";
        description += doc.Channel(i).name;
    });
    return description;
}

// Reads a value at a time without disturbing the value shown at the cursor.
double CalibratedSampleAt(CChannels& ch, double t) {
    const double kept = ch.valueAtCursor;
    const double raw = ch.GetSampleAtTime(t);
    ch.valueAtCursor = kept;
    return ch.CalibrateValue(raw);
}

std::vector<LogEntry> EggCycleEntries(const COrielDoc& doc, bool selectionOnly) {
    std::vector<LogEntry> entries;
    const std::optional<int> egg = EggChannelOf(doc);
    if (!egg)
        return entries;
    const CChannels& ch = doc.Channel(*egg);
    if (!ch.cyclesValid)
        return entries;
    const int n = ch.cycles.GetSize();
    const LogEntry blank =
        StartEntry(doc, "EGG Entries:TCstart, TCend, TOend, CQ, CQ_H, CQ_PM, CQ_HT, peak_Vel, peak_Vel_Time ");
    for (int i = 0; i + 1 < n; ++i) {
        const ArrayCycle& c = ch.cycles.GetAt(i);
        if (selectionOnly && !(c.criterionRise.time > ch.selStartTime && c.criterionFall.time < ch.selEndTime))
            continue;
        LogEntry e = blank;
        e.values.reserve(9);
        for (double v : {c.criterionRise.time, c.criterionFall.time, ch.cycles.GetAt(i + 1).criterionRise.time, c.cq,
                         c.cqH, c.cqPM, c.cqHT, c.velocityMax.value, c.velocityMax.time})
            e.AddValue(v);
        entries.push_back(std::move(e));
    }
    return entries;
}

}  // namespace

LogEntry MarkerEntry(COrielDoc& doc) {
    LogEntry e = StartEntry(doc, WithShownNames(doc, "Marker Entry: time"));
    e.AddValue(doc.Channel(0).markerTime);
    ForEachShown(doc, [&](int i) {
        const CChannels& ch = doc.Channel(i);
        e.AddValue(ch.CalibrateValue(ch.valueAtMarker));
    });
    return e;
}

LogEntry DurationEntry(const COrielDoc& doc) {
    LogEntry e = StartEntry(doc, "Duration Entry: start, end, duration ");
    const CChannels& ch = doc.Channel(0);
    e.AddValue(ch.selStartTime);
    e.AddValue(ch.selEndTime);
    e.AddValue(ch.selEndTime - ch.selStartTime);
    return e;
}

std::int64_t DataSelectionRowCount(double start, double end, double step) {
    if (!(step > 0.0) || !std::isfinite(step) || !std::isfinite(start) || !std::isfinite(end) || !(end > start))
        return 0;
    // Row i is at start + i x step; counting them from the quotient (not by
    // a running sum, whose rounding drops or adds the last row) and letting
    // a time a hair before the end count as the end.
    const double q = (end - start) / step * (1.0 - 1e-9);
    if (!(q < 9.0e15))
        return static_cast<std::int64_t>(9.0e15);
    return static_cast<std::int64_t>(std::ceil(q));
}

std::vector<LogEntry> DataSelectionEntries(COrielDoc& doc, double step) {
    std::vector<LogEntry> entries;
    const CChannels& first = doc.Channel(0);
    const double start = first.selStartTime;
    const std::int64_t rows = DataSelectionRowCount(start, first.selEndTime, step);
    if (rows <= 0 || rows > kMaxDataSelectionEntries)
        return entries;
    std::vector<int> shown;
    ForEachShown(doc, [&](int i) { shown.push_back(i); });
    const LogEntry blank = StartEntry(doc, WithShownNames(doc, "Data Selection Entry: time"));
    entries.reserve(static_cast<std::size_t>(rows));
    for (std::int64_t r = 0; r < rows; ++r) {
        const double t = start + static_cast<double>(r) * step;
        LogEntry e = blank;
        e.values.reserve(1 + shown.size());
        e.AddValue(t);
        for (int i : shown)
            e.AddValue(CalibratedSampleAt(doc.Channel(i), t));
        entries.push_back(std::move(e));
    }
    return entries;
}

std::optional<int> EggChannelOf(const COrielDoc& doc) {
    const int egg = doc.settings.egg.channel;
    if (egg < 0 || egg >= std::min(doc.GetChannelCount(), kDocumentSlots))
        return std::nullopt;
    return egg;
}

std::optional<LogEntry> EggMarkerEntry(COrielDoc& doc) {
    const std::optional<int> egg = EggChannelOf(doc);
    if (!egg)
        return std::nullopt;
    CChannels& ch = doc.Channel(*egg);
    LogEntry e = StartEntry(doc, "EGG Entries: time, value, peak Velocity");
    e.AddValue(ch.markerTime);
    e.AddValue(ch.CalibrateValue(ch.valueAtMarker));
    const double kept = ch.velocityAtCursor;
    e.AddValue(ch.GetVelocityAt(ch.markerTime));
    ch.velocityAtCursor = kept;
    return e;
}

std::vector<LogEntry> EggAllEntries(const COrielDoc& doc) { return EggCycleEntries(doc, false); }

std::vector<LogEntry> EggSelectionEntries(const COrielDoc& doc) { return EggCycleEntries(doc, true); }

}  // namespace vocomet
