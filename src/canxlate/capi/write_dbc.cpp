// Writing a database as DBC text, to a file or to memory.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "canxlate/capi/handles.h"
#include "canxlate/dbc/dbc_writer.h"

using canxlate::capi::guarded;

extern "C" {

CXL_API cxl_status CXL_CALL cxl_write_dbc(const cxl_database* database, const char* path) {
    if (database == nullptr || path == nullptr) return CXL_ERR_ARGUMENT;
    return guarded([&]() -> cxl_status {
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
        const std::string written = canxlate::dbc::writeDbc(database->model);
        char* copy = static_cast<char*>(std::malloc(written.size() + 1));
        if (copy == nullptr) return CXL_ERR_NO_MEMORY;
        std::memcpy(copy, written.c_str(), written.size() + 1);
        *text = copy;
        *size = written.size();
        return CXL_OK;
    });
}

CXL_API void CXL_CALL cxl_free_text(char* text) { std::free(text); }

}  // extern "C"
