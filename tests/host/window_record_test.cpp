#include "host/window_record.h"

#include <gtest/gtest.h>

#include <sstream>

#include "host/script.h"

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

TEST(WindowRecordTest, WaitsGoBetweenActionsAndRequestsSettle) {
  std::ostringstream out;
  Recorder recorder(out);
  recorder.write(0, "show");
  recorder.write(0, "touch down 1,2");
  recorder.write(1536, "touch up 1,2", true);
  recorder.finish(2048);
  recorder.finish(2048);
  EXPECT_EQ(out.str(), "show\ntouch down 1,2\nwait 1.5\ntouch up 1,2\nsettle\nwait 0.5\n");
}

}  // namespace
