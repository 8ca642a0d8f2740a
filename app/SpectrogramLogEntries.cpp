#include "app/SpectrogramLogEntries.h"

#include <algorithm>

#include "analysis/PlotFormantFile.h"
#include "app/LogEntryBuilders.h"

namespace vocomet {

namespace {

bool HasFormantColumns(const SpectrogramImage& image) {
    return image.columns > 0 && image.formants.size() >= static_cast<std::size_t>(image.columns);
}

LogEntry FormantEntry(const std::string& source, const char* kind, double timeMs, const SpectrogramImage& image) {
    LogEntry e;
    e.SetSource(source);
    e.SetDescription(kind);
    e.AddValue(timeMs);
    for (std::int16_t f : image.FormantsAt(image.ColumnAt(timeMs)))
        e.AddValue(static_cast<double>(f));
    return e;
}

}  // namespace

LogEntry SpectrogramMarkerEntry(const std::string& source, double markerTimeMs, double markerHz) {
    LogEntry e;
    e.SetSource(source);
    e.SetDescription(kSpectrogramMarkerEntry);
    e.AddValue(markerTimeMs);
    e.AddValue(markerHz);
    return e;
}

LogEntry SpectrogramDurationEntry(const std::string& source, double rangeStartMs, double selectionStart,
                                  double selectionEnd) {
    LogEntry e;
    e.SetSource(source);
    e.SetDescription(kSpectrogramDurationEntry);
    e.AddValue(rangeStartMs + selectionStart);
    e.AddValue(rangeStartMs + selectionEnd);
    e.AddValue(selectionEnd - selectionStart);
    return e;
}

std::vector<LogEntry> SpectrogramFormantMarkerEntry(const std::string& source, const SpectrogramImage& image,
                                                    double markerTimeMs) {
    if (!HasFormantColumns(image))
        return {};
    return {FormantEntry(source, kSpectrogramFormantsMarkerEntry, markerTimeMs, image)};
}

std::vector<LogEntry> SpectrogramFormantSelectionEntries(const std::string& source, const SpectrogramImage& image,
                                                         double rangeStartMs, double selectionStart,
                                                         double selectionEnd, double stepMs) {
    std::vector<LogEntry> entries;
    if (!HasFormantColumns(image))
        return entries;
    // The rows of the main view's selection entries: none for a step <= 0.
    const std::int64_t rows = DataSelectionRowCount(selectionStart, selectionEnd, stepMs);
    if (rows <= 0 || rows > kMaxDataSelectionEntries)
        return entries;
    entries.reserve(static_cast<std::size_t>(rows));
    for (std::int64_t i = 0; i < rows; ++i) {
        const double t = selectionStart + static_cast<double>(i) * stepMs;
        entries.push_back(FormantEntry(source, kSpectrogramFormantsSelectionEntry, rangeStartMs + t, image));
    }
    return entries;
}

std::string SpectrogramFormantTable(const SpectrogramImage& image, int first, int last) {
    std::string text;
    if (!HasFormantColumns(image))
        return text;
    first = std::max(first, 0);
    last = std::min(last, image.columns - 1);
    for (int c = first; c <= last; ++c) {
        const auto& r = image.formants[static_cast<std::size_t>(c)];
        if (r[0] > 0)
            AppendFormantNumbersLine(text, r[0], r[1], r[2]);
    }
    return text;
}

}  // namespace vocomet
