#pragma once

#include <functional>
#include <memory>

#include "platform/foundation/objc.h"

// Offered to every object: runs a block once on the main run loop after a delay in seconds.
// The pending call keeps the receiver and the block (and what it captured) alive until it has
// run; it cannot be cancelled. Exported for other components loaded into the host.
TESSARY_EXPORT void performBlockAfterDelay(const std::shared_ptr<NSObject>& receiver,
                                           std::function<void()> block, double delay);
// What a delayed call delivers: runs the block at once.
TESSARY_EXPORT void fireBlockAfterDelay(const std::shared_ptr<NSObject>& receiver,
                                        const std::function<void()>& block);
