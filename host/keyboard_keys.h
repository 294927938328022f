#pragma once
// Interim: the key layout the renderer's keyboard drawing brings; goes when it lands.
#include <string>
#include <vector>

#include "platform/uikit/geometry.h"
#include "platform/uikit/ui_text_field.h"

namespace keypad {
struct Key {
  enum class Kind { Character, Delete, Blank };
  Kind kind = Kind::Character;
  std::string label;
  CGRect frame;
};
std::vector<Key> keys(UIKeyboardType type, CGSize size, bool tablet);
}  // namespace keypad
