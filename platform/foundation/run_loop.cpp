#include "platform/foundation/run_loop.h"

#include <poll.h>

#include <algorithm>
#include <cmath>

#include "platform/foundation/clock.h"

NSRunLoop& NSRunLoop::mainRunLoop() {
  static NSRunLoop loop;
  return loop;
}

double NSRunLoop::nowFor(TimeBase base) const {
  static const SystemClock realClock;
  return base == TimeBase::Real ? realClock.monotonic() : Clock::current().monotonic();
}

TimerHandle NSRunLoop::addTimer(Seconds delay, std::function<void()> action, TimeBase base) {
  if (!(delay.count() > 0.0)) delay = Seconds::zero();  // NaN and negative delays mean "soon"
  const TimerId timer = ++sequence_;
  const Key key{nowFor(base) + delay.count(), timer};
  (base == TimeBase::Real ? realQueue_ : clockQueue_).emplace(key, timer);
  timers_.emplace(timer, std::make_pair(key, Timer{key.first, base, std::move(action)}));
  return TimerHandle(*this, timer);
}

void NSRunLoop::cancelTimer(TimerId timer) {
  const auto found = timers_.find(timer);
  if (found == timers_.end()) return;
  auto& queue = found->second.second.base == TimeBase::Real ? realQueue_ : clockQueue_;
  queue.erase(found->second.first);
  timers_.erase(found);
}

void NSRunLoop::addSource(int fd, short events, IoCallback callback) {
  sources_[fd] = {events, std::make_shared<IoCallback>(std::move(callback))};
}

void NSRunLoop::removeSource(int fd) {
  sources_.erase(fd);
}

bool NSRunLoop::runDueTimers(uint64_t limit) {
  // Only timers already due when the turn starts run in it; those they schedule wait for
  // the next turn, so a delayed call never runs inside the call that scheduled it.
  std::vector<TimerId> due;
  for (const auto* queue : {&clockQueue_, &realQueue_}) {
    const double now = nowFor(queue == &realQueue_ ? TimeBase::Real : TimeBase::Clock);
    for (const auto& [key, timer] : *queue) {
      if (key.first > now) break;
      if (timer <= limit) due.push_back(timer);
    }
  }
  std::sort(due.begin(), due.end(),
            [this](TimerId a, TimerId b) { return timers_.at(a).first < timers_.at(b).first; });
  bool ran = false;
  for (const TimerId timer : due) {
    const auto found = timers_.find(timer);
    if (found == timers_.end()) continue;  // cancelled by an earlier timer of this turn
    std::function<void()> action = std::move(found->second.second.action);
    cancelTimer(timer);
    action();
    ran = true;
  }
  return ran;
}

bool NSRunLoop::pollSources(int timeoutMs) {
  if (sources_.empty()) return false;
  std::vector<pollfd> fds;
  fds.reserve(sources_.size());
  for (const auto& [fd, source] : sources_) fds.push_back({fd, source.first, 0});
  const int ready = ::poll(fds.data(), fds.size(), timeoutMs);
  if (ready <= 0) return false;
  bool ran = false;
  for (const pollfd& p : fds) {
    if (p.revents == 0) continue;
    const auto found = sources_.find(p.fd);
    if (found == sources_.end()) continue;       // removed by an earlier callback
    const auto callback = found->second.second;  // kept alive across its own removal
    (*callback)(p.revents);
    ran = true;
  }
  return ran;
}

Seconds NSRunLoop::untilNextTimer() const {
  double wait = INFINITY;
  if (!realQueue_.empty()) wait = realQueue_.begin()->first.first - nowFor(TimeBase::Real);
  // A manual clock never moves by itself, so its timers are no reason to wake up.
  if (!clockQueue_.empty() && !Clock::current().isManual()) {
    wait = std::min(wait, clockQueue_.begin()->first.first - nowFor(TimeBase::Clock));
  }
  return Seconds(std::max(wait, 0.0));
}

bool NSRunLoop::runOnce(Seconds maxWait) {
  // What this turn schedules runs on a later one.
  const uint64_t turn = sequence_;
  bool ran = runDueTimers(turn);
  const Seconds wait =
      ran ? Seconds::zero() : std::min(std::max(maxWait, Seconds::zero()), untilNextTimer());
  const int timeoutMs = static_cast<int>(std::ceil(std::min(wait.count(), 3600.0) * 1000.0));
  if (!sources_.empty()) {
    ran = pollSources(timeoutMs) || ran;
  } else if (timeoutMs > 0) {
    ::poll(nullptr, 0, timeoutMs);
  }
  return runDueTimers(turn) || ran;
}

void NSRunLoop::runUntilIdle() {
  for (int turns = 0; turns < 100000 && runOnce(); ++turns) {
  }
}

void NSRunLoop::advanceBy(Seconds interval) {
  auto* manual = dynamic_cast<ManualClock*>(&Clock::current());
  if (!manual) {
    runUntilIdle();
    return;
  }
  const double target = manual->monotonic() + std::max(interval.count(), 0.0);
  for (;;) {
    runUntilIdle();
    if (clockQueue_.empty()) break;
    const double due = clockQueue_.begin()->first.first;
    if (due > target) break;
    // Still due now after a full runUntilIdle: timers that keep re-arming at once. Move on
    // rather than spin; they run again at the next step.
    if (due <= manual->monotonic()) break;
    manual->advance(Seconds(due - manual->monotonic()));
  }
  if (target > manual->monotonic()) manual->advance(Seconds(target - manual->monotonic()));
  runUntilIdle();
}

size_t NSRunLoop::pendingTimers(TimeBase base) const {
  return base == TimeBase::Real ? realQueue_.size() : clockQueue_.size();
}

void NSRunLoop::reset() {
  clockQueue_.clear();
  realQueue_.clear();
  timers_.clear();
  sources_.clear();
}
