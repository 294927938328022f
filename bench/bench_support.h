// What the benchmark programs share: the summary printed after the usual table, each time as a
// ratio to a baseline measured in the same run; a temporary folder; a rate store of a given size.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace bench_support {

// One line of the summary: the time of `measured` as a ratio to that of `baseline`, both named
// as the table names them ("BM_Load/1000").
struct Ratio {
  std::string label;
  std::string baseline;
  std::string measured;
};

// The summary's headings and lines; times are in microseconds, as every benchmark is registered.
struct Summary {
  std::string labelHeading = {};
  std::string baselineHeading = {};
  std::string measuredHeading = {};
  std::vector<Ratio> ratios = {};
  // When set, a last column says whether the measured time keeps within this many microseconds.
  std::optional<double> budget = {};
  std::string budgetHeading = {};
};

// The console table, then the summary. A benchmark's time is its one run's or, with
// repetitions, their median; a benchmark left out by a filter or failed has none, and a line
// that needs it says "not measured".
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  explicit SummaryReporter(Summary summary) : summary_(std::move(summary)) {}
  void ReportRuns(const std::vector<Run>& runs) override;
  void Finalize() override;
  std::string summaryText() const;

 private:
  Summary summary_;
  std::map<std::string, double> times_;
};

// The whole program: runs what the command line selects and prints the summary after it.
int run(int argc, char** argv, const Summary& summary);

// Ends the program with the reason when `problem` is not empty.
void check(const std::string& problem);

// A new folder under the system's temporary folder, removed with all it holds.
class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Writes the widget's rate and date stores into the current device root: `pairs` pairs among
// 170 codes (EUR and USD first), each rate as the quote service's reply text, the first fetched
// at `newest` and each further one a second earlier.
void writeRateStore(std::size_t pairs, double newest);

}  // namespace bench_support
