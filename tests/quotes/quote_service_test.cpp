// Runs the real tessary-quoted on 127.0.0.1 and talks HTTP to it.
#include "tests/support/quote_service.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "build_paths.h"
#include "quotes/rate_table.h"

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
  EXPECT_EQ(ok->body, "1.14150\n");
  EXPECT_EQ(ok->get_header_value("Content-Type"), "text/csv");
  EXPECT_EQ(client.Get("/d/quotes.csv?s=USDJPY%3DX&f=l1")->body, "162.339\n");
  EXPECT_EQ(client.Get("/d/quotes.csv?f=l1&s=gbpgbp=x")->body, "1.00000\n");

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
  EXPECT_TRUE(!refused || refused->status == 400);
  EXPECT_EQ(client.Get(kEurUsd)->status, 200);

  EXPECT_EQ(service.stop(), 0);  // SIGTERM ends it cleanly
}

TEST(QuoteServiceHttp, SurvivesHostileBytesAndKeepsConnectionsAlive) {
  QuoteService service;
  auto garbage = rawExchange(service.port(), std::string("\x00\x01\xff GARBAGE\r\n\r\n", 15));
  EXPECT_EQ(garbage.rfind("HTTP/1.1 400", 0), 0u) << garbage;
  auto unknownMethod =
      rawExchange(service.port(), "BREW /d/quotes.csv HTTP/1.1\r\nHost: x\r\n\r\n");
  EXPECT_EQ(unknownMethod.rfind("HTTP/1.1 400", 0), 0u);
  // A hostile control byte in the target is answered and cannot forge a log line.
  auto controls = rawExchange(
      service.port(), "GET /d/quotes.csv?s=EURUSD=X&f=l1%0a HTTP/1.1\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(controls.rfind("HTTP/1.1 400", 0), 0u);
  // Endless headers are cut off at the request size bound.
  std::string flood = "GET " + kEurUsd + " HTTP/1.1\r\n";
  for (int i = 0; i < 2000; ++i) flood += "X-Flood: " + std::to_string(i) + "\r\n";
  auto flooded = rawExchange(service.port(), flood + "\r\n");
  EXPECT_TRUE(flooded.empty() || flooded.rfind("HTTP/1.1 400", 0) == 0) << flooded.substr(0, 80);

  // Pipelined requests on one connection are all answered, in order.
  std::string pipelined;
  for (int i = 0; i < 50; ++i) pipelined += "GET " + kEurUsd + " HTTP/1.1\r\nHost: x\r\n\r\n";
  pipelined += "GET /d/quotes.csv?s=EURJPY=X&f=l1 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
  auto answers = rawExchange(service.port(), pipelined);
  EXPECT_EQ(countOf(answers, "HTTP/1.1 200 OK"), 51);
  EXPECT_NE(answers.rfind("185.310\n"), std::string::npos);

  auto client = clientFor(service);
  client.set_keep_alive(true);
  for (int i = 0; i < 200; ++i) ASSERT_EQ(client.Get(kEurUsd)->body, "1.14150\n") << i;
  EXPECT_EQ(service.stop(), 0);
}

TEST(QuoteServiceHttp, MisbehavesOnRequest) {
  {
    QuoteService service({"--status", "503"});
    auto reply = clientFor(service).Get(kEurUsd);
    EXPECT_EQ(reply->status, 503);
    EXPECT_EQ(reply->body, "1.14150\n");
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
    EXPECT_EQ(reply->body, "1.14150\n");
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
    EXPECT_EQ(clientFor(service).Get("/d/quotes.csv?s=XAUUSD=X&f=l1")->body, "2500.00\n");
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

TEST(QuoteServiceHttp, BadArgumentsExitWithStatusTwo) {
  for (std::vector<std::string> args : {std::vector<std::string>{"--listen", "nowhere"},
                                        {"--status", "99"},
                                        {"--bogus"},
                                        {"--refresh", "5"}}) {
    args.insert(args.begin(), build::kQuotedPath);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
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
  EXPECT_EQ(client.Get(kEurUsd)->body, "1.25000\n");  // fetched before listening

  site.serve(*real);
  ASSERT_TRUE(site.waitUntilServed(site.served() + 2));
  EXPECT_EQ(client.Get(kEurUsd)->body, "1.14150\n");

  // Broken replies of every kind leave the table in force.
  for (auto [document, status] :
       {std::pair<std::string, int>{"<gesmes:Envelope><Cube><Cu", 200}, {*real, 500}}) {
    site.serve(document, status);
    ASSERT_TRUE(site.waitUntilServed(site.served() + 2));
    EXPECT_EQ(client.Get(kEurUsd)->body, "1.14150\n");
  }
  EXPECT_EQ(service.stop(), 0);
}

TEST(QuoteServiceHttp, UnreachableEcbUrlFallsBackToTheTable) {
  EcbSite site;
  site.serve("", 404);
  QuoteService service({"--ecb-url", site.url()});
  EXPECT_EQ(clientFor(service).Get(kEurUsd)->body, "1.14150\n");
}

}  // namespace
}  // namespace tessary::quotes
