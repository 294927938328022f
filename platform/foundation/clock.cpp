#include "platform/foundation/clock.h"

#include <time.h>

Clock::~Clock() = default;

namespace {
std::shared_ptr<Clock>& slot() {
  static std::shared_ptr<Clock> clock = std::make_shared<SystemClock>();
  return clock;
}
}  // namespace

Clock& Clock::current() {
  return *slot();
}
std::shared_ptr<Clock> Clock::currentShared() {
  return slot();
}
void Clock::setCurrent(std::shared_ptr<Clock> clock) {
  slot() = clock ? std::move(clock) : std::make_shared<SystemClock>();
}

double SystemClock::monotonic() const {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double SystemClock::wall() const {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<double>(now.tv_sec) - kReferenceDateUnixTime +
         static_cast<double>(now.tv_nsec) * 1e-9;
}
