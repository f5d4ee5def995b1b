// Decoding and encoding, one table per rule, plus a random comparison with a
// bit-by-bit reference.
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <sstream>
#include <vector>

#include "test_database.h"

namespace {

std::vector<uint8_t> fromHex(const std::string& hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string toHex(const uint8_t* bytes, size_t size) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (size_t i = 0; i < size; ++i) (hex += digits[bytes[i] >> 4]) += digits[bytes[i] & 15];
    return hex;
}

class Codec : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::string path = std::string(CANXLATE_TEST_DATA_DIR) + "/../database/data/codec.dbc";
        ASSERT_EQ(cxl_open_file(path.c_str(), &database_), CXL_OK);
        ASSERT_EQ(cxl_diagnostic_count(database_), 0u);
    }
    static void TearDownTestSuite() { cxl_close(database_); }
    static const cxl_message* message(const char* name) { return cxl_find_message_by_name(database_, name); }
    static cxl_database* database_;
};
cxl_database* Codec::database_ = nullptr;

struct DecodeRow {
    const char* message;
    const char* payload;
    uint32_t flags;
    const char* signal;
    int present;
    uint64_t raw;
    double physical;
    const char* text;
};

const DecodeRow kDecodeRows[] = {
    {"Plain", "FF00000000000000", 0, "U8", 1, 255, 137.5, nullptr},               // no limits by default
    {"Plain", "FF00000000000000", CXL_CLAMP, "U8", 1, 255, 20.0, nullptr},        // clamped on request
    {"Plain", "00FF0F0000000000", 0, "S12", 1, ~uint64_t{0}, -1.0, "minus one"},  // sign across bytes
    {"Plain", "0001000000000000", 0, "S12", 1, 1, 1.0, "one"},
    {"Plain", "0002000000000000", 0, "S12", 1, 2, 2.0, nullptr},  // past the texts
    {"Plain", "0000000000000000", 0, "S12", 1, 0, 0.0, nullptr},  // between them
    {"Mux", "C807AA0000000000", 0, "Mode", 1, 200, 200.0, "far"},
    {"Plain", "0000000012340000", 0, "BE16", 1, 0x1234, 4660.0, nullptr},  // Motorola
    {"Plain", "0000000000000080", 0, "Tail", 1, 1, 1.0, nullptr},
    {"Plain", "00000000000000", 0, "Tail", 0, 0, 0.0, nullptr},  // past the bytes received
    {"Plain", "00000000001234", 0, "BE16", 1, 0x12, 18.0, nullptr},
    {"Wide", "FFFFFFFFFFFFFFFF0000000000000080", 0, "U64", 1, ~uint64_t{0}, 0x1p64, "AllOnes"},
    // Negative keys of unsigned fields are bit patterns: -1 is all ones.
    {"Trailer", "FFFFFFFFFFFF0000", 0, "TrlrSnsId_No_Actl", 1, 0xFFFFFFFFFFFF, 0xFFFFFFFFFFFFp0, "Faulty_FFFFFFFFFFFF"},
    {"Trailer", "FEFFFFFFFFFF0000", 0, "TrlrSnsId_No_Actl", 1, 0xFFFFFFFFFFFE, 0xFFFFFFFFFFFEp0,
     "NoDataExists_FFFFFFFFFFFE"},
    {"Wide", "FFFFFFFFFFFFFFFF0000000000000080", 0, "S64", 1, uint64_t{1} << 63, -0x1p63, nullptr},
    {"Mux", "0007AA0000000000", 0, "Mode", 1, 0, 0.0, "zero"},
    {"Mux", "0007AA0000000000", 0, "A", 1, 7, 7.0, nullptr},
    {"Mux", "0007AA0000000000", 0, "B", 0, 0, 0.0, nullptr},
    {"Mux", "0007AA0000000000", 0, "Page", 0, 0, 0.0, nullptr},
    {"Mux", "0102090405000000", 0, "Page", 1, 2, 2.0, nullptr},
    {"Mux", "0102090405000000", 0, "B", 1, 9, 9.0, nullptr},
    {"Mux", "0102090405000000", 0, "D", 1, 5, 5.0, nullptr},  // nested: Mode 1, Page 2
    {"Mux", "0102090405000000", 0, "A", 0, 0, 0.0, nullptr},
    {"Mux", "0104090405000000", 0, "D", 0, 0, 0.0, nullptr},  // Page outside 2-3
    {"Mux", "0504090405000000", 0, "B", 1, 9, 9.0, nullptr},  // range 5-6
    {"Mux", "0604090405000000", 0, "B", 1, 9, 9.0, nullptr},  // ranges given out of order
    {"Mux", "0704090405000000", 0, "B", 0, 0, 0.0, nullptr},
    {"Mux", "0103090405000000", 0, "D", 1, 5, 5.0, nullptr},
    {"Mux", "0504090405000000", 0, "Page", 0, 0, 0.0, nullptr},
    {"Mux", "0504090405000000", 0, "D", 0, 0, 0.0, nullptr},  // its switch is absent
    {"Mux", "050409", 0, "C", 0, 0, 0.0, nullptr},
    {"SignedSwitch", "FF07", 0, "X", 0, 0, 0.0, nullptr},  // the switch reads -1, never a branch's value
    // Switch values of 2^63 and more are kept apart from the smaller ones.
    {"TopSwitch", "0000000000000080AB", 0, "Top", 1, 0xAB, 171.0, nullptr},
    {"TopSwitch", "0000000000000080AB", 0, "Edge", 0, 0, 0.0, nullptr},
    {"TopSwitch", "FFFFFFFFFFFFFF7FCD", 0, "Edge", 1, 0xCD, 205.0, nullptr},
    {"TopSwitch", "FFFFFFFFFFFFFF7FCD", 0, "Top", 0, 0, 0.0, nullptr},
    {"Floats", "0000803F", 0, "F32", 1, 0x3F800000, 3.0, "one"},
    {"Floats", "000000003FF0000000000000", 0, "F64", 1, 0x3FF0000000000000, 1.0, nullptr},
};

TEST_F(Codec, DecodesEachSignalAsTheFrameCarriesIt) {
    for (const DecodeRow& row : kDecodeRows) {
        SCOPED_TRACE(std::string(row.message) + " " + row.payload + " " + row.signal);
        const cxl_message* m = message(row.message);
        const cxl_signal* s = cxl_find_signal(m, row.signal);
        ASSERT_NE(s, nullptr);
        cxl_signal_info info;
        cxl_get_signal_info(s, &info);
        const std::vector<uint8_t> payload = fromHex(row.payload);
        cxl_value values[8];
        ASSERT_EQ(cxl_decode(m, payload.data(), payload.size(), row.flags, values), CXL_OK);
        const cxl_value& v = values[info.index];
        EXPECT_EQ(v.present, row.present);
        if (!row.present) continue;
        EXPECT_EQ(v.raw, row.raw);
        EXPECT_EQ(v.physical, row.physical);
        EXPECT_EQ(v.clamped, row.flags == CXL_CLAMP ? 1 : 0);
        EXPECT_STREQ(v.text, row.text);
    }
}

// Each frame of a batch gives what cxl_decode gives it alone, in its row of
// the columns; frames of no message leave every column absent. The frames
// come round again, so that a batch is longer than the decoder's blocks.
TEST_F(Codec, BatchRowsMatchSingleFrames) {
    struct Frame {
        uint32_t id;
        uint8_t extended;
        const char* payload;
    };
    const Frame frames[] = {
        {1, 0, "FF00FF0F12340080"}, {3, 0, "0102090405000000"}, {9, 0, "0000000000000000"},
        {1, 0, "00000000001234"},   {1, 1, "0000000000000000"}, {2, 0, "FFFFFFFFFFFFFFFF0000000000000080"},
    };
    constexpr size_t kRounds = 12, kFrames = kRounds * std::size(frames), kStride = 16, kColumns = 6,
                     kRows = kFrames + 1;
    std::vector<uint32_t> ids;
    std::vector<uint8_t> extended, lengths, payloads(kFrames * kStride, 0xEE), present(kColumns * kRows, 9);
    std::vector<double> physical(kColumns * kRows, -1.0), times, timesOut(kFrames);
    std::vector<int32_t> index(kFrames);
    for (size_t f = 0; f < kFrames; ++f) {
        const Frame& frame = frames[f % std::size(frames)];
        const std::vector<uint8_t> bytes = fromHex(frame.payload);
        std::copy(bytes.begin(), bytes.end(), payloads.begin() + static_cast<long>(ids.size() * kStride));
        ids.push_back(frame.id);
        extended.push_back(frame.extended);
        lengths.push_back(static_cast<uint8_t>(bytes.size()));
        times.push_back(0.5 * static_cast<double>(ids.size()));
    }
    const cxl_batch batch{kFrames,      ids.data(), extended.data(), lengths.data(), payloads.data(), kStride,
                          times.data(), kRows,      physical.data(), present.data(), index.data(),    timesOut.data()};
    ASSERT_EQ(cxl_decode_batch(database_, &batch, CXL_CLAMP), CXL_OK);
    EXPECT_EQ(timesOut, times);
    // The same frames packed: each frame's values from first[f] on.
    std::vector<double> packedPhysical(kColumns * kFrames, -1.0);
    std::vector<uint8_t> packedPresent(kColumns * kFrames, 9);
    std::vector<const char*> texts(kColumns * kFrames);
    std::vector<size_t> first(kFrames);
    std::vector<int32_t> packedIndex(kFrames);
    cxl_batch packedBatch = batch;
    packedBatch.message_index = packedIndex.data();
    cxl_packed packed{kColumns * kFrames, packedPhysical.data(), packedPresent.data(), texts.data(), first.data(), 0};
    ASSERT_EQ(cxl_decode_packed(database_, &packedBatch, &packed, CXL_CLAMP), CXL_OK);
    EXPECT_EQ(packedIndex, index);
    for (size_t f = 0; f < kFrames; ++f) {
        constexpr size_t kFirstInRound[] = {0, 4, 10, 10, 14, 14};
        EXPECT_EQ(first[f], 16 * (f / std::size(frames)) + kFirstInRound[f % std::size(frames)]) << f;
    }
    EXPECT_EQ(packed.count, 16 * kRounds);
    for (size_t f = 0; f < kFrames; ++f) {
        SCOPED_TRACE("frame " + std::to_string(f));
        const cxl_message* m = cxl_find_message(database_, ids[f], extended[f]);
        cxl_value values[kColumns] = {};
        cxl_message_info info{};
        if (m != nullptr) {
            cxl_get_message_info(m, &info);
            cxl_decode(m, &payloads[f * kStride], lengths[f], CXL_CLAMP, values);
        }
        EXPECT_EQ(index[f], m == nullptr ? -1 : static_cast<int32_t>(info.index));
        for (size_t s = 0; s < kColumns; ++s) {
            EXPECT_EQ(present[s * kRows + f], values[s].present) << "column " << s;
            const double got = physical[s * kRows + f];
            EXPECT_TRUE(values[s].present ? got == values[s].physical : std::isnan(got)) << "column " << s;
            if (s >= info.signal_count) continue;
            const size_t at = first[f] + s;
            EXPECT_EQ(packedPresent[at], values[s].present) << "packed " << s;
            EXPECT_TRUE(values[s].present ? packedPhysical[at] == values[s].physical : std::isnan(packedPhysical[at]));
            EXPECT_EQ(texts[at], values[s].text) << "packed " << s;
        }
    }
    for (size_t s = 0; s < kColumns; ++s) EXPECT_EQ(present[s * kRows + kFrames], 9) << "past the frames";
}

struct EncodeRow {
    const char* rule;
    const char* message;
    const char* values;  // "name=value ..."
    uint32_t flags;
    const char* before;
    cxl_status status;
    const char* after;  // payload, or words the report must hold
};

const EncodeRow kEncodeRows[] = {
    {"every signal", "Plain", "U8=15 S12=-2 BE16=4660 Tail=1", 0, "0000000000000000", CXL_OK, "0AFE0F0012340080"},
    {"half away from zero", "Plain", "U8=10.25 S12=-2.5 BE16=0.5 Tail=0", 0, "0000000000000000", CXL_OK,
     "01FD0F0000010000"},
    {"field saturation", "Plain", "U8=10 S12=5000 BE16=-3 Tail=7", 0, "0000000000000000", CXL_OK, "00FF070000000080"},
    {"out of range", "Plain", "U8=25 S12=0 BE16=0 Tail=0", 0, "0000000000000000", CXL_ERR_OUT_OF_RANGE, "'U8'"},
    {"clamped", "Plain", "U8=25 S12=0 BE16=0 Tail=0", CXL_CLAMP, "0000000000000000", CXL_OK, "1400000000000000"},
    {"missing", "Plain", "U8=15", 0, "0000000000000000", CXL_ERR_MISSING, "'S12'"},
    {"missing kept", "Plain", "U8=15", CXL_KEEP_MISSING, "FFFFFFFFFFFFFFFF", CXL_OK, "0AFFFFFFFFFFFFFF"},
    {"unknown name", "Plain", "Nope=1", 0, "0000000000000000", CXL_ERR_NOT_FOUND, "'Nope'"},
    {"branch 0", "Mux", "Mode=0 A=7 C=1", 0, "FFFFFFFFFFFFFFFF", CXL_OK, "0007FF01FFFFFFFF"},
    {"nested branch", "Mux", "Mode=1 Page=2 B=9 C=0 D=5", 0, "FFFFFFFFFFFFFFFF", CXL_OK, "0102090005FFFFFF"},
    {"other branch given", "Mux", "Mode=1 Page=4 B=9 C=0 A=1", 0, "0000000000000000", CXL_ERR_NOT_CARRIED, "'A'"},
    {"switch decides", "Mux", "Mode=1 Page=4 B=9 C=0 D=1", 0, "0000000000000000", CXL_ERR_NOT_CARRIED, "'D'"},
    {"wide saturation", "Wide", "U64=1e30 S64=-1e30", 0, "00000000000000000000000000000000", CXL_OK,
     "FFFFFFFFFFFFFFFF0000000000000080"},
    {"wide exact", "Wide", "U64=9007199254740993 S64=-2", 0, "00000000000000000000000000000000", CXL_OK,
     "0000000000002000FEFFFFFFFFFFFFFF"},
    {"floats", "Floats", "F32=3 F64=1", 0, "000000000000000000000000", CXL_OK, "0000803F3FF0000000000000"},
    {"float32 overflow", "Floats", "F32=1e300 F64=1", 0, "000000000000000000000000", CXL_ERR_OUT_OF_RANGE, "'F32'"},
    {"short payload", "Plain", "U8=15", 0, "00000000000000", CXL_ERR_LENGTH, "length"},
};

TEST_F(Codec, EncodesTheBranchTheSwitchChooses) {
    for (const EncodeRow& row : kEncodeRows) {
        SCOPED_TRACE(row.rule);
        std::vector<std::string> names;
        std::vector<cxl_named_value> values;
        std::istringstream words(row.values);
        for (std::string word; words >> word;) names.push_back(word.substr(0, word.find('=')));
        words = std::istringstream(row.values);
        size_t i = 0;
        for (std::string word; words >> word; ++i)
            values.push_back({names[i].c_str(), std::stod(word.substr(word.find('=') + 1)), 0});
        std::vector<uint8_t> payload = fromHex(row.before);
        cxl_encode_report report;
        const cxl_status status = cxl_encode(message(row.message), values.data(), values.size(), row.flags,
                                             payload.data(), payload.size(), &report);
        ASSERT_EQ(status, row.status) << report.text;
        if (status == CXL_OK) {
            EXPECT_EQ(toHex(payload.data(), payload.size()), row.after);
        } else {
            EXPECT_NE(std::string(report.text).find(row.after), std::string::npos) << report.text;
            EXPECT_EQ(toHex(payload.data(), payload.size()), row.before);  // nothing written
        }
        EXPECT_EQ(values[0].clamped, row.flags == CXL_CLAMP ? 1 : 0);
    }
}

struct RawRow {
    const char* rule;
    const char* message;
    std::vector<cxl_raw_value> values;
    cxl_status status;
    const char* after;  // payload, or words the report must hold
};

TEST_F(Codec, EncodesFieldValuesExactly) {
    const RawRow rows[] = {
        {"wider than a double",
         "Wide",
         {{"U64", 0x0123456789ABCDEFu}, {"S64", ~uint64_t{0} - 1}},
         CXL_OK,
         "EFCDAB8967452301FEFFFFFFFFFFFFFF"},
        {"no limits apply",
         "Plain",
         {{"U8", 255}, {"S12", ~uint64_t{0} - 2047}, {"BE16", 1}, {"Tail", 1}},
         CXL_OK,
         "FF00080000010080"},
        {"unsigned past its field",
         "Plain",
         {{"U8", 256}, {"S12", 0}, {"BE16", 0}, {"Tail", 0}},
         CXL_ERR_OUT_OF_RANGE,
         "'U8'"},
        {"signed past its field",
         "Plain",
         {{"U8", 0}, {"S12", ~uint64_t{0} - 2048}, {"BE16", 0}, {"Tail", 0}},
         CXL_ERR_OUT_OF_RANGE,
         "'S12'"},
        {"float bits",
         "Floats",
         {{"F32", 0x3F800000}, {"F64", 0x3FF0000000000000u}},
         CXL_OK,
         "0000803F3FF0000000000000"},
        {"switch decides", "Mux", {{"Mode", 1}, {"Page", 4}, {"B", 9}, {"C", 0}, {"D", 1}}, CXL_ERR_NOT_CARRIED, "'D'"},
    };
    for (const RawRow& row : rows) {
        SCOPED_TRACE(row.rule);
        uint8_t payload[16] = {};
        cxl_encode_report report;
        const cxl_message* m = message(row.message);
        cxl_message_info info;
        ASSERT_EQ(cxl_get_message_info(m, &info), CXL_OK);
        const cxl_status status =
            cxl_encode_raw(m, row.values.data(), row.values.size(), 0, payload, info.length, &report);
        ASSERT_EQ(status, row.status) << report.text;
        if (status == CXL_OK) {
            EXPECT_EQ(toHex(payload, info.length), row.after);
        } else {
            EXPECT_NE(std::string(report.text).find(row.after), std::string::npos) << report.text;
        }
    }
}

// Bit-by-bit reference: the field's bits one at a time, most significant first.
struct Layout {
    uint32_t start;
    uint32_t length;
    bool bigEndian;
    bool isSigned;
};

bool referenceBits(const Layout& l, std::vector<uint32_t>& positions) {
    positions.clear();
    int64_t pos = l.start;
    if (l.bigEndian) {
        for (uint32_t k = 0; k < l.length; ++k) {
            if (pos < 0 || pos >= 512) return false;
            positions.push_back(static_cast<uint32_t>(pos));
            pos = pos % 8 == 0 ? pos + 15 : pos - 1;
        }
    } else {
        for (uint32_t k = l.length; k-- > 0;) {
            if (l.start + k >= 512) return false;
            positions.push_back(l.start + k);
        }
    }
    return true;
}

// A message of so many signals that its plan needs more room than a block of
// plans holds, between messages whose plans share blocks: each decodes whole.
TEST(ManySignals, EveryMessageDecodesAroundAPlanLargerThanABlock) {
    constexpr uint32_t kSignals = 20000;  // 48 bytes of plan each: about 1 MB
    std::ostringstream dbc;
    dbc << "BO_ 1 Before: 8 N\n SG_ A : 0|8@1+ (1,0) [0|0] \"\" N\nBO_ 2 Wide: 8 N\n";
    for (uint32_t s = 0; s < kSignals; ++s) dbc << " SG_ S" << s << " : " << s % 64 << "|1@1+ (1,0) [0|1] \"\" N\n";
    dbc << "BO_ 3 After: 8 N\n SG_ Z : 8|8@1+ (1,0) [0|0] \"\" N\n";
    DatabasePtr database = openDbc(dbc.str());
    const uint8_t payload[8] = {0x5A, 0xC3, 0x0F, 0xF0, 0x81, 0x7E, 0x24, 0x99};
    std::vector<cxl_value> values(kSignals);
    for (uint32_t id : {1, 3}) {
        ASSERT_EQ(cxl_decode(cxl_find_message(database.get(), id, 0), payload, 8, CXL_CLAMP, values.data()), CXL_OK);
        EXPECT_EQ(values[0].raw, payload[id == 1 ? 0 : 1]) << id;
    }
    ASSERT_EQ(cxl_decode(cxl_find_message(database.get(), 2, 0), payload, 8, CXL_CLAMP, values.data()), CXL_OK);
    for (uint32_t s = 0; s < kSignals; ++s)
        ASSERT_EQ(values[s].raw, (payload[s % 64 / 8] >> (s % 8)) & 1u) << "signal " << s;
}

TEST(RandomLayouts, DecodeAndEncodeAgreeWithABitByBitReference) {
    const unsigned seed = std::random_device{}();
    std::cout << "random layout seed " << seed << "\n";
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937_64 random(seed);
    std::vector<Layout> layouts;
    std::ostringstream dbc;
    for (uint32_t i = 0; i < 300; ++i) {
        Layout l{static_cast<uint32_t>(random() % 512), static_cast<uint32_t>(1 + random() % 64), random() % 2 == 0,
                 random() % 2 == 0};
        std::vector<uint32_t> positions;
        if (!referenceBits(l, positions)) continue;
        dbc << "BO_ " << layouts.size() << " M" << layouts.size() << ": 64 N\n SG_ X : " << l.start << "|" << l.length
            << "@" << (l.bigEndian ? 0 : 1) << (l.isSigned ? "-" : "+") << " (1,0) [0|0] \"\" N\n";
        layouts.push_back(l);
    }
    DatabasePtr database = openDbc(dbc.str());
    ASSERT_EQ(cxl_diagnostic_count(database.get()), 0u);
    for (size_t i = 0; i < layouts.size(); ++i) {
        const Layout& l = layouts[i];
        std::vector<uint32_t> positions;
        referenceBits(l, positions);
        uint32_t lastByte = 0;
        for (uint32_t p : positions) lastByte = std::max(lastByte, p / 8);
        const cxl_message* m = cxl_message_at(database.get(), i);
        uint8_t payload[64];
        for (uint8_t& byte : payload) byte = static_cast<uint8_t>(random());
        const size_t received = random() % 65;
        uint64_t raw = 0;
        for (uint32_t p : positions) raw = raw << 1 | ((payload[p / 8] >> (p % 8)) & 1u);
        if (l.isSigned && l.length < 64 && (raw >> (l.length - 1)) != 0) raw |= ~uint64_t{0} << l.length;
        cxl_value value;
        ASSERT_EQ(cxl_decode(m, payload, received, 0, &value), CXL_OK);
        ASSERT_EQ(value.present, lastByte < received ? 1 : 0) << "layout " << i;
        ASSERT_EQ(value.present ? value.raw : raw, raw) << "layout " << i;
        if (l.length > 52) continue;
        // Encoding a new value changes exactly the field's bits.
        const uint64_t mask = (uint64_t{1} << l.length) - 1;
        const uint64_t field = random() & mask;
        const double physical = l.isSigned && (field >> (l.length - 1)) != 0
                                    ? static_cast<double>(static_cast<int64_t>(field | ~mask))
                                    : static_cast<double>(field);
        uint8_t encoded[64];
        std::memcpy(encoded, payload, 64);
        cxl_named_value named{"X", physical, 0};
        ASSERT_EQ(cxl_encode(m, &named, 1, 0, encoded, 64, nullptr), CXL_OK);
        uint64_t written = 0;
        for (uint32_t p : positions) {
            written = written << 1 | ((encoded[p / 8] >> (p % 8)) & 1u);
            encoded[p / 8] =
                static_cast<uint8_t>((encoded[p / 8] & ~(1u << (p % 8))) | (payload[p / 8] & (1u << (p % 8))));
        }
        ASSERT_EQ(written, field) << "layout " << i;
        ASSERT_EQ(std::memcmp(encoded, payload, 64), 0) << "layout " << i << ": other bits changed";
    }
}

}  // namespace

namespace {

// A signal of a random multiplexed message: its bits and the switch values it
// needs, as (switch, low, high) up its chain.
struct MuxLayout {
    uint64_t bits;
    std::vector<std::array<uint32_t, 3>> conditions;
};

bool exclusive(const MuxLayout& a, const MuxLayout& b) {
    for (const auto& x : a.conditions)
        for (const auto& y : b.conditions)
            if (x[0] == y[0] && (x[2] < y[1] || y[2] < x[1])) return true;
    return false;
}

TEST(RandomLayouts, OverlapsAreReportedWhenSignalsCarriedTogetherShareBits) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937_64 random(seed);
    for (int round = 0; round < 300; ++round) {
        // S switches everything; T, carried for S in 1..2, switches some.
        std::ostringstream dbc;
        dbc << "BO_ 1 M: 8 N\n SG_ S M : 0|2@1+ (1,0) [0|0] \"\" N\n SG_ T m1M : 2|2@1+ (1,0) [0|0] \"\" N\n";
        std::ostringstream ranges;
        ranges << "SG_MUL_VAL_ 1 T S 1-2;\n";
        std::vector<MuxLayout> layouts{{0x3, {}}, {0xC, {{0, 1, 2}}}};
        for (int i = 0; i < 5; ++i) {
            const uint32_t length = 1 + random() % 6, start = random() % (65 - length);
            const uint32_t low = random() % 4, high = low + random() % (4 - low), kind = random() % 3;
            MuxLayout layout{((uint64_t{1} << length) - 1) << start, {}};
            dbc << " SG_ X" << i << (kind == 0 ? "" : " m" + std::to_string(low)) << " : " << start << "|" << length
                << "@1+ (1,0) [0|0] \"\" N\n";
            if (kind == 1) layout.conditions = {{0, low, low}};
            if (kind == 2) {
                ranges << "SG_MUL_VAL_ 1 X" << i << " T " << low << "-" << high << ";\n";
                layout.conditions = {{1, low, high}, {0, 1, 2}};
            }
            layouts.push_back(layout);
        }
        bool expected = false;
        for (size_t j = 1; j < layouts.size(); ++j)
            for (size_t i = 0; i < j; ++i)
                expected = expected || ((layouts[i].bits & layouts[j].bits) != 0 && !exclusive(layouts[i], layouts[j]));
        DatabasePtr database = openDbc(dbc.str() + ranges.str());
        bool reported = false;
        for (size_t i = 0; i < cxl_diagnostic_count(database.get()); ++i) {
            cxl_diagnostic d;
            cxl_get_diagnostic(database.get(), i, &d);
            reported = reported || d.topic == CXL_TOPIC_OVERLAP;
        }
        ASSERT_EQ(reported, expected) << dbc.str() << ranges.str();
    }
}

}  // namespace
