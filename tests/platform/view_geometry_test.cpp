#include <gtest/gtest.h>

#include "platform/uikit/ui_button.h"
#include "platform/uikit/ui_image.h"
#include "platform/uikit/ui_label.h"
#include "platform/uikit/ui_table_view.h"
#include "tests/support/test_environment.h"

namespace {

using ViewGeometry = tessary::test::PlatformTest;

// A phone's list: the sliding view under the status bar, the table on it, the widget's cell
// 72 points down the content, a 48-point button in it, and an overlay over the sliding view's
// bounds.
struct List {
  std::shared_ptr<UIView> window = UIView::initWithFrame(CGRectMake(0, 0, 320, 480));
  std::shared_ptr<UIView> sliding = UIView::initWithFrame(CGRectMake(0, 20, 320, 460));
  std::shared_ptr<UITableView> table = construct<UITableView>(CGRectMake(0, 0, 320, 420));
  std::shared_ptr<UIView> cell = UIView::initWithFrame(CGRectMake(0, 72, 320, 40));
  std::shared_ptr<UIView> row = UIView::initWithFrame(CGRectMake(2, 0, 316, 40));
  std::shared_ptr<UIButton> button = UIButton::buttonWithType(UIButtonTypeCustom);
  std::shared_ptr<UIView> overlay;
  List() {
    window->addSubview(sliding);
    sliding->addSubview(table);
    table->addSubview(cell);
    cell->addSubview(row);
    row->addSubview(button);
    button->setFrame(CGRectMake(7, 5, 48, 30));
    overlay = UIView::initWithFrame(sliding->bounds());
    sliding->addSubview(overlay);
  }
};

TEST_F(ViewGeometry, ContentOffsetIsTheBoundsOriginAndConversionsSubtractIt) {
  List list;
  EXPECT_EQ(list.overlay->convertPointFromView(CGPointZero, list.button.get()), CGPointMake(9, 77));
  list.table->setContentOffset({0, 72});
  EXPECT_EQ(list.table->bounds(), CGRectMake(0, 72, 320, 420));
  EXPECT_EQ(list.table->frame(), CGRectMake(0, 0, 320, 420));  // scrolling moves no frame
  // The row at content y 72 shows at the table's top edge.
  EXPECT_EQ(list.overlay->convertPointFromView(CGPointZero, list.button.get()), CGPointMake(9, 5));
  EXPECT_EQ(list.button->convertPointToView(CGPointZero, list.overlay.get()), CGPointMake(9, 5));
  EXPECT_EQ(list.button->convertPointToView(CGPointMake(24, 0), nullptr), CGPointMake(33, 25));
  EXPECT_EQ(list.button->convertPointFromView(CGPointMake(33, 25), nullptr), CGPointMake(24, 0));
  EXPECT_EQ(list.overlay->convertRectFromView(list.button->bounds(), list.button.get()),
            CGRectMake(9, 5, 48, 30));
  EXPECT_EQ(list.button->convertRectToView(CGRectMake(1, 2, 3, 4), list.window.get()),
            CGRectMake(10, 27, 3, 4));
  // The table's own content coordinates do not move with its offset.
  EXPECT_EQ(list.table->convertPointFromView(CGPointZero, list.cell.get()), CGPointMake(0, 72));

  // A new bounds size keeps the centre, as a new frame keeps the origin.
  auto view = UIView::initWithFrame(CGRectMake(10, 10, 100, 50));
  view->setBounds(CGRectMake(5, 6, 50, 30));
  EXPECT_EQ(view->frame(), CGRectMake(35, 20, 50, 30));
  EXPECT_EQ(view->bounds(), CGRectMake(5, 6, 50, 30));
  view->setFrame(CGRectMake(0, 0, 80, 80));
  EXPECT_EQ(view->bounds(), CGRectMake(5, 6, 80, 80));
}

TEST_F(ViewGeometry, HitTestingFollowsOffsetsClippingAndInteraction) {
  List list;
  list.overlay->removeFromSuperview();
  list.table->setContentOffset({0, 72});
  // The button's top-left corner, 5 points into the table at its top, is the button.
  EXPECT_EQ(list.window->hitTest(CGPointMake(10, 26)), list.button);
  // Its title label takes no touches, so a touch on the title is the button's.
  list.button->setTitleForState("EUR", UIControlStateNormal);
  EXPECT_EQ(list.window->hitTest(CGPointMake(33, 40)), list.button);
  // Where the row was before scrolling lies another part of the content now.
  EXPECT_EQ(list.window->hitTest(CGPointMake(10, 98)), list.table);

  // Scroll views clip by default: content outside the bounds cannot be touched.
  auto scroll = UIScrollView::initWithFrame(CGRectMake(0, 100, 100, 40));
  EXPECT_TRUE(scroll->clipsToBounds());
  auto inside = UIView::initWithFrame(CGRectMake(0, 0, 48, 30));
  auto outside = UIView::initWithFrame(CGRectMake(106, 0, 48, 30));
  scroll->addSubview(inside);
  scroll->addSubview(outside);
  auto root = UIView::initWithFrame(CGRectMake(0, 0, 320, 480));
  root->addSubview(scroll);
  EXPECT_EQ(root->hitTest(CGPointMake(10, 110)), inside);
  EXPECT_EQ(root->hitTest(CGPointMake(110, 110)), root);  // outside shows nowhere
  scroll->setContentOffset({100, 0});
  EXPECT_EQ(root->hitTest(CGPointMake(10, 110)), outside);
  EXPECT_EQ(root->hitTest(CGPointMake(3, 110)), scroll);  // the gap between buttons

  // A plain view lets a child that sticks out be touched where it shows.
  auto plain = UIView::initWithFrame(CGRectMake(200, 0, 50, 50));
  auto sticking = UIView::initWithFrame(CGRectMake(40, 40, 30, 30));
  plain->addSubview(sticking);
  root->addSubview(plain);
  EXPECT_EQ(root->hitTest(CGPointMake(265, 65)), sticking);
  plain->setClipsToBounds(true);
  EXPECT_EQ(root->hitTest(CGPointMake(265, 65)), root);

  // Labels and image views take no touches; hidden or transparent views and their content
  // neither.
  EXPECT_FALSE(UILabel::initWithFrame(CGRectZero)->isUserInteractionEnabled());
  EXPECT_FALSE(UIImageView::initWithImage(nullptr)->isUserInteractionEnabled());
  plain->setClipsToBounds(false);
  plain->setAlpha(0.009f);
  EXPECT_EQ(root->hitTest(CGPointMake(265, 65)), root);
  plain->setAlpha(1);
  plain->setHidden(true);
  EXPECT_EQ(root->hitTest(CGPointMake(265, 65)), root);
  EXPECT_EQ(root->hitTest(CGPointMake(400, 10)), nullptr);
}

}  // namespace

namespace {

// Marks gather on the root in its coordinates, through a scrolled superview; a move marks
// where the view and a subview sticking out of it were and are; a new text marks the label, an
// unchanged one nothing; hiding marks everything shown; a button's glow is marked beyond its
// edges.
TEST_F(ViewGeometry, DamageGathersOnTheRootInItsCoordinates) {
  const auto root = UIView::initWithFrame(CGRectMake(0, 0, 320, 480));
  const auto scroller = UIView::initWithFrame(CGRectMake(10, 20, 100, 100));
  scroller->setBounds(CGRect{{0, 50}, {100, 100}});
  root->addSubview(scroller);
  const auto box = UIView::initWithFrame(CGRectMake(5, 60, 40, 10));
  scroller->addSubview(box);
  const auto child = UIView::initWithFrame(CGRectMake(30, 0, 20, 20));
  box->addSubview(child);
  box->setFrame(CGRectMake(5, 70, 40, 10));
  root->takeDamage();
  box->setFrame(CGRectMake(5, 60, 40, 10));
  EXPECT_EQ(root->takeDamage(),
            (std::vector<CGRect>{CGRectMake(15, 40, 50, 20), CGRectMake(15, 30, 50, 20)}));

  // A label marks itself and the line of its font around it.
  const auto label = UILabel::initWithFrame(CGRectMake(5, 0, 40, 30));
  child->addSubview(label);
  root->takeDamage();
  label->setText("1");
  const auto text = root->takeDamage();
  ASSERT_EQ(text.size(), 1u);
  EXPECT_EQ(CGRectUnion(text[0], CGRectMake(50, 30, 40, 30)), text[0]);
  label->setText("1");
  EXPECT_TRUE(root->takeDamage().empty());
  scroller->setHidden(true);
  EXPECT_EQ(root->takeDamage(), std::vector<CGRect>{CGRectMake(10, 20, 100, 100)});

  const auto button = UIButton::buttonWithType(UIButtonTypeCustom);
  button->setFrame(CGRectMake(100, 200, 20, 20));
  button->setShowsTouchWhenHighlighted(true);
  root->addSubview(button);
  root->takeDamage();
  button->setHighlighted(true);
  button->setHighlighted(false);
  const auto marked = root->takeDamage();
  ASSERT_FALSE(marked.empty());
  EXPECT_EQ(marked.front(), CGRectMake(90, 190, 40, 40));  // the glow's radius of 20
}

}  // namespace
