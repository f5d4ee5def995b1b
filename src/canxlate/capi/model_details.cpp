// Looking at what a database says beyond decoding: attributes and their
// definitions, nodes, signal groups, value tables, environment variables.
#include "canxlate/capi/handles.h"

using namespace canxlate::capi;
namespace db = canxlate::db;

namespace {

static_assert(static_cast<int32_t>(db::AttributeType::kEnum) == CXL_ATTRIBUTE_ENUM &&
              static_cast<int32_t>(db::ObjectKind::kNodeEnvironmentVariable) == CXL_OBJECT_NODE_ENVIRONMENT_VARIABLE);

cxl_attribute toAttribute(const db::Attribute& attribute) {
    return {attribute.name.c_str(), static_cast<int32_t>(attribute.type), attribute.value.number,
            attribute.value.text.c_str()};
}

cxl_status attributeAt(const db::AttributeList& list, size_t index, cxl_attribute* attribute) {
    if (attribute == nullptr || index >= list.size()) return CXL_ERR_ARGUMENT;
    *attribute = toAttribute(list[index]);
    return CXL_OK;
}

cxl_status valueTextAt(const db::ValueTable& table, size_t index, int64_t* raw, const char** text) {
    if (raw == nullptr || text == nullptr || index >= table.entries().size()) return CXL_ERR_ARGUMENT;
    *raw = table.entries()[index].value;
    *text = table.entries()[index].text.c_str();
    return CXL_OK;
}

const db::EnvironmentVariable* variableAt(const cxl_database* database, size_t index) {
    if (database == nullptr || index >= database->model.environmentVariables.size()) return nullptr;
    return &database->model.environmentVariables[index];
}

}  // namespace

extern "C" {

CXL_API cxl_status CXL_CALL cxl_get_database_details(const cxl_database* database, cxl_database_details* details) {
    if (database == nullptr || details == nullptr) return CXL_ERR_ARGUMENT;
    const db::Database& model = database->model;
    *details = {model.busSpeed.c_str(),           model.newSymbols.size(),         model.attributeDefinitions.size(),
                model.attributes.size(),          model.relationAttributes.size(), model.valueTables.size(),
                model.environmentVariables.size()};
    return CXL_OK;
}

CXL_API const char* CXL_CALL cxl_new_symbol(const cxl_database* database, size_t index) {
    if (database == nullptr || index >= database->model.newSymbols.size()) return nullptr;
    return database->model.newSymbols[index].c_str();
}

CXL_API cxl_status CXL_CALL cxl_get_node_info(const cxl_database* database, size_t index, cxl_node_info* info) {
    if (database == nullptr || info == nullptr || index >= database->model.nodes().size()) return CXL_ERR_ARGUMENT;
    const db::Node& node = database->model.nodes()[index];
    *info = {node.name().c_str(), node.details->comment.c_str(), node.details->attributes.size()};
    return CXL_OK;
}

CXL_API cxl_status CXL_CALL cxl_get_message_details(const cxl_message* handle, cxl_message_details* details) {
    if (handle == nullptr || details == nullptr) return CXL_ERR_ARGUMENT;
    const db::Message& message = *toMessage(handle);
    *details = {message.details->sendType.c_str(), message.j1939 ? 1 : 0, message.details->attributes.size(),
                message.details->signalGroups.size()};
    return CXL_OK;
}

CXL_API cxl_status CXL_CALL cxl_get_signal_group(const cxl_message* handle, size_t index, cxl_signal_group* group) {
    if (handle == nullptr || group == nullptr || index >= toMessage(handle)->details->signalGroups.size())
        return CXL_ERR_ARGUMENT;
    const db::SignalGroup& given = toMessage(handle)->details->signalGroups[index];
    *group = {given.name.c_str(), given.repetitions, given.signals.size()};
    return CXL_OK;
}

CXL_API const char* CXL_CALL cxl_signal_group_member(const cxl_message* handle, size_t group, size_t index) {
    if (handle == nullptr || group >= toMessage(handle)->details->signalGroups.size()) return nullptr;
    const std::vector<std::string>& signals = toMessage(handle)->details->signalGroups[group].signals;
    return index < signals.size() ? signals[index].c_str() : nullptr;
}

CXL_API cxl_status CXL_CALL cxl_get_signal_details(const cxl_signal* handle, cxl_signal_details* details) {
    if (handle == nullptr || details == nullptr) return CXL_ERR_ARGUMENT;
    const db::Signal& signal = *toSignal(handle);
    const db::SignalDetails& given = *signal.details;
    *details = {given.hasStartValue ? 1 : 0, given.startValue, given.attributes.size(), signal.floatSigned ? 1 : 0};
    return CXL_OK;
}

CXL_API cxl_status CXL_CALL cxl_value_table(const cxl_database* database, size_t index, const char** name,
                                            size_t* entry_count) {
    if (database == nullptr || name == nullptr || entry_count == nullptr || index >= database->model.valueTables.size())
        return CXL_ERR_ARGUMENT;
    *name = database->model.valueTables[index].name.c_str();
    *entry_count = database->model.valueTables[index].values.entries().size();
    return CXL_OK;
}

CXL_API cxl_status CXL_CALL cxl_value_table_entry(const cxl_database* database, size_t table, size_t index,
                                                  int64_t* raw, const char** text) {
    if (database == nullptr || table >= database->model.valueTables.size()) return CXL_ERR_ARGUMENT;
    return valueTextAt(database->model.valueTables[table].values, index, raw, text);
}

CXL_API cxl_status CXL_CALL cxl_get_environment_variable(const cxl_database* database, size_t index,
                                                         cxl_environment_variable* variable) {
    const db::EnvironmentVariable* given = variableAt(database, index);
    if (given == nullptr || variable == nullptr) return CXL_ERR_ARGUMENT;
    *variable = {given->name.c_str(),
                 given->type,
                 given->minimum,
                 given->maximum,
                 given->unit.c_str(),
                 given->initialValue,
                 given->id,
                 given->accessType.c_str(),
                 given->dataSize,
                 given->comment.c_str(),
                 given->accessNodes.size(),
                 given->values.entries().size(),
                 given->attributes.size()};
    return CXL_OK;
}

CXL_API const char* CXL_CALL cxl_environment_variable_access_node(const cxl_database* database, size_t variable,
                                                                  size_t index) {
    const db::EnvironmentVariable* given = variableAt(database, variable);
    if (given == nullptr || index >= given->accessNodes.size()) return nullptr;
    return given->accessNodes[index].c_str();
}

CXL_API cxl_status CXL_CALL cxl_environment_variable_value_text(const cxl_database* database, size_t variable,
                                                                size_t index, int64_t* raw, const char** text) {
    const db::EnvironmentVariable* given = variableAt(database, variable);
    return given == nullptr ? CXL_ERR_ARGUMENT : valueTextAt(given->values, index, raw, text);
}

CXL_API cxl_status CXL_CALL cxl_get_attribute_definition(const cxl_database* database, size_t index,
                                                         cxl_attribute_definition* definition) {
    if (database == nullptr || definition == nullptr || index >= database->model.attributeDefinitions.size())
        return CXL_ERR_ARGUMENT;
    const db::AttributeDefinition& given = database->model.attributeDefinitions[index];
    *definition = {given.name.c_str(),
                   static_cast<int32_t>(given.kind),
                   static_cast<int32_t>(given.type),
                   given.minimum,
                   given.maximum,
                   given.enumValues.size(),
                   given.hasDefault ? 1 : 0,
                   given.defaultValue.number,
                   given.defaultValue.text.c_str()};
    return CXL_OK;
}

CXL_API const char* CXL_CALL cxl_attribute_enum_value(const cxl_database* database, size_t definition, size_t index) {
    if (database == nullptr || definition >= database->model.attributeDefinitions.size()) return nullptr;
    const std::vector<std::string>& values = database->model.attributeDefinitions[definition].enumValues;
    return index < values.size() ? values[index].c_str() : nullptr;
}

CXL_API cxl_status CXL_CALL cxl_network_attribute(const cxl_database* database, size_t index,
                                                  cxl_attribute* attribute) {
    return database == nullptr ? CXL_ERR_ARGUMENT : attributeAt(database->model.attributes, index, attribute);
}

CXL_API cxl_status CXL_CALL cxl_node_attribute(const cxl_database* database, size_t node, size_t index,
                                               cxl_attribute* attribute) {
    if (database == nullptr || node >= database->model.nodes().size()) return CXL_ERR_ARGUMENT;
    return attributeAt(database->model.nodes()[node].details->attributes, index, attribute);
}

CXL_API cxl_status CXL_CALL cxl_message_attribute(const cxl_message* message, size_t index, cxl_attribute* attribute) {
    return message == nullptr ? CXL_ERR_ARGUMENT
                              : attributeAt(toMessage(message)->details->attributes, index, attribute);
}

CXL_API cxl_status CXL_CALL cxl_signal_attribute(const cxl_signal* signal, size_t index, cxl_attribute* attribute) {
    return signal == nullptr ? CXL_ERR_ARGUMENT : attributeAt(toSignal(signal)->details->attributes, index, attribute);
}

CXL_API cxl_status CXL_CALL cxl_environment_variable_attribute(const cxl_database* database, size_t variable,
                                                               size_t index, cxl_attribute* attribute) {
    const db::EnvironmentVariable* given = variableAt(database, variable);
    return given == nullptr ? CXL_ERR_ARGUMENT : attributeAt(given->attributes, index, attribute);
}

CXL_API cxl_status CXL_CALL cxl_get_relation_attribute(const cxl_database* database, size_t index,
                                                       cxl_relation_attribute* relation) {
    if (database == nullptr || relation == nullptr || index >= database->model.relationAttributes.size())
        return CXL_ERR_ARGUMENT;
    const db::RelationAttribute& given = database->model.relationAttributes[index];
    const bool withMessage = given.kind != db::ObjectKind::kNodeEnvironmentVariable;
    *relation = {static_cast<int32_t>(given.kind),
                 given.node.c_str(),
                 withMessage ? toHandle(&database->model.messages[given.message]) : nullptr,
                 given.signal.c_str(),
                 given.environmentVariable.c_str(),
                 toAttribute(given.attribute)};
    return CXL_OK;
}

}  // extern "C"
