#pragma once

#include <string>

// The device root a window opens when the command line names none: one per user, under the
// user's data folder, laid out on first use and kept in step with the installed bundle.
namespace home_root {

// $XDG_DATA_HOME/tessary, or $HOME/.local/share/tessary when the variable is unset, empty or
// relative (which the base-directory rules say to ignore); empty when neither gives a folder.
std::string path(const char* xdgDataHome, const char* home);

// Lays out the device root at `root` with the bundle folder `bundleDirectory` when it holds no
// copy of that bundle yet; when the copy differs from the bundle (after an upgrade), copies the
// bundle again. What the widget saved in its data folder stays. Answers an empty string, or the
// reason it failed.
std::string prepare(const std::string& root, const std::string& bundleDirectory);

}  // namespace home_root
