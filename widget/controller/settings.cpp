#include "widget/controller/settings.h"

#include <algorithm>

#include "widget/controller/paths.h"

namespace settings {

id value(std::string_view key) {
  const auto dictionary = NSDictionary::dictionaryWithContentsOfFile(paths::kSettings);
  if (!dictionary) return nullptr;
  id found = dictionary->objectForKey(key);
  // Only strings and numbers answer the readings; other kinds would end the host.
  if (!kindOf<NSString>(found) && !kindOf<NSNumber>(found)) return nullptr;
  return found;
}

BOOL detail() {
  const id v = value("Detail");
  return v ? v->boolValue() : NO;
}

int update() {
  const id v = value("Update");
  return v ? v->intValue() : 3;
}

BOOL clear() {
  const id v = value("Clear");
  return v ? v->boolValue() : NO;
}

float alpha() {
  const id v = value("Alpha");
  return v ? v->floatValue() : 0.7f;
}

int decimal() {
  const id v = value("Decimal");
  return v ? std::clamp(v->intValue(), kDecimalMin, kDecimalMax) : 2;
}

BOOL autoScroll(BOOL current) {
  const id v = value("AutoScroll");
  return v ? v->boolValue() : current;
}

BOOL excludeCodes(BOOL current) {
  const id v = value("Exclude");
  return v ? v->boolValue() : current;
}

}  // namespace settings
