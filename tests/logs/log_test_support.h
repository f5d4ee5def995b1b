// Reading and writing logs in memory, and frames as one-line texts that
// tables can spell out.
#pragma once

#include <string>
#include <vector>

#include "canxlate/logs/frame_reader.h"
#include "canxlate/logs/frame_record.h"

namespace canxlate::logs::test {

// "microseconds channel id flags direction length data", as
// tests/data/logs/make_logs.py writes what python-can reads (direction "-"
// when the log does not give it); error frames are "microseconds channel error".
std::string describe(const FrameRecord& record);

struct ReadResult {
    LogFormat format = LogFormat::kCandump;
    std::vector<FrameRecord> frames;
    std::vector<std::string> described;
    ReadCounts counts;
    std::vector<ReadIssue> issues;  // in the order met, fatal included
};

ReadResult readLog(const std::string& bytes, const ReaderOptions& options = {});
std::string writeLog(LogFormat format, const std::vector<FrameRecord>& frames);
std::string readFile(const std::string& path);

}  // namespace canxlate::logs::test
