// The binary logging format's layout: file header, object headers and the
// CAN object bodies the readers and writers handle. All little-endian.
#pragma once

#include <cstdint>
#include <cstring>

namespace canxlate::logs::blf {

inline constexpr char kFileSignature[4] = {'L', 'O', 'G', 'G'};
inline constexpr char kObjectSignature[4] = {'L', 'O', 'B', 'J'};
inline constexpr uint32_t kFileHeaderSize = 144;
inline constexpr uint32_t kStartTimeOffset = 40;  // SYSTEMTIME: 8 16-bit fields
inline constexpr uint32_t kStopTimeOffset = 56;

inline constexpr uint32_t kBaseHeaderSize = 16;  // signature, header size, version, object size, type
inline constexpr uint32_t kHeaderSizeVersion1 = 32;
inline constexpr uint32_t kHeaderSizeVersion2 = 40;
inline constexpr uint32_t kContainerHeaderSize = 16;  // compression method, uncompressed size

inline constexpr uint32_t kTimeTenMicroseconds = 1;  // object header flags
inline constexpr uint32_t kTimeNanoseconds = 2;

enum ObjectType : uint32_t {
    kCanMessage = 1,
    kCanError = 2,
    kLogContainer = 10,
    kCanErrorExtended = 73,
    kCanMessage2 = 86,
    kCanFdMessage = 100,
    kCanFdMessage64 = 101,
    kCanFdError64 = 104,
};

enum CompressionMethod : uint16_t { kNoCompression = 0, kZlibDeflate = 2 };

inline constexpr uint32_t kExtendedIdBit = 0x80000000;
inline constexpr uint8_t kMessageTransmitted = 0x01;  // CAN message flags
inline constexpr uint8_t kMessageRemote = 0x80;
inline constexpr uint8_t kFdExtendedDataLength = 0x1;  // CAN FD message flags
inline constexpr uint8_t kFdBitRateSwitch = 0x2;
inline constexpr uint8_t kFdErrorStateIndicator = 0x4;
inline constexpr uint32_t kFd64Remote = 0x0010;  // CAN FD 64 message flags
inline constexpr uint32_t kFd64ExtendedDataLength = 0x1000;
inline constexpr uint32_t kFd64BitRateSwitch = 0x2000;
inline constexpr uint32_t kFd64ErrorStateIndicator = 0x4000;

// Body sizes (after the object header).
inline constexpr uint32_t kCanMessageSize = 16;  // channel, flags, dlc, id, 8 data bytes
inline constexpr uint32_t kCanErrorSize = 4;
inline constexpr uint32_t kCanErrorExtendedSize = 32;
inline constexpr uint32_t kCanFdMessageSize = 84;
inline constexpr uint32_t kCanFdMessage64Size = 40;  // before its data

inline uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t get32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline uint64_t get64(const uint8_t* p) { return get32(p) | uint64_t{get32(p + 4)} << 32; }
inline void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void put32(uint8_t* p, uint32_t v) {
    put16(p, static_cast<uint16_t>(v));
    put16(p + 2, static_cast<uint16_t>(v >> 16));
}
inline void put64(uint8_t* p, uint64_t v) {
    put32(p, static_cast<uint32_t>(v));
    put32(p + 4, static_cast<uint32_t>(v >> 32));
}

}  // namespace canxlate::logs::blf
