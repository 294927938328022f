#include "quotes/log.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <string>

namespace tessary::quotes {

namespace {

void writeAll(std::string_view text) {
  for (std::size_t done = 0; done < text.size();) {
    ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a closed or full standard error loses the lines, not the service
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

void logLine(std::string_view line) {
  std::string out;
  out.reserve(line.size() + 1);
  out.append(line);
  out.push_back('\n');
  writeAll(out);
}

RequestLog::RequestLog() : writer_([this] { writeLoop(); }) {}

RequestLog::~RequestLog() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  writer_.join();
}

void RequestLog::add(std::string_view line) {
  bool wasEmpty;
  {
    std::lock_guard lock(mutex_);
    wasEmpty = pending_.empty();
    // A standard error that blocks must not make the service grow: past the cap, lines are
    // counted and dropped, and the count is logged once the writer catches up.
    if (pending_.size() + line.size() < kMaxPending) {
      if (dropped_ > 0) {
        pending_.append("log: ").append(std::to_string(dropped_)).append(" lines dropped\n");
        dropped_ = 0;
      }
      pending_.append(line);
      pending_.push_back('\n');
    } else {
      ++dropped_;
    }
    ++added_;
  }
  if (wasEmpty) wake_.notify_one();
}

void RequestLog::flush() {
  std::unique_lock lock(mutex_);
  auto target = added_;
  written_.wait(lock, [&] { return done_ >= target; });
}

void RequestLog::writeLoop() {
  std::string batch;
  std::unique_lock lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
    if (pending_.empty() && stopping_) return;
    batch.swap(pending_);
    auto count = added_;
    lock.unlock();
    writeAll(batch);
    batch.clear();
    lock.lock();
    done_ = count;
    written_.notify_all();
  }
}

std::string formatRequestLine(std::string_view method, std::string_view target, int status,
                              std::uint64_t micros) {
  std::string line;
  line.reserve(target.size() + 40);
  line += method.empty() ? std::string_view("-") : method;
  line += ' ';
  line += target.empty() ? std::string("-") : sanitizeForLog(target);
  line += ' ';
  line += std::to_string(status);
  line += ' ';
  // Milliseconds with three digits after the point.
  line += std::to_string(micros / 1000);
  const auto fraction = micros % 1000;
  const char decimals[] = {'.', static_cast<char>('0' + fraction / 100),
                           static_cast<char>('0' + fraction / 10 % 10),
                           static_cast<char>('0' + fraction % 10)};
  line.append(decimals, sizeof decimals);
  line += "ms";
  return line;
}

std::string sanitizeForLog(std::string_view text, std::size_t maxLength) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(std::min(text.size(), maxLength) + 3);
  for (char c : text) {
    if (out.size() >= maxLength) {
      out += "...";
      break;
    }
    auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u >= 0x7f || c == '\\') {
      out += "\\x";
      out.push_back(kHex[u >> 4]);
      out.push_back(kHex[u & 15]);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace tessary::quotes
