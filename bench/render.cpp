// Pixels against the floor of copying one full-screen image onto the same surface, in the same
// run: a full frame of the detail layout with the picker open at 2x, and one keystroke's whole
// path to pixels (the key through the field's delegate, the conversion on a store of 28,730
// pairs, the widget's row drawn again) on the same screen with the keyboard up.
#include <benchmark/benchmark.h>

#include "bench/detail_screen.h"
#include "host/draw_screen.h"
#include "host/simulator.h"
#include "host/touch.h"
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

// Typing a digit and deleting it in turn, each a keystroke: the delegate's filter, the
// editing-changed event, the conversion from the store, then the row drawn again over the
// last frame, cut to the row's rectangle on the screen.
void BM_KeystrokeToPixels(benchmark::State& state) {
  DetailScreen screen(kPairs);
  check(screen.sim().tap("field:left"));
  check(screen.sim().type("12"));
  check(screen.sim().wait(Seconds(1)));
  render::Surface target = screen::render(screen.sim(), kScale);
  const auto cell = screen.sim().list().widgetCell();
  const UIView& window = *screen.sim().list().window();
  bool typed = false;
  for (auto _ : state) {
    check(typed ? screen.sim().backspace(1) : screen.sim().type("5"));
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
  return bench_support::run(argc, argv, summary);
}
