// One line of a candump log. The parser belongs to the log readers of the
// library's sources; the program uses it under its own names.
#pragma once

#include "logs/candump_line.h"

namespace canxlate::cli {

using logs::FrameKind;
using logs::LineKind;
using logs::LogFrame;
using logs::ParsedLine;
using logs::parseLogLine;

}  // namespace canxlate::cli
