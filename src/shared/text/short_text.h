// A name or unit of the model, always ended by a NUL: up to 15 bytes kept in
// place, longer texts on the heap. Half the size of a std::string, as files
// hold millions of names.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace canxlate {

class ShortText {
public:
    ShortText() noexcept { setInPlace(0); }
    ShortText(std::string_view text) { assign(text); }  // NOLINT: a text is a name
    ShortText(const std::string& text) { assign(text); }
    ShortText(const char* text) { assign(text); }
    ShortText(const ShortText& other) { assign(other.view()); }
    ShortText(ShortText&& other) noexcept {
        std::memcpy(bytes_, other.bytes_, sizeof bytes_);
        other.setInPlace(0);
    }
    ShortText& operator=(const ShortText& other) {
        if (this != &other) *this = other.view();
        return *this;
    }
    ShortText& operator=(ShortText&& other) noexcept {
        if (this != &other) {
            release();
            std::memcpy(bytes_, other.bytes_, sizeof bytes_);
            other.setInPlace(0);
        }
        return *this;
    }
    ShortText& operator=(std::string_view text) {
        ShortText made(text);
        return *this = std::move(made);
    }
    ShortText& operator=(const std::string& text) { return *this = std::string_view(text); }
    ShortText& operator=(const char* text) { return *this = std::string_view(text); }
    ~ShortText() { release(); }

    const char* c_str() const noexcept { return onHeap() ? heapData() : bytes_; }
    const char* data() const noexcept { return c_str(); }
    size_t size() const noexcept {
        if (!onHeap()) return kInPlace - 1 - static_cast<size_t>(bytes_[kInPlace - 1]);
        uint32_t size;
        std::memcpy(&size, bytes_ + sizeof(char*), sizeof size);
        return size;
    }
    bool empty() const noexcept { return size() == 0; }
    std::string_view view() const noexcept { return {c_str(), size()}; }
    operator std::string_view() const noexcept { return view(); }  // NOLINT: read as text

    friend bool operator==(const ShortText& a, const ShortText& b) noexcept { return a.view() == b.view(); }
    friend bool operator==(const ShortText& a, std::string_view b) noexcept { return a.view() == b; }
    friend bool operator==(const ShortText& a, const std::string& b) noexcept { return a.view() == b; }
    friend bool operator==(const ShortText& a, const char* b) noexcept { return a.view() == b; }
    friend std::string operator+(std::string a, const ShortText& b) { return a.append(b.view()); }
    friend std::string operator+(const char* a, const ShortText& b) { return std::string(a).append(b.view()); }
    friend std::string operator+(const ShortText& a, std::string_view b) { return std::string(a.view()).append(b); }
    friend std::string operator+(const ShortText& a, const char* b) { return std::string(a.view()).append(b); }
    friend std::string operator+(const ShortText& a, const std::string& b) { return std::string(a.view()).append(b); }

private:
    static constexpr size_t kInPlace = 16;
    static constexpr char kOnHeap = -1;  // the last byte of a text on the heap

    // On the heap: the pointer, then the size, in the first bytes.
    bool onHeap() const noexcept { return bytes_[kInPlace - 1] == kOnHeap; }
    char* heapData() const noexcept {
        char* data;
        std::memcpy(&data, bytes_, sizeof data);
        return data;
    }
    // The last byte counts the room left, so that a text of 15 bytes ends
    // with it as its NUL.
    void setInPlace(size_t size) noexcept {
        bytes_[size] = '\0';
        bytes_[kInPlace - 1] = static_cast<char>(kInPlace - 1 - size);
    }
    void assign(std::string_view text) {
        if (text.size() < kInPlace) {
            std::memcpy(bytes_, text.data(), text.size());
            setInPlace(text.size());
            return;
        }
        char* data = new char[text.size() + 1];
        std::memcpy(data, text.data(), text.size());
        data[text.size()] = '\0';
        const auto size = static_cast<uint32_t>(text.size());
        std::memcpy(bytes_, &data, sizeof data);
        std::memcpy(bytes_ + sizeof data, &size, sizeof size);
        bytes_[kInPlace - 1] = kOnHeap;
    }
    void release() noexcept {
        if (onHeap()) delete[] heapData();
        setInPlace(0);
    }

    char bytes_[kInPlace];
};

}  // namespace canxlate
