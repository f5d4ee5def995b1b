#include "canxlate/logs/frame_writer.h"

#include <new>

namespace canxlate::logs {

std::unique_ptr<FrameWriter> openCandumpWriter(ByteSink& sink);
std::unique_ptr<FrameWriter> openAscWriter(ByteSink& sink);
std::unique_ptr<FrameWriter> openBlfWriter(ByteSink& sink);

bool FrameWriter::write(const FrameRecord* records, std::size_t count) {
    if (failed_) return false;
    try {
        failed_ = !writeSome(records, count);
    } catch (const std::bad_alloc&) {
        failed_ = true;
    }
    return !failed_;
}

bool FrameWriter::finish() {
    if (failed_) return false;
    try {
        failed_ = !finishWriting();
    } catch (const std::bad_alloc&) {
        failed_ = true;
    }
    return !failed_;
}

std::unique_ptr<FrameWriter> openFrameWriter(LogFormat format, ByteSink& sink) {
    try {
        switch (format) {
            case LogFormat::kCandump: return openCandumpWriter(sink);
            case LogFormat::kAsc: return openAscWriter(sink);
            case LogFormat::kBlf: return openBlfWriter(sink);
        }
    } catch (const std::bad_alloc&) {
    }
    return nullptr;
}

}  // namespace canxlate::logs
