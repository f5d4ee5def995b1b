// A database's whole model as text, through the C interface: two databases
// with equal dumps say the same.
#pragma once

#include <iomanip>
#include <sstream>
#include <string>

#include "test_database.h"

inline std::string dumpAttribute(const cxl_attribute& a) {
    std::ostringstream out;
    out << std::setprecision(17) << " " << a.name << ":" << a.type << "=" << a.number << "'" << a.text << "'";
    return out.str();
}

template <typename Get>
std::string dumpAttributes(size_t count, Get get) {
    std::string out = " attributes";
    for (size_t i = 0; i < count; ++i) {
        cxl_attribute a;
        EXPECT_EQ(get(i, &a), CXL_OK);
        out += dumpAttribute(a);
    }
    return out;
}

inline std::string dumpSignal(const cxl_signal* handle) {
    cxl_signal_info s;
    EXPECT_EQ(cxl_get_signal_info(handle, &s), CXL_OK);
    std::ostringstream out;
    out << std::setprecision(17) << "  signal " << s.name << " #" << s.index << " start " << s.start_bit << " lsb "
        << s.lsb_bit << " length " << s.length << " order " << s.byte_order << " type " << s.value_type << " decodable "
        << s.decodable << " scale " << s.factor << "," << s.offset << " range " << s.minimum << ".." << s.maximum
        << " unit '" << s.unit << "' comment '" << s.comment << "' mux " << s.mux_role;
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
    cxl_signal_details d;
    EXPECT_EQ(cxl_get_signal_details(handle, &d), CXL_OK);
    if (d.has_start_value) out << " start value " << d.start_value;
    out << dumpAttributes(d.attribute_count,
                          [&](size_t i, cxl_attribute* a) { return cxl_signal_attribute(handle, i, a); });
    return out.str() + "\n";
}

// Definitions, value tables, environment variables and relations.
inline std::string dumpDetails(const cxl_database* database) {
    cxl_database_details d;
    EXPECT_EQ(cxl_get_database_details(database, &d), CXL_OK);
    std::ostringstream out;
    out << std::setprecision(17) << "bus speed '" << d.bus_speed << "' new symbols";
    for (size_t i = 0; i < d.new_symbol_count; ++i) out << " " << cxl_new_symbol(database, i);
    out << "\nnetwork" << dumpAttributes(d.attribute_count, [&](size_t i, cxl_attribute* a) {
        return cxl_network_attribute(database, i, a);
    }) << "\n";
    for (size_t i = 0; i < d.attribute_definition_count; ++i) {
        cxl_attribute_definition def;
        EXPECT_EQ(cxl_get_attribute_definition(database, i, &def), CXL_OK);
        out << "definition " << def.name << " of " << def.object_kind << " type " << def.type << " range "
            << def.minimum << ".." << def.maximum << " values";
        for (size_t k = 0; k < def.enum_value_count; ++k) out << " " << cxl_attribute_enum_value(database, i, k);
        if (def.has_default) out << " default " << def.default_number << "'" << def.default_text << "'";
        out << "\n";
    }
    for (size_t i = 0; i < d.value_table_count; ++i) {
        const char* name;
        size_t count;
        EXPECT_EQ(cxl_value_table(database, i, &name, &count), CXL_OK);
        out << "value table " << name;
        for (size_t k = 0; k < count; ++k) {
            int64_t raw;
            const char* text;
            EXPECT_EQ(cxl_value_table_entry(database, i, k, &raw, &text), CXL_OK);
            out << " " << raw << "=" << text;
        }
        out << "\n";
    }
    for (size_t i = 0; i < d.environment_variable_count; ++i) {
        cxl_environment_variable v;
        EXPECT_EQ(cxl_get_environment_variable(database, i, &v), CXL_OK);
        out << "environment variable " << v.name << " type " << v.type << " range " << v.minimum << ".." << v.maximum
            << " unit '" << v.unit << "' initial " << v.initial_value << " id " << v.id << " access " << v.access_type
            << " size " << v.data_size << " comment '" << v.comment << "' nodes";
        for (size_t k = 0; k < v.access_node_count; ++k)
            out << " " << cxl_environment_variable_access_node(database, i, k);
        for (size_t k = 0; k < v.value_text_count; ++k) {
            int64_t raw;
            const char* text;
            EXPECT_EQ(cxl_environment_variable_value_text(database, i, k, &raw, &text), CXL_OK);
            out << " " << raw << "=" << text;
        }
        out << dumpAttributes(v.attribute_count, [&](size_t k, cxl_attribute* a) {
            return cxl_environment_variable_attribute(database, i, k, a);
        }) << "\n";
    }
    for (size_t i = 0; i < d.relation_attribute_count; ++i) {
        cxl_relation_attribute r;
        EXPECT_EQ(cxl_get_relation_attribute(database, i, &r), CXL_OK);
        cxl_message_info mi{};
        if (r.message != nullptr) cxl_get_message_info(r.message, &mi);
        out << "relation " << r.object_kind << " " << r.node << " " << (mi.name ? mi.name : "-") << " '" << r.signal
            << "' '" << r.environment_variable << "'" << dumpAttribute(r.attribute) << "\n";
    }
    return out.str();
}

// Diagnostics included unless withDiagnostics is false.
inline std::string dump(const cxl_database* database, bool withDiagnostics = true) {
    cxl_database_info info;
    EXPECT_EQ(cxl_get_database_info(database, &info), CXL_OK);
    std::ostringstream out;
    out << std::setprecision(17) << "version '" << info.version << "' comment '" << info.comment << "' largest "
        << info.largest_signal_count << "\nnodes";
    for (size_t i = 0; i < info.node_count; ++i) out << " " << cxl_node_name(database, i);
    out << "\n" << dumpDetails(database);
    for (size_t i = 0; i < info.node_count; ++i) {
        cxl_node_info node;
        EXPECT_EQ(cxl_get_node_info(database, i, &node), CXL_OK);
        out << "node " << node.name << " comment '" << node.comment << "'"
            << dumpAttributes(node.attribute_count,
                              [&](size_t k, cxl_attribute* a) { return cxl_node_attribute(database, i, k, a); })
            << "\n";
    }
    for (size_t m = 0; m < info.message_count; ++m) {
        const cxl_message* message = cxl_message_at(database, m);
        cxl_message_info mi;
        EXPECT_EQ(cxl_get_message_info(message, &mi), CXL_OK);
        // The first of a duplicated ID or name is found.
        cxl_message_info found{};
        EXPECT_EQ(cxl_get_message_info(cxl_find_message(database, mi.id, mi.extended), &found), CXL_OK);
        EXPECT_LE(found.index, mi.index);
        EXPECT_EQ(cxl_get_message_info(cxl_find_message_by_name(database, mi.name), &found), CXL_OK);
        EXPECT_STREQ(found.name, mi.name);
        out << "message " << mi.name << " #" << mi.index << " id " << mi.id << " extended " << mi.extended << " fd "
            << mi.fd << " length " << mi.length << " cycle " << mi.cycle_time_ms << " multiplexed " << mi.multiplexed
            << " comment '" << mi.comment << "' senders";
        for (size_t i = 0; i < mi.sender_count; ++i) out << " " << cxl_message_sender(message, i);
        cxl_message_details md;
        EXPECT_EQ(cxl_get_message_details(message, &md), CXL_OK);
        out << " send type '" << md.send_type << "' j1939 " << md.j1939
            << dumpAttributes(md.attribute_count,
                              [&](size_t i, cxl_attribute* a) { return cxl_message_attribute(message, i, a); });
        for (size_t g = 0; g < md.signal_group_count; ++g) {
            cxl_signal_group group;
            EXPECT_EQ(cxl_get_signal_group(message, g, &group), CXL_OK);
            out << " group " << group.name << "*" << group.repetitions << ":";
            for (size_t i = 0; i < group.signal_count; ++i) out << " " << cxl_signal_group_member(message, g, i);
        }
        out << "\n";
        for (size_t i = 0; i < mi.signal_count; ++i) {
            const cxl_signal* signal = cxl_signal_at(message, i);
            cxl_signal_info si;
            cxl_get_signal_info(signal, &si);
            cxl_signal_info found{};
            EXPECT_EQ(cxl_get_signal_info(cxl_find_signal(message, si.name), &found), CXL_OK);
            EXPECT_STREQ(found.name, si.name);
            out << dumpSignal(signal);
        }
    }
    for (size_t i = 0; withDiagnostics && i < cxl_diagnostic_count(database); ++i) {
        cxl_diagnostic d;
        cxl_get_diagnostic(database, i, &d);
        out << "diagnostic " << d.severity << " " << d.line << ":" << d.column << " " << d.text << "\n";
    }
    return out.str();
}
