#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "quotes/rate_store.h"

namespace tessary::quotes {

// Request counts and latencies of one event loop. Only its own thread writes them, so a count
// costs a plain load and store; a scrape from another loop reads them relaxed.
class LoopMetrics {
 public:
  enum Method { Get, Head, OtherMethod, UnknownMethod, kMethods };
  static constexpr int kLowestStatus = 100;
  static constexpr int kStatuses = 500;  // 100 to 599
  // Upper bounds of the latency buckets, in microseconds.
  static constexpr std::array<std::uint64_t, 11> kBuckets{
      100, 250, 500, 1000, 2500, 5000, 10000, 50000, 250000, 1000000, 5000000};

  static Method methodOf(std::string_view method, bool known);
  void record(Method method, int status, std::uint64_t micros);

  std::uint64_t requests(Method method, int status) const;
  std::uint64_t bucket(std::size_t i) const;  // cumulative below kBuckets[i]; i == size: all
  std::uint64_t micros() const { return micros_.load(std::memory_order_relaxed); }

 private:
  static void bump(std::atomic<std::uint64_t>& counter, std::uint64_t by = 1) {
    counter.store(counter.load(std::memory_order_relaxed) + by, std::memory_order_relaxed);
  }

  std::array<std::array<std::atomic<std::uint64_t>, kStatuses>, kMethods> requests_{};
  std::array<std::atomic<std::uint64_t>, kBuckets.size() + 1> buckets_{};  // not cumulative
  std::atomic<std::uint64_t> micros_{0};
};

// What the service counts across its loops.
struct ServiceMetrics {
  std::vector<std::unique_ptr<LoopMetrics>> loops;
  std::atomic<std::uint64_t> open{0};     // connections open now
  std::atomic<std::uint64_t> refused{0};  // closed to make room, or not accepted for lack of it
};

// Healthy while a table is loaded and, with a feed, its last good fetch (or the start) lies
// no further back than one interval and one fetch's deadline.
struct Health {
  bool ok = true;
  std::string reason;
};
Health checkHealth(const RateTable* table, const FeedState& feed, std::time_t now);

// The Prometheus text exposition of everything above.
std::string renderMetrics(const ServiceMetrics& metrics, const RateTable& table,
                          const FeedState& feed);

}  // namespace tessary::quotes
