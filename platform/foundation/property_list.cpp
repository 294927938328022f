// Choosing the reader for a file's bytes, and the file methods of the
// dictionary and array classes.
#include "platform/foundation/property_list.h"

#include <bit>
#include <cmath>

#include "platform/foundation/file_manager.h"
#include "platform/foundation/read_cache.h"

namespace property_list {
namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isHexOrSpace(char c) {
  return isSpace(c) || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// XML begins with '<' (after a byte-order mark and white space) or is UTF-16; the text form
// can begin with '<' too, for a data root such as <0fbd77>, which holds only hex digits.
bool looksLikeXML(std::string_view bytes) {
  if (bytes.size() >= 2 &&
      ((bytes[0] == '\xFE' && bytes[1] == '\xFF') || (bytes[0] == '\xFF' && bytes[1] == '\xFE'))) {
    return true;
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  size_t i = 0;
  while (i < bytes.size() && isSpace(bytes[i])) ++i;
  if (i >= bytes.size() || bytes[i] != '<') return false;
  for (++i; i < bytes.size() && bytes[i] != '>'; ++i) {
    if (!isHexOrSpace(bytes[i])) return true;
  }
  return false;
}

bool sameDouble(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

bool sameNumber(const NSNumber& a, const NSNumber& b) {
  if (a.kind() != b.kind()) return false;
  switch (a.kind()) {
    case NSNumber::Kind::Boolean:
      return a.boolValue() == b.boolValue();
    case NSNumber::Kind::Integer:
      return a.integerValue() == b.integerValue() && a.isUnsigned() == b.isUnsigned();
    case NSNumber::Kind::Real:
      return sameDouble(a.realValue(), b.realValue());
  }
  return false;
}

bool sameObject(const id& a, const id& b) {
  if (!a || !b) return !a && !b;
  return identical(*a, *b);
}

id readPlatformFile(const std::string& platformPath) {
  const auto hostPath = DeviceRoot::map(platformPath);
  return hostPath ? read_cache::read(*hostPath, platformPath) : nullptr;
}

bool writePlatformFile(const NSObject& root, const std::string& platformPath, bool atomically) {
  const auto hostPath = DeviceRoot::mapForWriting(platformPath);
  if (!hostPath) return false;
  const auto xml = writeXML(root);
  if (!xml) return false;
  // The caller may still change what it wrote, so the cache reads the file afresh.
  read_cache::forget(*hostPath);
  return atomically ? file_io::writeAtomically(*hostPath, *xml)
                    : file_io::writeInPlace(*hostPath, *xml);
}

}  // namespace

void forgetCachedReads() {
  read_cache::forgetAll();
}

namespace detail {
void failCacheWatches(int error) {
  read_cache::failWatches(error);
}
}  // namespace detail

id parse(std::string_view bytes) {
  if (bytes.empty()) return nullptr;
  if (bytes.substr(0, 6) == "bplist") return detail::parseBinary(bytes);
  if (looksLikeXML(bytes)) return detail::parseXML(bytes);
  return detail::parseText(bytes);
}

bool identical(const NSObject& a, const NSObject& b) {
  if (const auto* string = dynamic_cast<const NSString*>(&a)) {
    const auto* other = dynamic_cast<const NSString*>(&b);
    return other && other->UTF8String() == string->UTF8String();
  }
  if (const auto* number = dynamic_cast<const NSNumber*>(&a)) {
    const auto* other = dynamic_cast<const NSNumber*>(&b);
    return other && sameNumber(*number, *other);
  }
  if (const auto* date = dynamic_cast<const NSDate*>(&a)) {
    const auto* other = dynamic_cast<const NSDate*>(&b);
    return other && sameDouble(date->timeIntervalSinceReferenceDate(),
                               other->timeIntervalSinceReferenceDate());
  }
  if (const auto* data = dynamic_cast<const NSData*>(&a)) {
    const auto* other = dynamic_cast<const NSData*>(&b);
    return other && other->bytes() == data->bytes();
  }
  if (const auto* dictionary = dynamic_cast<const NSDictionary*>(&a)) {
    const auto* other = dynamic_cast<const NSDictionary*>(&b);
    if (!other || other->count() != dictionary->count()) return false;
    auto it = other->entries().begin();
    for (const auto& [key, value] : dictionary->entries()) {
      if (it->first != key || !sameObject(value, it->second)) return false;
      ++it;
    }
    return true;
  }
  if (const auto* array = dynamic_cast<const NSArray*>(&a)) {
    const auto* other = dynamic_cast<const NSArray*>(&b);
    if (!other || other->count() != array->count()) return false;
    for (NSUInteger i = 0; i < array->count(); ++i) {
      if (!sameObject(array->objectAtIndex(i), other->objectAtIndex(i))) return false;
    }
    return true;
  }
  return &a == &b;
}

}  // namespace property_list

std::shared_ptr<NSDictionary> NSDictionary::dictionaryWithContentsOfFile(const std::string& path) {
  return kindOf<NSDictionary>(property_list::readPlatformFile(path));
}

std::shared_ptr<NSMutableDictionary> NSMutableDictionary::dictionaryWithContentsOfFile(
    const std::string& path) {
  const auto shared = NSDictionary::dictionaryWithContentsOfFile(path);
  return shared ? std::make_shared<NSMutableDictionary>(shared->entries()) : nullptr;
}

std::shared_ptr<NSData> NSData::dataWithContentsOfFile(const std::string& path) {
  auto bytes = file_io::readBeneathRoot(path);
  return bytes ? NSData::dataWithBytes(std::move(*bytes)) : nullptr;
}

std::shared_ptr<NSArray> NSArray::arrayWithContentsOfFile(const std::string& path) {
  return kindOf<NSArray>(property_list::readPlatformFile(path));
}

std::shared_ptr<NSMutableArray> NSMutableArray::arrayWithContentsOfFile(const std::string& path) {
  const auto shared = NSArray::arrayWithContentsOfFile(path);
  return shared ? std::make_shared<NSMutableArray>(shared->objects()) : nullptr;
}

bool NSDictionary::writeToFileAtomically(const std::string& path, bool atomically) const {
  return property_list::writePlatformFile(*this, path, atomically);
}

bool NSArray::writeToFileAtomically(const std::string& path, bool atomically) const {
  return property_list::writePlatformFile(*this, path, atomically);
}
