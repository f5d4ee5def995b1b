#include "canxlate/logs/frame_writer.h"

#include <new>

namespace canxlate::logs {

std::unique_ptr<FrameWriter> openCandumpWriter(ByteSink& sink);
std::unique_ptr<FrameWriter> openAscWriter(ByteSink& sink);
std::unique_ptr<FrameWriter> openBlfWriter(ByteSink& sink);

const char* FrameWriter::refusal(const FrameRecord& record) const {
    if (record.length > kLargestDataLength) return "more than 64 data bytes";
    if (record.has(kErrorFrame)) {
        if (record.flags != kErrorFrame) return "an error frame with ID kind, CAN FD or remote flags";
        if (record.id > kExtendedIdMask) return "error class above 29 bits";
        if (record.length > kClassicDataLength || record.dlc != record.length)
            return "an error frame has up to 8 data bytes and their count as DLC";
        return formatRefusal(record);
    }
    if (record.id > (record.has(kExtendedId) ? kExtendedIdMask : kLargestStandardId))
        return record.has(kExtendedId) ? "extended ID above 1FFFFFFF" : "standard ID above 7FF";
    if (record.dlc > 15) return "DLC above 15";
    if (record.has(kRemoteFrame)) {
        if (record.has(kFlexibleData)) return "a CAN FD frame has no remote form";
        if (record.length != 0) return "a remote frame with data";
    } else if (!record.has(kFlexibleData) &&
               record.length != (record.dlc < kClassicDataLength ? record.dlc : kClassicDataLength)) {
        return "a classic frame whose length is not its DLC (up to 8)";
    }
    if (!record.has(kFlexibleData) && (record.has(kBitRateSwitch) || record.has(kErrorStateIndicator)))
        return "bit rate switch or error state on a classic frame";
    return formatRefusal(record);
}

bool FrameWriter::write(const FrameRecord* records, std::size_t count) {
    if (failed_) return false;
    for (std::size_t i = 0; i < count; ++i)
        if (refusal(records[i]) != nullptr) return false;
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
