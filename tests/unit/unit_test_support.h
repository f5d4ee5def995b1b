// Helpers of the file reader tests: a scratch file, and the records a reader
// made written out as text, so that a table row states them in one string.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <fstream>
#include <string>

#include "shared/definitions/channel_definition_file_loader.h"

namespace canxlate {

// A file holding the given bytes, removed again when it goes out of scope.
class ScratchFile {
public:
    explicit ScratchFile(const std::string& bytes) {
        static int counter = 0;
        path_ = ::testing::TempDir() + "canxlate_unit_" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
        std::ofstream(path_, std::ios::binary) << bytes;
    }
    ~ScratchFile() { std::remove(path_.c_str()); }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const char* path() const { return path_.c_str(); }

private:
    std::string path_;
};

// "name|unit|start|bits|type|order|factor|offset|min|max|id|size" per record,
// each on a line of its own; the ID and size signed, so that -1 is "not set".
// Reals in their shortest exact form: numbers are read correctly rounded, so
// every bit must match.
inline std::string describe(const ImportedChannelList& records) {
    std::string text;
    for (const auto& r : records) {
        text += "\n" + r->name + "|" + r->unit;
        for (const uint32_t n : {r->startBit, r->bitCount, r->dataType, r->byteOrder}) text += "|" + std::to_string(n);
        for (const double x : {r->factor, r->offset, r->minimum, r->maximum}) {
            char digits[32];
            text += '|';
            text.append(digits, std::to_chars(digits, digits + sizeof digits, x).ptr);
        }
        text += "|" + std::to_string(static_cast<int32_t>(r->messageId)) + "|" +
                std::to_string(static_cast<int32_t>(r->payloadSize));
    }
    return text;
}

// The status, the current message's ID and size, then the records.
inline std::string describe(int32_t status, const tChannelDefinitionFileLoader& loader) {
    return std::to_string(status) + " " + std::to_string(loader.currentMessageId) + ":" +
           std::to_string(loader.currentMessageSize) + describe(loader.results);
}

}  // namespace canxlate
