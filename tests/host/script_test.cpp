#include "host/script.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <istream>
#include <iterator>
#include <set>
#include <sstream>

#include "host/script_runner.h"
#include "platform/foundation/file_manager.h"
#include "platform/foundation/property_list.h"
#include "tests/host/host_test_support.h"
#include "tests/support/test_environment.h"

namespace {

std::vector<std::string> words(const std::string& line) {
  const auto parsed = script::parseLine(line, 1);
  EXPECT_EQ(parsed.error, "") << line;
  std::vector<std::string> out;
  if (!parsed.command) return out;
  out.push_back(parsed.command->name);
  for (const auto& argument : parsed.command->arguments) out.push_back(argument.text);
  return out;
}

TEST(ScriptParser, SplitsQuotesAndComments) {
  using V = std::vector<std::string>;
  EXPECT_EQ(words("  tap\tbutton:OK  "), (V{"tap", "button:OK"}));
  EXPECT_EQ(words("type \"12 50\""), (V{"type", "12 50"}));
  EXPECT_EQ(words("tap button:\"Clear all\"x"), (V{"tap", "button:Clear allx"}));
  EXPECT_EQ(words(R"(paste "say \"hi\" \\ \n")"), (V{"paste", R"(say "hi" \ \n)"}));
  EXPECT_EQ(words("settings Name \"\""), (V{"settings", "Name", ""}));
  EXPECT_EQ(words("show # the first look"), (V{"show"}));
  EXPECT_EQ(words("type \"# not a comment\" # but this is"), (V{"type", "# not a comment"}));
  EXPECT_EQ(words("tap button:C#"), (V{"tap", "button:C#"}));  // # inside a word is text
  EXPECT_EQ(words("dump\r"), (V{"dump"}));
  EXPECT_TRUE(words("   # only a comment").empty());
  EXPECT_TRUE(words("").empty());

  const auto dash = script::parseLine("settings Key \"-\" -", 1);
  ASSERT_TRUE(dash.command);
  EXPECT_TRUE(dash.command->arguments[1].quoted);
  EXPECT_FALSE(dash.command->arguments[2].quoted);

  EXPECT_EQ(script::parseLine("type \"open", 1).error, "unterminated quote");
  EXPECT_EQ(script::parseLine(std::string("type a\0b", 8), 1).error, "the line holds a NUL byte");
  EXPECT_EQ(script::parseLine("\"show\"", 1).error, "a command name is never quoted");
}

TEST(ScriptParser, LineReaderCountsLinesAndRefusesHugeOnes) {
  std::istringstream in("one\n\n" + std::string(script::kMaxLineLength + 10, 'x') + "\nlast");
  script::LineReader reader(in);
  std::string line;
  bool tooLong = false;
  ASSERT_TRUE(reader.next(line, tooLong));
  EXPECT_EQ(line, "one");
  ASSERT_TRUE(reader.next(line, tooLong));
  EXPECT_EQ(line, "");
  ASSERT_TRUE(reader.next(line, tooLong));
  EXPECT_TRUE(tooLong);
  EXPECT_TRUE(line.empty());
  EXPECT_EQ(reader.lineNumber(), 3u);
  // The script ends at a line too long; the rest of that line is never read.
  // Left: the 9 bytes after the one that passed the limit, the line end and "last".
  EXPECT_EQ(in.rdbuf()->in_avail(), std::streamsize{9 + 1 + 4});
}

// An endless line, as /dev/zero gives one: the reader stops at the limit and reads no further.
class EndlessLine : public std::streambuf {
 public:
  size_t fills = 0;

 protected:
  int_type underflow() override {
    ++fills;
    std::fill(std::begin(chunk_), std::end(chunk_), 'x');
    setg(chunk_, chunk_, chunk_ + sizeof chunk_);
    return traits_type::to_int_type('x');
  }

 private:
  char chunk_[4096];
};

TEST(ScriptParser, LineReaderStopsAnEndlessLineAtTheLimit) {
  EndlessLine endless;
  std::istream in(&endless);
  script::LineReader reader(in);
  std::string line;
  bool tooLong = false;
  ASSERT_TRUE(reader.next(line, tooLong));
  EXPECT_TRUE(tooLong);
  EXPECT_TRUE(line.empty());
  EXPECT_LE(endless.fills, script::kMaxLineLength / 4096 + 1);
}

class ScriptRunnerTest : public tessary::test::PlatformTest {
 protected:
  // Runs the script with no bundle installed; answers the exit status.
  int run(const std::string& text) {
    Simulator::Options options;
    options.root = root_.path();
    Simulator sim(options);
    ScriptRunner runner(sim, out_, err_);
    std::istringstream in(text);
    return runner.run(in);
  }
  std::ostringstream out_, err_;
};

TEST_F(ScriptRunnerTest, StopsAtTheFirstFailureWithItsLineNumber) {
  EXPECT_EQ(run("# header\n\nwait 1\nfrobnicate now\ndump\n"), 2);
  EXPECT_EQ(err_.str(), "line 4: unknown command \"frobnicate\"\n");
  EXPECT_EQ(out_.str(), "");  // the dump after the failure never ran

  const std::pair<const char*, const char*> cases[] = {
      {"show", "line 1: show: no plug-ins folder in the device root (run install first)"},
      {"tap 10,10,", "line 1: tap: \"10,10,\" is not a point X,Y"},
      {"tap 500,10", "line 1: tap: 500,10 lies outside the screen"},
      {"tap nan,1", "line 1: tap: \"nan,1\" is not a point X,Y"},
      {"tap button:Nope", "line 1: tap: no button titled \"Nope\" outside a scroll view"},
      {"tap code:EUR", "line 1: tap: no button titled \"EUR\" in a scroll view"},
      {"tap image:Refresh.png", "line 1: tap: no button with the image \"Refresh.png\""},
      {"tap field:middle", "line 1: tap: field: is field:left or field:right"},
      {"tap field:left", "line 1: tap: field:left: no text field can be touched"},
      {"tap bar:Next", "line 1: tap: bar:Next: no keyboard bar is shown"},
      {"tap bar:Fly", "line 1: tap: unknown bar item \"Fly\""},
      {"tap overlay", "line 1: tap: overlay: no overlay is shown"},
      {"tap sideways", "line 1: tap: unknown target \"sideways\""},
      {"tap", "line 1: tap: usage: tap TARGET"},
      {"type 12", "line 1: type: no first responder"},
      {"backspace", "line 1: backspace: no first responder"},
      {"backspace 0", "line 1: backspace: N is a whole number from 1 to 1000000"},
      {"paste 12", "line 1: paste: no first responder"},
      {"alert ok", "line 1: alert ok: no alert is shown"},
      {"alert cancel", "line 1: alert: usage: alert ok"},
      {"wait -1", "line 1: wait: SECONDS is a number from 0 to 1e9"},
      {"wait inf", "line 1: wait: SECONDS is a number from 0 to 1e9"},
      {"settle x", "line 1: settle: SECONDS is a number from 0 to 3600"},
      {"rotate 5", "line 1: rotate: unknown orientation 5"},
      {"settings Detail maybe",
       "line 1: settings: the value is true, false, an integer, a real with a point or a quoted "
       "string"},
      {"settings Decimal 99999999999999999999",
       "line 1: settings: the integer 99999999999999999999 is out of range"},
      {"settings Detail",
       "line 1: settings: usage: settings KEY VALUE | settings KEY - | settings -"},
      {"settings \"\xff\" 1", "line 1: settings: the key is not valid UTF-8"},
      {"settings Name \"a\xc3\"", "line 1: settings: the value is not valid UTF-8"},
      {"snapshot", "line 1: snapshot: usage: snapshot FILE"},
      {"show extra", "line 1: show: usage: show"},
      {"type \"unterminated", "line 1: unterminated quote"},
  };
  for (const auto& [script, message] : cases) {
    err_.str("");
    EXPECT_EQ(run(script), 2) << script;
    EXPECT_EQ(err_.str(), std::string(message) + "\n") << script;
  }
}

// A settings file that cannot be read is refused, never started afresh over its other keys.
TEST_F(ScriptRunnerTest, SettingsKeepAFileTheyCannotRead) {
  const std::string settings = "/var/mobile/Library/Preferences/orvendel.plist";
  EXPECT_EQ(run("settings Decimal 3\nsettings Name \"n\"\n"), 0);
  const std::string good = root_.readFile(settings);
  EXPECT_NE(good.find("Decimal"), std::string::npos);
  EXPECT_EQ(run("settings Name \"\xff\"\n"), 2);
  EXPECT_EQ(root_.readFile(settings), good);
  root_.writeFile(settings, good.substr(0, good.size() / 2));
  err_.str("");
  EXPECT_EQ(run("settings Detail true\n"), 2);
  EXPECT_EQ(err_.str(),
            "line 1: settings: the settings file cannot be read as a dictionary; it is left as it "
            "is (settings - removes it)\n");
  EXPECT_EQ(root_.readFile(settings), good.substr(0, good.size() / 2));
}

// The dump reads the store as the platform does: a link out of the device root is no file.
TEST_F(ScriptRunnerTest, TheDumpReadsNothingThroughALinkOutOfTheRoot) {
  const tessary::test::TempDeviceRoot outside;
  DeviceRoot::set(root_.path());
  std::ofstream(outside.path() + "/Rates.plist")
      << "<plist><dict><key>EUR-USD</key><string>outside</string></dict></plist>";
  std::filesystem::create_symlink(outside.path() + "/Rates.plist",
                                  root_.host("/var/mobile/Library/Tessary/Rates.plist"));
  ASSERT_EQ(run("dump\n"), 0) << err_.str();
  EXPECT_EQ(out_.str().find("outside"), std::string::npos);
  EXPECT_NE(out_.str().find("\"Rates.plist\":null"), std::string::npos)
      << out_.str().substr(0, 400);
}

// The table's counts and usage lines agree: one argument too many gets the usage line.
TEST_F(ScriptRunnerTest, EveryCommandAnswersTooManyArgumentsWithItsUsage) {
  std::set<std::string_view> names;
  for (const commands::Entry& entry : commands::table()) {
    EXPECT_TRUE(names.insert(entry.name).second) << entry.name;
    EXPECT_TRUE(entry.usage.starts_with(entry.name)) << entry.name;
    EXPECT_LE(entry.leastArguments, entry.mostArguments) << entry.name;
    std::string line(entry.name);
    for (size_t i = 0; i <= entry.mostArguments; ++i) line += " x";
    err_.str("");
    EXPECT_EQ(run(line), 2) << line;
    EXPECT_EQ(err_.str(),
              "line 1: " + std::string(entry.name) + ": usage: " + std::string(entry.usage) + "\n");
  }
  EXPECT_EQ(commands::find("frobnicate"), nullptr);
}

TEST_F(ScriptRunnerTest, SettingsWriteTypedValuesAndRemoveThem) {
  ASSERT_EQ(run("settings Detail true\nsettings Decimal -3\nsettings Alpha .5\n"
                "settings Name \"two words\"\nsettings Dash \"-\"\nsettings Update 7\n"
                "settings Update -\nsettings Missing -\n"),
            0)
      << err_.str();
  const auto settings =
      NSDictionary::dictionaryWithContentsOfFile("/var/mobile/Library/Preferences/orvendel.plist");
  ASSERT_TRUE(settings);
  const auto number = [&](const char* key) {
    return kindOf<NSNumber>(settings->objectForKey(key));
  };
  ASSERT_TRUE(number("Detail"));
  EXPECT_EQ(number("Detail")->kind(), NSNumber::Kind::Boolean);
  EXPECT_EQ(number("Decimal")->kind(), NSNumber::Kind::Integer);
  EXPECT_EQ(number("Decimal")->integerValue(), -3);
  EXPECT_EQ(number("Alpha")->kind(), NSNumber::Kind::Real);
  EXPECT_EQ(number("Alpha")->realValue(), 0.5);
  EXPECT_EQ(kindOf<NSString>(settings->objectForKey("Name"))->UTF8String(), "two words");
  EXPECT_EQ(kindOf<NSString>(settings->objectForKey("Dash"))->UTF8String(), "-");
  EXPECT_FALSE(settings->objectForKey("Update"));
  EXPECT_EQ(settings->count(), 5u);

  // A corrupt file is left for `settings -` to remove; then a new one starts.
  root_.writeFile("/var/mobile/Library/Preferences/orvendel.plist", "<plist><dict><key>");
  EXPECT_EQ(run("settings Clear false\n"), 2);
  ASSERT_EQ(run("settings -\nsettings Clear false\n"), 0) << err_.str();
  const auto fresh =
      NSDictionary::dictionaryWithContentsOfFile("/var/mobile/Library/Preferences/orvendel.plist");
  ASSERT_TRUE(fresh);
  EXPECT_EQ(fresh->count(), 1u);
  ASSERT_EQ(run("settings -\nsettings -\n"), 0) << err_.str();
  EXPECT_FALSE(NSFileManager::defaultManager().fileExistsAtPath(
      "/var/mobile/Library/Preferences/orvendel.plist"));
}

TEST_F(ScriptRunnerTest, TimeCommandsMoveTheManualClock) {
  ASSERT_EQ(run("clock 100\nwait 2.5\ndump\nclock -5e11\n"), 2);
  const auto dump = tessary::test::parseJson(out_.str().substr(0, out_.str().find('\n')));
  ASSERT_TRUE(dump);
  EXPECT_EQ(dump->at("time").at("wall").get<double>(), 102.5);
  EXPECT_EQ(dump->at("time").at("monotonic").get<double>(), 1002.5);
  EXPECT_EQ(err_.str(),
            "line 4: clock: SECONDS is a number of seconds since 2001-01-01 within 2.5e11\n");
}

}  // namespace
