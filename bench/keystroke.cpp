// One keystroke's conversion on the fresh-rate path against the floor of reading the same
// three files' bytes, for rate stores of 10, 1,000 and 28,730 pairs.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bench/bench_support.h"
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

BENCHMARK(BM_Floor)->Arg(10)->Arg(1000)->Arg(28730)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Load)->Arg(10)->Arg(1000)->Arg(28730)->Unit(benchmark::kMicrosecond);

}  // namespace

// After the table: each load time as a ratio to the floor of the same size.
int main(int argc, char** argv) {
  bench_support::Summary summary{
      .labelHeading = "pairs", .baselineHeading = "floor (us)", .measuredHeading = "load (us)"};
  for (const char* size : {"10", "1000", "28730"}) {
    summary.ratios.push_back(
        {size, std::string("BM_Floor/") + size, std::string("BM_Load/") + size});
  }
  return bench_support::run(argc, argv, summary);
}
