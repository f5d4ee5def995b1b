// libFuzzer target for one log reader (CANXLATE_LOG_FORMAT: 0 candump, 1 ASC,
// 2 BLF): reads the input from memory in small batches and writes the frames
// back in the same format, so the writers see whatever the readers accept.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "canxlate/logs/byte_sink.h"
#include "canxlate/logs/byte_source.h"
#include "canxlate/logs/frame_reader.h"
#include "canxlate/logs/frame_writer.h"

using namespace canxlate::logs;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    constexpr auto kFormat = static_cast<LogFormat>(CANXLATE_LOG_FORMAT);
    MemorySource source(data, size);
    const ReaderOptions options;
    std::unique_ptr<FrameReader> reader = kFormat == LogFormat::kCandump ? openCandumpReader(source, options)
                                          : kFormat == LogFormat::kAsc   ? openAscReader(source, options)
                                                                         : openBlfReader(source, options);
    MemorySink sink;
    std::unique_ptr<FrameWriter> writer = openFrameWriter(kFormat, sink);
    if (reader == nullptr || writer == nullptr) std::abort();
    FrameRecord batch[16];
    uint64_t frames = 0;
    while (const std::size_t count = reader->read(batch, 16)) {
        for (std::size_t i = 0; i < count; ++i)
            if (batch[i].length > kLargestDataLength || batch[i].dlc > 15) std::abort();
        if (!writer->write(batch, count)) std::abort();
        frames += count;
    }
    if (!writer->finish() || frames != reader->counts().frames || writer->framesWritten() != frames) std::abort();
    return 0;
}
