// Writing DBC text: what is written opens as the same model and decodes
// every frame to the same bits, for every DBC file at hand and for generated
// databases; numbers and texts survive the trip exactly.
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <vector>

#include "model_dump.h"

namespace {

namespace fs = std::filesystem;

const fs::path kData = fs::path(CANXLATE_TEST_DATA_DIR) / "..";

std::string written(const cxl_database* database) {
    char* text = nullptr;
    size_t size = 0;
    EXPECT_EQ(cxl_write_dbc_memory(database, &text, &size), CXL_OK);
    std::string copy(text == nullptr ? "" : text, size);
    cxl_free_text(text);
    return copy;
}

std::vector<fs::path> dbcFiles() {
    std::vector<fs::path> files;
    for (const fs::path& folder : {kData / "data/opendbc", kData / "database/data", kData / "api/data",
                                   kData / "tools/data", kData / "../examples"}) {
        if (!fs::is_directory(folder)) continue;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.is_regular_file() && entry.path().extension() == ".dbc") files.push_back(entry.path());
    }
    return files;
}

// Every frame of a frames file decodes to the same bits with both databases.
void expectSameDecoding(const cxl_database* original, const cxl_database* rewritten, const fs::path& frames) {
    std::ifstream input(frames);
    const nlohmann::json document = nlohmann::json::parse(input);
    for (const auto& frame : document["frames"]) {
        const uint32_t id = frame["id"].get<uint32_t>();
        const std::string hex = frame["data"].get<std::string>();
        std::vector<uint8_t> payload;
        for (size_t i = 0; i + 1 < hex.size(); i += 2)
            payload.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
        for (int extended : {0, 1}) {
            const cxl_message* a = cxl_find_message(original, id, extended);
            const cxl_message* b = cxl_find_message(rewritten, id, extended);
            ASSERT_EQ(a == nullptr, b == nullptr) << id;
            if (a == nullptr) continue;
            cxl_message_info info;
            cxl_get_message_info(a, &info);
            std::vector<cxl_value> left(info.signal_count), right(info.signal_count);
            ASSERT_EQ(cxl_decode(a, payload.data(), payload.size(), 0, left.data()), CXL_OK);
            ASSERT_EQ(cxl_decode(b, payload.data(), payload.size(), 0, right.data()), CXL_OK);
            for (size_t s = 0; s < info.signal_count; ++s) {
                EXPECT_EQ(left[s].present, right[s].present) << info.name << " " << hex;
                EXPECT_EQ(left[s].raw, right[s].raw) << info.name << " " << hex;
                EXPECT_EQ(std::memcmp(&left[s].physical, &right[s].physical, sizeof(double)), 0)
                    << info.name << " " << hex;
            }
        }
    }
}

TEST(DbcWriting, EveryFileOpensAgainAsTheSameModel) {
    const std::vector<fs::path> files = dbcFiles();
    ASSERT_GE(files.size(), 8u);
    for (const fs::path& path : files) {
        SCOPED_TRACE(path.string());
        cxl_database* raw = nullptr;
        if (cxl_open_file(path.string().c_str(), &raw) != CXL_OK) continue;  // a file made not to open
        DatabasePtr original(raw);
        const std::string text = written(original.get());
        DatabasePtr rewritten = openDbc(text);
        ASSERT_NE(rewritten, nullptr);
        EXPECT_EQ(dump(rewritten.get(), false), dump(original.get(), false));
        EXPECT_EQ(written(rewritten.get()), text);  // the layout is canonical
        fs::path frames = path;
        frames.replace_extension(".frames.json");
        if (fs::exists(frames)) expectSameDecoding(original.get(), rewritten.get(), frames);
    }
}

// A ".zcd" file written as DBC decodes every payload as the file itself does.
TEST(DbcWriting, ZcdFilesDecodeTheSameAsDbc) {
    std::mt19937_64 random(7);
    for (const fs::path& path : {kData / "database/data/model.zcd", kData / "../examples/powertrain.zcd"}) {
        cxl_database* raw = nullptr;
        ASSERT_EQ(cxl_open_file(path.string().c_str(), &raw), CXL_OK);
        DatabasePtr original(raw);
        DatabasePtr rewritten = openDbc(written(original.get()));
        cxl_database_info info;
        cxl_get_database_info(original.get(), &info);
        for (size_t m = 0; m < info.message_count; ++m) {
            cxl_message_info mi;
            cxl_get_message_info(cxl_message_at(original.get(), m), &mi);
            std::vector<cxl_value> left(mi.signal_count), right(mi.signal_count);
            for (int round = 0; round < 20; ++round) {
                uint8_t payload[64];
                for (uint8_t& byte : payload) byte = static_cast<uint8_t>(random());
                ASSERT_EQ(cxl_decode(cxl_message_at(original.get(), m), payload, mi.length, 0, left.data()), CXL_OK);
                ASSERT_EQ(cxl_decode(cxl_message_at(rewritten.get(), m), payload, mi.length, 0, right.data()), CXL_OK);
                for (size_t s = 0; s < mi.signal_count; ++s) {
                    EXPECT_EQ(left[s].present, right[s].present) << mi.name << " " << s;
                    EXPECT_EQ(left[s].raw, right[s].raw) << mi.name << " " << s;
                }
            }
        }
    }
}

// Random databases: names, numbers, texts with quotes and backslashes,
// multiplexing, value texts and attributes.
std::string generatedDbc(std::mt19937_64& random) {
    auto number = [&]() {
        double value;
        do {
            uint64_t bits = random();
            std::memcpy(&value, &bits, sizeof value);
        } while (!std::isfinite(value));
        switch (random() % 4) {
            case 0: return value;                                        // any double
            case 1: return static_cast<double>(random() % 2001) - 1000;  // an integer
            case 2: return static_cast<double>(random() % 100000) / 1000;
            default: return std::ldexp(static_cast<double>(random() % 1000), -static_cast<int>(random() % 40));
        }
    };
    auto text = [&]() {
        const char pieces[][4] = {"a", "\\\"", "\\\\", " ", "\\n", "\xC3\xA9", "'", ",", ";", "\n"};
        std::string out;
        for (size_t i = random() % 8; i > 0; --i) out += pieces[random() % std::size(pieces)];
        return out;
    };
    std::ostringstream out;
    out << std::setprecision(17) << "VERSION \"" << text() << "\"\nBU_: N0 N1\n";
    out << "BA_DEF_ BO_ \"Weight\" FLOAT -1e300 1e300;\nBA_DEF_ SG_ \"Note\" STRING;\n";
    const size_t messages = 1 + random() % 6;
    for (size_t m = 0; m < messages; ++m) {
        const uint32_t length = random() % 2 ? 8 : 64;
        const uint64_t id = random() % 2 ? 0x80000000u + m * 977 : m;
        out << "BO_ " << id << " M" << m << ": " << length << " N" << random() % 2
            << "\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" N1\n";
        const bool multiplexed = random() % 2;
        if (multiplexed) out << " SG_ X M : 8|4@1+ (1,0) [0|15] \"\" N0\n";
        for (size_t s = 0; s < 4; ++s) {
            out << " SG_ T" << s << (multiplexed ? " m" + std::to_string(s) : "") << " : " << 16 + s * 8 << "|8@"
                << random() % 2 << (random() % 2 ? "+" : "-") << " (" << number() << "," << number() << ") ["
                << number() << "|" << number() << "] \"" << text() << "\" N0,N1\n";
        }
        out << "CM_ BO_ " << id << " \"" << text() << "\";\n";
        out << "VAL_ " << id << " S 0 \"" << text() << "\" -3 \"" << text() << "\" 7 \"\";\n";
        out << "BA_ \"Weight\" BO_ " << id << " " << number() << ";\n";
        out << "BA_ \"Note\" SG_ " << id << " S \"" << text() << "\";\n";
    }
    return out.str();
}

// Names that are no DBC identifier, or that only differ in characters an
// identifier cannot hold, or share their first 32 characters, come back as
// they were, and writing again gives the same text.
TEST(DbcWriting, NamesThatAreNoIdentifierComeBack) {
    const std::string longName(40, 'L');
    std::string zcd = "<zecan_config><message><id>256</id><bytes>8</bytes>";
    const std::vector<std::string> names = {"A?B", "A_B", "A B", "7up", longName + "1", longName + "2", longName + "3"};
    for (size_t i = 0; i < names.size(); ++i)
        zcd += "<channel name=\"" + names[i] + "\"><bitfield start=\"" + std::to_string(i * 8) +
               "\" bits=\"8\" order=\"0\" type=\"1\"/></channel>";
    zcd += "</message></zecan_config>";
    cxl_database* raw = nullptr;
    ASSERT_EQ(cxl_open_memory(zcd.data(), zcd.size(), CXL_FORMAT_ZCD, &raw), CXL_OK);
    DatabasePtr original(raw);
    const std::string text = written(original.get());
    DatabasePtr rewritten = openDbc(text);
    const cxl_message* message = cxl_message_at(rewritten.get(), 0);
    cxl_message_info info;
    ASSERT_EQ(cxl_get_message_info(message, &info), CXL_OK);
    ASSERT_EQ(info.signal_count, names.size());
    for (size_t s = 0; s < names.size(); ++s) {
        cxl_signal_info signal;
        cxl_get_signal_info(cxl_signal_at(message, s), &signal);
        EXPECT_EQ(signal.name, names[s]);
    }
    EXPECT_EQ(written(rewritten.get()), text);
}

TEST(DbcWriting, GeneratedDatabasesSurviveTheTrip) {
    std::mt19937_64 random(20261207);
    for (int round = 0; round < 200; ++round) {
        const std::string source = generatedDbc(random);
        SCOPED_TRACE(source);
        DatabasePtr original = openDbc(source);
        ASSERT_NE(original, nullptr);
        const std::string text = written(original.get());
        DatabasePtr rewritten = openDbc(text);
        ASSERT_NE(rewritten, nullptr);
        ASSERT_EQ(dump(rewritten.get(), false), dump(original.get(), false)) << text;
    }
}

// Numbers are written in their shortest form, and texts escaped where a
// reader would otherwise take a character as an escape or the end.
TEST(DbcWriting, NumbersAndTextsAsWritten) {
    const struct {
        double factor;
        const char* number;
        const char* comment;
        const char* quoted;
    } rows[] = {
        {0.1, "(0.1,", "plain", "\"plain\""},
        {100000, "(100000,", "say \"hi\"", "\"say \\\"hi\\\"\""},
        {1e-5, "(1e-05,", "C:\\path\\", "\"C:\\path\\\\\""},
        {1e16, "(1e+16,", "a\\\\b", "\"a\\\\\\b\""},
        {123456.789, "(123456.789,", "two\r\nlines", "\"two\r\nlines\""},
        {-0.000123, "(-0.000123,", "\\\"", "\"\\\\\\\"\""},
        {5e-324, "(5e-324,", "", ""},
    };
    for (const auto& row : rows) {
        std::ostringstream source;
        source << std::setprecision(17) << "BU_: A\nBO_ 1 M: 8 A\n SG_ S : 0|8@1+ (" << row.factor
               << ",0) [0|0] \"\" A\nCM_ SG_ 1 S \"";
        for (const char* c = row.comment; *c != 0; ++c) source << (*c == '"' || *c == '\\' ? "\\" : "") << *c;
        source << "\";\n";
        DatabasePtr original = openDbc(source.str());
        const std::string text = written(original.get());
        EXPECT_NE(text.find(row.number), std::string::npos) << text;
        if (*row.quoted != 0) {
            EXPECT_NE(text.find(std::string("CM_ SG_ 1 S ") + row.quoted), std::string::npos) << text;
        }
        DatabasePtr rewritten = openDbc(text);
        cxl_signal_info signal;
        cxl_get_signal_info(cxl_signal_at(cxl_message_at(rewritten.get(), 0), 0), &signal);
        EXPECT_EQ(signal.factor, row.factor);
        EXPECT_STREQ(signal.comment, row.comment);
    }
}

// Each option changes what the canonical layout writes: the text holds
// `first` (before `then`, when given) and not `absent`.
TEST(DbcWriting, OptionsDepartFromTheCanonicalLayout) {
    DatabasePtr database = openDbc(R"(BU_: A
BO_ 1 M: 8 A
 SG_ Second_signal_with_a_long_name_xyz : 8|8@1+ (1,0) [0|0] "" A
 SG_ First : 0|8@1+ (1,0) [0|0] "" A
BA_DEF_ BO_ "Alpha" INT 0 9;
BA_DEF_ SG_ "Zeta" INT 0 9;
BA_ "Alpha" BO_ 1 1;
BA_ "Zeta" SG_ 1 First 2;
VAL_ 1 Second_signal_with_a_long_name_xyz 1 "One" ;
VAL_ 1 First 0 "Zero" 2 "Two" ;
)");
    const std::vector<uint32_t> swapped{1, 0}, twice{0, 0}, three{0, 1, 2};
    const std::vector<uint32_t> none;
    // The orders: of the signals named by comments, attributes and value
    // texts; of the attribute values; of the signal lines.
    const struct {
        uint32_t flags;
        const std::vector<uint32_t>& signals;
        const std::vector<uint32_t>& attributes;
        const std::vector<uint32_t>& lines;
        const char* first;
        const char* then;
        const char* absent;
        cxl_status status;
    } rows[] = {
        {0, none, none, none, "VAL_ 1 First 2 \"Two\" 0 \"Zero\" ;", nullptr, "SG_ Second_signal_with_a_long_name_xyz",
         CXL_OK},
        {0, none, none, none, "VAL_ 1 Second_signal_with_a_long_na", "VAL_ 1 First", nullptr, CXL_OK},
        {CXL_WRITE_VALUE_TEXTS_AS_GIVEN, none, none, none, "VAL_ 1 First 0 \"Zero\" 2 \"Two\" ;", nullptr, nullptr,
         CXL_OK},
        {CXL_WRITE_LONG_NAMES, none, none, none, "SG_ Second_signal_with_a_long_name_xyz :", nullptr,
         "BA_ \"SystemSignalLongSymbol\"", CXL_OK},
        {0, swapped, none, none, "VAL_ 1 First", "VAL_ 1 Second_signal_with_a_long_na", nullptr, CXL_OK},
        {CXL_WRITE_LONG_NAMES, none, swapped, none, "BA_ \"Zeta\"", "BA_ \"Alpha\"", nullptr, CXL_OK},
        {0, none, none, swapped, " SG_ First :", " SG_ Second", nullptr, CXL_OK},
        {0, twice, none, none, "", nullptr, nullptr, CXL_ERR_ARGUMENT},
        {0, three, none, none, "", nullptr, nullptr, CXL_ERR_ARGUMENT},
        {CXL_WRITE_LONG_NAMES, none, three, none, "", nullptr, nullptr, CXL_ERR_ARGUMENT},
        {0, none, none, twice, "", nullptr, nullptr, CXL_ERR_ARGUMENT},
    };
    auto pointer = [](const std::vector<uint32_t>& order) { return order.empty() ? nullptr : order.data(); };
    for (const auto& row : rows) {
        const cxl_write_options options{row.flags,
                                        pointer(row.signals),
                                        row.signals.size(),
                                        pointer(row.attributes),
                                        row.attributes.size(),
                                        pointer(row.lines),
                                        row.lines.size()};
        char* text = nullptr;
        size_t size = 0;
        ASSERT_EQ(cxl_write_dbc_text(database.get(), &options, &text, &size), row.status) << row.first;
        const std::string written(text == nullptr ? "" : text, size);
        cxl_free_text(text);
        const size_t first = written.find(row.first);
        EXPECT_NE(first, std::string::npos) << row.first << "\n" << written;
        if (row.then != nullptr) {
            EXPECT_LT(first, written.find(row.then)) << row.then << "\n" << written;
        }
        if (row.absent != nullptr) {
            EXPECT_EQ(written.find(row.absent), std::string::npos) << row.absent;
        }
    }
}

TEST(DbcWriting, RefusesBadArguments) {
    char* text = reinterpret_cast<char*>(1);
    size_t size = 1;
    EXPECT_EQ(cxl_write_dbc_memory(nullptr, &text, &size), CXL_ERR_ARGUMENT);
    EXPECT_EQ(text, nullptr);
    DatabasePtr database = openDbc("BU_: A\n");
    EXPECT_EQ(cxl_write_dbc(database.get(), nullptr), CXL_ERR_ARGUMENT);
    EXPECT_EQ(cxl_write_dbc(database.get(), "/nonexistent/folder/x.dbc"), CXL_ERR_CANNOT_OPEN);
    // What would be read as said of another message or signal: a second
    // text's message of the same ID, a channel given twice.
    const std::string first = "BO_ 256 A: 8 E\n", second = "BO_ 256 B: 8 E\nCM_ BO_ 256 \"second\";\n";
    const std::string twice = R"(<zecan_config><message><name>M</name><id>256</id><bytes>8</bytes>
<channel name="A"><bitfield start="0" bits="8" order="0" type="1"/></channel>
<channel name="A"><bitfield start="32" bits="32" order="0" type="2"/></channel></message></zecan_config>)";
    const struct {
        std::vector<cxl_source> sources;
        const char* report;
    } rows[] = {
        {{{first.data(), first.size(), CXL_FORMAT_DBC}, {second.data(), second.size(), CXL_FORMAT_DBC}},
         "message 'B' has the ID 256 of message 'A': its comment would be read as the other's"},
        {{{twice.data(), twice.size(), CXL_FORMAT_ZCD}},
         "signal 'A' of message '0x100' has the name of an earlier signal: its value type would be read as the "
         "other's"},
    };
    const cxl_write_options leaveOut{CXL_WRITE_LEAVE_OUT_AMBIGUOUS, nullptr, 0, nullptr, 0, nullptr, 0};
    for (const auto& row : rows) {
        cxl_database* raw = nullptr;
        ASSERT_EQ(cxl_open_sources(row.sources.data(), row.sources.size(), &raw), CXL_OK);
        DatabasePtr shared(raw);
        EXPECT_EQ(cxl_write_dbc_memory(shared.get(), &text, &size), CXL_ERR_AMBIGUOUS);
        ASSERT_EQ(cxl_write_dbc_text(shared.get(), &leaveOut, &text, &size), CXL_OK);
        EXPECT_EQ(std::string(text).find("second"), std::string::npos);
        EXPECT_EQ(std::string(text).find("SIG_VALTYPE_"), std::string::npos);
        cxl_free_text(text);
        cxl_builder* builder = nullptr;
        ASSERT_EQ(cxl_builder_copy(shared.get(), &builder), CXL_OK);
        cxl_build_report report{};
        EXPECT_EQ(cxl_builder_finish(builder, &raw, &report), CXL_ERR_AMBIGUOUS);
        EXPECT_STREQ(report.text, row.report);
        cxl_builder_free(builder);
    }
}

}  // namespace
