#include "import/xml_parser.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace canxlate {
namespace {

// Records every callback as one line: "S name|attr|attr", "T text", "E name".
class RecordingXmlParser : public CXmlParser {
public:
    std::vector<std::string> events;
    bool cutAttributesAtEquals = false;  // write into the slots, as the ".zcd" reader does

protected:
    void startElement(char* name, char** attributes) override {
        std::string line = "S "s + name;
        for (std::size_t i = 0; i < kAttributeSlotCount && attributes[i][0] != '\0'; ++i) {
            line += '|';
            line += attributes[i];
            if (cutAttributesAtEquals) {
                if (char* equals = std::strchr(attributes[i], '=')) {
                    *equals = '\0';
                }
            }
        }
        events.push_back(line);
    }
    void endElement(char* name) override { events.push_back("E "s + name); }
    void characterData(char* text) override { events.push_back("T "s + text); }
};

class XmlParserTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const std::string& path : written_) {
            std::remove(path.c_str());
        }
    }

    std::string writeFile(const std::string& content) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string path = ::testing::TempDir() + "xml_parser_" + info->test_suite_name() + "_" + info->name() + "_" +
                           std::to_string(written_.size()) + ".xml";
        std::ofstream(path, std::ios::binary) << content;
        written_.push_back(path);
        return path;
    }

    int32_t parse(const std::string& content, RecordingXmlParser& parser) {
        return parser.parseFile(writeFile(content).c_str());
    }

private:
    std::vector<std::string> written_;
};

struct GrammarCase {
    const char* label;
    std::string document;
    int32_t result;
    std::vector<std::string> events;
};

const GrammarCase kGrammarCases[] = {
    {"empty file", "", 0, {}},
    {"element with text", "<a>hello</a>", 0, {"S a", "T hello", "E a"}},
    {"self-closing with attributes", R"(<a x="1" y="2"/>)", 0, {"S a|x=1|y=2", "E a"}},
    {"slot after the last attribute is emptied", R"(<a x="1" y="2"/><b z="3"/>)", 0,
     {"S a|x=1|y=2", "E a", "S b|z=3", "E b"}},
    {"text only before the first child", "<a>x<b/>y</a>", 0, {"S a", "T x", "S b", "E b", "E a"}},
    {"text after an end tag ignored", "<r><a>x</a>y</r>", 0, {"S r", "T ", "S a", "T x", "E a", "E r"}},
    {"space before equals", R"(<a x ="1"/>)", 2, {}},
    {"space after equals", R"(<a x= "1"/>)", 2, {}},
    {"'<' in quoted value", R"(<a x="<"/>)", 2, {}},
    {"missing end tag", "<a><b>t</b>", 2, {"S a", "T ", "S b", "T t", "E b"}},
    {"extra end tag", "<a></a></b>", 2, {"S a", "T ", "E a", "E b"}},
    {"end tags not matched by name", "<a></b>", 0, {"S a", "T ", "E b"}},
    {"declaration makes no callback", R"(<?xml version="1.0"?><a/>)", 0, {"S a", "E a"}},
    {"'<' in instruction", "<?x <a/>", 2, {}},
    {"'?' after the first name character", "<a?/>", 0, {"S a?", "E a?"}},
    {"line break after name joins the name", "<a\nx=\"1\">t</a>", 0, {"S a\nx=1", "T t", "E a"}},
    {"line break after attribute starts one", "<a x=\"1\"\ny=\"2\"/>", 0, {"S a|x=1|\ny=2", "E a"}},
    {"indentation after line break", "<a x=\"1\"\n  y=\"2\"/>", 2, {}},
    {"unquoted value up to '>'", "<a x=1>t</a>", 0, {"S a|x=1", "T t", "E a"}},
    {"unquoted value keeps a trailing '/'", "<a x=1/></a>", 0, {"S a|x=1/", "T ", "E a"}},
    {"space in unquoted value", "<a x=1 y=2/>", 2, {}},
    {"quote inside unquoted value", R"(<a x=b"c d"/>)", 0, {"S a|x=bc d", "E a"}},
    {"'>' in quoted value dropped", R"(<a x="1>2"/>)", 0, {"S a|x=12", "E a"}},
    {"quotes and '>' dropped from text", R"(<a>say "hi" > x/y</a>)", 0, {"S a", "T say hi  x/y", "E a"}},
    {"entities passed literally", "<a>&amp;&lt;</a>", 0, {"S a", "T &amp;&lt;", "E a"}},
    {"attribute without value ends the tag", R"(<a x="1" c></a>)", 0, {"S a|x=1|c", "T ", "E a"}},
    {"space after attribute without value", "<a b c/>", 2, {}},
    {"slash then space in empty tag", "<a / >", 0, {"S a", "E a"}},
    {"space in end tag ignored", "<ab></a b>", 0, {"S ab", "T ", "E ab"}},
    {"comment is an element name", "<!--c--><a/>", 2, {"S !--c--", "T ", "S a", "E a"}},
    {"comment with spaces", "<!-- c --><a/>", 2, {}},
    {"end of input inside a balanced tag", "<a/><b", 0, {"S a", "E a"}},
    {"'<' inside end tag", "<a></a<", 2, {"S a", "T "}},
    {"'<' inside tag name", "<a<b/>", 2, {}},
    {"error stops callbacks", R"(<a><b x="<"/><c/></a>)", 2, {"S a", "T "}},
    {"text of white space reported", "<a> \n\t</a>", 0, {"S a", "T  \n\t", "E a"}},
    {"stray '>' and quotes outside", R"(>" /<a/>)", 0, {"S a", "E a"}},
    {"NUL in text", "<a>h\0i</a>"s, 0, {"S a", "T h", "E a"}},
    {"NUL as first attribute character ends the list", "<a \0x=\"1\" y=\"2\"/>"s, 0, {"S a", "E a"}},
    {"NUL in name", "<a\0b></a\0b>"s, 0, {"S a", "T ", "E a"}},
};

TEST_F(XmlParserTest, GrammarCases) {
    for (const GrammarCase& c : kGrammarCases) {
        SCOPED_TRACE(c.label);
        RecordingXmlParser parser;
        EXPECT_EQ(parse(c.document, parser), c.result);
        EXPECT_EQ(parser.events, c.events);
    }
}

TEST_F(XmlParserTest, MissingFileGivesOneWithoutCallback) {
    RecordingXmlParser parser;
    EXPECT_EQ(parser.parseFile((::testing::TempDir() + "xml_parser_no_such_dir/none.zcd").c_str()), 1);
    EXPECT_EQ(parser.parseFile(nullptr), 1);
    // A directory may open but cannot be read.
    EXPECT_EQ(parser.parseFile(::testing::TempDir().c_str()), 1);
    EXPECT_TRUE(parser.events.empty());
}

TEST_F(XmlParserTest, OverlongNameTextAndAttributeAreCut) {
    const std::string name70(70, 'n');
    const std::string text1500(1500, 't');
    const std::string value300(300, 'v');
    RecordingXmlParser parser;
    const std::string document = "<" + name70 + " k=\"" + value300 + "\" q=\"2\">" + text1500 + "</" + name70 + ">";
    ASSERT_EQ(parse(document, parser), 0);
    const std::vector<std::string> expected = {"S " + name70.substr(0, 64) + "|" + ("k=" + value300).substr(0, 255) + "|q=2",
                                               "T " + text1500.substr(0, 1023), "E " + name70.substr(0, 64)};
    EXPECT_EQ(parser.events, expected);
}

TEST_F(XmlParserTest, AttributesBeyondSixteenAreDropped) {
    std::string tag = "<a";
    std::string expected = "S a";
    for (int i = 0; i < 20; ++i) {
        const std::string attribute = "k" + std::to_string(i) + "=" + std::string(300, char('a' + i));
        tag += " k" + std::to_string(i) + "=\"" + std::string(300, char('a' + i)) + "\"";
        if (i < 16) {
            expected += "|" + attribute.substr(0, 255);
        }
    }
    RecordingXmlParser parser;
    // The tag after the full one must not see any of its leftovers.
    ASSERT_EQ(parse(tag + "/>" + tag + ">x</a><b y=\"1\"/>", parser), 0);
    const std::vector<std::string> events = {expected, "E a", expected, "T x", "E a", "S b|y=1", "E b"};
    EXPECT_EQ(parser.events, events);
}

TEST_F(XmlParserTest, ExactlySixteenAttributesAllReported) {
    std::string tag = "<a";
    std::string expected = "S a";
    for (int i = 0; i < 16; ++i) {
        tag += " k" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
        expected += "|k" + std::to_string(i) + "=" + std::to_string(i);
    }
    RecordingXmlParser parser;
    ASSERT_EQ(parse(tag + "/>", parser), 0);
    EXPECT_EQ(parser.events, (std::vector<std::string>{expected, "E a"}));
}

// Every padding shifts the whole document by one byte, so each position inside
// the tags, attributes and texts falls on the 4096-byte boundary once.
TEST_F(XmlParserTest, ChunkBoundaryDoesNotChangeCallbacks) {
    std::string body = "<root>";
    std::vector<std::string> expected = {"S root", "T "};
    for (int i = 0; body.size() < 2 * CXmlParser::kChunkSize + 200; ++i) {
        const std::string n = std::to_string(i);
        body += "<item key=\"value " + n + "\" other=u" + n + ">text " + n + "</item><e" + n + "/>";
        expected.insert(expected.end(), {"S item|key=value " + n + "|other=u" + n, "T text " + n, "E item",
                                         "S e" + n, "E e" + n});
    }
    body += "</root>";
    expected.push_back("E root");

    for (std::size_t padding = 0; padding < 80; ++padding) {
        SCOPED_TRACE(padding);
        RecordingXmlParser parser;
        // Padding in front of the root is skipped, so callbacks are the same.
        ASSERT_EQ(parse(std::string(padding, ' ') + body, parser), 0);
        ASSERT_EQ(parser.events, expected);
    }
}

TEST_F(XmlParserTest, FileOfExactlyOneChunkIsReadWhole) {
    // A read of exactly 4096 bytes is followed by one that returns 0.
    const std::string tail = "<a>z</a>";
    RecordingXmlParser parser;
    ASSERT_EQ(parse(std::string(CXmlParser::kChunkSize - tail.size(), ' ') + tail, parser), 0);
    EXPECT_EQ(parser.events, (std::vector<std::string>{"S a", "T z", "E a"}));
}

TEST_F(XmlParserTest, DeepNesting) {
    const int depth = 20000;
    std::string open, close;
    for (int i = 0; i < depth; ++i) {
        open += "<d>";
        close += "</d>";
    }
    RecordingXmlParser balanced;
    EXPECT_EQ(parse(open + close, balanced), 0);
    EXPECT_EQ(balanced.events.size(), 3u * depth);

    RecordingXmlParser unbalanced;
    EXPECT_EQ(parse(open + close.substr(4), unbalanced), 2);
}

TEST_F(XmlParserTest, BinaryGarbageIsHandled) {
    uint32_t state = 12345;
    for (int round = 0; round < 20; ++round) {
        std::string garbage;
        for (int i = 0; i < 10000; ++i) {
            state = state * 1664525u + 1013904223u;
            garbage += static_cast<char>(state >> 24);
        }
        RecordingXmlParser parser;
        const int32_t result = parse(garbage, parser);
        EXPECT_TRUE(result == 0 || result == 2) << result;
    }
}

TEST_F(XmlParserTest, ParserIsReusableAfterAnError) {
    RecordingXmlParser parser;
    // Ends inside a quoted value with one element open.
    EXPECT_EQ(parse("<a><b x=\"", parser), 2);
    parser.events.clear();
    EXPECT_EQ(parse("x<c y=\"1\"/>", parser), 0);
    EXPECT_EQ(parser.events, (std::vector<std::string>{"S c|y=1", "E c"}));
}

TEST_F(XmlParserTest, CalleeMayCutAttributeSlots) {
    RecordingXmlParser parser;
    parser.cutAttributesAtEquals = true;
    ASSERT_EQ(parse(R"(<a x="1" yy="2"/><b long="abc" z></b>)", parser), 0);
    EXPECT_EQ(parser.events, (std::vector<std::string>{"S a|x=1|yy=2", "E a", "S b|long=abc|z", "T ", "E b"}));
}

}  // namespace
}  // namespace canxlate
