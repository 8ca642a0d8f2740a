#pragma once
// The measurement-log entries of the FFT/LPC window: the levels at its
// marker, its formants and bandwidths, and the levels over the whole
// spectrum at a fixed frequency step.

#include <string>
#include <vector>

#include "analysis/FftLpcAnalysis.h"
#include "app/LogEntry.h"

namespace vocomet {

inline constexpr const char* kFftLpcMarkerEntry = "FFT/LPC Marker Entry: freq., FFT_dB ";
inline constexpr const char* kFftLpcMarkerLpcEntry = "FFT/LPC Marker Entry: freq., FFT_dB, LPC_dB ";
inline constexpr const char* kFftLpcFormantEntry =
    "FFT/LPC Formants & BW Entry: F1, F2, F3, F4, F5, BW1, BW2, BW3, BW4, BW5 ";

// Frequency and FFT level, and with drawLpc the LPC level.
LogEntry FftLpcMarkerEntry(const std::string& source, double frequency, const FftLpcLevels& levels, bool drawLpc);
// The five formant slots, then the five bandwidth slots, as stored.
LogEntry FftLpcFormantEntry(const std::string& source, const FftLpcResult& result);
// One marker entry for each f = 0, step, 2 step, ... below the top
// frequency, with the levels at point int(f / Hz per point). A step below
// 1 Hz gives no entries.
std::vector<LogEntry> FftLpcAllFrameEntries(const std::string& source, const FftLpcResult& result, int stepHz,
                                            int topFrequency, bool absolute, bool drawLpc);

}  // namespace vocomet
