#pragma once
// Min/max summaries of a recording's sample series, made while the samples
// pass by anyway (a load, a conversion, a copy) so that nobody has to read
// them again to draw them.
//
// A summary holds the smallest and largest value of every block of samples
// at three block sizes: fine blocks for windows of a few seconds, blocks for
// the usual views and coarse blocks for hours at a glance. Each level is
// exact (min of mins), so a drawing that combines whole blocks of any level
// with exact scans of what is left at a column's ends gives the pixels of a
// full scan. A block of NaNs only holds +inf / -inf and changes nothing when
// folded; a NaN never replaces an extreme, as in a full scan.
//
// A summary is immutable once built and may be shared between threads.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

namespace vocomet {

// One run of memory that the arrays of a summary build are carved from, so
// that a few dozen arrays of some hundred kilobytes share huge pages instead
// of each being first touched a small page at a time. It goes when the last
// array made from it does (each holds it through its allocator). Carving is
// lock-free; what it cannot give comes from the heap.
class SummaryArena {
public:
    // Room for bytes bytes; none when the memory cannot be had.
    explicit SummaryArena(std::size_t bytes) noexcept;
    ~SummaryArena();
    SummaryArena(const SummaryArena&) = delete;
    SummaryArena& operator=(const SummaryArena&) = delete;

    // bytes bytes at a 64-byte boundary, or null when they do not fit.
    void* Take(std::size_t bytes) noexcept;
    bool Holds(const void* p) const noexcept {
        const auto* b = static_cast<const std::byte*>(p);
        return m_base && b >= m_base && b < m_base + m_bytes;
    }

private:
    std::byte* m_base = nullptr;
    std::size_t m_bytes = 0;
    std::atomic<std::size_t> m_used{0};
};

// Allocates like std::allocator, from an arena when it is given one, and
// leaves values made without an initial value (resize) as they come: a
// summary's hundreds of megabytes are then first written, and touched, by
// the threads that fill them. A moved array keeps its arena; a copy is the
// heap's.
template <class T>
struct UninitialisedAllocator {
    using value_type = T;
    using propagate_on_container_move_assignment = std::true_type;
    using propagate_on_container_swap = std::true_type;
    using propagate_on_container_copy_assignment = std::false_type;
    using is_always_equal = std::false_type;

    UninitialisedAllocator() noexcept = default;
    explicit UninitialisedAllocator(std::shared_ptr<SummaryArena> from) noexcept : arena(std::move(from)) {}
    template <class U>
    UninitialisedAllocator(const UninitialisedAllocator<U>& other) noexcept : arena(other.arena) {}

    UninitialisedAllocator select_on_container_copy_construction() const noexcept { return {}; }

    T* allocate(std::size_t n) {
        if (arena && n <= SIZE_MAX / sizeof(T))
            if (void* p = arena->Take(n * sizeof(T)))
                return static_cast<T*>(p);
        return std::allocator<T>().allocate(n);
    }
    void deallocate(T* p, std::size_t n) noexcept {
        if (arena && arena->Holds(p))
            return;  // given back with the arena
        std::allocator<T>().deallocate(p, n);
    }
    template <class U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
    template <class U>
    bool operator==(const UninitialisedAllocator<U>& other) const noexcept {
        return arena == other.arena;
    }

    std::shared_ptr<SummaryArena> arena;
};

class SampleSummary {
public:
    static constexpr std::int64_t kFineBlock = 32;
    static constexpr std::int64_t kBlock = 128;
    static constexpr std::int64_t kCoarseBlock = 4096;
    static_assert(kBlock % kFineBlock == 0 && kCoarseBlock % kBlock == 0);

    using Values = std::vector<float, UninitialisedAllocator<float>>;
    struct Level {
        std::int64_t blockSize = 0;
        Values min;  // +inf for a block of NaNs only
        Values max;  // -inf for a block of NaNs only
    };

    SampleSummary();

    static SampleSummary FromSamples(std::span<const float> samples);
    // The summary of the pieces' samples one after another, the same as
    // one made in one pass: every piece but the last must hold whole coarse
    // blocks (throws std::invalid_argument otherwise; std::bad_alloc).
    // Its levels lie each in one run of memory, in huge pages where the
    // system has them, which a view reading them at scattered places
    // finds faster than many small pieces.
    static SampleSummary Join(std::span<const std::shared_ptr<const SampleSummary>> pieces);

    // Samples summarised.
    std::int64_t SampleCount() const { return m_count; }
    // Levels from the finest (0) to the coarsest (LevelCount() - 1).
    static constexpr int LevelCount() { return 3; }
    const Level& GetLevel(int level) const { return m_levels[static_cast<std::size_t>(level)]; }

private:
    friend class FrameSummaryBuilder;
    std::vector<Level> m_levels;
    std::int64_t m_count = 0;
};

// Builds the summaries of every column of interleaved float frames handed
// over in order (any number of frames per call), frame-major: each frame is
// read once for up to 16 adjacent columns, their lows and highs held in
// vector registers (a 16-channel frame is one cache line); wider frames take
// one such sweep per 16 columns.
class FrameSummaryBuilder {
public:
    explicit FrameSummaryBuilder(int channelsPerFrame);

    // Room for this many frames in all, so the levels do not grow by copying.
    void Reserve(std::int64_t frames);
    // frameCount frames of ChannelsPerFrame() floats each, the frames
    // stride floats apart (0: ChannelsPerFrame()), so that a builder can
    // take some adjacent columns of wider frames in place.
    void AddFrames(const float* frames, std::size_t frameCount, std::size_t stride = 0);
    // One summary per column; the builder is empty afterwards.
    std::vector<SampleSummary> Finish();

    // For frames handed over in pieces out of order, several threads at
    // once: StartPieces(frames) makes room for exactly that many frames
    // (throws std::bad_alloc), every AddPieceAt then folds a piece that
    // starts on a fine block (first a multiple of SampleSummary::kFineBlock)
    // and holds whole fine blocks unless it ends at the last frame; pieces
    // must not overlap, and may come from different threads at once. Once
    // every frame came, EndPieces lets Finish make the summaries, the same
    // as those of frames handed over in order. Pieces that start on a
    // coarse block (SampleSummary::kCoarseBlock) and hold whole ones, but
    // for the last, leave Finish next to nothing to do.
    void StartPieces(std::int64_t frames);
    void AddPieceAt(std::int64_t first, const float* frames, std::size_t frameCount, std::size_t stride = 0);
    void EndPieces();

    int ChannelsPerFrame() const { return static_cast<int>(m_n); }
    std::int64_t FrameCount() const { return m_count; }

private:
    void CloseFineBlock();

    std::size_t m_n;
    std::int64_t m_count = 0;
    std::vector<float> m_lo;                 // running fold of the open fine block, per column
    std::vector<float> m_hi;
    std::vector<SampleSummary::Values> m_fineMin;  // per column
    std::vector<SampleSummary::Values> m_fineMax;
    bool m_pieces = false;  // the fine blocks were sized and filled by pieces
    std::int64_t m_pieceFrames = 0;
    // The coarser levels, made by pieces of whole coarse blocks; a piece
    // that is not one leaves them to Finish.
    std::vector<SampleSummary::Values> m_midMin, m_midMax, m_coarseMin, m_coarseMax;
    // Set by any piece's thread; a builder is moved only while no piece is
    // on its way.
    struct Flag {
        std::atomic<bool> set{false};
        Flag() = default;
        Flag(Flag&& other) noexcept : set(other.set.load()) {}
        Flag& operator=(Flag&& other) noexcept {
            set = other.set.load();
            return *this;
        }
    } m_levelsMissing;
};

}  // namespace vocomet
