// JSON in the two places we have it, in the same run. Writing the host's dump of a typical
// screen (the detail layout with the keyboard up, every device file included): our writer
// against nlohmann's tree and serializer. Reading iso-codes' ISO 4217 list as the bundle's
// generator does (nlohmann's, behind a first pass that limits nesting) against nlohmann's
// parser alone.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "bench/detail_screen.h"
#include "host/json_writer.h"
#include "tools/data_files.h"

namespace {

using Ordered = nlohmann::ordered_json;

using bench_support::check;

// The dump of the detail layout with the left field being edited, read back in its order.
const Ordered& typicalDump() {
  static const Ordered dump = [] {
    bench_support::DetailScreen screen(0);
    check(screen.sim().tap("field:left"));
    check(screen.sim().type("12.5"));
    check(screen.sim().wait(Seconds(1)));
    return Ordered::parse(screen.sim().dump());
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

}  // namespace

// After the table: each second time as a ratio to the first, its baseline in the same run.
int main(int argc, char** argv) {
  return bench_support::run(
      argc, argv,
      {.baselineHeading = "baseline (us)",
       .measuredHeading = "(us)",
       .ratios = {{"write dump", "BM_WriteDumpOurs", "BM_WriteDumpNlohmann"},
                  {"read 4217", "BM_ReadIso4217Nlohmann", "BM_ReadIso4217Generator"}}});
}
