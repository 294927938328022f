#include <gtest/gtest.h>

#include "platform/foundation/utf16.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_button.h"
#include "platform/uikit/ui_text_field.h"
#include "tests/support/test_environment.h"

namespace {

using UIKitTest = tessary::test::PlatformTest;

TEST_F(UIKitTest, ViewsOwnTheirSubviewsAndMovingKeepsThemAlive) {
  auto root = UIView::initWithFrame(CGRectMake(0, 0, 320, 40));
  auto other = UIView::initWithFrame(CGRectMake(0, 100, 320, 40));
  std::weak_ptr<UIView> child;
  {
    auto made = UIView::initWithFrame(CGRectMake(10, 5, 50, 30));
    made->setTag(69);
    root->addSubview(made);
    child = made;
  }
  ASSERT_FALSE(child.expired());
  EXPECT_EQ(root->viewWithTag(69), child.lock());
  other->addSubview(child.lock());
  EXPECT_TRUE(root->subviews().empty());
  EXPECT_EQ(child.lock()->superview(), other);
  child.lock()->removeFromSuperview();
  EXPECT_TRUE(child.expired());
  root->addSubview(root);  // a view is never its own subview
  EXPECT_TRUE(root->subviews().empty());
}

TEST_F(UIKitTest, ConvertPointWorksThroughTheCommonAncestor) {
  auto screen = UIView::initWithFrame(CGRectMake(0, 0, 320, 480));
  auto cell = UIView::initWithFrame(CGRectMake(2, 100, 316, 40));
  auto button = UIView::initWithFrame(CGRectMake(10, 5, 48, 30));
  auto overlay = UIView::initWithFrame(CGRectMake(0, 20, 320, 460));
  screen->addSubview(cell);
  cell->addSubview(button);
  screen->addSubview(overlay);
  const CGPoint p = overlay->convertPointFromView(CGPointMake(24, 15), button.get());
  EXPECT_EQ(p, CGPointMake(36, 100));
  EXPECT_EQ(button->convertPointToView(CGPointZero, nullptr), CGPointMake(12, 105));
}

struct Target : NSObject {
  int taps = 0, changes = 0;
  void tap() { ++taps; }
  void changed(UIControl&) { ++changes; }
};

TEST_F(UIKitTest, ControlsSendToLiveTargetsByEventMask) {
  auto button = UIButton::buttonWithType(UIButtonTypeCustom);
  auto target = std::make_shared<Target>();
  button->addTarget(target, &Target::tap, UIControlEventTouchUpInside);
  button->addTarget(target, &Target::changed, UIControlEventValueChanged | UIControlEventTouchDown);
  button->sendActionsForControlEvents(UIControlEventTouchUpInside);
  button->sendActionsForControlEvents(UIControlEventTouchDown);
  button->sendActionsForControlEvents(UIControlEventEditingChanged);
  EXPECT_EQ(target->taps, 1);
  EXPECT_EQ(target->changes, 1);
  target.reset();  // targets are not owned
  button->sendActionsForControlEvents(UIControlEventAllTouchEvents);
}

TEST_F(UIKitTest, ButtonTitleLivesInItsLabel) {
  auto button = UIButton::buttonWithType(UIButtonTypeCustom);
  button->setTitleForState("EUR", UIControlStateNormal);
  EXPECT_EQ(button->titleLabel()->text(), "EUR");
  EXPECT_EQ(button->titleLabel()->superview(), button);
  button->setHighlighted(true);
  EXPECT_EQ(button->titleLabel()->text(), "EUR");  // no highlighted title: the normal one
}

struct Refuser : UITextFieldDelegate, NSObject {
  int asked = 0;
  BOOL textFieldShouldChangeCharactersInRangeReplacementString(UITextField&, NSRange,
                                                               const std::string& s) override {
    ++asked;
    return s.find('x') == std::string::npos ? YES : NO;
  }
};

TEST_F(UIKitTest, TextFieldEditsGoThroughTheDelegateThenTheEvent) {
  auto field = UITextField::initWithFrame(CGRectMake(0, 0, 100, 30));
  auto delegate = std::make_shared<Refuser>();
  auto target = std::make_shared<Target>();
  field->setDelegate(delegate);
  field->addTarget(target, &Target::tap, UIControlEventEditingChanged);
  EXPECT_TRUE(field->replaceRangeByUser(NSMakeRange(0, 0), "12"));
  EXPECT_FALSE(field->replaceRangeByUser(NSMakeRange(2, 0), "x"));
  EXPECT_TRUE(field->replaceRangeByUser(NSMakeRange(50, 9), "5"));  // clamped to the end
  EXPECT_EQ(field->text(), "125");
  EXPECT_EQ(delegate->asked, 3);
  EXPECT_EQ(target->taps, 2);
  field->setText("9");  // code changes send nothing
  EXPECT_EQ(target->taps, 2);
}

// Edits in place must give what re-encoding the whole text gives, which is the reference.
TEST_F(UIKitTest, TextFieldEditsInPlaceAsTheWholeTextWouldBe) {
  auto field = UITextField::initWithFrame(CGRectMake(0, 0, 100, 30));
  const std::string emoji = "\xf0\x9f\x92\xb6";
  const struct {
    std::string before;
    NSRange range;
    std::string replacement;
  } edits[] = {
      {"a\xc3\xa9" + emoji + "z", NSMakeRange(5, 0), "1"},  // typing at the end
      {"a\xc3\xa9" + emoji + "z", NSMakeRange(2, 2), "-"},  // the whole pair
      {"a\xc3\xa9" + emoji + "z", NSMakeRange(3, 1), "x"},  // half a pair
      {"a\xc3\xa9" + emoji + "z", NSMakeRange(1, 0), emoji},
      {"12\xff"
       "3",
       NSMakeRange(4, 0), "4"},           // invalid bytes become U+FFFD
      {"12", NSMakeRange(2, 0), "\xc3"},  // so does an invalid key
      {"", NSMakeRange(0, 0), "5"},
  };
  for (const auto& edit : edits) {
    field->setText(edit.before);
    ASSERT_TRUE(field->replaceRangeByUser(edit.range, edit.replacement));
    const std::string expected =
        utf16::replaceRange(edit.before, edit.range.location, edit.range.length, edit.replacement);
    EXPECT_EQ(field->text(), expected) << edit.before;
    EXPECT_EQ(field->textLength(), utf16::length(expected)) << edit.before;
  }
  // Typing goes on from the length kept between keys, and a text set in code is counted anew.
  field->setText("");
  for (int i = 0; i < 1000; ++i)
    field->replaceRangeByUser(NSMakeRange(field->textLength(), 0), "7");
  EXPECT_EQ(field->text(), std::string(1000, '7'));
  field->setText(emoji);
  EXPECT_EQ(field->textLength(), 2u);
}

TEST_F(UIKitTest, AlertsStayShownUntilAButtonIsPressed) {
  std::vector<std::string> presented;
  UIAlertView::setPresenter(
      [&](const auto& alert) { presented.push_back(alert->message()->UTF8String()); });
  {
    auto alert =
        UIAlertView::initWithTitleMessageCancelButtonTitle(NSStr("Error"), NSStr("bad"), "OK");
    alert->show();
  }
  ASSERT_EQ(UIAlertView::visibleAlerts().size(), 1u);
  const auto alert = UIAlertView::visibleAlerts().front();
  EXPECT_EQ(alert->title()->UTF8String(), "Error");
  EXPECT_EQ(alert->buttons(), std::vector<std::string>{"OK"});
  EXPECT_EQ(presented, std::vector<std::string>{"bad"});
  alert->dismissWithClickedButtonIndex(0);
  EXPECT_TRUE(UIAlertView::visibleAlerts().empty());
  UIAlertView::setPresenter(nullptr);
}

}  // namespace
