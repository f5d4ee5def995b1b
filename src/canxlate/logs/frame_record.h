// One CAN or CAN FD frame as the log readers deliver it and the log writers
// take it. The same record serves every format, so converting a log is a read
// into an array of records followed by a write of that array.
#pragma once

#include <cstdint>

namespace canxlate::logs {

inline constexpr uint32_t kLargestStandardId = 0x7FF;
inline constexpr uint32_t kExtendedIdMask = 0x1FFFFFFF;
inline constexpr int kLargestDataLength = 64;
inline constexpr int kClassicDataLength = 8;
// Error frames follow SocketCAN: the error class in the ID (candump writes it
// with the error flag), 8 data bytes of details. Logs that only say "error
// frame" give a bus error (CAN_ERR_BUSERROR) with 8 zero bytes.
inline constexpr uint32_t kErrorFrameFlag = 0x20000000;
inline constexpr uint32_t kBusErrorClass = 0x80;

// Bits of FrameRecord::flags.
enum FrameFlag : uint16_t {
    kExtendedId = 1u << 0,     // 29-bit identifier
    kFlexibleData = 1u << 1,   // CAN FD frame (EDL)
    kBitRateSwitch = 1u << 2,  // CAN FD: data phase at the higher bit rate
    kErrorStateIndicator = 1u << 3,
    kRemoteFrame = 1u << 4,
    kErrorFrame = 1u << 5,
};

enum class Direction : uint8_t { kUnknown, kReceived, kTransmitted };

inline constexpr int kInterfaceNameCapacity = 16;  // with the terminating zero

struct FrameRecord {
    // Nanoseconds since 1970-01-01 UTC when the log gives a start date (ASC
    // date line, BLF header), else since the log's own zero (candump gives
    // epoch seconds itself). Every format stores at most nanoseconds, so the
    // integer is exact; seconds is the same instant as a double for callers
    // that compute with it.
    int64_t timestampNs = 0;
    double seconds = 0;
    uint32_t id = 0;       // 11 or 29 bits; the error class of error frames
    uint16_t flags = 0;    // FrameFlag bits
    uint16_t channel = 0;  // counted from 0 (ASC and BLF write it plus one)
    // candump's interface (e.g. "can0"), zero-terminated; empty for formats
    // that number their channels.
    char interfaceName[kInterfaceNameCapacity] = {};
    Direction direction = Direction::kUnknown;
    uint8_t dlc = 0;     // the data length code as the log gives it (0..15)
    uint8_t length = 0;  // data bytes in data (0..64); 0 for remote frames
    uint8_t data[kLargestDataLength] = {};

    bool has(FrameFlag flag) const { return (flags & flag) != 0; }
};

// The smallest CAN FD data length code for a length.
int dlcOfLength(int length);

}  // namespace canxlate::logs
