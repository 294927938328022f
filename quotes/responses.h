#pragma once

#include <cstdint>
#include <ctime>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "quotes/cache_policy.h"
#include "quotes/rate_store.h"

namespace tessary::quotes {

const char* reasonPhrase(int status);
void appendNumber(std::string& out, std::uint64_t value);

// What a handler answers; the views stay valid until the response is written.
struct Response {
  int status = 200;
  std::string_view contentType = "text/plain";
  std::string_view body;
  std::string_view allow;   // an Allow field, for 405
  bool cacheFor = false;    // Cache-Control with the table's max-age
  bool validators = false;  // ETag and Last-Modified
  bool noStore = false;     // Cache-Control: no-store, for answers about the service itself
};

// How the connection goes on after a response, which the transport decides.
struct Framing {
  bool sendBody = true;          // false for HEAD and 304
  bool close = false;            // Connection: close
  bool keepAliveHeader = false;  // an HTTP/1.0 client asked to keep the connection
};

// When each table version was first seen, shared by the event loops, so that every loop gives
// a table the same Last-Modified.
class TableClock {
 public:
  std::time_t modifiedFor(std::uint64_t version, const RateTable& table, int dueMinute);

 private:
  std::mutex mutex_;
  std::uint64_t seenVersion_ = std::numeric_limits<std::uint64_t>::max();
  std::time_t seenAt_ = 0;
};

// One event loop's view of the table in force and of the clock, renewed when either moves,
// and the writer of response heads from them.
class ResponseWriter {
 public:
  struct TableView {
    std::uint64_t version = std::numeric_limits<std::uint64_t>::max();
    std::shared_ptr<const RateTable> table;
    std::string etag;
    std::string modifiedText;
    std::time_t modified = 0;
  };

  ResponseWriter(const RateStore& store, TableClock& clock, const TableSchedule& schedule)
      : store_(store), clock_(clock), schedule_(schedule) {}

  const TableView& table();
  void write(std::string& out, const Response& response, const Framing& framing);

 private:
  void refreshClock();

  const RateStore& store_;
  TableClock& clock_;
  const TableSchedule& schedule_;
  TableView view_;
  std::time_t clockSecond_ = -1;
  std::string dateText_;
  std::string cacheControl_;
};

}  // namespace tessary::quotes
