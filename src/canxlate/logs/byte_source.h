// Where a log reader's bytes come from: a file descriptor, a stdio stream or
// a buffer in memory. Readers pull large blocks, so the one virtual call per
// block costs nothing per frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace canxlate::logs {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to size bytes into buffer; 0 at the end of the input or after an
    // error (see error()).
    virtual std::size_t read(void* buffer, std::size_t size) = 0;
    // errno of a failed read, 0 if none.
    virtual int error() const { return 0; }
};

class FdSource final : public ByteSource {
public:
    explicit FdSource(int fd) : fd_(fd) {}  // does not take ownership
    std::size_t read(void* buffer, std::size_t size) override;
    int error() const override { return error_; }

private:
    int fd_;
    int error_ = 0;
};

class StdioSource final : public ByteSource {
public:
    explicit StdioSource(std::FILE* file) : file_(file) {}  // does not take ownership
    std::size_t read(void* buffer, std::size_t size) override;
    int error() const override { return error_; }

private:
    std::FILE* file_;
    int error_ = 0;
};

class MemorySource final : public ByteSource {
public:
    MemorySource(const void* data, std::size_t size) : at_(static_cast<const uint8_t*>(data)), left_(size) {}
    std::size_t read(void* buffer, std::size_t size) override;

private:
    const uint8_t* at_;
    std::size_t left_;
};

// Reads until size bytes or the end; returns how many arrived.
std::size_t readFully(ByteSource& source, void* buffer, std::size_t size);

// A source that serves some already-read bytes before the rest of another
// source: format detection looks at the start of a log without losing it.
class PrefixedSource final : public ByteSource {
public:
    PrefixedSource(const uint8_t* prefix, std::size_t size, ByteSource& rest)
        : prefix_(prefix), prefixLeft_(size), rest_(rest) {}
    std::size_t read(void* buffer, std::size_t size) override;
    int error() const override { return rest_.error(); }

private:
    const uint8_t* prefix_;
    std::size_t prefixLeft_;
    ByteSource& rest_;
};

}  // namespace canxlate::logs
