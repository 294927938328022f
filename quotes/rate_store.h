#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

#include "quotes/ecb_reader.h"
#include "quotes/rate_table.h"

namespace tessary::quotes {

// What the feed has done, for the health check and the metrics.
struct FeedState {
  bool configured = false;
  std::chrono::seconds interval{0};  // between fetches
  std::chrono::seconds deadline{0};  // of each later fetch
  std::time_t goodSince = 0;         // the last good fetch, or the start while there is none
  std::time_t lastFetch = 0;         // when the last fetch ended; 0 before the first
  bool lastOk = false;
  std::string lastError;
};

// The table in force. Workers read it on every request while the refresher swaps it, so
// tables are immutable and shared; a version number lets a worker keep its own reference
// until the table changes, without touching a shared reference count on every request.
class RateStore {
 public:
  explicit RateStore(std::shared_ptr<const RateTable> table) : table_(std::move(table)) {}

  std::shared_ptr<const RateTable> current() const {
    std::lock_guard lock(mutex_);
    return table_;
  }
  void replace(std::shared_ptr<const RateTable> table) {
    std::lock_guard lock(mutex_);
    table_ = std::move(table);
    version_.fetch_add(1, std::memory_order_release);
  }
  std::uint64_t version() const { return version_.load(std::memory_order_acquire); }

  FeedState feed() const {
    std::lock_guard lock(mutex_);
    return feed_;
  }
  void setFeed(FeedState feed) {
    std::lock_guard lock(mutex_);
    feed_ = std::move(feed);
  }
  // A fetch that ended at `when`; a good one has replaced the table already.
  void noteFetch(std::time_t when, bool ok, std::string error) {
    std::lock_guard lock(mutex_);
    feed_.lastFetch = when;
    feed_.lastOk = ok;
    feed_.lastError = std::move(error);
    if (ok) feed_.goodSince = when;
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const RateTable> table_;
  std::atomic<std::uint64_t> version_{0};
  FeedState feed_;
};

// Fetches the ECB document now and then; a failed fetch keeps the last good table.
class EcbRefresher {
 public:
  // The first fetch gets this long before the service listens with the table it has.
  static constexpr std::chrono::seconds kFirstDeadline{5};
  // A later fetch may take its interval, up to this.
  static constexpr std::chrono::seconds kLongestDeadline{60};

  EcbRefresher(HttpUrl url, std::chrono::seconds interval, RateStore& store);
  ~EcbRefresher();
  EcbRefresher(const EcbRefresher&) = delete;
  EcbRefresher& operator=(const EcbRefresher&) = delete;

  // One fetch within `deadline`, logged; true when the table was replaced. Returns at once
  // when stopped.
  bool refreshNow(std::chrono::seconds deadline);
  // Refreshes every interval on a thread of its own until stop().
  void start();
  // Ends a fetch under way and the refreshing; safe from any thread. Only the owner joins.
  void requestStop() { stop_.request_stop(); }
  void stop();

 private:
  HttpUrl url_;
  std::chrono::seconds interval_;
  RateStore& store_;
  std::stop_source stop_;
  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::thread thread_;
};

}  // namespace tessary::quotes
