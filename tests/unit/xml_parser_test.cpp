#include "import/xml_parser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "unit_test_support.h"

namespace canxlate {
namespace {

using namespace std::string_literals;
using Events = std::vector<std::string>;

// Records every callback as one line: "S name|attr|attr", "T text", "E name".
class RecordingXmlParser : public CXmlParser {
public:
    int32_t parse(const std::string& document) {
        events.clear();
        const ScratchFile file(document);
        return parseFile(file.path());
    }
    Events events;
    bool cutAttributes = false;  // writes into the slots, as the ".zcd" reader does

protected:
    void startElement(char* name, char** attributes) override {
        std::string line = "S "s + name;
        for (std::size_t i = 0; i < kAttributeSlotCount && attributes[i][0] != '\0'; ++i) {
            line += "|"s + attributes[i];
            if (char* equals = std::strchr(attributes[i], '='); equals != nullptr && cutAttributes) *equals = '\0';
        }
        events.push_back(line);
    }
    void endElement(char* name) override { events.push_back("E "s + name); }
    void characterData(char* text) override { events.push_back("T "s + text); }
};

// A tag with count attributes "kI=vvv", and its start event: 16 attributes
// of at most 255 characters each.
std::pair<std::string, std::string> manyAttributes(int count, std::size_t length) {
    std::pair<std::string, std::string> tagAndEvent = {"<a", "S a"};
    for (int i = 0; i < count; ++i) {
        const std::string name = "k" + std::to_string(i), value(length, char('a' + i));
        tagAndEvent.first += " " + name + "=\"" + value + "\"";
        if (i < 16) tagAndEvent.second += "|" + (name + "=" + value).substr(0, 255);
    }
    return tagAndEvent;
}
const auto [kSixteen, kSixteenEvent] = manyAttributes(16, 1);
const auto [kTwenty, kTwentyEvent] = manyAttributes(20, 300);
const std::string kLongName(70, 'n'), kLongText(1500, 't'), kLongValue(300, 'v');

struct XmlCase {
    const char* label;
    std::string document;
    int32_t result;
    Events events;
    bool cutAttributes = false;
};

// One parser reads them all in turn: nothing of a document, not even one cut
// short by an error, may reach the next.
const XmlCase kXmlCases[] = {
    {"empty file", "", 0, {}},
    {"element with text", "<a>hello</a>", 0, {"S a", "T hello", "E a"}},
    {"self-closing with attributes", R"(<a x="1" y="2"/><b z="3"/>)", 0, {"S a|x=1|y=2", "E a", "S b|z=3", "E b"}},
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
    {"end of input in a quoted value", "<a><b x=\"", 2, {"S a", "T "}},
    {"stray text, '>' and quotes outside", R"(x>" /<c y="1"/>)", 0, {"S c|y=1", "E c"}},
    {"text of white space reported", "<a> \n\t</a>", 0, {"S a", "T  \n\t", "E a"}},
    {"NUL in text", "<a>h\0i</a>"s, 0, {"S a", "T h", "E a"}},
    {"NUL as first attribute character ends the list", "<a \0x=\"1\" y=\"2\"/>"s, 0, {"S a", "E a"}},
    {"NUL in name", "<a\0b></a\0b>"s, 0, {"S a", "T ", "E a"}},
    {"callee may cut the slots",
     R"(<a x="1" yy="2"/><b long="abc" z></b>)",
     0,
     {"S a|x=1|yy=2", "E a", "S b|long=abc|z", "T ", "E b"},
     true},
    {"overlong name, text and attribute are cut",
     "<" + kLongName + " k=\"" + kLongValue + "\" q=\"2\">" + kLongText + "</" + kLongName + ">",
     0,
     {"S " + kLongName.substr(0, 64) + "|k=" + kLongValue.substr(0, 253) + "|q=2", "T " + kLongText.substr(0, 1023),
      "E " + kLongName.substr(0, 64)}},
    {"16 attributes reported", kSixteen + "/>", 0, {kSixteenEvent, "E a"}},
    {"attributes beyond 16 dropped, with no leftovers in the next tag",
     kTwenty + "/>" + kTwenty + ">x</a><b y=\"1\"/>",
     0,
     {kTwentyEvent, "E a", kTwentyEvent, "T x", "E a", "S b|y=1", "E b"}},
    {"file of exactly one read chunk",
     std::string(CXmlParser::kChunkSize - 8, ' ') + "<a>z</a>",
     0,
     {"S a", "T z", "E a"}},
};

TEST(XmlParser, Documents) {
    RecordingXmlParser parser;
    for (const XmlCase& c : kXmlCases) {
        SCOPED_TRACE(c.label);
        parser.cutAttributes = c.cutAttributes;
        EXPECT_EQ(parser.parse(c.document), c.result);
        EXPECT_EQ(parser.events, c.events);
    }
}

// Every padding shifts the document by one byte, so each position inside the
// tags, attributes and texts falls on a chunk boundary once.
TEST(XmlParser, ChunkBoundaries) {
    std::string body = "<root>";
    Events expected = {"S root", "T "};
    for (int i = 0; body.size() < 2 * CXmlParser::kChunkSize + 200; ++i) {
        const std::string n = std::to_string(i);
        body += "<item key=\"value " + n + "\" other=u" + n + ">text " + n + "</item><e" + n + "/>";
        expected.insert(expected.end(),
                        {"S item|key=value " + n + "|other=u" + n, "T text " + n, "E item", "S e" + n, "E e" + n});
    }
    expected.push_back("E root");
    RecordingXmlParser parser;
    for (std::size_t padding = 0; padding < 80; ++padding) {
        ASSERT_EQ(parser.parse(std::string(padding, ' ') + body + "</root>"), 0) << padding;
        ASSERT_EQ(parser.events, expected) << padding;
    }
}

// No file, deep nesting and random bytes: no callback, recursion or overrun.
TEST(XmlParser, UnreadableDeepAndGarbage) {
    RecordingXmlParser parser;
    const std::string directory = ::testing::TempDir();
    for (const char* path :
         {"/canxlate_no_such_dir/none.zcd", "", directory.c_str(), static_cast<const char*>(nullptr)}) {
        EXPECT_EQ(parser.parseFile(path), 1);
    }
    EXPECT_TRUE(parser.events.empty());
    std::string open, close;
    for (int i = 0; i < 20000; ++i) open += "<d>", close += "</d>";
    EXPECT_EQ(parser.parse(open + close), 0);
    EXPECT_EQ(parser.events.size(), 3u * 20000);
    EXPECT_EQ(parser.parse(open + close.substr(4)), 2);
    uint32_t state = 12345;
    for (int round = 0; round < 20; ++round) {
        std::string garbage;
        for (int i = 0; i < 10000; ++i) garbage += static_cast<char>((state = state * 1664525u + 1013904223u) >> 24);
        const int32_t result = parser.parse(garbage);
        EXPECT_TRUE(result == 0 || result == 2) << result;
    }
}

}  // namespace
}  // namespace canxlate
