#pragma once
// The measurement-log entries of the pitch window: the values stored at its
// marker, and time, pitch and intensity for every frame of the selection or
// for every voiced frame of the track. Every frame is entered at the time it
// stands for (PitchTrack::FrameTimeMs), the time the window draws it at.

#include <functional>
#include <string>
#include <vector>

#include "analysis/PitchTrack.h"
#include "app/LogEntry.h"

namespace vocomet {

inline constexpr const char* kPitchMarkerEntry = "Pitch Marker Entry: time, pitch, intensity ";
inline constexpr const char* kPitchSelectionEntry = "Pitch Selection Entry: time, pitch, intensity ";

// Intensity (dB) at a time (ms); 0 when the window does not show intensity.
using IntensityAt = std::function<double(double timeMs)>;

LogEntry PitchMarkerEntry(const std::string& source, double timeMs, double pitch, double intensity);
// One entry for every frame whose time lies in startMs .. endMs (both ends
// included), unvoiced frames (0 Hz) too.
std::vector<LogEntry> PitchSelectionEntries(const std::string& source, const PitchTrack& track, double startMs,
                                            double endMs, const IntensityAt& intensityAt);
// One entry for every frame with a pitch above 0 (the selection's text).
std::vector<LogEntry> PitchAllEntries(const std::string& source, const PitchTrack& track,
                                      const IntensityAt& intensityAt);

}  // namespace vocomet
