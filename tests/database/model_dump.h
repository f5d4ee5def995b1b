// A model as text, through the C interface: every definition it holds, and
// its diagnostics unless left out.
#pragma once

#include <sstream>
#include <string>

#include "test_database.h"

inline std::string dumpSignal(const cxl_signal* handle) {
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

inline std::string dump(const cxl_database* database, bool withDiagnostics = true) {
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
    for (size_t i = 0; withDiagnostics && i < cxl_diagnostic_count(database); ++i) {
        cxl_diagnostic d;
        cxl_get_diagnostic(database, i, &d);
        out << "diagnostic " << d.severity << " " << d.line << ":" << d.column << " " << d.text << "\n";
    }
    return out.str();
}
