// Five real-world DBC files, imported through the C interface and decoded on frames whose signal values
// another, widely used DBC tool computed (tests/data/opendbc/README.md). Every difference between the two
// must come from a rule of this library, and each such case is counted per reason.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <ranges>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "api_test_support.h"

namespace canxlate::test {
namespace {

// The test's own reading of a DBC file: message and signal lines that begin with their keyword, as the
// format writes them. Deliberately not the library's reading (which finds the keywords anywhere in a
// line), it only supplies each signal's limits and what the library's channel rules refuse.
struct Signal {
    std::string name;             // plain, as the frames file keys it
    std::string multiplexer;      // "M", "m2", ... or empty; the library keeps it in the channel name
    uint32_t startBit, bitCount;  // the start bit as written: the most significant bit for Motorola
    bool motorola;
    double minimum, maximum;
    std::string channelName() const { return multiplexer.empty() ? name : name + ' ' + multiplexer; }
};

struct Message {
    uint64_t fileId;  // the number on the "BO_ " line
    std::vector<Signal> signals;
};

template <class Number>
Number number(const std::csub_match& text) {
    Number value{};
    EXPECT_EQ(std::from_chars(text.first, text.second, value).ec, std::errc{}) << text;
    return value;
}

std::vector<Message> readDbc(const std::string& path) {
    static const std::regex message(R"(^\s*BO_ (\d+) )");
    static const std::regex signal(
        R"(^\s*SG_ (\S+) (?:(\S+) )?: (\d+)\|(\d+)@([01])[+-] \(.*\) \[([^|\s]+)\|([^\]\s]+)\])");
    // Every signal is an integer field, so the float width rule never applies
    // (the files' only "SIG_VALTYPE_" is the keyword list of the "NS_" block).
    static const std::regex unreadable(R"(^\s*(BO_|SG_|SIG_VALTYPE_) )");
    std::vector<Message> messages;
    std::ifstream stream(path, std::ios::binary);
    std::cmatch m;
    for (std::string line; std::getline(stream, line);) {
        if (std::regex_search(line.c_str(), m, message)) {
            messages.push_back({number<uint64_t>(m[1]), {}});
        } else if (!messages.empty() && std::regex_search(line.c_str(), m, signal)) {
            messages.back().signals.push_back({m[1].str(), m[2].str(), number<uint32_t>(m[3]), number<uint32_t>(m[4]),
                                               m[5] == "0", number<double>(m[6]), number<double>(m[7])});
        } else {
            EXPECT_FALSE(std::regex_search(line.c_str(), unreadable)) << "the test cannot read: " << line;
        }
    }
    return messages;
}

// What the library's rules make of a file: channels (those keeping a multiplexer indicator, "Speed m2",
// counted again apart), signals refused by the first rule that refuses them (wider than 52 bits, outside
// the payload, duplicate name), messages absent from the table for want of a channel (no signal, all
// refused), and message numbers above 29 bits (keyed by their low 29 bits).
enum Count { kChannel, kMuxChannel, kOver52Bits, kOutside, kDuplicate, kNoSignal, kAllRefused, kExtendedId, kCounts };
using Counts = std::array<size_t, kCounts>;

// How the channel rules take a signal, in the order they are checked; `names` holds the channels so far.
Count verdict(const Signal& signal, std::set<std::string>& names) {
    if (signal.bitCount > 52) return kOver52Bits;
    // Motorola positions run from bit 7 of byte 0 down to its bit 0, then on from bit 7 of the next byte.
    const uint64_t lastBit = signal.motorola ? signal.startBit / 8 * 8 + 7 - signal.startBit % 8 + signal.bitCount - 1
                                             : uint64_t{signal.startBit} + signal.bitCount - 1;
    if (lastBit > 63) return kOutside;
    return names.insert(signal.channelName()).second ? kChannel : kDuplicate;
}

// What decoding must give for a value the other tool computed unclamped.
double withLimits(double value, const Signal& signal) {
    if (signal.minimum == 0.0 && signal.maximum == 0.0) return value;
    return value < signal.minimum ? signal.minimum : value > signal.maximum ? signal.maximum : value;
}

struct RealDbcCase {
    const char* stem;
    size_t messages;  // "BO_ " lines
    Counts counts;    // over the file's signals and messages, not over frames
};

class RealDbcFile : public TableTest, public ::testing::WithParamInterface<RealDbcCase> {};

TEST_P(RealDbcFile, DecodesAsTheIndependentToolDoesUnderTheLibraryRules) {
    const RealDbcCase& file = GetParam();
    const std::string stem = std::string(CANXLATE_TEST_DATA_DIR) + "/opendbc/" + file.stem;
    const std::vector<Message> dbc = readDbc(stem + ".dbc");
    ASSERT_EQ(dbc.size(), file.messages);

    std::map<uint32_t, const Message*> messageById;
    std::map<uint32_t, std::vector<const Signal*>> expectedChannels;  // in file order
    std::set<uint32_t> expectedIds;
    Counts counts{};
    for (const Message& message : dbc) {
        const auto id = static_cast<uint32_t>(message.fileId & 0x1FFFFFFF);
        // No two numbers of these files share their low 29 bits (which would merge two messages).
        ASSERT_TRUE(messageById.emplace(id, &message).second) << "two messages with ID " << id;
        counts[kExtendedId] += id != message.fileId;
        std::vector<const Signal*> channels;
        std::set<std::string> names;
        for (const Signal& signal : message.signals) {
            const Count count = verdict(signal, names);
            ++counts[count];
            if (count == kChannel) channels.push_back(&signal);
            if (count == kChannel && !signal.multiplexer.empty()) ++counts[kMuxChannel];
        }
        if (channels.empty()) {
            ++counts[message.signals.empty() ? kNoSignal : kAllRefused];
        } else {
            expectedChannels.emplace(id, std::move(channels));
            expectedIds.insert(id);
        }
    }
    EXPECT_EQ(counts, file.counts);

    // The table holds exactly the messages with an accepted channel; comment and attribute lines
    // that the library reads as message or signal lines add none in these files.
    ASSERT_EQ(addChannelDefinitionFromFile((stem + ".dbc").c_str(), table), kSuccess);
    const std::vector<uint32_t> ids = messageIds();
    EXPECT_EQ(std::set<uint32_t>(ids.begin(), ids.end()), expectedIds);

    const nlohmann::json frames = nlohmann::json::parse(std::ifstream(stem + ".frames.json"));
    EXPECT_EQ(frames.at("dbc"), std::string(file.stem) + ".dbc");
    std::set<uint32_t> frameIds;
    size_t comparedValues = 0, mismatches = 0;
    for (const nlohmann::json& frame : frames.at("frames")) {
        const auto id = frame.at("id").get<uint32_t>();
        frameIds.insert(id);
        ASSERT_TRUE(messageById.contains(id)) << "frame of unknown message " << id;
        const auto signals = frame.at("signals").get<std::map<std::string, double>>();
        std::set<std::string> dbcNames;
        for (const Signal& signal : messageById[id]->signals) dbcNames.insert(signal.name);
        ASSERT_TRUE(std::ranges::equal(signals | std::views::keys, dbcNames)) << "signals of message " << id;
        const auto expected = expectedChannels.find(id);
        if (expected == expectedChannels.end()) continue;  // absent from the table, counted above

        const std::string hex = frame.at("data");
        Payload payload;
        uint32_t words[2] = {};  // the same payload for the two-word form
        for (size_t i = 0; i < payload.size(); ++i) {
            payload[i] = static_cast<uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
            words[i / 4] |= uint32_t{payload[i]} << (24 - 8 * (i % 4));
        }
        uint32_t count = 0;
        char** names = nullptr;
        ASSERT_EQ(xcvtGetChannelNames(table, id, &count, &names), kSuccess);
        const std::vector<std::string> channelNames(names, names + count);
        EXPECT_EQ(xcvtDeleteArray(names, count), kSuccess);
        std::vector<std::string> expectedNames;
        for (const Signal* signal : expected->second) expectedNames.push_back(signal->channelName());
        ASSERT_EQ(channelNames, expectedNames) << "message " << id;

        const std::vector<double> values = decode(payload, id);
        ASSERT_EQ(values.size(), expectedNames.size());
        std::vector<double> wordValues(values.size(), -12345.0);
        ASSERT_EQ(convertFrameToChannelU32(table, id, words, wordValues.data()), kSuccess);
        EXPECT_EQ(wordValues, values) << "message " << id << ", payload " << hex;
        for (size_t i = 0; i < values.size(); ++i) {
            const Signal& signal = *expected->second[i];
            const double want = withLimits(signals.at(signal.name), signal);
            ++comparedValues;
            if (std::fabs(values[i] - want) > 1e-9 * std::max(1.0, std::fabs(want)) && ++mismatches <= 20)
                ADD_FAILURE() << file.stem << " message " << id << " channel " << expectedNames[i] << " payload " << hex
                              << ": want " << want << ", got " << values[i];
        }
    }
    EXPECT_TRUE(std::ranges::equal(frameIds, messageById | std::views::keys)) << "a message without frames";
    EXPECT_EQ(mismatches, 0u);
    EXPECT_EQ(comparedValues, 10 * counts[kChannel]);  // ten frames per message
}

// Counts in the order of enum Count.
INSTANTIATE_TEST_SUITE_P(
    RealDbc, RealDbcFile,
    ::testing::Values(RealDbcCase{"toyota_nodsu_pt_generated", 60, {380, 0, 0, 0, 0, 0, 0, 0}},
                      RealDbcCase{"vw_mqb", 113, {1348, 22, 0, 0, 0, 10, 0, 12}},
                      RealDbcCase{"ESR", 80, {868, 0, 0, 0, 0, 5, 0, 0}},
                      RealDbcCase{"gm_global_a_lowspeed_1818125", 367, {3120, 0, 90, 0, 0, 0, 43, 365}},
                      RealDbcCase{"tesla_can", 44, {572, 38, 0, 0, 0, 0, 0, 0}}),
    [](const ::testing::TestParamInfo<RealDbcCase>& info) { return std::string(info.param.stem); });

}  // namespace
}  // namespace canxlate::test
