#include <cstdint>

#include "platform/foundation/file_manager.h"
#include "platform/uikit/ui_device.h"
#include "platform/uikit/ui_keyboard.h"
#include "tests/widget/widget_fixture.h"
#include "widget/picker/catalogue.h"

namespace tessary::test {
namespace {

using Catalogue = PlatformTest;

// Only a PNG's signature and header matter to the image layer's size.
std::string pngHeader(uint32_t width, uint32_t height) {
  std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
  for (const uint32_t v : {width, height}) {
    for (int shift = 24; shift >= 0; shift -= 8) png += static_cast<char>((v >> shift) & 0xFF);
  }
  return png + std::string("\x08\x06\0\0\0", 5);
}

// A controller driven the way the host drives it, with the bundle's images in the device root
// and the widget's view placed in a cell (cell, content view, widget view).
class FullView : public PlatformTest {
 protected:
  FullView() {
    resetWidgetFlagsForTesting();
    UIDevice::currentDevice().setKind(UIDevice::Kind::Phone);
    for (const auto& [name, w, h] :
         std::vector<std::tuple<std::string, int, int>>{{"ButtonBG.png", 48, 30},
                                                        {"Background.png", 21, 41},
                                                        {"Refresh.png", 30, 30},
                                                        {"Clear.png", 28, 28},
                                                        {"UIInvert.png", 32, 32}}) {
      root_.writeFile(std::string(paths::kBundle) + name, pngHeader(w, h));
    }
    writeCatalogue();
  }
  ~FullView() override { UIDevice::currentDevice().setKind(UIDevice::Kind::Phone); }

  void writeCatalogue() {
    auto entry = [](const char* iso, const char* name) {
      return std::make_shared<NSDictionary>(
          NSDictionary::Storage{{"ISO", NSStr(iso)}, {"Currency", NSStr(name)}});
    };
    NSArray({NSStr("not a dictionary"), entry("EUR", "Euro"), entry("USD", "US Dollar"),
             std::make_shared<NSDictionary>(
                 NSDictionary::Storage{{"ISO", NSStr("GBP")}, {"Currency", NSStr("")}}),
             entry("USD", "Second Dollar"), entry("GBP", "Pound Sterling")})
        .writeToFileAtomically(paths::kCurrencies, true);
  }

  void writeSettings(NSDictionary::Storage entries) {
    NSDictionary(std::move(entries)).writeToFileAtomically(paths::kSettings, true);
  }

  void show() {
    controller = TessaryController::create();
    controller->loadPlaceholderView();
    cell = UIView::initWithFrame(CGRectMake(0, 0, 320, controller->view()->frame().size.height));
    auto content = UIView::initWithFrame(cell->bounds());
    cell->addSubview(content);
    content->addSubview(controller->view());
    controller->loadFullView();
  }

  std::vector<std::string> subviewClasses() const {
    std::vector<std::string> names;
    for (const auto& v : controller->sub.lock()->subviews()) names.push_back(v->className());
    return names;
  }

  std::shared_ptr<TessaryController> controller;
  std::shared_ptr<UIView> cell;
};

TEST_F(FullView, PlaceholderHeightAndBackground) {
  auto c = TessaryController::create();
  EXPECT_EQ(c->viewHeight(), 40.0f);
  EXPECT_EQ(detailMode, NO);
  writeSettings({{"Detail", NSNumber::numberWithBool(true)}});
  EXPECT_EQ(detailMode, NO);  // only the next height query reads it
  c->loadPlaceholderView();
  EXPECT_EQ(detailMode, YES);
  EXPECT_EQ(c->view()->frame(), CGRectMake(0, 0, 316, 85));
  EXPECT_EQ(c->view()->autoresizingMask(), UIViewAutoresizingFlexibleWidth);
  ASSERT_EQ(c->view()->subviews().size(), 1u);
  EXPECT_EQ(c->_backgroundView->frame(), CGRectMake(2, 0, 312, 85));
  EXPECT_EQ(c->_backgroundView->image()->leftCapWidth(), 10);
  EXPECT_EQ(c->_backgroundView->image()->topCapHeight(), 20);

  NSFileManager::defaultManager().removeItemAtPath(std::string(paths::kBundle) + "Background.png");
  c->loadPlaceholderView();  // a missing image leaves the image view empty
  EXPECT_EQ(c->_backgroundView->image(), nullptr);
}

TEST_F(FullView, RotationRecordsPortraitForOneAndTwoOnly) {
  auto c = TessaryController::create();
  const std::vector<std::pair<int, BOOL>> orientations = {
      {3, NO}, {1, YES}, {4, NO}, {2, YES}, {0, NO}, {-1, NO}, {INT32_MIN, NO}, {INT32_MAX, NO}};
  for (const auto& [orientation, portrait] : orientations) {
    c->willRotateToInterfaceOrientation(orientation);
    EXPECT_EQ(portraitmode, portrait) << orientation;
  }
  c->didRotateFromInterfaceOrientation(1);  // no picker open: nothing to refit
}

TEST_F(FullView, FirstStartWithAnEmptyDataDirectory) {
  show();
  for (const char* path : {paths::kRates, paths::kDates}) {
    ASSERT_NE(NSDictionary::dictionaryWithContentsOfFile(path), nullptr) << path;
    EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile(path)->count(), 0u) << path;
  }
  const auto recent = NSDictionary::dictionaryWithContentsOfFile(paths::kRecent);
  ASSERT_NE(recent, nullptr);
  EXPECT_EQ(recent->count(), 2u);
  EXPECT_EQ(recent->objectForKey("left")->description(), "EUR");
  EXPECT_EQ(recent->objectForKey("right")->description(), "USD");
  EXPECT_EQ(controller->leftButton.lock()->titleLabel()->text(), "EUR");
  EXPECT_EQ(controller->rightButton.lock()->titleLabel()->text(), "USD");
  EXPECT_EQ(controller->leftField.lock()->text(), "");
  EXPECT_EQ(controller->decimalPlaces, 2);
  EXPECT_EQ(cell->tag(), 69);
}

TEST_F(FullView, CompactNarrowLayout) {
  show();
  const auto sub = controller->sub.lock();
  EXPECT_EQ(sub->frame(), CGRectMake(0, 0, 316, 40));
  EXPECT_EQ(subviewClasses(), (std::vector<std::string>{"UILabel", "UITextField", "UITextField",
                                                        "UIButton", "UIButton"}));
  EXPECT_EQ(controller->leftField.lock()->frame(), CGRectMake(60, 8, 90, 26));
  EXPECT_EQ(controller->rightField.lock()->frame(), CGRectMake(170, 8, 90, 26));
  EXPECT_EQ(controller->leftButton.lock()->frame(), CGRectMake(7, 5, 48, 30));
  EXPECT_EQ(controller->rightButton.lock()->frame(), CGRectMake(265, 5, 48, 30));
  EXPECT_TRUE(controller->refresh.expired());
  EXPECT_TRUE(controller->leftDetail.expired());
  const auto eq = controller->eq.lock();
  EXPECT_EQ(eq->text(), "=");
  EXPECT_FLOAT_EQ(eq->center().x, 158);
  EXPECT_FLOAT_EQ(eq->center().y, 18);
  const auto field = controller->leftField.lock();
  EXPECT_EQ(field->keyboardType(), UIKeyboardTypeDecimalPad);
  EXPECT_EQ(field->borderStyle(), UITextBorderStyleRoundedRect);
  EXPECT_EQ(field->delegate().get(), static_cast<UITextFieldDelegate*>(controller.get()));
  EXPECT_EQ(field->allControlEvents(), UIControlEventEditingChanged);
  const auto button = controller->leftButton.lock();
  EXPECT_EQ(button->currentBackgroundImage()->fileName(), "ButtonBG.png");
  EXPECT_EQ(button->gestureRecognizers().size(), 1u);
  EXPECT_EQ(button->actionCount(), 0u);  // the currency buttons only have the recognizer
  // The container fades in over 0.2 s.
  EXPECT_FLOAT_EQ(sub->alpha(), 1.0f);
  ASSERT_EQ(UIView::runningAnimations().size(), 1u);
  EXPECT_EQ(UIView::runningAnimations()[0].property, "alpha");
  EXPECT_FLOAT_EQ(UIView::runningAnimations()[0].fromAlpha, 0.0f);
  EXPECT_DOUBLE_EQ(UIView::runningAnimations()[0].duration.count(), 0.2);
  advance(0.2);
  EXPECT_TRUE(UIView::runningAnimations().empty());
}

TEST_F(FullView, DetailLayoutsNarrowAndWide) {
  writeSettings({{"Detail", NSNumber::numberWithBool(true)}});
  show();
  EXPECT_EQ(subviewClasses(), (std::vector<std::string>{
                                  "UIButton", "UIButton", "UIButton", "UILabel", "UITextField",
                                  "UITextField", "UILabel", "UILabel", "UIButton", "UIButton"}));
  EXPECT_EQ(controller->leftField.lock()->frame(), CGRectMake(7, 53, 143, 26));
  EXPECT_EQ(controller->rightField.lock()->frame(), CGRectMake(170, 53, 143, 26));
  EXPECT_EQ(controller->leftDetail.lock()->frame(), CGRectMake(8, 37, 142, 15));
  EXPECT_EQ(controller->rightDetail.lock()->frame(), CGRectMake(171, 37, 142, 15));
  EXPECT_EQ(controller->refresh.lock()->frame(), CGRectMake(100, -5, 30, 30));
  EXPECT_EQ(controller->clear.lock()->frame(), CGRectMake(138, -5, 28, 28));
  EXPECT_EQ(controller->shuffle.lock()->frame(), CGRectMake(190, -5, 32, 32));
  EXPECT_FLOAT_EQ(controller->eq.lock()->center().y, 62.5f);
  EXPECT_EQ(controller->leftDetail.lock()->text(), "Euro");
  EXPECT_EQ(controller->rightDetail.lock()->text(), "US Dollar");  // the first USD
  EXPECT_EQ(controller->rightDetail.lock()->textAlignment(), NSTextAlignmentRight);
  EXPECT_EQ(controller->leftDetail.lock()->minimumFontSize(), 8);
  const auto refresh = controller->refresh.lock();
  EXPECT_TRUE(refresh->showsTouchWhenHighlighted());
  EXPECT_EQ(refresh->allControlEvents(), UIControlEventTouchUpInside);
  EXPECT_EQ(refresh->gestureRecognizers().size(), 1u);

  controller->unloadView();
  portraitmode = NO;
  show();
  EXPECT_EQ(controller->leftField.lock()->frame(), CGRectMake(7, 53, 223, 26));
  EXPECT_EQ(controller->rightField.lock()->frame(), CGRectMake(250, 53, 223, 26));
  EXPECT_EQ(controller->rightButton.lock()->frame(), CGRectMake(425, 5, 48, 30));
  EXPECT_EQ(controller->shuffle.lock()->frame().origin.x, 330);
  EXPECT_EQ(controller->refresh.lock()->frame().origin.x, 120);
  EXPECT_EQ(controller->clear.lock()->frame().origin.x, 218);
}

TEST_F(FullView, TabletsAreWideInPortraitAndOldDevicesArePhones) {
  UIDevice::currentDevice().setKind(UIDevice::Kind::Tablet);
  show();
  EXPECT_EQ(controller->leftField.lock()->frame(), CGRectMake(60, 8, 170, 26));
  EXPECT_EQ(controller->rightField.lock()->keyboardType(), UIKeyboardTypeNumberPad);
  UIDevice::currentDevice().setKind(UIDevice::Kind::Old);
  controller->unloadView();
  show();
  EXPECT_EQ(controller->leftField.lock()->frame(), CGRectMake(60, 8, 90, 26));
  EXPECT_EQ(controller->rightField.lock()->keyboardType(), UIKeyboardTypeDecimalPad);
}

TEST_F(FullView, RecentsAndSettingsAtTheBuild) {
  NSDictionary({{"right", NSStr("GBP")},
                {"leftText", NSStr("12,5")},
                {"rightText", NSNumber::numberWithInteger(3)},
                {"extra", NSStr("kept")}})
      .writeToFileAtomically(paths::kRecent, true);
  writeSettings({{"AutoScroll", NSNumber::numberWithBool(false)},
                 {"Decimal", NSStr("0")},
                 {"Exclude", NSStr("NO")}});
  show();
  EXPECT_EQ(controller->leftButton.lock()->titleLabel()->text(), "EUR");
  EXPECT_EQ(controller->rightButton.lock()->titleLabel()->text(), "GBP");
  EXPECT_EQ(controller->leftField.lock()->text(), "12,5");
  EXPECT_EQ(controller->rightField.lock()->text(), "");  // a non-string counts as absent
  EXPECT_EQ(animate, NO);
  EXPECT_EQ(cell->tag(), 0);
  EXPECT_EQ(controller->decimalPlaces, 0);
  EXPECT_EQ(exclude, NO);
  const auto recent = NSDictionary::dictionaryWithContentsOfFile(paths::kRecent);
  EXPECT_EQ(recent->objectForKey("extra")->description(), "kept");
  EXPECT_EQ(recent->objectForKey("left")->description(), "EUR");

  controller->unloadView();
  writeSettings({{"Clear", NSNumber::numberWithBool(true)}});
  show();
  EXPECT_EQ(controller->leftField.lock()->text(), "");
  EXPECT_EQ(animate, NO);  // absent keys keep the flags
  EXPECT_EQ(controller->decimalPlaces, 2);
}

TEST_F(FullView, AnUnreadableRecentsFileGivesNoTitlesAndIsNotWritten) {
  root_.writeFile(paths::kRecent, "{ broken");
  show();
  EXPECT_EQ(controller->leftButton.lock()->titleLabel()->text(), "");
  EXPECT_EQ(root_.readFile(paths::kRecent), "{ broken");
}

TEST_F(FullView, UnloadSavesTheAmountsDropsTheViewsAndStopsListening) {
  show();
  std::weak_ptr<UIView> sub = controller->sub.lock();
  controller->leftField.lock()->setText("12,5");
  controller->rightField.lock()->setText("14.63");
  controller->unloadView();
  EXPECT_TRUE(sub.expired() == false);  // still in the cell the host holds
  cell.reset();
  EXPECT_TRUE(sub.expired());
  EXPECT_EQ(controller->view(), nullptr);
  EXPECT_TRUE(controller->leftField.expired());
  auto recent = NSDictionary::dictionaryWithContentsOfFile(paths::kRecent);
  EXPECT_EQ(recent->objectForKey("leftText")->description(), "12,5");
  EXPECT_EQ(recent->objectForKey("rightText")->description(), "14.63");
  EXPECT_EQ(NSNotificationCenter::defaultCenter().observerCount(), 0u);

  // Each amount is saved beside the code it was typed or converted for: a swap leaves the
  // recorded pair, so the amounts go under each other's keys; an amount whose code is
  // recorded on neither side is not kept.
  show();
  controller->leftButton.lock()->setTitleForState("USD", UIControlStateNormal);
  controller->rightButton.lock()->setTitleForState("EUR", UIControlStateNormal);
  controller->leftField.lock()->setText("100");
  controller->rightField.lock()->setText("87.60");
  controller->unloadView();
  show();
  EXPECT_EQ(controller->leftButton.lock()->titleLabel()->text(), "EUR");
  EXPECT_EQ(controller->leftField.lock()->text(), "87.60");
  EXPECT_EQ(controller->rightField.lock()->text(), "100");
  controller->leftButton.lock()->setTitleForState("GBP", UIControlStateNormal);
  controller->rightButton.lock()->setTitleForState("EUR", UIControlStateNormal);
  controller->leftField.lock()->setText("100");
  controller->rightField.lock()->setText("115.00");
  controller->unloadView();
  recent = NSDictionary::dictionaryWithContentsOfFile(paths::kRecent);
  EXPECT_EQ(recent->objectForKey("leftText")->description(), "115.00");  // beside EUR
  EXPECT_EQ(recent->objectForKey("rightText")->description(), "");       // USD is shown nowhere
  auto restored = NSMutableDictionary::dictionaryWithContentsOfFile(paths::kRecent);
  restored->setObjectForKey(NSStr("12,5"), "leftText");
  restored->writeToFileAtomically(paths::kRecent, true);

  // With "Clear" on, nothing is saved; without a full view, nothing either.
  writeSettings({{"Clear", NSNumber::numberWithBool(true)}});
  show();
  controller->leftField.lock()->setText("99");
  controller->unloadView();
  recent = NSDictionary::dictionaryWithContentsOfFile(paths::kRecent);
  EXPECT_EQ(recent->objectForKey("leftText")->description(), "12,5");
  writeSettings({});
  auto fresh = TessaryController::create();
  fresh->unloadView();
  EXPECT_EQ(NSDictionary::dictionaryWithContentsOfFile(paths::kRecent)
                ->objectForKey("leftText")
                ->description(),
            "12,5");
}

TEST_F(FullView, WiredActionsReachTheController) {
  writeSettings({{"Detail", NSNumber::numberWithBool(true)}});
  show();
  controller->leftField.lock()->setText("1");
  controller->clear.lock()->gestureRecognizers()[0]->sendAction();
  EXPECT_EQ(controller->leftField.lock()->text(), "");
  controller->shuffle.lock()->sendActionsForControlEvents(UIControlEventTouchUpInside);
  EXPECT_EQ(controller->leftButton.lock()->titleLabel()->text(), "USD");
  EXPECT_EQ(controller->leftDetail.lock()->text(), "US Dollar");
  controller->refresh.lock()->sendActionsForControlEvents(UIControlEventTouchUpInside);
  EXPECT_EQ(NSURLConnection::startedRequests().back().timeout, 15.0);
  runUntil([] { return NSURLConnection::activeCount() == 0; });
}

TEST_F(Catalogue, EntriesAndChoices) {
  TempDeviceRoot root;
  NSArray({NSStr("USD"), NSStr("EUR"), NSStr("GBP"), NSNumber::numberWithInteger(1), NSStr("JPY"),
           NSStr("EUR")})
      .writeToFileAtomically(paths::kEntries, true);
  EXPECT_EQ(catalogue::entries("EUR", "USD", true), (std::vector<std::string>{"GBP", "JPY"}));
  EXPECT_EQ(catalogue::entries("EUR", "USD", false).size(), 5u);
  EXPECT_EQ(catalogue::nameForCode("EUR"), std::nullopt);  // no catalogue

  NSDictionary({{"left", NSStr("EUR")}, {"right", NSStr("USD")}, {"leftText", NSStr("1")}})
      .writeToFileAtomically(paths::kRecent, true);
  catalogue::recordChoice("left", "CHF");
  auto recent = NSDictionary::dictionaryWithContentsOfFile(paths::kRecent);
  EXPECT_EQ(recent->objectForKey("left")->description(), "CHF");
  EXPECT_EQ(recent->objectForKey("leftText")->description(), "1");
  root.writeFile(paths::kRecent, "garbage");
  catalogue::recordChoice("right", "SEK");
  recent = NSDictionary::dictionaryWithContentsOfFile(paths::kRecent);
  ASSERT_NE(recent, nullptr);
  EXPECT_EQ(recent->count(), 1u);
}

}  // namespace
}  // namespace tessary::test
