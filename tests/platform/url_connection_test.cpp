#include "platform/foundation/url_connection.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/foundation/clock.h"
#include "platform/foundation/run_loop.h"
#include "tests/support/loopback_socket.h"
#include "tests/support/test_environment.h"

namespace {

using namespace std::chrono_literals;
using tessary::test::LoopbackSocket;
using tessary::test::readRequestHead;

struct Log {
  std::vector<std::string> calls;
  NSInteger status = 0;
  std::string responseUrl;
  std::string body;
  NSInteger errorCode = 0;
  std::string errorText;
  bool done() const {
    return !calls.empty() && (calls.back() == "finish" || calls.back() == "fail");
  }
};

class Recorder : public NSURLConnectionDelegate {
 public:
  explicit Recorder(std::shared_ptr<Log> log) : log_(std::move(log)) {}
  void connectionDidReceiveResponse(NSURLConnection&, const NSHTTPURLResponse& response) override {
    log_->calls.push_back("response");
    log_->status = response.statusCode();
    log_->responseUrl = response.URL() ? response.URL()->absoluteString() : "";
  }
  void connectionDidReceiveData(NSURLConnection&, const NSData& data) override {
    log_->calls.push_back("data");
    log_->body += data.bytes();
  }
  void connectionDidFinishLoading(NSURLConnection&) override { log_->calls.push_back("finish"); }
  void connectionDidFailWithError(NSURLConnection&, const NSError& error) override {
    log_->calls.push_back("fail");
    log_->errorCode = error.code();
    log_->errorText = error.localizedDescription();
  }

 private:
  std::shared_ptr<Log> log_;
};

const std::vector<std::string> kSuccess = {"response", "data", "finish"};
const std::vector<std::string> kFailure = {"fail"};

// Real sockets take real time: turn the loop until the predicate holds or the bound passes.
bool runUntil(const std::function<bool()>& predicate, double seconds = 10.0) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!predicate()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    NSRunLoop::mainRunLoop().runOnce(50ms);
  }
  return true;
}

std::shared_ptr<NSURLConnection> connect(
    const std::string& url, const std::shared_ptr<Log>& log, double timeout = 16.0,
    NSURLRequestCachePolicy policy = NSURLRequestReloadIgnoringLocalAndRemoteCacheData) {
  auto request = NSURLRequest::requestWithURLCachePolicyTimeoutInterval(NSURL::URLWithString(url),
                                                                        policy, timeout);
  return NSURLConnection::initWithRequestDelegate(request, std::make_shared<Recorder>(log));
}

// Starts a request and lets go of it at once, as callers do.
std::shared_ptr<Log> fetch(
    const std::string& url, double timeout = 16.0,
    NSURLRequestCachePolicy policy = NSURLRequestReloadIgnoringLocalAndRemoteCacheData) {
  auto log = std::make_shared<Log>();
  connect(url, log, timeout, policy)->start();
  return log;
}

// An httplib server on 127.0.0.1 with an ephemeral port, serving from its own thread.
template <class Server>
class Serving {
 public:
  template <class... Args>
  explicit Serving(Args&&... args) : server(std::forward<Args>(args)...) {}
  ~Serving() {
    if (!thread_.joinable()) return;
    while (!server.is_running() && !exited_) std::this_thread::yield();
    server.stop();
    thread_.join();
  }
  // Routes are registered before.
  void start() {
    port_ = server.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] {
      server.listen_after_bind();
      exited_ = true;
    });
  }
  std::string url(const std::string& path, const char* scheme = "http") const {
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_) + path;
  }

  Server server;

 private:
  int port_ = 0;
  std::atomic<bool> exited_{false};
  std::thread thread_;
};

// Accepts one connection, reads the request head and answers with the given bytes verbatim.
class RawReplyServer {
 public:
  explicit RawReplyServer(std::string reply) {
    thread_ = std::thread([this, reply = std::move(reply)] {
      const int client = ::accept(socket_.fd(), nullptr, nullptr);
      if (client < 0) return;
      readRequestHead(client);
      ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
      ::close(client);
    });
  }
  ~RawReplyServer() {
    ::shutdown(socket_.fd(), SHUT_RDWR);  // wakes an accept that never got a client
    thread_.join();
  }
  std::string url() const { return socket_.url(); }

 private:
  LoopbackSocket socket_;
  std::thread thread_;
};

// A one-way latch the server threads wait on, with a bound so no test can hang on it.
class Gate {
 public:
  void open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  bool wait() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 10s, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

class URLConnectionTest : public ::testing::Test {
 protected:
  // These tests choose their own clock, so they take the shared state only.
  void SetUp() override { tessary::test::TestEnvironment::resetSharedState(); }
  void TearDown() override {
    EXPECT_EQ(NSURLConnection::activeCount(), 0u);
    tessary::test::TestEnvironment::resetSharedState();
    Clock::setCurrent(nullptr);
  }
};

TEST_F(URLConnectionTest, URLsAndErrorTexts) {
  for (const char* bad : {"", "http://a b/", "http://a\tb/", "http://a/\x01", "http://a/\x7f",
                          "http://caf\xc3\xa9/", "http://a/%zz", "http://a/%4"}) {
    EXPECT_EQ(NSURL::URLWithString(bad), nullptr) << bad;
  }
  const auto url = NSURL::URLWithString("HTTPS://127.0.0.1:8080/q?s=EURUSD%3DX&f=l1#top");
  ASSERT_NE(url, nullptr);
  EXPECT_EQ(url->scheme(), "https");
  EXPECT_EQ(url->query(), "s=EURUSD%3DX&f=l1");
  EXPECT_EQ(NSURL("http://a/b#frag?x").query(), "");
  EXPECT_EQ(NSURL("http://a/b?").query(), "");
  EXPECT_EQ(NSURL("127.0.0.1:80/x").scheme(), "");
  EXPECT_EQ(NSURL("/just/a/path").scheme(), "");

  EXPECT_EQ(NSError::urlError(-1009)->localizedDescription(),
            "The Internet connection appears to be offline.");
  EXPECT_EQ(NSError::urlError(-1009)->domain(), NSURLErrorDomain);
  EXPECT_FALSE(NSError::urlError(-4242)->localizedDescription().empty());
}

TEST_F(URLConnectionTest, RepliesArriveAsResponseThenWholeBodyThenFinish) {
  Serving<httplib::Server> http;
  std::mutex seenMutex;
  std::vector<std::string> cacheControl, pragma;
  http.server.Get("/quote", [&](const httplib::Request& request, httplib::Response& response) {
    std::lock_guard lock(seenMutex);
    cacheControl.push_back(request.get_header_value("Cache-Control"));
    pragma.push_back(request.get_header_value("Pragma"));
    response.set_content("EURUSD=X,1.0850", "text/plain");
  });
  http.server.Get("/empty", [](const httplib::Request&, httplib::Response& response) {
    response.status = 200;
  });
  http.server.Get("/missing", [](const httplib::Request&, httplib::Response& response) {
    response.status = 404;
    response.set_content("no such quote", "text/plain");
  });
  http.start();

  const auto quote = std::make_shared<Log>();
  const auto connection = connect(http.url("/quote"), quote, 12.5);
  connection->start();
  EXPECT_EQ(connection->statusCode(), 0);
  EXPECT_EQ(NSURLConnection::activeCount(), 1u);
  const auto empty = fetch(http.url("/empty"));
  const auto missing = fetch(http.url("/missing"));
  const auto plain = fetch(http.url("/quote"), 16.0, NSURLRequestUseProtocolCachePolicy);
  ASSERT_TRUE(
      runUntil([&] { return quote->done() && empty->done() && missing->done() && plain->done(); }));

  EXPECT_EQ(quote->calls, kSuccess);
  EXPECT_EQ(quote->status, 200);
  EXPECT_EQ(connection->statusCode(), 200);
  EXPECT_EQ(quote->body, "EURUSD=X,1.0850");
  EXPECT_EQ(quote->responseUrl, http.url("/quote"));
  EXPECT_EQ(empty->calls, kSuccess) << "an empty body is one empty delivery";
  EXPECT_EQ(empty->body, "");
  EXPECT_EQ(missing->calls, kSuccess) << "an HTTP error status is no failure";
  EXPECT_EQ(missing->status, 404);
  EXPECT_EQ(missing->body, "no such quote");
  EXPECT_EQ(NSURLConnection::activeCount(), 0u);
  // A finished transfer leaves no idle timer behind.
  EXPECT_EQ(NSRunLoop::mainRunLoop().pendingTimers(NSRunLoop::TimeBase::Clock), 0u);

  std::lock_guard lock(seenMutex);
  EXPECT_EQ(std::count(cacheControl.begin(), cacheControl.end(), "no-cache"), 1);
  EXPECT_EQ(std::count(pragma.begin(), pragma.end(), "no-cache"), 1);
  EXPECT_EQ(std::count(cacheControl.begin(), cacheControl.end(), ""), 1);

  const auto& started = NSURLConnection::startedRequests();
  ASSERT_EQ(started.size(), 4u);
  EXPECT_EQ(started[0].url, http.url("/quote"));
  EXPECT_EQ(started[0].timeout, 12.5);
  EXPECT_EQ(started[1].url, http.url("/empty"));
}

TEST_F(URLConnectionTest, BodiesPastSixtyFourKibibytesFail) {
  Serving<httplib::Server> http;
  http.server.Get(
      R"(/sized/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
        response.set_content(std::string(std::stoul(request.matches[1]), 'x'), "text/plain");
      });
  // No length announced: the limit must hold while the bytes stream in.
  http.server.Get("/stream", [](const httplib::Request&, httplib::Response& response) {
    response.set_chunked_content_provider("text/plain", [](size_t, httplib::DataSink& sink) {
      const std::string block(8192, 'y');
      for (int i = 0; i < 20 && sink.is_writable(); ++i) sink.write(block.data(), block.size());
      sink.done();
      return true;
    });
  });
  http.start();

  const auto exact = fetch(http.url("/sized/65536"));
  const auto over = fetch(http.url("/sized/65537"));
  const auto streamed = fetch(http.url("/stream"));
  ASSERT_TRUE(runUntil([&] { return exact->done() && over->done() && streamed->done(); }));
  EXPECT_EQ(exact->calls, kSuccess);
  EXPECT_EQ(exact->body.size(), 65536u);
  for (const auto& log : {over, streamed}) {
    EXPECT_EQ(log->calls, kFailure);
    EXPECT_EQ(log->errorCode, NSURLErrorDataLengthExceedsMaximum);
    EXPECT_EQ(log->errorText, "resource exceeds maximum size");
  }
}

TEST_F(URLConnectionTest, FailuresKnownAtStartArriveOnALaterTurn) {
  const auto noURL = std::make_shared<Log>();
  auto request = NSURLRequest::requestWithURLCachePolicyTimeoutInterval(
      NSURL::URLWithString("not an address"), NSURLRequestUseProtocolCachePolicy, 16.0);
  auto connection =
      NSURLConnection::initWithRequestDelegate(request, std::make_shared<Recorder>(noURL));
  connection->start();
  connection->start();  // a second start is ignored
  connection.reset();
  const auto ftp = fetch("ftp://127.0.0.1/rates");
  const auto noScheme = fetch("127.0.0.1:8080/rates");
  const auto noRequest = std::make_shared<Log>();
  NSURLConnection::initWithRequestDelegate(nullptr, std::make_shared<Recorder>(noRequest))->start();

  for (const auto& log : {noURL, ftp, noScheme, noRequest}) EXPECT_TRUE(log->calls.empty());
  EXPECT_EQ(NSURLConnection::activeCount(), 4u);
  NSRunLoop::mainRunLoop().runUntilIdle();

  EXPECT_EQ(noURL->calls, kFailure);
  EXPECT_EQ(noURL->errorCode, NSURLErrorBadURL);
  EXPECT_EQ(noURL->errorText, "bad URL");
  EXPECT_EQ(ftp->errorCode, NSURLErrorUnsupportedURL);
  EXPECT_EQ(ftp->errorText, "unsupported URL");
  EXPECT_EQ(noScheme->errorCode, NSURLErrorUnsupportedURL);
  EXPECT_EQ(noRequest->errorCode, NSURLErrorBadURL);
  EXPECT_EQ(NSRunLoop::mainRunLoop().pendingTimers(NSRunLoop::TimeBase::Clock), 0u);
  const auto& started = NSURLConnection::startedRequests();
  ASSERT_EQ(started.size(), 4u);
  EXPECT_EQ(started[0].url, "");
  EXPECT_EQ(started[1].url, "ftp://127.0.0.1/rates");
}

TEST_F(URLConnectionTest, JournalKeepsTheNewestTenThousand) {
  for (int i = 0; i <= 10000; ++i) fetch("ftp://127.0.0.1/" + std::to_string(i));
  NSRunLoop::mainRunLoop().runUntilIdle();
  const auto& started = NSURLConnection::startedRequests();
  ASSERT_EQ(started.size(), 10000u);
  EXPECT_EQ(started.front().url, "ftp://127.0.0.1/1");
  EXPECT_EQ(started.back().url, "ftp://127.0.0.1/10000");
  NSURLConnection::clearStartedRequests();
  EXPECT_TRUE(NSURLConnection::startedRequests().empty());
}

TEST_F(URLConnectionTest, BrokenConnectionsAndRepliesFail) {
  LoopbackSocket closed(false);
  const std::string refusedURL = closed.url("/rates");
  closed.close();
  RawReplyServer silent("");
  RawReplyServer truncated("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten b");
  RawReplyServer garbage("\x16\x03\x01 this is no reply\r\n\r\n");
  std::string flood = "HTTP/1.1 200 OK\r\n";
  for (int i = 0; i < 20000; ++i)
    flood += "X-Filler-" + std::to_string(i) + ": " + std::string(40, 'z') + "\r\n";
  RawReplyServer headerFlood(flood + "Content-Length: 2\r\n\r\nok");

  const auto refused = fetch(refusedURL);
  const auto nothing = fetch(silent.url());
  const auto cut = fetch(truncated.url());
  const auto junk = fetch(garbage.url());
  const auto flooded = fetch(headerFlood.url());
  ASSERT_TRUE(runUntil([&] {
    return refused->done() && nothing->done() && cut->done() && junk->done() && flooded->done();
  }));

  EXPECT_EQ(refused->calls, kFailure);
  EXPECT_EQ(refused->errorCode, NSURLErrorCannotConnectToHost);
  EXPECT_EQ(refused->errorText, "Could not connect to the server.");
  EXPECT_EQ(nothing->errorCode, NSURLErrorNetworkConnectionLost);
  EXPECT_EQ(nothing->errorText, "The network connection was lost.");
  EXPECT_EQ(cut->calls, kFailure) << "a partial body is never delivered";
  EXPECT_EQ(cut->errorCode, NSURLErrorNetworkConnectionLost);
  EXPECT_EQ(junk->calls, kFailure);
  EXPECT_EQ(junk->errorCode, NSURLErrorBadServerResponse);
  EXPECT_EQ(flooded->calls, kFailure) << "a megabyte of headers is refused";
}

TEST_F(URLConnectionTest, IdleTimeoutFollowsTheProcessClock) {
  auto clock = std::make_shared<ManualClock>();
  Clock::setCurrent(clock);
  LoopbackSocket mute(true);  // the kernel accepts the connection; nobody ever answers
  const auto log = fetch(mute.url("/rates"), 16.0);
  runUntil([] { return NSRunLoop::mainRunLoop().sourceCount() > 0; }, 2.0);
  runUntil([] { return false; }, 0.2);  // real time for the request to go out; no clock moves

  NSRunLoop::mainRunLoop().advanceBy(Seconds(15.9));
  EXPECT_TRUE(log->calls.empty());
  NSRunLoop::mainRunLoop().advanceBy(Seconds(0.1));
  EXPECT_EQ(log->calls, kFailure);
  EXPECT_EQ(log->errorCode, NSURLErrorTimedOut);
  EXPECT_EQ(log->errorText, "The request timed out.");
  EXPECT_EQ(NSRunLoop::mainRunLoop().sourceCount(), 0u) << "the socket goes with the request";
}

TEST_F(URLConnectionTest, RequestsBeyondSixToOneHostQueueWithinTheirTimeout) {
  auto clock = std::make_shared<ManualClock>();
  Clock::setCurrent(clock);
  LoopbackSocket mute(true);
  auto& loop = NSRunLoop::mainRunLoop();
  std::vector<std::shared_ptr<Log>> first, queued;
  for (int i = 0; i < 6; ++i) first.push_back(fetch(mute.url("/rates"), 16.0));
  loop.advanceBy(Seconds(1.0));
  for (int i = 0; i < 2; ++i) queued.push_back(fetch(mute.url("/rates"), 16.0));
  ASSERT_TRUE(runUntil([&] { return loop.sourceCount() >= 6; }, 2.0));
  runUntil([] { return false; }, 0.3);  // real time in which a seventh socket would open
  EXPECT_EQ(loop.sourceCount(), 6u);

  // A queued request takes a freed place; its timeout still counts from its start.
  loop.advanceBy(Seconds(15.0));
  for (const auto& log : first) EXPECT_EQ(log->calls, kFailure);
  ASSERT_TRUE(runUntil([&] { return loop.sourceCount() == 2; }, 2.0));
  loop.advanceBy(Seconds(0.9));
  for (const auto& log : queued) EXPECT_TRUE(log->calls.empty());
  loop.advanceBy(Seconds(0.1));
  for (const auto& log : queued) EXPECT_EQ(log->errorCode, NSURLErrorTimedOut);
  EXPECT_EQ(loop.sourceCount(), 0u);
}

TEST_F(URLConnectionTest, BytesMovingRestartTheIdleTimeout) {
  auto clock = std::make_shared<ManualClock>();
  Clock::setCurrent(clock);
  Serving<httplib::Server> http;
  std::atomic<bool> arrived{false};
  Gate answer, finish;
  http.server.Get("/slow", [&](const httplib::Request&, httplib::Response& response) {
    arrived = true;
    answer.wait();
    response.set_chunked_content_provider("text/plain", [&](size_t, httplib::DataSink& sink) {
      finish.wait();
      sink.done();
      return true;
    });
  });
  http.start();

  const auto log = std::make_shared<Log>();
  const auto connection = connect(http.url("/slow"), log, 16.0);
  connection->start();
  ASSERT_TRUE(runUntil([&] { return arrived.load(); }));
  NSRunLoop::mainRunLoop().advanceBy(Seconds(10.0));
  answer.open();  // the status line and headers move at clock time 10
  ASSERT_TRUE(runUntil([&] { return connection->statusCode() == 200; }));
  NSRunLoop::mainRunLoop().advanceBy(Seconds(15.9));
  EXPECT_TRUE(log->calls.empty());
  NSRunLoop::mainRunLoop().advanceBy(Seconds(0.1));
  EXPECT_EQ(log->calls, kFailure);
  EXPECT_EQ(log->errorCode, NSURLErrorTimedOut);
  finish.open();
}

TEST_F(URLConnectionTest, RedirectsUpToFiveToHttpOnly) {
  Serving<httplib::Server> http;
  http.server.Get(R"(/hop/(\d+))",
                  [](const httplib::Request& request, httplib::Response& response) {
                    const int left = std::stoi(request.matches[1]);
                    if (left == 0) {
                      response.set_content("arrived", "text/plain");
                    } else {
                      response.set_redirect("/hop/" + std::to_string(left - 1));
                    }
                  });
  http.server.Get("/to-file", [](const httplib::Request&, httplib::Response& response) {
    response.set_redirect("file:///etc/passwd");
  });
  http.start();

  const auto five = fetch(http.url("/hop/5"));
  const auto six = fetch(http.url("/hop/6"));
  const auto toFile = fetch(http.url("/to-file"));
  ASSERT_TRUE(runUntil([&] { return five->done() && six->done() && toFile->done(); }));
  EXPECT_EQ(five->calls, kSuccess);
  EXPECT_EQ(five->body, "arrived");
  EXPECT_EQ(five->responseUrl, http.url("/hop/0"));
  EXPECT_EQ(six->calls, kFailure);
  EXPECT_EQ(six->errorCode, NSURLErrorHTTPTooManyRedirects);
  EXPECT_EQ(six->errorText, "too many HTTP redirects");
  EXPECT_EQ(toFile->calls, kFailure);
  EXPECT_EQ(toFile->errorCode, NSURLErrorUnsupportedURL);
}

TEST_F(URLConnectionTest, SeveralRequestsRunAtOnceAndStaySeparate) {
  constexpr int kRequests = 4;
  Serving<httplib::Server> http;
  std::mutex mutex;
  std::condition_variable allThere;
  int waiting = 0;
  // Each reply waits until every request is in: requests taken one at a time would stall.
  http.server.Get("/together", [&](const httplib::Request& request, httplib::Response& response) {
    std::unique_lock lock(mutex);
    ++waiting;
    allThere.notify_all();
    if (allThere.wait_for(lock, 10s, [&] { return waiting >= kRequests; })) {
      response.set_content("reply to " + request.get_param_value("n"), "text/plain");
    } else {
      response.status = 503;
    }
  });
  http.start();

  std::vector<std::shared_ptr<Log>> logs;
  for (int i = 0; i < kRequests; ++i)
    logs.push_back(fetch(http.url("/together?n=" + std::to_string(i))));
  EXPECT_EQ(NSURLConnection::activeCount(), size_t{kRequests});
  ASSERT_TRUE(runUntil(
      [&] {
        return std::all_of(logs.begin(), logs.end(), [](const auto& log) { return log->done(); });
      },
      15.0));
  for (int i = 0; i < kRequests; ++i) {
    EXPECT_EQ(logs[i]->calls, kSuccess);
    EXPECT_EQ(logs[i]->status, 200);
    EXPECT_EQ(logs[i]->body, "reply to " + std::to_string(i));
  }
}

// Holds its connection, as a controller does, and lets it go while being told.
class ReleasingDelegate : public Recorder {
 public:
  using Recorder::Recorder;
  void connectionDidReceiveData(NSURLConnection& connection, const NSData& data) override {
    connection_.reset();
    Recorder::connectionDidReceiveData(connection, data);
  }
  std::shared_ptr<NSURLConnection> connection_;
};

TEST_F(URLConnectionTest, ARunningConnectionKeepsItselfAndItsDelegate) {
  Serving<httplib::Server> http;
  http.server.Get("/rates", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("rates", "text/plain");
  });
  http.start();

  const auto log = std::make_shared<Log>();
  auto delegate = std::make_shared<ReleasingDelegate>(log);
  auto connection = NSURLConnection::initWithRequestDelegate(
      NSURLRequest::requestWithURLCachePolicyTimeoutInterval(
          NSURL::URLWithString(http.url("/rates")), NSURLRequestUseProtocolCachePolicy, 16.0),
      delegate);
  delegate->connection_ = connection;
  const std::weak_ptr<NSURLConnection> weakConnection = connection;
  const std::weak_ptr<NSURLConnectionDelegate> weakDelegate = delegate;
  connection->start();
  connection.reset();
  delegate.reset();

  ASSERT_TRUE(runUntil([&] { return log->done(); }));
  EXPECT_EQ(log->calls, kSuccess);
  EXPECT_EQ(log->body, "rates");
  EXPECT_TRUE(weakConnection.expired()) << "let go once finished";
  EXPECT_TRUE(weakDelegate.expired());
}

// A test CA and a server certificate for 127.0.0.1, made by the openssl command.
class TestCertificates {
 public:
  TestCertificates() {
    char pattern[] = "/tmp/tessary-tls-XXXXXX";
    if (!::mkdtemp(pattern)) return;
    dir_ = pattern;
    const std::string in = "cd '" + dir_.string() + "' && ";
    const std::string quiet = " >/dev/null 2>&1";
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    {
      std::ofstream ext(dir_ / "server.ext");
      ext << "subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\n"
             "extendedKeyUsage=serverAuth\n";
    }
    ok_ = std::system((in + "openssl req -x509" + ec +
                       " -keyout ca.key -out ca.pem -days 2 -subj '/CN=Tessary Test CA'" + quiet)
                          .c_str()) == 0 &&
          std::system((in + "openssl req" + ec +
                       " -keyout server.key -out server.csr -subj '/CN=127.0.0.1'" + quiet)
                          .c_str()) == 0 &&
          std::system((in +
                       "openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key"
                       " -CAcreateserial -days 2 -extfile server.ext -out server.pem" +
                       quiet)
                          .c_str()) == 0;
  }
  ~TestCertificates() {
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
  }
  bool ok() const { return ok_; }
  std::string path(const char* name) const { return (dir_ / name).string(); }

 private:
  std::filesystem::path dir_;
  bool ok_ = false;
};

// Sets or clears an environment variable for one scope.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST_F(URLConnectionTest, HttpsVerifiesTheServerAgainstTheTrustedAuthorities) {
  const TestCertificates certificates;
  ASSERT_TRUE(certificates.ok());
  Serving<httplib::SSLServer> https(certificates.path("server.pem").c_str(),
                                    certificates.path("server.key").c_str());
  ASSERT_TRUE(https.server.is_valid());
  https.server.Get("/rates", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("secure rates", "text/plain");
  });
  https.start();

  std::shared_ptr<Log> trusted, untrusted;
  {
    const ScopedEnvironment ca("SSL_CERT_FILE", certificates.path("ca.pem"));
    trusted = fetch(https.url("/rates", "https"));
  }
  {
    const ScopedEnvironment ca("SSL_CERT_FILE", std::nullopt);
    untrusted = fetch(https.url("/rates", "https"));
  }
  ASSERT_TRUE(runUntil([&] { return trusted->done() && untrusted->done(); }));
  EXPECT_EQ(trusted->calls, kSuccess);
  EXPECT_EQ(trusted->body, "secure rates");
  EXPECT_EQ(untrusted->calls, kFailure);
  EXPECT_EQ(untrusted->errorCode, NSURLErrorServerCertificateUntrusted);
}

}  // namespace
