// Log readers and writers through the C interface: records in batches,
// scattered into (or gathered from) the caller's columns.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>

#include "canxlate/capi/handles.h"
#include "canxlate/logs/byte_sink.h"
#include "canxlate/logs/byte_source.h"
#include "canxlate/logs/frame_reader.h"
#include "canxlate/logs/frame_writer.h"

using namespace canxlate::capi;
namespace logs = canxlate::logs;

namespace {

constexpr std::size_t kRecordBatch = 256;

bool validFormat(int32_t format, bool allowAuto) {
    return (allowAuto && format == CXL_LOG_AUTO) || (format >= CXL_LOG_CANDUMP && format <= CXL_LOG_BLF);
}
logs::LogFormat toLogFormat(int32_t format) { return static_cast<logs::LogFormat>(format - CXL_LOG_CANDUMP); }
int32_t fromLogFormat(logs::LogFormat format) { return static_cast<int32_t>(format) + CXL_LOG_CANDUMP; }

uint16_t flagsOf(const logs::FrameRecord& record) {
    uint16_t flags = record.flags & 0x3Fu;  // the record's bits are the C bits 0..5
    if (record.direction == logs::Direction::kReceived) flags |= CXL_FRAME_RX;
    if (record.direction == logs::Direction::kTransmitted) flags |= CXL_FRAME_TX;
    return flags;
}
static_assert(logs::kExtendedId == CXL_FRAME_EXTENDED && logs::kFlexibleData == CXL_FRAME_FD &&
              logs::kBitRateSwitch == CXL_FRAME_BRS && logs::kErrorStateIndicator == CXL_FRAME_ESI &&
              logs::kRemoteFrame == CXL_FRAME_REMOTE && logs::kErrorFrame == CXL_FRAME_ERROR);
static_assert(logs::kLargestDataLength == CXL_LOG_PAYLOAD_STRIDE);

// Frame f of the columns as a record; the interface name from the names
// given to the writer.
void recordOf(const cxl_frames& frames, std::size_t f, const std::unordered_map<uint16_t, std::string>& names,
              logs::FrameRecord& record) {
    record = logs::FrameRecord{};
    record.seconds = frames.timestamps[f];
    record.timestampNs = frames.time_ns != nullptr ? frames.time_ns[f] : std::llround(frames.timestamps[f] * 1e9);
    record.id = frames.ids[f];
    const uint16_t flags = frames.flags != nullptr ? frames.flags[f] : 0;
    record.flags = flags & 0x3Fu;
    if (frames.extended[f] != 0) record.flags |= logs::kExtendedId;
    record.direction = (flags & CXL_FRAME_TX) != 0   ? logs::Direction::kTransmitted
                       : (flags & CXL_FRAME_RX) != 0 ? logs::Direction::kReceived
                                                     : logs::Direction::kUnknown;
    record.channel = frames.channels != nullptr ? frames.channels[f] : 0;
    if (const auto name = names.find(record.channel); name != names.end())
        std::memcpy(record.interfaceName, name->second.c_str(), name->second.size() + 1);
    record.length = frames.lengths[f];
    record.dlc = frames.dlcs != nullptr ? frames.dlcs[f] : static_cast<uint8_t>(logs::dlcOfLength(record.length));
    std::memcpy(record.data, frames.payloads + f * CXL_LOG_PAYLOAD_STRIDE, std::min<std::size_t>(record.length, 64));
}

bool completeColumns(const cxl_frames& frames) {
    return frames.timestamps != nullptr && frames.ids != nullptr && frames.extended != nullptr &&
           frames.lengths != nullptr && frames.payloads != nullptr;
}

cxl_log_issue toIssue(const logs::ReadIssue& issue) {
    return cxl_log_issue{static_cast<int32_t>(issue.kind), issue.positionIsLine ? 1 : 0, issue.position, issue.message};
}

struct IssueForwarder {
    cxl_log_issue_callback callback = nullptr;
    void* context = nullptr;
    static void forward(void* self, const logs::ReadIssue& issue) {
        const auto* forwarder = static_cast<const IssueForwarder*>(self);
        const cxl_log_issue converted = toIssue(issue);
        forwarder->callback(forwarder->context, &converted);
    }
};

// Bytes from the caller's read function (a Python file object, a socket).
class CallbackSource final : public logs::ByteSource {
public:
    CallbackSource(cxl_log_read_callback read, void* context) : read_(read), context_(context) {}
    std::size_t read(void* buffer, std::size_t size) override {
        if (error_ != 0) return 0;
        const ptrdiff_t got = read_(context_, buffer, size);
        if (got < 0 || static_cast<std::size_t>(got) > size) {
            error_ = EIO;
            return 0;
        }
        return static_cast<std::size_t>(got);
    }
    int error() const override { return error_; }

private:
    cxl_log_read_callback read_;
    void* context_;
    int error_ = 0;
};

}  // namespace

struct cxl_log_reader {
    std::FILE* file = nullptr;  // owned unless it is standard input
    bool ownsFile = false;
    std::unique_ptr<logs::ByteSource> source;
    std::unique_ptr<logs::FrameReader> reader;
    logs::LogFormat format = logs::LogFormat::kCandump;
    IssueForwarder forwarder;
    logs::FrameRecord records[kRecordBatch];

    ~cxl_log_reader() {
        reader.reset();
        if (ownsFile) std::fclose(file);
    }
};

struct cxl_log_writer {
    std::FILE* file = nullptr;
    bool ownsFile = false;
    std::unique_ptr<logs::StdioSink> sink;
    std::unique_ptr<logs::FrameWriter> writer;
    logs::FrameRecord records[kRecordBatch];
    std::unordered_map<uint16_t, std::string> channelNames;  // for candump: interface names

    ~cxl_log_writer() {
        writer.reset();
        if (ownsFile && file != nullptr) std::fclose(file);
    }
};

namespace {

cxl_status openReader(std::unique_ptr<cxl_log_reader> state, int32_t format, uint32_t flags,
                      cxl_log_issue_callback callback, void* context, cxl_log_reader** out) {
    logs::ReaderOptions options;
    options.skipRemoteFrames = (flags & CXL_LOG_SKIP_REMOTE) != 0;
    options.skipErrorFrames = (flags & CXL_LOG_SKIP_ERROR) != 0;
    if (callback != nullptr) {
        state->forwarder = IssueForwarder{callback, context};
        options.onIssue = &IssueForwarder::forward;
        options.context = &state->forwarder;
    }
    if (format == CXL_LOG_AUTO) {
        state->reader = logs::openFrameReader(*state->source, options, &state->format);
    } else {
        state->format = toLogFormat(format);
        switch (state->format) {
            case logs::LogFormat::kCandump: state->reader = logs::openCandumpReader(*state->source, options); break;
            case logs::LogFormat::kAsc: state->reader = logs::openAscReader(*state->source, options); break;
            case logs::LogFormat::kBlf: state->reader = logs::openBlfReader(*state->source, options); break;
        }
    }
    if (state->reader == nullptr) return CXL_ERR_NO_MEMORY;
    *out = state.release();
    return CXL_OK;
}

}  // namespace

extern "C" {

CXL_API cxl_status CXL_CALL cxl_log_open_file(const char* path, int32_t format, uint32_t flags,
                                              cxl_log_issue_callback callback, void* context, cxl_log_reader** reader) {
    if (reader == nullptr) return CXL_ERR_ARGUMENT;
    *reader = nullptr;
    if (path == nullptr || !validFormat(format, true)) return CXL_ERR_ARGUMENT;
    return guarded([&]() -> cxl_status {
        auto state = std::make_unique<cxl_log_reader>();
        if (std::strcmp(path, "-") == 0) {
            state->file = stdin;
        } else {
            state->file = std::fopen(path, "rb");
            if (state->file == nullptr) return CXL_ERR_CANNOT_OPEN;
            state->ownsFile = true;
        }
        state->source = std::make_unique<logs::StdioSource>(state->file);
        return openReader(std::move(state), format, flags, callback, context, reader);
    });
}

CXL_API cxl_status CXL_CALL cxl_log_open_memory(const void* data, size_t size, int32_t format, uint32_t flags,
                                                cxl_log_issue_callback callback, void* context,
                                                cxl_log_reader** reader) {
    if (reader == nullptr) return CXL_ERR_ARGUMENT;
    *reader = nullptr;
    if ((data == nullptr && size != 0) || !validFormat(format, true)) return CXL_ERR_ARGUMENT;
    return guarded([&]() -> cxl_status {
        auto state = std::make_unique<cxl_log_reader>();
        state->source = std::make_unique<logs::MemorySource>(data, size);
        return openReader(std::move(state), format, flags, callback, context, reader);
    });
}

CXL_API cxl_status CXL_CALL cxl_log_open_callback(cxl_log_read_callback read, void* read_context, int32_t format,
                                                  uint32_t flags, cxl_log_issue_callback callback, void* context,
                                                  cxl_log_reader** reader) {
    if (reader == nullptr) return CXL_ERR_ARGUMENT;
    *reader = nullptr;
    if (read == nullptr || !validFormat(format, true)) return CXL_ERR_ARGUMENT;
    return guarded([&]() -> cxl_status {
        auto state = std::make_unique<cxl_log_reader>();
        state->source = std::make_unique<CallbackSource>(read, read_context);
        return openReader(std::move(state), format, flags, callback, context, reader);
    });
}

CXL_API cxl_status CXL_CALL cxl_log_read(cxl_log_reader* reader, cxl_frames* frames) {
    if (reader == nullptr || frames == nullptr) return CXL_ERR_ARGUMENT;
    frames->count = 0;
    if (frames->capacity != 0 &&
        (frames->timestamps == nullptr || frames->ids == nullptr || frames->extended == nullptr ||
         frames->lengths == nullptr || frames->payloads == nullptr))
        return CXL_ERR_ARGUMENT;
    return guarded([&]() -> cxl_status {
        while (frames->count < frames->capacity) {
            const std::size_t wanted = std::min(kRecordBatch, frames->capacity - frames->count);
            const std::size_t got = reader->reader->read(reader->records, wanted);
            for (std::size_t r = 0; r < got; ++r) {
                const logs::FrameRecord& record = reader->records[r];
                const std::size_t f = frames->count++;
                if (frames->time_ns != nullptr) frames->time_ns[f] = record.timestampNs;
                frames->timestamps[f] = record.seconds;
                frames->ids[f] = record.id;
                frames->extended[f] = record.has(logs::kExtendedId) ? 1 : 0;
                frames->lengths[f] = record.length;
                std::memcpy(frames->payloads + f * CXL_LOG_PAYLOAD_STRIDE, record.data, CXL_LOG_PAYLOAD_STRIDE);
                if (frames->flags != nullptr) frames->flags[f] = flagsOf(record);
                if (frames->channels != nullptr) frames->channels[f] = record.channel;
                if (frames->dlcs != nullptr) frames->dlcs[f] = record.dlc;
            }
            if (got < wanted) break;
        }
        if (frames->count == 0 && reader->reader->failed()) return CXL_ERR_FORMAT;
        return CXL_OK;
    });
}

CXL_API int32_t CXL_CALL cxl_log_format(const cxl_log_reader* reader) {
    return reader == nullptr ? CXL_LOG_AUTO : fromLogFormat(reader->format);
}

CXL_API cxl_status CXL_CALL cxl_log_get_counts(const cxl_log_reader* reader, cxl_log_counts* counts) {
    if (reader == nullptr || counts == nullptr) return CXL_ERR_ARGUMENT;
    const logs::ReadCounts& c = reader->reader->counts();
    *counts = cxl_log_counts{c.frames,
                             c.remoteFrames,
                             c.errorFrames,
                             c.skippedFrames,
                             c.unknownEvents,
                             c.malformed,
                             reader->reader->bytesConsumed(),
                             c.warnings};
    return CXL_OK;
}

CXL_API cxl_status CXL_CALL cxl_log_fatal_issue(const cxl_log_reader* reader, cxl_log_issue* issue) {
    if (reader == nullptr || issue == nullptr) return CXL_ERR_ARGUMENT;
    if (!reader->reader->failed()) return CXL_ERR_NOT_FOUND;
    *issue = toIssue(reader->reader->fatal());
    return CXL_OK;
}

CXL_API const char* CXL_CALL cxl_log_channel_name(const cxl_log_reader* reader, uint16_t channel) {
    return reader == nullptr ? nullptr : reader->reader->channelName(channel);
}

CXL_API int64_t CXL_CALL cxl_log_start_ns(const cxl_log_reader* reader) {
    return reader == nullptr ? 0 : reader->reader->startNs();
}

CXL_API void CXL_CALL cxl_log_close(cxl_log_reader* reader) { delete reader; }

CXL_API cxl_status CXL_CALL cxl_log_create_file(const char* path, int32_t format, cxl_log_writer** writer) {
    if (writer == nullptr) return CXL_ERR_ARGUMENT;
    *writer = nullptr;
    if (path == nullptr || !validFormat(format, false)) return CXL_ERR_ARGUMENT;
    return guarded([&]() -> cxl_status {
        auto state = std::make_unique<cxl_log_writer>();
        if (std::strcmp(path, "-") == 0) {
            state->file = stdout;
        } else {
            state->file = std::fopen(path, "wb");
            if (state->file == nullptr) return CXL_ERR_CANNOT_OPEN;
            state->ownsFile = true;
        }
        state->sink = std::make_unique<logs::StdioSink>(state->file);
        state->writer = logs::openFrameWriter(toLogFormat(format), *state->sink);
        if (state->writer == nullptr) return CXL_ERR_NO_MEMORY;
        *writer = state.release();
        return CXL_OK;
    });
}

CXL_API cxl_status CXL_CALL cxl_log_write(cxl_log_writer* writer, const cxl_frames* frames) {
    if (writer == nullptr || frames == nullptr) return CXL_ERR_ARGUMENT;
    if (frames->count != 0 && !completeColumns(*frames)) return CXL_ERR_ARGUMENT;
    for (std::size_t f = 0; f < frames->count; ++f)
        if (frames->lengths[f] > CXL_LOG_PAYLOAD_STRIDE) return CXL_ERR_LENGTH;
    return guarded([&]() -> cxl_status {
        for (std::size_t f = 0; f < frames->count; ++f) {
            logs::FrameRecord& record = writer->records[0];
            recordOf(*frames, f, writer->channelNames, record);
            if (writer->writer->refusal(record) != nullptr) return CXL_ERR_FORMAT;
        }
        for (std::size_t done = 0; done < frames->count;) {
            const std::size_t batch = std::min(kRecordBatch, frames->count - done);
            for (std::size_t r = 0; r < batch; ++r)
                recordOf(*frames, done + r, writer->channelNames, writer->records[r]);
            if (!writer->writer->write(writer->records, batch)) return CXL_ERR_CANNOT_OPEN;
            done += batch;
        }
        return CXL_OK;
    });
}

CXL_API const char* CXL_CALL cxl_log_refusal(const cxl_log_writer* writer, const cxl_frames* frames, size_t index) {
    if (writer == nullptr || frames == nullptr || index >= frames->count || !completeColumns(*frames)) return nullptr;
    if (frames->lengths[index] > CXL_LOG_PAYLOAD_STRIDE) return "more than 64 data bytes";
    logs::FrameRecord record;
    recordOf(*frames, index, writer->channelNames, record);
    return writer->writer->refusal(record);
}

CXL_API cxl_status CXL_CALL cxl_log_name_channel(cxl_log_writer* writer, uint16_t channel, const char* name) {
    if (writer == nullptr || name == nullptr) return CXL_ERR_ARGUMENT;
    if (std::strlen(name) >= logs::kInterfaceNameCapacity) return CXL_ERR_LENGTH;
    return guarded([&]() -> cxl_status {
        writer->channelNames[channel] = name;
        return CXL_OK;
    });
}

CXL_API cxl_status CXL_CALL cxl_log_finish(cxl_log_writer* writer) {
    if (writer == nullptr) return CXL_ERR_ARGUMENT;
    const bool written = writer->writer->finish();
    const bool closed = writer->ownsFile ? std::fclose(writer->file) == 0 : std::fflush(writer->file) == 0;
    writer->ownsFile = false;  // closed above, whatever the outcome
    delete writer;
    return written && closed ? CXL_OK : CXL_ERR_CANNOT_OPEN;
}

}  // extern "C"
