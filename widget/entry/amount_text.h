#pragma once

#include <string_view>

// The amount characters "0123456789.,", the only ones typing and pasting let into a field.
// A text is taken or refused whole.
inline bool isAmountText(std::string_view text) {
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == ',')) return false;
  }
  return true;
}
