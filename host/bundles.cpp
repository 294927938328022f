#include "host/bundles.h"

#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
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

#if defined(__x86_64__)
constexpr Elf64_Half kMachine = EM_X86_64;
#elif defined(__aarch64__)
constexpr Elf64_Half kMachine = EM_AARCH64;
#else
#error "no ELF machine known for this processor"
#endif

bool readExactly(int fd, void* into, size_t length, off_t offset) {
  return ::pread(fd, into, length, offset) == static_cast<ssize_t>(length);
}

// Why the file behind `fd` is no complete shared object for this machine; empty when it is.
// The loader maps segments without reading them, so a segment past the end of the file would
// fault on first touch instead of failing to load.
std::string elfProblem(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return "the executable is no file";
  const auto fileSize = static_cast<uint64_t>(info.st_size);
  Elf64_Ehdr header{};
  if (!readExactly(fd, &header, sizeof header, 0) ||
      std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) {
    return "the executable is no ELF file";
  }
  if (header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_ident[EI_DATA] != ELFDATA2LSB ||
      header.e_machine != kMachine || header.e_version != EV_CURRENT) {
    return "the executable is built for another machine";
  }
  if (header.e_type != ET_DYN) return "the executable is no shared library";
  if (header.e_phentsize != sizeof(Elf64_Phdr) || header.e_phnum == 0 ||
      header.e_phoff > fileSize ||
      uint64_t{header.e_phnum} * sizeof(Elf64_Phdr) > fileSize - header.e_phoff) {
    return "the executable's program headers lie outside the file";
  }
  bool loadable = false;
  for (Elf64_Half i = 0; i < header.e_phnum; ++i) {
    Elf64_Phdr segment{};
    if (!readExactly(fd, &segment, sizeof segment,
                     static_cast<off_t>(header.e_phoff + i * sizeof(Elf64_Phdr)))) {
      return "the executable cannot be read";
    }
    if (segment.p_offset > fileSize || segment.p_filesz > fileSize - segment.p_offset) {
      return "the executable is cut short: a segment lies outside the file";
    }
    if (segment.p_type == PT_LOAD) {
      if (segment.p_filesz > segment.p_memsz) return "the executable has a malformed segment";
      loadable = true;
    }
  }
  return loadable ? std::string() : "the executable has nothing to load";
}

// Whether `address` is a symbol of the type `type` defined in the library of `handle` itself,
// not in one it depends on (dlsym also finds the C library's functions through a bundle).
bool definedIn(void* handle, const void* address, unsigned char type) {
  link_map* library = nullptr;
  link_map* owner = nullptr;
  void* entry = nullptr;  // the symbol's table entry, an ElfW(Sym)
  Dl_info info{};
  if (!address || dlinfo(handle, RTLD_DI_LINKMAP, &library) != 0 ||
      dladdr1(address, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0 ||
      dladdr1(address, &info, &entry, RTLD_DL_SYMENT) == 0) {
    return false;
  }
  return owner == library && entry && info.dli_saddr == address &&
         ELF64_ST_TYPE(static_cast<const ElfW(Sym)*>(entry)->st_info) == type;
}

template <class T>
const T* symbol(void* handle, const char* name) {
  const void* address = dlsym(handle, name);
  return definedIn(handle, address, STT_OBJECT) ? static_cast<const T*>(address) : nullptr;
}

// Opens the bundle's executable beneath the device root and loads it through that descriptor,
// so that a link leading out of the root is never followed. The descriptor stays open as the
// library does: the loader knows a library by the name it was opened by, and a number given
// back would let a later library under the same name be taken for this one.
void* openLibrary(const std::string& platformPath, std::string& problem) {
  const int fd = DeviceRoot::openForReading(platformPath);
  if (fd < 0) {
    problem = "the executable cannot be read beneath the device root";
    return nullptr;
  }
  problem = elfProblem(fd);
  void* handle = nullptr;
  if (problem.empty()) {
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* reason = dlerror();
      problem = reason ? reason : "cannot be opened";
    }
  }
  if (!handle) ::close(fd);
  return handle;
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
    std::string problem;
    void* handle = openLibrary(platformDir + executable, problem);
    if (!handle) {
      problems.push_back(name + ": " + problem);
      continue;
    }
    Bundle bundle;
    bundle.name = name;
    bundle.principalClass = stringValue(*info, kWeeAppPrincipalClassKey);
    bundle.handle = handle;
    void* factory = dlsym(handle, factoryName.c_str());
    // A data symbol, or a function of another library, called as the factory would crash.
    if (!definedIn(handle, factory, STT_FUNC)) {
      problems.push_back(name + ": no factory function " + factoryName + " in the bundle");
      continue;  // the library stays open: a bundle is never unloaded
    }
    bundle.factory = reinterpret_cast<WeeAppFactory>(factory);
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
