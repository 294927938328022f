#include "platform/hostlist/bulletin_list.h"
#include "platform/uikit/ns_value.h"
#include "platform/uikit/ui_keyboard.h"
#include "widget/controller/device.h"
#include "widget/controller/flags.h"
#include "widget/controller/tessary_controller.h"
#include "widget/util/perform_block_after_delay.h"

namespace {

constexpr CGFloat kKeyboardAllowance = 20.0f;
constexpr CGFloat kListMargin = 40.0f;

float durationOf(const NSNotification& notification) {
  const auto& info = notification.userInfo();
  const id value = info ? info->objectForKey(UIKeyboardAnimationDurationUserInfoKey) : nullptr;
  return value ? value->floatValue() : 0.0f;
}

CGRect beginFrameOf(const NSNotification& notification) {
  const auto& info = notification.userInfo();
  const auto value =
      info ? kindOf<NSValue>(info->objectForKey(UIKeyboardFrameBeginUserInfoKey)) : nullptr;
  return value ? value->CGRectValue() : CGRectZero;
}

std::shared_ptr<SBBulletinListView> listView() {
  const auto list = sharedBulletinListController();
  return list ? list->listView() : nullptr;
}

bool moveTo(const std::shared_ptr<UIView>& view, CGFloat dy) {
  if (!view) return false;
  CGRect frame = view->frame();
  frame.origin.y += dy;
  view->setFrame(frame);
  return true;
}

}  // namespace

void TessaryController::keyboardWillShow(const NSNotification& notification) {
  const auto list = listView();
  const auto leftInput = leftField.lock();
  const auto rightInput = rightField.lock();
  if (!(leftInput && leftInput->isEditing()) && !(rightInput && rightInput->isEditing())) return;
  const float duration = durationOf(notification);
  const CGRect begin = beginFrameOf(notification);
  // Keyboard frames are in portrait screen coordinates: a landscape keyboard's height is the
  // rectangle's width.
  const CGFloat height = portraitmode ? begin.size.height : begin.size.width;
  if (isTablet()) return;
  const CGFloat keyboard = height - kKeyboardAllowance;
  const auto table = list ? list->tableView() : nullptr;
  const auto sliding = list ? list->slidingView() : nullptr;
  const CGRect slidingBounds = sliding ? sliding->bounds() : CGRectZero;

  UIView::animateWithDurationAnimations(duration, [&] {
    if (table && sliding) {
      const CGRect frame = table->frame();
      table->setFrame(CGRectMake(frame.origin.x, frame.origin.y, slidingBounds.size.width,
                                 slidingBounds.size.height - kListMargin - keyboard));
      if (animate) {
        for (NSInteger section = 0; section < table->numberOfSections(); ++section) {
          const NSIndexPath row = NSIndexPath::indexPathForRowInSection(0, section);
          const auto cell = table->cellForRowAtIndexPath(row);
          if (cell && cell->tag() == kWidgetCellTag) {
            table->scrollToRowAtIndexPathAtScrollPositionAnimated(row, UITableViewScrollPositionTop,
                                                                  true);
          }
        }
      }
    }
    if (dim) {
      performBlockAfterDelay(
          self(), [controller = self()] { controller->alignOverlay(); }, duration);
    }
  });
}

void TessaryController::keyboardWillHide(const NSNotification& notification) {
  const float duration = durationOf(notification);
  if (!bar) return;
  performBlockAfterDelay(
      self(),
      [controller = self()] {
        // A field that began editing again since the keyboard hid keeps its bar.
        const auto leftInput = controller->leftField.lock();
        const auto rightInput = controller->rightField.lock();
        if ((leftInput && leftInput->isEditing()) || (rightInput && rightInput->isEditing()))
          return;
        if (controller->bar) controller->bar->removeFromSuperview();
        controller->bar.reset();
      },
      duration);
  if (isTablet()) return;
  const auto list = listView();
  UIView::animateWithDurationAnimations(duration, [&] {
    const auto sliding = list ? list->slidingView() : nullptr;
    const auto table = list ? list->tableView() : nullptr;
    if (sliding && table) {
      const CGRect bounds = sliding->bounds();
      const CGRect frame = table->frame();
      table->setFrame(CGRectMake(frame.origin.x, frame.origin.y, bounds.size.width,
                                 bounds.size.height - kListMargin));
    }
    if (dim) alignOverlay();
  });
}

void TessaryController::alignOverlay() {
  const auto container = sub.lock();
  if (!dim || !_view || !container) return;
  // The root view's origin in the overlay's coordinates is where the lifted views belong.
  const CGPoint origin = dim->convertPointFromView(CGPointZero, _view.get());
  const CGFloat dy = origin.y - container->frame().origin.y;
  moveTo(container, dy);
  moveTo(_backgroundView, dy);
  // The bubble and the row are placed at the moved button as an opening places them: moved by
  // the same distance, a bubble above a button that reached the top of the list, or below one
  // that left it, would flip to the other side of its anchor and leave the row outside it.
  if (const auto bubble = callout.lock(); bubble && mini) {
    placePicker(bubble->anchorPoint().x < sideMidpoint(), false);
  } else if (bubble) {
    const CGPoint anchor = bubble->anchorPoint();
    bubble->setAnchorPointBoundaryRectAnimate(CGPointMake(anchor.x, anchor.y + dy),
                                              bubbleBoundary(dim->frame()), false);
  }
}
