#include "quotes/routing.h"

#include <algorithm>

#include "quotes/quote_query.h"

namespace tessary::quotes {

std::string_view targetPath(std::string_view target) {
  // An absolute-form target ("http://host/path?query") stands for its path and query.
  for (std::string_view scheme : {"http://", "https://"}) {
    if (target.size() >= scheme.size() &&
        std::equal(scheme.begin(), scheme.end(), target.begin(),
                   [](char a, char b) { return a == (b | 0x20); })) {
      auto slash = target.find('/', scheme.size());
      target = slash == std::string_view::npos ? std::string_view("/") : target.substr(slash);
      break;
    }
  }
  return target.substr(0, target.find('?'));
}

bool Router::handle(const RequestHead& head, Response& response, Exchange&) {
  route(head, response);
  return true;
}

void Router::route(const RequestHead& head, Response& r) {
  if (!head.knownMethod) {
    r.status = 501;
    r.body = "Not implemented\n";
    return;
  }
  if (head.method != "GET" && head.method != "HEAD") {
    r.status = 405;
    r.body = "Method not allowed\n";
    r.allow = "GET, HEAD";
    return;
  }
  auto path = targetPath(head.target);
  if (path == kQuotePath) {
    quote(head, r, true);
  } else if (path == kHealthPath) {
    const auto& view = writer_.table();
    auto health = checkHealth(view.table.get(), store_.feed(), std::time(nullptr));
    body_ = health.ok ? "ok\n" : health.reason + "\n";
    r.status = health.ok ? 200 : 503;
    r.body = body_;
    r.noStore = true;
  } else if (path == kMetricsPath) {
    body_ = renderMetrics(metrics_, *writer_.table().table, store_.feed());
    r.status = 200;
    r.contentType = "text/plain; version=0.0.4";
    r.body = body_;
    r.noStore = true;
  } else {
    r.status = 404;
    r.body = "Not found\n";
  }
}

void Router::quote(const RequestHead& head, Response& r, bool conditional) {
  const auto& view = writer_.table();
  auto query = std::string_view(head.target);
  auto mark = query.find('?');
  query = mark == std::string_view::npos ? std::string_view() : query.substr(mark + 1);
  auto reply = answerQuote(*view.table, query);
  body_ = std::move(reply.body);
  contentType_ = std::move(reply.contentType);
  r.status = reply.status;
  r.contentType = contentType_;
  r.body = body_;
  if (!conditional) return;
  if (r.status == 200 || r.status == 404) r.cacheFor = true;
  if (r.status != 200) return;
  r.validators = true;
  if (head.ifNoneMatch) {
    if (noneMatchHits(*head.ifNoneMatch, view.etag)) r.status = 304;
  } else if (head.ifModifiedSince) {
    auto since = parseHttpDate(*head.ifModifiedSince);
    if (since && view.modified <= *since) r.status = 304;
  }
}

}  // namespace tessary::quotes
