#include "quotes/rate_store.h"

#include <algorithm>

#include "quotes/log.h"

namespace tessary::quotes {

EcbRefresher::EcbRefresher(HttpUrl url, std::chrono::seconds interval, RateStore& store)
    : url_(std::move(url)), interval_(interval), store_(store) {}

EcbRefresher::~EcbRefresher() {
  stop();
}

bool EcbRefresher::refreshNow() {
  // A fetch never takes longer than the interval, so refreshes cannot pile up.
  auto timeout = std::clamp(interval_, std::chrono::seconds(1), std::chrono::seconds(10));
  auto result = fetchEcbDaily(url_, timeout);
  auto where = sanitizeForLog(url_.schemeHostPort + url_.path);
  if (!result) {
    logLine("rates: fetch of " + where + " failed (" + sanitizeForLog(result.error) +
            "); keeping the last good table");
    return false;
  }
  logLine("rates: " + std::to_string(result.table->size()) + " currencies of " +
          result.table->date + " from " + where);
  store_.replace(std::move(result.table));
  return true;
}

void EcbRefresher::start() {
  thread_ = std::thread([this] {
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, interval_, [this] { return stopping_; })) {
      lock.unlock();
      refreshNow();
      lock.lock();
    }
  });
}

void EcbRefresher::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

}  // namespace tessary::quotes
