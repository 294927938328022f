#include "platform/foundation/utf16.h"
#include "platform/hostlist/bulletin_list.h"
#include "platform/uikit/ns_value.h"
#include "platform/uikit/ui_application.h"
#include "platform/uikit/ui_device.h"
#include "platform/uikit/ui_keyboard.h"
#include "platform/uikit/ui_pasteboard.h"
#include "platform/uikit/ui_segmented_control.h"
#include "tests/widget/widget_fixture.h"

namespace tessary::test {
namespace {

// A host list for the tests: sections whose row-0 cells are loaded or not, and a record of
// the scrolls asked for.
struct TestTable : UITableView {
  explicit TestTable(PassKey<TestTable>) {}
  std::vector<std::shared_ptr<UITableViewCell>> cells;  // null: the row is not loaded
  std::vector<NSInteger> scrolledTo;
  NSInteger numberOfSections() const override { return static_cast<NSInteger>(cells.size()); }
  std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(NSIndexPath path) const override {
    return path.row == 0 && path.section < numberOfSections() ? cells[path.section] : nullptr;
  }
  void scrollToRowAtIndexPathAtScrollPositionAnimated(NSIndexPath path, UITableViewScrollPosition,
                                                      bool) override {
    scrolledTo.push_back(path.section);
  }
};
struct TestListView : SBBulletinListView {
  std::shared_ptr<UIView> sliding = UIView::initWithFrame(CGRectMake(0, 20, 320, 460));
  std::shared_ptr<TestTable> table = construct<TestTable>();
  std::shared_ptr<UIView> slidingView() const override { return sliding; }
  std::shared_ptr<UITableView> tableView() const override { return table; }
};
struct TestList : SBBulletinListController {
  std::shared_ptr<TestListView> view = std::make_shared<TestListView>();
  std::shared_ptr<SBBulletinListView> listView() const override { return view; }
};

class Entry : public WidgetTest {
 protected:
  Entry() {
    for (const auto& field : {leftField, rightField}) {
      field->setDelegate(controller);
      field->addTarget(controller, &TessaryController::load, UIControlEventEditingChanged);
    }
    UIPasteboard::generalPasteboard().clear();
    UIDevice::currentDevice().setKind(UIDevice::Kind::Phone);
    UIApplication::sharedApplication().setStatusBarOrientation(UIInterfaceOrientationPortrait);
    list->view->table->setFrame(CGRectMake(0, 0, 320, 420));
    NSClassRegistry::registerClass("SBBulletinListController", [this] { return list; });
    auto& center = NSNotificationCenter::defaultCenter();
    center.addObserver(controller, &TessaryController::keyboardWillShow,
                       UIKeyboardWillShowNotification);
    center.addObserver(controller, &TessaryController::keyboardWillHide,
                       UIKeyboardWillHideNotification);
  }
  ~Entry() override {
    NSClassRegistry::unregisterClass("SBBulletinListController");
    UITextField::firstResponder() ? (void)UITextField::firstResponder()->resignFirstResponder()
                                  : void();
    NSNotificationCenter::defaultCenter().removeObserver(controller.get());
    UIDevice::currentDevice().setKind(UIDevice::Kind::Phone);
    UIApplication::sharedApplication().setStatusBarOrientation(UIInterfaceOrientationPortrait);
  }

  bool type(UITextField& field, const std::string& text) {
    return field.replaceRangeByUser(NSMakeRange(utf16::length(field.text()), 0), text);
  }
  void tapSegment(NSUInteger index) {
    auto segments =
        std::dynamic_pointer_cast<UISegmentedControl>(controller->bar->items()[4]->customView());
    segments->touchSegment(index);
  }
  void post(const char* name, CGRect begin, double duration) {
    NSNotificationCenter::defaultCenter().postNotificationName(
        name, nullptr,
        std::make_shared<NSDictionary>(NSDictionary::Storage{
            {UIKeyboardFrameBeginUserInfoKey, NSValue::valueWithCGRect(begin)},
            {UIKeyboardAnimationDurationUserInfoKey, NSNumber::numberWithDouble(duration)}}));
  }
  CGRect tableFrame() const { return list->view->table->frame(); }

  std::shared_ptr<TestList> list = std::make_shared<TestList>();
};

TEST_F(Entry, OnlyAmountCharactersAreTypedAndTheEditedFieldBecomesTheSource) {
  storeRate("EUR-USD", "2", 0.1);
  EXPECT_TRUE(type(*leftField, "7"));
  EXPECT_EQ(rightField->text(), "14.00");
  for (const char* refused : {"-", " ", "e", "\xef\xbc\x91", "12.50 EUR", "+"}) {
    EXPECT_FALSE(type(*leftField, refused)) << refused;
  }
  EXPECT_EQ(leftField->text(), "7");
  EXPECT_TRUE(type(*leftField, "12.50"));
  EXPECT_TRUE(type(*leftField, ",,"));
  EXPECT_EQ(leftField->text(), "712.50,,");

  EXPECT_FALSE(type(*rightField, "x"));  // a refused key still moves the source side
  EXPECT_EQ(left, NO);
  left = YES;
  EXPECT_TRUE(leftField->replaceRangeByUser(NSMakeRange(0, 99), ""));  // deletion
  EXPECT_EQ(rightField->text(), "");
}

TEST_F(Entry, BeginEditingBuildsOneSharedBarAndNextAlternates) {
  ASSERT_TRUE(leftField->becomeFirstResponder());
  EXPECT_EQ(editing, YES);
  EXPECT_EQ(left, YES);
  ASSERT_NE(controller->bar, nullptr);
  EXPECT_EQ(leftField->inputAccessoryView(), controller->bar);
  EXPECT_EQ(controller->bar->barStyle(), UIBarStyleBlackTranslucent);
  EXPECT_EQ(controller->bar->frame().size.height, 44);
  const auto& items = controller->bar->items();
  ASSERT_EQ(items.size(), 7u);
  EXPECT_EQ(items[0]->title(), "Next");
  EXPECT_TRUE(items[1]->isFlexibleSpace() && items[3]->isFlexibleSpace() &&
              items[5]->isFlexibleSpace());
  EXPECT_EQ(items[6]->systemItem(), UIBarButtonSystemItemDone);
  const auto segments = std::dynamic_pointer_cast<UISegmentedControl>(items[4]->customView());
  ASSERT_NE(segments, nullptr);
  EXPECT_TRUE(segments->isMomentary());
  EXPECT_EQ(segments->selectedSegmentIndex(), UISegmentedControlNoSegment);
  EXPECT_EQ(segments->titleForSegmentAtIndex(1), "Paste");

  const auto first = controller->bar;
  items[0]->sendAction();  // Next
  EXPECT_TRUE(rightField->isFirstResponder());
  EXPECT_FALSE(leftField->isEditing());
  EXPECT_EQ(left, NO);
  EXPECT_EQ(editing, YES);
  EXPECT_EQ(controller->bar, first);
  EXPECT_EQ(rightField->inputAccessoryView(), first);
  items[0]->sendAction();
  EXPECT_TRUE(leftField->isFirstResponder());
  EXPECT_EQ(left, YES);

  items[6]->sendAction();  // Done
  EXPECT_FALSE(leftField->isFirstResponder());
  EXPECT_EQ(editing, NO);
  EXPECT_EQ(left, YES);
}

TEST_F(Entry, TheBarIs32HighOnlyOnALandscapePhone) {
  portraitmode = NO;
  UIApplication::sharedApplication().setStatusBarOrientation(UIInterfaceOrientationLandscapeRight);
  leftField->becomeFirstResponder();
  EXPECT_EQ(controller->bar->frame().size.height, 32);
  EXPECT_EQ(controller->bar->frame().size.width, 480);
  leftField->resignFirstResponder();
  controller->bar.reset();
  UIDevice::currentDevice().setKind(UIDevice::Kind::Tablet);
  UIApplication::sharedApplication().setPortraitScreenSize(768, 1024);
  leftField->becomeFirstResponder();
  EXPECT_EQ(controller->bar->frame().size.height, 44);
  UIApplication::sharedApplication().setPortraitScreenSize(320, 480);
}

TEST_F(Entry, CopyPasteAndClearActOnTheSourceField) {
  leftField->becomeFirstResponder();
  tapSegment(0);  // Copy from an empty field keeps the pasteboard
  EXPECT_EQ(UIPasteboard::generalPasteboard().string(), std::nullopt);
  leftField->setText("12,5");
  tapSegment(0);
  EXPECT_EQ(UIPasteboard::generalPasteboard().string(), "12,5");

  leftField->setText("10");
  rightField->setText("20.00");
  storeRate("EUR-USD", "2", 0.5);
  UIPasteboard::generalPasteboard().setString("2.5");
  tapSegment(1);
  EXPECT_EQ(rightField->text(), "205.00");  // converted as a keystroke would
  tapSegment(1);                            // momentary: a second tap acts again
  EXPECT_EQ(leftField->text(), "102.52.5");
  EXPECT_EQ(rightField->text(), "205.04");
  rightField->setText("old");
  for (const char* refused : {"1 000", "-3", "3 EUR", ""}) {
    UIPasteboard::generalPasteboard().setString(refused);
    tapSegment(1);
    EXPECT_EQ(leftField->text(), "102.52.5") << refused;
  }
  UIPasteboard::generalPasteboard().setNonTextItem();
  tapSegment(1);
  EXPECT_EQ(leftField->text(), "102.52.5");

  controller->bar->items()[0]->sendAction();  // Next: Copy now copies the right field
  tapSegment(0);
  EXPECT_EQ(UIPasteboard::generalPasteboard().string(), "old");

  leftField->setText("");
  tapSegment(2);
  EXPECT_EQ(rightField->text(), "");
  tapSegment(2);  // both empty: nothing
  EXPECT_EQ(leftField->text(), "");
}

TEST_F(Entry, TheListShortensAboveTheKeyboardAndScrollsToTheWidgetsRow) {
  auto widgetCell = construct<UITableViewCell>();
  widgetCell->setTag(69);
  list->view->table->cells = {construct<UITableViewCell>(), widgetCell, nullptr};
  leftField->becomeFirstResponder();
  post(UIKeyboardWillShowNotification, CGRectMake(0, 480, 320, 260), 0.25);
  EXPECT_EQ(tableFrame(), CGRectMake(0, 0, 320, 180));
  EXPECT_EQ(list->view->table->scrolledTo, std::vector<NSInteger>{1});
  ASSERT_FALSE(UIView::runningAnimations().empty());
  EXPECT_DOUBLE_EQ(UIView::runningAnimations().back().duration.count(), 0.25);

  leftField->resignFirstResponder();
  post(UIKeyboardWillHideNotification, CGRectZero, 0.25);
  EXPECT_EQ(tableFrame(), CGRectMake(0, 0, 320, 420));
  EXPECT_NE(controller->bar, nullptr);
  advance(0.249);
  EXPECT_NE(controller->bar, nullptr);
  advance(0.001);
  EXPECT_EQ(controller->bar, nullptr);

  // A hide with no bar (another widget's keyboard) does nothing.
  list->view->table->setFrame(CGRectMake(0, 0, 320, 100));
  post(UIKeyboardWillHideNotification, CGRectZero, 0.25);
  EXPECT_EQ(tableFrame(), CGRectMake(0, 0, 320, 100));
}

TEST_F(Entry, LandscapeAutoScrollOffAndKeyboardsForOtherFields) {
  list->view->sliding->setFrame(CGRectMake(0, 20, 480, 300));
  auto widgetCell = construct<UITableViewCell>();
  widgetCell->setTag(69);
  list->view->table->cells = {widgetCell};
  post(UIKeyboardWillShowNotification, CGRectMake(0, 0, 162, 480), 0.3);  // no field editing
  EXPECT_EQ(tableFrame(), CGRectMake(0, 0, 320, 420));

  portraitmode = NO;
  animate = NO;
  rightField->becomeFirstResponder();
  post(UIKeyboardWillShowNotification, CGRectMake(0, 0, 162, 480), 0.0);
  EXPECT_EQ(tableFrame(), CGRectMake(0, 0, 480, 118));
  EXPECT_TRUE(list->view->table->scrolledTo.empty());

  // Duration 0: the bar goes on the next turn.
  rightField->resignFirstResponder();
  post(UIKeyboardWillHideNotification, CGRectZero, 0.0);
  EXPECT_NE(controller->bar, nullptr);
  advance(0.0);
  EXPECT_EQ(controller->bar, nullptr);
}

TEST_F(Entry, ABarDropDoesNotTakeTheBarFromAFieldEditingAgain) {
  leftField->becomeFirstResponder();
  leftField->resignFirstResponder();
  post(UIKeyboardWillHideNotification, CGRectZero, 0.25);
  advance(0.1);
  rightField->becomeFirstResponder();  // editing again before the drop runs
  const auto kept = controller->bar;
  advance(0.2);
  EXPECT_EQ(controller->bar, kept);
  EXPECT_EQ(rightField->inputAccessoryView(), kept);
}

TEST_F(Entry, OnATabletOnlyTheBarIsDropped) {
  UIDevice::currentDevice().setKind(UIDevice::Kind::Tablet);
  leftField->becomeFirstResponder();
  post(UIKeyboardWillShowNotification, CGRectMake(0, 1024, 768, 308), 0.25);
  EXPECT_EQ(tableFrame(), CGRectMake(0, 0, 320, 420));
  leftField->resignFirstResponder();
  post(UIKeyboardWillHideNotification, CGRectZero, 0.25);
  EXPECT_EQ(tableFrame(), CGRectMake(0, 0, 320, 420));
  advance(0.25);
  EXPECT_EQ(controller->bar, nullptr);
}

TEST_F(Entry, WithoutAHostListOnlyTheBarIsHandled) {
  NSClassRegistry::unregisterClass("SBBulletinListController");
  leftField->becomeFirstResponder();
  post(UIKeyboardWillShowNotification, CGRectMake(0, 480, 320, 260), 0.25);
  leftField->resignFirstResponder();
  post(UIKeyboardWillHideNotification, CGRectZero, 0.25);
  advance(0.25);
  EXPECT_EQ(controller->bar, nullptr);
  EXPECT_EQ(tableFrame(), CGRectMake(0, 0, 320, 420));
}

}  // namespace
}  // namespace tessary::test
