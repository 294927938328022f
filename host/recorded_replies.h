#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/url_connection.h"

// The replies a session's requests got, as script lines: the window writes them where each
// arrived, and a replay answers its requests from them without opening a connection.
//   replies script            requests wait for the script's answers (else the network's)
//   body N "TEXT"             adds TEXT (percent-encoded bytes) to request N's body
//   reply N STATUS            request N's reply arrives: the status and the body so far
//   fail N CODE "DESCRIPTION" request N fails with that error
// Requests are numbered from 1 in the order they start.
class RecordedReplies : public NSURLReplySource {
 public:
  using Listener = std::function<void(const std::vector<std::string>& lines)>;

  ~RecordedReplies() override;

  void setFromScript(bool on) { fromScript_ = on; }
  // Told the lines that record each outcome as it arrives.
  void setListener(Listener listener) { listener_ = std::move(listener); }

  // Each answers an empty string or why the script line is refused.
  std::string addBody(long request, const std::string& encoded);
  std::string answer(long request, NSURLReply reply);

  bool takes(NSURLConnection& connection) override;
  void concluded(NSURLConnection& connection, const NSURLReply& reply) override;

  // The lines that record `reply` for request N: the body in pieces that fit a line.
  static std::vector<std::string> lines(long request, const NSURLReply& reply);
  // Bytes outside printable ASCII, and % " \, as %XX.
  static std::string percentEncoded(std::string_view bytes);
  // False for a broken %-escape.
  static bool percentDecoded(std::string_view text, std::string& bytes);

 private:
  bool fromScript_ = false;
  Listener listener_;
  long started_ = 0;
  std::map<const NSURLConnection*, long> numbers_;
  std::map<long, std::weak_ptr<NSURLConnection>> waiting_;
  std::map<long, std::string> bodies_;
};
