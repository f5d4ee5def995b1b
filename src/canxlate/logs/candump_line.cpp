#include "canxlate/logs/candump_line.h"

#include "canxlate/logs/frame_record.h"
#include "canxlate/logs/hex_text.h"

namespace canxlate::logs {
namespace {

constexpr int kLargestFrameLength = kLargestDataLength;
constexpr int kClassicFrameLength = kClassicDataLength;
constexpr uint8_t kLargestFlexibleDataFlags = 7;

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
        while (at != end && !isBlank(*at)) ++at;
        return {start, static_cast<std::size_t>(at - start)};
    }
};

ParsedLine malformed(std::string_view problem) {
    ParsedLine result;
    result.kind = LineKind::kMalformed;
    result.problem = problem;
    return result;
}

// Three digits for a standard ID, eight for an extended one. Returns the
// problem, or an empty view when the ID is fine.
std::string_view readId(std::string_view digits, LogFrame& frame) {
    if (digits.size() != 3 && digits.size() != 8) return "CAN ID must have 3 or 8 hex digits";
    uint32_t value = 0;
    for (char c : digits) {
        const int digit = hexValue(c);
        if (digit == kNotDigit) return "CAN ID is not hexadecimal";
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    frame.extended = digits.size() == 8;
    if (!frame.extended && value > kLargestStandardId) return "standard CAN ID above 7FF";
    if (frame.extended && (value & kErrorFrameFlag) != 0) {
        // SocketCAN's error frames: the error class in the ID bits, no
        // extended ID of their own.
        frame.kind = FrameKind::kError;
        frame.extended = false;
    }
    frame.id = digits.size() == 8 ? value & kExtendedIdMask : value;
    return {};
}

void storeByte(LogFrame& frame, uint8_t* allData, int index, int high, int low) {
    const auto byte = static_cast<uint8_t>(high << 4 | low);
    if (index < kClassicFrameLength) frame.payload[static_cast<std::size_t>(index)] = byte;
    if (allData != nullptr) allData[index] = byte;
}

// The data after '#' (or after "##" and the flags digit): pairs of hex digits,
// optionally separated by dots.
std::string_view readCompactData(Cursor& cursor, LogFrame& frame, uint8_t* allData) {
    int count = 0;
    while (!cursor.atEnd() && !isBlank(cursor.peek())) {
        if (cursor.peek() == '.' && count > 0) {
            ++cursor.at;
            continue;
        }
        if (cursor.peek() == '_') break;
        const int high = hexValue(*cursor.at);
        if (high == kNotDigit) return "data is not hexadecimal";
        ++cursor.at;
        if (cursor.atEnd() || isBlank(cursor.peek())) return "odd number of hex digits in the data";
        const int low = hexValue(*cursor.at);
        if (low == kNotDigit) return "data is not hexadecimal";
        ++cursor.at;
        if (count == kLargestFrameLength) return "more than 64 data bytes";
        storeByte(frame, allData, count++, high, low);
    }
    frame.length = static_cast<uint8_t>(count);
    return {};
}

// ID#DATA, ID#R, ID#R<dlc>, ID##<flags><DATA>, ID#DATA_<dlc>.
ParsedLine parseCompactFrame(std::string_view token, Cursor rest, ParsedLine line, uint8_t* allData) {
    LogFrame& frame = line.frame;
    const std::size_t hash = token.find('#');
    if (const std::string_view problem = readId(token.substr(0, hash), frame); !problem.empty())
        return malformed(problem);
    Cursor cursor{token.data() + hash + 1, token.data() + token.size()};
    const bool errorFrame = frame.kind == FrameKind::kError;
    if (cursor.peek() == '#') {
        ++cursor.at;
        if (cursor.atEnd() || hexValue(*cursor.at) == kNotDigit)
            return malformed("CAN FD frame without its flags digit");
        frame.flexibleDataForm = true;
        frame.flexibleDataFlags = static_cast<uint8_t>(hexValue(*cursor.at));
        // 1 bit rate switch, 2 error state, 4 the CAN FD mark newer kernels add.
        if (frame.flexibleDataFlags > kLargestFlexibleDataFlags) return malformed("CAN FD flags digit above 7");
        if (errorFrame) return malformed("an error frame is not a CAN FD frame");
        ++cursor.at;
        if (const std::string_view problem = readCompactData(cursor, frame, allData); !problem.empty())
            return malformed(problem);
        if (!cursor.atEnd()) return malformed("unexpected text in the data");
        if (!errorFrame && frame.length > kClassicFrameLength) frame.kind = FrameKind::kFlexibleData;
    } else if (cursor.peek() == 'R' || cursor.peek() == 'r') {
        ++cursor.at;
        if (!cursor.atEnd() && hexValue(*cursor.at) != kNotDigit)  // requested length
            frame.dlc = static_cast<uint8_t>(hexValue(*cursor.at++));
        if (!cursor.atEnd()) return malformed("unexpected text after a remote request");
        if (!errorFrame) frame.kind = FrameKind::kRemote;
    } else {
        if (const std::string_view problem = readCompactData(cursor, frame, allData); !problem.empty())
            return malformed(problem);
        frame.dlc = frame.length;
        if (cursor.peek() == '_') {
            // An 8-byte classic frame may carry its raw DLC (9..15) as _<digit>.
            ++cursor.at;
            if (frame.length != kClassicFrameLength || cursor.atEnd() || hexValue(*cursor.at) <= kClassicFrameLength)
                return malformed("misplaced DLC suffix");
            frame.dlc = static_cast<uint8_t>(hexValue(*cursor.at++));
        }
        if (!cursor.atEnd()) return malformed("unexpected text in the data");
        if (frame.length > kClassicFrameLength) return malformed("more than 8 data bytes after a single #");
    }
    // Logs that record the direction end with R (received) or T (transmitted).
    rest.skipBlanks();
    const std::string_view direction = rest.takeToken();
    rest.skipBlanks();
    if (!rest.atEnd() || direction.size() > 1) return malformed("unexpected text after the frame");
    if (direction.size() == 1) {
        const char letter = static_cast<char>(direction[0] & ~0x20);  // upper case
        if (letter != 'R' && letter != 'T') return malformed("unexpected text after the frame");
        frame.direction = letter;
    }
    return line;
}

// ID   [len]  11 22 ...   (or "remote request" in place of the bytes)
ParsedLine parseScreenFrame(std::string_view idToken, Cursor cursor, ParsedLine line, uint8_t* allData) {
    LogFrame& frame = line.frame;
    if (const std::string_view problem = readId(idToken, frame); !problem.empty()) return malformed(problem);
    cursor.skipBlanks();
    if (cursor.peek() != '[') return malformed("neither ID#DATA nor a length in brackets");
    ++cursor.at;
    int length = 0;
    int lengthDigits = 0;
    while (!cursor.atEnd() && *cursor.at >= '0' && *cursor.at <= '9' && lengthDigits < 2) {
        length = length * 10 + (*cursor.at - '0');
        ++cursor.at;
        ++lengthDigits;
    }
    if (lengthDigits == 0 || cursor.peek() != ']') return malformed("bad length in brackets");
    if (length > kLargestFrameLength) return malformed("length above 64");
    ++cursor.at;
    if (frame.kind == FrameKind::kError) return line;  // error frames carry a description after the bytes

    cursor.skipBlanks();
    constexpr std::string_view kRemoteRequest = "remote request";
    if (std::string_view(cursor.at, static_cast<std::size_t>(cursor.end - cursor.at)).starts_with(kRemoteRequest)) {
        cursor.at += kRemoteRequest.size();
        cursor.skipBlanks();
        if (!cursor.atEnd()) return malformed("unexpected text after a remote request");
        frame.kind = FrameKind::kRemote;
        return line;
    }
    for (int index = 0; index < length; ++index) {
        if (index > 0) {
            if (cursor.atEnd()) return malformed("fewer data bytes than the length says");
            if (!isBlank(cursor.peek())) return malformed("data bytes must be separated by blanks");
            cursor.skipBlanks();
        }
        if (cursor.end - cursor.at < 2) return malformed("fewer data bytes than the length says");
        const int high = hexValue(cursor.at[0]);
        const int low = hexValue(cursor.at[1]);
        if (high == kNotDigit || low == kNotDigit) return malformed("data is not hexadecimal");
        cursor.at += 2;
        storeByte(frame, allData, index, high, low);
    }
    frame.length = static_cast<uint8_t>(length);
    frame.dlc = frame.length;
    if (!cursor.atEnd() && !isBlank(cursor.peek())) return malformed("data byte with more than 2 hex digits");
    cursor.skipBlanks();
    // candump -a appends the bytes as ASCII in single quotes.
    if (!cursor.atEnd() && cursor.peek() != '\'') return malformed("more data bytes than the length says");
    if (length > kClassicFrameLength) frame.kind = FrameKind::kFlexibleData;
    return line;
}

}  // namespace

ParsedLine parseLogLine(std::string_view text, uint8_t* allData) {
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    Cursor cursor{text.data(), text.data() + text.size()};
    ParsedLine line;
    cursor.skipBlanks();
    if (cursor.atEnd()) return line;
    line.kind = LineKind::kFrame;

    if (cursor.peek() == '(') {
        const char* start = ++cursor.at;
        while (!cursor.atEnd() && *cursor.at != ')') ++cursor.at;
        if (cursor.atEnd()) return malformed("timestamp without closing parenthesis");
        line.frame.timestamp = {start, static_cast<std::size_t>(cursor.at - start)};
        if (line.frame.timestamp.empty()) return malformed("empty timestamp");
        ++cursor.at;
        if (!isBlank(cursor.peek())) return malformed("no blank after the timestamp");
        cursor.skipBlanks();
    }
    line.frame.interfaceName = cursor.takeToken();
    cursor.skipBlanks();
    const std::string_view frameToken = cursor.takeToken();
    if (frameToken.empty()) return malformed("no frame after the interface name");
    if (frameToken.find('#') != std::string_view::npos) return parseCompactFrame(frameToken, cursor, line, allData);
    return parseScreenFrame(frameToken, cursor, line, allData);
}

}  // namespace canxlate::logs
