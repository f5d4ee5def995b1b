// A node (an ECU) of a database.
#pragma once

#include <string>

#include "canxlate/database/attribute.h"
#include "canxlate/database/out_of_line.h"
#include "shared/text/short_text.h"

namespace canxlate::db {

// What few nodes are given.
struct NodeDetails {
    std::string comment;
    AttributeList attributes;
};

struct Node {
    ShortText name;
    OutOfLine<NodeDetails> details;
};

}  // namespace canxlate::db
