#pragma once
// A growable list of records held by value, as a channel keeps its labels,
// measured points, cycles and calibration records. Every indexed access is
// checked: an index outside 0..size-1 throws std::out_of_range.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace vocomet {

template <typename T>
class RecordList {
public:
    int GetSize() const { return static_cast<int>(m_items.size()); }
    bool IsEmpty() const { return m_items.empty(); }

    // Appends a copy; returns its index.
    int Add(const T& item) {
        m_items.push_back(item);
        return GetSize() - 1;
    }

    const T& GetAt(int index) const { return m_items[Checked(index)]; }
    T& ElementAt(int index) { return m_items[Checked(index)]; }
    void SetAt(int index, const T& item) { m_items[Checked(index)] = item; }

    // Inserts before index; index may equal the size (appends).
    void InsertAt(int index, const T& item) {
        if (index < 0 || static_cast<std::size_t>(index) > m_items.size())
            Throw(index);
        m_items.insert(m_items.begin() + index, item);
    }
    void RemoveAt(int index) { m_items.erase(m_items.begin() + static_cast<std::ptrdiff_t>(Checked(index))); }
    void RemoveAll() { m_items.clear(); }

    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }
    auto begin() { return m_items.begin(); }
    auto end() { return m_items.end(); }

    bool operator==(const RecordList&) const = default;

private:
    std::size_t Checked(int index) const {
        if (index < 0 || static_cast<std::size_t>(index) >= m_items.size())
            Throw(index);
        return static_cast<std::size_t>(index);
    }
    [[noreturn]] void Throw(int index) const {
        throw std::out_of_range("record index " + std::to_string(index) + " outside 0.." +
                                std::to_string(static_cast<long long>(m_items.size()) - 1));
    }

    std::vector<T> m_items;
};

}  // namespace vocomet
