#include "app/PitchLogEntries.h"

namespace vocomet {

namespace {

LogEntry Entry(const std::string& source, const char* description, double timeMs, double pitch, double intensity) {
    LogEntry e;
    e.SetSource(source);
    e.SetDescription(description);
    e.AddValue(timeMs);
    e.AddValue(pitch);
    e.AddValue(intensity);
    return e;
}

double Intensity(const IntensityAt& intensityAt, double t) { return intensityAt ? intensityAt(t) : 0.0; }

}  // namespace

LogEntry PitchMarkerEntry(const std::string& source, double timeMs, double pitch, double intensity) {
    return Entry(source, kPitchMarkerEntry, timeMs, pitch, intensity);
}

std::vector<LogEntry> PitchSelectionEntries(const std::string& source, const PitchTrack& track, double startMs,
                                            double endMs, const IntensityAt& intensityAt) {
    std::vector<LogEntry> entries;
    if (!(endMs >= startMs))
        return entries;
    for (int k = 0; k < track.Count(); ++k) {
        const double t = track.FrameTimeMs(k);
        if (t < startMs)
            continue;
        if (t > endMs)
            break;
        entries.push_back(Entry(source, kPitchSelectionEntry, t, track.f0[static_cast<std::size_t>(k)],
                                Intensity(intensityAt, t)));
    }
    return entries;
}

std::vector<LogEntry> PitchAllEntries(const std::string& source, const PitchTrack& track,
                                      const IntensityAt& intensityAt) {
    std::vector<LogEntry> entries;
    for (int k = 0; k < track.Count(); ++k) {
        const double f0 = track.f0[static_cast<std::size_t>(k)];
        if (!(f0 > 0.0))
            continue;
        const double t = track.FrameTimeMs(k);
        entries.push_back(Entry(source, kPitchSelectionEntry, t, f0, Intensity(intensityAt, t)));
    }
    return entries;
}

}  // namespace vocomet
