// libFuzzer target for one log reader (CANXLATE_LOG_FORMAT: 0 candump, 1 ASC,
// 2 BLF): reads the input from memory in small batches, writes the frames
// back in the same format and reads them again, so the writers see whatever
// the readers accept and every round trip is checked.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "canxlate/logs/byte_sink.h"
#include "canxlate/logs/byte_source.h"
#include "canxlate/logs/frame_reader.h"
#include "canxlate/logs/frame_writer.h"
#include "canxlate/logs/gzip_source.h"

using namespace canxlate::logs;

namespace {

// A gzip-compressed input (.log.gz, .asc.gz) goes through format detection
// and the gzip reader to the reader of whatever it holds.
std::unique_ptr<FrameReader> openReader(ByteSource& source, bool compressed) {
    constexpr auto kFormat = static_cast<LogFormat>(CANXLATE_LOG_FORMAT);
    const ReaderOptions options;
    if (compressed) return openFrameReader(source, options);
    return kFormat == LogFormat::kCandump ? openCandumpReader(source, options)
           : kFormat == LogFormat::kAsc   ? openAscReader(source, options)
                                          : openBlfReader(source, options);
}

// Channels are compared when no frame was left out: candump numbers the
// channels of interface names in the order the names come.
bool sameFrame(const FrameRecord& a, const FrameRecord& b, bool sameChannels) {
    return a.timestampNs == b.timestampNs && a.id == b.id && a.flags == b.flags &&
           (!sameChannels || a.channel == b.channel) && a.direction == b.direction && a.dlc == b.dlc &&
           a.length == b.length && std::memcmp(a.data, b.data, a.length) == 0;
}

}  // namespace

// Every frame read that the format's writer accepts must read back the same
// from what the writer wrote: nothing is shortened or narrowed on the way.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    constexpr auto kFormat = static_cast<LogFormat>(CANXLATE_LOG_FORMAT);
    MemorySource source(data, size);
    std::unique_ptr<FrameReader> reader = openReader(source, startsLikeGzip(data, size));
    MemorySink sink;
    std::unique_ptr<FrameWriter> writer = openFrameWriter(kFormat, sink);
    if (reader == nullptr || writer == nullptr) std::abort();
    FrameRecord batch[16];
    std::vector<FrameRecord> accepted;
    uint64_t frames = 0;
    while (const std::size_t count = reader->read(batch, 16)) {
        for (std::size_t i = 0; i < count; ++i) {
            if (batch[i].length > kLargestDataLength || batch[i].dlc > 15) std::abort();
            for (int b = batch[i].length; b < kLargestDataLength; ++b)
                if (batch[i].data[b] != 0) std::abort();  // columns take all 64 bytes
            if (writer->refusal(batch[i]) != nullptr) continue;
            if (!writer->write(&batch[i], 1)) std::abort();
            accepted.push_back(batch[i]);
        }
        frames += count;
    }
    if (!writer->finish() || frames != reader->counts().frames || writer->framesWritten() != accepted.size())
        std::abort();
    if (writer->timestampsRaised() != 0) return 0;  // ASC and BLF start at the first frame
    MemorySource written(sink.bytes().data(), sink.bytes().size());
    std::unique_ptr<FrameReader> again = openReader(written, false);
    std::size_t at = 0;
    while (const std::size_t count = again->read(batch, 16)) {
        for (std::size_t i = 0; i < count; ++i)
            if (at >= accepted.size() || !sameFrame(batch[i], accepted[at++], accepted.size() == frames)) std::abort();
    }
    if (at != accepted.size() || again->counts().malformed != 0) std::abort();
    return 0;
}
