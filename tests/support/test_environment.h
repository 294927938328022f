#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/clock.h"

namespace tessary::test {

// The whole content of a file of the machine's own, or nothing when it cannot be read.
std::string readHostFile(const std::string& hostPath);

// The inotify watches this process holds, as the kernel lists them.
size_t watchesHeld();

// A fresh device root in a temporary folder, with the data and preferences folders; removed
// with everything in it at the end.
class TempDeviceRoot {
 public:
  TempDeviceRoot();
  ~TempDeviceRoot();
  TempDeviceRoot(const TempDeviceRoot&) = delete;
  TempDeviceRoot& operator=(const TempDeviceRoot&) = delete;

  const std::string& path() const { return path_; }
  // The host path of a platform path.
  std::string host(const std::string& platformPath) const { return path_ + platformPath; }
  void writeFile(const std::string& platformPath, const std::string& bytes) const;
  std::string readFile(const std::string& platformPath) const;

 private:
  std::string path_;
};

// The process-wide platform state, owned for the length of one test: a manual clock at a
// fixed wall time, a device root of its own, and every shared instance (run loop, animation
// records, started requests, alerts, network activity indicator, callout bubble, pasteboard, first
// responder, class registry, notification centre, device, screen, read cache and its watches) as
// at process start.
// It resets all of them when made and again when destroyed, so no test sees what another left
// behind, whatever order they run in.
class TestEnvironment {
 public:
  // 2026-07-06 12:00:00 UTC.
  static constexpr double kStartWall = 804'988'800.0;

  TestEnvironment();
  ~TestEnvironment();
  TestEnvironment(const TestEnvironment&) = delete;
  TestEnvironment& operator=(const TestEnvironment&) = delete;

  ManualClock& clock() const { return *clock_; }
  const std::shared_ptr<ManualClock>& sharedClock() const { return clock_; }
  const TempDeviceRoot& root() const { return root_; }

  // Puts every shared instance back as at process start, the clock aside.
  static void resetSharedState();

 private:
  std::shared_ptr<ManualClock> clock_;
  TempDeviceRoot root_;
};

// The fixture every platform, widget and host test builds on: a test environment and its own
// device root.
class PlatformTest : public ::testing::Test {
 protected:
  static constexpr double kStartWall = TestEnvironment::kStartWall;

  PlatformTest();
  ~PlatformTest() override;

  void advance(double seconds);
  // Turns the run loop on real time until `done` holds or `seconds` of real time pass; for
  // tests that wait for real sockets.
  bool runUntil(const std::function<bool()>& done, double seconds = 10.0);

  // Declared first, so it is made before and destroyed after everything a test holds.
  TestEnvironment environment_;
  std::shared_ptr<ManualClock> clock_;
  const TempDeviceRoot& root_;
};

}  // namespace tessary::test
