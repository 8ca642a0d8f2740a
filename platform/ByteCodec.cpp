#include "platform/ByteCodec.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace platform {

// 80-bit extended: sign bit and 15-bit exponent (bias 16383), then a 64-bit
// mantissa with an explicit integer bit.
double GetExtended80BE(const std::uint8_t* p) {
    const bool negative = (p[0] & 0x80) != 0;
    const int exponent = ((p[0] & 0x7F) << 8) | p[1];
    const std::uint64_t mantissa = GetU64BE(p + 2);
    if (exponent == 0x7FFF)
        return 0.0;  // infinity or NaN: no meaningful value
    if (mantissa == 0)
        return negative ? -0.0 : 0.0;
    double value = std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
    if (std::isinf(value))
        value = std::numeric_limits<double>::max();
    return negative ? -value : value;
}

void PutExtended80BE(std::uint8_t* p, double v) {
    std::memset(p, 0, 10);
    if (v == 0.0 || !std::isfinite(v)) {
        if (std::signbit(v) && v == 0.0)
            p[0] = 0x80;
        return;
    }
    const bool negative = v < 0;
    if (negative)
        v = -v;
    int exp2 = 0;
    double frac = std::frexp(v, &exp2);  // v = frac * 2^exp2, frac in [0.5, 1)
    // Mantissa with the integer bit at bit 63: frac * 2^64.
    std::uint64_t mantissa = static_cast<std::uint64_t>(std::ldexp(frac, 64));
    int exponent = exp2 - 1 + 16383;
    p[0] = static_cast<std::uint8_t>(((exponent >> 8) & 0x7F) | (negative ? 0x80 : 0));
    p[1] = static_cast<std::uint8_t>(exponent & 0xFF);
    PutU64BE(p + 2, mantissa);
}

std::string GetText(const std::uint8_t* p, std::size_t fieldSize) {
    std::size_t n = 0;
    while (n < fieldSize && p[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

void PutText(std::uint8_t* p, std::size_t fieldSize, std::string_view text) {
    if (fieldSize == 0)
        return;
    std::size_t n = text.size() < fieldSize - 1 ? text.size() : fieldSize - 1;
    std::memcpy(p, text.data(), n);
    std::memset(p + n, 0, fieldSize - n);
}

const std::uint8_t* ByteView::At(std::size_t off, std::size_t count) const {
    if (!Has(off, count))
        throw std::out_of_range("field at " + std::to_string(off) + " (" + std::to_string(count) +
                                " bytes) outside a buffer of " + std::to_string(m_size));
    return m_data + off;
}

std::uint8_t* ByteSpan::At(std::size_t off, std::size_t count) const {
    if (!(off <= m_size && count <= m_size - off))
        throw std::out_of_range("field at " + std::to_string(off) + " (" + std::to_string(count) +
                                " bytes) outside a buffer of " + std::to_string(m_size));
    return m_data + off;
}

}  // namespace platform
