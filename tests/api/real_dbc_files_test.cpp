// Five real-world DBC files, imported through the C interface and decoded on
// frames whose signal values another, widely used DBC tool computed
// (tests/data/opendbc/README.md). Every difference between the two must come
// from a rule of this library, and each such case is counted per reason.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "api_test_support.h"
#include "frames_json.h"

namespace canxlate::test {
namespace {

constexpr uint64_t kMessageIdMask = 0x1FFFFFFF;

// ---------------------------------------------------------------------------
// The test's own reading of a DBC file: only message, signal and value type
// lines that begin with their keyword, each as the DBC format writes it. This
// is deliberately not the library's reading (which looks for the keywords
// anywhere in a line); it only supplies the limits and what the library's
// channel rules will refuse.

struct DbcSignal {
    std::string name;         // plain name, as the frames file keys it
    std::string multiplexer;  // "M", "m2", ... or empty
    uint32_t startBit = 0;    // as written: the most significant bit for Motorola
    uint32_t bitCount = 0;
    bool motorola = false;
    double minimum = 0.0;
    double maximum = 0.0;

    // The library keeps the multiplexer indicator in the channel name.
    std::string channelName() const { return multiplexer.empty() ? name : name + ' ' + multiplexer; }
};

struct DbcMessage {
    uint64_t fileId = 0;     // the number on the "BO_ " line
    uint32_t messageId = 0;  // its low 29 bits, the library's key
    bool afterFirstValueTypeLine = false;
    std::vector<DbcSignal> signals;
};

struct DbcContent {
    std::vector<DbcMessage> messages;
    size_t valueTypeLines = 0;
    std::vector<std::string> unreadableLines;
};

template <class Number>
bool readNumber(std::string_view text, size_t& position, Number& value) {
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data() + position, end, value);
    if (error != std::errc{}) return false;
    position = static_cast<size_t>(stop - text.data());
    return true;
}

bool skipLiteral(std::string_view text, size_t& position, std::string_view literal) {
    if (text.substr(position, literal.size()) != literal) return false;
    position += literal.size();
    return true;
}

// The text after "SG_ ":  Name [multiplexer] : start|bits@order sign (factor,offset) [min|max] "unit" receivers
std::optional<DbcSignal> parseSignalLine(std::string_view text) {
    const size_t separator = text.find(" : ");
    if (separator == std::string_view::npos) return std::nullopt;
    const std::string_view head = text.substr(0, separator);
    const size_t blank = head.find(' ');
    DbcSignal signal;
    signal.name = std::string(head.substr(0, blank));
    if (blank != std::string_view::npos) signal.multiplexer = std::string(head.substr(blank + 1));

    size_t position = separator + 3;
    if (!readNumber(text, position, signal.startBit) || !skipLiteral(text, position, "|") ||
        !readNumber(text, position, signal.bitCount) || !skipLiteral(text, position, "@") ||
        position + 2 > text.size())
        return std::nullopt;
    const char order = text[position];
    const char sign = text[position + 1];
    if ((order != '0' && order != '1') || (sign != '+' && sign != '-') || signal.bitCount == 0) return std::nullopt;
    signal.motorola = order == '0';

    position = text.find(" [", position);
    if (position == std::string_view::npos) return std::nullopt;
    position += 2;
    if (!readNumber(text, position, signal.minimum) || !skipLiteral(text, position, "|") ||
        !readNumber(text, position, signal.maximum) || !skipLiteral(text, position, "]"))
        return std::nullopt;
    return signal;
}

DbcContent readDbcContent(const std::string& path) {
    DbcContent content;
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        content.unreadableLines.push_back("cannot open " + path);
        return content;
    }
    bool valueTypeLineSeen = false;
    std::string line;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string_view text = line;
        text.remove_prefix(std::min(text.find_first_not_of(" \t"), text.size()));
        if (text.starts_with("BO_ ")) {
            DbcMessage message;
            size_t position = 4;
            if (!readNumber(text, position, message.fileId)) {
                content.unreadableLines.push_back(line);
                continue;
            }
            message.messageId = static_cast<uint32_t>(message.fileId & kMessageIdMask);
            message.afterFirstValueTypeLine = valueTypeLineSeen;
            content.messages.push_back(std::move(message));
        } else if (text.starts_with("SG_ ")) {
            std::optional<DbcSignal> signal = parseSignalLine(text.substr(4));
            if (!signal || content.messages.empty())
                content.unreadableLines.push_back(line);
            else
                content.messages.back().signals.push_back(std::move(*signal));
        } else if (text.starts_with("SIG_VALTYPE_ ")) {
            ++content.valueTypeLines;
            valueTypeLineSeen = true;
        }
    }
    return content;
}

// Bit number of a Motorola signal's least significant bit, walking from its
// most significant bit down within a byte and on to bit 7 of the next byte.
uint32_t motorolaLeastSignificantBit(uint32_t mostSignificantBit, uint32_t bitCount) {
    uint32_t bit = mostSignificantBit;
    for (uint32_t i = 1; i < bitCount; ++i) bit = (bit % 8 == 0) ? bit + 15 : bit - 1;
    return bit;
}

// Why the library's channel rules refuse a signal; the first reason wins, in
// the order the rules are checked (bit layout before the name).
enum class Refusal { kNone, kWiderThan52Bits, kLeavesPayload, kDuplicateName };

Refusal layoutRefusal(const DbcSignal& signal) {
    if (signal.bitCount > 52) return Refusal::kWiderThan52Bits;
    const uint64_t lastBit = signal.motorola ? motorolaLeastSignificantBit(signal.startBit, signal.bitCount)
                                             : uint64_t{signal.startBit} + signal.bitCount - 1;
    return lastBit > 63 ? Refusal::kLeavesPayload : Refusal::kNone;
}

std::vector<Refusal> refusalsOf(const DbcMessage& message) {
    std::vector<Refusal> refusals;
    std::set<std::string> accepted;
    for (const DbcSignal& signal : message.signals) {
        Refusal refusal = layoutRefusal(signal);
        if (refusal == Refusal::kNone && !accepted.insert(signal.channelName()).second)
            refusal = Refusal::kDuplicateName;
        refusals.push_back(refusal);
    }
    return refusals;
}

// What decoding must give for a value the other tool computed unclamped.
double withLimits(double value, const DbcSignal& signal) {
    if (signal.minimum == 0.0 && signal.maximum == 0.0) return value;
    if (value < signal.minimum) return signal.minimum;
    if (value > signal.maximum) return signal.maximum;
    return value;
}

bool closeEnough(double got, double expected) {
    return std::fabs(got - expected) <= 1e-9 * std::max(1.0, std::fabs(expected));
}

std::string hexPayload(const Payload& payload) {
    std::string text;
    char byte[3];
    for (uint8_t b : payload) {
        std::snprintf(byte, sizeof byte, "%02x", b);
        text += byte;
    }
    return text;
}

std::vector<std::string> channelNamesOf(MessageTableHandle table, uint32_t messageId) {
    uint32_t count = 0;
    char** names = nullptr;
    EXPECT_EQ(xcvtGetChannelNames(table, messageId, &count, &names), kSuccess);
    if (names == nullptr) return {};
    std::vector<std::string> result(names, names + count);
    EXPECT_EQ(xcvtDeleteArray(names, count), kSuccess);
    return result;
}

// ---------------------------------------------------------------------------

// What the library's rules make of one file. The counts are over the file's
// messages and signals (not over frames).
struct RealDbcCase {
    const char* stem;
    size_t messages;                         // "BO_ " lines
    size_t messagesWithExtendedId;           // number above 29 bits: keyed by its low 29 bits
    size_t multiplexedChannels;              // channel names that keep the indicator ("Speed m2")
    size_t messagesAfterFirstValueTypeLine;  // never read, so absent from the table
    size_t messagesWithoutSignals;           // no channel, so absent from the table
    size_t signalsWiderThan52Bits;
    size_t signalsLeavingPayload;
    size_t duplicateSignalNames;
    size_t messagesWithEverySignalRefused;  // absent from the table
    size_t minimumComparedValues;           // a decoding that silently drops work falls below this
};

struct Tally {
    size_t messagesWithExtendedId = 0;
    size_t multiplexedChannels = 0;
    size_t messagesAfterFirstValueTypeLine = 0;
    size_t messagesWithoutSignals = 0;
    size_t signalsWiderThan52Bits = 0;
    size_t signalsLeavingPayload = 0;
    size_t duplicateSignalNames = 0;
    size_t messagesWithEverySignalRefused = 0;
};

// Per message ID, what the table must hold: the accepted channels in file
// order, and the signals the channel rules refuse, by plain name.
struct ExpectedMessage {
    std::vector<const DbcSignal*> channels;
    std::map<std::string, Refusal> refused;
};

std::ostream& operator<<(std::ostream& out, const RealDbcCase& c) { return out << c.stem; }

class RealDbcFile : public TableTest, public ::testing::WithParamInterface<RealDbcCase> {};

TEST_P(RealDbcFile, DecodesAsTheIndependentToolDoesUnderTheLibraryRules) {
    const RealDbcCase& file = GetParam();
    const std::string directory = std::string(CANXLATE_TEST_DATA_DIR) + "/opendbc/";
    const std::string dbcPath = directory + file.stem + ".dbc";

    const DbcContent dbc = readDbcContent(dbcPath);
    ASSERT_TRUE(dbc.unreadableLines.empty()) << "the test cannot read: " << dbc.unreadableLines.front();
    ASSERT_EQ(dbc.messages.size(), file.messages);
    // The files' only "SIG_VALTYPE_" is the keyword list of the "NS_" block,
    // which has no trailing blank: every signal is an integer field, so the
    // float width rule never applies.
    ASSERT_EQ(dbc.valueTypeLines, 0u);

    FramesFile frames;
    ASSERT_NO_THROW(frames = readFramesJsonFile(directory + file.stem + ".frames.json"));
    EXPECT_EQ(frames.dbcFileName, std::string(file.stem) + ".dbc");

    // No two message numbers of these files share their low 29 bits (which
    // would merge two messages into one record), so the masked ID identifies
    // the message.
    std::map<uint32_t, const DbcMessage*> dbcMessageById;
    for (const DbcMessage& message : dbc.messages)
        ASSERT_TRUE(dbcMessageById.emplace(message.messageId, &message).second)
            << "two messages with ID " << message.messageId;

    Tally tally;
    std::map<uint32_t, ExpectedMessage> expectedTable;
    std::set<uint32_t> expectedAbsent;
    for (const DbcMessage& message : dbc.messages) {
        if (message.fileId != message.messageId) ++tally.messagesWithExtendedId;
        if (message.afterFirstValueTypeLine) {
            ++tally.messagesAfterFirstValueTypeLine;
            expectedAbsent.insert(message.messageId);
            continue;
        }
        if (message.signals.empty()) {
            ++tally.messagesWithoutSignals;
            expectedAbsent.insert(message.messageId);
            continue;
        }
        ExpectedMessage expected;
        const std::vector<Refusal> refusals = refusalsOf(message);
        for (size_t i = 0; i < refusals.size(); ++i) {
            const DbcSignal& signal = message.signals[i];
            switch (refusals[i]) {
                case Refusal::kNone:
                    expected.channels.push_back(&signal);
                    if (!signal.multiplexer.empty()) ++tally.multiplexedChannels;
                    continue;
                case Refusal::kWiderThan52Bits: ++tally.signalsWiderThan52Bits; break;
                case Refusal::kLeavesPayload: ++tally.signalsLeavingPayload; break;
                case Refusal::kDuplicateName: ++tally.duplicateSignalNames; break;
            }
            expected.refused.emplace(signal.name, refusals[i]);
        }
        if (expected.channels.empty()) {
            ++tally.messagesWithEverySignalRefused;
            expectedAbsent.insert(message.messageId);
            continue;
        }
        expectedTable.emplace(message.messageId, std::move(expected));
    }
    EXPECT_EQ(tally.messagesWithExtendedId, file.messagesWithExtendedId);
    EXPECT_EQ(tally.multiplexedChannels, file.multiplexedChannels);
    EXPECT_EQ(tally.messagesAfterFirstValueTypeLine, file.messagesAfterFirstValueTypeLine);
    EXPECT_EQ(tally.messagesWithoutSignals, file.messagesWithoutSignals);
    EXPECT_EQ(tally.signalsWiderThan52Bits, file.signalsWiderThan52Bits);
    EXPECT_EQ(tally.signalsLeavingPayload, file.signalsLeavingPayload);
    EXPECT_EQ(tally.duplicateSignalNames, file.duplicateSignalNames);
    EXPECT_EQ(tally.messagesWithEverySignalRefused, file.messagesWithEverySignalRefused);

    ASSERT_EQ(addChannelDefinitionFromFile(dbcPath.c_str(), table), kSuccess);

    // The table holds exactly the messages with an accepted channel, under
    // their masked IDs; comment and attribute lines that the library reads as
    // message or signal lines add no channel in these files.
    const std::vector<uint32_t> ids = messageIds();
    const std::set<uint32_t> tableIds(ids.begin(), ids.end());
    std::set<uint32_t> expectedIds;
    for (const auto& [id, expected] : expectedTable) expectedIds.insert(id);
    EXPECT_EQ(tableIds, expectedIds);

    // The frames file covers every message of the DBC file, and its messages
    // missing from the table are exactly those the reasons above account for.
    std::set<uint32_t> frameIds;
    for (const ExpectedFrame& frame : frames.frames) frameIds.insert(frame.messageId);
    std::set<uint32_t> dbcIds;
    for (const auto& [id, message] : dbcMessageById) dbcIds.insert(id);
    EXPECT_EQ(frameIds, dbcIds);
    std::set<uint32_t> frameIdsNotInTable;
    std::set_difference(frameIds.begin(), frameIds.end(), tableIds.begin(), tableIds.end(),
                        std::inserter(frameIdsNotInTable, frameIdsNotInTable.end()));
    EXPECT_EQ(frameIdsNotInTable, expectedAbsent);

    size_t framesDecoded = 0;
    size_t framesOfAbsentMessages = 0;
    size_t comparedValues = 0;
    size_t refusedSignalValues = 0;
    size_t mismatches = 0;
    for (const ExpectedFrame& frame : frames.frames) {
        const auto dbcMessage = dbcMessageById.find(frame.messageId);
        ASSERT_NE(dbcMessage, dbcMessageById.end()) << "frame of unknown message " << frame.messageId;

        // The frames file and the test's reading of the DBC file know the same signals.
        std::set<std::string> frameSignalNames;
        for (const auto& [name, value] : frame.signals) frameSignalNames.insert(name);
        std::set<std::string> dbcSignalNames;
        for (const DbcSignal& signal : dbcMessage->second->signals) dbcSignalNames.insert(signal.name);
        ASSERT_EQ(frameSignalNames, dbcSignalNames) << "message " << frame.messageId;

        const auto expectedMessage = expectedTable.find(frame.messageId);
        if (expectedMessage == expectedTable.end()) {
            EXPECT_TRUE(expectedAbsent.contains(frame.messageId));
            ++framesOfAbsentMessages;
            continue;
        }
        const ExpectedMessage& expected = expectedMessage->second;
        ++framesDecoded;

        const std::vector<std::string> names = channelNamesOf(table, frame.messageId);
        std::vector<std::string> expectedNames;
        for (const DbcSignal* signal : expected.channels) expectedNames.push_back(signal->channelName());
        ASSERT_EQ(names, expectedNames) << "message " << frame.messageId;

        std::vector<double> values(names.size(), -12345.0);
        ASSERT_EQ(convertFrameToChannel(table, frame.messageId, frame.payload.data(), values.data()), kSuccess);
        // The two-word form must read the same payload identically.
        const uint32_t words[2] = {
            uint32_t{frame.payload[0]} << 24 | uint32_t{frame.payload[1]} << 16 | uint32_t{frame.payload[2]} << 8 |
                frame.payload[3],
            uint32_t{frame.payload[4]} << 24 | uint32_t{frame.payload[5]} << 16 | uint32_t{frame.payload[6]} << 8 |
                frame.payload[7]};
        std::vector<double> wordValues(names.size(), -12345.0);
        ASSERT_EQ(convertFrameToChannelU32(table, frame.messageId, words, wordValues.data()), kSuccess);
        EXPECT_EQ(wordValues, values) << "message " << frame.messageId << ", payload " << hexPayload(frame.payload);

        const std::map<std::string, double> expectedValues(frame.signals.begin(), frame.signals.end());
        std::set<std::string> decodedSignals;
        for (size_t i = 0; i < names.size(); ++i) {
            const std::string plainName = names[i].substr(0, names[i].find(' '));
            const auto value = expectedValues.find(plainName);
            ASSERT_NE(value, expectedValues.end()) << "channel \"" << names[i] << "\" has no expected value";
            decodedSignals.insert(plainName);
            const double want = withLimits(value->second, *expected.channels[i]);
            ++comparedValues;
            if (closeEnough(values[i], want)) continue;
            if (++mismatches <= 20)
                ADD_FAILURE() << file.stem << ": message " << frame.messageId << ", channel \"" << names[i]
                              << "\", payload " << hexPayload(frame.payload) << ": expected " << want
                              << " (unclamped " << value->second << "), got " << values[i];
        }
        for (const auto& [name, value] : frame.signals) {
            if (decodedSignals.contains(name)) continue;
            EXPECT_TRUE(expected.refused.contains(name))
                << "message " << frame.messageId << ": signal \"" << name << "\" neither decoded nor refused";
            ++refusedSignalValues;
        }
    }
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(framesDecoded + framesOfAbsentMessages, frames.frames.size());
    EXPECT_GT(framesDecoded, 0u);
    EXPECT_GE(comparedValues, file.minimumComparedValues);

    RecordProperty("frames", static_cast<int>(frames.frames.size()));
    RecordProperty("framesDecoded", static_cast<int>(framesDecoded));
    RecordProperty("valuesCompared", static_cast<int>(comparedValues));
    RecordProperty("refusedSignalValues", static_cast<int>(refusedSignalValues));
    std::printf("[ SUMMARY  ] %s: %zu frames, %zu decoded, %zu of absent messages; %zu values compared, "
                "%zu values of refused signals; %zu multiplexed channels, %zu extended IDs, %zu messages without "
                "signals, %zu after the first value type line, %zu signals wider than 52 bits, %zu leaving the "
                "payload, %zu duplicate names, %zu messages with every signal refused\n",
                file.stem, frames.frames.size(), framesDecoded, framesOfAbsentMessages, comparedValues,
                refusedSignalValues, tally.multiplexedChannels, tally.messagesWithExtendedId,
                tally.messagesWithoutSignals, tally.messagesAfterFirstValueTypeLine, tally.signalsWiderThan52Bits,
                tally.signalsLeavingPayload, tally.duplicateSignalNames, tally.messagesWithEverySignalRefused);
}

INSTANTIATE_TEST_SUITE_P(
    RealDbc, RealDbcFile,
    ::testing::Values(
        // stem, messages, extended IDs, multiplexed channels, after value type line, without signals,
        // wider than 52 bits, leaving payload, duplicate names, every signal refused, minimum compared
        RealDbcCase{"toyota_nodsu_pt_generated", 60, 0, 0, 0, 0, 0, 0, 0, 0, 3500},
        RealDbcCase{"vw_mqb", 113, 12, 22, 0, 10, 0, 0, 0, 0, 13000},
        RealDbcCase{"ESR", 80, 0, 0, 0, 5, 0, 0, 0, 0, 8500},
        RealDbcCase{"gm_global_a_lowspeed_1818125", 367, 365, 0, 0, 0, 90, 0, 0, 43, 31000},
        RealDbcCase{"tesla_can", 44, 0, 38, 0, 0, 0, 0, 0, 0, 5500}),
    [](const ::testing::TestParamInfo<RealDbcCase>& info) { return std::string(info.param.stem); });

// ---------------------------------------------------------------------------
// The comparison is only as good as its own readers: check them on their own.

TEST(RealDbcSignalLine, ReadsNameIndicatorLayoutAndLimits) {
    const auto plain = parseSignalLine(R"(VehicleSpeed : 24|16@1+ (0.01,0) [0|655.35] "km/h" Dashboard)");
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(plain->channelName(), "VehicleSpeed");
    EXPECT_EQ(plain->startBit, 24u);
    EXPECT_EQ(plain->bitCount, 16u);
    EXPECT_FALSE(plain->motorola);
    EXPECT_EQ(plain->minimum, 0.0);
    EXPECT_EQ(plain->maximum, 655.35);

    const auto multiplexed = parseSignalLine(R"(Temp m2 : 15|12@0- (0.1,-40) [-40|1.5e+18] "degC" Dashboard)");
    ASSERT_TRUE(multiplexed.has_value());
    EXPECT_EQ(multiplexed->name, "Temp");
    EXPECT_EQ(multiplexed->channelName(), "Temp m2");
    EXPECT_TRUE(multiplexed->motorola);
    EXPECT_EQ(multiplexed->minimum, -40.0);
    EXPECT_EQ(multiplexed->maximum, 1.5e18);

    for (const char* broken : {R"(A 0|8@1+ (1,0) [0|1] "")", R"(A : 0|8@2+ (1,0) [0|1] "")",
                               R"(A : 0|0@1+ (1,0) [0|1] "")", R"(A : 0|8@1+ (1,0) [0 1] "")"})
        EXPECT_FALSE(parseSignalLine(broken).has_value()) << broken;
}

TEST(RealDbcSignalLine, MotorolaLeastSignificantBitAndRefusals) {
    struct Case {
        uint32_t mostSignificantBit, bitCount, leastSignificantBit;
    };
    // The first five are the worked examples of the library's start bit rule.
    for (const Case& c : {Case{7, 16, 8}, Case{15, 12, 20}, Case{7, 64, 56}, Case{3, 4, 0}, Case{7, 1, 7},
                          Case{1, 4, 14}, Case{63, 8, 56}, Case{56, 9, 64}, Case{56, 10, 79}})
        EXPECT_EQ(motorolaLeastSignificantBit(c.mostSignificantBit, c.bitCount), c.leastSignificantBit)
            << c.mostSignificantBit << "|" << c.bitCount;

    const auto signal = [](const char* name, const char* multiplexer, uint32_t startBit, uint32_t bitCount,
                           bool motorola) {
        DbcSignal result;
        result.name = name;
        result.multiplexer = multiplexer;
        result.startBit = startBit;
        result.bitCount = bitCount;
        result.motorola = motorola;
        return result;
    };
    DbcMessage message;
    message.signals = {
        signal("A", "", 0, 52, false),   signal("B", "", 0, 53, false),  signal("C", "", 60, 5, false),
        signal("D", "", 56, 9, true),    signal("E", "", 63, 8, true),   signal("A", "", 8, 8, false),
        signal("A", "m1", 8, 8, false),  signal("B", "", 8, 8, false),
    };
    EXPECT_EQ(refusalsOf(message),
              (std::vector<Refusal>{Refusal::kNone, Refusal::kWiderThan52Bits, Refusal::kLeavesPayload,
                                    Refusal::kLeavesPayload, Refusal::kNone, Refusal::kDuplicateName,
                                    Refusal::kNone, Refusal::kNone}));
}

TEST(RealDbcFramesJson, ReadsTheFramesShape) {
    const FramesFile file = parseFramesJson(R"( {"frames": [
        {"signals": {"A": -1.5e-3, "B\"q": 4, "C": 0.30000000000000004}, "data": "00FF10a000000007", "id": 1},
        {"id": 4294967295, "data": "0123456789abcdef", "signals": {}}
      ], "dbc": "x.dbc"} )");
    EXPECT_EQ(file.dbcFileName, "x.dbc");
    ASSERT_EQ(file.frames.size(), 2u);
    EXPECT_EQ(file.frames[0].messageId, 1u);
    EXPECT_EQ(file.frames[0].payload, (Payload{0x00, 0xFF, 0x10, 0xA0, 0x00, 0x00, 0x00, 0x07}));
    using Signals = std::vector<std::pair<std::string, double>>;
    EXPECT_EQ(file.frames[0].signals, (Signals{{"A", -1.5e-3}, {"B\"q", 4.0}, {"C", 0.1 + 0.2}}));
    EXPECT_EQ(file.frames[1].messageId, 4294967295u);
    EXPECT_EQ(file.frames[1].payload, (Payload{0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}));
    EXPECT_TRUE(file.frames[1].signals.empty());
}

TEST(RealDbcFramesJson, RefusesAnythingElse) {
    const char* const documents[] = {
        R"({"dbc": "x.dbc"})",                                                          // no frames
        R"({"dbc": "x.dbc", "frames": [], "dbc": "y.dbc"})",                            // member twice
        R"({"dbc": "x.dbc", "frames": [], "extra": 1})",                                // unknown member
        R"({"dbc": "x.dbc", "frames": []} x)",                                          // trailing text
        R"({"dbc": "x.dbc", "frames": [)",                                              // truncated
        R"({"dbc": "x.dbc", "frames": [{"id": 1, "data": "00", "signals": {}}]})",      // short payload
        R"({"dbc": "x.dbc", "frames": [{"id": 1, "data": "000000000000000g", "signals": {}}]})",
        R"({"dbc": "x.dbc", "frames": [{"id": 1.5, "data": "0000000000000000", "signals": {}}]})",
        R"({"dbc": "x.dbc", "frames": [{"id": 4294967296, "data": "0000000000000000", "signals": {}}]})",
        R"({"dbc": "x.dbc", "frames": [{"id": 1, "signals": {}}]})",                    // no data
        R"({"dbc": "x.dbc", "frames": [{"id": 1, "data": "0000000000000000", "signals": {"A": nan}}]})",
        R"({"dbc": "x.dbc", "frames": [{"id": 1, "data": "0000000000000000", "signals": {"A": 1-2}}]})",
        R"({"dbc": "x.dbc", "frames": [{"id": 1, "data": "0000000000000000", "signals": {"A": 1, "A": 2}}]})",
        R"({"dbc": "x.dbc", "frames": [{"id": 1, "data": "0000000000000000", "signals": {"A": "1"}}]})",
    };
    for (const char* document : documents) EXPECT_THROW(parseFramesJson(document), FramesJsonError) << document;
    EXPECT_THROW(readFramesJsonFile("/nonexistent/x.frames.json"), FramesJsonError);
}

}  // namespace
}  // namespace canxlate::test
