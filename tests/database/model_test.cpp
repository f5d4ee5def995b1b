// The model of a file that uses every section, dumped through the C interface
// and compared with a golden dump (CANXLATE_REGENERATE_GOLDEN=1 rewrites it).
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "test_database.h"

namespace {

const std::string kData = std::string(CANXLATE_TEST_DATA_DIR) + "/../database/data/";

std::string dumpSignal(const cxl_signal* handle) {
    cxl_signal_info s;
    EXPECT_EQ(cxl_get_signal_info(handle, &s), CXL_OK);
    std::ostringstream out;
    out << "  signal " << s.name << " #" << s.index << " start " << s.start_bit << " lsb " << s.lsb_bit << " length "
        << s.length << " order " << s.byte_order << " type " << s.value_type << " decodable " << s.decodable
        << " scale " << s.factor << "," << s.offset << " range " << s.minimum << ".." << s.maximum << " unit '"
        << s.unit << "' comment '" << s.comment << "' mux " << s.mux_role;
    if (s.mux_switch != nullptr) {
        cxl_signal_info sw;
        cxl_get_signal_info(s.mux_switch, &sw);
        out << " by " << sw.name;
    }
    for (size_t i = 0; i < s.mux_range_count; ++i) {
        uint64_t low, high;
        cxl_signal_mux_range(handle, i, &low, &high);
        out << " [" << low << "-" << high << "]";
    }
    out << " receivers";
    for (size_t i = 0; i < s.receiver_count; ++i) out << " " << cxl_signal_receiver(handle, i);
    for (size_t i = 0; i < s.value_text_count; ++i) {
        int64_t raw;
        const char* text;
        cxl_signal_value_text(handle, i, &raw, &text);
        out << " " << raw << "=" << text;
    }
    return out.str() + "\n";
}

std::string dump(const cxl_database* database) {
    cxl_database_info info;
    EXPECT_EQ(cxl_get_database_info(database, &info), CXL_OK);
    std::ostringstream out;
    out << "version '" << info.version << "' comment '" << info.comment << "' largest " << info.largest_signal_count
        << "\nnodes";
    for (size_t i = 0; i < info.node_count; ++i) out << " " << cxl_node_name(database, i);
    out << "\n";
    for (size_t m = 0; m < info.message_count; ++m) {
        const cxl_message* message = cxl_message_at(database, m);
        cxl_message_info mi;
        EXPECT_EQ(cxl_get_message_info(message, &mi), CXL_OK);
        EXPECT_EQ(cxl_find_message(database, mi.id, mi.extended), message);
        EXPECT_EQ(cxl_find_message_by_name(database, mi.name), message);
        out << "message " << mi.name << " #" << mi.index << " id " << mi.id << " extended " << mi.extended << " fd "
            << mi.fd << " length " << mi.length << " cycle " << mi.cycle_time_ms << " multiplexed " << mi.multiplexed
            << " comment '" << mi.comment << "' senders";
        for (size_t i = 0; i < mi.sender_count; ++i) out << " " << cxl_message_sender(message, i);
        out << "\n";
        for (size_t i = 0; i < mi.signal_count; ++i) {
            const cxl_signal* signal = cxl_signal_at(message, i);
            cxl_signal_info si;
            cxl_get_signal_info(signal, &si);
            EXPECT_EQ(cxl_find_signal(message, si.name), signal);
            out << dumpSignal(signal);
        }
    }
    for (size_t i = 0; i < cxl_diagnostic_count(database); ++i) {
        cxl_diagnostic d;
        cxl_get_diagnostic(database, i, &d);
        out << "diagnostic " << d.severity << " " << d.line << ":" << d.column << " " << d.text << "\n";
    }
    return out.str();
}

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
    };
    for (const auto& row : rows) {
        cxl_database* database = reinterpret_cast<cxl_database*>(1);
        EXPECT_EQ(cxl_open_file(row.path.c_str(), &database), row.status) << row.path;
        EXPECT_EQ(database, nullptr);
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
}

}  // namespace
