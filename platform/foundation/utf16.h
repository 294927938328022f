#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/objc.h"

// The platform's strings count and index in UTF-16 code units; ours hold UTF-8. These helpers
// translate between the two. Invalid UTF-8 sequences count as one U+FFFD each.
namespace utf16 {

TESSARY_EXPORT bool isValidUTF8(std::string_view bytes);
// The code point at `i`, advancing `i` past it; a malformed sequence gives U+FFFD and one byte.
TESSARY_EXPORT char32_t decodeUTF8(std::string_view utf8, size_t& i);
TESSARY_EXPORT void appendUTF8(std::string& out, char32_t c);
TESSARY_EXPORT std::u16string fromUTF8(std::string_view utf8);
TESSARY_EXPORT std::string toUTF8(std::u16string_view units);
TESSARY_EXPORT size_t length(std::string_view utf8);
// The first `units` code units, and what follows them; an index past the end is clamped.
TESSARY_EXPORT std::string prefix(std::string_view utf8, size_t units);
TESSARY_EXPORT std::string suffixFrom(std::string_view utf8, size_t units);
// Replaces [location, location + length) in code units; out-of-range parts are clamped.
TESSARY_EXPORT std::string replaceRange(std::string_view utf8, size_t location, size_t length,
                                        std::string_view replacement);
// The byte offset of code unit `units` in valid UTF-8; nullopt between the two halves of a
// surrogate pair or past the end.
TESSARY_EXPORT std::optional<size_t> byteOffset(std::string_view validUtf8, size_t units);
// Plain code-unit order, as the platform sorts keys (uppercase before lowercase).
TESSARY_EXPORT bool lessByCodeUnits(std::string_view a, std::string_view b);

}  // namespace utf16
