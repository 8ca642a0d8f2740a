#pragma once
// The text rules of the label entry dialog, without a widget.
//
// A label's text is stored as Windows-1252 bytes with CR LF between lines,
// in a 256-byte field. The dialog's edit box works in Unicode with LF
// between lines, so the limit is counted on the bytes the text will take
// once stored (CR LF counts two), and a character the code page cannot hold
// is refused instead of being stored as '?'.

#include <cstddef>
#include <string>
#include <string_view>

namespace vocomet {

// Bytes a label's text may take when typed in the entry dialog.
constexpr std::size_t kLabelEntryMaxChars = 254;

// The prompt above the edit box.
inline constexpr const char* kLabelEntryPrompt = "Enter Label (255 characters maximum): ";

struct LabelEntryCheck {
    enum Status { Ok, TooLong, NotEncodable };
    Status status = Ok;
    std::string bytes;       // Ok: the stored form (Windows-1252, CR LF line breaks)
    std::string offending;   // NotEncodable: the characters refused (UTF-8, each once, in order)
    std::size_t byteCount = 0;  // bytes the text would take (encodable characters only)
    // The message for the user; empty when Ok.
    std::string message;
};

// Checks the edit box's text (UTF-8, LF or CR LF line breaks) against the
// limit and the code page.
LabelEntryCheck CheckLabelEntryText(std::string_view editUtf8, std::size_t maxBytes = kLabelEntryMaxChars);

// The edit box's text (UTF-8, LF line breaks) for a label's stored bytes:
// each CR LF becomes one LF, which CheckLabelEntryText turns back into
// CR LF, so an untouched text is stored as the bytes it came from.
std::string LabelTextToEdit(std::string_view labelBytes);

// "Please enter no more than 254 characters."
std::string TooManyCharactersMessage(std::size_t maxBytes);

}  // namespace vocomet
