#include "platform/hostlist/bulletin_list.h"
#include "platform/uikit/ns_value.h"
#include "platform/uikit/ui_callout_view.h"
#include "platform/uikit/ui_device.h"
#include "platform/uikit/ui_keyboard.h"
#include "tests/widget/widget_fixture.h"

namespace tessary::test {
namespace {

struct PickerListView : SBBulletinListView {
  std::shared_ptr<UIView> sliding = UIView::initWithFrame(CGRectMake(0, 20, 320, 460));
  std::shared_ptr<UITableView> table = construct<UITableView>();
  std::shared_ptr<UIView> slidingView() const override { return sliding; }
  std::shared_ptr<UITableView> tableView() const override { return table; }
};
struct PickerList : SBBulletinListController {
  std::shared_ptr<PickerListView> view = std::make_shared<PickerListView>();
  std::shared_ptr<SBBulletinListView> listView() const override { return view; }
};

// The widget's row as the host holds it: sliding view, table, cell, root view; the converter
// `sub` and the background image in the root view, the currency buttons where the compact
// phone layout puts them.
class Picker : public WidgetTest {
 protected:
  Picker() {
    UIDevice::currentDevice().setKind(UIDevice::Kind::Phone);
    NSClassRegistry::registerClass("SBBulletinListController", [this] { return list; });
    list->view->table->setFrame(CGRectMake(0, 0, 320, 420));
    list->view->sliding->addSubview(list->view->table);
    list->view->table->addSubview(cell);
    cell->addSubview(controller->_view);

    container = UIView::initWithFrame(controller->_view->bounds());
    for (const auto& view : std::vector<std::shared_ptr<UIView>>(controller->_view->subviews())) {
      container->addSubview(view);
    }
    controller->_backgroundView = UIImageView::initWithImage(nullptr);
    controller->_backgroundView->setFrame(CGRectMake(2, 0, 312, 40));
    controller->_view->addSubview(controller->_backgroundView);
    controller->_view->addSubview(container);
    controller->sub = container;
    leftButton->setFrame(CGRectMake(7, 5, 48, 30));
    rightButton->setFrame(CGRectMake(265, 5, 48, 30));

    root_.writeFile(
        std::string(paths::kBundle) + "ButtonBG.png",
        std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x30\0\0\0\x1e\x08\x06\0\0\0", 29));
    writeEntries({"EUR", "USD", "GBP", "JPY", "CHF", "AUD"});
    NSArray({std::make_shared<NSDictionary>(
                NSDictionary::Storage{{"ISO", NSStr("GBP")}, {"Currency", NSStr("Pound")}})})
        .writeToFileAtomically(paths::kCurrencies, true);
  }
  // The list, the root view and the right button as a layout puts them; the widget's row lies
  // 100 points down the list.
  void layOut(bool portrait, UIDevice::Kind device) {
    portraitmode = portrait ? YES : NO;
    UIDevice::currentDevice().setKind(device);
    const bool tablet = device == UIDevice::Kind::Tablet;
    CGSize screen = tablet ? CGSizeMake(768, 1024) : CGSizeMake(320, 480);
    if (!portrait) std::swap(screen.width, screen.height);
    list->view->sliding->setFrame(CGRectMake(0, 20, screen.width, screen.height - 20));
    list->view->table->setFrame(CGRectMake(0, 0, screen.width, screen.height - 60));
    cell->setFrame(CGRectMake(0, 100, screen.width, 40));
    controller->_view->setFrame(CGRectMake(0, 0, screen.width - 4, 40));
    rightButton->setFrame(CGRectMake(tablet || !portrait ? 425 : 265, 5, 48, 30));
  }
  void scrollList(CGFloat y) { list->view->table->setContentOffset({0, y}); }
  void showKeyboard(double duration) {
    controller->keyboardWillShow(NSNotification(
        UIKeyboardWillShowNotification, nullptr,
        std::make_shared<NSDictionary>(NSDictionary::Storage{
            {UIKeyboardFrameBeginUserInfoKey,
             NSValue::valueWithCGRect(CGRectMake(0, 480, 320, 260))},
            {UIKeyboardAnimationDurationUserInfoKey, NSNumber::numberWithDouble(duration)}})));
  }
  void hideKeyboard(double duration) {
    controller->keyboardWillHide(NSNotification(
        UIKeyboardWillHideNotification, nullptr,
        std::make_shared<NSDictionary>(NSDictionary::Storage{
            {UIKeyboardAnimationDurationUserInfoKey, NSNumber::numberWithDouble(duration)}})));
  }

  ~Picker() override {
    NSClassRegistry::unregisterClass("SBBulletinListController");
    if (const auto responder = UITextField::firstResponder()) responder->resignFirstResponder();
    UIDevice::currentDevice().setKind(UIDevice::Kind::Phone);
  }

  void writeEntries(const std::vector<std::string>& codes) {
    std::vector<id> entries;
    for (const auto& code : codes) entries.push_back(NSStr(code));
    NSArray(std::move(entries)).writeToFileAtomically(paths::kEntries, true);
  }

  void tapLeft() { controller->tapLeft(*recognizer); }
  void tapRight() { controller->tapRight(*recognizer); }
  std::shared_ptr<UICalloutView> bubble() const { return controller->callout.lock(); }
  const std::shared_ptr<UIControl>& dim() const { return controller->dim; }
  const std::shared_ptr<UIScrollView>& mini() const { return controller->mini; }
  CGFloat overlayAlpha() const { return dim()->backgroundColor()->alpha(); }
  std::shared_ptr<UIButton> code(size_t index) const {
    return std::dynamic_pointer_cast<UIButton>(mini()->subviews().at(index));
  }
  // The button's top-left corner in the overlay.
  CGPoint buttonOrigin(const UIButton& button) const {
    return dim()->convertPointFromView(CGPointZero, &button);
  }
  // The body of the bubble in the overlay's coordinates.
  CGRect body() const {
    const CGRect outer = bubble()->frame();
    const CGRect inner = bubble()->subviews()[0]->frame();
    return CGRectMake(outer.origin.x + inner.origin.x, outer.origin.y + inner.origin.y,
                      inner.size.width, inner.size.height);
  }
  static bool contains(CGRect outer, CGRect inner) {
    return inner.origin.x >= outer.origin.x && inner.origin.y >= outer.origin.y &&
           inner.origin.x + inner.size.width <= outer.origin.x + outer.size.width &&
           inner.origin.y + inner.size.height <= outer.origin.y + outer.size.height;
  }
  void expectClosed() {
    EXPECT_EQ(dim(), nullptr);
    EXPECT_EQ(mini(), nullptr);
    EXPECT_EQ(bubble(), nullptr);
    EXPECT_EQ(container->superview(), controller->_view);
    EXPECT_EQ(controller->_backgroundView->superview(), controller->_view);
    EXPECT_EQ(container->frame(), CGRectMake(0, 0, 316, 40));
    EXPECT_EQ(controller->_backgroundView->frame(), CGRectMake(2, 0, 312, 40));
    EXPECT_EQ(list->view->sliding->subviews().size(), 1u);  // the table alone
  }

  std::shared_ptr<PickerList> list = std::make_shared<PickerList>();
  std::shared_ptr<UIView> cell = UIView::initWithFrame(CGRectMake(0, 100, 320, 40));
  std::shared_ptr<UIView> container;
  std::shared_ptr<UITapGestureRecognizer> recognizer =
      UITapGestureRecognizer::initWithTargetAction(controller, &TessaryController::tapLeft);
};

TEST_F(Picker, OpensClosesAndMovesBetweenSidesUnderOneOverlay) {
  left = NO;
  tapLeft();
  EXPECT_EQ(left, YES);  // no field is edited
  ASSERT_NE(dim(), nullptr);
  ASSERT_NE(mini(), nullptr);
  ASSERT_EQ(bubble(), UICalloutView::sharedCalloutView());
  EXPECT_EQ(dim()->superview(), list->view->sliding);
  EXPECT_EQ(dim()->frame(), CGRectMake(0, 0, 320, 460));
  EXPECT_EQ(dim()->allControlEvents(), UIControlEventAllTouchEvents);
  EXPECT_FLOAT_EQ(overlayAlpha(), 0.7f);
  // Bottom to top: background, converter, bubble, row; the converter stays where it was.
  EXPECT_EQ(dim()->subviews(), (std::vector<std::shared_ptr<UIView>>{controller->_backgroundView,
                                                                     container, bubble(), mini()}));
  EXPECT_EQ(container->frame(), CGRectMake(0, 100, 316, 40));
  EXPECT_EQ(controller->_backgroundView->frame(), CGRectMake(2, 100, 312, 40));
  EXPECT_EQ(bubble()->title(), "    ");
  EXPECT_EQ(bubble()->subtitle(), std::nullopt);
  EXPECT_EQ(bubble()->anchorPoint(), CGPointMake(31, 105));
  EXPECT_EQ(mini()->alpha(), 0);
  EXPECT_EQ(mini()->frame(), CGRectMake(13, 49, 0, 35));

  advance(0.299);
  EXPECT_EQ(mini()->frame().size.width, 0);
  advance(0.001);
  EXPECT_EQ(bubble()->subtitle(), std::string(85, ' '));
  EXPECT_EQ(mini()->alpha(), 1);
  EXPECT_EQ(mini()->frame(), CGRectMake(13, 49, 295, 35));
  advance(0.3);

  // The other button moves the picker: same overlay, no new fade-in, no new reading of Alpha.
  writeSettings({{"Alpha", NSNumber::numberWithDouble(0.25)}});
  const auto overlay = dim();
  const std::weak_ptr<UIScrollView> oldRow = mini();
  tapRight();
  EXPECT_EQ(dim(), overlay);
  EXPECT_FLOAT_EQ(overlayAlpha(), 0.7f);
  EXPECT_TRUE(oldRow.expired());
  EXPECT_EQ(bubble()->anchorPoint(), CGPointMake(289, 105));
  EXPECT_EQ(mini()->frame(), CGRectMake(305, 49, 0, 35));
  advance(0.3);
  EXPECT_EQ(mini()->frame(), CGRectMake(13, 49, 295, 35));
  EXPECT_EQ(mini()->frame().origin.x + mini()->frame().size.width, bubble()->anchorPoint().x + 19);
  advance(1);
  // The fade-out begun by the move does not take the bubble from the new opening.
  EXPECT_EQ(bubble()->superview(), dim());
  EXPECT_EQ(bubble()->alpha(), 1);

  // The same side's button closes: row and bubble at once, the overlay over 0.3 s.
  left = NO;
  tapRight();
  EXPECT_EQ(left, YES);
  EXPECT_EQ(mini(), nullptr);
  EXPECT_EQ(bubble(), nullptr);
  ASSERT_EQ(dim(), overlay);
  EXPECT_EQ(dim()->actionCount(), 0u);
  EXPECT_FLOAT_EQ(overlayAlpha(), 0);
  // A tap while the overlay fades is not an opening.
  tapLeft();
  EXPECT_EQ(mini(), nullptr);
  advance(0.299);
  EXPECT_EQ(container->superview(), dim());
  advance(0.001);
  expectClosed();
  EXPECT_EQ(UICalloutView::sharedCalloutView()->superview(), nullptr);

  // The next opening reads Alpha afresh.
  tapLeft();
  EXPECT_FLOAT_EQ(overlayAlpha(), 0.25f);
}

TEST_F(Picker, RowHoldsOneCodeButtonPerEntry) {
  exclude = YES;
  tapLeft();
  ASSERT_EQ(mini()->subviews().size(), 4u);
  const char* codes[] = {"GBP", "JPY", "CHF", "AUD"};
  for (size_t i = 0; i < 4; ++i) {
    const auto button = code(i);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->frame(), CGRectMake(53.0f * static_cast<float>(i), 3, 48, 30));
    EXPECT_EQ(button->titleForState(UIControlStateNormal), codes[i]);
    EXPECT_EQ(button->titleLabel()->font()->pointSize(), 16);
    EXPECT_EQ(button->titleLabel()->shadowOffset(), CGSizeMake(-1, 1));
    ASSERT_NE(button->backgroundImageForState(UIControlStateNormal), nullptr);
    EXPECT_EQ(button->allControlEvents(), UIControlEventTouchUpInside);
  }
  EXPECT_NE(code(0)->backgroundImageForState(UIControlStateNormal),
            code(1)->backgroundImageForState(UIControlStateNormal));  // loaded for each
  EXPECT_EQ(mini()->contentSize(), CGSizeMake(212, 0));
  EXPECT_TRUE(mini()->isPagingEnabled());
  EXPECT_TRUE(mini()->isUserInteractionEnabled());

  exclude = NO;
  tapRight();
  EXPECT_EQ(mini()->subviews().size(), 6u);
  EXPECT_EQ(mini()->contentSize().width, 318);

  // Nothing left after exclusion: an empty row, and the overlay still closes the picker.
  writeEntries({"EUR", "USD"});
  exclude = YES;
  tapLeft();
  EXPECT_TRUE(mini()->subviews().empty());
  EXPECT_EQ(mini()->contentSize().width, 0);
  EXPECT_EQ(bubble()->superview(), dim());
  dim()->sendActionsForControlEvents(UIControlEventTouchDown);
  advance(0.3);
  expectClosed();

  // No entry file at all: the same.
  std::remove(root_.host(paths::kEntries).c_str());
  tapLeft();
  EXPECT_TRUE(mini()->subviews().empty());
}

TEST_F(Picker, ExpandedWidthFollowsOrientationAndDevice) {
  struct Case {
    BOOL portrait;
    UIDevice::Kind device;
    CGRect sliding;
    CGFloat width;
    size_t spaces;
  };
  for (const Case& c :
       {Case{YES, UIDevice::Kind::Phone, CGRectMake(0, 20, 320, 460), 295, 85},
        Case{NO, UIDevice::Kind::Phone, CGRectMake(0, 20, 480, 300), 455, 140},
        Case{YES, UIDevice::Kind::Tablet, CGRectMake(0, 20, 768, 1004), 455, 140}}) {
    portraitmode = c.portrait;
    UIDevice::currentDevice().setKind(c.device);
    list->view->sliding->setFrame(c.sliding);
    // The wide layout puts the right button further out in a wider row.
    const bool wide = c.width > 295;
    controller->_view->setFrame(CGRectMake(0, 0, c.sliding.size.width - 4, 40));
    rightButton->setFrame(CGRectMake(wide ? 425 : 265, 5, 48, 30));
    for (const bool leftSide : {true, false}) {
      leftSide ? tapLeft() : tapRight();
      advance(0.6);
      EXPECT_EQ(mini()->frame().size.width, c.width);
      EXPECT_EQ(bubble()->subtitle(), std::string(c.spaces, ' '));
      // The spaces widen the bubble until its body holds the row.
      EXPECT_TRUE(contains(body(), mini()->frame())) << c.width << (leftSide ? " left" : " right");
      const CGFloat anchor = bubble()->anchorPoint().x;
      if (leftSide) {
        EXPECT_EQ(mini()->frame().origin.x, anchor - 18);
      } else {
        EXPECT_EQ(mini()->frame().origin.x + c.width, anchor + 19);
      }
    }
    controller->hide();
    advance(0.3);
  }
  // Four spaces give a small bubble.
  tapLeft();
  EXPECT_LT(bubble()->frame().size.width, 60);
}

TEST_F(Picker, BubbleAboveOrBelowTheButton) {
  // With room above the button the bubble and the row sit above it.
  tapLeft();
  const CGPoint top = buttonOrigin(*leftButton);
  EXPECT_EQ(bubble()->subviews()[0]->frame().origin.y, 0);
  EXPECT_EQ(bubble()->frame().origin.y + bubble()->frame().size.height, top.y);
  EXPECT_EQ(mini()->frame().origin.y, top.y - 56);
  advance(0.6);
  EXPECT_TRUE(contains(body(), mini()->frame()));
  controller->hide();
  advance(0.3);

  // Scrolled to the top of the list there is no room: below, 30 and 49 down, or 75 and 94 in
  // detail.
  list->view->table->setContentOffset({0, 100});
  for (const BOOL detail : {NO, YES}) {
    detailMode = detail;
    const CGFloat shift = detail ? 45 : 0;
    // The right side: the boundary ends 10 past the expanded row's right edge, 19 right of
    // the anchor.
    tapRight();
    CGPoint origin = buttonOrigin(*rightButton);
    EXPECT_NE(bubble()->subviews()[0]->frame().origin.y, 0);
    EXPECT_EQ(bubble()->anchorPoint(), CGPointMake(origin.x + 24, origin.y + 30 + shift));
    EXPECT_EQ(bubble()->boundaryRect(),
              CGRectMake(0, 30 + shift, origin.x + 24 + 19 + 10, 430 - shift));
    EXPECT_EQ(bubble()->frame().origin.y, origin.y + 30 + shift);
    EXPECT_EQ(mini()->frame(), CGRectMake(origin.x + 40, origin.y + 49 + shift, 0, 35));
    advance(0.6);
    EXPECT_EQ(mini()->frame(),
              CGRectMake(origin.x + 24 + 19 - 295, origin.y + 49 + shift, 295, 35));
    EXPECT_TRUE(contains(body(), mini()->frame()));
    controller->hide();
    advance(0.3);

    // The left side: the boundary starts 10 before the row's left edge, 18 left of the anchor.
    tapLeft();
    origin = buttonOrigin(*leftButton);
    EXPECT_NE(bubble()->subviews()[0]->frame().origin.y, 0);
    EXPECT_EQ(bubble()->anchorPoint(), CGPointMake(origin.x + 24, origin.y + 30 + shift));
    EXPECT_EQ(bubble()->boundaryRect(), CGRectMake(origin.x + 24 - 18 - 10, 30 + shift,
                                                   320 - (origin.x + 24 - 28), 430 - shift));
    EXPECT_EQ(mini()->frame(), CGRectMake(origin.x + 6, origin.y + 49 + shift, 0, 35));
    advance(0.6);
    EXPECT_EQ(mini()->frame(), CGRectMake(origin.x + 6, origin.y + 49 + shift, 295, 35));
    EXPECT_TRUE(contains(body(), mini()->frame()));
    controller->hide();
    advance(0.3);
  }
}

TEST_F(Picker, TouchOnTheOverlayBeforeTheExpansionLeavesNothingToExpand) {
  tapLeft();
  const std::weak_ptr<UIScrollView> row = mini();
  advance(0.1);
  dim()->sendActionsForControlEvents(UIControlEventTouchDown | UIControlEventTouchUpInside);
  EXPECT_EQ(mini(), nullptr);
  EXPECT_EQ(bubble(), nullptr);
  EXPECT_TRUE(row.expired());
  advance(0.2);  // the expansion's time
  EXPECT_EQ(UICalloutView::sharedCalloutView()->subtitle(), std::nullopt);
  EXPECT_EQ(mini(), nullptr);
  advance(0.1);
  EXPECT_EQ(UICalloutView::sharedCalloutView()->superview(), nullptr);
  expectClosed();
}

TEST_F(Picker, ChoosingACodeConvertsRecordsAndCloses) {
  exclude = NO;
  storeRate("EUR-GBP", "0.5", 0.1);
  detailMode = YES;
  rightField->setText("10");
  tapRight();
  advance(0.6);
  code(2)->sendActionsForControlEvents(UIControlEventTouchUpInside);  // GBP
  EXPECT_EQ(rightButton->titleForState(UIControlStateNormal), "GBP");
  // The right side became the source: its 10 GBP into the left side, before the closing.
  EXPECT_EQ(leftField->text(), "20.00");
  EXPECT_EQ(rightDetail->text(), "Pound");
  EXPECT_EQ(left, YES);  // dismiss restores it
  ASSERT_NE(dim(), nullptr);
  EXPECT_EQ(dim()->actionCount(), 0u);
  const auto recent = NSDictionary::dictionaryWithContentsOfFile(paths::kRecent);
  ASSERT_NE(recent, nullptr);
  EXPECT_EQ(recent->objectForKey("right")->description(), "GBP");
  advance(0.3);
  expectClosed();

  // While a field is edited `left` stays as it is, for the conversion and after.
  setCodes("EUR", "USD");
  leftField->setText("3");
  rightField->setText("10");
  ASSERT_TRUE(leftField->becomeFirstResponder());
  left = YES;
  tapRight();
  advance(0.6);
  code(2)->sendActionsForControlEvents(UIControlEventTouchUpInside);
  EXPECT_EQ(rightField->text(), "1.50");  // 3 EUR from the left, into GBP
  EXPECT_EQ(left, YES);
  advance(0.3);
  left = NO;
  tapLeft();
  EXPECT_EQ(left, NO);
  advance(0.6);
  code(2)->sendActionsForControlEvents(UIControlEventTouchUpInside);
  EXPECT_EQ(leftButton->titleForState(UIControlStateNormal), "GBP");
  EXPECT_EQ(left, NO);
  advance(0.3);
  leftField->resignFirstResponder();

  // The other side without a code: the choice is kept, nothing is converted.
  setCodes("EUR", "");
  leftField->setText("4");
  rightField->setText("");
  tapLeft();
  advance(0.6);
  code(3)->sendActionsForControlEvents(UIControlEventTouchUpInside);  // JPY
  EXPECT_EQ(leftButton->titleForState(UIControlStateNormal), "JPY");
  EXPECT_EQ(rightField->text(), "");
  EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile(paths::kRecent)
                ->objectForKey("left")
                ->description(),
            "JPY");
  advance(0.3);

  // A code chosen with no bubble shown goes to the right side.
  auto stray = UIButton::buttonWithType(UIButtonTypeCustom);
  stray->setTitleForState("CHF", UIControlStateNormal);
  controller->changed(*stray);
  EXPECT_EQ(rightButton->titleForState(UIControlStateNormal), "CHF");
  advance(0.3);
}

TEST_F(Picker, UnloadWhileOpenOrClosingLeavesNothingBehind) {
  tapLeft();
  advance(0.1);
  controller->unloadView();
  EXPECT_EQ(dim(), nullptr);
  EXPECT_EQ(mini(), nullptr);
  EXPECT_EQ(bubble(), nullptr);
  EXPECT_EQ(list->view->sliding->subviews().size(), 1u);
  advance(1);  // the expansion and the animations find nothing
  EXPECT_EQ(UICalloutView::sharedCalloutView()->superview(), nullptr);

  // Unloading during the closing fade: the completion runs on an empty controller.
  controller->_view = UIView::initWithFrame(CGRectMake(0, 0, 316, 40));
  controller->_view->addSubview(container);
  controller->sub = container;
  controller->rightButton = rightButton;
  tapRight();
  controller->hide();
  controller->unloadView();
  advance(1);
  EXPECT_EQ(dim(), nullptr);
  EXPECT_EQ(list->view->sliding->subviews().size(), 1u);
}

TEST_F(Picker, KeyboardMovesTheLiftedViewsWithTheRow) {
  tapLeft();
  advance(0.6);
  ASSERT_TRUE(leftField->becomeFirstResponder());
  const CGRect row = mini()->frame();
  const CGFloat anchorY = bubble()->anchorPoint().y;
  const CGFloat backgroundY = controller->_backgroundView->frame().origin.y;
  // The list scrolls the widget's row 30 points up while the keyboard comes: everything on
  // the overlay follows it by as much, after the keyboard's duration.
  scrollList(30);
  showKeyboard(0.25);
  EXPECT_EQ(container->frame().origin.y, 100);
  advance(0.25);
  const CGPoint rootInDim = dim()->convertPointFromView(CGPointZero, controller->_view.get());
  EXPECT_EQ(container->frame().origin.y, rootInDim.y);
  EXPECT_EQ(container->frame().origin.y, 70);
  EXPECT_TRUE(bubble()->isAbove());
  EXPECT_EQ(mini()->frame(), CGRectMake(row.origin.x, row.origin.y - 30, 295, 35));
  EXPECT_EQ(bubble()->anchorPoint().y, anchorY - 30);
  EXPECT_EQ(controller->_backgroundView->frame().origin.y, backgroundY - 30);

  // Scrolled 40 more, the button is 35 from the top, too near for a bubble above it: bubble
  // and row go below it, as an opening there would place them, and the row stays inside.
  scrollList(70);
  showKeyboard(0.25);
  advance(0.25);
  EXPECT_EQ(container->frame().origin.y, 30);
  EXPECT_FALSE(bubble()->isAbove());
  EXPECT_EQ(bubble()->anchorPoint(), CGPointMake(31, 65));
  EXPECT_EQ(mini()->frame(), CGRectMake(row.origin.x, 84, 295, 35));
  EXPECT_TRUE(contains(body(), mini()->frame()));
}

TEST_F(Picker, AnExpansionAfterTheAlignmentGrowsTheRowWhereTheButtonIsNow) {
  tapRight();
  ASSERT_TRUE(leftField->becomeFirstResponder());
  scrollList(100);
  showKeyboard(0.1);
  advance(0.11);  // the alignment: the button is at the top, the bubble below it
  EXPECT_FALSE(bubble()->isAbove());
  EXPECT_EQ(mini()->frame(), CGRectMake(305, 54, 0, 35));
  advance(0.19);  // the expansion
  EXPECT_EQ(mini()->frame(), CGRectMake(289 + 19 - 295, 54, 295, 35));
  EXPECT_TRUE(contains(body(), mini()->frame()));
}

TEST_F(Picker, AScrolledListLiftsTheConverterWhereItShows) {
  // The keyboard's AutoScroll put the widget's row 72 points from the top of the list.
  list->view->table->setContentOffset({0, 72});
  tapLeft();
  EXPECT_EQ(container->frame(), CGRectMake(0, 28, 316, 40));
  EXPECT_EQ(controller->_backgroundView->frame(), CGRectMake(2, 28, 312, 40));
  // The button lies 33 points down the overlay: no room above, so the bubble opens below.
  EXPECT_EQ(buttonOrigin(*leftButton), CGPointMake(7, 33));
  EXPECT_FALSE(bubble()->isAbove());
  EXPECT_EQ(bubble()->anchorPoint(), CGPointMake(31, 63));
  EXPECT_EQ(mini()->frame(), CGRectMake(13, 82, 0, 35));
  advance(0.6);
  EXPECT_TRUE(contains(body(), mini()->frame()));
  controller->hide();
  advance(0.3);
  expectClosed();
}

TEST_F(Picker, TheSideFollowsTheButtonsOnATabletInLandscape) {
  // The right button's anchor, 449, lies left of half the 1020-point root view.
  layOut(false, UIDevice::Kind::Tablet);
  exclude = NO;
  tapRight();
  ASSERT_EQ(bubble()->anchorPoint().x, 449);
  advance(0.6);
  code(2)->sendActionsForControlEvents(UIControlEventTouchUpInside);  // GBP
  EXPECT_EQ(rightButton->titleForState(UIControlStateNormal), "GBP");
  EXPECT_EQ(leftButton->titleForState(UIControlStateNormal), "EUR");
  EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile(paths::kRecent)
                ->objectForKey("right")
                ->description(),
            "GBP");
  advance(0.3);
  expectClosed();

  // The right button closes a picker open on the right, and moves one open on the left.
  tapRight();
  advance(0.6);
  tapRight();
  EXPECT_EQ(mini(), nullptr);
  EXPECT_EQ(dim()->actionCount(), 0u);
  advance(0.3);
  tapLeft();
  advance(0.6);
  tapRight();
  ASSERT_NE(mini(), nullptr);
  EXPECT_EQ(bubble()->anchorPoint().x, 449);
  tapLeft();
  ASSERT_NE(mini(), nullptr);
  EXPECT_EQ(bubble()->anchorPoint().x, 31);
  tapLeft();
  EXPECT_EQ(mini(), nullptr);
  advance(0.3);
}

TEST_F(Picker, TheExpandedRowLiesInsideTheBubbleInEveryLayout) {
  struct Layout {
    bool portrait;
    UIDevice::Kind device;
  };
  for (const Layout& layout :
       {Layout{true, UIDevice::Kind::Phone}, Layout{false, UIDevice::Kind::Phone},
        Layout{true, UIDevice::Kind::Tablet}, Layout{false, UIDevice::Kind::Tablet}}) {
    layOut(layout.portrait, layout.device);
    for (const bool leftSide : {true, false}) {
      for (const bool below : {false, true}) {
        for (const BOOL detail : {NO, YES}) {
          const std::string where = std::string(layout.portrait ? "portrait " : "landscape ") +
                                    (layout.device == UIDevice::Kind::Tablet ? "tablet " : "") +
                                    (leftSide ? "left " : "right ") + (below ? "below" : "above") +
                                    (detail ? " detail" : "");
          detailMode = detail;
          scrollList(below ? 100 : 0);
          leftSide ? tapLeft() : tapRight();
          ASSERT_EQ(bubble()->isAbove(), !below) << where;
          advance(0.6);
          const CGRect row = mini()->frame();
          const CGFloat anchor = bubble()->anchorPoint().x;
          EXPECT_EQ(leftSide ? row.origin.x : row.origin.x + row.size.width,
                    anchor + (leftSide ? -18 : 19))
              << where;
          EXPECT_TRUE(contains(body(), row)) << where;
          EXPECT_TRUE(contains(bubble()->boundaryRect(), bubble()->frame())) << where;
          EXPECT_TRUE(contains(dim()->frame(), bubble()->frame())) << where;
          controller->hide();
          advance(0.3);
        }
      }
    }
  }
}

TEST_F(Picker, RotationGivesTheOverlayTheSlidingViewsBounds) {
  tapLeft();
  advance(0.6);
  layOut(false, UIDevice::Kind::Phone);
  controller->willRotateToInterfaceOrientation(3);
  controller->didRotateFromInterfaceOrientation(1);
  // Over the whole sliding view, from its top edge: nothing of the list stays undimmed.
  EXPECT_EQ(dim()->frame(), CGRectMake(0, 0, 480, 300));
  EXPECT_EQ(dim()->convertRectToView(dim()->bounds(), list->view->sliding.get()),
            list->view->sliding->bounds());
  controller->hide();
  advance(0.3);
  // Closed, a rotation leaves everything alone.
  controller->didRotateFromInterfaceOrientation(3);
  EXPECT_EQ(dim(), nullptr);
}

TEST_F(Picker, EveryCodeStaysReachableWhenTheLayoutIsTheOtherOrientations) {
  // The row and the codes at its ends lie within the overlay and inside the bubble.
  const auto expectReachable = [&](const std::string& where) {
    const CGRect row = mini()->frame();
    EXPECT_TRUE(contains(dim()->bounds(), row)) << where;
    EXPECT_TRUE(contains(body(), row)) << where;
    EXPECT_EQ(mini()->contentSize().width, 53 * 4) << where;  // both codes shown are left out
  };
  // Built in portrait, turned to landscape: the buttons keep their portrait places.
  portraitmode = NO;
  list->view->sliding->setFrame(CGRectMake(0, 20, 480, 300));
  tapRight();
  advance(0.6);
  EXPECT_EQ(mini()->frame(), CGRectMake(10, 49, 455, 35));  // not at x -147
  expectReachable("portrait layout, right");
  controller->hide();
  advance(0.3);
  tapLeft();
  advance(0.6);
  EXPECT_EQ(mini()->frame(), CGRectMake(13, 49, 455, 35));  // fits: unchanged
  controller->hide();
  advance(0.3);

  // Built in landscape, turned to portrait: the left button stands further in.
  layOut(false, UIDevice::Kind::Phone);
  leftButton->setFrame(CGRectMake(60, 5, 48, 30));
  portraitmode = YES;
  list->view->sliding->setFrame(CGRectMake(0, 20, 320, 460));
  tapLeft();
  advance(0.6);
  EXPECT_EQ(mini()->frame(), CGRectMake(15, 49, 295, 35));  // moved in from x 66
  expectReachable("landscape layout, left");

  // Turned while open: the wide row is brought within the narrower overlay.
  controller->hide();
  advance(0.3);
  portraitmode = NO;
  list->view->sliding->setFrame(CGRectMake(0, 20, 480, 300));
  tapRight();
  advance(0.6);
  EXPECT_EQ(mini()->frame(), CGRectMake(13, 49, 455, 35));
  portraitmode = YES;
  list->view->sliding->setFrame(CGRectMake(0, 20, 320, 460));
  controller->didRotateFromInterfaceOrientation(3);
  advance(0.3);
  EXPECT_EQ(mini()->frame(), CGRectMake(10, 49, 300, 35));
  expectReachable("turned while open");
}

TEST_F(Picker, AnOldFadeLeavesTheNextOverlayAlone) {
  tapLeft();
  advance(0.6);
  controller->hide();
  advance(0.05);
  // Hidden and shown again within the fade, and the picker opened anew.
  controller->unloadView();
  controller->_view = UIView::initWithFrame(CGRectMake(0, 0, 316, 40));
  cell->addSubview(controller->_view);
  controller->_backgroundView = UIImageView::initWithImage(nullptr);
  controller->_backgroundView->setFrame(CGRectMake(2, 0, 312, 40));
  controller->_view->addSubview(controller->_backgroundView);
  controller->_view->addSubview(container);
  container->setFrame(CGRectMake(0, 0, 316, 40));
  controller->sub = container;
  controller->leftButton = leftButton;
  tapLeft();
  const auto overlay = dim();
  advance(0.25);  // the old fade ends
  EXPECT_EQ(dim(), overlay);
  EXPECT_EQ(dim()->superview(), list->view->sliding);
  EXPECT_EQ(container->superview(), dim());
  EXPECT_EQ(controller->_backgroundView->superview(), dim());
  EXPECT_EQ(container->frame(), CGRectMake(0, 100, 316, 40));
  advance(1);
  EXPECT_EQ(bubble()->superview(), dim());
  EXPECT_EQ(mini()->frame().size.width, 295);
  EXPECT_EQ(list->view->sliding->subviews().size(), 2u);  // the table and the new overlay
}

TEST_F(Picker, ThePickerFollowsTheKeyboardOnAScrolledList) {
  // Opened while the keyboard's AutoScroll holds the row at the top: the bubble is below.
  scrollList(100);
  tapLeft();
  advance(0.6);
  ASSERT_FALSE(bubble()->isAbove());
  ASSERT_TRUE(leftField->becomeFirstResponder());
  controller->bar = construct<UIToolbar>();
  const CGRect row = mini()->frame();
  const CGPoint anchor = bubble()->anchorPoint();
  // The keyboard goes and the list scrolls back to its start: the lifted views follow the
  // row down, animated with the keyboard.
  leftField->resignFirstResponder();
  UIView::animateWithDurationAnimations(0, [&] { scrollList(0); });
  hideKeyboard(0.25);
  EXPECT_EQ(container->frame().origin.y, 100);
  EXPECT_EQ(controller->_backgroundView->frame().origin.y, 100);
  // With room above the button again, bubble and row go above it, as at an opening there.
  EXPECT_TRUE(bubble()->isAbove());
  EXPECT_EQ(bubble()->anchorPoint(), CGPointMake(anchor.x, 105));
  EXPECT_EQ(mini()->frame(), CGRectMake(row.origin.x, 105 - 56, row.size.width, 35));
  EXPECT_TRUE(contains(body(), mini()->frame()));
  EXPECT_TRUE(contains(bubble()->boundaryRect(), bubble()->frame()));
  controller->hide();
  advance(0.3);
  expectClosed();

  // A picker closed within the keyboard's duration: the delayed alignment finds no overlay.
  tapLeft();
  ASSERT_TRUE(leftField->becomeFirstResponder());
  showKeyboard(0.4);
  scrollList(70);
  controller->hide();
  advance(0.3);
  expectClosed();
  advance(0.1);
  expectClosed();
  leftField->resignFirstResponder();
}

TEST_F(Picker, WithoutAHostListTheOverlayIsShownNowhere) {
  NSClassRegistry::unregisterClass("SBBulletinListController");
  tapLeft();
  ASSERT_NE(dim(), nullptr);
  EXPECT_EQ(dim()->superview(), nullptr);
  EXPECT_EQ(dim()->frame(), CGRectZero);
  EXPECT_EQ(bubble()->superview(), dim());
  advance(0.6);
  tapLeft();  // the bubble is on the overlay, so the same button closes
  advance(0.3);
  EXPECT_EQ(dim(), nullptr);
  EXPECT_EQ(container->superview(), controller->_view);
  EXPECT_EQ(container->frame(), CGRectMake(0, 0, 316, 40));
}

}  // namespace
}  // namespace tessary::test

namespace tessary::test {
namespace {

TEST_F(Picker, ScreenShowsTheFadeAndTheWideningHalfWay) {
  tapLeft();
  ASSERT_NE(dim(), nullptr);
  // The model is at its end at once; the screen follows the ease-in-out curve.
  EXPECT_FLOAT_EQ(overlayAlpha(), 0.7f);
  EXPECT_FLOAT_EQ(dim()->presentationBackgroundColor()->alpha(), 0);
  advance(0.3);
  EXPECT_NEAR(dim()->presentationBackgroundColor()->alpha(), 0.35f, 1e-4);
  EXPECT_EQ(dim()->presentationAlpha(), 1);              // the colour fades, not the view
  EXPECT_EQ(mini()->presentationFrame().size.width, 0);  // the widening starts now
  advance(0.15);
  EXPECT_NEAR(mini()->presentationFrame().size.width, 295.0f / 2, 1e-3);
  EXPECT_NEAR(mini()->presentationAlpha(), 0.5f, 1e-4);
  EXPECT_EQ(mini()->frame().size.width, 295);
  advance(0.15);
  EXPECT_FLOAT_EQ(dim()->presentationBackgroundColor()->alpha(), 0.7f);
  EXPECT_EQ(mini()->presentationFrame(), mini()->frame());

  // Closing fades the overlay back over 0.3 s.
  tapLeft();
  advance(0.15);
  EXPECT_NEAR(dim()->presentationBackgroundColor()->alpha(), 0.35f, 1e-4);
}

}  // namespace
}  // namespace tessary::test
