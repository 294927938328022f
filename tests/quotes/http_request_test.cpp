#include "quotes/http_request.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

namespace tessary::quotes {
namespace {

using State = ParseStep::State;

const std::string kGet = "GET /d/quotes.csv?s=EURUSD=X&f=l1 HTTP/1.1\r\nHost: q\r\n";

ParseStep parseWhole(const std::string& bytes, RequestLimits limits = {}) {
  RequestParser parser(limits);
  return parser.parse(bytes);
}

TEST(RequestParser, ReadsAHeadWholeOrByteByByte) {
  std::string request = kGet +
                        "If-None-Match: \"a\"\r\nIf-None-Match: W/\"b\"\r\n"
                        "If-Modified-Since: Mon, 06 Jul 2026 15:00:00 GMT\r\n\r\n";
  std::string next = "GET / HTTP/1.1\r\nHost: q\r\n\r\n";
  RequestParser whole;
  auto step = whole.parse(request + next);  // a pipelined request stays for later
  ASSERT_EQ(step.state, State::Done) << step.reason;
  EXPECT_EQ(step.consumed, request.size());
  const auto& head = whole.head();
  EXPECT_EQ(head.method, "GET");
  EXPECT_EQ(head.target, "/d/quotes.csv?s=EURUSD=X&f=l1");
  EXPECT_EQ(head.version, 11);
  EXPECT_TRUE(head.keepAlive);
  EXPECT_FALSE(head.hasBody);
  EXPECT_EQ(head.ifNoneMatch, "\"a\", W/\"b\"");
  EXPECT_EQ(head.ifModifiedSince, "Mon, 06 Jul 2026 15:00:00 GMT");

  RequestParser trickled;
  for (std::size_t n = 1; n < request.size(); ++n)
    ASSERT_EQ(trickled.parse(request.substr(0, n)).state, State::NeedMore) << n;
  step = trickled.parse(request);
  ASSERT_EQ(step.state, State::Done);
  EXPECT_EQ(trickled.head().ifNoneMatch, head.ifNoneMatch);

  // Empty lines before a request are skipped; HTTP/1.0 needs no Host and closes by default.
  RequestParser old;
  step = old.parse("\r\n\r\nHEAD /x HTTP/1.0\r\n\r\n");
  ASSERT_EQ(step.state, State::Done) << step.reason;
  EXPECT_EQ(step.consumed, 24u);
  EXPECT_FALSE(old.head().keepAlive);
  RequestParser unknown;
  ASSERT_EQ(unknown.parse("BREW /pot HTTP/1.1\r\nHost: q\r\n\r\n").state, State::Done);
  EXPECT_FALSE(unknown.head().knownMethod);
  RequestParser body;
  ASSERT_EQ(body.parse(kGet + "Content-Length: 3\r\n\r\nabc").state, State::Done);
  EXPECT_TRUE(body.head().hasBody);
  RequestParser chunked;
  ASSERT_EQ(chunked.parse(kGet + "Transfer-Encoding: gzip, chunked\r\n\r\n").state, State::Done);
  EXPECT_TRUE(chunked.head().hasBody);
  RequestParser empty;
  ASSERT_EQ(empty.parse(kGet + "Content-Length: 0\r\n\r\n").state, State::Done);
  EXPECT_FALSE(empty.head().hasBody);
}

TEST(RequestParser, RefusesFramingThatReadersCouldDisagreeOn) {
  std::vector<std::pair<std::string, std::string>> cases = {
      {"a field line without a colon", kGet + "X-No-Colon\r\n\r\n"},
      {"space before the colon", kGet + "Content-Length : 0\r\n\r\n"},
      {"a negative length", kGet + "Content-Length: -1\r\n\r\n"},
      {"a signed length", kGet + "Content-Length: +3\r\n\r\n"},
      {"a length that is no number", kGet + "Content-Length: 3x\r\n\r\n"},
      {"an empty length", kGet + "Content-Length: \r\n\r\n"},
      {"a length list", kGet + "Content-Length: 3, 3\r\n\r\n"},
      {"a length too large", kGet + "Content-Length: 99999999999999999999999\r\n\r\n"},
      {"two equal lengths", kGet + "Content-Length: 3\r\nContent-Length: 3\r\n\r\n"},
      {"two different lengths", kGet + "Content-Length: 3\r\nContent-Length: 4\r\n\r\n"},
      {"chunked then a length", kGet + "Transfer-Encoding: chunked\r\nContent-Length: 3\r\n\r\n"},
      {"a length then chunked", kGet + "Content-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n"},
      {"a coding other than chunked last", kGet + "Transfer-Encoding: chunked, gzip\r\n\r\n"},
      {"a transfer coding in HTTP/1.0", "GET / HTTP/1.0\r\nTransfer-Encoding: chunked\r\n\r\n"},
      {"no Host", "GET / HTTP/1.1\r\nAccept: */*\r\n\r\n"},
      {"two Hosts", kGet + "Host: other\r\n\r\n"},
      {"a control byte in a value", kGet + "X-A: a\x01z\r\n\r\n"},
      {"a bare LF ending", "GET / HTTP/1.1\nHost: q\n\n"},
      {"no version", "GET /\r\n\r\n"},
      {"a space in the target", "GET /a b HTTP/1.1\r\nHost: q\r\n\r\n"},
      {"binary garbage", std::string("\x00\x01\xff GARBAGE\r\n\r\n", 15)},
  };
  for (const auto& [what, bytes] : cases) {
    auto step = parseWhole(bytes);
    EXPECT_EQ(step.state, State::Refused) << what;
    EXPECT_EQ(step.status, 400) << what;
    EXPECT_FALSE(step.reason.empty()) << what;
  }
  EXPECT_EQ(parseWhole("GET / HTTP/2.0\r\nHost: q\r\n\r\n").status, 505);
  EXPECT_EQ(parseWhole("GET / HTTP/0.9\r\n\r\n").status, 505);
  // A higher minor version of HTTP/1 is read as 1.1, Host rule and all.
  RequestParser later;
  ASSERT_EQ(later.parse("GET / HTTP/1.2\r\nHost: q\r\n\r\n").state, State::Done);
  EXPECT_EQ(later.head().version, 11);
  EXPECT_TRUE(later.head().keepAlive);
  const std::string laterHead = "GET /\xbe HTTP/1.2\r\nHost: q\r\n\r\n";
  for (std::size_t n = 1; n < laterHead.size(); ++n) {  // cut anywhere, also before the LF
    RequestParser cut;
    ASSERT_EQ(cut.parse(laterHead.substr(0, n)).state, State::NeedMore) << n;
    EXPECT_EQ(cut.parse(laterHead).state, State::Done) << n;
  }
  EXPECT_EQ(parseWhole("GET / HTTP/1.9\r\n\r\n").status, 400);
  EXPECT_EQ(parseWhole("GET / HTTP/1.1 \r\nHost: q\r\n\r\n").status, 400);
  EXPECT_EQ(parseWhole(kGet + "Content-Length: 3\r\nContent-Length: 3\r\n\r\n").reason,
            "Repeated Content-Length");
}

TEST(RequestParser, LongLinesAndHeadsAreRefusedWhateverTheirSize) {
  RequestLimits limits;  // 8 KiB line, 16 KiB head
  auto line = [](std::size_t targetBytes) {
    return "GET /" + std::string(targetBytes, 'a') + " HTTP/1.1\r\n";
  };
  // The longest line allowed passes; one byte more is refused, also before its end arrives.
  std::string longest = line(limits.maxRequestLine - 14);
  ASSERT_EQ(longest.size(), limits.maxRequestLine + 2);
  EXPECT_EQ(parseWhole(longest + "Host: q\r\n\r\n").state, State::Done);
  EXPECT_EQ(parseWhole(line(limits.maxRequestLine - 13) + "Host: q\r\n\r\n").status, 414);
  for (std::size_t size : {std::size_t(9000), std::size_t(1) << 20}) {
    auto unfinished = "GET /" + std::string(size, 'a');
    EXPECT_EQ(parseWhole(unfinished).status, 414) << size;
    EXPECT_EQ(parseWhole(unfinished + " HTTP/1.1\r\nHost: q\r\n\r\n").status, 414) << size;
  }
  EXPECT_EQ(parseWhole("G\x01" + std::string(9000, 'G')).status, 400);  // garbage stays garbage

  std::string fields;
  while (fields.size() < limits.maxHead) fields += "X-Pad: " + std::string(100, 'b') + "\r\n";
  EXPECT_EQ(parseWhole(kGet + fields + "\r\n").status, 431);
  EXPECT_EQ(parseWhole(kGet + fields).status, 431);  // unfinished
  EXPECT_EQ(parseWhole(kGet + "X-Big: " + std::string(1 << 20, 'b') + "\r\n\r\n").status, 431);
  EXPECT_EQ(parseWhole(std::string(20000, '\n')).status, 431);
  // Just under the bound still passes.
  std::string some = kGet;
  while (some.size() + 110 < limits.maxHead) some += "X-Pad: " + std::string(100, 'b') + "\r\n";
  EXPECT_EQ(parseWhole(some + "\r\n").state, State::Done);
}

// Reads a stream of requests the way the server does, arriving in pieces of the given sizes:
// the unanswered bytes are kept, and each request starts a new parser.
std::vector<std::string> targetsOf(const std::string& stream,
                                   const std::vector<std::size_t>& cuts) {
  std::vector<std::string> targets;
  std::string pending;
  std::optional<RequestParser> parser;
  std::size_t at = 0;
  for (std::size_t cut : cuts) {
    pending += stream.substr(at, cut);
    at += cut;
    while (!pending.empty()) {
      if (!parser) parser.emplace();
      auto step = parser->parse(pending);
      if (step.state == State::NeedMore) break;
      if (step.state == State::Refused) return {"refused " + step.reason};
      targets.push_back(parser->head().target);
      pending.erase(0, step.consumed);
      parser.reset();
    }
  }
  return targets;
}

TEST(RequestParser, PiecesOfAPipelinedStreamReadAsTheWhole) {
  std::string stream;
  std::vector<std::string> expected;
  for (int i = 0; i < 20; ++i) {
    std::string target = "/d/quotes.csv?s=EURUSD=X&f=l1&n=" + std::to_string(i);
    stream += (i % 5 == 0 ? "\r\n" : "") + std::string("GET ") + target +
              " HTTP/1.1\r\nHost: q\r\nIf-None-Match: \"" + std::to_string(i) + "\"\r\n\r\n";
    expected.push_back(target);
  }
  EXPECT_EQ(targetsOf(stream, {stream.size()}), expected);
  std::mt19937 random(13);
  for (int round = 0; round < 200; ++round) {
    std::vector<std::size_t> cuts;
    for (std::size_t left = stream.size(); left > 0;) {
      std::size_t piece = std::min<std::size_t>(left, 1 + random() % 120);
      cuts.push_back(piece);
      left -= piece;
    }
    ASSERT_EQ(targetsOf(stream, cuts), expected) << "round " << round;
  }
}

TEST(RequestParser, AHeadCutAnywhereReadsAsTheWhole) {
  for (std::string lead : {"", "\n", "\r\n", "\r\n\r\n"}) {
    for (std::string head : {kGet + "\r\n", kGet + "X-A: b\r\nIf-None-Match: \"t\"\r\n\r\n",
                             std::string("HEAD / HTTP/1.0\r\n\r\n"), kGet + "X-No-Colon\r\n\r\n",
                             kGet + "Content-Length: 1\r\nContent-Length: 1\r\n\r\n"}) {
      std::string bytes = lead + head;
      RequestParser whole;
      auto expected = whole.parse(bytes);
      ASSERT_NE(expected.state, State::NeedMore) << bytes;
      for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        RequestParser parts;
        auto first = parts.parse(std::string_view(bytes).substr(0, cut));
        auto step = first.state == State::NeedMore ? parts.parse(bytes) : first;
        EXPECT_EQ(step.state, expected.state) << lead.size() << " " << head << " cut " << cut;
        EXPECT_EQ(step.consumed, expected.consumed) << head << " cut " << cut;
        EXPECT_EQ(step.status, expected.status) << head << " cut " << cut;
      }
    }
  }
  // Bounds hold for the whole head also when its request line came in an earlier piece.
  RequestParser split;
  std::string fields;
  while (fields.size() < RequestLimits{}.maxHead)
    fields += "X-Pad: " + std::string(100, 'b') + "\r\n";
  ASSERT_EQ(split.parse(kGet).state, State::NeedMore);
  EXPECT_EQ(split.parse(kGet + fields).status, 431);
  RequestParser late;
  ASSERT_EQ(late.parse(kGet).state, State::NeedMore);
  EXPECT_EQ(late.parse(kGet + fields + "\r\n").status, 431);
  // Read in the server's 16 KiB pieces, an oversized head is too large before it is anything
  // else (this one also lacks Host).
  std::string flood = "GET / HTTP/1.1\r\n";
  for (int i = 0; i < 2000; ++i) flood += "X-Flood: " + std::to_string(i) + "\r\n";
  flood += "\r\n";
  RequestParser pieces;
  ParseStep step;
  for (std::size_t n = 16384; step.state == State::NeedMore && n < flood.size() + 16384; n += 16384)
    step = pieces.parse(std::string_view(flood).substr(0, std::min(n, flood.size())));
  EXPECT_EQ(step.status, 431);
}

}  // namespace
}  // namespace tessary::quotes
