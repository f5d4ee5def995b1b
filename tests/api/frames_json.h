// Reader for the "*.frames.json" files that accompany the real-world DBC files:
// {"dbc": "NAME.dbc", "frames": [{"id": N, "data": "16 hex digits", "signals": {"name": value, ...}}, ...]}
// It accepts exactly that shape (keys in any order) and nothing else, so a
// frames file that is not what the comparison expects fails loudly.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace canxlate::test {

struct ExpectedFrame {
    uint32_t messageId = 0;
    std::array<uint8_t, 8> payload{};
    // Plain signal name and physical value, in file order; names are unique.
    std::vector<std::pair<std::string, double>> signals;
};

struct FramesFile {
    std::string dbcFileName;
    std::vector<ExpectedFrame> frames;
};

class FramesJsonError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws FramesJsonError, naming the byte offset, for anything outside the shape.
FramesFile parseFramesJson(std::string_view text);

// Reads the whole file; throws FramesJsonError when it cannot be read.
FramesFile readFramesJsonFile(const std::string& path);

}  // namespace canxlate::test
