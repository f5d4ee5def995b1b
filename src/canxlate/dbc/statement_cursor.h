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

// Reads one statement straight from the token stream: it ends where the next
// statement begins, and no more of it is kept than the token in hand.
class StatementCursor {
public:
    explicit StatementCursor(TokenStream& stream) noexcept : stream_(stream) {}

    bool atEnd() const noexcept { return stream_.atStatementStart(); }
    // Messages and signals end with their line: what follows is not theirs.
    bool atLineEnd() const noexcept { return atEnd() || peek().lineStart; }
    const Token& peek() const noexcept { return stream_.current(); }
    // Of the next token; at the end, just after the last one.
    Position position() const noexcept {
        if (!atEnd()) return {peek().line, peek().column};
        const Token& last = stream_.last();
        return {last.line, last.column + static_cast<uint32_t>(last.text.size())};
    }
    // The next token as a diagnostic names it.
    std::string describe() const;
    bool peekPunctuation(char c) const noexcept {
        return !atEnd() && peek().kind == TokenKind::kPunctuation && peek().text[0] == c;
    }
    bool peekKind(TokenKind kind) const noexcept { return !atEnd() && peek().kind == kind; }
    bool peekIdentifier(std::string_view word) const noexcept {
        return peekKind(TokenKind::kIdentifier) && peek().text == word;
    }
    const Token& next() { return stream_.take(); }
    // Takes what is left of the statement.
    void skipRest() {
        while (!atEnd()) next();
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
    // The ';' that closes a statement, where anything follows. What follows
    // it is not part of the statement.
    void finish();

private:
    TokenStream& stream_;
};

// Number token text as a double or as an exact integer; false when it is not one.
bool readReal(std::string_view text, double* value);
bool readInteger(std::string_view text, int64_t* value);
bool readUnsigned(std::string_view text, uint64_t* value);

}  // namespace canxlate::dbc
