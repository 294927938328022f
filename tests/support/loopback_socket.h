#pragma once

#include <string>

namespace tessary::test {

// A socket bound to an ephemeral port of 127.0.0.1, for tests that play a server by hand;
// listening, it completes connections in the kernel and answers nothing until told to.
class LoopbackSocket {
 public:
  explicit LoopbackSocket(bool listening = true);
  ~LoopbackSocket() { close(); }
  LoopbackSocket(const LoopbackSocket&) = delete;
  LoopbackSocket& operator=(const LoopbackSocket&) = delete;

  void close();
  int fd() const { return fd_; }
  int port() const { return port_; }
  // "http://127.0.0.1:PORT" followed by `path`.
  std::string url(const std::string& path = "/") const;

 private:
  int fd_;
  int port_ = 0;
};

// Reads from a client until the request head is complete, the client closes or 10 s pass
// without a byte; answers what arrived.
std::string readRequestHead(int client);

}  // namespace tessary::test
