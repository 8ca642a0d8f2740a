#pragma once
// Eight-bit texts in files (labels, names, units, logs, tables) are
// Windows-1252. They are converted at the user-interface boundary.

#include <string>
#include <string_view>

namespace platform {

// Every byte maps to a character; the five bytes 1252 leaves undefined map
// to the C1 control of the same value.
std::string Cp1252ToUtf8(std::string_view bytes);

// Characters without a Windows-1252 byte become '?'; malformed UTF-8 bytes
// are taken as Windows-1252 bytes.
std::string Utf8ToCp1252(std::string_view utf8);

}  // namespace platform
