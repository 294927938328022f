#include "widget/util/perform_block_after_delay.h"

#include "platform/foundation/run_loop.h"

void performBlockAfterDelay(const std::shared_ptr<NSObject>& receiver, std::function<void()> block,
                            double delay) {
  if (!block) return;
  // A delayed block cannot be cancelled: once scheduled, it runs.
  NSRunLoop::mainRunLoop()
      .addTimer(Seconds(delay),
                [receiver, block = std::move(block)] { fireBlockAfterDelay(receiver, block); })
      .detach();
}

void fireBlockAfterDelay(const std::shared_ptr<NSObject>&, const std::function<void()>& block) {
  if (block) block();
}
