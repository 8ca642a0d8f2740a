#include "platform/SampleBlock.h"

#include <cstdint>
#include <cstdlib>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/mman.h>
#define VOCOMET_MAPPED_BLOCKS 1
#endif

namespace platform {

namespace {

#ifdef VOCOMET_MAPPED_BLOCKS
// The length a large block's mapping has: its bytes, rounded up to whole
// 2 MB units (0 when that does not fit a size_t).
std::size_t MappedLength(std::size_t bytes) {
    const std::size_t unit = kLargeBlockBytes;
    if (bytes > SIZE_MAX - (unit - 1))
        return 0;
    return (bytes + unit - 1) / unit * unit;
}
#endif

}  // namespace

void* AllocateZeroedBlock(std::size_t bytes) noexcept {
#ifdef VOCOMET_MAPPED_BLOCKS
    if (bytes >= kLargeBlockBytes) {
        const std::size_t length = MappedLength(bytes);
        if (length == 0 || length > SIZE_MAX - kLargeBlockBytes)
            return nullptr;
        // One unit more than needed, then the ends are given back so that
        // the block starts on a 2 MB boundary: only whole aligned 2 MB
        // ranges can be huge pages. Fresh anonymous pages read as zero.
        const std::size_t mapped = length + kLargeBlockBytes;
        void* p = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            return nullptr;
        const auto base = reinterpret_cast<std::uintptr_t>(p);
        const std::uintptr_t aligned = (base + kLargeBlockBytes - 1) / kLargeBlockBytes * kLargeBlockBytes;
        const std::size_t head = aligned - base;
        const std::size_t tail = mapped - head - length;
        if (head > 0)
            ::munmap(p, head);
        if (tail > 0)
            ::munmap(reinterpret_cast<void*>(aligned + length), tail);
        void* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
        // Only advice: without huge pages the block is still a block.
        ::madvise(block, length, MADV_HUGEPAGE);
#endif
        return block;
    }
#endif
    return std::calloc(bytes, 1);
}

void FreeZeroedBlock(void* block, std::size_t bytes) noexcept {
    if (!block)
        return;
#ifdef VOCOMET_MAPPED_BLOCKS
    if (bytes >= kLargeBlockBytes) {
        ::munmap(block, MappedLength(bytes));
        return;
    }
#endif
    std::free(block);
}

void AdviseHugePages(void* begin, std::size_t bytes) noexcept {
#if defined(VOCOMET_MAPPED_BLOCKS) && defined(MADV_HUGEPAGE)
    const auto first = reinterpret_cast<std::uintptr_t>(begin);
    if (bytes < kLargeBlockBytes || first > UINTPTR_MAX - bytes)
        return;
    const std::uintptr_t from = (first + kLargeBlockBytes - 1) / kLargeBlockBytes * kLargeBlockBytes;
    const std::uintptr_t to = (first + bytes) / kLargeBlockBytes * kLargeBlockBytes;
    if (from < to)
        ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
    (void)begin;
    (void)bytes;
#endif
}

}  // namespace platform
