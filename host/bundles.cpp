#include "host/bundles.h"

#include <dlfcn.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/foundation/file_manager.h"

namespace fs = std::filesystem;

namespace bundles {

namespace {

std::string stringValue(const NSDictionary& info, const char* key) {
  const auto value = kindOf<NSString>(info.objectForKey(key));
  return value ? value->UTF8String() : std::string();
}

// A file name that stays inside its folder.
bool isPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

template <class T>
const T* symbol(void* handle, const char* name) {
  return static_cast<const T*>(dlsym(handle, name));
}

}  // namespace

std::string install(const std::string& root, const std::string& bundleDirectory) {
  std::error_code error;
  const fs::path source = fs::path(bundleDirectory).lexically_normal();
  std::string name = source.filename().string();
  if (name.empty()) name = source.parent_path().filename().string();
  if (!fs::is_directory(source, error)) return "no bundle folder at " + bundleDirectory;
  if (name.size() <= 7 || !name.ends_with(".bundle")) {
    return "the bundle folder's name does not end in .bundle: " + bundleDirectory;
  }
  for (const char* file : kInstalledDataFiles) {
    if (!fs::is_regular_file(source / file, error)) {
      return std::string("the bundle has no ") + file + ": " + bundleDirectory;
    }
  }

  const fs::path rootPath(root);
  const fs::path plugins = rootPath / "System/Library/WeeAppPlugins";
  const fs::path destination = plugins / name;
  const fs::path data = rootPath / "var/mobile/Library/Tessary";
  const fs::path preferences = rootPath / "var/mobile/Library/Preferences";
  for (const auto& folder : {plugins, data, preferences}) {
    fs::create_directories(folder, error);
    if (error) return "cannot create " + folder.string() + ": " + error.message();
  }
  fs::remove_all(destination, error);
  if (error) return "cannot replace " + destination.string() + ": " + error.message();
  fs::copy(source, destination, fs::copy_options::recursive, error);
  if (error) return "cannot copy the bundle to " + destination.string() + ": " + error.message();
  for (const char* file : kInstalledDataFiles) {
    fs::copy_file(source / file, data / file, fs::copy_options::overwrite_existing, error);
    if (error) return std::string("cannot copy ") + file + ": " + error.message();
  }
  return {};
}

std::vector<Bundle> loadAll(std::vector<std::string>& problems) {
  std::vector<Bundle> loaded;
  const auto plugins = DeviceRoot::map(kPluginsDirectory);
  if (!plugins) return loaded;
  std::error_code error;
  std::vector<std::string> names;
  for (fs::directory_iterator it(*plugins, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.ends_with(".bundle") && it->is_directory(error)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());

  for (const std::string& name : names) {
    const std::string platformDir = std::string(kPluginsDirectory) + name + "/";
    const auto info = NSDictionary::dictionaryWithContentsOfFile(platformDir + "Info.plist");
    if (!info) {
      problems.push_back(name + ": no readable Info.plist");
      continue;
    }
    const std::string executable = stringValue(*info, "CFBundleExecutable");
    const std::string factoryName = stringValue(*info, kWeeAppFactoryKey);
    if (!isPlainName(executable)) {
      problems.push_back(name + ": Info.plist names no executable in the bundle");
      continue;
    }
    if (factoryName.empty()) {
      problems.push_back(name + ": Info.plist names no factory symbol");
      continue;
    }
    const auto path = DeviceRoot::map(platformDir + executable);
    if (!path) continue;
    void* handle = dlopen(path->c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* reason = dlerror();
      problems.push_back(name + ": " + (reason ? reason : "cannot be opened"));
      continue;
    }
    Bundle bundle;
    bundle.name = name;
    bundle.principalClass = stringValue(*info, kWeeAppPrincipalClassKey);
    bundle.handle = handle;
    bundle.factory = reinterpret_cast<WeeAppFactory>(dlsym(handle, factoryName.c_str()));
    if (!bundle.factory) {
      problems.push_back(name + ": no factory symbol " + factoryName);
      continue;  // the library stays open: a bundle is never unloaded
    }
    bundle.flags.left = symbol<BOOL>(handle, "left");
    bundle.flags.portraitmode = symbol<BOOL>(handle, "portraitmode");
    bundle.flags.animate = symbol<BOOL>(handle, "animate");
    bundle.flags.exclude = symbol<BOOL>(handle, "exclude");
    bundle.flags.detailMode = symbol<BOOL>(handle, "detailMode");
    bundle.flags.editing = symbol<BOOL>(handle, "editing");
    bundle.flags.titleString = symbol<std::shared_ptr<NSString>>(handle, "titleString");
    loaded.push_back(std::move(bundle));
  }
  return loaded;
}

}  // namespace bundles
