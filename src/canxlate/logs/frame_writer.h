// The common face of the log writers: frames in batches, then finish().
// What the readers deliver, the writers take as it is, so a conversion is a
// loop of read and write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "canxlate/logs/byte_sink.h"
#include "canxlate/logs/frame_reader.h"
#include "canxlate/logs/frame_record.h"

namespace canxlate::logs {

class FrameWriter {
public:
    virtual ~FrameWriter() = default;
    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;

    // False when the sink refused bytes or memory ran out; the writer then
    // stays failed. Also false, writing nothing of the batch, when a frame
    // is refused (see refusal()).
    bool write(const FrameRecord* records, std::size_t count);
    // Why this format cannot hold the frame as it is, or null when it can.
    // Nothing is ever shortened or narrowed to fit.
    const char* refusal(const FrameRecord& record) const;
    // Writes what is still buffered and completes the file.
    bool finish();

    uint64_t framesWritten() const { return framesWritten_; }
    // ASC and BLF store times after the log's start (the first frame's);
    // earlier frames are written at the start and counted here.
    uint64_t timestampsRaised() const { return timestampsRaised_; }

protected:
    explicit FrameWriter(ByteSink& sink) : sink_(sink) {}
    virtual bool writeSome(const FrameRecord* records, std::size_t count) = 0;
    virtual bool finishWriting() = 0;
    // What only this format cannot hold; refusal() checks what none can.
    virtual const char* formatRefusal(const FrameRecord& /*record*/) const { return nullptr; }

    ByteSink& sink_;
    uint64_t framesWritten_ = 0;
    uint64_t timestampsRaised_ = 0;
    bool failed_ = false;
};

// Null only when memory runs out.
std::unique_ptr<FrameWriter> openFrameWriter(LogFormat format, ByteSink& sink);

}  // namespace canxlate::logs
