// The alerts' touches: the layer that takes every touch while an alert is shown, and its
// buttons.
#include "host/draw_screen.h"
#include "host/host_views.h"

std::shared_ptr<UIView> AlertLayerView::hitTest(CGPoint point) {
  const auto& alerts = UIAlertView::visibleAlerts();
  const auto window = window_.lock();
  if (alerts.empty() || !window) return nullptr;
  setFrame(window->bounds());
  const auto children = subviews();
  for (const auto& child : children) child->removeFromSuperview();
  const auto& front = alerts.back();
  const auto frames = screen::alertButtonFrames(*front, frame().size);
  for (size_t i = 0; i < frames.size(); ++i) {
    auto button = construct<AlertButtonView>(front, static_cast<NSInteger>(i));
    button->setFrame(frames[i]);
    addSubview(button);
  }
  return UIView::hitTest(point);
}

void AlertButtonView::touchesEnded(const UITouchSet& touches, UIEvent&) {
  const auto alert = alert_.lock();
  const auto& alerts = UIAlertView::visibleAlerts();
  if (!alert || alerts.empty() || alerts.back() != alert) return;
  if (touches.empty() || !pointInside(touches.front()->locationInView(this))) return;
  alert->dismissWithClickedButtonIndex(index_);
}
