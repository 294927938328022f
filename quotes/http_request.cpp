#include "quotes/http_request.h"

#include <boost/beast/http/basic_parser.hpp>
#include <boost/beast/http/error.hpp>

namespace tessary::quotes {

namespace http = boost::beast::http;
using boost::beast::error_code;

namespace {

bool allDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// A request line that ends in a well-formed version other than 1.x.
bool otherVersion(std::string_view request) {
  auto line = request.substr(0, request.find("\r\n"));
  auto space = line.rfind(' ');
  if (space == std::string_view::npos) return false;
  auto v = line.substr(space + 1);
  return v.size() == 8 && v.substr(0, 5) == "HTTP/" && v[5] >= '0' && v[5] <= '9' && v[5] != '1' &&
         v[6] == '.' && v[7] >= '0' && v[7] <= '9';
}

// Where the minor digit of a request line ending in HTTP/1.2 to HTTP/1.9 stands; 0 otherwise.
std::size_t laterMinorAt(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.size() < 9 || line.substr(line.size() - 9, 8) != " HTTP/1.") return 0;
  char minor = line.back();
  return minor >= '2' && minor <= '9' ? line.size() - 1 : 0;
}

}  // namespace

class RequestParser::Impl final : public http::basic_parser<true> {
 public:
  explicit Impl(RequestLimits limits) : limits_(limits) {
    header_limit(static_cast<std::uint32_t>(limits.maxHead));
    eager(false);
  }

  ParseStep parse(std::string_view bytes) {
    // Empty lines before the request line are allowed; they count against the head.
    std::size_t lead = 0;
    while (lead < bytes.size() && (bytes[lead] == '\r' || bytes[lead] == '\n')) ++lead;
    if (lead > limits_.maxHead) return refuse(431, "Request header fields too large");
    auto request = bytes.substr(lead);
    if (request.empty()) return {};
    std::size_t minorAt = laterMinor_;
    if (!lineSeen_) {
      auto end = request.substr(0, limits_.maxRequestLine + 2).find('\n');
      if (end == std::string_view::npos) {
        if (request.size() > limits_.maxRequestLine + 1) {
          // Garbage is told apart from a long line by what the line holds so far.
          error_code ec;
          put(boost::asio::const_buffer(request.data(), limits_.maxRequestLine), ec);
          if (ec && ec != http::error::need_more) return refuse(400, "Malformed request line");
          return refuse(414, "Request line too long");
        }
        // An unfinished line that ends in a later minor version so far must read as the
        // finished one will.
        minorAt = laterMinorAt(request);
      } else if (end > limits_.maxRequestLine + 1) {
        return refuse(414, "Request line too long");
      } else {
        lineSeen_ = true;
        laterMinor_ = laterMinorAt(request.substr(0, end));
        minorAt = laterMinor_;
      }
    }
    // A higher minor version of HTTP/1 is read as 1.1 (RFC 9110, 2.5), the highest this server
    // speaks; the parser is shown the line with that digit made a 1.
    std::string patched;
    if (minorAt != 0) {
      patched.assign(request);
      patched[minorAt] = '1';
      request = patched;
    }
    // Beast keeps what it has consumed (a request line, once complete) even when it asks for
    // more, so only the bytes behind that are given again.
    error_code ec;
    fed_ += put(boost::asio::const_buffer(request.data() + fed_, request.size() - fed_), ec);
    // Beast bounds each piece it is given; the bound is on the whole head.
    if (fed_ > limits_.maxHead ||
        (ec == http::error::need_more && request.size() > limits_.maxHead))
      return refuse(431, "Request header fields too large");
    if (ec == http::error::need_more) return {};
    if (ec) {
      if (status_ != 0) return refuse(status_, reason_);
      if (ec == http::error::header_limit) return refuse(431, "Request header fields too large");
      if (ec == http::error::bad_version && otherVersion(request))
        return refuse(505, "HTTP version not supported");
      if (!lineSeen_ || ec == http::error::bad_method || ec == http::error::bad_target ||
          ec == http::error::bad_version) {
        return refuse(400, "Malformed request line");
      }
      if (ec == http::error::bad_content_length) return refuse(400, "Invalid Content-Length");
      if (ec == http::error::bad_transfer_encoding)
        return refuse(400, "Transfer-Encoding with Content-Length");
      return refuse(400, "Malformed header field");
    }
    if (!is_header_done()) return {};
    head_.keepAlive = keep_alive();
    auto length = content_length();
    head_.hasBody = chunked() || (length && *length > 0);
    ParseStep done;
    done.state = ParseStep::State::Done;
    done.consumed = lead + fed_;
    return done;
  }

  RequestHead head_;

 private:
  ParseStep refuse(int status, std::string reason) {
    ParseStep step;
    step.state = ParseStep::State::Refused;
    step.status = status;
    step.reason = std::move(reason);
    return step;
  }

  void fail(error_code& ec, int status, const char* reason) {
    status_ = status;
    reason_ = reason;
    ec = http::error::bad_value;
  }

  void on_request_impl(http::verb method, boost::beast::string_view methodText,
                       boost::beast::string_view target, int version, error_code& ec) override {
    head_.method.assign(methodText.data(), methodText.size());
    head_.knownMethod = method != http::verb::unknown;
    head_.target.assign(target.data(), target.size());
    head_.version = version;
    if (version != 10 && version != 11) fail(ec, 505, "HTTP version not supported");
  }

  void on_response_impl(int, boost::beast::string_view, int, error_code&) override {}

  void on_field_impl(http::field name, boost::beast::string_view, boost::beast::string_view value,
                     error_code& ec) override {
    std::string_view v(value.data(), value.size());
    switch (name) {
      case http::field::host:
        if (++hosts_ > 1) fail(ec, 400, "Repeated Host");
        break;
      case http::field::content_length:
        // One plain number: a list, even of equal values, is how smuggled requests start.
        if (++contentLengths_ > 1) {
          fail(ec, 400, "Repeated Content-Length");
        } else if (!allDigits(v)) {
          fail(ec, 400, "Invalid Content-Length");
        }
        break;
      case http::field::transfer_encoding:
        transferEncoding_ = true;
        break;
      case http::field::if_none_match:
        if (head_.ifNoneMatch) {
          head_.ifNoneMatch->append(", ").append(v);
        } else {
          head_.ifNoneMatch.emplace(v);
        }
        break;
      case http::field::if_modified_since:
        if (!head_.ifModifiedSince) head_.ifModifiedSince.emplace(v);
        break;
      default:
        break;
    }
  }

  void on_header_impl(error_code& ec) override {
    if (head_.version == 11 && hosts_ == 0) return fail(ec, 400, "Missing Host");
    if (transferEncoding_ && (head_.version == 10 || !chunked()))
      return fail(ec, 400, "Unsupported Transfer-Encoding");
  }

  void on_body_init_impl(const boost::optional<std::uint64_t>&, error_code&) override {}
  std::size_t on_body_impl(boost::beast::string_view body, error_code&) override {
    return body.size();
  }
  void on_chunk_header_impl(std::uint64_t, boost::beast::string_view, error_code&) override {}
  std::size_t on_chunk_body_impl(std::uint64_t, boost::beast::string_view body,
                                 error_code&) override {
    return body.size();
  }
  void on_finish_impl(error_code&) override {}

  RequestLimits limits_;
  bool lineSeen_ = false;
  std::size_t laterMinor_ = 0;  // where the minor digit of an HTTP/1.2 to 1.9 line is
  std::size_t fed_ = 0;         // bytes of the request Beast has consumed
  int hosts_ = 0;
  int contentLengths_ = 0;
  bool transferEncoding_ = false;
  int status_ = 0;
  std::string reason_;
};

RequestParser::RequestParser(RequestLimits limits) : impl_(std::make_unique<Impl>(limits)) {}
RequestParser::~RequestParser() = default;

ParseStep RequestParser::parse(std::string_view bytes) {
  return impl_->parse(bytes);
}

RequestHead& RequestParser::head() {
  return impl_->head_;
}

}  // namespace tessary::quotes
