#include "canxlate/dbc/model_builder.h"

#include <cmath>
#include <string>
#include <unordered_map>

#include "canxlate/dbc/multiplexing.h"
#include "canxlate/dbc/signal_layout.h"

namespace canxlate::dbc {
namespace {

using db::Message;
using db::Signal;

constexpr uint64_t kExtendedFlag = 0x80000000u;
constexpr uint32_t kIdMask = 0x1FFFFFFFu;
constexpr std::string_view kIndependentSignals = "VECTOR__INDEPENDENT_SIG_MSG";

std::string quote(std::string_view name) { return "'" + std::string(name) + "'"; }

class ModelBuilder {
public:
    ModelBuilder(Definitions& definitions, DiagnosticSink& sink, db::Database& database)
        : defs_(definitions), sink_(sink), db_(database) {}

    void run() {
        db_.version = defs_.version;
        addNodes();
        for (MessageDef& def : defs_.messages) addMessage(def);
        for (uint32_t i = 0; i < db_.messages.size(); ++i) {
            Message& message = db_.messages[i];
            message.signalsByName.reserve(message.signals.size());
            for (uint32_t s = 0; s < message.signals.size(); ++s)
                if (!message.signalsByName.add(message.signals[s].name, s))
                    sink_.warning(db::Topic::kDuplicate, signalPositions_[i][s],
                                  "signal " + quote(message.signals[s].name) + " appears twice in message " +
                                      quote(message.name) + "; its name finds the first");
        }
        applyTransmitters();
        applyComments();
        applyValueTypes();
        applyValueDescriptions();
        applyAttributes();
        std::vector<std::vector<MuxValuesDef*>> muxValues(db_.messages.size());
        for (MuxValuesDef& def : defs_.muxValues) {
            if (findSignal(def.signal) != nullptr) muxValues[lastMessage_].push_back(&def);
        }
        for (uint32_t i = 0; i < db_.messages.size(); ++i) {
            resolveMultiplexing(db_.messages[i], muxDefs_[i], muxValues[i], signalPositions_[i], sink_);
            checkOverlaps(db_.messages[i], signalPositions_[i], sink_);
        }
        db_.buildIndexes();
    }

private:
    void addNodes() {
        for (auto& [position, name] : defs_.nodes) {
            if (!nodes_.add(name, 0)) {
                sink_.warning(db::Topic::kDuplicate, position, "node " + quote(name) + " is listed twice");
                continue;
            }
            db_.nodes.emplace_back(name);
        }
    }

    void addMessage(MessageDef& def) {
        if (def.name == kIndependentSignals) return;  // signals that belong to no message
        if (def.rawId > 0xFFFFFFFFu || (def.rawId & 0x60000000u) != 0) {
            sink_.error(db::Topic::kOther, def.position,
                        "message " + quote(def.name) + " skipped: ID " + std::to_string(def.rawId) +
                            " is not a standard or extended CAN ID");
            return;
        }
        Message message;
        message.name = def.name;
        message.extended = (def.rawId & kExtendedFlag) != 0;
        message.id = static_cast<uint32_t>(def.rawId) & kIdMask;
        if (!message.extended && message.id > 0x7FF) {
            message.extended = true;
            sink_.warning(
                db::Topic::kLayout, def.position,
                "message " + quote(def.name) + ": ID over 0x7FF without the extended flag (bit 31), read as extended");
        }
        if (def.length < 0 || def.length > 64) {
            sink_.error(db::Topic::kLayout, def.position,
                        "message " + quote(def.name) + " has length " + std::to_string(def.length) +
                            "; a payload holds 0 to 64 bytes, so 64 is used");
            def.length = def.length < 0 ? 0 : 64;
        }
        message.length = static_cast<uint32_t>(def.length);
        message.fd = message.length > 8;
        if (!def.sender.empty() && def.sender != "Vector__XXX") message.senders.emplace_back(def.sender);
        const uint64_t key = uint64_t{message.id} | (message.extended ? uint64_t{1} << 32 : 0);
        if (auto [it, added] = idKeys_.emplace(key, static_cast<uint32_t>(db_.messages.size())); !added) {
            sink_.error(db::Topic::kDuplicate, def.position,
                        "message " + quote(def.name) + " has the ID of message " +
                            quote(db_.messages[it->second].name) + "; its ID finds the first");
        }
        rawIds_.emplace(def.rawId, static_cast<uint32_t>(db_.messages.size()));
        if (!messageNames_.add(def.name, 0)) {
            sink_.warning(db::Topic::kDuplicate, def.position,
                          "message name " + quote(def.name) + " appears twice; the name finds the first");
        }
        std::vector<Position> positions;
        std::vector<MuxIndicatorDef> muxDefs;
        message.signals.reserve(def.signals.size());
        for (SignalDef& signalDef : def.signals) {
            Signal signal;
            signal.name = signalDef.name;
            signal.unit = std::move(signalDef.unit);
            for (std::string_view receiver : signalDef.receivers)
                if (receiver != "Vector__XXX") signal.receivers.emplace_back(receiver);
            signal.bigEndian = signalDef.bigEndian;
            signal.type = signalDef.isSigned ? db::ValueType::kSigned : db::ValueType::kUnsigned;
            signal.factor = signalDef.factor;
            signal.offset = signalDef.offset;
            signal.minimum = signalDef.minimum;
            signal.maximum = signalDef.maximum;
            signal.startBit = static_cast<uint32_t>(signalDef.startBit);
            signal.length = static_cast<uint32_t>(signalDef.length);
            layOutSignal(signal, signalDef.startBit, signalDef.length, message, signalDef.position, sink_);
            positions.push_back(signalDef.position);
            muxDefs.push_back({signalDef.mux, signalDef.muxValue});
            message.signals.push_back(std::move(signal));
        }
        db_.messages.push_back(std::move(message));
        signalPositions_.push_back(std::move(positions));
        muxDefs_.push_back(std::move(muxDefs));
    }

    Message* findMessage(const ObjectRef& ref) {
        auto it = rawIds_.find(ref.rawId);
        if (it == rawIds_.end()) {
            sink_.warning(db::Topic::kReference, ref.position,
                          "no message has ID " + std::to_string(ref.rawId) + "; reference skipped");
            return nullptr;
        }
        lastMessage_ = it->second;
        return &db_.messages[it->second];
    }

    Signal* findSignal(const ObjectRef& ref) {
        Message* message = findMessage(ref);
        if (message == nullptr) return nullptr;
        const uint32_t index = message->signalsByName.find(ref.name);
        if (index == db::NameIndex::kAbsent) {
            sink_.warning(
                db::Topic::kReference, ref.position,
                "message " + quote(message->name) + " has no signal " + quote(ref.name) + "; reference skipped");
            return nullptr;
        }
        return &message->signals[index];
    }

    bool knownNode(const ObjectRef& ref) {
        if (nodes_.find(ref.name) != db::NameIndex::kAbsent) return true;
        sink_.warning(db::Topic::kReference, ref.position,
                      "no node is named " + quote(ref.name) + "; reference skipped");
        return false;
    }

    void applyTransmitters() {
        for (TransmittersDef& def : defs_.transmitters) {
            Message* message = findMessage(def.message);
            if (message == nullptr) continue;
            for (std::string_view node : def.nodes) {
                bool present = false;
                for (const std::string& sender : message->senders) present = present || sender == node;
                if (!present) message->senders.emplace_back(node);
            }
        }
    }

    void applyComments() {
        for (CommentDef& def : defs_.comments) {
            switch (def.object.kind) {
                case ObjectKind::kNetwork: db_.comment = std::move(def.text); break;
                case ObjectKind::kNode: knownNode(def.object); break;
                case ObjectKind::kMessage:
                    if (Message* message = findMessage(def.object)) message->comment = std::move(def.text);
                    break;
                case ObjectKind::kSignal:
                    if (Signal* signal = findSignal(def.object)) signal->comment = std::move(def.text);
                    break;
                case ObjectKind::kOther: break;
            }
        }
    }

    void applyValueTypes() {
        for (ValueTypeDef& def : defs_.valueTypes) {
            Signal* signal = findSignal(def.signal);
            if (signal == nullptr) continue;
            if (def.type == 0) continue;
            if (def.type != 1 && def.type != 2) {
                sink_.warning(db::Topic::kValueType, def.typePosition,
                              "value type " + std::to_string(def.type) + " of signal " + quote(signal->name) +
                                  " is not 0, 1 or 2; skipped");
                continue;
            }
            signal->type = def.type == 1 ? db::ValueType::kSingle : db::ValueType::kDouble;
            const uint32_t wanted = def.type == 1 ? 32 : 64;
            if (signal->length != wanted) {
                sink_.error(db::Topic::kValueType, def.typePosition,
                            "signal " + quote(signal->name) + " is an IEEE " + (def.type == 1 ? "single" : "double") +
                                " of " + std::to_string(signal->length) + " bits instead of " + std::to_string(wanted) +
                                "; it cannot be decoded");
                signal->decodable = false;
            }
        }
    }

    void applyValueDescriptions() {
        std::unordered_map<std::string_view, const ValueTableDef*> tables;
        for (const ValueTableDef& table : defs_.valueTables)
            if (!tables.emplace(table.name, &table).second)
                sink_.warning(db::Topic::kDuplicate, table.position,
                              "value table " + quote(table.name) + " is defined twice; the first counts");
        for (ValueDescriptionDef& def : defs_.valueDescriptions) {
            Signal* signal = findSignal(def.signal);
            if (signal == nullptr) continue;
            const std::vector<ValueEntry>* entries = &def.entries;
            if (!def.tableName.empty()) {
                auto it = tables.find(def.tableName);
                if (it == tables.end()) {
                    sink_.warning(db::Topic::kReference, def.tablePosition,
                                  "no value table is named " + quote(def.tableName) + "; skipped");
                    continue;
                }
                entries = &it->second->entries;
            }
            std::vector<db::ValueText> values;
            values.reserve(entries->size());
            for (const ValueEntry& entry : *entries) values.push_back({entry.value, entry.text});
            signal->values.assign(std::move(values));
        }
    }

    const AttributeDefinitionDef* attributeDefinition(std::string_view name) {
        for (const AttributeDefinitionDef& def : defs_.attributeDefinitions)
            if (def.name == name) return &def;
        return nullptr;
    }

    // An enumeration value as its text; other values as written.
    static std::string attributeText(const AttributeDefinitionDef* def, const AttributeValue& value) {
        if (const std::string* text = std::get_if<std::string>(&value)) return *text;
        const double number = std::get<double>(value);
        if (def != nullptr && def->isEnum && number >= 0 && number < static_cast<double>(def->enumValues.size()))
            return def->enumValues[static_cast<size_t>(number)];
        return {};
    }

    void applyAttributes() {
        const AttributeDefinitionDef* formatDef = attributeDefinition("VFrameFormat");
        int64_t cycleDefault = -1;
        bool fdDefault = false;
        for (const AttributeDefaultDef& def : defs_.attributeDefaults) {
            if (def.name == "GenMsgCycleTime") {
                if (const double* number = std::get_if<double>(&def.value)) cycleDefault = std::llround(*number);
            } else if (def.name == "VFrameFormat") {
                fdDefault = attributeText(formatDef, def.value).find("FD") != std::string::npos;
            }
        }
        for (Message& message : db_.messages) {
            message.cycleTime = cycleDefault;
            message.fd = message.fd || fdDefault;
        }
        for (const AttributeValueDef& def : defs_.attributeValues) {
            switch (def.object.kind) {
                case ObjectKind::kMessage: {
                    Message* message = findMessage(def.object);
                    if (message == nullptr) break;
                    if (def.name == "GenMsgCycleTime") {
                        if (const double* number = std::get_if<double>(&def.value))
                            message->cycleTime = std::isfinite(*number) ? std::llround(*number) : -1;
                    } else if (def.name == "VFrameFormat") {
                        message->fd =
                            message->length > 8 || attributeText(formatDef, def.value).find("FD") != std::string::npos;
                    }
                    break;
                }
                case ObjectKind::kSignal: findSignal(def.object); break;
                case ObjectKind::kNode: knownNode(def.object); break;
                default: break;
            }
        }
    }

    Definitions& defs_;
    DiagnosticSink& sink_;
    db::Database& db_;
    db::NameIndex nodes_;  // names in the text
    db::NameIndex messageNames_;
    std::unordered_map<uint64_t, uint32_t> idKeys_;
    std::unordered_map<uint64_t, uint32_t> rawIds_;
    std::vector<std::vector<Position>> signalPositions_;
    std::vector<std::vector<MuxIndicatorDef>> muxDefs_;
    uint32_t lastMessage_ = 0;
};

}  // namespace

void buildModel(Definitions& definitions, DiagnosticSink& sink, db::Database& database) {
    ModelBuilder(definitions, sink, database).run();
}

void readDbc(std::string_view text, db::Database& database) {
    DiagnosticSink sink(database.diagnostics);
    Definitions definitions = parseDefinitions(text, sink);
    buildModel(definitions, sink, database);
}

}  // namespace canxlate::dbc
