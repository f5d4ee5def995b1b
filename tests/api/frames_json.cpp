#include "frames_json.h"

#include <charconv>
#include <fstream>
#include <set>
#include <sstream>
#include <system_error>

namespace canxlate::test {
namespace {

// Just enough JSON for the frames files: objects, arrays, strings with the
// simple escapes, and numbers; anything else is an error.
class FramesJsonCursor {
public:
    explicit FramesJsonCursor(std::string_view text) : text_(text) {}

    [[noreturn]] void fail(const std::string& what) const {
        throw FramesJsonError("frames file, byte " + std::to_string(position_) + ": " + what);
    }

    bool consumeIf(char wanted) {
        skipWhitespace();
        if (position_ < text_.size() && text_[position_] == wanted) {
            ++position_;
            return true;
        }
        return false;
    }

    void expect(char wanted) {
        if (!consumeIf(wanted)) fail(std::string("expected '") + wanted + "'");
    }

    void expectEnd() {
        skipWhitespace();
        if (position_ != text_.size()) fail("text after the document");
    }

    std::string string() {
        expect('"');
        std::string result;
        while (true) {
            if (position_ >= text_.size()) fail("unterminated string");
            const char c = text_[position_++];
            if (c == '"') return result;
            if (static_cast<unsigned char>(c) < 0x20) fail("control character in a string");
            if (c != '\\') {
                result += c;
                continue;
            }
            if (position_ >= text_.size()) fail("unterminated escape");
            switch (const char escaped = text_[position_++]) {
                case '"':
                case '\\':
                case '/': result += escaped; break;
                case 'n': result += '\n'; break;
                case 't': result += '\t'; break;
                case 'r': result += '\r'; break;
                default: fail("unsupported escape");
            }
        }
    }

    double number() {
        const std::string_view token = numberToken();
        double value = 0.0;
        const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
        if (error != std::errc{} || end != token.data() + token.size()) fail("malformed number");
        return value;
    }

    uint32_t unsignedInteger() {
        const std::string_view token = numberToken();
        uint32_t value = 0;
        const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
        if (error != std::errc{} || end != token.data() + token.size()) fail("expected a 32-bit unsigned integer");
        return value;
    }

    // Calls readMember(key) once per member, the cursor standing on the value.
    template <class ReadMember>
    void object(ReadMember&& readMember) {
        expect('{');
        if (consumeIf('}')) return;
        do {
            const std::string key = string();
            expect(':');
            readMember(key);
        } while (consumeIf(','));
        expect('}');
    }

    template <class ReadElement>
    void array(ReadElement&& readElement) {
        expect('[');
        if (consumeIf(']')) return;
        do {
            readElement();
        } while (consumeIf(','));
        expect(']');
    }

private:
    void skipWhitespace() {
        while (position_ < text_.size() &&
               (text_[position_] == ' ' || text_[position_] == '\t' || text_[position_] == '\n' ||
                text_[position_] == '\r'))
            ++position_;
    }

    // The characters a JSON number can consist of; from_chars then decides
    // whether they form one. Words such as nan or inf never get this far.
    std::string_view numberToken() {
        skipWhitespace();
        const size_t start = position_;
        while (position_ < text_.size()) {
            const char c = text_[position_];
            const bool numberChar = (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
            if (!numberChar) break;
            ++position_;
        }
        if (position_ == start) fail("expected a number");
        return text_.substr(start, position_ - start);
    }

    std::string_view text_;
    size_t position_ = 0;
};

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::array<uint8_t, 8> payloadFromHex(FramesJsonCursor& cursor) {
    const std::string hex = cursor.string();
    if (hex.size() != 16) cursor.fail("\"data\" must hold exactly 16 hex digits");
    std::array<uint8_t, 8> payload{};
    for (size_t i = 0; i < payload.size(); ++i) {
        const int high = hexDigitValue(hex[2 * i]);
        const int low = hexDigitValue(hex[2 * i + 1]);
        if (high < 0 || low < 0) cursor.fail("\"data\" holds a character that is not a hex digit");
        payload[i] = static_cast<uint8_t>(high * 16 + low);
    }
    return payload;
}

// Each member must occur exactly once.
class RequiredMembers {
public:
    RequiredMembers(FramesJsonCursor& cursor, std::set<std::string> names)
        : cursor_(cursor), missing_(std::move(names)) {}

    void take(const std::string& key) {
        if (missing_.erase(key) == 0) cursor_.fail("unexpected or repeated member \"" + key + "\"");
    }

    void checkComplete() const {
        if (!missing_.empty()) cursor_.fail("member \"" + *missing_.begin() + "\" is missing");
    }

private:
    FramesJsonCursor& cursor_;
    std::set<std::string> missing_;
};

ExpectedFrame readFrame(FramesJsonCursor& cursor) {
    ExpectedFrame frame;
    RequiredMembers members(cursor, {"id", "data", "signals"});
    cursor.object([&](const std::string& key) {
        members.take(key);
        if (key == "id") {
            frame.messageId = cursor.unsignedInteger();
        } else if (key == "data") {
            frame.payload = payloadFromHex(cursor);
        } else {
            std::set<std::string> seen;
            cursor.object([&](const std::string& signalName) {
                if (!seen.insert(signalName).second) cursor.fail("signal \"" + signalName + "\" given twice");
                frame.signals.emplace_back(signalName, cursor.number());
            });
        }
    });
    members.checkComplete();
    return frame;
}

}  // namespace

FramesFile parseFramesJson(std::string_view text) {
    FramesJsonCursor cursor(text);
    FramesFile file;
    RequiredMembers members(cursor, {"dbc", "frames"});
    cursor.object([&](const std::string& key) {
        members.take(key);
        if (key == "dbc")
            file.dbcFileName = cursor.string();
        else
            cursor.array([&] { file.frames.push_back(readFrame(cursor)); });
    });
    members.checkComplete();
    cursor.expectEnd();
    return file;
}

FramesFile readFramesJsonFile(const std::string& path) {
    std::ifstream stream(path, std::ios::binary);
    if (!stream) throw FramesJsonError("cannot open " + path);
    std::ostringstream content;
    content << stream.rdbuf();
    if (stream.bad()) throw FramesJsonError("cannot read " + path);
    return parseFramesJson(content.str());
}

}  // namespace canxlate::test
