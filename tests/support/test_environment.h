#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/foundation/clock.h"

namespace tessary::test {

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

// Every test starts from the same world: a manual clock at a fixed wall time, an empty run
// loop, no alerts, the network activity indicator off, and its own device root.
class PlatformTest : public ::testing::Test {
 protected:
  // 2026-07-06 12:00:00 UTC.
  static constexpr double kStartWall = 804'988'800.0;

  PlatformTest();
  ~PlatformTest() override;

  void advance(double seconds);
  // Turns the run loop on real time until `done` holds or `seconds` of real time pass; for
  // tests that wait for real sockets.
  bool runUntil(const std::function<bool()>& done, double seconds = 10.0);

  std::shared_ptr<ManualClock> clock_;
  TempDeviceRoot root_;
};

}  // namespace tessary::test
