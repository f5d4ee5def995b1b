// A database as DBC text, in one canonical layout: sections in a fixed
// order, one statement a line, value texts from the highest raw value down,
// numbers in the shortest form that reads back as the same double.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "canxlate/database/database.h"

namespace canxlate::dbc {

// Departures from the canonical layout.
struct WriteOptions {
    bool longNames = false;          // names over 32 characters whole, and no long-name attributes
    bool valueTextsAsGiven = false;  // value texts in the order read or given
    // Empty, or for every message in turn its signal indexes in the order
    // that comments, attributes and value texts name them.
    std::vector<uint32_t> signalOrder;
    // The same for the signal lines (SG_).
    std::vector<uint32_t> lineOrder;
    // Empty, or the order of the attribute values: the i-th written is the
    // attributeOrder[i]-th of those written without it.
    std::vector<uint32_t> attributeOrder;
};

// What a DBC file says of a message by its ID (comment, attributes, value
// texts ...) a reader gives to the first message of that ID: a sentence
// naming the first later message of a shared ID that has any of it, which
// the writer leaves out; "" when there is none. Throws std::bad_alloc.
std::string ambiguousReferences(const db::Database& database, const WriteOptions& options);

// Throws std::bad_alloc.
std::string writeDbc(const db::Database& database);
// False, with out left empty, when an order is not a permutation of what it
// orders. Throws std::bad_alloc.
bool writeDbc(const db::Database& database, const WriteOptions& options, std::string& out);

// The shortest text that reads back as value: integers without a fraction,
// an exponent only for very small or large magnitudes.
void appendNumber(std::string& out, double value);

// Text between double quotes: '"' and a '\' that a reader would take as an
// escape are escaped with '\'.
void appendQuoted(std::string& out, std::string_view text);

}  // namespace canxlate::dbc
