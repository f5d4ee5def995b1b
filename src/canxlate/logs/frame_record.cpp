#include "canxlate/logs/frame_record.h"

namespace canxlate::logs {

namespace {
constexpr uint8_t kFlexibleDataLengths[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 12, 16, 20, 24, 32, 48, 64};
}

int dlcOfLength(int length) {
    int dlc = 0;
    while (dlc < 15 && kFlexibleDataLengths[dlc] < length) ++dlc;
    return dlc;
}

}  // namespace canxlate::logs
