#include "quotes/ecb_reader.h"

#include <httplib.h>

#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <pugixml.hpp>
#include <system_error>
#include <thread>

namespace tessary::quotes {

namespace {

// Element names carry namespace prefixes that publishers may choose freely.
std::string_view localName(const pugi::xml_node& node) {
  std::string_view name = node.name();
  auto colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The day's Cube sits two levels below the envelope; the depth bound keeps hostile nesting
// from exhausting the stack.
pugi::xml_node findDayCube(const pugi::xml_node& node, int depth) {
  if (depth == 0) return {};
  for (auto child : node.children()) {
    if (child.type() != pugi::node_element) continue;
    if (localName(child) == "Cube" && child.attribute("time")) return child;
    if (auto found = findDayCube(child, depth - 1)) return found;
  }
  return {};
}

bool isIsoDate(std::string_view d) {
  if (d.size() != 10 || d[4] != '-' || d[7] != '-') return false;
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
    if (d[i] < '0' || d[i] > '9') return false;
  }
  return true;
}

}  // namespace

TableResult parseEcbDaily(std::string_view xml) {
  if (xml.size() > kMaxRatesFileBytes) return {nullptr, "document too large"};
  pugi::xml_document doc;
  // Plain element parsing: no DOCTYPE or entity expansion beyond the predefined ones.
  auto parsed = doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!parsed) {
    return {nullptr, std::string("XML error: ") + parsed.description() + " at offset " +
                         std::to_string(parsed.offset)};
  }
  auto root = doc.document_element();
  if (localName(root) != "Envelope") return {nullptr, "not an ECB reference-rate envelope"};
  auto day = findDayCube(root, 4);
  if (!day) return {nullptr, "no dated Cube element"};

  auto table = std::make_shared<RateTable>();
  table->source = "European Central Bank euro foreign exchange reference rates";
  std::string_view date = day.attribute("time").value();
  if (!isIsoDate(date)) return {nullptr, "bad date \"" + std::string(date.substr(0, 32)) + "\""};
  table->date = std::string(date);

  for (auto cube : day.children()) {
    if (cube.type() != pugi::node_element) continue;
    if (localName(cube) != "Cube") return {nullptr, "unexpected element in the day's rates"};
    std::string_view code = cube.attribute("currency").value();
    std::string_view text = cube.attribute("rate").value();
    auto rate = parseDecimal(text);
    if (!rate) return {nullptr, "bad rate for \"" + std::string(code.substr(0, 16)) + "\""};
    if (auto error = table->add(code, *rate, text)) return {nullptr, *error};
  }
  if (table->size() == 0) return {nullptr, "no rates in the document"};
  return {std::move(table), {}};
}

TableResult loadEcbDaily(const std::filesystem::path& path) {
  std::string error;
  auto text = readFileCapped(path, kMaxRatesFileBytes, &error);
  if (!text) return {nullptr, error};
  auto result = parseEcbDaily(*text);
  if (!result) result.error = path.string() + ": " + result.error;
  return result;
}

std::optional<HttpUrl> parseHttpUrl(std::string_view url) {
  std::string_view rest;
  std::string scheme;
  if (url.substr(0, 7) == "http://") {
    scheme = "http://";
    rest = url.substr(7);
  } else if (url.substr(0, 8) == "https://") {
    scheme = "https://";
    rest = url.substr(8);
  } else {
    return std::nullopt;
  }
  auto slash = rest.find('/');
  std::string_view authority = rest.substr(0, slash);
  std::string_view path = slash == std::string_view::npos ? "/" : rest.substr(slash);
  if (authority.empty() || authority.find('@') != std::string_view::npos) return std::nullopt;
  for (char c : url) {
    if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f) return std::nullopt;
  }
  auto colon = authority.rfind(':');
  if (colon != std::string_view::npos && authority.back() != ']') {
    auto port = authority.substr(colon + 1);
    if (port.empty() || port.size() > 5) return std::nullopt;
    for (char c : port) {
      if (c < '0' || c > '9') return std::nullopt;
    }
    if (std::stoi(std::string(port)) > 65535 || colon == 0) return std::nullopt;
  }
  return HttpUrl{scheme + std::string(authority), std::string(path)};
}

TableResult fetchEcbDaily(const HttpUrl& url, std::chrono::steady_clock::time_point deadline,
                          const std::stop_token& stop) {
  using namespace std::chrono;
  // The transfer runs on a thread of its own: the client's timeouts are per read, and a
  // name lookup or a connect cannot be interrupted. Past the deadline the client's socket is
  // shut down, which ends any read at once, and the thread is left to finish by itself.
  struct Transfer {
    explicit Transfer(const std::string& origin) : client(origin) {}
    httplib::Client client;
    std::mutex mutex;
    std::condition_variable_any done;
    bool finished = false;
    TableResult result;
  };
  auto transfer = std::make_shared<Transfer>(url.schemeHostPort);
  if (!transfer->client.is_valid())
    return {nullptr, "cannot make a client for " + url.schemeHostPort};
  auto left = std::max(duration_cast<milliseconds>(deadline - steady_clock::now()), 1ms);
  transfer->client.set_connection_timeout(left);
  transfer->client.set_read_timeout(left);
  transfer->client.set_write_timeout(left);
  transfer->client.set_follow_location(true);

  auto run = [transfer, path = url.path] {
    std::string body;
    bool tooLarge = false;
    auto reply = transfer->client.Get(path, [&](const char* data, std::size_t length) {
      if (body.size() + length > kMaxRatesFileBytes) {
        tooLarge = true;
        return false;
      }
      body.append(data, length);
      return true;
    });
    TableResult result;
    if (tooLarge) {
      result.error = "reply larger than " + std::to_string(kMaxRatesFileBytes) + " bytes";
    } else if (!reply) {
      result.error = "fetch failed: " + httplib::to_string(reply.error());
    } else if (reply->status != 200) {
      result.error = "fetch answered status " + std::to_string(reply->status);
    } else {
      result = parseEcbDaily(body);
      if (!result) result.error = "reply does not parse: " + result.error;
    }
    std::lock_guard lock(transfer->mutex);
    transfer->result = std::move(result);
    transfer->finished = true;
    transfer->done.notify_all();
  };
  try {
    std::thread(std::move(run)).detach();
  } catch (const std::system_error& e) {
    return {nullptr, std::string("cannot start a fetch: ") + e.what()};
  }

  std::unique_lock lock(transfer->mutex);
  if (transfer->done.wait_until(lock, stop, deadline, [&] { return transfer->finished; }))
    return std::move(transfer->result);
  lock.unlock();
  transfer->client.stop();
  if (stop.stop_requested()) return {nullptr, "stopped"};
  return {nullptr, "not complete within " + std::to_string(left.count()) + " ms"};
}

}  // namespace tessary::quotes
