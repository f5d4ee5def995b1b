// Where a log writer's bytes go: a stdio stream or a growing buffer in
// memory. BLF writers come back to the file header at the end, which only a
// seekable stream or memory allows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace canxlate::logs {

class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool write(const void* data, std::size_t size) = 0;
    // Overwrites bytes written before; false when the sink cannot.
    virtual bool rewrite(uint64_t offset, const void* data, std::size_t size) = 0;
};

class StdioSink final : public ByteSink {
public:
    explicit StdioSink(std::FILE* file) : file_(file) {}  // does not take ownership
    bool write(const void* data, std::size_t size) override;
    bool rewrite(uint64_t offset, const void* data, std::size_t size) override;

private:
    std::FILE* file_;
};

class MemorySink final : public ByteSink {
public:
    bool write(const void* data, std::size_t size) override;
    bool rewrite(uint64_t offset, const void* data, std::size_t size) override;
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace canxlate::logs
