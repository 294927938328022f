#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "quotes/http_request.h"
#include "quotes/metrics.h"
#include "quotes/rate_store.h"
#include "quotes/responses.h"

namespace tessary::quotes {

// The transport's side of one request, for a handler that does not answer at once.
class Exchange {
 public:
  // Holds the answer back: nothing more is answered on the connection until, after `delay`,
  // `answer` fills the response, which is then written.
  virtual void answerAfter(std::chrono::milliseconds delay,
                           std::function<void(Response&)> answer) = 0;
  // Holds the answer back for good; the connection ends with the service.
  virtual void neverAnswer() = 0;

 protected:
  ~Exchange() = default;
};

// Answers requests whose head the transport has read. One per event loop.
class Handler {
 public:
  virtual ~Handler() = default;
  // Fills `response` and answers true, or holds the answer back through `exchange` and
  // answers false.
  virtual bool handle(const RequestHead& head, Response& response, Exchange& exchange) = 0;
};

inline constexpr std::string_view kHealthPath = "/healthz";
inline constexpr std::string_view kMetricsPath = "/metrics";

// The path of a target in origin or absolute form, without its query.
std::string_view targetPath(std::string_view target);

// The service's own routes: quotes, health and metrics; a method other than GET and HEAD gets
// 405 whatever the target, one HTTP does not define 501.
class Router final : public Handler {
 public:
  Router(ResponseWriter& writer, const RateStore& store, const ServiceMetrics& metrics)
      : writer_(writer), store_(store), metrics_(metrics) {}

  bool handle(const RequestHead& head, Response& response, Exchange& exchange) override;
  void route(const RequestHead& head, Response& response);
  // The quote's answer; with `conditional`, validators that match make it a 304.
  void quote(const RequestHead& head, Response& response, bool conditional);

 private:
  ResponseWriter& writer_;
  const RateStore& store_;
  const ServiceMetrics& metrics_;
  std::string body_;
  std::string contentType_;
};

}  // namespace tessary::quotes
