// Hostile-client load for bench/load-check: holds idle connections and trickling request heads
// open against an HTTP server on 127.0.0.1 while a prober times normal requests.
//
//   conn_load --port P [--idle N] [--trickle N] [--seconds S] [--probe-ms MS] [--path PATH]
//
// Prints one line of key=value figures: probes, failed probes, p50/p99/max latency in ms,
// connections that could not be opened, idle connections the server closed, trickling heads
// it closed (each is opened again at once, as a slowloris client would).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
  int port = 0;
  int idle = 0;
  int trickle = 0;
  int seconds = 10;
  int probeMs = 20;
  std::string path = "/d/quotes.csv?s=EURUSD=X&f=l1";
};

int openConnection(int port, bool blocking) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (blocking ? 0 : SOCK_NONBLOCK), 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 && errno != EINPROGRESS) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Waits for a non-blocking connect to finish.
bool finishConnect(int fd, int timeoutMs) {
  pollfd p{fd, POLLOUT, 0};
  if (::poll(&p, 1, timeoutMs) <= 0) return false;
  int error = 0;
  socklen_t length = sizeof error;
  ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
  return error == 0;
}

// One normal request on a fresh connection; the time to its whole reply, or -1.
double probe(const Settings& s) {
  auto start = Clock::now();
  int fd = openConnection(s.port, true);
  if (fd < 0) return -1;
  timeval timeout{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  std::string request =
      "GET " + s.path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
  bool ok = ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size());
  std::string reply;
  char buffer[4096];
  while (ok) {
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0) ok = false;
    if (n <= 0) break;
    reply.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  ok = ok && reply.rfind("HTTP/1.1 200", 0) == 0 && reply.find("\r\n\r\n") != std::string::npos;
  if (!ok) return -1;
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  auto at = static_cast<std::size_t>(std::lround(p * static_cast<double>(values.size() - 1)));
  return values[std::min(at, values.size() - 1)];
}

// Reads the command line into `s`; answers what is wrong with it, empty when nothing is.
std::string parseSettings(int argc, char** argv, Settings& s) {
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string_view flag = argv[i];
    std::string value = argv[i + 1];
    if (flag == "--port")
      s.port = std::atoi(value.c_str());
    else if (flag == "--idle")
      s.idle = std::atoi(value.c_str());
    else if (flag == "--trickle")
      s.trickle = std::atoi(value.c_str());
    else if (flag == "--seconds")
      s.seconds = std::atoi(value.c_str());
    else if (flag == "--probe-ms")
      s.probeMs = std::atoi(value.c_str());
    else if (flag == "--path")
      s.path = value;
    else
      return std::string("unknown argument ") + argv[i];
  }
  if (s.port <= 0 || s.idle < 0 || s.trickle < 0 || s.seconds <= 0 || s.seconds > 600 ||
      s.probeMs <= 0 || s.idle + s.trickle > 100000) {
    return "bad arguments";
  }
  return "";
}

// Opens the idle connections; those that fail to open are counted in `openFailures`.
std::vector<int> openIdle(const Settings& s, int& openFailures) {
  std::vector<int> idle;
  for (int i = 0; i < s.idle; ++i) {
    int fd = openConnection(s.port, false);
    if (fd < 0 || !finishConnect(fd, 5000)) {
      ++openFailures;
      if (fd >= 0) ::close(fd);
      continue;
    }
    idle.push_back(fd);
  }
  return idle;
}

// Each trickler sends a request head one byte at a time, one byte per connection every
// 100 ms, and never finishes it; a closed one is opened again.
class Tricklers {
 public:
  Tricklers(const Settings& s, int& openFailures)
      : s_(s),
        openFailures_(openFailures),
        head_("GET " + s.path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n"),
        tricklers_(static_cast<std::size_t>(s.trickle)) {
    for (auto& t : tricklers_) open(t);
  }
  ~Tricklers() {
    for (auto& t : tricklers_) {
      if (t.fd >= 0) ::close(t.fd);
    }
  }
  Tricklers(const Tricklers&) = delete;
  Tricklers& operator=(const Tricklers&) = delete;

  void runUntil(Clock::time_point end) {
    std::size_t turn = 0;
    while (Clock::now() < end) {
      // One trickled byte for each connection per 100 ms, spread over the period.
      auto slice = std::max<std::size_t>(1, tricklers_.size() / 10);
      for (std::size_t k = 0; k < slice && !tricklers_.empty(); ++k, ++turn) {
        step(tricklers_[turn % tricklers_.size()]);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  int reopened() const { return reopened_; }

 private:
  struct Trickler {
    int fd = -1;
    std::size_t sent = 0;
  };

  void open(Trickler& t) {
    t.fd = openConnection(s_.port, false);
    t.sent = 0;
    if (t.fd < 0) ++openFailures_;
  }

  void step(Trickler& t) {
    if (t.fd < 0) {
      open(t);
      return;
    }
    static const std::string filler = "X-Trickle: aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\r\n";
    char byte =
        t.sent < head_.size() ? head_[t.sent] : filler[(t.sent - head_.size()) % filler.size()];
    ssize_t n = ::send(t.fd, &byte, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n == 1) {
      ++t.sent;
    } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOTCONN) {
      ::close(t.fd);
      ++reopened_;
      open(t);
    }
  }

  const Settings& s_;
  int& openFailures_;
  const std::string head_;
  std::vector<Trickler> tricklers_;
  int reopened_ = 0;
};

// Idle connections the server closed read as end of file (or a reset) now; closes them all.
int closeIdle(const std::vector<int>& idle) {
  int closed = 0;
  for (int fd : idle) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 0) > 0) ++closed;
    ::close(fd);
  }
  return closed;
}

}  // namespace

int main(int argc, char** argv) {
  Settings s;
  if (const std::string problem = parseSettings(argc, argv, s); !problem.empty()) {
    std::fprintf(stderr, "conn_load: %s\n", problem.c_str());
    return 2;
  }
  rlimit limit{};
  ::getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = limit.rlim_max;
  ::setrlimit(RLIMIT_NOFILE, &limit);

  int openFailures = 0;
  const std::vector<int> idle = openIdle(s, openFailures);
  Tricklers tricklers(s, openFailures);

  std::atomic<bool> done{false};
  std::vector<double> latencies;
  int failedProbes = 0;
  std::thread prober([&] {
    auto next = Clock::now();
    while (!done) {
      double ms = probe(s);
      if (ms < 0) {
        ++failedProbes;
      } else {
        latencies.push_back(ms);
      }
      next += std::chrono::milliseconds(s.probeMs);
      std::this_thread::sleep_until(next);
    }
  });
  tricklers.runUntil(Clock::now() + std::chrono::seconds(s.seconds));
  done = true;
  prober.join();

  const int idleClosed = closeIdle(idle);
  std::printf(
      "probes=%zu failed=%d p50_ms=%.3f p99_ms=%.3f max_ms=%.3f open_failures=%d "
      "idle_held=%zu idle_closed=%d trickle_reopened=%d\n",
      latencies.size() + static_cast<std::size_t>(failedProbes), failedProbes,
      percentile(latencies, 0.5), percentile(latencies, 0.99),
      latencies.empty() ? 0.0 : *std::max_element(latencies.begin(), latencies.end()), openFailures,
      idle.size(), idleClosed, tricklers.reopened());
  return 0;
}
