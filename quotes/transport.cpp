#include "quotes/transport.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/intrusive/list.hpp>
#include <cerrno>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "quotes/log.h"

namespace tessary::quotes {

namespace {

namespace asio = boost::asio;
namespace bi = boost::intrusive;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using boost::system::error_code;

constexpr auto kSweepInterval = std::chrono::milliseconds(250);
// A refused client may still be sending; what it sends is read and dropped for this long (or
// this much) before the close, so that the refusal reaches it instead of a reset.
constexpr auto kLingerTime = std::chrono::seconds(2);
constexpr std::size_t kLingerBytes = 4 << 20;
// Pipelined requests are answered until this much waits to be sent.
constexpr std::size_t kOutputHigh = std::size_t{64} * 1024;
constexpr std::size_t kReadChunk = std::size_t{16} * 1024;

// Descriptors the service needs beside its connections: standard streams, the listener, a
// table fetch, and per event loop its copy of the listener, its epoll, its wake-up and timer
// descriptors; then a margin that grows with the limit, up to 64.
std::size_t spareDescriptors(rlim_t limit, std::size_t threads) {
  std::size_t fixed = 8 + 4 * threads;
  std::size_t margin = limit == RLIM_INFINITY ? 64 : std::min<std::size_t>(64, limit / 16);
  return fixed + margin;
}

// The cores this process may run on, which a container may hold below the machine's count.
std::size_t usableCores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
    return static_cast<std::size_t>(CPU_COUNT(&set));
  return std::max(1u, std::thread::hardware_concurrency());
}

enum class Phase { Idle, Head, Busy, Writing, Lingering };

using Hook = bi::list_member_hook<bi::link_mode<bi::auto_unlink>>;

// One client connection. Idle, it holds a socket and nothing else: requests are read into the
// worker's buffer, and only the unfinished part of one is kept here.
struct Connection {
  explicit Connection(tcp::socket s) : socket(std::move(s)) {}

  Hook hook;
  tcp::socket socket;
  Phase phase = Phase::Idle;
  Clock::time_point since;  // when the current phase began (a request head: its first byte)
  std::shared_ptr<Connection> self;  // while open
  bool open = true;
  std::string in;   // received bytes not yet answered
  std::string out;  // reply bytes not yet sent
  std::optional<RequestParser> parser;
  Clock::time_point requestStart;
  std::size_t requests = 0;
  bool waiting = false;       // an answer held back holds the connection
  bool moreBuffered = false;  // `in` holds requests not yet looked at
  bool closeAfterWrite = false;
  std::size_t lingerLeft = kLingerBytes;
  std::unique_ptr<asio::steady_timer> delay;
};

using ConnectionPtr = std::shared_ptr<Connection>;
using ConnectionList = bi::list<Connection, bi::member_hook<Connection, Hook, &Connection::hook>,
                                bi::constant_time_size<false>>;

}  // namespace

class Transport::Impl {
 public:
  Impl(const TransportConfig& config, LoopFactory makeLoop, ServiceMetrics& metrics)
      : config_(config), makeLoop_(std::move(makeLoop)), metrics_(metrics) {
    if (config_.threads == 0) config_.threads = usableCores();
    if (config_.logRequests) requestLog_ = std::make_unique<RequestLog>();
  }

  ~Impl() {
    workers_.clear();
    if (listenFd_ >= 0) ::close(listenFd_);
  }

  int listen(const std::string& host, int port);
  int adopt(int fd);
  bool run();
  void stop();

 private:
  class Worker;

  int serveOn(int fd);
  void raiseDescriptorLimit();
  void evictOne(Worker& from);

  TransportConfig config_;
  LoopFactory makeLoop_;
  ServiceMetrics& metrics_;
  std::unique_ptr<RequestLog> requestLog_;
  int listenFd_ = -1;
  int family_ = AF_INET;
  std::size_t capacity_ = 0;
  std::atomic<bool> stopping_{false};
  std::vector<std::unique_ptr<Worker>> workers_;
  std::mutex runMutex_;
};

// One event loop on one thread with its own connections. A connection is in exactly one of the
// phase lists, each ordered by when its phase began, so deadlines and the longest idle are
// found at the front.
class Transport::Impl::Worker {
 public:
  Worker(Impl& server, int listenFd, LoopMetrics& metrics)
      : server_(server),
        config_(server.config_),
        parts_(server.makeLoop_()),
        metrics_(metrics),
        ioc_(1),
        acceptor_(ioc_),
        sweep_(ioc_) {
    int fd = ::fcntl(listenFd, F_DUPFD_CLOEXEC, 0);
    error_code ec;
    acceptor_.assign(server.family_ == AF_INET6 ? tcp::v6() : tcp::v4(), fd, ec);
    if (ec) ::close(fd);
  }

  // Closing may report an error through an exception; none may leave a destructor.
  ~Worker() {
    try {
      closeAll();
    } catch (...) {
    }
  }

  void start() {
    accept();
    sweep();
  }
  void runLoop() { ioc_.run(); }
  void stopLoop() { ioc_.stop(); }
  asio::io_context& context() { return ioc_; }

  // The monotonic time the longest-idle connection became idle; max when none is.
  Clock::rep oldestIdle() const { return oldestIdle_.load(std::memory_order_relaxed); }

  void evictOldest() {
    ConnectionList& from = !idle_.empty() ? idle_ : head_;
    if (from.empty()) return;
    auto keep = from.front().self;
    close(*keep);
    server_.metrics_.refused.fetch_add(1, std::memory_order_relaxed);
  }

  // After the loop stopped: closes every connection and lets their handlers finish.
  void closeAll() {
    for (ConnectionList* list : {&idle_, &head_, &busy_, &writing_, &lingering_}) {
      while (!list->empty()) {
        auto keep = list->front().self;
        close(*keep);
      }
    }
    error_code ignored;
    acceptor_.close(ignored);
    sweep_.cancel();
    if (retry_) retry_->cancel();
    ioc_.restart();
    ioc_.poll();
  }

 private:
  // The connection's side of a request whose answer a handler holds back.
  class HeldExchange final : public Exchange {
   public:
    HeldExchange(Worker& worker, const ConnectionPtr& connection, const RequestHead& head)
        : worker_(worker), connection_(connection), head_(head) {}

    void answerAfter(std::chrono::milliseconds delay,
                     std::function<void(Response&)> answer) override {
      hold();
      auto& c = *connection_;
      c.delay = std::make_unique<asio::steady_timer>(worker_.ioc_, delay);
      c.delay->async_wait([&worker = worker_, cp = connection_, head = head_,
                           answer = std::move(answer)](const error_code& ec) {
        if (ec || !cp->open) return;
        cp->waiting = false;
        Response response;
        answer(response);
        worker.respond(*cp, head, response);
        cp->moreBuffered = !cp->in.empty();
        worker.pump(cp);
      });
    }
    void neverAnswer() override { hold(); }

   private:
    void hold() {
      connection_->waiting = true;
      worker_.enter(*connection_, Phase::Busy, Clock::now());
    }

    Worker& worker_;
    const ConnectionPtr& connection_;
    const RequestHead& head_;
  };

  void accept() {
    acceptor_.async_accept([this](const error_code& ec, tcp::socket socket) {
      if (ec == asio::error::operation_aborted || !acceptor_.is_open()) return;
      if (!ec) {
        adopt(std::move(socket));
      } else if (ec == asio::error::no_descriptors || ec.value() == ENFILE ||
                 ec == asio::error::no_buffer_space || ec == asio::error::no_memory) {
        // Out of descriptors: make room and try again shortly instead of spinning.
        server_.metrics_.refused.fetch_add(1, std::memory_order_relaxed);
        server_.evictOne(*this);
        retry_ = std::make_unique<asio::steady_timer>(ioc_, std::chrono::milliseconds(20));
        retry_->async_wait([this](const error_code& e) {
          if (!e) accept();
        });
        return;
      }
      accept();
    });
  }

  void adopt(tcp::socket socket) {
    int one = 1;
    ::setsockopt(socket.native_handle(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto c = std::make_shared<Connection>(std::move(socket));
    c->self = c;
    enter(*c, Phase::Idle, Clock::now());
    if (server_.metrics_.open.fetch_add(1, std::memory_order_relaxed) + 1 > server_.capacity_)
      server_.evictOne(*this);
    if (c->open) pump(c);
  }

  ConnectionList& listOf(Phase phase) {
    switch (phase) {
      case Phase::Idle:
        return idle_;
      case Phase::Head:
        return head_;
      case Phase::Busy:
        return busy_;
      case Phase::Writing:
        return writing_;
      case Phase::Lingering:
        return lingering_;
    }
    return busy_;
  }

  void enter(Connection& c, Phase phase, Clock::time_point since) {
    c.hook.unlink();
    c.phase = phase;
    c.since = since;
    listOf(phase).push_back(c);
    noteOldestIdle();
  }

  void noteOldestIdle() {
    oldestIdle_.store(idle_.empty() ? std::numeric_limits<Clock::rep>::max()
                                    : idle_.front().since.time_since_epoch().count(),
                      std::memory_order_relaxed);
  }

  void close(Connection& c) {
    if (!c.open) return;
    auto keep = std::move(c.self);
    c.open = false;
    c.hook.unlink();
    noteOldestIdle();
    if (c.delay) c.delay->cancel();
    error_code ignored;
    c.socket.close(ignored);
    server_.metrics_.open.fetch_sub(1, std::memory_order_relaxed);
  }

  void sweep() {
    sweep_.expires_after(kSweepInterval);
    sweep_.async_wait([this](const error_code& ec) {
      if (ec) return;
      auto now = Clock::now();
      expire(idle_, now - config_.keepAliveTimeout);
      expire(head_, now - config_.headTimeout);
      expire(writing_, now - config_.writeTimeout);
      expire(lingering_, now - kLingerTime);
      sweep();
    });
  }

  void expire(ConnectionList& list, Clock::time_point before) {
    while (!list.empty() && list.front().since <= before) {
      auto keep = list.front().self;
      close(*keep);
    }
  }

  void waitFor(const ConnectionPtr& c, tcp::socket::wait_type what) {
    c->socket.async_wait(what, [this, c](const error_code& ec) {
      if (!ec && c->open) pump(c);
    });
  }

  // Moves a connection as far as it can go without waiting: sends what is queued, answers
  // buffered requests, reads and answers more, and leaves it waiting on its socket.
  void pump(const ConnectionPtr& c) {
    int fd = c->socket.native_handle();
    while (c->open && !c->waiting) {
      if (!c->out.empty()) {
        ssize_t n = ::send(fd, c->out.data(), c->out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
          c->out.erase(0, static_cast<std::size_t>(n));
          continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
          if (c->phase != Phase::Writing) enter(*c, Phase::Writing, Clock::now());
          waitFor(c, tcp::socket::wait_write);
          return;
        }
        close(*c);
        return;
      }
      if (c->closeAfterWrite && c->phase != Phase::Lingering) {
        ::shutdown(fd, SHUT_WR);
        c->in.clear();
        c->parser.reset();
        enter(*c, Phase::Lingering, Clock::now());
      }
      if (c->moreBuffered) {
        c->moreBuffered = false;
        take(c, {});
        continue;
      }
      ssize_t n = ::recv(fd, buffer_, sizeof buffer_, MSG_DONTWAIT);
      if (n > 0) {
        auto got = static_cast<std::size_t>(n);
        if (c->phase == Phase::Lingering) {
          c->lingerLeft -= std::min(got, c->lingerLeft);
          if (c->lingerLeft == 0) close(*c);
        } else {
          take(c, std::string_view(buffer_, got));
        }
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        if (c->phase == Phase::Lingering) {
          // stays where it is
        } else if (c->parser) {
          if (c->phase != Phase::Head) enter(*c, Phase::Head, c->requestStart);
        } else {
          enter(*c, Phase::Idle, Clock::now());
        }
        waitFor(c, tcp::socket::wait_read);
        return;
      }
      close(*c);  // the client closed, or the socket failed
      return;
    }
  }

  // Answers the complete requests in `data` (behind what `in` holds) and keeps the rest.
  void take(const ConnectionPtr& cp, std::string_view data) {
    Connection& c = *cp;
    bool direct = c.in.empty();
    if (!direct) c.in.append(data);
    std::string_view bytes = direct ? data : std::string_view(c.in);
    std::size_t used = 0;
    bool stoppedEarly = false;
    while (used < bytes.size()) {
      if (c.waiting || c.closeAfterWrite || c.out.size() >= kOutputHigh) {
        stoppedEarly = true;
        break;
      }
      if (!c.parser) {
        c.parser.emplace(config_.limits);
        c.requestStart = Clock::now();
      }
      auto step = c.parser->parse(bytes.substr(used));
      if (step.state == ParseStep::State::NeedMore) break;
      if (step.state == ParseStep::State::Refused) {
        refuse(c, step);
        used = bytes.size();
        break;
      }
      used += step.consumed;
      RequestHead head = std::move(c.parser->head());
      c.parser.reset();
      answer(cp, head);
      if (!c.open) return;
    }
    if (c.closeAfterWrite) {
      c.in.clear();
      c.parser.reset();
      return;
    }
    if (direct) {
      c.in.assign(bytes.substr(used));
    } else {
      c.in.erase(0, used);
    }
    if (c.in.empty() && c.in.capacity() > kReadChunk) std::string().swap(c.in);
    c.moreBuffered = stoppedEarly;
  }

  void refuse(Connection& c, const ParseStep& step) {
    std::string body = step.reason + "\n";
    Response r;
    r.status = step.status;
    r.body = body;
    Framing framing;
    framing.close = true;
    parts_.writer->write(c.out, r, framing);
    const auto& head = c.parser->head();
    finish(c, head.method, head.knownMethod, head.target, step.status);
    c.closeAfterWrite = true;
  }

  void answer(const ConnectionPtr& cp, const RequestHead& head) {
    Connection& c = *cp;
    ++c.requests;
    if (!head.keepAlive || head.hasBody || c.requests >= config_.keepAliveMaxRequests ||
        server_.stopping_.load(std::memory_order_relaxed))
      c.closeAfterWrite = true;
    Response response;
    HeldExchange exchange(*this, cp, head);
    if (parts_.handler->handle(head, response, exchange)) respond(c, head, response);
  }

  void respond(Connection& c, const RequestHead& head, const Response& response) {
    Framing framing;
    framing.close = c.closeAfterWrite;
    framing.keepAliveHeader = !framing.close && head.version == 10;
    framing.sendBody = head.method != "HEAD";
    parts_.writer->write(c.out, response, framing);
    finish(c, head.method, head.knownMethod, head.target, response.status);
  }

  // Logs and counts a request once its answer is written.
  void finish(const Connection& c, std::string_view method, bool knownMethod,
              std::string_view target, int status) {
    auto micros = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - c.requestStart)
            .count());
    metrics_.record(LoopMetrics::methodOf(method, knownMethod), status, micros);
    if (server_.requestLog_)
      server_.requestLog_->add(formatRequestLine(method, target, status, micros));
  }

  Impl& server_;
  const TransportConfig& config_;
  LoopParts parts_;
  LoopMetrics& metrics_;
  asio::io_context ioc_;
  tcp::acceptor acceptor_;
  asio::steady_timer sweep_;
  std::unique_ptr<asio::steady_timer> retry_;
  ConnectionList idle_, head_, busy_, writing_, lingering_;
  std::atomic<Clock::rep> oldestIdle_{std::numeric_limits<Clock::rep>::max()};
  char buffer_[kReadChunk];
};

int Transport::Impl::listen(const std::string& host, int port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  auto service = std::to_string(port);
  if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) {
    errno = EADDRNOTAVAIL;
    return -1;
  }
  int savedErrno = 0;
  int listening = -1;
  for (auto* a = found; a; a = a->ai_next) {
    int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
    if (fd < 0) continue;
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, SOMAXCONN) == 0) {
      listening = fd;
      break;
    }
    savedErrno = errno;
    ::close(fd);
  }
  ::freeaddrinfo(found);
  if (listening < 0) {
    errno = savedErrno;
    return -1;
  }
  return serveOn(listening);
}

int Transport::Impl::adopt(int fd) {
  int listening = 0;
  int type = 0;
  socklen_t length = sizeof listening;
  sockaddr_storage addr{};
  socklen_t addrLength = sizeof addr;
  if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &length) != 0 || !listening ||
      (length = sizeof type, ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length)) != 0 ||
      type != SOCK_STREAM ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &addrLength) != 0 ||
      (addr.ss_family != AF_INET && addr.ss_family != AF_INET6)) {
    errno = ENOTSOCK;
    return -1;
  }
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  return serveOn(fd);
}

int Transport::Impl::serveOn(int fd) {
  listenFd_ = fd;
  sockaddr_storage addr{};
  socklen_t length = sizeof addr;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &length);
  family_ = addr.ss_family;
  int bound = addr.ss_family == AF_INET6
                  ? ntohs(reinterpret_cast<const sockaddr_in6&>(addr).sin6_port)
                  : ntohs(reinterpret_cast<const sockaddr_in&>(addr).sin_port);

  raiseDescriptorLimit();
  std::lock_guard lock(runMutex_);
  for (std::size_t i = 0; i < config_.threads; ++i) {
    metrics_.loops.push_back(std::make_unique<LoopMetrics>());
    workers_.push_back(std::make_unique<Worker>(*this, listenFd_, *metrics_.loops.back()));
  }
  return bound;
}

void Transport::Impl::raiseDescriptorLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
    capacity_ = config_.maxConnections;
    return;
  }
  auto need = [&](rlim_t at) {
    return config_.maxConnections + spareDescriptors(at, config_.threads);
  };
  if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < need(limit.rlim_cur)) {
    auto wanted = need(RLIM_INFINITY);
    limit.rlim_cur =
        limit.rlim_max == RLIM_INFINITY ? wanted : std::min<rlim_t>(wanted, limit.rlim_max);
    ::setrlimit(RLIMIT_NOFILE, &limit);
    ::getrlimit(RLIMIT_NOFILE, &limit);
  }
  capacity_ = config_.maxConnections;
  if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < need(limit.rlim_cur)) {
    auto spare = spareDescriptors(limit.rlim_cur, config_.threads);
    capacity_ = limit.rlim_cur > spare ? limit.rlim_cur - spare : 1;
    logLine("connections: the open-file limit of " + std::to_string(limit.rlim_cur) + " holds " +
            std::to_string(capacity_) + " of the " + std::to_string(config_.maxConnections) +
            " connections asked for");
  }
}

bool Transport::Impl::run() {
  {
    std::lock_guard lock(runMutex_);
    if (stopping_ || workers_.empty()) return stopping_;
    for (auto& w : workers_) w->start();
  }
  std::vector<std::thread> threads;
  for (std::size_t i = 1; i < workers_.size(); ++i)
    threads.emplace_back([w = workers_[i].get()] { w->runLoop(); });
  workers_[0]->runLoop();
  for (auto& t : threads) t.join();
  for (auto& w : workers_) w->closeAll();
  if (requestLog_) requestLog_->flush();
  return true;
}

void Transport::Impl::stop() {
  std::lock_guard lock(runMutex_);
  stopping_ = true;
  for (auto& w : workers_) w->stopLoop();
}

void Transport::Impl::evictOne(Worker& from) {
  Worker* best = nullptr;
  auto bestSince = std::numeric_limits<Clock::rep>::max();
  for (auto& w : workers_) {
    auto since = w->oldestIdle();
    if (since < bestSince) {
      bestSince = since;
      best = w.get();
    }
  }
  // With nobody idle, the accepting loop gives up its oldest unfinished request.
  if (!best || best == &from) {
    from.evictOldest();
  } else {
    asio::post(best->context(), [best] { best->evictOldest(); });
  }
}

Transport::Transport(const TransportConfig& config, LoopFactory makeLoop, ServiceMetrics& metrics)
    : impl_(std::make_unique<Impl>(config, std::move(makeLoop), metrics)) {}
Transport::~Transport() = default;
int Transport::listen(const std::string& host, int port) {
  return impl_->listen(host, port);
}
int Transport::adopt(int fd) {
  return impl_->adopt(fd);
}
bool Transport::run() {
  return impl_->run();
}
void Transport::stop() {
  impl_->stop();
}

}  // namespace tessary::quotes
