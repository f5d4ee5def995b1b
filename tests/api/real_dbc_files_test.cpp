// Five real-world DBC files, imported through the C interface and decoded on
// frames whose signal values another, widely used DBC tool computed
// (tests/data/opendbc/README.md). Every difference between the two must come
// from a rule of this library, and each such case is counted per reason.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "api_test_support.h"

namespace canxlate::test {
namespace {

// The test's own reading of a DBC file: only message and signal lines that
// begin with their keyword, as the format writes them. It is deliberately not
// the library's reading (which finds the keywords anywhere in a line); it only
// supplies each signal's limits and what the library's channel rules refuse.
struct Signal {
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

struct Message {
    uint64_t fileId = 0;  // the number on the "BO_ " line
    std::vector<Signal> signals;
};

// The text of an "SG_ " line: Name [indicator] : start|bits@order sign
// (factor,offset) [min|max] "unit" ...
bool readSignal(std::string_view text, Signal &signal) {
    const size_t colon = text.find(" : ");
    const size_t limits = text.find(" [", colon);
    if (limits == std::string_view::npos) return false;
    std::istringstream(std::string(text.substr(0, colon))) >> signal.name >> signal.multiplexer;
    const char *position = text.data() + colon + 3;
    const char *const end = text.data() + text.size();
    bool ok = true;
    const auto number = [&](auto &value, char separator) {
        if (!ok) return;
        const auto [stop, error] = std::from_chars(position, end, value);
        ok = error == std::errc{} && stop != end && *stop == separator;
        position = stop + 1;
    };
    number(signal.startBit, '|');
    number(signal.bitCount, '@');
    ok = ok && position != end && (*position == '0' || *position == '1');
    signal.motorola = ok && *position == '0';
    position = text.data() + limits + 2;
    number(signal.minimum, '|');
    number(signal.maximum, ']');
    return ok && signal.bitCount > 0;
}

std::vector<Message> readDbc(const std::string &path) {
    std::vector<Message> messages;
    std::ifstream stream(path, std::ios::binary);
    EXPECT_TRUE(stream) << "cannot open " << path;
    for (std::string line; std::getline(stream, line);) {
        std::string_view text = line;
        text.remove_prefix(std::min(text.find_first_not_of(" \t"), text.size()));
        if (text.starts_with("BO_ ")) {
            messages.emplace_back();
            const auto [stop, error] =
                std::from_chars(text.data() + 4, text.data() + text.size(), messages.back().fileId);
            EXPECT_EQ(error, std::errc{}) << line;
        } else if (text.starts_with("SG_ ")) {
            Signal signal;
            EXPECT_TRUE(!messages.empty() && readSignal(text.substr(4), signal)) << "the test cannot read: " << line;
            if (!messages.empty()) messages.back().signals.push_back(std::move(signal));
        } else {
            // Every signal is an integer field, so the float width rule never applies
            // (the only "SIG_VALTYPE_" is the keyword list of the "NS_" block).
            EXPECT_FALSE(text.starts_with("SIG_VALTYPE_ ")) << line;
        }
    }
    return messages;
}

// What the library's rules make of a file's signals and messages.
enum Count {
    kChannel,
    kMultiplexedChannel,  // the name keeps the indicator ("Speed m2")
    kWiderThan52Bits,     // refused signals, by the first rule that refuses them
    kLeavesPayload,
    kDuplicateName,
    kMessageWithoutSignals,  // absent from the table
    kMessageWithEverySignalRefused,
    kExtendedId,  // a number above 29 bits, keyed by its low 29 bits
    kCounts
};
using Counts = std::array<size_t, kCounts>;

// How the channel rules take a signal, in the order they are checked; `names`
// holds the message's channels so far.
Count verdict(const Signal &signal, std::set<std::string> &names) {
    if (signal.bitCount > 52) return kWiderThan52Bits;
    // Motorola bits run from bit 7 down to bit 0 of each byte, then on to the
    // next byte.
    const uint64_t lastBit = signal.motorola ? signal.startBit / 8 * 8 + 7 - signal.startBit % 8 + signal.bitCount - 1
                                             : uint64_t{signal.startBit} + signal.bitCount - 1;
    if (lastBit > 63) return kLeavesPayload;
    return names.insert(signal.channelName()).second ? kChannel : kDuplicateName;
}

// What decoding must give for a value the other tool computed unclamped.
double withLimits(double value, const Signal &signal) {
    if (signal.minimum == 0.0 && signal.maximum == 0.0) return value;
    return value < signal.minimum ? signal.minimum : value > signal.maximum ? signal.maximum : value;
}

std::vector<std::string> channelNamesOf(MessageTableHandle table, uint32_t messageId) {
    uint32_t count = 0;
    char **names = nullptr;
    EXPECT_EQ(xcvtGetChannelNames(table, messageId, &count, &names), kSuccess);
    if (names == nullptr) return {};
    std::vector<std::string> result(names, names + count);
    EXPECT_EQ(xcvtDeleteArray(names, count), kSuccess);
    return result;
}

struct RealDbcCase {
    const char *stem;
    size_t messages;  // "BO_ " lines
    Counts counts;    // over the file's signals and messages, not over frames
                      // below this
};

std::ostream &operator<<(std::ostream &out, const RealDbcCase &c) { return out << c.stem; }

class RealDbcFile : public TableTest, public ::testing::WithParamInterface<RealDbcCase> {};

TEST_P(RealDbcFile, DecodesAsTheIndependentToolDoesUnderTheLibraryRules) {
    const RealDbcCase &file = GetParam();
    const std::string stem = std::string(CANXLATE_TEST_DATA_DIR) + "/opendbc/" + file.stem;
    const std::vector<Message> dbc = readDbc(stem + ".dbc");
    ASSERT_EQ(dbc.size(), file.messages);

    // Per masked ID: the accepted channels in file order and the refused signals'
    // plain names.
    struct Expected {
        std::vector<const Signal *> channels;
        std::set<std::string> refused;
    };
    std::map<uint32_t, const Message *> messageById;
    std::map<uint32_t, Expected> expectedTable;
    std::set<uint32_t> dbcIds, expectedIds;
    Counts counts{};
    for (const Message &message : dbc) {
        const auto id = static_cast<uint32_t>(message.fileId & 0x1FFFFFFF);
        // No two numbers of these files share their low 29 bits (which would merge
        // two messages).
        ASSERT_TRUE(messageById.emplace(id, &message).second) << "two messages with ID " << id;
        dbcIds.insert(id);
        counts[kExtendedId] += id != message.fileId;
        Expected expected;
        std::set<std::string> names;
        for (const Signal &signal : message.signals) {
            const Count count = verdict(signal, names);
            ++counts[count];
            if (count != kChannel) {
                expected.refused.insert(signal.name);
                continue;
            }
            expected.channels.push_back(&signal);
            counts[kMultiplexedChannel] += !signal.multiplexer.empty();
        }
        if (message.signals.empty()) {
            ++counts[kMessageWithoutSignals];
        } else if (expected.channels.empty()) {
            ++counts[kMessageWithEverySignalRefused];
        } else {
            expectedTable.emplace(id, std::move(expected));
            expectedIds.insert(id);
        }
    }
    EXPECT_EQ(counts, file.counts);

    // The table holds exactly the messages with an accepted channel; comment and
    // attribute lines that the library reads as message or signal lines add none
    // in these files.
    ASSERT_EQ(addChannelDefinitionFromFile((stem + ".dbc").c_str(), table), kSuccess);
    const std::vector<uint32_t> ids = messageIds();
    EXPECT_EQ(std::set<uint32_t>(ids.begin(), ids.end()), expectedIds);

    std::ifstream framesStream(stem + ".frames.json");
    const nlohmann::json frames = nlohmann::json::parse(framesStream);
    EXPECT_EQ(frames.at("dbc"), std::string(file.stem) + ".dbc");
    std::set<uint32_t> frameIds;
    size_t comparedValues = 0, mismatches = 0;
    for (const nlohmann::json &frame : frames.at("frames")) {
        const auto id = frame.at("id").get<uint32_t>();
        frameIds.insert(id);
        ASSERT_TRUE(messageById.contains(id)) << "frame of unknown message " << id;
        const auto signals = frame.at("signals").get<std::map<std::string, double>>();
        std::set<std::string> signalNames, dbcSignalNames;
        for (const auto &[name, value] : signals) signalNames.insert(name);
        for (const Signal &signal : messageById[id]->signals) dbcSignalNames.insert(signal.name);
        ASSERT_EQ(signalNames, dbcSignalNames) << "message " << id;
        const auto expected = expectedTable.find(id);
        if (expected == expectedTable.end()) continue;  // absent from the table, counted above

        const std::string hex = frame.at("data");
        ASSERT_EQ(hex.size(), 16u);
        Payload payload;
        for (size_t i = 0; i < payload.size(); ++i)
            payload[i] = static_cast<uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
        std::vector<std::string> expectedNames;
        for (const Signal *signal : expected->second.channels) expectedNames.push_back(signal->channelName());
        ASSERT_EQ(channelNamesOf(table, id), expectedNames) << "message " << id;

        const std::vector<double> values = decode(payload, id);
        ASSERT_EQ(values.size(), expectedNames.size());
        // The two-word form must read the same payload identically.
        uint32_t words[2] = {};
        for (size_t i = 0; i < payload.size(); ++i) words[i / 4] |= uint32_t{payload[i]} << (24 - 8 * (i % 4));
        std::vector<double> wordValues(values.size(), -12345.0);
        ASSERT_EQ(convertFrameToChannelU32(table, id, words, wordValues.data()), kSuccess);
        EXPECT_EQ(wordValues, values) << "message " << id << ", payload " << hex;

        std::set<std::string> decoded;
        for (size_t i = 0; i < values.size(); ++i) {
            const Signal &signal = *expected->second.channels[i];
            const double want = withLimits(signals.at(signal.name), signal);
            decoded.insert(signal.name);
            ++comparedValues;
            if (std::fabs(values[i] - want) > 1e-9 * std::max(1.0, std::fabs(want)) && ++mismatches <= 20)
                ADD_FAILURE() << file.stem << ": message " << id << ", channel \"" << expectedNames[i] << "\", payload "
                              << hex << ": expected " << want << " (unclamped " << signals.at(signal.name) << "), got "
                              << values[i];
        }
        for (const auto &[name, value] : signals)
            EXPECT_TRUE(decoded.contains(name) || expected->second.refused.contains(name))
                << "message " << id << ": signal \"" << name << "\" neither decoded nor refused";
    }
    EXPECT_EQ(frameIds, dbcIds);  // the frames cover every message of the file
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(comparedValues, 10 * counts[kChannel]);  // ten frames per message
}

// Counts: channels, multiplexed channels, signals wider than 52 bits, leaving
// the payload, duplicate names; messages without signals, with every signal
// refused; extended IDs.
INSTANTIATE_TEST_SUITE_P(
    RealDbc, RealDbcFile,
    ::testing::Values(RealDbcCase{"toyota_nodsu_pt_generated", 60, {380, 0, 0, 0, 0, 0, 0, 0}},
                      RealDbcCase{"vw_mqb", 113, {1348, 22, 0, 0, 0, 10, 0, 12}},
                      RealDbcCase{"ESR", 80, {868, 0, 0, 0, 0, 5, 0, 0}},
                      RealDbcCase{"gm_global_a_lowspeed_1818125", 367, {3120, 0, 90, 0, 0, 0, 43, 365}},
                      RealDbcCase{"tesla_can", 44, {572, 38, 0, 0, 0, 0, 0, 0}}),
    [](const ::testing::TestParamInfo<RealDbcCase> &info) { return std::string(info.param.stem); });

}  // namespace
}  // namespace canxlate::test
