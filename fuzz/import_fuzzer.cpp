// Imports the input as a definition file into a fresh table, then decodes and
// encodes a frame for every message the table holds. Built once per file
// kind; the extension decides which reader runs.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "canxlatelib.h"

namespace {

const std::string& inputPath() {
    static const std::string path = [] {
        const char* directory = std::getenv("TMPDIR");
        return std::string(directory != nullptr ? directory : "/tmp") + "/canxlate-fuzz-" +
               std::to_string(getpid()) + CANXLATE_FUZZ_EXTENSION;
    }();
    return path;
}

void exerciseTable(MessageTableHandle table, const uint8_t* data, size_t size) {
    uint8_t payload[8] = {};
    for (size_t i = 0; i < 8 && i < size; ++i) payload[i] = data[size - 1 - i];
    uint32_t count = 0;
    if (getNumberOfMessageIDs(table, &count) != kSuccess) std::abort();
    std::vector<uint32_t> ids(count);
    if (count > 0 && getMessageIDs(table, ids.data()) != kSuccess) std::abort();
    for (uint32_t id : ids) {
        uint32_t channels = 0;
        if (getNumberOfChannels(table, id, &channels) != kSuccess || channels == 0) std::abort();
        std::vector<double> values(channels);
        if (convertFrameToChannel(table, id, payload, values.data()) != kSuccess) std::abort();
        uint8_t encoded[8];
        if (convertChannelToFrame(table, id, values.data(), encoded) != kSuccess) std::abort();
        char** names = nullptr;
        uint32_t nameCount = 0;
        if (xcvtGetChannelNames(table, id, &nameCount, &names) != kSuccess || nameCount != channels) std::abort();
        xcvtDeleteArray(names, nameCount);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(inputPath().c_str(), "wb");
    if (file == nullptr) return 0;
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);

    MessageTableHandle table = 0;
    if (createMessageTable(&table) != kSuccess) std::abort();
    // An odd-sized input imports a selection of one name, taken from its first
    // line, so that the selection path is fuzzed as well.
    if (size % 2 == 1) {
        std::string name;
        for (size_t i = 0; i < size && data[i] != '\n' && name.size() < 64; ++i) name.push_back(static_cast<char>(data[i]));
        if (inputStringBufferAdd(name.c_str()) != kSuccess) std::abort();
    }
    const int32_t status = addChannelDefinitionFromFile(inputPath().c_str(), table);
    if (status != kSuccess && status != kErrFileFormat) std::abort();
    exerciseTable(table, data, size);
    if (closeMessageTable(table) != kSuccess) std::abort();
    return 0;
}
