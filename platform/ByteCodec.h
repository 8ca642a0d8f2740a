#pragma once
// Field codecs for byte layouts stored in files and device blocks. Every
// field is read and written at its offset in its own byte order; nothing is
// ever copied as a struct. The checked accessors of ByteView/ByteSpan throw
// std::out_of_range for a field that does not fit in the buffer.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace platform {

// --- raw codecs on pointers (caller guarantees the bytes exist) -----------
// Inline, so that the conversion loops of the readers, which call them for
// every sample, compile to plain loads the compiler can vectorise. A field
// in the host's own order is one unaligned load; the other order is
// assembled from its bytes (which compilers turn into a byte swap).

namespace detail {
inline constexpr bool kLittleEndianHost = std::endian::native == std::endian::little;
inline constexpr bool kBigEndianHost = std::endian::native == std::endian::big;

template <typename T>
inline T LoadHost(const std::uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <typename T>
inline void StoreHost(std::uint8_t* p, T v) {
    std::memcpy(p, &v, sizeof v);
}
}  // namespace detail

inline std::uint16_t GetU16LE(const std::uint8_t* p) {
    if constexpr (detail::kLittleEndianHost)
        return detail::LoadHost<std::uint16_t>(p);
    else
        return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint16_t GetU16BE(const std::uint8_t* p) {
    if constexpr (detail::kBigEndianHost)
        return detail::LoadHost<std::uint16_t>(p);
    else
        return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline std::uint32_t GetU32LE(const std::uint8_t* p) {
    if constexpr (detail::kLittleEndianHost)
        return detail::LoadHost<std::uint32_t>(p);
    else
        return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
               (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint32_t GetU32BE(const std::uint8_t* p) {
    if constexpr (detail::kBigEndianHost)
        return detail::LoadHost<std::uint32_t>(p);
    else
        return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
               (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}
inline std::uint64_t GetU64LE(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(GetU32LE(p)) | (static_cast<std::uint64_t>(GetU32LE(p + 4)) << 32);
}
inline std::uint64_t GetU64BE(const std::uint8_t* p) {
    return (static_cast<std::uint64_t>(GetU32BE(p)) << 32) | static_cast<std::uint64_t>(GetU32BE(p + 4));
}
inline std::int16_t GetI16LE(const std::uint8_t* p) { return static_cast<std::int16_t>(GetU16LE(p)); }
inline std::int16_t GetI16BE(const std::uint8_t* p) { return static_cast<std::int16_t>(GetU16BE(p)); }
inline std::int32_t GetI32LE(const std::uint8_t* p) { return static_cast<std::int32_t>(GetU32LE(p)); }
inline std::int32_t GetI32BE(const std::uint8_t* p) { return static_cast<std::int32_t>(GetU32BE(p)); }
inline float GetF32LE(const std::uint8_t* p) { return std::bit_cast<float>(GetU32LE(p)); }
inline float GetF32BE(const std::uint8_t* p) { return std::bit_cast<float>(GetU32BE(p)); }
inline double GetF64LE(const std::uint8_t* p) { return std::bit_cast<double>(GetU64LE(p)); }
inline double GetF64BE(const std::uint8_t* p) { return std::bit_cast<double>(GetU64BE(p)); }

inline void PutU16LE(std::uint8_t* p, std::uint16_t v) {
    if constexpr (detail::kLittleEndianHost) {
        detail::StoreHost(p, v);
    } else {
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
    }
}
inline void PutU16BE(std::uint8_t* p, std::uint16_t v) {
    if constexpr (detail::kBigEndianHost) {
        detail::StoreHost(p, v);
    } else {
        p[0] = static_cast<std::uint8_t>(v >> 8);
        p[1] = static_cast<std::uint8_t>(v);
    }
}
inline void PutU32LE(std::uint8_t* p, std::uint32_t v) {
    if constexpr (detail::kLittleEndianHost) {
        detail::StoreHost(p, v);
    } else {
        for (int i = 0; i < 4; ++i)
            p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}
inline void PutU32BE(std::uint8_t* p, std::uint32_t v) {
    if constexpr (detail::kBigEndianHost) {
        detail::StoreHost(p, v);
    } else {
        for (int i = 0; i < 4; ++i)
            p[i] = static_cast<std::uint8_t>(v >> (8 * (3 - i)));
    }
}
inline void PutU64LE(std::uint8_t* p, std::uint64_t v) {
    PutU32LE(p, static_cast<std::uint32_t>(v));
    PutU32LE(p + 4, static_cast<std::uint32_t>(v >> 32));
}
inline void PutU64BE(std::uint8_t* p, std::uint64_t v) {
    PutU32BE(p, static_cast<std::uint32_t>(v >> 32));
    PutU32BE(p + 4, static_cast<std::uint32_t>(v));
}
inline void PutI16LE(std::uint8_t* p, std::int16_t v) { PutU16LE(p, static_cast<std::uint16_t>(v)); }
inline void PutI16BE(std::uint8_t* p, std::int16_t v) { PutU16BE(p, static_cast<std::uint16_t>(v)); }
inline void PutI32LE(std::uint8_t* p, std::int32_t v) { PutU32LE(p, static_cast<std::uint32_t>(v)); }
inline void PutI32BE(std::uint8_t* p, std::int32_t v) { PutU32BE(p, static_cast<std::uint32_t>(v)); }
inline void PutF32LE(std::uint8_t* p, float v) { PutU32LE(p, std::bit_cast<std::uint32_t>(v)); }
inline void PutF32BE(std::uint8_t* p, float v) { PutU32BE(p, std::bit_cast<std::uint32_t>(v)); }
inline void PutF64LE(std::uint8_t* p, double v) { PutU64LE(p, std::bit_cast<std::uint64_t>(v)); }
inline void PutF64BE(std::uint8_t* p, double v) { PutU64BE(p, std::bit_cast<std::uint64_t>(v)); }

// 24-bit signed integers (device blocks, 24-bit PCM).
inline std::int32_t GetI24LE(const std::uint8_t* p) {
    const std::uint32_t u = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                            (static_cast<std::uint32_t>(p[2]) << 16);
    return static_cast<std::int32_t>(u << 8) >> 8;
}
inline std::int32_t GetI24BE(const std::uint8_t* p) {
    const std::uint32_t u = (static_cast<std::uint32_t>(p[0]) << 16) | (static_cast<std::uint32_t>(p[1]) << 8) |
                            static_cast<std::uint32_t>(p[2]);
    return static_cast<std::int32_t>(u << 8) >> 8;
}

// 80-bit IEEE extended (big-endian, as in AIFF sample-rate fields).
// Infinity and NaN decode to 0; values beyond the double range saturate.
double GetExtended80BE(const std::uint8_t* p);
void PutExtended80BE(std::uint8_t* p, double v);

// Fixed-size 8-bit text fields: the text ends at the first NUL or at the end
// of the field, whichever comes first. Put writes at most size - 1 bytes and
// fills the rest of the field with NULs, so the field always holds a NUL.
std::string GetText(const std::uint8_t* p, std::size_t fieldSize);
void PutText(std::uint8_t* p, std::size_t fieldSize, std::string_view text);

// --- checked accessors on a buffer ----------------------------------------
class ByteView {
public:
    ByteView(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    explicit ByteView(std::span<const std::uint8_t> s) : m_data(s.data()), m_size(s.size()) {}

    std::size_t size() const { return m_size; }
    const std::uint8_t* data() const { return m_data; }
    bool Has(std::size_t offset, std::size_t count) const { return offset <= m_size && count <= m_size - offset; }

    std::uint8_t U8(std::size_t off) const { return *At(off, 1); }
    std::int16_t I16LE(std::size_t off) const { return GetI16LE(At(off, 2)); }
    std::int16_t I16BE(std::size_t off) const { return GetI16BE(At(off, 2)); }
    std::uint16_t U16LE(std::size_t off) const { return GetU16LE(At(off, 2)); }
    std::uint16_t U16BE(std::size_t off) const { return GetU16BE(At(off, 2)); }
    std::int32_t I32LE(std::size_t off) const { return GetI32LE(At(off, 4)); }
    std::int32_t I32BE(std::size_t off) const { return GetI32BE(At(off, 4)); }
    std::uint32_t U32LE(std::size_t off) const { return GetU32LE(At(off, 4)); }
    std::uint32_t U32BE(std::size_t off) const { return GetU32BE(At(off, 4)); }
    float F32LE(std::size_t off) const { return GetF32LE(At(off, 4)); }
    float F32BE(std::size_t off) const { return GetF32BE(At(off, 4)); }
    double F64LE(std::size_t off) const { return GetF64LE(At(off, 8)); }
    double F64BE(std::size_t off) const { return GetF64BE(At(off, 8)); }
    double Extended80BE(std::size_t off) const { return GetExtended80BE(At(off, 10)); }
    std::string Text(std::size_t off, std::size_t fieldSize) const { return GetText(At(off, fieldSize), fieldSize); }

private:
    const std::uint8_t* At(std::size_t off, std::size_t count) const;
    const std::uint8_t* m_data;
    std::size_t m_size;
};

class ByteSpan {
public:
    ByteSpan(std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    explicit ByteSpan(std::span<std::uint8_t> s) : m_data(s.data()), m_size(s.size()) {}

    std::size_t size() const { return m_size; }
    std::uint8_t* data() const { return m_data; }
    ByteView View() const { return ByteView(m_data, m_size); }

    void U8(std::size_t off, std::uint8_t v) const { *At(off, 1) = v; }
    void I16LE(std::size_t off, std::int16_t v) const { PutI16LE(At(off, 2), v); }
    void I16BE(std::size_t off, std::int16_t v) const { PutI16BE(At(off, 2), v); }
    void U16LE(std::size_t off, std::uint16_t v) const { PutU16LE(At(off, 2), v); }
    void U16BE(std::size_t off, std::uint16_t v) const { PutU16BE(At(off, 2), v); }
    void I32LE(std::size_t off, std::int32_t v) const { PutI32LE(At(off, 4), v); }
    void I32BE(std::size_t off, std::int32_t v) const { PutI32BE(At(off, 4), v); }
    void U32LE(std::size_t off, std::uint32_t v) const { PutU32LE(At(off, 4), v); }
    void U32BE(std::size_t off, std::uint32_t v) const { PutU32BE(At(off, 4), v); }
    void F32LE(std::size_t off, float v) const { PutF32LE(At(off, 4), v); }
    void F32BE(std::size_t off, float v) const { PutF32BE(At(off, 4), v); }
    void F64LE(std::size_t off, double v) const { PutF64LE(At(off, 8), v); }
    void F64BE(std::size_t off, double v) const { PutF64BE(At(off, 8), v); }
    void Extended80BE(std::size_t off, double v) const { PutExtended80BE(At(off, 10), v); }
    void Text(std::size_t off, std::size_t fieldSize, std::string_view text) const { PutText(At(off, fieldSize), fieldSize, text); }

private:
    std::uint8_t* At(std::size_t off, std::size_t count) const;
    std::uint8_t* m_data;
    std::size_t m_size;
};

}  // namespace platform
