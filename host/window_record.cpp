#include "host/window_record.h"

#include <charconv>
#include <cmath>

namespace window_record {

std::string secondsText(int64_t ticks) {
  if (ticks < 0) ticks = 0;
  std::string text = std::to_string(ticks / kTicksPerSecond);
  const int64_t fraction = ticks % kTicksPerSecond;
  if (fraction == 0) return text;
  // 1/1024 = 0.0009765625: ten decimal places hold any whole number of ticks.
  std::string digits = std::to_string(fraction * 9'765'625);
  digits.insert(0, 10 - digits.size(), '0');
  while (digits.back() == '0') digits.pop_back();
  return text + "." + digits;
}

std::string numberText(CGFloat value) {
  if (!std::isfinite(value)) value = 0;
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value));
  return std::string(buffer, result.ptr);
}

std::string pointText(CGPoint point) {
  return numberText(point.x) + "," + numberText(point.y);
}

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

std::string lineSafe(const std::string& text, size_t maxBytes) {
  std::string out = text.substr(0, maxBytes);
  if (out.size() < text.size()) {
    // Back up to the start of a UTF-8 character.
    size_t end = out.size();
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    out.resize(end);
  }
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) c = ' ';
  }
  return out;
}

void Recorder::waitUntil(int64_t ticks) {
  if (ticks > last_) {
    out_ << "wait " << secondsText(ticks - last_) << '\n';
    last_ = ticks;
  }
}

void Recorder::write(int64_t ticks, const std::string& line) {
  waitUntil(ticks);
  out_ << line << '\n';
  out_.flush();
}

void Recorder::finish(int64_t ticks) {
  waitUntil(ticks);
  out_.flush();
}

}  // namespace window_record
