// Decoding of logged frames: read in batches by libcanxlate's log readers,
// decoded with one library call per batch and written as text, CSV (long or
// wide) or JSON lines. Two threads take the batches in turn, each decoding
// and formatting its own while the other reads; the output keeps the log's
// order. The batches and output buffers are reused: nothing is allocated per
// frame.
#pragma once

#include <canxlate.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "output_buffer.h"
#include "progress_indicator.h"

namespace canxlate::cli {

enum class DecodeOutput {
    kText,       // one line per frame: time, interface, ID, message, NAME=VALUE UNIT...
    kCsv,        // one row per signal value
    kCsvWide,    // one row per frame, one column per signal
    kJsonLines,  // one JSON object per frame
};

inline constexpr std::string_view kCsvHeader = "timestamp,interface,message_id,message,signal,value,unit,label\n";

struct DecodeSettings {
    DecodeOutput output = DecodeOutput::kText;
    bool clamp = false;
    std::vector<std::string> select;  // signal names or MESSAGE.SIGNAL; empty: all
    std::string wideMessage;          // kCsvWide: the message written to the output
    std::string outputDirectory;      // kCsvWide without wideMessage: one NAME.csv per message
};

struct DecodeCounts {
    uint64_t decoded = 0;
    uint64_t notInDatabase = 0;
    uint64_t notSelected = 0;  // in the database, but none of the message's signals selected
};

class FrameDecoder {
public:
    static constexpr std::size_t kBatchFrames = 2048;

    FrameDecoder(const cxl_database* database, DecodeSettings settings, OutputBuffer& out);
    ~FrameDecoder();
    FrameDecoder(const FrameDecoder&) = delete;
    FrameDecoder& operator=(const FrameDecoder&) = delete;

    // Resolves the selection; false with the reason in error.
    bool prepare(std::string& error);
    // The CSV header (long and wide to the output); nothing for the other forms.
    void writeHeader();
    // Reads the whole log and writes its frames. Returns the status of the
    // last read: CXL_ERR_FORMAT when a fatal problem stopped it. The reader's
    // issue callback and the progress run on either thread, one at a time.
    cxl_status decodeLog(cxl_log_reader* reader, ProgressIndicator* progress);
    // Flushes the per-message files; false with the reason in error.
    bool finish(std::string& error);

    const DecodeCounts& counts() const { return counts_; }

private:
    struct SignalFormat;
    struct MessageFormat;
    struct Batch;

    // Interface names of a batch as written (CSV quoted where needed), by
    // channel: each thread that formats has its own.
    using InterfaceNames = std::vector<std::string>;

    // Whether batches are formatted side by side into texts of their own:
    // for every form whose frames all go to the one output.
    bool formatsSideBySide() const;
    bool decodeBatch(Batch& batch) const;
    void writeBatch(const Batch& batch, OutputBuffer& out, DecodeCounts& counts, InterfaceNames& interfaces);
    template <DecodeOutput Form>
    void writeFrames(const Batch& batch, OutputBuffer& out, DecodeCounts& counts, InterfaceNames& interfaces);
    std::size_t writePrefix(char* out, const Batch& batch, std::size_t frame, InterfaceNames& interfaces) const;
    const std::string& interfaceName(const Batch& batch, uint16_t channel, InterfaceNames& interfaces) const;
    OutputBuffer* wideOutput(MessageFormat& message);

    const cxl_database* database_;
    DecodeSettings settings_;
    OutputBuffer& out_;
    std::vector<MessageFormat> messages_;
    std::size_t columns_ = 0;

    std::vector<std::unique_ptr<Batch>> batches_;
    bool anyTexts_ = false;  // some selected signal has a value table

    DecodeCounts counts_;
    std::string fileError_;
};

}  // namespace canxlate::cli
