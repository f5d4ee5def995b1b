// A text that is almost always short (a signal's unit: "km/h", "%", "rpm"),
// ended by a NUL, in one 8-byte word: up to 6 bytes kept in place, longer
// texts on the heap. Files hold millions of signals, most of them with a unit
// of a few letters or none.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace canxlate {

class TinyText {
public:
    TinyText() noexcept = default;
    TinyText(std::string_view text) { assign(text); }  // NOLINT: a text is a unit
    TinyText(const TinyText& other) { assign(other.view()); }
    TinyText(TinyText&& other) noexcept : word_(other.word_) { other.word_ = kEmpty; }
    TinyText& operator=(const TinyText& other) {
        if (this != &other) *this = other.view();
        return *this;
    }
    TinyText& operator=(TinyText&& other) noexcept {
        if (this != &other) {
            release();
            word_ = other.word_;
            other.word_ = kEmpty;
        }
        return *this;
    }
    TinyText& operator=(std::string_view text) {
        TinyText made(text);
        return *this = std::move(made);
    }
    TinyText& operator=(const std::string& text) { return *this = std::string_view(text); }
    TinyText& operator=(const char* text) { return *this = std::string_view(text); }
    ~TinyText() { release(); }

    const char* c_str() const noexcept {
        return inPlace() ? reinterpret_cast<const char*>(&word_) + 1 : reinterpret_cast<const char*>(heap() + 1);
    }
    size_t size() const noexcept { return inPlace() ? (word_ & 0xFF) >> 1 : *heap(); }
    bool empty() const noexcept { return size() == 0; }
    std::string_view view() const noexcept { return {c_str(), size()}; }
    operator std::string_view() const noexcept { return view(); }  // NOLINT: read as text

    friend bool operator==(const TinyText& a, std::string_view b) noexcept { return a.view() == b; }

private:
    // In place, the low byte is the size shifted left with the low bit set,
    // and the text follows it; on the heap, the word is the address of a
    // block (its low bit clear) holding the size, then the text.
    static_assert(std::endian::native == std::endian::little);
    static constexpr size_t kInPlace = sizeof(uint64_t) - 2;
    static constexpr uint64_t kEmpty = 1;

    bool inPlace() const noexcept { return (word_ & 1) != 0; }
    const uint32_t* heap() const noexcept { return reinterpret_cast<const uint32_t*>(static_cast<uintptr_t>(word_)); }

    void assign(std::string_view text) {
        if (text.size() <= kInPlace) {
            word_ = uint64_t{text.size()} << 1 | 1;
            std::memcpy(reinterpret_cast<char*>(&word_) + 1, text.data(), text.size());
            return;
        }
        // Words of 4 bytes: the block's address is even.
        auto* block = new uint32_t[1 + (text.size() + sizeof(uint32_t)) / sizeof(uint32_t)];
        block[0] = static_cast<uint32_t>(text.size());
        char* chars = reinterpret_cast<char*>(block + 1);
        std::memcpy(chars, text.data(), text.size());
        chars[text.size()] = '\0';
        word_ = reinterpret_cast<uintptr_t>(block);
    }
    void release() noexcept {
        if (!inPlace()) delete[] heap();
        word_ = kEmpty;
    }

    uint64_t word_ = kEmpty;
};

}  // namespace canxlate
