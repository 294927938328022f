#pragma once

#include <string>
#include <string_view>

#include "platform/foundation/objc.h"

// The platform's readings of numbers out of strings and its writing of numbers into strings.
// None of them depends on the process locale.
namespace number_text {

// Leading white space as the platform skips it: codes below 0x21, 0x7F-0xA0, U+2000-U+200B
// and U+3000. Returns the offset of the first other byte.
TESSARY_EXPORT size_t skipWhiteSpace(std::string_view utf8);

// The longest leading decimal number (sign, digits, point, fraction, exponent); "inf", "nan"
// and hex read as 0; overflow gives +-HUGE_VAL and underflow 0.
TESSARY_EXPORT double doubleValue(std::string_view text);
TESSARY_EXPORT float floatValue(std::string_view text);
// Optional sign (white space may follow it), decimal digits; saturates at INT_MAX/INT_MIN.
TESSARY_EXPORT int intValue(std::string_view text);
// Y, y, T, t, or a sign, zeros and a digit 1-9.
TESSARY_EXPORT BOOL boolValue(std::string_view text);

// "%.Nf": correctly rounded from the binary value, a point, "inf", "-inf" and "nan".
TESSARY_EXPORT std::string formatFixed(double value, int fractionDigits);
// "%i".
TESSARY_EXPORT std::string formatInt(long long value);

}  // namespace number_text
