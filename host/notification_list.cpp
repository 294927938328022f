#include "host/notification_list.h"

#include <algorithm>
#include <cmath>

#include "host/host_views.h"

namespace {

constexpr CGFloat kSampleRowHeight = 72;
constexpr CGFloat kContentInset = 2;     // the cell's content is the screen's width minus 4
constexpr Seconds kScrollDuration{0.3};  // an animated scroll to a row (not confirmed)

struct Sample {
  const char* title;
  const char* message;
};
// The other sections of the list: enough rows that a phone's list scrolls.
constexpr Sample kSamplesAbove[] = {{"Calendar", "No more events today"}};
constexpr Sample kSamplesBelow[] = {
    {"Mail", "Maren Holt: Minutes of Tuesday's meeting"},
    {"Messages", "Ilse: See you at eight"},
    {"Reminders", "Return the library books"},
    {"Weather", "Light rain in the afternoon"},
    {"Mail", "Your order has been shipped"},
    {"Messages", "Jonas: Running ten minutes late"},
    {"Calendar", "Dentist tomorrow at 9:30"},
    {"Reminders", "Water the plants"},
};

}  // namespace

std::shared_ptr<UITableViewCell> HostTableView::cellForRowAtIndexPath(NSIndexPath path) const {
  if (path.row != 0 || path.section < 0 || path.section >= numberOfSections()) return nullptr;
  if (!isRowVisible(path.section)) return nullptr;
  return rows_[static_cast<size_t>(path.section)].cell;
}

void HostTableView::scrollToRowAtIndexPathAtScrollPositionAnimated(
    NSIndexPath path, UITableViewScrollPosition position, bool animated) {
  if (path.row != 0 || path.section < 0 || path.section >= numberOfSections()) return;
  const CGRect row = rectForSection(path.section);
  const CGFloat visible = frame().size.height;
  const CGFloat current = contentOffset().y;
  CGFloat y = current;
  switch (position) {
    case UITableViewScrollPositionTop:
      y = row.origin.y;
      break;
    case UITableViewScrollPositionMiddle:
      y = row.origin.y + row.size.height / 2 - visible / 2;
      break;
    case UITableViewScrollPositionBottom:
      y = row.origin.y + row.size.height - visible;
      break;
    case UITableViewScrollPositionNone:
      if (row.origin.y < current) {
        y = row.origin.y;
      } else if (row.origin.y + row.size.height > current + visible) {
        y = row.origin.y + row.size.height - visible;
      }
      break;
  }
  y = std::clamp(y, CGFloat{0}, maximumOffsetY());
  const CGPoint offset{contentOffset().x, y};
  if (!animated || offset == contentOffset()) {
    setContentOffset(offset);
    return;
  }
  // The model moves at once; the screen scrolls there over the list's scrolling time.
  UIView::animateWithDurationAnimations(kScrollDuration, [&] { setContentOffset(offset); });
}

NSInteger HostTableView::addSection(CGFloat height) {
  Row row;
  row.cell = construct<HostTableCell>();
  row.height = height;
  rows_.push_back(row);
  addSubview(row.cell);
  return numberOfSections() - 1;
}

void HostTableView::setRowHeight(NSInteger section, CGFloat height) {
  if (section < 0 || section >= numberOfSections()) return;
  rows_[static_cast<size_t>(section)].height = height;
}

void HostTableView::layoutRows() {
  const CGFloat width = frame().size.width;
  CGFloat y = 0;
  for (const Row& row : rows_) {
    row.cell->setFrame(CGRectMake(0, y, width, row.height));
    row.cell->contentView()->setFrame(
        CGRectMake(kContentInset, 0, width - 2 * kContentInset, row.height));
    y += row.height;
  }
  setContentSize({width, y});
}

CGRect HostTableView::rectForSection(NSInteger section) const {
  if (section < 0 || section >= numberOfSections()) return CGRectZero;
  return rows_[static_cast<size_t>(section)].cell->frame();
}

bool HostTableView::isRowVisible(NSInteger section) const {
  const CGRect row = rectForSection(section);
  if (row.size.height <= 0) return false;
  const CGFloat top = contentOffset().y;
  const CGFloat bottom = top + frame().size.height;
  return row.origin.y < bottom && row.origin.y + row.size.height > top;
}

CGFloat HostTableView::maximumOffsetY() const {
  return std::max(CGFloat{0}, contentSize().height - frame().size.height);
}

HostListView::HostListView()
    : sliding_(UIView::initWithFrame(CGRectZero)), table_(construct<HostTableView>()) {
  table_->setClipsToBounds(true);
  sliding_->addSubview(table_);
}

NotificationList::NotificationList()
    : controller_(std::make_shared<HostListController>()),
      window_(UIView::initWithFrame(CGRectZero)),
      statusBar_(construct<StatusBarView>()),
      sliding_(controller_->hostListView()->slidingView()),
      table_(controller_->hostListView()->hostTable()),
      handle_(construct<ListHandleView>()) {
  window_->setBackgroundColor(UIColor::blackColor());
  statusBar_->setBackgroundColor(UIColor::blackColor());
  handle_->setBackgroundColor(UIColor::darkGrayColor());
  window_->addSubview(statusBar_);
  window_->addSubview(sliding_);
  sliding_->addSubview(handle_);
  for (const Sample& sample : kSamplesAbove) addSampleRow(sample.title, sample.message);
  widgetSection_ = table_->addSection(0);
  for (const Sample& sample : kSamplesBelow) addSampleRow(sample.title, sample.message);
  setScreenSize(screen_);
}

NotificationList::~NotificationList() {
  if (registered_) NSClassRegistry::unregisterClass("SBBulletinListController");
}

void NotificationList::registerAsHost() {
  std::weak_ptr<HostListController> weak = controller_;
  NSClassRegistry::registerClass("SBBulletinListController",
                                 [weak]() -> std::shared_ptr<NSObject> { return weak.lock(); });
  registered_ = true;
}

void NotificationList::addSampleRow(const std::string& title, const std::string& message) {
  const NSInteger section = table_->addSection(kSampleRowHeight);
  const auto& cell = table_->rows()[static_cast<size_t>(section)].cell;
  if (const auto host = std::dynamic_pointer_cast<HostTableCell>(cell)) host->setSeparated(true);
  const auto& content = cell->contentView();
  auto titleLabel = UILabel::initWithFrame(CGRectMake(8, 8, 300, 22));
  titleLabel->setText(title);
  titleLabel->setFont(UIFont::boldSystemFontOfSize(16));
  titleLabel->setTextColor(UIColor::whiteColor());
  auto messageLabel = UILabel::initWithFrame(CGRectMake(8, 34, 300, 30));
  messageLabel->setText(message);
  messageLabel->setFont(UIFont::systemFontOfSize(14));
  messageLabel->setTextColor(UIColor::lightGrayColor());
  content->addSubview(titleLabel);
  content->addSubview(messageLabel);
}

void NotificationList::setScreenSize(CGSize size) {
  screen_ = size;
  window_->setFrame(CGRectMake(0, 0, size.width, size.height));
  statusBar_->setFrame(CGRectMake(0, 0, size.width, kStatusBarHeight));
  const CGFloat sliding = std::max(CGFloat{0}, size.height - kStatusBarHeight);
  const CGFloat table = std::max(CGFloat{0}, sliding - kHandleHeight);
  sliding_->setFrame(CGRectMake(0, kStatusBarHeight, size.width, sliding));
  // A new screen size gives the table its resting height again.
  table_->setFrame(CGRectMake(0, 0, size.width, table));
  handle_->setFrame(CGRectMake(0, table, size.width, sliding - table));
  table_->layoutRows();
  table_->setContentOffset(
      {0, std::clamp(table_->contentOffset().y, CGFloat{0}, table_->maximumOffsetY())});
  if (const auto& cell = widgetCell()) {
    const auto& content = cell->contentView();
    for (const auto& view : content->subviews()) {
      CGRect frame = view->frame();
      if (frame.size.width != widgetWidth()) {
        resizeWithAutoresizing(*view, {widgetWidth(), frame.size.height});
      }
    }
  }
}

const std::shared_ptr<UITableViewCell>& NotificationList::widgetCell() const {
  return table_->rows()[static_cast<size_t>(widgetSection_)].cell;
}

void NotificationList::placeWidgetView(const std::shared_ptr<UIView>& view, CGFloat height) {
  if (!std::isfinite(height) || height < 0) height = 0;
  table_->setRowHeight(widgetSection_, height);
  table_->layoutRows();
  const auto& content = widgetCell()->contentView();
  if (view->superview() != content) content->addSubview(view);
  CGRect frame = view->frame();
  frame.origin = CGPointZero;
  view->setFrame(frame);
  resizeWithAutoresizing(*view, {widgetWidth(), frame.size.height});
}

void NotificationList::removeWidgetView() {
  const auto& content = widgetCell()->contentView();
  const auto views = content->subviews();
  for (const auto& view : views) view->removeFromSuperview();
  table_->setRowHeight(widgetSection_, 0);
  table_->layoutRows();
  table_->setContentOffset(
      {0, std::clamp(table_->contentOffset().y, CGFloat{0}, table_->maximumOffsetY())});
}

std::shared_ptr<UIView> NotificationList::overlay() const {
  const auto& views = sliding_->subviews();
  for (auto it = views.rbegin(); it != views.rend(); ++it) {
    if (*it != std::static_pointer_cast<UIView>(table_) && *it != handle_) return *it;
  }
  return nullptr;
}

void resizeWithAutoresizing(UIView& view, CGSize size) {
  const CGRect old = view.frame();
  const CGFloat dw = size.width - old.size.width;
  const CGFloat dh = size.height - old.size.height;
  view.setFrame({old.origin, size});
  if (dw == 0 && dh == 0) return;
  for (const auto& child : view.subviews()) {
    const NSUInteger mask = child->autoresizingMask();
    CGRect frame = child->frame();
    // The change is shared equally among the flexible parts of each axis.
    const auto share = [](CGFloat delta, bool before, bool flexible, bool after, CGFloat& origin,
                          CGFloat& length) {
      const int parts = int(before) + int(flexible) + int(after);
      if (parts == 0) return;
      const CGFloat each = delta / CGFloat(parts);
      if (before) origin += each;
      if (flexible) length += each;
    };
    CGFloat width = frame.size.width, height = frame.size.height;
    share(dw, mask & UIViewAutoresizingFlexibleLeftMargin, mask & UIViewAutoresizingFlexibleWidth,
          mask & UIViewAutoresizingFlexibleRightMargin, frame.origin.x, width);
    share(dh, mask & UIViewAutoresizingFlexibleTopMargin, mask & UIViewAutoresizingFlexibleHeight,
          mask & UIViewAutoresizingFlexibleBottomMargin, frame.origin.y, height);
    if (width != frame.size.width || height != frame.size.height) {
      child->setFrame({frame.origin, {frame.size.width, frame.size.height}});
      resizeWithAutoresizing(*child, {std::max(CGFloat{0}, width), std::max(CGFloat{0}, height)});
    } else if (frame.origin != child->frame().origin) {
      child->setFrame(frame);
    }
  }
}
