#include "quotes/metrics.h"

#include <cstdio>

#include "quotes/cache_policy.h"
#include "quotes/responses.h"

namespace tessary::quotes {

LoopMetrics::Method LoopMetrics::methodOf(std::string_view method, bool known) {
  if (method == "GET") return Get;
  if (method == "HEAD") return Head;
  return known && !method.empty() ? OtherMethod : UnknownMethod;
}

void LoopMetrics::record(Method method, int status, std::uint64_t micros) {
  if (status >= kLowestStatus && status < kLowestStatus + kStatuses)
    bump(requests_[method][static_cast<std::size_t>(status - kLowestStatus)]);
  std::size_t i = 0;
  while (i < kBuckets.size() && micros > kBuckets[i]) ++i;
  bump(buckets_[i]);
  bump(micros_, micros);
}

std::uint64_t LoopMetrics::requests(Method method, int status) const {
  return requests_[method][static_cast<std::size_t>(status - kLowestStatus)].load(
      std::memory_order_relaxed);
}

std::uint64_t LoopMetrics::bucket(std::size_t i) const {
  std::uint64_t sum = 0;
  for (std::size_t j = 0; j <= i && j < buckets_.size(); ++j)
    sum += buckets_[j].load(std::memory_order_relaxed);
  return sum;
}

Health checkHealth(const RateTable* table, const FeedState& feed, std::time_t now) {
  if (!table || table->size() == 0) return {false, "no rate table loaded"};
  if (!feed.configured) return {};
  auto allowed = (feed.interval + feed.deadline).count();
  auto age = now - feed.goodSince;
  if (age <= allowed) return {};
  std::string reason = "the table is " + std::to_string(age) +
                       " s past its last good fetch, more than the " + std::to_string(allowed) +
                       " s the refresh interval allows";
  if (feed.lastFetch != 0 && !feed.lastOk) reason += "; last fetch: " + feed.lastError;
  return {false, reason};
}

namespace {

void family(std::string& out, const char* name, const char* type, const char* help) {
  out.append("# HELP ").append(name).append(" ").append(help).append("\n");
  out.append("# TYPE ").append(name).append(" ").append(type).append("\n");
}

void sample(std::string& out, std::string_view name, std::uint64_t value) {
  out.append(name).append(" ");
  appendNumber(out, value);
  out.push_back('\n');
}

std::string seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return text;
}

}  // namespace

std::string renderMetrics(const ServiceMetrics& metrics, const RateTable& table,
                          const FeedState& feed) {
  static constexpr const char* kMethodNames[] = {"GET", "HEAD", "other", "unknown"};
  std::string out;
  out.reserve(4096);
  family(out, "tessary_quoted_requests_total", "counter",
         "Requests answered, by method and status.");
  for (int m = 0; m < LoopMetrics::kMethods; ++m) {
    for (int s = LoopMetrics::kLowestStatus;
         s < LoopMetrics::kLowestStatus + LoopMetrics::kStatuses; ++s) {
      std::uint64_t n = 0;
      for (const auto& loop : metrics.loops)
        n += loop->requests(static_cast<LoopMetrics::Method>(m), s);
      if (n == 0) continue;
      sample(out,
             std::string("tessary_quoted_requests_total{method=\"") + kMethodNames[m] +
                 "\",status=\"" + std::to_string(s) + "\"}",
             n);
    }
  }

  family(out, "tessary_quoted_request_duration_seconds", "histogram",
         "Time from a request's first byte to its response.");
  for (std::size_t i = 0; i <= LoopMetrics::kBuckets.size(); ++i) {
    std::uint64_t n = 0;
    for (const auto& loop : metrics.loops) n += loop->bucket(i);
    auto le = i < LoopMetrics::kBuckets.size()
                  ? seconds(static_cast<double>(LoopMetrics::kBuckets[i]) / 1e6)
                  : std::string("+Inf");
    sample(out, "tessary_quoted_request_duration_seconds_bucket{le=\"" + le + "\"}", n);
    if (i == LoopMetrics::kBuckets.size())
      sample(out, "tessary_quoted_request_duration_seconds_count", n);
  }
  std::uint64_t micros = 0;
  for (const auto& loop : metrics.loops) micros += loop->micros();
  out.append("tessary_quoted_request_duration_seconds_sum ")
      .append(seconds(static_cast<double>(micros) / 1e6))
      .append("\n");

  family(out, "tessary_quoted_open_connections", "gauge", "Client connections open now.");
  sample(out, "tessary_quoted_open_connections", metrics.open.load(std::memory_order_relaxed));
  family(out, "tessary_quoted_refused_connections_total", "counter",
         "Connections closed to make room, or not accepted for lack of descriptors.");
  sample(out, "tessary_quoted_refused_connections_total",
         metrics.refused.load(std::memory_order_relaxed));

  family(out, "tessary_quoted_table_date_seconds", "gauge",
         "The rate table's publication day, as a Unix time (0 when not known).");
  auto day = dayStart(table.date);
  sample(out, "tessary_quoted_table_date_seconds",
         day && *day > 0 ? static_cast<std::uint64_t>(*day) : 0);
  family(out, "tessary_quoted_table_currencies", "gauge", "Currencies in the rate table.");
  sample(out, "tessary_quoted_table_currencies", table.size());

  if (feed.configured) {
    family(out, "tessary_quoted_feed_last_refresh_seconds", "gauge",
           "When the last fetch of the feed ended, as a Unix time (0 before the first).");
    sample(out, "tessary_quoted_feed_last_refresh_seconds",
           feed.lastFetch > 0 ? static_cast<std::uint64_t>(feed.lastFetch) : 0);
    family(out, "tessary_quoted_feed_last_refresh_success", "gauge",
           "1 when the last fetch of the feed gave a table, else 0.");
    sample(out, "tessary_quoted_feed_last_refresh_success", feed.lastOk ? 1 : 0);
    family(out, "tessary_quoted_feed_last_good_seconds", "gauge",
           "When the feed last gave a table (the start while it has not), as a Unix time.");
    sample(out, "tessary_quoted_feed_last_good_seconds",
           feed.goodSince > 0 ? static_cast<std::uint64_t>(feed.goodSince) : 0);
  }
  return out;
}

}  // namespace tessary::quotes
