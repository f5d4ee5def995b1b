// Looking at the model: database, messages, signals.
#include "canxlate/capi/handles.h"

using namespace canxlate::capi;
namespace db = canxlate::db;

extern "C" {

CXL_API cxl_status CXL_CALL cxl_get_database_info(const cxl_database* database, cxl_database_info* info) {
    if (database == nullptr || info == nullptr) return CXL_ERR_ARGUMENT;
    const db::Database& model = database->model;
    *info = {model.version.c_str(), model.comment.c_str(), model.messages.size(), model.nodeCount(),
             model.largestSignalCount};
    return CXL_OK;
}

CXL_API const char* CXL_CALL cxl_node_name(const cxl_database* database, size_t index) {
    if (database == nullptr || index >= database->model.nodeCount()) return nullptr;
    return database->model.node(index);
}

CXL_API const cxl_message* CXL_CALL cxl_message_at(const cxl_database* database, size_t index) {
    if (database == nullptr || index >= database->model.messages.size()) return nullptr;
    return toHandle(&database->model.messages[index]);
}

CXL_API const cxl_message* CXL_CALL cxl_find_message(const cxl_database* database, uint32_t id, int extended) {
    if (database == nullptr) return nullptr;
    const db::Message* message = database->model.findMessageOf(id, extended != 0);
    return message == nullptr ? nullptr : toHandle(message);
}

CXL_API const cxl_message* CXL_CALL cxl_find_message_by_name(const cxl_database* database, const char* name) {
    if (database == nullptr || name == nullptr) return nullptr;
    const uint32_t index = database->model.findMessage(std::string_view(name));
    return index == db::kNotFound ? nullptr : toHandle(&database->model.messages[index]);
}

CXL_API cxl_status CXL_CALL cxl_get_message_info(const cxl_message* handle, cxl_message_info* info) {
    if (handle == nullptr || info == nullptr) return CXL_ERR_ARGUMENT;
    const db::Message& message = *toMessage(handle);
    *info = {message.id,
             message.extended ? 1 : 0,
             message.fd ? 1 : 0,
             message.length,
             message.name.c_str(),
             message.comment().c_str(),
             message.cycleTime,
             message.index,
             message.signals.size(),
             message.senders.size(),
             message.multiplexed ? 1 : 0};
    return CXL_OK;
}

CXL_API const char* CXL_CALL cxl_message_sender(const cxl_message* handle, size_t index) {
    if (handle == nullptr || index >= toMessage(handle)->senders.size()) return nullptr;
    return toMessage(handle)->senders[index];
}

CXL_API const cxl_signal* CXL_CALL cxl_signal_at(const cxl_message* handle, size_t index) {
    if (handle == nullptr || index >= toMessage(handle)->signals.size()) return nullptr;
    return toHandle(&toMessage(handle)->signals[index]);
}

CXL_API const cxl_signal* CXL_CALL cxl_find_signal(const cxl_message* handle, const char* name) {
    if (handle == nullptr || name == nullptr) return nullptr;
    const db::Message& message = *toMessage(handle);
    const uint32_t index = message.findSignal(name);
    return index == canxlate::NameIndex::kAbsent ? nullptr : toHandle(&message.signals[index]);
}

CXL_API cxl_status CXL_CALL cxl_get_signal_info(const cxl_signal* handle, cxl_signal_info* info) {
    if (handle == nullptr || info == nullptr) return CXL_ERR_ARGUMENT;
    const db::Signal& signal = *toSignal(handle);
    *info = cxl_signal_info{};
    info->name = signal.name.c_str();
    info->unit = signal.unit.c_str();
    info->comment = signal.details->comment.c_str();
    info->index = signal.index;
    info->start_bit = signal.startBit;
    info->lsb_bit = signal.lsbBit();
    info->length = signal.length;
    info->byte_order = signal.bigEndian ? CXL_BYTE_ORDER_BIG_ENDIAN : CXL_BYTE_ORDER_LITTLE_ENDIAN;
    info->value_type = static_cast<int32_t>(signal.type);
    info->decodable = signal.decodable ? 1 : 0;
    info->factor = signal.factor;
    info->offset = signal.offset;
    info->minimum = signal.minimum;
    info->maximum = signal.maximum;
    info->mux_role = static_cast<int32_t>(signal.role);
    // The switch lies in the same array, signal.index places before it.
    info->mux_switch =
        signal.switchIndex == db::kNoSwitch ? nullptr : toHandle(&signal - signal.index + signal.switchIndex);
    info->mux_range_count = signal.muxRanges.size();
    info->receiver_count = signal.receivers.size();
    info->value_text_count = signal.details->values.entries().size();
    return CXL_OK;
}

CXL_API const char* CXL_CALL cxl_signal_receiver(const cxl_signal* handle, size_t index) {
    if (handle == nullptr || index >= toSignal(handle)->receivers.size()) return nullptr;
    return toSignal(handle)->receivers[index];
}

CXL_API cxl_status CXL_CALL cxl_signal_mux_range(const cxl_signal* handle, size_t index, uint64_t* low,
                                                 uint64_t* high) {
    if (handle == nullptr || low == nullptr || high == nullptr || index >= toSignal(handle)->muxRanges.size())
        return CXL_ERR_ARGUMENT;
    *low = toSignal(handle)->muxRanges[index].low;
    *high = toSignal(handle)->muxRanges[index].high;
    return CXL_OK;
}

CXL_API cxl_status CXL_CALL cxl_signal_value_text(const cxl_signal* handle, size_t index, int64_t* raw,
                                                  const char** text) {
    if (handle == nullptr || raw == nullptr || text == nullptr ||
        index >= toSignal(handle)->details->values.entries().size())
        return CXL_ERR_ARGUMENT;
    const db::ValueText& entry = toSignal(handle)->details->values.entries()[index];
    *raw = entry.value;
    *text = entry.text.c_str();
    return CXL_OK;
}

CXL_API cxl_status CXL_CALL cxl_signal_value_text_as_written(const cxl_signal* handle, size_t index, int64_t* raw,
                                                             const char** text) {
    if (handle == nullptr || raw == nullptr || text == nullptr ||
        index >= toSignal(handle)->details->values.entries().size())
        return CXL_ERR_ARGUMENT;
    const db::ValueText& entry = toSignal(handle)->details->values.written(index);
    *raw = entry.value;
    *text = entry.text.c_str();
    return CXL_OK;
}

}  // extern "C"
