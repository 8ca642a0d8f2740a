#pragma once
// The measurement-log entries of the spectrogram window (the marker, the
// selection's duration, the tracked formants at the marker and over the
// selection) and the numbers-only formant table its PlotFormants commands
// hand to a new formant plot.
//
// A time finds its formant column through the picture's own mapping
// (SpectrogramImage::ColumnAt: the column whose frame centre is nearest),
// the one the drawing and the read-outs use, so an index is always one of
// the columns. Times of a selection are ms from the start of the analysed
// range, as the pane keeps them.

#include <string>
#include <vector>

#include "analysis/SpectrogramAnalysis.h"
#include "app/LogEntry.h"

namespace vocomet {

// The descriptions the spectrogram window's log entries carry, shown in the
// log window and written to the log file as they stand (the leading "Spec."
// abbreviates spectrogram; log files already hold these texts).
inline constexpr const char* kSpectrogramMarkerEntry = "Spec. Marker Entry: time, frequency ";
inline constexpr const char* kSpectrogramDurationEntry = "Spec. Duration Entry: start, end, duration ";
inline constexpr const char* kSpectrogramFormantsMarkerEntry = "Spec. Formants Marker Entry: time, F1, F2, F3, F4, F5 ";
inline constexpr const char* kSpectrogramFormantsSelectionEntry =
    "Spec. Formants Duration Entry: time, F1, F2, F3, F4, F5 ";

// Marker time (ms) and frequency (Hz).
LogEntry SpectrogramMarkerEntry(const std::string& source, double markerTimeMs, double markerHz);
// The absolute start and end of a selection (ms from rangeStartMs) and its
// duration.
LogEntry SpectrogramDurationEntry(const std::string& source, double rangeStartMs, double selectionStart,
                                  double selectionEnd);
// The marker time (absolute ms) and the five slots of its column (empty
// slots -1). None when the picture has no formant columns.
std::vector<LogEntry> SpectrogramFormantMarkerEntry(const std::string& source, const SpectrogramImage& image,
                                                    double markerTimeMs);
// One entry per step from the selection start while before its end: the
// absolute time and the five slots of its column. A step that is not
// positive (or would give more than a million entries) and a picture
// without formant columns make none.
std::vector<LogEntry> SpectrogramFormantSelectionEntries(const std::string& source, const SpectrogramImage& image,
                                                         double rangeStartMs, double selectionStart,
                                                         double selectionEnd, double stepMs);

// The numbers-only formant table of the columns first .. last (clamped to
// the picture): "F1 TAB F2 TAB F3 TAB TAB CR LF" for every column whose F1
// is above 0; columns without F1 write nothing, so the text is empty when
// none has one.
std::string SpectrogramFormantTable(const SpectrogramImage& image, int first, int last);

}  // namespace vocomet
