#pragma once

#include <istream>
#include <optional>
#include <ostream>
#include <string>

#include "host/commands.h"
#include "host/script.h"
#include "host/simulator.h"
#include "host/touch_tracking.h"

// Runs a headless script against the simulator: `dump` writes to `out`, and the first
// failing line stops the script with "line N: reason" on `err`.
class ScriptRunner {
 public:
  static constexpr int kSuccess = 0;
  static constexpr int kFailure = 2;

  ScriptRunner(Simulator& simulator, std::ostream& out, std::ostream& err)
      : sim_(simulator), out_(out), err_(err), touches_(simulator) {}
  // After each command, a short human account of what the widget shows (the field being
  // edited is marked with a bar after its text), and of the keyboard, the list's frame and
  // the pasteboard whenever they change.
  void setTranscript(bool on) { transcript_ = on; }
  // After every command that changes what the screen shows, a PNG in `directory` named by a
  // running number and the command ("004-tap-button-EUR.png"). Empty turns it off.
  void setSnapshotDirectory(std::string directory) { snapshotDirectory_ = std::move(directory); }

  // Answers the exit status: 0 when the script ran to its end, 2 at the first failure.
  int run(std::istream& in);
  // One command; answers an empty string or the reason it failed.
  std::string execute(const script::Command& command);
  const TouchTracker& touches() const { return touches_; }
  // Pixels per point of snapshots, as the `scale` command sets it.
  double scale() const { return scale_; }

 private:
  void writeTranscript(const script::Command& command);
  // The codes that show in the picker's row, left to right, and its page.
  void writeRow();
  // Answers why the snapshot could not be written, or an empty string.
  std::string snapshotIfChanged(const script::Command& command);

  Simulator& sim_;
  std::ostream& out_;
  std::ostream& err_;
  TouchTracker touches_;
  double scale_ = 2;
  bool transcript_ = false;
  std::string snapshotDirectory_;
  int snapshotsWritten_ = 0;
  // The pixels of the screen after the last command, to tell whether the next one changed it.
  std::string lastScreen_;
  size_t requestsSeen_ = 0;
  // What the transcript said last about the keyboard and the list, and the pasteboard.
  std::string keyboardSeen_, pasteboardSeen_;
};
