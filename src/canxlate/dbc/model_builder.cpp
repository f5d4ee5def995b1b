#include "canxlate/dbc/model_builder.h"

#include <algorithm>
#include <cmath>
#include <deque>
#ifdef __GLIBC__
#  include <malloc.h>
#endif
#include <iterator>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "canxlate/dbc/multiplexing.h"
#include "canxlate/dbc/signal_layout.h"
#include "canxlate/dbc/statement_cursor.h"

namespace canxlate::dbc {
namespace {

using db::Message;
using db::Signal;

constexpr uint64_t kExtendedFlag = 0x80000000u;
constexpr uint32_t kIdMask = 0x1FFFFFFFu;
constexpr std::string_view kIndependentSignals = "VECTOR__INDEPENDENT_SIG_MSG";

std::string quote(std::string_view name) { return "'" + std::string(name) + "'"; }

// Reading keeps of every message its key: the ID with bit 31 for extended,
// or the ID as written (which fits 32 bits, or the message is skipped).
struct KeyedMessage {
    uint32_t key;
    uint32_t index;
    Position position;
};
struct MessageKey {
    uint32_t key;
    uint32_t index;
};

constexpr uint32_t kNoMux = UINT32_MAX;

// How many lines of text begin with "BO_" and a blank: about the messages to
// expect, and more only where comments hold such lines. Each counts for at
// least kBytesPerExpected bytes of text, so that a file of nothing else
// cannot make room for more than its size allows.
constexpr size_t kBytesPerExpected = 16;
size_t expectedMessages(std::string_view text) noexcept {
    size_t count = 0;
    for (size_t at = text.find("BO_"); at != std::string_view::npos; at = text.find("BO_", at + 3)) {
        size_t before = at;
        while (before > 0 && (text[before - 1] == ' ' || text[before - 1] == '\t')) --before;
        const bool lineStart = before == 0 || text[before - 1] == '\n' || text[before - 1] == '\r';
        if (lineStart && at + 3 < text.size() && (text[at + 3] == ' ' || text[at + 3] == '\t')) ++count;
    }
    return std::min(count, text.size() / kBytesPerExpected);
}

// Applies each definition in turn and lets it go, so that what applying makes
// takes the room the definitions leave.
template <typename Def, typename Apply>
void consumeEach(std::deque<Def>& defs, Apply apply) {
    for (; !defs.empty(); defs.pop_front()) apply(defs.front());
}

// Nodes, messages and signals arrive as the first pass reads them and go
// straight into the model; the rest waits in the definitions for finish().
class ModelBuilder final : public DefinitionReceiver {
public:
    ModelBuilder(DiagnosticSink& sink, db::Database& database) : sink_(sink), db_(database) {}

    // Room for the reading state of count messages at once: grown message by
    // message, it would hold up to twice what it needs.
    void expectMessages(size_t count) {
        messageNames_.reserve(count);
        idKeys_.reserve(count);
        rawIds_.reserve(count);
        firstSignal_.reserve(count + 1);
        firstMux_.reserve(count);
        overlapFree_.reserve(count);
    }

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
        if (message.signals.size() == db::kMostSignals) {
            sink_.error(db::Topic::kLayout, def.position, db::mostSignalsText(def.name, message.name));
            return;
        }
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
        // Indicators are kept for the messages that have one: from its
        // first, with those before it none. The value of m<k> waits in the
        // signal's ranges.
        if (def.mux != MuxIndicator::kNone && firstMux_.back() == kNoMux) {
            firstMux_.back() = static_cast<uint32_t>(muxDefs_.size());
            muxDefs_.resize(muxDefs_.size() + message.signals.size(), MuxIndicator::kNone);
        }
        if (firstMux_.back() != kNoMux) muxDefs_.push_back(def.mux);
        if (def.mux == MuxIndicator::kMultiplexed || def.mux == MuxIndicator::kMultiplexedSwitch)
            signal.muxRanges.push_back({def.muxValue, def.muxValue});
        message.signals.push_back(std::move(signal));
    }

    // text, when given, holds what the definitions point into: it is emptied
    // as soon as they are resolved.
    void finish(Definitions& definitions, std::string* text) {
        addPendingNodes();
        closeMessage();
        reportDuplicateIds();
        sortKeys(rawIds_);
        defs_ = &definitions;
        db_.version = definitions.version;
        db_.newSymbols.assign(definitions.newSymbols.begin(), definitions.newSymbols.end());
        db_.busSpeed = definitions.busSpeed;
        addEnvironmentVariables();
        applyTransmitters();
        applySignalGroups();
        applyComments();
        applyValueTypes();
        applyValueDescriptions();
        applyAttributes();
        deriveFromAttributes();
        resolveMessages(text);
        applyLongNames();
        // What reading needed goes before the indexes are built.
        definitions = Definitions();
        releaseReadingState();
    }

private:
    // Multiplexing and overlaps of the messages that may have either: those
    // with indicators or SG_MUL_VAL_ lines, and those whose signals share bits.
    void resolveMessages(std::string* text) {
        // The SG_MUL_VAL_ lines, their names looked up, by message in file
        // order: message i's from firstLine[i].
        std::vector<uint32_t> messageOf(defs_->muxValues.size(), kNoMux);
        std::vector<uint32_t> firstLine(defs_->muxValues.empty() ? 0 : db_.messages.size() + 1, 0);
        for (size_t d = 0; d < messageOf.size(); ++d) {
            if (findSignal(defs_->muxValues[d].signal.object()) == nullptr) continue;
            messageOf[d] = lastMessage_;
            ++firstLine[lastMessage_ + 1];
        }
        for (size_t i = 1; i < firstLine.size(); ++i) firstLine[i] += firstLine[i - 1];
        std::vector<MuxValuesLine> lines(firstLine.empty() ? 0 : firstLine.back());
        std::deque<std::string> missingSwitches;  // names no signal of the message has, for their warnings
        for (size_t d = 0; d < messageOf.size(); ++d) {
            if (messageOf[d] == kNoMux) continue;
            const MuxValuesDef& def = defs_->muxValues[d];
            const Message& message = db_.messages[messageOf[d]];
            MuxValuesLine& line = lines[firstLine[messageOf[d]]++];
            line = {message.findSignal(def.signal.name),
                    message.findSignal(def.switchName),
                    def.firstRange,
                    def.rangeCount,
                    def.switchPosition,
                    {}};
            if (line.switchIndex == NameIndex::kAbsent)
                line.missingSwitch = missingSwitches.emplace_back(def.switchName);
        }
        messageOf = decltype(messageOf)();
        const std::vector<MuxRangeDef> ranges = std::move(defs_->muxRanges);
        // What was read, and the text it points into, goes before the checks.
        *defs_ = Definitions();
        if (text != nullptr) std::string().swap(*text);
        firstSignal_.push_back(static_cast<uint32_t>(positions_.size()));
        std::vector<MuxIndicator> none;
        for (uint32_t i = 0, at = 0; i < db_.messages.size(); ++i) {
            // Placing moved each start to the next message's.
            const uint32_t end = firstLine.empty() ? 0 : firstLine[i];
            const std::span<const MuxValuesLine> rangeLines(lines.data() + at, end - at);
            at = end;
            if (rangeLines.empty() && firstMux_[i] == kNoMux && overlapFree_[i]) continue;
            const SignalPositions positions(positions_, firstSignal_[i], firstSignal_[i + 1] - firstSignal_[i]);
            std::span<const MuxIndicator> indicators;
            if (firstMux_[i] != kNoMux) {
                indicators = {muxDefs_.data() + firstMux_[i], positions.size()};
            } else {
                none.assign(positions.size(), MuxIndicator::kNone);
                indicators = none;
            }
            resolveMultiplexing(db_.messages[i], indicators, rangeLines, ranges, positions, sink_);
            if (!rangeLines.empty() || !overlapFree_[i]) checkOverlaps(db_.messages[i], positions, sink_);
        }
    }

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
                db::Topic::kLayout, def.position,
                "message " + quote(def.name) + ": ID over 0x7FF without the extended flag (bit 31), read as extended");
        }
        if (def.length < 0 || def.length > 64) {
            sink_.error(db::Topic::kLayout, def.position,
                        "message " + quote(def.name) + " has length " + std::to_string(def.length) +
                            "; a payload holds 0 to 64 bytes, so " + (def.length < 0 ? "0" : "64") + " is used");
            def.length = def.length < 0 ? 0 : 64;
        }
        message.length = static_cast<uint32_t>(def.length);
        message.signals.reserve(def.signalLines);
        message.fd = message.length > 8;
        if (!def.sender.empty() && def.sender != "Vector__XXX") message.senders.add(def.sender);
        const uint32_t index = static_cast<uint32_t>(db_.messages.size());
        const uint32_t key = message.id | (message.extended ? kExtendedFlag : 0);
        idKeys_.push_back({static_cast<uint32_t>(key), index, def.position});
        rawIds_.push_back({static_cast<uint32_t>(def.rawId), index});
        db_.messages.push_back(std::move(message));
        auto nameOf = [this](uint32_t i) -> std::string_view { return db_.messages[i].name; };
        if (!messageNames_.add(def.name, index, nameOf)) {
            sink_.warning(db::Topic::kDuplicate, def.position,
                          "message name " + quote(def.name) + " appears twice; the name finds the first");
        }
        firstSignal_.push_back(static_cast<uint32_t>(positions_.size()));
        firstMux_.push_back(kNoMux);
        open_ = true;
    }

    void addEnvironmentVariables() {
        for (EnvironmentVariableDef& def : defs_->environmentVariables) {
            if (!environmentVariables_.add(
                    def.name, static_cast<uint32_t>(db_.environmentVariables.size()),
                    [this](uint32_t i) -> std::string_view { return db_.environmentVariables[i].name; })) {
                sink_.warning(db::Topic::kDuplicate, def.position,
                              "environment variable " + quote(def.name) + " is defined twice; the first counts");
                continue;
            }
            db::EnvironmentVariable variable;
            variable.name = def.name;
            variable.type = static_cast<int32_t>(def.type);
            variable.minimum = def.minimum;
            variable.maximum = def.maximum;
            variable.unit = std::move(def.unit);
            variable.initialValue = def.initialValue;
            variable.id = def.id;
            variable.accessType = def.accessType;
            for (std::string_view node : def.accessNodes)
                if (node != "Vector__XXX") variable.accessNodes.emplace_back(node);
            db_.environmentVariables.push_back(std::move(variable));
        }
        for (const EnvironmentDataDef& def : defs_->environmentData) {
            ObjectRef ref{ObjectKind::kEnvironmentVariable, 0, def.name, {}, def.position};
            if (db::EnvironmentVariable* variable = findEnvironmentVariable(ref)) variable->dataSize = def.size;
        }
    }

    // Its signals are all there: findable by name, and no larger than they need.
    void closeMessage() {
        if (!open_) return;
        open_ = false;
        Message& message = db_.messages.back();
        // Room was made for as many as the lines that followed the message;
        // where that missed by far, no larger than they need.
        if (message.signals.capacity() - message.signals.size() > message.signals.size() / 4)
            message.signals.shrink_to_fit();
        // Checked now, while its signals are at hand, when nothing but SG_MUL_VAL_
        // could still make it multiplexed.
        overlapFree_.push_back(firstMux_.back() == kNoMux && !sharesBits(message));
        message.clearSignalIndex();
        for (uint32_t s = 0; s < message.signals.size(); ++s)
            if (!message.indexSignal(s))
                sink_.warning(db::Topic::kDuplicate, positions_[firstSignal_.back() + s],
                              "signal " + quote(message.signals[s].name) + " appears twice in message " +
                                  quote(message.name) + "; its name finds the first");
    }

    // Sorted by key, a key's first message first.
    template <typename Keyed>
    static void sortKeys(std::vector<Keyed>& keys) {
        std::sort(keys.begin(), keys.end(), [](const Keyed& a, const Keyed& b) {
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
        // References to one message come one after another.
        if (lastFound_ != nullptr && lastFound_->key == ref.rawId) {
            lastMessage_ = lastFound_->index;
            return &db_.messages[lastMessage_];
        }
        auto it = std::lower_bound(rawIds_.begin(), rawIds_.end(), ref.rawId,
                                   [](const MessageKey& entry, uint64_t key) { return entry.key < key; });
        if (it == rawIds_.end() || it->key != ref.rawId) {
            sink_.warning(db::Topic::kReference, ref.position,
                          "no message has ID " + std::to_string(ref.rawId) + "; reference skipped");
            return nullptr;
        }
        lastFound_ = &*it;
        lastMessage_ = it->index;
        return &db_.messages[it->index];
    }

    Signal* findSignal(const ObjectRef& ref) {
        Message* message = findMessage(ref);
        if (message == nullptr) return nullptr;
        const uint32_t index = message->findSignal(ref.name);
        if (index == NameIndex::kAbsent) {
            sink_.warning(
                db::Topic::kReference, ref.position,
                "message " + quote(message->name) + " has no signal " + quote(ref.name) + "; reference skipped");
            return nullptr;
        }
        return &message->signals[index];
    }

    db::Node* findNode(const ObjectRef& ref) { return findNode(ref.name, ref.position); }
    db::Node* findNode(std::string_view name, Position position) {
        const uint32_t index = db_.findNode(name);
        if (index != db::kNotFound) return &db_.editNode(index);
        sink_.warning(db::Topic::kReference, position, "no node is named " + quote(name) + "; reference skipped");
        return nullptr;
    }

    db::EnvironmentVariable* findEnvironmentVariable(const ObjectRef& ref) {
        const uint32_t index = environmentVariables_.find(
            ref.name, [this](uint32_t i) -> std::string_view { return db_.environmentVariables[i].name; });
        if (index != NameIndex::kAbsent) return &db_.environmentVariables[index];
        sink_.warning(db::Topic::kReference, ref.position,
                      "no environment variable is named " + quote(ref.name) + "; reference skipped");
        return nullptr;
    }

    void applySignalGroups() {
        for (SignalGroupDef& def : defs_->signalGroups) {
            Message* message = findMessage(def.message);
            if (message == nullptr) continue;
            db::SignalGroup group;
            group.name = def.name;
            group.repetitions = static_cast<uint32_t>(def.repetitions < 0 ? 0 : def.repetitions);
            for (std::string_view name : def.signals) {
                if (message->findSignal(name) == NameIndex::kAbsent) {
                    sink_.warning(db::Topic::kReference, def.message.position,
                                  "signal group " + quote(def.name) + ": message " + quote(message->name) +
                                      " has no signal " + quote(name) + "; left out of the group");
                    continue;
                }
                group.signals.emplace_back(name);
            }
            message->details.edit().signalGroups.push_back(std::move(group));
        }
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
        consumeEach(defs_->comments, [this](CommentDef& def) {
            switch (def.object.kind) {
                case ObjectKind::kNetwork: db_.comment += def.text; break;  // several are joined
                case ObjectKind::kNode:
                    if (db::Node* node = findNode(def.object)) node->details.edit().comment = std::move(def.text);
                    break;
                case ObjectKind::kMessage:
                    if (Message* message = findMessage(def.object))
                        message->details.edit().comment = std::move(def.text);
                    break;
                case ObjectKind::kSignal:
                    if (Signal* signal = findSignal(def.object)) signal->details.edit().comment = std::move(def.text);
                    break;
                case ObjectKind::kEnvironmentVariable:
                    if (db::EnvironmentVariable* variable = findEnvironmentVariable(def.object))
                        variable->comment = std::move(def.text);
                    break;
                default: break;
            }
        });
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
            signal->floatSigned = signal->type == db::ValueType::kSigned;
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
        for (const ValueTableDef& table : defs_->valueTables) {
            db::NamedValueTable named{std::string(table.name), {}};
            std::vector<db::ValueText> values;
            for (const ValueEntry& entry : table.entries) values.push_back({entry.value, entry.text});
            named.values.assign(std::move(values));
            db_.valueTables.push_back(std::move(named));
        }
        consumeEach(defs_->valueDescriptions, [&](ValueDescriptionDef& def) {
            db::EnvironmentVariable* variable = nullptr;
            Signal* signal = nullptr;
            if (def.signal.kind == ObjectKind::kEnvironmentVariable) {
                variable = findEnvironmentVariable(def.signal);
            } else {
                signal = findSignal(def.signal);
            }
            if (signal == nullptr && variable == nullptr) return;
            const std::vector<ValueEntry>* entries = &def.entries;
            if (!def.tableName.empty()) {
                auto it = tables.find(def.tableName);
                if (it == tables.end()) {
                    sink_.warning(db::Topic::kReference, def.tablePosition,
                                  "no value table is named " + quote(def.tableName) + "; skipped");
                    return;
                }
                entries = &it->second->entries;
            }
            if (variable != nullptr) {
                std::vector<db::ValueText> values;
                for (const ValueEntry& entry : *entries) values.push_back({entry.value, entry.text});
                variable->values.assign(std::move(values));
                return;
            }
            // A negative key of an unsigned field is its bit pattern: -1 is all ones.
            const bool pattern = signal->type == db::ValueType::kUnsigned && signal->length < 64;
            const uint64_t mask = pattern ? (uint64_t{1} << signal->length) - 1 : ~uint64_t{0};
            std::vector<db::ValueText> values;
            values.reserve(entries->size());
            for (const ValueEntry& entry : *entries)
                values.push_back({static_cast<int64_t>(static_cast<uint64_t>(entry.value) & mask), entry.text});
            signal->details.edit().values.assign(std::move(values), signal->type == db::ValueType::kUnsigned);
        });
    }

    // Definitions and their defaults into the model; a name defined twice
    // keeps its first definition. Those of objects come first, then those
    // of relations.
    void addAttributeDefinitions() {
        std::stable_partition(defs_->attributeDefinitions.begin(), defs_->attributeDefinitions.end(),
                              [](const AttributeDefinitionDef& def) { return !db::isRelation(def.kind); });
        for (AttributeDefinitionDef& def : defs_->attributeDefinitions) {
            if (findDefinition(def.name, db::isRelation(def.kind)) != nullptr) {
                sink_.warning(db::Topic::kDuplicate, def.position,
                              "attribute " + quote(def.name) + " is defined twice; the first counts");
                continue;
            }
            db::AttributeDefinition definition;
            definition.name = std::move(def.name);
            definition.kind = def.kind;
            definition.type = def.type;
            definition.minimum = def.minimum;
            definition.maximum = def.maximum;
            definition.enumValues = std::move(def.enumValues);
            db_.attributeDefinitions.push_back(std::move(definition));
        }
        for (const AttributeDefaultDef& def : defs_->attributeDefaults) {
            db::AttributeDefinition* definition = findDefinition(def.name, def.relation);
            if (definition == nullptr) {
                sink_.warning(db::Topic::kReference, def.position,
                              "default of attribute " + quote(def.name) + ", which is not defined; skipped");
                continue;
            }
            definition->hasDefault = true;
            definition->defaultValue = typedValue(definition, def.value).value;
        }
    }

    db::AttributeDefinition* findDefinition(std::string_view name, bool relation) {
        for (db::AttributeDefinition& definition : db_.attributeDefinitions)
            if (definition.name == name && db::isRelation(definition.kind) == relation) return &definition;
        return nullptr;
    }

    // A value as its definition types it: an enumeration value is given by
    // its index or by its text, and gets both. Without a definition, text is
    // a string and a number a float.
    static db::Attribute typedValue(const db::AttributeDefinition* definition, const AttributeValue& value) {
        db::Attribute attribute;
        const std::string* text = std::get_if<std::string>(&value);
        attribute.type = definition != nullptr ? definition->type
                         : text != nullptr     ? db::AttributeType::kString
                                               : db::AttributeType::kFloat;
        if (text != nullptr) {
            attribute.value.text = *text;
            if (attribute.type == db::AttributeType::kEnum) {
                const auto& names = definition->enumValues;
                const auto it = std::find(names.begin(), names.end(), *text);
                attribute.value.number = it == names.end() ? -1.0 : static_cast<double>(it - names.begin());
            } else if (attribute.type != db::AttributeType::kString) {
                readReal(*text, &attribute.value.number);
            }
            return attribute;
        }
        attribute.value.number = std::get<double>(value);
        if (attribute.type == db::AttributeType::kEnum) {
            const double index = attribute.value.number;
            if (index >= 0 && index < static_cast<double>(definition->enumValues.size()))
                attribute.value.text = definition->enumValues[static_cast<size_t>(index)];
        }
        return attribute;
    }

    void applyAttributes() {
        addAttributeDefinitions();
        consumeEach(defs_->attributeValues, [this](AttributeValueDef& def) {
            db::Attribute attribute = typedValue(findDefinition(def.name, db::isRelation(def.object.kind)), def.value);
            attribute.name = def.name;
            db::AttributeList* list = nullptr;
            switch (def.object.kind) {
                case ObjectKind::kNetwork: list = &db_.attributes; break;
                case ObjectKind::kNode:
                    if (db::Node* node = findNode(def.object)) list = &node->details.edit().attributes;
                    break;
                case ObjectKind::kMessage:
                    if (Message* message = findMessage(def.object)) list = &message->details.edit().attributes;
                    break;
                case ObjectKind::kSignal:
                    if (Signal* signal = findSignal(def.object)) list = &signal->details.edit().attributes;
                    startValues_ = startValues_ || def.name == "GenSigStartValue";
                    longSignalNames_ = longSignalNames_ || def.name == "SystemSignalLongSymbol";
                    break;
                case ObjectKind::kEnvironmentVariable:
                    if (db::EnvironmentVariable* variable = findEnvironmentVariable(def.object))
                        list = &variable->attributes;
                    break;
                default: addRelationAttribute(def.object, std::move(attribute)); break;
            }
            if (list == nullptr) return;
            // A value given again replaces the earlier one.
            auto it = std::find_if(list->begin(), list->end(),
                                   [&](const db::Attribute& given) { return given.name == attribute.name; });
            if (it != list->end()) {
                *it = std::move(attribute);
            } else {
                list->push_back(std::move(attribute));
            }
        });
    }

    void addRelationAttribute(const ObjectRef& ref, db::Attribute attribute) {
        if (findNode(ref.node, ref.position) == nullptr) return;
        db::RelationAttribute relation;
        relation.kind = ref.kind;
        relation.node = ref.node;
        if (ref.kind == ObjectKind::kNodeEnvironmentVariable) {
            if (findEnvironmentVariable(ref) == nullptr) return;
            relation.environmentVariable = ref.name;
        } else if (ref.kind == ObjectKind::kNodeSignal) {
            if (findSignal(ref) == nullptr) return;
            relation.message = lastMessage_;
            relation.signal = ref.name;
        } else {
            if (findMessage(ref) == nullptr) return;
            relation.message = lastMessage_;
        }
        relation.attribute = std::move(attribute);
        db_.relationAttributes.push_back(std::move(relation));
    }

    // A value of an object, else the definition's default; null without either.
    const db::AttributeValue* valueOf(const db::AttributeList& list, std::string_view name, ObjectKind kind) {
        if (const db::Attribute* attribute = db::findAttribute(list, name)) return &attribute->value;
        for (const db::AttributeDefinition& definition : db_.attributeDefinitions)
            if (definition.name == name && definition.kind == kind && definition.hasDefault)
                return &definition.defaultValue;
        return nullptr;
    }

    // Cycle time, send type, frame format and start value, from the attributes.
    void deriveFromAttributes() {
        for (Message& message : db_.messages) {
            const db::AttributeList& attributes = message.details->attributes;
            if (const db::AttributeValue* cycle = valueOf(attributes, "GenMsgCycleTime", ObjectKind::kMessage))
                message.cycleTime = std::isfinite(cycle->number) ? std::llround(cycle->number) : -1;
            if (const db::AttributeValue* sendType = valueOf(attributes, "GenMsgSendType", ObjectKind::kMessage))
                if (!sendType->text.empty()) message.details.edit().sendType = sendType->text;
            if (const db::AttributeValue* format = valueOf(attributes, "VFrameFormat", ObjectKind::kMessage)) {
                // As an enumeration by its text; as a number, 14 and 15 are
                // the FD formats and 3 is J1939.
                const bool byText = !format->text.empty();
                message.fd = message.length > 8 || (byText ? format->text.find("FD") != std::string::npos
                                                           : format->number == 14 || format->number == 15);
                message.j1939 = byText ? format->text == "J1939PG" : format->number == 3;
            }
            for (Signal& signal : message.signals) {
                if (!startValues_) break;
                if (const db::Attribute* start = db::findAttribute(signal.details->attributes, "GenSigStartValue")) {
                    db::SignalDetails& details = signal.details.edit();
                    details.hasStartValue = true;
                    details.startValue = start->value.number;
                }
            }
        }
    }

    // The long name an attribute gives, or null.
    static const std::string* longName(const db::AttributeList& list, std::string_view attribute) {
        const db::Attribute* given = db::findAttribute(list, attribute);
        return given != nullptr && !given->value.text.empty() ? &given->value.text : nullptr;
    }

    // Names longer than a DBC name may be come from attributes and replace
    // the short names everywhere.
    void applyLongNames() {
        std::unordered_map<std::string, std::string> nodeNames;
        for (const db::Node& node : db_.nodes())
            if (const std::string* name = longName(node.details->attributes, "SystemNodeLongSymbol"))
                nodeNames.emplace(node.name(), *name);
        if (!nodeNames.empty())
            db_.renameNodes([&](const db::Node& node) -> const std::string* {
                auto it = nodeNames.find(std::string(node.name()));
                return it != nodeNames.end() ? &it->second : nullptr;
            });
        auto renameNode = [&](std::string& name) {
            auto it = nodeNames.find(name);
            if (it != nodeNames.end()) name = it->second;
        };
        for (db::EnvironmentVariable& variable : db_.environmentVariables)
            for (std::string& node : variable.accessNodes) renameNode(node);
        for (db::RelationAttribute& relation : db_.relationAttributes) renameNode(relation.node);
        for (uint32_t i = 0; i < db_.messages.size(); ++i) {
            Message& message = db_.messages[i];
            if (const std::string* name = longName(message.details->attributes, "SystemMessageLongSymbol"))
                message.name = *name;
            if (!nodeNames.empty()) message.senders = message.senders.renamed(renameNode);
            std::unordered_map<std::string, std::string> signalNames;
            for (Signal& signal : message.signals) {
                if (nodeNames.empty() && !longSignalNames_) break;
                if (!nodeNames.empty()) signal.receivers = signal.receivers.renamed(renameNode);
                if (const std::string* name = longName(signal.details->attributes, "SystemSignalLongSymbol")) {
                    signalNames.emplace(signal.name, *name);
                    signal.name = *name;
                }
            }
            if (signalNames.empty()) continue;
            auto renameSignal = [&](std::string& name) {
                auto it = signalNames.find(name);
                if (it != signalNames.end()) name = it->second;
            };
            for (db::SignalGroup& group : message.details.edit().signalGroups)
                for (std::string& name : group.signals) renameSignal(name);
            for (db::RelationAttribute& relation : db_.relationAttributes)
                if (relation.kind == ObjectKind::kNodeSignal && relation.message == i) renameSignal(relation.signal);
            message.clearSignalIndex();
            for (uint32_t s = 0; s < message.signals.size(); ++s) message.indexSignal(s);
        }
    }

    void releaseReadingState() {
        // Assigned new ones: clearing would keep their room.
        messageNames_ = NameIndex();
        environmentVariables_ = NameIndex();
        rawIds_ = decltype(rawIds_)();
        lastFound_ = nullptr;
        positions_ = decltype(positions_)();
        muxDefs_ = decltype(muxDefs_)();
        firstSignal_ = decltype(firstSignal_)();
        firstMux_ = decltype(firstMux_)();
        overlapFree_ = decltype(overlapFree_)();
    }

    Definitions* defs_ = nullptr;
    DiagnosticSink& sink_;
    db::Database& db_;
    NameIndex messageNames_;
    NameIndex environmentVariables_;
    // Messages by ID (bit 32 for extended) and by the ID as written.
    std::vector<KeyedMessage> idKeys_;
    std::vector<MessageKey> rawIds_;
    // Of every signal, message after message; a message's first at
    // firstSignal_. A deque: no room for as many again while it grows.
    std::deque<Position> positions_;
    // The indicators of the signals of messages that have one; a message's
    // first at firstMux_ (kNoMux: none has one).
    std::vector<MuxIndicator> muxDefs_;
    std::vector<uint32_t> firstSignal_;
    std::vector<uint32_t> firstMux_;
    std::vector<bool> overlapFree_;  // of each message: plain, and no two signals share a bit
    static constexpr size_t kPendingNodes = 16;
    std::pair<Position, std::string_view> pendingNodes_[kPendingNodes];
    size_t pendingCount_ = 0;
    bool open_ = false;  // the last message takes the signals that arrive
    uint32_t lastMessage_ = 0;
    const MessageKey* lastFound_ = nullptr;  // in rawIds_
    // Whether any signal was given these attributes: else no signal is visited for them.
    bool startValues_ = false;
    bool longSignalNames_ = false;
};

}  // namespace

void readDbc(std::string_view text, db::Database& database, std::string* owner) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    DiagnosticSink sink(database.diagnostics);
    ModelBuilder builder(sink, database);
    builder.expectMessages(expectedMessages(text));
    Definitions definitions = parseDefinitions(text, sink, builder);
    // The model keeps copies of what it needs of the text.
    builder.finish(definitions, owner);
#ifdef __GLIBC__
    // Reading freed much in the middle of the heap, where the allocator keeps
    // it resident: handed back, the peak is what the model and its tables need.
    // Not for smaller files, whose few MB would only be faulted in again.
    constexpr std::size_t kTrimmedText = std::size_t{4} << 20;
    if (text.size() >= kTrimmedText) malloc_trim(0);
#endif
    database.buildIndexes();
}

}  // namespace canxlate::dbc
