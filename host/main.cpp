// tessary-sim: the home screen that loads widget bundles, for people, tests and demos.
//
//   tessary-sim --root DIR [--bundle DIR] install
//   tessary-sim --root DIR [--device phone|tablet|old] [--orientation portrait|landscape]
//               --headless --script FILE|- [--transcript] [--snapshot-dir DIR]
//   tessary-sim [--root DIR] [--device …] [--orientation …] [--scale N] [--clock SECONDS]
//               [--record FILE]                 (a window on the computer's display)
//
// The bundle comes from beside the program (installed, or in the build folder) unless --bundle
// names one; a window without --root opens the user's own device root.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iostream>
#include <string>
#include <utility>

#include "host/bundles.h"
#include "host/home_root.h"
#include "host/script_runner.h"
#include "host/simulator.h"
#include "host/window.h"

namespace {

constexpr int kUsage = 2;

const char* const kUsageText =
    "usage: tessary-sim --root DIR [--bundle DIR] install\n"
    "       tessary-sim --root DIR [--bundle DIR] [--device phone|tablet|old]\n"
    "                   [--orientation portrait|landscape] --headless --script FILE|-\n"
    "                   [--transcript] [--snapshot-dir DIR]\n"
    "       tessary-sim [--root DIR] [--bundle DIR] [--device phone|tablet|old]\n"
    "                   [--orientation portrait|landscape] [--scale N] [--clock SECONDS]\n"
    "                   [--record FILE] [--report-idle]      opens a window (without --root,\n"
    "                   on the device root in $XDG_DATA_HOME/tessary or ~/.local/share/tessary)\n"
    "       tessary-sim --help\n"
    "\n"
    "  --record FILE   writes what is done in the window as a headless script\n"
    "  --report-idle   prints \"idle after LINE\" each time the window has drawn everything\n"
    "                  and waits for input, LINE being the last action\n";

int usage(const std::string& problem) {
  if (!problem.empty()) std::fprintf(stderr, "tessary-sim: %s\n", problem.c_str());
  std::fputs(kUsageText, stderr);
  return kUsage;
}

// The command line, read.
struct Arguments {
  Simulator::Options options;
  window::Options window;
  std::string scriptPath, snapshotDir;
  bool headless = false, transcript = false, install = false, haveRoot = false, help = false;
};

// Sets `into` to the kind that `value` names among `names`; false when it names none.
template <typename Kind>
bool named(const std::string& value, std::initializer_list<std::pair<const char*, Kind>> names,
           Kind& into) {
  for (const auto& [name, kind] : names) {
    if (value == name) {
      into = kind;
      return true;
    }
  }
  return false;
}

// Reads the command line into `into`; answers what is wrong with it, empty when nothing is.
// --help stops the reading there.
std::string parseArguments(int argc, char** argv, Arguments& into) {
  Simulator::Options& options = into.options;
  window::Options& windowOptions = into.window;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const auto value = [&](std::string& text) {
      if (i + 1 >= argc) return false;
      text = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--root") {
      if (!value(options.root) || options.root.empty()) return "--root needs a folder";
      into.haveRoot = true;
    } else if (a == "--bundle") {
      if (!value(options.bundleDirectory)) return "--bundle needs a folder";
    } else if (a == "--device") {
      if (!value(v)) return "--device needs phone, tablet or old";
      if (!named(v,
                 {{"phone", UIDevice::Kind::Phone},
                  {"tablet", UIDevice::Kind::Tablet},
                  {"old", UIDevice::Kind::Old}},
                 options.device))
        return "unknown device " + v;
    } else if (a == "--orientation") {
      if (!value(v)) return "--orientation needs portrait or landscape";
      if (!named(v,
                 {{"portrait", UIInterfaceOrientationPortrait},
                  {"landscape", UIInterfaceOrientationLandscapeRight}},
                 options.orientation))
        return "unknown orientation " + v;
    } else if (a == "--headless") {
      into.headless = true;
    } else if (a == "--script") {
      if (!value(into.scriptPath) || into.scriptPath.empty()) return "--script needs a file or -";
    } else if (a == "--record") {
      if (!value(windowOptions.recordPath) || windowOptions.recordPath.empty())
        return "--record needs a file";
    } else if (a == "--scale") {
      if (!value(v)) return "--scale needs a number of pixels per point";
      char* end = nullptr;
      windowOptions.scale = std::strtod(v.c_str(), &end);
      if (end == v.c_str() || *end != '\0' ||
          !(windowOptions.scale >= 1 && windowOptions.scale <= 4))
        return "--scale is a number from 1 to 4";
    } else if (a == "--clock") {
      if (!value(v)) return "--clock needs seconds since 2001-01-01";
      char* end = nullptr;
      const double seconds = std::strtod(v.c_str(), &end);
      if (end == v.c_str() || *end != '\0' || !(std::fabs(seconds) <= 2.5e11))
        return "--clock is a number of seconds since 2001-01-01 within 2.5e11";
      windowOptions.clock = seconds;
    } else if (a == "--report-idle") {
      windowOptions.reportIdle = true;
    } else if (a == "--transcript") {
      into.transcript = true;
    } else if (a == "--snapshot-dir") {
      if (!value(into.snapshotDir) || into.snapshotDir.empty())
        return "--snapshot-dir needs a folder";
    } else if (a == "install") {
      into.install = true;
    } else if (a == "--help" || a == "-h") {
      into.help = true;
      return "";
    } else {
      return "unknown argument " + a;
    }
  }
  return "";
}

int install(const Arguments& arguments) {
  if (!arguments.scriptPath.empty()) return usage("install and --script do not go together");
  const Simulator::Options& options = arguments.options;
  const std::string problem = bundles::install(options.root, options.bundleDirectory);
  if (!problem.empty()) {
    std::fprintf(stderr, "tessary-sim: install: %s\n", problem.c_str());
    return kUsage;
  }
  return 0;
}

int openWindow(Arguments& arguments) {
  if (const std::string problem = window::displayProblem(); !problem.empty()) {
    std::fprintf(stderr,
                 "tessary-sim: %s; run a script without one with --headless --script FILE\n",
                 problem.c_str());
    return kUsage;
  }
  if (!arguments.haveRoot) {
    std::string& root = arguments.options.root;
    root = home_root::path(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    if (root.empty()) return usage("--root is required when HOME is not set");
    const std::string problem = home_root::prepare(root, arguments.options.bundleDirectory);
    if (!problem.empty()) {
      std::fprintf(stderr, "tessary-sim: %s: %s\n", root.c_str(), problem.c_str());
      return 1;
    }
  }
  arguments.options.manualClock = true;
  Simulator simulator(arguments.options);
  return window::run(simulator, arguments.window);
}

int runScript(Arguments& arguments) {
  const std::string& scriptPath = arguments.scriptPath;
  const std::string& snapshotDir = arguments.snapshotDir;
  if (scriptPath.empty()) return usage("--headless needs --script FILE|-");
  if (!arguments.headless) return usage("a script runs headless; pass --headless");
  if (!arguments.window.recordPath.empty()) return usage("--record goes with the window only");

  std::ifstream file;
  std::istream* in = &std::cin;
  if (scriptPath != "-") {
    file.open(scriptPath, std::ios::binary);
    if (!file) {
      std::fprintf(stderr, "tessary-sim: cannot read the script %s\n", scriptPath.c_str());
      return kUsage;
    }
    in = &file;
  }

  arguments.options.manualClock = true;
  Simulator simulator(arguments.options);
  ScriptRunner runner(simulator, std::cout, std::cerr);
  runner.setTranscript(arguments.transcript);
  if (!snapshotDir.empty()) {
    std::error_code error;
    std::filesystem::create_directories(snapshotDir, error);
    if (!std::filesystem::is_directory(snapshotDir, error)) {
      std::fprintf(stderr, "tessary-sim: cannot make the folder %s\n", snapshotDir.c_str());
      return kUsage;
    }
    runner.setSnapshotDirectory(snapshotDir);
  }
  const int status = runner.run(*in);
  for (const auto& problem : simulator.loadProblems()) {
    std::fprintf(stderr, "tessary-sim: skipped bundle %s\n", problem.c_str());
  }
  std::cout.flush();
  return status;
}

// The bundle installed beside the program, or the one in the build folder it was built in.
std::string bundleBesideProgram() {
  std::error_code error;
  const std::filesystem::path folder =
      std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
  for (const char* relative : {TESSARY_INSTALLED_BUNDLE, "../Tessary.bundle"}) {
    const auto bundle = (folder / relative).lexically_normal();
    if (std::filesystem::is_directory(bundle, error)) return bundle.string();
  }
  return (folder / TESSARY_INSTALLED_BUNDLE).lexically_normal().string();
}

int run(int argc, char** argv) {
  Arguments arguments;
  arguments.options.bundleDirectory = bundleBesideProgram();
  if (const std::string problem = parseArguments(argc, argv, arguments); !problem.empty())
    return usage(problem);
  if (arguments.help) {
    std::fputs(kUsageText, stdout);
    return 0;
  }
  const bool window = !arguments.install && arguments.scriptPath.empty() && !arguments.headless;
  if (!arguments.haveRoot && !window) return usage("--root is required");
  if (arguments.install) return install(arguments);
  if (window) return openWindow(arguments);
  return runScript(arguments);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tessary-sim: %s\n", error.what());
    return 1;
  }
}
