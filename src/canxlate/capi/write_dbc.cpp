// Writing a database as DBC text, to a file or to memory.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "canxlate/capi/handles.h"
#include "canxlate/dbc/dbc_writer.h"

using canxlate::capi::guarded;

namespace {

// The text in memory the caller releases with cxl_free_text.
cxl_status copied(const std::string& written, char** text, size_t* size) {
    char* copy = static_cast<char*>(std::malloc(written.size() + 1));
    if (copy == nullptr) return CXL_ERR_NO_MEMORY;
    std::memcpy(copy, written.c_str(), written.size() + 1);
    *text = copy;
    *size = written.size();
    return CXL_OK;
}

}  // namespace

extern "C" {

CXL_API cxl_status CXL_CALL cxl_write_dbc(const cxl_database* database, const char* path) {
    if (database == nullptr || path == nullptr) return CXL_ERR_ARGUMENT;
    return guarded([&]() -> cxl_status {
        if (!canxlate::dbc::ambiguousReferences(database->model, {}).empty()) return CXL_ERR_AMBIGUOUS;
        const std::string text = canxlate::dbc::writeDbc(database->model);
        std::FILE* file = std::fopen(path, "wb");
        if (file == nullptr) return CXL_ERR_CANNOT_OPEN;
        const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
        const bool closed = std::fclose(file) == 0;
        return written && closed ? CXL_OK : CXL_ERR_CANNOT_OPEN;
    });
}

CXL_API cxl_status CXL_CALL cxl_write_dbc_memory(const cxl_database* database, char** text, size_t* size) {
    if (text != nullptr) *text = nullptr;
    if (size != nullptr) *size = 0;
    if (database == nullptr || text == nullptr || size == nullptr) return CXL_ERR_ARGUMENT;
    return guarded([&]() -> cxl_status {
        if (!canxlate::dbc::ambiguousReferences(database->model, {}).empty()) return CXL_ERR_AMBIGUOUS;
        return copied(canxlate::dbc::writeDbc(database->model), text, size);
    });
}

CXL_API cxl_status CXL_CALL cxl_write_dbc_text(const cxl_database* database, const cxl_write_options* options,
                                               char** text, size_t* size) {
    if (options == nullptr) return cxl_write_dbc_memory(database, text, size);
    if (text != nullptr) *text = nullptr;
    if (size != nullptr) *size = 0;
    if (database == nullptr || text == nullptr || size == nullptr) return CXL_ERR_ARGUMENT;
    if ((options->signal_order == nullptr && options->signal_order_count != 0) ||
        (options->attribute_order == nullptr && options->attribute_order_count != 0) ||
        (options->signal_line_order == nullptr && options->signal_line_order_count != 0))
        return CXL_ERR_ARGUMENT;
    return guarded([&]() -> cxl_status {
        canxlate::dbc::WriteOptions chosen;
        chosen.longNames = (options->flags & CXL_WRITE_LONG_NAMES) != 0;
        chosen.valueTextsAsGiven = (options->flags & CXL_WRITE_VALUE_TEXTS_AS_GIVEN) != 0;
        if (options->signal_order != nullptr)
            chosen.signalOrder.assign(options->signal_order, options->signal_order + options->signal_order_count);
        if (options->signal_line_order != nullptr)
            chosen.lineOrder.assign(options->signal_line_order,
                                    options->signal_line_order + options->signal_line_order_count);
        if (options->attribute_order != nullptr)
            chosen.attributeOrder.assign(options->attribute_order,
                                         options->attribute_order + options->attribute_order_count);
        if ((options->flags & CXL_WRITE_LEAVE_OUT_AMBIGUOUS) == 0 &&
            !canxlate::dbc::ambiguousReferences(database->model, chosen).empty())
            return CXL_ERR_AMBIGUOUS;
        std::string written;
        if (!canxlate::dbc::writeDbc(database->model, chosen, written)) return CXL_ERR_ARGUMENT;
        return copied(written, text, size);
    });
}

CXL_API void CXL_CALL cxl_free_text(char* text) { std::free(text); }

}  // extern "C"
