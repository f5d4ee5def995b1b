#include "progress_indicator.h"

namespace canxlate::cli {

namespace {
constexpr auto kRedrawInterval = std::chrono::milliseconds(200);
}

ProgressIndicator::ProgressIndicator(std::FILE* terminal, uint64_t totalBytes)
    : terminal_(terminal), totalBytes_(totalBytes), start_(Clock::now()), lastDrawn_(start_) {}

void ProgressIndicator::update(uint64_t bytesDone, uint64_t frames) {
    const Clock::time_point now = Clock::now();
    if (drawn_ && now - lastDrawn_ < kRedrawInterval) return;
    lastDrawn_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double percent =
        totalBytes_ == 0 ? 100.0 : 100.0 * static_cast<double>(bytesDone) / static_cast<double>(totalBytes_);
    const double framesPerSecond = seconds > 0 ? static_cast<double>(frames) / seconds : 0.0;
    std::fprintf(terminal_, "\r%5.1f%%  %.0f frames/s ", percent, framesPerSecond);
    std::fflush(terminal_);
    drawn_ = true;
}

void ProgressIndicator::finish() {
    if (!drawn_) return;
    std::fputs("\r\033[K", terminal_);
    std::fflush(terminal_);
    drawn_ = false;
}

}  // namespace canxlate::cli
