#include "platform/uikit/ui_pasteboard.h"
#include "platform/uikit/ui_segmented_control.h"
#include "widget/controller/device.h"
#include "widget/controller/flags.h"
#include "widget/controller/paths.h"
#include "widget/controller/tessary_controller.h"
#include "widget/entry/amount_text.h"

void TessaryController::buildBar() {
  auto toolbar = UIToolbar::init();
  toolbar->setBarStyle(UIBarStyleBlackTranslucent);

  auto editActions = UISegmentedControl::initWithItems({"Copy", "Paste", "Clear"});
  editActions->setMomentary(true);
  editActions->setSegmentedControlStyle(UISegmentedControlStyleBar);
  editActions->setSelectedSegmentIndex(UISegmentedControlNoSegment);
  editActions->sizeToFit();
  editActions->addTarget(self(), &TessaryController::controlChanged, UIControlEventValueChanged);

  const auto swapImage =
      UIImage::imageWithContentsOfFile(std::string(paths::kBundle) + "Invert.png");
  toolbar->setItemsAnimated(
      {UIBarButtonItem::initWithTitleStyleTargetAction("Next", UIBarButtonItemStyleBordered, self(),
                                                       &TessaryController::next),
       UIBarButtonItem::flexibleSpace(),
       UIBarButtonItem::initWithImageStyleTargetAction(swapImage, UIBarButtonItemStyleBordered,
                                                       self(), &TessaryController::shuffleRates),
       UIBarButtonItem::flexibleSpace(), UIBarButtonItem::initWithCustomView(editActions),
       UIBarButtonItem::flexibleSpace(),
       UIBarButtonItem::initWithBarButtonSystemItemTargetAction(UIBarButtonSystemItemDone, self(),
                                                                &TessaryController::stopEditing)},
      true);
  bar = toolbar;
}

void TessaryController::sizeBar() {
  bar->sizeToFit();
  if (!portraitmode && !isTablet()) {
    const CGRect frame = bar->frame();
    bar->setFrame(CGRectMake(frame.origin.x, frame.origin.y, frame.size.width, 32.0f));
  }
}

void TessaryController::controlChanged(UIControl& sender) {
  const auto* control = dynamic_cast<UISegmentedControl*>(&sender);
  if (!control) return;
  const auto source = (left ? leftField : rightField).lock();
  const auto leftAmount = leftField.lock();
  const auto rightAmount = rightField.lock();
  switch (control->selectedSegmentIndex()) {
    case 0:  // Copy
      if (source && !source->text().empty()) {
        UIPasteboard::generalPasteboard().setString(source->text());
      }
      break;
    case 1: {  // Paste, always at the end, and only a whole amount text
      const auto text = UIPasteboard::generalPasteboard().string();
      if (!source || !text || text->empty() || !isAmountText(*text)) break;
      source->setText(source->text() + *text);
      // The setter fires no editing-changed event; the other side follows as it does a keystroke.
      load();
      break;
    }
    default:  // Clear
      if ((leftAmount && !leftAmount->text().empty()) ||
          (rightAmount && !rightAmount->text().empty())) {
        if (leftAmount) leftAmount->setText("");
        if (rightAmount) rightAmount->setText("");
      }
      break;
  }
}
