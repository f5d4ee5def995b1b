#include "shared/definitions/xml_parser.h"

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
    std::string document;
    int32_t result;
    Events events;
    bool cutAttributes = false;
};

// One parser reads them all in turn: nothing of a document, not even of one
// cut short by an error, may reach the next.
// clang-format off
const XmlCase kXmlCases[] = {
    {"", 0, {}},
    {R"(<a x="1" y="2"/><b z="3"/>)", 0, {"S a|x=1|y=2", "E a", "S b|z=3", "E b"}},
    // Text: only before the first child, quotes and '>' dropped, entities and
    // white space kept, a NUL ends it.
    {"<r>x<a>y</a>z</r>", 0, {"S r", "T x", "S a", "T y", "E a", "E r"}},
    {R"(<a>say "hi" > &amp; x/y</a>)", 0, {"S a", "T say hi  &amp; x/y", "E a"}},
    {"<a> \n\t</a>", 0, {"S a", "T  \n\t", "E a"}}, {"<a>h\0i</a>"s, 0, {"S a", "T h", "E a"}},
    // End tags are counted, not matched by name.
    {"<a><b>t</b>", 2, {"S a", "T ", "S b", "T t", "E b"}}, {"<a></a></b>", 2, {"S a", "T ", "E a", "E b"}},
    {"<a></b>", 0, {"S a", "T ", "E b"}}, {"<ab></a b>", 0, {"S ab", "T ", "E ab"}},
    {"<a/><b", 0, {"S a", "E a"}},
    // Instructions make no callback; a comment is an element name.
    {R"(<?xml version="1.0"?><a?/>)", 0, {"S a?", "E a?"}}, {"<?x <a/>", 2, {}},
    {"<!--c--><a/>", 2, {"S !--c--", "T ", "S a", "E a"}},
    // A line break is no blank: it joins the name or starts an attribute.
    {"<a\nx=\"1\">t</a>", 0, {"S a\nx=1", "T t", "E a"}}, {"<a x=\"1\"\ny=\"2\"/>", 0, {"S a|x=1|\ny=2", "E a"}},
    {"<a x=\"1\"\n  y=\"2\"/>", 2, {}},
    // Attribute values: unquoted up to '>', quotes and '>' dropped, no blank
    // inside an attribute unless quoted; one without a value ends the list.
    {"<a x=1>t</a>", 0, {"S a|x=1", "T t", "E a"}}, {"<a x=1/></a>", 0, {"S a|x=1/", "T ", "E a"}},
    {R"(<a x=b"c d"/>)", 0, {"S a|x=bc d", "E a"}}, {R"(<a x="1>2"/>)", 0, {"S a|x=12", "E a"}},
    {R"(<a x= "1"/>)", 2, {}}, {R"(<a x="1" c></a>)", 0, {"S a|x=1|c", "T ", "E a"}}, {"<a / >", 0, {"S a", "E a"}},
    {"<a \0x=\"1\" y=\"2\"/>"s, 0, {"S a", "E a"}}, {"<a\0b></a\0b>"s, 0, {"S a", "T ", "E a"}},
    // '<' inside a tag is an error, after which no callback comes.
    {"<a></a<", 2, {"S a", "T "}}, {"<a<b/>", 2, {}}, {R"(<a><b x="<"/><c/></a>)", 2, {"S a", "T "}},
    {"<a><b x=\"", 2, {"S a", "T "}}, {R"(x>" /<c y="1"/>)", 0, {"S c|y=1", "E c"}},
    {R"(<a x="1" yy="2"/><b long="abc" z></b>)", 0, {"S a|x=1|yy=2", "E a", "S b|long=abc|z", "T ", "E b"}, true},
    // Names are cut to 64 characters, texts to 1023, attributes to 255; at
    // most 16 attributes are reported, nothing of the others, nor anything for the next tag.
    {"<" + kLongName + " k=\"" + kLongValue + "\" q=\"2\">" + kLongText + "</" + kLongName + ">", 0,
     {"S " + kLongName.substr(0, 64) + "|k=" + kLongValue.substr(0, 253) + "|q=2", "T " + kLongText.substr(0, 1023),
      "E " + kLongName.substr(0, 64)}},
    {kSixteen + "/>", 0, {kSixteenEvent, "E a"}}, {manyAttributes(17, 1).first + "/>", 0, {kSixteenEvent, "E a"}},
    {kTwenty + "/>" + kTwenty + ">x</a><b y=\"1\"/>", 0, {kTwentyEvent, "E a", kTwentyEvent, "T x", "E a", "S b|y=1", "E b"}},
    {std::string(CXmlParser::kChunkSize - 8, ' ') + "<a>z</a>", 0, {"S a", "T z", "E a"}}};  // exactly one chunk
// clang-format on

TEST(XmlParser, Documents) {
    RecordingXmlParser parser;
    for (const XmlCase& c : kXmlCases) {
        SCOPED_TRACE(c.document);
        parser.cutAttributes = c.cutAttributes;
        EXPECT_EQ(parser.parse(c.document), c.result);
        EXPECT_EQ(parser.events, c.events);
    }
}

struct MarkupCase {
    std::string document;
    int32_t result;
    Events events;
    uint32_t line = 0, column = 0, cutLine = 0;  // checked when the result is not 0
};

// With markup recognised: comments and declarations skipped, CDATA as text,
// and where a document failed or was cut.
// clang-format off
const MarkupCase kMarkupCases[] = {
    {R"(<!-- a > b - c --><!DOCTYPE a [<!ELEMENT a ANY>]><a x="1"/>)", 0, {"S a|x=1", "E a"}},
    {"<a>1<!-- x -->2<![CDATA[<b>\" ]] ]x]]]></a>", 0, {"S a", "T 12<b>\" ]] ]x]", "E a"}},
    {"<a><!-- -></a>", 2, {"S a"}, 1, 14}, {"<a><![CDATA[x]></a>", 2, {"S a"}, 1, 19},
    {"<a>\n<b x=\"1\" y = \"2\"/></a>", 2, {"S a", "T \n"}, 2, 11},
    {"<a>\n\n<b k=\"" + kLongValue + "\"/>", 2, {"S a", "T \n\n", "S b|k=" + kLongValue.substr(0, 253), "E b"}, 3, 309, 3}};
// clang-format on

TEST(XmlParser, MarkupPositionsAndCuts) {
    RecordingXmlParser parser;
    parser.recogniseMarkup();
    for (const MarkupCase& c : kMarkupCases) {
        SCOPED_TRACE(c.document);
        EXPECT_EQ(parser.parse(c.document), c.result);
        EXPECT_EQ(parser.events, c.events);
        if (c.result == 0) continue;
        EXPECT_EQ(parser.line(), c.line);
        EXPECT_EQ(parser.column(), c.column);
        EXPECT_EQ(parser.firstCutLine(), c.cutLine);
        EXPECT_EQ(parser.endedOpen(), c.cutLine != 0);
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

// No file: no callback. Deep nesting: no recursion.
TEST(XmlParser, UnreadableAndDeep) {
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
}

}  // namespace
}  // namespace canxlate
