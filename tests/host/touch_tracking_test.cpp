// The host routing one finger to the views: the on-screen keys, alerts, a cancelled touch, and
// the widget's buttons and code row touched through the real simulator.
#include "host/touch_tracking.h"

#include <gtest/gtest.h>

#include "host/draw_screen.h"
#include "host/simulator.h"
#include "platform/foundation/run_loop.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_button.h"
#include "platform/uikit/ui_text_field.h"
#include "tests/host/host_test_support.h"
#include "tests/support/test_environment.h"

namespace {

using tessary::test::Json;
using tessary::test::runScript;

struct Events : NSObject {
  std::vector<UIControlEvents> seen;
  void upInside() { seen.push_back(UIControlEventTouchUpInside); }
  void cancel() { seen.push_back(UIControlEventTouchCancel); }
};

class TouchTrackingTest : public tessary::test::PlatformTest {
 protected:
  TouchTrackingTest() {
    Simulator::Options options;
    options.root = root_.path();
    sim_ = std::make_unique<Simulator>(options);
    tracker_ = std::make_unique<TouchTracker>(*sim_);
    events_ = std::make_shared<Events>();
  }
  ~TouchTrackingTest() override {
    tracker_.reset();
    sim_.reset();
  }

  // A button on the sliding view, which starts 20 points down, under the status bar.
  std::shared_ptr<UIButton> addButton(CGRect frame) {
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(frame);
    button->addTarget(events_, &Events::upInside, UIControlEventTouchUpInside);
    button->addTarget(events_, &Events::cancel, UIControlEventTouchCancel);
    sim_->list().slidingView()->addSubview(button);
    return button;
  }

  // A decimal field touched into editing, with its keyboard up: the phone's pad fills the
  // bottom 216 points in four rows of three keys.
  static constexpr CGFloat kKeysTop = 480 - 216;
  std::shared_ptr<UITextField> raiseDecimalPad() {
    auto field = UITextField::initWithFrame(CGRectMake(10, 100, 200, 30));
    field->setKeyboardType(UIKeyboardTypeDecimalPad);
    sim_->list().slidingView()->addSubview(field);
    EXPECT_EQ(tracker_->down({50, 135}), "");
    EXPECT_EQ(tracker_->up({50, 135}), "");
    EXPECT_TRUE(field->isFirstResponder());
    NSRunLoop::mainRunLoop().advanceBy(Seconds(0.25));
    return field;
  }
  static CGPoint keyPoint(int r, int c) {
    const CGFloat row = 216 / 4.0, column = 320 / 3.0;
    return {column * c + column / 2, kKeysTop + row * r + row / 2};
  }
  std::string held() const {
    const auto& key = sim_->keyboard().pressedKey();
    if (!key) return "none";
    return key->kind == keyboard::Key::Kind::Delete ? "delete" : key->label;
  }

  std::unique_ptr<Simulator> sim_;
  std::unique_ptr<TouchTracker> tracker_;
  std::shared_ptr<Events> events_;
};

TEST_F(TouchTrackingTest, OneFingerAtATimeAndACancelActsOnNothing) {
  const auto button = addButton(CGRectMake(100, 100, 60, 30));
  EXPECT_EQ(tracker_->move({10, 300}), "touch move: no finger is down");
  EXPECT_EQ(tracker_->up({10, 300}), "touch up: no finger is down");
  EXPECT_EQ(tracker_->cancel(), "touch cancel: no finger is down");
  ASSERT_EQ(tracker_->down({130, 135}), "");
  EXPECT_EQ(tracker_->down({130, 135}), "touch down: a finger is already down");
  EXPECT_TRUE(button->isHighlighted());
  ASSERT_EQ(tracker_->cancel(), "");
  EXPECT_FALSE(button->isHighlighted());
  EXPECT_EQ(events_->seen, std::vector<UIControlEvents>{UIControlEventTouchCancel});
  EXPECT_FALSE(tracker_->isDown());

  // A cancelled key types nothing.
  const auto field = raiseDecimalPad();
  ASSERT_EQ(tracker_->down(keyPoint(0, 0)), "");
  EXPECT_EQ(held(), "1");
  ASSERT_EQ(tracker_->cancel(), "");
  EXPECT_EQ(held(), "none");
  EXPECT_EQ(field->text(), "");
}

TEST_F(TouchTrackingTest, KeysTypeWhereTheyAreSeenAndWhereTheFingerLifts) {
  const auto field = raiseDecimalPad();
  for (const auto& [r, c] : std::vector<std::pair<int, int>>{{0, 0}, {3, 1}, {3, 0}, {1, 1}}) {
    ASSERT_EQ(tracker_->down(keyPoint(r, c)), "");
    ASSERT_EQ(tracker_->up(keyPoint(r, c)), "");
  }
  EXPECT_EQ(field->text(), "10.5");
  // Delete; then a finger slid from 3 to 6 types the 6, and one lifted off the keys nothing.
  ASSERT_EQ(tracker_->down(keyPoint(3, 2)), "");
  ASSERT_EQ(tracker_->up(keyPoint(3, 2)), "");
  ASSERT_EQ(tracker_->down(keyPoint(0, 2)), "");
  ASSERT_EQ(tracker_->up(keyPoint(1, 2)), "");
  ASSERT_EQ(tracker_->down(keyPoint(0, 1)), "");
  ASSERT_EQ(tracker_->up({160, kKeysTop - 3}), "");  // near the 2, but above the keys
  EXPECT_EQ(field->text(), "10.6");
}

TEST_F(TouchTrackingTest, TheHeldKeyFollowsTheFingerAndLetsGoAtTheLift) {
  const auto field = raiseDecimalPad();
  EXPECT_EQ(held(), "none");
  ASSERT_EQ(tracker_->down(keyPoint(0, 0)), "");
  EXPECT_EQ(held(), "1");
  ASSERT_EQ(tracker_->move(keyPoint(1, 1)), "");
  EXPECT_EQ(held(), "5");
  ASSERT_EQ(tracker_->move({160, kKeysTop - 3}), "");  // off the keys: none is held
  EXPECT_EQ(held(), "none");
  ASSERT_EQ(tracker_->move(keyPoint(3, 2)), "");  // and back on
  EXPECT_EQ(held(), "delete");
  EXPECT_EQ(field->text(), "");  // nothing is typed while the finger is down
  ASSERT_EQ(tracker_->up(keyPoint(2, 2)), "");
  EXPECT_EQ(held(), "none");
  EXPECT_EQ(field->text(), "9");

  // Lifted off the keys, the press goes too; a lift without a move lets go as well.
  ASSERT_EQ(tracker_->down(keyPoint(2, 0)), "");
  ASSERT_EQ(tracker_->up({160, 100}), "");
  EXPECT_EQ(held(), "none");
  ASSERT_EQ(tracker_->down(keyPoint(3, 0)), "");
  EXPECT_EQ(held(), ".");
  ASSERT_EQ(tracker_->up(keyPoint(3, 0)), "");
  EXPECT_EQ(held(), "none");
  EXPECT_EQ(field->text(), "9.");

  // A touch that starts off the keys never presses one, even when it slides onto them.
  ASSERT_EQ(tracker_->down({160, 100}), "");
  ASSERT_EQ(tracker_->move(keyPoint(0, 0)), "");
  EXPECT_EQ(held(), "none");
  ASSERT_EQ(tracker_->up(keyPoint(0, 0)), "");
  EXPECT_EQ(field->text(), "9.");
}

TEST_F(TouchTrackingTest, AnAlertTakesEveryTouchAndItsButtonDismissesIt) {
  const auto button = addButton(CGRectMake(100, 100, 60, 30));
  UIAlertView::initWithTitleMessageCancelButtonTitle(NSStr("Error"), NSStr("one"), "OK")->show();
  ASSERT_EQ(tracker_->down({130, 135}), "");
  EXPECT_FALSE(button->isHighlighted());
  ASSERT_EQ(tracker_->up({130, 135}), "");
  EXPECT_TRUE(events_->seen.empty());

  const auto& alerts = UIAlertView::visibleAlerts();
  ASSERT_EQ(alerts.size(), 1u);
  const auto frames = screen::alertButtonFrames(*alerts.back(), {320, 480});
  ASSERT_EQ(frames.size(), 1u);
  const CGPoint ok{frames[0].origin.x + frames[0].size.width / 2,
                   frames[0].origin.y + frames[0].size.height / 2};
  // Down on OK but lifted off it: the alert stays.
  ASSERT_EQ(tracker_->down(ok), "");
  ASSERT_EQ(tracker_->up({ok.x, ok.y + 60}), "");
  EXPECT_EQ(alerts.size(), 1u);
  // Down off it and lifted on it: it stays too.
  ASSERT_EQ(tracker_->down({ok.x, ok.y - 60}), "");
  ASSERT_EQ(tracker_->up(ok), "");
  EXPECT_EQ(alerts.size(), 1u);
  ASSERT_EQ(tracker_->down(ok), "");
  ASSERT_EQ(tracker_->up(ok), "");
  EXPECT_TRUE(alerts.empty());
  EXPECT_TRUE(events_->seen.empty());
  // Gone, it takes touches no more.
  ASSERT_EQ(tracker_->down({130, 135}), "");
  EXPECT_TRUE(button->isHighlighted());
  ASSERT_EQ(tracker_->up({130, 135}), "");
}

// The widget in the real simulator, touched through the script.
class WidgetTouchTest : public tessary::test::PlatformTest {
 protected:
  WidgetTouchTest() { EXPECT_EQ(runScript(root_.path(), "install\n").status, 0); }
  std::vector<Json> run(const std::string& script) {
    const auto result = runScript(root_.path(),
                                  "clock 800000000\nsettings Detail true\nshow\n"
                                  "wait 1\n" +
                                      script,
                                  {}, {"TESSARY_QUOTE_URL=http://127.0.0.1:9"});
    EXPECT_EQ(result.status, 0) << result.err;
    return result.dumps();
  }
  // The first view of the class in the dump's widget or overlay whose `key` is `value`.
  static const Json* find(const Json& dump, const char* className, const char* key,
                          const std::string& value) {
    std::vector<const Json*> views;
    for (const char* tree : {"widget", "overlay"}) {
      if (!dump.at(tree).is_null()) tessary::test::collectViews(dump.at(tree), className, views);
    }
    for (const Json* view : views) {
      if (view->at(key) == value) return view;
    }
    return nullptr;
  }
};

TEST_F(WidgetTouchTest, ToolButtonsGlowWhileHeldAndStayLitForTheirOwnBlock) {
  for (const std::string image : {"Refresh.png", "UIInvert.png", "Clear.png"}) {
    const std::string target = "image:" + image;
    const auto dumps = run("touch down " + target + "\ndump\ntouch up " + target +
                           "\nwait 0.049\ndump\nwait 0.001\ndump\n");
    ASSERT_EQ(dumps.size(), 3u) << image;
    std::vector<bool> lit;
    for (const auto& dump : dumps) {
      const Json* button = find(dump, "UIButton", "backgroundImage", image);
      ASSERT_TRUE(button) << image;
      lit.push_back(button->at("highlighted").get<bool>());
    }
    EXPECT_EQ(lit, (std::vector<bool>{true, true, false})) << image;
  }
}

TEST_F(WidgetTouchTest, ACodeInTheRowIsChosenByATapAndADragPagesTheRowInstead) {
  const auto rowOf = [](const Json& dump) {
    std::vector<const Json*> rows;
    tessary::test::collectViews(dump.at("overlay"), "UIScrollView", rows);
    return rows.at(0);
  };
  const auto opened = run("tap button:EUR\nwait 1\ndump\n");
  ASSERT_EQ(opened.size(), 1u);
  const Json* row = rowOf(opened[0]);
  EXPECT_EQ(row->at("contentOffset").at(0).get<double>(), 0);
  const std::string code = row->at("subviews").at(1).at("title").get<std::string>();
  const auto located = runScript(root_.path(),
                                 "settings Detail true\nshow\nwait 1\n"
                                 "tap button:EUR\nwait 1\nlocate code:" +
                                     code + "\n");
  const auto comma = located.out.find(',');
  ASSERT_NE(comma, std::string::npos) << located.err;
  const double x = std::stod(located.out.substr(0, comma));
  const std::string y = located.out.substr(comma + 1, located.out.find('\n') - comma - 1);
  const std::string dragTo = std::to_string(x - 60) + "," + y;

  // Held on the code past the slop: the row takes the touch and the code's button lets go.
  const auto dragged =
      run("tap button:EUR\nwait 1\ntouch down code:" + code + "\ndump\ntouch move " + dragTo +
          "\ndump\ntouch up " + dragTo + "\nwait 1\ndump\n");
  ASSERT_EQ(dragged.size(), 3u);
  EXPECT_TRUE(find(dragged[0], "UIButton", "title", code)->at("highlighted").get<bool>());
  EXPECT_FALSE(find(dragged[1], "UIButton", "title", code)->at("highlighted").get<bool>());
  EXPECT_GT(rowOf(dragged[2])->at("contentOffset").at(0).get<double>(), 0);  // the next page

  // Tapped, the code is chosen and the picker closes.
  const auto tapped = run("tap button:EUR\nwait 1\ntap code:" + code + "\nwait 1\ndump\n");
  ASSERT_EQ(tapped.size(), 1u);
  EXPECT_TRUE(tapped[0].at("overlay").is_null());
  EXPECT_TRUE(find(tapped[0], "UIButton", "title", code));
}

}  // namespace
