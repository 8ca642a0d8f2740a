#pragma once
// An owned, zero-filled block of samples: how every channel holds its
// samples, intensity, velocity, acceleration and cycle data. A block may be
// null (no samples). Blocks move; copying is explicit (Clone).
//
// Blocks of kLargeBlockBytes and more (a channel of a long recording) get
// their own zero-filled mapping from the system, aligned to 2 MB and marked
// for huge pages where the system has them: filling hundreds of megabytes
// then costs one fault per 2 MB instead of one per 4 KB page, and nobody
// zeroes the memory twice. Smaller blocks come from the heap.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace platform {

// Blocks of at least this many bytes are mapped on their own, starting on a
// multiple of it (where the system maps memory; elsewhere they come from
// the heap like the rest).
inline constexpr std::size_t kLargeBlockBytes = std::size_t{2} << 20;

// Zero-filled memory for a block of bytes (> 0) bytes, or null; given back
// with the same byte count.
void* AllocateZeroedBlock(std::size_t bytes) noexcept;
void FreeZeroedBlock(void* block, std::size_t bytes) noexcept;
// Asks the kernel to back the whole 2 MB units inside bytes bytes at begin
// with huge pages when they are first touched (memory allocated elsewhere,
// not touched yet): one fault then clears 2 MB. Only advice.
void AdviseHugePages(void* begin, std::size_t bytes) noexcept;

// A run of bytes some block holds.
struct BlockBytes {
    void* begin = nullptr;
    std::size_t bytes = 0;
};
// Makes every page of the blocks present before they are filled, the
// blocks' 2 MB units shared out among the cores. Clearing fresh memory is
// most of what a load into memory costs, and the kernel does it in
// whichever thread first touches a page: a loop filling the blocks in frame
// order would have it done one page at a time. Contents stay as they are.
// Only a speed-up: where the system cannot, nothing is done.
void PopulateBlocks(const std::vector<BlockBytes>& blocks) noexcept;

template <typename T>
class SampleBlock {
public:
    SampleBlock() = default;
    ~SampleBlock() { Free(); }

    SampleBlock(SampleBlock&& other) noexcept
        : m_data(std::exchange(other.m_data, nullptr)), m_count(std::exchange(other.m_count, 0)) {}
    SampleBlock& operator=(SampleBlock&& other) noexcept {
        if (this != &other) {
            Free();
            m_data = std::exchange(other.m_data, nullptr);
            m_count = std::exchange(other.m_count, 0);
        }
        return *this;
    }
    SampleBlock(const SampleBlock&) = delete;
    SampleBlock& operator=(const SampleBlock&) = delete;

    // A zero-filled block of count samples; a null block when count is 0 or
    // the memory cannot be had.
    static SampleBlock TryAllocate(std::size_t count) noexcept {
        SampleBlock b;
        if (count == 0 || count > SIZE_MAX / sizeof(T))
            return b;
        void* p = AllocateZeroedBlock(count * sizeof(T));
        if (!p)
            return b;
        b.m_data = static_cast<T*>(p);
        b.m_count = count;
        return b;
    }
    // As TryAllocate, but throws std::bad_alloc when memory cannot be had.
    static SampleBlock Allocate(std::size_t count) {
        SampleBlock b = TryAllocate(count);
        if (count != 0 && b.IsNull())
            throw std::bad_alloc();
        return b;
    }

    // A copy of the block (null for a null block). Throws std::bad_alloc.
    SampleBlock Clone() const {
        SampleBlock b = Allocate(m_count);
        if (m_count)
            std::memcpy(b.m_data, m_data, m_count * sizeof(T));
        return b;
    }

    void Free() noexcept {
        FreeZeroedBlock(m_data, m_count * sizeof(T));
        m_data = nullptr;
        m_count = 0;
    }

    bool IsNull() const { return m_data == nullptr; }
    explicit operator bool() const { return m_data != nullptr; }
    T* data() { return m_data; }
    const T* data() const { return m_data; }
    std::size_t size() const { return m_count; }
    std::size_t SizeBytes() const { return m_count * sizeof(T); }
    T* begin() { return m_data; }
    T* end() { return m_data + m_count; }
    const T* begin() const { return m_data; }
    const T* end() const { return m_data + m_count; }
    T& operator[](std::size_t i) { return m_data[i]; }
    const T& operator[](std::size_t i) const { return m_data[i]; }

private:
    T* m_data = nullptr;
    std::size_t m_count = 0;
};

using FloatBlock = SampleBlock<float>;
using Int16Block = SampleBlock<std::int16_t>;

}  // namespace platform
