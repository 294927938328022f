// One keystroke's conversion on the fresh-rate path against the floor of reading the same
// three files' bytes, for rate stores of 10, 1,000 and 28,730 pairs.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/foundation/clock.h"
#include "platform/foundation/file_manager.h"
#include "widget/controller/paths.h"
#include "widget/controller/tessary_controller.h"

namespace {

std::string code(size_t index) {
  // 170 distinct three-letter codes, EUR and USD among them.
  if (index == 0) return "EUR";
  if (index == 1) return "USD";
  std::string c = "AAA";
  c[0] = static_cast<char>('A' + index / 26 % 26);
  c[1] = static_cast<char>('A' + index % 26);
  c[2] = 'X';
  return c;
}

class Store {
 public:
  explicit Store(size_t pairs) {
    root_ = (std::filesystem::temp_directory_path() / "tessary-bench-XXXXXX").string();
    if (!mkdtemp(root_.data())) std::abort();
    DeviceRoot::set(root_);
    NSFileManager::defaultManager().createDirectoryAtPath(paths::kDataDirectory);
    NSFileManager::defaultManager().createDirectoryAtPath("/var/mobile/Library/Preferences");
    NSMutableDictionary rates, dates;
    const double now = Clock::current().wall();
    size_t made = 0;
    for (size_t a = 0; a < 170 && made < pairs; ++a) {
      for (size_t b = 0; b < 170 && made < pairs; ++b) {
        if (a == b) continue;
        const std::string key = code(a) + "-" + code(b);
        rates.setObjectForKey(
            NSStr(std::to_string(1.0 + static_cast<double>(made % 97) / 7.0) + "\n"), key);
        dates.setObjectForKey(NSNumber::numberWithDouble(now - 3600.0 - static_cast<double>(made)),
                              key);
        ++made;
      }
    }
    rates.writeToFileAtomically(paths::kRates, true);
    dates.writeToFileAtomically(paths::kDates, true);
    NSDictionary({{"Update", NSNumber::numberWithInteger(3)},
                  {"Decimal", NSNumber::numberWithInteger(2)},
                  {"Detail", NSNumber::numberWithBool(false)}})
        .writeToFileAtomically(paths::kSettings, true);
  }
  ~Store() { std::filesystem::remove_all(root_); }
  std::vector<std::string> hostPaths() const {
    return {root_ + paths::kRates, root_ + paths::kDates, root_ + paths::kSettings};
  }

 private:
  std::string root_;
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

// Prints, after the usual table, each load time as a ratio to the floor of the same size.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      const std::string name = run.benchmark_name();
      const size_t slash = name.find('/');
      times_[name.substr(0, slash)][name.substr(slash + 1)] = run.GetAdjustedRealTime();
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-8s %12s %12s %8s\n", "pairs", "floor (us)", "load (us)", "ratio");
    for (const auto& [size, floor] : times_["BM_Floor"]) {
      const double load = times_["BM_Load"][size];
      std::printf("%-8s %12.2f %12.2f %8.2f\n", size.c_str(), floor, load, load / floor);
    }
  }

 private:
  std::map<std::string, std::map<std::string, double>> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
