#pragma once

#include <memory>

#include "platform/foundation/values.h"

// Offered to every object: one-button alerts whose title is set beforehand and kept in the
// widget-wide `titleString` until the next alert uses it up. Exported for other components.
TESSARY_EXPORT void setQuickQlertTitle(const std::shared_ptr<NSObject>& title);
TESSARY_EXPORT void quickAlert(const std::shared_ptr<NSObject>& message);
TESSARY_EXPORT void quickAlertWithObjectWithObject(const std::shared_ptr<NSObject>& first,
                                                   const std::shared_ptr<NSObject>& second);
