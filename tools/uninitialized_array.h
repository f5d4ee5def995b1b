// An array whose elements are not cleared when it is made: large buffers
// that are always written before they are read cost no time up front, and
// the pages of the part never used are never touched.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <utility>

namespace canxlate::cli {

template <typename T>
class UninitializedArray {
public:
    UninitializedArray() = default;
    explicit UninitializedArray(std::size_t size) : elements_(std::make_unique_for_overwrite<T[]>(size)), size_(size) {}

    T* data() { return elements_.get(); }
    const T* data() const { return elements_.get(); }
    std::size_t size() const { return size_; }
    T& operator[](std::size_t i) { return elements_[i]; }
    const T& operator[](std::size_t i) const { return elements_[i]; }

    // At least size elements, the first kept ones as they were.
    void grow(std::size_t size, std::size_t kept) {
        if (size <= size_) return;
        UninitializedArray more(size);
        std::copy(data(), data() + std::min(kept, size_), more.data());
        swap(more);
    }
    void swap(UninitializedArray& other) noexcept {
        elements_.swap(other.elements_);
        std::swap(size_, other.size_);
    }

private:
    std::unique_ptr<T[]> elements_;
    std::size_t size_ = 0;
};

}  // namespace canxlate::cli
