#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace tessary::quotes {

// Writes one line to standard error in a single call, so lines from worker threads never mix.
void logLine(std::string_view line);

// Request lines from many workers, written by one thread of its own: a worker never waits
// on the file, and under load many lines go out in one write.
class RequestLog {
 public:
  RequestLog();
  ~RequestLog();  // writes what is left
  RequestLog(const RequestLog&) = delete;
  RequestLog& operator=(const RequestLog&) = delete;

  void add(std::string_view line);
  // Returns once every line added so far is written.
  void flush();

 private:
  void writeLoop();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable written_;
  static constexpr std::size_t kMaxPending = 4 << 20;

  std::string pending_;
  std::uint64_t dropped_ = 0;
  std::uint64_t added_ = 0;
  std::uint64_t done_ = 0;
  bool stopping_ = false;
  std::thread writer_;
};

// "METHOD TARGET STATUS 1.234ms", with "-" for what a refused request did not give and the
// target made safe.
std::string formatRequestLine(std::string_view method, std::string_view target, int status,
                              std::uint64_t micros);

// Makes text from a client safe for one log line: control bytes escaped, length capped.
std::string sanitizeForLog(std::string_view text, std::size_t maxLength = 256);

}  // namespace tessary::quotes
