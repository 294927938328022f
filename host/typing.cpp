// Typing into the first responder, as its keyboard and edit menu do: at the end of its text,
// where the cursor stands.
#include "host/simulator.h"
#include "platform/foundation/utf16.h"
#include "platform/uikit/ui_pasteboard.h"
#include "platform/uikit/ui_text_field.h"

namespace {

// The code units of the text's last character: two for one outside the basic plane.
NSUInteger lastCharacterUnits(std::string_view text) {
  char32_t last = 0;
  for (size_t i = 0; i < text.size();) last = utf16::decodeUTF8(text, i);
  return last >= 0x10000 ? 2 : 1;
}

}  // namespace

std::string Simulator::type(const std::string& text) {
  const auto field = UITextField::firstResponder();
  if (!field) return "type: no first responder";
  // One key per character, at the end; the field keeps its length, so no key counts the
  // whole text again.
  for (size_t i = 0; i < text.size();) {
    std::string key;
    utf16::appendUTF8(key, utf16::decodeUTF8(text, i));
    field->replaceRangeByUser(NSMakeRange(field->textLength(), 0), key);
  }
  return {};
}

std::string Simulator::backspace(long count) {
  const auto field = UITextField::firstResponder();
  if (!field) return "backspace: no first responder";
  for (long i = 0; i < count; ++i) {
    const std::string& text = field->text();
    if (text.empty()) break;
    const NSUInteger units = lastCharacterUnits(text);
    field->replaceRangeByUser(NSMakeRange(field->textLength() - units, units), "");
  }
  return {};
}

std::string Simulator::paste(const std::string& text) {
  const auto field = UITextField::firstResponder();
  if (!field) return "paste: no first responder";
  field->replaceRangeByUser(NSMakeRange(field->textLength(), 0), text);
  return {};
}

std::string Simulator::setPasteboard(const std::string& text) {
  UIPasteboard::generalPasteboard().setString(text);
  return {};
}
