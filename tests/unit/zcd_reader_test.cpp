#include <gtest/gtest.h>

#include <string>

#include "shared/definitions/channel_definition_file_loader.h"
#include "unit_test_support.h"

namespace canxlate {
namespace {

// The element stack's top after the document, then describe()'s summary.
std::string readZcd(const std::string& document) {
    const ScratchFile file(document);
    tChannelDefinitionFileLoader loader;
    const int32_t status = loader.parseFile(file.path());
    return std::to_string(loader.elementStackTop) + "/" + describe(status, loader);
}

// The message of channel "deep" inside the given number of unknown elements.
std::string wrapped(int wrappers) {
    std::string open, close;
    for (int i = 0; i < wrappers; ++i) open += "<w>", close += "</w>";
    return open + R"(<message><id>7</id><channel name="deep"><bitfield start="3"/></channel></message>)" + close;
}

struct ZcdCase {
    std::string document;
    std::string expected;
};

// clang-format off
const ZcdCase kZcdCases[] = {
    {R"(<?xml version="1.0"?>
<zecan_config>
  <message><name>Engine</name><id>256</id><bytes>8</bytes>
    <channel name="Speed"><bitfield start="0" bits="16" order="0" type="1"/>
      <linear_scaling factor="0.25" offset="0" min="0" max="16383.75" unit="rpm"/></channel>
    <channel name="Temperature"><bitfield start="16" bits="8" order="1" type="0"/>
      <linear_scaling factor="1" offset="-40" min="-40" max="215" unit="degC"/></channel>
    <channel name="Default"></channel>
  </message>
</zecan_config>
)", "-1/0 256:8\nSpeed|rpm|0|16|1|0|0.25|0|0|16383.75|256|8\nTemperature|degC|16|8|0|1|1|-40|-40|215|256|8\n"
    "Default||0|0|2|0|1|0|0|0|256|8"},
    // ID and size apply from where they stand and carry into the next message...
    {R"(<zecan_config><message><id>1</id><channel name="a"/><bytes>2</bytes></message>)"
     R"(<message><channel name="b"/><id>3</id><channel name="c"/><bytes>4</bytes></message></zecan_config>)",
     "-1/0 3:4\na||0|0|2|0|1|0|0|0|1|-1\nb||0|0|2|0|1|0|0|0|1|2\nc||0|0|2|0|1|0|0|0|3|2"},
    // ...and count only directly under "message"; numbers read as C integers.
    {"<zecan_config><id>7</id><message><id>0x100</id><bytes>\n  3  \n</bytes><channel name=\"c\"><id>8</id>"
     "<bytes>2</bytes></channel><x><id>9</id></x></message><message><id>-2</id></message></zecan_config>",
     "-1/0 -2:3\nc||0|0|2|0|1|0|0|0|0|3"},
    // A channel under the document element is rejected; its bitfield goes to the channel before.
    {R"(<zecan_config><message><channel name="a"/></message><channel name="lost"><bitfield start="7" bits="9"/>)"
     R"(</channel></zecan_config>)", "-1/0 -1:-1\na||7|9|2|0|1|0|0|0|-1|-1"},
    // The name is the first attribute's value, whatever it is called; values
    // end at their first "="; integers wrap into 32 bits; without a type the
    // channel stays floating point.
    {R"(<message><channel comment="x" name="y"/><channel/><channel name></channel><channel name="a=b">)"
     R"(<bitfield bits="5" order="1" start=3=4></bitfield></channel><channel name="n">)"
     R"(<bitfield start="-1" bits="4294967297" type="0"/></channel></message>)",
     "-1/0 -1:-1\nx||0|0|2|0|1|0|0|0|-1|-1\n||0|0|2|0|1|0|0|0|-1|-1\n||0|0|2|0|1|0|0|0|-1|-1\n"
     "a=b||3|5|2|1|1|0|0|0|-1|-1\nn||4294967295|1|0|0|1|0|0|0|-1|-1"},
    // A later attribute overrides; unknown and value-less ones change nothing;
    // comma and point both separate decimals.
    {R"(<message><channel name="o"><bitfield start="1" bits="2" start="3" name="9" type></bitfield>)"
     R"(<linear_scaling factor="2" factor="4" default="5" start="6" unit="V" offset></linear_scaling>)"
     R"(<linear_scaling min="0.125" max="1e3" unit></linear_scaling></channel><channel name="d">)"
     R"(<linear_scaling unit="V"/><linear_scaling unit="" factor="0,125" offset="-1,5"/></channel></message>)",
     "-1/0 -1:-1\no|V|3|2|2|0|4|0|0.125|1000|-1|-1\nd||0|0|2|0|0.125|-1.5|0|0|-1|-1"},
    // A mux needs a "message" parent and only mux attributes, a mode a mux
    // parent and "val" first; a channel inside a rejected element is judged
    // against the nearest accepted one around it, and so is kept or not.
    {R"(<message><id>4</id><mux name="m" start="0" bits="2" order="0" defmode="1" conflicts="no">)"
     R"(<mode val="1"><channel name="a"/></mode><channel name="b"/><mode value="1"><channel name="c"/></mode>)"
     R"(<mode><channel name="d"/></mode></mux><mux name="m" val="1"><channel name="e"/></mux></message>)",
     "-1/0 4:-1\na||0|0|2|0|1|0|0|0|4|-1\ne||0|0|2|0|1|0|0|0|4|-1"},
    {R"(<message><mode val="1"><channel name="a"/></mode><x><mux name="m"><channel name="b"/></mux>)"
     R"(<mode val="1"><channel name="d"/></mode></x><group><channel name="e"/></group><Channel name="f"/></message>)",
     "-1/0 -1:-1\na||0|0|2|0|1|0|0|0|-1|-1"},
    // All 16 attribute slots are read.
    {R"(<message><channel name="s"><bitfield a="" b="" c="" d="" e="" f="" g="" h="" i="" j="" k="" l="" m="" n="")"
     R"( o="" bits="9"/></channel></message>)", "-1/0 -1:-1\ns||0|9|2|0|1|0|0|0|-1|-1"},
    // A bitfield or scaling before any channel is accepted and changes nothing.
    {R"(<message><bitfield start="5"><channel name="a"/></bitfield><linear_scaling factor="3"/>)"
     R"(<channel name="b"/></message>)", "-1/0 -1:-1\nb||0|0|2|0|1|0|0|0|-1|-1"},
    // An end tag pops only when its kind is on top of the stack.
    {R"(<message><mux bad="1"></mux><channel name="b"/><x></message><channel name="c"/></x>)",
     "0/0 -1:-1\nb||0|0|2|0|1|0|0|0|-1|-1"},
    // 22 wrappers put the channel at depth 24, the deepest accepted.
    {wrapped(22), "-1/0 7:-1\ndeep||0|0|2|0|1|0|0|0|7|-1"}, {wrapped(23), "-1/0 -1:-1"},
    // A syntax error keeps the records made before it.
    {R"(<message><channel name="a"/><channel name ="b"/></message>)", "0/2 -1:-1\na||0|0|2|0|1|0|0|0|-1|-1"}};
// clang-format on

TEST(ZcdReader, Documents) {
    for (const ZcdCase& c : kZcdCases) {
        EXPECT_EQ(readZcd(c.document), c.expected) << c.document;
    }
}

}  // namespace
}  // namespace canxlate
