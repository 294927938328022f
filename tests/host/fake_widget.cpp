// A small widget bundle for the host's tests: it records every host call, in order, with what
// the host had arranged at that moment.
#include <memory>
#include <string>
#include <vector>

#include "platform/hostlist/wee_app_controller.h"
#include "platform/uikit/ui_table_view.h"
#include "platform/uikit/ui_text_field.h"

namespace {

std::vector<std::string>& calls() {
  static std::vector<std::string> log;
  return log;
}

class FakeController : public BBWeeAppController, public UITextFieldDelegate, public NSObject {
 public:
  explicit FakeController(PassKey<FakeController>) { calls().push_back("create"); }
  ~FakeController() override { calls().push_back("dealloc"); }

  std::shared_ptr<UIView> view() override { return view_; }
  float viewHeight() override {
    calls().push_back("viewHeight");
    return 85.0f;
  }
  void loadPlaceholderView() override {
    calls().push_back("loadPlaceholderView");
    view_ = UIView::initWithFrame(CGRectMake(0, 0, 316, 85));
    view_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    auto background = UIView::initWithFrame(CGRectMake(2, 0, 312, 85));
    background->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    view_->addSubview(background);
  }
  void loadFullView() override {
    const auto content = view_->superview();
    const auto cell = content ? content->superview() : nullptr;
    calls().push_back("loadFullView width=" + std::to_string(int(view_->frame().size.width)) +
                      " x=" + std::to_string(int(view_->frame().origin.x)) +
                      " cell=" + (cell ? cell->className() : "none"));
    field_ = UITextField::initWithFrame(CGRectMake(60, 8, 90, 26));
    field_->setDelegate(std::static_pointer_cast<FakeController>(shared_from_this()));
    view_->addSubview(field_);
    field_->becomeFirstResponder();
  }
  void unloadView() override {
    calls().push_back("unloadView");
    view_.reset();
    field_.reset();
  }
  void willRotateToInterfaceOrientation(int orientation) override {
    calls().push_back("willRotate " + std::to_string(orientation));
  }
  void didRotateFromInterfaceOrientation(int orientation) override {
    calls().push_back("didRotate " + std::to_string(orientation));
  }
  void textFieldDidEndEditing(UITextField&) override { calls().push_back("didEndEditing"); }

 private:
  std::shared_ptr<UIView> view_;
  std::shared_ptr<UITextField> field_;
};

}  // namespace

extern "C" {
TESSARY_EXPORT BOOL detailMode = YES;
TESSARY_EXPORT std::shared_ptr<NSString> titleString = NSStr("Fake \"title\"");

TESSARY_EXPORT void FakeWidgetCreate(std::shared_ptr<BBWeeAppController>* out) {
  *out = construct<FakeController>();
}
TESSARY_EXPORT std::vector<std::string>* FakeWidgetCalls() {
  return &calls();
}
}
