#include "message_lookup.h"

namespace canxlate::cli {

MessageLookup::MessageLookup(const std::vector<uint32_t>& ids) {
    unsigned bits = 1;
    while ((std::size_t{1} << bits) < 2 * ids.size()) ++bits;
    slots_.resize(std::size_t{1} << bits);
    mask_ = static_cast<uint32_t>(slots_.size() - 1);
    shift_ = 64 - bits;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        uint32_t slot = hash(ids[i]);
        while (slots_[slot].index != kNotFound) slot = (slot + 1) & mask_;
        slots_[slot] = {ids[i], static_cast<int32_t>(i)};
    }
}

}  // namespace canxlate::cli
