#include "platform/SampleBuffers.h"

#include <cstring>
#include <utility>

#include "platform/ByteCodec.h"
#include "platform/File.h"

namespace platform {

namespace {
template <typename T>
void CopySamples(const SampleBlock<T>& source, SampleBlock<T>& destination, int count,
                 int start) {
    if (source.IsNull() || destination.IsNull() || count <= 0 || start < 0)
        return;
    const auto n = static_cast<std::size_t>(count);
    const auto s = static_cast<std::size_t>(start);
    if (s > source.size() || n > source.size() - s || n > destination.size())
        return;
    std::memmove(destination.data(), source.data() + s, n * sizeof(T));
}
}  // namespace

void CopySamples16(const Int16Block& source, Int16Block& destination, int count, int start) {
    CopySamples(source, destination, count, start);
}

void CopySamples32(const FloatBlock& source, FloatBlock& destination, int count, int start) {
    CopySamples(source, destination, count, start);
}

FloatBlock InsertSamples32(FloatBlock& destination, const FloatBlock& inserted,
                                     int destinationCount, int insertedCount, int position) {
    if (inserted.IsNull() || insertedCount <= 0 || static_cast<std::size_t>(insertedCount) > inserted.size())
        throw UserException();
    const auto ni = static_cast<std::size_t>(insertedCount);
    if (destination.IsNull()) {
        FloatBlock result = FloatBlock::TryAllocate(ni);
        if (result.IsNull())
            throw UserException();
        std::memcpy(result.data(), inserted.data(), ni * sizeof(float));
        return result;
    }
    if (destinationCount < 0 || static_cast<std::size_t>(destinationCount) > destination.size() || position < 0 ||
        position > destinationCount)
        throw UserException();
    const auto nd = static_cast<std::size_t>(destinationCount);
    const auto pos = static_cast<std::size_t>(position);
    // The new block is filled directly from both sources, so no scratch copy
    // is needed and the destination stays valid until the result exists.
    FloatBlock result = FloatBlock::TryAllocate(nd + ni);
    if (result.IsNull())
        throw UserException();
    float* out = result.data();
    std::memcpy(out, destination.data(), pos * sizeof(float));
    std::memcpy(out + pos, inserted.data(), ni * sizeof(float));
    std::memcpy(out + pos + ni, destination.data() + pos, (nd - pos) * sizeof(float));
    destination.Free();
    return result;
}

std::int16_t SwapInt16(std::int16_t value) {
    auto u = static_cast<std::uint16_t>(value);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>((u >> 8) | (u << 8)));
}

std::int32_t SwapInt32(std::int32_t value) {
    auto u = static_cast<std::uint32_t>(value);
    u = ((u & 0x000000FFu) << 24) | ((u & 0x0000FF00u) << 8) | ((u & 0x00FF0000u) >> 8) | ((u & 0xFF000000u) >> 24);
    return static_cast<std::int32_t>(u);
}

void ReverseBytes(const void* source, void* destination, std::size_t n) {
    const auto* s = static_cast<const std::uint8_t*>(source);
    auto* d = static_cast<std::uint8_t*>(destination);
    if (s == d) {
        for (std::size_t i = 0; i < n / 2; ++i)
            std::swap(d[i], d[n - 1 - i]);
        return;
    }
    for (std::size_t i = 0; i < n; ++i)
        d[i] = s[n - 1 - i];
}

double SwapDouble(const std::uint8_t* bigEndianBytes) { return GetF64BE(bigEndianBytes); }

}  // namespace platform
