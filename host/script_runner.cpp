#include "host/script_runner.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "host/draw_screen.h"
#include "host/json_writer.h"
#include "platform/foundation/url_connection.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_button.h"
#include "platform/uikit/ui_pasteboard.h"
#include "platform/uikit/ui_text_field.h"

namespace {

using script::Command;

std::string pixelsOf(const render::Surface& surface) {
  return std::string(reinterpret_cast<const char*>(surface.data()),
                     static_cast<size_t>(surface.stride()) * static_cast<size_t>(surface.height()));
}

// Appends into one string: chained operator+ on temporaries trips gcc 12's false -Wrestrict at -O3.
std::string rectText(CGRect rect) {
  std::string text = "[";
  for (const CGFloat value : {rect.origin.x, rect.origin.y, rect.size.width, rect.size.height}) {
    if (text.size() > 1) text += ", ";
    text += commands::numberText(value);
  }
  text += ']';
  return text;
}

}  // namespace

std::string ScriptRunner::execute(const Command& command) {
  commands::Context context{sim_, out_, touches_, scale_};
  return commands::run(context, command);
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

int ScriptRunner::run(std::istream& in) {
  script::LineReader reader(in);
  std::string line;
  // What the screen shows before the first command, so only changes are written.
  if (!snapshotDirectory_.empty()) lastScreen_ = pixelsOf(screen::render(sim_, scale_));
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
    if (problem.empty() && parsed.command && !snapshotDirectory_.empty()) {
      problem = snapshotIfChanged(*parsed.command);
    }
    if (!problem.empty()) {
      err_ << "line " << number << ": " << problem << '\n';
      err_.flush();
      return kFailure;
    }
    if (transcript_ && parsed.command) writeTranscript(*parsed.command);
  }
  return kSuccess;
}

std::string ScriptRunner::snapshotIfChanged(const Command& command) {
  const render::Surface surface = screen::render(sim_, scale_);
  std::string pixels = pixelsOf(surface);
  if (pixels == lastScreen_) return {};
  lastScreen_ = std::move(pixels);
  // The command in the name: letters, digits, '.' and '_' as they are, anything else a '-',
  // never two in a row, at most 60 characters.
  std::string words = command.name;
  for (const auto& argument : command.arguments) words += " " + argument.text;
  std::string name;
  for (const char c : words) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '_';
    if (plain) {
      name += c;
    } else if (!name.empty() && name.back() != '-') {
      name += '-';
    }
    if (name.size() >= 60) break;
  }
  while (!name.empty() && (name.back() == '-' || name.back() == '.')) name.pop_back();
  char number[16];
  std::snprintf(number, sizeof number, "%03d", ++snapshotsWritten_);
  const std::string path = snapshotDirectory_ + "/" + number + "-" + name + ".png";
  if (std::string problem = surface.writePNG(path); !problem.empty()) return "snapshot: " + problem;
  return {};
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
