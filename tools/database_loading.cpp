#include "database_loading.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "diagnostics.h"
#include "status_names.h"

namespace canxlate::cli {
namespace {

// The library reports every unusable file as kErrFileFormat; find out which
// of its reasons applies, as far as the program can see.
std::string fileFormatReason(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return "is a directory";
    const std::string_view name(path);
    if (!name.ends_with(".dbc") && !name.ends_with(".zcd")) return "the name must end in \".dbc\" or \".zcd\"";
    if (std::FILE* file = std::fopen(path.c_str(), "rb"); file != nullptr) {
        std::fclose(file);
    } else {
        return std::strerror(errno);
    }
    return "not a well-formed channel definition file";
}

bool hasChannel(const MessageCatalog& catalog, const std::string& name) {
    return std::any_of(catalog.messages().begin(), catalog.messages().end(), [&](const MessageInfo& message) {
        return std::find(message.channelNames.begin(), message.channelNames.end(), name) != message.channelNames.end();
    });
}

}  // namespace

bool loadDatabase(const std::string& path, const std::vector<std::string>& selection, MessageCatalog& catalog) {
    const CatalogStatus result = catalog.load(path, selection);
    if (result.status == kErrFileFormat) {
        reportError(path + ": cannot load the database: " + statusName(result.status) + " (" + fileFormatReason(path) +
                    ")");
        return false;
    }
    if (result.status < 0) {
        reportError(path + ": cannot load the database: " + result.call + " returned " + statusName(result.status));
        return false;
    }
    for (const std::string& name : selection) {
        if (!hasChannel(catalog, name)) {
            reportError(path + ": no channel named '" + name + "'");
            return false;
        }
    }
    if (catalog.messages().empty()) reportError(path + ": warning: the database defines no usable message");
    return true;
}

}  // namespace canxlate::cli
