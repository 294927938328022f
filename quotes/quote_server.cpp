#include "quotes/quote_server.h"

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
#include <charconv>
#include <cstring>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "quotes/log.h"
#include "quotes/quote_query.h"

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
// Descriptors kept free beside the connections: the listener, the log, a table fetch.
constexpr std::size_t kSpareDescriptors = 64;

const char* reasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 304:
      return "Not Modified";
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 414:
      return "URI Too Long";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 501:
      return "Not Implemented";
    case 502:
      return "Bad Gateway";
    case 503:
      return "Service Unavailable";
    case 504:
      return "Gateway Timeout";
    case 505:
      return "HTTP Version Not Supported";
    default:
      return status < 300   ? "OK"
             : status < 400 ? "Redirect"
             : status < 500 ? "Client Error"
                            : "Server Error";
  }
}

void appendNumber(std::string& out, std::uint64_t value) {
  char digits[24];
  auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

// An absolute-form target ("http://host/path?query") as its path and query.
std::string_view originForm(std::string_view target) {
  for (std::string_view scheme : {"http://", "https://"}) {
    if (target.size() >= scheme.size() &&
        std::equal(scheme.begin(), scheme.end(), target.begin(),
                   [](char a, char b) { return a == (b | 0x20); })) {
      auto slash = target.find('/', scheme.size());
      return slash == std::string_view::npos ? std::string_view("/") : target.substr(slash);
    }
  }
  return target;
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
  bool waiting = false;       // a delayed or stalled answer holds the connection
  bool moreBuffered = false;  // `in` holds requests not yet looked at
  bool closeAfterWrite = false;
  std::size_t lingerLeft = kLingerBytes;
  std::unique_ptr<asio::steady_timer> delay;
};

using ConnectionPtr = std::shared_ptr<Connection>;
using ConnectionList = bi::list<Connection, bi::member_hook<Connection, Hook, &Connection::hook>,
                                bi::constant_time_size<false>>;

struct TableView {
  std::uint64_t version = std::numeric_limits<std::uint64_t>::max();
  std::shared_ptr<const RateTable> table;
  std::string etag;
  std::string modifiedText;
  std::time_t modified = 0;
};

}  // namespace

class QuoteServer::Impl {
 public:
  Impl(ServerConfig config, const RateStore& store) : config_(std::move(config)), store_(store) {
    if (config_.threads == 0) config_.threads = usableCores();
    if (config_.logRequests) requestLog_ = std::make_unique<RequestLog>();
  }

  ~Impl() {
    workers_.clear();
    if (listenFd_ >= 0) ::close(listenFd_);
  }

  int bind(const std::string& host, int port);
  bool run();
  void stop();

 private:
  class Worker;

  void raiseDescriptorLimit();
  void evictOne(Worker& from);
  std::time_t modifiedFor(std::uint64_t version, const RateTable& table);

  ServerConfig config_;
  const RateStore& store_;
  std::unique_ptr<RequestLog> requestLog_;
  int listenFd_ = -1;
  int family_ = AF_INET;
  std::size_t capacity_ = 0;
  std::atomic<std::size_t> open_{0};
  std::atomic<bool> stopping_{false};
  std::vector<std::unique_ptr<Worker>> workers_;
  std::mutex runMutex_;
  std::mutex tableMutex_;
  std::uint64_t seenVersion_ = std::numeric_limits<std::uint64_t>::max();
  std::time_t seenAt_ = 0;
};

// One event loop on one thread with its own connections. A connection is in exactly one of the
// phase lists, each ordered by when its phase began, so deadlines and the longest idle are
// found at the front.
class QuoteServer::Impl::Worker {
 public:
  Worker(Impl& server, int listenFd)
      : server_(server), config_(server.config_), ioc_(1), acceptor_(ioc_), sweep_(ioc_) {
    int fd = ::dup(listenFd);
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
  void accept() {
    acceptor_.async_accept([this](const error_code& ec, tcp::socket socket) {
      if (ec == asio::error::operation_aborted || !acceptor_.is_open()) return;
      if (!ec) {
        adopt(std::move(socket));
      } else if (ec == asio::error::no_descriptors || ec.value() == ENFILE ||
                 ec == asio::error::no_buffer_space || ec == asio::error::no_memory) {
        // Out of descriptors: make room and try again shortly instead of spinning.
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
    if (server_.open_.fetch_add(1, std::memory_order_relaxed) + 1 > server_.capacity_)
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
    server_.open_.fetch_sub(1, std::memory_order_relaxed);
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

  struct Reply {
    int status = 200;
    std::string_view contentType;
    std::string_view body;
    bool sendBody = true;
    bool close = false;
    bool keepAliveHeader = false;  // an HTTP/1.0 client asked to keep the connection
    std::string_view allow;
    bool cacheFor = false;    // Cache-Control with the table's max-age
    bool validators = false;  // ETag and Last-Modified
  };

  void refuse(Connection& c, const ParseStep& step) {
    std::string body = step.reason + "\n";
    Reply r;
    r.status = step.status;
    r.contentType = "text/plain";
    r.body = body;
    r.close = true;
    write(c, r);
    const auto& head = c.parser->head();
    log(c, head.method, head.target, step.status);
    c.closeAfterWrite = true;
  }

  void answer(const ConnectionPtr& cp, const RequestHead& head) {
    Connection& c = *cp;
    ++c.requests;
    bool close = !head.keepAlive || head.hasBody || c.requests >= config_.keepAliveMaxRequests ||
                 server_.stopping_.load(std::memory_order_relaxed);
    if (close) c.closeAfterWrite = true;
    std::string_view target = originForm(head.target);
    std::string_view path = target.substr(0, target.find('?'));
    Reply r;
    r.close = close;
    r.keepAliveHeader = !close && head.version == 10;
    r.sendBody = head.method != "HEAD";
    r.contentType = "text/plain";
    if (!head.knownMethod) {
      r.status = 501;
      r.body = "Not implemented\n";
    } else if (path != kQuotePath) {
      r.status = 404;
      r.body = "Not found\n";
    } else if (head.method != "GET" && head.method != "HEAD") {
      r.status = 405;
      r.body = "Method not allowed\n";
      r.allow = "GET, HEAD";
    } else if (config_.stall) {
      c.waiting = true;
      enter(c, Phase::Busy, Clock::now());
      return;
    } else if (config_.delay.count() > 0) {
      c.waiting = true;
      enter(c, Phase::Busy, Clock::now());
      c.delay = std::make_unique<asio::steady_timer>(ioc_, config_.delay);
      c.delay->async_wait([this, cp, head, r](const error_code& ec) {
        if (ec || !cp->open) return;
        cp->waiting = false;
        quote(*cp, head, r);
        cp->moreBuffered = !cp->in.empty();
        pump(cp);
      });
      return;
    } else {
      quote(c, head, r);
      return;
    }
    write(c, r);
    log(c, head.method, head.target, r.status);
  }

  void quote(Connection& c, const RequestHead& head, Reply r) {
    const TableView& view = table();
    auto query = std::string_view(head.target);
    auto mark = query.find('?');
    query = mark == std::string_view::npos ? std::string_view() : query.substr(mark + 1);
    auto reply = answerQuote(*view.table, query);
    bool fromTable = !config_.status && !config_.body;
    r.status = config_.status.value_or(reply.status);
    r.contentType = reply.contentType;
    if (config_.body) reply.body = *config_.body;
    r.body = reply.body;
    if (fromTable && (r.status == 200 || r.status == 404)) r.cacheFor = true;
    if (fromTable && r.status == 200) {
      r.validators = true;
      if (head.ifNoneMatch) {
        if (noneMatchHits(*head.ifNoneMatch, view.etag)) r.status = 304;
      } else if (head.ifModifiedSince) {
        auto since = parseHttpDate(*head.ifModifiedSince);
        if (since && view.modified <= *since) r.status = 304;
      }
    }
    if (r.status == 304) r.sendBody = false;
    write(c, r);
    log(c, head.method, head.target, r.status);
  }

  void write(Connection& c, const Reply& r) {
    refreshClock();
    std::string& out = c.out;
    out.append("HTTP/1.1 ");
    appendNumber(out, static_cast<std::uint64_t>(r.status));
    out.push_back(' ');
    out.append(reasonPhrase(r.status));
    out.append("\r\nDate: ").append(dateText_);
    if (r.status != 304) {
      out.append("\r\nContent-Type: ").append(r.contentType);
      out.append("\r\nContent-Length: ");
      appendNumber(out, r.body.size());
    }
    if (r.cacheFor) out.append("\r\nCache-Control: ").append(cacheControl_);
    if (r.validators) {
      const TableView& view = table();
      out.append("\r\nETag: ").append(view.etag);
      out.append("\r\nLast-Modified: ").append(view.modifiedText);
    }
    if (!r.allow.empty()) out.append("\r\nAllow: ").append(r.allow);
    if (r.close) {
      out.append("\r\nConnection: close");
    } else if (r.keepAliveHeader) {
      out.append("\r\nConnection: keep-alive");
    }
    out.append("\r\n\r\n");
    if (r.sendBody) out.append(r.body);
  }

  void log(const Connection& c, std::string_view method, std::string_view target, int status) {
    if (!server_.requestLog_) return;
    auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - c.requestStart)
            .count();
    std::string line;
    line.reserve(target.size() + 40);
    line += method.empty() ? std::string_view("-") : method;
    line += ' ';
    line += target.empty() ? std::string("-") : sanitizeForLog(target);
    line += ' ';
    appendNumber(line, static_cast<std::uint64_t>(status));
    line += ' ';
    appendNumber(line, static_cast<std::uint64_t>(micros / 1000));
    line += '.';
    auto fraction = std::to_string(1000 + micros % 1000);  // three digits after the point
    line += fraction.substr(1);
    line += "ms";
    server_.requestLog_->add(line);
  }

  // This loop's reference to the table in force, renewed when the store's version moves.
  const TableView& table() {
    auto version = server_.store_.version();
    if (version != view_.version || !view_.table) {
      view_.table = server_.store_.current();
      view_.version = version;
      std::uint64_t hash = digest64(view_.table->source);
      hash = digest64(view_.table->date, hash);
      for (const auto& [code, rate] : view_.table->rates()) {
        hash = digest64(code, hash);
        hash = digest64(std::string_view(reinterpret_cast<const char*>(&rate), sizeof rate), hash);
      }
      char hex[17];
      std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
      view_.etag = std::string("\"") + hex + "\"";
      view_.modified = server_.modifiedFor(version, *view_.table);
      view_.modifiedText = httpDate(view_.modified);
      clockSecond_ = -1;  // max-age depends on the table's day
    }
    return view_;
  }

  void refreshClock() {
    std::time_t now = std::time(nullptr);
    if (now == clockSecond_) return;
    clockSecond_ = now;
    dateText_ = httpDate(now);
    auto fresh = freshFor(now, table().table->date, config_.schedule);
    cacheControl_ = "public, max-age=" + std::to_string(fresh);
  }

  Impl& server_;
  const ServerConfig& config_;
  asio::io_context ioc_;
  tcp::acceptor acceptor_;
  asio::steady_timer sweep_;
  std::unique_ptr<asio::steady_timer> retry_;
  ConnectionList idle_, head_, busy_, writing_, lingering_;
  std::atomic<Clock::rep> oldestIdle_{std::numeric_limits<Clock::rep>::max()};
  char buffer_[kReadChunk];
  TableView view_;
  std::time_t clockSecond_ = -1;
  std::string dateText_;
  std::string cacheControl_;
};

int QuoteServer::Impl::bind(const std::string& host, int port) {
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
  for (auto* a = found; a; a = a->ai_next) {
    int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
    if (fd < 0) continue;
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd, a->ai_addr, a->ai_addrlen) == 0 && ::listen(fd, SOMAXCONN) == 0) {
      listenFd_ = fd;
      family_ = a->ai_family;
      break;
    }
    savedErrno = errno;
    ::close(fd);
  }
  ::freeaddrinfo(found);
  if (listenFd_ < 0) {
    errno = savedErrno;
    return -1;
  }
  sockaddr_storage addr{};
  socklen_t length = sizeof addr;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &length);
  int bound = addr.ss_family == AF_INET6
                  ? ntohs(reinterpret_cast<const sockaddr_in6&>(addr).sin6_port)
                  : ntohs(reinterpret_cast<const sockaddr_in&>(addr).sin_port);

  raiseDescriptorLimit();
  std::lock_guard lock(runMutex_);
  for (std::size_t i = 0; i < config_.threads; ++i)
    workers_.push_back(std::make_unique<Worker>(*this, listenFd_));
  return bound;
}

void QuoteServer::Impl::raiseDescriptorLimit() {
  rlimit limit{};
  std::size_t need = config_.maxConnections + kSpareDescriptors + 2 * config_.threads;
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < need) {
      limit.rlim_cur =
          limit.rlim_max == RLIM_INFINITY ? need : std::min<rlim_t>(need, limit.rlim_max);
      ::setrlimit(RLIMIT_NOFILE, &limit);
      ::getrlimit(RLIMIT_NOFILE, &limit);
    }
  }
  capacity_ = config_.maxConnections;
  if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < need) {
    auto room = limit.rlim_cur > kSpareDescriptors + 2 * config_.threads
                    ? limit.rlim_cur - kSpareDescriptors - 2 * config_.threads
                    : 1;
    capacity_ = std::max<std::size_t>(1, room);
    logLine("connections: the open-file limit of " + std::to_string(limit.rlim_cur) + " holds " +
            std::to_string(capacity_) + " of the " + std::to_string(config_.maxConnections) +
            " connections asked for");
  }
}

bool QuoteServer::Impl::run() {
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

void QuoteServer::Impl::stop() {
  std::lock_guard lock(runMutex_);
  stopping_ = true;
  for (auto& w : workers_) w->stopLoop();
}

void QuoteServer::Impl::evictOne(Worker& from) {
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

std::time_t QuoteServer::Impl::modifiedFor(std::uint64_t version, const RateTable& table) {
  std::lock_guard lock(tableMutex_);
  if (version != seenVersion_) {
    seenVersion_ = version;
    seenAt_ = std::time(nullptr);
  }
  return tableModified(table.date, seenAt_, config_.schedule.dueMinute);
}

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
