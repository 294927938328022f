// Hostile quote replies from a real server on a loopback port, through libcurl, the widget's
// reading of the reply and the store. Each reply ends in one of two ways: a failure, after
// which the stale cached rate converts and stays stored as it was, or a conversion at the
// reply's rate, which is stored.
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>

#include "platform/uikit/ui_application.h"
#include "tests/support/loopback_socket.h"
#include "tests/widget/widget_fixture.h"

namespace tessary::test {
namespace {

// Answers every connection on 127.0.0.1 with `answer(client, port)` once the request head has
// arrived, until destroyed. A held connection stays open until then.
class HostileServer {
 public:
  using Answer = std::function<void(int client, int port)>;
  explicit HostileServer(Answer answer) {
    thread_ = std::thread([this, answer = std::move(answer)] {
      for (;;) {
        const int client = ::accept(socket_.fd(), nullptr, nullptr);
        if (client < 0) return;
        clients_.push_back(client);
        readRequestHead(client);
        ++requests_;
        answer(client, socket_.port());
      }
    });
  }
  ~HostileServer() {
    ::shutdown(socket_.fd(), SHUT_RDWR);
    thread_.join();
    for (const int client : clients_) ::close(client);
  }
  std::string url() const { return socket_.url(""); }
  int requests() const { return requests_; }

 private:
  LoopbackSocket socket_;
  std::atomic<int> requests_{0};
  std::vector<int> clients_;  // closed at the end: a held connection stays open until then
  std::thread thread_;
};

void sendAll(int client, const std::string& bytes) {
  ::send(client, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

// Sends the bytes and closes.
HostileServer::Answer reply(std::string bytes) {
  return [bytes = std::move(bytes)](int client, int) {
    sendAll(client, bytes);
    ::shutdown(client, SHUT_WR);
  };
}

// Sends the bytes and keeps the connection open without another byte.
HostileServer::Answer hold(std::string bytes) {
  return [bytes = std::move(bytes)](int client, int) { sendAll(client, bytes); };
}

HostileServer::Answer reset() {
  return [](int client, int) {
    linger abort{1, 0};
    ::setsockopt(client, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    ::shutdown(client, SHUT_RDWR);
  };
}

HostileServer::Answer redirectLoop() {
  return [](int client, int port) {
    sendAll(client, "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:" + std::to_string(port) +
                        "/d/quotes.csv?s=EURUSD=X&f=l1\r\nContent-Length: 0\r\n\r\n");
    ::shutdown(client, SHUT_WR);
  };
}

std::string ok(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Type: text/csv\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

enum class Outcome { Failure, Conversion };

struct Case {
  const char* name;
  HostileServer::Answer answer;
  Outcome outcome;
  bool waitsForTimeout = false;
};

class HostileReply : public WidgetTest {
 protected:
  std::string stored() const {
    const auto file = rates();
    const id value = file ? file->objectForKey("EUR-USD") : nullptr;
    return value ? value->description() : "<none>";
  }
};

TEST_F(HostileReply, EveryReplyFailsWithTheCacheIntactOrConverts) {
  const std::string tenMegabytes(10 << 20, '1');
  std::string bigHeader = "HTTP/1.1 200 OK\r\nX-Big: " + std::string(300 << 10, 'h') + "\r\n";
  const std::vector<Case> cases = {
      // Statuses and bodies.
      {"500", reply("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 4\r\n\r\n1.50"),
       Outcome::Failure},
      {"404", reply("HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nN/A"), Outcome::Failure},
      {"204", reply("HTTP/1.1 204 No Content\r\n\r\n"), Outcome::Failure},
      {"empty body", reply(ok("")), Outcome::Failure},
      {"10 MB with a length", reply(ok(tenMegabytes)), Outcome::Failure},
      {"10 MB without a length",
       reply("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + tenMegabytes), Outcome::Failure},
      // Connections that stall, break or loop.
      {"a trickle, then nothing past the timeout",
       hold("HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\n1.1"), Outcome::Failure, true},
      {"never answering", hold(""), Outcome::Failure, true},
      {"closing mid-reply", reply("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n1.17"),
       Outcome::Failure},
      {"a reset", reset(), Outcome::Failure},
      {"a redirect loop", redirectLoop(), Outcome::Failure},
      {"a redirect to file:",
       reply("HTTP/1.1 302 Found\r\nLocation: file:///etc/passwd\r\nContent-Length: 0\r\n\r\n"),
       Outcome::Failure},
      // Broken heads.
      {"HTTP/0.9", reply("1.1708\n"), Outcome::Failure},
      {"a bad status line", reply("HTTP/1.1 OK\r\nContent-Length: 4\r\n\r\n1.50"),
       Outcome::Failure},
      {"a 300 KB header", reply(bigHeader + "Content-Length: 4\r\n\r\n1.50"), Outcome::Failure},
      {"conflicting lengths",
       reply("HTTP/1.1 200 OK\r\nContent-Length: 4\r\nContent-Length: 3\r\n\r\n1.50"),
       Outcome::Failure},
      {"bad chunking",
       reply("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n1.50\r\n0\r\n\r\n"),
       Outcome::Failure},
      // Bodies the number rules read as no usable rate.
      {"non-UTF-8 bytes", reply(ok("1.5\xff\xfe")), Outcome::Failure},
      {"nan", reply(ok("nan")), Outcome::Failure},
      {"inf", reply(ok("inf")), Outcome::Failure},
      {"-1", reply(ok("-1")), Outcome::Failure},
      {"1e40, past single precision", reply(ok("1e40")), Outcome::Failure},
      {"0", reply(ok("0")), Outcome::Failure},
      {"-0", reply(ok("-0")), Outcome::Failure},
      {"1e-40, whose inverse overflows", reply(ok("1e-40")), Outcome::Failure},
      {"0x10, hex reads 0", reply(ok("0x10")), Outcome::Failure},
      {"a byte-order mark",
       reply(ok("\xEF\xBB\xBF"
                "1.5")),
       Outcome::Failure},
      {"Arabic-Indic digits", reply(ok("\xD9\xA1\xD9\xAB\xD9\xA5")), Outcome::Failure},
      {"NUL", reply(ok(std::string("1.5\0", 4))), Outcome::Failure},
      {"other control bytes", reply(ok("1.5\x1b[2J")), Outcome::Failure},
      // Replies that do convert.
      {"a plain rate", reply(ok("1.5\n")), Outcome::Conversion},
      {"a rate in chunks",
       reply(
           "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\n1.\r\n2\r\n5\n\r\n0\r\n\r\n"),
       Outcome::Conversion},
      {"white space and trailing text", reply(ok(" \t1.5 EUR\r\n")), Outcome::Conversion},
  };

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HostileServer server(c.answer);
    setenv("TESSARY_QUOTE_URL", server.url().c_str(), 1);
    UIAlertView::dismissAll();
    NSDictionary().writeToFileAtomically(paths::kRates, true);
    storeRate("EUR-USD", "4", 10.0);  // stale: a keystroke fetches; a failure falls back to it
    typeIntoSource("2");
    if (c.waitsForTimeout) {
      ASSERT_TRUE(runUntil([&] { return server.requests() > 0; }));
      // Whatever was to arrive has arrived; then no byte moves for longer than the timeout.
      runUntil([] { return false; }, 0.2);
      advance(16.5);
    }
    ASSERT_TRUE(runUntil([] { return NSURLConnection::activeCount() == 0; }, 20.0));
    if (c.outcome == Outcome::Failure) {
      EXPECT_EQ(rightField->text(), "8.00");
      EXPECT_EQ(stored(), "4");
    } else {
      EXPECT_EQ(rightField->text(), "3.00");
      EXPECT_EQ(NSStr(stored())->floatValue(), 1.5f);
    }
    EXPECT_TRUE(UIAlertView::visibleAlerts().empty());
    EXPECT_FALSE(UIApplication::sharedApplication().isNetworkActivityIndicatorVisible());
  }
}

}  // namespace
}  // namespace tessary::test
