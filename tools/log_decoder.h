// Turns the lines of a candump log into decoded output, one line at a time,
// and counts what it read, decoded and skipped.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "log_line_parser.h"
#include "message_catalog.h"
#include "output_buffer.h"

namespace canxlate::cli {

enum class OutputFormat {
    kReadable,  // one line per frame: time, interface, ID, name=value...
    kCsv,       // one row per channel value
};

inline constexpr std::string_view kCsvHeader = "timestamp,interface,message_id,channel,value\n";

struct DecodeCounts {
    uint64_t framesRead = 0;  // lines that hold a frame, decodable or not
    uint64_t decoded = 0;
    uint64_t notInTable = 0;  // ID unknown to the table (or none of its channels selected)
    uint64_t remote = 0;
    uint64_t flexibleData = 0;  // CAN FD frames with more than 8 bytes
    uint64_t errorFrames = 0;
    uint64_t malformedLines = 0;

    uint64_t skipped() const { return notInTable + remote + flexibleData + errorFrames; }
};

class LogDecoder {
public:
    LogDecoder(const MessageCatalog& catalog, OutputFormat format, OutputBuffer& out);

    // The CSV header row; nothing for the readable format.
    void writeHeader();

    // Decodes one line and writes its output. Returns why the line is
    // malformed, or an empty view.
    std::string_view decodeLine(std::string_view line);

    const DecodeCounts& counts() const { return counts_; }

private:
    // Text written before each value, and the most one frame can take.
    struct MessageText {
        std::vector<std::string> labels;
        std::size_t valueSpace = 0;  // labels and values, without the per-frame prefix
    };

    void decodeFrame(const LogFrame& frame);
    void buildPrefix(const LogFrame& frame);
    void writeCsvRows(const MessageText& text, const double* values);
    void writeReadableLine(const MessageText& text, const double* values);

    const MessageCatalog& catalog_;
    OutputFormat format_;
    OutputBuffer& out_;
    std::vector<MessageText> texts_;  // parallel to catalog_.messages()
    std::vector<double> values_;
    std::string prefix_;  // reused for every frame, so it stops allocating soon
    DecodeCounts counts_;
};

}  // namespace canxlate::cli
