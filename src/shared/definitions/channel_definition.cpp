#include "shared/definitions/channel_definition.h"

namespace canxlate {

ChannelDefinition::ChannelDefinition(const char* name_, const char* unit_, uint32_t startBit_, uint32_t bitCount_,
                                     uint32_t dataType_, uint32_t byteOrder_, double factor_, double offset_,
                                     double minimum_, double maximum_, uint32_t messageId_, uint32_t payloadSize_)
    : name(name_ ? name_ : ""),
      unit(unit_ ? unit_ : ""),
      startBit(startBit_),
      bitCount(bitCount_),
      dataType(dataType_),
      byteOrder(byteOrder_),
      factor(factor_),
      offset(offset_),
      minimum(minimum_),
      maximum(maximum_),
      messageId(messageId_),
      payloadSize(payloadSize_),
      limitsEnabled(!(minimum_ == maximum_ && maximum_ == 0.0)) {}

}  // namespace canxlate
