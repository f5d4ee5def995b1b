#include "canxlate/logs/byte_sink.h"

#include <cstring>
#include <new>

namespace canxlate::logs {

bool StdioSink::write(const void* data, std::size_t size) { return std::fwrite(data, 1, size, file_) == size; }

bool StdioSink::rewrite(uint64_t offset, const void* data, std::size_t size) {
    const long end = std::ftell(file_);
    if (end < 0 || offset > static_cast<uint64_t>(end) || std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0)
        return false;
    const bool written = std::fwrite(data, 1, size, file_) == size;
    return std::fseek(file_, end, SEEK_SET) == 0 && written;
}

bool MemorySink::write(const void* data, std::size_t size) {
    try {
        const auto* bytes = static_cast<const uint8_t*>(data);
        bytes_.insert(bytes_.end(), bytes, bytes + size);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool MemorySink::rewrite(uint64_t offset, const void* data, std::size_t size) {
    if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
    std::memcpy(bytes_.data() + offset, data, size);
    return true;
}

}  // namespace canxlate::logs
