#include "bench/detail_screen.h"

#include "platform/foundation/values.h"

namespace bench_support {

DetailScreen::DetailScreen(std::size_t pairs) : root_("tessary-bench-screen") {
  constexpr double kNow = 800000000;
  Simulator::Options options;
  options.root = root_.path();
  options.bundleDirectory = TESSARY_BUILT_BUNDLE;
  sim_ = std::make_unique<Simulator>(options);
  check(sim_->install());
  check(sim_->setClock(kNow));
  check(sim_->setSetting("Detail", NSNumber::numberWithBool(true)));
  if (pairs > 0) writeRateStore(pairs, kNow - 10000);
  check(sim_->show());
  check(sim_->wait(Seconds(1)));
}

}  // namespace bench_support
