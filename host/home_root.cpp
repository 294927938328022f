#include "host/home_root.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <system_error>

#include "host/bundles.h"

namespace fs = std::filesystem;

namespace home_root {

namespace {

// Every regular file under `folder` by its relative path, with its bytes; false when the
// folder cannot be read whole.
bool readTree(const fs::path& folder, std::map<std::string, std::string>& files) {
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; it != end; it.increment(error)) {
    if (error) return false;
    if (!it->is_regular_file(error)) continue;
    std::ifstream in(it->path(), std::ios::binary);
    if (!in) return false;
    files[it->path().lexically_relative(folder).string()] =
        std::string(std::istreambuf_iterator<char>(in), {});
  }
  return !error;
}

bool sameTree(const fs::path& a, const fs::path& b) {
  std::map<std::string, std::string> left, right;
  return readTree(a, left) && readTree(b, right) && left == right;
}

}  // namespace

std::string path(const char* xdgDataHome, const char* home) {
  if (xdgDataHome != nullptr && fs::path(xdgDataHome).is_absolute())
    return (fs::path(xdgDataHome) / "tessary").string();
  if (home != nullptr && fs::path(home).is_absolute())
    return (fs::path(home) / ".local/share/tessary").string();
  return {};
}

std::string prepare(const std::string& root, const std::string& bundleDirectory) {
  const fs::path source = fs::path(bundleDirectory).lexically_normal();
  const fs::path copy = fs::path(root) / "System/Library/WeeAppPlugins" / source.filename();
  const fs::path data = fs::path(root) / "var/mobile/Library/Tessary";
  std::error_code error;
  if (!fs::is_directory(copy, error) || !fs::is_directory(data, error))
    return bundles::install(root, bundleDirectory);
  if (sameTree(source, copy)) return {};

  // The new copy is made beside the old one and swapped in, so a failure leaves the old one.
  const fs::path fresh = copy.string() + ".new";
  fs::remove_all(fresh, error);
  fs::copy(source, fresh, fs::copy_options::recursive, error);
  if (error) {
    fs::remove_all(fresh, error);
    return "cannot copy the bundle to " + fresh.string();
  }
  fs::remove_all(copy, error);
  if (!error) fs::rename(fresh, copy, error);
  if (error) return "cannot replace " + copy.string() + ": " + error.message();
  // Data files the widget has not saved yet come from the bundle; saved ones stay.
  for (const char* file : bundles::kInstalledDataFiles) {
    if (fs::exists(data / file, error)) continue;
    fs::copy_file(source / file, data / file, error);
    if (error) return std::string("cannot copy ") + file + ": " + error.message();
  }
  return {};
}

}  // namespace home_root
