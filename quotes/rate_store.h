#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "quotes/ecb_reader.h"
#include "quotes/rate_table.h"

namespace tessary::quotes {

// The table in force. Workers read it on every request while the refresher swaps it, so it
// is an immutable table behind an atomic pointer: readers keep the table they loaded alive.
class RateStore {
 public:
  explicit RateStore(std::shared_ptr<const RateTable> table) : table_(std::move(table)) {}
  std::shared_ptr<const RateTable> current() const { return table_.load(std::memory_order_acquire); }
  void replace(std::shared_ptr<const RateTable> table) {
    table_.store(std::move(table), std::memory_order_release);
  }

 private:
  std::atomic<std::shared_ptr<const RateTable>> table_;
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
