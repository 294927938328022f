#include "tests/widget/widget_fixture.h"

namespace tessary::test {
namespace {

using SwapAndClear = WidgetTest;

TEST_F(SwapAndClear, SwapKeepsTheSourceAmountAndConvertsTheOtherWay) {
  storeRate("EUR-USD", "1.25", 0.1);
  leftField->setText("100");
  controller->shuffleBut();
  EXPECT_EQ(leftButton->titleLabel()->text(), "USD");
  EXPECT_EQ(rightButton->titleLabel()->text(), "EUR");
  EXPECT_EQ(leftField->text(), "100");
  EXPECT_EQ(rightField->text(), "80.00");
  EXPECT_EQ(left, YES);
  EXPECT_TRUE(shuffle->isHighlighted());
  advance(0.049);
  EXPECT_TRUE(shuffle->isHighlighted());
  advance(0.001);
  EXPECT_FALSE(shuffle->isHighlighted());

  controller->shuffleRates();  // the bar's swap: no highlight, nothing scheduled
  EXPECT_EQ(leftButton->titleLabel()->text(), "EUR");
  EXPECT_EQ(rightField->text(), "125.00");
  EXPECT_FALSE(shuffle->isHighlighted());
  EXPECT_EQ(NSRunLoop::mainRunLoop().pendingTimers(NSRunLoop::TimeBase::Clock), 0u);
}

TEST_F(SwapAndClear, SwapWithEmptyFieldsOnlyMovesCodesAndNamesInDetailMode) {
  leftDetail->setText("Euro");
  rightDetail->setText("US Dollar");
  controller->shuffleBut();
  EXPECT_EQ(leftDetail->text(), "Euro");  // names move only in detail mode
  detailMode = YES;
  controller->shuffleRates();
  controller->shuffleBut();
  EXPECT_EQ(leftButton->titleLabel()->text(), "USD");
  EXPECT_EQ(leftDetail->text(), "Euro");
  controller->shuffleRates();
  EXPECT_EQ(leftDetail->text(), "US Dollar");
  EXPECT_EQ(leftButton->titleLabel()->text(), "EUR");
  EXPECT_TRUE(NSURLConnection::startedRequests().empty());
  EXPECT_EQ(rates()->count(), 0u);
}

TEST_F(SwapAndClear, ClearEmptiesBothFieldsAndNothingElse) {
  leftField->setText("12");
  rightField->setText("15.00");
  controller->clearFields();
  controller->clearFields();  // again within the highlight: a second block, same end
  EXPECT_EQ(leftField->text(), "");
  EXPECT_EQ(rightField->text(), "");
  EXPECT_TRUE(clear->isHighlighted());
  advance(0.05);
  EXPECT_FALSE(clear->isHighlighted());
  EXPECT_TRUE(NSURLConnection::startedRequests().empty());
  EXPECT_EQ(leftButton->titleLabel()->text(), "EUR");
}

}  // namespace
}  // namespace tessary::test
