#pragma once
// Stateless helpers shared by the document, the readers, the views and the
// analysis windows: tab-separated line builders, quote finding, text
// measuring and Bark conversion. The sample-buffer and byte-order helpers
// live in platform/SampleBuffers.h (readers below this layer use them) and are
// brought into this namespace for the views and windows.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/SampleBlock.h"
#include "platform/SampleBuffers.h"
#include "platform/TextMeasurer.h"

namespace vocomet {

using platform::CopySamples16;
using platform::CopySamples32;
using platform::InsertSamples32;
using platform::ReallocGlobalBuffer;
using platform::ReverseBytes;
using platform::SwapDouble;
using platform::SwapInt16;
using platform::SwapInt32;

// Line builders for exported text: a field ends with TAB, a line with CR LF.
// With eolFlag 0 the field is appended; otherwise CR LF is appended and the
// value ignored. Each returns the string's new length.
int AppendIntField(std::string& line, int value, int eolFlag);
int AppendTextField(std::string& line, std::string text, int eolFlag);
int AppendQuotedTextField(std::string& line, std::string text, int eolFlag);

// Index of the first '"' at or after start; -1 when start is negative, at or
// beyond the end, or no quote follows.
int FindNextQuote(std::string_view text, int start);

// Width and height of the text in the font.
platform::TextSize GetTextSize(const platform::TextMeasurer& measurer, const platform::LogFontA& font,
                               std::string_view text);

// Bark value of a frequency: with k = hz / 1000,
// 13 atan(0.76 k) + 3.5 atan((k / 7.5)^2).
double HzToBark(int hz);
bool IsOdd(int value);

}  // namespace vocomet
