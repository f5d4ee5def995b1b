// candump logs, log-file and screen forms, line by line.
#include <array>
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
// not yet given. Each name keeps its channel for the whole log. The first
// few names, all that most logs have, are found without hashing.
class InterfaceChannels {
public:
    struct Known {
        std::string_view name;
        uint16_t channel = 0;
        char padded[kInterfaceNameCapacity] = {};  // the name and zeros, as a record holds it
    };

    // One of the first names seen, or null.
    const Known* firstNamed(std::string_view name) const {
        for (std::size_t i = 0; i < firstCount_; ++i)
            if (first_[i].name == name) return &first_[i];
        return nullptr;
    }
    // Any name (the first ones too); false when the name is new and the table is full.
    bool channelOf(std::string_view name, uint16_t& channel) {
        if (const auto found = byName_.find(name); found != byName_.end()) {
            channel = found->second;
            return true;
        }
        if (byName_.size() == kLargestInterfaceCount) return false;
        channel = channelOfInterface(name);
        if (taken_[channel]) {
            while (taken_[lowestFree_]) ++lowestFree_;  // fewer names than channels: ends
            channel = static_cast<uint16_t>(lowestFree_);
        }
        taken_[channel] = true;
        const auto added = byName_.emplace(std::string(name), channel).first;  // keys stay where they are
        names_.emplace(channel, std::string(name));
        if (firstCount_ < first_.size()) {
            Known& known = first_[firstCount_++];
            known.name = added->first;
            known.channel = channel;
            std::memcpy(known.padded, name.data(), name.size());  // shorter than the capacity
        }
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
    std::array<Known, 8> first_{};
    std::size_t firstCount_ = 0;
};

class CandumpReader final : public TextLogReader {
public:
    CandumpReader(ByteSource& source, const ReaderOptions& options) : TextLogReader(source, options) {}

private:
    bool readLine(std::string_view text, FrameRecord& record) override {
        const CandumpLine line = parseLogLine(text, record);
        if (line.kind == LineKind::kBlank) return false;
        if (line.kind == LineKind::kMalformed) {
            malformed(line.problem);
            return false;
        }
        record.timestampNs = 0;
        if (!line.timestamp.empty() && !seconds_.read(line.timestamp, record.timestampNs)) {
            malformed("timestamp is not a number of seconds");
            return false;
        }
        record.seconds = static_cast<double>(record.timestampNs) / kNanosecondsPerSecond;
        const std::string_view name = line.interfaceName;
        if (const InterfaceChannels::Known* known = channels_.firstNamed(name)) {
            record.channel = known->channel;
            std::memcpy(record.interfaceName, known->padded, sizeof record.interfaceName);
            return true;
        }
        if (name.size() >= kInterfaceNameCapacity) {
            malformed("interface name longer than 15 characters");
            return false;
        }
        if (name.find('\0') != std::string_view::npos) {
            malformed("interface name with a zero byte");
            return false;
        }
        if (!channels_.channelOf(name, record.channel)) {
            malformed("more than 4096 interface names");
            return false;
        }
        std::memset(record.interfaceName, 0, sizeof record.interfaceName);
        std::memcpy(record.interfaceName, name.data(), name.size());
        return true;
    }

    const char* channelName(uint16_t channel) const override { return channels_.nameOf(channel); }

    InterfaceChannels channels_;
    SecondsReader seconds_;
};

}  // namespace

std::unique_ptr<FrameReader> openCandumpReader(ByteSource& source, const ReaderOptions& options) {
    return makeOrNull<CandumpReader>(source, options);
}

}  // namespace canxlate::logs
