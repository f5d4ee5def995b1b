#include "import/channel_definition_file_loader.h"

#include <algorithm>
#include <cstring>

#include "canxlatelib.h"

namespace canxlate {
namespace {

enum class FileKind { kDbc, kZcd, kUnsupported };

// By the last four characters, byte for byte: ".zcd" is XML, ".dbc" is DBC,
// anything else (other case, trailing characters) is refused.
FileKind kindOfFile(const char* fileName) {
    const std::size_t length = std::strlen(fileName);
    if (length < 4) return FileKind::kUnsupported;
    const char* extension = fileName + length - 4;
    if (std::memcmp(extension, ".zcd", 4) == 0) return FileKind::kZcd;
    if (std::memcmp(extension, ".dbc", 4) == 0) return FileKind::kDbc;
    return FileKind::kUnsupported;
}

}  // namespace

int32_t tChannelDefinitionFileLoader::load(ImportedChannelList& callerResults, const ChannelSelection& channelSelection,
                                           const char* fileName) {
    const FileKind kind = kindOfFile(fileName);
    if (kind == FileKind::kUnsupported) return kErrFileFormat;

    selection = channelSelection;
    loadAll = selection.empty();

    int32_t status = kSuccess;
    if (kind == FileKind::kDbc) {
        status = readDbcFile(fileName);
    } else {
        status = parseFile(fileName) == kParsed ? kSuccess : kErrFileFormat;
        // The ".zcd" reader takes every channel; the selection applies here.
        if (!loadAll) {
            std::erase_if(results, [this](const std::unique_ptr<ImportedChannel>& channel) {
                return std::find(selection.begin(), selection.end(), channel->name) == selection.end();
            });
        }
    }

    callerResults.reserve(callerResults.size() + results.size());
    for (auto& channel : results) callerResults.push_back(std::move(channel));
    results.clear();
    return status;
}

}  // namespace canxlate
