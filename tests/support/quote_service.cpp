#include "tests/support/quote_service.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "build_paths.h"

namespace tessary::test {

namespace {

using Clock = std::chrono::steady_clock;

int millisLeft(Clock::time_point deadline) {
  auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Waits for the child to end, by polling its pidfd; true when it did within the deadline.
bool waitForExit(pid_t pid, Clock::time_point deadline, int& status) {
  // Through syscall(): glibc 2.36 declares pidfd_open without C linkage for C++.
  int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  if (pidfd >= 0) {
    pollfd p{pidfd, POLLIN, 0};
    int r;
    do {
      r = ::poll(&p, 1, millisLeft(deadline));
    } while (r < 0 && errno == EINTR);
    ::close(pidfd);
  }
  return ::waitpid(pid, &status, WNOHANG) == pid;
}

}  // namespace

QuoteService::QuoteService(std::vector<std::string> extraArgs,
                           std::chrono::milliseconds startTimeout) {
  std::vector<std::string> args{build::kQuotedPath, "--listen", "127.0.0.1:0"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("QuoteService: pipe failed");
  pid_ = ::fork();
  if (pid_ < 0) {
    ::close(out[0]);
    ::close(out[1]);
    throw std::runtime_error("QuoteService: fork failed");
  }
  if (pid_ == 0) {
    // Only async-signal-safe calls between fork and exec. The service dies with the test.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::dup2(out[1], STDOUT_FILENO);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);

  // Read the first line: "listening on http://127.0.0.1:PORT".
  std::string line;
  auto deadline = Clock::now() + startTimeout;
  std::string failure;
  while (line.find('\n') == std::string::npos) {
    pollfd p{out[0], POLLIN, 0};
    int r = ::poll(&p, 1, millisLeft(deadline));
    if (r < 0 && errno == EINTR) continue;
    if (r == 0) {
      failure = "did not report its port within " + std::to_string(startTimeout.count()) + " ms";
      break;
    }
    char buffer[256];
    ssize_t n = ::read(out[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failure = "exited before it listened (see its standard error above)";
      break;
    }
    line.append(buffer, static_cast<std::size_t>(n));
    if (line.size() > 4096) {
      failure = "printed an overlong first line";
      break;
    }
  }
  // The service prints nothing else; closing our end keeps no pipe alive for it.
  ::close(out[0]);

  const std::string prefix = "listening on http://127.0.0.1:";
  if (failure.empty()) {
    line.resize(line.find('\n'));
    if (line.rfind(prefix, 0) != 0) {
      failure = "printed \"" + line + "\" instead of the listening line";
    } else {
      port_ = std::atoi(line.c_str() + prefix.size());
      if (port_ <= 0 || port_ > 65535) failure = "reported a bad port in \"" + line + "\"";
    }
  }
  if (!failure.empty()) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
    std::string command;
    for (auto& a : args) command += (command.empty() ? "" : " ") + a;
    throw std::runtime_error("QuoteService: " + command + " " + failure);
  }
  baseUrl_ = "http://127.0.0.1:" + std::to_string(port_);
}

int QuoteService::stop(std::chrono::milliseconds timeout) {
  if (pid_ < 0) return exitStatus_;
  ::kill(pid_, SIGTERM);
  int status = 0;
  if (waitForExit(pid_, Clock::now() + timeout, status)) {
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  } else {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    exitStatus_ = -1;
  }
  pid_ = -1;
  return exitStatus_;
}

QuoteService::~QuoteService() {
  if (pid_ < 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
}

}  // namespace tessary::test
