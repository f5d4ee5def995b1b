// An environment variable of a database file, with what the file says of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "canxlate/database/attribute.h"
#include "canxlate/database/value_table.h"

namespace canxlate::db {

struct EnvironmentVariable {
    std::string name;
    int32_t type = 0;  // 0 integer, 1 float, 2 string
    double minimum = 0.0;
    double maximum = 0.0;
    std::string unit;
    double initialValue = 0.0;
    uint64_t id = 0;
    std::string accessType;  // as written: DUMMY_NODE_VECTOR0 .. DUMMY_NODE_VECTOR8003
    std::vector<std::string> accessNodes;
    int64_t dataSize = -1;  // bytes, when the file gives them (ENVVAR_DATA_)
    std::string comment;
    ValueTable values;
    AttributeList attributes;
};

}  // namespace canxlate::db
