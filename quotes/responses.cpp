#include "quotes/responses.h"

#include <charconv>
#include <cstdio>

namespace tessary::quotes {

const char* reasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 304:
      return "Not Modified";
    case 400:
      return "Bad Request";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 414:
      return "URI Too Long";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 501:
      return "Not Implemented";
    case 502:
      return "Bad Gateway";
    case 503:
      return "Service Unavailable";
    case 504:
      return "Gateway Timeout";
    case 505:
      return "HTTP Version Not Supported";
    default:
      return status < 300   ? "OK"
             : status < 400 ? "Redirect"
             : status < 500 ? "Client Error"
                            : "Server Error";
  }
}

void appendNumber(std::string& out, std::uint64_t value) {
  char digits[24];
  auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

std::time_t TableClock::modifiedFor(std::uint64_t version, const RateTable& table, int dueMinute) {
  std::lock_guard lock(mutex_);
  if (version != seenVersion_) {
    seenVersion_ = version;
    seenAt_ = std::time(nullptr);
  }
  return tableModified(table.date, seenAt_, dueMinute);
}

const ResponseWriter::TableView& ResponseWriter::table() {
  auto version = store_.version();
  if (version != view_.version || !view_.table) {
    view_.table = store_.current();
    view_.version = version;
    std::uint64_t hash = digest64(view_.table->source);
    hash = digest64(view_.table->date, hash);
    for (const auto& [code, rate] : view_.table->rates()) {
      hash = digest64(code, hash);
      hash = digest64(std::string_view(reinterpret_cast<const char*>(&rate), sizeof rate), hash);
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    view_.etag = std::string("\"") + hex + "\"";
    view_.modified = clock_.modifiedFor(version, *view_.table, schedule_.dueMinute);
    view_.modifiedText = httpDate(view_.modified);
    clockSecond_ = -1;  // max-age depends on the table's day
  }
  return view_;
}

void ResponseWriter::refreshClock() {
  std::time_t now = std::time(nullptr);
  if (now == clockSecond_) return;
  clockSecond_ = now;
  dateText_ = httpDate(now);
  auto fresh = freshFor(now, table().table->date, schedule_);
  cacheControl_ = "public, max-age=" + std::to_string(fresh);
}

void ResponseWriter::write(std::string& out, const Response& r, const Framing& framing) {
  refreshClock();
  out.append("HTTP/1.1 ");
  appendNumber(out, static_cast<std::uint64_t>(r.status));
  out.push_back(' ');
  out.append(reasonPhrase(r.status));
  out.append("\r\nDate: ").append(dateText_);
  if (r.status != 304) {
    out.append("\r\nContent-Type: ").append(r.contentType);
    out.append("\r\nContent-Length: ");
    appendNumber(out, r.body.size());
  }
  if (r.cacheFor) {
    out.append("\r\nCache-Control: ").append(cacheControl_);
  } else if (r.noStore) {
    out.append("\r\nCache-Control: no-store");
  }
  if (r.validators) {
    const TableView& view = table();
    out.append("\r\nETag: ").append(view.etag);
    out.append("\r\nLast-Modified: ").append(view.modifiedText);
  }
  if (!r.allow.empty()) out.append("\r\nAllow: ").append(r.allow);
  if (framing.close) {
    out.append("\r\nConnection: close");
  } else if (framing.keepAliveHeader) {
    out.append("\r\nConnection: keep-alive");
  }
  out.append("\r\n\r\n");
  if (framing.sendBody && r.status != 304) out.append(r.body);
}

}  // namespace tessary::quotes
