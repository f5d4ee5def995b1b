// candump logs, log-file and screen forms, line by line.
#include <cstring>
#include <new>

#include "canxlate/logs/candump_line.h"
#include "canxlate/logs/frame_reader.h"
#include "canxlate/logs/text_log_reader.h"
#include "canxlate/logs/time_text.h"

namespace canxlate::logs {
namespace {

// The channel number at the end of an interface name: can0 -> 0, vcan12 -> 12.
uint16_t channelOfInterface(std::string_view name) {
    std::size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
    unsigned value = 0;
    for (std::size_t i = digits; i < name.size() && value <= 0xFFFF; ++i) value = value * 10 + unsigned(name[i] - '0');
    return value <= 0xFFFF ? static_cast<uint16_t>(value) : 0;
}

class CandumpReader final : public TextLogReader {
public:
    CandumpReader(ByteSource& source, const ReaderOptions& options) : TextLogReader(source, options) {}

private:
    bool readLine(std::string_view line, FrameRecord& record) override {
        record = FrameRecord{};
        const ParsedLine parsed = parseLogLine(line, record.data);
        if (parsed.kind == LineKind::kBlank) return false;
        if (parsed.kind == LineKind::kMalformed) {
            malformed(parsed.problem.data());
            return false;
        }
        const LogFrame& frame = parsed.frame;
        if (!frame.timestamp.empty() && !parseSeconds(frame.timestamp, record.timestampNs)) {
            malformed("timestamp is not a number of seconds");
            return false;
        }
        if (frame.interfaceName.size() >= kInterfaceNameCapacity) {
            malformed("interface name longer than 15 characters");
            return false;
        }
        record.seconds = static_cast<double>(record.timestampNs) / kNanosecondsPerSecond;
        std::memcpy(record.interfaceName, frame.interfaceName.data(), frame.interfaceName.size());
        record.channel = channelOfInterface(frame.interfaceName);
        record.id = frame.id;
        record.length = frame.length;
        record.dlc = frame.dlc;
        if (frame.extended) record.flags |= kExtendedId;
        if (frame.flexibleDataForm || frame.kind == FrameKind::kFlexibleData) record.flags |= kFlexibleData;
        if (frame.flexibleDataForm || frame.length > kClassicDataLength)
            record.dlc = static_cast<uint8_t>(dlcOfLength(frame.length));
        if ((frame.flexibleDataFlags & 1) != 0) record.flags |= kBitRateSwitch;
        if ((frame.flexibleDataFlags & 2) != 0) record.flags |= kErrorStateIndicator;
        if (frame.direction != 0)
            record.direction = frame.direction == 'T' ? Direction::kTransmitted : Direction::kReceived;
        if (frame.kind == FrameKind::kRemote) record.flags |= kRemoteFrame;
        if (frame.kind == FrameKind::kError) record.flags |= kErrorFrame;
        return true;
    }
};

}  // namespace

std::unique_ptr<FrameReader> openCandumpReader(ByteSource& source, const ReaderOptions& options) {
    return makeOrNull<CandumpReader>(source, options);
}

}  // namespace canxlate::logs
