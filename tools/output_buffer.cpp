#include "output_buffer.h"

#include <algorithm>
#include <cstring>

namespace canxlate::cli {

OutputBuffer::OutputBuffer(std::FILE* stream, std::size_t capacity, bool background)
    : stream_(stream), data_(capacity), capacity_(capacity) {
    if (background) writer_ = std::thread([this] { writeInBackground(); });
}

OutputBuffer::~OutputBuffer() {
    flush();
    if (!writer_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    writer_.join();
}

void OutputBuffer::append(std::string_view text) {
    char* out = reserve(text.size());
    if (!text.empty()) std::memcpy(out, text.data(), text.size());
    used_ += text.size();
}

void OutputBuffer::write(std::string_view text) {
    if (stream_ == nullptr || text.size() < capacity_ / 4) return append(text);
    writeBuffered();
    if (writer_.joinable()) waitForWriter();
    if (!failed_ && std::fwrite(text.data(), 1, text.size(), stream_) != text.size()) failed_ = true;
}

void OutputBuffer::makeRoom(std::size_t size) {
    if (stream_ == nullptr) {
        capacity_ = std::max(2 * capacity_, used_ + size);
        data_.grow(capacity_, used_);
        return;
    }
    writeBuffered();
    if (size > capacity_) {
        // A single piece larger than the buffer (a very long channel name).
        capacity_ = size;
        data_.grow(capacity_, 0);
    }
}

void OutputBuffer::writeBuffered() {
    if (!writer_.joinable()) {
        if (used_ > 0 && !failed_ && std::fwrite(data_.data(), 1, used_, stream_) != used_) failed_ = true;
        used_ = 0;
        return;
    }
    waitForWriter();
    if (used_ > 0 && !failed_) {
        {
            std::lock_guard lock(mutex_);
            writing_.swap(data_);
            writingSize_ = used_;
        }
        changed_.notify_all();
        data_.grow(capacity_, 0);
    }
    used_ = 0;
}

void OutputBuffer::waitForWriter() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return writingSize_ == 0; });
    failed_ = failed_ || writeFailed_;
}

void OutputBuffer::writeInBackground() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return writingSize_ != 0 || stopping_; });
        if (writingSize_ == 0) return;
        const std::size_t size = writingSize_;
        lock.unlock();
        const bool written = std::fwrite(writing_.data(), 1, size, stream_) == size;
        lock.lock();
        writeFailed_ = writeFailed_ || !written;
        writingSize_ = 0;
        changed_.notify_all();
    }
}

bool OutputBuffer::flush() {
    if (stream_ == nullptr) return true;
    writeBuffered();
    if (writer_.joinable()) waitForWriter();
    if (!failed_ && std::fflush(stream_) != 0) failed_ = true;
    return !failed_;
}

}  // namespace canxlate::cli
