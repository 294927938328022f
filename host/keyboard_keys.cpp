#include "host/keyboard_keys.h"

#include <cmath>

namespace keypad {
std::vector<Key> keys(UIKeyboardType type, CGSize size, bool tablet) {
  std::vector<Key> result;
  if (!(size.width > 0) || !(size.height > 0)) return result;
  const auto add = [&](Key::Kind kind, std::string label, CGFloat x, CGFloat y, CGFloat w,
                       CGFloat h) {
    result.push_back({kind, std::move(label), CGRectMake(x, y, w, h)});
  };
  if (tablet) {
    static const char* const kRows[2][11] = {
        {"1", "2", "3", "4", "5", "6", "7", "8", "9", "0", ""},
        {"-", "/", ":", ";", "(", ")", "$", "&", "@", ".", ","}};
    const CGFloat gap = 12;
    const CGFloat w = (size.width - gap * 12) / 11;
    const CGFloat h = (size.height - gap * 5) / 4;
    for (int row = 0; row < 2; ++row) {
      for (int column = 0; column < 11; ++column) {
        const bool del = row == 0 && column == 10;
        add(del ? Key::Kind::Delete : Key::Kind::Character, kRows[row][column],
            gap + column * (w + gap), gap + row * (h + gap), w, h);
      }
    }
    add(Key::Kind::Character, "!", gap, gap + 2 * (h + gap), w, h);
    add(Key::Kind::Character, "?", gap + (w + gap), gap + 2 * (h + gap), w, h);
    add(Key::Kind::Character, " ", gap + 3 * (w + gap), gap + 3 * (h + gap), 5 * w + 4 * gap, h);
    return result;
  }
  static const char* const kPad[4][3] = {
      {"1", "2", "3"}, {"4", "5", "6"}, {"7", "8", "9"}, {".", "0", ""}};
  const CGFloat w = size.width / 3;
  const CGFloat h = size.height / 4;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 3; ++column) {
      Key::Kind kind = Key::Kind::Character;
      std::string label = kPad[row][column];
      if (row == 3 && column == 2) kind = Key::Kind::Delete;
      if (row == 3 && column == 0 && type != UIKeyboardTypeDecimalPad) {
        kind = Key::Kind::Blank;
        label.clear();
      }
      add(kind, label, std::floor(column * w), std::floor(row * h),
          std::floor((column + 1) * w) - std::floor(column * w),
          std::floor((row + 1) * h) - std::floor(row * h));
    }
  }
  return result;
}
}  // namespace keypad
