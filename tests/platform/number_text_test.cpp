#include "platform/foundation/number_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/foundation/format.h"
#include "platform/foundation/values.h"
#include "tests/support/test_environment.h"

namespace {

TEST(NumberText, DoubleValueTakesTheLongestLeadingDecimalNumber) {
  using number_text::doubleValue;
  EXPECT_EQ(doubleValue("1,5"), 1.0);
  EXPECT_EQ(doubleValue("- 5"), 0.0);
  EXPECT_EQ(doubleValue("1e"), 1.0);
  EXPECT_EQ(doubleValue("1.2.3.4"), 1.2);
  EXPECT_EQ(doubleValue("2e3.12"), 2000.0);
  EXPECT_EQ(doubleValue(".5"), 0.5);
  EXPECT_EQ(doubleValue("+.5x"), 0.5);
  EXPECT_EQ(doubleValue("1.0843\n"), 1.0843);
  EXPECT_EQ(doubleValue("."), 0.0);
  EXPECT_EQ(doubleValue(""), 0.0);
  // No infinities, NaNs or hex: glibc would take them.
  EXPECT_EQ(doubleValue("inf"), 0.0);
  EXPECT_EQ(doubleValue("nan"), 0.0);
  EXPECT_EQ(doubleValue("0x1A"), 0.0);
  EXPECT_EQ(doubleValue("1e999"), HUGE_VAL);
  EXPECT_EQ(doubleValue("-1e999"), -HUGE_VAL);
  EXPECT_EQ(doubleValue("1e-999"), 0.0);
}

TEST(NumberText, WhiteSpaceIsSkippedAsThePlatformDefinesIt) {
  using number_text::doubleValue;
  EXPECT_EQ(doubleValue(" \t\n\x7f"
                        "3"),
            3.0);
  EXPECT_EQ(doubleValue("\xc2\xa0"
                        "4"),
            4.0);  // U+00A0
  EXPECT_EQ(doubleValue("\xe2\x80\x8b"
                        "5"),
            5.0);  // U+200B
  EXPECT_EQ(doubleValue("\xe3\x80\x80"
                        "6"),
            6.0);  // U+3000
  EXPECT_EQ(doubleValue("\xe2\x80\x8c"
                        "7"),
            0.0);                               // U+200C is not white space
  EXPECT_EQ(doubleValue("\xef\xbc\x91"), 0.0);  // a full-width digit is no digit
}

// A locale with a decimal comma, compiled into a temporary folder that LOCPATH points at, so
// the test needs no locale installed system-wide.
bool useDecimalCommaLocale(const std::string& folder) {
  const std::string command =
      "localedef -i de_DE -f UTF-8 '" + folder + "/de_DE.UTF-8' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0 && !std::filesystem::exists(folder + "/de_DE.UTF-8")) {
    return false;
  }
  setenv("LOCPATH", folder.c_str(), 1);
  return std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
}

TEST(NumberText, ReadingsIgnoreTheProcessLocale) {
  const tessary::test::TempDeviceRoot folder;
  if (!useDecimalCommaLocale(folder.path())) {
    GTEST_SKIP() << "localedef or the de_DE locale source is not installed";
  }
  char printed[16];
  std::snprintf(printed, sizeof printed, "%.1f", 1.5);
  ASSERT_STREQ(printed, "1,5");  // the process really formats with a comma now
  EXPECT_EQ(number_text::doubleValue("1.5"), 1.5);
  EXPECT_EQ(number_text::doubleValue("1,5"), 1.0);
  EXPECT_EQ(number_text::doubleValue("1e999"), HUGE_VAL);
  EXPECT_EQ(number_text::formatFixed(2.5, 2), "2.50");
  EXPECT_EQ(stringWithFormat("%.2f", {0.375}), "0.38");
  std::setlocale(LC_NUMERIC, "C");
  unsetenv("LOCPATH");
}

TEST(NumberText, IntValueReadsDecimalDigitsAndSaturates) {
  using number_text::intValue;
  EXPECT_EQ(intValue("  42abc"), 42);
  EXPECT_EQ(intValue("- 7"), -7);
  EXPECT_EQ(intValue("++123"), 0);
  EXPECT_EQ(intValue("0x1234"), 0);
  EXPECT_EQ(intValue("2.9"), 2);
  EXPECT_EQ(intValue("99999999999999999999"), INT_MAX);
  EXPECT_EQ(intValue("-99999999999999999999"), INT_MIN);
  EXPECT_EQ(intValue("-2147483648"), INT_MIN);
}

TEST(NumberText, BoolValueOfStrings) {
  using number_text::boolValue;
  for (const char* yes : {"Y", "yes", "t", "True", "+000009", " 1", "-5"}) {
    EXPECT_EQ(boolValue(yes), YES) << yes;
  }
  for (const char* no : {"", "N", "false", "+t", "-00000", "0t", "++", "0", "  "}) {
    EXPECT_EQ(boolValue(no), NO) << no;
  }
}

TEST(NumberText, FormatFixedRoundsTheExactBinaryValue) {
  using number_text::formatFixed;
  EXPECT_EQ(formatFixed(2.675, 2), "2.67");
  EXPECT_EQ(formatFixed(0.125, 2), "0.12");
  EXPECT_EQ(formatFixed(0.375, 2), "0.38");
  EXPECT_EQ(formatFixed(-0.001, 2), "-0.00");
  EXPECT_EQ(formatFixed(25.0, 0), "25");
  EXPECT_EQ(formatFixed(1e20, 2), "100000000000000000000.00");
  EXPECT_EQ(formatFixed(INFINITY, 2), "inf");
  EXPECT_EQ(formatFixed(-INFINITY, 2), "-inf");
  EXPECT_EQ(formatFixed(-NAN, 2), "nan");
  EXPECT_EQ(formatFixed(1.0, 20), "1.00000000000000000000");
}

TEST(NumberText, StringWithFormatFillsTheWidgetsConversions) {
  EXPECT_EQ(stringWithFormat("%@-%@", {"EUR", "USD"}), "EUR-USD");
  EXPECT_EQ(stringWithFormat("%.2f", {25.0}), "25.00");
  EXPECT_EQ(stringWithFormat("%.0f", {2.5}), "2");
  EXPECT_EQ(stringWithFormat("%@\n%@", {NSStr("Rate"), NSNumber::numberWithDouble(1.25)}),
            "Rate\n1.25");
  EXPECT_EQ(stringWithFormat("%@", {std::shared_ptr<NSString>()}), "(null)");
  EXPECT_EQ(stringWithFormat("%i%%", {50}), "50%");
  EXPECT_EQ(stringWithFormat("%@ and %@", {"one"}), "one and ");
}

TEST(Values, NumbersReadAsThePlatformReadsThem) {
  EXPECT_EQ(NSNumber::numberWithDouble(2.7)->intValue(), 2);
  EXPECT_EQ(NSNumber::numberWithDouble(-2.7)->intValue(), -2);
  EXPECT_EQ(NSNumber::numberWithDouble(1e300)->intValue(), INT_MAX);
  EXPECT_EQ(NSNumber::numberWithDouble(NAN)->intValue(), 0);
  EXPECT_EQ(NSNumber::numberWithDouble(0.5)->boolValue(), NO);
  EXPECT_EQ(NSNumber::numberWithDouble(-1.5)->boolValue(), YES);
  EXPECT_EQ(NSNumber::numberWithBool(true)->intValue(), 1);
  EXPECT_EQ(NSNumber::numberWithBool(false)->doubleValue(), 0.0);
  EXPECT_EQ(NSNumber::numberWithInteger(5000000000)->intValue(), INT_MAX);
  EXPECT_EQ(NSNumber::numberWithInteger(7)->floatValue(), 7.0f);
  EXPECT_EQ(NSNumber::numberWithUnsignedInteger(UINT64_MAX)->boolValue(), YES);
}

TEST(Values, OtherKindsReadAsZeroOrNo) {
  const std::vector<id> others = {
      std::make_shared<NSArray>(std::vector<id>{NSStr("1")}),
      std::make_shared<NSDictionary>(NSDictionary::Storage{{"a", NSStr("1")}}),
      NSData::dataWithBytes("1"), NSDate::dateWithTimeIntervalSinceReferenceDate(5)};
  for (const id& other : others) {
    EXPECT_EQ(other->boolValue(), NO);
    EXPECT_EQ(other->intValue(), 0);
    EXPECT_EQ(other->floatValue(), 0.0f);
    EXPECT_EQ(other->doubleValue(), 0.0);
  }
}

TEST(Values, StringsFromDataMustBeUTF8) {
  EXPECT_EQ(NSString::stringWithUTF8Data("1.08\n")->UTF8String(), "1.08\n");
  EXPECT_EQ(NSString::stringWithUTF8Data("\xff"
                                         "1.0"),
            nullptr);
  EXPECT_EQ(NSString::stringWithUTF8Data("\xc0\xaf"), nullptr);      // overlong
  EXPECT_EQ(NSString::stringWithUTF8Data("\xed\xa0\x80"), nullptr);  // surrogate
  EXPECT_NE(NSString::stringWithUTF8Data("\xef\xbf\xbd"), nullptr);  // U+FFFD itself
  EXPECT_EQ(NSStr("\xf0\x9f\x92\xb6"
                  "1")
                ->length(),
            3u);  // a pair and a digit
}

}  // namespace
