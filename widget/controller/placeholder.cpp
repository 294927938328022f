#include <cmath>

#include "platform/hostlist/bulletin_list.h"
#include "widget/controller/flags.h"
#include "widget/controller/paths.h"
#include "widget/controller/settings.h"
#include "widget/controller/tessary_controller.h"

namespace {
constexpr float kCompactHeight = 40.0f;
constexpr float kDetailHeight = 85.0f;
constexpr CGFloat kRowWidth = 316;
}  // namespace

float TessaryController::viewHeight() {
  detailMode = settings::detail();
  return detailMode ? kDetailHeight : kCompactHeight;
}

void TessaryController::loadPlaceholderView() {
  const float height = viewHeight();
  _view = UIView::initWithFrame(CGRectMake(CGPointZero.x, CGPointZero.y, kRowWidth, height));
  _view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);

  auto image = UIImage::imageWithContentsOfFile(std::string(paths::kBundle) + "Background.png");
  if (image) {
    // Only the middle column and row stretch.
    image = image->stretchableImageWithLeftCapWidthTopCapHeight(
        static_cast<NSInteger>(std::floor(image->size().width / 2)),
        static_cast<NSInteger>(std::floor(image->size().height / 2)));
  }
  _backgroundView = UIImageView::initWithImage(image);
  _backgroundView->setFrame(CGRectInset(_view->bounds(), 2.0f, 0.0f));
  _backgroundView->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
  _view->addSubview(_backgroundView);
}

void TessaryController::willRotateToInterfaceOrientation(int orientation) {
  // Portrait and upside down are 1 and 2; every other value, 0 and negatives too, is not.
  // The subtraction is unsigned: the lowest int has no signed predecessor.
  portraitmode = static_cast<unsigned>(orientation) - 1u < 2u ? YES : NO;
}

void TessaryController::didRotateFromInterfaceOrientation(int) {
  if (!dim || !dim->superview()) return;
  const auto list = sharedBulletinListController();
  const auto listView = list ? list->listView() : nullptr;
  const auto sliding = listView ? listView->slidingView() : nullptr;
  // The overlay lies on the sliding view, so it takes the sliding view's own space; its frame
  // would leave the top of the list undimmed and push the overlay off the bottom.
  if (sliding) dim->setFrame(sliding->bounds());
  keepRowReachable();
}
