// The C handles are the model's own objects seen through opaque types.
#pragma once

#include <new>

#include "canxlate.h"
#include "canxlate/database/database.h"

struct cxl_database {
    canxlate::db::Database model;
};

namespace canxlate::capi {

inline const db::Message* toMessage(const cxl_message* message) noexcept {
    return reinterpret_cast<const db::Message*>(message);
}
inline const cxl_message* toHandle(const db::Message* message) noexcept {
    return reinterpret_cast<const cxl_message*>(message);
}
inline const db::Signal* toSignal(const cxl_signal* signal) noexcept {
    return reinterpret_cast<const db::Signal*>(signal);
}
inline const cxl_signal* toHandle(const db::Signal* signal) noexcept {
    return reinterpret_cast<const cxl_signal*>(signal);
}

// Runs body, turning any exception into a status.
template <typename Body>
cxl_status guarded(Body body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return CXL_ERR_NO_MEMORY;
    } catch (...) {
        return CXL_ERR_INTERNAL;
    }
}

}  // namespace canxlate::capi
