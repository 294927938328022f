// Pixels against the floor of copying one full-screen image onto the same surface, in the same
// run: a full frame of the detail layout with the picker open at 2x, and one keystroke's whole
// path to pixels (the key through the field's delegate, the conversion on a store of 28,730
// pairs, the widget's row drawn again) on the same screen with the keyboard up.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "host/draw_screen.h"
#include "host/simulator.h"
#include "host/touch.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/values.h"
#include "platform/render/surface.h"
#include "platform/uikit/ui_text_field.h"
#include "platform/uikit/view_drawing.h"

namespace {

constexpr double kScale = 2;
constexpr size_t kPairs = 28730;

std::string code(size_t index) {
  if (index == 0) return "EUR";
  if (index == 1) return "USD";
  std::string c = "AAX";
  c[0] = static_cast<char>('A' + index / 26 % 26);
  c[1] = static_cast<char>('A' + index % 26);
  return c;
}

// A device root with the bundle installed, the detail layout and a store of fresh rates.
class Screen {
 public:
  explicit Screen(size_t pairs) {
    root_ = (std::filesystem::temp_directory_path() / "tessary-render-bench-XXXXXX").string();
    if (!mkdtemp(root_.data())) std::abort();
    Simulator::Options options;
    options.root = root_;
    options.bundleDirectory = TESSARY_BUILT_BUNDLE;
    sim_ = std::make_unique<Simulator>(options);
    check(sim_->install());
    check(sim_->setClock(800000000));
    check(sim_->setSetting("Detail", NSNumber::numberWithBool(true)));
    NSMutableDictionary rates, dates;
    size_t made = 0;
    for (size_t a = 0; a < 170 && made < pairs; ++a) {
      for (size_t b = 0; b < 170 && made < pairs; ++b) {
        if (a == b) continue;
        const std::string key = code(a) + "-" + code(b);
        rates.setObjectForKey(NSStr(std::to_string(1.0 + static_cast<double>(made % 97) / 7.0)),
                              key);
        dates.setObjectForKey(NSNumber::numberWithDouble(799990000.0 - static_cast<double>(made)),
                              key);
        ++made;
      }
    }
    rates.writeToFileAtomically("/var/mobile/Library/Tessary/Rates.plist", true);
    dates.writeToFileAtomically("/var/mobile/Library/Tessary/Dates.plist", true);
    check(sim_->show());
    check(sim_->wait(Seconds(1)));
  }
  ~Screen() {
    sim_.reset();
    std::filesystem::remove_all(root_);
  }
  Simulator& sim() { return *sim_; }
  render::Surface surface() const {
    const CGSize size = sim_->list().window()->frame().size;
    return render::Surface(static_cast<int>(size.width * kScale),
                           static_cast<int>(size.height * kScale));
  }
  static void check(const std::string& problem) {
    if (!problem.empty()) {
      std::fprintf(stderr, "render bench: %s\n", problem.c_str());
      std::abort();
    }
  }

 private:
  std::string root_;
  std::unique_ptr<Simulator> sim_;
};

// One full-screen image copied onto the surface: what any frame costs at least.
void BM_FloorCopyFullScreen(benchmark::State& state) {
  Screen screen(10);
  render::Surface target = screen.surface();
  render::Surface image = screen::render(screen.sim(), kScale);
  for (auto _ : state) {
    target.copyFrom(image);
    benchmark::DoNotOptimize(target.data());
  }
}

void BM_FullFrameDetailPicker(benchmark::State& state) {
  Screen screen(10);
  Screen::check(screen.sim().tap("button:EUR"));
  Screen::check(screen.sim().wait(Seconds(1)));
  render::Surface target = screen.surface();
  for (auto _ : state) {
    target.paint(kScale, [&](Painter& painter) { screen::draw(screen.sim(), painter); });
    benchmark::DoNotOptimize(target.data());
  }
}

// Typing a digit and deleting it in turn, each a keystroke: the delegate's filter, the
// editing-changed event, the conversion from the store, then the row drawn again over the
// last frame, cut to the row's rectangle on the screen.
void BM_KeystrokeToPixels(benchmark::State& state) {
  Screen screen(kPairs);
  Screen::check(screen.sim().tap("field:left"));
  Screen::check(screen.sim().type("12"));
  Screen::check(screen.sim().wait(Seconds(1)));
  render::Surface target = screen::render(screen.sim(), kScale);
  const auto cell = screen.sim().list().widgetCell();
  const UIView& window = *screen.sim().list().window();
  bool typed = false;
  for (auto _ : state) {
    Screen::check(typed ? screen.sim().backspace(1) : screen.sim().type("5"));
    typed = !typed;
    const CGRect damaged = touch::screenRect(*cell, window).value_or(CGRectZero);
    target.paint(kScale, [&](Painter& painter) {
      painter.clipRect(damaged);
      screen::draw(screen.sim(), painter);
    });
    benchmark::DoNotOptimize(target.data());
  }
  const auto field = UITextField::firstResponder();
  if (!field || field->text().empty())
    state.SkipWithError("the keystrokes did not reach the field");
}

BENCHMARK(BM_FloorCopyFullScreen)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullFrameDetailPicker)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeystrokeToPixels)->Unit(benchmark::kMicrosecond);

// After the table: each time as a ratio to the floor, and whether it keeps within half a
// 120 Hz frame.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      // Microseconds, as the benchmarks are registered; with repetitions, their median.
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Iteration || median) {
        times_[run.run_name.function_name] = run.GetAdjustedRealTime();
      }
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const auto floor = times_.find("BM_FloorCopyFullScreen");
    std::printf("\n%-26s %10s %8s %s\n", "", "time (ms)", "ratio", "within 4.2 ms");
    for (const char* name :
         {"BM_FloorCopyFullScreen", "BM_FullFrameDetailPicker", "BM_KeystrokeToPixels"}) {
      const auto found = times_.find(name);
      // A benchmark left out by a filter has no figure; it is not within anything.
      if (found == times_.end() || floor == times_.end() || floor->second <= 0) {
        std::printf("%-26s %10s %8s %s\n", name, "-", "-", "not measured");
        continue;
      }
      const double us = found->second;
      std::printf("%-26s %10.3f %8.2f %s\n", name, us / 1000, us / floor->second,
                  us <= 4200 ? "yes" : "no");
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
