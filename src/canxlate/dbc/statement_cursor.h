// Reads the tokens of one statement; a token that does not fit throws
// StatementError, which skips the statement with a diagnostic at that token.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "canxlate/dbc/definitions.h"
#include "canxlate/dbc/token.h"

namespace canxlate::dbc {

struct StatementError {
    Position position;
    std::string text;
};

class StatementCursor {
public:
    StatementCursor(const Token* begin, const Token* end) : token_(begin), end_(end), last_(begin) {}

    bool atEnd() const noexcept { return token_ == end_; }
    const Token& peek() const noexcept { return atEnd() ? *end_ : *token_; }
    // Of the next token; at the end, just after the last one.
    Position position() const noexcept {
        if (!atEnd()) return {token_->line, token_->column};
        return {last_->line, last_->column + static_cast<uint32_t>(last_->text.size())};
    }
    // The next token as a diagnostic names it.
    std::string describe() const;
    bool peekPunctuation(char c) const noexcept {
        return !atEnd() && token_->kind == TokenKind::kPunctuation && token_->text[0] == c;
    }
    bool peekKind(TokenKind kind) const noexcept { return !atEnd() && token_->kind == kind; }
    bool peekIdentifier(std::string_view word) const noexcept {
        return peekKind(TokenKind::kIdentifier) && token_->text == word;
    }
    const Token& next() noexcept {
        last_ = token_;
        return *token_++;
    }

    [[noreturn]] void fail(std::string what) const { throw StatementError{position(), std::move(what)}; }

    std::string_view identifier(const char* what);
    std::string string(const char* what);
    double real(const char* what);
    int64_t integer(const char* what);
    uint64_t unsignedInteger(const char* what);
    void punctuation(char c);
    bool acceptPunctuation(char c) {
        if (!peekPunctuation(c)) return false;
        next();
        return true;
    }
    // The ';' that closes a statement: required, and nothing may follow it.
    void finish();

private:
    const Token* token_;
    const Token* end_;
    const Token* last_;
};

// Number token text as a double or as an exact integer; false when it is not one.
bool readReal(std::string_view text, double* value);
bool readInteger(std::string_view text, int64_t* value);
bool readUnsigned(std::string_view text, uint64_t* value);

}  // namespace canxlate::dbc
