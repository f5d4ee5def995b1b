// Each rule of the reader's diagnostics: a DBC text and every diagnostic it
// must give, in order, as (severity, line, column, part of the sentence).
#include <cctype>
#include <vector>

#include "test_database.h"

namespace {

struct Expected {
    int32_t severity;
    uint32_t line;
    uint32_t column;
    const char* words;
    int32_t topic = -1;  // CXL_TOPIC_*, checked where given
};

struct Case {
    const char* rule;
    const char* text;
    std::vector<Expected> diagnostics;
};

constexpr int32_t kW = CXL_SEVERITY_WARNING;
constexpr int32_t kE = CXL_SEVERITY_ERROR;
#define MSG "BO_ 100 M: 8 N\n"

const Case kCases[] = {
    {"clean file", "VERSION \"1\"\nNS_ :\n\tCM_\n\tBA_\nBS_:\nBU_: N\n" MSG " SG_ A : 0|8@1+ (1,0) [0|0] \"\" N\n", {}},
    {"node list over lines", "BU_:\n\tA\n\tB\n\tA\n", {{kW, 4, 2, "node 'A' is listed twice", CXL_TOPIC_DUPLICATE}}},
    {"bad byte order",
     MSG " SG_ A : 0|8@2+ (1,0) [0|0] \"\" N\n",
     {{kE, 2, 14, "byte order must be 0 or 1", CXL_TOPIC_SYNTAX}}},
    {"missing unit", MSG " SG_ A : 0|8@1+ (1,0) [0|0]\n", {{kE, 2, 28, "expected the unit in quotes"}}},
    {"length 0", MSG " SG_ A : 0|0@1+ (1,0) [0|0] \"\" N\n", {{kE, 2, 2, "has length 0", CXL_TOPIC_LAYOUT}}},
    {"length 65", MSG " SG_ A : 0|65@1+ (1,0) [0|0] \"\" N\n", {{kE, 2, 2, "1 to 64 bits"}}},
    {"leaves 64 bytes", MSG " SG_ A : 508|8@1+ (1,0) [0|0] \"\" N\n", {{kE, 2, 2, "leaves the 64-byte payload"}}},
    {"big-endian leaves", MSG " SG_ A : 505|16@0+ (1,0) [0|0] \"\" N\n", {{kE, 2, 2, "leaves the 64-byte"}}},
    {"past the length",
     MSG " SG_ A : 60|8@1+ (1,0) [0|0] \"\" N\n",
     {{kW, 2, 2, "reaches byte 8, past the 8 bytes", CXL_TOPIC_LAYOUT}}},
    {"float of wrong length",
     MSG " SG_ A : 0|16@1+ (1,0) [0|0] \"\" N\nSIG_VALTYPE_ 100 A : 1;\n",
     {{kE, 3, 22, "IEEE single of 16 bits", CXL_TOPIC_VALUE_TYPE}}},
    {"duplicate ID", MSG "BO_ 100 B: 8 N\n", {{kE, 2, 1, "'B' has the ID of message 'M'", CXL_TOPIC_DUPLICATE}}},
    {"duplicate message name", MSG "BO_ 101 M: 8 N\n", {{kW, 2, 1, "name 'M' appears twice"}}},
    {"duplicate signal name",
     MSG " SG_ A : 0|8@1+ (1,0) [0|0] \"\" N\n SG_ A : 8|8@1+ (1,0) [0|0] \"\" N\n",
     {{kW, 3, 2, "'A' appears twice"}}},
    {"overlap",
     MSG " SG_ A : 0|8@1+ (1,0) [0|0] \"\" N\n SG_ B : 7|8@0+ (1,0) [0|0] \"\" N\n",
     {{kW, 3, 2, "'B' shares bits with signal 'A'", CXL_TOPIC_OVERLAP}}},
    {"overlap in other branches is fine",
     MSG " SG_ S M : 0|8@1+ (1,0) [0|0] \"\" N\n SG_ A m1 : 8|8@1+ (1,0) [0|0] \"\" N\n"
         " SG_ B m2 : 8|8@1+ (1,0) [0|0] \"\" N\n",
     {}},
    {"overlap in one branch",
     MSG " SG_ S M : 0|8@1+ (1,0) [0|0] \"\" N\n SG_ A m1 : 8|8@1+ (1,0) [0|0] \"\" N\n"
         " SG_ B m1 : 12|8@1+ (1,0) [0|0] \"\" N\n",
     {{kW, 4, 2, "'B' shares bits with signal 'A'"}}},
    {"overlapping ranges",
     MSG " SG_ S M : 0|8@1+ (1,0) [0|0] \"\" N\n SG_ A m1 : 8|8@1+ (1,0) [0|0] \"\" N\n"
         " SG_ B m2 : 8|8@1+ (1,0) [0|0] \"\" N\nSG_MUL_VAL_ 100 B S 0-1;\n",
     {{kW, 4, 2, "'B' shares bits with signal 'A'"}}},
    {"no switch",
     MSG " SG_ A m1 : 8|8@1+ (1,0) [0|0] \"\" N\n",
     {{kE, 2, 2, "has no switch (M)", CXL_TOPIC_MULTIPLEXING}}},
    {"unknown switch",
     MSG " SG_ A m1 : 8|8@1+ (1,0) [0|0] \"\" N\nSG_MUL_VAL_ 100 A Q 1-1;\n",
     {{kW, 3, 19, "no other signal 'Q'"}, {kE, 2, 2, "has no switch"}}},
    {"range backwards", MSG "SG_MUL_VAL_ 100 A S 3-1;\n", {{kE, 2, 21, "ends before it starts"}}},
    {"unknown message",
     "CM_ BO_ 7 \"x\";\nBA_ \"GenMsgCycleTime\" BO_ 8 10;\n",
     {{kW, 1, 5, "no message has ID 7"}, {kW, 2, 23, "no message has ID 8"}}},
    {"unknown signal", MSG "VAL_ 100 Nope 1 \"a\";\n", {{kW, 2, 6, "has no signal 'Nope'", CXL_TOPIC_REFERENCE}}},
    {"unknown value table",
     MSG " SG_ A : 0|8@1+ (1,0) [0|0] \"\" N\nVAL_ 100 A Tbl;\n",
     {{kW, 3, 12, "no value table is named 'Tbl'"}}},
    {"standard ID too large", "BO_ 2048 M: 8 N\n", {{kW, 1, 1, "read as extended", CXL_TOPIC_LAYOUT}}},
    {"not a CAN ID", "BO_ 1073741824 M: 8 N\n", {{kE, 1, 1, "not a standard or extended CAN ID"}}},
    {"length over 64", "BO_ 1 M: 65 N\n", {{kE, 1, 1, "has length 65"}}},
    {"signal without message", " SG_ A : 0|8@1+ (1,0) [0|0] \"\" N\n", {{kE, 1, 2, "signal outside a message"}}},
    {"unknown section", "FOO_ 1 2;\n", {{kW, 1, 1, "unknown section 'FOO_'", CXL_TOPIC_SYNTAX}}},
    {"string open to the end", "CM_ \"abc;\n", {{kE, 1, 5, "not closed", CXL_TOPIC_SYNTAX}}},
    {"lines counted through strings",
     "CM_ \"a\n\\\"b\n\";\n" MSG " SG_ A : 0|0@1+ (1,0) [0|0] \"\" N\n",
     {{kE, 5, 2, "has length 0"}}},
    {"keywords inside text are text", "CM_ \"\nBO_ 5 X: 8 N\";\nBO_ 100 X: 8 N\n", {}},
    {"bare m is the switch",
     MSG " SG_ Code m : 6|2@1+ (1,0) [0|3] \"\" N\n SG_ A m0 : 8|8@1+ (1,0) [0|0] \"\" N\n"
         " SG_ B m1 : 8|8@1+ (1,0) [0|0] \"\" N\n",
     {{kW, 2, 2, "'Code' has 'm' without a value; read as the switch (M)", CXL_TOPIC_MULTIPLEXING}}},
    {"bare m beside M",
     MSG " SG_ S M : 0|8@1+ (1,0) [0|0] \"\" N\n SG_ C m : 8|8@1+ (1,0) [0|0] \"\" N\n",
     {{kW, 3, 2, "read as a plain signal"}}},
    {"signals after a bad line stay in their message",
     MSG " SG_ A : 0|x@1+ (1,0) [0|0] \"\" N\nXYZ 1\n SG_ B : 0|8@1+ (1,0) [0|0] \"\" N\n SG_ C : 0|0@1+ (1,0) [0|0] "
         "\"\" N\n",
     {{kE, 2, 12, "SG_ statement skipped"}, {kW, 3, 1, "unknown section 'XYZ'"}, {kE, 5, 2, "'C' has length 0"}}},
    {"factor beyond a double",
     MSG " SG_ A : 0|8@1+ (1e309,0) [0|0] \"\" N\n",
     {{kE, 2, 18, "the factor '1e309' is beyond the range"}}},
    {"negative message length",
     "BO_ 1 M: -1 N\n",
     {{kE, 1, 1, "has length -1; a payload holds 0 to 64 bytes, so 0 is"}}},
    {"node list keeps going", "BU_: A 7 B\nCM_ BU_ B \"b\";\n", {{kE, 1, 8, "'7' is not a node name"}}},
    {"byte-order mark", "\xEF\xBB\xBFVERSION \"1\"\nFOO_\n", {{kW, 2, 1, "unknown section 'FOO_'"}}},
    {"junk after ';'", "CM_ \"a\"; x\n", {{kW, 1, 10, "unexpected 'x' after the statement"}}},
};

class Diagnostics : public ::testing::TestWithParam<Case> {};

TEST_P(Diagnostics, ReportsEachProblemWhereItIs) {
    const Case& c = GetParam();
    DatabasePtr database = openDbc(c.text);
    ASSERT_TRUE(database);
    std::vector<std::string> got;
    std::vector<int32_t> topics;
    for (size_t i = 0; i < cxl_diagnostic_count(database.get()); ++i) {
        cxl_diagnostic d;
        ASSERT_EQ(cxl_get_diagnostic(database.get(), i, &d), CXL_OK);
        topics.push_back(d.topic);
        got.push_back(std::to_string(d.severity) + " " + std::to_string(d.line) + ":" + std::to_string(d.column) + " " +
                      d.text);
    }
    ASSERT_EQ(got.size(), c.diagnostics.size()) << c.rule << ": " << ::testing::PrintToString(got);
    for (size_t i = 0; i < got.size(); ++i) {
        const Expected& e = c.diagnostics[i];
        const std::string where =
            std::to_string(e.severity) + " " + std::to_string(e.line) + ":" + std::to_string(e.column) + " ";
        EXPECT_EQ(got[i].rfind(where, 0), 0u) << c.rule << ": " << got[i];
        EXPECT_NE(got[i].find(e.words), std::string::npos) << c.rule << ": " << got[i];
        if (e.topic >= 0) {
            EXPECT_EQ(topics[i], e.topic) << c.rule << ": " << got[i];
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, Diagnostics, ::testing::ValuesIn(kCases), [](const auto& info) {
    std::string name = info.param.rule;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
});

}  // namespace
