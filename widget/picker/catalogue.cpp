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
  if (!recent || (recentString(recent.get(), "left") && recentString(recent.get(), "right"))) {
    return recent;
  }
  // The defaults are written under the store's lock, over the file as it is then.
  const auto fillIn = [](const std::shared_ptr<NSMutableDictionary>& dictionary) {
    bool changed = false;
    for (const auto& [side, code] :
         {std::pair{"left", kDefaultLeft}, std::pair{"right", kDefaultRight}}) {
      if (recentString(dictionary.get(), side)) continue;
      dictionary->setObjectForKey(NSStr(code), side);
      changed = true;
    }
    return changed;
  };
  std::shared_ptr<NSMutableDictionary> updated;
  store_file::update(paths::kRecent, false, [&](const auto& dictionary) {
    updated = dictionary;
    return fillIn(dictionary);
  });
  if (!updated) fillIn(recent);
  return updated ? updated : recent;
}

void recordChoice(const std::string& side, const std::string& code) {
  // A file that cannot be read at all is not replaced: it may hold the other side's code.
  store_file::update(paths::kRecent, true, [&](const auto& recent) {
    recent->setObjectForKey(NSStr(code), side);
    return true;
  });
}

}  // namespace catalogue
