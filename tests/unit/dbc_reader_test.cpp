#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "canxlatelib.h"
#include "shared/definitions/channel_definition_file_loader.h"
#include "unit_test_support.h"

namespace canxlate {
namespace {

using namespace std::string_literals;

// Reads bytes as a ".dbc" file; an empty selection means every signal.
std::string readDbc(const std::string& bytes, const ChannelSelection& selection = {}) {
    const ScratchFile file(bytes);
    tChannelDefinitionFileLoader loader;
    loader.selection = selection;
    loader.loadAll = selection.empty();
    const int32_t status = loader.readDbcFile(file.path());
    return describe(status, loader);
}

// clang-format off
const std::string kSample =
    "BO_ 100 EngineData: 8 ECU\n"
    " SG_ VehicleSpeed : 24|16@1+ (0.01,0) [0|655.35] \"km/h\" Dashboard\n"
    " SG_ Temp : 15|12@0- (0.1,-40) [-40|215] \"degC\" Dashboard\n"
    " SG_ Pressure : 32|32@1- (1,0) [0|0] \"bar\" Dashboard\n"
    " SG_ Speed m2 : 8|8@1+ (1,0) [0|255] \"\" Dashboard\n"
    "BO_ 2566844672 Engine2: 4 ECU\n"
    " SG_ Load : 0|8@1+ (1,0) [0|100] \"%\" Dashboard\n"
    " SG_ Temp : 8|8@1+ (2,0) [0|0] \"\" Dashboard\n"
    "SIG_VALTYPE_ 100 Pressure : 1;\n"
    "SIG_VALTYPE_ 100 Speed : 1;\n";  // matches no record: the name is "Speed m2"
const std::string kTemp = "\nTemp|degC|20|12|0|1|0.1|-40|-40|215|100|8", kSpeedM2 = "\nSpeed m2||8|8|1|0|1|0|0|255|100|8",
                  kLoad = "\nLoad|%|0|8|1|0|1|0|0|100|419361024|4", kTemp2 = "\nTemp||8|8|1|0|2|0|0|0|419361024|4";
const std::string kBlock = "BO_ 1 A: 8 X\n SG_ a : 0|32@1+ (1,0) [0|0] \"\" X\n", kA = "\na||0|32|1|0|1|0|0|0|1|8",
                  kFloatA = "\na||0|32|2|0|1|0|0|0|1|8";

struct DbcCase {
    std::string bytes;
    std::string expected;  // see describe()
    ChannelSelection selection = {};
};

const DbcCase kDbcCases[] = {
    {kSample, "0 419361024:4\nVehicleSpeed|km/h|24|16|1|0|0.01|0|0|655.35|100|8" + kTemp +
              "\nPressure|bar|32|32|2|0|1|0|0|0|100|8" + kSpeedM2 + kLoad + kTemp2},
    // Selection by exact name, records in file order, one per message.
    {kSample, "0 419361024:4", {"vehiclespeed", "Vehicle", "VehicleSpeed2", " Load", "Speed"}},
    {kSample, "0 419361024:4" + kTemp + kSpeedM2 + kLoad + kTemp2, {"Load", "Temp", "Temp", "Speed m2"}},
    // No message line: its keyword needs the blank and capitals; signal and
    // value type lines before it are ignored.
    {"", "0 -1:-1"},
    {"VERSION \"\"\n SG_ s : 0|8@1+ (1,0) [0|0] \"\"\nSIG_VALTYPE_ 1 s : 1;\n"
     "BO_1 A: 8\n SG_ s : 0|8@1+ (1,0) [0|0] \"\"\nbo_ 1 A: 8\n SG_ s : 0|8@1+ (1,0) [0|0] \"\"\n", "0 -1:-1"},
    // The first value type line ends the reading of messages.
    {kBlock + " SG_ c : 8|8@1+ (1,0) [0|0] \"\"\nSIG_VALTYPE_ 1 a : 1;\nBO_ 2 B: 8 X\n SG_ b : 0|8@1+ (1,0) [0|0] \"\"\n"
              "SIG_VALTYPE_ 1 c : 2;\n", "0 1:8" + kFloatA + "\nc||8|8|2|0|1|0|0|0|1|8"},
    // Types 1 and 2 make a float, others nothing; the ID and the name must
    // both match, all equal records change; other lines in between are skipped.
    {kBlock + "BO_ 2 B: 8 X\n SG_ b : 0|64@1- (1,0) [0|0] \"\" X\n SG_ i : 0|8@1- (1,0) [0|0] \"\" X\n"
              "BO_ 2 C: 8 X\n SG_ b : 8|8@1+ (1,0) [0|0] \"\"\n\nCM_ \"x\";\nBA_DEF_ \"T\" INT 0 1;\n"
              "SIG_VALTYPE_ 1 a : 1;\nSIG_VALTYPE_ 2 b : 2;\nSIG_VALTYPE_ 2 i : 0;\nSIG_VALTYPE_ 2 i : 3;\n"
              "SIG_VALTYPE_ 1 b : 2;\nSIG_VALTYPE_ 2 a : 2;\n",
     "0 2:8" + kFloatA + "\nb||0|64|2|0|1|0|0|0|2|8\ni||0|8|0|0|1|0|0|0|2|8\nb||8|8|2|0|1|0|0|0|2|8"},
    // Extended IDs match in their low 29 bits.
    {"BO_ 2566844672 A: 8 X\n SG_ f : 0|32@1+ (1,0) [0|0] \"\"\nSIG_VALTYPE_ 2566844672 f : 1;\n",
     "0 419361024:8\nf||0|32|2|0|1|0|0|0|419361024|8"},
    // The value type's name lies between the second and third blank, even an empty one.
    {"BO_ 7 A: 8 X\n SG_ v : 0|32@1+ (1,0) [0|0] \"\"\n SG_ w : 32|32@1+ (1,0) [0|0] \"\"\n"
     "SIG_VALTYPE_ 7  v : 1;\nSIG_VALTYPE_ 7 v: 1;\nSIG_VALTYPE_ 7 w  : 1;\n",
     "0 7:8\nv||0|32|1|0|1|0|0|0|7|8\nw||32|32|2|0|1|0|0|0|7|8"},
    // Any line holding a keyword counts: a comment starts message 0 and
    // becomes a record.
    {kBlock + "CM_ BO_ 100 \"engine data\";\nCM_ SG_ 100 a \"speed\";\nSIG_VALTYPE_ 1 a : 1;\n",
     "0 0:0" + kFloatA + "\n100 a \"speed\";|speed|0|0|1|1|0|0|0|0|0|0"},
    // A last line without line feed: a signal line is read, a value type
    // line is not applied, a message line is not read.
    {kBlock + " SG_ z : 8|8@1+ (1,0) [0|0] \"u\" X", "0 1:8" + kA + "\nz|u|8|8|1|0|1|0|0|0|1|8"},
    {kBlock + "SIG_VALTYPE_ 1 x : 1;\nSIG_VALTYPE_ 1 a : 1;", "0 1:8" + kA},
    {kBlock + "SIG_VALTYPE_ 1 a : 1;", "0 1:8" + kA}, {kBlock + "BO_ 2 B: 4 X", "0 1:8" + kA}, {"BO_ 2 B: 4 X", "0 -1:-1"},
    // Only a carriage return directly before a line feed goes; NUL ends a
    // name or unit but not a line.
    {"BO_ 1 A: 8\n SG_ a : 0|8@1+ (1,0) [0|0] \"k\r\tm\n SG_ b : 0|8@1+ (1,0) [0|0] \"km\r\r\n"
     " SG_ c : 0|8@1+ (1,0) [0|0] \"k\0m\n\0 SG_ d\0e : 0|8@1+ (2,0) [0|0] \"km\r"s,
     "0 1:8\na|k\r\tm|0|8|1|0|1|0|0|0|1|8\nb|km\r|0|8|1|0|1|0|0|0|1|8\nc|k|0|8|1|0|1|0|0|0|1|8\nd|km\r|0|8|1|0|2|0|0|0|1|8"},
    {"BO_ 1 A: 8\r SG_ a : 0|8@1+ (1,0) [0|0] \"\"\n", "0 1:8"},
    // The ID is read as a real after the first blank, the size after the
    // first colon behind that blank, else from the line's start.
    {"BO_ 100.9 A: 3 X\n", "0 100:3"}, {"BO_ 1e400 A: 8 X\n", "0 0:8"}, {"BO_   +12 A:   -2 X\n", "0 12:-2"},
    {"BO_ 5 A 8 X\n", "0 5:0"}, {"CM_ BO_ 7 \"text: 6\";\n", "0 0:6"}, {"x:9 BO_ 5 A: 8 X\n", "0 0:8"},
    // A missing delimiter restarts the next search and conversion at the
    // line's start; without a blank after "@" the line's last character is
    // the sign; without quotes the unit is the whole line, without a closing
    // one it runs to the line's end.
    {"BO_ 1 A: 8\n SG_ x\n SG_ y : 1|4@0-\n SG_ z : 0|8@1+ (1,0) [0|0] km X\n SG_ u : 0|8@1+ (1,0) [0|0] \"km X\n",
     "0 1:8\nx| SG_ x|0|0|1|1|0|0|0|0|1|8\ny| SG_ y : 1|4@0-|14|4|0|1|0|0|0|4|1|8\n"
     "z| SG_ z : 0|8@1+ (1,0) [0|0] km X|0|8|1|0|1|0|0|0|1|8\nu|km X|0|8|1|0|1|0|0|0|1|8"},
    // Blanks are not trimmed, numbers end at a foreign character, and each
    // search starts where its item begins ("@ 1": the "@" is the sign).
    {"BO_ 1 A: 8\nCM_ SG_  x  : 3 | 2 @ 1 + ( 1e1x, -.5) [ -1e | 2e+1 ] \"\" X\n"
     " SG_ x(9:1 : 5|8 @1(- (3,4) [5|6] \"u\"\n",
     "0 1:8\n x ||3|2|1|0|10|-0.5|-1|20|1|8\nx(9:1|u|5|8|0|0|3|4|5|6|1|8"}};
// clang-format on

TEST(DbcReader, Files) {
    for (const DbcCase& c : kDbcCases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(readDbc(c.bytes, c.selection), c.expected);
        if (c.bytes.find('\r') == std::string::npos) {  // CR LF line ends read as LF ones
            std::string crlf;
            for (const char ch : c.bytes) crlf += ch == '\n' ? "\r\n" : std::string(1, ch);
            EXPECT_EQ(readDbc(crlf, c.selection), c.expected) << "with CR LF";
        }
    }
}

// Lines far longer than a read block, and a CR LF pair split across block
// boundaries at many offsets.
TEST(DbcReader, LongLines) {
    for (const std::size_t length : {10000u, 65530u, 65531u, 65532u, 65533u, 65534u, 65535u, 65536u, 300000u}) {
        const std::string head = "BO_ 1 A: 8\r\n SG_ x : 0|8@1+ (1,0) [0|0] \"", unit(length - head.size(), 'v');
        EXPECT_EQ(readDbc(head + unit + "\r\n SG_ y : 8|8@1+ (1,0) [0|0] \"w\r\n"),
                  "0 1:8\nx|" + unit + "|0|8|1|0|1|0|0|0|1|8\ny|w|8|8|1|0|1|0|0|0|1|8")
            << length;
    }
}

// A file that cannot be read leaves earlier results alone; one that can
// appends to them, and its value type lines reach the earlier records too.
TEST(DbcReader, ResultsOfEarlierFiles) {
    const std::string directory = ::testing::TempDir();
    const ScratchFile sample(kSample);
    const char* const paths[] = {"/canxlate_no_such_dir/missing.dbc", directory.c_str(), "", nullptr, sample.path()};
    for (const char* path : paths) {
        tChannelDefinitionFileLoader loader;
        loader.selection = {"Load"};
        loader.results.push_back(
            std::make_unique<ImportedChannel>("Pressure", "", 0, 32, 1, 0, 1.0, 0.0, 0.0, 0.0, 100, 8));
        EXPECT_EQ(describe(loader.readDbcFile(path), loader),
                  path == sample.path() ? "0 419361024:4\nPressure||0|32|2|0|1|0|0|0|100|8" + kLoad
                                        : std::to_string(kErrFileFormat) + " -1:-1\nPressure||0|32|1|0|1|0|0|0|100|8");
    }
}

}  // namespace
}  // namespace canxlate
