#include "platform/SampleBlock.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <system_error>
#include <thread>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/mman.h>
#include <unistd.h>
#define VOCOMET_MAPPED_BLOCKS 1
#if defined(__linux__) && !defined(MADV_POPULATE_WRITE)
#define MADV_POPULATE_WRITE 23  // Linux 5.14; older kernels refuse it
#endif
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

void PopulateBlocks(const std::vector<BlockBytes>& blocks) noexcept {
#if defined(VOCOMET_MAPPED_BLOCKS) && defined(MADV_POPULATE_WRITE)
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pageSize <= 0)
        return;
    const auto page = static_cast<std::uintptr_t>(pageSize);
    // The units, whole pages each (a block's ends rounded out to pages: the
    // call leaves contents alone, so a neighbour's page shared at an end
    // comes to no harm).
    struct Unit {
        std::uintptr_t from, to;
    };
    std::vector<Unit> units;
    try {
        for (const BlockBytes& b : blocks) {
            const auto first = reinterpret_cast<std::uintptr_t>(b.begin);
            if (!b.begin || b.bytes == 0 || b.bytes > UINTPTR_MAX - page || first > UINTPTR_MAX - page - b.bytes)
                continue;
            const std::uintptr_t from = first / page * page;
            const std::uintptr_t to = (first + b.bytes + page - 1) / page * page;
            for (std::uintptr_t u = from; u < to; u += std::min<std::uintptr_t>(to - u, kLargeBlockBytes))
                units.push_back({u, std::min<std::uintptr_t>(to, u + kLargeBlockBytes)});
        }
    } catch (const std::bad_alloc&) {
        return;
    }
    if (units.empty())
        return;
    // Each thread takes a run of units in a row: neighbouring units of one
    // block are one call.
    auto populate = [&units](std::size_t lo, std::size_t hi) {
        for (std::size_t i = lo; i < hi;) {
            std::size_t j = i + 1;
            while (j < hi && units[j].from == units[j - 1].to)
                ++j;
            if (::madvise(reinterpret_cast<void*>(units[i].from), units[j - 1].to - units[i].from,
                          MADV_POPULATE_WRITE) != 0)
                return;  // not here, or no memory: the fill will fault the pages in
            i = j;
        }
    };
    const std::size_t cores = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 8);
    // A thread costs more to start than a few pages take to touch: one per
    // whole unit's worth of pages at most.
    std::uintptr_t total = 0;
    for (const Unit& u : units)
        total += u.to - u.from;
    const std::size_t threads =
        std::min({cores, units.size(), std::max<std::size_t>(1, static_cast<std::size_t>(total / kLargeBlockBytes))});
    std::vector<std::thread> workers;
    try {
        workers.reserve(threads);
        for (std::size_t t = 1; t < threads; ++t) {
            const std::size_t lo = units.size() * t / threads;
            const std::size_t hi = units.size() * (t + 1) / threads;
            workers.emplace_back(populate, lo, hi);
        }
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    // This thread takes the first run; a run whose thread could not be
    // started is left to the fill.
    populate(0, units.size() / threads);
    for (std::thread& w : workers)
        w.join();
#else
    (void)blocks;
#endif
}

}  // namespace platform
