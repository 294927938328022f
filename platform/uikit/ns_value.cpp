#include "platform/uikit/ns_value.h"

#include "platform/foundation/format.h"

std::string NSValue::description() const {
  return stringWithFormat(
      "NSRect: {{%@, %@}, {%@, %@}}",
      {NSNumber::numberWithDouble(rect_.origin.x), NSNumber::numberWithDouble(rect_.origin.y),
       NSNumber::numberWithDouble(rect_.size.width),
       NSNumber::numberWithDouble(rect_.size.height)});
}
