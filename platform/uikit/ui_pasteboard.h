#pragma once

#include <optional>
#include <string>

#include "platform/foundation/objc.h"

// The general pasteboard. It holds plain text, or something else (an image, say), or nothing;
// only text answers `string`.
class TESSARY_EXPORT UIPasteboard {
 public:
  static UIPasteboard& generalPasteboard();
  std::optional<std::string> string() const { return text_; }
  void setString(std::string text) {
    text_ = std::move(text);
    holdsOther_ = false;
  }
  // Something that is not text, as an image copied elsewhere.
  void setNonTextItem() {
    text_.reset();
    holdsOther_ = true;
  }
  bool holdsNonTextItem() const { return holdsOther_; }
  void clear() {
    text_.reset();
    holdsOther_ = false;
  }

 private:
  std::optional<std::string> text_;
  bool holdsOther_ = false;
};
