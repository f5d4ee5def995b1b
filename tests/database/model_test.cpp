// The model of a file that uses every section, dumped through the C interface
// and compared with a golden dump (CANXLATE_REGENERATE_GOLDEN=1 rewrites it).
#include <cstdlib>
#include <fstream>

#include "model_dump.h"

namespace {

const std::string kData = std::string(CANXLATE_TEST_DATA_DIR) + "/../database/data/";

// A DBC file that uses every section, and a ".zcd" document.
class Model : public ::testing::TestWithParam<const char*> {};

TEST_P(Model, EveryDefinitionReachesTheModel) {
    const std::string name = GetParam();
    cxl_database* raw = nullptr;
    ASSERT_EQ(cxl_open_file((kData + name).c_str(), &raw), CXL_OK);
    DatabasePtr database(raw);
    const std::string text = dump(database.get());
    const std::string golden = kData + name + ".golden";
    if (std::getenv("CANXLATE_REGENERATE_GOLDEN") != nullptr) std::ofstream(golden) << text;
    std::ifstream input(golden);
    std::stringstream expected;
    expected << input.rdbuf();
    EXPECT_EQ(text, expected.str());
    // Standard and extended IDs are distinct keys.
    EXPECT_EQ(cxl_find_message(database.get(), 256, 1), nullptr);
    EXPECT_EQ(cxl_find_message(database.get(), 0x18FEF1FE, 0), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Files, Model, ::testing::Values("model.dbc", "model.zcd"),
                         [](const auto& info) { return std::string(info.param).substr(6); });

TEST(Opening, RefusesWhatIsNoDatabase) {
    const struct {
        std::string path;
        cxl_status status;
    } rows[] = {
        {kData + "folder.dbc", CXL_ERR_CANNOT_OPEN},  // a directory
        {kData + "missing.dbc", CXL_ERR_CANNOT_OPEN},
        {kData + "model.dbc.golden", CXL_ERR_FORMAT},  // unknown extension
        {kData + "binary.DBC", CXL_ERR_FORMAT},        // NUL bytes; extension in capitals
        {kData + "utf16.dbc", CXL_ERR_FORMAT},
    };
    for (const auto& row : rows) {
        cxl_database* database = reinterpret_cast<cxl_database*>(1);
        EXPECT_EQ(cxl_open_file(row.path.c_str(), &database), row.status) << row.path;
        EXPECT_EQ(database, nullptr);
    }
}

}  // namespace
