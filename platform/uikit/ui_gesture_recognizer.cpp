#include "platform/uikit/ui_gesture_recognizer.h"

#include "platform/uikit/ui_view.h"

void UITapGestureRecognizer::handleTap() {
  if (!enabled_ || !action_) return;
  const auto protector = weak_from_this().lock();
  if (const auto target = target_.lock()) action_(*target, *this);
}
