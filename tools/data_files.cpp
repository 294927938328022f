#include "tools/data_files.h"

#include <algorithm>
#include <set>

namespace data_files {

namespace {

using Json = nlohmann::json;

// A first pass that builds nothing: it finds the first syntax error, and stops at the first
// container nested deeper than kMaxDepth.
class Checker final : public nlohmann::json_sax<Json> {
 public:
  std::string error;

  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool key(string_t&) override { return true; }
  bool start_object(std::size_t) override { return enter(); }
  bool end_object() override { return leave(); }
  bool start_array(std::size_t) override { return enter(); }
  bool end_array() override { return leave(); }
  bool parse_error(std::size_t, const std::string&,
                   const nlohmann::detail::exception& problem) override {
    // "[json.exception.parse_error.101] parse error at line 1, column 5: ..." without the tag.
    std::string_view text = problem.what();
    if (const size_t tag = text.find("] "); text.starts_with('[') && tag != text.npos) {
      text.remove_prefix(tag + 2);
    }
    // The last token read is quoted in full; a huge one would bury the reason.
    constexpr size_t kLongest = 200;
    error = text.size() > kLongest ? std::string(text.substr(0, kLongest)) + "..." : text;
    return false;
  }

 private:
  bool enter() {
    if (++depth_ <= kMaxDepth) return true;
    error = "nesting deeper than " + std::to_string(kMaxDepth) + " levels";
    return false;
  }
  bool leave() {
    --depth_;
    return true;
  }
  int depth_ = 0;
};

// The member's text, or nullptr when it is missing or not a string.
const std::string* stringMember(const Json& object, const char* key) {
  const auto found = object.find(key);
  if (found == object.end() || !found->is_string()) return nullptr;
  return &found->get_ref<const std::string&>();
}

}  // namespace

JsonResult parseJson(std::string_view text) {
  if (text.size() > kMaxBytes) {
    return {std::nullopt, "larger than " + std::to_string(kMaxBytes) + " bytes"};
  }
  // nlohmann's reader takes a NUL byte outside a string for the end of the input and ignores
  // what follows; no JSON text holds one unescaped.
  if (const size_t nul = text.find('\0'); nul != text.npos) {
    return {std::nullopt, "NUL byte at offset " + std::to_string(nul)};
  }
  Checker checker;
  if (!Json::sax_parse(text, &checker) || !checker.error.empty()) {
    return {std::nullopt, checker.error.empty() ? "not JSON" : checker.error};
  }
  Json document = Json::parse(text, nullptr, false);
  if (document.is_discarded()) return {std::nullopt, "not JSON"};
  return {std::move(document), {}};
}

bool isCurrencyCode(std::string_view text) {
  return text.size() == 3 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

std::shared_ptr<NSArray> currencies(const Json& document) {
  if (!document.is_object()) return nullptr;
  const auto list = document.find("4217");
  if (list == document.end() || !list->is_array()) return nullptr;
  std::vector<id> out;
  std::set<std::string, std::less<>> seen;
  for (const Json& element : *list) {
    if (!element.is_object()) continue;
    const std::string* code = stringMember(element, "alpha_3");
    const std::string* name = stringMember(element, "name");
    if (!code || !isCurrencyCode(*code) || !name || name->empty()) continue;
    // A property list cannot hold U+0000; such a name would fail the whole file's write.
    if (name->find('\0') != std::string::npos) continue;
    if (!seen.insert(*code).second) continue;
    out.push_back(std::make_shared<NSDictionary>(
        NSDictionary::Storage{{"ISO", NSStr(*code)}, {"Currency", NSStr(*name)}}));
  }
  return std::make_shared<NSArray>(std::move(out));
}

namespace {

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

}  // namespace

EntriesResult entries(std::string_view table) {
  std::set<std::string, std::less<>> codes;
  size_t lineNo = 0;
  while (!table.empty()) {
    const size_t nl = table.find('\n');
    std::string_view line = table.substr(0, nl);
    table = nl == std::string_view::npos ? std::string_view() : table.substr(nl + 1);
    ++lineNo;
    if (trimmed(line).empty() || line.front() == '#') continue;
    const std::string where = "line " + std::to_string(lineNo) + ": ";
    const size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return {nullptr, where + "expected CODE<TAB>RATE"};
    const std::string_view code = line.substr(0, tab);
    if (!isCurrencyCode(code)) return {nullptr, where + "not a currency code"};
    if (!codes.insert(std::string(code)).second) {
      return {nullptr, where + "duplicate currency " + std::string(code)};
    }
  }
  codes.insert("EUR");

  std::vector<id> out;
  for (const char* major : kMajors) {
    if (codes.erase(std::string(major))) out.push_back(NSStr(major));
  }
  for (const std::string& code : codes) out.push_back(NSStr(code));
  return {std::make_shared<NSArray>(std::move(out)), {}};
}

std::shared_ptr<NSDictionary> info(const std::vector<std::pair<std::string, std::string>>& keys) {
  NSDictionary::Storage entries;
  for (const auto& [key, value] : keys) entries[key] = NSStr(value);
  return std::make_shared<NSDictionary>(std::move(entries));
}

}  // namespace data_files
