#include "quotes/socket_activation.h"

#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <string_view>

namespace tessary::quotes {

namespace {

constexpr int kFirstPassedFd = 3;

bool parseCount(const char* text, long& value) {
  if (!text) return false;
  std::string_view s(text);
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return !s.empty() && ec == std::errc() && end == s.data() + s.size() && value >= 0;
}

}  // namespace

Activation takeActivatedSocket() {
  long pid = 0;
  long count = 0;
  bool forUs = parseCount(std::getenv("LISTEN_PID"), pid) && pid == ::getpid();
  bool counted = parseCount(std::getenv("LISTEN_FDS"), count);
  ::unsetenv("LISTEN_PID");
  ::unsetenv("LISTEN_FDS");
  ::unsetenv("LISTEN_FDNAMES");
  Activation activation;
  if (!forUs) return activation;
  if (!counted || count < 1) {
    activation.error = "LISTEN_FDS does not count the sockets passed";
    return activation;
  }
  for (long i = 0; i < count; ++i)
    ::fcntl(kFirstPassedFd + static_cast<int>(i), F_SETFD, FD_CLOEXEC);
  if (count != 1) {
    activation.error = "systemd passed " + std::to_string(count) + " sockets; one is served";
    return activation;
  }
  activation.fd = kFirstPassedFd;
  return activation;
}

}  // namespace tessary::quotes
