#include "csv_field.h"

#include "printable_text.h"

namespace canxlate::cli {

bool csvFieldNeedsQuotes(std::string_view field) {
    if (field.empty()) return false;
    if (field.front() == ' ' || field.back() == ' ' || field.front() == '\t' || field.back() == '\t') return true;
    for (char c : field) {
        if (c == ',' || c == '"' || c == '\n' || c == '\r') return true;
    }
    return false;
}

char* writeCsvField(char* out, std::string_view field) {
    if (!csvFieldNeedsQuotes(field)) return writePrintable(out, field);
    *out++ = '"';
    for (char c : field) {
        if (c == '"') *out++ = '"';
        out = writePrintable(out, {&c, 1});
    }
    *out++ = '"';
    return out;
}

std::string csvField(std::string_view field) {
    std::string text(csvFieldMaxLength(field.size()), '\0');
    text.resize(static_cast<std::size_t>(writeCsvField(text.data(), field) - text.data()));
    return text;
}

}  // namespace canxlate::cli
