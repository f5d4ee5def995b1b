// One line of a candump log, in either of the two forms candump writes:
//   log file (-L):  (1700000000.123456) can0 123#1122334455667788 [R|T]
//   screen:           can0  123   [8]  11 22 33 44 55 66 77 88
// The form is recognised per line, so logs of both kinds can be concatenated.
// The screen form may carry a parenthesised timestamp before the interface
// (candump -t), and the log-file form is also taken without its timestamp.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace canxlate::logs {

enum class LineKind : uint8_t {
    kBlank,      // nothing but white space
    kFrame,      // a frame, described by LogFrame
    kMalformed,  // neither form; ParsedLine::problem says why
};

enum class FrameKind : uint8_t {
    kData,          // a data frame with at most 8 bytes: decodable
    kRemote,        // remote request: no data
    kFlexibleData,  // CAN FD frame with more than 8 bytes
    kError,         // error frame (error flag 0x20000000 in an 8-digit ID)
};

struct LogFrame {
    std::string_view timestamp;      // without the parentheses; empty when the line has none
    std::string_view interfaceName;  // e.g. can0
    uint32_t id = 0;                 // 11 or 29 bits
    bool extended = false;           // written with 8 digits
    FrameKind kind = FrameKind::kData;
    uint8_t length = 0;                // data bytes the line gives (up to 64)
    std::array<uint8_t, 8> payload{};  // the first 8 of them, zero-padded
    bool flexibleDataForm = false;     // written ID##F... (CAN FD, whatever its length)
    uint8_t flexibleDataFlags = 0;     // the digit after ##: 1 bit rate switch, 2 error state
    char direction = 0;                // 'R' or 'T' when the line ends with one, else 0
    uint8_t dlc = 0;                   // the data length code: the length, R<dlc>, or _<dlc> of an 8-byte frame
};

struct ParsedLine {
    LineKind kind = LineKind::kBlank;
    LogFrame frame;
    std::string_view problem;  // static text, set for kMalformed
};

// The views in the result point into line. A trailing carriage return is
// ignored, so logs with CR LF line ends read the same. With allData, every
// data byte (up to 64) is stored there as well.
ParsedLine parseLogLine(std::string_view line, uint8_t* allData = nullptr);

}  // namespace canxlate::logs
