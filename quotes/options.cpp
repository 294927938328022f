#include "quotes/options.h"

#include <charconv>
#include <string_view>

namespace tessary::quotes {

namespace {

std::optional<long long> parseInteger(std::string_view text, long long min, long long max) {
  long long value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < min || value > max) return std::nullopt;
  return value;
}

}  // namespace

const char* usageText() {
  return "usage: tessary-quoted [--listen HOST:PORT] [--rates FILE | --ecb-xml FILE]\n"
         "                      [--ecb-url URL [--refresh SECONDS]] [--table-due HH:MM]\n"
         "                      [--threads N] [--max-connections N] [--idle-timeout SECONDS]\n"
         "                      [--head-timeout SECONDS]\n"
         "                      [--delay MS] [--status CODE] [--body TEXT] [--stall] [--quiet]\n"
         "Serves GET /d/quotes.csv?s=AAABBB=X&f=l1 on 127.0.0.1:8471 unless told otherwise.\n";
}

bool parseListen(std::string_view text, std::string& host, int& port) {
  auto colon = text.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  std::string_view h = text.substr(0, colon);
  if (h.front() == '[') {
    if (h.size() < 3 || h.back() != ']') return false;
    h = h.substr(1, h.size() - 2);
  } else if (h.find(':') != std::string_view::npos) {
    return false;  // an IPv6 address needs brackets
  }
  for (char c : h) {
    if (static_cast<unsigned char>(c) <= ' ' || c == '[' || c == ']' || c == '/') return false;
  }
  auto p = parseInteger(text.substr(colon + 1), 0, 65535);
  if (!p) return false;
  host = std::string(h);
  port = static_cast<int>(*p);
  return true;
}

OptionsResult parseOptions(int argc, const char* const* argv) {
  OptionsResult result;
  Options& o = result.options;
  auto fail = [&](std::string message) {
    result.error = std::move(message);
    return result;
  };
  bool refreshGiven = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    std::optional<std::string_view> inlineValue;
    if (auto eq = arg.find('='); arg.substr(0, 2) == "--" && eq != std::string_view::npos) {
      inlineValue = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
    }
    auto flag = std::string(arg);
    auto value = [&]() -> std::optional<std::string_view> {
      if (inlineValue) return inlineValue;
      if (i + 1 >= argc) return std::nullopt;
      return std::string_view(argv[++i]);
    };
    auto noValue = [&] { return !inlineValue; };

    if (flag == "--help" || flag == "-h") {
      result.help = true;
      return result;
    } else if (flag == "--stall" || flag == "--quiet") {
      if (!noValue()) return fail(flag + " takes no value");
      if (flag == "--stall") {
        o.server.misbehaviour.stall = true;
      } else {
        o.server.logRequests = false;
      }
      continue;
    }
    if (flag != "--listen" && flag != "--rates" && flag != "--ecb-xml" && flag != "--ecb-url" &&
        flag != "--refresh" && flag != "--delay" && flag != "--status" && flag != "--body" &&
        flag != "--threads" && flag != "--max-connections" && flag != "--idle-timeout" &&
        flag != "--head-timeout" && flag != "--table-due") {
      return fail("unknown argument \"" + std::string(argv[i]) + "\"");
    }
    auto v = value();
    if (!v) return fail(flag + " needs a value");
    if (flag == "--listen") {
      if (!parseListen(*v, o.host, o.port))
        return fail("--listen wants HOST:PORT, not \"" + std::string(*v) + "\"");
    } else if (flag == "--rates" || flag == "--ecb-xml") {
      if (v->empty()) return fail(flag + " needs a file name");
      (flag == "--rates" ? o.ratesFile : o.ecbXmlFile) = std::string(*v);
    } else if (flag == "--ecb-url") {
      o.ecbUrl = parseHttpUrl(*v);
      if (!o.ecbUrl)
        return fail("--ecb-url wants an http:// or https:// URL, not \"" + std::string(*v) + "\"");
    } else if (flag == "--refresh") {
      auto n = parseInteger(*v, 1, 7LL * 24 * 3600);
      if (!n) return fail("--refresh wants whole seconds from 1 to 604800");
      o.refresh = std::chrono::seconds(*n);
      refreshGiven = true;
    } else if (flag == "--delay") {
      auto n = parseInteger(*v, 0, 600000);
      if (!n) return fail("--delay wants milliseconds from 0 to 600000");
      o.server.misbehaviour.delay = std::chrono::milliseconds(*n);
    } else if (flag == "--status") {
      auto n = parseInteger(*v, 200, 599);
      if (!n) return fail("--status wants an HTTP status from 200 to 599");
      o.server.misbehaviour.status = static_cast<int>(*n);
    } else if (flag == "--body") {
      o.server.misbehaviour.body = std::string(*v);
    } else if (flag == "--threads") {
      auto n = parseInteger(*v, 1, 1024);
      if (!n) return fail("--threads wants a count from 1 to 1024");
      o.server.threads = static_cast<std::size_t>(*n);
    } else if (flag == "--max-connections") {
      auto n = parseInteger(*v, 1, 1000000);
      if (!n) return fail("--max-connections wants a count from 1 to 1000000");
      o.server.maxConnections = static_cast<std::size_t>(*n);
    } else if (flag == "--idle-timeout" || flag == "--head-timeout") {
      auto n = parseInteger(*v, 1, 3600);
      if (!n) return fail(flag + " wants whole seconds from 1 to 3600");
      (flag == "--idle-timeout" ? o.server.keepAliveTimeout : o.server.headTimeout) =
          std::chrono::seconds(*n);
    } else if (flag == "--table-due") {
      auto minute = parseTimeOfDay(*v);
      if (!minute) return fail("--table-due wants HH:MM (UTC), not \"" + std::string(*v) + "\"");
      o.server.schedule.dueMinute = *minute;
    }
  }
  if (o.ratesFile && o.ecbXmlFile) return fail("give --rates or --ecb-xml, not both");
  if (refreshGiven && !o.ecbUrl) return fail("--refresh needs --ecb-url");
  // A refreshing service expects a late table to arrive by the next fetch.
  if (o.ecbUrl) o.server.schedule.overdueMaxAge = o.refresh.count();
  return result;
}

}  // namespace tessary::quotes
