#include "host/dump.h"

#include "host/simulator.h"
#include "platform/foundation/file_manager.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/url_connection.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_application.h"
#include "platform/uikit/ui_pasteboard.h"
#include "platform/uikit/view_description.h"

namespace dump {

namespace {

// A view's properties as members of the JSON object being written.
class JsonDescription : public ViewDescription {
 public:
  explicit JsonDescription(JsonWriter& out) : out_(out) {}

  void string(std::string_view key, std::string_view value) override {
    out_.key(key).string(value);
  }
  void null(std::string_view key) override { out_.key(key).null(); }
  void boolean(std::string_view key, bool value) override { out_.key(key).boolean(value); }
  void integer(std::string_view key, int64_t value) override { out_.key(key).integer(value); }
  void real(std::string_view key, CGFloat value) override { out_.key(key).real(value); }
  void reals(std::string_view key, std::initializer_list<CGFloat> values) override {
    out_.key(key).beginArray();
    for (const CGFloat value : values) out_.real(value);
    out_.endArray();
  }
  void strings(std::string_view key, std::span<const std::string> values) override {
    out_.key(key).beginArray();
    for (const auto& value : values) out_.string(value);
    out_.endArray();
  }
  void beginEntries(std::string_view key) override { out_.key(key).beginArray(); }
  void beginEntry() override { out_.beginObject(); }
  void endEntry() override { out_.endObject(); }
  void nullEntry() override { out_.null(); }
  void endEntries() override { out_.endArray(); }

 private:
  JsonWriter& out_;
};

}  // namespace

void writeRect(JsonWriter& out, CGRect rect) {
  out.beginArray()
      .real(rect.origin.x)
      .real(rect.origin.y)
      .real(rect.size.width)
      .real(rect.size.height)
      .endArray();
}

void writeView(JsonWriter& out, const UIView& view) {
  out.beginObject();
  JsonDescription description(out);
  view.describe(description);
  out.key("subviews").beginArray();
  for (const auto& child : view.subviews()) writeView(out, *child);
  out.endArray();
  out.endObject();
}

namespace {

// A property-list value as JSON.
class JsonValue : public PropertyListVisitor {
 public:
  explicit JsonValue(JsonWriter& out) : out_(out) {}

  void string(const NSString& value) override { out_.string(value.UTF8String()); }
  void number(const NSNumber& value) override {
    switch (value.kind()) {
      case NSNumber::Kind::Boolean:
        out_.boolean(value.boolValue());
        break;
      case NSNumber::Kind::Real:
        out_.real(value.realValue());
        break;
      case NSNumber::Kind::Integer:
        if (value.isUnsigned()) {
          out_.unsignedInteger(value.unsignedValue());
        } else {
          out_.integer(value.integerValue());
        }
        break;
    }
  }
  void date(const NSDate& value) override {
    const double seconds = value.timeIntervalSinceReferenceDate();
    if (const auto text = property_list::detail::formatISODate(seconds)) {
      out_.string(*text);
    } else {
      out_.real(seconds);
    }
  }
  void data(const NSData& value) override {
    out_.string(property_list::detail::encodeBase64(value.bytes()));
  }
  void array(const NSArray& value) override {
    out_.beginArray();
    for (const auto& element : value.objects()) writeValue(out_, element.get());
    out_.endArray();
  }
  void dictionary(const NSDictionary& value) override {
    out_.beginObject();
    for (const auto& [key, element] : value.entries()) {
      out_.key(key);
      writeValue(out_, element.get());
    }
    out_.endObject();
  }
  void other(const NSObject& value) override { out_.string(value.description()); }

 private:
  JsonWriter& out_;
};

}  // namespace

void writeValue(JsonWriter& out, const NSObject* value) {
  if (!value) {
    out.null();
    return;
  }
  JsonValue json(out);
  value->accept(json);
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
  // Hidden with the whole list (Ctrl+L, `list hide`): the screen shows nothing under the bar.
  out.key("hidden").boolean(list_.isHidden());
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
