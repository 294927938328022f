#pragma once

#include <poll.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/foundation/objc.h"
#include "platform/foundation/time_interval.h"

class NSRunLoop;

// Owns one scheduled timer: destroying the handle, or assigning another timer to it, cancels
// the timer. A timer that must run whatever becomes of its owner is detached on purpose.
class TimerHandle {
 public:
  TimerHandle() = default;
  TimerHandle(TimerHandle&& other) noexcept
      : loop_(std::exchange(other.loop_, nullptr)), id_(std::exchange(other.id_, 0)) {}
  TimerHandle& operator=(TimerHandle&& other) noexcept {
    if (this != &other) {
      cancel();
      loop_ = std::exchange(other.loop_, nullptr);
      id_ = std::exchange(other.id_, 0);
    }
    return *this;
  }
  TimerHandle(const TimerHandle&) = delete;
  TimerHandle& operator=(const TimerHandle&) = delete;
  ~TimerHandle() { cancel(); }

  // Does nothing once the timer has run, or when the handle holds none.
  inline void cancel();
  // Lets go of the timer without cancelling it: it runs when due.
  void detach() {
    loop_ = nullptr;
    id_ = 0;
  }
  // Whether the timer is still waiting to run.
  inline bool isPending() const;

 private:
  friend class NSRunLoop;
  TimerHandle(NSRunLoop& loop, uint64_t timer) : loop_(&loop), id_(timer) {}

  NSRunLoop* loop_ = nullptr;
  uint64_t id_ = 0;
};

// The main run loop, timers and I/O sources. A timer never runs inside the call
// that scheduled it, only on a later turn of the loop.
class TESSARY_EXPORT NSRunLoop {
 public:
  using TimerId = uint64_t;
  using IoCallback = std::function<void(short revents)>;

  // Which time a timer follows: the process clock (delayed calls, animations, request idle
  // timeouts), or real time (libcurl's own housekeeping, which must run under a manual clock).
  enum class TimeBase { Clock, Real };

  static NSRunLoop& mainRunLoop();

  // The timer runs once, unless its handle cancels it first.
  // A delay that is negative or NaN means "soon".
  [[nodiscard]] TimerHandle addTimer(Seconds delay, std::function<void()> action,
                                     TimeBase base = TimeBase::Clock);

  // An I/O source: `events` as poll() takes them. Adding a known descriptor replaces it.
  void addSource(int fd, short events, IoCallback callback);
  void removeSource(int fd);

  // One turn: runs the timers due now, then waits at most `maxWait` of real time for
  // I/O (less when a timer falls due sooner) and dispatches it, then runs what fell due.
  // Returns true when anything ran.
  bool runOnce(Seconds maxWait = Seconds::zero());
  // Turns without waiting until nothing more is due now.
  void runUntilIdle();
  // With a manual clock: moves it forward by `interval`, stopping at each timer's due time in
  // order to run it, and polls I/O without waiting on the way.
  void advanceBy(Seconds interval);

  size_t pendingTimers(TimeBase base) const;
  size_t sourceCount() const { return sources_.size(); }
  // Drops every timer and source; tests start from a clean loop.
  void reset();

 private:
  friend class TimerHandle;
  // Cancelling an unknown or finished timer does nothing.
  void cancelTimer(TimerId timer);
  bool isPending(TimerId timer) const { return timers_.count(timer) != 0; }

  struct Timer {
    double due;
    TimeBase base;
    std::function<void()> action;
  };
  using Key = std::pair<double, uint64_t>;  // (due, sequence): equal dues run in order

  // Runs the due timers scheduled before `limit` (a sequence number); later ones wait.
  bool runDueTimers(uint64_t limit);
  bool pollSources(int timeoutMs);
  double nowFor(TimeBase base) const;
  Seconds untilNextTimer() const;

  std::map<Key, TimerId> clockQueue_;
  std::map<Key, TimerId> realQueue_;
  std::map<TimerId, std::pair<Key, Timer>> timers_;
  std::map<int, std::pair<short, std::shared_ptr<IoCallback>>> sources_;
  uint64_t sequence_ = 0;
};

void TimerHandle::cancel() {
  if (loop_) loop_->cancelTimer(id_);
  detach();
}

bool TimerHandle::isPending() const {
  return loop_ && loop_->isPending(id_);
}
