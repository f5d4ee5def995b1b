#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "canxlatelib.h"
#include "import/channel_definition_file_loader.h"
#include "imported_channel_expectation.h"

namespace canxlate {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

// A .dbc file with the given bytes, removed again at the end of the test.
class TempDbcFile {
public:
    explicit TempDbcFile(const std::string& bytes) {
        static int counter = 0;
        path_ = fs::temp_directory_path() /
                ("canxlate_dbc_reader_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + ".dbc");
        std::ofstream out(path_, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    ~TempDbcFile() {
        std::error_code ignored;
        fs::remove(path_, ignored);
    }
    TempDbcFile(const TempDbcFile&) = delete;
    TempDbcFile& operator=(const TempDbcFile&) = delete;
    std::string path() const { return path_.string(); }

private:
    fs::path path_;
};

std::vector<std::string> namesOf(const ImportedChannelList& results) {
    std::vector<std::string> names;
    for (const auto& record : results) {
        names.push_back(record->name);
    }
    return names;
}

// Reads bytes as a .dbc file; an empty selection means every signal.
struct ReadResult {
    int32_t status;
    ImportedChannelList results;
    int32_t lastMessageId;
    int32_t lastMessageSize;
};

ReadResult readDbc(const std::string& bytes, const std::vector<std::string>& selection = {}) {
    TempDbcFile file(bytes);
    tChannelDefinitionFileLoader loader;
    loader.selection = selection;
    loader.loadAll = selection.empty();
    ReadResult result;
    result.status = loader.readDbcFile(file.path().c_str());
    result.results = std::move(loader.results);
    result.lastMessageId = loader.currentMessageId;
    result.lastMessageSize = loader.currentMessageSize;
    return result;
}

const std::string kSampleFile =
    "BO_ 100 EngineData: 8 ECU\n"
    " SG_ VehicleSpeed : 24|16@1+ (0.01,0) [0|655.35] \"km/h\" Dashboard\n"
    " SG_ Temp : 15|12@0- (0.1,-40) [-40|215] \"degC\" Dashboard\n"
    " SG_ Pressure : 32|32@1- (1,0) [0|0] \"bar\" Dashboard\n"
    " SG_ Speed m2 : 8|8@1+ (1,0) [0|255] \"\" Dashboard\n"
    "BO_ 2566844672 Engine2: 8 ECU\n"
    " SG_ Load : 0|8@1+ (1,0) [0|100] \"%\" Dashboard\n"
    "SIG_VALTYPE_ 100 Pressure : 1;\n";

TEST(DbcReader, SampleFileGivesFiveRecordsInFileOrder) {
    const ReadResult read = readDbc(kSampleFile);
    ASSERT_EQ(read.status, kSuccess);
    ASSERT_EQ(read.results.size(), 5u);
    expectChannel(*read.results[0], {"VehicleSpeed", "km/h", 24, 16, 1, 0, 0.01, 0, 0, 655.35, 100, 8});
    expectChannel(*read.results[1], {"Temp", "degC", 20, 12, 0, 1, 0.1, -40, -40, 215, 100, 8});
    expectChannel(*read.results[2], {"Pressure", "bar", 32, 32, 2, 0, 1, 0, 0, 0, 100, 8});
    expectChannel(*read.results[3], {"Speed m2", "", 8, 8, 1, 0, 1, 0, 0, 255, 100, 8});
    expectChannel(*read.results[4], {"Load", "%", 0, 8, 1, 0, 1, 0, 0, 100, 419361024, 8});
    EXPECT_FALSE(read.results[2]->limitsEnabled);
    EXPECT_EQ(read.lastMessageId, 419361024);
    EXPECT_EQ(read.lastMessageSize, 8);
}

TEST(DbcReader, SelectionIsByExactName) {
    struct Case {
        std::vector<std::string> selection;
        std::vector<std::string> expectedNames;
    };
    const Case cases[] = {
        {{"VehicleSpeed"}, {"VehicleSpeed"}},
        {{"vehiclespeed"}, {}},
        {{"VehicleSpeed2", "Vehicle"}, {}},
        {{"Load", "Temp"}, {"Temp", "Load"}},
        {{"Temp", "Temp"}, {"Temp"}},
        {{"Speed"}, {}},
        {{"Speed m2"}, {"Speed m2"}},
        {{" Temp"}, {}},
    };
    for (const auto& c : cases) {
        const ReadResult read = readDbc(kSampleFile, c.selection);
        EXPECT_EQ(read.status, kSuccess);
        EXPECT_EQ(namesOf(read.results), c.expectedNames) << "first selected: " << c.selection.front();
    }
}

TEST(DbcReader, SelectedNameInSeveralMessagesGivesOneRecordEach) {
    const ReadResult read = readDbc(
        "BO_ 1 A: 8 X\n SG_ Rpm : 0|16@1+ (1,0) [0|0] \"\" X\n SG_ Other : 16|8@1+ (1,0) [0|0] \"\" X\n"
        "BO_ 2 B: 4 X\n SG_ Rpm : 8|16@1+ (2,0) [0|0] \"\" X\n",
        {"Rpm"});
    ASSERT_EQ(read.results.size(), 2u);
    expectChannel(*read.results[0], {"Rpm", "", 0, 16, 1, 0, 1, 0, 0, 0, 1, 8});
    expectChannel(*read.results[1], {"Rpm", "", 8, 16, 1, 0, 2, 0, 0, 0, 2, 4});
}

TEST(DbcReader, FilesWithoutMessagesGiveNoRecords) {
    const std::string files[] = {
        "",
        "\n",
        "VERSION \"\"\nNS_ :\n",
        // Signal and value type lines before the first message line are ignored.
        " SG_ Early : 0|8@1+ (1,0) [0|0] \"\" X\nSIG_VALTYPE_ 1 Early : 1;\n",
        "BO_1 no blank after the keyword: 8\n SG_ s : 0|8@1+ (1,0) [0|0] \"\" X\n",
        "bo_ 1 lower case: 8\n SG_ s : 0|8@1+ (1,0) [0|0] \"\" X\n",
    };
    for (const auto& bytes : files) {
        const ReadResult read = readDbc(bytes);
        EXPECT_EQ(read.status, kSuccess) << bytes;
        EXPECT_TRUE(read.results.empty()) << bytes;
        EXPECT_EQ(read.lastMessageId, -1) << bytes;
    }
}

TEST(DbcReader, ValueTypeLineBetweenMessageBlocksEndsMessageReading) {
    const ReadResult read = readDbc(
        "BO_ 1 A: 8 X\n SG_ a : 0|32@1+ (1,0) [0|0] \"\" X\n SG_ c : 32|32@1+ (1,0) [0|0] \"\" X\n"
        "SIG_VALTYPE_ 1 a : 1;\n"
        "BO_ 2 B: 8 X\n SG_ b : 0|32@1+ (1,0) [0|0] \"\" X\n"
        "SIG_VALTYPE_ 1 c : 2;\n"
        "SIG_VALTYPE_ 2 b : 1;\n");
    ASSERT_EQ(namesOf(read.results), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(read.results[0]->dataType, uint32_t{kDataTypeFloat});
    EXPECT_EQ(read.results[1]->dataType, uint32_t{kDataTypeFloat});
    EXPECT_EQ(read.lastMessageId, 1);
}

TEST(DbcReader, ValueTypeLinesAfterCommentsAndAttributesAreApplied) {
    const ReadResult read = readDbc(
        "BO_ 1 A: 8 X\n SG_ a : 0|32@1+ (1,0) [0|0] \"\" X\n"
        "BO_ 2 B: 8 X\n SG_ b : 0|64@1- (1,0) [0|0] \"\" X\n SG_ i : 0|8@1- (1,0) [0|0] \"\" X\n"
        "\n"
        "CM_ \"database comment\";\n"
        "BA_DEF_ \"GenMsgCycleTime\" INT 0 1000;\n"
        "SIG_VALTYPE_ 1 a : 1;\n"
        "SIG_VALTYPE_ 2 b : 2;\n"
        "SIG_VALTYPE_ 2 i : 0;\n"   // type 0: unchanged
        "SIG_VALTYPE_ 2 i : 3;\n"   // unknown type: unchanged
        "SIG_VALTYPE_ 1 b : 2;\n"   // no record b in message 1
        "SIG_VALTYPE_ 2 a : 2;\n"); // no record a in message 2
    ASSERT_EQ(namesOf(read.results), (std::vector<std::string>{"a", "b", "i"}));
    EXPECT_EQ(read.results[0]->dataType, uint32_t{kDataTypeFloat});
    EXPECT_EQ(read.results[1]->dataType, uint32_t{kDataTypeFloat});
    EXPECT_EQ(read.results[2]->dataType, uint32_t{kDataTypeSigned});
    // The bit count is left for channel validation to judge.
    EXPECT_EQ(read.results[0]->bitCount, 32u);
    EXPECT_EQ(read.results[1]->bitCount, 64u);
}

TEST(DbcReader, ValueTypeLineMatchesExtendedIdAndEveryEqualRecord) {
    const ReadResult read = readDbc(
        "BO_ 2566844672 A: 8 X\n SG_ f : 0|32@1+ (1,0) [0|0] \"\" X\n"
        "BO_ 419361024 B: 8 X\n SG_ f : 32|32@1+ (1,0) [0|0] \"\" X\n SG_ g : 0|32@1+ (1,0) [0|0] \"\" X\n"
        "SIG_VALTYPE_ 2566844672 f : 1;\n");
    ASSERT_EQ(read.results.size(), 3u);
    EXPECT_EQ(read.results[0]->dataType, uint32_t{kDataTypeFloat});
    EXPECT_EQ(read.results[1]->dataType, uint32_t{kDataTypeFloat});
    EXPECT_EQ(read.results[2]->dataType, uint32_t{kDataTypeUnsigned});
}

TEST(DbcReader, ValueTypeNamesTheSignalWithoutMultiplexIndicator) {
    const ReadResult read = readDbc(kSampleFile + "SIG_VALTYPE_ 100 Speed : 1;\n");
    ASSERT_EQ(read.results.size(), 5u);
    EXPECT_EQ(read.results[3]->name, "Speed m2");
    EXPECT_EQ(read.results[3]->dataType, uint32_t{kDataTypeUnsigned});
}

TEST(DbcReader, ValueTypeNameIsBetweenSecondAndThirdBlank) {
    // Two blanks after the ID: the name is the empty item between them.
    const ReadResult read = readDbc(
        "BO_ 7 A: 8 X\n SG_ v : 0|32@1+ (1,0) [0|0] \"\" X\n SG_ w : 32|32@1+ (1,0) [0|0] \"\" X\n"
        "SIG_VALTYPE_ 7  v : 1;\n"  // name is the empty item, no match
        "SIG_VALTYPE_ 7 v: 1;\n"    // name "v:", no match
        "SIG_VALTYPE_ 7 w  : 1;\n");
    ASSERT_EQ(read.results.size(), 2u);
    EXPECT_EQ(read.results[0]->dataType, uint32_t{kDataTypeUnsigned});
    EXPECT_EQ(read.results[1]->dataType, uint32_t{kDataTypeFloat});
}

TEST(DbcReader, CommentMessageLineStartsMessageZero) {
    const ReadResult read = readDbc(
        "BO_ 1 A: 8 X\n SG_ a : 0|8@1+ (1,0) [0|0] \"\" X\n"
        "CM_ BO_ 100 \"engine data\";\n"
        "CM_ SG_ 100 a \"speed over ground\";\n"
        "SIG_VALTYPE_ 1 a : 1;\n");
    ASSERT_EQ(read.results.size(), 2u);
    EXPECT_EQ(read.results[0]->dataType, uint32_t{kDataTypeFloat});
    const ImportedChannel& comment = *read.results[1];
    EXPECT_EQ(comment.messageId, 0u);
    EXPECT_EQ(comment.payloadSize, 0u);
    EXPECT_EQ(comment.bitCount, 0u);
    EXPECT_EQ(comment.name, "100 a \"speed over ground\";");
    EXPECT_EQ(read.lastMessageId, 0);
    EXPECT_EQ(read.lastMessageSize, 0);
}

TEST(DbcReader, LastLineWithoutLineFeed) {
    const std::string block = "BO_ 1 A: 8 X\n SG_ a : 0|32@1+ (1,0) [0|0] \"\" X\n";
    {
        SCOPED_TRACE("final signal line is taken");
        const ReadResult read = readDbc(block + " SG_ z : 8|8@1+ (1,0) [0|0] \"u\" X");
        EXPECT_EQ(namesOf(read.results), (std::vector<std::string>{"a", "z"}));
    }
    {
        SCOPED_TRACE("final value type line is not applied, with or without earlier ones");
        const ReadResult read = readDbc(block + "SIG_VALTYPE_ 1 a : 1;");
        ASSERT_EQ(read.results.size(), 1u);
        EXPECT_EQ(read.results[0]->dataType, uint32_t{kDataTypeUnsigned});
        const ReadResult read2 = readDbc(block + "SIG_VALTYPE_ 1 x : 1;\nSIG_VALTYPE_ 1 a : 1;");
        EXPECT_EQ(read2.results[0]->dataType, uint32_t{kDataTypeUnsigned});
        const ReadResult read3 = readDbc(block + "SIG_VALTYPE_ 1 a : 1;\n");
        EXPECT_EQ(read3.results[0]->dataType, uint32_t{kDataTypeFloat});
    }
    {
        SCOPED_TRACE("final message line is not read");
        const ReadResult read = readDbc(block + "BO_ 2 B: 4 X");
        EXPECT_EQ(read.lastMessageId, 1);
        EXPECT_EQ(read.lastMessageSize, 8);
        const ReadResult single = readDbc("BO_ 2 B: 4 X");
        EXPECT_EQ(single.lastMessageId, -1);
        const ReadResult withLineFeed = readDbc("BO_ 2 B: 4 X\n");
        EXPECT_EQ(withLineFeed.lastMessageId, 2);
        EXPECT_EQ(withLineFeed.lastMessageSize, 4);
    }
}

TEST(DbcReader, CarriageReturnLineFeedReadsAsLineFeed) {
    std::string crlfSample;
    for (const char c : kSampleFile) {
        if (c == '\n') {
            crlfSample += '\r';
        }
        crlfSample += c;
    }
    const ReadResult lf = readDbc(kSampleFile);
    const ReadResult crlf = readDbc(crlfSample);
    ASSERT_EQ(crlf.results.size(), lf.results.size());
    for (std::size_t i = 0; i < lf.results.size(); ++i) {
        const ImportedChannel& r = *lf.results[i];
        expectChannel(*crlf.results[i], {r.name, r.unit, r.startBit, r.bitCount, r.dataType, r.byteOrder, r.factor,
                                        r.offset, r.minimum, r.maximum, r.messageId, r.payloadSize});
    }
    // The carriage return is not part of a unit that runs to the end of the line.
    const ReadResult unquoted = readDbc("BO_ 1 A: 8\r\n SG_ a : 0|8@1+ (1,0) [0|0] \"km\r\n");
    ASSERT_EQ(unquoted.results.size(), 1u);
    EXPECT_EQ(unquoted.results[0]->unit, "km");
}

TEST(DbcReader, OtherCarriageReturnsStayInTheLine) {
    struct Case {
        std::string signalLineEnd;
        std::string expectedUnit;
    };
    const Case cases[] = {
        {"\"k\rm\n", "k\rm"},        // lone CR inside a line: no line break
        {"\"km\r\r\n", "km\r"},      // only the CR directly before LF goes
        {"\"km\r", "km\r"},          // a CR at the very end of the file stays
        {"\"k\tm\n", "k\tm"},
        {"\"k\0m\n"s, "k"},          // a NUL ends the unit string
    };
    for (const auto& c : cases) {
        const ReadResult read = readDbc("BO_ 1 A: 8\n SG_ a : 0|8@1+ (1,0) [0|0] " + c.signalLineEnd);
        ASSERT_EQ(read.results.size(), 1u);
        EXPECT_EQ(read.results[0]->unit, c.expectedUnit);
    }
    // A lone CR does not end a line: the signal after it is part of the message line.
    const ReadResult joined = readDbc("BO_ 1 A: 8\r SG_ a : 0|8@1+ (1,0) [0|0] \"\"\n");
    EXPECT_TRUE(joined.results.empty());
    EXPECT_EQ(joined.lastMessageId, 1);
}

TEST(DbcReader, NulBytesAreOrdinaryLineBytes) {
    const ReadResult read = readDbc("BO_ 1 A: 8\n\0 SG_ a : 0|8@1+ (2,0) [0|0] \"u\"\n"s);
    ASSERT_EQ(read.results.size(), 1u);
    EXPECT_EQ(read.results[0]->factor, 2.0);
}

TEST(DbcReader, MessageIdsKeepTheLow29Bits) {
    struct Case {
        std::string messageLine;
        int32_t expectedId;
        int32_t expectedSize;
    };
    const Case cases[] = {
        {"BO_ 3221225472 A: 8 X", 0, 8},
        {"BO_ 2566844672 A: 8 X", 419361024, 8},
        {"BO_ 536870911 A: 8 X", 536870911, 8},
        {"BO_ 100.9 A: 3 X", 100, 3},
        {"BO_ -1 A: 8 X", 0x1FFFFFFF, 8},
        {"BO_ 1e400 A: 8 X", 0, 8},
        {"BO_   +12 A:   -2 X", 12, -2},
        {"BO_ x A: 8 X", 0, 8},
        {"BO_ 5 A 8 X", 5, 0},             // no colon: the size reads from the line's start
        {"CM_ BO_ 7 \"text: 6\";", 0, 6},  // the ID is read from the first blank
        {"x:9 BO_ 5 A: 8 X", 0, 8},          // the size's colon comes after the first blank
    };
    for (const auto& c : cases) {
        const ReadResult read = readDbc(c.messageLine + "\n SG_ a : 0|8@1+ (1,0) [0|0] \"\" X\n");
        ASSERT_EQ(read.results.size(), 1u) << c.messageLine;
        EXPECT_EQ(read.results[0]->messageId, static_cast<uint32_t>(c.expectedId)) << c.messageLine;
        EXPECT_EQ(read.results[0]->payloadSize, static_cast<uint32_t>(c.expectedSize)) << c.messageLine;
    }
}

TEST(DbcReader, MalformedSignalLinesFollowTheRestartRule) {
    {
        SCOPED_TRACE("no delimiters at all");
        const ReadResult read = readDbc("BO_ 1 A: 8\n SG_ x\n");
        ASSERT_EQ(read.results.size(), 1u);
        // No "@": the byte order number reads from the line's start as 0, so Motorola.
        expectChannel(*read.results[0], {"x", " SG_ x", 0, 0, 1, 1, 0, 0, 0, 0, 1, 8});
    }
    {
        SCOPED_TRACE("no blank after the byte order: the line's last character is the sign");
        const ReadResult read = readDbc("BO_ 1 A: 8\n SG_ x : 1|4@0-\n");
        ASSERT_EQ(read.results.size(), 1u);
        // No "(", "," or "[" found: they read from the line's start (0); the
        // "|" of the layout is the first one found, so the maximum is 4.
        expectChannel(*read.results[0], {"x", " SG_ x : 1|4@0-", 14, 4, 0, 1, 0, 0, 0, 4, 1, 8});
    }
    {
        SCOPED_TRACE("no double quote: the whole line is the unit");
        const std::string line = " SG_ x : 0|8@1+ (1,0) [0|0] km X";
        const ReadResult read = readDbc("BO_ 1 A: 8\n" + line + "\n");
        ASSERT_EQ(read.results.size(), 1u);
        EXPECT_EQ(read.results[0]->unit, line);
    }
    {
        SCOPED_TRACE("no closing double quote: the unit runs to the end of the line");
        const ReadResult read = readDbc("BO_ 1 A: 8\n SG_ x : 0|8@1+ (1,0) [0|0] \"km X\n");
        ASSERT_EQ(read.results.size(), 1u);
        EXPECT_EQ(read.results[0]->unit, "km X");
    }
    {
        SCOPED_TRACE("blanks are not trimmed, numbers stop at the first foreign character");
        const ReadResult read = readDbc("BO_ 1 A: 8\nCM_ SG_  x  : 3 | 2 @ 1 + ( 1e1x, -.5) [ -1e | 2e+1 ] \"\" X\n");
        ASSERT_EQ(read.results.size(), 1u);
        // "@ 1 +": the first blank after "@" follows it directly, so the sign
        // character is the "@" itself.
        expectChannel(*read.results[0], {" x ", "", 3, 2, 1, 0, 10, -0.5, -1, 20, 1, 8});
    }
    {
        SCOPED_TRACE("each search starts where its item begins");
        // The start bit's colon is that of " : ", the sign blank the first
        // after "@", and the factor's "(" the first after that blank.
        const ReadResult read = readDbc("BO_ 1 A: 8\n SG_ x(9:1 : 5|8 @1(- (3,4) [5|6] \"u\"\n");
        ASSERT_EQ(read.results.size(), 1u);
        expectChannel(*read.results[0], {"x(9:1", "u", 5, 8, 0, 0, 3, 4, 5, 6, 1, 8});
    }
}

TEST(DbcReader, LongLinesAreReadWhole) {
    const std::string unit(10000, 'u');
    const ReadResult read = readDbc("BO_ 1 A: 8\n SG_ x : 0|8@1+ (1,0) [0|0] \"" + unit + "\" X\n");
    ASSERT_EQ(read.results.size(), 1u);
    EXPECT_EQ(read.results[0]->unit, unit);

    // A CR LF pair split across the reader's block boundaries, at many offsets,
    // and lines far longer than a block.
    for (const std::size_t length : {65530u, 65531u, 65532u, 65533u, 65534u, 65535u, 65536u, 131071u, 300000u}) {
        const std::string head = "BO_ 1 A: 8\r\n SG_ x : 0|8@1+ (1,0) [0|0] \"";
        const std::string longUnit(length - head.size(), 'v');
        const ReadResult crlf = readDbc(head + longUnit + "\r\n SG_ y : 8|8@1+ (1,0) [0|0] \"w\r\n");
        ASSERT_EQ(crlf.results.size(), 2u) << length;
        EXPECT_EQ(crlf.results[0]->unit, longUnit) << length;
        EXPECT_EQ(crlf.results[1]->unit, "w") << length;
    }
}

// Bit positions walked one at a time toward less significant bits.
uint32_t walkedLeastSignificantBit(uint32_t position, uint32_t bitCount) {
    for (uint32_t step = 1; step < bitCount; ++step) {
        position = (position % 8 != 0) ? position - 1 : position + 15;
    }
    return position;
}

TEST(DbcReader, MotorolaStartBitsBecomeLeastSignificantBits) {
    std::string bytes = "BO_ 1 A: 8\n";
    for (int msb = 0; msb < 64; ++msb) {
        for (int count = 1; count <= 64; ++count) {
            bytes += " SG_ m" + std::to_string(msb) + "_" + std::to_string(count) + " : " + std::to_string(msb) +
                     "|" + std::to_string(count) + "@0+ (1,0) [0|0] \"\" X\n";
        }
    }
    bytes += " SG_ intel : 13|4@1+ (1,0) [0|0] \"\" X\n";
    bytes += " SG_ zero : 13|0@0+ (1,0) [0|0] \"\" X\n";
    const ReadResult read = readDbc(bytes);
    ASSERT_EQ(read.results.size(), 64u * 64u + 2u);
    std::size_t index = 0;
    for (uint32_t msb = 0; msb < 64; ++msb) {
        for (uint32_t count = 1; count <= 64; ++count) {
            const ImportedChannel& record = *read.results[index++];
            ASSERT_EQ(record.byteOrder, uint32_t{kByteOrderMotorola});
            EXPECT_EQ(record.startBit, walkedLeastSignificantBit(msb, count)) << record.name;
            if ((count - 1) % 8 <= msb % 8) {
                EXPECT_EQ(record.startBit, msb + 8 * ((count - 1) / 8) - (count - 1) % 8) << record.name;
            }
        }
    }
    EXPECT_EQ(read.results[index]->startBit, 13u);      // Intel: unchanged
    EXPECT_EQ(read.results[index + 1]->startBit, 13u);  // no bits: unchanged
}

TEST(DbcReader, UnreadablePathsGiveFileFormatErrorAndLeaveResults) {
    const fs::path directory = fs::temp_directory_path() / ("canxlate_dbc_dir_" + std::to_string(::getpid()) + ".dbc");
    fs::create_directory(directory);
    const std::string paths[] = {
        (fs::temp_directory_path() / "canxlate_no_such_dir" / "missing.dbc").string(),
        directory.string(),
        "",
    };
    for (const auto& path : paths) {
        tChannelDefinitionFileLoader loader;
        loader.loadAll = true;
        loader.results.push_back(
            std::make_unique<ImportedChannel>("kept", "", 0, 8, 1, 0, 1.0, 0.0, 0.0, 0.0, 5, 8));
        EXPECT_EQ(loader.readDbcFile(path.c_str()), kErrFileFormat) << path;
        ASSERT_EQ(loader.results.size(), 1u) << path;
        EXPECT_EQ(loader.results[0]->name, "kept");
    }
    fs::remove(directory);
}

TEST(DbcReader, AppendsAfterExistingResults) {
    TempDbcFile file(kSampleFile);
    tChannelDefinitionFileLoader loader;
    loader.selection = {"Load"};
    loader.results.push_back(std::make_unique<ImportedChannel>("Pressure", "", 0, 32, 1, 0, 1.0, 0.0, 0.0, 0.0, 100, 8));
    ASSERT_EQ(loader.readDbcFile(file.path().c_str()), kSuccess);
    ASSERT_EQ(namesOf(loader.results), (std::vector<std::string>{"Pressure", "Load"}));
    // Value type lines scan every record, also those made before this file.
    EXPECT_EQ(loader.results[0]->dataType, uint32_t{kDataTypeFloat});
}

}  // namespace
}  // namespace canxlate
