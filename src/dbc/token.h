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

struct TokenStream {
    std::vector<Token> tokens;  // ends with a kEnd token
    // Unterminated string or a byte that no DBC text holds: where and why.
    struct Problem {
        uint32_t line;
        uint32_t column;
        const char* text;
    };
    std::vector<Problem> problems;
};

// The text must outlive the tokens. Throws std::bad_alloc.
TokenStream tokenize(std::string_view text);

// A string token's text with its escapes resolved.
std::string unescape(std::string_view raw);

}  // namespace canxlate::dbc
