#include "platform/uikit/ui_control.h"

#include <algorithm>

#include "platform/uikit/view_description.h"

void UIControl::addAction(const std::shared_ptr<NSObject>& target, Invoke invoke,
                          UIControlEvents events) {
  if (!target || !invoke || events == 0) return;
  actions_.push_back({target, target.get(), std::move(invoke), events});
}

void UIControl::removeTarget(const NSObject* target, UIControlEvents events) {
  for (auto& action : actions_) {
    if (!target || action.key == target) action.events &= ~events;
  }
  std::erase_if(actions_, [](const Action& a) { return a.events == 0; });
}

void UIControl::sendActionsForControlEvents(UIControlEvents events) {
  // The control and its targets stay alive while the actions run, even if one of them drops
  // the view tree.
  const auto protector = weak_from_this().lock();
  const std::vector<Action> snapshot = actions_;
  for (const Action& action : snapshot) {
    if ((action.events & events) == 0) continue;
    if (auto target = action.target.lock()) action.invoke(*target, *this);
  }
}

UIControlEvents UIControl::allControlEvents() const {
  UIControlEvents all = 0;
  for (const auto& action : actions_) all |= action.events;
  return all;
}

void UIControl::describe(ViewDescription& out) const {
  UIView::describe(out);
  out.boolean("highlighted", isHighlighted());
  out.boolean("enabled", isEnabled());
}
