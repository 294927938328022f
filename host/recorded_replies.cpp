#include "host/recorded_replies.h"

#include "host/window_record.h"

namespace {

// Raw bytes per `body` line: even when every byte is escaped the line stays well inside a
// script line's limit.
constexpr size_t kBodyPiece = size_t{16} * 1024;
// The platform's own limit on a body, so a script cannot make a reply hold more.
constexpr size_t kMaxBody = size_t{64} * 1024;

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string RecordedReplies::percentEncoded(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u > 0x7E || c == '%' || c == '"' || c == '\\') {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

bool RecordedReplies::percentDecoded(std::string_view text, std::string& bytes) {
  bytes.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      bytes += text[i];
      continue;
    }
    const int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
    const int low = high >= 0 ? hexValue(text[i + 2]) : -1;
    if (low < 0) return false;
    bytes += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

std::vector<std::string> RecordedReplies::lines(long request, const NSURLReply& reply) {
  const std::string number = std::to_string(request);
  if (reply.failure != 0) {
    return {"fail " + number + " " + std::to_string(reply.failure) + " " +
            window_record::quoted(window_record::lineSafe(reply.description, kBodyPiece))};
  }
  std::vector<std::string> out;
  for (size_t at = 0; at < reply.body.size(); at += kBodyPiece) {
    out.push_back("body " + number + " \"" +
                  percentEncoded(std::string_view(reply.body).substr(at, kBodyPiece)) + "\"");
  }
  out.push_back("reply " + number + " " + std::to_string(reply.status));
  return out;
}

std::string RecordedReplies::addBody(long request, const std::string& encoded) {
  std::string bytes;
  if (!percentDecoded(encoded, bytes)) return "body: TEXT holds a broken %-escape";
  std::string& body = bodies_[request];
  if (bytes.size() > kMaxBody - body.size()) return "body: a body holds at most 65536 bytes";
  body += bytes;
  return {};
}

RecordedReplies::~RecordedReplies() {
  // A script that ends before its replies leaves requests no one will answer.
  for (auto& [number, waiting] : waiting_) {
    if (const auto connection = waiting.lock()) connection->abandon();
  }
}

std::string RecordedReplies::answer(long request, NSURLReply reply) {
  const auto found = waiting_.find(request);
  const auto connection = found != waiting_.end() ? found->second.lock() : nullptr;
  if (!connection) {
    return "request " + std::to_string(request) + " is not waiting for a recorded reply";
  }
  waiting_.erase(found);
  if (reply.failure == 0) reply.body = std::move(bodies_[request]);
  bodies_.erase(request);
  connection->answer(std::move(reply));
  return {};
}

bool RecordedReplies::takes(NSURLConnection& connection) {
  const long number = ++started_;
  numbers_[&connection] = number;
  if (!fromScript_) return false;
  waiting_[number] = std::static_pointer_cast<NSURLConnection>(connection.shared_from_this());
  return true;
}

void RecordedReplies::concluded(NSURLConnection& connection, const NSURLReply& reply) {
  const auto found = numbers_.find(&connection);
  if (found == numbers_.end()) return;
  const long number = found->second;
  numbers_.erase(found);
  if (listener_) listener_(lines(number, reply));
}
