#include "quotes/options.h"

#include <gtest/gtest.h>

#include <vector>

namespace tessary::quotes {
namespace {

OptionsResult parse(std::vector<const char*> args) {
  args.insert(args.begin(), "tessary-quoted");
  return parseOptions(static_cast<int>(args.size()), args.data());
}

TEST(Options, DefaultsToLoopbackAndTakesBothValueForms) {
  auto plain = parse({});
  ASSERT_TRUE(plain.error.empty()) << plain.error;
  EXPECT_EQ(plain.options.host, "127.0.0.1");
  EXPECT_EQ(plain.options.port, 8471);

  auto given = parse({"--listen=[::1]:0", "--ecb-url", "http://127.0.0.1:9/x.xml", "--refresh=1",
                      "--delay", "250", "--status", "503", "--body=", "--stall", "--threads", "4"});
  ASSERT_TRUE(given.error.empty()) << given.error;
  EXPECT_EQ(given.options.host, "::1");
  EXPECT_EQ(given.options.port, 0);
  EXPECT_EQ(given.options.ecbUrl->path, "/x.xml");
  EXPECT_EQ(given.options.refresh.count(), 1);
  EXPECT_EQ(given.options.server.misbehaviour.delay.count(), 250);
  EXPECT_EQ(given.options.server.misbehaviour.status, 503);
  EXPECT_EQ(given.options.server.misbehaviour.body, "");
  EXPECT_TRUE(given.options.server.misbehaviour.stall);
  EXPECT_EQ(given.options.server.threads, 4u);
}

TEST(Options, RefusesBadArguments) {
  std::vector<std::vector<const char*>> bad = {{"--listen"},
                                               {"--listen", "8471"},
                                               {"--listen", ":8471"},
                                               {"--listen", "host:70000"},
                                               {"--listen", "::1:80"},
                                               {"--listen", "host:80x"},
                                               {"--rates", ""},
                                               {"--rates", "a", "--ecb-xml", "b"},
                                               {"--ecb-url", "ftp://x/"},
                                               {"--refresh", "60"},
                                               {"--ecb-url", "http://h/", "--refresh", "0"},
                                               {"--delay", "-1"},
                                               {"--status", "99"},
                                               {"--status", "600"},
                                               {"--status", "2OO"},
                                               {"--threads", "0"},
                                               {"--stall=yes"},
                                               {"--bogus"},
                                               {"positional"}};
  for (const auto& args : bad) {
    auto result = parse(args);
    EXPECT_FALSE(result.error.empty()) << "accepted: " << args.front();
  }
}

}  // namespace
}  // namespace tessary::quotes
