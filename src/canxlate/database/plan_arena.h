// Memory for the decoding plans of a database.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace canxlate::db {

// Where the plans of a database's messages lie: blocks of many plans each,
// so that a plan costs no allocation of its own (a file may hold a million
// messages), and a plan never moves once placed.
class PlanArena {
public:
    PlanArena() = default;
    // A copy holds no plans: its database builds its own.
    PlanArena(const PlanArena&) noexcept {}
    PlanArena& operator=(const PlanArena& other) noexcept {
        if (this != &other) clear();
        return *this;
    }
    PlanArena(PlanArena&&) noexcept = default;
    PlanArena& operator=(PlanArena&&) noexcept = default;

    // Room for words 8-byte words, zeroed.
    uint64_t* allocate(size_t words) {
        if (words > free_) {
            const size_t size = words > kBlockWords ? words : kBlockWords;
            blocks_.push_back(std::make_unique<uint64_t[]>(size));
            next_ = blocks_.back().get();
            free_ = size;
        }
        uint64_t* placed = next_;
        next_ += words;
        free_ -= words;
        return placed;
    }
    void clear() noexcept {
        blocks_.clear();
        next_ = nullptr;
        free_ = 0;
    }

private:
    static constexpr size_t kBlockWords = size_t{1} << 16;  // 512 KiB

    std::vector<std::unique_ptr<uint64_t[]>> blocks_;
    uint64_t* next_ = nullptr;
    size_t free_ = 0;
};

}  // namespace canxlate::db
