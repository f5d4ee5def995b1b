#include "status_names.h"

#include "canxlatelib.h"

namespace canxlate::cli {

std::string statusName(int32_t status) {
    switch (status) {
        case kSuccess: return "kSuccess";
        case kWarnBitsOverlap: return "kWarnBitsOverlap";
        case kWarnMessageNotFound: return "kWarnMessageNotFound";
        case kErrDuplicateChannelName: return "kErrDuplicateChannelName";
        case kErrInvalidTable: return "kErrInvalidTable";
        case kErrNullArgument: return "kErrNullArgument";
        case kErrInvalidByteOrder: return "kErrInvalidByteOrder";
        case kErrInvalidDataType: return "kErrInvalidDataType";
        case kErrFileFormat: return "kErrFileFormat";
        case kErrInvalidBitLayout: return "kErrInvalidBitLayout";
        case kErrUnknownMessage: return "kErrUnknownMessage";
        case kErrInvalidMessageSize: return "kErrInvalidMessageSize";
        case kErrTableInUse: return "kErrTableInUse";
        case kErrOutOfMemory: return "kErrOutOfMemory";
        default: return "status " + std::to_string(status);
    }
}

}  // namespace canxlate::cli
