// One line of a candump log, in either of the two forms candump writes:
//   log file (-L):  (1700000000.123456) can0 123#1122334455667788 [R|T]
//   screen:           can0  123   [8]  11 22 33 44 55 66 77 88
// The form is recognised per line, so logs of both kinds can be concatenated.
// The screen form may carry a parenthesised timestamp before the interface
// (candump -t), and the log-file form is also taken without its timestamp.
#pragma once

#include <cstdint>
#include <string_view>

#include "canxlate/logs/frame_record.h"

namespace canxlate::logs {

enum class LineKind : uint8_t {
    kBlank,      // nothing but white space
    kFrame,      // a frame: in the record, timestamp and interface in CandumpLine
    kMalformed,  // neither form; CandumpLine::problem says why
};

// What a line gives besides the frame itself: the caller turns the texts into
// the record's time and channel.
struct CandumpLine {
    LineKind kind = LineKind::kBlank;
    std::string_view timestamp;      // without the parentheses; empty when the line has none
    std::string_view interfaceName;  // e.g. can0
    const char* problem = "";        // static text, set for kMalformed
};

// Reads a line's frame into record: id, flags (ID kind, CAN FD, bit rate
// switch, error state, remote, error frame), dlc, length, data (zeros after
// the length) and direction; the other fields are left as they are. Views in
// the result point into line. A trailing carriage return is ignored, so logs
// with CR LF line ends read the same. An 8-digit ID with the error flag
// (0x20000000) is an error frame: its class in the ID, no extended ID of its
// own.
CandumpLine parseLogLine(std::string_view line, FrameRecord& record);

}  // namespace canxlate::logs
