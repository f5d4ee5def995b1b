// Opening, closing, diagnostics and status texts.
#include <memory>
#include <string_view>
#include <utility>

#include "canxlate/capi/handles.h"
#include "canxlate/database/database_loader.h"

using canxlate::capi::guarded;
namespace db = canxlate::db;

namespace {

cxl_status open(cxl_database** database, db::LoadResult (*load)(cxl_database&, const void*, size_t, int32_t),
                const void* data, size_t size, int32_t format) {
    if (database == nullptr) return CXL_ERR_ARGUMENT;
    *database = nullptr;
    return guarded([&]() -> cxl_status {
        auto opened = std::make_unique<cxl_database>();
        switch (load(*opened, data, size, format)) {
            case db::LoadResult::kLoaded: *database = opened.release(); return CXL_OK;
            case db::LoadResult::kCannotOpen: return CXL_ERR_CANNOT_OPEN;
            case db::LoadResult::kNotText:
            case db::LoadResult::kUnknownFormat: break;
        }
        return CXL_ERR_FORMAT;
    });
}

}  // namespace

extern "C" {

CXL_API const char* CXL_CALL cxl_status_text(cxl_status status) {
    switch (status) {
        case CXL_OK: return "success";
        case CXL_ERR_ARGUMENT: return "an argument is null or out of its range";
        case CXL_ERR_NO_MEMORY: return "out of memory";
        case CXL_ERR_CANNOT_OPEN: return "the file cannot be opened or read";
        case CXL_ERR_FORMAT:
            return "the data is not a DBC or ZCD text (binary data, UTF-16 text or an unknown file extension)";
        case CXL_ERR_NOT_FOUND: return "no such message or signal";
        case CXL_ERR_OUT_OF_RANGE: return "a value is outside its signal's minimum and maximum";
        case CXL_ERR_MISSING: return "a signal that the frame carries has no value";
        case CXL_ERR_NOT_CARRIED: return "a value was given for a signal that the switch value leaves out";
        case CXL_ERR_LENGTH: return "the payload length does not suit the message";
        case CXL_ERR_INTERNAL: return "an unexpected failure inside the library";
        case CXL_ERR_REFUSED: return "the change does not fit the database";
        case CXL_ERR_AMBIGUOUS:
            return "DBC text would give what it says of a message or signal to another of its ID or name";
        default: return "unknown status";
    }
}

CXL_API cxl_status CXL_CALL cxl_open_file(const char* path, cxl_database** database) {
    if (path == nullptr) {
        if (database != nullptr) *database = nullptr;
        return CXL_ERR_ARGUMENT;
    }
    return open(
        database,
        [](cxl_database& opened, const void* data, size_t, int32_t) {
            return db::loadFromFile(static_cast<const char*>(data), opened.model);
        },
        path, 0, 0);
}

CXL_API cxl_status CXL_CALL cxl_open_memory(const void* data, size_t size, int32_t format, cxl_database** database) {
    if ((data == nullptr && size != 0) || (format != CXL_FORMAT_DBC && format != CXL_FORMAT_ZCD)) {
        if (database != nullptr) *database = nullptr;
        return CXL_ERR_ARGUMENT;
    }
    return open(
        database,
        [](cxl_database& opened, const void* bytes, size_t length, int32_t kind) {
            const std::string_view text(length == 0 ? "" : static_cast<const char*>(bytes), length);
            return db::loadFromMemory(text, static_cast<db::Format>(kind), opened.model);
        },
        data, size, format);
}

CXL_API cxl_status CXL_CALL cxl_open_sources(const cxl_source* sources, size_t count, cxl_database** database) {
    if (database == nullptr) return CXL_ERR_ARGUMENT;
    *database = nullptr;
    if (sources == nullptr && count != 0) return CXL_ERR_ARGUMENT;
    for (size_t i = 0; i < count; ++i) {
        const cxl_source& source = sources[i];
        if ((source.data == nullptr && source.size != 0) ||
            (source.format != CXL_FORMAT_DBC && source.format != CXL_FORMAT_ZCD)) {
            return CXL_ERR_ARGUMENT;
        }
    }
    return guarded([&]() -> cxl_status {
        auto merged = std::make_unique<cxl_database>();
        db::Database& model = merged->model;
        for (size_t i = 0; i < count; ++i) {
            const cxl_source& source = sources[i];
            const std::string_view text(source.size == 0 ? "" : static_cast<const char*>(source.data), source.size);
            db::Database part;
            if (db::loadFromMemory(text, static_cast<db::Format>(source.format), part) != db::LoadResult::kLoaded) {
                return CXL_ERR_FORMAT;
            }
            // What belongs to the network is the last text's; messages add up.
            const auto firstMessage = static_cast<uint32_t>(model.messages.size());
            model.version = std::move(part.version);
            model.comment = std::move(part.comment);
            model.newSymbols = std::move(part.newSymbols);
            model.busSpeed = std::move(part.busSpeed);
            model.takeNodes(part);
            model.valueTables = std::move(part.valueTables);
            model.environmentVariables = std::move(part.environmentVariables);
            model.attributeDefinitions = std::move(part.attributeDefinitions);
            model.attributes = std::move(part.attributes);
            model.relationAttributes = std::move(part.relationAttributes);
            for (db::RelationAttribute& relation : model.relationAttributes) relation.message += firstMessage;
            for (db::Message& message : part.messages) model.messages.push_back(std::move(message));
            for (db::Diagnostic& diagnostic : part.diagnostics) model.diagnostics.push_back(std::move(diagnostic));
        }
        model.buildIndexes();
        *database = merged.release();
        return CXL_OK;
    });
}

CXL_API void CXL_CALL cxl_close(cxl_database* database) { delete database; }

static_assert(static_cast<int32_t>(db::Topic::kSyntax) == CXL_TOPIC_SYNTAX &&
              static_cast<int32_t>(db::Topic::kValueType) == CXL_TOPIC_VALUE_TYPE);

CXL_API size_t CXL_CALL cxl_diagnostic_count(const cxl_database* database) {
    return database == nullptr ? 0 : database->model.diagnostics.size();
}

CXL_API cxl_status CXL_CALL cxl_get_diagnostic(const cxl_database* database, size_t index, cxl_diagnostic* diagnostic) {
    if (database == nullptr || diagnostic == nullptr || index >= database->model.diagnostics.size())
        return CXL_ERR_ARGUMENT;
    const db::Diagnostic& entry = database->model.diagnostics[index];
    *diagnostic = {static_cast<int32_t>(entry.severity), entry.line, entry.column, entry.text.c_str(),
                   static_cast<int32_t>(entry.topic)};
    return CXL_OK;
}

}  // extern "C"
