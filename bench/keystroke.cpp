// One keystroke's conversion on the fresh-rate path against the floor of reading the same
// three files' bytes, for rate stores of 10, 1,000 and 28,730 pairs; and the whole host typing
// 2,000 keys that convert against the same keys on a pair of one code, which only copy.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "host/simulator.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/file_manager.h"
#include "widget/controller/paths.h"
#include "widget/controller/tessary_controller.h"

namespace {

// A device root with a store of fresh rates and the widget's settings.
class Store {
 public:
  explicit Store(size_t pairs) : root_("tessary-bench") {
    DeviceRoot::set(root_.path());
    NSFileManager::defaultManager().createDirectoryAtPath("/var/mobile/Library/Preferences");
    bench_support::writeRateStore(pairs, Clock::current().wall() - 3600.0);
    NSDictionary({{"Update", NSNumber::numberWithInteger(3)},
                  {"Decimal", NSNumber::numberWithInteger(2)},
                  {"Detail", NSNumber::numberWithBool(false)}})
        .writeToFileAtomically(paths::kSettings, true);
  }
  std::vector<std::string> hostPaths() const {
    const std::string& root = root_.path();
    return {root + paths::kRates, root + paths::kDates, root + paths::kSettings};
  }

 private:
  bench_support::TempFolder root_;
};

void BM_Floor(benchmark::State& state) {
  Store store(static_cast<size_t>(state.range(0)));
  const auto files = store.hostPaths();
  std::vector<char> buffer(8 << 20);
  for (auto _ : state) {
    for (const auto& path : files) {
      const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      ssize_t got;
      size_t total = 0;
      while ((got = ::read(fd, buffer.data() + total, buffer.size() - total)) > 0) total += got;
      ::close(fd);
      benchmark::DoNotOptimize(total);
    }
  }
}

void BM_Load(benchmark::State& state) {
  Store store(static_cast<size_t>(state.range(0)));
  auto controller = TessaryController::create();
  controller->_view = UIView::initWithFrame(CGRectMake(0, 0, 316, 40));
  auto leftField = UITextField::initWithFrame(CGRectZero);
  auto rightField = UITextField::initWithFrame(CGRectZero);
  auto leftButton = UIButton::buttonWithType(UIButtonTypeCustom);
  auto rightButton = UIButton::buttonWithType(UIButtonTypeCustom);
  for (const auto& view :
       std::vector<std::shared_ptr<UIView>>{leftField, rightField, leftButton, rightButton}) {
    controller->_view->addSubview(view);
  }
  leftButton->setTitleForState("EUR", UIControlStateNormal);
  rightButton->setTitleForState("USD", UIControlStateNormal);
  controller->leftField = leftField;
  controller->rightField = rightField;
  controller->leftButton = leftButton;
  controller->rightButton = rightButton;
  controller->decimalPlaces = 2;
  leftField->setText("12,5");
  for (auto _ : state) {
    controller->load();
    benchmark::DoNotOptimize(rightField->text().data());
  }
  if (rightField->text().empty()) state.SkipWithError("load did not convert from the store");
}

// Seconds the host takes for a script of 2,000 keys in the left field, "3" and a backspace in
// turn after "12", with the built bundle: on a converting pair, or on a pair of one code,
// where every key only copies.
double hostScript(bool converting) {
  constexpr double kNow = 800000000;
  bench_support::TempFolder root("tessary-bench-host");
  Simulator::Options options;
  options.root = root.path();
  options.bundleDirectory = TESSARY_BUILT_BUNDLE;
  Simulator sim(options);
  bench_support::check(sim.install());
  bench_support::check(sim.setClock(kNow));
  bench_support::writeRateStore(10, kNow - 3600);
  NSDictionary({{"left", NSStr("EUR")}, {"right", NSStr(converting ? "USD" : "EUR")}})
      .writeToFileAtomically(paths::kRecent, true);
  bench_support::check(sim.show());
  bench_support::check(sim.tap("field:left"));
  bench_support::check(sim.type("12"));
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 1000; ++i) {
    bench_support::check(sim.type("3"));
    bench_support::check(sim.backspace(1));
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// What converting adds to one key through the whole host: the two scripts' difference over
// their 2,000 keys.
void BM_HostKey(benchmark::State& state) {
  for (auto _ : state) {
    const double copying = hostScript(false);
    const double converting = hostScript(true);
    state.SetIterationTime(std::max(converting - copying, 0.0) / 2000);
  }
}

BENCHMARK(BM_Floor)->Arg(10)->Arg(1000)->Arg(28730)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Load)->Arg(10)->Arg(1000)->Arg(28730)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HostKey)->Iterations(10)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

// After the table: each load time as a ratio to the floor of the same size, and what a
// conversion adds to a key through the host as a ratio to the floor of 10 pairs.
int main(int argc, char** argv) {
  bench_support::Summary summary{
      .labelHeading = "pairs", .baselineHeading = "floor (us)", .measuredHeading = "load (us)"};
  for (const char* size : {"10", "1000", "28730"}) {
    summary.ratios.push_back(
        {size, std::string("BM_Floor/") + size, std::string("BM_Load/") + size});
  }
  summary.ratios.push_back({"10, host", "BM_Floor/10", "BM_HostKey/iterations:10/manual_time"});
  return bench_support::run(argc, argv, summary);
}
