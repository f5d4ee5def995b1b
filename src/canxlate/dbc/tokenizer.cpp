#include "canxlate/dbc/token.h"

#include <array>

namespace canxlate::dbc {
namespace {

// Character classes by table: the tokenizer asks for every byte of the file.
constexpr uint8_t kLetter = 1, kDigit = 2;
constexpr auto kClasses = [] {
    std::array<uint8_t, 256> classes{};
    for (int c = 'A'; c <= 'Z'; ++c) classes[c] = kLetter;
    for (int c = 'a'; c <= 'z'; ++c) classes[c] = kLetter;
    classes['_'] = kLetter;
    for (int c = '0'; c <= '9'; ++c) classes[c] = kDigit;
    return classes;
}();

bool isIdentifierStart(char c) { return kClasses[static_cast<unsigned char>(c)] == kLetter; }
bool isDigit(char c) { return kClasses[static_cast<unsigned char>(c)] == kDigit; }
bool isIdentifierPart(char c) { return kClasses[static_cast<unsigned char>(c)] != 0; }

}  // namespace

void Tokenizer::next(Token& token) {
    skipBlanks();
    if (pos_ >= text_.size()) {
        token = Token{TokenKind::kEnd, true, line_ + 1, 1, {}};
        return;
    }
    token = Token{TokenKind::kPunctuation, lineStart_, line_, column(), {}};
    lineStart_ = false;
    const size_t begin = pos_;
    const char c = text_[pos_];
    if (isIdentifierStart(c)) {
        while (pos_ < text_.size() && isIdentifierPart(text_[pos_])) ++pos_;
        token.kind = TokenKind::kIdentifier;
    } else if (startsNumber()) {
        scanNumber();
        token.kind = TokenKind::kNumber;
    } else if (c == '"') {
        token.kind = TokenKind::kString;
        const bool closed = scanString();
        if (!closed) problems_.push_back({token.line, token.column, "the string is not closed"});
        token.text = text_.substr(begin + 1, pos_ - begin - (closed ? 2 : 1));
        return;
    } else {
        if (c == '\0' || (static_cast<unsigned char>(c) < 0x20 && c != '\t')) {
            problems_.push_back({token.line, token.column, "a control character is not DBC text"});
        }
        ++pos_;
    }
    token.text = text_.substr(begin, pos_ - begin);
}

void Tokenizer::skipBlanks() noexcept {
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (c == '\n') {
            ++pos_;
            newLine();
            lineStart_ = true;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f') {
            ++pos_;
        } else if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '/') {
            while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
        } else {
            break;
        }
    }
}

bool Tokenizer::startsNumber() const noexcept {
    size_t i = pos_;
    if (text_[i] == '+' || text_[i] == '-') ++i;
    if (i < text_.size() && text_[i] == '.') ++i;
    return i < text_.size() && isDigit(text_[i]);
}

void Tokenizer::scanNumber() noexcept {
    if (text_[pos_] == '+' || text_[pos_] == '-') ++pos_;
    if (pos_ + 1 < text_.size() && text_[pos_] == '0' && (text_[pos_ + 1] == 'x' || text_[pos_ + 1] == 'X')) {
        pos_ += 2;
        while (pos_ < text_.size() && isIdentifierPart(text_[pos_])) ++pos_;
        return;
    }
    while (pos_ < text_.size() && isDigit(text_[pos_])) ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '.') {
        ++pos_;
        while (pos_ < text_.size() && isDigit(text_[pos_])) ++pos_;
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
        size_t i = pos_ + 1;
        if (i < text_.size() && (text_[i] == '+' || text_[i] == '-')) ++i;
        if (i < text_.size() && isDigit(text_[i])) {
            pos_ = i;
            while (pos_ < text_.size() && isDigit(text_[pos_])) ++pos_;
        }
    }
}

// After the opening quote; stops after the closing one. False when the text
// ends first.
bool Tokenizer::scanString() noexcept {
    ++pos_;
    while (pos_ < text_.size()) {
        const char c = text_[pos_++];
        if (c == '"') return true;
        if (c == '\\' && pos_ < text_.size() && text_[pos_] != '\n') {
            ++pos_;
        } else if (c == '\n') {
            newLine();
        }
    }
    return false;
}

std::string unescape(std::string_view raw) {
    const size_t first = raw.find('\\');
    if (first == std::string_view::npos) return std::string(raw);  // most texts: copied at once
    std::string text(raw.substr(0, first));
    text.reserve(raw.size());
    for (size_t i = first; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 1 < raw.size() && (raw[i + 1] == '"' || raw[i + 1] == '\\')) ++i;
        text.push_back(raw[i]);
    }
    return text;
}

}  // namespace canxlate::dbc
