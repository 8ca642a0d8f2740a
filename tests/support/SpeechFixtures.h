#pragma once
// Signals for the analysis tests: vowels synthesised by praat, the samples
// of a 16-bit WAV file, and channel data written interleaved in a file as
// the file-backed channels keep it.

#include <memory>
#include <string>
#include <vector>

#include "platform/File.h"

namespace vocomet::test {

// The 16-bit PCM samples of a WAV file, scaled to -1 .. 1; empty when the
// file cannot be read.
std::vector<float> ReadPcm16(const std::string& path);

// A vowel `seconds` long: a phonation source at a constant f0 through
// one-formant filters at f1, f2 and f3 (bandwidths 60, 90 and 120 Hz),
// peak 0.9, made by praat in the folder. Empty when praat fails.
std::vector<float> PraatVowel(const std::string& folder, double rate, double f0, double f1, double f2, double f3,
                              double seconds);

// Writes frames of `stride` native floats with the channel in `column` and
// `filler * (c + 1)` in every other column c, and opens the file for
// reading.
std::shared_ptr<platform::File> InterleavedFile(const std::string& path, const std::vector<float>& x, int stride,
                                                int column, float filler = 0.25f);

}  // namespace vocomet::test
