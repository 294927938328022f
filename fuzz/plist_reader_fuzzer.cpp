// Any bytes: the reader must not fault, and whatever it reads must survive our XML writer
// and reader unchanged, except that dates keep whole seconds in XML.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/foundation/property_list.h"

namespace {

bool sameReal(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

// property_list::identical, with the first tree's dates rounded down as the writer does.
bool survived(const NSObject& before, const NSObject& after) {
  if (const auto* date = dynamic_cast<const NSDate*>(&before)) {
    const auto* other = dynamic_cast<const NSDate*>(&after);
    return other && sameReal(std::floor(date->timeIntervalSinceReferenceDate()),
                             other->timeIntervalSinceReferenceDate());
  }
  if (const auto* dictionary = dynamic_cast<const NSDictionary*>(&before)) {
    const auto* other = dynamic_cast<const NSDictionary*>(&after);
    if (!other || other->count() != dictionary->count()) return false;
    for (const auto& [key, value] : dictionary->entries()) {
      const id found = other->objectForKey(key);
      if (!found || !survived(*value, *found)) return false;
    }
    return true;
  }
  if (const auto* array = dynamic_cast<const NSArray*>(&before)) {
    const auto* other = dynamic_cast<const NSArray*>(&after);
    if (!other || other->count() != array->count()) return false;
    for (NSUInteger i = 0; i < array->count(); ++i) {
      if (!survived(*array->objectAtIndex(i), *other->objectAtIndex(i))) return false;
    }
    return true;
  }
  return property_list::identical(before, after);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const id first = property_list::parse(bytes);
  if (!first) return 0;
  // Some trees have no XML form (U+0000 in a string, a date past the year 9999).
  const auto xml = property_list::writeXML(*first);
  if (!xml) return 0;
  const id second = property_list::parse(*xml);
  if (!second || !survived(*first, *second)) std::abort();
  if (property_list::writeXML(*second) != xml) std::abort();
  return 0;
}
