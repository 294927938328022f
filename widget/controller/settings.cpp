#include "widget/controller/settings.h"

#include <algorithm>

#include "widget/controller/paths.h"

namespace settings {

std::shared_ptr<NSDictionary> read() {
  return NSDictionary::dictionaryWithContentsOfFile(paths::kSettings);
}

id value(std::string_view key) {
  return value(read().get(), key);
}

id value(const NSDictionary* dictionary, std::string_view key) {
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
  return clear(read().get());
}

BOOL clear(const NSDictionary* settings) {
  const id v = value(settings, "Clear");
  return v ? v->boolValue() : NO;
}

float alpha() {
  const id v = value("Alpha");
  return v ? v->floatValue() : 0.7f;
}

int decimal() {
  return decimal(read().get());
}

int decimal(const NSDictionary* settings) {
  const id v = value(settings, "Decimal");
  return v ? std::clamp(v->intValue(), kDecimalMin, kDecimalMax) : 2;
}

BOOL autoScroll(BOOL current) {
  return autoScroll(read().get(), current);
}

BOOL autoScroll(const NSDictionary* settings, BOOL current) {
  const id v = value(settings, "AutoScroll");
  return v ? v->boolValue() : current;
}

BOOL excludeCodes(BOOL current) {
  return excludeCodes(read().get(), current);
}

BOOL excludeCodes(const NSDictionary* settings, BOOL current) {
  const id v = value(settings, "Exclude");
  return v ? v->boolValue() : current;
}

}  // namespace settings
