#include "canxlate/builder/database_builder.h"

#include <algorithm>
#include <unordered_map>

#include "canxlate/dbc/dbc_writer.h"
#include "canxlate/dbc/model_builder.h"
#include "canxlate/dbc/signal_layout.h"

namespace canxlate::build {
namespace {

constexpr uint32_t kLargestStandardId = 0x7FF;
constexpr uint32_t kLargestExtendedId = 0x1FFFFFFF;

std::string quote(std::string_view name) { return "'" + std::string(name) + "'"; }
std::string text(const char* given) { return given == nullptr ? std::string() : std::string(given); }

// Letters, digits and '_', not starting with a digit.
bool isDbcName(std::string_view name) {
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
}

std::string nameProblem(std::string_view what, std::string_view name) {
    return isDbcName(name) ? std::string()
                           : std::string(what) + " name " + quote(name) +
                                 " is no DBC name (letters, digits and '_', not starting with a digit)";
}

std::vector<std::string> splitNames(const char* list) {
    std::vector<std::string> names;
    std::string_view rest = list == nullptr ? std::string_view() : std::string_view(list);
    while (!rest.empty()) {
        const size_t comma = rest.find(',');
        std::string_view name = rest.substr(0, comma);
        while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
        while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
        if (!name.empty()) names.emplace_back(name);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
    return names;
}

void rebuildSignalNames(db::Message& message) {
    message.clearSignalIndex();
    for (uint32_t s = 0; s < message.signals.size(); ++s) message.indexSignal(s);
}

bool sameSignal(const db::Signal& a, const db::Signal& b) {
    return a.name == b.name && a.startBit == b.startBit && a.length == b.length && a.bigEndian == b.bigEndian &&
           a.type == b.type && a.factor == b.factor && a.offset == b.offset && a.minimum == b.minimum &&
           a.maximum == b.maximum && a.unit == b.unit && a.role == b.role && a.switchIndex == b.switchIndex;
}

bool sameMessage(const db::Message& a, const db::Message& b) {
    if (a.name != b.name || a.id != b.id || a.extended != b.extended || a.length != b.length ||
        a.signals.size() != b.signals.size())
        return false;
    for (size_t s = 0; s < a.signals.size(); ++s)
        if (!sameSignal(a.signals[s], b.signals[s])) return false;
    return true;
}

// Adds or replaces the text of a raw value, keeping the order given.
void putValueText(db::ValueTable& values, int64_t raw, std::string_view text) {
    std::vector<db::ValueText> entries;
    for (size_t i = 0; i < values.entries().size(); ++i) entries.push_back(values.written(i));
    auto it = std::find_if(entries.begin(), entries.end(), [&](const db::ValueText& e) { return e.value == raw; });
    if (it != entries.end()) {
        it->text = text;
    } else {
        entries.push_back({raw, std::string(text)});
    }
    values.assign(std::move(entries));
}

}  // namespace

DatabaseBuilder::DatabaseBuilder(const db::Database& source) : model_(source) {
    // The name indexes point into the source's strings.
    for (db::Message& message : model_.messages) rebuildSignalNames(message);
}

db::Message* DatabaseBuilder::findMessage(std::string_view name) {
    for (db::Message& message : model_.messages)
        if (message.name == name) return &message;
    return nullptr;
}

db::EnvironmentVariable* DatabaseBuilder::findEnvironmentVariable(std::string_view name) {
    for (db::EnvironmentVariable& variable : model_.environmentVariables)
        if (variable.name == name) return &variable;
    return nullptr;
}

DatabaseBuilder::Found DatabaseBuilder::find(std::string_view message, std::string_view signal) {
    Found found;
    found.message = findMessage(message);
    if (found.message == nullptr) {
        found.problem = "no message is named " + quote(message);
        return found;
    }
    found.messageIndex = static_cast<uint32_t>(std::find_if(model_.messages.begin(), model_.messages.end(),
                                                            [&](const db::Message& m) { return &m == found.message; }) -
                                               model_.messages.begin());
    if (signal.empty()) return found;
    const uint32_t index = found.message->findSignal(signal);
    if (index == NameIndex::kAbsent) {
        found.problem = "message " + quote(message) + " has no signal " + quote(signal);
    } else {
        found.signal = &found.message->signals[index];
    }
    return found;
}

std::string DatabaseBuilder::addNode(std::string_view name) {
    if (std::string problem = nameProblem("node", name); !problem.empty()) return problem;
    if (!model_.addNode(name)) return "node " + quote(name) + " exists already";
    return {};
}

std::string DatabaseBuilder::renameNode(std::string_view name, std::string_view newName) {
    const uint32_t index = model_.findNode(name);
    if (index == db::kNotFound) return "no node is named " + quote(name);
    if (std::string problem = nameProblem("node", newName); !problem.empty()) return problem;
    if (name == newName) return {};
    if (model_.hasNode(newName)) return "node " + quote(newName) + " exists already";
    auto rename = [&](std::string& given) {
        if (given == name) given = newName;
    };
    for (db::Message& message : model_.messages) {
        message.senders = message.senders.renamed(rename);
        for (db::Signal& signal : message.signals) signal.receivers = signal.receivers.renamed(rename);
    }
    for (db::EnvironmentVariable& variable : model_.environmentVariables)
        for (std::string& node : variable.accessNodes) rename(node);
    for (db::RelationAttribute& relation : model_.relationAttributes) rename(relation.node);
    const std::string renamed(newName);
    model_.renameNodes([&](const db::Node& node) { return &node == &model_.nodes()[index] ? &renamed : nullptr; });
    db::Node& node = model_.editNode(index);
    if (!node.details->attributes.empty())
        std::erase_if(node.details.edit().attributes,
                      [](const db::Attribute& a) { return a.name == "SystemNodeLongSymbol"; });
    return {};
}

std::string DatabaseBuilder::makeMessage(const cxl_message_spec& spec, const db::Message* replaced,
                                         db::Message& message) const {
    const std::string name = text(spec.name);
    if (std::string problem = nameProblem("message", name); !problem.empty()) return problem;
    if (spec.id > (spec.extended ? kLargestExtendedId : kLargestStandardId))
        return "message " + quote(name) + ": ID " + std::to_string(spec.id) + " is too large for " +
               (spec.extended ? "an extended" : "a standard") + " frame";
    if (spec.length > db::kMaxPayloadBytes)
        return "message " + quote(name) + ": length " + std::to_string(spec.length) + " is over 64 bytes";
    // A name or ID that a message kept was shared before: not refused now.
    const bool keptName = replaced != nullptr && replaced->name == name;
    const bool keptId = replaced != nullptr && replaced->id == spec.id && replaced->extended == (spec.extended != 0);
    for (const db::Message& other : model_.messages) {
        if (&other == replaced) continue;
        if (!keptName && other.name == name) return "message name " + quote(name) + " is taken";
        if (!keptId && other.id == spec.id && other.extended == (spec.extended != 0))
            return "message " + quote(name) + ": ID " + std::to_string(spec.id) + " is that of message " +
                   quote(other.name);
    }
    // Senders and receivers need not be listed nodes, as in a file.
    std::vector<std::string> senders = splitNames(spec.senders);
    for (const std::string& sender : senders)
        if (!isDbcName(sender)) return "message " + quote(name) + ": " + nameProblem("sender", sender);
    message.name = name;
    message.id = spec.id;
    message.extended = spec.extended != 0;
    message.length = spec.length;
    message.fd = message.length > 8;
    message.senders = db::NameList(senders);
    return {};
}

std::string DatabaseBuilder::addMessage(const cxl_message_spec& spec) {
    db::Message message;
    if (std::string problem = makeMessage(spec, nullptr, message); !problem.empty()) return problem;
    model_.messages.push_back(std::move(message));
    return {};
}

std::string DatabaseBuilder::changeMessage(std::string_view name, const cxl_message_spec& spec) {
    Found found = find(name);
    if (found.message == nullptr) return found.problem;
    db::Message changed = *found.message;
    if (std::string problem = makeMessage(spec, found.message, changed); !problem.empty()) return problem;
    if (changed.name != found.message->name && !changed.details->attributes.empty())
        std::erase_if(changed.details.edit().attributes,
                      [](const db::Attribute& a) { return a.name == "SystemMessageLongSymbol"; });
    for (db::Signal& signal : changed.signals) {
        db::Signal laidOut = signal;
        db::DiagnosticList problems;
        dbc::DiagnosticSink sink(problems);
        dbc::layOutSignal(laidOut, signal.startBit, signal.length, changed, {}, sink);
        if (!problems.empty()) return "message " + quote(changed.name) + ": " + problems.front().text;
        signal = std::move(laidOut);
    }
    *found.message = std::move(changed);
    rebuildSignalNames(*found.message);
    return {};
}

std::string DatabaseBuilder::removeMessage(std::string_view name) {
    Found found = find(name);
    if (found.message == nullptr) return found.problem;
    const auto index = found.messageIndex;
    auto& relations = model_.relationAttributes;
    relations.erase(std::remove_if(relations.begin(), relations.end(),
                                   [&](const db::RelationAttribute& r) {
                                       return r.kind != db::ObjectKind::kNodeEnvironmentVariable && r.message == index;
                                   }),
                    relations.end());
    for (db::RelationAttribute& relation : relations)
        if (relation.kind != db::ObjectKind::kNodeEnvironmentVariable && relation.message > index) --relation.message;
    model_.messages.erase(model_.messages.begin() + index);
    return {};
}

std::string DatabaseBuilder::makeSignal(const db::Message& message, const cxl_signal_spec& spec,
                                        const db::Signal* replaced, db::Signal& signal) const {
    const std::string name = text(spec.name);
    if (std::string problem = nameProblem("signal", name); !problem.empty()) return problem;
    const std::string where = "signal " + quote(name) + " of message " + quote(message.name) + ": ";
    for (const db::Signal& other : message.signals)
        if (&other != replaced && other.name == name) return where + "the name is taken";
    if (spec.length < 1 || spec.length > 64) return where + "a length of 1 to 64 bits is needed";
    if (spec.byte_order != CXL_BYTE_ORDER_LITTLE_ENDIAN && spec.byte_order != CXL_BYTE_ORDER_BIG_ENDIAN)
        return where + "the byte order is CXL_BYTE_ORDER_LITTLE_ENDIAN or CXL_BYTE_ORDER_BIG_ENDIAN";
    if (spec.value_type < CXL_VALUE_SIGNED || spec.value_type > CXL_VALUE_DOUBLE)
        return where + "the value type is one of CXL_VALUE_*";
    if ((spec.value_type == CXL_VALUE_SINGLE && spec.length != 32) ||
        (spec.value_type == CXL_VALUE_DOUBLE && spec.length != 64))
        return where + "an IEEE float takes 32 bits, a double 64";
    std::vector<std::string> receivers = splitNames(spec.receivers);
    for (const std::string& receiver : receivers)
        if (!isDbcName(receiver)) return where + nameProblem("receiver", receiver);
    signal.name = name;
    signal.unit = text(spec.unit);
    signal.receivers = db::NameList(receivers);
    signal.startBit = spec.start_bit;
    signal.length = spec.length;
    signal.bigEndian = spec.byte_order == CXL_BYTE_ORDER_BIG_ENDIAN;
    signal.type = static_cast<db::ValueType>(spec.value_type);
    signal.factor = spec.factor;
    signal.offset = spec.offset;
    signal.minimum = spec.minimum;
    signal.maximum = spec.maximum;
    db::DiagnosticList problems;
    dbc::DiagnosticSink sink(problems);
    dbc::layOutSignal(signal, spec.start_bit, spec.length, message, {}, sink);
    if (!problems.empty()) return where + problems.front().text;
    if (spec.mux_role < CXL_MUX_PLAIN || spec.mux_role > CXL_MUX_MULTIPLEXED_SWITCH)
        return where + "the multiplexing role is one of CXL_MUX_*";
    signal.role = static_cast<db::MuxRole>(spec.mux_role);
    signal.switchIndex = db::kNoSwitch;
    signal.muxRanges.clear();
    if (spec.mux_role == CXL_MUX_MULTIPLEXED || spec.mux_role == CXL_MUX_MULTIPLEXED_SWITCH) {
        if (spec.mux_low > spec.mux_high) return where + "the switch values end before they start";
        for (uint32_t s = 0; s < message.signals.size(); ++s) {
            const db::Signal& other = message.signals[s];
            const bool isSwitch = other.role == db::MuxRole::kSwitch || other.role == db::MuxRole::kMultiplexedSwitch;
            if (&other == replaced || !isSwitch) continue;
            if (spec.mux_switch == nullptr ? signal.switchIndex == db::kNoSwitch : other.name == spec.mux_switch)
                signal.switchIndex = s;
        }
        if (signal.switchIndex == db::kNoSwitch)
            return where + (spec.mux_switch == nullptr ? std::string("the message has no switch")
                                                       : "no switch is named " + quote(spec.mux_switch));
        signal.muxRanges.push_back({spec.mux_low, spec.mux_high});
    }
    return {};
}

std::string DatabaseBuilder::addSignal(std::string_view message, const cxl_signal_spec& spec) {
    Found found = find(message);
    if (found.message == nullptr) return found.problem;
    db::Signal signal;
    if (std::string problem = makeSignal(*found.message, spec, nullptr, signal); !problem.empty()) return problem;
    if (found.message->signals.size() == db::kMostSignals) return db::mostSignalsText(signal.name, found.message->name);
    found.message->signals.push_back(std::move(signal));
    rebuildSignalNames(*found.message);
    return {};
}

std::string DatabaseBuilder::changeSignal(std::string_view message, std::string_view signal,
                                          const cxl_signal_spec& spec) {
    Found found = find(message, signal);
    if (found.signal == nullptr) return found.problem;
    db::Signal changed = *found.signal;
    if (std::string problem = makeSignal(*found.message, spec, found.signal, changed); !problem.empty()) return problem;
    if (changed.name != found.signal->name) {
        const auto index = found.messageIndex;
        for (db::SignalGroup& group : found.message->details.edit().signalGroups)
            std::replace(group.signals.begin(), group.signals.end(), found.signal->name, changed.name);
        for (db::RelationAttribute& relation : model_.relationAttributes)
            if (relation.kind == db::ObjectKind::kNodeSignal && relation.message == index &&
                relation.signal == found.signal->name)
                relation.signal = changed.name;
        if (!changed.details->attributes.empty())
            std::erase_if(changed.details.edit().attributes,
                          [](const db::Attribute& a) { return a.name == "SystemSignalLongSymbol"; });
    }
    *found.signal = std::move(changed);
    rebuildSignalNames(*found.message);
    return {};
}

std::string DatabaseBuilder::removeSignal(std::string_view message, std::string_view signal) {
    Found found = find(message, signal);
    if (found.signal == nullptr) return found.problem;
    const auto index = static_cast<uint32_t>(found.signal - found.message->signals.data());
    for (const db::Signal& other : found.message->signals)
        if (other.switchIndex == index)
            return "signal " + quote(signal) + " switches signal " + quote(other.name) + "; remove that first";
    const std::string name(found.signal->name);
    for (db::SignalGroup& group : found.message->details.edit().signalGroups)
        group.signals.erase(std::remove(group.signals.begin(), group.signals.end(), name), group.signals.end());
    const auto messageIndex = found.messageIndex;
    auto& relations = model_.relationAttributes;
    relations.erase(std::remove_if(relations.begin(), relations.end(),
                                   [&](const db::RelationAttribute& r) {
                                       return r.kind == db::ObjectKind::kNodeSignal && r.message == messageIndex &&
                                              r.signal == name;
                                   }),
                    relations.end());
    found.message->signals.erase(found.message->signals.begin() + index);
    for (db::Signal& other : found.message->signals)
        if (other.switchIndex != db::kNoSwitch && other.switchIndex > index) --other.switchIndex;
    rebuildSignalNames(*found.message);
    return {};
}

std::string DatabaseBuilder::addMuxRange(std::string_view message, std::string_view signal, uint64_t low,
                                         uint64_t high) {
    Found found = find(message, signal);
    if (found.signal == nullptr) return found.problem;
    if (found.signal->switchIndex == db::kNoSwitch) return "signal " + quote(signal) + " is not multiplexed";
    if (low > high) return "signal " + quote(signal) + ": the switch values end before they start";
    found.signal->muxRanges.push_back({low, high});
    return {};
}

std::string DatabaseBuilder::setValueText(std::string_view message, std::string_view signal, int64_t raw,
                                          std::string_view valueText) {
    Found found = find(message, signal);
    if (found.signal == nullptr) return found.problem;
    putValueText(found.signal->details.edit().values, raw, valueText);
    return {};
}

std::string DatabaseBuilder::clearValueTexts(std::string_view message, std::string_view signal) {
    Found found = find(message, signal);
    if (found.signal == nullptr) return found.problem;
    if (!found.signal->details->values.empty()) found.signal->details.edit().values.assign({});
    return {};
}

db::AttributeList* DatabaseBuilder::attributesOf(const cxl_object_ref& object, std::string* problem) {
    switch (object.kind) {
        case CXL_OBJECT_NETWORK: return &model_.attributes;
        case CXL_OBJECT_NODE:
            if (const uint32_t node = model_.findNode(text(object.node)); node != db::kNotFound)
                return &model_.editNode(node).details.edit().attributes;
            *problem = "no node is named " + quote(text(object.node));
            return nullptr;
        case CXL_OBJECT_MESSAGE:
        case CXL_OBJECT_SIGNAL: {
            Found found = find(text(object.message), object.kind == CXL_OBJECT_SIGNAL ? text(object.signal) : "");
            if (!found.problem.empty() || (object.kind == CXL_OBJECT_SIGNAL && object.signal == nullptr)) {
                *problem = found.problem.empty() ? "no signal named" : found.problem;
                return nullptr;
            }
            return found.signal != nullptr ? &found.signal->details.edit().attributes
                                           : &found.message->details.edit().attributes;
        }
        case CXL_OBJECT_ENVIRONMENT_VARIABLE:
            if (db::EnvironmentVariable* variable = findEnvironmentVariable(text(object.environment_variable)))
                return &variable->attributes;
            *problem = "no environment variable is named " + quote(text(object.environment_variable));
            return nullptr;
        default:
            *problem = "the object is the network, a node, a message, a signal or an environment variable";
            return nullptr;
    }
}

std::string DatabaseBuilder::setComment(const cxl_object_ref& object, std::string_view comment) {
    std::string problem;
    if (attributesOf(object, &problem) == nullptr) return problem;
    switch (object.kind) {
        case CXL_OBJECT_NETWORK: model_.comment = comment; break;
        case CXL_OBJECT_NODE:
            model_.editNode(model_.findNode(text(object.node))).details.edit().comment = comment;
            break;
        case CXL_OBJECT_MESSAGE: find(text(object.message)).message->details.edit().comment = comment; break;
        case CXL_OBJECT_ENVIRONMENT_VARIABLE:
            findEnvironmentVariable(text(object.environment_variable))->comment = comment;
            break;
        default: find(text(object.message), text(object.signal)).signal->details.edit().comment = comment; break;
    }
    return {};
}

std::string DatabaseBuilder::defineAttribute(const cxl_attribute_definition& given, const char* const* enumValues) {
    const std::string name = text(given.name);
    if (std::string problem = nameProblem("attribute", name); !problem.empty()) return problem;
    if (given.object_kind < CXL_OBJECT_NETWORK || given.object_kind > CXL_OBJECT_NODE_ENVIRONMENT_VARIABLE)
        return "attribute " + quote(name) + ": the object kind is one of CXL_OBJECT_*";
    if (given.type < CXL_ATTRIBUTE_INT || given.type > CXL_ATTRIBUTE_ENUM)
        return "attribute " + quote(name) + ": the type is one of CXL_ATTRIBUTE_*";
    if (given.type == CXL_ATTRIBUTE_ENUM && given.enum_value_count > 0 && enumValues == nullptr)
        return "attribute " + quote(name) + ": the enumeration values are missing";
    db::AttributeDefinition definition;
    definition.name = name;
    definition.kind = static_cast<db::ObjectKind>(given.object_kind);
    definition.type = static_cast<db::AttributeType>(given.type);
    definition.minimum = given.minimum;
    definition.maximum = given.maximum;
    if (given.type == CXL_ATTRIBUTE_ENUM)
        for (size_t i = 0; i < given.enum_value_count; ++i) definition.enumValues.push_back(text(enumValues[i]));
    definition.hasDefault = given.has_default != 0;
    definition.defaultValue = {given.default_number, text(given.default_text)};
    if (definition.type == db::AttributeType::kEnum && definition.hasDefault && definition.defaultValue.text.empty()) {
        const double index = given.default_number;
        if (!(index >= 0 && index < static_cast<double>(definition.enumValues.size())))
            return "attribute " + quote(name) + ": the default is no enumeration value";
        definition.defaultValue.text = definition.enumValues[static_cast<size_t>(index)];
    }
    auto& definitions = model_.attributeDefinitions;
    auto it = std::find_if(definitions.begin(), definitions.end(), [&](const db::AttributeDefinition& d) {
        return d.name == name && db::isRelation(d.kind) == db::isRelation(definition.kind);
    });
    if (it != definitions.end()) {
        *it = std::move(definition);
    } else if (db::isRelation(definition.kind)) {
        definitions.push_back(std::move(definition));
    } else {
        // Those of objects come before those of relations, as a file read gives them.
        auto firstRelation = std::find_if(definitions.begin(), definitions.end(),
                                          [](const db::AttributeDefinition& d) { return db::isRelation(d.kind); });
        definitions.insert(firstRelation, std::move(definition));
    }
    return {};
}

std::string DatabaseBuilder::typedValue(int32_t kind, std::string_view name, double number, std::string_view given,
                                        db::Attribute& attribute) const {
    const db::AttributeDefinition* definition = nullptr;
    for (const db::AttributeDefinition& d : model_.attributeDefinitions)
        if (d.name == name && static_cast<int32_t>(d.kind) == kind) definition = &d;
    if (definition == nullptr) return "no attribute " + quote(name) + " is defined for such objects";
    attribute = {std::string(name), definition->type, {number, std::string(given)}};
    if (definition->type == db::AttributeType::kEnum) {
        const auto& values = definition->enumValues;
        if (!given.empty()) {
            auto it = std::find(values.begin(), values.end(), given);
            if (it == values.end()) return "attribute " + quote(name) + " has no value " + quote(given);
            attribute.value.number = static_cast<double>(it - values.begin());
        } else if (number >= 0 && number < static_cast<double>(values.size())) {
            attribute.value.text = values[static_cast<size_t>(number)];
        } else {
            return "attribute " + quote(name) + " has no value " + std::to_string(number);
        }
    } else if (definition->type != db::AttributeType::kString) {
        attribute.value.text.clear();
    }
    return {};
}

std::string DatabaseBuilder::setAttribute(const cxl_object_ref& object, std::string_view name, double number,
                                          std::string_view given) {
    std::string problem;
    db::AttributeList* list = attributesOf(object, &problem);
    if (list == nullptr) return problem;
    db::Attribute attribute;
    if (problem = typedValue(object.kind, name, number, given, attribute); !problem.empty()) return problem;
    auto it = std::find_if(list->begin(), list->end(), [&](const db::Attribute& a) { return a.name == name; });
    if (it != list->end()) {
        *it = std::move(attribute);
    } else {
        list->push_back(std::move(attribute));
    }
    return {};
}

std::string DatabaseBuilder::removeAttribute(const cxl_object_ref& object, std::string_view name) {
    std::string problem;
    db::AttributeList* list = attributesOf(object, &problem);
    if (list == nullptr) return problem;
    list->erase(std::remove_if(list->begin(), list->end(), [&](const db::Attribute& a) { return a.name == name; }),
                list->end());
    return {};
}

std::string DatabaseBuilder::addSignalGroup(std::string_view message, std::string_view name, uint32_t repetitions,
                                            const char* const* signals, size_t count) {
    Found found = find(message);
    if (found.message == nullptr) return found.problem;
    if (std::string problem = nameProblem("signal group", name); !problem.empty()) return problem;
    if (count > 0 && signals == nullptr) return "signal group " + quote(name) + ": the signal names are missing";
    for (const db::SignalGroup& group : found.message->details->signalGroups)
        if (group.name == name) return "message " + quote(message) + " has a signal group " + quote(name);
    db::SignalGroup group{std::string(name), repetitions, {}};
    for (size_t i = 0; i < count; ++i) {
        const std::string signal = text(signals[i]);
        if (found.message->findSignal(signal) == NameIndex::kAbsent)
            return "signal group " + quote(name) + ": message " + quote(message) + " has no signal " + quote(signal);
        group.signals.push_back(signal);
    }
    found.message->details.edit().signalGroups.push_back(std::move(group));
    return {};
}

std::string DatabaseBuilder::clearSignalGroups(std::string_view message) {
    Found found = find(message);
    if (found.message == nullptr) return found.problem;
    found.message->details.edit().signalGroups.clear();
    return {};
}

std::string DatabaseBuilder::addEnvironmentVariable(const cxl_environment_variable& given,
                                                    const char* const* accessNodes) {
    const std::string name = text(given.name);
    if (std::string problem = nameProblem("environment variable", name); !problem.empty()) return problem;
    for (const db::EnvironmentVariable& other : model_.environmentVariables)
        if (other.name == name) return "environment variable " + quote(name) + " exists already";
    if (given.type < 0 || given.type > 2) return "environment variable " + quote(name) + ": the type is 0, 1 or 2";
    if (given.access_node_count > 0 && accessNodes == nullptr)
        return "environment variable " + quote(name) + ": the access nodes are missing";
    db::EnvironmentVariable variable;
    for (size_t i = 0; i < given.access_node_count; ++i) {
        const std::string node = text(accessNodes[i]);
        if (!isDbcName(node)) return "environment variable " + quote(name) + ": " + nameProblem("access node", node);
        variable.accessNodes.push_back(node);
    }
    const std::string accessType = text(given.access_type);
    if (!accessType.empty() && !isDbcName(accessType))
        return "environment variable " + quote(name) + ": " + nameProblem("access type", accessType);
    variable.name = name;
    variable.type = given.type;
    variable.minimum = given.minimum;
    variable.maximum = given.maximum;
    variable.unit = text(given.unit);
    variable.initialValue = given.initial_value;
    variable.id = given.id;
    variable.accessType = accessType;
    variable.dataSize = given.data_size < 0 ? -1 : given.data_size;
    variable.comment = text(given.comment);
    model_.environmentVariables.push_back(std::move(variable));
    return {};
}

std::string DatabaseBuilder::removeEnvironmentVariable(std::string_view name) {
    auto& variables = model_.environmentVariables;
    auto it = std::find_if(variables.begin(), variables.end(),
                           [&](const db::EnvironmentVariable& v) { return v.name == name; });
    if (it == variables.end()) return "no environment variable is named " + quote(name);
    variables.erase(it);
    std::erase_if(model_.relationAttributes, [&](const db::RelationAttribute& r) {
        return r.kind == db::ObjectKind::kNodeEnvironmentVariable && r.environmentVariable == name;
    });
    return {};
}

std::string DatabaseBuilder::setEnvironmentVariableValueText(std::string_view name, int64_t raw,
                                                             std::string_view valueText) {
    db::EnvironmentVariable* variable = findEnvironmentVariable(name);
    if (variable == nullptr) return "no environment variable is named " + quote(name);
    putValueText(variable->values, raw, valueText);
    return {};
}

std::string DatabaseBuilder::clearEnvironmentVariableValueTexts(std::string_view name) {
    db::EnvironmentVariable* variable = findEnvironmentVariable(name);
    if (variable == nullptr) return "no environment variable is named " + quote(name);
    variable->values.assign({});
    return {};
}

std::string DatabaseBuilder::relationOf(const cxl_relation_ref& relation, db::RelationAttribute& found) {
    const std::string node = text(relation.node);
    if (!model_.hasNode(node)) return "no node is named " + quote(node);
    found.node = node;
    switch (relation.kind) {
        case CXL_OBJECT_NODE_MESSAGE:
        case CXL_OBJECT_NODE_SIGNAL: {
            const bool withSignal = relation.kind == CXL_OBJECT_NODE_SIGNAL;
            Found object = find(text(relation.message), withSignal ? text(relation.signal) : "");
            if (!object.problem.empty()) return object.problem;
            if (withSignal && object.signal == nullptr) return "the relation names no signal";
            found.message = object.messageIndex;
            if (withSignal) found.signal = object.signal->name;
            break;
        }
        case CXL_OBJECT_NODE_ENVIRONMENT_VARIABLE: {
            const std::string variable = text(relation.environment_variable);
            if (findEnvironmentVariable(variable) == nullptr)
                return "no environment variable is named " + quote(variable);
            found.environmentVariable = variable;
            break;
        }
        default: return "the relation is of a node with a message, a signal or an environment variable";
    }
    found.kind = static_cast<db::ObjectKind>(relation.kind);
    return {};
}

namespace {

bool sameRelation(const db::RelationAttribute& a, const db::RelationAttribute& b) {
    return a.kind == b.kind && a.node == b.node && a.attribute.name == b.attribute.name &&
           (a.kind == db::ObjectKind::kNodeEnvironmentVariable ? a.environmentVariable == b.environmentVariable
                                                               : a.message == b.message && a.signal == b.signal);
}

}  // namespace

std::string DatabaseBuilder::setRelationAttribute(const cxl_relation_ref& relation, std::string_view name,
                                                  double number, std::string_view given) {
    db::RelationAttribute made;
    if (std::string problem = relationOf(relation, made); !problem.empty()) return problem;
    if (std::string problem = typedValue(relation.kind, name, number, given, made.attribute); !problem.empty())
        return problem;
    auto& relations = model_.relationAttributes;
    auto it = std::find_if(relations.begin(), relations.end(),
                           [&](const db::RelationAttribute& r) { return sameRelation(r, made); });
    if (it != relations.end()) {
        *it = std::move(made);
    } else {
        relations.push_back(std::move(made));
    }
    return {};
}

std::string DatabaseBuilder::removeRelationAttribute(const cxl_relation_ref& relation, std::string_view name) {
    db::RelationAttribute named;
    if (std::string problem = relationOf(relation, named); !problem.empty()) return problem;
    named.attribute.name = name;
    std::erase_if(model_.relationAttributes, [&](const db::RelationAttribute& r) { return sameRelation(r, named); });
    return {};
}

std::string DatabaseBuilder::merge(const db::Database& other) {
    size_t conflicts = 0;
    std::string first;
    auto conflict = [&](std::string text) {
        if (conflicts++ == 0) first = std::move(text);
    };
    // The messages present by name and by ID: no pass over all of them for
    // each message merged.
    auto keyOf = [](const db::Message& message) { return uint64_t{message.id} | (uint64_t{message.extended} << 32); };
    std::unordered_multimap<std::string_view, size_t> byName;
    std::unordered_multimap<uint64_t, size_t> byId;
    for (size_t i = 0; i < model_.messages.size(); ++i) {
        byName.emplace(model_.messages[i].name.view(), i);
        byId.emplace(keyOf(model_.messages[i]), i);
    }
    std::vector<bool> joined(other.messages.size(), false);
    std::vector<size_t> matches;
    for (size_t m = 0; m < other.messages.size(); ++m) {
        const db::Message& message = other.messages[m];
        matches.clear();
        for (auto [at, end] = byName.equal_range(message.name.view()); at != end; ++at) matches.push_back(at->second);
        for (auto [at, end] = byId.equal_range(keyOf(message)); at != end; ++at) matches.push_back(at->second);
        std::sort(matches.begin(), matches.end());  // in the order they were added
        matches.erase(std::unique(matches.begin(), matches.end()), matches.end());
        bool same = false;
        for (const size_t i : matches) {
            const db::Message& present = model_.messages[i];
            if (sameMessage(present, message)) {
                same = true;
            } else {
                conflict("message " + quote(message.name) + " (ID " + std::to_string(message.id) +
                         ") differs from message " + quote(present.name) + " (ID " + std::to_string(present.id) + ")");
            }
        }
        joined[m] = !same;
    }
    for (const db::AttributeDefinition& definition : other.attributeDefinitions)
        for (const db::AttributeDefinition& present : model_.attributeDefinitions)
            if (present.name == definition.name && (present.kind != definition.kind || present.type != definition.type))
                conflict("attribute " + quote(definition.name) + " is defined differently");
    if (conflicts > 0)
        return first + (conflicts > 1 ? " (and " + std::to_string(conflicts - 1) + " more conflicts)" : "");
    for (const db::Node& node : other.nodes())
        if (model_.addNode(node.name())) model_.editNode(model_.nodeCount() - 1).details = node.details;
    for (const db::AttributeDefinition& definition : other.attributeDefinitions)
        if (std::none_of(model_.attributeDefinitions.begin(), model_.attributeDefinitions.end(),
                         [&](const db::AttributeDefinition& d) { return d.name == definition.name; }))
            model_.attributeDefinitions.push_back(definition);
    std::stable_partition(model_.attributeDefinitions.begin(), model_.attributeDefinitions.end(),
                          [](const db::AttributeDefinition& d) { return !db::isRelation(d.kind); });
    for (const db::NamedValueTable& table : other.valueTables)
        if (std::none_of(model_.valueTables.begin(), model_.valueTables.end(),
                         [&](const db::NamedValueTable& t) { return t.name == table.name; }))
            model_.valueTables.push_back(table);
    for (const db::EnvironmentVariable& variable : other.environmentVariables)
        if (std::none_of(model_.environmentVariables.begin(), model_.environmentVariables.end(),
                         [&](const db::EnvironmentVariable& v) { return v.name == variable.name; }))
            model_.environmentVariables.push_back(variable);
    for (const db::Attribute& attribute : other.attributes)
        if (db::findAttribute(model_.attributes, attribute.name) == nullptr) model_.attributes.push_back(attribute);
    std::vector<uint32_t> newIndex(other.messages.size(), 0);
    for (size_t m = 0; m < other.messages.size(); ++m) {
        if (!joined[m]) continue;
        newIndex[m] = static_cast<uint32_t>(model_.messages.size());
        model_.messages.push_back(other.messages[m]);
        rebuildSignalNames(model_.messages.back());
    }
    for (const db::RelationAttribute& relation : other.relationAttributes) {
        const bool withMessage = relation.kind != db::ObjectKind::kNodeEnvironmentVariable;
        if (withMessage && !joined[relation.message]) continue;
        model_.relationAttributes.push_back(relation);
        if (withMessage) model_.relationAttributes.back().message = newIndex[relation.message];
    }
    return {};
}

bool DatabaseBuilder::finish(db::Database& database, std::string& report) const {
    // Value texts keep the order given, so that a writer asked for it finds it.
    dbc::WriteOptions options;
    options.valueTextsAsGiven = true;
    report = dbc::ambiguousReferences(model_, options);
    if (!report.empty()) return false;
    std::string text;
    dbc::writeDbc(model_, options, text);
    dbc::readDbc(text, database);
    for (const db::Diagnostic& diagnostic : database.diagnostics) {
        if (diagnostic.severity == db::Severity::kError) {
            report = diagnostic.text;
            break;
        }
    }
    return true;
}

}  // namespace canxlate::build
