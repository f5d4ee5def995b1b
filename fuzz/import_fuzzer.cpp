// Imports the input as a definition into a fresh table, straight from memory,
// then decodes and encodes a frame for every message the table holds. Built
// once per format; CANXLATE_FUZZ_FORMAT names the reader that runs.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "canxlatelib.h"
#include "canxlatelib/import/definition_file_import.h"

namespace {

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
    // Opened for reading only, so the buffer is never written.
    std::FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (stream == nullptr) std::abort();

    MessageTableHandle table = 0;
    if (createMessageTable(&table) != kSuccess) std::abort();
    // An odd-sized input imports a selection of one name, taken from its first
    // line, so that the selection path is fuzzed as well.
    if (size % 2 == 1) {
        std::string name;
        for (size_t i = 0; i < size && data[i] != '\n' && name.size() < 64; ++i)
            name.push_back(static_cast<char>(data[i]));
        if (inputStringBufferAdd(name.c_str()) != kSuccess) std::abort();
    }
    const int32_t status =
        canxlate::importDefinitionStream(stream, canxlate::DefinitionFormat::CANXLATE_FUZZ_FORMAT, table);
    std::fclose(stream);
    if (status != kSuccess && status != kErrFileFormat) std::abort();
    exerciseTable(table, data, size);
    if (closeMessageTable(table) != kSuccess) std::abort();
    return 0;
}
