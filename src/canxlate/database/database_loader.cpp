#include "canxlate/database/database_loader.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "canxlate/dbc/model_builder.h"
#include "canxlate/zcd/zcd_model_reader.h"

namespace canxlate::db {
namespace {

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    text.remove_prefix(text.size() - suffix.size());
    for (size_t i = 0; i < suffix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

bool readWholeFile(const char* path, std::string& text) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return false;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    char buffer[65536];
    size_t got;
    bool ok = true;
    // Room for the whole file at once: growing by doubling would hold up to
    // twice its size.
    const uintmax_t size = std::filesystem::file_size(path, error);
    try {
        if (!error && size < text.max_size()) text.reserve(static_cast<size_t>(size));
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    } catch (...) {
        std::fclose(file);
        throw;
    }
    ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

// owner, when given, holds text and may be emptied once it is read.
LoadResult load(std::string_view text, Format format, Database& database, std::string* owner) {
    // Text files hold no NUL byte; anything that does is binary.
    if (text.find('\0') != std::string_view::npos) return LoadResult::kNotText;
    switch (format) {
        case Format::kDbc: dbc::readDbc(text, database, owner); return LoadResult::kLoaded;
        case Format::kZcd: return zcd::readZcd(text, database) ? LoadResult::kLoaded : LoadResult::kNotText;
    }
    return LoadResult::kUnknownFormat;
}

}  // namespace

LoadResult loadFromMemory(std::string_view text, Format format, Database& database) {
    return load(text, format, database, nullptr);
}

LoadResult loadFromFile(const char* path, Database& database) {
    const std::string_view name(path);
    Format format;
    if (endsWithIgnoringCase(name, ".dbc")) {
        format = Format::kDbc;
    } else if (endsWithIgnoringCase(name, ".zcd")) {
        format = Format::kZcd;
    } else {
        return LoadResult::kUnknownFormat;
    }
    std::string text;
    if (!readWholeFile(path, text)) return LoadResult::kCannotOpen;
    return load(text, format, database, &text);
}

}  // namespace canxlate::db
