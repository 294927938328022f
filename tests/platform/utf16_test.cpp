#include "platform/foundation/utf16.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf16, CountsAndCutsInCodeUnits) {
  const std::string text = "a\xc3\xa9\xf0\x9f\x92\xb6z";  // a, e-acute, a banknote emoji, z
  EXPECT_EQ(utf16::length(text), 5u);
  EXPECT_EQ(utf16::prefix(text, 2), "a\xc3\xa9");
  EXPECT_EQ(utf16::suffixFrom(text, 4), "z");
  EXPECT_EQ(utf16::suffixFrom(text, 99), "");
  EXPECT_EQ(utf16::replaceRange("12.5", 2, 1, ","), "12,5");
  EXPECT_EQ(utf16::replaceRange("12", 7, 3, "3"), "123");  // clamped to the end
  EXPECT_EQ(utf16::toUTF8(utf16::fromUTF8(text)), text);
  EXPECT_EQ(utf16::byteOffset(text, 0), 0u);
  EXPECT_EQ(utf16::byteOffset(text, 2), 3u);
  EXPECT_EQ(utf16::byteOffset(text, 3), std::nullopt);  // inside the pair
  EXPECT_EQ(utf16::byteOffset(text, 4), 7u);
  EXPECT_EQ(utf16::byteOffset(text, 5), 8u);
  EXPECT_EQ(utf16::byteOffset(text, 6), std::nullopt);
}

TEST(Utf16, SortsByCodeUnitsNotCodePoints) {
  EXPECT_TRUE(utf16::lessByCodeUnits("EUR", "eur"));
  EXPECT_TRUE(utf16::lessByCodeUnits("EUR", "EUR-USD"));
  EXPECT_FALSE(utf16::lessByCodeUnits("b", "a"));
  // U+FF21 sorts after a surrogate pair in UTF-16, before it in code points.
  EXPECT_TRUE(utf16::lessByCodeUnits("\xf0\x9f\x92\xb6", "\xef\xbc\xa1"));
}

}  // namespace
