#pragma once
// Sums of a window sliding over an array, one addition and one subtraction
// per step. The running sum is recomputed from scratch at regular intervals,
// so rounding cannot build up over a long channel: every sum stays equal to
// a direct sum within floating-point tolerance.

#include <algorithm>
#include <cstddef>
#include <type_traits>

namespace vocomet {

// Calls emit(i, sum) for i = 0 .. n - width in order, sum being x[i] + ... +
// x[i + width - 1] in double. emit may overwrite x[i] (never a later value):
// the value leaving the window is taken before the call. Nothing is emitted
// when width is 0 or larger than n. An emit that returns bool stops the walk
// by returning false; the function then returns false (else true).
template <typename T, typename Emit>
bool ForEachWindowSum(T* x, std::size_t n, std::size_t width, Emit emit) {
    if (width == 0 || width > n)
        return true;
    // Recomputing costs width additions: doing it every max(4096, width)
    // steps adds at most one addition per step.
    const std::size_t reanchor = std::max<std::size_t>(4096, width);
    auto direct = [&](std::size_t from) {
        double s = 0.0;
        for (std::size_t j = from; j < from + width; ++j)
            s += static_cast<double>(x[j]);
        return s;
    };
    double sum = direct(0);
    // Counted down rather than found by a division per step.
    std::size_t untilReanchor = reanchor;
    for (std::size_t i = 0;; ++i) {
        const double leaving = static_cast<double>(x[i]);
        if constexpr (std::is_same_v<decltype(emit(i, sum)), bool>) {
            if (!emit(i, sum))
                return false;
        } else {
            emit(i, sum);
        }
        if (i + width >= n)
            break;
        if (--untilReanchor == 0) {
            sum = direct(i + 1);
            untilReanchor = reanchor;
        } else
            sum += static_cast<double>(x[i + width]) - leaving;
    }
    return true;
}

}  // namespace vocomet
