// BLF files taken apart: containers split mid-object, unknown objects, and
// damaged files that must give counted skips or a fatal error at a position.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "canxlate/logs/blf_layout.h"
#include "log_test_support.h"

namespace canxlate::logs::test {
namespace {

using namespace blf;

std::string blfObject(uint32_t type, const std::string& body, uint64_t nanoseconds, uint32_t size = 0) {
    std::string object(kHeaderSizeVersion1, '\0');
    auto* bytes = reinterpret_cast<uint8_t*>(object.data());
    std::memcpy(bytes, kObjectSignature, 4);
    put16(bytes + 4, kHeaderSizeVersion1);
    put16(bytes + 6, 1);
    put32(bytes + 8, size != 0 ? size : static_cast<uint32_t>(kHeaderSizeVersion1 + body.size()));
    put32(bytes + 12, type);
    put32(bytes + 16, kTimeNanoseconds);
    put64(bytes + 24, nanoseconds);
    return object + body;
}

std::string canMessage(uint32_t id, uint8_t data, uint64_t nanoseconds) {
    std::string body(kCanMessageSize, '\0');
    body[0] = 1;  // channel 1
    body[3] = 1;  // dlc
    put32(reinterpret_cast<uint8_t*>(body.data()) + 4, id);
    body[8] = static_cast<char>(data);
    return blfObject(kCanMessage, body, nanoseconds);
}

// A file of uncompressed containers with the given contents, starting at 1970.
std::string blfFile(const std::vector<std::string>& containers) {
    std::string file(kFileHeaderSize, '\0');
    std::memcpy(file.data(), kFileSignature, 4);
    put32(reinterpret_cast<uint8_t*>(file.data()) + 4, kFileHeaderSize);
    for (const std::string& contents : containers) {
        std::string header(kBaseHeaderSize + kContainerHeaderSize, '\0');
        auto* bytes = reinterpret_cast<uint8_t*>(header.data());
        std::memcpy(bytes, kObjectSignature, 4);
        put16(bytes + 4, kBaseHeaderSize);
        put16(bytes + 6, 1);
        put32(bytes + 8, static_cast<uint32_t>(header.size() + contents.size()));
        put32(bytes + 12, kLogContainer);
        put32(bytes + 24, static_cast<uint32_t>(contents.size()));
        file += header + contents + std::string((header.size() + contents.size()) % 4, '\0');
    }
    return file;
}

TEST(BlfReader, ObjectsContinueAcrossContainersAndUnknownOnesAreCounted) {
    const std::string stream = canMessage(1, 0x11, 1000) + blfObject(999, std::string(8, 'u'), 0) +
                               canMessage(0x80000002, 0x22, 2000) + canMessage(3, 0x33, 3000);
    for (std::size_t cut :
         {std::size_t{1}, std::size_t{5}, std::size_t{17}, std::size_t{40}, std::size_t{60}, stream.size() - 1}) {
        const ReadResult result = readLog(blfFile({stream.substr(0, cut), stream.substr(cut)}));
        EXPECT_EQ(result.described, (std::vector<std::string>{"1 0 1 - rx 1 11", "2 0 2 x rx 1 22", "3 0 3 - rx 1 33"}))
            << "cut at " << cut;
        EXPECT_EQ(result.counts.unknownEvents, 1u);
        ASSERT_EQ(result.issues.size(), 1u);
        EXPECT_EQ(result.issues[0].detail, 999u);
        EXPECT_FALSE(result.issues[0].positionIsLine);
    }
}

struct DamageCase {
    const char* name;
    std::size_t offset;  // where the bytes are overwritten, or the file is cut with an empty value
    std::string value;
    const char* message;  // of the first issue
    uint64_t position;    // of the first issue
    bool fatal;
    std::size_t frames;  // still read
};

TEST(BlfReader, DamagedFilesGiveCountedSkipsOrAFatalError) {
    std::vector<FrameRecord> frames(3);
    for (std::size_t i = 0; i < frames.size(); ++i) frames[i].id = static_cast<uint32_t>(i + 1);
    const std::string good = writeLog(LogFormat::kBlf, frames);
    const std::size_t container = kFileHeaderSize;
    const std::size_t packed = container + kBaseHeaderSize + kContainerHeaderSize;
    const std::vector<DamageCase> cases = {
        {"header cut", 60, "", "file header cut off", 60, true, 0},
        {"header size lies", 4, "\xFF\xFF\xFF\x7F", "file header size not plausible", 4, true, 0},
        {"object header cut", container + 10, "", "object header cut off by the end of the file", container, false, 0},
        {"container cut", packed + 3, "", "container cut off by the end of the file", container, false, 0},
        {"no object signature", container, "LOBX", "no object signature where an object must start", container, false,
         0},
        {"object size below its header", container + 8, "\x04\0\0\0", "object size smaller than its header", container,
         false, 0},
        {"container size lies", container + 8, "\xFF\xFF\xFF\x7F", "container size not plausible", container, false, 0},
        {"uncompressed size lies", container + 24, "\xFF\xFF\xFF\x7F", "uncompressed container size not plausible",
         container, false, 0},
        {"uncompressed size too small", container + 24, "\x10\0\0\0",
         "compressed container does not hold the size its header gives", container, false, 0},
        {"corrupt zlib data", packed, "\xFF\xFF\xFF\xFF", "corrupt zlib data in a container", container, false, 0},
        {"unknown compression", container + 16, "\x07", "unknown compression method", container, false, 0},
    };
    for (const DamageCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bad = good;
        if (c.value.empty()) {
            bad.resize(c.offset);
        } else {
            bad.replace(c.offset, c.value.size(), c.value);
        }
        const ReadResult result = readLog(bad);
        EXPECT_EQ(result.frames.size(), c.frames);
        ASSERT_FALSE(result.issues.empty());
        EXPECT_STREQ(result.issues[0].message, c.message);
        EXPECT_EQ(result.issues[0].position, c.position);
        EXPECT_EQ(result.issues.back().kind == IssueKind::kFatal, c.fatal);
    }
}

TEST(BlfReader, LyingObjectSizesAndStrayBytesAreSkippedToTheNextObject) {
    const std::string lying = blfObject(kCanMessage, std::string(kCanMessageSize, '\0'), 0, 0xFFFFFF);
    const std::string cutShort = blfObject(kCanFdMessage, std::string(kCanMessageSize, '\0'), 0);
    const std::string stray = "garbage between objects";
    const ReadResult result = readLog(blfFile({lying + canMessage(1, 0x11, 0) + cutShort + stray +
                                               canMessage(2, 0x22, 0) + canMessage(3, 0x33, 0).substr(0, 20)}));
    EXPECT_EQ(result.described, (std::vector<std::string>{"0 0 1 - rx 1 11", "0 0 2 - rx 1 22"}));
    std::vector<std::string> messages;
    for (const ReadIssue& issue : result.issues) messages.emplace_back(issue.message);
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "object size not plausible for its type", "frame object smaller than its fields",
                            "no object where one must start", "object cut off by the end of the file"}));
}

// A frame object outside containers whose size cannot be right is reported
// at its offset, and reading goes on at the next object (rather than taking
// the rest of the file as that object's body).
TEST(BlfReader, AbsurdObjectSizeOutsideContainersIsReportedAndPassed) {
    const std::string absurd = blfObject(kCanMessage, std::string(kCanMessageSize, '\0'), 0, 0x7FFFFFFF);
    const ReadResult result = readLog(blfFile({}) + absurd + canMessage(5, 0x55, 0) + canMessage(6, 0x66, 0));
    EXPECT_EQ(result.described, (std::vector<std::string>{"0 0 5 - rx 1 55", "0 0 6 - rx 1 66"}));
    ASSERT_EQ(result.issues.size(), 1u);
    EXPECT_STREQ(result.issues[0].message, "object size not plausible for its type");
    EXPECT_EQ(result.issues[0].position, kFileHeaderSize);
    EXPECT_EQ(result.counts.malformed, 1u);
}

// CAN FD 64 objects that declare 64 data bytes but hold 48 (as one recorder
// writes them): the bytes present, then zeros, with a warning at the object's
// own offset.
TEST(BlfReader, FlexibleDataObjectsShortOfTheirDataAreReadWithZeros) {
    std::string body(kCanFdMessage64Size, '\0');
    auto* bytes = reinterpret_cast<uint8_t*>(body.data());
    bytes[0] = 1;
    bytes[1] = 15;
    bytes[2] = 64;
    put32(bytes + 4, 0x123);
    put32(bytes + 12, kFd64ExtendedDataLength | kFd64BitRateSwitch);
    for (int i = 0; i < 48; ++i) body.push_back(static_cast<char>(i + 1));
    const std::string shortObject = blfObject(kCanFdMessage64, body, 0);
    ASSERT_EQ(shortObject.size(), 120u);
    const std::string first = canMessage(1, 0x11, 0);
    const ReadResult result = readLog(blfFile({first + shortObject}));
    ASSERT_EQ(result.frames.size(), 2u);
    const FrameRecord& frame = result.frames[1];
    EXPECT_EQ(frame.flags, kFlexibleData | kBitRateSwitch);
    ASSERT_EQ(frame.length, 64);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(frame.data[i], i < 48 ? i + 1 : 0) << i;
    EXPECT_EQ(result.counts.warnings, 1u);
    EXPECT_EQ(result.counts.malformed, 0u);
    ASSERT_EQ(result.issues.size(), 1u);
    EXPECT_EQ(result.issues[0].kind, IssueKind::kWarning);
    EXPECT_EQ(result.issues[0].position, kFileHeaderSize + kBaseHeaderSize + kContainerHeaderSize + first.size());
}

}  // namespace
}  // namespace canxlate::logs::test
