// Reads one definition file into ImportedChannel records: picks the reader by
// the file name's last four characters (".dbc" or ".zcd"), copies the channel
// selection and hands the records back in file order. The same readers take a
// stream of a stated format as well. One loader lives for one import call.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "shared/definitions/channel_definition.h"
#include "shared/definitions/xml_parser.h"

namespace canxlate {

// Channel names a host selected for the next import; empty means all.
using ChannelSelection = std::vector<std::string>;
// Records in file order; whoever holds the array owns the records.
using ImportedChannelList = std::vector<std::unique_ptr<ImportedChannel>>;

enum class DefinitionFormat { kDbc, kZcd };

class tChannelDefinitionFileLoader : public CXmlParser {
public:
    static constexpr int kElementStackDepth = 24;

    tChannelDefinitionFileLoader() = default;
    ~tChannelDefinitionFileLoader() override = default;

    // Appends every record made to callerResults (whatever the status) and
    // returns 0/positive on success or a negative status.
    int32_t load(ImportedChannelList& callerResults, const ChannelSelection& channelSelection, const char* fileName);
    // The same for a stream open for binary reading, read to its end and left
    // open.
    int32_t load(ImportedChannelList& callerResults, const ChannelSelection& channelSelection, DefinitionFormat format,
                 std::FILE* stream);

    // The ".dbc" reader: appends the selected signals to results. 0 whenever
    // the file could be opened and read, kErrFileFormat when it could not.
    int32_t readDbcFile(const char* fileName);
    int32_t readDbcStream(std::FILE* stream);

    // What the ".zcd" reader passes over in silence under the 16-function
    // rules, for a reader that reports it: set findings to collect it, and an
    // "id" text that is not a decimal number below 2^32 then gives no ID (-1)
    // instead of the number it wraps to.
    struct Finding {
        uint32_t line;
        uint32_t column;
        std::string text;
    };
    std::vector<Finding>* findings = nullptr;

    int32_t currentMessageId = -1;
    int32_t currentMessageSize = -1;
    bool loadAll = false;
    ChannelSelection selection;
    ImportedChannelList results;
    int32_t elementStack[kElementStackDepth] = {};
    int elementStackTop = -1;

protected:
    // The ".zcd" reader.
    void startElement(char* name, char** attributes) override;
    void endElement(char* name) override;
    void characterData(char* text) override;

private:
    void takeSelection(const ChannelSelection& channelSelection);
    // Reads the stream with the reader of that format and moves the records
    // to callerResults.
    int32_t readStream(ImportedChannelList& callerResults, DefinitionFormat format, std::FILE* stream);
};

}  // namespace canxlate
