// Frames drawn from the damage alone are the full frames, byte for byte: every step of the
// demo's script and of the golden screens' scripts, in process through the real bundle. After
// each step the damage is drawn over the last frame, as the window does, and compared with
// the whole screen drawn afresh, as a snapshot is.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "build_paths.h"
#include "host/draw_screen.h"
#include "host/script_runner.h"
#include "host/simulator.h"
#include "tests/host/golden_cases.h"
#include "tests/host/host_test_support.h"
#include "tests/support/quote_service.h"
#include "tests/support/test_environment.h"

namespace {

using tessary::test::GoldenCase;

// Where two pictures differ: how many pixels, and the rectangle holding them ("" when none);
// "size" when their sizes differ.
std::string difference(const render::Surface& a, const render::Surface& b) {
  if (a.width() != b.width() || a.height() != b.height()) return "size";
  long differing = 0;
  int left = a.width(), top = a.height(), right = -1, bottom = -1;
  for (int y = 0; y < a.height(); ++y) {
    const unsigned char* rowA = a.data() + static_cast<size_t>(y) * a.stride();
    const unsigned char* rowB = b.data() + static_cast<size_t>(y) * b.stride();
    if (std::memcmp(rowA, rowB, static_cast<size_t>(a.width()) * 4) == 0) continue;
    for (int x = 0; x < a.width(); ++x) {
      if (std::memcmp(rowA + static_cast<size_t>(x) * 4, rowB + static_cast<size_t>(x) * 4, 4) == 0)
        continue;
      ++differing;
      left = std::min(left, x), right = std::max(right, x);
      top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  if (differing == 0) return "";
  return std::to_string(differing) + " pixels in " + std::to_string(left) + "," +
         std::to_string(top) + " to " + std::to_string(right) + "," + std::to_string(bottom);
}

// The lines of scripts/demo's steps, without comments, blank lines and the final dump.
std::vector<std::string> demoSteps() {
  std::ifstream file(std::string(tessary::build::kSourceDir) + "/scripts/demo");
  std::vector<std::string> steps;
  bool inside = false;
  for (std::string line; std::getline(file, line);) {
    if (line.find("<<'SCRIPT'") != std::string::npos) {
      inside = true;
    } else if (line == "SCRIPT") {
      break;
    } else if (inside) {
      line = line.substr(0, line.find('#'));
      while (!line.empty() && line.back() == ' ') line.pop_back();
      if (!line.empty() && line != "dump") steps.push_back(line);
    }
  }
  return steps;
}

class DamageTest : public tessary::test::PlatformTest {
 protected:
  // Runs the lines one by one on a fresh simulator; after each, the frame drawn from the
  // damage must be the full frame.
  using Files = std::vector<std::pair<std::string, std::string>>;
  void play(const std::string& name, const std::vector<std::string>& lines, UIDevice::Kind device,
            UIInterfaceOrientation orientation, const Files& files) {
    Simulator::Options options;
    options.root = root_.path() + "/" + name;  // a fresh device root for each
    std::filesystem::create_directories(options.root);
    options.bundleDirectory = tessary::test::kBuiltBundle;
    options.device = device;
    options.orientation = orientation;
    Simulator sim(options);
    std::ostringstream out, err;
    ScriptRunner runner(sim, out, err);
    ASSERT_EQ(sim.install(), "");
    for (const auto& [path, bytes] : files) std::ofstream(options.root + path) << bytes;
    screen::Damage damage;
    std::optional<render::Surface> shown;
    for (const std::string& line : lines) {
      const auto parsed = script::parseLine(line, 1);
      ASSERT_TRUE(parsed.command) << line;
      ASSERT_EQ(runner.execute(*parsed.command), "") << line;
      const render::Surface full = screen::render(sim);
      const std::vector<CGRect> marked = damage.take(sim);
      if (!shown || shown->width() != full.width() || shown->height() != full.height()) {
        shown = screen::render(sim);  // a new screen size starts a new picture
        continue;
      }
      screen::drawDamage(sim, *shown, screen::kDefaultScale, marked);
      ASSERT_EQ(difference(*shown, full), "") << "after: " << line;
    }
  }
};

TEST_F(DamageTest, EveryStepOfTheDemoDrawsAsTheFullFrame) {
  const auto steps = demoSteps();
  ASSERT_GT(steps.size(), 20u) << "scripts/demo's steps were not found";
  tessary::test::QuoteService quotes;
  setenv("TESSARY_QUOTE_URL", quotes.baseUrl().c_str(), 1);
  std::vector<std::string> lines{"clock 800000000"};
  lines.insert(lines.end(), steps.begin(), steps.end());
  // The amounts the demo starts from.
  play("demo", lines, UIDevice::Kind::Phone, UIInterfaceOrientationPortrait,
       {{"/var/mobile/Library/Tessary/Recent.plist",
         R"(<plist version="1.0"><dict><key>left</key><string>EUR</string>)"
         R"(<key>leftText</key><string>100</string><key>right</key><string>GBP</string>)"
         "</dict></plist>"}});
  unsetenv("TESSARY_QUOTE_URL");
}

TEST_F(DamageTest, EveryGoldenScreenDrawsAsTheFullFrameAtEachStep) {
  setenv("TESSARY_QUOTE_URL", "http://127.0.0.1:9", 1);
  for (const GoldenCase& c : tessary::test::kGoldenCases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> lines{"clock 800000000"};
    std::istringstream script(c.script);
    for (std::string line; std::getline(script, line);) lines.push_back(line);
    const auto& args = c.arguments;
    const auto has = [&](const char* a, const char* b) {
      for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == a && args[i + 1] == b) return true;
      }
      return false;
    };
    Files files;
    if (c.seedRate) {
      files = {{"/var/mobile/Library/Tessary/Rates.plist", tessary::test::kRates},
               {"/var/mobile/Library/Tessary/Dates.plist", tessary::test::kDates}};
    }
    play(c.name, lines, has("--device", "tablet") ? UIDevice::Kind::Tablet : UIDevice::Kind::Phone,
         has("--orientation", "landscape") ? UIInterfaceOrientationLandscapeRight
                                           : UIInterfaceOrientationPortrait,
         files);
    if (HasFatalFailure()) break;
  }
  unsetenv("TESSARY_QUOTE_URL");
}

}  // namespace
