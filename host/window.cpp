#include "host/window.h"

#include <SDL.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "host/commands.h"
#include "host/script_runner.h"
#include "host/simulator.h"
#include "host/window_record.h"
#include "host/window_view.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/run_loop.h"
#include "platform/foundation/url_connection.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_application.h"
#include "platform/uikit/ui_pasteboard.h"
#include "platform/uikit/ui_text_field.h"

namespace window {

namespace {

// The longest text a clipboard hands to the pasteboard, well inside a script line.
constexpr size_t kClipboardLimit = 60'000;

const char* deviceName(UIDevice::Kind kind) {
  switch (kind) {
    case UIDevice::Kind::Tablet:
      return "tablet";
    case UIDevice::Kind::Old:
      return "old";
    case UIDevice::Kind::Phone:
    default:
      return "phone";
  }
}

// Ctrl+R turns the device a quarter clockwise each time.
UIInterfaceOrientation nextOrientation(UIInterfaceOrientation orientation) {
  switch (orientation) {
    case UIInterfaceOrientationPortrait:
      return UIInterfaceOrientationLandscapeRight;
    case UIInterfaceOrientationLandscapeRight:
      return UIInterfaceOrientationPortraitUpsideDown;
    case UIInterfaceOrientationPortraitUpsideDown:
      return UIInterfaceOrientationLandscapeLeft;
    case UIInterfaceOrientationLandscapeLeft:
    default:
      return UIInterfaceOrientationPortrait;
  }
}

// The window: SDL's objects, the simulator's clock kept in step with real time, and the
// record of what was done.
class Session {
 public:
  Session(Simulator& simulator, const Options& options)
      : sim_(simulator), options_(options), runner_(simulator, std::cout, std::cerr) {}
  ~Session();

  int run();

 private:
  bool start();
  bool openWindow();
  void fitWindow();
  int64_t realTicks() const;
  // Moves the clock to the present tick, running what falls due, and polls the network.
  void catchUp();
  // Runs one script line as an action taken now, and records it when it succeeds.
  bool act(const std::string& line);
  void writeReplies();
  void pullClipboard();
  void pushClipboard();
  void handle(const SDL_Event& event);
  void handleKey(const SDL_KeyboardEvent& key);
  void handleMouse(CGPoint point, const char* phase);
  void cancelTouch();
  void flushMove();
  // Where the picture lies in the window's drawable pixels now.
  Placement placement() const;
  // A point of the window, in its coordinates, in screen points (off the screen's edges when
  // it lies outside the picture).
  CGPoint toScreen(int x, int y) const;
  // Kept inside the screen: a finger never lands on the help line or off the edge.
  CGPoint clamped(CGPoint point) const;
  bool outsideWindow(int x, int y) const;
  bool needsFrames() const;
  long spinnerStep() const;
  // Draws what changed into the texture, and shows the texture when it changed or `present`.
  void draw(bool present);

  Simulator& sim_;
  Options options_;
  ScriptRunner runner_;
  std::ofstream recordFile_;
  std::unique_ptr<window_record::Recorder> recorder_;
  // Reply lines not yet written, held while an action runs.
  std::vector<std::string> replyLines_;
  bool acting_ = false;

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  View view_;
  double unitsPerPoint_ = 1;  // window coordinates per point, at the window's first size
  double pixelsPerPoint_ = 1;
  CGSize screen_{};
  int pictureWidth_ = 0, pictureHeight_ = 0;  // the texture's pixels: screen and help line

  std::chrono::steady_clock::time_point start_;
  int64_t clockTicks_ = 0;
  bool quit_ = false;
  bool exposed_ = true;  // the window needs the picture shown again, changed or not
  bool reportedIdle_ = false;
  bool mouseDown_ = false;
  bool movePending_ = false;
  CGPoint pendingMove_{};
  std::string clipboardSeen_;
  std::string lastAction_;
  std::optional<std::string> pasteboardSeen_;
};

Session::~Session() {
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  if (window_) SDL_DestroyWindow(window_);
  SDL_Quit();
}

int64_t Session::realTicks() const {
  return std::chrono::floor<window_record::Ticks>(std::chrono::steady_clock::now() - start_)
      .count();
}

void Session::catchUp() {
  const int64_t now = realTicks();
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  if (now > clockTicks_) {
    // Set first: a request that times out on the way is recorded at the time the screen shows it.
    const int64_t before = clockTicks_;
    clockTicks_ = now;
    loop.advanceBy(window_record::Ticks(now - before));
  }
  loop.runOnce();
}

bool Session::act(const std::string& line) {
  const auto parsed = script::parseLine(line, 0);
  if (!parsed.command) return false;
  // Replies that arrive during the action are written after it, as the replay meets them.
  acting_ = true;
  const std::string problem = runner_.execute(*parsed.command);
  acting_ = false;
  if (recorder_ && problem.empty()) recorder_->write(clockTicks_, line);
  writeReplies();
  if (!problem.empty()) {
    std::fprintf(stderr, "tessary-sim: %s\n", problem.c_str());
    return false;
  }
  lastAction_ = line;
  reportedIdle_ = false;
  return true;
}

void Session::writeReplies() {
  for (const std::string& line : replyLines_) recorder_->write(clockTicks_, line);
  replyLines_.clear();
}

void Session::pullClipboard() {
  if (!SDL_HasClipboardText()) return;
  char* raw = SDL_GetClipboardText();
  if (!raw) return;
  const std::string text = raw;
  SDL_free(raw);
  if (text == clipboardSeen_) return;
  clipboardSeen_ = text;
  const std::string safe = window_record::lineSafe(text, kClipboardLimit);
  if (UIPasteboard::generalPasteboard().string() == safe) return;
  act("pasteboard " + window_record::quoted(safe));
  pasteboardSeen_ = UIPasteboard::generalPasteboard().string();
}

void Session::pushClipboard() {
  const auto text = UIPasteboard::generalPasteboard().string();
  if (text == pasteboardSeen_) return;
  pasteboardSeen_ = text;
  if (text) {
    SDL_SetClipboardText(text->c_str());
    clipboardSeen_ = *text;
  }
}

bool Session::start() {
  const double wall = options_.clock ? *options_.clock : std::floor(SystemClock().wall());
  if (!options_.recordPath.empty()) {
    recordFile_.open(options_.recordPath, std::ios::binary | std::ios::trunc);
    if (!recordFile_) {
      std::fprintf(stderr, "tessary-sim: cannot write the record %s\n",
                   options_.recordPath.c_str());
      return false;
    }
    recorder_ = std::make_unique<window_record::Recorder>(recordFile_);
    recordFile_
        << "# tessary-sim's window; replay with: tessary-sim --root DIR --headless --script FILE\n";
    recorder_->write(0, "replies script");
    sim_.replies().setListener([this](const std::vector<std::string>& lines) {
      replyLines_.insert(replyLines_.end(), lines.begin(), lines.end());
      if (!acting_) writeReplies();
    });
  }
  char clockLine[64];
  std::snprintf(clockLine, sizeof clockLine, "clock %.17g", wall);
  for (const std::string& line :
       {std::string("device ") + deviceName(sim_.device()),
        std::string("rotate ") + orientationName(sim_.orientation()),
        std::string("scale ") + window_record::numberText(pixelsPerPoint_), std::string(clockLine),
        std::string("show")}) {
    if (!act(line)) return false;
  }
  return true;
}

bool Session::openWindow() {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "tessary-sim: cannot open a window: %s\n", SDL_GetError());
    return false;
  }
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  // Without a scale of its own, the display's dots per inch say how many pixels make a point.
  unitsPerPoint_ = options_.scale > 0 ? options_.scale : 1;
  if (options_.scale <= 0) {
    float dpi = 0;
    if (SDL_GetDisplayDPI(0, nullptr, &dpi, nullptr) == 0 && dpi > 0) {
      unitsPerPoint_ = std::clamp(std::round(dpi / 96.0), 1.0, 3.0);
    }
  }
  screen_ = sim_.list().screenSize();
  const CGFloat height = screen_.height + View::kHelpHeight;
  // A tablet at the display's scale may not fit on it: quarter steps down until it does, in
  // either orientation.
  SDL_Rect usable;
  if (options_.scale <= 0 && SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.w > 0 &&
      usable.h > 0) {
    const double longest = std::max(screen_.width, screen_.height) + View::kHelpHeight;
    const double fit = std::min(usable.w, usable.h) / longest;
    if (unitsPerPoint_ > fit) unitsPerPoint_ = std::max(0.5, std::floor(fit * 4) / 4);
  }
  window_ = SDL_CreateWindow("Tessary", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                             static_cast<int>(std::lround(screen_.width * unitsPerPoint_)),
                             static_cast<int>(std::lround(height * unitsPerPoint_)),
                             SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_RESIZABLE);
  if (!window_) {
    std::fprintf(stderr, "tessary-sim: cannot open a window: %s\n", SDL_GetError());
    return false;
  }
  renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_PRESENTVSYNC);
  if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, 0);
  if (!renderer_) {
    std::fprintf(stderr, "tessary-sim: cannot draw in the window: %s\n", SDL_GetError());
    return false;
  }
  // A display that scales windows itself gives more pixels than window coordinates.
  int unitsWide = 0, pixelsWide = 0, pixelsHigh = 0;
  SDL_GetWindowSize(window_, &unitsWide, nullptr);
  SDL_GetRendererOutputSize(renderer_, &pixelsWide, &pixelsHigh);
  const double ratio = unitsWide > 0 ? static_cast<double>(pixelsWide) / unitsWide : 1;
  pixelsPerPoint_ = unitsPerPoint_ * (ratio > 0 ? ratio : 1);
  SDL_StartTextInput();
  return true;
}

void Session::fitWindow() {
  const CGSize screen = sim_.list().screenSize();
  if (texture_ && screen.width == screen_.width && screen.height == screen_.height) return;
  screen_ = screen;
  const CGFloat height = screen_.height + View::kHelpHeight;
  SDL_SetWindowSize(window_, static_cast<int>(std::lround(screen_.width * unitsPerPoint_)),
                    static_cast<int>(std::lround(height * unitsPerPoint_)));
  if (texture_) SDL_DestroyTexture(texture_);
  view_.resize(screen_, pixelsPerPoint_);
  pictureWidth_ = view_.screen().width();
  pictureHeight_ = view_.screen().height() + view_.help().height();
  texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                               pictureWidth_, pictureHeight_);
  const SDL_Rect help{0, view_.screen().height(), view_.help().width(), view_.help().height()};
  SDL_UpdateTexture(texture_, &help, view_.help().data(), view_.help().stride());
  exposed_ = true;
}

Placement Session::placement() const {
  int width = 0, height = 0;
  SDL_GetRendererOutputSize(renderer_, &width, &height);
  return placePicture(pictureWidth_, pictureHeight_, width, height);
}

CGPoint Session::toScreen(int x, int y) const {
  // Window coordinates are not pixels where the display scales windows.
  int unitsWide = 0, unitsHigh = 0, pixelsWide = 0, pixelsHigh = 0;
  SDL_GetWindowSize(window_, &unitsWide, &unitsHigh);
  SDL_GetRendererOutputSize(renderer_, &pixelsWide, &pixelsHigh);
  const double sx = unitsWide > 0 ? static_cast<double>(pixelsWide) / unitsWide : 1;
  const double sy = unitsHigh > 0 ? static_cast<double>(pixelsHigh) / unitsHigh : 1;
  const CGPoint pixel = toPicture(placement(), pictureWidth_, pictureHeight_, x * sx, y * sy);
  return {static_cast<CGFloat>(pixel.x / pixelsPerPoint_),
          static_cast<CGFloat>(pixel.y / pixelsPerPoint_)};
}

CGPoint Session::clamped(CGPoint point) const {
  const double edge = 1 / pixelsPerPoint_;
  return {static_cast<CGFloat>(std::clamp<double>(point.x, 0.0, screen_.width - edge)),
          static_cast<CGFloat>(std::clamp<double>(point.y, 0.0, screen_.height - edge))};
}

bool Session::outsideWindow(int x, int y) const {
  int width = 0, height = 0;
  SDL_GetWindowSize(window_, &width, &height);
  return x < 0 || y < 0 || x >= width || y >= height;
}

void Session::cancelTouch() {
  if (!mouseDown_) return;
  mouseDown_ = false;
  movePending_ = false;
  act("touch cancel");
}

void Session::handleMouse(CGPoint point, const char* phase) {
  act(std::string("touch ") + phase + " " + window_record::pointText(point));
}

void Session::flushMove() {
  if (!movePending_) return;
  movePending_ = false;
  if (mouseDown_) handleMouse(clamped(pendingMove_), "move");
}

void Session::handleKey(const SDL_KeyboardEvent& key) {
  const SDL_Keycode code = key.keysym.sym;
  const bool alert = !UIAlertView::visibleAlerts().empty();
  if (key.keysym.mod & KMOD_CTRL) {
    switch (code) {
      case SDLK_q:
        quit_ = true;
        return;
      case SDLK_r:
        act(std::string("rotate ") + orientationName(nextOrientation(sim_.orientation())));
        return;
      case SDLK_l:
        act(sim_.isListHidden() ? "list show" : "list hide");
        return;
      case SDLK_v:
        if (!alert && UITextField::firstResponder()) {
          if (const auto text = UIPasteboard::generalPasteboard().string()) {
            act("paste " + window_record::quoted(*text));
          }
        }
        return;
      default:
        return;
    }
  }
  switch (code) {
    case SDLK_BACKSPACE:
      if (!alert && UITextField::firstResponder()) act("backspace");
      return;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
    case SDLK_ESCAPE:
      if (alert) act("alert ok");
      return;
    default:
      return;
  }
}

void Session::handle(const SDL_Event& event) {
  switch (event.type) {
    case SDL_QUIT:
      quit_ = true;
      break;
    case SDL_WINDOWEVENT:
      // A finger that leaves the window, or a window that loses the pointer, is taken away.
      if (event.window.event == SDL_WINDOWEVENT_LEAVE ||
          event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
        cancelTouch();
      }
      exposed_ = true;
      break;
    case SDL_KEYDOWN:
      pullClipboard();
      handleKey(event.key);
      break;
    case SDL_TEXTINPUT:
      if (UIAlertView::visibleAlerts().empty() && UITextField::firstResponder()) {
        act("type " + window_record::quoted(event.text.text));
      }
      break;
    case SDL_MOUSEBUTTONDOWN: {
      if (event.button.button != SDL_BUTTON_LEFT || mouseDown_) break;
      // Only on the screen: not on the help line nor the bars beside the picture.
      const CGPoint point = toScreen(event.button.x, event.button.y);
      if (point.x < 0 || point.y < 0 || point.x >= screen_.width || point.y >= screen_.height) {
        break;
      }
      pullClipboard();
      mouseDown_ = true;
      handleMouse(point, "down");
      break;
    }
    case SDL_MOUSEMOTION:
      if (!mouseDown_) break;
      if (outsideWindow(event.motion.x, event.motion.y)) {
        cancelTouch();
        break;
      }
      movePending_ = true;
      pendingMove_ = toScreen(event.motion.x, event.motion.y);
      break;
    case SDL_MOUSEBUTTONUP:
      if (event.button.button != SDL_BUTTON_LEFT || !mouseDown_) break;
      if (outsideWindow(event.button.x, event.button.y)) {
        cancelTouch();
        break;
      }
      movePending_ = false;
      mouseDown_ = false;
      handleMouse(clamped(toScreen(event.button.x, event.button.y)), "up");
      break;
    default:
      break;
  }
}

bool Session::needsFrames() const {
  return !UIView::runningAnimations().empty();
}

long Session::spinnerStep() const {
  // The status bar's activity indicator steps twelve times a second while it is on.
  if (!UIApplication::sharedApplication().isNetworkActivityIndicatorVisible()) return -1;
  return static_cast<long>(std::floor(Clock::current().monotonic() * 12));
}

void Session::draw(bool present) {
  const render::Surface& screen = view_.screen();
  const auto drawn = view_.update(sim_);
  // Only the pixels drawn go to the texture.
  for (const render::PixelRect& r : drawn) {
    const SDL_Rect rect{r.x, r.y, r.width, r.height};
    SDL_UpdateTexture(
        texture_, &rect,
        screen.data() + static_cast<size_t>(r.y) * screen.stride() + static_cast<size_t>(r.x) * 4,
        screen.stride());
  }
  if (drawn.empty() && !present) return;
  const Placement place = placement();
  const SDL_Rect target{place.x, place.y, place.width, place.height};
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  SDL_RenderCopy(renderer_, texture_, nullptr, &target);
  SDL_RenderPresent(renderer_);
}

int Session::run() {
  if (!openWindow()) return 2;
  start_ = std::chrono::steady_clock::now();
  if (!start()) return 2;
  pushClipboard();
  fitWindow();
  while (!quit_) {
    catchUp();
    SDL_Event event;
    while (!quit_ && SDL_PollEvent(&event)) {
      catchUp();
      handle(event);
      pushClipboard();
    }
    flushMove();
    if (quit_) break;
    fitWindow();

    // Only what the views marked is drawn; nothing when nothing changed.
    const long frames = view_.framesDrawn();
    draw(exposed_);
    exposed_ = false;
    if (view_.framesDrawn() != frames) reportedIdle_ = false;

    const bool animating = needsFrames();
    const size_t timers = NSRunLoop::mainRunLoop().pendingTimers(NSRunLoop::TimeBase::Clock);
    const size_t requests = NSURLConnection::activeCount();
    const long spinner = spinnerStep();

    int waitMs = 1000;
    if (animating) {
      waitMs = 8;
    } else if (timers > 0 || requests > 0 || spinner >= 0) {
      waitMs = 10;
    } else if (options_.reportIdle && !reportedIdle_) {
      std::printf("frames drawn %ld\nidle after %s\n", view_.framesDrawn(), lastAction_.c_str());
      std::fflush(stdout);
      reportedIdle_ = true;
    }
    if (SDL_WaitEventTimeout(nullptr, waitMs) == 0) continue;
  }
  catchUp();
  if (recorder_) recorder_->finish(clockTicks_);
  if (options_.reportIdle) std::printf("frames drawn %ld\n", view_.framesDrawn());
  return 0;
}

}  // namespace

std::string displayProblem() {
  const auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
  };
  if (set("SDL_VIDEODRIVER") || set("DISPLAY") || set("WAYLAND_DISPLAY")) return {};
  return "no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set)";
}

int run(Simulator& simulator, const Options& options) {
  Session session(simulator, options);
  return session.run();
}

}  // namespace window
