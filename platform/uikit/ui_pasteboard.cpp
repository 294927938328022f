#include "platform/uikit/ui_pasteboard.h"

UIPasteboard& UIPasteboard::generalPasteboard() {
  static UIPasteboard pasteboard;
  return pasteboard;
}
