// The common part of the text log readers: lines in, one frame per line out,
// each problem reported with its line number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "canxlate/logs/frame_reader.h"
#include "canxlate/logs/line_reader.h"

namespace canxlate::logs {

class TextLogReader : public FrameReader {
public:
    TextLogReader(ByteSource& source, const ReaderOptions& options) : FrameReader(options), lines_(source) {}
    int readError() const override { return lines_.readError(); }
    uint64_t bytesConsumed() const override { return lines_.bytesConsumed(); }

protected:
    // Reads one line into record; true when it holds a frame.
    virtual bool readLine(std::string_view line, FrameRecord& record) = 0;

    std::size_t readSome(FrameRecord* records, std::size_t capacity) final {
        std::size_t count = 0;
        std::string_view line;
        while (count < capacity && lines_.nextLine(line)) {
            ++lineNumber_;
            if (lines_.lineWasCut()) {
                malformed("line too long");
                continue;
            }
            if (readLine(line, records[count]) && keepFrame(records[count], lineNumber_, true)) ++count;
        }
        if (count < capacity && lines_.readError() != 0)
            report(IssueKind::kFatal, lineNumber_, true, "the input could not be read");
        return count;
    }

    void malformed(const char* message) { report(IssueKind::kMalformed, lineNumber_, true, message); }

    uint64_t lineNumber_ = 0;

private:
    LineReader lines_;
};

}  // namespace canxlate::logs
