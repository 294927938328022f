#include "tests/support/loopback_socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tessary::test {

LoopbackSocket::LoopbackSocket(bool listening)
    : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), length), 0);
  if (listening) {
    EXPECT_EQ(::listen(fd_, 16), 0);
  }
  EXPECT_EQ(::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length), 0);
  port_ = ntohs(address.sin_port);
}

void LoopbackSocket::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

std::string LoopbackSocket::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string readRequestHead(int client) {
  std::string head;
  char buffer[4096];
  pollfd wait{client, POLLIN, 0};
  while (head.find("\r\n\r\n") == std::string::npos && ::poll(&wait, 1, 10000) > 0) {
    const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    head.append(buffer, static_cast<size_t>(got));
  }
  return head;
}

}  // namespace tessary::test
