#pragma once

#include <memory>
#include <string>

#include "quotes/cache_policy.h"
#include "quotes/misbehaving_handler.h"
#include "quotes/rate_store.h"
#include "quotes/transport.h"

namespace tessary::quotes {

struct ServerConfig : TransportConfig {
  Misbehaviour misbehaviour;  // for tests and demos only
  TableSchedule schedule;     // how long caches may keep answers
};

// The HTTP quote service: GET /d/quotes.csv?s=AAABBB=X&f=l1, /healthz and /metrics.
class QuoteServer {
 public:
  QuoteServer(ServerConfig config, const RateStore& store);
  ~QuoteServer();
  QuoteServer(const QuoteServer&) = delete;
  QuoteServer& operator=(const QuoteServer&) = delete;

  // Binds the listening socket; port 0 picks a free one. Answers the bound port, or -1.
  int bind(const std::string& host, int port);
  // Serves on a listening socket passed by systemd. Answers its port, or -1.
  int adopt(int fd);
  // Serves until stop(); false when the server could not run.
  bool run();
  // Safe from any thread, also before run() has started.
  void stop();

 private:
  ServerConfig config_;
  const RateStore& store_;
  TableClock tableClock_;
  ServiceMetrics metrics_;
  std::unique_ptr<Transport> transport_;
};

}  // namespace tessary::quotes
