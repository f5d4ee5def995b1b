// The model of a file that uses every section, dumped through the C interface
// and compared with a golden dump (CANXLATE_REGENERATE_GOLDEN=1 rewrites it).
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <vector>

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
    // Nowhere to write to: refused.
    EXPECT_EQ(cxl_get_environment_variable(database.get(), 0, nullptr), CXL_ERR_ARGUMENT);
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
    // Arguments that cannot be read are refused, and a handle given is cleared.
    cxl_database* database = reinterpret_cast<cxl_database*>(1);
    EXPECT_EQ(cxl_open_memory("BU_:", 4, 7, &database), CXL_ERR_ARGUMENT);
    EXPECT_EQ(database, nullptr);
    EXPECT_EQ(cxl_open_memory("BU_:", 4, 7, nullptr), CXL_ERR_ARGUMENT);
    database = reinterpret_cast<cxl_database*>(1);
    EXPECT_EQ(cxl_open_sources(nullptr, 1, &database), CXL_ERR_ARGUMENT);
    EXPECT_EQ(database, nullptr);
}

// Texts given out of order, in order, and enough of them to be found by
// position: each lists in value order and as written, and decodes as its value.
TEST(Model, ValueTextsInValueOrderAndAsWritten) {
    struct Case {
        const char* given;
        const char* sorted;
        const char* written;
    };
    const Case cases[] = {
        {"2 \"c\" 0 \"a\" 1 \"b\"", "abc", "cab"},
        {"0 \"a\" 1 \"b\" 2 \"c\" 3 \"d\" 4 \"e\" 5 \"f\" 6 \"g\" 7 \"h\" 9 \"j\"", "abcdefghj", "abcdefghj"},
        {"9 \"j\" 7 \"h\" 6 \"g\" 5 \"f\" 4 \"e\" 3 \"d\" 2 \"c\" 1 \"b\" 0 \"a\"", "abcdefghj", "jhgfedcba"},
    };
    for (const Case& c : cases) {
        const std::string text =
            "BO_ 1 M: 8 N\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" N\nVAL_ 1 S " + std::string(c.given) + " ;\n";
        cxl_database* database = nullptr;
        ASSERT_EQ(cxl_open_memory(text.data(), text.size(), CXL_FORMAT_DBC, &database), CXL_OK);
        const cxl_message* message = cxl_find_message(database, 1, 0);
        const cxl_signal* signal = cxl_find_signal(message, "S");
        std::string sorted, written;
        int64_t raw;
        const char* label;
        for (size_t i = 0; cxl_signal_value_text(signal, i, &raw, &label) == CXL_OK; ++i) sorted += label;
        for (size_t i = 0; cxl_signal_value_text_as_written(signal, i, &raw, &label) == CXL_OK; ++i) written += label;
        EXPECT_EQ(sorted, c.sorted);
        EXPECT_EQ(written, c.written);
        for (uint8_t value = 0; value < 11; ++value) {
            const uint8_t payload[8] = {value};
            cxl_value decoded{};
            ASSERT_EQ(cxl_decode(message, payload, sizeof payload, 0, &decoded), CXL_OK);
            const size_t at = std::string(c.sorted).find(static_cast<char>('a' + value));
            EXPECT_EQ(decoded.text == nullptr ? "" : std::string(decoded.text),
                      at == std::string::npos ? "" : std::string(1, static_cast<char>('a' + value)))
                << c.given << " at " << int{value};
        }
        cxl_close(database);
    }
}

TEST(Opening, SeveralSourcesMakeOneDatabase) {
    const std::string first = "VERSION \"1\"\nBU_: A B\nBO_ 1 M1: 8 A\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" B\n";
    const std::string second = "VERSION \"2\"\nBU_: C\nBO_ 2 M2: 8 C\nBO_ 1 M3: 8 C\nBO_ 3 M1: 8 C\n";
    const cxl_source sources[] = {{first.data(), first.size(), CXL_FORMAT_DBC},
                                  {second.data(), second.size(), CXL_FORMAT_DBC}};
    cxl_database* database = nullptr;
    ASSERT_EQ(cxl_open_sources(sources, 2, &database), CXL_OK);
    cxl_database_info info;
    ASSERT_EQ(cxl_get_database_info(database, &info), CXL_OK);
    EXPECT_EQ(info.message_count, 4u);
    EXPECT_STREQ(info.version, "2");  // the last text's
    EXPECT_EQ(info.node_count, 1u);
    EXPECT_STREQ(cxl_node_name(database, 0), "C");
    cxl_message_info message;
    ASSERT_EQ(cxl_get_message_info(cxl_find_message(database, 1, 0), &message), CXL_OK);
    EXPECT_STREQ(message.name, "M1");  // an ID given again is found at its first message
    ASSERT_EQ(cxl_get_message_info(cxl_find_message_by_name(database, "M1"), &message), CXL_OK);
    EXPECT_EQ(message.id, 1u);
    ASSERT_EQ(cxl_get_message_info(cxl_message_at(database, 3), &message), CXL_OK);
    EXPECT_EQ(message.id, 3u);
    cxl_close(database);

    const std::string binary("BO_\0", 4);
    const struct {
        cxl_source source;
        cxl_status status;
    } refused[] = {
        {{first.data(), first.size(), 7}, CXL_ERR_ARGUMENT},
        {{nullptr, 3, CXL_FORMAT_DBC}, CXL_ERR_ARGUMENT},
        {{binary.data(), binary.size(), CXL_FORMAT_DBC}, CXL_ERR_FORMAT},
    };
    for (const auto& row : refused) {
        const cxl_source pair[] = {sources[0], row.source};
        database = reinterpret_cast<cxl_database*>(1);
        EXPECT_EQ(cxl_open_sources(pair, 2, &database), row.status);
        EXPECT_EQ(database, nullptr);
    }
    ASSERT_EQ(cxl_open_sources(nullptr, 0, &database), CXL_OK);  // none: an empty database
    cxl_close(database);
    const cxl_source noBytes{nullptr, 0, CXL_FORMAT_DBC};  // an empty text
    ASSERT_EQ(cxl_open_sources(&noBytes, 1, &database), CXL_OK);
    cxl_close(database);
}

}  // namespace

// Receiver lists, signal names and units of every length around the room the
// model keeps in place (16 bytes, each name's end included) and far past it
// come back as written, also from a copy whose node was renamed.
TEST(Model, NamesAndListsOfAnyLengthComeBack) {
    const size_t nameLengths[] = {2, 14, 15, 16, 17, 40, 3};
    const std::vector<std::vector<std::string>> lists = {
        {"A"},
        {"ABCDEFGHIJKLMNO"},
        {"ABCDEFGHIJKLMNOP"},
        {"ABCDEFG", "HIJKLMN"},
        {"ABCDEFG", "HIJKLMNO"},
        {"A", "B", "C", "D", "E", "F", "G", "H"},
        {"B", "C", "D", "E", "F", "G", "H", "ABCDEFG", "HIJKLMN", "ABCDEFGHIJKLMNOP", "A"},
    };
    std::string text = "BU_: A B C D E F G H ABCDEFG HIJKLMN HIJKLMNO ABCDEFGHIJKLMNO ABCDEFGHIJKLMNOP\nBO_ 1 M: 8 A\n";
    const auto nameOf = [&](size_t i) { return "S" + std::to_string(i) + std::string(nameLengths[i] - 2, 'x'); };
    for (size_t i = 0; i < lists.size(); ++i) {
        text += " SG_ " + nameOf(i) + " : " + std::to_string(i) + "|1@1+ (1,0) [0|0] \"" + nameOf(i) + "u\" ";
        for (size_t n = 0; n < lists[i].size(); ++n) text += (n > 0 ? "," : "") + lists[i][n];
        text += "\n";
    }
    cxl_database* opened = nullptr;
    ASSERT_EQ(cxl_open_memory(text.data(), text.size(), CXL_FORMAT_DBC, &opened), CXL_OK);
    DatabasePtr database(opened);
    cxl_builder* builder = nullptr;
    ASSERT_EQ(cxl_builder_copy(database.get(), &builder), CXL_OK);
    ASSERT_EQ(cxl_builder_rename_node(builder, "A", "Z", nullptr), CXL_OK);
    cxl_database* finished = nullptr;
    ASSERT_EQ(cxl_builder_finish(builder, &finished, nullptr), CXL_OK);
    cxl_builder_free(builder);
    DatabasePtr renamed(finished);
    for (const cxl_database* from : {database.get(), renamed.get()}) {
        const cxl_message* message = cxl_find_message(from, 1, 0);
        for (size_t i = 0; i < lists.size(); ++i) {
            const cxl_signal* signal = cxl_find_signal(message, nameOf(i).c_str());
            ASSERT_NE(signal, nullptr);
            cxl_signal_info info;
            ASSERT_EQ(cxl_get_signal_info(signal, &info), CXL_OK);
            EXPECT_EQ(info.name, nameOf(i));
            EXPECT_EQ(info.unit, nameOf(i) + "u");
            std::vector<std::string> got;
            for (size_t n = 0; cxl_signal_receiver(signal, n) != nullptr; ++n)
                got.emplace_back(cxl_signal_receiver(signal, n));
            std::vector<std::string> expected = lists[i];
            if (from == renamed.get())
                std::replace(expected.begin(), expected.end(), std::string("A"), std::string("Z"));
            EXPECT_EQ(got, expected) << "signal " << i;
        }
    }
}

// Every ID finds its message and an absent one finds none, up to a table of
// IDs sized for 2^17 messages, which its load rule fills up to four fifths.
TEST(Model, EveryIdFindsItsMessageAtAnySize) {
    for (const uint32_t count : {3u, 131072u}) {
        std::string text = "BU_: N\n";
        for (uint32_t id = 0; id < count; ++id)
            text += "BO_ " + std::to_string(0x80000000u | id) + " M" + std::to_string(id) + ": 8 N\n";
        cxl_database* raw = nullptr;
        ASSERT_EQ(cxl_open_memory(text.data(), text.size(), CXL_FORMAT_DBC, &raw), CXL_OK);
        DatabasePtr database(raw);
        for (uint32_t id = 0; id < count; ++id) ASSERT_NE(cxl_find_message(database.get(), id, 1), nullptr) << id;
        EXPECT_EQ(cxl_find_message(database.get(), count, 1), nullptr);
        EXPECT_EQ(cxl_find_message(database.get(), 1, 0), nullptr);
    }
}
