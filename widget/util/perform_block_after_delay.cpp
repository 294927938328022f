#include "widget/util/perform_block_after_delay.h"

#include "platform/foundation/run_loop.h"

void performBlockAfterDelay(const std::shared_ptr<NSObject>& receiver, std::function<void()> block,
                            double delay) {
  if (!block) return;
  NSRunLoop::mainRunLoop().addTimer(
      delay, [receiver, block = std::move(block)] { fireBlockAfterDelay(receiver, block); });
}

void fireBlockAfterDelay(const std::shared_ptr<NSObject>&, const std::function<void()>& block) {
  if (block) block();
}
