#include "quotes/quote_server.h"

namespace tessary::quotes {

QuoteServer::QuoteServer(ServerConfig config, const RateStore& store)
    : config_(std::move(config)), store_(store) {
  auto makeLoop = [this] {
    LoopParts parts;
    parts.writer = std::make_unique<ResponseWriter>(store_, tableClock_, config_.schedule);
    auto router = std::make_unique<Router>(*parts.writer, store_, metrics_);
    if (config_.misbehaviour.any()) {
      parts.handler = std::make_unique<MisbehavingHandler>(config_.misbehaviour, std::move(router));
    } else {
      parts.handler = std::move(router);
    }
    return parts;
  };
  transport_ = std::make_unique<Transport>(config_, makeLoop, metrics_);
}

QuoteServer::~QuoteServer() = default;

int QuoteServer::bind(const std::string& host, int port) {
  return transport_->listen(host, port);
}
int QuoteServer::adopt(int fd) {
  return transport_->adopt(fd);
}
bool QuoteServer::run() {
  return transport_->run();
}
void QuoteServer::stop() {
  transport_->stop();
}

}  // namespace tessary::quotes
