#include "app/FftLpcLogEntries.h"

namespace vocomet {

LogEntry FftLpcMarkerEntry(const std::string& source, double frequency, const FftLpcLevels& levels, bool drawLpc) {
    LogEntry e;
    e.SetSource(source);
    e.SetDescription(drawLpc ? kFftLpcMarkerLpcEntry : kFftLpcMarkerEntry);
    e.AddValue(frequency);
    e.AddValue(levels.fft);
    if (drawLpc)
        e.AddValue(levels.lpc);
    return e;
}

LogEntry FftLpcFormantEntry(const std::string& source, const FftLpcResult& result) {
    LogEntry e;
    e.SetSource(source);
    e.SetDescription(kFftLpcFormantEntry);
    for (double v : result.formants)
        e.AddValue(v);
    for (double v : result.bandwidths)
        e.AddValue(v);
    return e;
}

std::vector<LogEntry> FftLpcAllFrameEntries(const std::string& source, const FftLpcResult& result, int stepHz,
                                            int topFrequency, bool absolute, bool drawLpc) {
    std::vector<LogEntry> entries;
    if (stepHz < 1 || topFrequency < 1 || !(result.hzPerPoint > 0.0))
        return entries;
    entries.reserve(static_cast<std::size_t>((topFrequency + stepHz - 1) / stepHz));
    for (long long f = 0; f < topFrequency; f += stepHz) {
        const int i = static_cast<int>(static_cast<double>(f) / result.hzPerPoint);
        entries.push_back(FftLpcMarkerEntry(source, static_cast<double>(f), FftLpcLevelsAt(result, i, absolute), drawLpc));
    }
    return entries;
}

}  // namespace vocomet
