#include "platform/ByteCodec.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace platform {

std::uint16_t GetU16LE(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint16_t GetU16BE(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }
std::uint32_t GetU32LE(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint32_t GetU32BE(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}
std::uint64_t GetU64LE(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(GetU32LE(p)) | (static_cast<std::uint64_t>(GetU32LE(p + 4)) << 32);
}
std::uint64_t GetU64BE(const std::uint8_t* p) {
    return (static_cast<std::uint64_t>(GetU32BE(p)) << 32) | static_cast<std::uint64_t>(GetU32BE(p + 4));
}
float GetF32LE(const std::uint8_t* p) { return std::bit_cast<float>(GetU32LE(p)); }
float GetF32BE(const std::uint8_t* p) { return std::bit_cast<float>(GetU32BE(p)); }
double GetF64LE(const std::uint8_t* p) { return std::bit_cast<double>(GetU64LE(p)); }
double GetF64BE(const std::uint8_t* p) { return std::bit_cast<double>(GetU64BE(p)); }

void PutU16LE(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void PutU16BE(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}
void PutU32LE(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void PutU32BE(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * (3 - i)));
}
void PutU64LE(std::uint8_t* p, std::uint64_t v) {
    PutU32LE(p, static_cast<std::uint32_t>(v));
    PutU32LE(p + 4, static_cast<std::uint32_t>(v >> 32));
}
void PutU64BE(std::uint8_t* p, std::uint64_t v) {
    PutU32BE(p, static_cast<std::uint32_t>(v >> 32));
    PutU32BE(p + 4, static_cast<std::uint32_t>(v));
}
void PutF32LE(std::uint8_t* p, float v) { PutU32LE(p, std::bit_cast<std::uint32_t>(v)); }
void PutF32BE(std::uint8_t* p, float v) { PutU32BE(p, std::bit_cast<std::uint32_t>(v)); }
void PutF64LE(std::uint8_t* p, double v) { PutU64LE(p, std::bit_cast<std::uint64_t>(v)); }
void PutF64BE(std::uint8_t* p, double v) { PutU64BE(p, std::bit_cast<std::uint64_t>(v)); }

std::int32_t GetI24LE(const std::uint8_t* p) {
    std::uint32_t u = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                      (static_cast<std::uint32_t>(p[2]) << 16);
    return static_cast<std::int32_t>(u << 8) >> 8;
}
std::int32_t GetI24BE(const std::uint8_t* p) {
    std::uint32_t u = (static_cast<std::uint32_t>(p[0]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) |
                      static_cast<std::uint32_t>(p[2]);
    return static_cast<std::int32_t>(u << 8) >> 8;
}

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
