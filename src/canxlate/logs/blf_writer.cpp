// BLF binary logs: frame objects with nanosecond timestamps, gathered in
// zlib-compressed log containers of 128 KiB. The file header, with the start
// time that the objects' timestamps count from, is written before the first
// container and completed at the end when the sink can go back to it.
#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

#ifdef CANXLATE_HAVE_ZLIB
#  include <zlib.h>
#endif

#include "canxlate/logs/blf_layout.h"
#include "canxlate/logs/frame_writer.h"
#include "canxlate/logs/time_text.h"

namespace canxlate::logs {
namespace {

using namespace blf;

constexpr std::size_t kContainerContents = 128 * 1024;

void putSystemTime(uint8_t* at, int64_t nanoseconds) {
    const CivilTime time = civilFromNanoseconds(nanoseconds);
    const int fields[8] = {time.year, time.month,  time.weekday, time.day,
                           time.hour, time.minute, time.second,  time.millisecond};
    for (int i = 0; i < 8; ++i) put16(at + 2 * i, static_cast<uint16_t>(fields[i]));
}

class BlfWriter final : public FrameWriter {
public:
    explicit BlfWriter(ByteSink& sink) : FrameWriter(sink) {
        contents_.reserve(kContainerContents + 256);
#ifdef CANXLATE_HAVE_ZLIB
        zlibReady_ = deflateInit(&zlib_, Z_DEFAULT_COMPRESSION) == Z_OK;
        if (!zlibReady_) throw std::bad_alloc();
#endif
    }
    ~BlfWriter() override {
#ifdef CANXLATE_HAVE_ZLIB
        if (zlibReady_) deflateEnd(&zlib_);
#endif
    }

protected:
    bool writeSome(const FrameRecord* records, std::size_t count) override {
        for (std::size_t i = 0; i < count; ++i) {
            if (framesWritten_ == 0 && i == 0) {
                startNs_ = headerStartNs(records[0].timestampNs);  // objects give the rest
            }
            addObject(records[i]);
            stopNs_ = std::max(stopNs_, records[i].timestampNs);
            if (contents_.size() >= kContainerContents && !writeContainer()) return false;
        }
        framesWritten_ += count;
        return true;
    }

    bool finishWriting() override {
        while (!contents_.empty())
            if (!writeContainer()) return false;
        if (!headerWritten_) return writeHeader(false);
        writeHeader(true);  // without a seekable sink the header keeps its first counts
        return true;
    }

    // Channels are stored plus one in 16 bits; error objects keep the class
    // in their ID field (0 there means none) and have no direction.
    const char* formatRefusal(const FrameRecord& record) const override {
        if (record.channel == UINT16_MAX) return "BLF numbers channels from 1 to 65535";
        if (record.has(kErrorFrame) && (record.id == 0 || record.direction != Direction::kUnknown))
            return "BLF holds error frames with a class other than 0 and without direction";
        return nullptr;
    }

private:
    void addObject(const FrameRecord& record) {
        int64_t offset = record.timestampNs - startNs_;
        if (offset < 0) {
            offset = 0;
            ++timestampsRaised_;
        }
        uint8_t object[kHeaderSizeVersion1 + kCanFdMessageSize] = {};
        uint8_t* body = object + kHeaderSizeVersion1;
        const uint32_t id = (record.id & kExtendedIdMask) | (record.has(kExtendedId) ? kExtendedIdBit : 0);
        const auto channel = static_cast<uint16_t>(record.channel + 1);
        uint8_t messageFlags = record.direction == Direction::kTransmitted ? kMessageTransmitted : 0;
        if (record.has(kRemoteFrame)) messageFlags |= kMessageRemote;
        const uint8_t length = std::min<uint8_t>(record.length, kLargestDataLength);
        uint32_t type = kCanMessage;
        uint32_t bodySize = kCanMessageSize;
        if (record.has(kErrorFrame)) {
            type = kCanErrorExtended;
            bodySize = kCanErrorExtendedSize;
            put16(body, channel);
            body[10] = record.dlc;
            put32(body + 16, id);
            std::memcpy(body + 24, record.data, std::min<uint8_t>(length, kClassicDataLength));
        } else if (record.has(kFlexibleData)) {
            type = kCanFdMessage;
            bodySize = kCanFdMessageSize;
            put16(body, channel);
            body[2] = messageFlags;
            body[3] = record.dlc;
            put32(body + 4, id);
            body[13] =
                static_cast<uint8_t>(kFdExtendedDataLength | (record.has(kBitRateSwitch) ? kFdBitRateSwitch : 0) |
                                     (record.has(kErrorStateIndicator) ? kFdErrorStateIndicator : 0));
            body[14] = length;
            std::memcpy(body + 20, record.data, length);
        } else {
            put16(body, channel);
            body[2] = messageFlags;
            body[3] = record.dlc;
            put32(body + 4, id);
            std::memcpy(body + 8, record.data, std::min<uint8_t>(length, kClassicDataLength));
        }
        const uint32_t size = kHeaderSizeVersion1 + bodySize;
        putObjectHead(object, kHeaderSizeVersion1, size, type);
        put32(object + 16, kTimeNanoseconds);
        put64(object + 24, static_cast<uint64_t>(offset));
        contents_.insert(contents_.end(), object, object + size);
        ++objectCount_;
    }

    // The head every object begins with: signature, head size, head version 1,
    // object size and type.
    static void putObjectHead(uint8_t* object, uint16_t headSize, uint32_t size, uint32_t type) {
        std::memcpy(object, kObjectSignature, 4);
        put16(object + 4, headSize);
        put16(object + 6, 1);
        put32(object + 8, size);
        put32(object + 12, type);
    }

    bool writeHeader(bool rewrite) {
        uint8_t header[kFileHeaderSize] = {};
        std::memcpy(header, kFileSignature, 4);
        put32(header + 4, kFileHeaderSize);
        header[8] = 5;   // application: a generic logger
        header[12] = 4;  // format version 4.x
        put64(header + 16, fileSize_ + (headerWritten_ ? 0 : kFileHeaderSize));
        put64(header + 24, uncompressedSize_);
        put32(header + 32, objectCount_);
        put32(header + 36, objectCount_);
        if (framesWritten_ > 0 || !contents_.empty()) {
            putSystemTime(header + kStartTimeOffset, startNs_);
            putSystemTime(header + kStopTimeOffset, stopNs_);
        }
        if (rewrite) return sink_.rewrite(0, header, sizeof header);
        headerWritten_ = true;
        fileSize_ += kFileHeaderSize;
        return sink_.write(header, sizeof header);
    }

    // Writes (up to) the first 128 KiB of the gathered objects as a container;
    // an object beyond that continues in the next one.
    bool writeContainer() {
        if (!headerWritten_ && !writeHeader(false)) return false;
        const std::size_t take = std::min(contents_.size(), kContainerContents);
        uint16_t method = kNoCompression;
        const uint8_t* data = contents_.data();
        std::size_t dataSize = take;
#ifdef CANXLATE_HAVE_ZLIB
        packed_.resize(deflateBound(&zlib_, static_cast<uLong>(take)));
        if (deflateReset(&zlib_) != Z_OK) return false;
        zlib_.next_in = contents_.data();
        zlib_.avail_in = static_cast<uInt>(take);
        zlib_.next_out = packed_.data();
        zlib_.avail_out = static_cast<uInt>(packed_.size());
        if (deflate(&zlib_, Z_FINISH) != Z_STREAM_END) return false;
        method = kZlibDeflate;
        data = packed_.data();
        dataSize = zlib_.total_out;
#endif
        uint8_t header[kBaseHeaderSize + kContainerHeaderSize] = {};
        const auto size = static_cast<uint32_t>(sizeof header + dataSize);
        putObjectHead(header, kBaseHeaderSize, size, kLogContainer);
        put16(header + 16, method);
        put32(header + 24, static_cast<uint32_t>(take));
        static constexpr uint8_t kPadding[4] = {};
        if (!sink_.write(header, sizeof header) || !sink_.write(data, dataSize) || !sink_.write(kPadding, size % 4))
            return false;
        fileSize_ += size + size % 4;
        uncompressedSize_ += sizeof header + take;
        contents_.erase(contents_.begin(), contents_.begin() + static_cast<std::ptrdiff_t>(take));
        return true;
    }

    std::vector<uint8_t> contents_;
    std::vector<uint8_t> packed_;
    int64_t startNs_ = 0;
    int64_t stopNs_ = INT64_MIN;
    uint64_t fileSize_ = 0;
    uint64_t uncompressedSize_ = 0;
    uint32_t objectCount_ = 0;
    bool headerWritten_ = false;
#ifdef CANXLATE_HAVE_ZLIB
    z_stream zlib_{};
    bool zlibReady_ = false;
#endif
};

}  // namespace

std::unique_ptr<FrameWriter> openBlfWriter(ByteSink& sink) { return std::make_unique<BlfWriter>(sink); }

}  // namespace canxlate::logs
