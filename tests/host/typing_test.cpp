#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/simulator.h"
#include "platform/uikit/ui_pasteboard.h"
#include "platform/uikit/ui_text_field.h"
#include "tests/support/test_environment.h"

namespace {

// Records every edit the keyboard asks for, as range and replacement.
struct KeyLog : UITextFieldDelegate {
  std::vector<std::string> edits;
  BOOL textFieldShouldChangeCharactersInRangeReplacementString(UITextField&, NSRange range,
                                                               const std::string& text) override {
    edits.push_back(std::to_string(range.location) + "+" + std::to_string(range.length) + ":" +
                    text);
    return YES;
  }
};

class TypingTest : public tessary::test::PlatformTest {
 protected:
  TypingTest() : sim_(options()) {
    field_->setDelegate(keys_);
    sim_.list().window()->addSubview(field_);
  }
  Simulator::Options options() const {
    Simulator::Options chosen;
    chosen.root = root_.path();
    return chosen;
  }

  Simulator sim_;
  std::shared_ptr<KeyLog> keys_ = std::make_shared<KeyLog>();
  std::shared_ptr<UITextField> field_ = UITextField::initWithFrame(CGRectMake(10, 10, 100, 30));
};

// One key per character at the end of the text, in UTF-16 code units: a character outside the
// basic plane is one key of two units, and a backspace takes it whole.
TEST_F(TypingTest, KeysAreCharactersAndBackspaceTakesWholeCharacters) {
  EXPECT_EQ(sim_.type("1"), "type: no first responder");
  ASSERT_TRUE(field_->becomeFirstResponder());
  field_->setText("1");
  ASSERT_EQ(sim_.type("\xC3\xA9\xF0\x9F\x98\x80x"), "");  // é, an emoji, x
  EXPECT_EQ(field_->text(), "1\xC3\xA9\xF0\x9F\x98\x80x");
  EXPECT_EQ(keys_->edits,
            (std::vector<std::string>{"1+0:\xC3\xA9", "2+0:\xF0\x9F\x98\x80", "4+0:x"}));

  keys_->edits.clear();
  ASSERT_EQ(sim_.backspace(2), "");
  EXPECT_EQ(field_->text(), "1\xC3\xA9");
  EXPECT_EQ(keys_->edits, (std::vector<std::string>{"4+1:", "2+2:"}));

  // A byte that is no UTF-8 is typed as U+FFFD; backspaces past the start stop there.
  keys_->edits.clear();
  ASSERT_EQ(sim_.type("\xFF"), "");
  EXPECT_EQ(field_->text(), "1\xC3\xA9\xEF\xBF\xBD");
  ASSERT_EQ(sim_.backspace(10), "");
  EXPECT_EQ(field_->text(), "");
  EXPECT_EQ(keys_->edits.size(), 4u);

  // A paste is one edit however long, and the pasteboard is only set.
  keys_->edits.clear();
  ASSERT_EQ(sim_.paste("\xF0\x9F\x98\x80"
                       "12"),
            "");
  EXPECT_EQ(keys_->edits, (std::vector<std::string>{"0+0:\xF0\x9F\x98\x80"
                                                    "12"}));
  ASSERT_EQ(sim_.setPasteboard("3"), "");
  EXPECT_EQ(UIPasteboard::generalPasteboard().string(), "3");
  EXPECT_EQ(field_->text(),
            "\xF0\x9F\x98\x80"
            "12");
}

}  // namespace
