#include "widget/resources/data_files.h"

#include <algorithm>
#include <set>

namespace data_files {

bool isCurrencyCode(std::string_view text) {
  return text.size() == 3 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

std::shared_ptr<NSArray> currencies(const json::Value& document) {
  const json::Value* list = document.member("4217");
  if (!list || !list->isArray()) return nullptr;
  std::vector<id> out;
  std::set<std::string, std::less<>> seen;
  for (const json::Value& element : list->items) {
    const json::Value* code = element.member("alpha_3");
    const json::Value* name = element.member("name");
    if (!code || !code->isString() || !isCurrencyCode(code->text)) continue;
    if (!name || !name->isString() || name->text.empty()) continue;
    if (!seen.insert(code->text).second) continue;
    out.push_back(std::make_shared<NSDictionary>(
        NSDictionary::Storage{{"ISO", NSStr(code->text)}, {"Currency", NSStr(name->text)}}));
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
