#include "output_buffer.h"

#include <cstring>

namespace canxlate::cli {

OutputBuffer::OutputBuffer(std::FILE* stream, std::size_t capacity)
    : stream_(stream), data_(capacity), capacity_(capacity) {}

OutputBuffer::~OutputBuffer() { flush(); }

void OutputBuffer::append(std::string_view text) {
    char* out = reserve(text.size());
    if (!text.empty()) std::memcpy(out, text.data(), text.size());
    used_ += text.size();
}

void OutputBuffer::makeRoom(std::size_t size) {
    writeBuffered();
    if (size > capacity_) {
        // A single piece larger than the buffer (a very long channel name).
        capacity_ = size;
        data_.resize(capacity_);
    }
}

void OutputBuffer::writeBuffered() {
    if (used_ > 0 && !failed_ && std::fwrite(data_.data(), 1, used_, stream_) != used_) failed_ = true;
    used_ = 0;
}

bool OutputBuffer::flush() {
    writeBuffered();
    if (!failed_ && std::fflush(stream_) != 0) failed_ = true;
    return !failed_;
}

}  // namespace canxlate::cli
