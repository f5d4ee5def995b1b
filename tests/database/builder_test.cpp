// The builder: a database made call by call decodes as the same text read
// from a file; every change that does not fit is refused with a report
// naming the fault, and leaves the builder as it was.
#include <cstring>
#include <functional>

#include "model_dump.h"

namespace {

struct BuilderFree {
    void operator()(cxl_builder* builder) const { cxl_builder_free(builder); }
};
using BuilderPtr = std::unique_ptr<cxl_builder, BuilderFree>;

cxl_signal_spec signalSpec(const char* name, uint32_t start, uint32_t length) {
    cxl_signal_spec spec{};
    spec.name = name;
    spec.start_bit = start;
    spec.length = length;
    spec.value_type = CXL_VALUE_UNSIGNED;
    spec.factor = 1;
    return spec;
}

const char* const kText = R"(VERSION "1.0"
BU_: Ecu Dash
BO_ 256 Engine: 8 Ecu
 SG_ Mode M : 0|8@1+ (1,0) [0|0] "" Dash
 SG_ Speed m1 : 15|16@0+ (0.125,0) [0|8031.875] "rpm" Dash
 SG_ Temp m2 : 8|8@1- (1,-40) [0|0] "degC" Dash
EV_ Volume: 1 [0|10] "dB" 2 7 DUMMY_NODE_VECTOR2 Dash;
ENVVAR_DATA_ Volume: 4;
BA_DEF_ BO_ "GenMsgCycleTime" INT 0 10000;
BA_DEF_ EV_ "Step" FLOAT 0 1;
BA_DEF_REL_ BU_SG_REL_ "Timeout" INT 0 1000;
BA_ "GenMsgCycleTime" BO_ 256 100;
BA_ "Step" EV_ Volume 0.5;
BA_REL_ "Timeout" BU_SG_REL_ Dash SG_ 256 Speed 50;
CM_ SG_ 256 Speed "Crankshaft";
CM_ EV_ Volume "Loudness";
VAL_ 256 Mode 1 "Speed" 2 "Temp";
VAL_ Volume 10 "Max" 0 "Mute";
SIG_GROUP_ 256 Shown 1 : Mode Speed;
)";

// The database of kText, made call by call.
BuilderPtr builtLikeText() {
    cxl_builder* raw = nullptr;
    EXPECT_EQ(cxl_builder_create(&raw), CXL_OK);
    BuilderPtr builder(raw);
    cxl_builder_set_version(raw, "1.0");
    EXPECT_EQ(cxl_builder_add_node(raw, "Ecu", nullptr), CXL_OK);
    EXPECT_EQ(cxl_builder_add_node(raw, "Dash", nullptr), CXL_OK);
    const cxl_message_spec message{"Engine", 256, 0, 8, "Ecu"};
    EXPECT_EQ(cxl_builder_add_message(raw, &message, nullptr), CXL_OK);
    cxl_signal_spec mode = signalSpec("Mode", 0, 8);
    mode.mux_role = CXL_MUX_SWITCH;
    mode.receivers = "Dash";
    cxl_signal_spec speed = signalSpec("Speed", 15, 16);
    speed.byte_order = CXL_BYTE_ORDER_BIG_ENDIAN;
    speed.factor = 0.125;
    speed.maximum = 8031.875;
    speed.unit = "rpm";
    speed.receivers = "Dash";
    speed.mux_role = CXL_MUX_MULTIPLEXED;
    speed.mux_low = speed.mux_high = 1;
    cxl_signal_spec temp = signalSpec("Temp", 8, 8);
    temp.value_type = CXL_VALUE_SIGNED;
    temp.offset = -40;
    temp.unit = "degC";
    temp.receivers = "Dash";
    temp.mux_role = CXL_MUX_MULTIPLEXED;
    temp.mux_switch = "Mode";
    temp.mux_low = temp.mux_high = 2;
    for (const cxl_signal_spec* spec : {&mode, &speed, &temp})
        EXPECT_EQ(cxl_builder_add_signal(raw, "Engine", spec, nullptr), CXL_OK);
    cxl_attribute_definition cycle{"GenMsgCycleTime", CXL_OBJECT_MESSAGE, CXL_ATTRIBUTE_INT, 0, 10000, 0, 0, 0, ""};
    EXPECT_EQ(cxl_builder_define_attribute(raw, &cycle, nullptr, nullptr), CXL_OK);
    const cxl_object_ref engine{CXL_OBJECT_MESSAGE, nullptr, "Engine", nullptr, nullptr};
    EXPECT_EQ(cxl_builder_set_attribute(raw, &engine, "GenMsgCycleTime", 100, nullptr, nullptr), CXL_OK);
    const cxl_object_ref speedRef{CXL_OBJECT_SIGNAL, nullptr, "Engine", "Speed", nullptr};
    EXPECT_EQ(cxl_builder_set_comment(raw, &speedRef, "Crankshaft", nullptr), CXL_OK);
    EXPECT_EQ(cxl_builder_set_value_text(raw, "Engine", "Mode", 1, "Speed", nullptr), CXL_OK);
    EXPECT_EQ(cxl_builder_set_value_text(raw, "Engine", "Mode", 2, "Temp", nullptr), CXL_OK);
    const char* const shown[] = {"Mode", "Speed"};
    EXPECT_EQ(cxl_builder_add_signal_group(raw, "Engine", "Shown", 1, shown, 2, nullptr), CXL_OK);
    const char* const dash[] = {"Dash"};
    const cxl_environment_variable volume{"Volume", 1, 0, 10, "dB", 2, 7, "DUMMY_NODE_VECTOR2", 4, "", 1, 0, 0};
    EXPECT_EQ(cxl_builder_add_environment_variable(raw, &volume, dash, nullptr), CXL_OK);
    const cxl_object_ref volumeRef{CXL_OBJECT_ENVIRONMENT_VARIABLE, nullptr, nullptr, nullptr, "Volume"};
    EXPECT_EQ(cxl_builder_set_comment(raw, &volumeRef, "Loudness", nullptr), CXL_OK);
    EXPECT_EQ(cxl_builder_set_environment_variable_value_text(raw, "Volume", 10, "Loud", nullptr), CXL_OK);
    EXPECT_EQ(cxl_builder_clear_environment_variable_value_texts(raw, "Volume", nullptr), CXL_OK);
    EXPECT_EQ(cxl_builder_set_environment_variable_value_text(raw, "Volume", 10, "Loud", nullptr), CXL_OK);
    EXPECT_EQ(cxl_builder_set_environment_variable_value_text(raw, "Volume", 0, "Mute", nullptr), CXL_OK);
    EXPECT_EQ(cxl_builder_set_environment_variable_value_text(raw, "Volume", 10, "Max", nullptr), CXL_OK);
    cxl_attribute_definition step{"Step", CXL_OBJECT_ENVIRONMENT_VARIABLE, CXL_ATTRIBUTE_FLOAT, 0, 1, 0, 0, 0, ""};
    EXPECT_EQ(cxl_builder_define_attribute(raw, &step, nullptr, nullptr), CXL_OK);
    EXPECT_EQ(cxl_builder_set_attribute(raw, &volumeRef, "Step", 0.5, nullptr, nullptr), CXL_OK);
    cxl_attribute_definition timeout{"Timeout", CXL_OBJECT_NODE_SIGNAL, CXL_ATTRIBUTE_INT, 0, 1000, 0, 0, 0, ""};
    EXPECT_EQ(cxl_builder_define_attribute(raw, &timeout, nullptr, nullptr), CXL_OK);
    const cxl_relation_ref dashSpeed{CXL_OBJECT_NODE_SIGNAL, "Dash", "Engine", "Speed", nullptr};
    EXPECT_EQ(cxl_builder_set_relation_attribute(raw, &dashSpeed, "Timeout", 50, nullptr, nullptr), CXL_OK);
    return builder;
}

DatabasePtr finished(const cxl_builder* builder) {
    cxl_database* database = nullptr;
    cxl_build_report report{};
    EXPECT_EQ(cxl_builder_finish(builder, &database, &report), CXL_OK) << report.text;
    return DatabasePtr(database);
}

TEST(Builder, BuildsWhatTheFileSays) {
    BuilderPtr builder = builtLikeText();
    DatabasePtr built = finished(builder.get());
    DatabasePtr read = openDbc(kText);
    EXPECT_EQ(dump(built.get(), false), dump(read.get(), false));
    // A copy of what was read, changed, finishes as changed.
    cxl_builder* raw = nullptr;
    ASSERT_EQ(cxl_builder_copy(read.get(), &raw), CXL_OK);
    BuilderPtr copy(raw);
    cxl_signal_spec spec = signalSpec("EngineSpeed", 15, 16);
    spec.byte_order = CXL_BYTE_ORDER_BIG_ENDIAN;
    spec.mux_role = CXL_MUX_MULTIPLEXED;
    spec.mux_low = 1;
    spec.mux_high = 3;
    ASSERT_EQ(cxl_builder_change_signal(raw, "Engine", "Speed", &spec, nullptr), CXL_OK);
    ASSERT_EQ(cxl_builder_remove_signal(raw, "Engine", "Temp", nullptr), CXL_OK);
    DatabasePtr changed = finished(raw);
    const cxl_message* message = cxl_find_message_by_name(changed.get(), "Engine");
    cxl_signal_info info;
    ASSERT_EQ(cxl_get_signal_info(cxl_find_signal(message, "EngineSpeed"), &info), CXL_OK);
    EXPECT_STREQ(info.comment, "Crankshaft");
    uint64_t low = 0, high = 0;
    ASSERT_EQ(cxl_signal_mux_range(cxl_find_signal(message, "EngineSpeed"), 0, &low, &high), CXL_OK);
    EXPECT_EQ(high, 3u);
    EXPECT_EQ(cxl_find_signal(message, "Temp"), nullptr);
}

// SG_MUL_VAL_ names a switch, and a name an earlier signal has finds that
// one: a line that says no more than the m<k> is left out, one that says
// more is refused as ambiguous.
TEST(Builder, SwitchNamedLikeAnEarlierSignal) {
    DatabasePtr read = openDbc(R"(BO_ 256 M: 8 E
 SG_ S : 0|8@1+ (1,0) [0|0] "" E
 SG_ S M : 8|8@1+ (1,0) [0|0] "" E
 SG_ T M : 16|8@1+ (1,0) [0|0] "" E
 SG_ A m1 : 24|8@1+ (1,0) [0|0] "" E
)");
    char* text = nullptr;
    size_t size = 0;
    ASSERT_EQ(cxl_write_dbc_memory(read.get(), &text, &size), CXL_OK);
    const std::string written(text, size);
    cxl_free_text(text);
    EXPECT_EQ(written.find("SG_MUL_VAL_"), std::string::npos) << written;
    EXPECT_EQ(dump(openDbc(written).get(), false), dump(read.get(), false));
    cxl_builder* raw = nullptr;
    ASSERT_EQ(cxl_builder_copy(read.get(), &raw), CXL_OK);
    BuilderPtr builder(raw);
    cxl_signal_spec spec = signalSpec("B", 32, 8);
    spec.mux_role = CXL_MUX_MULTIPLEXED;
    spec.mux_switch = "S";
    spec.mux_low = 1;
    spec.mux_high = 2;
    ASSERT_EQ(cxl_builder_add_signal(raw, "M", &spec, nullptr), CXL_OK);
    cxl_database* built = nullptr;
    cxl_build_report report{};
    EXPECT_EQ(cxl_builder_finish(raw, &built, &report), CXL_ERR_AMBIGUOUS);
    EXPECT_STREQ(report.text,
                 "switch 'S' of message 'M' has the name of an earlier signal: its switch values of signal 'B' would "
                 "be read as the other's");
}

// A message removed takes what relates nodes to it along; what relates them
// to the messages after it follows them to their new places.
TEST(Builder, RemovesAMessageWithItsRelations) {
    const std::string head = R"(BU_: Ecu Dash
BO_ 256 Engine: 8 Ecu
 SG_ Speed : 0|16@1+ (1,0) [0|0] "" Dash
)";
    const std::string rest = R"(BO_ 512 Brake: 8 Ecu
 SG_ Force : 0|16@1+ (1,0) [0|0] "" Dash
BA_DEF_REL_ BU_SG_REL_ "Timeout" INT 0 1000;
BA_REL_ "Timeout" BU_SG_REL_ Dash SG_ 512 Force 60;
)";
    DatabasePtr read = openDbc(head + rest + "BA_REL_ \"Timeout\" BU_SG_REL_ Dash SG_ 256 Speed 50;\n");
    cxl_builder* raw = nullptr;
    ASSERT_EQ(cxl_builder_copy(read.get(), &raw), CXL_OK);
    BuilderPtr copy(raw);
    ASSERT_EQ(cxl_builder_remove_message(raw, "Engine", nullptr), CXL_OK);
    EXPECT_EQ(dump(finished(raw).get(), false), dump(openDbc("BU_: Ecu Dash\n" + rest).get(), false));
}

TEST(Builder, RefusesWhatDoesNotFit) {
    BuilderPtr builder = builtLikeText();
    cxl_builder* b = builder.get();
    const std::string before = dump(finished(b).get());
    const cxl_message_spec taken{"Engine", 300, 0, 8, nullptr};
    const cxl_message_spec sameId{"Other", 256, 0, 8, nullptr};
    const cxl_message_spec bigId{"Big", 0x800, 0, 8, nullptr};
    const cxl_message_spec badSender{"Other", 300, 0, 8, "Ecu,No body"};
    const cxl_message_spec shorter{"Engine", 256, 0, 2, nullptr};
    cxl_signal_spec outside = signalSpec("Outside", 60, 8);
    cxl_signal_spec twice = signalSpec("Mode", 40, 8);
    cxl_signal_spec badName = signalSpec("2Fast", 40, 8);
    cxl_signal_spec single = signalSpec("Ratio", 32, 16);
    single.value_type = CXL_VALUE_SINGLE;
    cxl_signal_spec noSwitch = signalSpec("Extra", 40, 8);
    noSwitch.mux_role = CXL_MUX_MULTIPLEXED;
    noSwitch.mux_switch = "Speed";
    const cxl_object_ref nowhere{CXL_OBJECT_SIGNAL, nullptr, "Engine", "Nothing", nullptr};
    const cxl_attribute_definition noName{"", CXL_OBJECT_MESSAGE, CXL_ATTRIBUTE_INT, 0, 1, 0, 0, 0, ""};
    const cxl_object_ref engine{CXL_OBJECT_MESSAGE, nullptr, "Engine", nullptr, nullptr};
    const char* const strangers[] = {"Mode", "Nothing"};
    const cxl_environment_variable badType{"Level", 3, 0, 1, "", 0, 1, "", -1, "", 0, 0, 0};
    const cxl_environment_variable badNode{"Level", 0, 0, 1, "", 0, 1, "", -1, "", 1, 0, 0};
    const char* const spaced[] = {"No body"};
    const cxl_relation_ref nobody{CXL_OBJECT_NODE_SIGNAL, "Nobody", "Engine", "Speed", nullptr};
    const cxl_relation_ref dashSpeed{CXL_OBJECT_NODE_SIGNAL, "Dash", "Engine", "Speed", nullptr};
    const cxl_relation_ref notRelation{CXL_OBJECT_MESSAGE, "Dash", "Engine", nullptr, nullptr};
    const cxl_relation_ref noVariable{CXL_OBJECT_NODE_ENVIRONMENT_VARIABLE, "Dash", nullptr, nullptr, "Nothing"};
    const cxl_object_ref variable{CXL_OBJECT_ENVIRONMENT_VARIABLE, nullptr, nullptr, nullptr, "Volume"};
    const cxl_object_ref noSuchVariable{CXL_OBJECT_ENVIRONMENT_VARIABLE, nullptr, nullptr, nullptr, "Nothing"};
    cxl_build_report report{};
    const struct {
        std::function<cxl_status()> call;
        const char* report;
    } rows[] = {
        {[&] { return cxl_builder_add_node(b, "Ecu", &report); }, "node 'Ecu' exists already"},
        {[&] { return cxl_builder_add_node(b, "has space", &report); }, "node name 'has space' is no DBC name"},
        {[&] { return cxl_builder_add_message(b, &taken, &report); }, "message name 'Engine' is taken"},
        {[&] { return cxl_builder_add_message(b, &sameId, &report); }, "is that of message 'Engine'"},
        {[&] { return cxl_builder_add_message(b, &bigId, &report); }, "too large for a standard frame"},
        {[&] { return cxl_builder_add_message(b, &badSender, &report); }, "sender name 'No body' is no DBC name"},
        {[&] { return cxl_builder_change_message(b, "Engine", &shorter, &report); }, "message 'Engine': "},
        {[&] { return cxl_builder_add_signal(b, "Engine", &outside, &report); }, "signal 'Outside' of message"},
        {[&] { return cxl_builder_add_signal(b, "Engine", &twice, &report); }, "the name is taken"},
        {[&] { return cxl_builder_add_signal(b, "Engine", &badName, &report); }, "'2Fast' is no DBC name"},
        {[&] { return cxl_builder_add_signal(b, "Engine", &single, &report); }, "an IEEE float takes 32 bits"},
        {[&] { return cxl_builder_add_signal(b, "Engine", &noSwitch, &report); }, "no switch is named 'Speed'"},
        {[&] { return cxl_builder_add_signal(b, "Missing", &single, &report); }, "no message is named 'Missing'"},
        {[&] { return cxl_builder_remove_signal(b, "Engine", "Mode", &report); }, "'Mode' switches signal 'Speed'"},
        {[&] { return cxl_builder_add_mux_range(b, "Engine", "Mode", 1, 2, &report); }, "'Mode' is not multiplexed"},
        {[&] { return cxl_builder_add_mux_range(b, "Engine", "Speed", 5, 4, &report); }, "end before they start"},
        {[&] { return cxl_builder_set_comment(b, &nowhere, "x", &report); }, "'Engine' has no signal 'Nothing'"},
        {[&] { return cxl_builder_define_attribute(b, &noName, nullptr, &report); }, "name '' is no DBC name"},
        {[&] { return cxl_builder_set_attribute(b, &engine, "Unknown", 1, nullptr, &report); },
         "no attribute 'Unknown' is defined"},
        {[&] { return cxl_builder_add_signal_group(b, "Engine", "G", 1, strangers, 2, &report); },
         "signal group 'G': message 'Engine' has no signal 'Nothing'"},
        {[&] { return cxl_builder_add_signal_group(b, "Engine", "Shown", 1, strangers, 1, &report); },
         "has a signal group 'Shown'"},
        {[&] { return cxl_builder_add_signal_group(b, "Engine", "a b", 1, nullptr, 0, &report); },
         "signal group name 'a b' is no DBC name"},
        {[&] { return cxl_builder_add_environment_variable(b, &badType, nullptr, &report); }, "type is 0, 1 or 2"},
        {[&] { return cxl_builder_add_environment_variable(b, &badNode, spaced, &report); },
         "access node name 'No body' is no DBC name"},
        {[&] { return cxl_builder_add_environment_variable(b, &badNode, nullptr, &report); },
         "the access nodes are missing"},
        {[&] { return cxl_builder_remove_environment_variable(b, "Nothing", &report); },
         "no environment variable is named 'Nothing'"},
        {[&] { return cxl_builder_set_environment_variable_value_text(b, "Nothing", 1, "x", &report); },
         "no environment variable is named 'Nothing'"},
        {[&] { return cxl_builder_clear_environment_variable_value_texts(b, "Nothing", &report); },
         "no environment variable is named 'Nothing'"},
        {[&] { return cxl_builder_set_comment(b, &noSuchVariable, "x", &report); },
         "no environment variable is named 'Nothing'"},
        {[&] { return cxl_builder_set_attribute(b, &variable, "GenMsgCycleTime", 1, nullptr, &report); },
         "no attribute 'GenMsgCycleTime' is defined for such objects"},
        {[&] { return cxl_builder_set_relation_attribute(b, &nobody, "Timeout", 1, nullptr, &report); },
         "no node is named 'Nobody'"},
        {[&] { return cxl_builder_set_relation_attribute(b, &dashSpeed, "Unknown", 1, nullptr, &report); },
         "no attribute 'Unknown' is defined"},
        {[&] { return cxl_builder_set_relation_attribute(b, &notRelation, "Timeout", 1, nullptr, &report); },
         "the relation is of a node with"},
        {[&] { return cxl_builder_remove_relation_attribute(b, &noVariable, "Timeout", &report); },
         "no environment variable is named 'Nothing'"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.call(), CXL_ERR_REFUSED) << row.report;
        EXPECT_NE(std::strstr(report.text, row.report), nullptr) << report.text << " / " << row.report;
    }
    EXPECT_EQ(dump(finished(b).get()), before);
    EXPECT_EQ(cxl_builder_add_node(nullptr, "A", nullptr), CXL_ERR_ARGUMENT);
}

TEST(Builder, MergesAndReportsConflicts) {
    DatabasePtr first = openDbc(kText);
    cxl_builder* raw = nullptr;
    ASSERT_EQ(cxl_builder_copy(first.get(), &raw), CXL_OK);
    BuilderPtr builder(raw);
    // The same message again joins nothing; a new one joins, with the
    // relation attributes of its own.
    DatabasePtr second = openDbc(std::string(kText) +
                                 "BO_ 512 Brake: 2 Dash\n SG_ Force : 0|16@1+ (1,0) [0|0] \"\" Ecu\n"
                                 "BA_REL_ \"Timeout\" BU_SG_REL_ Dash SG_ 512 Force 20;\n");
    ASSERT_EQ(cxl_builder_merge(raw, second.get(), nullptr), CXL_OK);
    DatabasePtr merged = finished(raw);
    cxl_database_info info;
    cxl_get_database_info(merged.get(), &info);
    EXPECT_EQ(info.message_count, 2u);
    cxl_database_details details;
    cxl_get_database_details(merged.get(), &details);
    ASSERT_EQ(details.relation_attribute_count, 2u);
    cxl_relation_attribute relation;
    cxl_message_info joined;
    ASSERT_EQ(cxl_get_relation_attribute(merged.get(), 1, &relation), CXL_OK);
    cxl_get_message_info(relation.message, &joined);
    EXPECT_STREQ(joined.name, "Brake");
    EXPECT_STREQ(relation.signal, "Force");
    DatabasePtr clash = openDbc("BO_ 256 Motor: 8 Vector__XXX\nBO_ 512 Brake: 8 Vector__XXX\n");
    cxl_build_report report{};
    EXPECT_EQ(cxl_builder_merge(raw, clash.get(), &report), CXL_ERR_REFUSED);
    EXPECT_STREQ(report.text, "message 'Motor' (ID 256) differs from message 'Engine' (ID 256) (and 1 more conflicts)");
}

}  // namespace
