#pragma once
// Generic files: files no format reader recognises, read as one channel
// after the user has described them in the generic-file dialog (the
// document's settings.genericAnswers: header bytes to skip, sample rate,
// ASCII or integer binary, 8 or 16 bits, byte order).
//
// ASCII files hold one decimal integer per line. A line ends at CR, at LF or
// at CR LF (each ending ends one line), and a last line without an ending
// is read too. Blank lines (nothing but spaces and tabs) carry no sample and
// are skipped, so a file with blank lines between its numbers or at its end
// reads as its numbers alone. A line with text but no leading number counts
// as 0.
//
// Integer binary files hold 8-bit unsigned (offset binary) or 16-bit signed
// samples in either byte order.
//
// Both readers answer loaded (kReaderLoaded) or failed (kReaderEndOpen),
// never kReaderNotMine: the user asked for this reading. The ASCII reader
// says why it failed (after a beep). The integer binary reader fails
// without a word: the document then tries the ASCII reader on the same
// file, and every cause the binary reader can meet (an empty file, a header
// that leaves nothing, a rate that is not positive, no memory) is one the
// ASCII reader meets and reports too.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/DocumentFormats.h"
#include "core/DocumentSettings.h"
#include "platform/File.h"

namespace vocomet {

class COrielDoc;

inline constexpr const char* kAsciiChannelName = "ascii file";
inline constexpr const char* kIntegerBinaryChannelName = "int_binary file";
inline constexpr const char* kNotPureAsciiMessage =
    "The file is not a pure ascii file. Make sure that this file does not contain and header and does not have "
    "any formatting.";
inline constexpr const char* kZeroLengthMessage = "The file has zero length.";
// Lines longer than this many characters mark a file that is not one
// number per line.
inline constexpr std::size_t kMaxAsciiLineLength = 256;

// Why the answers cannot describe any file: empty when they can (a header
// size of 0 or more, a sample rate within the loadable rates).
std::string CheckGenericAnswers(const GenericFileAnswers& answers);
// The same, and the header must leave something of a file of fileLength
// bytes: it must be smaller than the file.
std::string CheckGenericLayout(const GenericFileAnswers& answers, std::int64_t fileLength);

// The value of one ASCII line: leading spaces and tabs, an optional sign,
// then decimal digits up to the first other character; 0 when there are no
// digits. Values beyond the 32-bit range saturate.
std::int32_t AsciiLineValue(std::string_view line);

// Splits text, given in pieces, into the lines of an ASCII file (see above).
class AsciiLineScanner {
public:
    // Calls onLine(std::string_view) for each complete non-blank line in the
    // piece. False when a line grew longer than kMaxAsciiLineLength (the
    // scanner is then done).
    template <typename OnLine>
    bool Feed(const char* text, std::size_t n, OnLine&& onLine) {
        for (std::size_t i = 0; i < n; ++i) {
            const char c = text[i];
            if (c == '\n' && m_afterCr) {  // the LF of a CR LF
                m_afterCr = false;
                continue;
            }
            m_afterCr = c == '\r';
            if (c == '\r' || c == '\n') {
                EndLine(onLine);
            } else {
                if (m_line.size() >= kMaxAsciiLineLength)
                    return false;
                m_line.push_back(c);
            }
        }
        return true;
    }
    // Ends the text: a last line without an ending is a line too.
    template <typename OnLine>
    void Finish(OnLine&& onLine) {
        EndLine(onLine);
        m_afterCr = false;
    }

private:
    template <typename OnLine>
    void EndLine(OnLine& onLine) {
        if (m_line.find_first_not_of(" \t\v\f") != std::string::npos)
            onLine(std::string_view(m_line));
        m_line.clear();
    }

    std::string m_line;
    bool m_afterCr = false;
};

// The document's generic readers (see above and DocumentFormats.h). They
// read with the document's settings.genericAnswers.
int ReadAsciiFile(COrielDoc& document, platform::File& file, LoadTarget& target);
int ReadIntegerBinaryFile(COrielDoc& document, platform::File& file, LoadTarget& target);

// Puts both readers into their slots.
void RegisterGenericReaders(DocumentFormats& formats);

}  // namespace vocomet
