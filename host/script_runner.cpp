#include "host/script_runner.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "host/json_writer.h"
#include "platform/foundation/url_connection.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_button.h"
#include "platform/uikit/ui_pasteboard.h"
#include "platform/uikit/ui_text_field.h"

namespace {

using script::Argument;
using script::Command;

// Bounds that keep time arithmetic and stored dates meaningful.
constexpr double kMaxWait = 1e9;
constexpr double kMaxSettle = 3600;
constexpr double kMaxClock = 2.5e11;  // within the years a property-list date can hold
constexpr long kMaxBackspaces = 1'000'000;

bool readReal(const std::string& text, double& value) {
  if (text.empty()) return false;
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (*begin == '+') ++begin;
  const auto result = std::from_chars(begin, end, value);
  return begin != end && result.ec == std::errc() && result.ptr == end && std::isfinite(value);
}

bool isInteger(const std::string& text) {
  size_t i = (text.starts_with('-') || text.starts_with('+')) ? 1 : 0;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

bool isPointReal(const std::string& text) {
  size_t i = (text.starts_with('-') || text.starts_with('+')) ? 1 : 0;
  int digits = 0, points = 0;
  for (; i < text.size(); ++i) {
    if (text[i] == '.') {
      ++points;
    } else if (text[i] >= '0' && text[i] <= '9') {
      ++digits;
    } else {
      return false;
    }
  }
  return digits > 0 && points == 1;
}

// true, false, an integer, a real with a point, or a quoted string.
std::string settingValue(const Argument& argument, id& value) {
  const std::string& text = argument.text;
  if (argument.quoted) {
    value = NSStr(text);
  } else if (text == "true" || text == "false") {
    value = NSNumber::numberWithBool(text == "true");
  } else if (isInteger(text)) {
    int64_t integer = 0;
    const char* begin = text.data() + (text.starts_with('+') ? 1 : 0);
    const auto result = std::from_chars(begin, text.data() + text.size(), integer);
    if (result.ec != std::errc()) return "settings: the integer " + text + " is out of range";
    value = NSNumber::numberWithInteger(integer);
  } else if (isPointReal(text)) {
    double real = 0;
    if (!readReal(text, real)) return "settings: the real " + text + " is out of range";
    value = NSNumber::numberWithDouble(real);
  } else {
    return "settings: the value is true, false, an integer, a real with a point or a quoted "
           "string";
  }
  return {};
}

std::string numberText(CGFloat value) {
  if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e9) {
    return std::to_string(static_cast<long long>(value));
  }
  JsonWriter out;
  out.real(value);
  return out.str();
}

// Appends into one string: chained operator+ on temporaries trips gcc 12's false -Wrestrict at -O3.
std::string rectText(CGRect rect) {
  std::string text = "[";
  for (const CGFloat value : {rect.origin.x, rect.origin.y, rect.size.width, rect.size.height}) {
    if (text.size() > 1) text += ", ";
    text += numberText(value);
  }
  text += ']';
  return text;
}

std::string arity(const Command& command, size_t least, size_t most, const char* usage) {
  const size_t n = command.arguments.size();
  if (n < least || n > most) return command.name + ": usage: " + usage;
  return {};
}

}  // namespace

int orientationNamed(const std::string& name) {
  if (name == "1" || name == "portrait") return 1;
  if (name == "2" || name == "upsidedown") return 2;
  if (name == "3" || name == "landscaperight") return 3;
  if (name == "4" || name == "landscapeleft") return 4;
  return 0;
}

std::string ScriptRunner::execute(const Command& command) {
  const std::string& name = command.name;
  const auto& args = command.arguments;
  const auto arg = [&](size_t i) -> const std::string& { return args[i].text; };
  std::string problem;

  if (name == "install" || name == "show" || name == "hide" || name == "release" ||
      name == "dump") {
    if (!(problem = arity(command, 0, 0, name.c_str())).empty()) return problem;
    if (name == "install") return sim_.install();
    if (name == "show") return sim_.show();
    if (name == "hide") return sim_.hide();
    if (name == "release") return sim_.release();
    out_ << sim_.dump() << '\n';
    out_.flush();
    return {};
  }
  if (name == "rotate") {
    if (!(problem = arity(command, 1, 1,
                          "rotate 1|2|3|4|portrait|upsidedown|landscaperight|landscapeleft"))
             .empty()) {
      return problem;
    }
    const int orientation = orientationNamed(arg(0));
    if (orientation == 0) return "rotate: unknown orientation " + arg(0);
    return sim_.rotate(orientation);
  }
  if (name == "tap") {
    if (!(problem = arity(command, 1, 1, "tap TARGET")).empty()) return problem;
    return sim_.tap(arg(0));
  }
  if (name == "type" || name == "paste" || name == "pasteboard") {
    if (!(problem = arity(command, 1, 1, (name + " TEXT").c_str())).empty()) return problem;
    if (name == "type") return sim_.type(arg(0));
    if (name == "paste") return sim_.paste(arg(0));
    return sim_.setPasteboard(arg(0));
  }
  if (name == "backspace") {
    if (!(problem = arity(command, 0, 1, "backspace [N]")).empty()) return problem;
    long count = 1;
    if (!args.empty()) {
      const auto result = std::from_chars(arg(0).data(), arg(0).data() + arg(0).size(), count);
      if (result.ec != std::errc() || result.ptr != arg(0).data() + arg(0).size() || count < 1 ||
          count > kMaxBackspaces) {
        return "backspace: N is a whole number from 1 to " + std::to_string(kMaxBackspaces);
      }
    }
    return sim_.backspace(count);
  }
  if (name == "wait") {
    if (!(problem = arity(command, 1, 1, "wait SECONDS")).empty()) return problem;
    double seconds = 0;
    if (!readReal(arg(0), seconds) || seconds < 0 || seconds > kMaxWait) {
      return "wait: SECONDS is a number from 0 to 1e9";
    }
    return sim_.wait(seconds);
  }
  if (name == "settle") {
    if (!(problem = arity(command, 0, 1, "settle [SECONDS]")).empty()) return problem;
    double seconds = 20;
    if (!args.empty() && (!readReal(arg(0), seconds) || seconds < 0 || seconds > kMaxSettle)) {
      return "settle: SECONDS is a number from 0 to 3600";
    }
    if (problem = sim_.settle(seconds); !problem.empty()) {
      return problem + " after " + (args.empty() ? std::string("20") : arg(0)) + " seconds";
    }
    return {};
  }
  if (name == "clock") {
    if (!(problem = arity(command, 1, 1, "clock SECONDS")).empty()) return problem;
    double seconds = 0;
    if (!readReal(arg(0), seconds) || std::fabs(seconds) > kMaxClock) {
      return "clock: SECONDS is a number of seconds since 2001-01-01 within 2.5e11";
    }
    return sim_.setClock(seconds);
  }
  if (name == "settings") {
    if (!(problem = arity(command, 1, 2, "settings KEY VALUE | settings KEY - | settings -"))
             .empty()) {
      return problem;
    }
    if (args.size() == 1) {
      if (arg(0) != "-" || args[0].quoted)
        return "settings: usage: settings KEY VALUE | settings KEY - | settings -";
      return sim_.removeSettings();
    }
    if (arg(1) == "-" && !args[1].quoted) return sim_.removeSetting(arg(0));
    id value;
    if (problem = settingValue(args[1], value); !problem.empty()) return problem;
    return sim_.setSetting(arg(0), value);
  }
  if (name == "alert") {
    if (args.size() != 1 || arg(0) != "ok") return "alert: usage: alert ok";
    return sim_.alertOk();
  }
  if (name == "touch") return touchCommand(command);
  if (name == "swipe") return swipeCommand(command);
  if (name == "locate") {
    if (!(problem = arity(command, 1, 1, "locate TARGET")).empty()) return problem;
    CGPoint point;
    if (problem = sim_.locate(arg(0), point); !problem.empty()) return problem;
    out_ << numberText(point.x) << ',' << numberText(point.y) << '\n';
    out_.flush();
    return {};
  }
  if (name == "scale") {
    if (!(problem = arity(command, 1, 1, "scale PIXELS-PER-POINT")).empty()) return problem;
    double scale = 0;
    if (!readReal(arg(0), scale) || scale < 0.25 || scale > 8) {
      return "scale: PIXELS-PER-POINT is a number from 0.25 to 8";
    }
    scale_ = scale;
    return {};
  }
  if (name == "device") {
    if (!(problem = arity(command, 1, 1, "device phone|tablet|old")).empty()) return problem;
    const auto kind = deviceNamed(arg(0));
    if (!kind) return "device: unknown device " + arg(0) + " (phone, tablet or old)";
    return sim_.setDevice(*kind);
  }
  if (name == "snapshot") {
    if (!(problem = arity(command, 1, 1, "snapshot FILE")).empty()) return problem;
    return "snapshot: drawing is not available yet";
  }
  return "unknown command " + JsonWriter::escape(name);
}

std::string ScriptRunner::touchCommand(const Command& command) {
  const char* const usage = "touch down|move|up TARGET";
  if (std::string problem = arity(command, 2, 2, usage); !problem.empty()) return problem;
  const std::string& phase = command.arguments[0].text;
  if (phase != "down" && phase != "move" && phase != "up")
    return std::string("touch: usage: ") + usage;
  CGPoint point;
  if (std::string problem = sim_.locate(command.arguments[1].text, point); !problem.empty()) {
    return problem;
  }
  if (phase == "down") return touches_.down(point);
  if (phase == "move") return touches_.move(point);
  return touches_.up(point);
}

void ScriptRunner::writeRow() {
  const auto row = sim_.pickerRow();
  if (!row) return;
  const UIView& window = *sim_.list().window();
  std::vector<std::pair<CGFloat, std::string>> shown;
  for (const auto& view : row->subviews()) {
    const auto button = std::dynamic_pointer_cast<UIButton>(view);
    if (!button || !touch::visibleRect(*button, window)) continue;
    shown.emplace_back(touch::screenRect(*button, window)->origin.x, button->currentTitle());
  }
  std::sort(shown.begin(), shown.end());
  out_ << "  row:";
  for (const auto& code : shown) out_ << ' ' << code.second;
  const CGFloat width = row->bounds().size.width;
  const auto pages = static_cast<long>(std::ceil(row->contentSize().width / width));
  const auto page = static_cast<long>(std::round(row->contentOffset().x / width)) + 1;
  out_ << " (page " << page << " of " << std::max(1L, pages) << ")\n";
}

std::string ScriptRunner::swipeCommand(const Command& command) {
  const char* const usage = "swipe left|right";
  if (std::string problem = arity(command, 1, 1, usage); !problem.empty()) return problem;
  const std::string& direction = command.arguments[0].text;
  if (direction != "left" && direction != "right") return std::string("swipe: usage: ") + usage;
  CGPoint start;
  if (std::string problem = sim_.locate("row", start); !problem.empty()) {
    return "swipe: " + problem.substr(problem.find(": ") + 2);
  }
  // A finger drawn across the row further than a page turn needs: the row pages as the
  // platform's paging does, by its own width.
  const CGFloat reach = TouchTracker::kPageDrag * 2;
  const CGPoint end{start.x + (direction == "left" ? -reach : reach), start.y};
  if (std::string problem = touches_.down(start); !problem.empty()) return "swipe: " + problem;
  touches_.move(end);
  return touches_.up(end);
}

std::optional<UIDevice::Kind> deviceNamed(const std::string& name) {
  if (name == "phone") return UIDevice::Kind::Phone;
  if (name == "tablet") return UIDevice::Kind::Tablet;
  if (name == "old") return UIDevice::Kind::Old;
  return std::nullopt;
}

int ScriptRunner::run(std::istream& in) {
  script::LineReader reader(in);
  std::string line;
  bool tooLong = false;
  while (reader.next(line, tooLong)) {
    const size_t number = reader.lineNumber();
    std::string problem;
    script::ParseResult parsed;
    if (tooLong) {
      problem = "the line is longer than " + std::to_string(script::kMaxLineLength) + " bytes";
    } else {
      parsed = script::parseLine(line, number);
      problem = parsed.error;
    }
    if (problem.empty() && parsed.command) problem = execute(*parsed.command);
    if (!problem.empty()) {
      err_ << "line " << number << ": " << problem << '\n';
      err_.flush();
      return kFailure;
    }
    if (transcript_ && parsed.command) writeTranscript(*parsed.command);
  }
  return kSuccess;
}

void ScriptRunner::writeTranscript(const Command& command) {
  if (command.name == "dump") return;
  std::string text = command.name;
  for (const auto& argument : command.arguments) {
    text += ' ';
    text += argument.text.find(' ') == std::string::npos ? argument.text
                                                         : JsonWriter::escape(argument.text);
  }
  out_ << "> " << text << '\n';
  const auto view = sim_.controller() ? sim_.controller()->view() : nullptr;
  if (!view || !sim_.isShown()) {
    out_ << "  (the widget is not shown)\n";
  } else {
    // The amount fields and the code buttons, left to right as the screen shows them.
    struct Item {
      CGFloat x;
      std::string text;
      bool editing = false;
    };
    std::vector<Item> fields, codes;
    const UIView& window = *sim_.list().window();
    // While the picker is open the converter lies on the overlay; the row's codes are not
    // the converter's.
    const auto collect = [&](const std::shared_ptr<UIView>& v, bool inScrollView) {
      if (inScrollView) return false;
      const auto rect = touch::screenRect(*v, window);
      if (!rect || !touch::visibleRect(*v, window)) return false;
      if (const auto field = std::dynamic_pointer_cast<UITextField>(v)) {
        fields.push_back({rect->origin.x, field->text(), field->isFirstResponder()});
      } else if (const auto button = std::dynamic_pointer_cast<UIButton>(v)) {
        const std::string title = button->currentTitle();
        if (title.size() == 3 &&
            std::all_of(title.begin(), title.end(), [](char c) { return c >= 'A' && c <= 'Z'; })) {
          codes.push_back({rect->origin.x, title});
        }
      }
      return false;
    };
    touch::frontToBack(view, nullptr, collect);
    if (const auto overlay = sim_.list().overlay()) touch::frontToBack(overlay, nullptr, collect);
    const auto byX = [](const Item& a, const Item& b) { return a.x < b.x; };
    std::sort(fields.begin(), fields.end(), byX);
    std::sort(codes.begin(), codes.end(), byX);
    out_ << ' ';
    for (size_t i = 0; i < fields.size(); ++i) {
      out_ << ' ' << (i < codes.size() ? codes[i].text : std::string("???")) << ' '
           << JsonWriter::escape(fields[i].text) << (fields[i].editing ? "|" : "");
    }
    out_ << '\n';
    writeRow();
  }
  const Keyboard& keyboard = sim_.keyboard();
  const auto keyboardFrame = keyboard.frame();
  const std::string keyboardText =
      (keyboard.isVisible() && keyboardFrame ? "up " + rectText(*keyboardFrame) : "down") +
      ", list " + rectText(sim_.list().table()->frame());
  if (keyboardText != keyboardSeen_) {
    out_ << "  keyboard: " << keyboardText << '\n';
    keyboardSeen_ = keyboardText;
  }
  const auto pasteboard = UIPasteboard::generalPasteboard().string();
  const std::string pasteboardText = pasteboard ? JsonWriter::escape(*pasteboard) : "nothing";
  if (pasteboardText != pasteboardSeen_ && !(pasteboardSeen_.empty() && !pasteboard)) {
    out_ << "  pasteboard: " << pasteboardText << '\n';
  }
  pasteboardSeen_ = pasteboardText;
  const auto& requests = NSURLConnection::startedRequests();
  for (size_t i = std::min(requestsSeen_, requests.size()); i < requests.size(); ++i) {
    out_ << "  request: " << requests[i].url << '\n';
  }
  requestsSeen_ = requests.size();
  for (const auto& alert : UIAlertView::visibleAlerts()) {
    out_ << "  alert: " << (alert->title() ? alert->title()->UTF8String() : std::string()) << ": "
         << (alert->message() ? alert->message()->UTF8String() : std::string()) << '\n';
  }
  out_.flush();
}
