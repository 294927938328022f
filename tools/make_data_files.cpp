// Writes the bundle's data files with the platform's property-list writer:
//   make_data_files currencies ISO_4217_JSON OUT
//   make_data_files entries REFERENCE_RATES_TSV OUT
//   make_data_files info OUT KEY=VALUE...
// Exits 1 with the reason on standard error when an input is unreadable or malformed, so a
// bad source fails the build instead of shipping a wrong file.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/file_manager.h"
#include "tools/data_files.h"

namespace {

int failure(const std::string& message) {
  std::fprintf(stderr, "make_data_files: %s\n", message.c_str());
  return 1;
}

std::optional<std::string> readInput(const std::string& path, std::string& error) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  if (!ec && size > data_files::kMaxBytes) {
    error = path + ": larger than " + std::to_string(data_files::kMaxBytes) + " bytes";
    return std::nullopt;
  }
  auto text = file_io::readAll(path);
  if (!text) error = path + ": cannot read";
  return text;
}

// Platform paths are absolute; with an empty device root they are the host's own.
std::string platformPath(const std::string& path) {
  return std::filesystem::absolute(path).lexically_normal().string();
}

template <class Plist>
int write(const Plist& plist, const std::string& out) {
  if (!plist.writeToFileAtomically(platformPath(out), true)) return failure(out + ": cannot write");
  return 0;
}

int currencies(const std::string& input, const std::string& out) {
  std::string error;
  const auto text = readInput(input, error);
  if (!text) return failure(error);
  const data_files::JsonResult parsed = data_files::parseJson(*text);
  if (!parsed.document) return failure(input + ": " + parsed.error);
  const auto list = data_files::currencies(*parsed.document);
  if (!list) return failure(input + ": expected an object with a \"4217\" array");
  if (list->count() == 0) return failure(input + ": no currencies");
  return write(*list, out);
}

int entries(const std::string& input, const std::string& out) {
  std::string error;
  const auto text = readInput(input, error);
  if (!text) return failure(error);
  const auto result = data_files::entries(*text);
  if (!result.entries) return failure(input + ": " + result.error);
  return write(*result.entries, out);
}

int info(const std::string& out, const std::vector<std::string>& pairs) {
  std::vector<std::pair<std::string, std::string>> keys;
  for (const std::string& pair : pairs) {
    const size_t equals = pair.find('=');
    if (equals == std::string::npos || equals == 0) return failure("expected KEY=VALUE: " + pair);
    keys.emplace_back(pair.substr(0, equals), pair.substr(equals + 1));
  }
  return write(*data_files::info(keys), out);
}

int run(const std::vector<std::string>& args) {
  DeviceRoot::set("");
  if (args.size() == 3 && args[0] == "currencies") return currencies(args[1], args[2]);
  if (args.size() == 3 && args[0] == "entries") return entries(args[1], args[2]);
  if (args.size() >= 2 && args[0] == "info") {
    return info(args[1], std::vector<std::string>(args.begin() + 2, args.end()));
  }
  return failure(
      "usage: make_data_files currencies JSON OUT | entries TSV OUT | info OUT KEY=VALUE...");
}

}  // namespace

int main(int argc, char** argv) {
  // Bad input is answered without exceptions; what is left (memory) still fails with a reason.
  try {
    return run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& problem) {
    return failure(problem.what());
  }
}
