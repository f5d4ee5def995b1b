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

// Only the database names a node (Database::addNode, renameNodes), so that its
// lookup by name always holds: a node is never assigned over.
class Node {
public:
    explicit Node(std::string_view name) : name_(name) {}
    Node(const Node&) = default;
    Node(Node&&) noexcept = default;
    Node& operator=(const Node&) = delete;
    Node& operator=(Node&&) = delete;

    const ShortText& name() const noexcept { return name_; }
    OutOfLine<NodeDetails> details;

private:
    friend struct Database;
    ShortText name_;
};

}  // namespace canxlate::db
