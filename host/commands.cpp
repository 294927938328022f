#include "host/commands.h"

#include <charconv>
#include <cmath>

#include "host/draw_screen.h"
#include "host/json_writer.h"
#include "platform/foundation/run_loop.h"

namespace commands {
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

const std::string& arg(const Command& command, size_t i) {
  return command.arguments[i].text;
}

std::string install(Context& c, const Command&) {
  return c.sim.install();
}

std::string show(Context& c, const Command&) {
  return c.sim.show();
}

std::string hide(Context& c, const Command&) {
  return c.sim.hide();
}

std::string list(Context& c, const Command& command) {
  const std::string& state = arg(command, 0);
  if (state == "hide") return c.sim.hideList();
  if (state == "show") return c.sim.showList();
  return "list: usage: list hide|show";
}

std::string release(Context& c, const Command&) {
  return c.sim.release();
}

std::string dump(Context& c, const Command&) {
  c.out << c.sim.dump() << '\n';
  c.out.flush();
  return {};
}

std::string rotate(Context& c, const Command& command) {
  const auto orientation = orientationNamed(arg(command, 0));
  if (!orientation) return "rotate: unknown orientation " + arg(command, 0);
  return c.sim.rotate(*orientation);
}

std::string tap(Context& c, const Command& command) {
  return c.sim.tap(arg(command, 0));
}

std::string type(Context& c, const Command& command) {
  return c.sim.type(arg(command, 0));
}

std::string paste(Context& c, const Command& command) {
  return c.sim.paste(arg(command, 0));
}

std::string pasteboard(Context& c, const Command& command) {
  return c.sim.setPasteboard(arg(command, 0));
}

std::string backspace(Context& c, const Command& command) {
  long count = 1;
  if (!command.arguments.empty()) {
    const std::string& text = arg(command, 0);
    const auto result = std::from_chars(text.data(), text.data() + text.size(), count);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || count < 1 ||
        count > kMaxBackspaces) {
      return "backspace: N is a whole number from 1 to " + std::to_string(kMaxBackspaces);
    }
  }
  return c.sim.backspace(count);
}

std::string wait(Context& c, const Command& command) {
  double seconds = 0;
  if (!readReal(arg(command, 0), seconds) || seconds < 0 || seconds > kMaxWait) {
    return "wait: SECONDS is a number from 0 to 1e9";
  }
  return c.sim.wait(Seconds(seconds));
}

std::string settle(Context& c, const Command& command) {
  const bool given = !command.arguments.empty();
  double seconds = 20;
  if (given && (!readReal(arg(command, 0), seconds) || seconds < 0 || seconds > kMaxSettle)) {
    return "settle: SECONDS is a number from 0 to 3600";
  }
  if (std::string problem = c.sim.settle(Seconds(seconds)); !problem.empty()) {
    return problem + " after " + (given ? arg(command, 0) : std::string("20")) + " seconds";
  }
  return {};
}

// A whole number from `least` to `most`.
bool readWhole(const std::string& text, long least, long most, long& value) {
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size() && value >= least &&
         value <= most;
}

constexpr long kMaxRequest = 1'000'000'000;

std::string replies(Context& c, const Command& command) {
  const std::string& source = arg(command, 0);
  if (source != "script" && source != "network") return "replies: SOURCE is script or network";
  c.sim.replies().setFromScript(source == "script");
  return {};
}

std::string body(Context& c, const Command& command) {
  long request = 0;
  if (!readWhole(arg(command, 0), 1, kMaxRequest, request)) return "body: N is a request number";
  return c.sim.replies().addBody(request, arg(command, 1));
}

std::string reply(Context& c, const Command& command) {
  long request = 0;
  NSURLReply answer;
  if (!readWhole(arg(command, 0), 1, kMaxRequest, request)) return "reply: N is a request number";
  if (!readWhole(arg(command, 1), 100, 999, answer.status)) {
    return "reply: STATUS is a whole number from 100 to 999";
  }
  if (std::string problem = c.sim.replies().answer(request, std::move(answer)); !problem.empty()) {
    return "reply: " + problem;
  }
  NSRunLoop::mainRunLoop().runOnce();
  return {};
}

std::string fail(Context& c, const Command& command) {
  long request = 0;
  NSURLReply answer;
  if (!readWhole(arg(command, 0), 1, kMaxRequest, request)) return "fail: N is a request number";
  if (!readWhole(arg(command, 1), -1'000'000, -1, answer.failure)) {
    return "fail: CODE is a negative whole number";
  }
  answer.description = arg(command, 2);
  if (std::string problem = c.sim.replies().answer(request, std::move(answer)); !problem.empty()) {
    return "fail: " + problem;
  }
  NSRunLoop::mainRunLoop().runOnce();
  return {};
}

std::string clock(Context& c, const Command& command) {
  double seconds = 0;
  if (!readReal(arg(command, 0), seconds) || std::fabs(seconds) > kMaxClock) {
    return "clock: SECONDS is a number of seconds since 2001-01-01 within 2.5e11";
  }
  return c.sim.setClock(seconds);
}

constexpr std::string_view kSettingsUsage = "settings KEY VALUE | settings KEY - | settings -";

std::string settings(Context& c, const Command& command) {
  const auto& args = command.arguments;
  if (args.size() == 1) {
    if (args[0].text != "-" || args[0].quoted) {
      return "settings: usage: " + std::string(kSettingsUsage);
    }
    return c.sim.removeSettings();
  }
  if (args[1].text == "-" && !args[1].quoted) return c.sim.removeSetting(args[0].text);
  id value;
  if (std::string problem = settingValue(args[1], value); !problem.empty()) return problem;
  return c.sim.setSetting(args[0].text, value);
}

std::string alert(Context& c, const Command& command) {
  if (arg(command, 0) != "ok") return "alert: usage: alert ok";
  return c.sim.alertOk();
}

std::string touchCommand(Context& c, const Command& command) {
  const std::string& phase = arg(command, 0);
  const bool cancel = phase == "cancel";
  if ((phase != "down" && phase != "move" && phase != "up" && !cancel) ||
      command.arguments.size() != (cancel ? 1u : 2u)) {
    return "touch: usage: touch down|move|up TARGET, or touch cancel";
  }
  if (cancel) return c.touches.cancel();
  CGPoint point;
  if (std::string problem = c.sim.locate(arg(command, 1), point); !problem.empty()) {
    return problem;
  }
  if (phase == "down") return c.touches.down(point);
  if (phase == "move") return c.touches.move(point);
  return c.touches.up(point);
}

// Drags a finger across the picker's row: left shows the next page, right the previous.
std::string swipe(Context& c, const Command& command) {
  const std::string& direction = arg(command, 0);
  if (direction != "left" && direction != "right") return "swipe: usage: swipe left|right";
  CGPoint start;
  if (std::string problem = c.sim.locate("row", start); !problem.empty()) {
    return "swipe: " + problem.substr(problem.find(": ") + 2);
  }
  // A finger drawn across the row further than a page turn needs: the row pages as the
  // platform's paging does, by its own width.
  const CGFloat reach = UIScrollView::kPageDrag * 2;
  const CGPoint end{start.x + (direction == "left" ? -reach : reach), start.y};
  if (std::string problem = c.touches.down(start); !problem.empty()) return "swipe: " + problem;
  c.touches.move(end);
  return c.touches.up(end);
}

std::string locate(Context& c, const Command& command) {
  CGPoint point;
  if (std::string problem = c.sim.locate(arg(command, 0), point); !problem.empty()) {
    return problem;
  }
  c.out << numberText(point.x) << ',' << numberText(point.y) << '\n';
  c.out.flush();
  return {};
}

std::string scale(Context& c, const Command& command) {
  double value = 0;
  if (!readReal(arg(command, 0), value) || value < 0.25 || value > 8) {
    return "scale: PIXELS-PER-POINT is a number from 0.25 to 8";
  }
  c.scale = value;
  return {};
}

std::string device(Context& c, const Command& command) {
  const auto kind = deviceNamed(arg(command, 0));
  if (!kind) return "device: unknown device " + arg(command, 0) + " (phone, tablet or old)";
  return c.sim.setDevice(*kind);
}

std::string snapshot(Context& context, const Command& command) {
  const std::string problem =
      screen::snapshot(context.sim, command.arguments[0].text, context.scale);
  return problem.empty() ? problem : "snapshot: " + problem;
}

constexpr Entry kCommands[] = {
    {"install", 0, 0, "install", install},
    {"show", 0, 0, "show", show},
    {"hide", 0, 0, "hide", hide},
    {"list", 1, 1, "list hide|show", list},
    {"release", 0, 0, "release", release},
    {"dump", 0, 0, "dump", dump},
    {"rotate", 1, 1, "rotate 1|2|3|4|portrait|upsidedown|landscaperight|landscapeleft", rotate},
    {"tap", 1, 1, "tap TARGET", tap},
    {"type", 1, 1, "type TEXT", type},
    {"paste", 1, 1, "paste TEXT", paste},
    {"pasteboard", 1, 1, "pasteboard TEXT", pasteboard},
    {"backspace", 0, 1, "backspace [N]", backspace},
    {"wait", 1, 1, "wait SECONDS", wait},
    {"settle", 0, 1, "settle [SECONDS]", settle},
    {"clock", 1, 1, "clock SECONDS", clock},
    {"replies", 1, 1, "replies script|network", replies},
    {"body", 2, 2, "body N TEXT", body},
    {"reply", 2, 2, "reply N STATUS", reply},
    {"fail", 3, 3, "fail N CODE DESCRIPTION", fail},
    {"settings", 1, 2, kSettingsUsage, settings},
    {"alert", 1, 1, "alert ok", alert},
    {"touch", 1, 2, "touch down|move|up TARGET | touch cancel", touchCommand},
    {"swipe", 1, 1, "swipe left|right", swipe},
    {"locate", 1, 1, "locate TARGET", locate},
    {"scale", 1, 1, "scale PIXELS-PER-POINT", scale},
    {"device", 1, 1, "device phone|tablet|old", device},
    {"snapshot", 1, 1, "snapshot FILE", snapshot},
};

}  // namespace

std::string numberText(CGFloat value) {
  if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e9) {
    return std::to_string(static_cast<long long>(value));
  }
  JsonWriter out;
  out.real(value);
  return out.str();
}

std::span<const Entry> table() {
  return kCommands;
}

const Entry* find(std::string_view name) {
  for (const Entry& entry : kCommands) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

std::string run(Context& context, const Command& command) {
  const Entry* entry = find(command.name);
  if (!entry) return "unknown command " + JsonWriter::escape(command.name);
  const size_t n = command.arguments.size();
  if (n < entry->leastArguments || n > entry->mostArguments) {
    return command.name + ": usage: " + std::string(entry->usage);
  }
  return entry->handler(context, command);
}

}  // namespace commands

std::optional<UIDevice::Kind> deviceNamed(const std::string& name) {
  if (name == "phone") return UIDevice::Kind::Phone;
  if (name == "tablet") return UIDevice::Kind::Tablet;
  if (name == "old") return UIDevice::Kind::Old;
  return std::nullopt;
}

std::optional<UIInterfaceOrientation> orientationNamed(const std::string& name) {
  if (name == "1" || name == "portrait") return UIInterfaceOrientationPortrait;
  if (name == "2" || name == "upsidedown") return UIInterfaceOrientationPortraitUpsideDown;
  if (name == "3" || name == "landscaperight") return UIInterfaceOrientationLandscapeRight;
  if (name == "4" || name == "landscapeleft") return UIInterfaceOrientationLandscapeLeft;
  return std::nullopt;
}

const char* orientationName(UIInterfaceOrientation orientation) {
  switch (orientation) {
    case UIInterfaceOrientationPortraitUpsideDown:
      return "upsidedown";
    case UIInterfaceOrientationLandscapeRight:
      return "landscaperight";
    case UIInterfaceOrientationLandscapeLeft:
      return "landscapeleft";
    case UIInterfaceOrientationPortrait:
    default:
      return "portrait";
  }
}
