#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "quotes/http_request.h"
#include "quotes/metrics.h"
#include "quotes/responses.h"
#include "quotes/routing.h"

namespace tessary::quotes {

struct TransportConfig {
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
  bool logRequests = true;  // one line per request on standard error
};

// What one event loop answers with: its writer of responses and its handler.
struct LoopParts {
  std::unique_ptr<ResponseWriter> writer;
  std::unique_ptr<Handler> handler;
};
using LoopFactory = std::function<LoopParts()>;

// Connections and their deadlines: accepts, reads request heads, hands them to a handler,
// writes the answers, and closes what overstays. Counts into `metrics`.
class Transport {
 public:
  Transport(const TransportConfig& config, LoopFactory makeLoop, ServiceMetrics& metrics);
  ~Transport();
  Transport(const Transport&) = delete;
  Transport& operator=(const Transport&) = delete;

  // Binds a listening socket; port 0 picks a free one. Answers the bound port, or -1 (errno).
  int listen(const std::string& host, int port);
  // Serves on a listening TCP socket made by another (systemd); the transport owns it then.
  // Answers its port, or -1 when it is no listening TCP socket.
  int adopt(int fd);
  // Serves until stop(); false when there was nothing to serve on.
  bool run();
  // Safe from any thread, also before run() has started.
  void stop();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tessary::quotes
