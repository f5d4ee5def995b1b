#include "shared/definitions/channel_definition_file_loader.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "canxlatelib.h"

namespace canxlate {
namespace {

// By the last four characters, byte for byte: ".zcd" is XML, ".dbc" is DBC,
// anything else (other case, trailing characters) is refused.
std::optional<DefinitionFormat> formatOfFile(const char* fileName) {
    const std::size_t length = std::strlen(fileName);
    if (length < 4) return std::nullopt;
    const char* extension = fileName + length - 4;
    if (std::memcmp(extension, ".zcd", 4) == 0) return DefinitionFormat::kZcd;
    if (std::memcmp(extension, ".dbc", 4) == 0) return DefinitionFormat::kDbc;
    return std::nullopt;
}

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};

}  // namespace

int32_t tChannelDefinitionFileLoader::load(ImportedChannelList& callerResults, const ChannelSelection& channelSelection,
                                           const char* fileName) {
    const std::optional<DefinitionFormat> format = formatOfFile(fileName);
    if (!format) return kErrFileFormat;
    takeSelection(channelSelection);
    // Binary mode, so that every platform reads the same bytes.
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName, "rb"));
    if (!file) return kErrFileFormat;
    return readStream(callerResults, *format, file.get());
}

int32_t tChannelDefinitionFileLoader::load(ImportedChannelList& callerResults, const ChannelSelection& channelSelection,
                                           DefinitionFormat format, std::FILE* stream) {
    takeSelection(channelSelection);
    return readStream(callerResults, format, stream);
}

void tChannelDefinitionFileLoader::takeSelection(const ChannelSelection& channelSelection) {
    selection = channelSelection;
    loadAll = selection.empty();
}

int32_t tChannelDefinitionFileLoader::readStream(ImportedChannelList& callerResults, DefinitionFormat format,
                                                 std::FILE* stream) {
    int32_t status = kSuccess;
    if (format == DefinitionFormat::kDbc) {
        status = readDbcStream(stream);
    } else {
        status = parseStream(stream) == kParsed ? kSuccess : kErrFileFormat;
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
