#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "quotes/cache_policy.h"
#include "quotes/http_request.h"
#include "quotes/rate_store.h"

namespace tessary::quotes {

struct ServerConfig {
  // Misbehaviour for tests and demos; each applies to every request for the quote path.
  std::chrono::milliseconds delay{0};  // answer after this long
  std::optional<int> status;           // answer with this status instead
  std::optional<std::string> body;     // answer with this body instead
  bool stall = false;                  // read the request, never answer

  // Event loops, each on a thread of its own; a connection costs none while it waits.
  std::size_t threads = 0;  // 0: one per core
  // Open connections beyond this close the longest idle first; the service raises its open-
  // file limit to hold them.
  std::size_t maxConnections = 10000;
  std::size_t keepAliveMaxRequests = 100000;
  std::chrono::seconds keepAliveTimeout{60};  // idle time allowed between requests
  std::chrono::seconds headTimeout{10};       // a request head must arrive within this
  std::chrono::seconds writeTimeout{10};      // a reply must be taken within this
  RequestLimits limits;
  TableSchedule schedule;  // how long caches may keep answers
  bool logRequests = true;
};

// The HTTP quote service: GET /d/quotes.csv?s=AAABBB=X&f=l1.
class QuoteServer {
 public:
  QuoteServer(ServerConfig config, const RateStore& store);
  ~QuoteServer();
  QuoteServer(const QuoteServer&) = delete;
  QuoteServer& operator=(const QuoteServer&) = delete;

  // Binds the listening socket; port 0 picks a free one. Answers the bound port, or -1.
  int bind(const std::string& host, int port);
  // Serves until stop(); false when the server could not run.
  bool run();
  // Safe from any thread, also before run() has started.
  void stop();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tessary::quotes
