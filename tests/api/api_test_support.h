// Shared helpers for the tests that drive the library through its C interface.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "canxlatelib.h"

namespace canxlate::test {

// A channel as the host describes it; the defaults are an unscaled 8-bit
// unsigned Intel channel at bit 0 of message 0x100 (8 bytes), limits off.
struct ChannelSpec {
    std::string name = "ch";
    uint32_t startBit = 0;
    uint32_t bitCount = 8;
    uint32_t dataType = kDataTypeUnsigned;
    uint32_t byteOrder = kByteOrderIntel;
    double factor = 1.0;
    double offset = 0.0;
    double minimum = 0.0;
    double maximum = 0.0;
    uint32_t messageId = 0x100;
    uint32_t payloadSize = 8;
    std::string unit = "";
};

inline int32_t addChannel(MessageTableHandle table, const ChannelSpec& c) {
    return addNewchannelDefinition(table, c.name.c_str(), c.unit.c_str(), c.startBit, c.bitCount, c.dataType,
                                   c.byteOrder, c.factor, c.offset, c.minimum, c.maximum, c.messageId, c.payloadSize);
}

using Payload = std::array<uint8_t, 8>;

// True when the table is frozen: a further definition is refused. When it is
// not, the probe channel is added to a message of its own.
inline bool isFrozen(MessageTableHandle table) {
    return addChannel(table, {.name = "in-use probe", .messageId = 0x7FFFFFF0}) == kErrTableInUse;
}

// The channel names of a message; {"<unknown message>"} when it has none.
inline std::vector<std::string> channelNames(MessageTableHandle table, uint32_t messageId) {
    uint32_t count = 0;
    char** names = nullptr;
    if (xcvtGetChannelNames(table, messageId, &count, &names) != kSuccess) return {"<unknown message>"};
    std::vector<std::string> result(names, names + count);
    EXPECT_EQ(xcvtDeleteArray(names, count), kSuccess);
    return result;
}

// Every channel name of a table, message by message (freezes the table).
inline std::vector<std::string> allChannelNames(MessageTableHandle table) {
    uint32_t count = 0;
    EXPECT_EQ(getNumberOfMessageIDs(table, &count), kSuccess);
    std::vector<uint32_t> ids(count + 1);
    EXPECT_EQ(getMessageIDs(table, ids.data()), kSuccess);
    std::vector<std::string> all;
    for (uint32_t i = 0; i < count; ++i)
        for (const auto& name : channelNames(table, ids[i])) all.push_back(name);
    return all;
}

// Writes a file into the test's temporary folder and returns its path.
inline std::string writeFile(const std::string& name, const std::string& content) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

// A fresh table per test, closed afterwards.
class TableTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(createMessageTable(&table), kSuccess); }
    void TearDown() override {
        if (table != 0) {
            EXPECT_EQ(closeMessageTable(table), kSuccess);
        }
    }

    bool isFrozen() { return test::isFrozen(table); }

    std::vector<uint32_t> messageIds() {
        uint32_t count = 0;
        EXPECT_EQ(getNumberOfMessageIDs(table, &count), kSuccess);
        std::vector<uint32_t> ids(count);
        if (count > 0) {
            EXPECT_EQ(getMessageIDs(table, ids.data()), kSuccess);
        }
        return ids;
    }

    std::vector<double> decode(const Payload& payload, uint32_t messageId = 0x100, size_t count = 0) {
        uint32_t channels = 0;
        EXPECT_EQ(getNumberOfChannels(table, messageId, &channels), kSuccess);
        std::vector<double> values(count != 0 ? count : channels, -12345.0);
        EXPECT_EQ(convertFrameToChannel(table, messageId, payload.data(), values.data()), kSuccess);
        return values;
    }

    Payload encode(std::vector<double>& values, uint32_t messageId = 0x100) {
        Payload payload;
        payload.fill(0xCC);
        EXPECT_EQ(convertChannelToFrame(table, messageId, values.data(), payload.data()), kSuccess);
        return payload;
    }

    MessageTableHandle table = 0;
};

}  // namespace canxlate::test
