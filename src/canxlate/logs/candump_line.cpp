#include "canxlate/logs/candump_line.h"

#include <cstring>

#include "canxlate/logs/hex_text.h"
#include "canxlate/logs/text_words.h"

namespace canxlate::logs {
namespace {

constexpr int kLargestFlexibleDataFlags = 7;
// Bit 30 of an 8-digit ID: neither ID nor error flag; bit 31, the extended
// flag, only repeats what 8 digits say.
constexpr uint32_t kNoIdBit = 0x40000000;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// A position in the line; every step checks the end.
struct Cursor {
    const char* at;
    const char* end;

    bool atEnd() const { return at == end; }
    char peek() const { return at == end ? '\0' : *at; }
    void skipBlanks() {
        while (at != end && isBlank(*at)) ++at;
    }
    std::string_view takeToken() {
        const char* start = at;
        at = findBlank(at, end);
        return {start, static_cast<std::size_t>(at - start)};
    }
    std::string_view rest() const { return {at, static_cast<std::size_t>(end - at)}; }
};

CandumpLine malformed(const char* problem) {
    CandumpLine result;
    result.kind = LineKind::kMalformed;
    result.problem = problem;
    return result;
}

// Three digits for a standard ID, eight for an extended one; an error frame
// when 8 digits carry the error flag. The problem, or null.
const char* readId(std::string_view digits, FrameRecord& record) {
    if (digits.size() != 3 && digits.size() != 8) return "CAN ID must have 3 or 8 hex digits";
    uint32_t value = 0;
    unsigned notDigit = 0;  // above 15 once any character is no hex digit
    for (char c : digits) {
        const unsigned digit = hexNibble(c);
        notDigit |= digit;
        value = value << 4 | (digit & 0xF);
    }
    if (notDigit > 0xF) return "CAN ID is not hexadecimal";
    if (digits.size() == 3) {
        if (value > kLargestStandardId) return "standard CAN ID above 7FF";
        record.id = value;
        return nullptr;
    }
    if ((value & kNoIdBit) != 0) return "CAN ID with bit 30 (40000000) set, which is no ID bit";
    record.id = value & kExtendedIdMask;
    record.flags |= (value & kErrorFrameFlag) != 0 ? kErrorFrame : kExtendedId;
    return nullptr;
}

// Pairs of hex digits filling the whole of [at, end), the common shape: the
// byte count, or -1 when the text is anything else (dots, a DLC suffix, an
// odd digit, more than 64 bytes), which readDottedData then reads.
int readPlainData(const char* at, const char* end, uint8_t* data) {
    const auto digits = static_cast<std::size_t>(end - at);
    if (digits % 2 != 0 || digits > 2 * static_cast<std::size_t>(kLargestDataLength)) return -1;
    unsigned notDigit = 0;
    for (std::size_t i = 0; i < digits / 2; ++i) {
        const unsigned high = hexNibble(at[2 * i]);
        const unsigned low = hexNibble(at[2 * i + 1]);
        notDigit |= high | low;
        data[i] = static_cast<uint8_t>(high << 4 | (low & 0xF));
    }
    return notDigit > 0xF ? -1 : static_cast<int>(digits / 2);
}

// The data after '#' (or after "##" and the flags digit), up to a DLC suffix
// or the end: pairs of hex digits, optionally separated by dots.
const char* readDottedData(Cursor& cursor, FrameRecord& record) {
    int count = 0;
    while (!cursor.atEnd()) {
        if (cursor.peek() == '.' && count > 0) {
            ++cursor.at;
            continue;
        }
        if (cursor.peek() == '_') break;
        const int high = hexValue(*cursor.at);
        if (high == kNotDigit) return "data is not hexadecimal";
        ++cursor.at;
        if (cursor.atEnd()) return "odd number of hex digits in the data";
        const int low = hexValue(*cursor.at);
        if (low == kNotDigit) return "data is not hexadecimal";
        ++cursor.at;
        if (count == kLargestDataLength) return "more than 64 data bytes";
        record.data[count++] = static_cast<uint8_t>(high << 4 | low);
    }
    record.length = static_cast<uint8_t>(count);
    return nullptr;
}

const char* readCompactData(Cursor& cursor, FrameRecord& record) {
    if (const int count = readPlainData(cursor.at, cursor.end, record.data); count >= 0) {
        record.length = static_cast<uint8_t>(count);
        cursor.at = cursor.end;
        return nullptr;
    }
    std::memset(record.data, 0, sizeof record.data);  // what the plain reading left
    return readDottedData(cursor, record);
}

// ID#DATA, ID#R, ID#R<dlc>, ID##<flags><DATA>, ID#DATA_<dlc> (the first # at
// hash), then R or T for the direction when the log records it.
const char* readCompactFrame(std::string_view token, std::size_t hash, Cursor rest, FrameRecord& record) {
    if (const char* problem = readId(token.substr(0, hash), record)) return problem;
    Cursor cursor{token.data() + hash + 1, token.data() + token.size()};
    const bool errorFrame = record.has(kErrorFrame);
    if (cursor.peek() == '#') {
        ++cursor.at;
        const int flags = cursor.atEnd() ? kNotDigit : hexValue(*cursor.at);
        if (flags == kNotDigit) return "CAN FD frame without its flags digit";
        // 1 bit rate switch, 2 error state, 4 the CAN FD mark newer kernels add.
        if (flags > kLargestFlexibleDataFlags) return "CAN FD flags digit above 7";
        if (errorFrame) return "an error frame is not a CAN FD frame";
        ++cursor.at;
        if (const char* problem = readCompactData(cursor, record)) return problem;
        if (!cursor.atEnd()) return "unexpected text in the data";
        record.flags |= kFlexibleData;
        if ((flags & 1) != 0) record.flags |= kBitRateSwitch;
        if ((flags & 2) != 0) record.flags |= kErrorStateIndicator;
        record.dlc = static_cast<uint8_t>(dlcOfLength(record.length));
    } else if (cursor.peek() == 'R' || cursor.peek() == 'r') {
        ++cursor.at;
        if (!cursor.atEnd() && hexValue(*cursor.at) != kNotDigit)  // requested length
            record.dlc = static_cast<uint8_t>(hexValue(*cursor.at++));
        if (!cursor.atEnd()) return "unexpected text after a remote request";
        if (!errorFrame) record.flags |= kRemoteFrame;
    } else {
        if (const char* problem = readCompactData(cursor, record)) return problem;
        record.dlc = record.length;
        if (cursor.peek() == '_') {
            // An 8-byte classic frame may carry its raw DLC (9..15) as _<digit>.
            ++cursor.at;
            if (record.length != kClassicDataLength || cursor.atEnd() || hexValue(*cursor.at) <= kClassicDataLength)
                return "misplaced DLC suffix";
            record.dlc = static_cast<uint8_t>(hexValue(*cursor.at++));
        }
        if (!cursor.atEnd()) return "unexpected text in the data";
        if (record.length > kClassicDataLength) return "more than 8 data bytes after a single #";
    }
    rest.skipBlanks();
    const std::string_view direction = rest.takeToken();
    rest.skipBlanks();
    if (!rest.atEnd() || direction.size() > 1) return "unexpected text after the frame";
    if (direction.size() == 1) {
        const char letter = static_cast<char>(direction[0] & ~0x20);  // upper case
        if (letter != 'R' && letter != 'T') return "unexpected text after the frame";
        record.direction = letter == 'T' ? Direction::kTransmitted : Direction::kReceived;
    }
    return nullptr;
}

// ID   [len]  11 22 ...   (or "remote request" in place of the bytes)
const char* readScreenFrame(std::string_view idToken, Cursor cursor, FrameRecord& record) {
    if (const char* problem = readId(idToken, record)) return problem;
    cursor.skipBlanks();
    if (cursor.peek() != '[') return "neither ID#DATA nor a length in brackets";
    ++cursor.at;
    int length = 0;
    int lengthDigits = 0;
    while (!cursor.atEnd() && *cursor.at >= '0' && *cursor.at <= '9' && lengthDigits < 2) {
        length = length * 10 + (*cursor.at - '0');
        ++cursor.at;
        ++lengthDigits;
    }
    if (lengthDigits == 0 || cursor.peek() != ']') return "bad length in brackets";
    if (length > kLargestDataLength) return "length above 64";
    ++cursor.at;
    if (record.has(kErrorFrame)) return nullptr;  // error frames carry a description after the bytes

    cursor.skipBlanks();
    constexpr std::string_view kRemoteRequest = "remote request";
    if (cursor.rest().starts_with(kRemoteRequest)) {
        cursor.at += kRemoteRequest.size();
        cursor.skipBlanks();
        if (!cursor.atEnd()) return "unexpected text after a remote request";
        record.flags |= kRemoteFrame;
        return nullptr;
    }
    for (int index = 0; index < length; ++index) {
        if (index > 0) {
            if (cursor.atEnd()) return "fewer data bytes than the length says";
            if (!isBlank(cursor.peek())) return "data bytes must be separated by blanks";
            cursor.skipBlanks();
        }
        if (cursor.end - cursor.at < 2) return "fewer data bytes than the length says";
        const int high = hexValue(cursor.at[0]);
        const int low = hexValue(cursor.at[1]);
        if (high == kNotDigit || low == kNotDigit) return "data is not hexadecimal";
        cursor.at += 2;
        record.data[index] = static_cast<uint8_t>(high << 4 | low);
    }
    record.length = static_cast<uint8_t>(length);
    record.dlc = record.length;
    if (!cursor.atEnd() && !isBlank(cursor.peek())) return "data byte with more than 2 hex digits";
    cursor.skipBlanks();
    // candump -a appends the bytes as ASCII in single quotes.
    if (!cursor.atEnd() && cursor.peek() != '\'') return "more data bytes than the length says";
    if (length > kClassicDataLength) {
        record.flags |= kFlexibleData;
        record.dlc = static_cast<uint8_t>(dlcOfLength(length));
    }
    return nullptr;
}

}  // namespace

CandumpLine parseLogLine(std::string_view text, FrameRecord& record) {
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    Cursor cursor{text.data(), text.data() + text.size()};
    CandumpLine line;
    cursor.skipBlanks();
    if (cursor.atEnd()) return line;
    line.kind = LineKind::kFrame;

    if (cursor.peek() == '(') {
        const char* start = ++cursor.at;
        const char* close = findByte(start, cursor.end, ')');
        if (close == cursor.end) return malformed("timestamp without closing parenthesis");
        line.timestamp = {start, static_cast<std::size_t>(close - start)};
        if (line.timestamp.empty()) return malformed("empty timestamp");
        cursor.at = close + 1;
        if (!isBlank(cursor.peek())) return malformed("no blank after the timestamp");
        cursor.skipBlanks();
    }
    line.interfaceName = cursor.takeToken();
    cursor.skipBlanks();
    const std::string_view frameToken = cursor.takeToken();
    if (frameToken.empty()) return malformed("no frame after the interface name");
    record.id = 0;
    record.flags = 0;
    record.direction = Direction::kUnknown;
    record.dlc = 0;
    record.length = 0;
    std::memset(record.data, 0, sizeof record.data);
    const char* const tokenEnd = frameToken.data() + frameToken.size();
    const char* const hash = findByte(frameToken.data(), tokenEnd, '#');
    const char* problem =
        hash != tokenEnd
            ? readCompactFrame(frameToken, static_cast<std::size_t>(hash - frameToken.data()), cursor, record)
            : readScreenFrame(frameToken, cursor, record);
    return problem != nullptr ? malformed(problem) : line;
}

}  // namespace canxlate::logs
