#include "host/dump.h"

#include "host/simulator.h"
#include "platform/foundation/file_manager.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/url_connection.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_application.h"
#include "platform/uikit/ui_button.h"
#include "platform/uikit/ui_callout_view.h"
#include "platform/uikit/ui_image.h"
#include "platform/uikit/ui_label.h"
#include "platform/uikit/ui_pasteboard.h"
#include "platform/uikit/ui_scroll_view.h"
#include "platform/uikit/ui_segmented_control.h"
#include "platform/uikit/ui_text_field.h"
#include "platform/uikit/ui_toolbar.h"

namespace dump {

namespace {

void writeImageName(JsonWriter& out, const UIImage* image) {
  if (image) {
    out.string(image->fileName());
  } else {
    out.null();
  }
}

void writeFont(JsonWriter& out, const UIFont* font) {
  if (font) {
    out.real(font->pointSize());
  } else {
    out.null();
  }
}

}  // namespace

void writeRect(JsonWriter& out, CGRect rect) {
  out.beginArray()
      .real(rect.origin.x)
      .real(rect.origin.y)
      .real(rect.size.width)
      .real(rect.size.height)
      .endArray();
}

void writeColor(JsonWriter& out, const UIColor* color) {
  if (!color) {
    out.null();
    return;
  }
  out.beginArray()
      .real(color->red())
      .real(color->green())
      .real(color->blue())
      .real(color->alpha())
      .endArray();
}

void writeView(JsonWriter& out, const UIView& view) {
  out.beginObject();
  out.key("class").string(view.className());
  out.key("frame");
  writeRect(out, view.frame());
  out.key("alpha").real(view.alpha());
  out.key("hidden").boolean(view.isHidden());
  out.key("tag").integer(view.tag());
  out.key("backgroundColor");
  writeColor(out, view.backgroundColor().get());

  if (const auto* control = dynamic_cast<const UIControl*>(&view)) {
    out.key("highlighted").boolean(control->isHighlighted());
    out.key("enabled").boolean(control->isEnabled());
  }
  if (const auto* button = dynamic_cast<const UIButton*>(&view)) {
    out.key("title").string(button->currentTitle());
    out.key("backgroundImage");
    writeImageName(out, button->currentBackgroundImage().get());
    out.key("image");
    writeImageName(out, button->imageForState(UIControlStateNormal).get());
  }
  if (const auto* label = dynamic_cast<const UILabel*>(&view)) {
    out.key("text").string(label->text());
    out.key("textAlignment").integer(label->textAlignment());
    out.key("fontSize");
    writeFont(out, label->font().get());
    out.key("textColor");
    writeColor(out, label->textColor().get());
  }
  if (const auto* field = dynamic_cast<const UITextField*>(&view)) {
    out.key("text").string(field->text());
    out.key("placeholder").string(field->placeholder());
    out.key("editing").boolean(field->isEditing());
    out.key("firstResponder").boolean(field->isFirstResponder());
    out.key("keyboardType").integer(field->keyboardType());
    out.key("borderStyle").integer(field->borderStyle());
    out.key("textAlignment").integer(field->textAlignment());
    out.key("fontSize");
    writeFont(out, field->font().get());
    out.key("textColor");
    writeColor(out, field->textColor().get());
  }
  if (const auto* segments = dynamic_cast<const UISegmentedControl*>(&view)) {
    out.key("segments").beginArray();
    for (NSUInteger i = 0; i < segments->numberOfSegments(); ++i) {
      out.string(segments->titleForSegmentAtIndex(i));
    }
    out.endArray();
    out.key("selectedSegmentIndex").integer(segments->selectedSegmentIndex());
    out.key("momentary").boolean(segments->isMomentary());
    out.key("segmentedControlStyle").integer(segments->segmentedControlStyle());
  }
  if (const auto* bar = dynamic_cast<const UIToolbar*>(&view)) {
    out.key("barStyle").integer(bar->barStyle());
    out.key("items").beginArray();
    for (const auto& item : bar->items()) {
      if (!item) {
        out.null();
        continue;
      }
      out.beginObject();
      out.key("title").string(item->displayTitle());
      out.key("image");
      writeImageName(out, item->image().get());
      out.key("style").integer(item->style());
      out.key("systemItem").integer(item->systemItem());
      out.key("customView").boolean(item->customView() != nullptr);
      out.key("frame");
      writeRect(out, item->frame());
      out.endObject();
    }
    out.endArray();
  }
  if (const auto* imageView = dynamic_cast<const UIImageView*>(&view)) {
    out.key("image");
    writeImageName(out, imageView->image().get());
  }
  if (const auto* bubble = dynamic_cast<const UICalloutView*>(&view)) {
    const CGPoint anchor = bubble->anchorPoint();
    out.key("anchorPoint").beginArray().real(anchor.x).real(anchor.y).endArray();
    out.key("title").string(bubble->title());
    out.key("subtitle");
    if (bubble->subtitle()) {
      out.string(*bubble->subtitle());
    } else {
      out.null();
    }
    out.key("above").boolean(bubble->isAbove());
  }
  if (const auto* scroll = dynamic_cast<const UIScrollView*>(&view)) {
    const CGSize size = scroll->contentSize();
    const CGPoint offset = scroll->contentOffset();
    out.key("contentSize").beginArray().real(size.width).real(size.height).endArray();
    out.key("contentOffset").beginArray().real(offset.x).real(offset.y).endArray();
  }

  out.key("subviews").beginArray();
  for (const auto& child : view.subviews()) writeView(out, *child);
  out.endArray();
  out.endObject();
}

void writeValue(JsonWriter& out, const NSObject* value) {
  if (!value) {
    out.null();
  } else if (const auto* string = dynamic_cast<const NSString*>(value)) {
    out.string(string->UTF8String());
  } else if (const auto* number = dynamic_cast<const NSNumber*>(value)) {
    switch (number->kind()) {
      case NSNumber::Kind::Boolean:
        out.boolean(number->boolValue());
        break;
      case NSNumber::Kind::Real:
        out.real(number->realValue());
        break;
      case NSNumber::Kind::Integer:
        if (number->isUnsigned()) {
          out.unsignedInteger(number->unsignedValue());
        } else {
          out.integer(number->integerValue());
        }
        break;
    }
  } else if (const auto* date = dynamic_cast<const NSDate*>(value)) {
    const double seconds = date->timeIntervalSinceReferenceDate();
    if (const auto text = property_list::detail::formatISODate(seconds)) {
      out.string(*text);
    } else {
      out.real(seconds);
    }
  } else if (const auto* data = dynamic_cast<const NSData*>(value)) {
    out.string(property_list::detail::encodeBase64(data->bytes()));
  } else if (const auto* array = dynamic_cast<const NSArray*>(value)) {
    out.beginArray();
    for (const auto& element : array->objects()) writeValue(out, element.get());
    out.endArray();
  } else if (const auto* dictionary = dynamic_cast<const NSDictionary*>(value)) {
    out.beginObject();
    for (const auto& [key, element] : dictionary->entries()) {
      out.key(key);
      writeValue(out, element.get());
    }
    out.endObject();
  } else {
    out.string(value->description());
  }
}

}  // namespace dump

namespace {

// The files the dump shows, by the name it shows them under.
struct DumpedFile {
  const char* name;
  const char* path;
};
constexpr DumpedFile kDumpedFiles[] = {
    {"Rates.plist", "/var/mobile/Library/Tessary/Rates.plist"},
    {"Dates.plist", "/var/mobile/Library/Tessary/Dates.plist"},
    {"Recent.plist", "/var/mobile/Library/Tessary/Recent.plist"},
    {"Currencies.plist", "/var/mobile/Library/Tessary/Currencies.plist"},
    {"Entries.plist", "/var/mobile/Library/Tessary/Entries.plist"},
    {"orvendel.plist", bundles::kSettingsFile},
};

void writeFlag(JsonWriter& out, const char* name, const BOOL* flag) {
  out.key(name);
  if (flag) {
    out.boolean(*flag != NO);
  } else {
    out.null();
  }
}

}  // namespace

std::string Simulator::dump() {
  ensureLoaded();  // the flags are read from the library once one is installed
  JsonWriter out;
  out.beginObject();

  const Clock& clock = Clock::current();
  out.key("time").beginObject();
  out.key("monotonic").real(clock.monotonic());
  out.key("wall").real(clock.wall());
  out.endObject();

  const bundles::Flags flags = widgetBundle() ? widgetBundle()->flags : bundles::Flags{};
  out.key("flags").beginObject();
  writeFlag(out, "left", flags.left);
  writeFlag(out, "portraitmode", flags.portraitmode);
  writeFlag(out, "animate", flags.animate);
  writeFlag(out, "exclude", flags.exclude);
  writeFlag(out, "detailMode", flags.detailMode);
  writeFlag(out, "editing", flags.editing);
  out.key("titleString");
  if (flags.titleString && *flags.titleString) {
    out.string((*flags.titleString)->UTF8String());
  } else {
    out.null();
  }
  out.endObject();

  out.key("widget");
  const auto view = controller_ ? controller_->view() : nullptr;
  if (view) {
    dump::writeView(out, *view);
  } else {
    out.null();
  }
  out.key("overlay");
  if (const auto overlay = list_.overlay()) {
    dump::writeView(out, *overlay);
  } else {
    out.null();
  }

  out.key("keyboard").beginObject();
  out.key("visible").boolean(keyboard_.isVisible());
  out.key("frame");
  if (const auto frame = keyboard_.frame()) {
    dump::writeRect(out, *frame);
  } else {
    out.null();
  }
  out.key("type");
  if (keyboard_.isOnScreen()) {
    out.integer(keyboard_.type());
  } else {
    out.null();
  }
  out.key("accessory");
  if (const auto accessory = keyboard_.accessory()) {
    dump::writeView(out, *accessory);
  } else {
    out.null();
  }
  out.endObject();

  out.key("table").beginObject();
  out.key("frame");
  dump::writeRect(out, list_.table()->frame());
  const CGPoint offset = list_.table()->contentOffset();
  out.key("contentOffset").beginArray().real(offset.x).real(offset.y).endArray();
  out.endObject();

  out.key("alerts").beginArray();
  for (const auto& alert : UIAlertView::visibleAlerts()) {
    out.beginObject();
    out.key("title");
    dump::writeValue(out, alert->title().get());
    out.key("message");
    dump::writeValue(out, alert->message().get());
    out.key("buttons").beginArray();
    for (const auto& button : alert->buttons()) out.string(button);
    out.endArray();
    out.endObject();
  }
  out.endArray();

  out.key("networkActivity")
      .boolean(UIApplication::sharedApplication().isNetworkActivityIndicatorVisible());
  out.key("pasteboard");
  if (const auto text = UIPasteboard::generalPasteboard().string()) {
    out.string(*text);
  } else {
    out.null();
  }

  out.key("requests").beginArray();
  for (const auto& request : NSURLConnection::startedRequests()) {
    out.beginObject();
    out.key("url").string(request.url);
    out.key("timeout").real(request.timeout);
    out.endObject();
  }
  out.endArray();

  out.key("files").beginObject();
  for (const DumpedFile& file : kDumpedFiles) {
    out.key(file.name);
    // Read beneath the root as the platform reads: a link out shows as no file.
    const auto bytes = file_io::readBeneathRoot(file.path);
    const id value = bytes ? property_list::parse(*bytes) : nullptr;
    dump::writeValue(out, value.get());
  }
  out.endObject();

  out.endObject();
  return out.str();
}
