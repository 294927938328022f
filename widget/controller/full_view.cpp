#include "platform/foundation/file_manager.h"
#include "platform/uikit/ui_keyboard.h"
#include "widget/controller/device.h"
#include "widget/controller/flags.h"
#include "widget/controller/paths.h"
#include "widget/controller/settings.h"
#include "widget/controller/tessary_controller.h"
#include "widget/picker/catalogue.h"
#include "widget/rates/rate_store.h"
#include "widget/util/store_file.h"

namespace {

std::shared_ptr<UIImage> bundleImage(const char* name) {
  return UIImage::imageWithContentsOfFile(std::string(paths::kBundle) + name);
}

// The rate store's files and the recent pair's, before the full view reads them.
void createRateAndRecentFiles() {
  rate_store::createMissingFiles();
  store_file::createIfMissing(paths::kRecent);
}

// A currency's name under its field in detail mode; a code the catalogue lacks gives an empty
// label.
void showCurrencyName(UILabel& label, NSTextAlignment alignment, const std::string& code) {
  label.setTextAlignment(alignment);
  label.setBackgroundColor(UIColor::clearColor());
  label.setTextColor(UIColor::whiteColor());
  label.setFont(UIFont::systemFontOfSize(11));
  label.setMinimumFontSize(8);
  label.setShadowColor(UIColor::darkTextColor());
  label.setShadowOffset(CGSizeMake(-1, 1));
  label.setText(catalogue::nameForCode(code).value_or(""));
}

// What detail mode adds: the currencies' names and the shuffle, refresh and clear buttons.
struct DetailControls {
  std::shared_ptr<UILabel> leftName, rightName;
  std::shared_ptr<UIButton> shuffle, refresh, clear;
};

// Places the detail controls around the two fields, whose frames are `l` and `r`.
void placeDetailControls(const DetailControls& detail, CGRect l, CGRect r, bool wide) {
  detail.rightName->setFrame(CGRectMake(r.origin.x + 1, 37, l.size.width - 1, 15));
  detail.leftName->setFrame(CGRectMake(8, 37, l.size.width - 1, 15));
  const CGFloat inset = wide ? 80 : 20;
  const CGSize s = detail.shuffle->frame().size, c = detail.clear->frame().size,
               f = detail.refresh->frame().size;
  detail.shuffle->setFrame(CGRectMake(r.origin.x + inset, -5, s.width, s.height));
  detail.clear->setFrame(CGRectMake(r.origin.x - 32, -5, c.width, c.height));
  detail.refresh->setFrame(
      CGRectMake(l.origin.x + l.size.width - inset - f.width, -5, f.width, f.height));
}

// The "=" between the fields, centred on `centre` and moved down in detail mode.
std::shared_ptr<UILabel> makeEqualsLabel(CGPoint centre, bool detail) {
  auto equals = UILabel::initWithFrame(CGRectZero);
  equals->setTextAlignment(NSTextAlignmentCenter);
  equals->setBackgroundColor(UIColor::clearColor());
  equals->setTextColor(UIColor::whiteColor());
  equals->setFont(UIFont::systemFontOfSize(25));
  equals->setShadowOffset(CGSizeMake(-1, 1));
  equals->setShadowColor(UIColor::darkTextColor());
  equals->setText("=");
  equals->sizeToFit();
  equals->setCenter(CGPointMake(centre.x, centre.y + (detail ? 20 : -2)));
  return equals;
}

}  // namespace

std::shared_ptr<UIButton> TessaryController::makeImageButton(const char* image,
                                                             void (TessaryController::*action)()) {
  auto button = UIButton::buttonWithType(UIButtonTypeCustom);
  button->setShowsTouchWhenHighlighted(true);
  button->addTarget(self(), action, UIControlEventTouchUpInside);
  button->addGestureRecognizer(UITapGestureRecognizer::initWithTargetAction(self(), action));
  button->setBackgroundImageForState(bundleImage(image), UIControlStateNormal);
  button->sizeToFit();
  return button;
}

void TessaryController::loadFullView() {
  if (!_view) return;  // legal only after loadPlaceholderView

  createRateAndRecentFiles();
  auto container = UIView::initWithFrame(_view->frame());
  container->setBackgroundColor(UIColor::clearColor());
  sub = container;
  const bool detail = detailMode;

  DetailControls extra;
  if (detail) {
    extra.leftName = UILabel::initWithFrame(CGRectZero);
    extra.rightName = UILabel::initWithFrame(CGRectZero);
    extra.shuffle = makeImageButton("UIInvert.png", &TessaryController::shuffleBut);
    container->addSubview(extra.shuffle);
    extra.refresh = makeImageButton("Refresh.png", &TessaryController::reloadRate);
    container->addSubview(extra.refresh);
    extra.clear = makeImageButton("Clear.png", &TessaryController::clearFields);
    container->addSubview(extra.clear);
    leftDetail = extra.leftName;
    rightDetail = extra.rightName;
    shuffle = extra.shuffle;
    refresh = extra.refresh;
    clear = extra.clear;
  }

  auto leftCode = UIButton::buttonWithType(UIButtonTypeCustom);
  auto rightCode = UIButton::buttonWithType(UIButtonTypeCustom);
  leftCode->setFrame(CGRectMake(7, 5, 48, 30));

  // Narrow on a phone in portrait, wide in landscape and on a tablet; detail fields grow by 53.
  const bool wide = !portraitmode || isTablet();
  const CGFloat fieldWidth = (wide ? 170 : 90) + (detail ? 53 : 0);
  const CGFloat fieldTop = detail ? 53 : 8;
  const CGFloat rightX = wide ? 250 : 170;
  auto leftInput =
      UITextField::initWithFrame(CGRectMake(detail ? 7 : 60, fieldTop, fieldWidth, 26));
  auto right = UITextField::initWithFrame(CGRectMake(rightX, fieldTop, fieldWidth, 26));
  rightCode->setFrame(CGRectMake(wide ? 425 : 265, 5, 48, 30));

  if (detail) placeDetailControls(extra, leftInput->frame(), right->frame(), wide);

  // The container's centre in the root view's coordinates, used as a point inside it.
  const auto equals = makeEqualsLabel(container->center(), detail);
  container->addSubview(equals);
  eq = equals;

  leftInput->setBorderStyle(UITextBorderStyleRoundedRect);
  for (const auto& field : {leftInput, right}) {
    field->addTarget(self(), &TessaryController::load, UIControlEventEditingChanged);
    field->setKeyboardType(isTablet() ? UIKeyboardTypeNumberPad : UIKeyboardTypeDecimalPad);
  }
  right->setBorderStyle(UITextBorderStyleRoundedRect);
  container->addSubview(right);
  container->addSubview(leftInput);
  leftField = leftInput;
  rightField = right;

  const auto buttonBackground = bundleImage("ButtonBG.png");
  leftCode->setBackgroundImageForState(buttonBackground, UIControlStateNormal);

  const auto recent = catalogue::restorePair();
  const auto preferences = settings::read();
  if (!settings::clear(preferences.get())) {
    if (const auto text = catalogue::recentString(recent.get(), "leftText"))
      leftInput->setText(*text);
    if (const auto text = catalogue::recentString(recent.get(), "rightText")) right->setText(*text);
  }
  animate = settings::autoScroll(preferences.get(), animate);
  decimalPlaces = settings::decimal(preferences.get());
  exclude = settings::excludeCodes(preferences.get(), exclude);

  if (const auto code = catalogue::recentString(recent.get(), "left")) {
    leftCode->setTitleForState(*code, UIControlStateNormal);
  }
  leftCode->addGestureRecognizer(
      UITapGestureRecognizer::initWithTargetAction(self(), &TessaryController::tapLeft));
  leftInput->setDelegate(self());
  right->setDelegate(self());
  for (const auto& button : {leftCode, rightCode}) {
    button->titleLabel()->setShadowOffset(CGSizeMake(-1, 1));
    button->titleLabel()->setShadowColor(UIColor::darkTextColor());
  }
  if (const auto code = catalogue::recentString(recent.get(), "right")) {
    rightCode->setTitleForState(*code, UIControlStateNormal);
  }
  rightCode->addGestureRecognizer(
      UITapGestureRecognizer::initWithTargetAction(self(), &TessaryController::tapRight));
  rightCode->setBackgroundImageForState(buttonBackground, UIControlStateNormal);

  if (detail) {
    showCurrencyName(*extra.leftName, NSTextAlignmentLeft, leftCode->titleLabel()->text());
    container->addSubview(extra.leftName);
    showCurrencyName(*extra.rightName, NSTextAlignmentRight, rightCode->titleLabel()->text());
    container->addSubview(extra.rightName);
  }

  container->addSubview(rightCode);
  container->addSubview(leftCode);
  rightButton = rightCode;
  leftButton = leftCode;

  container->setAlpha(0);
  _view->addSubview(container);
  UIView::animateWithDurationAnimations(0.2, [container] { container->setAlpha(1); });

  auto& center = NSNotificationCenter::defaultCenter();
  center.addObserver(self(), &TessaryController::keyboardWillShow, UIKeyboardWillShowNotification);
  center.addObserver(self(), &TessaryController::keyboardWillHide, UIKeyboardWillHideNotification);

  if (animate) {
    const auto parent = _view->superview();
    if (const auto cell = parent ? parent->superview() : nullptr) cell->setTag(kWidgetCellTag);
  }
}
