#include "platform/foundation/url_connection.h"

#include <curl/curl.h>
#include <strings.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string_view>

#include "platform/foundation/curl_multi.h"
#include "platform/foundation/run_loop.h"

namespace {

constexpr size_t kMaxBodyBytes = size_t{64} * 1024;
constexpr size_t kMaxJournalEntries = 10000;
constexpr int kMaxRedirects = 5;
// The platform's default when a request asks for no timeout, or for a meaningless one.
constexpr Seconds kDefaultIdle{60.0};
// libcurl's own limits only stop a transfer that the idle timer somehow misses.
constexpr long kSafetyTotalSeconds = 300;
constexpr long kSafetyConnectSeconds = 120;

std::vector<NSURLConnection::Started>& journal() {
  static std::vector<NSURLConnection::Started> started;
  return started;
}

size_t activeTransfers = 0;

std::shared_ptr<NSURLReplySource>& replySource() {
  static std::shared_ptr<NSURLReplySource> source;
  return source;
}

bool isHexDigit(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// Characters no address may hold anywhere: controls, space, non-ASCII, and the few that
// always need escaping.
bool isForbiddenInURL(unsigned char c) {
  return c <= 0x20 || c >= 0x7f || std::strchr("\"<>\\^`{|}", c) != nullptr;
}

NSInteger codeForCurlResult(CURLcode result, bool bodyTooLarge, long osErrno) {
  switch (result) {
    case CURLE_OK:
      return 0;
    case CURLE_URL_MALFORMAT:
      return NSURLErrorBadURL;
    case CURLE_UNSUPPORTED_PROTOCOL:
      return NSURLErrorUnsupportedURL;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return NSURLErrorCannotFindHost;
    case CURLE_COULDNT_CONNECT:
      return osErrno == ENETUNREACH || osErrno == ENETDOWN ? NSURLErrorNotConnectedToInternet
                                                           : NSURLErrorCannotConnectToHost;
    case CURLE_OPERATION_TIMEDOUT:
      return NSURLErrorTimedOut;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
      return NSURLErrorNetworkConnectionLost;
    case CURLE_TOO_MANY_REDIRECTS:
      return NSURLErrorHTTPTooManyRedirects;
    case CURLE_PEER_FAILED_VERIFICATION:
      return NSURLErrorServerCertificateUntrusted;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
    case CURLE_USE_SSL_FAILED:
      return NSURLErrorSecureConnectionFailed;
    case CURLE_FILESIZE_EXCEEDED:
      return NSURLErrorDataLengthExceedsMaximum;
    case CURLE_WRITE_ERROR:
      return bodyTooLarge ? NSURLErrorDataLengthExceedsMaximum : NSURLErrorUnknown;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_HTTP3:
      return NSURLErrorBadServerResponse;
    default:
      return NSURLErrorUnknown;
  }
}

}  // namespace

std::shared_ptr<NSURL> NSURL::URLWithString(const std::string& text) {
  if (text.empty()) return nullptr;
  for (size_t i = 0; i < text.size(); ++i) {
    if (isForbiddenInURL(static_cast<unsigned char>(text[i]))) return nullptr;
    if (text[i] == '%' &&
        (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2]))) {
      return nullptr;
    }
  }
  return std::make_shared<NSURL>(text);
}

std::string NSURL::scheme() const {
  const size_t colon = text_.find(':');
  if (colon == std::string::npos || colon == 0) return {};
  if (!std::isalpha(static_cast<unsigned char>(text_[0]))) return {};
  std::string scheme;
  for (size_t i = 0; i < colon; ++i) {
    const auto c = static_cast<unsigned char>(text_[i]);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return {};
    scheme += static_cast<char>(std::tolower(c));
  }
  return scheme;
}

std::string NSURL::query() const {
  const size_t mark = text_.find_first_of("?#");
  if (mark == std::string::npos || text_[mark] == '#') return {};
  const size_t fragment = text_.find('#', mark);
  return text_.substr(mark + 1,
                      fragment == std::string::npos ? std::string::npos : fragment - mark - 1);
}

std::shared_ptr<NSError> NSError::urlError(NSInteger code) {
  static const std::map<NSInteger, const char*> texts = {
      {NSURLErrorUnknown, "unknown error"},
      {NSURLErrorBadURL, "bad URL"},
      {NSURLErrorTimedOut, "The request timed out."},
      {NSURLErrorUnsupportedURL, "unsupported URL"},
      {NSURLErrorCannotFindHost, "A server with the specified hostname could not be found."},
      {NSURLErrorCannotConnectToHost, "Could not connect to the server."},
      {NSURLErrorNetworkConnectionLost, "The network connection was lost."},
      {NSURLErrorHTTPTooManyRedirects, "too many HTTP redirects"},
      {NSURLErrorNotConnectedToInternet, "The Internet connection appears to be offline."},
      {NSURLErrorBadServerResponse, "bad server response"},
      {NSURLErrorDataLengthExceedsMaximum, "resource exceeds maximum size"},
      {NSURLErrorSecureConnectionFailed,
       "An SSL error has occurred and a secure connection to the server cannot be made."},
      {NSURLErrorServerCertificateUntrusted, "The certificate for this server is invalid."},
  };
  const auto found = texts.find(code);
  return std::make_shared<NSError>(NSURLErrorDomain, code,
                                   found != texts.end() ? found->second : "unknown error");
}

NSURLConnectionDelegate::~NSURLConnectionDelegate() = default;
NSURLReplySource::~NSURLReplySource() = default;

// One started request: its easy handle in the shared multi handle, its timers, and the body
// gathered so far. It exists from start until the connection has finished or failed.
struct NSURLConnection::Transfer final : CurlMulti::Owner {
  explicit Transfer(NSURLConnection& owner) : connection(owner) { ++activeTransfers; }
  ~Transfer();
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  // Hands the request to libcurl; returns the code of a failure that needs no network.
  NSInteger begin();
  void failOnNextTurn(NSInteger code);
  void restartIdleTimer();
  void transferDidComplete(CURLcode result) override;

  struct Outcome {
    NSInteger failure = 0;
    std::string url;
    std::string body;
  };
  // Ends the transfer, then tells the delegate; the connection may be gone afterwards.
  static void conclude(NSURLConnection& connection, Outcome outcome);

  static size_t onBody(char* data, size_t size, size_t count, void* self);
  static size_t onHeader(char* data, size_t size, size_t count, void* self);

  NSURLConnection& connection;
  // The platform keeps a running connection alive even when its caller lets go.
  std::shared_ptr<NSURLConnection> self;
  CURL* easy = nullptr;
  curl_slist* headers = nullptr;
  std::string body;
  bool bodyTooLarge = false;
  // The Content-Length of the head being read, and whether a second one disagreed with it.
  std::optional<std::string> contentLength;
  bool conflictingLengths = false;
  Seconds idle = kDefaultIdle;
  // Both end with the transfer: their actions reach it through `this`.
  TimerHandle idleTimer;
  TimerHandle failTimer;
};

NSURLConnection::Transfer::~Transfer() {
  if (easy) {
    CurlMulti::shared().remove(easy);
    curl_easy_cleanup(easy);
  }
  curl_slist_free_all(headers);
  --activeTransfers;
}

NSInteger NSURLConnection::Transfer::begin() {
  const auto& request = connection.request_;
  if (!request || !request->URL()) return NSURLErrorBadURL;
  const std::string& url = request->URL()->absoluteString();
  if (!NSURL::URLWithString(url)) return NSURLErrorBadURL;
  const std::string scheme = request->URL()->scheme();
  if (scheme != "http" && scheme != "https") return NSURLErrorUnsupportedURL;

  const double timeout = request->timeoutInterval();
  if (timeout > 0.0 && !std::isnan(timeout)) idle = Seconds(timeout);

  easy = curl_easy_init();
  if (!easy) return NSURLErrorUnknown;
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, long{kMaxRedirects});
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long{CURL_HTTP_VERSION_1_1});
  // Each request has a connection of its own, and no idle socket outlives its request.
  curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
  // No proxy from the environment: where a request goes depends on its address alone.
  curl_easy_setopt(easy, CURLOPT_PROXY, "");
  curl_easy_setopt(easy, CURLOPT_TIMEOUT, kSafetyTotalSeconds);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kSafetyConnectSeconds);
  curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, curl_off_t{kMaxBodyBytes});
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  if (const char* bundle = std::getenv("SSL_CERT_FILE"); bundle && *bundle) {
    curl_easy_setopt(easy, CURLOPT_CAINFO, bundle);
    curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
  }
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::onBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);

  const auto policy = request->cachePolicy();
  if (policy == NSURLRequestReloadIgnoringLocalCacheData ||
      policy == NSURLRequestReloadIgnoringLocalAndRemoteCacheData) {
    headers = curl_slist_append(headers, "Cache-Control: no-cache");
    headers = curl_slist_append(headers, "Pragma: no-cache");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  }

  restartIdleTimer();
  if (!CurlMulti::shared().add(easy, *this)) return NSURLErrorUnknown;
  return 0;
}

void NSURLConnection::Transfer::failOnNextTurn(NSInteger code) {
  idleTimer.cancel();
  failTimer = NSRunLoop::mainRunLoop().addTimer(Seconds::zero(), [this, code] {
    conclude(connection, {code, {}, {}});
  });
}

void NSURLConnection::Transfer::restartIdleTimer() {
  idleTimer = NSRunLoop::mainRunLoop().addTimer(idle, [this] {
    conclude(connection, {NSURLErrorTimedOut, {}, {}});
  });
}

size_t NSURLConnection::Transfer::onBody(char* data, size_t size, size_t count, void* self) {
  auto* transfer = static_cast<Transfer*>(self);
  const size_t length = size * count;
  transfer->restartIdleTimer();
  if (length > kMaxBodyBytes - transfer->body.size()) {
    transfer->bodyTooLarge = true;
    return 0;  // any count but `length` stops the transfer
  }
  transfer->body.append(data, length);
  return length;
}

size_t NSURLConnection::Transfer::onHeader(char* data, size_t size, size_t count, void* self) {
  auto* transfer = static_cast<Transfer*>(self);
  const size_t length = size * count;
  transfer->restartIdleTimer();
  // A status line, "HTTP/1.1 200 OK": the status is known from here on, also mid-transfer.
  const std::string_view line(data, length);
  const size_t space = line.find(' ');
  if (line.starts_with("HTTP/") && space != std::string_view::npos && space + 4 <= line.size()) {
    long status = 0;
    for (const char c : line.substr(space + 1, 3)) {
      status = std::isdigit(static_cast<unsigned char>(c)) ? status * 10 + (c - '0') : -1000;
    }
    if (status >= 100) transfer->connection.status_ = status;
    transfer->contentLength.reset();  // a new head, after a redirect or a 100 Continue
  }
  // Two lengths that disagree leave no telling where the body ends: the reply is refused.
  if (line.size() > 15 && strncasecmp(line.data(), "content-length:", 15) == 0) {
    std::string value(line.substr(15));
    std::erase_if(value, [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
    if (transfer->contentLength && *transfer->contentLength != value) {
      transfer->conflictingLengths = true;
      return 0;  // ends the transfer
    }
    transfer->contentLength = std::move(value);
  }
  return length;
}

void NSURLConnection::Transfer::transferDidComplete(CURLcode result) {
  long status = 0;
  long osErrno = 0;
  char* effectiveUrl = nullptr;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osErrno);
  curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effectiveUrl);
  Outcome outcome;
  outcome.failure = codeForCurlResult(result, bodyTooLarge, osErrno);
  // libcurl calls a reply without a status line an unsupported protocol (HTTP/0.9).
  if (result == CURLE_UNSUPPORTED_PROTOCOL && status == 0) {
    outcome.failure = NSURLErrorBadServerResponse;
  }
  if (conflictingLengths) outcome.failure = NSURLErrorBadServerResponse;
  // A reply without a status line is no HTTP reply.
  if (outcome.failure == 0 && status < 100) outcome.failure = NSURLErrorBadServerResponse;
  if (outcome.failure == 0) {
    connection.status_ = status;
    outcome.url = effectiveUrl ? effectiveUrl : "";
    outcome.body = std::move(body);
  }
  conclude(connection, std::move(outcome));
}

void NSURLConnection::Transfer::conclude(NSURLConnection& connection, Outcome outcome) {
  // The delegate may drop the last outside reference to the connection during its calls.
  std::shared_ptr<NSURLConnection> protector = std::move(connection.transfer_->self);
  connection.transfer_.reset();
  NSURLReply reply;
  reply.failure = outcome.failure;
  if (reply.failure != 0) {
    reply.description = NSError::urlError(reply.failure)->localizedDescription();
  } else {
    reply.status = connection.status_;
    reply.body = std::move(outcome.body);
    // Where a redirect led, when it is an address at all.
    if (auto url = NSURL::URLWithString(outcome.url)) connection.responseURL_ = std::move(url);
  }
  connection.deliver(std::move(protector), std::move(reply));
}

void NSURLConnection::deliver(std::shared_ptr<NSURLConnection> keepAlive, NSURLReply reply) {
  // The delegate may drop the last outside reference during its calls.
  const std::shared_ptr<NSURLConnection> protector = std::move(keepAlive);
  if (const auto source = replySource()) source->concluded(*this, reply);
  std::shared_ptr<NSURLConnectionDelegate> delegate = std::move(delegate_);
  if (!delegate) return;
  if (reply.failure != 0) {
    delegate->connectionDidFailWithError(
        *this, NSError(NSURLErrorDomain, reply.failure, std::move(reply.description)));
    return;
  }
  status_ = reply.status;
  const auto url = responseURL_ ? responseURL_ : request_->URL();
  delegate->connectionDidReceiveResponse(*this, NSHTTPURLResponse(url, status_));
  delegate->connectionDidReceiveData(*this, NSData(std::move(reply.body)));
  delegate->connectionDidFinishLoading(*this);
}

void NSURLConnection::setReplySource(std::shared_ptr<NSURLReplySource> source) {
  replySource() = std::move(source);
}

bool NSURLConnection::answer(NSURLReply reply) {
  if (!awaitingAnswer_) return false;
  deliver(std::move(awaitingAnswer_), std::move(reply));
  return true;
}

void NSURLConnection::abandon() {
  // The last reference may be this one: it goes when the function returns.
  const std::shared_ptr<NSURLConnection> self = std::move(awaitingAnswer_);
  delegate_.reset();
}

NSURLConnection::NSURLConnection(PassKey<NSURLConnection>, std::shared_ptr<NSURLRequest> request,
                                 std::shared_ptr<NSURLConnectionDelegate> delegate)
    : request_(std::move(request)), delegate_(std::move(delegate)) {}

NSURLConnection::~NSURLConnection() = default;

std::shared_ptr<NSURLConnection> NSURLConnection::initWithRequestDelegate(
    std::shared_ptr<NSURLRequest> request, std::shared_ptr<NSURLConnectionDelegate> delegate) {
  return construct<NSURLConnection>(std::move(request), std::move(delegate));
}

void NSURLConnection::start() {
  if (started_) return;
  started_ = true;

  auto& started = journal();
  if (started.size() >= kMaxJournalEntries) {
    started.erase(started.begin(), started.end() - (kMaxJournalEntries - 1));
  }
  started.push_back({request_ && request_->URL() ? request_->URL()->absoluteString() : "",
                     request_ ? request_->timeoutInterval() : 0.0});

  if (const auto source = replySource(); source && source->takes(*this)) {
    awaitingAnswer_ = std::static_pointer_cast<NSURLConnection>(shared_from_this());
    return;
  }
  transfer_ = std::make_unique<Transfer>(*this);
  transfer_->self = std::static_pointer_cast<NSURLConnection>(shared_from_this());
  // Even a failure known at once reaches the delegate on a later turn, never inside start.
  if (const NSInteger failure = transfer_->begin(); failure != 0) {
    transfer_->failOnNextTurn(failure);
  }
}

const std::vector<NSURLConnection::Started>& NSURLConnection::startedRequests() {
  return journal();
}

void NSURLConnection::clearStartedRequests() {
  journal().clear();
}

size_t NSURLConnection::activeCount() {
  return activeTransfers;
}
