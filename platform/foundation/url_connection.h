#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/values.h"

class TESSARY_EXPORT NSURL : public NSObject {
 public:
  // nullptr for text that is no address: empty, or holding spaces, control characters,
  // non-ASCII bytes, one of "<>\^`{|} or a broken %-escape.
  static std::shared_ptr<NSURL> URLWithString(const std::string& text);
  explicit NSURL(std::string text) : text_(std::move(text)) {}
  const std::string& absoluteString() const { return text_; }
  // Lowercased scheme, empty when there is none.
  std::string scheme() const;
  // The text after the first "?" up to any "#", empty when there is none.
  std::string query() const;
  std::string description() const override { return text_; }

 private:
  std::string text_;
};

enum NSURLRequestCachePolicy {
  NSURLRequestUseProtocolCachePolicy = 0,
  NSURLRequestReloadIgnoringLocalCacheData = 1,
  NSURLRequestReturnCacheDataElseLoad = 2,
  NSURLRequestReturnCacheDataDontLoad = 3,
  NSURLRequestReloadIgnoringLocalAndRemoteCacheData = 4,
};

class TESSARY_EXPORT NSURLRequest : public NSObject {
 public:
  static std::shared_ptr<NSURLRequest> requestWithURLCachePolicyTimeoutInterval(
      std::shared_ptr<NSURL> url, NSURLRequestCachePolicy policy, NSTimeInterval timeout) {
    return std::make_shared<NSURLRequest>(std::move(url), policy, timeout);
  }
  NSURLRequest(std::shared_ptr<NSURL> url, NSURLRequestCachePolicy policy, NSTimeInterval timeout)
      : url_(std::move(url)), policy_(policy), timeout_(timeout) {}
  const std::shared_ptr<NSURL>& URL() const { return url_; }
  NSURLRequestCachePolicy cachePolicy() const { return policy_; }
  // Idle seconds; zero, negative or NaN means the platform's default of 60.
  NSTimeInterval timeoutInterval() const { return timeout_; }

 private:
  std::shared_ptr<NSURL> url_;
  NSURLRequestCachePolicy policy_;
  NSTimeInterval timeout_;
};

inline constexpr const char* NSURLErrorDomain = "NSURLErrorDomain";
enum NSURLErrorCode : NSInteger {
  NSURLErrorUnknown = -1,
  NSURLErrorBadURL = -1000,
  NSURLErrorTimedOut = -1001,
  NSURLErrorUnsupportedURL = -1002,
  NSURLErrorCannotFindHost = -1003,
  NSURLErrorCannotConnectToHost = -1004,
  NSURLErrorNetworkConnectionLost = -1005,
  NSURLErrorHTTPTooManyRedirects = -1007,
  NSURLErrorNotConnectedToInternet = -1009,
  NSURLErrorBadServerResponse = -1011,
  NSURLErrorDataLengthExceedsMaximum = -1103,
  NSURLErrorSecureConnectionFailed = -1200,
  NSURLErrorServerCertificateUntrusted = -1202,
};

class TESSARY_EXPORT NSError : public NSObject {
 public:
  NSError(std::string domain, NSInteger code, std::string description)
      : domain_(std::move(domain)), code_(code), description_(std::move(description)) {}
  // An NSURLErrorDomain error with the platform's description for the code.
  static std::shared_ptr<NSError> urlError(NSInteger code);
  const std::string& domain() const { return domain_; }
  NSInteger code() const { return code_; }
  const std::string& localizedDescription() const { return description_; }
  std::string description() const override { return description_; }

 private:
  std::string domain_;
  NSInteger code_;
  std::string description_;
};

class TESSARY_EXPORT NSHTTPURLResponse : public NSObject {
 public:
  NSHTTPURLResponse(std::shared_ptr<NSURL> url, NSInteger status)
      : url_(std::move(url)), status_(status) {}
  const std::shared_ptr<NSURL>& URL() const { return url_; }
  NSInteger statusCode() const { return status_; }

 private:
  std::shared_ptr<NSURL> url_;
  NSInteger status_;
};

class NSURLConnection;

// What a request got back: a failure's NSURLErrorDomain code and description, or the HTTP
// status and the whole body.
struct NSURLReply {
  NSInteger failure = 0;  // 0 for a reply
  std::string description;
  NSInteger status = 0;
  std::string body;
};

// Sees every request the process starts and how it ends, and may answer requests itself
// instead of the network (a replay answers from what was recorded).
class TESSARY_EXPORT NSURLReplySource {
 public:
  virtual ~NSURLReplySource();
  // Asked as a connection starts: true holds it off the network until answer() is called.
  virtual bool takes(NSURLConnection& connection) = 0;
  // Each outcome, from the network or from answer(), just before the delegate hears of it.
  virtual void concluded(NSURLConnection& /*connection*/, const NSURLReply& /*reply*/) {}
};

// Every call arrives on the main run loop: the response, then the whole body once, then the
// finishing call; or the failure alone.
class TESSARY_EXPORT NSURLConnectionDelegate {
 public:
  virtual ~NSURLConnectionDelegate();
  virtual void connectionDidReceiveResponse(NSURLConnection&, const NSHTTPURLResponse&) {}
  virtual void connectionDidReceiveData(NSURLConnection&, const NSData&) {}
  virtual void connectionDidFinishLoading(NSURLConnection&) {}
  virtual void connectionDidFailWithError(NSURLConnection&, const NSError&) {}
};

// An HTTP GET on libcurl's multi interface, driven by the main run loop. The connection keeps
// itself and its delegate alive from start until it has finished or failed.
class TESSARY_EXPORT NSURLConnection : public NSObject {
 public:
  static std::shared_ptr<NSURLConnection> initWithRequestDelegate(
      std::shared_ptr<NSURLRequest> request, std::shared_ptr<NSURLConnectionDelegate> delegate);
  ~NSURLConnection() override;

  void start();
  const std::shared_ptr<NSURLRequest>& originalRequest() const { return request_; }
  // The reply's HTTP status once known, 0 before.
  NSInteger statusCode() const { return status_; }

  // Requests started in this process, oldest first, and how many are still running.
  struct Started {
    std::string url;
    double timeout;
  };
  static const std::vector<Started>& startedRequests();
  static void clearStartedRequests();
  static size_t activeCount();

  // At most one source; null removes it.
  static void setReplySource(std::shared_ptr<NSURLReplySource> source);
  // Ends a connection its reply source took, calling the delegate as a network reply does;
  // false when the connection is not waiting for an answer.
  bool answer(NSURLReply reply);
  // Drops a connection still waiting for its answer without telling the delegate, so that
  // neither keeps the other alive once nobody will answer (a replay that ends early).
  void abandon();

  NSURLConnection(PassKey<NSURLConnection>, std::shared_ptr<NSURLRequest> request,
                  std::shared_ptr<NSURLConnectionDelegate> delegate);

  struct Transfer;  // the libcurl side, defined in the source
  friend struct Transfer;

 private:
  std::shared_ptr<NSURLRequest> request_;
  std::shared_ptr<NSURLConnectionDelegate> delegate_;
  std::shared_ptr<NSURL> responseURL_;  // where redirects led, when they did
  NSInteger status_ = 0;
  bool started_ = false;
  std::unique_ptr<Transfer> transfer_;
  // Keeps a connection the reply source took alive until it is answered.
  std::shared_ptr<NSURLConnection> awaitingAnswer_;

  // Tells the source and then the delegate; the connection may be gone afterwards.
  void deliver(std::shared_ptr<NSURLConnection> keepAlive, NSURLReply reply);
};
