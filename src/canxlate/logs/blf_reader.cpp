// BLF binary logs: a file header, then objects, mostly log containers whose
// (usually zlib-compressed) contents are the frame objects. An object may
// continue in the next container, so the containers' contents are read as one
// stream, a container at a time: memory stays bounded by the largest
// container, whatever the file's size.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#ifdef CANXLATE_HAVE_ZLIB
#  include <zlib.h>
#endif

#include "canxlate/logs/blf_layout.h"
#include "canxlate/logs/frame_reader.h"
#include "canxlate/logs/time_text.h"

namespace canxlate::logs {
namespace {

using namespace blf;

constexpr uint32_t kLargestFileHeader = 1u << 16;
constexpr uint32_t kLargestContainer = 1u << 24;  // writers use 128 KiB
constexpr uint32_t kLargestFrameObject = 4096;
constexpr uint32_t kLargestLooseObject = 1u << 16;  // a frame object outside containers
constexpr std::size_t kPaddingSearch = 8;

bool isFrameObject(uint32_t type) {
    switch (type) {
        case kCanMessage:
        case kCanMessage2:
        case kCanError:
        case kCanErrorExtended:
        case kCanFdMessage:
        case kCanFdMessage64:
        case kCanFdError64: return true;
        default: return false;
    }
}

class BlfReader final : public FrameReader {
public:
    BlfReader(ByteSource& source, const ReaderOptions& options) : FrameReader(options), source_(source) {
#ifdef CANXLATE_HAVE_ZLIB
        zlibReady_ = inflateInit(&zlib_) == Z_OK;
#endif
    }
    ~BlfReader() override {
#ifdef CANXLATE_HAVE_ZLIB
        if (zlibReady_) inflateEnd(&zlib_);
#endif
    }
    int readError() const override { return source_.error(); }
    uint64_t bytesConsumed() const override { return fileOffset_; }

protected:
    std::size_t readSome(FrameRecord* records, std::size_t capacity) override {
        if (!headerRead_ && !readFileHeader()) return 0;
        std::size_t count = 0;
        while (count < capacity && !failed_) {
            const Step step = nextObject(records[count]);
            if (step == Step::kFrame) {
                if (keepFrame(records[count], objectPosition_, false)) ++count;
            } else if (step == Step::kNeedMore) {
                if (endOfFile_ || !loadNextObject()) {
                    endOfFile_ = true;
                    if (!onlyPaddingLeft() || skipLeft_ > 0) {
                        report(IssueKind::kMalformed, fileOffset_, false, "object cut off by the end of the file");
                        stream_.clear();
                        streamAt_ = 0;
                        skipLeft_ = 0;
                    }
                    break;
                }
            }
        }
        if (count < capacity && source_.error() != 0 && !failed_)
            report(IssueKind::kFatal, fileOffset_, false, "the input could not be read");
        return count;
    }

private:
    enum class Step { kFrame, kOther, kNeedMore };

    // Zero bytes after the last object pad it; anything else is a cut-off object.
    bool onlyPaddingLeft() const {
        const std::size_t left = stream_.size() - streamAt_;
        return left < kPaddingSearch && std::all_of(stream_.begin() + static_cast<std::ptrdiff_t>(streamAt_),
                                                    stream_.end(), [](uint8_t byte) { return byte == 0; });
    }

    std::size_t readBytes(void* buffer, std::size_t size) {
        auto* bytes = static_cast<uint8_t*>(buffer);
        std::size_t got = std::min(size, lookahead_.size() - lookaheadAt_);
        if (got > 0) std::memcpy(bytes, lookahead_.data() + lookaheadAt_, got);
        lookaheadAt_ += got;
        if (got < size) got += readFully(source_, bytes + got, size - got);
        fileOffset_ += got;
        return got;
    }

    // Puts bytes back in front of what is still to be read.
    void unread(const uint8_t* bytes, std::size_t size) {
        std::vector<uint8_t> rest(bytes, bytes + size);
        rest.insert(rest.end(), lookahead_.begin() + static_cast<std::ptrdiff_t>(lookaheadAt_), lookahead_.end());
        lookahead_ = std::move(rest);
        lookaheadAt_ = 0;
    }

    // After an object header that cannot be right: on to the next object
    // signature in the file, which is read next. False at the end.
    bool resynchronise() {
        uint8_t block[4096];
        uint8_t carried[3] = {};
        std::size_t carriedSize = 0;
        for (;;) {
            std::memcpy(block, carried, carriedSize);
            const std::size_t got = readBytes(block + carriedSize, sizeof block - carriedSize);
            const std::size_t size = carriedSize + got;
            uint8_t* found = std::search(block, block + size, kObjectSignature, kObjectSignature + 4);
            if (found != block + size) {
                const auto at = static_cast<std::size_t>(found - block);
                std::vector<uint8_t> rest(found, block + size);
                rest.insert(rest.end(), lookahead_.begin() + static_cast<std::ptrdiff_t>(lookaheadAt_),
                            lookahead_.end());
                lookahead_ = std::move(rest);
                lookaheadAt_ = 0;
                fileOffset_ -= size - at;
                return true;
            }
            if (got == 0) return false;
            carriedSize = std::min<std::size_t>(size, 3);
            std::memcpy(carried, block + size - carriedSize, carriedSize);
        }
    }

    bool discard(uint64_t size) {
        uint8_t scratch[4096];
        while (size > 0) {
            const std::size_t chunk = size < sizeof scratch ? static_cast<std::size_t>(size) : sizeof scratch;
            if (readBytes(scratch, chunk) != chunk) return false;
            size -= chunk;
        }
        return true;
    }

    bool readFileHeader() {
        headerRead_ = true;
        uint8_t header[kFileHeaderSize] = {};
        if (readBytes(header, 8) != 8 || std::memcmp(header, kFileSignature, 4) != 0) {
            report(IssueKind::kFatal, 0, false, "not a BLF file");
            return false;
        }
        const uint32_t size = get32(header + 4);
        if (size < kStopTimeOffset || size > kLargestFileHeader) {
            report(IssueKind::kFatal, 4, false, "file header size not plausible", size);
            return false;
        }
        const uint32_t kept = std::min(size, kFileHeaderSize);
        if (readBytes(header + 8, kept - 8) != kept - 8 || !discard(size - kept)) {
            report(IssueKind::kFatal, fileOffset_, false, "file header cut off");
            return false;
        }
        CivilTime start;
        const uint8_t* time = header + kStartTimeOffset;
        start.year = get16(time);
        start.month = get16(time + 2);
        start.day = get16(time + 6);
        start.hour = get16(time + 8);
        start.minute = get16(time + 10);
        start.second = get16(time + 12);
        start.millisecond = get16(time + 14);
        if (!nanosecondsFromCivil(start, startNs_)) startNs_ = 0;
        return true;
    }

    // Reads the next object of the file: a container's contents, or a frame
    // object outside containers, go to the stream. False at the end.
    bool loadNextObject() {
        for (;;) {
            if (failed_) return false;
            const uint64_t objectStart = fileOffset_;
            uint8_t base[kBaseHeaderSize];
            const std::size_t got = readBytes(base, sizeof base);
            if (got == 0) return false;
            if (got < sizeof base) {
                report(IssueKind::kMalformed, objectStart, false, "object header cut off by the end of the file");
                return false;
            }
            const uint32_t size = get32(base + 8);
            const uint32_t type = get32(base + 12);
            const char* problem = objectHeaderProblem(base, size, type);
            if (problem != nullptr) {
                // Read on from the next object the file holds.
                report(IssueKind::kMalformed, objectStart, false, problem, type);
                restartStream();
                fileOffset_ -= sizeof base;
                unread(base + 1, sizeof base - 1);
                ++fileOffset_;
                if (!resynchronise()) return false;
                continue;
            }
            const uint32_t bodySize = size - kBaseHeaderSize;
            bool loaded = false;
            if (type == kLogContainer) {
                loaded = loadContainer(objectStart, bodySize);
            } else if (bodySize <= kLargestLooseObject) {
                compactStream();
                const std::size_t at = stream_.size();
                beginChunk(objectStart);
                stream_.resize(at + size);
                std::memcpy(stream_.data() + at, base, sizeof base);
                if (readBytes(stream_.data() + at + sizeof base, bodySize) != bodySize) {
                    stream_.resize(at);
                    report(IssueKind::kMalformed, objectStart, false, "object cut off by the end of the file", type);
                    return false;
                }
                loaded = true;
            } else {
                report(IssueKind::kUnknownEvent, objectStart, false, "object that is not a frame", type);
                if (!discard(bodySize)) {
                    report(IssueKind::kMalformed, objectStart, false, "object cut off by the end of the file", type);
                    return false;
                }
            }
            if (failed_ || endOfFile_) return false;
            if (!discard(size % 4)) return loaded;  // padding; the last object may lack it
            if (loaded) return true;
        }
    }

    static const char* objectHeaderProblem(const uint8_t* base, uint32_t size, uint32_t type) {
        if (std::memcmp(base, kObjectSignature, 4) != 0) return "no object signature where an object must start";
        if (size < kBaseHeaderSize) return "object size smaller than its header";
        if (isFrameObject(type) && size > kLargestFrameObject) return "object size not plausible for its type";
        if (type == kLogContainer &&
            (size < kBaseHeaderSize + kContainerHeaderSize || size - kBaseHeaderSize > kLargestContainer))
            return "container size not plausible";
        return nullptr;
    }

    // Where the byte at index of the stream lies in the file; for objects
    // in compressed containers, where it would lie were they stored plain.
    uint64_t positionOf(std::size_t index) const {
        const auto at = static_cast<int64_t>(index);
        return at >= currentStart_ ? currentBase_ + static_cast<uint64_t>(at - currentStart_)
                                   : previousBase_ + static_cast<uint64_t>(at - previousStart_);
    }
    // Bytes from fileBase on are appended to the stream from here.
    void beginChunk(uint64_t fileBase) {
        previousStart_ = currentStart_;
        previousBase_ = currentBase_;
        currentStart_ = static_cast<int64_t>(stream_.size());
        currentBase_ = fileBase;
    }

    // Drops the parsed part of the stream before more is appended.
    void compactStream() {
        if (streamAt_ == 0) return;
        stream_.erase(stream_.begin(), stream_.begin() + static_cast<std::ptrdiff_t>(streamAt_));
        currentStart_ -= static_cast<int64_t>(streamAt_);
        previousStart_ -= static_cast<int64_t>(streamAt_);
        streamAt_ = 0;
    }

    // The stream lost its thread: what is pending cannot be completed.
    void restartStream() {
        stream_.clear();
        streamAt_ = 0;
        skipLeft_ = 0;
        lostThread_ = true;
    }

    bool loadContainer(uint64_t objectStart, uint32_t bodySize) {
        packed_.resize(bodySize);
        if (readBytes(packed_.data(), bodySize) != bodySize) {
            report(IssueKind::kMalformed, objectStart, false, "container cut off by the end of the file");
            endOfFile_ = true;
            return false;
        }
        const uint16_t method = get16(packed_.data());
        const uint32_t unpackedSize = get32(packed_.data() + 8);
        const uint8_t* data = packed_.data() + kContainerHeaderSize;
        const uint32_t dataSize = bodySize - kContainerHeaderSize;
        compactStream();
        const std::size_t at = stream_.size();
        beginChunk(objectStart + kBaseHeaderSize + kContainerHeaderSize);
        if (method == kNoCompression) {
            stream_.insert(stream_.end(), data, data + dataSize);
            return true;
        }
        if (method != kZlibDeflate) {
            report(IssueKind::kMalformed, objectStart, false, "unknown compression method", method);
            restartStream();
            return false;
        }
        if (unpackedSize > kLargestContainer) {
            report(IssueKind::kMalformed, objectStart, false, "uncompressed container size not plausible",
                   unpackedSize);
            restartStream();
            return false;
        }
        if (!inflateOnto(data, dataSize, unpackedSize)) {
            stream_.resize(at);
            report(IssueKind::kMalformed, objectStart, false, inflateProblem_);
            restartStream();
            return false;
        }
        return true;
    }

    // Appends the inflated container to the stream. The stream grows with
    // what inflate gives (doubling), never to a declared size up front, so
    // a container that declares 16 MiB and holds nothing costs nothing.
    bool inflateOnto(const uint8_t* in, uint32_t inSize, uint32_t outSize) {
#ifdef CANXLATE_HAVE_ZLIB
        if (!zlibReady_ || inflateReset(&zlib_) != Z_OK) {
            inflateProblem_ = "zlib could not be set up";
            return false;
        }
        const std::size_t start = stream_.size();
        std::size_t room = std::min<std::size_t>(outSize, std::size_t{4096} + 4 * std::size_t{inSize});
        std::size_t produced = 0;
        zlib_.next_in = const_cast<Bytef*>(in);
        zlib_.avail_in = inSize;
        int result = Z_OK;
        for (;;) {
            stream_.resize(start + room);
            zlib_.next_out = stream_.data() + start + produced;
            zlib_.avail_out = static_cast<uInt>(room - produced);
            result = inflate(&zlib_, Z_FINISH);
            produced = room - zlib_.avail_out;
            // Done, failed, out of input, or at the declared size: stop.
            if ((result != Z_BUF_ERROR && result != Z_OK) || zlib_.avail_out != 0 || room == outSize) break;
            room = std::min<std::size_t>(outSize, room * 2);
        }
        stream_.resize(start + produced);
        if (result == Z_STREAM_END && produced == outSize) return true;
        inflateProblem_ = result == Z_STREAM_END || result == Z_BUF_ERROR || result == Z_OK
                              ? "compressed container does not hold the size its header gives"
                              : "corrupt zlib data in a container";
        return false;
#else
        (void)in, (void)inSize, (void)outSize;
        inflateProblem_ = "compressed container: this build reads no zlib data";
        return false;
#endif
    }

    Step nextObject(FrameRecord& record) {
        if (skipLeft_ > 0) {
            const uint64_t take = std::min<uint64_t>(skipLeft_, stream_.size() - streamAt_);
            streamAt_ += static_cast<std::size_t>(take);
            skipLeft_ -= take;
            if (skipLeft_ > 0) return Step::kNeedMore;
        }
        if (!findObjectStart()) return Step::kNeedMore;
        const std::size_t available = stream_.size() - streamAt_;
        if (available < kBaseHeaderSize) return Step::kNeedMore;
        const uint8_t* object = stream_.data() + streamAt_;
        objectPosition_ = positionOf(streamAt_);
        const uint16_t version = get16(object + 6);
        const uint32_t size = get32(object + 8);
        const uint32_t type = get32(object + 12);
        const uint32_t headerSize = version == 1 ? kHeaderSizeVersion1 : version == 2 ? kHeaderSizeVersion2 : 0;
        if (headerSize == 0 || size < headerSize || (isFrameObject(type) && size > kLargestFrameObject)) {
            report(IssueKind::kMalformed, objectPosition_, false,
                   headerSize == 0 ? "unknown object header version" : "object size not plausible for its type", type);
            streamAt_ += 4;  // look for the next object after this signature
            lostThread_ = true;
            return Step::kOther;
        }
        if (!isFrameObject(type)) {
            report(IssueKind::kUnknownEvent, objectPosition_, false, "object that is not a frame", type);
            skipLeft_ = size;
            return Step::kOther;
        }
        if (available < size) return Step::kNeedMore;
        streamAt_ += size;
        return readFrameObject(object, headerSize, size, type, record) ? Step::kFrame : Step::kOther;
    }

    // Moves to the next object signature: right here, after padding, or,
    // once the stream lost its thread, wherever the next one is.
    bool findObjectStart() {
        const std::size_t available = stream_.size() - streamAt_;
        if (available < 4) return false;
        const uint8_t* at = stream_.data() + streamAt_;
        if (std::memcmp(at, kObjectSignature, 4) == 0) {
            lostThread_ = false;
            return true;
        }
        const std::size_t searchLength = lostThread_ ? available : std::min(available, kPaddingSearch + 3);
        const auto* end = at + searchLength;
        const auto* found = std::search(at, end, kObjectSignature, kObjectSignature + 4);
        if (found != end) {
            streamAt_ += static_cast<std::size_t>(found - at);
            lostThread_ = false;
            return true;
        }
        if (!lostThread_ && available >= kPaddingSearch + 3) {
            report(IssueKind::kMalformed, positionOf(streamAt_), false, "no object where one must start");
            lostThread_ = true;
            return findObjectStart();
        }
        if (lostThread_) streamAt_ = stream_.size() - 3;  // a signature may straddle containers
        return false;
    }

    bool setTimestamp(const uint8_t* object, FrameRecord& record) {
        const uint32_t flags = get32(object + 16);
        const uint64_t ticks = get64(object + 24);
        const uint64_t factor = flags == kTimeTenMicroseconds ? 10000 : 1;
        if (ticks > static_cast<uint64_t>(INT64_MAX - startNs_) / factor) {
            report(IssueKind::kMalformed, objectPosition_, false, "timestamp out of range");
            return false;
        }
        record.timestampNs = startNs_ + static_cast<int64_t>(ticks * factor);
        record.seconds = static_cast<double>(record.timestampNs) / kNanosecondsPerSecond;
        return true;
    }

    // An ID too large for a standard frame is kept whole: the frame is taken
    // as extended, with a warning.
    void setId(uint32_t raw, FrameRecord& record) {
        record.id = raw & kExtendedIdMask;
        if ((raw & kExtendedIdBit) != 0) {
            record.flags |= kExtendedId;
        } else if (record.id > kLargestStandardId) {
            record.flags |= kExtendedId;
            report(IssueKind::kWarning, objectPosition_, false,
                   "standard frame with an ID above 7FF: taken as extended");
        }
    }

    static void setBusError(FrameRecord& record) {
        record.flags = kErrorFrame;
        record.id = kBusErrorClass;
        record.length = kClassicDataLength;
        record.dlc = kClassicDataLength;
    }

    static uint16_t channelOf(uint32_t stored) { return static_cast<uint16_t>(stored > 0 ? stored - 1 : 0); }

    bool readFrameObject(const uint8_t* object, uint32_t headerSize, uint32_t size, uint32_t type,
                         FrameRecord& record) {
        if (!fillFrame(object, headerSize, size, type, record)) return false;
        if (record.dlc <= 15) return true;
        report(IssueKind::kMalformed, objectPosition_, false, "DLC above 15", type);
        return false;
    }

    // Channel, direction, remote flag, DLC and ID: the head that CAN_MESSAGE,
    // CAN_MESSAGE2 and CAN_FD_MESSAGE objects share.
    void readMessageHead(const uint8_t* body, FrameRecord& record) {
        record.channel = channelOf(get16(body));
        record.direction = (body[2] & kMessageTransmitted) != 0 ? Direction::kTransmitted : Direction::kReceived;
        if ((body[2] & kMessageRemote) != 0) record.flags |= kRemoteFrame;
        record.dlc = body[3];
        setId(get32(body + 4), record);
    }
    bool fillFrame(const uint8_t* object, uint32_t headerSize, uint32_t size, uint32_t type, FrameRecord& record) {
        record = FrameRecord{};
        if (!setTimestamp(object, record)) return false;
        const uint8_t* body = object + headerSize;
        const uint32_t bodySize = size - headerSize;
        uint32_t needed = 0;
        switch (type) {
            case kCanMessage:
            case kCanMessage2: needed = kCanMessageSize; break;
            case kCanError:
            case kCanFdError64: needed = kCanErrorSize; break;
            case kCanErrorExtended: needed = kCanErrorExtendedSize; break;
            case kCanFdMessage: needed = kCanFdMessageSize; break;
            case kCanFdMessage64: needed = kCanFdMessage64Size; break;
        }
        if (bodySize < needed) {
            report(IssueKind::kMalformed, objectPosition_, false, "frame object smaller than its fields", type);
            return false;
        }
        switch (type) {
            case kCanMessage:
            case kCanMessage2: {
                readMessageHead(body, record);
                record.length = record.has(kRemoteFrame) ? 0 : std::min<uint8_t>(record.dlc, kClassicDataLength);
                std::memcpy(record.data, body + 8, record.length);
                return true;
            }
            case kCanErrorExtended: {
                // The ID field holds the SocketCAN error class when this
                // library wrote the object; recorders leave it 0 or all ones.
                record.channel = channelOf(get16(body));
                const uint32_t errorClass = get32(body + 16);
                if (errorClass == 0 || errorClass > kExtendedIdMask) {
                    setBusError(record);
                    return true;
                }
                record.flags = kErrorFrame;
                record.id = errorClass;
                record.length = std::min<uint8_t>(body[10], kClassicDataLength);
                record.dlc = record.length;
                std::memcpy(record.data, body + 24, record.length);
                return true;
            }
            case kCanError:
                record.channel = channelOf(get16(body));
                setBusError(record);
                return true;
            case kCanFdError64:
                record.channel = channelOf(body[0]);
                setBusError(record);
                return true;
            case kCanFdMessage: {
                const uint8_t validBytes = body[14];
                if (validBytes > kLargestDataLength) break;
                readMessageHead(body, record);
                const uint8_t fdFlags = body[13];
                if ((fdFlags & kFdExtendedDataLength) != 0) record.flags |= kFlexibleData;
                if ((fdFlags & kFdBitRateSwitch) != 0) record.flags |= kBitRateSwitch;
                if ((fdFlags & kFdErrorStateIndicator) != 0) record.flags |= kErrorStateIndicator;
                record.length = validBytes;
                std::memcpy(record.data, body + 20, validBytes);
                return true;
            }
            case kCanFdMessage64: {
                const uint8_t validBytes = body[2];
                if (validBytes > kLargestDataLength) break;
                record.channel = channelOf(body[0]);
                record.dlc = body[1];
                setId(get32(body + 4), record);
                const uint32_t flags = get32(body + 12);
                if ((flags & kFd64Remote) != 0) record.flags |= kRemoteFrame;
                if ((flags & kFd64ExtendedDataLength) != 0) record.flags |= kFlexibleData;
                if ((flags & kFd64BitRateSwitch) != 0) record.flags |= kBitRateSwitch;
                if ((flags & kFd64ErrorStateIndicator) != 0) record.flags |= kErrorStateIndicator;
                record.direction = body[34] != 0 ? Direction::kTransmitted : Direction::kReceived;
                record.length = validBytes;
                // Some writers declare more data than the object holds; the
                // bytes present are read and the rest are zeros, with a warning.
                const uint32_t present = std::min<uint32_t>(validBytes, bodySize - kCanFdMessage64Size);
                std::memcpy(record.data, body + kCanFdMessage64Size, present);
                if (present < validBytes)
                    report(IssueKind::kWarning, objectPosition_, false,
                           "CAN FD object holds fewer data bytes than it declares: the rest read as zeros", type);
                return true;
            }
        }
        report(IssueKind::kMalformed, objectPosition_, false, "more than 64 data bytes", type);
        return false;
    }

    ByteSource& source_;
    uint64_t fileOffset_ = 0;
    // Stream indices where the last two chunks (container contents or loose
    // objects) begin, and their positions in the file: see positionOf().
    int64_t currentStart_ = 0;
    uint64_t currentBase_ = 0;
    int64_t previousStart_ = 0;
    uint64_t previousBase_ = 0;
    uint64_t objectPosition_ = 0;
    std::vector<uint8_t> packed_;
    std::vector<uint8_t> lookahead_;  // read from the source, not yet consumed
    std::size_t lookaheadAt_ = 0;
    std::vector<uint8_t> stream_;
    std::size_t streamAt_ = 0;
    uint64_t skipLeft_ = 0;
    bool headerRead_ = false;
    bool endOfFile_ = false;
    bool lostThread_ = false;
    const char* inflateProblem_ = "";
#ifdef CANXLATE_HAVE_ZLIB
    z_stream zlib_{};
    bool zlibReady_ = false;
#endif
};

}  // namespace

std::unique_ptr<FrameReader> openBlfReader(ByteSource& source, const ReaderOptions& options) {
    return makeOrNull<BlfReader>(source, options);
}

}  // namespace canxlate::logs
