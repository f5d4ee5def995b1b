// A node (an ECU) of a database.
#pragma once

#include <string>

#include "canxlate/database/attribute.h"

namespace canxlate::db {

struct Node {
    std::string name;
    std::string comment;
    AttributeList attributes;
};

}  // namespace canxlate::db
