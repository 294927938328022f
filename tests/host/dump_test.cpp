// The dump writes whatever a view says of itself, so a view class the host has never heard of
// shows with its own properties.
#include "host/dump.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/values.h"
#include "platform/uikit/view_description.h"

namespace {

class GaugeView : public UIView {
 public:
  explicit GaugeView(PassKey<GaugeView>) : UIView(CGRectMake(4, 8, 60, 20)) {}
  const char* className() const override { return "GaugeView"; }
  void describe(ViewDescription& out) const override {
    UIView::describe(out);
    out.real("level", 0.75f);
    out.strings("marks", marks_);
    out.beginEntries("needles");
    out.beginEntry();
    out.point("tip", CGPointMake(1.5f, 2));
    out.endEntry();
    out.nullEntry();
    out.endEntries();
  }

 private:
  std::vector<std::string> marks_{"low", "high"};
};

TEST(Dump, AViewClassUnknownToTheHostWritesItsOwnPropertiesAfterItsBases) {
  const auto outer = UIView::initWithFrame(CGRectMake(0, 0, 100, 50));
  outer->addSubview(construct<GaugeView>());
  JsonWriter out;
  dump::writeView(out, *outer);
  EXPECT_EQ(out.str(),
            R"({"class":"UIView","frame":[0,0,100,50],"alpha":1,"hidden":false,"tag":0,)"
            R"("backgroundColor":null,"subviews":[{"class":"GaugeView","frame":[4,8,60,20],)"
            R"("alpha":1,"hidden":false,"tag":0,"backgroundColor":null,"level":0.75,)"
            R"("marks":["low","high"],"needles":[{"tip":[1.5,2]},null],"subviews":[]}]})");
}

TEST(Dump, PropertyListValuesKeepTheirKinds) {
  const auto list = std::make_shared<NSArray>(
      std::vector<id>{NSStr("a"), nullptr, NSNumber::numberWithDouble(0.5)});
  const NSDictionary values(NSDictionary::Storage{
      {"bool", NSNumber::numberWithBool(true)},
      {"data", NSData::dataWithBytes("hi!")},
      {"date", NSDate::dateWithTimeIntervalSinceReferenceDate(0)},
      {"far", NSDate::dateWithTimeIntervalSinceReferenceDate(-1e12)},
      {"huge", NSNumber::numberWithUnsignedInteger(UINT64_MAX)},
      {"int", NSNumber::numberWithInteger(-7)},
      {"list", list},
  });
  JsonWriter out;
  dump::writeValue(out, &values);
  EXPECT_EQ(out.str(), R"({"bool":true,"data":"aGkh","date":"2001-01-01T00:00:00Z","far":-1e+12,)"
                       R"("huge":18446744073709551615,"int":-7,"list":["a",null,0.5]})");
}

}  // namespace
