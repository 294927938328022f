// The widget's row through its lifecycle: loading the plug-ins, showing, hiding and releasing
// the controller, the device and the screen's orientation.
#include "host/simulator.h"

#include <filesystem>
#include <system_error>

#include "platform/foundation/file_manager.h"
#include "platform/render/text_measure_pango.h"
#include "platform/uikit/ui_application.h"
#include "platform/uikit/ui_text_field.h"

Simulator::Simulator(Options options) : options_(std::move(options)) {
  // Layout measures text in the fonts the screen is drawn with.
  installPangoTextMeasurer();
  NSURLConnection::setReplySource(replies_);
  if (options_.manualClock) {
    clock_ = std::make_shared<ManualClock>(SystemClock().wall());
    Clock::setCurrent(clock_);
  }
  DeviceRoot::set(options_.root);
  UIDevice::currentDevice().setKind(options_.device);
  orientation_ = options_.orientation;
  applyScreenSize();
  list_.registerAsHost();
  keyboard_.setKeyAction([this](const keyboard::Key& key) {
    if (key.kind == keyboard::Key::Kind::Character) type(key.label);
    if (key.kind == keyboard::Key::Kind::Delete) backspace(1);
  });
}

Simulator::~Simulator() {
  release();
  NSURLConnection::setReplySource(nullptr);
  if (clock_) Clock::setCurrent(nullptr);
}

std::string Simulator::install() {
  const std::string problem = bundles::install(options_.root, options_.bundleDirectory);
  return problem.empty() ? problem : "install: " + problem;
}

std::string Simulator::ensureLoaded() {
  if (!loaded_) {
    const auto plugins = DeviceRoot::map(bundles::kPluginsDirectory);
    std::error_code error;
    if (!plugins || !std::filesystem::is_directory(*plugins, error)) {
      return "no plug-ins folder in the device root (run install first)";
    }
    problems_.clear();
    bundles_ = bundles::loadAll(problems_);
    // An empty or broken plug-ins folder is looked at again next time.
    loaded_ = !bundles_.empty();
  }
  if (bundles_.empty()) {
    std::string reason = "no widget bundle could be loaded";
    for (const auto& problem : problems_) reason += "; " + problem;
    return reason;
  }
  return {};
}

const bundles::Bundle* Simulator::widgetBundle() const {
  return bundles_.empty() ? nullptr : &bundles_.front();
}

void Simulator::applyScreenSize() {
  CGSize size = options_.device == UIDevice::Kind::Tablet ? CGSize{768, 1024} : CGSize{320, 480};
  UIApplication& application = UIApplication::sharedApplication();
  application.setPortraitScreenSize(size.width, size.height);
  application.setStatusBarOrientation(orientation_);
  if (application.isLandscape()) std::swap(size.width, size.height);
  list_.setScreenSize(size);
}

std::string Simulator::show() {
  // The row lies in the list: it cannot show while the list does not.
  list_.setHidden(false);
  if (shown_) return {};
  if (auto problem = ensureLoaded(); !problem.empty()) return "show: " + problem;
  if (!controller_) {
    std::shared_ptr<BBWeeAppController> made;
    widgetBundle()->factory(&made);
    if (!made) return "show: the widget's factory made no controller";
    controller_ = std::move(made);
    if (orientation_ != UIInterfaceOrientationPortrait) {
      controller_->willRotateToInterfaceOrientation(orientation_);
      controller_->didRotateFromInterfaceOrientation(UIInterfaceOrientationPortrait);
    }
  }
  const auto protector = controller_;
  const float height = protector->viewHeight();
  protector->loadPlaceholderView();
  const auto view = protector->view();
  if (!view) return "show: the widget gave no view";
  list_.placeWidgetView(view, height);
  shown_ = true;
  protector->loadFullView();
  return {};
}

std::string Simulator::hide() {
  if (!shown_) return {};
  const auto protector = controller_;
  endEditing();
  protector->unloadView();
  list_.removeWidgetView();
  shown_ = false;
  return {};
}

std::string Simulator::hideList() {
  hide();
  list_.setHidden(true);
  return {};
}

std::string Simulator::showList() {
  return show();
}

std::string Simulator::release() {
  hide();
  controller_.reset();
  return {};
}

std::string Simulator::setDevice(UIDevice::Kind device) {
  if (device == options_.device) return {};
  if (controller_) return "device: the device is chosen before the widget is first shown";
  options_.device = device;
  UIDevice::currentDevice().setKind(device);
  applyScreenSize();
  return {};
}

std::string Simulator::rotate(UIInterfaceOrientation orientation) {
  if (orientation < UIInterfaceOrientationPortrait ||
      orientation > UIInterfaceOrientationLandscapeLeft) {
    return "rotate: the orientation is 1 to 4";
  }
  if (orientation == orientation_) return {};
  const UIInterfaceOrientation from = orientation_;
  const auto protector = controller_;
  if (protector) protector->willRotateToInterfaceOrientation(orientation);
  orientation_ = orientation;
  applyScreenSize();
  if (protector) protector->didRotateFromInterfaceOrientation(from);
  keyboard_.orientationChanged();
  return {};
}

void Simulator::endEditing() {
  if (const auto field = UITextField::firstResponder()) field->resignFirstResponder();
}
