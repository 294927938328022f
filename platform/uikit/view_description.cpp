#include "platform/uikit/view_description.h"

#include "platform/uikit/ui_color.h"
#include "platform/uikit/ui_image.h"

void ViewDescription::rect(std::string_view key, CGRect value) {
  reals(key, {value.origin.x, value.origin.y, value.size.width, value.size.height});
}

void ViewDescription::point(std::string_view key, CGPoint value) {
  reals(key, {value.x, value.y});
}

void ViewDescription::size(std::string_view key, CGSize value) {
  reals(key, {value.width, value.height});
}

void ViewDescription::color(std::string_view key, const UIColor* value) {
  if (value) {
    reals(key, {value->red(), value->green(), value->blue(), value->alpha()});
  } else {
    null(key);
  }
}

void ViewDescription::font(std::string_view key, const UIFont* value) {
  if (value) {
    real(key, value->pointSize());
  } else {
    null(key);
  }
}

void ViewDescription::image(std::string_view key, const UIImage* value) {
  if (value) {
    string(key, value->fileName());
  } else {
    null(key);
  }
}
