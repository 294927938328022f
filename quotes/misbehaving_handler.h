#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "quotes/routing.h"

namespace tessary::quotes {

// Misbehaviour for tests and demos; each applies to every request for the quote path.
struct Misbehaviour {
  std::chrono::milliseconds delay{0};  // answer after this long
  std::optional<int> status;           // answer with this status instead
  std::optional<std::string> body;     // answer with this body instead
  bool stall = false;                  // read the request, never answer

  bool any() const { return delay.count() > 0 || status || body || stall; }
};

// Stands in front of the router only when some misbehaviour is asked for, so the service's
// own path never passes through it. Altered answers carry nothing a cache could keep.
class MisbehavingHandler final : public Handler {
 public:
  MisbehavingHandler(const Misbehaviour& misbehaviour, std::unique_ptr<Router> router)
      : misbehaviour_(misbehaviour), router_(std::move(router)) {}

  bool handle(const RequestHead& head, Response& response, Exchange& exchange) override;

 private:
  void answer(const RequestHead& head, Response& response);

  const Misbehaviour& misbehaviour_;
  std::unique_ptr<Router> router_;
};

}  // namespace tessary::quotes
