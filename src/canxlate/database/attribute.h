// Attributes as a database file declares and gives them: definitions with
// their type, range and default, and values attached to the network, a node,
// a message, a signal, an environment variable or a relation between a node
// and one of the others.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace canxlate::db {

// The values of the C header's CXL_ATTRIBUTE_*.
enum class AttributeType : int32_t { kInt = 0, kHex = 1, kFloat = 2, kString = 3, kEnum = 4 };

// The values of the C header's CXL_OBJECT_*.
enum class ObjectKind : int32_t {
    kNetwork = 0,
    kNode = 1,
    kMessage = 2,
    kSignal = 3,
    kEnvironmentVariable = 4,
    kNodeMessage = 5,              // a node and a message it sends or receives
    kNodeSignal = 6,               // a node and a signal it receives
    kNodeEnvironmentVariable = 7,  // a node and an environment variable
};

inline bool isRelation(ObjectKind kind) noexcept { return kind >= ObjectKind::kNodeMessage; }

// A typed value: numbers for INT, HEX and FLOAT; text for STRING; for ENUM
// both, the index into the definition's values and its text.
struct AttributeValue {
    double number = 0.0;
    std::string text;
};

struct AttributeDefinition {
    std::string name;
    ObjectKind kind = ObjectKind::kNetwork;
    AttributeType type = AttributeType::kString;
    double minimum = 0.0;  // INT, HEX and FLOAT
    double maximum = 0.0;
    std::vector<std::string> enumValues;
    bool hasDefault = false;
    AttributeValue defaultValue;
};

// A value given to one object.
struct Attribute {
    std::string name;
    AttributeType type = AttributeType::kString;
    AttributeValue value;
};

using AttributeList = std::vector<Attribute>;

// Null when the list holds no value of that name.
inline const Attribute* findAttribute(const AttributeList& list, std::string_view name) noexcept {
    for (const Attribute& attribute : list)
        if (attribute.name == name) return &attribute;
    return nullptr;
}

// A value given to a node together with a message, a signal or an
// environment variable; the names as the file writes them.
struct RelationAttribute {
    ObjectKind kind = ObjectKind::kNodeMessage;
    std::string node;
    uint32_t message = 0;  // index in the database (node-message and node-signal)
    std::string signal;
    std::string environmentVariable;
    Attribute attribute;
};

}  // namespace canxlate::db
