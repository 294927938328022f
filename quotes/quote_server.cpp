#include "quotes/quote_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>

#include "quotes/log.h"
#include "quotes/quote_query.h"

namespace tessary::quotes {

namespace {

using Clock = std::chrono::steady_clock;

// State of the request a worker is serving, for the logger and the connection loop.
thread_local Clock::time_point tRequestStart;
thread_local bool tCloseAfter = false;    // the request had a body we did not read
thread_local bool tDropResponse = false;  // a stalled request being abandoned at shutdown
thread_local bool tRouted = false;        // false when httplib refused the request itself

int toMillis(Clock::duration d) {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
  return static_cast<int>(std::clamp<long long>(ms, 0, 1 << 30));
}

bool waitFor(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  int r;
  do {
    r = ::poll(&p, 1, timeoutMs);
  } while (r < 0 && errno == EINTR);
  return r > 0;
}

std::string addressText(const sockaddr_storage& addr, int& port) {
  char text[INET6_ADDRSTRLEN] = "";
  port = 0;
  if (addr.ss_family == AF_INET) {
    auto& in = reinterpret_cast<const sockaddr_in&>(addr);
    ::inet_ntop(AF_INET, &in.sin_addr, text, sizeof text);
    port = ntohs(in.sin_port);
  } else if (addr.ss_family == AF_INET6) {
    auto& in6 = reinterpret_cast<const sockaddr_in6&>(addr);
    ::inet_ntop(AF_INET6, &in6.sin6_addr, text, sizeof text);
    port = ntohs(in6.sin6_port);
  }
  return text;
}

// One connection's socket as httplib sees it. Reads are buffered (the request parser reads a
// byte at a time) and bounded in bytes and time per request; writes are gathered and sent once
// per response, so a response never waits on Nagle for its body.
class ConnectionStream final : public httplib::Stream {
 public:
  ConnectionStream(int fd, const ServerConfig& config) : fd_(fd), config_(config) {
    sockaddr_storage addr{};
    socklen_t length = sizeof addr;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0) {
      remoteIp_ = addressText(addr, remotePort_);
    }
    length = sizeof addr;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0) {
      localIp_ = addressText(addr, localPort_);
    }
  }

  // Waits for the next request to begin, for at most the keep-alive timeout.
  bool waitForRequest(const std::function<bool()>& stopping) {
    if (inPos_ < inLength_) return true;
    auto until = Clock::now() + config_.keepAliveTimeout;
    while (!stopping()) {
      auto left = until - Clock::now();
      if (left <= Clock::duration::zero()) return false;
      if (waitFor(fd_, POLLIN, std::min(toMillis(left), 100))) return true;
    }
    return false;
  }

  void beginRequest() {
    tRequestStart = Clock::now();
    deadline_ = tRequestStart + config_.requestDeadline;
    consumed_ = 0;
  }

  bool flush() {
    std::size_t sent = 0;
    while (sent < out_.size() && !failed_) {
      ssize_t n = ::send(fd_, out_.data() + sent, out_.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        if (!waitFor(fd_, POLLOUT, toMillis(config_.writeTimeout))) failed_ = true;
      } else {
        failed_ = true;
      }
    }
    out_.clear();
    return !failed_;
  }

  void discardOutput() { out_.clear(); }
  bool failed() const { return failed_; }

  bool is_readable() const override {
    return inPos_ < inLength_ || waitFor(fd_, POLLIN, toMillis(config_.readTimeout));
  }
  bool is_writable() const override { return !failed_; }

  ssize_t read(char* ptr, std::size_t size) override {
    if (consumed_ >= config_.maxRequestBytes) return -1;
    if (inPos_ == inLength_) {
      ssize_t n = fill();
      if (n <= 0) return n;
    }
    std::size_t n = std::min({size, inLength_ - inPos_, config_.maxRequestBytes - consumed_});
    std::memcpy(ptr, in_ + inPos_, n);
    inPos_ += n;
    consumed_ += n;
    return static_cast<ssize_t>(n);
  }

  ssize_t write(const char* ptr, std::size_t size) override {
    if (failed_) return -1;
    out_.append(ptr, size);
    if (out_.size() >= 64 * 1024 && !flush()) return -1;
    return static_cast<ssize_t>(size);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    ip = remoteIp_;
    port = remotePort_;
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    ip = localIp_;
    port = localPort_;
  }
  socket_t socket() const override { return fd_; }

 private:
  ssize_t fill() {
    auto left = deadline_ - Clock::now();
    if (left <= Clock::duration::zero()) return -1;
    int timeout = std::min(toMillis(left), toMillis(config_.readTimeout));
    if (!waitFor(fd_, POLLIN, timeout)) return -1;
    ssize_t n;
    do {
      n = ::recv(fd_, in_, sizeof in_, 0);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return n < 0 ? -1 : 0;
    inPos_ = 0;
    inLength_ = static_cast<std::size_t>(n);
    return n;
  }

  int fd_;
  const ServerConfig& config_;
  char in_[4096];
  std::size_t inPos_ = 0;
  std::size_t inLength_ = 0;
  std::size_t consumed_ = 0;
  Clock::time_point deadline_;
  std::string out_;
  bool failed_ = false;
  std::string remoteIp_, localIp_;
  int remotePort_ = 0, localPort_ = 0;
};

}  // namespace

class QuoteServer::Impl {
 public:
  Impl(ServerConfig config, const RateStore& store) : config_(std::move(config)), store_(store) {
    http_.config_ = &config_;
    http_.stopping_ = &stopping_;
    http_.new_task_queue = [this] { return new Pool(config_.threads, *this); };
    // The accept loop wakes this often to notice a stop that came before it started.
    http_.set_idle_interval(0, 200000);
    http_.set_payload_max_length(config_.maxRequestBytes);
    http_.set_tcp_nodelay(true);
    http_.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
      route(req, res);
      return httplib::Server::HandlerResponse::Handled;
    });
    if (config_.logRequests) {
      requestLog_ = std::make_unique<RequestLog>();
      http_.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
        if (tDropResponse) return;
        auto micros =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - tRequestStart)
                .count();
        std::string line;
        line.reserve(req.target.size() + 40);
        line += req.method.empty() ? std::string_view("-") : std::string_view(req.method);
        line += ' ';
        line += req.target.empty() ? std::string("-") : sanitizeForLog(req.target);
        line += ' ';
        line += std::to_string(res.status);
        line += ' ';
        line += std::to_string(micros / 1000);
        line += '.';
        auto fraction = std::to_string(1000 + micros % 1000);  // three digits after the point
        line += fraction.substr(1);
        line += "ms";
        requestLog_->add(line);
      });
    }
  }

  int bind(const std::string& host, int port) {
    int bound =
        port == 0 ? http_.bind_to_any_port(host) : (http_.bind_to_port(host, port) ? port : -1);
    if (bound < 0) return -1;
    // httplib listens with a backlog of 5; a burst of connections needs more room.
    ::listen(http_.listeningSocket(), SOMAXCONN);
    return bound;
  }

  bool run() {
    if (stopping_) return true;
    bool ok = http_.listen_after_bind();
    if (requestLog_) requestLog_->flush();
    return ok || stopping_;
  }

  void stop() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    stopListening();
  }

  void onIdle() {
    if (stopping_) stopListening();
  }

 private:
  // Serves each connection with our own stream and keep-alive loop; see ConnectionStream.
  class Http final : public httplib::Server {
   public:
    const ServerConfig* config_ = nullptr;
    const std::atomic<bool>* stopping_ = nullptr;

    socket_t listeningSocket() const { return svr_sock_; }

   private:
    bool process_and_close_socket(socket_t sock) override {
      int one = 1;
      ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      bool ok = true;
      {
        ConnectionStream stream(sock, *config_);
        auto stopping = [this] { return stopping_->load() || svr_sock_ == INVALID_SOCKET; };
        for (std::size_t left = config_->keepAliveMaxRequests; left > 0; --left) {
          if (!stream.waitForRequest(stopping)) break;
          stream.beginRequest();
          tCloseAfter = false;
          tDropResponse = false;
          tRouted = false;
          bool closed = false;
          ok = process_request(stream, left == 1 || stopping(), closed, {});
          if (tDropResponse) {
            stream.discardOutput();
            break;
          }
          // After a request httplib refused, the rest of the stream is not known to be at a
          // request boundary.
          if (!stream.flush() || !ok || closed || tCloseAfter || !tRouted) break;
        }
      }
      ::shutdown(sock, SHUT_RDWR);
      ::close(sock);
      return ok;
    }
  };

  class Pool final : public httplib::ThreadPool {
   public:
    Pool(std::size_t n, Impl& owner) : ThreadPool(n), owner_(owner) {}
    void on_idle() override { owner_.onIdle(); }

   private:
    Impl& owner_;
  };

  static bool expectsBody(const httplib::Request& req) {
    return req.has_header("Transfer-Encoding") ||
           (req.has_header("Content-Length") && req.get_header_value("Content-Length") != "0");
  }

  void route(const httplib::Request& req, httplib::Response& res) {
    tRouted = true;
    if (expectsBody(req)) {
      // We answer without reading the body, so the connection cannot carry another request.
      tCloseAfter = true;
      res.set_header("Connection", "close");
    }
    if (req.path != kQuotePath) {
      res.status = 404;
      res.set_content("Not found\n", "text/plain");
      return;
    }
    if (req.method != "GET" && req.method != "HEAD") {
      res.status = 405;
      res.set_header("Allow", "GET, HEAD");
      res.set_content("Method not allowed\n", "text/plain");
      return;
    }
    serveQuote(req, res);
  }

  // This worker's reference to the table in force, renewed when the store's version moves.
  const RateTable& currentTable() {
    thread_local struct {
      const RateStore* store = nullptr;
      std::uint64_t version = 0;
      std::shared_ptr<const RateTable> table;
    } cache;
    auto version = store_.version();
    if (cache.store != &store_ || cache.version != version || !cache.table) {
      cache.table = store_.current();
      cache.store = &store_;
      cache.version = version;
    }
    return *cache.table;
  }

  void serveQuote(const httplib::Request& req, httplib::Response& res) {
    if (config_.stall || config_.delay.count() > 0) {
      std::unique_lock lock(mutex_);
      auto stopped = [this] { return stopping_.load(); };
      if (config_.stall) {
        wake_.wait(lock, stopped);
      } else {
        wake_.wait_for(lock, config_.delay, stopped);
      }
      if (stopping_) {
        tDropResponse = true;
        return;
      }
    }
    auto query = std::string_view(req.target);
    auto mark = query.find('?');
    query = mark == std::string_view::npos ? std::string_view() : query.substr(mark + 1);
    Reply reply = answerQuote(currentTable(), query);
    if (config_.status) reply.status = *config_.status;
    if (config_.body) reply.body = *config_.body;
    res.status = reply.status;
    res.set_content(reply.body, reply.contentType.c_str());
  }

  // httplib's stop() works only once the accept loop runs, and must not run twice.
  void stopListening() {
    std::lock_guard lock(stopMutex_);
    if (listenerStopped_ || !http_.is_running()) return;
    http_.stop();
    listenerStopped_ = true;
  }

  ServerConfig config_;
  const RateStore& store_;
  std::mutex stopMutex_;
  bool listenerStopped_ = false;
  std::unique_ptr<RequestLog> requestLog_;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  Http http_;
};

QuoteServer::QuoteServer(ServerConfig config, const RateStore& store)
    : impl_(std::make_unique<Impl>(std::move(config), store)) {}
QuoteServer::~QuoteServer() = default;
int QuoteServer::bind(const std::string& host, int port) {
  return impl_->bind(host, port);
}
bool QuoteServer::run() {
  return impl_->run();
}
void QuoteServer::stop() {
  impl_->stop();
}

}  // namespace tessary::quotes
