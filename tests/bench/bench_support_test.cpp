#include "bench/bench_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace tessary::test {
namespace {

using BenchRun = benchmark::BenchmarkReporter::Run;
using bench_support::Summary;
using bench_support::SummaryReporter;

// A run of `name` ("BM_Load/10") that took `us` microseconds an iteration.
BenchRun timed(const std::string& name, double us) {
  BenchRun run;
  const size_t slash = name.find('/');
  run.run_name.function_name = name.substr(0, slash);
  if (slash != std::string::npos) run.run_name.args = name.substr(slash + 1);
  run.time_unit = benchmark::kMicrosecond;
  run.iterations = 10;
  run.real_accumulated_time = us * 10 / 1e6;
  run.cpu_accumulated_time = run.real_accumulated_time;
  return run;
}

BenchRun aggregate(const std::string& name, const std::string& kind, double us) {
  BenchRun run = timed(name, us);
  run.run_type = BenchRun::RT_Aggregate;
  run.aggregate_name = kind;
  run.iterations = 1;
  run.real_accumulated_time = us / 1e6;
  return run;
}

// The summary lines a reporter prints after being given `runs`, the table before them cut off.
std::vector<std::string> summaryLines(const Summary& summary,
                                      const std::vector<std::vector<BenchRun>>& runs) {
  SummaryReporter reporter(summary);
  std::ostringstream out;
  reporter.SetOutputStream(&out);
  std::ostringstream errors;
  reporter.SetErrorStream(&errors);
  for (const auto& family : runs) reporter.ReportRuns(family);
  reporter.Finalize();
  std::vector<std::string> lines;
  std::istringstream text(reporter.summaryText());
  for (std::string line; std::getline(text, line);) {
    if (!line.empty()) lines.push_back(line.substr(0, line.find_last_not_of(' ') + 1));
  }
  EXPECT_NE(out.str().find(reporter.summaryText()), std::string::npos);
  return lines;
}

std::string squeezed(const std::string& line) {
  std::istringstream words(line);
  std::string out;
  for (std::string word; words >> word;) out += (out.empty() ? "" : " ") + word;
  return out;
}

// The render benchmark's kind of summary: times against a floor, within half a 120 Hz frame.
Summary framesAgainstFloor(std::vector<bench_support::Ratio> ratios) {
  return {.baselineHeading = "floor (us)",
          .measuredHeading = "time (us)",
          .ratios = std::move(ratios),
          .budget = 4200,
          .budgetHeading = "within 4.2 ms"};
}

TEST(BenchSummary, EachLineIsARatioToItsBaselineWithinTheBudget) {
  const Summary summary = framesAgainstFloor({{"floor", "BM_Floor", "BM_Floor"},
                                              {"frame", "BM_Floor", "BM_Frame"},
                                              {"slow", "BM_Floor", "BM_Slow"}});
  const auto lines = summaryLines(
      summary, {{timed("BM_Floor", 80)}, {timed("BM_Frame", 2000)}, {timed("BM_Slow", 4200.5)}});
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(squeezed(lines[0]), "floor (us) time (us) ratio within 4.2 ms");
  EXPECT_EQ(squeezed(lines[1]), "floor 80.00 80.00 1.00 yes");
  EXPECT_EQ(squeezed(lines[2]), "frame 80.00 2000.00 25.00 yes");
  EXPECT_EQ(squeezed(lines[3]), "slow 80.00 4200.50 52.51 no");
  // The columns line up under their headings.
  EXPECT_EQ(lines[0].find("ratio") + 5, lines[1].find("1.00") + 4);
}

TEST(BenchSummary, RepetitionsAreSummedUpByTheirMedian) {
  const Summary summary{.labelHeading = "pairs",
                        .baselineHeading = "floor (us)",
                        .measuredHeading = "load (us)",
                        .ratios = {{"10", "BM_Floor/10", "BM_Load/10"}}};
  const auto lines = summaryLines(
      summary, {{timed("BM_Floor/10", 50), timed("BM_Floor/10", 20), timed("BM_Floor/10", 10),
                 aggregate("BM_Floor/10", "mean", 26.67), aggregate("BM_Floor/10", "median", 20),
                 aggregate("BM_Floor/10", "stddev", 20.8)},
                {timed("BM_Load/10", 30)}});
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(squeezed(lines[0]), "pairs floor (us) load (us) ratio");
  EXPECT_EQ(squeezed(lines[1]), "10 20.00 30.00 1.50");
}

TEST(BenchSummary, WhatWasNotMeasuredHasNoFigure) {
  BenchRun failed = timed("BM_Frame", 0);
  failed.error_occurred = true;
  failed.error_message = "the keystrokes did not reach the field";
  const Summary withBudget = framesAgainstFloor({{"filtered", "BM_Floor", "BM_Gone"},
                                                 {"failed", "BM_Floor", "BM_Frame"},
                                                 {"no floor", "BM_Zero", "BM_Floor"}});
  const auto lines =
      summaryLines(withBudget, {{timed("BM_Floor", 80)}, {failed}, {timed("BM_Zero", 0)}});
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(squeezed(lines[1]), "filtered - - - not measured");
  EXPECT_EQ(squeezed(lines[2]), "failed - - - not measured");
  EXPECT_EQ(squeezed(lines[3]), "no floor - - - not measured");

  // A table without a budget says it too, rather than a ratio of nothing.
  const Summary plain{.labelHeading = "pairs",
                      .baselineHeading = "floor (us)",
                      .measuredHeading = "load (us)",
                      .ratios = {{"10", "BM_Floor/10", "BM_Load/10"}}};
  const auto filtered = summaryLines(plain, {{timed("BM_Floor/10", 12)}});
  ASSERT_EQ(filtered.size(), 2u);
  EXPECT_EQ(squeezed(filtered[1]), "10 - - - not measured");
}

}  // namespace
}  // namespace tessary::test
