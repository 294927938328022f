#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "quotes/rate_store.h"

namespace tessary::quotes {

struct ServerConfig {
  // Misbehaviour for tests and demos; each applies to every request for the quote path.
  std::chrono::milliseconds delay{0};  // answer after this long
  std::optional<int> status;           // answer with this status instead
  std::optional<std::string> body;     // answer with this body instead
  bool stall = false;                  // read the request, never answer

  // One worker serves one connection for its whole keep-alive life, so the pool is sized
  // for the concurrent connections expected (the load check keeps 64 open).
  std::size_t threads = 128;
  std::size_t keepAliveMaxRequests = 100000;
  std::chrono::seconds keepAliveTimeout{5};  // idle time allowed between requests
  std::chrono::seconds readTimeout{5};       // silence allowed while a request arrives
  std::chrono::seconds writeTimeout{5};
  std::chrono::seconds requestDeadline{10};  // a whole request must arrive within this
  std::size_t maxRequestBytes = 16 * 1024;   // request line, headers and any body together
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
