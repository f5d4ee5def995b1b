// A large output buffer written with fwrite in big pieces: decoding writes
// hundreds of megabytes per second, far too much for per-value stream calls.
// In the background form a thread of its own writes each full piece while
// the next one is being filled: copying into the system's file cache takes
// about as long as formatting, and the two then share the cores. Without a
// stream it is a growing piece of memory, handed on whole with contents().
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string_view>
#include <thread>

#include "uninitialized_array.h"

namespace canxlate::cli {

class OutputBuffer {
public:
    static constexpr std::size_t kDefaultCapacity = std::size_t{1} << 20;

    // A null stream: the memory form.
    explicit OutputBuffer(std::FILE* stream, std::size_t capacity = kDefaultCapacity, bool background = false);
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;
    // Writes what is left; call flush() before to learn whether that worked.
    ~OutputBuffer();

    // Room for at least size more characters, written through the returned
    // pointer and handed back with commit.
    char* reserve(std::size_t size) {
        if (capacity_ - used_ < size) makeRoom(size);
        return data_.data() + used_;
    }
    void commit(const char* end) { used_ = static_cast<std::size_t>(end - data_.data()); }

    void append(std::string_view text);
    // After what is buffered, a large piece written as it is, not copied.
    void write(std::string_view text);
    void append(char c) {
        *reserve(1) = c;
        ++used_;
    }

    // The memory form's text, and its emptying.
    std::string_view contents() const { return {data_.data(), used_}; }
    void clear() { used_ = 0; }

    // Writes everything buffered and flushes the stream. False once any write
    // has failed (disk full, closed pipe); the failure is sticky.
    bool flush();
    bool failed() const { return failed_; }

private:
    void makeRoom(std::size_t size);
    void writeBuffered();
    // Background form: waits until the piece handed over has been written.
    void waitForWriter();
    void writeInBackground();

    std::FILE* stream_;
    UninitializedArray<char> data_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    bool failed_ = false;

    UninitializedArray<char> writing_;  // the piece the writer has
    std::size_t writingSize_ = 0;       // 0: none
    bool writeFailed_ = false;
    bool stopping_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread writer_;  // last: it starts once the rest is ready
};

}  // namespace canxlate::cli
