#include "canxlate/dbc/dbc_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

namespace canxlate::dbc {
namespace {

using db::AttributeType;
using db::ObjectKind;

constexpr uint32_t kExtendedFlag = 0x80000000u;
constexpr size_t kLongestName = 32;
constexpr std::string_view kNoNode = "Vector__XXX";
constexpr std::string_view kNewline = "\r\n";

const char* kindKeyword(ObjectKind kind) {
    switch (kind) {
        case ObjectKind::kNode: return "BU_";
        case ObjectKind::kMessage: return "BO_";
        case ObjectKind::kSignal: return "SG_";
        case ObjectKind::kEnvironmentVariable: return "EV_";
        case ObjectKind::kNodeMessage: return "BU_BO_REL_";
        case ObjectKind::kNodeSignal: return "BU_SG_REL_";
        case ObjectKind::kNodeEnvironmentVariable: return "BU_EV_REL_";
        case ObjectKind::kNetwork: break;
    }
    return "";
}

const char* typeKeyword(AttributeType type) {
    switch (type) {
        case AttributeType::kInt: return "INT";
        case AttributeType::kHex: return "HEX";
        case AttributeType::kFloat: return "FLOAT";
        case AttributeType::kEnum: return "ENUM";
        case AttributeType::kString: break;
    }
    return "STRING";
}

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// The attributes that keep a name whole.
bool isLongNameAttribute(std::string_view name) {
    return name == "SystemNodeLongSymbol" || name == "SystemMessageLongSymbol" || name == "SystemSignalLongSymbol" ||
           name == "SystemEnvVarLongSymbol";
}

// A name as a DBC identifier: other characters become '_', and one that
// starts with a digit (or is empty) gets a leading '_'.
std::string identifier(std::string_view name) {
    std::string out;
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) out += '_';
    for (char c : name) out += isNameCharacter(c) ? c : '_';
    return out;
}

// Names a DBC identifier can hold, for one kind of object. A name that is
// an identifier of at most 32 characters is written as it is; any other is
// made one (other characters become '_', cut to 32 characters), unique among
// the names written, and keeps its own name in an attribute.
class ShortNames {
public:
    // cut: names over 32 characters are cut short; else only made identifiers.
    explicit ShortNames(bool cut) : longest_(cut ? kLongestName : std::string_view::npos) {}

    // Every name of the kind, before the first add: names written as they are
    // come first, so that a made name never takes one.
    void reserve(std::string_view name) {
        if (writtenAsIs(name)) taken_.emplace(name);
    }

    // Of a name given: the attribute that keeps it whole is not written.
    bool keepsLongNames() const { return longest_ == std::string_view::npos; }

    // The name to write for name, given in turn for each object; renamed
    // tells whether it differs from name.
    std::string add(std::string_view name, bool* renamed) {
        *renamed = !writtenAsIs(name);
        if (!*renamed) return std::string(name);
        const std::string written = identifier(name);
        std::string candidate = written.substr(0, longest_);
        for (uint32_t suffix = 0; taken_.count(candidate) != 0; ++suffix) {
            char digits[16];
            std::snprintf(digits, sizeof digits, "_%04u", suffix);
            const size_t room = keepsLongNames() ? written.size() : kLongestName - std::strlen(digits);
            candidate = written.substr(0, room) + digits;
        }
        taken_.insert(candidate);
        return candidate;
    }

private:
    bool writtenAsIs(std::string_view name) const { return name.size() <= longest_ && identifier(name) == name; }

    size_t longest_;
    std::unordered_set<std::string> taken_;
};

// The start bit as a DBC file writes it: of a big-endian field its most
// significant bit, found from the least significant one (a ".zcd" file
// gives that one).
uint32_t dbcStartBit(const db::Signal& signal) {
    if (!signal.bigEndian || !signal.decodable) return signal.bigEndian ? signal.startBit : signal.lsbBit();
    // Big-endian bits in a sequence running from the most significant bit down.
    const uint32_t lsb = (signal.lsbBit() / 8) * 8 + (7 - signal.lsbBit() % 8);
    if (lsb + 1 < signal.length) return signal.startBit;
    const uint32_t msb = lsb + 1 - signal.length;
    return (msb / 8) * 8 + (7 - msb % 8);
}

// The switch a reader gives the m<k> signals SG_MUL_VAL_ leaves out: the
// message's first M.
uint32_t mainSwitchOf(const db::Message& message) {
    for (uint32_t s = 0; s < message.signals.size(); ++s)
        if (message.signals[s].role == db::MuxRole::kSwitch) return s;
    return db::kNoSwitch;
}

// Whether the main switch and the one value its m<k> says are all the
// signal's switch values are.
bool switchValuesImplied(const db::Signal& signal, uint32_t mainSwitch) {
    const auto& ranges = signal.muxRanges;
    return ranges.empty() ||
           (signal.switchIndex == mainSwitch && ranges.size() == 1 && ranges[0].low == ranges[0].high);
}

// Whether the text has SG_MUL_VAL_ lines: once a message has a second switch
// or a signal carried for more than one switch value, every multiplexed
// signal gets one.
bool writesMuxValues(const db::Database& database) {
    for (const db::Message& message : database.messages) {
        size_t switches = 0;
        for (const db::Signal& signal : message.signals) {
            if (signal.role == db::MuxRole::kSwitch || signal.role == db::MuxRole::kMultiplexedSwitch) ++switches;
            if (signal.muxRanges.size() > 1 ||
                (signal.muxRanges.size() == 1 && signal.muxRanges[0].low != signal.muxRanges[0].high))
                return true;
        }
        if (switches > 1) return true;
    }
    return false;
}

class DbcWriter {
public:
    DbcWriter(const db::Database& database, const WriteOptions& options) : db_(database), options_(options) {}

    // Empty when an order given does not fit.
    std::string run() {
        if (!orderSignals(options_.signalOrder, metadataOrder_) || !orderSignals(options_.lineOrder, lineOrder_))
            return {};
        nameEverything();
        out_.reserve(256 + db_.messages.size() * 512);
        out_ += "VERSION ";
        quoted(db_.version);
        out_ += kNewline;
        out_ += kNewline;
        out_ += kNewline;
        writeNewSymbols();
        out_ += "BS_:";
        if (!db_.busSpeed.empty()) out_ += " " + db_.busSpeed;
        out_ += kNewline;
        out_ += kNewline;
        out_ += "BU_:";
        for (const std::string& node : nodeNames_) out_ += " " + node;
        out_ += kNewline;
        writeValueTables();
        out_ += kNewline;
        out_ += kNewline;
        writeMessages();
        writeTransmitters();
        writeEnvironmentVariables();
        writeComments();
        writeAttributeDefinitions();
        if (!writeAttributes()) return {};
        writeValueDescriptions();
        writeValueTypes();
        writeSignalGroups();
        writeMuxValues();
        return std::move(out_);
    }

private:
    template <typename... Parts>
    void line(const Parts&... parts) {
        (append(parts), ...);
        out_ += kNewline;
    }
    void append(std::string_view text) { out_ += text; }
    void append(char c) { out_ += c; }
    void append(double value) { appendNumber(out_, value); }
    void append(uint64_t value) {
        char digits[24];
        out_.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    }
    void append(int64_t value) {
        char digits[24];
        out_.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    }
    void append(uint32_t value) { append(uint64_t{value}); }
    void quoted(std::string_view text) { appendQuoted(out_, text); }

    uint64_t rawId(const db::Message& message) const {
        return uint64_t{message.id} | (message.extended ? kExtendedFlag : 0);
    }

    // Each message's signal indexes in the order given (or their own); false
    // when that is no permutation.
    bool orderSignals(const std::vector<uint32_t>& given, std::vector<std::vector<uint32_t>>& orders) const {
        size_t next = 0;
        for (const db::Message& message : db_.messages) {
            std::vector<uint32_t>& order = orders.emplace_back();
            const size_t count = message.signals.size();
            if (given.empty()) {
                for (uint32_t s = 0; s < count; ++s) order.push_back(s);
                continue;
            }
            if (given.size() - next < count) return false;
            order.assign(given.begin() + static_cast<std::ptrdiff_t>(next),
                         given.begin() + static_cast<std::ptrdiff_t>(next + count));
            next += count;
            if (!isPermutation(order)) return false;
        }
        return next == given.size();
    }

    static bool isPermutation(const std::vector<uint32_t>& order) {
        std::vector<bool> seen(order.size(), false);
        for (uint32_t index : order) {
            if (index >= order.size() || seen[index]) return false;
            seen[index] = true;
        }
        return true;
    }

    // The attributes that keep a name whole, not written when names are.
    bool skipped(const db::Attribute& given) const { return options_.longNames && isLongNameAttribute(given.name); }

    // The names written for every object, and the long-name attributes and
    // definitions that shortened names need.
    void nameEverything() {
        const bool cut = !options_.longNames;
        ShortNames nodes(cut);
        for (const db::Node& node : db_.nodes()) nodes.reserve(node.name());
        for (const db::Node& node : db_.nodes()) {
            bool shortened = false;
            nodeNames_.push_back(nodes.add(node.name(), &shortened));
            nodeNameOf_.emplace(node.name(), nodeNames_.back());
            nodeLongNames_.push_back(shortened && !db::findAttribute(node.details->attributes, "SystemNodeLongSymbol"));
        }
        ShortNames messages(cut);
        for (const db::Message& message : db_.messages) messages.reserve(message.name);
        std::unordered_set<uint64_t> ids;
        for (const db::Message& message : db_.messages) firstOfId_.push_back(ids.insert(rawId(message)).second);
        signalNames_.resize(db_.messages.size());
        messageLongNames_.resize(db_.messages.size());
        signalLongNames_.resize(db_.messages.size());
        laterOfName_.resize(db_.messages.size());
        for (size_t m = 0; m < db_.messages.size(); ++m) {
            const db::Message& message = db_.messages[m];
            bool shortened = false;
            messageNames_.push_back(messages.add(message.name, &shortened));
            messageLongNames_[m] =
                shortened && !db::findAttribute(message.details->attributes, "SystemMessageLongSymbol");
            ShortNames signals(cut);
            for (const db::Signal& signal : message.signals) signals.reserve(signal.name);
            std::unordered_set<std::string> written;
            for (const db::Signal& signal : message.signals) {
                signalNames_[m].push_back(signals.add(signal.name, &shortened));
                laterOfName_[m].push_back(!written.insert(signalNames_[m].back()).second);
                signalLongNames_[m].push_back(shortened &&
                                              !db::findAttribute(signal.details->attributes, "SystemSignalLongSymbol"));
            }
        }
        auto needs = [](const std::vector<bool>& flags) {
            return std::find(flags.begin(), flags.end(), true) != flags.end();
        };
        bool anySignal = false;
        for (const std::vector<bool>& flags : signalLongNames_) anySignal = anySignal || needs(flags);
        addLongNameDefinition(needs(nodeLongNames_), ObjectKind::kNode, "SystemNodeLongSymbol");
        addLongNameDefinition(needs(messageLongNames_), ObjectKind::kMessage, "SystemMessageLongSymbol");
        addLongNameDefinition(anySignal, ObjectKind::kSignal, "SystemSignalLongSymbol");
    }

    void addLongNameDefinition(bool needed, ObjectKind kind, const char* name) {
        if (!needed || options_.longNames) return;
        for (const db::AttributeDefinition& definition : db_.attributeDefinitions)
            if (definition.name == name) return;
        db::AttributeDefinition definition;
        definition.name = name;
        definition.kind = kind;
        definition.type = AttributeType::kString;
        definition.hasDefault = true;
        extraDefinitions_.push_back(std::move(definition));
    }

    const std::string& nodeName(const std::string& name) const {
        auto it = nodeNameOf_.find(name);
        return it == nodeNameOf_.end() ? name : it->second;
    }

    void writeNewSymbols() {
        out_ += "NS_ : ";
        out_ += kNewline;
        for (const std::string& symbol : db_.newSymbols) line('\t', symbol);
        out_ += kNewline;
    }

    // "VAL_TABLE_ name 1 "On" 0 "Off" ;" and the like: after the head, the
    // texts from the highest raw value down.
    void valueTexts(const std::string& head, const db::ValueTable& table) {
        out_ += head;
        const auto& entries = table.entries();
        if (options_.valueTextsAsGiven) {
            for (size_t i = 0; i < entries.size(); ++i) {
                out_ += ' ';
                append(table.written(i).value);
                out_ += ' ';
                quoted(table.written(i).text);
            }
            line(" ;");
            return;
        }
        // Texts of one raw value keep their order.
        for (size_t end = entries.size(); end > 0;) {
            size_t begin = end - 1;
            while (begin > 0 && entries[begin - 1].value == entries[end - 1].value) --begin;
            for (size_t i = begin; i < end; ++i) {
                out_ += ' ';
                append(entries[i].value);
                out_ += ' ';
                quoted(entries[i].text);
            }
            end = begin;
        }
        line(" ;");
    }

    // Node names separated by commas, or the word for none (a NameList or a
    // vector of names).
    template <typename Names>
    void nodeList(const Names& names) {
        if (names.empty()) out_ += kNoNode;
        for (size_t i = 0; i < names.size(); ++i) {
            if (i != 0) out_ += ',';
            out_ += nodeName(names[i]);
        }
    }

    void writeValueTables() {
        for (const db::NamedValueTable& table : db_.valueTables)
            valueTexts("VAL_TABLE_ " + identifier(table.name), table.values);
    }

    void writeMessages() {
        for (size_t m = 0; m < db_.messages.size(); ++m) {
            const db::Message& message = db_.messages[m];
            if (m != 0) out_ += kNewline;
            line("BO_ ", rawId(message), ' ', messageNames_[m], ": ", message.length, ' ',
                 message.senders.empty() ? std::string(kNoNode) : nodeName(message.senders[0]));
            for (uint32_t s : lineOrder_[m]) writeSignal(message, s, signalNames_[m][s]);
        }
        out_ += kNewline;
        out_ += kNewline;
    }

    void writeSignal(const db::Message& message, size_t index, const std::string& name) {
        const db::Signal& signal = message.signals[index];
        out_ += " SG_ " + name;
        if (signal.role == db::MuxRole::kSwitch) out_ += " M";
        if (signal.role == db::MuxRole::kMultiplexed || signal.role == db::MuxRole::kMultiplexedSwitch) {
            out_ += " m";
            append(signal.muxRanges.empty() ? uint64_t{0} : signal.muxRanges[0].low);
            if (signal.role == db::MuxRole::kMultiplexedSwitch) out_ += 'M';
        }
        out_ += " : ";
        append(dbcStartBit(signal));
        out_ += '|';
        append(signal.length);
        out_ += signal.bigEndian ? "@0" : "@1";
        out_ += signal.type == db::ValueType::kSigned || signal.floatSigned ? "- (" : "+ (";
        append(signal.factor);
        out_ += ',';
        append(signal.offset);
        out_ += ") ";
        rangeAndUnit(signal.minimum, signal.maximum, signal.unit);
        out_ += signal.receivers.empty() ? " " : "  ";
        nodeList(signal.receivers);
        out_ += kNewline;
    }

    // "[minimum|maximum] "unit"", as signals and environment variables have them.
    void rangeAndUnit(double minimum, double maximum, std::string_view unit) {
        out_ += '[';
        append(minimum);
        out_ += '|';
        append(maximum);
        out_ += "] ";
        quoted(unit);
    }

    void writeTransmitters() {
        for (size_t m = 0; m < db_.messages.size(); ++m) {
            const db::Message& message = db_.messages[m];
            if (message.senders.size() < 2 || !firstOfId_[m]) continue;
            out_ += "BO_TX_BU_ ";
            append(rawId(message));
            out_ += " : ";
            nodeList(message.senders);
            line(";");
        }
        out_ += kNewline;
    }

    void writeEnvironmentVariables() {
        for (const db::EnvironmentVariable& variable : db_.environmentVariables) {
            out_ += "EV_ " + identifier(variable.name) + ": ";
            append(int64_t{variable.type});
            out_ += ' ';
            rangeAndUnit(variable.minimum, variable.maximum, variable.unit);
            out_ += ' ';
            append(variable.initialValue);
            out_ += ' ';
            append(variable.id);
            out_ += ' ' + (variable.accessType.empty() ? std::string("DUMMY_NODE_VECTOR0") : variable.accessType) + ' ';
            nodeList(variable.accessNodes);
            line(";");
            out_ += kNewline;
        }
        for (const db::EnvironmentVariable& variable : db_.environmentVariables)
            if (variable.dataSize >= 0) line("ENVVAR_DATA_ ", identifier(variable.name), ": ", variable.dataSize, ";");
        out_ += kNewline;
    }

    void comment(std::string_view object, std::string_view text) {
        if (text.empty()) return;
        out_ += "CM_ ";
        out_ += object;
        quoted(text);
        line(";");
    }

    void writeComments() {
        comment("", db_.comment);
        for (size_t n = 0; n < db_.nodes().size(); ++n)
            comment("BU_ " + nodeNames_[n] + " ", db_.nodes()[n].details->comment);
        for (size_t m = 0; m < db_.messages.size(); ++m) {
            if (!firstOfId_[m]) continue;  // references by ID find the first message
            const db::Message& message = db_.messages[m];
            const std::string id = std::to_string(rawId(message));
            comment("BO_ " + id + " ", message.comment());
            for (uint32_t s : metadataOrder_[m])
                if (!laterOfName_[m][s])
                    comment("SG_ " + id + " " + signalNames_[m][s] + " ", message.signals[s].details->comment);
        }
        for (const db::EnvironmentVariable& variable : db_.environmentVariables)
            comment("EV_ " + identifier(variable.name) + " ", variable.comment);
    }

    // A value as its type writes it: strings and enumeration defaults quoted,
    // enumeration values by index.
    void value(AttributeType type, const db::AttributeValue& given, bool defaultValue) {
        if (type == AttributeType::kString || (type == AttributeType::kEnum && defaultValue)) {
            quoted(given.text);
        } else if (type == AttributeType::kHex || type == AttributeType::kInt || type == AttributeType::kEnum) {
            append(std::nearbyint(given.number));
        } else {
            append(given.number);
        }
    }

    void definition(const db::AttributeDefinition& def) {
        const bool relation = db::isRelation(def.kind);
        out_ += relation ? "BA_DEF_REL_ " : "BA_DEF_ ";
        out_ += kindKeyword(def.kind);
        out_ += "  ";
        quoted(def.name);
        out_ += ' ';
        out_ += typeKeyword(def.type);
        if (def.type == AttributeType::kEnum) {
            out_ += "  ";
            for (size_t i = 0; i < def.enumValues.size(); ++i) {
                if (i != 0) out_ += ',';
                quoted(def.enumValues[i]);
            }
        } else if (def.type == AttributeType::kString) {
            out_ += ' ';
        } else {
            out_ += ' ';
            append(def.minimum);
            out_ += ' ';
            append(def.maximum);
        }
        line(";");
    }

    void definitionDefault(const db::AttributeDefinition& def) {
        if (!def.hasDefault) return;
        out_ += db::isRelation(def.kind) ? "BA_DEF_DEF_REL_ " : "BA_DEF_DEF_  ";
        quoted(def.name);
        out_ += ' ';
        value(def.type, def.defaultValue, true);
        line(";");
    }

    void writeAttributeDefinitions() {
        auto each = [&](bool relation, auto write) {
            for (const db::AttributeDefinition& def : db_.attributeDefinitions)
                if (db::isRelation(def.kind) == relation) write(def);
            for (const db::AttributeDefinition& def : extraDefinitions_)
                if (db::isRelation(def.kind) == relation) write(def);
        };
        each(false, [&](const db::AttributeDefinition& def) { definition(def); });
        each(true, [&](const db::AttributeDefinition& def) { definition(def); });
        each(false, [&](const db::AttributeDefinition& def) { definitionDefault(def); });
        each(true, [&](const db::AttributeDefinition& def) { definitionDefault(def); });
    }

    // A BA_ line, kept apart when the lines are written in an order given.
    void attribute(std::string_view object, const db::Attribute& given) {
        if (skipped(given)) return;
        const size_t start = out_.size();
        out_ += "BA_ ";
        quoted(given.name);
        out_ += ' ';
        out_ += object;
        value(given.type, given.value, false);
        line(";");
        if (options_.attributeOrder.empty()) return;
        attributeLines_.push_back(out_.substr(start));
        out_.resize(start);
    }

    void longName(std::string_view object, const char* attributeName, std::string_view name) {
        db::Attribute given;
        given.name = attributeName;
        given.type = AttributeType::kString;
        given.value.text = name;
        attribute(object, given);
    }

    bool writeAttributes() {
        for (const db::Attribute& given : db_.attributes) attribute("", given);
        for (const db::EnvironmentVariable& variable : db_.environmentVariables)
            for (const db::Attribute& given : variable.attributes)
                attribute("EV_ " + identifier(variable.name) + " ", given);
        for (size_t n = 0; n < db_.nodes().size(); ++n) {
            const std::string object = "BU_ " + nodeNames_[n] + " ";
            for (const db::Attribute& given : db_.nodes()[n].details->attributes) attribute(object, given);
            if (nodeLongNames_[n]) longName(object, "SystemNodeLongSymbol", db_.nodes()[n].name());
        }
        for (size_t m = 0; m < db_.messages.size(); ++m) {
            if (!firstOfId_[m]) continue;  // references by ID find the first message
            const db::Message& message = db_.messages[m];
            const std::string id = std::to_string(rawId(message));
            const std::string object = "BO_ " + id + " ";
            for (const db::Attribute& given : message.details->attributes) attribute(object, given);
            if (messageLongNames_[m]) longName(object, "SystemMessageLongSymbol", message.name);
            for (uint32_t s : metadataOrder_[m]) {
                if (laterOfName_[m][s]) continue;
                const std::string signalObject = "SG_ " + id + " " + signalNames_[m][s] + " ";
                for (const db::Attribute& given : message.signals[s].details->attributes)
                    attribute(signalObject, given);
                if (signalLongNames_[m][s]) longName(signalObject, "SystemSignalLongSymbol", message.signals[s].name);
            }
        }
        const std::vector<uint32_t>& order = options_.attributeOrder;
        if (!order.empty()) {
            if (order.size() != attributeLines_.size() || !isPermutation(order)) return false;
            for (uint32_t index : order) out_ += attributeLines_[index];
        }
        for (const db::RelationAttribute& relation : db_.relationAttributes) {
            if (relation.kind != ObjectKind::kNodeEnvironmentVariable && !firstOfId_[relation.message]) continue;
            out_ += "BA_REL_ ";
            quoted(relation.attribute.name);
            out_ += ' ';
            out_ += kindKeyword(relation.kind);
            out_ += ' ' + nodeName(relation.node) + ' ';
            if (relation.kind == ObjectKind::kNodeEnvironmentVariable) {
                out_ += identifier(relation.environmentVariable);
            } else {
                if (relation.kind == ObjectKind::kNodeSignal) out_ += "SG_ ";
                append(rawId(db_.messages[relation.message]));
                if (relation.kind == ObjectKind::kNodeSignal)
                    out_ += ' ' + signalName(relation.message, relation.signal);
            }
            out_ += ' ';
            value(relation.attribute.type, relation.attribute.value, false);
            line(";");
        }
        return true;
    }

    const std::string& signalName(uint32_t message, const std::string& name) const {
        const uint32_t index = db_.messages[message].findSignal(name);
        return index == NameIndex::kAbsent ? name : signalNames_[message][index];
    }

    void writeValueDescriptions() {
        for (size_t m = 0; m < db_.messages.size(); ++m) {
            if (!firstOfId_[m]) continue;  // references by ID find the first message
            const db::Message& message = db_.messages[m];
            for (uint32_t s : metadataOrder_[m]) {
                if (message.signals[s].details->values.empty() || laterOfName_[m][s]) continue;
                valueTexts("VAL_ " + std::to_string(rawId(message)) + " " + signalNames_[m][s],
                           message.signals[s].details->values);
            }
        }
        for (const db::EnvironmentVariable& variable : db_.environmentVariables)
            if (!variable.values.empty()) valueTexts("VAL_ " + identifier(variable.name), variable.values);
    }

    void writeValueTypes() {
        for (size_t m = 0; m < db_.messages.size(); ++m) {
            if (!firstOfId_[m]) continue;  // references by ID find the first message
            const db::Message& message = db_.messages[m];
            for (size_t s = 0; s < message.signals.size(); ++s) {
                const db::ValueType type = message.signals[s].type;
                if ((type != db::ValueType::kSingle && type != db::ValueType::kDouble) || laterOfName_[m][s]) continue;
                line("SIG_VALTYPE_ ", rawId(message), ' ', signalNames_[m][s], " : ",
                     type == db::ValueType::kSingle ? "1" : "2", ";");
            }
        }
    }

    void writeSignalGroups() {
        for (size_t m = 0; m < db_.messages.size(); ++m) {
            if (!firstOfId_[m]) continue;  // references by ID find the first message
            const db::Message& message = db_.messages[m];
            for (const db::SignalGroup& group : message.details->signalGroups) {
                out_ += "SIG_GROUP_ ";
                append(rawId(message));
                out_ += ' ' + identifier(group.name) + ' ';
                append(group.repetitions);
                out_ += " :";
                for (const std::string& name : group.signals) out_ += ' ' + signalName(static_cast<uint32_t>(m), name);
                line(";");
            }
        }
    }

    // SG_MUL_VAL_ for every multiplexed signal once one message needs them:
    // a second switch, or a signal carried for more than one switch value.
    void writeMuxValues() {
        if (!writesMuxValues(db_)) return;
        for (size_t m = 0; m < db_.messages.size(); ++m) {
            if (!firstOfId_[m]) continue;  // references by ID find the first message
            const db::Message& message = db_.messages[m];
            for (size_t s = 0; s < message.signals.size(); ++s) {
                const db::Signal& signal = message.signals[s];
                if (signal.switchIndex == db::kNoSwitch || signal.muxRanges.empty()) continue;
                // A name given twice finds the first signal: a later one keeps its m<k> alone,
                // and a later switch cannot be named (ambiguousReferences tells what is lost).
                if (message.findSignal(signal.name) != s ||
                    message.findSignal(message.signals[signal.switchIndex].name) != signal.switchIndex)
                    continue;
                out_ += "SG_MUL_VAL_ ";
                append(rawId(message));
                out_ += ' ' + signalNames_[m][s] + ' ' + signalNames_[m][signal.switchIndex] + ' ';
                for (size_t r = 0; r < signal.muxRanges.size(); ++r) {
                    if (r != 0) out_ += ", ";
                    append(signal.muxRanges[r].low);
                    out_ += '-';
                    append(signal.muxRanges[r].high);
                }
                line(";");
            }
        }
    }

    const db::Database& db_;
    const WriteOptions& options_;
    std::string out_;
    std::vector<std::vector<uint32_t>> metadataOrder_;  // of each message: of comments, attributes and value texts
    std::vector<std::vector<uint32_t>> lineOrder_;      // of each message: of its signal lines
    std::vector<std::string> attributeLines_;           // when written in an order given
    std::vector<std::string> nodeNames_;
    std::unordered_map<std::string, std::string> nodeNameOf_;
    std::vector<bool> nodeLongNames_;
    std::vector<std::string> messageNames_;
    std::vector<bool> messageLongNames_;
    std::vector<std::vector<std::string>> signalNames_;
    std::vector<std::vector<bool>> signalLongNames_;
    // Whether each signal's name is written for an earlier signal of its
    // message too: references by name find that one, so it gets none.
    std::vector<std::vector<bool>> laterOfName_;
    std::vector<db::AttributeDefinition> extraDefinitions_;
    // Whether each message is the first of its ID: a file's references by ID
    // find that one, so later ones get none written.
    std::vector<bool> firstOfId_;
};

bool writtenAsIs(std::string_view name, const WriteOptions& options) {
    return (options.longNames || name.size() <= kLongestName) && identifier(name) == name;
}

bool hasAttributes(const db::AttributeList& list, const WriteOptions& options) {
    return std::any_of(list.begin(), list.end(),
                       [&](const db::Attribute& a) { return !options.longNames || !isLongNameAttribute(a.name); });
}

void addKind(std::vector<std::string>& kinds, bool found, std::string kind) {
    if (found && std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) kinds.push_back(std::move(kind));
}

// What DBC text says of a signal by its message's ID and its name, in words.
std::vector<std::string> saidOfSignal(const db::Signal& signal, uint32_t mainSwitch, const WriteOptions& options) {
    std::vector<std::string> kinds;
    addKind(kinds, !signal.details->comment.empty(), "comment");
    addKind(kinds, hasAttributes(signal.details->attributes, options) || !writtenAsIs(signal.name, options),
            "attributes");
    addKind(kinds, !signal.details->values.empty(), "value texts");
    addKind(kinds, signal.type == db::ValueType::kSingle || signal.type == db::ValueType::kDouble, "value type");
    addKind(kinds, !switchValuesImplied(signal, mainSwitch), "switch values");
    return kinds;
}

// What DBC text says of a message and its signals by its ID, in words.
std::vector<std::string> saidOfMessage(const db::Database& database, size_t m, const WriteOptions& options) {
    const db::Message& message = database.messages[m];
    std::vector<std::string> kinds;
    addKind(kinds, !message.comment().empty(), "comment");
    addKind(kinds, hasAttributes(message.details->attributes, options) || !writtenAsIs(message.name, options),
            "attributes");
    addKind(kinds, message.senders.size() > 1, "senders");
    addKind(kinds, !message.details->signalGroups.empty(), "signal groups");
    addKind(kinds,
            std::any_of(database.relationAttributes.begin(), database.relationAttributes.end(),
                        [&](const db::RelationAttribute& r) {
                            return r.kind != ObjectKind::kNodeEnvironmentVariable && r.message == m;
                        }),
            "relation attributes");
    const uint32_t mainSwitch = mainSwitchOf(message);
    for (const db::Signal& signal : message.signals)
        for (const std::string& kind : saidOfSignal(signal, mainSwitch, options))
            addKind(kinds, true, "signal " + kind);
    return kinds;
}

// One sentence of what would be read as another object's.
std::string ambiguity(const std::string& object, const std::string& shared, const std::vector<std::string>& kinds) {
    std::string sentence = object + " has the " + shared + ": its ";
    for (size_t k = 0; k < kinds.size(); ++k)
        sentence += std::string(k == 0 ? "" : k + 1 == kinds.size() ? " and " : ", ") + kinds[k];
    return sentence + " would be read as the other's";
}

}  // namespace

std::string ambiguousReferences(const db::Database& database, const WriteOptions& options) {
    std::unordered_map<uint64_t, size_t> firstOfId;
    const bool muxValues = writesMuxValues(database);
    std::string first;
    size_t count = 0;
    auto found = [&](std::string sentence) {
        if (count++ == 0) first = std::move(sentence);
    };
    for (size_t m = 0; m < database.messages.size(); ++m) {
        const db::Message& message = database.messages[m];
        const uint64_t id = uint64_t{message.id} | (message.extended ? kExtendedFlag : 0);
        const auto [earlier, isFirst] = firstOfId.emplace(id, m);
        if (!isFirst) {
            const std::vector<std::string> kinds = saidOfMessage(database, m, options);
            if (!kinds.empty())
                found(ambiguity(
                    "message '" + message.name + "'",
                    "ID " + std::to_string(id) + " of message '" + database.messages[earlier->second].name + "'",
                    kinds));
            continue;
        }
        // Signals of one name written as it is: references by name find the first.
        const uint32_t mainSwitch = mainSwitchOf(message);
        std::unordered_set<std::string_view> names;
        for (const db::Signal& signal : message.signals) {
            if (!writtenAsIs(signal.name, options) || names.insert(signal.name).second) continue;
            const std::vector<std::string> kinds = saidOfSignal(signal, mainSwitch, options);
            if (!kinds.empty())
                found(ambiguity("signal '" + signal.name + "' of message '" + message.name + "'",
                                "name of an earlier signal", kinds));
        }
        // A switch of such a name cannot be named in SG_MUL_VAL_: what its
        // line would say beyond the m<k> is lost.
        for (size_t s = 0; muxValues && s < message.signals.size(); ++s) {
            const db::Signal& signal = message.signals[s];
            if (signal.switchIndex == db::kNoSwitch || message.findSignal(signal.name) != s) continue;
            const db::Signal& switchSignal = message.signals[signal.switchIndex];
            if (message.findSignal(switchSignal.name) != signal.switchIndex && !switchValuesImplied(signal, mainSwitch))
                found(ambiguity("switch '" + switchSignal.name + "' of message '" + message.name + "'",
                                "name of an earlier signal", {"switch values of signal '" + signal.name + "'"}));
        }
    }
    if (count > 1) first += " (and " + std::to_string(count - 1) + " more such)";
    return first;
}

void appendNumber(std::string& out, double value) {
    if (!std::isfinite(value)) value = 0.0;
    char text[40];
    if (std::trunc(value) == value && std::fabs(value) < 1e16) {
        out.append(text, std::to_chars(text, text + sizeof text, static_cast<int64_t>(value)).ptr);
        return;
    }
    // The shortest digits, then laid out as fixed point unless the exponent
    // is below -4 or from 16 up.
    const char* end = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific).ptr;
    std::string_view scientific(text, static_cast<size_t>(end - text));
    const size_t e = scientific.find('e');
    int exponent = 0;
    std::from_chars(scientific.data() + e + (scientific[e + 1] == '+' ? 2 : 1), end, exponent);
    if (exponent < -4 || exponent >= 16) {
        out += scientific;
        return;
    }
    std::string digits;
    size_t at = 0;
    if (scientific[0] == '-') {
        out += '-';
        at = 1;
    }
    for (; at < e; ++at)
        if (scientific[at] != '.') digits += scientific[at];
    if (exponent < 0) {
        out += "0.";
        out.append(static_cast<size_t>(-exponent - 1), '0');
        out += digits;
        return;
    }
    const size_t whole = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= whole) {
        out += digits;
        out.append(whole - digits.size(), '0');
        return;
    }
    out.append(digits, 0, whole);
    out += '.';
    out.append(digits, whole, std::string::npos);
}

void appendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool escape =
            c == '"' || (c == '\\' && (i + 1 == text.size() || text[i + 1] == '"' || text[i + 1] == '\\'));
        if (escape) out += '\\';
        out += c;
    }
    out += '"';
}

std::string writeDbc(const db::Database& database) { return DbcWriter(database, WriteOptions()).run(); }

bool writeDbc(const db::Database& database, const WriteOptions& options, std::string& out) {
    out = DbcWriter(database, options).run();
    return !out.empty();
}

}  // namespace canxlate::dbc
