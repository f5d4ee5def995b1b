#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "import/channel_definition_file_loader.h"
#include "imported_channel_expectation.h"

namespace canxlate {
namespace {

class ZcdReaderTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const std::string& path : written_) {
            std::remove(path.c_str());
        }
    }

    // Parses the document and returns the parser's result.
    int32_t read(const std::string& document) { return read(loader, document); }
    int32_t read(tChannelDefinitionFileLoader& target, const std::string& document) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string path = ::testing::TempDir() + "zcd_reader_" + info->name() + "_" +
                                 std::to_string(written_.size()) + ".zcd";
        std::ofstream(path, std::ios::binary) << document;
        written_.push_back(path);
        return target.parseFile(path.c_str());
    }

    void expectChannels(const std::vector<ExpectedChannel>& expected) { expectChannels(loader, expected); }
    static void expectChannels(const tChannelDefinitionFileLoader& source, const std::vector<ExpectedChannel>& expected) {
        ASSERT_EQ(source.results.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            expectChannel(*source.results[i], expected[i]);
        }
    }

    tChannelDefinitionFileLoader loader;

private:
    std::vector<std::string> written_;
};

TEST_F(ZcdReaderTest, ReadsTwoChannelMessage) {
    ASSERT_EQ(read(R"(<?xml version="1.0"?>
<zecan_config>
  <message>
    <name>Engine</name>
    <id>256</id>
    <bytes>8</bytes>
    <channel name="Speed">
      <bitfield start="0" bits="16" order="0" type="1"/>
      <linear_scaling factor="0.25" offset="0" min="0" max="16383.75" unit="rpm"/>
    </channel>
    <channel name="Temperature">
      <bitfield start="16" bits="8" order="0" type="1"/>
      <linear_scaling factor="1" offset="-40" min="-40" max="215" unit="degC"/>
    </channel>
  </message>
</zecan_config>
)"),
              0);
    expectChannels({
        {.name = "Speed", .unit = "rpm", .startBit = 0, .bitCount = 16, .dataType = 1, .byteOrder = 0,
         .factor = 0.25, .offset = 0, .minimum = 0, .maximum = 16383.75, .messageId = 256, .payloadSize = 8},
        {.name = "Temperature", .unit = "degC", .startBit = 16, .bitCount = 8, .dataType = 1, .byteOrder = 0,
         .factor = 1, .offset = -40, .minimum = -40, .maximum = 215, .messageId = 256, .payloadSize = 8},
    });
    EXPECT_EQ(loader.elementStackTop, -1);
}

struct ReaderCase {
    const char* label;
    std::string document;
    std::vector<ExpectedChannel> channels;
};

const ReaderCase kReaderCases[] = {
    {"channel without bitfield keeps the defaults",
     R"(<zecan_config><message><id>5</id><bytes>4</bytes><channel name="c"></channel></message></zecan_config>)",
     {{.name = "c", .messageId = 5, .payloadSize = 4}}},
    {"bytes after the channels of the first message",
     R"(<zecan_config><message><id>1</id><channel name="a"/><bytes>2</bytes></message>
        <message><id>3</id><channel name="b"/><bytes>4</bytes></message></zecan_config>)",
     {{.name = "a", .messageId = 1}, {.name = "b", .messageId = 3, .payloadSize = 2}}},
    {"second message inherits size and id",
     R"(<zecan_config><message><id>1</id><bytes>6</bytes><channel name="a"/></message>
        <message><channel name="b"/><id>9</id><channel name="c"/></message></zecan_config>)",
     {{.name = "a", .messageId = 1, .payloadSize = 6},
      {.name = "b", .messageId = 1, .payloadSize = 6},
      {.name = "c", .messageId = 9, .payloadSize = 6}}},
    {"channel under the document element is rejected, its bitfield goes to the previous one",
     R"(<zecan_config><message><id>1</id><bytes>8</bytes><channel name="a"/></message>
        <channel name="lost"><bitfield start="7" bits="9"/></channel></zecan_config>)",
     {{.name = "a", .startBit = 7, .bitCount = 9, .messageId = 1, .payloadSize = 8}}},
    {"name taken from the first attribute whatever it is called",
     R"(<message><channel comment="x" name="y"/><channel/><channel name></channel></message>)",
     {{.name = "x"}, {.name = ""}, {.name = ""}}},
    {"value cut at the first equals sign",
     R"(<message><channel name="a=b"><bitfield bits="5" start=3=4></bitfield></channel></message>)",
     {{.name = "a=b", .startBit = 3, .bitCount = 5}}},
    {"bitfield without type leaves floating point",
     R"(<message><channel name="f"><bitfield start="8" bits="32" order="1"/></channel></message>)",
     {{.name = "f", .startBit = 8, .bitCount = 32, .dataType = 2, .byteOrder = 1}}},
    {"later attribute overrides, unknown and value-less ones change nothing",
     R"(<message><channel name="o"><bitfield start="1" bits="2" start="3" name="9" type></bitfield>)"
     R"(<linear_scaling factor="2" factor="4" default="5" start="6" offset></linear_scaling></channel></message>)",
     {{.name = "o", .startBit = 3, .bitCount = 2, .factor = 4}}},
    {"unit without value keeps the earlier unit",
     R"(<message><channel name="u"><linear_scaling unit="V"/><linear_scaling unit></linear_scaling></channel>)"
     R"(<channel name="e"><linear_scaling unit="V"/><linear_scaling unit=""/></channel></message>)",
     {{.name = "u", .unit = "V"}, {.name = "e", .unit = ""}}},
    {"hexadecimal id reads as 0, white space around numbers skipped",
     "<message><id>0x100</id><bytes>\n  3  \n</bytes><channel name=\"h\"/></message>",
     {{.name = "h", .messageId = 0, .payloadSize = 3}}},
    {"negative and overlong numbers wrap into 32 bits",
     R"(<message><id>-2</id><channel name="n"><bitfield start="-1" bits="4294967297"/></channel></message>)",
     {{.name = "n", .startBit = kNotSet, .bitCount = 1, .messageId = 0xFFFFFFFEu}}},
    {"decimal comma and decimal point read alike",
     R"(<message><channel name="d"><linear_scaling factor="0,125" offset="-1,5" min="0.125" max="1e3"/>)"
     R"(</channel></message>)",
     {{.name = "d", .factor = 0.125, .offset = -1.5, .minimum = 0.125, .maximum = 1000}}},
    {"id and bytes count only directly under message",
     R"(<zecan_config><id>7</id><message><channel name="c"><id>8</id><bytes>2</bytes></channel>)"
     R"(<x><id>9</id></x></message></zecan_config>)",
     {{.name = "c"}}},
    {"valid mux and mode hold ordinary channels",
     R"(<message><id>4</id><mux name="m" start="0" bits="2" order="0" defmode="1" conflicts="no">)"
     R"(<mode val="1"><channel name="in_mode"/></mode></mux></message>)",
     {{.name = "in_mode", .messageId = 4}}},
    {"mux with an unknown attribute: its modes are rejected, their channels judged against the message",
     R"(<message><mux name="m" val="1"><mode val="1"><channel name="kept"/></mode></mux></message>)",
     {{.name = "kept"}}},
    {"mode without val: its channels judged against the mux and rejected",
     R"(<message><mux name="m"><mode value="1"><channel name="a"/></mode><mode><channel name="b"/></mode>)"
     R"(<mode val="2"><channel name="c"/></mode></mux></message>)",
     {{.name = "c"}}},
    {"mux outside message and mode outside mux are rejected",
     R"(<message><mode val="1"><channel name="a"/></mode><x><mux name="m"><channel name="b"/></mux>)"
     R"(<mode val="1"><channel name="d"/></mode></x></message>)",
     {{.name = "a"}}},
    {"channel directly inside a mux: rejected under a valid mux, kept under a rejected one",
     R"(<message><mux name="m"><channel name="a"/></mux><mux val="1"><channel name="b"/></mux>)"
     R"(<mux bad="1"><channel name="c"/></mux></message>)",
     {{.name = "b"}, {.name = "c"}}},
    {"channel inside an unknown element is rejected, the unknown element is kept",
     R"(<message><group><channel name="a"/></group><Channel name="b"/><channel name="c"/></message>)",
     {{.name = "c"}}},
    {"bitfield before any channel is accepted and changes nothing",
     R"(<message><bitfield start="5"><channel name="a"/></bitfield><linear_scaling factor="3"/>)"
     R"(<channel name="b"/></message>)",
     {{.name = "b"}}},
    {"end tag of a rejected or unmatched element pops nothing",
     R"(<message><mux bad="1"></mux><channel name="b"/><x></message><channel name="c"/></x>)",
     {{.name = "b"}}},
};

TEST_F(ZcdReaderTest, ElementRules) {
    for (const ReaderCase& c : kReaderCases) {
        SCOPED_TRACE(c.label);
        tChannelDefinitionFileLoader fresh;
        ASSERT_EQ(read(fresh, c.document), 0);
        expectChannels(fresh, c.channels);
    }
}

// 22 unknown wrappers put "message" at depth 23 and its children at depth 24;
// one more wrapper pushes the children to depth 25, where they are rejected.
TEST_F(ZcdReaderTest, ElementsBeyondDepthTwentyFourAreRejected) {
    auto nested = [](int wrappers) {
        std::string open, close;
        for (int i = 0; i < wrappers; ++i) {
            open += "<w>";
            close += "</w>";
        }
        return open + R"(<message><id>7</id><channel name="deep"><bitfield start="3"/></channel></message>)" + close;
    };
    ASSERT_EQ(read(nested(22)), 0);
    // The bitfield at depth 25 is rejected; the channel at 24 is kept.
    expectChannels({{.name = "deep", .startBit = 0, .messageId = 7}});

    tChannelDefinitionFileLoader deeper;
    ASSERT_EQ(read(deeper, nested(23)), 0);
    EXPECT_TRUE(deeper.results.empty());
    EXPECT_EQ(deeper.currentMessageId, -1);
}

TEST_F(ZcdReaderTest, SyntaxErrorKeepsRecordsMadeBeforeIt) {
    EXPECT_EQ(read(R"(<message><channel name="a"/><channel name ="b"/></message>)"), 2);
    expectChannels({{.name = "a"}});
}

}  // namespace
}  // namespace canxlate
