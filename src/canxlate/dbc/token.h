// The tokens of a DBC file, each with the line and column where it begins.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace canxlate::dbc {

enum class TokenKind : uint8_t {
    kIdentifier,   // letters, digits and '_', not starting with a digit
    kNumber,       // optional sign, digits, optional fraction and exponent
    kString,       // "..." with \" and \\ escapes; may span lines
    kPunctuation,  // one character: : ; , | @ + - ( ) [ ] and anything else
    kEnd,
};

struct Token {
    TokenKind kind;
    bool lineStart;  // the first token on its line
    uint32_t line;
    uint32_t column;
    std::string_view text;  // for strings: the raw text between the quotes
};

// Reads the tokens of a text one at a time, so that a large file never
// needs them all at once. The text must outlive the tokens.
class Tokenizer {
public:
    // Unterminated string or a byte that no DBC text holds: where and why.
    struct Problem {
        uint32_t line;
        uint32_t column;
        const char* text;
    };

    explicit Tokenizer(std::string_view text) noexcept : text_(text) {}
    // The next token; kEnd at the end of the text, and from then on.
    void next(Token& token);
    // Problems met so far and not yet taken. Throws std::bad_alloc.
    std::vector<Problem>& problems() noexcept { return problems_; }

private:
    uint32_t column() const noexcept { return static_cast<uint32_t>(pos_ - lineBegin_ + 1); }
    void newLine() noexcept {
        ++line_;
        lineBegin_ = pos_;
    }
    void skipBlanks() noexcept;
    bool startsNumber() const noexcept;
    void scanNumber() noexcept;
    bool scanString() noexcept;

    std::string_view text_;
    size_t pos_ = 0;
    size_t lineBegin_ = 0;
    uint32_t line_ = 1;
    bool lineStart_ = true;
    std::vector<Problem> problems_;
};

// A string token's text with its escapes resolved.
std::string unescape(std::string_view raw);

}  // namespace canxlate::dbc
