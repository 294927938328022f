#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace tessary::test {

// Runs the real tessary-quoted on a free port of 127.0.0.1 for one test.
//
//   QuoteService quotes({"--delay", "200"});
//   fetch(quotes.baseUrl() + "/d/quotes.csv?s=EURUSD=X&f=l1");
//
// The constructor throws std::runtime_error (failing the test with the reason) when the
// service does not say where it listens within the start timeout. The destructor kills and
// reaps it. Its request log goes to the test's standard error.
class QuoteService {
 public:
  explicit QuoteService(std::vector<std::string> extraArgs = {},
                        std::chrono::milliseconds startTimeout = std::chrono::seconds(10));
  ~QuoteService();
  QuoteService(const QuoteService&) = delete;
  QuoteService& operator=(const QuoteService&) = delete;

  const std::string& baseUrl() const { return baseUrl_; }  // "http://127.0.0.1:PORT"
  int port() const { return port_; }
  pid_t pid() const { return pid_; }

  // Sends SIGTERM and waits up to `timeout` for the exit; answers the exit status, or -1 when
  // it had to be killed. Calling it again answers the same status.
  int stop(std::chrono::milliseconds timeout = std::chrono::seconds(10));

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  int exitStatus_ = -1;
  std::string baseUrl_;
};

}  // namespace tessary::test
