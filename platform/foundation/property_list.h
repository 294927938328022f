#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/values.h"

// Property lists in memory: reading the binary ("bplist00"), XML and old text forms, and
// writing the XML form the platform writes. The file methods of NSDictionary and NSArray are
// built on these.
namespace property_list {

// Containers nest at most this deep; deeper input reads as nothing and cannot be written.
inline constexpr int kMaxDepth = 512;

// The root object, or nullptr when the bytes are empty or malformed in any way.
TESSARY_EXPORT id parse(std::string_view bytes);

// The XML form, or nullopt for a tree a property list cannot hold: a nil entry, an object of
// another class, nesting deeper than kMaxDepth (which includes a container holding itself), a
// string with U+0000, or a date that is not finite or falls outside the years 0000-9999.
TESSARY_EXPORT std::optional<std::string> writeXML(const NSObject& root);

// Forgets every file the reader keeps, and its watches, so the next read of each reads and
// parses it afresh.
TESSARY_EXPORT void forgetCachedReads();

// Same value tree, with kinds kept apart (the integer 1 is not the real 1.0 nor YES), reals
// and dates compared bit for bit (NaN equals NaN), containers compared deeply.
TESSARY_EXPORT bool identical(const NSObject& a, const NSObject& b);

// The parts of the reader and writer, one source file each.
namespace detail {
id parseBinary(std::string_view bytes);
id parseXML(std::string_view bytes);
id parseText(std::string_view bytes);

// "YYYY-MM-DDTHH:MM:SSZ" and seconds since 2001-01-01 UTC, both ways (exported for tests).
TESSARY_EXPORT std::optional<double> parseISODate(std::string_view text);
TESSARY_EXPORT std::optional<std::string> formatISODate(double sinceReferenceDate);
// Base64 as XML property lists hold it; decoding skips white space.
TESSARY_EXPORT std::optional<std::string> decodeBase64(std::string_view text);
TESSARY_EXPORT std::string encodeBase64(std::string_view bytes);
// Makes every new watch of the read cache fail with `error` (0: no longer), as a full watch
// table would; forgetCachedReads() undoes it.
TESSARY_EXPORT void failCacheWatches(int error);
}  // namespace detail

}  // namespace property_list
