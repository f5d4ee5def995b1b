// One remark about a definition file: how serious it is, where it points and
// what it says.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace canxlate::db {

enum class Severity : int32_t { kInfo = 0, kWarning = 1, kError = 2 };

struct Diagnostic {
    Severity severity;
    uint32_t line;    // 1-based; 0 when the remark concerns the whole file
    uint32_t column;  // 1-based
    std::string text;
};

using DiagnosticList = std::vector<Diagnostic>;

}  // namespace canxlate::db
