#include "shortest_double.h"

#include <charconv>

namespace canxlate::cli {

char* writeShortestDouble(char* out, double value) {
    return std::to_chars(out, out + kShortestDoubleMaxLength, value).ptr;
}

}  // namespace canxlate::cli
