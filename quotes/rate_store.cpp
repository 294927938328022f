#include "quotes/rate_store.h"

#include <algorithm>

#include "quotes/log.h"

namespace tessary::quotes {

EcbRefresher::EcbRefresher(HttpUrl url, std::chrono::seconds interval, RateStore& store)
    : url_(std::move(url)), interval_(interval), store_(store) {
  FeedState feed;
  feed.configured = true;
  feed.interval = interval_;
  feed.deadline = std::min(interval_, kLongestDeadline);
  feed.goodSince = std::time(nullptr);
  store_.setFeed(std::move(feed));
}

EcbRefresher::~EcbRefresher() {
  stop();
}

bool EcbRefresher::refreshNow(std::chrono::seconds deadline) {
  auto result = fetchEcbDaily(url_, std::chrono::steady_clock::now() + deadline, stop_.get_token());
  if (!result && stop_.stop_requested()) return false;  // the service is ending
  auto where = sanitizeForLog(url_.schemeHostPort + url_.path);
  if (!result) {
    logLine("rates: fetch of " + where + " failed (" + sanitizeForLog(result.error) +
            "); keeping the last good table");
    store_.noteFetch(std::time(nullptr), false, result.error);
    return false;
  }
  logLine("rates: " + std::to_string(result.table->size()) + " currencies of " +
          result.table->date + " from " + where);
  store_.replace(std::move(result.table));
  store_.noteFetch(std::time(nullptr), true, {});
  return true;
}

void EcbRefresher::start() {
  // Refreshes cannot pile up: the next wait begins when a fetch has ended.
  thread_ = std::thread([this] {
    auto token = stop_.get_token();
    auto deadline = std::min(interval_, kLongestDeadline);
    std::unique_lock lock(mutex_);
    while (true) {
      wake_.wait_for(lock, token, interval_, [] { return false; });
      if (token.stop_requested()) return;
      lock.unlock();
      refreshNow(deadline);
      lock.lock();
    }
  });
}

void EcbRefresher::stop() {
  stop_.request_stop();
  if (thread_.joinable()) thread_.join();
}

}  // namespace tessary::quotes
