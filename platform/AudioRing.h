#pragma once
// A single-producer, single-consumer ring of samples between a feeding
// thread and the audio callback: neither side locks or allocates once it
// is made. The producer writes at the head, the consumer reads at the tail.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

template <typename T>
class AudioRing {
public:
    // Room for capacity values (at least 1).
    explicit AudioRing(std::size_t capacity) : m_data(std::max<std::size_t>(capacity, 1)) {}

    std::size_t Capacity() const { return m_data.size(); }
    // Values waiting to be read (consumer side; a lower bound for others).
    std::size_t Available() const {
        return static_cast<std::size_t>(m_head.load(std::memory_order_acquire) -
                                        m_tail.load(std::memory_order_relaxed));
    }
    // Room for writing (producer side; a lower bound for others).
    std::size_t Free() const {
        return m_data.size() - static_cast<std::size_t>(m_head.load(std::memory_order_relaxed) -
                                                         m_tail.load(std::memory_order_acquire));
    }

    // Producer: writes up to count values, returns how many.
    std::size_t Write(const T* values, std::size_t count) {
        const std::uint64_t head = m_head.load(std::memory_order_relaxed);
        const std::uint64_t tail = m_tail.load(std::memory_order_acquire);
        const std::size_t n = std::min(count, m_data.size() - static_cast<std::size_t>(head - tail));
        for (std::size_t i = 0; i < n; ++i)
            m_data[static_cast<std::size_t>((head + i) % m_data.size())] = values[i];
        m_head.store(head + n, std::memory_order_release);
        return n;
    }

    // Consumer: reads up to count values, returns how many.
    std::size_t Read(T* values, std::size_t count) {
        const std::uint64_t tail = m_tail.load(std::memory_order_relaxed);
        const std::uint64_t head = m_head.load(std::memory_order_acquire);
        const std::size_t n = std::min(count, static_cast<std::size_t>(head - tail));
        for (std::size_t i = 0; i < n; ++i)
            values[i] = m_data[static_cast<std::size_t>((tail + i) % m_data.size())];
        m_tail.store(tail + n, std::memory_order_release);
        return n;
    }

private:
    std::vector<T> m_data;
    std::atomic<std::uint64_t> m_head{0};  // values written so far
    std::atomic<std::uint64_t> m_tail{0};  // values read so far
};

}  // namespace platform
