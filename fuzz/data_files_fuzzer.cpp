// The generator's reading of a currency list: any bytes give a document or a reason, never a
// fault or a stack exhausted by nesting; a document is refused exactly when nlohmann's own
// check refuses it, it holds a NUL byte or it nests too deep; and every currency list taken from a
// document holds usable entries and comes out the same when written back as JSON and read again,
// and when written as the bundle's property list and read again.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "platform/foundation/property_list.h"
#include "tools/data_files.h"

namespace {

// Deeper than the limit, counted outside strings; only meaningful for a document nlohmann
// accepts.
bool nestsTooDeep(std::string_view text) {
  int depth = 0;
  bool inString = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') ++i;
      if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > data_files::kMaxDepth) return true;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return false;
}

std::string text(const NSDictionary& entry, const char* key) {
  const auto value = kindOf<NSString>(entry.objectForKey(key));
  if (!value) std::abort();
  return value->UTF8String();
}

// The list written back in iso-codes' shape.
std::string asSource(const NSArray& list) {
  nlohmann::json elements = nlohmann::json::array();
  for (const id& object : list.objects()) {
    const auto entry = kindOf<NSDictionary>(object);
    if (!entry || entry->count() != 2) std::abort();
    elements.push_back({{"alpha_3", text(*entry, "ISO")}, {"name", text(*entry, "Currency")}});
  }
  // Strict: a name that is not valid UTF-8 throws, which the fuzzer reports.
  return nlohmann::json{{"4217", elements}}.dump();
}

void checkList(const NSArray& list) {
  std::set<std::string> codes;
  for (const id& object : list.objects()) {
    const auto entry = kindOf<NSDictionary>(object);
    if (!entry) std::abort();
    if (!data_files::isCurrencyCode(text(*entry, "ISO"))) std::abort();
    if (text(*entry, "Currency").empty()) std::abort();
    if (!codes.insert(text(*entry, "ISO")).second) std::abort();
  }

  const auto again = data_files::parseJson(asSource(list));
  if (!again.document) std::abort();
  const auto reread = data_files::currencies(*again.document);
  if (!reread || !property_list::identical(list, *reread)) std::abort();

  const auto xml = property_list::writeXML(list);
  if (!xml) std::abort();
  const id back = property_list::parse(*xml);
  if (!back || !property_list::identical(list, *back)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const data_files::JsonResult result = data_files::parseJson(input);
  // nlohmann stops reading at a NUL byte; the generator refuses one anywhere.
  const bool expected =
      nlohmann::json::accept(input) && input.find('\0') == input.npos && !nestsTooDeep(input);
  if (result.document.has_value() != expected) std::abort();
  if (!result.document) {
    if (result.error.empty()) std::abort();
    return 0;
  }
  if (const auto list = data_files::currencies(*result.document)) checkList(*list);
  return 0;
}
