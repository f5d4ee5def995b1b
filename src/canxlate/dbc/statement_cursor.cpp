#include "canxlate/dbc/statement_cursor.h"

#include <charconv>
#include <cmath>

#include "shared/numbers/c_number_conversion.h"

namespace canxlate::dbc {

std::string StatementCursor::describe() const {
    if (atEnd()) return "the end of the statement";
    if (peek().kind == TokenKind::kString) return "a string";
    return "'" + std::string(peek().text.substr(0, 32)) + "'";
}

bool readReal(std::string_view text, double* value) {
    if (text.find_first_of("xX") != std::string_view::npos) return false;  // hexadecimal is not DBC
    *value = readCReal(text);
    return true;
}

bool readInteger(std::string_view text, int64_t* value) {
    std::string_view digits = text;
    if (!digits.empty() && digits[0] == '+') digits.remove_prefix(1);
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), *value);
    if (error == std::errc{} && end == digits.data() + digits.size()) return true;
    double real = 0.0;
    // "2.0" and "1e3" are integers written as reals.
    if (error == std::errc{} && readReal(text, &real) && std::trunc(real) == real && std::fabs(real) < 0x1p63) {
        *value = static_cast<int64_t>(real);
        return true;
    }
    return false;
}

bool readUnsigned(std::string_view text, uint64_t* value) {
    std::string_view digits = text;
    if (!digits.empty() && digits[0] == '+') digits.remove_prefix(1);
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), *value);
    if (error == std::errc{} && end == digits.data() + digits.size()) return true;
    double real = 0.0;
    if (error == std::errc{} && readReal(text, &real) && std::trunc(real) == real && real >= 0.0 && real < 0x1p64) {
        *value = static_cast<uint64_t>(real);
        return true;
    }
    return false;
}

std::string_view StatementCursor::identifier(const char* what) {
    if (!peekKind(TokenKind::kIdentifier)) fail(std::string("expected ") + what + ", found " + describe());
    return next().text;
}

std::string StatementCursor::string(const char* what) {
    if (!peekKind(TokenKind::kString)) fail(std::string("expected ") + what + " in quotes, found " + describe());
    return unescape(next().text);
}

double StatementCursor::real(const char* what) {
    double value = 0.0;
    if (!peekKind(TokenKind::kNumber) || !readReal(peek().text, &value)) {
        fail(std::string("expected ") + what + " (a number), found " + describe());
    }
    if (!std::isfinite(value)) fail(std::string(what) + " " + describe() + " is beyond the range of a double");
    next();
    return value;
}

int64_t StatementCursor::integer(const char* what) {
    int64_t value = 0;
    if (!peekKind(TokenKind::kNumber) || !readInteger(peek().text, &value)) {
        fail(std::string("expected ") + what + " (an integer), found " + describe());
    }
    next();
    return value;
}

uint64_t StatementCursor::unsignedInteger(const char* what) {
    uint64_t value = 0;
    if (!peekKind(TokenKind::kNumber) || !readUnsigned(peek().text, &value)) {
        fail(std::string("expected ") + what + " (an unsigned integer), found " + describe());
    }
    next();
    return value;
}

void StatementCursor::punctuation(char c) {
    if (!peekPunctuation(c)) fail(std::string("expected '") + c + "', found " + describe());
    next();
}

void StatementCursor::finish() {
    if (atEnd()) return;  // a missing ';' costs nothing
    punctuation(';');
}

}  // namespace canxlate::dbc
