// Pixels against the floor of copying one full-screen image onto the same surface, in the same
// run: a full frame of the detail layout with the picker open at 2x; the drawing that follows a
// keystroke (what the views marked, drawn and copied to the window's pixels); and one
// keystroke's whole path to pixels (the key through the field's delegate, the conversion on a
// store of 28,730 pairs, the damage drawn and copied) on the same screen with the keyboard up.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "bench/detail_screen.h"
#include "host/draw_screen.h"
#include "host/simulator.h"
#include "platform/render/surface.h"
#include "platform/uikit/ui_text_field.h"
#include "platform/uikit/view_drawing.h"

namespace {

using bench_support::check;
using bench_support::DetailScreen;

constexpr double kScale = 2;
constexpr size_t kPairs = 28730;

render::Surface surfaceFor(Simulator& sim) {
  const CGSize size = sim.list().window()->frame().size;
  return render::Surface(static_cast<int>(size.width * kScale),
                         static_cast<int>(size.height * kScale));
}

// One full-screen image copied onto the surface: what any frame costs at least.
void BM_FloorCopyFullScreen(benchmark::State& state) {
  DetailScreen screen(10);
  render::Surface target = surfaceFor(screen.sim());
  render::Surface image = screen::render(screen.sim(), kScale);
  for (auto _ : state) {
    target.copyFrom(image);
    benchmark::DoNotOptimize(target.data());
  }
}

void BM_FullFrameDetailPicker(benchmark::State& state) {
  DetailScreen screen(10);
  check(screen.sim().tap("button:EUR"));
  check(screen.sim().wait(Seconds(1)));
  render::Surface target = surfaceFor(screen.sim());
  for (auto _ : state) {
    target.paint(kScale, [&](Painter& painter) { screen::draw(screen.sim(), painter); });
    benchmark::DoNotOptimize(target.data());
  }
}

// The window's pixels: what the damaged rectangles of a surface are copied into.
class WindowPixels {
 public:
  explicit WindowPixels(const render::Surface& like)
      : stride_(like.stride()), pixels_(static_cast<size_t>(like.stride()) * like.height()) {}
  void copy(const render::Surface& from, const std::vector<render::PixelRect>& region) {
    for (const render::PixelRect& r : region) {
      for (int y = r.y; y < r.y + r.height; ++y) {
        const size_t at = static_cast<size_t>(y) * stride_ + 4 * static_cast<size_t>(r.x);
        std::memcpy(pixels_.data() + at, from.data() + at, 4 * static_cast<size_t>(r.width));
      }
    }
    benchmark::DoNotOptimize(pixels_.data());
  }

 private:
  int stride_;
  std::vector<unsigned char> pixels_;
};

// The field being edited holds "12" on the detail screen with the keyboard up; each keystroke
// types a digit or deletes it, in turn.
struct Typing {
  DetailScreen screen{kPairs};
  bool typed = false;
  Typing() {
    check(screen.sim().tap("field:left"));
    check(screen.sim().type("12"));
    check(screen.sim().wait(Seconds(1)));
  }
  void keystroke() {
    check(typed ? screen.sim().backspace(1) : screen.sim().type("5"));
    typed = !typed;
  }
  void checkReached(benchmark::State& state) const {
    const auto field = UITextField::firstResponder();
    if (!field || field->text().empty())
      state.SkipWithError("the keystrokes did not reach the field");
  }
};

// After each keystroke the damage is taken, drawn over the last frame and copied to the
// window's pixels. With `drawingOnly` the keystroke itself is left out of the time.
void typeAndDraw(benchmark::State& state, bool drawingOnly) {
  Typing typing;
  Simulator& sim = typing.screen.sim();
  screen::Damage damage;
  render::Surface shown = screen::render(sim, kScale);
  WindowPixels window(shown);
  damage.take(sim);
  for (auto _ : state) {
    typing.keystroke();
    const auto start = std::chrono::steady_clock::now();
    window.copy(shown, screen::drawDamage(sim, shown, kScale, damage.take(sim)));
    if (drawingOnly) {
      state.SetIterationTime(
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
  }
  typing.checkReached(state);
}

void BM_KeystrokeDrawing(benchmark::State& state) {
  typeAndDraw(state, true);
}

// The keystroke's whole path: the key, the delegate, the conversion, then the drawing.
void BM_KeystrokeToPixels(benchmark::State& state) {
  typeAndDraw(state, false);
}

BENCHMARK(BM_FloorCopyFullScreen)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullFrameDetailPicker)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeystrokeDrawing)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeystrokeToPixels)->Unit(benchmark::kMicrosecond);

}  // namespace

// After the table: each time as a ratio to the floor, and whether it keeps within half a
// 120 Hz frame.
int main(int argc, char** argv) {
  bench_support::Summary summary{.baselineHeading = "floor (us)",
                                 .measuredHeading = "time (us)",
                                 .budget = 4200,
                                 .budgetHeading = "within 4.2 ms"};
  for (const char* name :
       {"BM_FloorCopyFullScreen", "BM_FullFrameDetailPicker", "BM_KeystrokeToPixels"}) {
    summary.ratios.push_back({name, "BM_FloorCopyFullScreen", name});
  }
  summary.ratios.insert(summary.ratios.end() - 1, {"BM_KeystrokeDrawing", "BM_FloorCopyFullScreen",
                                                   "BM_KeystrokeDrawing/manual_time"});
  return bench_support::run(argc, argv, summary);
}
