#include "host/window_record.h"

#include <gtest/gtest.h>

#include <sstream>

#include "host/recorded_replies.h"
#include "host/script.h"
#include "host/window_view.h"

namespace {

using namespace window_record;

TEST(WindowRecordTest, TicksReadBackAsExactlyTheSameSeconds) {
  EXPECT_EQ(secondsText(0), "0");
  EXPECT_EQ(secondsText(512), "0.5");
  EXPECT_EQ(secondsText(1), "0.0009765625");
  EXPECT_EQ(secondsText(1025), "1.0009765625");
  EXPECT_EQ(secondsText(-3), "0");
  // Adding the waits one by one reaches the same double as the window's single clock steps.
  for (int64_t ticks : {1, 7, 333, 1023, 5 * 1024 + 999, 3600 * 1024 + 17}) {
    const double read = std::stod(secondsText(ticks));
    EXPECT_EQ(read, static_cast<double>(ticks) / kTicksPerSecond) << ticks;
  }
  EXPECT_EQ(numberText(160.5f), "160.5");
  EXPECT_EQ(pointText({12, 0.25f}), "12,0.25");
}

TEST(WindowRecordTest, QuotedTextsParseBackWhole) {
  for (const std::string text : {"12", "a \"b\" c", "back\\slash", "", "# not a comment"}) {
    const auto parsed = script::parseLine("type " + quoted(text), 1);
    ASSERT_TRUE(parsed.command) << text;
    ASSERT_EQ(parsed.command->arguments.size(), 1u);
    EXPECT_EQ(parsed.command->arguments[0].text, text);
  }
  EXPECT_EQ(lineSafe(std::string("one\ntwo\r\0x", 10), 20), "one two  x");
  EXPECT_EQ(lineSafe("ab\xC3\xA9", 3), "ab");  // never half a character
  EXPECT_EQ(lineSafe("ab\xC3\xA9", 4), "ab\xC3\xA9");
}

TEST(WindowRecordTest, WaitsGoBetweenActions) {
  std::ostringstream out;
  Recorder recorder(out);
  recorder.write(0, "show");
  recorder.write(0, "touch down 1,2");
  recorder.write(1536, "touch up 1,2");
  recorder.finish(2048);
  recorder.finish(2048);
  EXPECT_EQ(out.str(), "show\ntouch down 1,2\nwait 1.5\ntouch up 1,2\nwait 0.5\n");
}

TEST(WindowRecordTest, ARecordedBodyOfAnyBytesComesBackWhole) {
  std::string body;
  for (size_t i = 0; i < size_t{64} * 1024; ++i) body += static_cast<char>(i * 7 % 256);
  NSURLReply reply;
  reply.status = 200;
  reply.body = body;
  std::string back;
  const auto lines = RecordedReplies::lines(12, reply);
  ASSERT_EQ(lines.back(), "reply 12 200");
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    const auto parsed = script::parseLine(lines[i], 1);
    ASSERT_TRUE(parsed.command) << parsed.error;
    ASSERT_EQ(parsed.command->name, "body");
    std::string piece;
    ASSERT_TRUE(RecordedReplies::percentDecoded(parsed.command->arguments.at(1).text, piece));
    back += piece;
  }
  EXPECT_EQ(back, body);
  std::string bytes;
  EXPECT_FALSE(RecordedReplies::percentDecoded("1%2", bytes));
  EXPECT_FALSE(RecordedReplies::percentDecoded("%G0", bytes));
  reply.failure = NSURLErrorTimedOut;
  reply.description = "line\none \"two\"";
  EXPECT_EQ(RecordedReplies::lines(3, reply),
            std::vector<std::string>{"fail 3 -1001 \"line one \\\"two\\\"\""});
}

}  // namespace

// The picture keeps its proportions in a window of any shape, and a point of the window maps
// back through the same placement, bars included.
TEST(WindowPlacementTest, PictureIsLetterboxedAndPointsMapBackThroughIt) {
  // 320x514 in 500x700: scaled by 700/514 to 436 wide, bars of 32 left and right.
  const window::Placement wide = window::placePicture(320, 514, 500, 700);
  EXPECT_EQ(wide.x, 32);
  EXPECT_EQ(wide.y, 0);
  EXPECT_EQ(wide.width, 436);
  EXPECT_EQ(wide.height, 700);
  const CGPoint middle = window::toPicture(wide, 320, 514, 32 + 218, 350);
  EXPECT_NEAR(middle.x, 160, 0.01);
  EXPECT_NEAR(middle.y, 257, 0.01);
  EXPECT_LT(window::toPicture(wide, 320, 514, 10, 350).x, 0);  // on the left bar

  // Too wide a window: bars above and below; a window of no size places nothing.
  const window::Placement tall = window::placePicture(320, 514, 1000, 257);
  EXPECT_EQ(tall.height, 257);
  EXPECT_EQ(tall.width, 160);
  EXPECT_EQ(tall.x, 420);
  EXPECT_EQ(window::placePicture(320, 514, 0, 700).width, 0);
}
