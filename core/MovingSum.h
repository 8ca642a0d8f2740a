#pragma once
// Sums of a window sliding over an array, one addition and one subtraction
// per step. The running sum is recomputed from scratch at regular intervals,
// so rounding cannot build up over a long channel: every sum stays equal to
// a direct sum within floating-point tolerance.

#include <algorithm>
#include <cstddef>

namespace vocomet {

// Calls emit(i, sum) for i = 0 .. n - width in order, sum being x[i] + ... +
// x[i + width - 1] in double. emit may overwrite x[i] (never a later value):
// the value leaving the window is taken before the call. Nothing is emitted
// when width is 0 or larger than n.
template <typename T, typename Emit>
void ForEachWindowSum(T* x, std::size_t n, std::size_t width, Emit emit) {
    if (width == 0 || width > n)
        return;
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
    for (std::size_t i = 0;; ++i) {
        const double leaving = static_cast<double>(x[i]);
        emit(i, sum);
        if (i + width >= n)
            break;
        if ((i + 1) % reanchor == 0)
            sum = direct(i + 1);
        else
            sum += static_cast<double>(x[i + width]) - leaving;
    }
}

}  // namespace vocomet
