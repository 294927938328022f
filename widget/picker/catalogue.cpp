#include "widget/picker/catalogue.h"

#include <algorithm>

#include "widget/controller/paths.h"
#include "widget/util/store_file.h"

namespace catalogue {

std::optional<std::string> nameForCode(const std::string& code) {
  const auto currencies = NSArray::arrayWithContentsOfFile(paths::kCurrencies);
  if (!currencies) return std::nullopt;
  for (const id& element : currencies->objects()) {
    const auto currency = kindOf<NSDictionary>(element);
    if (!currency) continue;
    const auto iso = kindOf<NSString>(currency->objectForKey("ISO"));
    const auto name = kindOf<NSString>(currency->objectForKey("Currency"));
    if (iso && name && iso->UTF8String() == code) return name->UTF8String();
  }
  return std::nullopt;
}

std::vector<std::string> entries(const std::string& leftCode, const std::string& rightCode,
                                 bool excludeCodes) {
  std::vector<std::string> codes;
  const auto file = NSArray::arrayWithContentsOfFile(paths::kEntries);
  if (!file) return codes;
  for (const id& element : file->objects()) {
    if (const auto code = kindOf<NSString>(element)) codes.push_back(code->UTF8String());
  }
  if (excludeCodes) {
    std::erase(codes, rightCode);
    std::erase(codes, leftCode);
  }
  return codes;
}

std::optional<std::string> recentString(const NSDictionary* recent, const std::string& key) {
  const auto value = recent ? kindOf<NSString>(recent->objectForKey(key)) : nullptr;
  if (!value) return std::nullopt;
  return value->UTF8String();
}

std::shared_ptr<NSMutableDictionary> restorePair() {
  auto recent = NSMutableDictionary::dictionaryWithContentsOfFile(paths::kRecent);
  if (!recent) return nullptr;
  if (!recentString(recent.get(), "left")) {
    recent->setObjectForKey(NSStr("EUR"), "left");
    recent->writeToFileAtomically(paths::kRecent, true);
  }
  if (!recentString(recent.get(), "right")) {
    recent->setObjectForKey(NSStr("USD"), "right");
    recent->writeToFileAtomically(paths::kRecent, true);
  }
  return recent;
}

void recordChoice(const std::string& side, const std::string& code) {
  // A file that cannot be read at all is not replaced: it may hold the other side's code.
  auto recent = store_file::dictionaryForUpdate(paths::kRecent, true);
  if (!recent) return;
  recent->setObjectForKey(NSStr(code), side);
  recent->writeToFileAtomically(paths::kRecent, true);
}

}  // namespace catalogue
