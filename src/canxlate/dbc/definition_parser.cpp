// The first pass: the token stream cut into statements (a statement begins
// with an identifier that is the first token on its line), each read into its
// definition record as its tokens arrive.
#include <algorithm>
#include <iterator>
#include <string>
#include <utility>

#include "canxlate/dbc/definitions.h"
#include "canxlate/dbc/diagnostic_sink.h"
#include "canxlate/dbc/statement_cursor.h"

namespace canxlate::dbc {
namespace {

// Sections that this reader has no use for: skipped without a word.
constexpr std::string_view kIgnoredSections[] = {
    "BU_SG_REL_", "BU_EV_REL_",    "BU_BO_REL_",       "SGTYPE_",  "SGTYPE_VAL_", "BA_DEF_SGTYPE_",
    "BA_SGTYPE_", "SIG_TYPE_REF_", "SIGTYPE_VALTYPE_", "CAT_DEF_", "CAT_",        "FILTER",
    "NS_DESC_",   "EV_DATA_",      "SG_MUL_VAL_TYPE_", "BO_EXT_",
};

// The keywords of the objects an attribute is defined for.
constexpr std::pair<std::string_view, ObjectKind> kObjectKeywords[] = {
    {"BU_", ObjectKind::kNode},
    {"BO_", ObjectKind::kMessage},
    {"SG_", ObjectKind::kSignal},
    {"EV_", ObjectKind::kEnvironmentVariable},
    {"BU_BO_REL_", ObjectKind::kNodeMessage},
    {"BU_SG_REL_", ObjectKind::kNodeSignal},
    {"BU_EV_REL_", ObjectKind::kNodeEnvironmentVariable},
};

// How many signal lines (SG_) stand at the start of rest, blank lines between
// them left out.
uint32_t countSignalLines(std::string_view rest) noexcept {
    uint32_t count = 0;
    for (size_t at = 0;; ++count) {
        while (at < rest.size() && (rest[at] == ' ' || rest[at] == '\t' || rest[at] == '\r' || rest[at] == '\n')) ++at;
        if (rest.size() - at < 4 || rest.compare(at, 3, "SG_") != 0 || (rest[at + 3] != ' ' && rest[at + 3] != '\t'))
            return count;
        at = rest.find('\n', at);
        if (at == std::string_view::npos) return count + 1;
    }
}

class DefinitionParser {
public:
    DefinitionParser(std::string_view text, DiagnosticSink& sink, DefinitionReceiver& receiver)
        : text_(text), stream_(text), sink_(sink), receiver_(receiver) {}

    Definitions run() {
        while (!stream_.atEnd()) {
            const Token first = stream_.take();
            StatementCursor cursor(stream_);
            if (first.kind != TokenKind::kIdentifier || !first.lineStart) {
                sink_.warning(db::Topic::kSyntax, first,
                              "text outside any statement skipped, starting at " + quoted(first));
            } else if (dispatch(first, cursor) && !cursor.atEnd()) {
                sink_.warning(db::Topic::kSyntax, cursor.position(),
                              "unexpected " + cursor.describe() + " after the statement skipped");
            }
            cursor.skipRest();
            for (const Tokenizer::Problem& problem : stream_.tokenizer().problems())
                sink_.error(db::Topic::kSyntax, problem, problem.text);
            stream_.tokenizer().problems().clear();
        }
        return std::move(definitions_);
    }

private:
    static std::string quoted(const Token& token) { return "'" + std::string(token.text.substr(0, 32)) + "'"; }

    // A statement that cannot be read is skipped whole, and changes nothing:
    // the signals after it still belong to the message that was open. True
    // when the statement was read, so that what follows it is not.
    bool dispatch(const Token& first, StatementCursor& cursor) {
        const std::string_view keyword = first.text;
        try {
            if (keyword == "SG_") {
                if (!messageOpen_) {
                    sink_.error(db::Topic::kSyntax, first, "signal outside a message skipped");
                    return false;
                }
                readSignal(cursor, first);
                return true;
            }
            if (keyword == "BO_") {
                // Until it reads, the signals that follow have no message.
                messageOpen_ = false;
                readMessage(cursor, first);
                messageOpen_ = true;
                return true;
            }
            if (isIgnored(keyword)) {
                messageOpen_ = false;
                return false;
            }
            if (keyword == "VERSION") {
                definitions_.version = cursor.string("the version");
            } else if (keyword == "NS_") {
                cursor.acceptPunctuation(':');
                // One name a line (or several on the NS_ line itself).
                while (cursor.peekKind(TokenKind::kIdentifier) &&
                       (cursor.peek().lineStart || cursor.peek().line == first.line))
                    definitions_.newSymbols.push_back(cursor.next().text);
            } else if (keyword == "BS_") {
                // Kept as its tokens one space apart, which read back as the same tokens.
                cursor.acceptPunctuation(':');
                while (!cursor.atLineEnd() && !cursor.peekPunctuation(';')) {
                    const Token& token = cursor.next();
                    if (!definitions_.busSpeed.empty()) definitions_.busSpeed += ' ';
                    const bool quoted = token.kind == TokenKind::kString;
                    if (quoted) definitions_.busSpeed += '"';
                    definitions_.busSpeed += token.text;
                    if (quoted) definitions_.busSpeed += '"';
                }
                cursor.acceptPunctuation(';');
            } else if (keyword == "BU_") {
                readNodes(cursor);
            } else if (keyword == "CM_") {
                readComment(cursor);
            } else if (keyword == "BA_DEF_" || keyword == "BA_DEF_REL_") {
                readAttributeDefinition(cursor);
            } else if (keyword == "BA_DEF_DEF_" || keyword == "BA_DEF_DEF_REL_") {
                AttributeDefaultDef def{
                    cursor.position(), cursor.string("the attribute name"), {}, keyword == "BA_DEF_DEF_REL_"};
                def.value = readAttributeValue(cursor);
                cursor.finish();
                definitions_.attributeDefaults.push_back(std::move(def));
            } else if (keyword == "BA_") {
                readAttribute(cursor, false);
            } else if (keyword == "BA_REL_") {
                readAttribute(cursor, true);
            } else if (keyword == "SIG_GROUP_") {
                readSignalGroup(cursor);
            } else if (keyword == "EV_") {
                readEnvironmentVariable(cursor);
            } else if (keyword == "ENVVAR_DATA_") {
                EnvironmentDataDef def;
                def.position = cursor.position();
                def.name = cursor.identifier("the environment variable name");
                cursor.punctuation(':');
                def.size = cursor.integer("the data size");
                cursor.finish();
                definitions_.environmentData.push_back(def);
            } else if (keyword == "VAL_TABLE_") {
                ValueTableDef def{cursor.position(), cursor.identifier("the value table name"), {}};
                def.entries = readValueEntries(cursor);
                cursor.finish();
                definitions_.valueTables.push_back(std::move(def));
            } else if (keyword == "VAL_") {
                readValueDescription(cursor);
            } else if (keyword == "SIG_VALTYPE_") {
                ValueTypeDef def;
                def.signal = readSignalRef(cursor);
                cursor.acceptPunctuation(':');
                def.typePosition = cursor.position();
                def.type = cursor.integer("the value type");
                cursor.finish();
                definitions_.valueTypes.push_back(def);
            } else if (keyword == "SG_MUL_VAL_") {
                readMuxValues(cursor);
            } else if (keyword == "BO_TX_BU_") {
                TransmittersDef def;
                def.message.kind = ObjectKind::kMessage;
                def.message.position = cursor.position();
                def.message.rawId = cursor.unsignedInteger("a message ID");
                cursor.punctuation(':');
                while (!cursor.atLineEnd() && !cursor.peekPunctuation(';')) {
                    def.nodes.push_back(cursor.identifier("a node name"));
                    cursor.acceptPunctuation(',');
                }
                cursor.finish();
                definitions_.transmitters.push_back(std::move(def));
            } else {
                sink_.warning(db::Topic::kSyntax, first, "unknown section " + quoted(first) + " skipped");
                return false;
            }
            messageOpen_ = false;
            return true;
        } catch (const StatementError& error) {
            sink_.error(db::Topic::kSyntax, error.position, std::string(keyword) + " statement skipped: " + error.text);
            return false;
        }
    }

    static bool isIgnored(std::string_view keyword) {
        for (std::string_view ignored : kIgnoredSections)
            if (keyword == ignored) return true;
        return false;
    }

    // Each name is handed on as it is read, so that a list of any length
    // costs no more than its names; what is not a name is skipped alone.
    void readNodes(StatementCursor& cursor) {
        cursor.punctuation(':');
        while (!cursor.atEnd()) {
            const Position at = cursor.position();
            if (cursor.peekKind(TokenKind::kIdentifier)) {
                receiver_.node(at, cursor.next().text);
            } else if (!cursor.acceptPunctuation(',')) {
                sink_.error(db::Topic::kSyntax, at, "BU_ list: " + cursor.describe() + " is not a node name; skipped");
                cursor.next();
            }
        }
    }

    void readMessage(StatementCursor& cursor, const Token& keyword) {
        MessageDef def;
        def.position = {keyword.line, keyword.column};
        def.rawId = cursor.unsignedInteger("a message ID");
        def.name = cursor.identifier("the message name");
        cursor.punctuation(':');
        def.length = cursor.integer("the message length");
        if (!cursor.atLineEnd()) def.sender = cursor.identifier("the sending node");
        if (!cursor.atLineEnd()) cursor.fail("unexpected " + cursor.describe() + " after the sender");
        const char* next = stream_.current().text.data();
        if (!stream_.atEnd() && next >= text_.data() && next <= text_.data() + text_.size())
            def.signalLines = countSignalLines(text_.substr(static_cast<size_t>(next - text_.data())));
        receiver_.message(def);
    }

    void readSignal(StatementCursor& cursor, const Token& keyword) {
        // One record for all signals, so that its receiver list keeps its room.
        SignalDef& def = signal_;
        def.receivers.clear();
        def.mux = MuxIndicator::kNone;
        def.muxValue = 0;
        def.isSigned = false;
        def.position = {keyword.line, keyword.column};
        def.name = cursor.identifier("the signal name");
        if (cursor.peekKind(TokenKind::kIdentifier)) {
            const Position at = cursor.position();
            readMuxIndicator(cursor.next().text, at, def);
        }
        cursor.punctuation(':');
        def.startBit = cursor.integer("the start bit");
        cursor.punctuation('|');
        def.length = cursor.integer("the bit length");
        cursor.punctuation('@');
        const Position orderAt = cursor.position();
        const int64_t order = cursor.integer("the byte order");
        if (order != 0 && order != 1) throw StatementError{orderAt, "the byte order must be 0 or 1"};
        def.bigEndian = order == 0;
        if (cursor.acceptPunctuation('-')) {
            def.isSigned = true;
        } else {
            cursor.punctuation('+');
        }
        cursor.punctuation('(');
        def.factor = cursor.real("the factor");
        cursor.punctuation(',');
        def.offset = cursor.real("the offset");
        cursor.punctuation(')');
        readRangeAndUnit(cursor, def.minimum, def.maximum, def.unit);
        while (!cursor.atLineEnd()) {
            def.receivers.push_back(cursor.identifier("a receiving node"));
            cursor.acceptPunctuation(',');
        }
        receiver_.signal(def);
    }

    static void readMuxIndicator(std::string_view text, Position at, SignalDef& def) {
        if (text == "M" || text == "m") {
            def.mux = text == "M" ? MuxIndicator::kSwitch : MuxIndicator::kBare;
            return;
        }
        std::string_view digits = text.substr(text.empty() ? 0 : 1);
        bool alsoSwitch = !digits.empty() && digits.back() == 'M';
        if (alsoSwitch) digits.remove_suffix(1);
        if (text.empty() || text[0] != 'm' || digits.empty() || !readUnsigned(digits, &def.muxValue) ||
            digits.find_first_not_of("0123456789") != std::string_view::npos) {
            throw StatementError{at, "'" + std::string(text) + "' is not a multiplexer indicator (M, m<k> or m<k>M)"};
        }
        def.mux = alsoSwitch ? MuxIndicator::kMultiplexedSwitch : MuxIndicator::kMultiplexed;
    }

    ObjectRef readSignalRef(StatementCursor& cursor) {
        ObjectRef ref;
        ref.kind = ObjectKind::kSignal;
        ref.position = cursor.position();
        ref.rawId = cursor.unsignedInteger("a message ID");
        ref.name = cursor.identifier("a signal name");
        return ref;
    }

    // After CM_ and BA_: the object, or none for the network.
    ObjectRef readObject(StatementCursor& cursor) {
        ObjectRef ref;
        ref.position = cursor.position();
        if (!cursor.peekKind(TokenKind::kIdentifier)) return ref;
        const std::string_view kind = cursor.next().text;
        if (kind == "BU_") {
            ref.kind = ObjectKind::kNode;
            ref.name = cursor.identifier("a node name");
        } else if (kind == "BO_") {
            ref.kind = ObjectKind::kMessage;
            ref.rawId = cursor.unsignedInteger("a message ID");
        } else if (kind == "SG_") {
            ref.kind = ObjectKind::kSignal;
            ref.rawId = cursor.unsignedInteger("a message ID");
            ref.name = cursor.identifier("a signal name");
        } else if (kind == "EV_") {
            ref.kind = ObjectKind::kEnvironmentVariable;
            ref.name = cursor.identifier("an environment variable name");
        } else {
            throw StatementError{ref.position, "'" + std::string(kind) + "' is not BU_, BO_, SG_ or EV_"};
        }
        return ref;
    }

    // After BA_REL_'s name: a node with a message, a signal or an environment variable.
    ObjectRef readRelation(StatementCursor& cursor) {
        ObjectRef ref;
        ref.position = cursor.position();
        const std::string_view kind = cursor.identifier("BU_BO_REL_, BU_SG_REL_ or BU_EV_REL_");
        ref.node = cursor.identifier("a node name");
        if (kind == "BU_BO_REL_") {
            ref.kind = ObjectKind::kNodeMessage;
            ref.rawId = cursor.unsignedInteger("a message ID");
        } else if (kind == "BU_SG_REL_") {
            ref.kind = ObjectKind::kNodeSignal;
            if (!cursor.peekIdentifier("SG_")) cursor.fail("expected SG_, found " + cursor.describe());
            cursor.next();
            ref.rawId = cursor.unsignedInteger("a message ID");
            ref.name = cursor.identifier("a signal name");
        } else if (kind == "BU_EV_REL_") {
            ref.kind = ObjectKind::kNodeEnvironmentVariable;
            ref.name = cursor.identifier("an environment variable name");
        } else {
            throw StatementError{ref.position,
                                 "'" + std::string(kind) + "' is not BU_BO_REL_, BU_SG_REL_ or BU_EV_REL_"};
        }
        return ref;
    }

    void readComment(StatementCursor& cursor) {
        CommentDef def;
        def.object = readObject(cursor);
        def.text = cursor.string("the comment");
        cursor.finish();
        definitions_.comments.push_back(std::move(def));
    }

    void readAttributeDefinition(StatementCursor& cursor) {
        AttributeDefinitionDef def;
        def.position = cursor.position();
        if (cursor.peekKind(TokenKind::kIdentifier)) {
            const Position at = cursor.position();
            const std::string_view kind = cursor.next().text;
            const auto* it = std::find_if(std::begin(kObjectKeywords), std::end(kObjectKeywords),
                                          [&](const auto& entry) { return entry.first == kind; });
            if (it == std::end(kObjectKeywords))
                throw StatementError{at, "'" + std::string(kind) + "' is not an object kind"};
            def.kind = it->second;
        }
        def.name = cursor.string("the attribute name");
        const std::string_view type = cursor.identifier("the attribute type");
        if (type == "INT" || type == "HEX" || type == "FLOAT") {
            def.type = type == "INT"   ? db::AttributeType::kInt
                       : type == "HEX" ? db::AttributeType::kHex
                                       : db::AttributeType::kFloat;
            // The range is optional: many files write "INT" alone.
            if (cursor.peekKind(TokenKind::kNumber)) {
                def.minimum = cursor.real("the minimum");
                def.maximum = cursor.real("the maximum");
            }
        } else if (type == "STRING") {
            def.type = db::AttributeType::kString;
        } else if (type == "ENUM") {
            def.type = db::AttributeType::kEnum;
            while (cursor.peekKind(TokenKind::kString)) {
                def.enumValues.push_back(cursor.string("an enumeration value"));
                cursor.acceptPunctuation(',');
            }
        } else {
            cursor.fail("'" + std::string(type) + "' is not INT, HEX, FLOAT, STRING or ENUM");
        }
        cursor.finish();
        definitions_.attributeDefinitions.push_back(std::move(def));
    }

    static AttributeValue readAttributeValue(StatementCursor& cursor) {
        if (cursor.peekKind(TokenKind::kString)) return cursor.string("the value");
        return cursor.real("the value");
    }

    void readAttribute(StatementCursor& cursor, bool relation) {
        AttributeValueDef def;
        def.position = cursor.position();
        def.name = cursor.string("the attribute name");
        def.object = relation ? readRelation(cursor) : readObject(cursor);
        def.value = readAttributeValue(cursor);
        cursor.finish();
        definitions_.attributeValues.push_back(std::move(def));
    }

    static std::vector<ValueEntry> readValueEntries(StatementCursor& cursor) {
        std::vector<ValueEntry> entries;
        while (cursor.peekKind(TokenKind::kNumber)) {
            const int64_t value = cursor.integer("a raw value");
            entries.push_back({value, cursor.string("the value's text")});
        }
        return entries;
    }

    void readValueDescription(StatementCursor& cursor) {
        ValueDescriptionDef def;
        if (cursor.peekKind(TokenKind::kNumber)) {
            def.signal = readSignalRef(cursor);
        } else {
            def.signal.kind = ObjectKind::kEnvironmentVariable;
            def.signal.position = cursor.position();
            def.signal.name = cursor.identifier("a signal or environment variable");
        }
        if (cursor.peekKind(TokenKind::kIdentifier)) {
            def.tablePosition = cursor.position();
            def.tableName = cursor.next().text;
        } else {
            def.entries = readValueEntries(cursor);
        }
        cursor.finish();
        definitions_.valueDescriptions.push_back(std::move(def));
    }

    void readSignalGroup(StatementCursor& cursor) {
        SignalGroupDef def;
        def.message.kind = ObjectKind::kMessage;
        def.message.position = cursor.position();
        def.message.rawId = cursor.unsignedInteger("a message ID");
        def.name = cursor.identifier("the group name");
        def.repetitions = cursor.integer("the repetitions");
        cursor.punctuation(':');
        def.signals = readNames(cursor, "a signal name");
        definitions_.signalGroups.push_back(std::move(def));
    }

    // EV_ name : type [minimum|maximum] "unit" initial id access nodes;
    void readEnvironmentVariable(StatementCursor& cursor) {
        EnvironmentVariableDef def;
        def.position = cursor.position();
        def.name = cursor.identifier("the environment variable name");
        cursor.punctuation(':');
        def.type = cursor.integer("the variable type");
        readRangeAndUnit(cursor, def.minimum, def.maximum, def.unit);
        def.initialValue = cursor.real("the initial value");
        def.id = cursor.unsignedInteger("the variable's ID");
        def.accessType = cursor.identifier("the access type");
        def.accessNodes = readNames(cursor, "a node name");
        definitions_.environmentVariables.push_back(std::move(def));
    }

    // "[minimum|maximum] "unit"", as signals and environment variables give them.
    template <typename Text>
    static void readRangeAndUnit(StatementCursor& cursor, double& minimum, double& maximum, Text& unit) {
        cursor.punctuation('[');
        minimum = cursor.real("the minimum");
        cursor.punctuation('|');
        maximum = cursor.real("the maximum");
        cursor.punctuation(']');
        unit = cursor.string("the unit");
    }

    // Names separated by blanks or commas, up to the closing ';'.
    static std::vector<std::string_view> readNames(StatementCursor& cursor, const char* what) {
        std::vector<std::string_view> names;
        while (!cursor.atEnd() && !cursor.peekPunctuation(';')) {
            names.push_back(cursor.identifier(what));
            cursor.acceptPunctuation(',');
        }
        cursor.finish();
        return names;
    }

    void readMuxValues(StatementCursor& cursor) {
        MuxValuesDef def;
        const ObjectRef signal = readSignalRef(cursor);
        def.signal = {signal.rawId, signal.name, signal.position};
        std::vector<MuxRangeDef>& ranges = definitions_.muxRanges;
        def.firstRange = static_cast<uint32_t>(ranges.size());
        // A statement skipped leaves no ranges behind.
        struct Rollback {
            std::vector<MuxRangeDef>& ranges;
            size_t size;
            bool done = false;
            ~Rollback() {
                if (!done) ranges.resize(size);
            }
        } rollback{ranges, ranges.size()};
        def.switchPosition = cursor.position();
        def.switchName = cursor.identifier("the switch name");
        do {
            // "3-5" reads as the numbers 3 and -5.
            MuxRangeDef range{};
            const Position at = cursor.position();
            range.low = cursor.unsignedInteger("the range's first value");
            std::string_view high;
            if (cursor.peekKind(TokenKind::kNumber) && cursor.peek().text[0] == '-') {
                high = cursor.next().text.substr(1);
            } else {
                cursor.punctuation('-');
                if (!cursor.peekKind(TokenKind::kNumber)) cursor.fail("expected the range's last value");
                high = cursor.next().text;
            }
            if (!readUnsigned(high, &range.high)) throw StatementError{at, "the range's last value is not a number"};
            if (range.high < range.low) throw StatementError{at, "the range ends before it starts"};
            ranges.push_back(range);
        } while (cursor.acceptPunctuation(','));
        cursor.finish();
        def.rangeCount = static_cast<uint32_t>(ranges.size() - def.firstRange);
        definitions_.muxValues.push_back(def);
        rollback.done = true;
    }

    std::string_view text_;
    TokenStream stream_;
    DiagnosticSink& sink_;
    Definitions definitions_;
    DefinitionReceiver& receiver_;
    SignalDef signal_;
    bool messageOpen_ = false;  // a BO_ was read, and nothing but its signals since
};

}  // namespace

Definitions parseDefinitions(std::string_view text, DiagnosticSink& sink, DefinitionReceiver& receiver) {
    return DefinitionParser(text, sink, receiver).run();
}

}  // namespace canxlate::dbc
