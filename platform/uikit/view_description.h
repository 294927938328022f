#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "platform/foundation/objc.h"
#include "platform/uikit/geometry.h"

class UIColor;
class UIFont;
class UIImage;

// Where a view writes its properties (UIView::describe), key by key in the order given. A
// reader such as the host's dump decides how they are stored; views know nothing of it.
class TESSARY_EXPORT ViewDescription {
 public:
  virtual ~ViewDescription() = default;

  virtual void string(std::string_view key, std::string_view value) = 0;
  virtual void null(std::string_view key) = 0;
  virtual void boolean(std::string_view key, bool value) = 0;
  virtual void integer(std::string_view key, int64_t value) = 0;
  virtual void real(std::string_view key, CGFloat value) = 0;
  // Reals as one array: a point, a size, a rectangle, a colour.
  virtual void reals(std::string_view key, std::initializer_list<CGFloat> values) = 0;
  virtual void strings(std::string_view key, std::span<const std::string> values) = 0;

  // An array of objects: each entry is begun, described with the calls above and ended; an
  // entry that is not there is written as a null entry.
  virtual void beginEntries(std::string_view key) = 0;
  virtual void beginEntry() = 0;
  virtual void endEntry() = 0;
  virtual void nullEntry() = 0;
  virtual void endEntries() = 0;

  // [x, y, width, height], [x, y] and [width, height].
  void rect(std::string_view key, CGRect value);
  void point(std::string_view key, CGPoint value);
  void size(std::string_view key, CGSize value);
  // [red, green, blue, alpha], or null for no colour.
  void color(std::string_view key, const UIColor* value);
  // The point size, or null for no font.
  void font(std::string_view key, const UIFont* value);
  // The image's file name, or null for no image.
  void image(std::string_view key, const UIImage* value);
};
