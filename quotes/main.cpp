// tessary-quoted: the CSV quote service the widget asks for exchange rates.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

#include "quotes/ecb_reader.h"
#include "quotes/log.h"
#include "quotes/options.h"
#include "quotes/quote_server.h"
#include "quotes/rate_store.h"
#include "quotes/rate_table.h"

#ifndef TESSARY_DEFAULT_RATES
#define TESSARY_DEFAULT_RATES "data/reference-rates.tsv"
#endif

using namespace tessary::quotes;

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

  auto loaded = options.ecbXmlFile
                    ? loadEcbDaily(*options.ecbXmlFile)
                    : loadReferenceTable(options.ratesFile.value_or(TESSARY_DEFAULT_RATES));
  if (!loaded) {
    std::fprintf(stderr, "tessary-quoted: %s\n", loaded.error.c_str());
    return 1;
  }
  logLine("rates: " + std::to_string(loaded.table->size()) + " currencies of " +
          (loaded.table->date.empty() ? "unknown date" : loaded.table->date) + " from " +
          (options.ecbXmlFile ? *options.ecbXmlFile
                              : options.ratesFile.value_or(TESSARY_DEFAULT_RATES)));
  RateStore store(std::move(loaded.table));

  std::unique_ptr<EcbRefresher> refresher;
  if (options.ecbUrl) {
    refresher = std::make_unique<EcbRefresher>(*options.ecbUrl, options.refresh, store);
    refresher->refreshNow();
  }

  QuoteServer server(options.server, store);
  int port = server.bind(options.host, options.port);
  if (port < 0) {
    std::fprintf(stderr, "tessary-quoted: cannot listen on %s:%d (%s)\n", options.host.c_str(),
                 options.port, std::strerror(errno));
    return 1;
  }
  bool v6 = options.host.find(':') != std::string::npos;
  std::printf("listening on http://%s%s%s:%d\n", v6 ? "[" : "", options.host.c_str(), v6 ? "]" : "",
              port);
  std::fflush(stdout);

  if (refresher) refresher->start();
  std::thread signalWaiter([&] {
    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
  });

  bool ok = server.run();
  // Wakes the signal thread if the server ended on its own.
  server.stop();
  ::kill(::getpid(), SIGTERM);
  signalWaiter.join();
  if (refresher) refresher->stop();
  logLine(ok ? "stopped" : "tessary-quoted: the server failed");
  return ok ? 0 : 1;
}
