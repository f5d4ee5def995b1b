// candump logs, log-file and screen forms, line by line.
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "canxlate/logs/candump_line.h"
#include "canxlate/logs/frame_reader.h"
#include "canxlate/logs/text_log_reader.h"
#include "canxlate/logs/time_text.h"

namespace canxlate::logs {
namespace {

// Interfaces a log may name; a frame of one more is reported and skipped.
constexpr std::size_t kLargestInterfaceCount = 4096;
constexpr std::size_t kChannelCount = std::size_t{1} << 16;

// The channel number at the end of an interface name: can0 -> 0, vcan12 -> 12.
uint16_t channelOfInterface(std::string_view name) {
    std::size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
    unsigned value = 0;
    for (std::size_t i = digits; i < name.size() && value <= 0xFFFF; ++i) value = value * 10 + unsigned(name[i] - '0');
    return value <= 0xFFFF ? static_cast<uint16_t>(value) : 0;
}

struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
};

// Channel numbers for interface names: the number the name ends in, unless
// another name (can0 and vcan0) has it already; then the smallest number
// not yet given. Each name keeps its channel for the whole log.
class InterfaceChannels {
public:
    // False when the name is new and the table is full.
    bool channelOf(std::string_view name, uint16_t& channel) {
        if (name == lastName_) {
            channel = lastChannel_;
            return true;
        }
        if (const auto found = byName_.find(name); found != byName_.end()) {
            channel = found->second;
        } else {
            if (byName_.size() == kLargestInterfaceCount) return false;
            channel = channelOfInterface(name);
            if (taken_[channel]) {
                while (taken_[lowestFree_]) ++lowestFree_;  // fewer names than channels: ends
                channel = static_cast<uint16_t>(lowestFree_);
            }
            taken_[channel] = true;
            byName_.emplace(std::string(name), channel);
            names_.emplace(channel, std::string(name));
        }
        lastName_ = names_[channel];
        lastChannel_ = channel;
        return true;
    }
    const char* nameOf(uint16_t channel) const {
        const auto found = names_.find(channel);
        return found == names_.end() ? nullptr : found->second.c_str();
    }

private:
    std::unordered_map<std::string, uint16_t, NameHash, std::equal_to<>> byName_;
    std::unordered_map<uint16_t, std::string> names_;
    std::vector<bool> taken_ = std::vector<bool>(kChannelCount);
    std::size_t lowestFree_ = 0;
    std::string lastName_;
    uint16_t lastChannel_ = 0;
};

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
        if (frame.interfaceName.find('\0') != std::string_view::npos) {
            malformed("interface name with a zero byte");
            return false;
        }
        record.seconds = static_cast<double>(record.timestampNs) / kNanosecondsPerSecond;
        if (!channels_.channelOf(frame.interfaceName, record.channel)) {
            malformed("more than 4096 interface names");
            return false;
        }
        std::memcpy(record.interfaceName, frame.interfaceName.data(), frame.interfaceName.size());
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

    const char* channelName(uint16_t channel) const override { return channels_.nameOf(channel); }

    InterfaceChannels channels_;
};

}  // namespace

std::unique_ptr<FrameReader> openCandumpReader(ByteSource& source, const ReaderOptions& options) {
    return makeOrNull<CandumpReader>(source, options);
}

}  // namespace canxlate::logs
