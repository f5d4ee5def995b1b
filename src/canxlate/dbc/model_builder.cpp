#include "canxlate/dbc/model_builder.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>

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

struct KeyedMessage {
    uint64_t key;
    uint32_t index;
    Position position;
};

// Nodes, messages and signals arrive as the first pass reads them and go
// straight into the model; the rest waits in the definitions for finish().
class ModelBuilder final : public DefinitionReceiver {
public:
    ModelBuilder(DiagnosticSink& sink, db::Database& database) : sink_(sink), db_(database) {}

    // Nodes wait in a short queue whose index slots are fetched ahead: a list
    // of millions of names would otherwise wait on memory for each.
    void node(Position position, std::string_view name) override {
        db_.prefetchNode(name);
        pendingNodes_[pendingCount_++] = {position, name};
        if (pendingCount_ == kPendingNodes) addPendingNodes();
    }

    void addPendingNodes() {
        for (size_t i = 0; i < pendingCount_; ++i) {
            const auto& [position, name] = pendingNodes_[i];
            if (!db_.addNode(name))
                sink_.warning(db::Topic::kDuplicate, position, "node " + quote(name) + " is listed twice");
        }
        pendingCount_ = 0;
    }

    void message(MessageDef& def) override {
        addPendingNodes();
        closeMessage();
        openMessage(def);
    }

    void signal(SignalDef& def) override {
        if (!open_) return;  // of a message skipped with an error
        Message& message = db_.messages.back();
        Signal signal;
        signal.name = def.name;
        signal.unit = std::move(def.unit);
        for (std::string_view receiver : def.receivers)
            if (receiver != "Vector__XXX") signal.receivers.add(receiver);
        signal.bigEndian = def.bigEndian;
        signal.type = def.isSigned ? db::ValueType::kSigned : db::ValueType::kUnsigned;
        signal.factor = def.factor;
        signal.offset = def.offset;
        signal.minimum = def.minimum;
        signal.maximum = def.maximum;
        signal.startBit = static_cast<uint32_t>(def.startBit);
        signal.length = static_cast<uint32_t>(def.length);
        layOutSignal(signal, def.startBit, def.length, message, def.position, sink_);
        positions_.push_back(def.position);
        muxDefs_.push_back({def.mux, def.muxValue});
        signals_.push_back(std::move(signal));
    }

    void finish(Definitions& definitions) {
        addPendingNodes();
        closeMessage();
        reportDuplicateIds();
        sortKeys(rawIds_);
        defs_ = &definitions;
        db_.version = definitions.version;
        applyTransmitters();
        applyComments();
        applyValueTypes();
        applyValueDescriptions();
        applyAttributes();
        std::vector<std::vector<MuxValuesDef*>> muxValues(db_.messages.size());
        for (MuxValuesDef& def : definitions.muxValues) {
            if (findSignal(def.signal) != nullptr) muxValues[lastMessage_].push_back(&def);
        }
        firstSignal_.push_back(static_cast<uint32_t>(positions_.size()));
        for (uint32_t i = 0; i < db_.messages.size(); ++i) {
            const std::span<const Position> positions(positions_.data() + firstSignal_[i],
                                                      firstSignal_[i + 1] - firstSignal_[i]);
            const std::span<const MuxIndicatorDef> indicators(muxDefs_.data() + firstSignal_[i], positions.size());
            resolveMultiplexing(db_.messages[i], indicators, muxValues[i], positions, sink_);
            if (!muxValues[i].empty() || !overlapFree_[i]) checkOverlaps(db_.messages[i], positions, sink_);
        }
        db_.buildIndexes();
    }

private:
    void openMessage(MessageDef& def) {
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
                db::Topic::kOther, def.position,
                "message " + quote(def.name) + ": ID over 0x7FF without the extended flag (bit 31), read as extended");
        }
        if (def.length < 0 || def.length > 64) {
            sink_.error(db::Topic::kLayout, def.position,
                        "message " + quote(def.name) + " has length " + std::to_string(def.length) +
                            "; a payload holds 0 to 64 bytes, so " + (def.length < 0 ? "0" : "64") + " is used");
            def.length = def.length < 0 ? 0 : 64;
        }
        message.length = static_cast<uint32_t>(def.length);
        message.fd = message.length > 8;
        if (!def.sender.empty() && def.sender != "Vector__XXX") message.senders.add(def.sender);
        const uint32_t index = static_cast<uint32_t>(db_.messages.size());
        const uint64_t key = uint64_t{message.id} | (message.extended ? uint64_t{1} << 32 : 0);
        idKeys_.push_back({key, index, def.position});
        rawIds_.push_back({def.rawId, index, def.position});
        db_.messages.push_back(std::move(message));
        auto nameOf = [this](uint32_t i) -> std::string_view { return db_.messages[i].name; };
        if (!messageNames_.add(def.name, index, nameOf)) {
            sink_.warning(db::Topic::kDuplicate, def.position,
                          "message name " + quote(def.name) + " appears twice; the name finds the first");
        }
        firstSignal_.push_back(static_cast<uint32_t>(positions_.size()));
        open_ = true;
    }

    // Its signals are all there: findable by name, and no larger than they need.
    void closeMessage() {
        if (!open_) return;
        open_ = false;
        Message& message = db_.messages.back();
        message.signals.reserve(signals_.size());
        std::move(signals_.begin(), signals_.end(), std::back_inserter(message.signals));
        signals_.clear();
        // Checked now, while its signals are at hand, when nothing but SG_MUL_VAL_
        // could still make it multiplexed.
        bool plain = true;
        for (size_t s = firstSignal_.back(); s < muxDefs_.size(); ++s)
            plain = plain && muxDefs_[s].indicator == MuxIndicator::kNone;
        overlapFree_.push_back(plain && !sharesBits(message));
        const Position* positions = positions_.data() + firstSignal_.back();
        for (uint32_t s = 0; s < message.signals.size(); ++s)
            if (!message.indexSignal(s))
                sink_.warning(db::Topic::kDuplicate, positions[s],
                              "signal " + quote(message.signals[s].name) + " appears twice in message " +
                                  quote(message.name) + "; its name finds the first");
    }

    // Sorted by key, a key's first message first.
    static void sortKeys(std::vector<KeyedMessage>& keys) {
        std::sort(keys.begin(), keys.end(), [](const KeyedMessage& a, const KeyedMessage& b) {
            return a.key < b.key || (a.key == b.key && a.index < b.index);
        });
    }

    void reportDuplicateIds() {
        sortKeys(idKeys_);
        for (size_t i = 1, first = 0; i < idKeys_.size(); ++i) {
            if (idKeys_[i].key != idKeys_[first].key) {
                first = i;
                continue;
            }
            sink_.error(db::Topic::kDuplicate, idKeys_[i].position,
                        "message " + quote(db_.messages[idKeys_[i].index].name) + " has the ID of message " +
                            quote(db_.messages[idKeys_[first].index].name) + "; its ID finds the first");
        }
        std::vector<KeyedMessage>().swap(idKeys_);
    }

    Message* findMessage(const ObjectRef& ref) {
        auto it = std::lower_bound(rawIds_.begin(), rawIds_.end(), ref.rawId,
                                   [](const KeyedMessage& entry, uint64_t key) { return entry.key < key; });
        if (it == rawIds_.end() || it->key != ref.rawId) {
            sink_.warning(db::Topic::kReference, ref.position,
                          "no message has ID " + std::to_string(ref.rawId) + "; reference skipped");
            return nullptr;
        }
        lastMessage_ = it->index;
        return &db_.messages[it->index];
    }

    Signal* findSignal(const ObjectRef& ref) {
        Message* message = findMessage(ref);
        if (message == nullptr) return nullptr;
        const uint32_t index = message->findSignal(ref.name);
        if (index == db::NameIndex::kAbsent) {
            sink_.warning(
                db::Topic::kReference, ref.position,
                "message " + quote(message->name) + " has no signal " + quote(ref.name) + "; reference skipped");
            return nullptr;
        }
        return &message->signals[index];
    }

    bool knownNode(const ObjectRef& ref) {
        if (db_.hasNode(ref.name)) return true;
        sink_.warning(db::Topic::kReference, ref.position,
                      "no node is named " + quote(ref.name) + "; reference skipped");
        return false;
    }

    void applyTransmitters() {
        for (TransmittersDef& def : defs_->transmitters) {
            Message* message = findMessage(def.message);
            if (message == nullptr) continue;
            std::unordered_set<std::string> present;
            for (size_t i = 0; i < message->senders.size(); ++i) present.emplace(message->senders[i]);
            for (std::string_view node : def.nodes)
                if (present.emplace(node).second) message->senders.add(node);
        }
    }

    void applyComments() {
        for (CommentDef& def : defs_->comments) {
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
        for (ValueTypeDef& def : defs_->valueTypes) {
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
        for (const ValueTableDef& table : defs_->valueTables)
            if (!tables.emplace(table.name, &table).second)
                sink_.warning(db::Topic::kDuplicate, table.position,
                              "value table " + quote(table.name) + " is defined twice; the first counts");
        for (ValueDescriptionDef& def : defs_->valueDescriptions) {
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
            // A negative key of an unsigned field is its bit pattern: -1 is all ones.
            const bool pattern = signal->type == db::ValueType::kUnsigned && signal->length < 64;
            const uint64_t mask = pattern ? (uint64_t{1} << signal->length) - 1 : ~uint64_t{0};
            std::vector<db::ValueText> values;
            values.reserve(entries->size());
            for (const ValueEntry& entry : *entries)
                values.push_back({static_cast<int64_t>(static_cast<uint64_t>(entry.value) & mask), entry.text});
            signal->values.assign(std::move(values), signal->type == db::ValueType::kUnsigned);
        }
    }

    const AttributeDefinitionDef* attributeDefinition(std::string_view name) {
        for (const AttributeDefinitionDef& def : defs_->attributeDefinitions)
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
        for (const AttributeDefaultDef& def : defs_->attributeDefaults) {
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
        for (const AttributeValueDef& def : defs_->attributeValues) {
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

    Definitions* defs_ = nullptr;
    DiagnosticSink& sink_;
    db::Database& db_;
    db::NameIndex messageNames_;
    // Messages by ID (bit 32 for extended) and by the ID as written.
    std::vector<KeyedMessage> idKeys_;
    std::vector<KeyedMessage> rawIds_;
    // Of every signal, message after message; a message's first at firstSignal_.
    std::vector<Position> positions_;
    std::vector<MuxIndicatorDef> muxDefs_;
    std::vector<uint32_t> firstSignal_;
    std::vector<bool> overlapFree_;  // of each message: plain, and no two signals share a bit
    static constexpr size_t kPendingNodes = 16;
    std::pair<Position, std::string_view> pendingNodes_[kPendingNodes];
    size_t pendingCount_ = 0;
    bool open_ = false;  // the last message takes the signals that arrive
    // The last message's signals until it is complete, so that the message
    // gets room for exactly as many; the room here is kept for the next.
    std::vector<Signal> signals_;
    uint32_t lastMessage_ = 0;
};

}  // namespace

void readDbc(std::string_view text, db::Database& database) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    DiagnosticSink sink(database.diagnostics);
    ModelBuilder builder(sink, database);
    Definitions definitions = parseDefinitions(text, sink, builder);
    builder.finish(definitions);
}

}  // namespace canxlate::dbc
