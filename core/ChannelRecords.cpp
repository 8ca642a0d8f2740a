#include "core/ChannelRecords.h"

#include <algorithm>
#include <cstring>

namespace vocomet {

std::string_view LABEL::Text() const {
    const char* first = text.data();
    const char* nul = std::find(first, first + kTextSize, '\0');
    return std::string_view(first, static_cast<std::size_t>(nul - first));
}

void LABEL::SetText(std::string_view value) {
    std::size_t nul = value.find('\0');
    if (nul != std::string_view::npos)
        value = value.substr(0, nul);
    if (value.size() > kMaxTextLength)
        value = value.substr(0, kMaxTextLength);
    text.fill('\0');
    if (!value.empty())
        std::memcpy(text.data(), value.data(), value.size());
}

}  // namespace vocomet
