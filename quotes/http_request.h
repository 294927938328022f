#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tessary::quotes {

struct RequestLimits {
  // 414 beyond it
  std::size_t maxRequestLine = std::size_t{8} * 1024;
  // Request line and header fields together; 431 beyond.
  std::size_t maxHead = std::size_t{16} * 1024;
};

// What the service needs of a request head.
struct RequestHead {
  std::string method;
  bool knownMethod = true;  // a method HTTP defines
  std::string target;
  int version = 11;  // 10 or 11
  bool keepAlive = true;
  bool hasBody = false;  // a Content-Length above 0 or a chunked body
  std::optional<std::string> ifNoneMatch;
  std::optional<std::string> ifModifiedSince;
};

struct ParseStep {
  enum class State { NeedMore, Done, Refused };
  State state = State::NeedMore;
  std::size_t consumed = 0;  // Done: bytes up to the end of the head
  int status = 0;            // Refused: 400, 414, 431 or 505
  std::string reason;        // Refused: a short text for the reply
};

// Reads one request head strictly, as RFC 9112 asks of a server that a cache or proxy may
// stand in front of: a field line without a colon, an invalid or repeated Content-Length,
// Transfer-Encoding beside Content-Length or without chunked last, a missing or repeated Host
// are refused, so no two readers of the same bytes can disagree about where a request ends.
// Empty lines before the request line are skipped.
class RequestParser {
 public:
  explicit RequestParser(RequestLimits limits = {});
  ~RequestParser();
  RequestParser(const RequestParser&) = delete;
  RequestParser& operator=(const RequestParser&) = delete;

  // `bytes` starts where the request starts; after NeedMore, call again with the same bytes
  // and more behind them.
  ParseStep parse(std::string_view bytes);
  // Valid after Done; method and target also after a refusal past the request line.
  RequestHead& head();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tessary::quotes
