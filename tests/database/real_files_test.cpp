// Real DBC files: for every frame that the reference tool decodes, the
// decoding reports exactly the signals it carries, their values and their
// value-table texts.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "canxlate.h"

namespace {

const char* const kFiles[] = {"ESR", "gm_global_a_lowspeed_1818125", "tesla_can", "toyota_nodsu_pt_generated",
                              "vw_mqb"};

std::vector<uint8_t> fromHex(const std::string& hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// Frames file IDs carry no extended flag: standard when it fits, else extended.
const cxl_message* findById(const cxl_database* database, uint32_t id) {
    const cxl_message* message = cxl_find_message(database, id, id > 0x7FF);
    return message != nullptr ? message : cxl_find_message(database, id, id <= 0x7FF);
}

class RealFiles : public ::testing::TestWithParam<const char*> {};

TEST_P(RealFiles, DecodingReportsWhatTheReferenceToolCarries) {
    const std::string base = std::string(CANXLATE_TEST_DATA_DIR) + "/opendbc/" + GetParam();
    cxl_database* database = nullptr;
    ASSERT_EQ(cxl_open_file((base + ".dbc").c_str(), &database), CXL_OK);
    std::ifstream input(base + ".frames.json");
    const nlohmann::json frames = nlohmann::json::parse(input)["frames"];
    size_t compared = 0;
    for (const auto& frame : frames) {
        if (frame["carried"].is_null()) continue;
        const uint32_t id = frame["id"].get<uint32_t>();
        const cxl_message* message = findById(database, id);
        ASSERT_NE(message, nullptr) << "ID " << id;
        cxl_message_info info;
        cxl_get_message_info(message, &info);
        const std::vector<uint8_t> payload = fromHex(frame["data"].get<std::string>());
        std::vector<cxl_value> values(info.signal_count);
        ASSERT_EQ(cxl_decode(message, payload.data(), payload.size(), 0, values.data()), CXL_OK);
        std::set<std::string> expected, carried;
        for (const auto& name : frame["carried"]) expected.insert(name.get<std::string>());
        std::map<std::string, std::string> labels;
        for (size_t i = 0; i < info.signal_count; ++i) {
            if (!values[i].present) continue;
            cxl_signal_info signal;
            cxl_get_signal_info(cxl_signal_at(message, i), &signal);
            carried.insert(signal.name);
            if (values[i].text != nullptr) labels[signal.name] = values[i].text;
            if (!expected.count(signal.name)) continue;
            const double want = frame["signals"][signal.name].get<double>();
            EXPECT_LE(std::fabs(values[i].physical - want), 1e-12 * std::fabs(want))
                << info.name << "." << signal.name << " in frame " << frame["data"];
        }
        EXPECT_EQ(carried, expected) << info.name << " frame " << frame["data"];
        EXPECT_EQ(labels, frame["labels"].get<decltype(labels)>()) << info.name << " frame " << frame["data"];
        ++compared;
    }
    EXPECT_GT(compared, 0u);
    cxl_close(database);
}

INSTANTIATE_TEST_SUITE_P(Opendbc, RealFiles, ::testing::ValuesIn(kFiles));

}  // namespace
