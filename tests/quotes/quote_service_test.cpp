// Runs the real tessary-quoted on 127.0.0.1 and talks HTTP to it.
#include "tests/support/quote_service.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "build_paths.h"
#include "quotes/cache_policy.h"
#include "quotes/rate_table.h"
#include "tests/support/loopback_socket.h"

extern char** environ;

namespace tessary::quotes {
namespace {

using test::QuoteService;
using Clock = std::chrono::steady_clock;

const std::string kEurUsd = "/d/quotes.csv?s=EURUSD=X&f=l1";

httplib::Client clientFor(const QuoteService& service,
                          std::chrono::milliseconds readTimeout = std::chrono::seconds(5)) {
  httplib::Client client("127.0.0.1", service.port());
  client.set_read_timeout(readTimeout);
  client.set_connection_timeout(std::chrono::seconds(5));
  return client;
}

// Sends raw bytes on a fresh connection and reads until the service closes it (bounded).
std::string rawExchange(int port, const std::string& bytes) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return "connect failed";
  }
  for (std::size_t sent = 0; sent < bytes.size();) {
    ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;  // the service may close early on hostile input
    sent += static_cast<std::size_t>(n);
  }
  std::string reply;
  auto deadline = Clock::now() + std::chrono::seconds(5);
  while (Clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 200) <= 0) continue;
    char buffer[4096];
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    reply.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return reply;
}

int countOf(const std::string& text, const std::string& needle) {
  int n = 0;
  for (auto at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++n;
  return n;
}

TEST(QuoteServiceHttp, AnswersQuotesAndEveryKindOfRefusal) {
  QuoteService service;
  auto client = clientFor(service);

  auto ok = client.Get(kEurUsd);
  ASSERT_TRUE(ok) << httplib::to_string(ok.error());
  EXPECT_EQ(ok->status, 200);
  EXPECT_EQ(ok->body, "1.1415\n");
  EXPECT_EQ(ok->get_header_value("Content-Type"), "text/csv");
  EXPECT_EQ(client.Get("/d/quotes.csv?s=USDJPY%3DX&f=l1")->body, "162.3390276\n");
  EXPECT_EQ(client.Get("/d/quotes.csv?f=l1&s=gbpgbp=x")->body, "1\n");
  // Euro quotes as the table has them; inverses and crosses with ten significant digits.
  EXPECT_EQ(client.Get("/d/quotes.csv?s=EURIDR=X&f=l1")->body, "20565.38\n");
  EXPECT_EQ(client.Get("/d/quotes.csv?s=EURINR=X&f=l1")->body, "108.9035\n");
  EXPECT_EQ(client.Get("/d/quotes.csv?s=IDREUR=X&f=l1")->body, "0.00004862540833\n");
  EXPECT_EQ(client.Get("/d/quotes.csv?s=INRIDR=X&f=l1")->body, "188.8403954\n");

  auto unknown = client.Get("/d/quotes.csv?s=XAUUSD=X&f=l1");
  EXPECT_EQ(unknown->status, 404);
  EXPECT_EQ(unknown->body, "N/A");
  for (auto query :
       {"", "?f=l1", "?s=EURUSD&f=l1", "?s=EURUSD=X&f=l2", "?s=EU%3=X&f=l1", "?s=EUR1SD=X&f=l1"}) {
    EXPECT_EQ(client.Get(std::string("/d/quotes.csv") + query)->status, 400) << query;
  }
  EXPECT_EQ(client.Get("/d/quotes.txt?s=EURUSD=X&f=l1")->status, 404);
  EXPECT_EQ(client.Get("/")->status, 404);
  auto post = client.Post(kEurUsd, "x=1", "application/x-www-form-urlencoded");
  EXPECT_EQ(post->status, 405);
  EXPECT_EQ(post->get_header_value("Allow"), "GET, HEAD");
  EXPECT_EQ(client.Delete(kEurUsd)->status, 405);
  auto head = client.Head(kEurUsd);
  EXPECT_EQ(head->status, 200);
  EXPECT_TRUE(head->body.empty());

  // Limits: an overlong target and oversized headers are refused, and the service goes on.
  EXPECT_EQ(client.Get("/d/quotes.csv?s=EURUSD=X&f=l1&pad=" + std::string(9000, 'a'))->status, 414);
  httplib::Headers bulky;
  for (int i = 0; i < 40; ++i) bulky.emplace("X-Pad-" + std::to_string(i), std::string(1000, 'b'));
  auto refused = client.Get(kEurUsd, bulky);
  ASSERT_TRUE(refused) << httplib::to_string(refused.error());
  EXPECT_EQ(refused->status, 431);
  EXPECT_EQ(client.Get(kEurUsd)->status, 200);

  EXPECT_EQ(service.stop(), 0);  // SIGTERM ends it cleanly
}

TEST(QuoteServiceHttp, SurvivesHostileBytesAndKeepsConnectionsAlive) {
  QuoteService service;
  auto garbage = rawExchange(service.port(), std::string("\x00\x01\xff GARBAGE\r\n\r\n", 15));
  EXPECT_EQ(garbage.rfind("HTTP/1.1 400", 0), 0u) << garbage;
  auto unknownMethod =
      rawExchange(service.port(), "BREW /d/quotes.csv HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(unknownMethod.rfind("HTTP/1.1 501", 0), 0u);
  // A method HTTP defines but the service does not allow gets 405 whatever the target.
  for (auto line : {"OPTIONS * HTTP/1.1", "CONNECT q:443 HTTP/1.1", "PUT /nowhere HTTP/1.1"}) {
    auto refused =
        rawExchange(service.port(), std::string(line) + "\r\nHost: q\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(refused.rfind("HTTP/1.1 405", 0), 0u) << line;
    EXPECT_NE(refused.find("\r\nAllow: GET, HEAD\r\n"), std::string::npos) << line;
  }
  auto later = rawExchange(service.port(),
                           "GET " + kEurUsd + " HTTP/1.2\r\nHost: q\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(later.rfind("HTTP/1.1 200", 0), 0u) << later;
  // A hostile control byte in the target is answered and cannot forge a log line.
  auto controls = rawExchange(
      service.port(),
      "GET /d/quotes.csv?s=EURUSD=X&f=l1%0a HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(controls.rfind("HTTP/1.1 400", 0), 0u);
  // Endless headers are cut off at the head's size bound.
  std::string flood = "GET " + kEurUsd + " HTTP/1.1\r\n";
  for (int i = 0; i < 2000; ++i) flood += "X-Flood: " + std::to_string(i) + "\r\n";
  auto flooded = rawExchange(service.port(), flood + "\r\n");
  EXPECT_EQ(flooded.rfind("HTTP/1.1 431", 0), 0u) << flooded.substr(0, 80);

  // Pipelined requests on one connection are all answered, in order.
  std::string pipelined;
  for (int i = 0; i < 50; ++i) pipelined += "GET " + kEurUsd + " HTTP/1.1\r\nHost: x\r\n\r\n";
  pipelined += "GET /d/quotes.csv?s=EURJPY=X&f=l1 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
  auto answers = rawExchange(service.port(), pipelined);
  EXPECT_EQ(countOf(answers, "HTTP/1.1 200 OK"), 51);
  EXPECT_NE(answers.rfind("185.31\n"), std::string::npos);

  auto client = clientFor(service);
  client.set_keep_alive(true);
  for (int i = 0; i < 200; ++i) ASSERT_EQ(client.Get(kEurUsd)->body, "1.1415\n") << i;
  EXPECT_EQ(service.stop(), 0);
}

TEST(QuoteServiceHttp, MisbehavesOnRequest) {
  {
    QuoteService service({"--status", "503"});
    auto reply = clientFor(service).Get(kEurUsd);
    EXPECT_EQ(reply->status, 503);
    EXPECT_EQ(reply->body, "1.1415\n");
    EXPECT_FALSE(reply->has_header("ETag"));  // a made-up answer is nothing to cache
  }
  {
    QuoteService service({"--body", "<html>oops</html>"});
    auto reply = clientFor(service).Get(kEurUsd);
    EXPECT_EQ(reply->status, 200);
    EXPECT_EQ(reply->body, "<html>oops</html>");
  }
  {
    QuoteService service({"--delay", "300"});
    auto start = Clock::now();
    auto reply = clientFor(service).Get(kEurUsd);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_EQ(reply->body, "1.1415\n");
    // A client that gives up sooner sees a read timeout.
    EXPECT_EQ(clientFor(service, std::chrono::milliseconds(50)).Get(kEurUsd).error(),
              httplib::Error::Read);
  }
  {
    QuoteService service({"--stall"});
    auto reply = clientFor(service, std::chrono::milliseconds(300)).Get(kEurUsd);
    EXPECT_FALSE(reply);
    EXPECT_EQ(reply.error(), httplib::Error::Read);
    EXPECT_EQ(service.stop(), 0);  // a stalled request does not hold up shutdown
  }
}

class TempDir {
 public:
  TempDir()
      : path_(std::filesystem::temp_directory_path() /
              ("tessary-quoted-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path_);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::string write(const std::string& name, const std::string& text) const {
    std::ofstream(path_ / name, std::ios::binary) << text;
    return (path_ / name).string();
  }

 private:
  std::filesystem::path path_;
};

TEST(QuoteServiceHttp, LoadsTablesGivenOnTheCommandLine) {
  TempDir dir;
  {
    QuoteService service(
        {"--rates", dir.write("gold.tsv", "# source: test\nXAU\t0.0005\nUSD\t1.25\n")});
    EXPECT_EQ(clientFor(service).Get("/d/quotes.csv?s=XAUUSD=X&f=l1")->body, "2500.000000\n");
    EXPECT_EQ(clientFor(service).Get("/d/quotes.csv?s=EURJPY=X&f=l1")->status, 404);
  }
  {
    auto ecb = std::filesystem::path(build::kSharedDataDir) / "eurofxref-daily.xml";
    QuoteService service({"--ecb-xml", ecb.string()});
    EXPECT_EQ(clientFor(service).Get("/d/quotes.csv?s=EURZAR=X&f=l1")->body, "18.5318\n");
  }
  // A broken table stops the service before it listens.
  EXPECT_THROW(QuoteService({"--rates", dir.write("broken.tsv", "USD\tcheap\n")}),
               std::runtime_error);
  EXPECT_THROW(QuoteService({"--ecb-xml", dir.write("broken.xml", "<Envelope><Cube")}),
               std::runtime_error);
}

// Starts a program with these arguments, one of its output streams dropped.
pid_t spawn(std::vector<std::string> args, int dropped = STDOUT_FILENO) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, dropped, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

TEST(QuoteServiceHttp, BadArgumentsExitWithStatusTwo) {
  for (std::vector<std::string> args : {std::vector<std::string>{"--listen", "nowhere"},
                                        {"--status", "99"},
                                        {"--bogus"},
                                        {"--refresh", "5"}}) {
    args.insert(args.begin(), build::kQuotedPath);
    pid_t pid = spawn(args, STDERR_FILENO);
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2) << args[1];
  }
}

// A stand-in for the ECB's web site on 127.0.0.1, serving whatever document it is given.
class EcbSite {
 public:
  EcbSite() {
    server_.Get("/daily.xml", [this](const httplib::Request&, httplib::Response& res) {
      std::lock_guard lock(mutex_);
      ++served_;
      res.status = status_;
      res.set_content(document_, "text/xml");
      servedMore_.notify_all();
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~EcbSite() {
    server_.stop();
    thread_.join();
  }
  void serve(std::string document, int status = 200) {
    std::lock_guard lock(mutex_);
    document_ = std::move(document);
    status_ = status;
  }
  int served() {
    std::lock_guard lock(mutex_);
    return served_;
  }
  // The service fetches one at a time, so once `count` documents have been served, the
  // service has finished with all but the last of them.
  bool waitUntilServed(int count, std::chrono::seconds limit = std::chrono::seconds(15)) {
    std::unique_lock lock(mutex_);
    return servedMore_.wait_for(lock, limit, [&] { return served_ >= count; });
  }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/daily.xml"; }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable servedMore_;
  std::string document_;
  int status_ = 200;
  int served_ = 0;
};

TEST(QuoteServiceHttp, RefreshesFromAnEcbUrlAndKeepsTheLastGoodTable) {
  std::string error;
  auto real = readFileCapped(std::filesystem::path(build::kSharedDataDir) / "eurofxref-daily.xml",
                             kMaxRatesFileBytes, &error);
  ASSERT_TRUE(real) << error;
  EcbSite site;
  auto changed = *real;
  changed.replace(changed.find("'USD' rate='1.1415'"), 19, "'USD' rate='1.2500'");

  site.serve(changed);
  QuoteService service({"--ecb-url", site.url(), "--refresh", "1"});
  auto client = clientFor(service);
  EXPECT_EQ(client.Get(kEurUsd)->body, "1.2500\n");  // fetched before listening

  site.serve(*real);
  ASSERT_TRUE(site.waitUntilServed(site.served() + 2));
  EXPECT_EQ(client.Get(kEurUsd)->body, "1.1415\n");

  // Broken replies of every kind leave the table in force.
  for (auto [document, status] :
       {std::pair<std::string, int>{"<gesmes:Envelope><Cube><Cu", 200}, {*real, 500}}) {
    site.serve(document, status);
    ASSERT_TRUE(site.waitUntilServed(site.served() + 2));
    EXPECT_EQ(client.Get(kEurUsd)->body, "1.1415\n");
  }
  EXPECT_EQ(service.stop(), 0);
}

TEST(QuoteServiceHttp, UnreachableEcbUrlFallsBackToTheTable) {
  EcbSite site;
  site.serve("", 404);
  QuoteService service({"--ecb-url", site.url()});
  EXPECT_EQ(clientFor(service).Get(kEurUsd)->body, "1.1415\n");
}

// A client connection on which a test says exactly what is sent and reads what comes back.
class Conn {
 public:
  explicit Conn(int port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  }
  ~Conn() { ::close(fd_); }
  Conn(const Conn&) = delete;
  Conn& operator=(const Conn&) = delete;

  bool connected() const { return connected_; }
  bool send(const std::string& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
      ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }
  // One whole reply (head and Content-Length bytes of body), or what came before a close.
  std::string reply(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
      auto end = buffer_.find("\r\n\r\n");
      if (end != std::string::npos) {
        std::size_t length = 0;
        auto at = buffer_.find("Content-Length: ");
        if (at != std::string::npos && at < end) length = std::stoul(buffer_.substr(at + 16));
        if (buffer_.compare(0, 12, "HTTP/1.1 304") == 0 || head_) length = 0;
        if (buffer_.size() >= end + 4 + length) {
          auto whole = buffer_.substr(0, end + 4 + length);
          buffer_.erase(0, whole.size());
          return whole;
        }
      }
      if (!fill(deadline)) break;
    }
    return std::exchange(buffer_, {});
  }
  void expectHeadOnly(bool headOnly) { head_ = headOnly; }
  // True when the service closes the connection within the limit.
  bool closedWithin(std::chrono::milliseconds limit) {
    auto deadline = Clock::now() + limit;
    while (Clock::now() < deadline) {
      if (!fill(deadline)) return eof_;
    }
    return false;
  }

 private:
  bool fill(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(std::max<long long>(left.count(), 0))) <= 0) return false;
    char chunk[4096];
    ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) {
      eof_ = true;
      return false;
    }
    buffer_.append(chunk, static_cast<std::size_t>(n));
    return true;
  }

  int fd_;
  bool connected_ = false;
  bool eof_ = false;
  bool head_ = false;
  std::string buffer_;
};

std::string get(const std::string& target, const std::string& extra = "") {
  return "GET " + target + " HTTP/1.1\r\nHost: q\r\n" + extra + "\r\n";
}

TEST(QuoteServiceConnections, IdleAndTricklingClientsCostOthersNothing) {
  QuoteService service;
  std::vector<std::unique_ptr<Conn>> idle;
  for (int i = 0; i < 300; ++i) {
    idle.push_back(std::make_unique<Conn>(service.port()));
    ASSERT_TRUE(idle.back()->connected()) << i;
  }
  // Half of them begin a request and stop mid-way, in the request line or after it.
  const std::string line = "GET /d/quotes.csv?s=EURJPY=X&f=l1 HTTP/1.1\r\n";
  for (int i = 0; i < 300; i += 2)
    ASSERT_TRUE(idle[i]->send(i % 4 == 0 ? line.substr(0, 23) : line + "Ho"));

  auto start = Clock::now();
  Conn normal(service.port());
  ASSERT_TRUE(normal.send(get(kEurUsd)));
  auto reply = normal.reply();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(reply.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << reply;
  EXPECT_NE(reply.find("\r\n\r\n1.1415\n"), std::string::npos) << reply;

  // The waiting connections were held all along: each finishes its request and is answered.
  for (int i : {0, 1, 150, 298, 299}) {
    std::string rest = i % 4 == 0   ? line.substr(23) + "Host: q\r\n\r\n"
                       : i % 2 == 0 ? std::string("st: q\r\n\r\n")
                                    : get("/d/quotes.csv?s=EURJPY=X&f=l1");
    ASSERT_TRUE(idle[i]->send(rest));
    EXPECT_NE(idle[i]->reply().find("\r\n\r\n185.31\n"), std::string::npos) << i;
  }
  EXPECT_EQ(service.stop(), 0);
}

TEST(QuoteServiceConnections, TheLongestIdleGoFirstBeyondTheCap) {
  QuoteService service({"--max-connections", "3", "--threads", "1"});
  std::vector<std::unique_ptr<Conn>> held;
  for (int i = 0; i < 3; ++i) {
    held.push_back(std::make_unique<Conn>(service.port()));
    ASSERT_TRUE(held.back()->send(get(kEurUsd)));  // idle from its answer on, in this order
    ASSERT_EQ(held.back()->reply().rfind("HTTP/1.1 200", 0), 0u);
  }
  ASSERT_TRUE(held[0]->send(get(kEurUsd)));  // the first is now the most recently busy
  ASSERT_EQ(held[0]->reply().rfind("HTTP/1.1 200", 0), 0u);

  Conn late(service.port());
  ASSERT_TRUE(late.send(get(kEurUsd)));
  EXPECT_EQ(late.reply().rfind("HTTP/1.1 200", 0), 0u);
  EXPECT_TRUE(held[1]->closedWithin(std::chrono::seconds(5)));
  for (int i : {0, 2}) {
    ASSERT_TRUE(held[i]->send(get(kEurUsd))) << i;
    EXPECT_EQ(held[i]->reply().rfind("HTTP/1.1 200", 0), 0u) << i;
  }
  ASSERT_TRUE(held[0]->send(get("/metrics")));
  EXPECT_NE(held[0]->reply().find("\ntessary_quoted_refused_connections_total 1\n"),
            std::string::npos);
}

TEST(QuoteServiceConnections, HeadAndIdleDeadlinesCloseSlowClients) {
  QuoteService service({"--head-timeout", "1", "--idle-timeout", "2"});
  Conn slow(service.port());
  Conn idle(service.port());
  auto start = Clock::now();
  ASSERT_TRUE(slow.send("GET /d/quotes.csv HTTP/1.1\r\nHost:"));
  ASSERT_TRUE(idle.send(get(kEurUsd)));
  EXPECT_EQ(idle.reply().rfind("HTTP/1.1 200", 0), 0u);
  // Bytes that trickle in do not move a head's deadline.
  ASSERT_TRUE(slow.send(" q\r\n"));
  EXPECT_TRUE(slow.closedWithin(std::chrono::seconds(5)));
  auto slowClosed = Clock::now() - start;
  EXPECT_GE(slowClosed, std::chrono::milliseconds(900));
  EXPECT_TRUE(idle.closedWithin(std::chrono::seconds(5)));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(1900));
}

TEST(QuoteServiceHttp, RefusesAmbiguousFramingAndOversizedHeads) {
  QuoteService service;
  struct Case {
    std::string bytes;
    std::string status;
  };
  std::vector<Case> cases = {
      {"GET / HTTP/1.1\r\nHost: q\r\nNo-Colon-Here\r\n\r\n", "400"},
      {get(kEurUsd, "Content-Length: -1\r\n"), "400"},
      {get(kEurUsd, "Content-Length: 0\r\nContent-Length: 0\r\n"), "400"},
      {get(kEurUsd, "Content-Length: 1\r\nContent-Length: 2\r\n"), "400"},
      {get(kEurUsd, "Transfer-Encoding: chunked\r\nContent-Length: 5\r\n") + "0\r\n\r\n", "400"},
      {"GET " + kEurUsd + " HTTP/1.1\r\n\r\n", "400"},  // no Host
      {"GET /" + std::string(1 << 20, 'a') + " HTTP/1.1\r\nHost: q\r\n\r\n", "414"},
      {get(kEurUsd, "X-Big: " + std::string(std::size_t{64} * 1024, 'b') + "\r\n"), "431"},
      {"GET / HTTP/3.0\r\nHost: q\r\n\r\n", "505"},
  };
  for (const auto& [bytes, status] : cases) {
    auto reply = rawExchange(service.port(), bytes);
    EXPECT_EQ(reply.rfind("HTTP/1.1 " + status + " ", 0), 0u) << bytes.substr(0, 80);
    EXPECT_NE(reply.find("Connection: close\r\n"), std::string::npos) << bytes.substr(0, 80);
  }
  // A request with a body is answered, and its connection ends there.
  auto withBody =
      rawExchange(service.port(), get(kEurUsd, "Content-Length: 5\r\n") + "hello" + get(kEurUsd));
  EXPECT_EQ(countOf(withBody, "HTTP/1.1 200 OK"), 1) << withBody;
  EXPECT_NE(withBody.find("Connection: close\r\n"), std::string::npos);
  EXPECT_EQ(clientFor(service).Get(kEurUsd)->status, 200);
}

TEST(QuoteServiceHttp, RepliesAreCacheableAndConditionalRequestsGet304) {
  QuoteService service;
  auto client = clientFor(service);
  auto before = std::time(nullptr);
  auto ok = client.Get(kEurUsd);
  ASSERT_TRUE(ok);
  auto after = std::time(nullptr);
  EXPECT_EQ(ok->status, 200);
  EXPECT_EQ(ok->get_header_value("Content-Type"), "text/csv");
  EXPECT_EQ(ok->get_header_value("Content-Length"), "7");
  auto date = parseHttpDate(ok->get_header_value("Date"));
  ASSERT_TRUE(date) << ok->get_header_value("Date");
  EXPECT_TRUE(*date >= before && *date <= after);
  // Fresh until the next table is due on a working day at 15:00 UTC.
  auto cacheControl = ok->get_header_value("Cache-Control");
  ASSERT_EQ(cacheControl.rfind("public, max-age=", 0), 0u) << cacheControl;
  auto maxAge = std::stoll(cacheControl.substr(16));
  EXPECT_EQ(maxAge, freshFor(*date, "2026-07-06", TableSchedule{}));
  auto etag = ok->get_header_value("ETag");
  ASSERT_GE(etag.size(), 3u);
  EXPECT_EQ(etag.front(), '"');
  EXPECT_EQ(etag.back(), '"');
  auto modified = ok->get_header_value("Last-Modified");
  EXPECT_EQ(modified, "Mon, 06 Jul 2026 15:00:00 GMT");
  // Every pair of one table shares the tag; the identity pair too.
  EXPECT_EQ(client.Get("/d/quotes.csv?s=USDJPY=X&f=l1")->get_header_value("ETag"), etag);

  struct Case {
    httplib::Headers headers;
    int status;
  };
  std::vector<Case> cases = {
      {{{"If-None-Match", etag}}, 304},
      {{{"If-None-Match", "W/" + etag}}, 304},
      {{{"If-None-Match", "\"other\", " + etag}}, 304},
      {{{"If-None-Match", "*"}}, 304},
      {{{"If-None-Match", "\"other\""}}, 200},
      {{{"If-Modified-Since", modified}}, 304},
      {{{"If-Modified-Since", "Tue, 07 Jul 2026 00:00:00 GMT"}}, 304},
      {{{"If-Modified-Since", "Mon, 06 Jul 2026 14:59:59 GMT"}}, 200},
      {{{"If-Modified-Since", "yesterday"}}, 200},
      // If-None-Match decides when both are given.
      {{{"If-None-Match", "\"other\""}, {"If-Modified-Since", modified}}, 200},
      {{{"If-None-Match", etag}, {"Cache-Control", "no-cache"}}, 304},
  };
  for (const auto& [headers, status] : cases) {
    auto reply = client.Get(kEurUsd, headers);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, status) << headers.begin()->second;
    EXPECT_EQ(reply->body, status == 304 ? "" : "1.1415\n");
    EXPECT_EQ(reply->get_header_value("ETag"), etag);
    EXPECT_EQ(reply->get_header_value("Cache-Control"), cacheControl);
  }
  // A 304 carries no body on the wire, and the connection goes on.
  Conn raw(service.port());
  raw.send(get(kEurUsd, "If-None-Match: " + etag + "\r\n") + get(kEurUsd));
  auto notModified = raw.reply();
  EXPECT_EQ(notModified.rfind("HTTP/1.1 304 Not Modified\r\n", 0), 0u) << notModified;
  EXPECT_EQ(notModified.find("Content-Length"), std::string::npos);
  EXPECT_EQ(notModified.substr(notModified.size() - 4), "\r\n\r\n");
  EXPECT_NE(raw.reply().find("\r\n\r\n1.1415\n"), std::string::npos);
  // Unknown pairs may be cached, but carry nothing to revalidate; refusals are not cached.
  auto unknown = client.Get("/d/quotes.csv?s=EURXAU=X&f=l1", {{"If-None-Match", etag}});
  EXPECT_EQ(unknown->status, 404);
  EXPECT_EQ(unknown->get_header_value("Cache-Control"), cacheControl);
  EXPECT_FALSE(unknown->has_header("ETag"));
  EXPECT_FALSE(client.Get("/d/quotes.csv?s=EUR")->has_header("Cache-Control"));

  QuoteService later({"--table-due", "16:30"});
  EXPECT_EQ(clientFor(later).Get(kEurUsd)->get_header_value("Last-Modified"),
            "Mon, 06 Jul 2026 16:30:00 GMT");
}

// The exit status of a child that ends within `limit`; -1 when it had to be killed.
int exitWithin(pid_t pid, std::chrono::milliseconds limit) {
  int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  pollfd p{pidfd, POLLIN, 0};
  ::poll(&p, 1, static_cast<int>(limit.count()));
  ::close(pidfd);
  int status = 0;
  if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  return -1;
}

// A feed on 127.0.0.1 that takes each request and then answers one byte every 100 ms for as
// long as the client stays.
class TricklingFeed {
 public:
  TricklingFeed() : thread_([this] { serve(); }) {}
  ~TricklingFeed() {
    stopping_ = true;
    thread_.join();
  }
  std::string url() const { return socket_.url("/daily.xml"); }
  bool waitForFetches(int count, std::chrono::seconds limit = std::chrono::seconds(10)) {
    std::unique_lock lock(mutex_);
    return more_.wait_for(lock, limit, [&] { return fetches_ >= count; });
  }

 private:
  void serve() {
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
    std::vector<std::pair<int, std::size_t>> clients;
    while (!stopping_) {
      pollfd p{socket_.fd(), POLLIN, 0};
      if (::poll(&p, 1, 100) > 0) {
        int client = ::accept4(socket_.fd(), nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
          test::readRequestHead(client);
          clients.emplace_back(client, 0);
          std::lock_guard lock(mutex_);
          ++fetches_;
          more_.notify_all();
        }
      }
      for (auto& [client, sent] : clients) {
        char byte = sent < head.size() ? head[sent] : 'x';
        if (::send(client, &byte, 1, MSG_NOSIGNAL | MSG_DONTWAIT) == 1) ++sent;
      }
    }
    for (auto& client : clients) ::close(client.first);
  }

  test::LoopbackSocket socket_;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::condition_variable more_;
  int fetches_ = 0;
  std::thread thread_;
};

TEST(QuoteServiceFeed, ATricklingFeedHoldsUpNeitherListeningNorStopping) {
  TricklingFeed feed;
  // A stop during the first fetch ends the service at once.
  pid_t pid = spawn({build::kQuotedPath, "--listen", "127.0.0.1:0", "--ecb-url", feed.url()});
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(feed.waitForFetches(1));
  ::kill(pid, SIGTERM);
  EXPECT_EQ(exitWithin(pid, std::chrono::seconds(1)), 0);

  // Past the first fetch's deadline it listens with the table it read at start.
  auto start = Clock::now();
  QuoteService service({"--ecb-url", feed.url(), "--refresh", "2"});
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(4500));
  EXPECT_EQ(clientFor(service).Get(kEurUsd)->body, "1.1415\n");
  // A stop during a later fetch ends it within a second too.
  ASSERT_TRUE(feed.waitForFetches(3));
  EXPECT_EQ(service.stop(std::chrono::seconds(1)), 0);
}

// Under an open-file limit of 64, 40 connections at once are all held and answered.
void holdManyUnderALowLimit() {
  rlimit low{64, 64};
  ::setrlimit(RLIMIT_NOFILE, &low);
  int answered = 0;
  {
    QuoteService service({"--threads", "2"});
    std::vector<std::unique_ptr<Conn>> held;
    for (int i = 0; i < 40; ++i) held.push_back(std::make_unique<Conn>(service.port()));
    for (auto& c : held) c->send(get(kEurUsd));
    for (auto& c : held) answered += c->reply().find("\r\n\r\n1.1415\n") != std::string::npos;
  }
  std::fprintf(stderr, "%d of 40 answered\n", answered);
  std::exit(answered == 40 ? 0 : 1);
}

TEST(QuoteServiceConnections, ALowDescriptorLimitStillHoldsManyConnections) {
  // In a child process, so that this program keeps its own limit.
  EXPECT_EXIT(holdManyUnderALowLimit(), ::testing::ExitedWithCode(0), "40 of 40 answered");
}

TEST(QuoteServiceSystemd, ServesOnTheSocketSystemdPasses) {
  const std::string activate = "/usr/bin/systemd-socket-activate";
  if (::access(activate.c_str(), X_OK) != 0) GTEST_SKIP() << "no " << activate;
  int port = test::LoopbackSocket(false).port();  // free a moment ago
  // It would bind port 1 if it listened by itself; it serves on the passed socket instead.
  pid_t pid = spawn({activate, "-l", "127.0.0.1:" + std::to_string(port), build::kQuotedPath,
                     "--listen", "127.0.0.1:1"});
  ASSERT_GT(pid, 0);
  httplib::Client client("127.0.0.1", port);
  client.set_connection_timeout(std::chrono::milliseconds(200));
  client.set_read_timeout(std::chrono::seconds(5));
  auto reply = client.Get(kEurUsd);
  for (auto until = Clock::now() + std::chrono::seconds(5); !reply && Clock::now() < until;)
    reply = client.Get(kEurUsd);
  ASSERT_TRUE(reply) << httplib::to_string(reply.error());
  EXPECT_EQ(reply->body, "1.1415\n");
  ::kill(pid, SIGTERM);
  EXPECT_EQ(exitWithin(pid, std::chrono::seconds(5)), 0);
}

std::string metricLine(const std::string& metrics, const std::string& name) {
  auto at = metrics.find("\n" + name + " ");
  return at == std::string::npos ? "" : metrics.substr(at + 1, metrics.find('\n', at + 1) - at - 1);
}

TEST(QuoteServiceOperations, HealthAndMetricsTellWhatTheServiceDoes) {
  {
    QuoteService service;
    auto client = clientFor(service);
    auto health = client.Get("/healthz");
    EXPECT_EQ(health->status, 200);  // the table read at start, whatever its date
    EXPECT_EQ(health->body, "ok\n");
    client.Get(kEurUsd);
    client.Head(kEurUsd);
    client.Post(kEurUsd, "x", "text/plain");
    rawExchange(service.port(), "BREW / HTTP/1.1\r\nHost: q\r\nConnection: close\r\n\r\n");
    auto scraped = client.Get("/metrics");
    ASSERT_EQ(scraped->status, 200);
    EXPECT_EQ(scraped->get_header_value("Content-Type"), "text/plain; version=0.0.4");
    const auto& m = scraped->body;
    for (auto [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"tessary_quoted_requests_total{method=\"GET\",status=\"200\"}", "2"},
             {"tessary_quoted_requests_total{method=\"HEAD\",status=\"200\"}", "1"},
             {"tessary_quoted_requests_total{method=\"other\",status=\"405\"}", "1"},
             {"tessary_quoted_requests_total{method=\"unknown\",status=\"501\"}", "1"},
             {"tessary_quoted_request_duration_seconds_count", "5"},
             {"tessary_quoted_request_duration_seconds_bucket{le=\"+Inf\"}", "5"},
             {"tessary_quoted_table_date_seconds", "1783296000"}}) {
      EXPECT_EQ(metricLine(m, name), name + " " + value) << m;
    }
    EXPECT_NE(metricLine(m, "tessary_quoted_open_connections"), "");
    EXPECT_EQ(m.find("feed"), std::string::npos);
  }
  // With a feed, health follows its fetches: a table past its interval is unhealthy until a
  // good fetch comes.
  EcbSite site;
  site.serve("", 500);
  QuoteService service({"--ecb-url", site.url(), "--refresh", "1"});
  auto client = clientFor(service);
  auto waitForHealth = [&](int status) {
    auto health = client.Get("/healthz");
    for (auto until = Clock::now() + std::chrono::seconds(10);
         !(health && health->status == status) && Clock::now() < until;) {
      site.waitUntilServed(site.served() + 1, std::chrono::seconds(1));
      health = client.Get("/healthz");
    }
    return health;
  };
  auto sick = waitForHealth(503);
  ASSERT_TRUE(sick);
  EXPECT_EQ(sick->status, 503);
  EXPECT_NE(sick->body.find("status 500"), std::string::npos) << sick->body;
  EXPECT_EQ(metricLine(client.Get("/metrics")->body, "tessary_quoted_feed_last_refresh_success"),
            "tessary_quoted_feed_last_refresh_success 0");
  std::string error;
  auto real = readFileCapped(std::filesystem::path(build::kSharedDataDir) / "eurofxref-daily.xml",
                             kMaxRatesFileBytes, &error);
  ASSERT_TRUE(real) << error;
  site.serve(*real);
  EXPECT_EQ(waitForHealth(200)->status, 200);
  EXPECT_EQ(metricLine(client.Get("/metrics")->body, "tessary_quoted_feed_last_refresh_success"),
            "tessary_quoted_feed_last_refresh_success 1");
}

}  // namespace
}  // namespace tessary::quotes
