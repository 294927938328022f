#pragma once

#include <optional>
#include <string>

class Simulator;

// The simulator in a window on the computer's display (SDL2). A click is a finger on the
// screen, the computer's keyboard types into the field being edited, and keys rotate the
// device, hide and show the list, and quit; a help line under the screen says which.
//
// The window's clock is a manual clock that follows real time in steps of 1/1024 second, so
// that everything the window does can be written as a script (see host/window_record.h)
// whose headless replay shows the same screens.
namespace window {

struct Options {
  // Pixels per point; 0 takes the display's own scale.
  double scale = 0;
  // Where every action is written as a script line; none when empty.
  std::string recordPath;
  // The wall time the window starts at, in seconds since 2001-01-01; the present second when
  // not given.
  std::optional<double> clock;
  // Writes "idle after LINE" on standard output each time everything is drawn and the window
  // waits for input, LINE being the last action's script line, for programs that drive the
  // window: an idle line after an action means its animations have ended.
  bool reportIdle = false;
};

// Empty when a window can be opened here, else why not, for a clear message.
std::string displayProblem();

// Shows the widget and runs the window until the user quits; answers the exit status (0, or
// 2 when the window cannot be opened or the widget cannot be shown).
int run(Simulator& simulator, const Options& options);

}  // namespace window
