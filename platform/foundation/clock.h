#pragma once

#include <memory>

#include "platform/foundation/objc.h"
#include "platform/foundation/time_interval.h"

// Seconds from the platform's reference date, 2001-01-01 00:00:00 UTC, to the Unix epoch.
inline constexpr double kReferenceDateUnixTime = 978307200.0;

// The one source of time: monotonic seconds for timers and animations, wall time in seconds
// since the reference date for stored dates.
class TESSARY_EXPORT Clock {
 public:
  virtual ~Clock();
  virtual double monotonic() const = 0;
  virtual double wall() const = 0;
  // A manual clock only moves when told; the run loop then never waits for its timers.
  virtual bool isManual() const { return false; }

  // The process's clock: the system clock until a program or test installs another.
  static Clock& current();
  static std::shared_ptr<Clock> currentShared();
  static void setCurrent(std::shared_ptr<Clock> clock);
};

class TESSARY_EXPORT SystemClock final : public Clock {
 public:
  double monotonic() const override;
  double wall() const override;
};

// Tests and the headless host advance this clock; the run loop runs what falls due.
class TESSARY_EXPORT ManualClock final : public Clock {
 public:
  explicit ManualClock(double wall = 0.0, double monotonic = 1000.0)
      : wall_(wall), monotonic_(monotonic) {}
  double monotonic() const override { return monotonic_; }
  double wall() const override { return wall_; }
  bool isManual() const override { return true; }

  // Both readings move together.
  void advance(Seconds interval) {
    monotonic_ += interval.count();
    wall_ += interval.count();
  }
  void setWall(double seconds) { wall_ = seconds; }

 private:
  double wall_;
  double monotonic_;
};
