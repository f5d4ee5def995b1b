// What the first pass reads from a DBC file: one record per statement, each
// remembering where it stands, with names still unresolved. The second pass
// (model_builder) resolves the references and builds the model.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "canxlate/database/attribute.h"
#include "canxlate/database/diagnostic.h"

namespace canxlate::dbc {

struct Position {
    uint32_t line = 0;
    uint32_t column = 0;
};

// kBare: an 'm' without a value, taken for the switch of a message that has
// no 'M'.
enum class MuxIndicator : uint8_t { kNone, kSwitch, kMultiplexed, kMultiplexedSwitch, kBare };

struct SignalDef {
    Position position;
    std::string_view name;
    MuxIndicator mux = MuxIndicator::kNone;
    uint64_t muxValue = 0;
    int64_t startBit = 0;
    int64_t length = 0;
    bool bigEndian = false;
    bool isSigned = false;
    double factor = 1.0;
    double offset = 0.0;
    double minimum = 0.0;
    double maximum = 0.0;
    std::string unit;
    std::vector<std::string_view> receivers;
};

struct MessageDef {
    Position position;
    uint64_t rawId = 0;
    std::string_view name;
    int64_t length = 0;
    std::string_view sender;
    uint32_t signalLines = 0;  // how many SG_ lines follow it: room for its signals
};

// The object a comment or attribute value is attached to.
using db::ObjectKind;

struct ObjectRef {
    ObjectKind kind = ObjectKind::kNetwork;
    uint64_t rawId = 0;     // messages and signals
    std::string_view name;  // nodes, signals and environment variables
    std::string_view node;  // the node of a relation
    Position position;      // of the reference, for diagnostics
};

struct CommentDef {
    ObjectRef object;
    std::string text;
};

using AttributeValue = std::variant<double, std::string>;

struct AttributeDefinitionDef {
    Position position;
    ObjectKind kind = ObjectKind::kNetwork;
    std::string name;
    db::AttributeType type = db::AttributeType::kString;
    double minimum = 0.0;
    double maximum = 0.0;
    std::vector<std::string> enumValues;
};

struct AttributeDefaultDef {
    Position position;
    std::string name;
    AttributeValue value;
    bool relation = false;  // BA_DEF_DEF_REL_
};

struct AttributeValueDef {
    Position position;
    std::string name;
    ObjectRef object;
    AttributeValue value;
};

struct ValueEntry {
    int64_t value;
    std::string text;
};

struct ValueTableDef {
    Position position;
    std::string_view name;
    std::vector<ValueEntry> entries;
};

struct ValueDescriptionDef {
    ObjectRef signal;
    std::string_view tableName;  // "VAL_ id signal TableName;" names a VAL_TABLE_
    Position tablePosition;
    std::vector<ValueEntry> entries;
};

struct ValueTypeDef {
    ObjectRef signal;
    int64_t type = 0;  // 1 IEEE single, 2 IEEE double
    Position typePosition;
};

struct MuxRangeDef {
    uint64_t low;
    uint64_t high;
};

// A signal by its message's ID and its name, where a statement names only signals.
struct SignalRef {
    uint64_t rawId = 0;
    std::string_view name;
    Position position;  // of the reference, for diagnostics

    ObjectRef object() const noexcept { return {ObjectKind::kSignal, rawId, name, {}, position}; }
};

// Its ranges lie in Definitions::muxRanges: a file may hold a line for every signal.
struct MuxValuesDef {
    SignalRef signal;
    std::string_view switchName;
    Position switchPosition;
    uint32_t firstRange = 0;
    uint32_t rangeCount = 0;
};

struct TransmittersDef {
    ObjectRef message;
    std::vector<std::string_view> nodes;
};

struct SignalGroupDef {
    ObjectRef message;
    std::string_view name;
    int64_t repetitions = 1;
    std::vector<std::string_view> signals;
};

struct EnvironmentVariableDef {
    Position position;
    std::string_view name;
    int64_t type = 0;
    double minimum = 0.0;
    double maximum = 0.0;
    std::string unit;
    double initialValue = 0.0;
    uint64_t id = 0;
    std::string_view accessType;
    std::vector<std::string_view> accessNodes;
};

struct EnvironmentDataDef {
    Position position;
    std::string_view name;
    int64_t size = 0;
};

// What the first pass keeps for the second. Nodes and messages are handed on
// as they are read (DefinitionReceiver), so that the largest parts of a file
// never wait here.
struct Definitions {
    std::string version;
    std::vector<std::string_view> newSymbols;
    std::string busSpeed;
    // Deques: applied front first, each gives its room back as it goes, to
    // what applying it makes.
    std::deque<CommentDef> comments;
    std::vector<AttributeDefinitionDef> attributeDefinitions;
    std::vector<AttributeDefaultDef> attributeDefaults;
    std::deque<AttributeValueDef> attributeValues;
    std::vector<ValueTableDef> valueTables;
    std::deque<ValueDescriptionDef> valueDescriptions;
    std::vector<ValueTypeDef> valueTypes;
    std::vector<MuxValuesDef> muxValues;
    std::vector<MuxRangeDef> muxRanges;  // of muxValues, one after another
    std::vector<TransmittersDef> transmitters;
    std::vector<SignalGroupDef> signalGroups;
    std::vector<EnvironmentVariableDef> environmentVariables;
    std::vector<EnvironmentDataDef> environmentData;
};

class DiagnosticSink;

class DefinitionReceiver {
public:
    virtual void node(Position position, std::string_view name) = 0;
    virtual void message(MessageDef& message) = 0;
    // A signal of the last message; the receiver may take what it holds.
    virtual void signal(SignalDef& signal) = 0;

protected:
    ~DefinitionReceiver() = default;
};

// First pass: every statement into its record; a statement that does not
// read is skipped with a diagnostic. Views point into text.
Definitions parseDefinitions(std::string_view text, DiagnosticSink& sink, DefinitionReceiver& receiver);

}  // namespace canxlate::dbc
