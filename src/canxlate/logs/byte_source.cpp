#include "canxlate/logs/byte_source.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#  include <io.h>
#else
#  include <unistd.h>
#endif

namespace canxlate::logs {

std::size_t FdSource::read(void* buffer, std::size_t size) {
    if (error_ != 0) return 0;
    for (;;) {
#ifdef _WIN32
        const int got = ::_read(fd_, buffer, static_cast<unsigned>(size > (1u << 30) ? (1u << 30) : size));
#else
        const ssize_t got = ::read(fd_, buffer, size);
#endif
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno != EINTR) {
            error_ = errno;
            return 0;
        }
    }
}

std::size_t StdioSource::read(void* buffer, std::size_t size) {
    const std::size_t got = std::fread(buffer, 1, size, file_);
    if (got == 0 && std::ferror(file_) != 0) error_ = errno != 0 ? errno : EIO;
    return got;
}

std::size_t MemorySource::read(void* buffer, std::size_t size) {
    const std::size_t count = size < left_ ? size : left_;
    if (count > 0) std::memcpy(buffer, at_, count);
    at_ += count;
    left_ -= count;
    return count;
}

std::size_t PrefixedSource::read(void* buffer, std::size_t size) {
    if (prefixLeft_ == 0) return rest_.read(buffer, size);
    const std::size_t count = size < prefixLeft_ ? size : prefixLeft_;
    std::memcpy(buffer, prefix_, count);
    prefix_ += count;
    prefixLeft_ -= count;
    return count;
}

std::size_t readFully(ByteSource& source, void* buffer, std::size_t size) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const std::size_t got = source.read(bytes + done, size - done);
        if (got == 0) break;
        done += got;
    }
    return done;
}

}  // namespace canxlate::logs
