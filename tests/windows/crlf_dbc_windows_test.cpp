// DBC files as Windows programs write them read exactly like their LF
// originals: line ends CR LF, written in binary or through the C runtime's
// text mode, which turns every LF into CR LF. Checked on every real-world
// DBC file of the test data, through everything the C interface shows.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "api_test_support.h"

namespace canxlate::test {
namespace {

namespace fs = std::filesystem;

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string withLineEnds(const std::string& text, const char* lineEnd) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\n')
            result += lineEnd;
        else
            result += text[i];
    }
    return result;
}

// What the C interface shows of a table: per message its size, its channel
// names and the values decoded from a few payloads, bit for bit.
struct MessageView {
    uint8_t size = 0;
    std::vector<std::string> names;
    std::vector<uint64_t> decodedBits;
    bool operator==(const MessageView&) const = default;
};
using TableView = std::map<uint32_t, MessageView>;

TableView viewOf(const std::string& dbcPath) {
    TableView view;
    MessageTableHandle table = 0;
    EXPECT_EQ(createMessageTable(&table), kSuccess);
    EXPECT_EQ(addChannelDefinitionFromFile(dbcPath.c_str(), table), kSuccess) << dbcPath;
    uint32_t count = 0;
    EXPECT_EQ(getNumberOfMessageIDs(table, &count), kSuccess);
    std::vector<uint32_t> ids(count);
    if (count > 0) {
        EXPECT_EQ(getMessageIDs(table, ids.data()), kSuccess);
    }
    const Payload payloads[] = {{}, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                                {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF},
                                {0xA5, 0x5A, 0x0F, 0xF0, 0x3C, 0xC3, 0x81, 0x7E}};
    for (uint32_t id : ids) {
        MessageView& message = view[id];
        EXPECT_EQ(getMessageSize(table, id, &message.size), kSuccess);
        uint32_t channels = 0;
        char** names = nullptr;
        EXPECT_EQ(xcvtGetChannelNames(table, id, &channels, &names), kSuccess);
        for (uint32_t i = 0; i < channels; ++i) message.names.emplace_back(names[i]);
        EXPECT_EQ(xcvtDeleteArray(names, channels), kSuccess);
        for (const Payload& payload : payloads) {
            std::vector<double> values(channels);
            EXPECT_EQ(convertFrameToChannel(table, id, payload.data(), values.data()), kSuccess);
            for (double value : values) {
                uint64_t bits;
                std::memcpy(&bits, &value, sizeof bits);
                message.decodedBits.push_back(bits);
            }
        }
    }
    EXPECT_EQ(closeMessageTable(table), kSuccess);
    return view;
}

TEST(WindowsLineEnds, CrLfAndTextModeDbcFilesReadLikeTheirLfOriginals) {
    const fs::path data = fs::path(CANXLATE_TEST_DATA_DIR) / "opendbc";
    const fs::path work = fs::path(::testing::TempDir()) / "canxlate_line_ends";
    fs::create_directories(work);
    int files = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(data)) {
        if (entry.path().extension() != ".dbc") continue;
        ++files;
        SCOPED_TRACE(entry.path().filename().string());
        const std::string lf = withLineEnds(readBytes(entry.path()), "\n");
        const fs::path lfPath = work / "lf.dbc";
        const fs::path crlfPath = work / "crlf.dbc";
        const fs::path textModePath = work / "text_mode.dbc";
        writeBytes(lfPath, lf);
        writeBytes(crlfPath, withLineEnds(lf, "\r\n"));
        std::FILE* text = std::fopen(textModePath.string().c_str(), "w");
        ASSERT_NE(text, nullptr);
        std::fwrite(lf.data(), 1, lf.size(), text);
        std::fclose(text);
        // The C runtime did write CR LF, so the text-mode case is not the LF one.
        ASSERT_EQ(readBytes(textModePath), readBytes(crlfPath));

        const TableView original = viewOf(lfPath.string());
        ASSERT_FALSE(original.empty());
        EXPECT_TRUE(viewOf(crlfPath.string()) == original);
        EXPECT_TRUE(viewOf(textModePath.string()) == original);
    }
    EXPECT_GE(files, 5);
    fs::remove_all(work);
}

}  // namespace
}  // namespace canxlate::test
