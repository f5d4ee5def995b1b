// A part of an object that most objects of its kind leave empty (comments,
// attributes, value texts), kept on the heap only once given: the object
// stays small, files hold millions of them. Copies copy the part.
#pragma once

#include <memory>

namespace canxlate::db {

template <typename Part>
class OutOfLine {
public:
    OutOfLine() = default;
    OutOfLine(const OutOfLine& other) : part_(copyOf(other)) {}
    OutOfLine(OutOfLine&&) noexcept = default;
    OutOfLine& operator=(const OutOfLine& other) {
        if (this != &other) part_ = copyOf(other);
        return *this;
    }
    OutOfLine& operator=(OutOfLine&&) noexcept = default;

    // The part, an empty one when none was given.
    const Part& operator*() const noexcept { return part_ ? *part_ : kNone; }
    const Part* operator->() const noexcept { return &**this; }
    // The part to change, made when there is none.
    Part& edit() {
        if (!part_) part_ = std::make_unique<Part>();
        return *part_;
    }

private:
    static std::unique_ptr<Part> copyOf(const OutOfLine& other) {
        return other.part_ ? std::make_unique<Part>(*other.part_) : nullptr;
    }
    // Made before main, so that reading it needs no test of whether it was.
    inline static const Part kNone{};

    std::unique_ptr<Part> part_;
};

}  // namespace canxlate::db
