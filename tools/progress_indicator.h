// A one-line progress report on a terminal: share of the input read and the
// decoding rate, redrawn in place a few times a second.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace canxlate::cli {

class ProgressIndicator {
public:
    // totalBytes is the size of the input file.
    ProgressIndicator(std::FILE* terminal, uint64_t totalBytes);

    // Cheap enough to call every few thousand lines: draws at the first call,
    // then again only when a fifth of a second has passed.
    void update(uint64_t bytesDone, uint64_t frames);
    // Erases the line, so that the summary that follows stands alone.
    void finish();

private:
    using Clock = std::chrono::steady_clock;

    std::FILE* terminal_;
    uint64_t totalBytes_;
    Clock::time_point start_;
    Clock::time_point lastDrawn_;
    bool drawn_ = false;
};

}  // namespace canxlate::cli
