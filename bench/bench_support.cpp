#include "bench/bench_support.h"

#include <errno.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>

#include "platform/foundation/file_manager.h"
#include "platform/foundation/values.h"
#include "widget/controller/paths.h"

namespace bench_support {

void SummaryReporter::ReportRuns(const std::vector<Run>& runs) {
  ConsoleReporter::ReportRuns(runs);
  for (const Run& run : runs) {
    const std::string name = run.run_name.str();
    if (run.error_occurred) {
      times_.erase(name);
      continue;
    }
    // With repetitions, the median stands for them; it is reported after the runs.
    const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
    if (run.run_type == Run::RT_Iteration || median) times_[name] = run.GetAdjustedRealTime();
  }
}

void SummaryReporter::Finalize() {
  ConsoleReporter::Finalize();
  GetOutputStream() << summaryText() << std::flush;
}

namespace {

std::string cell(const std::string& text, size_t width, bool left) {
  std::string padded = left ? text : std::string();
  padded.append(width > text.size() ? width - text.size() : 0, ' ');
  if (!left) padded += text;
  return padded;
}

std::string fixed(double value) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%.2f", value);
  return digits;
}

}  // namespace

std::string SummaryReporter::summaryText() const {
  size_t labelWidth = summary_.labelHeading.size();
  for (const Ratio& ratio : summary_.ratios) labelWidth = std::max(labelWidth, ratio.label.size());
  const size_t baselineWidth = std::max<size_t>(summary_.baselineHeading.size(), 12);
  const size_t measuredWidth = std::max<size_t>(summary_.measuredHeading.size(), 12);
  // Built by appending, which g++ 12's -Wrestrict does not misread in the release build.
  const auto line = [&](const std::string& label, const std::string& baseline,
                        const std::string& measured, const std::string& ratio,
                        const std::string& within) {
    std::string text = cell(label, labelWidth, true);
    text += ' ';
    text += cell(baseline, baselineWidth, false);
    text += ' ';
    text += cell(measured, measuredWidth, false);
    text += ' ';
    text += cell(ratio, 8, false);
    if (!within.empty()) {
      text += ' ';
      text += within;
    }
    text += '\n';
    return text;
  };
  std::string text = "\n";
  text += line(summary_.labelHeading, summary_.baselineHeading, summary_.measuredHeading, "ratio",
               summary_.budgetHeading);
  for (const Ratio& ratio : summary_.ratios) {
    const auto baseline = times_.find(ratio.baseline);
    const auto measured = times_.find(ratio.measured);
    if (baseline == times_.end() || measured == times_.end() || baseline->second <= 0) {
      text += line(ratio.label, "-", "-", "-", "not measured");
      continue;
    }
    const double us = measured->second;
    const std::string within = !summary_.budget ? "" : us <= *summary_.budget ? "yes" : "no";
    text +=
        line(ratio.label, fixed(baseline->second), fixed(us), fixed(us / baseline->second), within);
  }
  return text;
}

int run(int argc, char** argv, const Summary& summary) {
  benchmark::Initialize(&argc, argv);
  SummaryReporter reporter(summary);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

void check(const std::string& problem) {
  if (problem.empty()) return;
  std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, problem.c_str());
  std::abort();
}

TempFolder::TempFolder(const std::string& prefix)
    : path_((std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string()) {
  if (!mkdtemp(path_.data())) std::abort();
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

namespace {

// 170 distinct three-letter codes, EUR and USD first.
std::string code(size_t index) {
  if (index == 0) return "EUR";
  if (index == 1) return "USD";
  std::string c = "AAX";
  c[0] = static_cast<char>('A' + index / 26 % 26);
  c[1] = static_cast<char>('A' + index % 26);
  return c;
}

}  // namespace

void writeRateStore(size_t pairs, double newest) {
  NSFileManager::defaultManager().createDirectoryAtPath(paths::kDataDirectory);
  NSMutableDictionary rates, dates;
  size_t made = 0;
  for (size_t a = 0; a < 170 && made < pairs; ++a) {
    for (size_t b = 0; b < 170 && made < pairs; ++b) {
      if (a == b) continue;
      const std::string key = code(a) + "-" + code(b);
      rates.setObjectForKey(
          NSStr(std::to_string(1.0 + static_cast<double>(made % 97) / 7.0) + "\n"), key);
      dates.setObjectForKey(NSNumber::numberWithDouble(newest - static_cast<double>(made)), key);
      ++made;
    }
  }
  rates.writeToFileAtomically(paths::kRates, true);
  dates.writeToFileAtomically(paths::kDates, true);
}

}  // namespace bench_support
