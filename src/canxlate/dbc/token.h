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

// The token stream of a text with two tokens of lookahead, enough to tell
// where a statement begins (see startsStatement), and the token taken last.
class TokenStream {
public:
    explicit TokenStream(std::string_view text) : tokenizer_(text) {
        tokenizer_.next(*current_);
        tokenizer_.next(*following_);
    }
    const Token& current() const noexcept { return *current_; }
    // The token taken last; before the first take, an empty one.
    const Token& last() const noexcept { return *last_; }
    bool atEnd() const noexcept { return current_->kind == TokenKind::kEnd; }
    // Whether the current token begins a statement: an identifier first on
    // its line, unless it stands alone on an indented line (such lines
    // continue the lists of NS_ and BU_). The end counts as a beginning.
    bool atStatementStart() const noexcept {
        if (atEnd()) return true;
        if (!current_->lineStart || current_->kind != TokenKind::kIdentifier) return false;
        return current_->column == 1 || !following_->lineStart;
    }
    // Takes the current token; the reference stays valid until the next take.
    const Token& take() {
        Token* taken = current_;
        current_ = following_;
        following_ = last_;
        last_ = taken;
        tokenizer_.next(*following_);
        return *taken;
    }
    Tokenizer& tokenizer() noexcept { return tokenizer_; }

private:
    Tokenizer tokenizer_;
    // Three slots in turn, read in place: copying a token just written
    // stalls on its stores.
    Token slots_[3] = {{TokenKind::kEnd, true, 0, 0, {}}, {}, {}};
    Token* last_ = &slots_[0];
    Token* current_ = &slots_[1];
    Token* following_ = &slots_[2];
};

// A string token's text with its escapes resolved.
std::string unescape(std::string_view raw);

}  // namespace canxlate::dbc
