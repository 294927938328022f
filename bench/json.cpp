// JSON in the two places we have it, in the same run. Writing the host's dump of a typical
// screen (the detail layout with the keyboard up, every device file included): our writer
// against nlohmann's tree and serializer. Reading iso-codes' ISO 4217 list as the bundle's
// generator does (nlohmann's, behind a first pass that limits nesting) against nlohmann's
// parser alone.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "host/json_writer.h"
#include "host/simulator.h"
#include "platform/foundation/values.h"
#include "tools/data_files.h"

namespace {

using Ordered = nlohmann::ordered_json;

void check(const std::string& problem) {
  if (!problem.empty()) {
    std::fprintf(stderr, "json bench: %s\n", problem.c_str());
    std::abort();
  }
}

// The dump of the detail layout with the left field being edited, read back in its order.
const Ordered& typicalDump() {
  static const Ordered dump = [] {
    std::string root = (std::filesystem::temp_directory_path() / "tessary-json-bench-XXXXXX");
    if (!mkdtemp(root.data())) std::abort();
    Ordered parsed;
    {
      Simulator::Options options;
      options.root = root;
      options.bundleDirectory = TESSARY_BUILT_BUNDLE;
      Simulator sim(options);
      check(sim.install());
      check(sim.setClock(800000000));
      check(sim.setSetting("Detail", NSNumber::numberWithBool(true)));
      check(sim.show());
      check(sim.wait(Seconds(1)));
      check(sim.tap("field:left"));
      check(sim.type("12.5"));
      check(sim.wait(Seconds(1)));
      parsed = Ordered::parse(sim.dump());
    }
    std::filesystem::remove_all(root);
    return parsed;
  }();
  return dump;
}

void writeOurs(const Ordered& value, JsonWriter& out) {
  switch (value.type()) {
    case Ordered::value_t::object:
      out.beginObject();
      for (const auto& [key, member] : value.items()) {
        out.key(key);
        writeOurs(member, out);
      }
      out.endObject();
      break;
    case Ordered::value_t::array:
      out.beginArray();
      for (const auto& element : value) writeOurs(element, out);
      out.endArray();
      break;
    case Ordered::value_t::string:
      out.string(value.get_ref<const std::string&>());
      break;
    case Ordered::value_t::boolean:
      out.boolean(value.get<bool>());
      break;
    case Ordered::value_t::number_integer:
      out.integer(value.get<int64_t>());
      break;
    case Ordered::value_t::number_unsigned:
      out.unsignedInteger(value.get<uint64_t>());
      break;
    case Ordered::value_t::number_float:
      out.real(value.get<double>());
      break;
    default:
      out.null();
  }
}

// The same walk building nlohmann's tree, as the dump would build it.
Ordered buildNew(const Ordered& value) {
  switch (value.type()) {
    case Ordered::value_t::object: {
      Ordered object = Ordered::object();
      for (const auto& [key, member] : value.items()) object[key] = buildNew(member);
      return object;
    }
    case Ordered::value_t::array: {
      Ordered array = Ordered::array();
      for (const auto& element : value) array.push_back(buildNew(element));
      return array;
    }
    case Ordered::value_t::string:
      return value.get<std::string>();
    case Ordered::value_t::boolean:
      return value.get<bool>();
    case Ordered::value_t::number_integer:
      return value.get<int64_t>();
    case Ordered::value_t::number_unsigned:
      return value.get<uint64_t>();
    case Ordered::value_t::number_float:
      return value.get<double>();
    default:
      return nullptr;
  }
}

void BM_WriteDumpOurs(benchmark::State& state) {
  const Ordered& dump = typicalDump();
  size_t bytes = 0;
  for (auto _ : state) {
    JsonWriter out;
    writeOurs(dump, out);
    bytes = out.str().size();
    benchmark::DoNotOptimize(out.str().data());
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}

void BM_WriteDumpNlohmann(benchmark::State& state) {
  const Ordered& dump = typicalDump();
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string text = buildNew(dump).dump(-1, ' ', false, Ordered::error_handler_t::replace);
    bytes = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}

const std::string& iso4217() {
  static const std::string text = [] {
    std::ifstream in("/usr/share/iso-codes/json/iso_4217.json", std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    if (content.str().empty()) std::abort();
    return content.str();
  }();
  return text;
}

void BM_ReadIso4217Generator(benchmark::State& state) {
  const std::string& text = iso4217();
  for (auto _ : state) {
    const data_files::JsonResult result = data_files::parseJson(text);
    if (!result.document) state.SkipWithError("the generator refused the file");
    benchmark::DoNotOptimize(&result);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_ReadIso4217Nlohmann(benchmark::State& state) {
  const std::string& text = iso4217();
  for (auto _ : state) {
    const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
    if (document.is_discarded()) state.SkipWithError("nlohmann refused the file");
    benchmark::DoNotOptimize(&document);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

BENCHMARK(BM_WriteDumpOurs)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteDumpNlohmann)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadIso4217Nlohmann)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadIso4217Generator)->Unit(benchmark::kMicrosecond);

// After the table: each second time as a ratio to the first, its baseline in the same run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Iteration || median) {
        times_[run.run_name.function_name] = run.GetAdjustedRealTime();
      }
    }
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-12s %14s %10s %8s\n", "", "baseline (us)", "(us)", "ratio");
    for (const auto& [label, baseline, measured] : kPairs) {
      const auto a = times_.find(baseline);
      const auto b = times_.find(measured);
      if (a == times_.end() || b == times_.end() || a->second <= 0) {
        std::printf("%-12s %14s %10s %8s\n", label, "-", "-", "not measured");
        continue;
      }
      std::printf("%-12s %14.2f %10.2f %8.2f\n", label, a->second, b->second,
                  b->second / a->second);
    }
  }

 private:
  struct Pair {
    const char* label;
    const char* baseline;
    const char* measured;
  };
  static constexpr Pair kPairs[] = {
      {"write dump", "BM_WriteDumpOurs", "BM_WriteDumpNlohmann"},
      {"read 4217", "BM_ReadIso4217Nlohmann", "BM_ReadIso4217Generator"},
  };
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
