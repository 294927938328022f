// Time as a script moves it: the manual clock, and real time while requests run.
#include <chrono>

#include "host/simulator.h"
#include "platform/foundation/run_loop.h"
#include "platform/foundation/url_connection.h"

using namespace std::chrono_literals;

std::string Simulator::wait(Seconds interval) {
  if (!clock_) return "wait: the clock is not a manual clock";
  NSRunLoop::mainRunLoop().advanceBy(interval);
  NSRunLoop::mainRunLoop().runOnce();
  return {};
}

std::string Simulator::settle(Seconds realTime) {
  using Steady = std::chrono::steady_clock;
  const auto deadline = Steady::now() + std::chrono::duration_cast<Steady::duration>(realTime);
  NSRunLoop::mainRunLoop().runOnce();
  while (NSURLConnection::activeCount() > 0) {
    if (Steady::now() >= deadline) {
      const size_t left = NSURLConnection::activeCount();
      return "settle: " + std::to_string(left) + (left == 1 ? " request" : " requests") +
             " still in flight";
    }
    NSRunLoop::mainRunLoop().runOnce(20ms);
  }
  return {};
}

std::string Simulator::setClock(double wallSeconds) {
  if (!clock_) return "clock: the clock is not a manual clock";
  clock_->setWall(wallSeconds);
  return {};
}
