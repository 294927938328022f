// tessary-quoted: the CSV quote service the widget asks for exchange rates.
#include <arpa/inet.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "quotes/ecb_reader.h"
#include "quotes/log.h"
#include "quotes/options.h"
#include "quotes/quote_server.h"
#include "quotes/rate_store.h"
#include "quotes/rate_table.h"
#include "quotes/socket_activation.h"

#ifndef TESSARY_DEFAULT_RATES
#define TESSARY_DEFAULT_RATES "data/reference-rates.tsv"
#endif
#ifndef TESSARY_INSTALLED_RATES
#define TESSARY_INSTALLED_RATES "../share/tessary/reference-rates.tsv"
#endif

using namespace tessary::quotes;

namespace {

// The address a passed socket listens on, for the first line.
std::string socketHost(int fd) {
  sockaddr_storage addr{};
  socklen_t length = sizeof addr;
  char text[INET6_ADDRSTRLEN] = "?";
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0) {
    if (addr.ss_family == AF_INET6) {
      ::inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6&>(addr).sin6_addr, text, sizeof text);
    } else {
      ::inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in&>(addr).sin_addr, text, sizeof text);
    }
  }
  return text;
}

// The table installed beside the program, else the source tree's.
std::string defaultRates() {
  std::error_code error;
  const auto installed = (std::filesystem::read_symlink("/proc/self/exe", error).parent_path() /
                          TESSARY_INSTALLED_RATES)
                             .lexically_normal();
  if (!error && std::filesystem::is_regular_file(installed, error)) return installed.string();
  return TESSARY_DEFAULT_RATES;
}

}  // namespace

int main(int argc, char** argv) {
  auto parsed = parseOptions(argc, argv);
  if (parsed.help) {
    std::fputs(usageText(), stdout);
    return 0;
  }
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "tessary-quoted: %s\n%s", parsed.error.c_str(), usageText());
    return 2;
  }
  const Options& options = parsed.options;

  // Signals are taken by one thread with sigwait; every other thread inherits the mask.
  std::signal(SIGPIPE, SIG_IGN);
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  const std::string ratesFile = options.ratesFile.value_or(defaultRates());
  auto loaded =
      options.ecbXmlFile ? loadEcbDaily(*options.ecbXmlFile) : loadReferenceTable(ratesFile);
  if (!loaded) {
    std::fprintf(stderr, "tessary-quoted: %s\n", loaded.error.c_str());
    return 1;
  }
  logLine("rates: " + std::to_string(loaded.table->size()) + " currencies of " +
          (loaded.table->date.empty() ? "unknown date" : loaded.table->date) + " from " +
          (options.ecbXmlFile ? *options.ecbXmlFile : ratesFile));
  RateStore store(std::move(loaded.table));

  auto activation = takeActivatedSocket();
  if (!activation.error.empty()) {
    std::fprintf(stderr, "tessary-quoted: %s\n", activation.error.c_str());
    return 1;
  }

  std::unique_ptr<EcbRefresher> refresher;
  if (options.ecbUrl)
    refresher = std::make_unique<EcbRefresher>(*options.ecbUrl, options.refresh, store);
  QuoteServer server(options.server, store);

  // The signal thread runs from the start, so that a stop ends a first fetch that hangs.
  std::atomic<bool> stopped{false};
  std::thread signalWaiter([&] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    stopped = true;
    if (refresher) refresher->requestStop();
    server.stop();
  });
  auto endSignalWaiter = [&] {
    // Wakes the signal thread if nobody sent a signal.
    ::kill(::getpid(), SIGTERM);
    signalWaiter.join();
  };

  // The first table from the feed, if it comes in time; the table read above otherwise.
  if (refresher) refresher->refreshNow(EcbRefresher::kFirstDeadline);
  if (stopped) {
    endSignalWaiter();
    logLine("stopped");
    return 0;
  }

  int port =
      activation.fd >= 0 ? server.adopt(activation.fd) : server.bind(options.host, options.port);
  if (port < 0) {
    if (activation.fd >= 0) {
      std::fprintf(stderr,
                   "tessary-quoted: the socket systemd passed is no listening TCP socket\n");
    } else {
      std::fprintf(stderr, "tessary-quoted: cannot listen on %s:%d (%s)\n", options.host.c_str(),
                   options.port, std::strerror(errno));
    }
    server.stop();
    endSignalWaiter();
    return 1;
  }
  std::string host = options.host;
  if (activation.fd >= 0) host = socketHost(activation.fd);
  bool v6 = host.find(':') != std::string::npos;
  std::printf("listening on http://%s%s%s:%d\n", v6 ? "[" : "", host.c_str(), v6 ? "]" : "", port);
  std::fflush(stdout);

  if (refresher) refresher->start();
  bool ok = server.run();
  server.stop();
  endSignalWaiter();
  if (refresher) refresher->stop();
  logLine(ok ? "stopped" : "tessary-quoted: the server failed");
  return ok ? 0 : 1;
}
