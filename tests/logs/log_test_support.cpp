#include "log_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "canxlate/logs/byte_sink.h"
#include "canxlate/logs/frame_writer.h"

namespace canxlate::logs::test {

std::string describe(const FrameRecord& record) {
    const long long microseconds = (record.timestampNs + 500) / 1000;
    char text[256];
    if (record.has(kErrorFrame)) {
        std::snprintf(text, sizeof text, "%lld %u error", microseconds, record.channel);
        return text;
    }
    std::string flags;
    for (auto [flag, letter] :
         {std::pair{kExtendedId, 'x'}, std::pair{kFlexibleData, 'f'}, std::pair{kBitRateSwitch, 'b'},
          std::pair{kErrorStateIndicator, 'i'}, std::pair{kRemoteFrame, 'r'}})
        if (record.has(flag)) flags += letter;
    std::string data;
    for (int i = 0; i < record.length; ++i) {
        char byte[3];
        std::snprintf(byte, sizeof byte, "%02x", record.data[i]);
        data += byte;
    }
    std::snprintf(text, sizeof text, "%lld %u %x %s %s %d %s", microseconds, record.channel, record.id,
                  flags.empty() ? "-" : flags.c_str(),
                  record.direction == Direction::kTransmitted ? "tx"
                  : record.direction == Direction::kReceived  ? "rx"
                                                              : "-",
                  record.has(kRemoteFrame) ? record.dlc : record.length, data.empty() ? "-" : data.c_str());
    return text;
}

ReadResult readLog(const std::string& bytes, const ReaderOptions& options) {
    ReadResult result;
    MemorySource source(bytes.data(), bytes.size());
    ReaderOptions withIssues = options;
    withIssues.context = &result.issues;
    withIssues.onIssue = [](void* context, const ReadIssue& issue) {
        static_cast<std::vector<ReadIssue>*>(context)->push_back(issue);
    };
    auto reader = openFrameReader(source, withIssues, &result.format);
    EXPECT_NE(reader, nullptr);
    FrameRecord batch[3];  // small batches: frames straddle batch ends
    while (std::size_t count = reader->read(batch, std::size(batch)))
        result.frames.insert(result.frames.end(), batch, batch + count);
    for (const FrameRecord& frame : result.frames) {
        result.described.push_back(describe(frame));
        EXPECT_EQ(std::count(frame.data + frame.length, std::end(frame.data), 0),
                  std::end(frame.data) - frame.data - frame.length)
            << "bytes after the data: " << result.described.back();
    }
    result.counts = reader->counts();
    return result;
}

std::string writeLog(LogFormat format, const std::vector<FrameRecord>& frames) {
    MemorySink sink;
    auto writer = openFrameWriter(format, sink);
    EXPECT_TRUE(writer->write(frames.data(), frames.size()));
    EXPECT_TRUE(writer->finish());
    return {sink.bytes().begin(), sink.bytes().end()};
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace canxlate::logs::test
