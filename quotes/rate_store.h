#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "quotes/ecb_reader.h"
#include "quotes/rate_table.h"

namespace tessary::quotes {

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

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const RateTable> table_;
  std::atomic<std::uint64_t> version_{0};
};

// Fetches the ECB document now and then; a failed fetch keeps the last good table.
class EcbRefresher {
 public:
  EcbRefresher(HttpUrl url, std::chrono::seconds interval, RateStore& store);
  ~EcbRefresher();
  EcbRefresher(const EcbRefresher&) = delete;
  EcbRefresher& operator=(const EcbRefresher&) = delete;

  // One fetch, logged; true when the table was replaced.
  bool refreshNow();
  // Refreshes every interval on a thread of its own until stop().
  void start();
  void stop();

 private:
  HttpUrl url_;
  std::chrono::seconds interval_;
  RateStore& store_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace tessary::quotes
