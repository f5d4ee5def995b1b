// ASC text logs: a header (date, number base, timestamp kind), then one event
// per line. CAN and CAN FD frame lines become records; error and remote frames
// are records flagged as such; other events are counted and passed over.
#include <cctype>
#include <cstring>
#include <new>

#include "canxlate/logs/frame_reader.h"
#include "canxlate/logs/hex_text.h"
#include "canxlate/logs/text_log_reader.h"
#include "canxlate/logs/time_text.h"

namespace canxlate::logs {
namespace {

constexpr int kMaxTokens = 96;  // a CAN FD line: 10 fields, 64 bytes, 8 trailing fields
constexpr int kFlexibleDataTrailer = 8;
constexpr uint32_t kAscRemote = 0x10;  // bits of a CANFD line's flags field
constexpr uint32_t kAscExtendedDataLength = 0x1000;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool allDigits(std::string_view token) {
    if (token.empty()) return false;
    for (char c : token)
        if (decimalValue(c) == kNotDigit) return false;
    return true;
}

// A number of the given base (16 or 10) up to limit.
bool parseNumber(std::string_view token, int base, uint32_t limit, uint32_t& value) {
    if (token.empty()) return false;
    uint64_t result = 0;
    for (char c : token) {
        const int digit = base == 16 ? hexValue(c) : decimalValue(c);
        if (digit == kNotDigit) return false;
        result = result * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (result > limit) return false;
    }
    value = static_cast<uint32_t>(result);
    return true;
}

// "Sep 30 15:06:13.191 2017" or "Sep 30 03:06:13.191 pm 2017" (English or
// German month abbreviations) into nanoseconds since 1970, read as UTC.
bool parseDate(const std::string_view* tokens, int count, int64_t& nanoseconds) {
    static constexpr std::string_view kMonths[][2] = {
        {"jan", "jan"}, {"feb", "feb"}, {"mar", "m\xC3\xA4r"}, {"apr", "apr"}, {"may", "mai"}, {"jun", "jun"},
        {"jul", "jul"}, {"aug", "aug"}, {"sep", "sep"},        {"oct", "okt"}, {"nov", "nov"}, {"dec", "dez"}};
    if (count != 4 && count != 5) return false;
    CivilTime time;
    time.month = 0;
    for (int m = 0; m < 12; ++m)
        if (equalsIgnoringCase(tokens[0], kMonths[m][0]) || equalsIgnoringCase(tokens[0], kMonths[m][1]))
            time.month = m + 1;
    uint32_t day = 0;
    uint32_t year = 0;
    if (time.month == 0 || !parseNumber(tokens[1], 10, 31, day) || !parseNumber(tokens[count - 1], 10, 9999, year))
        return false;
    time.day = static_cast<int>(day);
    time.year = static_cast<int>(year);
    // hh:mm:ss[.fraction]
    const std::string_view clock = tokens[2];
    uint32_t hour = 0;
    uint32_t minute = 0;
    uint32_t second = 0;
    if (clock.size() < 8 || clock[2] != ':' || clock[5] != ':' || !parseNumber(clock.substr(0, 2), 10, 23, hour) ||
        !parseNumber(clock.substr(3, 2), 10, 59, minute))
        return false;
    int64_t secondsNs = 0;
    if (!parseSeconds(clock.substr(6), secondsNs) || secondsNs >= 61 * kNanosecondsPerSecond) return false;
    second = static_cast<uint32_t>(secondsNs / kNanosecondsPerSecond);
    if (count == 5) {
        const bool pm = equalsIgnoringCase(tokens[3], "pm");
        if ((!pm && !equalsIgnoringCase(tokens[3], "am")) || hour < 1 || hour > 12) return false;
        hour = hour % 12 + (pm ? 12 : 0);
    }
    time.hour = static_cast<int>(hour);
    time.minute = static_cast<int>(minute);
    time.second = static_cast<int>(second);
    time.millisecond = 0;
    if (!nanosecondsFromCivil(time, nanoseconds)) return false;
    nanoseconds += secondsNs % kNanosecondsPerSecond;
    return true;
}

class AscReader final : public TextLogReader {
public:
    AscReader(ByteSource& source, const ReaderOptions& options) : TextLogReader(source, options) {}

private:
    void unknownEvent() { report(IssueKind::kUnknownEvent, lineNumber_, true, "event that is not a frame"); }

    // Splits at blanks, up to kMaxTokens fields.
    void split(std::string_view line) {
        tokenCount_ = 0;
        tokensDropped_ = false;
        std::size_t at = 0;
        while (at < line.size()) {
            while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == '\r')) ++at;
            if (at == line.size()) break;
            const std::size_t start = at;
            while (at < line.size() && line[at] != ' ' && line[at] != '\t' && line[at] != '\r') ++at;
            if (tokenCount_ == kMaxTokens) {
                tokensDropped_ = true;
                return;
            }
            tokens_[tokenCount_++] = line.substr(start, at - start);
        }
    }

    // Header lines; true when the line was one.
    bool readHeaderLine() {
        const std::string_view first = tokens_[0];
        if (first.starts_with("//")) return true;
        if (equalsIgnoringCase(first, "date")) {
            if (tokenCount_ < 3 || !parseDate(tokens_ + 2, tokenCount_ - 2, startNs_))
                malformed("date not understood; timestamps stay relative to the start");
            return true;
        }
        if (equalsIgnoringCase(first, "base")) {
            if (tokenCount_ >= 2 && equalsIgnoringCase(tokens_[1], "dec")) {
                base_ = 10;
            } else if (tokenCount_ >= 2 && equalsIgnoringCase(tokens_[1], "hex")) {
                base_ = 16;
            } else {
                malformed("base is neither hex nor dec");
            }
            if (tokenCount_ >= 4 && equalsIgnoringCase(tokens_[2], "timestamps"))
                relative_ = equalsIgnoringCase(tokens_[3], "relative");
            return true;
        }
        if (equalsIgnoringCase(first, "begin") && tokenCount_ >= 2 && equalsIgnoringCase(tokens_[1], "triggerblock")) {
            int64_t start = 0;
            if (tokenCount_ > 3 && parseDate(tokens_ + 3, tokenCount_ - 3, start)) startNs_ = start;
            havePrevious_ = false;
            return true;
        }
        if (equalsIgnoringCase(first, "end") && tokenCount_ >= 2 && equalsIgnoringCase(tokens_[1], "triggerblock"))
            return true;
        if (equalsIgnoringCase(first, "internal")) return true;
        if (equalsIgnoringCase(first, "no") && tokenCount_ >= 2 && equalsIgnoringCase(tokens_[1], "internal"))
            return true;
        return false;
    }

    bool readLine(std::string_view line, FrameRecord& record) override {
        split(line);
        if (tokenCount_ == 0 || readHeaderLine()) return false;
        int64_t offset = 0;
        if (!parseSeconds(tokens_[0], offset)) {
            malformed("neither a header line nor an event with a timestamp");
            return false;
        }
        if (tokenCount_ == 4 && equalsIgnoringCase(tokens_[1], "Start") &&
            equalsIgnoringCase(tokens_[3], "measurement"))
            return false;  // the first event of every log
        if (tokenCount_ < 3) {
            unknownEvent();
            return false;
        }
        record = FrameRecord{};
        const int64_t base = relative_ && havePrevious_ ? previousNs_ : startNs_;
        if (offset > INT64_MAX - base) {
            malformed("timestamp out of range");
            return false;
        }
        record.timestampNs = base + offset;
        record.seconds = static_cast<double>(record.timestampNs) / kNanosecondsPerSecond;
        // Relative times count from the event before; a line that cannot be
        // read is no event, and the next counts as if it were absent.
        const uint64_t malformedBefore = counts_.malformed;
        bool isFrame = false;
        if (equalsIgnoringCase(tokens_[1], "CANFD")) {
            isFrame = readFlexibleDataFrame(record);
        } else if (!allDigits(tokens_[1])) {
            unknownEvent();
        } else {
            isFrame = readClassicFrame(record);
        }
        if (counts_.malformed == malformedBefore) {
            previousNs_ = record.timestampNs;
            havePrevious_ = true;
        }
        return isFrame;
    }

    bool setChannel(std::string_view token, FrameRecord& record) {
        uint32_t channel = 0;
        if (!parseNumber(token, 10, 0x10000, channel)) return false;
        record.channel = static_cast<uint16_t>(channel > 0 ? channel - 1 : 0);
        return true;
    }

    bool setDirection(std::string_view token, FrameRecord& record) {
        if (equalsIgnoringCase(token, "Rx")) {
            record.direction = Direction::kReceived;
        } else if (equalsIgnoringCase(token, "Tx")) {
            record.direction = Direction::kTransmitted;
        } else {
            return false;
        }
        return true;
    }

    bool setId(std::string_view token, FrameRecord& record) {
        if (!token.empty() && (token.back() == 'x' || token.back() == 'X')) {
            token.remove_suffix(1);
            record.flags |= kExtendedId;
        }
        const uint32_t limit = record.has(kExtendedId) ? kExtendedIdMask : kLargestStandardId;
        return parseNumber(token, base_, limit, record.id);
    }

    bool readBytes(int first, int length, FrameRecord& record) {
        if (tokenCount_ - first < length) return false;
        for (int i = 0; i < length; ++i) {
            uint32_t byte = 0;
            if (!parseNumber(tokens_[first + i], base_, 0xFF, byte)) return false;
            record.data[i] = static_cast<uint8_t>(byte);
        }
        record.length = static_cast<uint8_t>(length);
        return true;
    }

    // time channel id Rx|Tx d dlc bytes... | time channel id Rx|Tx r [dlc] | time channel ErrorFrame ...
    bool readClassicFrame(FrameRecord& record) {
        if (!setChannel(tokens_[1], record)) {
            malformed("channel above 65536");
            return false;
        }
        if (equalsIgnoringCase(tokens_[2], "ErrorFrame")) {
            setErrorFrame(record);
            return true;
        }
        if (tokenCount_ < 5 || !setDirection(tokens_[3], record)) {
            unknownEvent();
            return false;
        }
        if (!setId(tokens_[2], record)) {
            malformed("bad CAN ID");
            return false;
        }
        uint32_t dlc = 0;
        if (equalsIgnoringCase(tokens_[4], "r")) {
            record.flags |= kRemoteFrame;
            int end = 5;
            if (tokenCount_ > 5 && parseNumber(tokens_[5], base_, 15, dlc)) {
                record.dlc = static_cast<uint8_t>(dlc);
                end = 6;
            }
            return onlyNamedValuesFrom(end);
        }
        if (!equalsIgnoringCase(tokens_[4], "d") || tokenCount_ < 6 ||
            !parseNumber(tokens_[5], base_, kLargestDataLength, dlc)) {
            malformed("bad frame type or DLC");
            return false;
        }
        // Some writers give a CAN FD frame a classic line with its length
        // (up to 64) where the DLC goes: read as that many bytes, with a warning.
        const bool lengthForDlc = dlc > 15;
        record.dlc = static_cast<uint8_t>(lengthForDlc ? dlcOfLength(static_cast<int>(dlc)) : dlc);
        const int length = lengthForDlc ? static_cast<int>(dlc) : dlc < 8 ? static_cast<int>(dlc) : 8;
        if (!readBytes(6, length, record)) {
            malformed("data bytes missing or not numbers");
            return false;
        }
        if (!onlyNamedValuesFrom(6 + length)) return false;
        if (lengthForDlc)
            report(IssueKind::kWarning, lineNumber_, true, "a length above 15 where the DLC goes: read as CAN FD");
        return true;
    }

    // What newer loggers append to a frame line: "Length = 240015 BitCount =
    // 124 ID = 1785". Anything else after the data is reported.
    bool onlyNamedValuesFrom(int at) {
        bool fine = true;
        for (; at < tokenCount_ && fine; at += 3)
            fine = at + 2 < tokenCount_ && tokens_[at + 1] == "=" && !allDigits(tokens_[at]);
        return endsAsItMay(fine);
    }

    // True when what follows the data is what the line may hold (and the
    // line was not cut at kMaxTokens); else reported.
    bool endsAsItMay(bool trailerFine) {
        if (trailerFine && !tokensDropped_) return true;
        malformed("unexpected text after the data");
        return false;
    }

    // An error frame as SocketCAN has it: a bus error with 8 zero bytes. The
    // line says nothing more that a frame could hold.
    static void setErrorFrame(FrameRecord& record) {
        record.flags = kErrorFrame;
        record.direction = Direction::kUnknown;
        record.id = kBusErrorClass;
        record.length = kClassicDataLength;
        record.dlc = kClassicDataLength;
    }

    // time CANFD channel Rx|Tx id [name] brs esi dlc length bytes... [duration bits flags ...]
    bool readFlexibleDataFrame(FrameRecord& record) {
        if (tokenCount_ < 5 || !setDirection(tokens_[3], record)) {
            unknownEvent();
            return false;
        }
        if (!setChannel(tokens_[2], record)) {
            malformed("channel above 65536");
            return false;
        }
        if (equalsIgnoringCase(tokens_[4], "ErrorFrame")) {
            setErrorFrame(record);
            return true;
        }
        record.flags |= kFlexibleData;
        if (!setId(tokens_[4], record)) {
            malformed("bad CAN ID");
            return false;
        }
        int at = 5;
        if (at < tokenCount_ && !allDigits(tokens_[at])) ++at;  // symbolic name
        uint32_t brs = 0;
        uint32_t esi = 0;
        uint32_t dlc = 0;
        uint32_t length = 0;
        if (tokenCount_ < at + 4 || !parseNumber(tokens_[at], 10, 1, brs) ||
            !parseNumber(tokens_[at + 1], 10, 1, esi) || !parseNumber(tokens_[at + 2], base_, 15, dlc) ||
            !parseNumber(tokens_[at + 3], 10, 64, length)) {
            malformed("bad CAN FD flags, DLC or length");
            return false;
        }
        if (!readBytes(at + 4, static_cast<int>(length), record)) {
            malformed("data bytes missing or not numbers");
            return false;
        }
        record.dlc = static_cast<uint8_t>(dlc);
        if (brs != 0) record.flags |= kBitRateSwitch;
        if (esi != 0) record.flags |= kErrorStateIndicator;
        // The flags field after the duration and bit count tells classic
        // frames (no EDL bit) and remote frames apart; without it a frame
        // without data is a remote request.
        const int trailerAt = at + 4 + static_cast<int>(length);
        const int flagsAt = trailerAt + 2;
        uint32_t flags = 0;
        if (flagsAt < tokenCount_ && parseNumber(tokens_[flagsAt], 16, 0xFFFFFFFF, flags)) {
            if ((flags & kAscExtendedDataLength) == 0) record.flags &= static_cast<uint16_t>(~kFlexibleData);
            if ((flags & kAscRemote) != 0) record.flags |= kRemoteFrame;
        } else if (length == 0) {
            record.flags |= kRemoteFrame;
        }
        if (record.has(kRemoteFrame)) record.flags &= static_cast<uint16_t>(~kFlexibleData);
        // Duration, bit count, flags, CRC and four bit timings: numbers only.
        bool fine = tokenCount_ - trailerAt <= kFlexibleDataTrailer;
        for (int i = trailerAt; i < tokenCount_ && fine; ++i) {
            uint32_t ignored = 0;
            fine = parseNumber(tokens_[i], 16, 0xFFFFFFFF, ignored);
        }
        return endsAsItMay(fine);
    }

    int base_ = 16;
    bool relative_ = false;
    int64_t previousNs_ = 0;
    bool havePrevious_ = false;
    std::string_view tokens_[kMaxTokens];
    int tokenCount_ = 0;
    bool tokensDropped_ = false;  // the line had more than kMaxTokens fields
};

}  // namespace

std::unique_ptr<FrameReader> openAscReader(ByteSource& source, const ReaderOptions& options) {
    return makeOrNull<AscReader>(source, options);
}

}  // namespace canxlate::logs
