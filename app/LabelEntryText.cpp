#include "app/LabelEntryText.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/TextEncoding.h"

namespace vocomet {

namespace {

// Length of the UTF-8 sequence that starts with byte b (1 for a byte that
// starts none, so malformed input still moves on).
std::size_t SequenceLength(std::uint8_t b) {
    if (b >= 0xF0 && b < 0xF8)
        return 4;
    if (b >= 0xE0)
        return b < 0xF0 ? 3 : 1;
    if (b >= 0xC0)
        return 2;
    return 1;
}

}  // namespace

LabelEntryCheck CheckLabelEntryText(std::string_view editUtf8, std::size_t maxBytes) {
    LabelEntryCheck check;
    std::vector<std::string> refused;
    std::size_t i = 0;
    while (i < editUtf8.size()) {
        const auto b = static_cast<std::uint8_t>(editUtf8[i]);
        if (b == '\r' && i + 1 < editUtf8.size() && editUtf8[i + 1] == '\n')
            ++i;  // CR LF is taken as the LF that follows
        if (editUtf8[i] == '\n') {
            check.bytes += "\r\n";
            ++i;
            continue;
        }
        const std::size_t n = std::min(SequenceLength(b), editUtf8.size() - i);
        const std::string_view one = editUtf8.substr(i, n);
        i += n;
        // A NUL would end the stored text early; anything that comes back
        // as '?' (other than '?' itself) has no byte in the code page.
        const std::string encoded = platform::Utf8ToCp1252(one);
        if (one == std::string_view("\0", 1) || encoded.size() != 1 || (encoded == "?" && one != "?")) {
            if (std::find(refused.begin(), refused.end(), one) == refused.end())
                refused.emplace_back(one);
            continue;
        }
        check.bytes += encoded;
    }
    check.byteCount = check.bytes.size();
    if (!refused.empty()) {
        check.status = LabelEntryCheck::NotEncodable;
        std::string list;
        for (const std::string& c : refused) {
            if (!list.empty())
                list += ' ';
            list += c == std::string_view("\0", 1) ? std::string("NUL") : c;
            check.offending += c;
        }
        check.message = "A label cannot hold these characters: " + list + "\nPlease remove or replace them.";
        check.bytes.clear();
        return check;
    }
    if (check.byteCount > maxBytes) {
        check.status = LabelEntryCheck::TooLong;
        check.message = TooManyCharactersMessage(maxBytes);
        check.bytes.clear();
    }
    return check;
}

std::string LabelTextToEdit(std::string_view labelBytes) {
    std::string bytes;
    bytes.reserve(labelBytes.size());
    for (std::size_t i = 0; i < labelBytes.size(); ++i) {
        if (labelBytes[i] == '\r' && i + 1 < labelBytes.size() && labelBytes[i + 1] == '\n')
            continue;
        bytes += labelBytes[i];
    }
    return platform::Cp1252ToUtf8(bytes);
}

std::string TooManyCharactersMessage(std::size_t maxBytes) {
    return "Please enter no more than " + std::to_string(maxBytes) + " characters.";
}

}  // namespace vocomet
